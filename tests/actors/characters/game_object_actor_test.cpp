// The Game Object on a loaded scene: fields and commands, binding, the
// state commands with their reports and replication, hands, pick-up, hits,
// drops and the collision rules. Actor 16 is a recorder; characters are the
// fixture's hero or a recording stand-in of class 16.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/characters/game_object_actor.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_ids.h"
#include "support/game_fixture.h"

namespace {

// Keeps the id and a copy of the block of every command its actor hears
// (through the spy notice).
class BlockSpy : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == 93) {
            const auto *heard = block.Read<const ParamBlock *>(8);
            RecordedCommand entry{0, block.ReadU32(0), {}};
            if (heard != nullptr && heard->data() != nullptr) {
                entry.block.assign(heard->data(), heard->data() + heard->size());
            }
            log.push_back(std::move(entry));
        }
        return 0;
    }
    std::vector<RecordedCommand> Of(uint32_t id) const {
        std::vector<RecordedCommand> found;
        for (const RecordedCommand &entry : log) {
            if (entry.id == id) {
                found.push_back(entry);
            }
        }
        return found;
    }
    std::vector<RecordedCommand> log;
};

class GameObjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        game::Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500});
        game::BoxWall(builder, "Floor", {-400, -20, -400}, {400, 0, 400},
                      scene::SceneBuilder::Find("RoomA"));
        game::MakeCharacter(builder, "Hero", {0, 30, 0}, builder.Find("RoomA"));
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        room = scene::SceneBuilder::Find("RoomA");
        hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        front = game::MakeFrontEnd();
        ASSERT_NE(front, nullptr);
        GetActorSystem()->recordMode = 2;
    }
    void TearDown() override {
        if (GetActorSystem() != nullptr) {
            GetActorSystem()->recordMode = 0;
        }
    }

    GameObjectActor *Item(uint32_t type, const char *name = "Item", Actor *parent = nullptr) {
        auto *item = dynamic_cast<GameObjectActor *>(
            CreateActor(kGameObjectClassId, name, nullptr, parent ? parent : room, -1, true));
        SendCommandArgs(item, 602, type);
        item->HandleCommand(kCmdPrecalculate, ParamBlock());
        return item;
    }
    // A recording character with "Items", "LeftHand" and "RightHand" (or
    // the holders named).
    game::Recorder *StandIn(std::vector<const char *> holders = {"Items", "LeftHand",
                                                                 "RightHand"}) {
        game::RecorderClass characters(kCharacterClassId);
        auto *body = dynamic_cast<game::Recorder *>(
            CreateActor(kCharacterClassId, "StandIn", nullptr, room, -1, true));
        for (const char *holder : holders) {
            CreateActor(0, holder, nullptr, body, -1, true);
        }
        return body;
    }
    static void Send(Actor *item, uint32_t commandId, int32_t owner) {
        item->HandleCommand(commandId, ParamBlock(&owner, sizeof(owner)));
    }
    // {owner, state} of every 557 about the item.
    std::vector<std::pair<int32_t, uint32_t>> Reports(const Actor *item) const {
        std::vector<std::pair<int32_t, uint32_t>> found;
        for (const RecordedCommand &entry : front->Of(kCmdItemStateReport)) {
            if (entry.Read<int32_t>(0) == item->actorId) {
                found.emplace_back(entry.Read<int32_t>(4), entry.Read<uint32_t>(8));
            }
        }
        return found;
    }
    // Command ids handed to the network for the actor.
    static std::vector<uint32_t> Net(int32_t actorId) {
        std::vector<uint32_t> ids;
        for (const CommandLogRecord &record : GetActorSystem()->commandLog) {
            if (record.actorId == static_cast<uint32_t>(actorId)) {
                ids.push_back(record.commandId);
            }
        }
        return ids;
    }
    static ColObj &AddObject(Actor *actor, uint32_t flags) {
        ColObj object(actor);
        object.flags = flags;
        object.boxMax = {12.0f, 12.0f, 12.0f};
        return actor->AddColObj(object);
    }
    static void Touch(Actor *item, ColObj *other, ColObj *own) {
        ColObj *pair[2] = {other, own};
        item->HandleCommand(kCmdCollisionEvent, ParamBlock(pair, sizeof(pair)));
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    Actor *room = nullptr;
    CharacterActor *hero = nullptr;
    game::Recorder *front = nullptr;
};

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
        {606, 607, 1},  {608, 609, 2},  {612, 613, 5},  {623, 624, 0},  {625, 626, 9},
        {627, 628, 11}, {629, 630, 6},  {632, 633, 1},  {634, 635, 77}, {649, 650, 0x30},
        {653, 654, 2},  {655, 656, 3},
    };
    for (const auto &[set, get, value] : words) {
        SendCommandArgs(item, set, value);
        uint32_t answer[2] = {0, 0xABCD};
        item->HandleCommand(get, ParamBlock(answer, 4));
        item->HandleCommand(get, ParamBlock(answer, 4)); // a getter changes nothing
        EXPECT_EQ(answer[0], value) << set;
    }
    const std::tuple<uint32_t, uint32_t, float, float> reals[] = {
        {610, 611, 0.004f, 0.01f}, {610, 611, 1.5f, 1.5f},  {641, 642, 0.004f, 0.01f},
        {643, 644, 2.5f, 2.5f},    {645, 646, 4.0f, 4.0f},  {647, 648, 9.0f, 9.0f},
        {651, 652, 3.0f, 3.0f},    {657, 658, 6.0f, 6.0f},  {659, 660, 1.5f, 1.5f},
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
    // 602 keeps its type; 612 stores a state with no transition.
    uint32_t type = 0;
    item->HandleCommand(603, ParamBlock(&type, sizeof(type)));
    EXPECT_EQ(std::tuple(type, Reports(item).size()), std::tuple(0u, size_t{0}));

    // Key groups count from 1; 0 and numbers past 32 name no bit.
    SendCommandArgs(item, 629, uint32_t{0});
    for (const auto &[n, on, expected] : {std::tuple(3u, 1u, 0x4u), std::tuple(1u, 1u, 0x5u),
                                          std::tuple(3u, 0u, 0x1u), std::tuple(0u, 1u, 0x1u),
                                          std::tuple(33u, 1u, 0x1u), std::tuple(32u, 1u, 0x80000001u)}) {
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
    BlockSpy spy;
    AddCommandSpy(item, &spy);
    // Deleted last first (the pointers are compared, never followed).
    std::vector<const Actor *> lastFirst(item->children.rbegin(), item->children.rend());
    SendCommandArgs(item, 602, uint32_t{kItemLight});
    std::vector<const Actor *> removed;
    for (const RecordedCommand &entry : spy.Of(102)) {
        removed.push_back(entry.Read<const Actor *>(0));
    }
    RemoveCommandSpy(item, &spy);
    EXPECT_EQ(removed, lastFirst);
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

    // The load fix of old files, for ammunition only.
    for (const auto &[version, type, group] :
         {std::tuple(50u, kItemAmmo, 1u), std::tuple(51u, kItemAmmo, 0u),
          std::tuple(50u, kItemValuable, 0u)}) {
        GameObjectActor loaded;
        loaded.itemType = type;
        GetActorSystem()->SetFileVersion(version);
        loaded.HandleCommand(kCmdInitLoad, ParamBlock());
        EXPECT_EQ(std::tuple(loaded.secondaryType, loaded.maxBulletsInClip != 0),
                  std::tuple(group, group != 0))
            << version;
    }
}

TEST_F(GameObjectTest, PrecalculateEntersGroupSubscribesOnceAndCopiesBindTheirOwn) {
    GameObjectActor *item = Item(kItemTrap);
    item->drawGroupId = -1;
    item->simState.reset();
    item->HandleCommand(kCmdPrecalculate, ParamBlock());
    item->HandleCommand(kCmdPrecalculate, ParamBlock());
    EXPECT_EQ(item->drawGroupId, room->drawGroupId);
    EXPECT_NE(item->simState, nullptr);
    size_t entries = 0;
    for (ScheduledCommand *entry : item->scheduledCommands) {
        entries += entry->command == kCmdProcess ? 1 : 0;
    }
    EXPECT_EQ(entries, 1u);

    // A copy takes the fields but binds its own children.
    item->price = 42.0f;
    Actor *copy = CopyActorTree(item, room);
    auto *twin = dynamic_cast<GameObjectActor *>(copy);
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(std::tuple(twin->price, twin->collisionGuard), std::tuple(42.0f, 0.5f));
    twin->HandleCommand(kCmdPrecalculate, ParamBlock());
    ASSERT_NE(twin->childTrap.target, nullptr);
    EXPECT_EQ(twin->childTrap.target->parent, twin);

    // Slots never outlive their children: rebuild, then use every slot.
    SendCommandArgs(item, 602, uint32_t{kItemTrap});
    item->collisionGuard = 0.0f;
    Send(item, 616, -1);
    Send(item, 636, -1);
    runner.Step(3);
    EXPECT_EQ(item->itemState, kItemInScene);
}

TEST_F(GameObjectTest, ShownChildSwapsActionPre) {
    GameObjectActor *item = Item(kItemWeapon);
    game::Recorder first;
    game::Recorder second;
    item->SetShownChild(&first);
    item->SetShownChild(&second);
    item->SetShownChild(nullptr);
    for (const game::Recorder *child : {&first, &second}) {
        std::vector<uint32_t> pre;
        for (uint32_t id : child->Ids()) {
            if (id == 208 || id == 209) {
                pre.push_back(id);
            }
        }
        EXPECT_EQ(pre, (std::vector<uint32_t>{208, 209}));
    }
    EXPECT_EQ(item->shownChild.target, nullptr);
}

TEST_F(GameObjectTest, EveryTransitionMovesTheOwnerAndReports) {
    const std::tuple<uint32_t, uint32_t, uint32_t> moves[] = {
        {614, kItemValuable, 0}, {615, kItemValuable, 1}, {616, kItemValuable, 2},
        {617, kItemValuable, 3}, {618, kItemValuable, 4}, {619, kItemValuable, 4},
        {620, kItemValuable, 5}, {621, kItemValuable, 6}, {622, kItemValuable, 2},
    };
    for (const auto &[command, type, state] : moves) {
        GameObjectActor *item = Item(type);
        item->droppable = 1;
        item->ownerId = 5555;
        Send(item, command, 7777); // names no actor
        // A drop ends with 616, which moves the owner once more.
        EXPECT_EQ(std::tuple(item->itemState, item->previousOwnerId, item->ownerId),
                  std::tuple(state, command == 622 ? 7777 : 5555, 7777))
            << command;
        ASSERT_FALSE(Reports(item).empty());
        EXPECT_EQ(Reports(item).back(), std::pair(7777, state)) << command;
    }
    // Replication only for a master owner; never for 614 or a trap's 615.
    hero->flags |= kActorMaster;
    GameObjectActor *valuable = Item(kItemValuable);
    for (uint32_t command : {614u, 615u, 616u, 620u, 621u}) {
        Send(valuable, command, hero->actorId);
    }
    EXPECT_EQ(Net(valuable->actorId), (std::vector<uint32_t>{615, 616, 620, 621}));
    GameObjectActor *trap = Item(kItemTrap);
    Send(trap, 615, hero->actorId);
    EXPECT_TRUE(Net(trap->actorId).empty());
    hero->flags &= ~kActorMaster;
    Send(valuable, 616, hero->actorId);
    EXPECT_EQ(Net(valuable->actorId).size(), 4u);
}

TEST_F(GameObjectTest, ContainerSceneAndInventorySwitchCollisionAndChildren) {
    for (uint32_t type : {kItemTrap, kItemKey}) {
        GameObjectActor *item = Item(type);
        ColObj &marked = AddObject(item, kColObjActive | kColObjMarked);
        ColObj &unmarked = AddObject(item, kColObjActive);
        BlockSpy spy;
        AddCommandSpy(item->childObject.target, &spy);
        item->position = {5.0f, 6.0f, 7.0f};
        item->rotation = {0.0f, 1.0f, 0.0f, 0.0f};
        Send(item, 614, -1);
        const bool trap = type == kItemTrap;
        EXPECT_EQ(std::tuple(marked.flags & 1u, unmarked.flags & 1u, item->HasFlag(kActorCollisionEnabled)),
                  std::tuple(0u, trap ? 1u : 0u, trap));
        EXPECT_EQ(item->drawGroupId == -1, trap);
        EXPECT_EQ(std::tuple(item->position.x, item->rotation.w, item->collisionGuard),
                  std::tuple(0.0f, 1.0f, 4.0f));
        ASSERT_FALSE(spy.Of(467).empty());
        EXPECT_EQ(spy.Of(467).back().Read<uint32_t>(0), 0u);

        Send(item, 616, -1);
        EXPECT_EQ(std::tuple(marked.flags & 1u, unmarked.flags & 1u, item->HasFlag(kActorCollisionEnabled)),
                  std::tuple(1u, 0u, true));
        EXPECT_EQ(spy.Of(467).back().Read<uint32_t>(0), 1u);
        if (trap) {
            EXPECT_TRUE(item->childObject.target->IsOperational());
            EXPECT_FALSE(item->childTrap.target->IsOperational());
        }
        RemoveCommandSpy(item->childObject.target, &spy);
    }
    for (uint32_t type : {kItemThrowObject, kItemPowerUp}) {
        GameObjectActor *item = Item(type);
        ColObj &unmarked = AddObject(item, 0);
        Send(item, 616, -1);
        EXPECT_EQ(unmarked.flags & 1u, 1u) << type;
    }
    // Into the inventory: under "Items"; a Light stops its sounds.
    GameObjectActor *light = Item(kItemLight, "Torch");
    BlockSpy sound;
    AddCommandSpy(light->childSound.target, &sound);
    Send(light, 617, hero->actorId);
    EXPECT_EQ(light->parent, FindChildByName(hero, "Items"));
    EXPECT_EQ(sound.Of(436).size(), 1u);
    RemoveCommandSpy(light->childSound.target, &sound);
}

TEST_F(GameObjectTest, ActivationSpinsAndEnds) {
    GameObjectActor *key = Item(kItemKey);
    SendCommandArgs(key, 610, 0.5f);
    SendCommandArgs(key, 608, uint32_t{2});
    BlockSpy spy;
    AddCommandSpy(key->childSound.target, &spy);
    Send(key, 615, hero->actorId);
    EXPECT_EQ(std::tuple(key->spinRate.x, key->spinRate.y, key->spinRate.z, key->jumpSpeed),
              std::tuple(2.0f, 12.2f, 2.0f, 70.0f));
    EXPECT_EQ(std::tuple(spy.Of(435).size(), spy.Of(251).size(), spy.Of(467).size()),
              std::tuple(size_t{1}, size_t{1}, size_t{1}));
    RemoveCommandSpy(key->childSound.target, &spy);
    runner.Step(1);
    EXPECT_NEAR(key->jumpSpeed, 70.0f - 0.5f * 30.0f / 60.0f, 1e-4f);
    EXPECT_GT(key->position.y, 0.0f);
    runner.Step(30);
    EXPECT_EQ(std::tuple(key->itemState, key->parent), std::tuple(3u, FindChildByName(hero, "Items")));
}

TEST_F(GameObjectTest, TrapSpringsOnItsVictim) {
    hero->flags |= kActorMaster;
    GameObjectActor *trap = Item(kItemTrap);
    SendCommandArgs(trap, 653, uint32_t{1});
    Send(trap, 614, 5555);
    Send(trap, 615, hero->actorId);
    // The trap mesh has no length: the floor keeps the rates finite.
    EXPECT_EQ(trap->animationTime, 0.01f);
    EXPECT_TRUE(std::isfinite(trap->spinRate.y));
    EXPECT_FALSE(trap->childObject.target->IsOperational());
    EXPECT_TRUE(trap->childTrap.target->IsOperational());
    EXPECT_EQ(trap->parent, hero);
    EXPECT_EQ(hero->holdTime, 10.0f);
    ASSERT_EQ(front->Of(679).size(), 1u);
    const RecordedCommand info = front->Of(679)[0];
    EXPECT_EQ(std::tuple(info.Read<int32_t>(0), info.Read<int32_t>(4), info.Read<uint32_t>(8),
                         info.F32(12), info.F32(16)),
              std::tuple(5555, hero->actorId, 1u, 0.0f, 0.0f));
    EXPECT_EQ(Net(kInventoryActorId), (std::vector<uint32_t>{679}));
    EXPECT_EQ(front->Of(550).size(), 1u);
    runner.Step(1);
    EXPECT_TRUE(trap->HasFlag(kActorQueuedForDeletion));
}

TEST_F(GameObjectTest, HandsTakeTheItemAndSendTheHeldOneBack) {
    hero->flags |= kActorMaster;
    Actor *left = FindChildByName(hero, "LeftHand");
    Actor *right = FindChildByName(hero, "RightHand");
    GameObjectActor *light = Item(kItemLight, "Torch");
    GameObjectActor *key = Item(kItemKey, "Key");
    GameObjectActor *other = Item(kItemKey, "Other");
    uint32_t three[2] = {static_cast<uint32_t>(hero->actorId), 3};
    light->HandleCommand(619, ParamBlock(three, sizeof(three)));
    key->HandleCommand(619, ParamBlock(three, sizeof(three)));
    EXPECT_EQ(std::tuple(light->parent, key->parent), std::tuple(left, right));
    Send(other, 618, hero->actorId);
    EXPECT_EQ(std::tuple(other->parent, key->parent, key->itemState),
              std::tuple(right, FindChildByName(hero, "Items"), 3u));
    EXPECT_EQ(Net(other->actorId), (std::vector<uint32_t>{618}));
    for (const CommandLogRecord &record : GetActorSystem()->commandLog) {
        if (record.actorId == static_cast<uint32_t>(other->actorId)) {
            EXPECT_EQ(record.params.size(), 4u); // the owner only
        }
    }
    uint32_t none[2] = {static_cast<uint32_t>(hero->actorId), 0};
    Actor *before = key->parent;
    key->HandleCommand(619, ParamBlock(none, sizeof(none)));
    EXPECT_EQ(std::tuple(key->parent, key->itemState), std::tuple(before, 4u));
}

TEST_F(GameObjectTest, PickupTurnsRisesThenReachesTheInventory) {
    GameObjectActor *gem = Item(kItemValuable);
    SendCommandArgs(gem, 610, 0.5f);
    Send(gem, 616, -1);
    BlockSpy spy;
    AddCommandSpy(gem, &spy);
    Send(gem, 620, hero->actorId);
    EXPECT_EQ(gem->pickupCountdown, 0.5f);
    runner.Step(15);
    EXPECT_NEAR(gem->position.y, 15.0f, 0.01f); // 60 per second
    float angle = 2.0f * std::atan2(gem->rotation.y, gem->rotation.w);
    EXPECT_NEAR(angle, 1.0f, 0.01f); // 4 radians per second
    EXPECT_TRUE(spy.Of(748).empty());
    runner.Step(16);
    RemoveCommandSpy(gem, &spy);
    std::vector<uint32_t> order;
    for (const RecordedCommand &entry : spy.log) {
        if (entry.id == 748 || entry.id == 617) {
            order.push_back(entry.id);
        }
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{748, 617}));
    EXPECT_EQ(Reports(gem).back(), std::pair(hero->actorId, 3u));
}

TEST_F(GameObjectTest, HitsAndDrops) {
    game::Recorder *body = StandIn();
    body->position = {100.0f, 0.0f, 0.0f};
    body->InvalidateTransform();
    // A Bomb applies its hit and lies in the scene again.
    GameObjectActor *bomb = Item(kItemBomb);
    Send(bomb, 621, body->actorId);
    EXPECT_EQ(std::tuple(bomb->itemState, bomb->collisionGuard, body->Of(856).size()),
              std::tuple(2u, 3.0f, size_t{1}));
    // Others go under the owner where they are.
    GameObjectActor *dart = Item(kItemThrowObject);
    dart->position = {130.0f, 5.0f, 0.0f};
    dart->deltaPosition = {9.0f, 9.0f, 9.0f};
    dart->InvalidateTransform();
    Send(dart, 621, body->actorId);
    EXPECT_EQ(dart->parent, body);
    EXPECT_NEAR(dart->GetWorldPosition().x, 130.0f, 1e-3f);
    EXPECT_NEAR(dart->position.x, 30.0f, 1e-3f);
    EXPECT_EQ(std::tuple(dart->deltaPosition.y, dart->fadeOn, dart->fadeTime),
              std::tuple(0.0f, 1u, 5.0f));

    // Refusals report nothing.
    const std::tuple<uint32_t, uint32_t, uint32_t, uint32_t> refused[] = {
        {kItemValuable, 0, 3, 0}, {kItemThrowObject, 1, 3, 0}, {kItemTrigger, 1, 3, 0},
        {kItemWeapon, 1, 3, 5},   {kItemBomb, 1, 3, 0},
    };
    for (const auto &[type, droppable, state, weaponState] : refused) {
        GameObjectActor *item = Item(type);
        item->droppable = droppable;
        item->itemState = state;
        item->weaponState = weaponState;
        Send(item, 622, body->actorId);
        EXPECT_TRUE(Reports(item).empty()) << type;
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
    EXPECT_EQ(coin->parent, GetActorById(kSceneryRootId));
    EXPECT_NEAR(coin->position.y, 70.0f, 1e-3f);
    EXPECT_EQ(std::tuple(coin->collisionGuard, coin->itemState), std::tuple(2.0f, 2u));
    EXPECT_EQ(Reports(coin), (std::vector<std::pair<int32_t, uint32_t>>{
                                 {body->actorId, 3}, {body->actorId, 7}, {body->actorId, 2}}));
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
    heroCol->flags |= kColObjMarked | kColObjSolid;
    ColObj wall(room);
    wall.flags = kColObjActive | kColObjSolid;
    struct Case {
        uint32_t type;
        uint32_t state;
        uint32_t ownFlags;
        ColObj *other;
        int32_t owner;
        uint32_t expected; // the state after the touch
    };
    const Case cases[] = {
        {kItemWeapon, kItemInScene, 0, heroCol, -1, kItemPickup},
        {kItemBomb, kItemInScene, 0, heroCol, -1, kItemInScene}, // hit, back in the scene
        {kItemThrowObject, kItemInScene, 0, heroCol, hero->actorId, kItemInScene},
        {kItemThrowObject, kItemInScene, 0, heroCol, 5555, kItemHit},
        {kItemPowerUp, kItemInScene, 0, heroCol, -1, kItemPickup},
        {kItemKey, kItemInScene, kColObjMarked, heroCol, -1, kItemPickup},
        {kItemKey, kItemInScene, 0, heroCol, -1, kItemInScene},
        {kItemKey, kItemInInventory, kColObjMarked, heroCol, -1, kItemInInventory},
    };
    for (const Case &c : cases) {
        GameObjectActor *item = Item(c.type);
        item->itemState = c.state;
        item->ownerId = c.owner;
        ColObj &own = AddObject(item, kColObjActive | c.ownFlags);
        hero->holdTime = 0.0f;
        Touch(item, c.other, &own);
        EXPECT_EQ(item->itemState, c.expected) << c.type << " " << c.state;
    }
    // Guards: a held hero and a fresh drop or container placement are ignored.
    GameObjectActor *key = Item(kItemKey);
    ColObj &own = AddObject(key, kColObjActive | kColObjMarked);
    Send(key, 614, -1);
    key->itemState = kItemInScene;
    Touch(key, heroCol, &own);
    EXPECT_EQ(key->itemState, kItemInScene);
    key->collisionGuard = 0.0f;
    hero->holdTime = 1.0f;
    Touch(key, heroCol, &own);
    EXPECT_EQ(key->itemState, kItemInScene);
    hero->holdTime = 0.0f;

    // A thrown object sticks to a wall where it is.
    GameObjectActor *dart = Item(kItemThrowObject);
    dart->itemState = kItemInScene;
    dart->position = {40.0f, 10.0f, 0.0f};
    dart->InvalidateTransform();
    ColObj &tip = AddObject(dart, kColObjActive | 0x16);
    Actor *block = CreateActor(0, "Block", nullptr, room, -1, true);
    block->position = {30.0f, 0.0f, 0.0f};
    block->InvalidateTransform();
    wall.owner = block;
    Touch(dart, &wall, &tip);
    EXPECT_EQ(dart->parent, block);
    EXPECT_NEAR(dart->GetWorldPosition().x, 40.0f + room->GetWorldPosition().x, 1e-3f);
    EXPECT_EQ(std::tuple(tip.flags & 0x16u, dart->fadeTime, dart->fadeOn), std::tuple(0u, 5.0f, 1u));

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
