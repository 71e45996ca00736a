// The Game Object's hits, effect list, actions and per-frame work, and an
// item's life with the fixture's hero: touched, picked up, applied, grabbed
// and dropped.
#include <cmath>
#include <cstring>
#include <tuple>

#include "game_object_fixture.h"

namespace {

TEST_F(GameObjectTest, HitsMoveHoldAndChangeTheCharacter) {
    GameObjectActor *trap = Item(kItemTrap);
    SendCommandArgs(trap, 653, uint32_t{1});
    SendCommandArgs(trap, 655, uint32_t{3});
    trap->effects = {{0, 50.0f, 10.0f}, {99, 1.0f, 1.0f}, {12, -20.0f, 0.0f}};
    trap->ApplyTrapHit(body, false);
    EXPECT_EQ(std::tuple(Texts(845), Texts(847)),
              std::tuple(std::vector<std::string>{"Gethit0"}, std::vector<std::string>{"Damage2"}));
    ASSERT_EQ(body->Of(856).size(), 1u);
    EXPECT_EQ(body->Of(856)[0].F32(), 10.0f);
    // Type 99 names no character command and is never sent.
    EXPECT_EQ(std::tuple(body->Of(940).size(), body->Of(952).size(), body->Of(940 + 99).size()),
              std::tuple(size_t{1}, size_t{1}, size_t{0}));
    EXPECT_EQ(std::tuple(body->Of(940)[0].F32(0), body->Of(940)[0].F32(4)),
              std::tuple(50.0f, 10.0f));
    ASSERT_EQ(front->Of(550).size(), 1u);
    EXPECT_EQ(std::tuple(front->Of(550)[0].Read<int32_t>(0), front->Of(550)[0].Read<int32_t>(4)),
              std::tuple(trap->actorId, body->actorId));

    // No hit motion, but the hold; a held character gets nothing.
    body->log.clear();
    trap->gethitId = 0;
    trap->ApplyTrapHit(body, true);
    EXPECT_EQ(std::tuple(Texts(845).size(), body->Of(856).size(), trap->parent == body),
              std::tuple(size_t{0}, size_t{1}, true));
    body->log.clear();
    body->Answer(857, 5.0f);
    trap->ApplyTrapHit(body, false);
    EXPECT_EQ(std::tuple(body->Of(856).size(), body->Of(940).size(), front->Of(550).size()),
              std::tuple(size_t{0}, size_t{0}, size_t{2}));
}

TEST_F(GameObjectTest, EffectListEditsTheSelectedEntry) {
    GameObjectActor *item = Item(kItemPowerUp);
    float answer = -1.0f;
    item->HandleCommand(676, ParamBlock(&answer, sizeof(answer)));
    item->HandleCommand(670, ParamBlock());
    SendCommandArgs(item, 675, 3.0f);
    EXPECT_EQ(std::tuple(answer, item->effects.size()), std::tuple(-1.0f, size_t{0}));
    for (int i = 0; i < 3; ++i) {
        item->HandleCommand(669, ParamBlock());
        EXPECT_EQ(item->selectedEffect, i);
    }
    EXPECT_EQ(item->effects[0], (ItemEffect{0, 100.0f, 5.0f}));
    std::vector<std::string> labels = {"old"};
    void *list = &labels;
    item->HandleCommand(672, ParamBlock(&list, sizeof(list)));
    EXPECT_EQ(labels, (std::vector<std::string>{"Power Up 0", "Power Up 1", "Power Up 2"}));
    for (std::string label : {"Power Up 1", "Power Up 7"}) {
        item->HandleCommand(671, ParamBlock(label.data(), label.size() + 1));
        EXPECT_EQ(item->selectedEffect, 1);
    }
    SendCommandArgs(item, 673, uint32_t{12});
    SendCommandArgs(item, 675, 25.0f);
    SendCommandArgs(item, 677, 2.0f);
    uint32_t type = 0;
    item->HandleCommand(674, ParamBlock(&type, sizeof(type)));
    item->HandleCommand(678, ParamBlock(&answer, sizeof(answer)));
    EXPECT_EQ(std::tuple(type, answer, item->effects[1]),
              std::tuple(12u, 2.0f, ItemEffect{12, 25.0f, 2.0f}));
    item->HandleCommand(670, ParamBlock());
    EXPECT_EQ(std::tuple(item->effects.size(), item->selectedEffect), std::tuple(size_t{2}, -1));
    uint8_t set[12];
    for (uint32_t index : {1u, 2u}) {
        const float values[2] = {7.0f, 8.0f};
        std::memcpy(set, &index, 4);
        std::memcpy(set + 4, values, 8);
        item->HandleCommand(749, ParamBlock(set, sizeof(set)));
    }
    EXPECT_EQ(item->effects, (std::vector<ItemEffect>{{0, 100.0f, 5.0f}, {0, 7.0f, 8.0f}}));
}

TEST_F(GameObjectTest, PerformActionByType) {
    // Refused for lights, weapons and during the cooldown; anything else
    // not listed is dropped.
    for (const auto &[type, cooldown, state] :
         {std::tuple(kItemLight, 0.0f, 0u), std::tuple(kItemWeapon, 0.0f, 0u),
          std::tuple(kItemValuable, 0.5f, 0u), std::tuple(kItemValuable, 0.0f, 2u)}) {
        GameObjectActor *item = Item(type);
        item->droppable = 1;
        item->actionCooldown = cooldown;
        Send(item, 636, body->actorId);
        EXPECT_EQ(item->itemState, state) << type;
    }

    // A trigger copies its object in front of the owner.
    Actor *crate = CreateActor(0, "Crate", nullptr, room, -1, true);
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
    EXPECT_EQ(std::tuple(copy->parent, copy->children.size()),
              std::tuple(GetActorById(kSceneryRootId), size_t{1}));
    EXPECT_EQ(std::tuple(copy->position.x, copy->position.y, copy->position.z),
              std::tuple(100.0f, 20.0f, 40.0f));
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
    EXPECT_EQ(std::tuple(dart->deltaPosition.z, dart->fadeTime, dart->itemState, Texts(845)),
              std::tuple(400.0f, 15.0f, 2u, std::vector<std::string>{"Throw"}));
    EXPECT_EQ(dart->parent, GetActorById(kSceneryRootId));
    EXPECT_NEAR(dart->GetWorldPosition().y, body->GetWorldPosition().y + 28.0f, 1e-3f);
}

TEST_F(GameObjectTest, BombExplodesInTheFirstFramePastItsFuse) {
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
    EXPECT_EQ(std::tuple(bomb->deltaPosition.x, bomb->bombArmed, Texts(845)),
              std::tuple(300.0f, 1u, std::vector<std::string>{"Throw"}));
    EXPECT_NEAR(bomb->position.x, x + 30.0f, 1e-3f);
    runner.Step(179);
    EXPECT_EQ(Heard(explosion, 208), 0u);
    runner.Step(2); // 3.0 s passes within these
    EXPECT_EQ(std::tuple(Heard(explosion, 208), Heard(object, 212), Heard(particle, 212)),
              std::tuple(size_t{1}, size_t{1}, size_t{1}));
}

TEST_F(GameObjectTest, LightsBurnDownAndThrownObjectsFade) {
    GameObjectActor *light = Item(kItemLight);
    Actor *lamp = light->childLight.target;
    game::Recorder *particle = Watch(light, &light->childParticle, "Particle");
    light->itemState = kItemInHand;
    auto radius = [&] {
        float value = 0.0f;
        lamp->HandleCommand(476, ParamBlock(&value, sizeof(value)));
        return value;
    };
    SendCommandArgs(light, 641, 31.0f);
    const float before = radius();
    runner.Step(30);
    EXPECT_EQ(std::tuple(radius(), particle->Of(1145).size()), std::tuple(before, size_t{0}));
    SendCommandArgs(light, 641, 29.0f);
    SendCommandArgs(lamp, 475, 5.0f);
    runner.Step(30); // 8 per second, not below 1
    EXPECT_NEAR(radius(), 1.0f, 1e-4f);
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

TEST_F(GameObjectTest, UpdateTurnsItemsInTheSceneAndChildrenOnlyInSomeStates) {
    GameObjectActor *gem = Item(kItemKey);
    runner.Step(1); // Update runs on this frame's step
    for (const auto &[type, state, turns] :
         {std::tuple(kItemKey, kItemInScene, true), std::tuple(kItemWeapon, kItemInScene, false),
          std::tuple(kItemThrowObject, kItemInScene, false),
          std::tuple(kItemKey, kItemInHand, false)}) {
        gem->itemType = type;
        gem->itemState = state;
        gem->rotation = {0.0f, 0.0f, 0.0f, 1.0f};
        for (int i = 0; i < 30; ++i) {
            gem->Update();
        }
        EXPECT_NEAR(2.0f * std::atan2(gem->rotation.y, gem->rotation.w), turns ? 1.0f : 0.0f, 1e-3f)
            << type << " " << state;
    }
    for (uint32_t state = 0; state < 8; ++state) {
        Actor *child = gem->children.front();
        child->currentTime = -1.0f;
        gem->itemState = state;
        gem->Update();
        const bool updated = state == 1 || state == 2 || state == 4 || state == 5;
        EXPECT_EQ(child->currentTime != -1.0f, updated) << state;
    }
}

TEST_F(GameObjectTest, DestroyedItemsReportAndOutliveTheFrontEnd) {
    GameObjectActor *gem = Item(kItemValuable);
    const int32_t id = gem->actorId;
    gem->ownerId = hero->actorId;
    DeleteActor(gem);
    EXPECT_EQ(Reports(id), (std::vector<std::pair<int32_t, uint32_t>>{{hero->actorId, 8}}));
    // Items below the front end and beside it go with it.
    Item(kItemKey, front);
    Item(kItemKey);
    DeleteActor(front);
    Item(kItemLight);
    EXPECT_EQ(SendCommand(kInventoryActorId, 557, ParamBlock()), 0u);
}

TEST_F(GameObjectTest, LifeOfItemsWithTheHero) {
    hero->flags |= kActorMaster;
    ColObj *heroCol = hero->BodyColObj();
    ASSERT_NE(heroCol, nullptr);
    auto states = [&](int32_t id) {
        std::vector<uint32_t> found;
        for (const auto &[owner, state] : Reports(id)) {
            if (owner == hero->actorId) {
                found.push_back(state);
            }
        }
        return found;
    };
    // A power-up lying where the hero stands.
    GameObjectActor *boost = Item(kItemPowerUp);
    boost->effects = {{0, 50.0f, 10.0f}};
    boost->characterHoldTime = 0.0f;
    const uint32_t events = kColObjActive | kColObjTakesEvents | kColObjCausesEvents;
    AddObject(boost, events | kColObjDynamic);
    boost->position = hero->position;
    boost->InvalidateTransform();
    Send(boost, 616, -1);
    const int32_t boostId = boost->actorId;
    runner.Step(1); // the collision pass brings them together
    EXPECT_EQ(states(boostId), (std::vector<uint32_t>{5}));
    const float changedBefore = hero->paramChanged[kParamSpeed];
    runner.Step(121); // the 2 s animation
    EXPECT_EQ(states(boostId), (std::vector<uint32_t>{5, 3}));
    EXPECT_NE(hero->paramChanged[kParamSpeed], changedBefore);
    runner.Step(2);
    EXPECT_EQ(states(boostId), (std::vector<uint32_t>{5, 3, 8}));
    EXPECT_EQ(GetActorById(static_cast<uint32_t>(boostId)), nullptr);
    // The hero's condition takes the change at its next tick and lets it go
    // over the effect's 10 s.
    const float base = hero->paramBase[kParamSpeed];
    runner.Step(6);
    EXPECT_NEAR(hero->paramValue[kParamSpeed], 0.5f * base, 1e-3f * base);
    runner.Step(594);
    EXPECT_GT(hero->paramValue[kParamSpeed], 0.9f * base);
    EXPECT_LT(hero->paramValue[kParamSpeed], base);
    runner.Step(120);
    EXPECT_EQ(hero->paramValue[kParamSpeed], base);

    // A key grabbed from the inventory.
    GameObjectActor *key = Item(kItemKey);
    Send(key, 617, hero->actorId);
    Actor *pointer = key;
    hero->HandleCommand(1072, ParamBlock(&pointer, sizeof(pointer)));
    runner.Step(33);
    EXPECT_EQ(key->itemState, kItemInInventory);
    runner.Step(2);
    EXPECT_EQ(std::tuple(key->parent, key->itemState),
              std::tuple(FindChildByName(hero, "RightHand"), 4u));

    // A dropped item comes back once its guard ran out.
    GameObjectActor *coin = Item(kItemValuable);
    ColObj &coinObject = AddObject(coin, events | kColObjDynamic);
    coin->droppable = 1;
    Send(coin, 617, hero->actorId);
    Send(coin, 622, hero->actorId);
    int frames = 0;
    for (; coin->itemState == kItemInScene && frames < 200; ++frames) {
        Touch(coin, heroCol, &coinObject); // it flew off: the touch is handed over
        runner.Step(1);
    }
    EXPECT_EQ(coin->itemState, kItemPickup);
    EXPECT_NEAR(frames / 60.0f, 2.0f, 0.05f);
}

} // namespace
