// Weapons and their ammunition: property words, binding and settling, the
// state machine, firing into a scene, the end of fire, reloading, secondary
// weapons, the cross-hair report, "Create" and the faults around them.
#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "base/random.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "game_object_fixture.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kRequest = 692;

class WeaponTest : public GameObjectTest {
  protected:
    void AddScenery() override {
        game::BoxWall(builder, "Target", {-100, 0, 300}, {100, 300, 320}, room);
    }
    void SetUp() override {
        GameObjectTest::SetUp();
        target = scene::SceneBuilder::Find("Target");
        body->position = {0.0f, 150.0f, -300.0f};
        body->InvalidateTransform();
        body->Answer(993, Vector3{0.0f, 0.0f, 1.0f});
        runner.Step(1); // the walls join the collision scene
    }
    // A weapon in the stand-in's right hand (or under `holder`) with recording
    // phase children of the names and an "Ammo"; bound and settled.
    GameObjectActor *Gun(std::vector<const char *> phaseNames, Actor *holder = nullptr,
                         bool withAmmo = true) {
        holder = holder != nullptr ? holder : FindChildByName(body, "RightHand");
        auto *gun = dynamic_cast<GameObjectActor *>(
            CreateActor(kGameObjectClassId, "Gun", nullptr, holder, -1, true));
        SendCommandArgs(gun, 602, kItemWeapon);
        gun->itemState = kItemInHand;
        for (const char *phase : phaseNames) {
            Watch(gun, nullptr, phase);
        }
        if (withAmmo) {
            ammo = Item(kItemAmmo, gun);
            ammo->name = "Ammo";
            ammo->precision = 0.0f;
        }
        gun->HandleCommand(cmd::base::Precalculate, ParamBlock());
        return gun;
    }
    static game::Recorder *Phase(GameObjectActor *gun, const char *phase) {
        return dynamic_cast<game::Recorder *>(FindChildByName(gun, phase));
    }
    static int Request(GameObjectActor *gun, uint32_t request) {
        return gun->HandleCommand(kRequest, ParamBlock(&request, sizeof(request)));
    }
    // The 692 entries of the actor that will still run.
    static size_t Pending(Actor *actor) {
        size_t count = 0;
        for (ScheduledCommand *entry : actor->scheduledCommands) {
            count += entry->command == kRequest && (entry->state & (kEntryQueued | kEntryDead)) == 0;
        }
        return count;
    }
    // Copies of a template; one without an action time is killed at once
    // (queued for deletion under the name "__" + its name).
    static std::vector<Actor *> Named(Actor *parent, const std::string &name) {
        std::vector<Actor *> found;
        for (Actor *child : parent->children) {
            if (child != nullptr && (child->name == name || child->name == "__" + name)) {
                found.push_back(child);
            }
        }
        return found;
    }
    // A template child of the ammunition.
    Actor *Template(const char *name) {
        Actor *made = CreateActor(0, name, nullptr, ammo, -1, true);
        ammo->HandleCommand(cmd::base::Precalculate, ParamBlock());
        return made;
    }

    Actor *target = nullptr;
    GameObjectActor *ammo = nullptr;
};

TEST_F(WeaponTest, PropertyWordsRoundTripAndGettersChangeNothing) {
    GameObjectActor *gun = Gun({});
    const std::tuple<uint32_t, uint32_t> words[] = {
        {680, 0x3F000000}, {682, 0x3E000000}, {684, 0x40000000}, {686, 0x40400000},
        {688, 0x42000000}, {690, 6},          {694, 2},          {696, 1},
        {698, 1},          {700, 0x3FC00000}, {702, 2},          {704, 0},
        {706, 0},          {708, 1},          {710, 1},          {712, 1},
        {714, 9},          {719, 0x42C80000}, {721, 0x40000000}, {723, 0x3F800000},
        {725, 0x3F000000}, {727, 0x40800000}, {729, 0x41000000}, {731, 3},
        {733, 1},          {735, 3},          {737, 4},          {739, 5},
        {741, 7},          {743, 9},          {745, 11},
    };
    for (const auto &[set, value] : words) {
        gun->HandleCommand(set, ParamBlock(const_cast<uint32_t *>(&value), 4));
        const GameObjectFields before = *gun;
        uint32_t answer = 0;
        gun->HandleCommand(set + 1, ParamBlock(&answer, 4));
        EXPECT_EQ(answer, value) << set;
        EXPECT_EQ(std::tuple(gun->preFire2TimeOut, gun->weaponFlags, gun->unlimited),
                  std::tuple(before.preFire2TimeOut, before.weaponFlags, before.unlimited))
            << set;
    }
    // Shared words: the ammunition's "unlimited" is the reverse speed's word.
    EXPECT_EQ(gun->unlimited, 1u);
    std::string cross = "Cross";
    gun->HandleCommand(717, ParamBlock(cross.data(), cross.size() + 1));
    char text[8] = {};
    gun->HandleCommand(718, ParamBlock(text, sizeof(text)));
    EXPECT_STREQ(text, "Cross");
}

TEST_F(WeaponTest, PrecalculateBindsPhasesAndSettlesByItemState) {
    GameObjectActor *gun = Gun({"Loaded", "InWorld", "NoClip", "Fire"});
    EXPECT_EQ(gun->weaponState, weapon::Loaded);
    EXPECT_EQ(gun->shownChild.target, Phase(gun, "Loaded"));
    for (const char *phase : {"Loaded", "InWorld", "NoClip", "Fire"}) {
        EXPECT_EQ(Phase(gun, phase)->Of(cmd::base::ActionStopPre).size(), 1u) << phase;
    }
    EXPECT_FALSE(Phase(gun, "Loaded")->Of(cmd::base::ActionStart).empty());
    EXPECT_EQ(gun->crosshairMaterialId, 0xFFFFFFFFu);

    const std::tuple<uint32_t, uint32_t, uint32_t, const char *> cases[] = {
        {kItemInScene, 6, weapon::InWorld, "InWorld"},
        {kItemInInventory, 6, weapon::PutAway, nullptr},
        {kItemInHand, 0, weapon::NoClip, "NoClip"},
    };
    for (const auto &[itemState, bullets, settled, shown] : cases) {
        gun->itemState = itemState;
        gun->weaponState = 0;
        ammo->weaponFlags = bullets;
        gun->HandleCommand(cmd::base::Precalculate, ParamBlock());
        EXPECT_EQ(gun->weaponState, settled) << itemState;
        EXPECT_EQ(gun->shownChild.target, shown ? Phase(gun, shown) : nullptr) << itemState;
    }
    // In the inventory only 14, 15 and 18 are served.
    gun->itemState = kItemInInventory;
    Request(gun, 15);
    for (uint32_t request : {1u, 4u, 8u, 12u, 16u, 17u}) {
        Request(gun, request);
        EXPECT_EQ(gun->weaponState, weapon::PutAway) << request;
    }
    Request(gun, 14);
    EXPECT_EQ(gun->weaponState, weapon::InWorld);

    // A secondary requests nothing; a weapon without "Ammo" serves nothing.
    GameObjectActor *second = Gun({"Loaded"}, gun);
    second->name = "Secondary";
    second->weaponState = 0;
    second->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(std::tuple(second->isSecondary, second->weaponState), std::tuple(1u, 0u));
    GameObjectActor *bare = Gun({"Loaded"}, nullptr, false);
    for (uint32_t request = 1; request <= 19; ++request) {
        Request(bare, request);
    }
    EXPECT_EQ(std::tuple(bare->weaponState, bare->shownChild.target),
              std::tuple(0u, static_cast<Actor *>(nullptr)));
}

TEST_F(WeaponTest, EmptyClipEndsRequestOneAndManualWaits) {
    GameObjectActor *gun = Gun({"Loaded", "NoClip"});
    gun->weaponType = 0; // Manual: no reload on its own
    ammo->weaponFlags = 0;
    EXPECT_EQ(Request(gun, 1), 1);
    Request(gun, 15); // asks for a clip: the stand-in has none
    EXPECT_EQ(gun->weaponState, weapon::NoClip);
    ASSERT_EQ(body->Of(1042).size(), 1u);
    // Fault: a mask of no ammunition asks for none and keeps the state.
    gun->weaponType = 1;
    ammo->ammoGroups = 0;
    Request(gun, 17);
    gun->weaponState = weapon::ClipLoad;
    Request(gun, 19);
    EXPECT_EQ(body->Of(1042).size(), 1u);
    EXPECT_TRUE(body->Of(1044).empty());
    EXPECT_EQ(gun->weaponState, weapon::ClipLoad);
}

TEST_F(WeaponTest, ShotCastsRaysAndSpawnsCopies) {
    SeedRand(7);
    GameObjectActor *gun = Gun({"Loaded", "Fire"});
    Watch(gun, nullptr, "FlashPos");
    Watch(gun, nullptr, "ShellExitPos");
    ammo->preFire2TimeOut = 3; // rays
    gun->precision = 0.0f;
    Template("Impact");
    Template("Shell");
    std::string error;
    ASSERT_TRUE(scene::SceneBuilder::AddScript(ammo, 747, "local.Position_Add((0,1,0));", &error))
        << error;
    gun->HandleCommand(cmd::base::Precalculate, ParamBlock());
    ammo->HandleCommand(cmd::base::Precalculate, ParamBlock());
    ASSERT_NE(ammo->ammoHitScript, 0u);
    EXPECT_EQ(gun->HandleCommand(cmd::base::ActionStart, ParamBlock()), 1);

    EXPECT_EQ(gun->weaponState, weapon::Fire);
    ASSERT_EQ(body->Of(1040).size(), 1u);
    EXPECT_EQ(body->Of(1040)[0].F32(), 2.0f);
    EXPECT_EQ(gun->recoilKick, 4.0f);
    const std::vector<Actor *> impacts = Named(target, "Impact");
    ASSERT_EQ(impacts.size(), 3u);
    for (Actor *impact : impacts) {
        const Vector3 at = impact->GetWorldPosition();
        EXPECT_NEAR(at.x, 0.0f, 1e-3f); // precision 0: on the aim
        EXPECT_NEAR(at.z, 300.0f, 1e-2f);
    }
    EXPECT_EQ(target->position.y, 3.0f); // "On Ammo Hit" once per hit
    EXPECT_EQ(Named(GetActorById(kSceneryRootId), "Shell").size(), 1u);

    // Negative recoil sums send 0.
    ammo->recoil = -5.0f;
    gun->weaponState = weapon::Loaded;
    Request(gun, 5);
    EXPECT_EQ(body->Of(1040).back().F32(), 0.0f);
}

TEST_F(WeaponTest, HitEffectsAndShellCollisionFollowTheFrameTime) {
    Actor *global = GetActorById(kGlobalRootId);
    Actor *definition = CreateActor(0, "Definition", nullptr, global, -1, true);
    Actor *effects = CreateActor(0, "GHE", nullptr, definition, -1, true);
    for (const char *name : {"GHE1", "GHE2", "GHE3"}) {
        CreateActor(0, name, nullptr, effects, -1, true);
    }
    target->colObjs[0]->hitEffect = 0x7;
    GameObjectActor *gun = Gun({"Loaded", "Fire"});
    Watch(gun, nullptr, "ShellExitPos");
    gun->HandleCommand(cmd::base::Precalculate, ParamBlock());
    Actor *shell = Template("Shell");
    AddObject(shell, kColObjActive);
    ammo->weaponType = 0x5; // hit-effect groups 0 and 2
    const float saved = FrameDelta;
    for (float frame : {1.0f / 60.0f, 1.0f / 30.0f}) {
        FrameDelta = frame;
        gun->weaponState = weapon::Loaded;
        Request(gun, 5);
    }
    FrameDelta = saved;
    EXPECT_EQ(std::tuple(Named(target, "GHE1").size(), Named(target, "GHE2").size(),
                         Named(target, "GHE3").size()),
              std::tuple(1u, 0u, 1u));
    const std::vector<Actor *> shells = Named(GetActorById(kSceneryRootId), "Shell");
    ASSERT_EQ(shells.size(), 2u);
    EXPECT_EQ(std::tuple(shells[0]->colObjs.size(), shells[1]->colObjs.size()),
              std::tuple(1u, 0u));
}

TEST_F(WeaponTest, CharacterHitGetsHoldTimeZeroAndTheHit) {
    GameObjectActor *gun = Gun({"Loaded"});
    ammo->gethitId = 2;
    const Vector3 at = hero->GetWorldPosition();
    body->position = {at.x, at.y + 10.0f, at.z - 200.0f};
    body->InvalidateTransform();
    hero->holdTime = 3.0f;
    Request(gun, 5);
    EXPECT_EQ(hero->holdTime, 10.0f); // 0 first, then the ammunition's hold time
    ASSERT_FALSE(front->Of(cmd::inventory::GameobjectHitCharacter).empty());
    EXPECT_EQ(front->Of(cmd::inventory::GameobjectHitCharacter)[0].Read<int32_t>(4), hero->actorId);
}

TEST_F(WeaponTest, EndOfFireCountsBulletsAndEmptiesTheClip) {
    GameObjectActor *gun = Gun({"Loaded", "Fire", "ClipUnload", "NoClip", "ClipLoad"});
    gun->weaponFlags &= ~weapon::BulletLoadAfterFire;
    ammo->unlimited = 1;
    Request(gun, 5);
    runner.Step(2);
    EXPECT_EQ(std::tuple(ammo->weaponFlags, gun->weaponState), std::tuple(6u, weapon::Loaded));

    ammo->unlimited = 0;
    ammo->weaponFlags = 1;
    Request(gun, 5);
    runner.Step(1); // request 6
    EXPECT_EQ(std::tuple(ammo->weaponFlags, gun->weaponState),
              std::tuple(0u, weapon::ClipUnload));
    body->Answer(1042, std::array<uint32_t, 2>{1, 4});
    runner.Step(1); // request 12, then the reload
    EXPECT_EQ(gun->weaponState, weapon::ClipLoad);
    EXPECT_EQ(body->Of(1042)[0].Read<uint32_t>(0), 1u);

    // Fault: a clip emptied by the setter while loaded stays at 0.
    GameObjectActor *manual = Gun({"Loaded", "Fire", "NoClip"});
    manual->weaponType = 0;
    manual->weaponFlags &= ~weapon::BulletLoadAfterFire;
    manual->weaponState = weapon::Loaded;
    ammo->weaponFlags = 0;
    Request(manual, 5);
    Request(manual, 6);
    EXPECT_EQ(std::tuple(ammo->weaponFlags, manual->weaponState, manual->shownChild.target),
              std::tuple(0u, weapon::NoClip, static_cast<Actor *>(Phase(manual, "NoClip"))));
}

TEST_F(WeaponTest, BulletLoadAfterFireWaitsForItsPhase) {
    GameObjectActor *gun = Gun({"Loaded", "Fire", "BulletLoad"});
    Phase(gun, "BulletLoad")->Answer(202, 0.5f);
    Request(gun, 5);
    runner.Step(1);
    EXPECT_EQ(std::tuple(ammo->weaponFlags, gun->weaponState), std::tuple(5u, weapon::BulletLoad));
    runner.Step(40);
    EXPECT_EQ(gun->weaponState, weapon::Loaded);
}

TEST_F(WeaponTest, ReloadTakesFromTheCharactersStock) {
    GameObjectActor *gun = Gun({"Loaded", "NoClip", "ClipLoad"}, FindChildByName(hero, "RightHand"));
    SendCommandArgs(hero, 1043, 1u, 10);
    ammo->weaponFlags = 0;
    Request(gun, 15);
    EXPECT_EQ(gun->weaponState, weapon::ClipLoad);
    runner.Step(2);
    EXPECT_EQ(std::tuple(ammo->weaponFlags, hero->ammoCount[0], gun->weaponState),
              std::tuple(6u, 4u, weapon::Loaded));
    // No stock: the weapon stays empty.
    hero->ammoCount[0] = 0;
    ammo->weaponFlags = 0;
    Request(gun, 15);
    EXPECT_EQ(gun->weaponState, weapon::NoClip);
}

TEST_F(WeaponTest, AutoFireAndFireOnRelease) {
    GameObjectActor *gun = Gun({"Loaded", "Fire"});
    gun->weaponType = 2;
    gun->weaponFlags &= ~weapon::BulletLoadAfterFire;
    ammo->unlimited = 1;
    Request(gun, 8);
    runner.Step(4);
    EXPECT_GE(body->Of(1040).size(), 3u); // every return to state 1 fires again
    Request(gun, 9);
    const size_t shots = body->Of(1040).size();
    runner.Step(4);
    EXPECT_EQ(body->Of(1040).size(), shots);

    GameObjectActor *slow = Gun({"Loaded", "PreFire1", "PreFire2", "Fire"});
    slow->weaponFlags |= weapon::FireOnRelease;
    Phase(slow, "PreFire2")->Answer(202, 0.2f);
    Request(slow, 8);
    EXPECT_EQ(slow->shownChild.target, Phase(slow, "PreFire1"));
    EXPECT_EQ(slow->weaponState, weapon::PreFire1);
    runner.Step(14);
    EXPECT_EQ(slow->weaponState, weapon::PreFire2);
    const size_t before = body->Of(1040).size();
    Request(slow, 9);
    EXPECT_EQ(std::tuple(slow->weaponState, body->Of(1040).size()),
              std::tuple(weapon::Fire, before + 1));
    // A release during PreFire1: 3, then 1 after 0.1 s, no shot.
    runner.Step(3);
    slow->weaponState = weapon::Loaded;
    Request(slow, 8);
    Request(slow, 9);
    EXPECT_EQ(slow->weaponState, weapon::PreFire1Released);
    runner.Step(8);
    EXPECT_EQ(std::tuple(slow->weaponState, body->Of(1040).size()),
              std::tuple(weapon::Loaded, before + 1));
}

TEST_F(WeaponTest, SecondaryWeaponWaitsForItsPrimary) {
    GameObjectActor *gun = Gun({"Loaded"});
    game::Recorder *spare = Watch(gun, nullptr, "Secondary");
    gun->HandleCommand(cmd::base::Precalculate, ParamBlock());
    gun->weaponState = weapon::Fire;
    SendCommandArgs(gun, 639, 0u);
    EXPECT_EQ(spare->Of(kRequest).size(), 1u); // Separate: always
    gun->secondaryType = 1;
    SendCommandArgs(gun, 639, 0u); // Wait: only while the primary is ready or empty
    gun->weaponState = weapon::NoClip;
    SendCommandArgs(gun, 639, 0u);
    EXPECT_EQ(spare->Of(kRequest).size(), 2u);
    SendCommandArgs(gun, 640, 0u);
    ASSERT_EQ(spare->Of(kRequest).size(), 3u);
    EXPECT_EQ(spare->Of(kRequest)[2].Read<uint32_t>(0), 9u);
    float s = 1.0f;
    gun->HandleCommand(cmd::game_object::Unnamed_750, ParamBlock(&s, sizeof(s)));
    EXPECT_EQ(spare->Of(cmd::game_object::Unnamed_750).size(), 1u);

    // A Wait secondary inside a recording primary.
    game::Recorder *primary = Watch(gun, nullptr, "Primary");
    GameObjectActor *second = Gun({"Loaded", "Fire"}, primary);
    second->name = "Secondary";
    second->secondaryType = 1;
    second->weaponFlags &= ~weapon::BulletLoadAfterFire;
    second->HandleCommand(cmd::base::Precalculate, ParamBlock());
    Request(second, 8);
    runner.Step(2);
    std::vector<uint32_t> told;
    for (const RecordedCommand &entry : primary->Of(kRequest)) {
        told.push_back(entry.Read<uint32_t>(0));
    }
    EXPECT_EQ(told, (std::vector<uint32_t>{16, 15}));
}

TEST_F(WeaponTest, KillMovesIntoItemsAndActionStart) {
    GameObjectActor *gun = Gun({"Loaded", "Fire"});
    std::string error;
    ASSERT_TRUE(scene::SceneBuilder::AddScript(gun, cmd::base::ActionStart,
                                               "local.Position_Add((1,0,0));",
                                               &error));
    EXPECT_EQ(gun->HandleCommand(cmd::base::ActionStart, ParamBlock()), 1);
    EXPECT_EQ(gun->position.x, 0.0f); // no 211 script ran
    EXPECT_EQ(gun->weaponState, weapon::Fire);
    ReparentActor(gun, FindChildByName(body, "Items"));
    gun->HandleCommand(104, ParamBlock());
    EXPECT_EQ(std::tuple(ammo->weaponFlags, gun->shownChild.target, Pending(gun)),
              std::tuple(5u, static_cast<Actor *>(nullptr), size_t{0}));

    gun->weaponState = weapon::Loaded;
    Request(gun, 5);
    ASSERT_EQ(Pending(gun), 1u);
    gun->HandleCommand(cmd::base::Kill, ParamBlock());
    EXPECT_EQ(Pending(gun), 0u);
    ASSERT_EQ(front->Of(cmd::game_object::WeaponGone).size(), 1u);
    EXPECT_EQ(front->Of(cmd::game_object::WeaponGone)[0].Read<Actor *>(0), gun);
}

TEST_F(WeaponTest, CrosshairReportDecaysTheKick) {
    GameObjectActor *gun = Gun({"Loaded"});
    Watch(gun, nullptr, "FlashPos");
    gun->HandleCommand(cmd::base::Precalculate, ParamBlock());
    body->Answer(990, Vector3{0.0f, 0.6f, 0.8f});
    gun->recoilKick = 3.4f;
    gun->crosshairMaterialId = 7;
    RefreshTimeRecord(gun->timeRecord);
    ASSERT_NE(gun->timeRecord, nullptr);
    gun->timeRecord->delta = 0.1f;
    gun->timeRecord->frameStamp = FrameCounter;
    float s = 1.0f;
    gun->HandleCommand(cmd::game_object::Unnamed_750, ParamBlock(&s, sizeof(s)));
    EXPECT_NEAR(gun->recoilKick, 2.0f, 1e-6f);
    ASSERT_EQ(front->Of(cmd::inventory::Unnamed_563).size(), 1u);
    const RecordedCommand report = front->Of(cmd::inventory::Unnamed_563)[0];
    EXPECT_EQ(report.Read<uint32_t>(0), 1u);
    EXPECT_NEAR(report.F32(4), 0.5f * 1.0f, 1e-6f); // 3 x 0.8 clamps to 1
    EXPECT_NEAR(report.F32(8), 2.0f, 1e-6f);
    EXPECT_EQ(report.Read<uint32_t>(12), 7u);
}

TEST_F(WeaponTest, CreateCopiesFieldsButBindsItsOwnChildren) {
    GameObjectActor *gun = Gun({"Loaded", "Fire"});
    gun->actionMotion = "N_Aim";
    gun->crosshairMaterial = "Cross";
    gun->effects = {{2, 3.0f, 4.0f}};
    Template("Impact");
    std::string error;
    ASSERT_TRUE(scene::SceneBuilder::AddScript(ammo, 747, "local.Position_Add((1,0,0));", &error));
    ammo->HandleCommand(cmd::base::Precalculate, ParamBlock());
    body->Answer(1016, Vector3{0.0f, 0.0f, 1.0f}); // the left hand's aim
    auto *copy = dynamic_cast<GameObjectActor *>(CopyActorTree(gun, FindChildByName(body, "LeftHand")));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::tuple(copy->actionMotion, copy->crosshairMaterial, copy->effects.size(),
                         copy->collisionGuard, copy->recoil, copy->weaponFlags),
              std::tuple(std::string("N_Aim"), std::string("Cross"), 1u, 0.5f, gun->recoil,
                         gun->weaponFlags));
    EXPECT_NE(copy->effects.data(), gun->effects.data());
    copy->HandleCommand(cmd::base::Precalculate, ParamBlock());
    auto *copiedAmmo = dynamic_cast<GameObjectActor *>(copy->ammoChild.target);
    ASSERT_NE(copiedAmmo, nullptr);
    EXPECT_NE(copiedAmmo, ammo);
    EXPECT_EQ(copy->phases[GameObjectActor::kPhaseFire].target, Phase(copy, "Fire"));

    // The template goes; the copy fires with its own children.
    DeleteActor(gun);
    ammo = copiedAmmo;
    copy->weaponState = weapon::Loaded;
    Request(copy, 5);
    EXPECT_EQ(Named(target, "Impact").size(), 1u);
    EXPECT_EQ(target->position.x, 1.0f);
    // After "Delete Script" the hit script no longer runs.
    const std::string scriptName = copiedAmmo->scripts[0]->name;
    SendCommandArgs(copiedAmmo, 223, scriptName);
    copy->weaponState = weapon::Loaded;
    Request(copy, 5);
    EXPECT_EQ(std::tuple(Named(target, "Impact").size(), target->position.x), std::tuple(2u, 1.0f));
}

} // namespace
