// The Game Object's hits, effect list, actions and per-frame work, and an
// item's life with the fixture's hero: touched, picked up, applied, grabbed
// and dropped. Actor 16 is a recorder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "actors/characters/game_object_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_ids.h"
#include "support/game_fixture.h"

namespace {

class GameObjectEffectsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        Actor *room = game::Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500});
        game::BoxWall(builder, "Floor", {-400, -20, -400}, {400, 0, 400}, room);
        game::MakeCharacter(builder, "Hero", {0, 30, 0}, room);
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        front = game::MakeFrontEnd();
        game::RecorderClass characters(kCharacterClassId);
        body = dynamic_cast<game::Recorder *>(
            CreateActor(kCharacterClassId, "Body", nullptr, scene::SceneBuilder::Find("RoomA"),
                        -1, true));
        ASSERT_NE(body, nullptr);
        body->flags |= kActorMaster;
    }

    GameObjectActor *Item(uint32_t type, Actor *parent = nullptr) {
        auto *item = dynamic_cast<GameObjectActor *>(
            CreateActor(kGameObjectClassId, "Item", nullptr,
                        parent ? parent : scene::SceneBuilder::Find("RoomA"), -1, true));
        SendCommandArgs(item, 602, type);
        item->HandleCommand(kCmdPrecalculate, ParamBlock());
        return item;
    }
    static void Send(Actor *item, uint32_t commandId, int32_t owner) {
        item->HandleCommand(commandId, ParamBlock(&owner, sizeof(owner)));
    }
    // A recording child of the item, in the slot when one is given.
    static game::Recorder *Watch(GameObjectActor *item, ActorLink *slot, const char *name) {
        auto *recorder = dynamic_cast<game::Recorder *>(
            CreateActor(kWatcherClassId, name, nullptr, item, -1, true));
        if (slot != nullptr) {
            slot->Assign(recorder);
        }
        return recorder;
    }
    // How often a spy heard of the command.
    static size_t Heard(const game::Recorder &spy, uint32_t commandId) {
        size_t count = 0;
        for (const RecordedCommand &entry : spy.Of(93)) {
            count += entry.Read<uint32_t>(0) == commandId ? 1 : 0;
        }
        return count;
    }
    std::vector<std::string> Texts(uint32_t commandId) const {
        std::vector<std::string> texts;
        for (const RecordedCommand &entry : body->Of(commandId)) {
            texts.emplace_back(reinterpret_cast<const char *>(entry.block.data()));
        }
        return texts;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    static constexpr uint32_t kWatcherClassId = 40;
    game::RecorderClass watchers{kWatcherClassId};
    CharacterActor *hero = nullptr;
    game::Recorder *front = nullptr;
    game::Recorder *body = nullptr;
};

TEST_F(GameObjectEffectsTest, HitsMoveHoldAndChangeTheCharacter) {
    GameObjectActor *trap = Item(kItemTrap);
    SendCommandArgs(trap, 653, uint32_t{1});
    SendCommandArgs(trap, 655, uint32_t{3});
    trap->effects = {{0, 50.0f, 10.0f}, {99, 1.0f, 1.0f}, {12, -20.0f, 0.0f}};
    trap->ApplyTrapHit(body, false);
    EXPECT_EQ(Texts(845), (std::vector<std::string>{"Gethit0"}));
    EXPECT_EQ(Texts(847), (std::vector<std::string>{"Damage2"}));
    ASSERT_EQ(body->Of(856).size(), 1u);
    EXPECT_EQ(body->Of(856)[0].F32(), 10.0f);
    // Type 99 names no character command and is never sent.
    std::vector<uint32_t> changes;
    for (uint32_t id : body->Ids()) {
        if (id >= 940 && id <= 1100) {
            changes.push_back(id);
        }
    }
    EXPECT_EQ(changes, (std::vector<uint32_t>{940, 952}));
    EXPECT_EQ(std::tuple(body->Of(940)[0].F32(0), body->Of(940)[0].F32(4)),
              std::tuple(50.0f, 10.0f));
    ASSERT_EQ(front->Of(550).size(), 1u);
    EXPECT_EQ(std::tuple(front->Of(550)[0].Read<int32_t>(0), front->Of(550)[0].Read<int32_t>(4)),
              std::tuple(trap->actorId, body->actorId));

    // No hit motion, but the hold; a held character gets nothing.
    body->log.clear();
    trap->gethitId = 0;
    trap->ApplyTrapHit(body, true);
    EXPECT_EQ(std::tuple(Texts(845).size(), body->Of(856).size()), std::tuple(size_t{0}, size_t{1}));
    EXPECT_EQ(trap->parent, body);
    body->log.clear();
    body->Answer(857, 5.0f);
    trap->ApplyTrapHit(body, false);
    EXPECT_EQ(std::tuple(body->Of(856).size(), body->Of(940).size(), front->Of(550).size()),
              std::tuple(size_t{0}, size_t{0}, size_t{2}));
}

TEST_F(GameObjectEffectsTest, EffectListEditsTheSelectedEntry) {
    GameObjectActor *item = Item(kItemPowerUp);
    float answer = -1.0f;
    item->HandleCommand(676, ParamBlock(&answer, sizeof(answer)));
    item->HandleCommand(670, ParamBlock());
    SendCommandArgs(item, 675, 3.0f);
    EXPECT_EQ(std::tuple(answer, item->effects.size()), std::tuple(-1.0f, size_t{0}));
    item->HandleCommand(669, ParamBlock());
    EXPECT_EQ(std::tuple(item->effects.size(), item->selectedEffect), std::tuple(size_t{1}, 0));
    EXPECT_EQ(item->effects[0], (ItemEffect{0, 100.0f, 5.0f}));
    item->HandleCommand(669, ParamBlock());
    item->HandleCommand(669, ParamBlock());
    std::vector<std::string> labels = {"old"};
    void *list = &labels;
    item->HandleCommand(672, ParamBlock(&list, sizeof(list)));
    EXPECT_EQ(labels, (std::vector<std::string>{"Power Up 0", "Power Up 1", "Power Up 2"}));
    std::string label = "Power Up 1";
    item->HandleCommand(671, ParamBlock(label.data(), label.size() + 1));
    EXPECT_EQ(item->selectedEffect, 1);
    label = "Power Up 7";
    item->HandleCommand(671, ParamBlock(label.data(), label.size() + 1));
    EXPECT_EQ(item->selectedEffect, 1);
    SendCommandArgs(item, 673, uint32_t{12});
    SendCommandArgs(item, 675, 25.0f);
    SendCommandArgs(item, 677, 2.0f);
    uint32_t type = 0;
    item->HandleCommand(674, ParamBlock(&type, sizeof(type)));
    item->HandleCommand(678, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(std::tuple(type, answer), std::tuple(12u, 2.0f));
    EXPECT_EQ(item->effects[1], (ItemEffect{12, 25.0f, 2.0f}));
    item->HandleCommand(670, ParamBlock());
    EXPECT_EQ(std::tuple(item->effects.size(), item->selectedEffect, item->effects[1].value),
              std::tuple(size_t{2}, -1, 100.0f));
    uint32_t set[3] = {1, 0, 0};
    float values[2] = {7.0f, 8.0f};
    std::memcpy(&set[1], values, sizeof(values));
    item->HandleCommand(749, ParamBlock(set, sizeof(set)));
    set[0] = 2;
    item->HandleCommand(749, ParamBlock(set, sizeof(set)));
    EXPECT_EQ(item->effects, (std::vector<ItemEffect>{{0, 100.0f, 5.0f}, {0, 7.0f, 8.0f}}));
}

TEST_F(GameObjectEffectsTest, PerformActionByType) {
    // Refused for lights, weapons and during the cooldown.
    for (uint32_t type : {kItemLight, kItemWeapon, kItemValuable}) {
        GameObjectActor *item = Item(type);
        item->droppable = 1;
        item->actionCooldown = type == kItemValuable ? 0.5f : 0.0f;
        Send(item, 636, body->actorId);
        EXPECT_EQ(item->itemState, kItemInContainer) << type;
    }
    // Anything else is dropped.
    GameObjectActor *coin = Item(kItemValuable);
    coin->droppable = 1;
    Send(coin, 636, body->actorId);
    EXPECT_EQ(coin->itemState, kItemInScene);

    // A trigger copies its object in front of the owner.
    Actor *crate = CreateActor(0, "Crate", nullptr, scene::SceneBuilder::Find("RoomA"), -1, true);
    CreateActor(0, "Lid", nullptr, crate, -1, true);
    body->position = {100.0f, 0.0f, 0.0f};
    body->InvalidateTransform();
    body->Answer(990, Vector3{0.0f, 3.0f, 4.0f});
    body->Answer(977, 1.5f);
    GameObjectActor *trigger = Item(kItemTrigger, body);
    SendCommandArgs(trigger, 634, static_cast<uint32_t>(crate->actorId));
    Send(trigger, 636, body->actorId);
    Actor *copy = FindActorsByName("Crate", 0).back();
    ASSERT_NE(copy, crate);
    EXPECT_EQ(copy->parent, GetActorById(kSceneryRootId));
    EXPECT_EQ(copy->children.size(), 1u);
    EXPECT_NEAR(copy->position.x, 100.0f, 1e-3f);
    EXPECT_NEAR(copy->position.y, 20.0f, 1e-3f);
    EXPECT_NEAR(copy->position.z, 40.0f, 1e-3f);
    EXPECT_NEAR(2.0f * std::atan2(copy->rotation.y, copy->rotation.w), 1.5f, 1e-4f);
    EXPECT_EQ(std::tuple(copy->deltaPosition.y, copy->HasFlag(kActorCollisionEnabled)),
              std::tuple(80.0f, true));
    EXPECT_EQ(std::tuple(trigger->actionCooldown, trigger->HasFlag(kActorQueuedForDeletion)),
              std::tuple(1.0f, true));
    // Without its object a trigger changes nothing.
    GameObjectActor *empty = Item(kItemTrigger, body);
    SendCommandArgs(empty, 634, uint32_t{4999});
    Send(empty, 636, body->actorId);
    EXPECT_EQ(std::tuple(empty->actionCooldown, empty->HasFlag(kActorQueuedForDeletion)),
              std::tuple(0.0f, false));

    // A throw object flies along the look from above the owner.
    body->Answer(990, Vector3{0.0f, 0.0f, 1.0f});
    GameObjectActor *dart = Item(kItemThrowObject, body);
    Send(dart, 636, body->actorId);
    EXPECT_EQ(std::tuple(dart->deltaPosition.z, dart->fadeTime, dart->itemState),
              std::tuple(400.0f, 15.0f, 2u));
    EXPECT_EQ(Texts(845), (std::vector<std::string>{"Throw"}));
    EXPECT_EQ(dart->parent, GetActorById(kSceneryRootId));
    EXPECT_NEAR(dart->GetWorldPosition().y, body->GetWorldPosition().y + 28.0f, 1e-3f);
}

TEST_F(GameObjectEffectsTest, BombExplodesInTheFirstFramePastItsFuse) {
    GameObjectActor *bomb = Item(kItemBomb);
    // The bomb kills itself with its children: spies outlive them.
    game::Recorder explosion, object, particle;
    AddCommandSpy(Watch(bomb, nullptr, "Explosion"), &explosion);
    AddCommandSpy(Watch(bomb, &bomb->childObject, "Object2"), &object);
    AddCommandSpy(Watch(bomb, &bomb->childParticle, "Particle"), &particle);
    bomb->droppable = 1;
    body->Answer(990, Vector3{1.0f, 0.0f, 0.0f});
    const float x = bomb->GetWorldPosition().x;
    Send(bomb, 622, body->actorId);
    EXPECT_EQ(std::tuple(bomb->deltaPosition.x, bomb->bombArmed), std::tuple(300.0f, 1u));
    EXPECT_NEAR(bomb->position.x, x + 30.0f, 1e-3f);
    EXPECT_EQ(Texts(845), (std::vector<std::string>{"Throw"}));
    runner.Step(179);
    EXPECT_EQ(Heard(explosion, 208), 0u);
    runner.Step(2); // 3.0 s passes within these
    EXPECT_EQ(std::tuple(Heard(explosion, 208), Heard(object, 212), Heard(particle, 212)),
              std::tuple(size_t{1}, size_t{1}, size_t{1}));
}

TEST_F(GameObjectEffectsTest, LightsBurnDownAndThrownObjectsFade) {
    GameObjectActor *light = Item(kItemLight);
    game::Recorder *particle = Watch(light, &light->childParticle, "Particle");
    light->itemState = kItemInHand;
    SendCommandArgs(light, 641, 31.0f);
    float before = 0.0f;
    light->childLight.target->HandleCommand(476, ParamBlock(&before, sizeof(before)));
    runner.Step(30);
    float radius = 0.0f;
    light->childLight.target->HandleCommand(476, ParamBlock(&radius, sizeof(radius)));
    EXPECT_EQ(std::tuple(radius, particle->Of(1145).size()), std::tuple(before, size_t{0}));
    SendCommandArgs(light, 641, 29.0f);
    SendCommandArgs(light->childLight.target, 475, 5.0f);
    runner.Step(30);
    light->childLight.target->HandleCommand(476, ParamBlock(&radius, sizeof(radius)));
    EXPECT_NEAR(radius, 1.0f, 1e-4f);
    ASSERT_EQ(particle->Of(1145).size(), 30u);
    EXPECT_NEAR(particle->Of(1145).back().F32(), 28.5f * 0.033f, 1e-3f);
    light->itemState = kItemInInventory;
    SendCommandArgs(light, 641, 0.01f);
    runner.Step(2);
    EXPECT_FALSE(light->HasFlag(kActorQueuedForDeletion));
    light->itemState = kItemInHand;
    runner.Step(1);
    EXPECT_TRUE(light->HasFlag(kActorQueuedForDeletion));

    GameObjectActor *dart = Item(kItemThrowObject);
    game::Recorder *trail = Watch(dart, &dart->childParticle, "Particle");
    const uint32_t dartId = static_cast<uint32_t>(dart->actorId);
    dart->itemState = kItemInScene;
    dart->fadeOn = 1;
    dart->fadeTime = 0.05f;
    runner.Step(1);
    ASSERT_EQ(trail->Of(475).size(), 1u);
    EXPECT_NEAR(trail->Of(475)[0].F32(), (0.05f - 1.0f / 60.0f) * 25.0f, 1e-4f);
    EXPECT_NEAR(trail->Of(1145)[0].F32(), (0.05f - 1.0f / 60.0f) * 0.1f, 1e-4f);
    runner.Step(6);
    EXPECT_EQ(GetActorById(dartId), nullptr);
}

TEST_F(GameObjectEffectsTest, UpdateTurnsItemsInTheSceneAndChildrenOnlyInSomeStates) {
    GameObjectActor *gem = Item(kItemKey);
    runner.Step(1); // Update runs on this frame's step
    const std::tuple<uint32_t, uint32_t, bool> cases[] = {
        {kItemKey, kItemInScene, true},
        {kItemWeapon, kItemInScene, false},
        {kItemThrowObject, kItemInScene, false},
        {kItemKey, kItemInHand, false},
    };
    for (const auto &[type, state, turns] : cases) {
        gem->itemType = type;
        gem->itemState = state;
        gem->rotation = {0.0f, 0.0f, 0.0f, 1.0f};
        gem->Update();
        EXPECT_EQ(gem->rotation.y != 0.0f, turns) << type << " " << state;
    }
    gem->itemType = kItemKey;
    gem->itemState = kItemInScene;
    gem->rotation = {0.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 30; ++i) {
        gem->Update();
    }
    EXPECT_NEAR(2.0f * std::atan2(gem->rotation.y, gem->rotation.w), 1.0f, 1e-3f);
    for (uint32_t state = 0; state < 8; ++state) {
        Actor *child = gem->children.front();
        child->currentTime = -1.0f;
        gem->itemState = state;
        gem->Update();
        const bool updated = state == 1 || state == 2 || state == 4 || state == 5;
        EXPECT_EQ(child->currentTime != -1.0f, updated) << state;
    }
}

TEST_F(GameObjectEffectsTest, DestroyedItemsReportAndOutliveTheFrontEnd) {
    GameObjectActor *gem = Item(kItemValuable);
    const int32_t id = gem->actorId;
    gem->ownerId = hero->actorId;
    DeleteActor(gem);
    ASSERT_FALSE(front->Of(557).empty());
    EXPECT_EQ(std::tuple(front->Of(557).back().Read<int32_t>(0), front->Of(557).back().Read<int32_t>(4),
                         front->Of(557).back().Read<uint32_t>(8)),
              std::tuple(id, hero->actorId, 8u));
    // Items below the front end and beside it go with it.
    Item(kItemKey, front);
    Item(kItemKey);
    DeleteActor(front);
    Item(kItemLight);
    EXPECT_EQ(SendCommand(kInventoryActorId, 557, ParamBlock()), 0u);
}

TEST_F(GameObjectEffectsTest, LifeOfItemsWithTheHero) {
    hero->flags |= kActorMaster;
    Actor *items = FindChildByName(hero, "Items");
    ColObj *heroCol = hero->BodyColObj();
    ASSERT_NE(heroCol, nullptr);
    // A power-up lying where the hero stands.
    GameObjectActor *boost = Item(kItemPowerUp);
    boost->effects = {{0, 50.0f, 10.0f}};
    boost->characterHoldTime = 0.0f;
    ColObj object(boost);
    object.type = 1;
    object.flags = kColObjActive | kColObjTakesEvents | kColObjCausesEvents | kColObjMarked;
    object.boxMin = {0.0f, 0.0f, 0.0f};
    object.boxMax = {15.0f, 15.0f, 15.0f};
    ColObj &own = boost->AddColObj(object);
    boost->position = hero->position;
    boost->InvalidateTransform();
    Send(boost, 616, -1);
    const int32_t boostId = boost->actorId;
    auto touch = [&](GameObjectActor *item, ColObj *itemObject) {
        ColObj *pair[2] = {heroCol, itemObject};
        item->HandleCommand(kCmdCollisionEvent, ParamBlock(pair, sizeof(pair)));
    };
    runner.Step(1);
    if (boost->itemState == kItemInScene) {
        touch(boost, &own); // the pass did not bring them together
    }
    auto reports = [&](int32_t id) {
        std::vector<uint32_t> states;
        for (const RecordedCommand &entry : front->Of(557)) {
            if (entry.Read<int32_t>(0) == id && entry.Read<int32_t>(4) == hero->actorId) {
                states.push_back(entry.Read<uint32_t>(8));
            }
        }
        return states;
    };
    EXPECT_EQ(reports(boostId), (std::vector<uint32_t>{5}));
    const float changedBefore = hero->paramChanged[kParamSpeed];
    runner.Step(121); // the 2 s animation
    EXPECT_EQ(reports(boostId), (std::vector<uint32_t>{5, 3}));
    EXPECT_NE(hero->paramChanged[kParamSpeed], changedBefore);
    runner.Step(2);
    EXPECT_EQ(reports(boostId), (std::vector<uint32_t>{5, 3, 8}));
    EXPECT_EQ(GetActorById(static_cast<uint32_t>(boostId)), nullptr);

    // A key grabbed from the inventory.
    GameObjectActor *key = Item(kItemKey);
    Send(key, 617, hero->actorId);
    EXPECT_EQ(key->parent, items);
    Actor *pointer = key;
    hero->HandleCommand(1072, ParamBlock(&pointer, sizeof(pointer)));
    runner.Step(33);
    EXPECT_EQ(key->itemState, kItemInInventory);
    runner.Step(2);
    EXPECT_EQ(std::tuple(key->parent, key->itemState),
              std::tuple(FindChildByName(hero, "RightHand"), 4u));

    // A dropped item comes back once its guard ran out.
    GameObjectActor *coin = Item(kItemValuable);
    object.owner = coin;
    ColObj &coinObject = coin->AddColObj(object);
    coin->droppable = 1;
    Send(coin, 617, hero->actorId);
    Send(coin, 622, hero->actorId);
    int frames = 0;
    while (coin->itemState == kItemInScene && frames < 200) {
        touch(coin, &coinObject);
        runner.Step(1);
        ++frames;
    }
    EXPECT_EQ(coin->itemState, kItemPickup);
    EXPECT_NEAR(frames / 60.0f, 2.0f, 0.05f);
}

} // namespace
