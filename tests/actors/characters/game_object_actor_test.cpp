// The Game Object's fields and commands, binding, the state commands with
// their reports and replication, hands, pick-up, hits, drops and the
// collision rules.
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "base/random.h"
#include "core/actors/command_ids.h"
#include "game_object_fixture.h"

namespace {

std::vector<const Actor *> destroyed;
void NoteDestroyed(Actor *actor) { destroyed.push_back(actor); }

TEST_F(GameObjectTest, DefaultsAndPropertiesRoundTrip) {
    GameObjectActor fresh;
    EXPECT_EQ(std::tuple(fresh.itemType, fresh.animationType, fresh.animationTime,
                         fresh.icon1MaterialId, fresh.icon2MaterialId, fresh.rotateInScene,
                         fresh.ownerId, fresh.previousOwnerId, fresh.weight, fresh.price,
                         fresh.droppable),
              std::tuple(0u, 1u, 2.0f, 4u, 4u, 1u, -1, -1, 1.0f, 1.0f, 0u));
    EXPECT_EQ(std::tuple(fresh.characterHoldTime, fresh.trapSetupMin, fresh.trapSetupMax,
                         fresh.trapTriggerMin, fresh.trapTriggerMax, fresh.trapFunctionalDelay,
                         fresh.lightTime, fresh.bombTimer, fresh.selectedEffect),
              std::tuple(10.0f, 1.0f, 2.0f, 1.0f, 2.0f, 5.0f, 120.0f, 3.0f, -1));
    EXPECT_EQ(fresh.flags & 0x900u, 0u);

    GameObjectActor *item = Item(kItemValuable);
    const std::tuple<uint32_t, uint32_t, uint32_t> words[] = {
        {606, 607, 1},  {608, 609, 2},    {612, 613, 5}, {623, 624, 0},
        {625, 626, 9},  {627, 628, 11},   {629, 630, 6}, {632, 633, 1},
        {634, 635, 77}, {649, 650, 0x30}, {653, 654, 2}, {655, 656, 3},
    };
    for (const auto &[set, get, value] : words) {
        SendCommandArgs(item, set, value);
        uint32_t answer = 0;
        item->HandleCommand(get, ParamBlock(&answer, 4));
        item->HandleCommand(get, ParamBlock(&answer, 4)); // a getter changes nothing
        EXPECT_EQ(answer, value) << set;
    }
    const std::tuple<uint32_t, uint32_t, float, float> reals[] = {
        {610, 611, 0.004f, 0.01f}, {610, 611, 1.5f, 1.5f},   {641, 642, 0.004f, 0.01f},
        {643, 644, 2.5f, 2.5f},    {645, 646, 4.0f, 4.0f},   {647, 648, 9.0f, 9.0f},
        {651, 652, 3.0f, 3.0f},    {657, 658, 6.0f, 6.0f},   {659, 660, 1.5f, 1.5f},
        {661, 662, 2.5f, 2.5f},    {663, 664, 1.25f, 1.25f}, {665, 666, 2.75f, 2.75f},
        {667, 668, 7.0f, 7.0f},
    };
    for (const auto &[set, get, value, stored] : reals) {
        SendCommandArgs(item, set, value);
        float answer = 0.0f;
        item->HandleCommand(get, ParamBlock(&answer, sizeof(answer)));
        EXPECT_EQ(answer, stored) << set;
    }
    std::string motion = "R_Throw";
    item->HandleCommand(604, ParamBlock(motion.data(), motion.size() + 1));
    char text[16] = {};
    item->HandleCommand(605, ParamBlock(text, sizeof(text)));
    EXPECT_STREQ(text, "R_Throw");
    EXPECT_TRUE(Reports(item->actorId).empty()); // 612 is no transition

    // Key groups count from 1; 0 and numbers past 32 name no bit.
    SendCommandArgs(item, 629, uint32_t{0});
    for (const auto &[n, on, expected] :
         {std::tuple(3u, 1u, 0x4u), std::tuple(1u, 1u, 0x5u), std::tuple(3u, 0u, 0x1u),
          std::tuple(0u, 1u, 0x1u), std::tuple(33u, 1u, 0x1u), std::tuple(32u, 1u, 0x80000001u)}) {
        uint32_t block[2] = {n, on};
        item->HandleCommand(631, ParamBlock(block, sizeof(block)));
        EXPECT_EQ(item->keyGroups, expected) << n;
    }
}

TEST_F(GameObjectTest, TypeChangeRebuildsChildrenAndTypeDefaults) {
    GameObjectActor *item = Item(kItemTrap);
    auto names = [&] {
        std::vector<std::string> found;
        for (Actor *child : item->children) {
            found.push_back(child->name + ":" + std::to_string(child->classId));
        }
        return found;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"Object:3", "Sound:2", "Trap:3"}));
    EXPECT_EQ(item->childTrap.target, item->children[2]);
    // Deleted last first (the pointers are compared, never followed).
    const std::vector<const Actor *> lastFirst(item->children.rbegin(), item->children.rend());
    destroyed.clear();
    AddActorDestroyedHook(&NoteDestroyed);
    SendCommandArgs(item, 602, uint32_t{kItemLight});
    RemoveActorDestroyedHook(&NoteDestroyed);
    EXPECT_EQ(destroyed, lastFirst);
    EXPECT_EQ(names(), (std::vector<std::string>{"Object:3", "Sound:2", "Light:4"}));
    EXPECT_EQ(std::tuple(item->childTrap.target, item->childLight.target),
              std::tuple(nullptr, item->children[2]));
    SendCommandArgs(item, 602, uint32_t{kItemWeapon});
    EXPECT_EQ(std::tuple(item->recoil, item->bulletLoadTime, item->range, item->weaponType,
                         item->weaponFlags, item->maxBulletsInClip, item->preFire1ReverseSpeed),
              std::tuple(1.0f, 0.1f, 50.0f, 1u, 0xCu, 6u, 1.0f));
    SendCommandArgs(item, 602, uint32_t{kItemAmmo});
    EXPECT_EQ(std::tuple(item->weaponFlags, item->preFire2TimeOut, item->secondaryType,
                         item->maxBulletsInClip, item->rayExclude),
              std::tuple(6u, 1u, 1u, 0x4000001u, 0x40000u));

    // The ray masks of ammunition read from files before version 51.
    for (const auto &[version, type, fixed] :
         {std::tuple(50u, kItemAmmo, true), std::tuple(51u, kItemAmmo, false),
          std::tuple(50u, kItemKey, false)}) {
        GameObjectActor loaded;
        loaded.itemType = type;
        GetActorSystem()->SetFileVersion(version);
        loaded.HandleCommand(cmd::base::InitLoad, ParamBlock());
        EXPECT_EQ(loaded.maxBulletsInClip == 0x4000001u && loaded.rayExclude == 0x40000u &&
                      loaded.secondaryType == 1u,
                  fixed)
            << version;
    }
}

TEST_F(GameObjectTest, PrecalculateEntersGroupSubscribesOnceAndCopiesBindTheirOwn) {
    GameObjectActor *item = Item(kItemTrap);
    item->drawGroupId = -1;
    item->simState.reset();
    item->HandleCommand(cmd::base::Precalculate, ParamBlock());
    item->HandleCommand(cmd::base::Precalculate, ParamBlock());
    EXPECT_EQ(item->drawGroupId, room->drawGroupId);
    EXPECT_NE(item->simState, nullptr);
    size_t entries = 0;
    for (ScheduledCommand *entry : item->scheduledCommands) {
        entries += entry->command == cmd::base::Process ? 1 : 0;
    }
    EXPECT_EQ(entries, 1u);

    // A copy takes the fields but binds its own children.
    item->price = 42.0f;
    auto *twin = dynamic_cast<GameObjectActor *>(CopyActorTree(item, room));
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(std::tuple(twin->price, twin->collisionGuard), std::tuple(42.0f, 0.5f));
    twin->HandleCommand(cmd::base::Precalculate, ParamBlock());
    ASSERT_NE(twin->childTrap.target, nullptr);
    EXPECT_EQ(twin->childTrap.target->parent, twin);

    // No slot outlives its child: rebuild, then use every slot.
    SendCommandArgs(item, 602, uint32_t{kItemTrap});
    item->collisionGuard = 0.0f;
    Send(item, 616, -1);
    Send(item, 636, -1);
    runner.Step(3);
    EXPECT_EQ(item->itemState, kItemInScene);
}

TEST_F(GameObjectTest, ShownChildSwapsActionPre) {
    GameObjectActor *item = Item(kItemWeapon);
    game::Recorder first, second;
    item->SetShownChild(&first);
    item->SetShownChild(&second);
    item->SetShownChild(nullptr);
    for (const game::Recorder *child : {&first, &second}) {
        EXPECT_EQ(std::tuple(child->Of(208).size(), child->Of(209).size()),
                  std::tuple(size_t{1}, size_t{1}));
        const std::vector<uint32_t> ids = child->Ids();
        EXPECT_LT(std::find(ids.begin(), ids.end(), 208u) - ids.begin(),
                  std::find(ids.begin(), ids.end(), 209u) - ids.begin());
    }
    EXPECT_EQ(item->shownChild.target, nullptr);
}

TEST_F(GameObjectTest, EveryTransitionMovesTheOwnerAndReports) {
    const std::pair<uint32_t, uint32_t> moves[] = {{614, 0}, {615, 1}, {616, 2}, {617, 3}, {618, 4},
                                                   {619, 4}, {620, 5}, {621, 6}, {622, 2}};
    for (const auto &[command, state] : moves) {
        GameObjectActor *item = Item(kItemValuable);
        item->droppable = 1;
        item->ownerId = 5555;
        Send(item, command, 7777); // names no actor
        // A drop ends with 616, which moves the owner once more.
        EXPECT_EQ(std::tuple(item->itemState, item->previousOwnerId, item->ownerId),
                  std::tuple(state, command == 622 ? 7777 : 5555, 7777))
            << command;
        ASSERT_FALSE(Reports(item->actorId).empty());
        EXPECT_EQ(Reports(item->actorId).back(), std::pair(7777, state)) << command;
    }
    // Replication only for a master owner; never for 614 or a trap's 615.
    GameObjectActor *valuable = Item(kItemValuable);
    for (uint32_t command : {614u, 615u, 616u, 620u, 621u}) {
        Send(valuable, command, body->actorId);
    }
    EXPECT_EQ(Net(valuable->actorId), (std::vector<uint32_t>{615, 616, 620, 621}));
    GameObjectActor *trap = Item(kItemTrap);
    Send(trap, 615, body->actorId);
    EXPECT_TRUE(Net(trap->actorId).empty());
    Send(valuable, 616, hero->actorId);
    EXPECT_EQ(Net(valuable->actorId).size(), 4u);
}

TEST_F(GameObjectTest, ContainerSceneAndInventorySwitchCollisionAndChildren) {
    for (uint32_t type : {kItemTrap, kItemKey}) {
        GameObjectActor *item = Item(type);
        ColObj &marked = AddObject(item, kColObjActive | kColObjDynamic);
        ColObj &unmarked = AddObject(item, kColObjActive);
        game::Recorder *child = Watch(item, nullptr, "Watcher");
        item->position = {5.0f, 6.0f, 7.0f};
        item->rotation = {0.0f, 1.0f, 0.0f, 0.0f};
        Send(item, 614, -1);
        const bool trap = type == kItemTrap;
        EXPECT_EQ(std::tuple(marked.flags & 1u, unmarked.flags & 1u,
                             item->HasFlag(kActorCollisionEnabled), item->drawGroupId == -1),
                  std::tuple(0u, trap ? 1u : 0u, trap, trap));
        EXPECT_EQ(std::tuple(item->position.x, item->rotation.w, item->collisionGuard),
                  std::tuple(0.0f, 1.0f, 4.0f));
        EXPECT_EQ(child->Of(467).back().Read<uint32_t>(), 0u);

        Send(item, 616, -1);
        EXPECT_EQ(std::tuple(marked.flags & 1u, unmarked.flags & 1u,
                             item->HasFlag(kActorCollisionEnabled)),
                  std::tuple(1u, 0u, true));
        EXPECT_EQ(child->Of(467).back().Read<uint32_t>(), 1u);
        if (trap) {
            EXPECT_TRUE(item->childObject.target->IsOperational());
            EXPECT_FALSE(item->childTrap.target->IsOperational());
        }
    }
    for (uint32_t type : {kItemThrowObject, kItemPowerUp}) {
        GameObjectActor *item = Item(type);
        ColObj &unmarked = AddObject(item, 0);
        Send(item, 616, -1);
        EXPECT_EQ(unmarked.flags & 1u, 1u) << type;
    }
    // Into the inventory: under "Items"; a Light stops its sounds.
    GameObjectActor *light = Item(kItemLight);
    game::Recorder *child = Watch(light, nullptr, "Watcher");
    Send(light, 617, hero->actorId);
    EXPECT_EQ(std::tuple(light->parent, child->Of(436).size()),
              std::tuple(FindChildByName(hero, "Items"), size_t{1}));
}

TEST_F(GameObjectTest, ActivationSpinsAndEnds) {
    GameObjectActor *key = Item(kItemKey);
    SendCommandArgs(key, 610, 0.5f);
    SendCommandArgs(key, 608, uint32_t{2});
    game::Recorder *child = Watch(key, nullptr, "Watcher");
    Send(key, 615, hero->actorId);
    EXPECT_EQ(std::tuple(key->spinRate.x, key->spinRate.y, key->spinRate.z, key->jumpSpeed),
              std::tuple(2.0f, 12.2f, 2.0f, 70.0f));
    EXPECT_EQ(std::tuple(child->Of(435).size(), child->Of(251).size(), child->Of(467).size()),
              std::tuple(size_t{1}, size_t{1}, size_t{1}));
    runner.Step(1);
    EXPECT_NEAR(key->jumpSpeed, 70.0f - 0.5f * 30.0f / 60.0f, 1e-4f);
    EXPECT_GT(key->position.y, 0.0f);
    runner.Step(30);
    EXPECT_EQ(std::tuple(key->itemState, key->parent),
              std::tuple(3u, FindChildByName(hero, "Items")));
}

TEST_F(GameObjectTest, TimesAndPitchesThatAreNotNumbersTakeTheFloor) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    GameObjectActor *key = Item(kItemKey);
    for (const uint32_t set : {610u, 641u}) {
        for (const float value : {kNaN, kInf, -kInf}) {
            SendCommandArgs(key, set, value);
            float answer = 0.0f;
            key->HandleCommand(set + 1, ParamBlock(&answer, sizeof(answer)));
            // Only values below the floor are raised: an endless time stays.
            EXPECT_EQ(answer, value == kInf ? kInf : 0.01f) << set << " " << value;
        }
    }
    // The activation with the floored time ends as a short one does.
    SendCommandArgs(key, 610, kNaN);
    SendCommandArgs(key, 608, uint32_t{2});
    Send(key, 615, hero->actorId);
    runner.Step(31);
    EXPECT_EQ(std::tuple(key->itemState, key->parent, std::isfinite(key->rotation.y)),
              std::tuple(3u, FindChildByName(hero, "Items"), true));
    // A pitch turned by a NaN rests on the lower limit.
    SendCommandArgs(hero, 983, kNaN);
    EXPECT_FALSE(std::isnan(hero->look.rotX));
}

TEST_F(GameObjectTest, TrapSpringsOnItsVictim) {
    hero->flags |= kActorMaster;
    GameObjectActor *trap = Item(kItemTrap);
    Send(trap, 614, 5555);
    Send(trap, 615, hero->actorId);
    // The trap mesh has no length: the floor keeps the rates finite.
    EXPECT_EQ(trap->animationTime, 0.01f);
    EXPECT_TRUE(std::isfinite(trap->spinRate.y));
    EXPECT_FALSE(trap->childObject.target->IsOperational());
    EXPECT_TRUE(trap->childTrap.target->IsOperational());
    EXPECT_EQ(std::tuple(trap->parent == hero, hero->holdTime), std::tuple(true, 10.0f));
    ASSERT_EQ(front->Of(679).size(), 1u);
    const RecordedCommand info = front->Of(679)[0];
    EXPECT_EQ(std::tuple(info.Read<int32_t>(0), info.Read<int32_t>(4), info.Read<uint32_t>(8),
                         info.F32(12), info.F32(16)),
              std::tuple(5555, hero->actorId, 1u, 0.0f, 0.0f));
    EXPECT_EQ(std::tuple(Net(kInventoryActorId), front->Of(550).size()),
              std::tuple(std::vector<uint32_t>{679}, size_t{1}));
    runner.Step(1);
    EXPECT_TRUE(trap->HasFlag(kActorQueuedForDeletion));
}

TEST_F(GameObjectTest, HandsTakeTheItemAndSendTheHeldOneBack) {
    GameObjectActor *light = Item(kItemLight);
    GameObjectActor *key = Item(kItemKey);
    GameObjectActor *other = Item(kItemKey);
    uint32_t three[2] = {static_cast<uint32_t>(body->actorId), 3};
    light->HandleCommand(619, ParamBlock(three, sizeof(three)));
    key->HandleCommand(619, ParamBlock(three, sizeof(three)));
    Actor *right = FindChildByName(body, "RightHand");
    EXPECT_EQ(std::tuple(light->parent, key->parent),
              std::tuple(FindChildByName(body, "LeftHand"), right));
    Send(other, 618, body->actorId);
    EXPECT_EQ(std::tuple(other->parent, key->parent, key->itemState),
              std::tuple(right, FindChildByName(body, "Items"), 3u));
    EXPECT_EQ(Net(other->actorId), (std::vector<uint32_t>{618}));
    uint32_t none[2] = {static_cast<uint32_t>(body->actorId), 0};
    key->HandleCommand(619, ParamBlock(none, sizeof(none)));
    EXPECT_EQ(std::tuple(key->parent, key->itemState),
              std::tuple(FindChildByName(body, "Items"), 4u));
}

TEST_F(GameObjectTest, PickupTurnsRisesThenReachesTheInventory) {
    GameObjectActor *gem = Item(kItemValuable);
    SendCommandArgs(gem, 610, 0.5f);
    Send(gem, 616, -1);
    game::Recorder spy;
    AddCommandSpy(gem, &spy);
    Send(gem, 620, hero->actorId);
    EXPECT_EQ(gem->pickupCountdown, 0.5f);
    runner.Step(15);
    EXPECT_NEAR(gem->position.y, 15.0f, 0.01f);                                    // 60 per second
    EXPECT_NEAR(2.0f * std::atan2(gem->rotation.y, gem->rotation.w), 1.0f, 0.01f); // 4 per second
    EXPECT_EQ(Heard(spy, 748), 0u);
    runner.Step(16);
    RemoveCommandSpy(gem, &spy);
    EXPECT_EQ(std::tuple(Heard(spy, 748), Heard(spy, 617)), std::tuple(size_t{1}, size_t{1}));
    EXPECT_EQ(Reports(gem->actorId).back(), std::pair(hero->actorId, 3u));
}

TEST_F(GameObjectTest, HitsAndDrops) {
    body->position = {100.0f, 0.0f, 0.0f};
    body->InvalidateTransform();
    // A Bomb applies its hit and lies in the scene again; a Power Up that
    // reaches the inventory applies its effects and goes.
    GameObjectActor *bomb = Item(kItemBomb);
    Send(bomb, 621, body->actorId);
    EXPECT_EQ(std::tuple(bomb->itemState, bomb->collisionGuard, body->Of(856).size()),
              std::tuple(2u, 3.0f, size_t{1}));
    GameObjectActor *boost = Item(kItemPowerUp);
    boost->effects = {{0, 50.0f, 10.0f}};
    Send(boost, 617, body->actorId);
    ASSERT_EQ(body->Of(940).size(), 1u);
    EXPECT_EQ(std::tuple(body->Of(940)[0].F32(0), body->Of(940)[0].F32(4),
                         boost->HasFlag(kActorQueuedForDeletion)),
              std::tuple(50.0f, 10.0f, true));
    // Others go under the owner where they are.
    GameObjectActor *dart = Item(kItemThrowObject);
    dart->position = {130.0f, 5.0f, 0.0f};
    dart->deltaPosition = {9.0f, 9.0f, 9.0f};
    dart->InvalidateTransform();
    Send(dart, 621, body->actorId);
    EXPECT_EQ(dart->parent, body);
    EXPECT_NEAR(dart->position.x, 30.0f, 1e-3f);
    EXPECT_EQ(std::tuple(dart->deltaPosition.y, dart->fadeOn, dart->fadeTime),
              std::tuple(0.0f, 1u, 5.0f));

    // Refused drops report nothing.
    const std::tuple<uint32_t, uint32_t, uint32_t> refused[] = {
        {kItemValuable, 0, 0}, {kItemThrowObject, 1, 0}, {kItemTrigger, 1, 0},
        {kItemWeapon, 1, 5},   {kItemBomb, 1, 0},
    };
    for (const auto &[type, droppable, weaponState] : refused) {
        GameObjectActor *item = Item(type);
        item->droppable = droppable;
        item->itemState = kItemInInventory;
        item->weaponState = weaponState;
        Send(item, 622, body->actorId);
        EXPECT_TRUE(Reports(item->actorId).empty()) << type;
    }
    // From the inventory of an owner with a right hand: above the hand with
    // two draws for the sides, z first.
    GameObjectActor *coin = Item(kItemValuable);
    coin->droppable = 1;
    Send(coin, 617, body->actorId);
    FindChildByName(body, "RightHand")->position = {0.0f, 50.0f, 0.0f};
    SeedRand(9);
    const float z = static_cast<float>((Rand() & 127) - 64);
    const float x = static_cast<float>((Rand() & 127) - 64);
    SeedRand(9);
    Send(coin, 622, body->actorId);
    EXPECT_EQ(std::tuple(coin->deltaPosition.x, coin->deltaPosition.y, coin->deltaPosition.z),
              std::tuple(x, 160.0f, z));
    EXPECT_EQ(std::tuple(coin->parent, coin->collisionGuard, coin->itemState),
              std::tuple(GetActorById(kSceneryRootId), 2.0f, 2u));
    EXPECT_NEAR(coin->position.y, 70.0f, 1e-3f);
    const int32_t by = body->actorId;
    EXPECT_EQ(Reports(coin->actorId),
              (std::vector<std::pair<int32_t, uint32_t>>{{by, 3}, {by, 7}, {by, 2}}));
    // Without a right hand: where it is, straight up.
    game::Recorder *handless = StandIn({"Items"});
    GameObjectActor *ring = Item(kItemValuable);
    ring->droppable = 1;
    Send(ring, 617, handless->actorId);
    Send(ring, 622, handless->actorId);
    EXPECT_EQ(std::tuple(ring->deltaPosition.x, ring->deltaPosition.y, ring->deltaPosition.z),
              std::tuple(0.0f, 160.0f, 0.0f));
}

TEST_F(GameObjectTest, CollisionRules) {
    hero->flags |= kActorMaster;
    ColObj *heroCol = hero->BodyColObj();
    ASSERT_NE(heroCol, nullptr);
    struct Case {
        uint32_t type;
        uint32_t state;
        uint32_t ownFlags;
        int32_t owner;
        uint32_t expected; // the state after the touch
    };
    const Case cases[] = {
        {kItemWeapon, kItemInScene, 0, -1, kItemPickup},
        {kItemBomb, kItemInScene, 0, -1, kItemInScene}, // hit, back in the scene
        {kItemThrowObject, kItemInScene, 0, hero->actorId, kItemInScene},
        {kItemThrowObject, kItemInScene, 0, 5555, kItemHit},
        {kItemPowerUp, kItemInScene, 0, -1, kItemPickup},
        {kItemKey, kItemInScene, kColObjDynamic, -1, kItemPickup},
        {kItemKey, kItemInScene, 0, -1, kItemInScene},
        {kItemKey, kItemInInventory, kColObjDynamic, -1, kItemInInventory},
    };
    for (const Case &c : cases) {
        GameObjectActor *item = Item(c.type);
        item->itemState = c.state;
        item->ownerId = c.owner;
        hero->holdTime = 0.0f;
        Touch(item, heroCol, &AddObject(item, kColObjActive | c.ownFlags));
        EXPECT_EQ(item->itemState, c.expected) << c.type << " " << c.state;
    }
    // Guards: a container placement, then a held hero.
    GameObjectActor *key = Item(kItemKey);
    ColObj &own = AddObject(key, kColObjActive | kColObjDynamic);
    Send(key, 614, -1);
    key->itemState = kItemInScene;
    Touch(key, heroCol, &own);
    key->collisionGuard = 0.0f;
    hero->holdTime = 1.0f;
    Touch(key, heroCol, &own);
    EXPECT_EQ(key->itemState, kItemInScene);

    // A thrown object sticks to a wall where it is.
    GameObjectActor *dart = Item(kItemThrowObject);
    dart->itemState = kItemInScene;
    dart->position = {40.0f, 10.0f, 0.0f};
    dart->InvalidateTransform();
    ColObj &tip = AddObject(dart, kColObjActive | 0x16);
    Actor *block = CreateActor(0, "Block", nullptr, room, -1, true);
    block->position = {30.0f, 0.0f, 0.0f};
    block->InvalidateTransform();
    Touch(dart, &AddObject(block, kColObjActive | kColObjSolid), &tip);
    EXPECT_EQ(dart->parent, block);
    EXPECT_NEAR(dart->position.x, 10.0f, 1e-3f);
    EXPECT_EQ(std::tuple(tip.flags & 0x16u, dart->fadeTime, dart->fadeOn),
              std::tuple(0u, 5.0f, 1u));

    // A trap in its container reports the contact, within its radius.
    GameObjectActor *trap = Item(kItemTrap);
    ColObj &wire = AddObject(trap, kColObjActive);
    Send(trap, 614, 4444);
    trap->collisionGuard = 0.0f;
    trap->trapInfoGuard = -1.0f;
    Touch(trap, heroCol, &wire);
    ASSERT_EQ(front->Of(679).size(), 1u);
    const RecordedCommand info = front->Of(679)[0];
    EXPECT_EQ(std::tuple(info.Read<int32_t>(0), info.Read<int32_t>(4), info.Read<uint32_t>(8),
                         info.F32(12)),
              std::tuple(4444, hero->actorId, 0u, 12.0f));
    EXPECT_LE(info.F32(16), 12.0f);
    EXPECT_EQ(std::tuple(trap->trapInfoGuard, Net(kInventoryActorId).size()),
              std::tuple(0.5f, size_t{1}));
}

} // namespace
