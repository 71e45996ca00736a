// Items, played through the frame step with scripted keys: the master
// character copied in by "Start Game" stands on a speed power-up and a
// pistol; the power-up lifts off, changes the speed for 10 s and goes, the
// pistol goes into "Items", then into the right hand, and E fires it at a
// character until the clip is empty: with a "ClipUnload" phase it reloads
// from the stock, without it stays empty.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/characters/game_object_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "platform/input.h"
#include "support/character_steps.h"

namespace {

using game::StepCharacter;

constexpr InputCode kE = 0x45;
constexpr uint32_t kCmdSetType = 837, kCmdSetHealth = 1017, kCmdChangeCpSpeed = 940;
constexpr uint32_t kCmdRecoil = 1040, kCmdAddAmmo = 1043, kCmdRightGrab = 1072;
constexpr uint32_t kCmdOnInHand = 751, kCmdSetItemType = 602, kCmdSetItemState = 612;
constexpr uint32_t kHealthEffect = 12, kCmdChangeCpHealth = 952;
constexpr uint32_t kEventSphere =
    kColObjActive | kColObjDynamic | kColObjTakesEvents | kColObjCausesEvents;

GameObjectActor *MakeItem(scene::SceneBuilder &builder, const char *name, uint32_t type,
                          Actor *parent, const Vector3 &at) {
    auto *item = dynamic_cast<GameObjectActor *>(builder.Make(kGameObjectClassId, name, parent));
    if (item == nullptr) {
        return nullptr;
    }
    SendCommandArgs(item, kCmdSetItemType, type);
    while (!item->children.empty()) { // the scene makes the children it wants
        DeleteActor(item->children.back());
    }
    SendCommandArgs(item, cmd::base::SetPosition, at);
    return item;
}

// Rotation about y of a turn that has no other part.
float Yaw(const Actor *actor) { return 2.0f * std::atan2(actor->rotation.y, actor->rotation.w); }

class ItemsScene : public ::testing::Test {
  protected:
    void Build(bool withClipUnload) {
        ASSERT_TRUE(runner.Ready());
        ResetCharacterModuleForTests();
        Actor *room = game::Room(builder, "RoomA", {-1000, -100, -1000}, {1000, 600, 1000});
        game::BoxWall(builder, "Floor", {-1000, -20, -1000}, {1000, 0, 1000}, room);
        Actor *hero = game::MakeCharacter(builder, "PlayerCharacter", {600, 30, 600}, room);
        SendCommandArgs(hero, kCmdSetType, kCharacterThirdPerson);
        SendCommandArgs(hero, kCmdSetHealth, 100.0f);
        SendCommandArgs(builder.Make(0, "PlayerStart", room), cmd::base::SetPosition,
                        Vector3{0, 30, 0});
        Actor *target = game::MakeCharacter(builder, "Target", {0, 30, 300}, room);
        SendCommandArgs(target, kCmdSetHealth, 100.0f);

        GameObjectActor *boost = MakeItem(builder, "Boost", kItemPowerUp, room, {0, 20, 0});
        boost->effects = {{0, 50.0f, 10.0f}};
        boost->characterHoldTime = 0.0f; // the taker is not held
        GameObjectActor *pistol = MakeItem(builder, "Pistol", kItemWeapon, room, {0, 20, 10});
        for (GameObjectActor *item : {boost, pistol}) {
            SendCommandArgs(item, kCmdSetItemState, static_cast<uint32_t>(kItemInScene));
            ColObj sphere(item);
            sphere.type = 1;
            sphere.flags = kEventSphere;
            sphere.boxMax = {15.0f, 15.0f, 15.0f};
            item->AddColObj(sphere);
        }
        pistol->precision = 0.0f; // no spread
        std::vector<const char *> phases = {"Loaded", "Fire", "NoClip", "ClipLoad"};
        if (withClipUnload) {
            phases.push_back("ClipUnload");
        }
        for (const char *phase : phases) {
            builder.Make(0, phase, pistol);
        }
        // The muzzle faces -z, 40 ahead of the holder, as the figures face.
        Actor *muzzle = builder.Make(0, "FlashPos", pistol);
        SendCommandArgs(muzzle, cmd::base::SetPosition, Vector3{0, 15, -40});
        SendCommandArgs(muzzle, cmd::base::SetQuaternion, Quaternion{0, 1, 0, 0});
        GameObjectActor *ammo = MakeItem(builder, "Ammo", kItemAmmo, pistol, {0, 0, 0});
        ammo->effects = {{kHealthEffect, -10.0f, 1.0f}};
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;

        front = game::MakeFrontEnd();
        front->Answer(457, uint32_t{0});
        front->Answer(547, uint32_t{0}); // the inventory is not shown
        BindDefaultActions();
        copy = dynamic_cast<StepCharacter *>(scene::SceneBuilder::Find("GA1_Player"));
        this->target = dynamic_cast<StepCharacter *>(scene::SceneBuilder::Find("Target"));
        this->boost = dynamic_cast<GameObjectActor *>(scene::SceneBuilder::Find("Boost"));
        this->pistol = dynamic_cast<GameObjectActor *>(scene::SceneBuilder::Find("Pistol"));
        this->ammo = dynamic_cast<GameObjectActor *>(scene::SceneBuilder::Find("Ammo"));
        ASSERT_TRUE(copy && this->target && this->boost && this->pistol && this->ammo);
        spies.Watch(this->boost);
        spies.Watch(this->pistol);
    }
    std::vector<std::pair<int32_t, uint32_t>> Reports(int32_t itemId) const {
        return game::ItemStateReports(*front, itemId);
    }
    // E for one frame, then frames until the pistol settles (at most a
    // second); the states it went through.
    std::vector<uint32_t> Fire() {
        keys.Key(InputCodeToVirtualKey(kE), true);
        runner.Step();
        keys.Key(InputCodeToVirtualKey(kE), false);
        std::vector<uint32_t> states = {pistol->weaponState};
        for (int i = 0; i < 60 && pistol->weaponState != weapon::Loaded &&
                        pistol->weaponState != weapon::NoClip;
             ++i) {
            runner.Step();
            if (pistol->weaponState != states.back()) {
                states.push_back(pistol->weaponState);
            }
        }
        return states;
    }
    // Picks the pistol up and puts it in the right hand; the frames from the
    // grab to the pistol's "On In Hand".
    int Arm() {
        for (int i = 0; i < 200 && pistol->itemState != kItemInInventory; ++i) {
            runner.Step();
        }
        EXPECT_EQ(pistol->parent, FindChildByName(copy, "Items"));
        Actor *item = pistol;
        copy->HandleCommand(kCmdRightGrab, ParamBlock(&item, sizeof(item)));
        const size_t heard = spies.Count("Pistol", kCmdOnInHand);
        int frames = 0;
        for (; frames < 120 && spies.Count("Pistol", kCmdOnInHand) == heard; ++frames) {
            runner.Step();
        }
        return frames;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
    game::RecorderClass characters{kCharacterClassId, &game::NewStepCharacter};
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    game::ScriptedKeys keys{runner};
    game::Recorder *front = nullptr;
    StepCharacter *copy = nullptr;
    StepCharacter *target = nullptr;
    GameObjectActor *boost = nullptr;
    GameObjectActor *pistol = nullptr;
    GameObjectActor *ammo = nullptr;
};

TEST_F(ItemsScene, APowerUpSpeedsTheMasterForTenSecondsAndThePistolFiresAndReloads) {
    Build(true);
    const int32_t boostId = boost->actorId;
    runner.Step(); // the collision pass brings them together
    EXPECT_EQ(Reports(boostId), (std::vector<std::pair<int32_t, uint32_t>>{{copy->actorId, 5}}));
    const float yaw0 = Yaw(boost), y0 = boost->position.y;
    runner.Step(15);
    EXPECT_NEAR(Yaw(boost) - yaw0, 1.0f, 1e-3f); // 4 rad/s
    EXPECT_NEAR(boost->position.y - y0, 15.0f, 1e-2f);
    for (int i = 0; i < 200 && Reports(boostId).size() < 2; ++i) {
        runner.Step();
    }
    EXPECT_EQ(spies.Count("Boost", cmd::game_object::OnPickup), 1u);
    ASSERT_EQ(Reports(boostId).size(), 2u);
    EXPECT_EQ(Reports(boostId)[1], std::make_pair(copy->actorId, 3u));
    const std::vector<RecordedCommand> reports = front->Of(cmd::inventory::ItemStateReport);
    EXPECT_NEAR((reports.back().frame - reports.front().frame) / 60.0f, 2.0f, 1.5f / 60.0f);
    ASSERT_EQ(copy->Reals(kCmdChangeCpSpeed).size(), 1u);
    uint32_t changed = 0;
    for (const RecordedCommand &entry : copy->sent) {
        if (entry.id == kCmdChangeCpSpeed) {
            EXPECT_EQ(std::tuple(entry.F32(0), entry.F32(4)), std::tuple(50.0f, 10.0f));
            changed = entry.frame;
        }
    }
    runner.Step(2);
    EXPECT_EQ(Reports(boostId).back(), std::make_pair(copy->actorId, 8u));
    EXPECT_EQ(GetActorById(static_cast<uint32_t>(boostId)), nullptr);
    runner.Step(6); // the condition's next tick
    EXPECT_NEAR(copy->paramValue[kParamSpeed], 0.5f, 1e-3f);

    // The pistol went the same way into "Items"; grabbed, it is in the right
    // hand after 0.5666667 s, loaded with six.
    EXPECT_NEAR(Arm() / 60.0f, 0.5666667f, 1.0f / 60.0f);
    EXPECT_EQ(pistol->parent, FindChildByName(copy, "RightHand"));
    EXPECT_EQ(std::tuple(pistol->weaponState, ammo->weaponFlags), std::tuple(weapon::Loaded, 6u));
    EXPECT_EQ(ammo->maxBulletsInClip, 0x4000001u); // the ray's receive groups

    // E: the carrier's recoil, one ray, the ammunition's hit on the target.
    const size_t recoils = copy->Reals(kCmdRecoil).size(),
                 hits = front->Of(cmd::inventory::GameobjectHitCharacter).size();
    EXPECT_EQ(Fire(), (std::vector<uint32_t>{weapon::Fire, weapon::BulletLoad, weapon::Loaded}));
    EXPECT_EQ(copy->Reals(kCmdRecoil).size(), recoils + 1);
    ASSERT_EQ(front->Of(cmd::inventory::GameobjectHitCharacter).size(), hits + 1);
    EXPECT_EQ(front->Of(cmd::inventory::GameobjectHitCharacter).back().Read<int32_t>(4),
              target->actorId);
    EXPECT_EQ(target->Reals(kCmdChangeCpHealth), std::vector<float>{-10.0f});
    EXPECT_EQ(ammo->weaponFlags, 5u);

    // Four more, then the sixth reloads from the stock.
    for (int i = 0; i < 3; ++i) {
        Fire();
    }
    SendCommandArgs(copy, kCmdAddAmmo, 1u, 12);
    Fire();
    EXPECT_EQ(ammo->weaponFlags, 1u);
    EXPECT_EQ(Fire(), (std::vector<uint32_t>{weapon::Fire, weapon::ClipUnload, weapon::ClipLoad,
                                             weapon::Loaded}));
    EXPECT_EQ(std::tuple(ammo->weaponFlags, copy->ammoCount[0]), std::tuple(6u, 6u));

    // The speed came back over the effect's 10 s.
    while (FrameCounter < changed + 600) {
        runner.Step();
    }
    EXPECT_NEAR(copy->paramValue[kParamSpeed], 1.0f, 0.2f);
}

TEST_F(ItemsScene, WithoutAClipUnloadPhaseTheEmptyPistolStaysWithoutAClip) {
    Build(false);
    Arm();
    SendCommandArgs(copy, kCmdAddAmmo, 1u, 12);
    for (int i = 0; i < 6; ++i) {
        Fire();
    }
    EXPECT_EQ(std::tuple(pistol->weaponState, ammo->weaponFlags), std::tuple(weapon::NoClip, 0u));
}

} // namespace
