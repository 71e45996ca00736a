// The scene of the Game Object tests: a room with a floor, the fixture's
// hero, actor 16 as a recorder, and "Body", a recording master character
// (class 16) with "Items", "LeftHand" and "RightHand". Items are made after
// the load with their type's children and bound.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "actors/characters/game_object_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/game_fixture.h"

class GameObjectTest : public ::testing::Test {
  protected:
    static constexpr uint32_t kWatcherClassId = 40;

    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        room = game::Room(builder, "RoomA", {-500, -100, -500}, {500, 400, 500});
        game::BoxWall(builder, "Floor", {-400, -20, -400}, {400, 0, 400}, room);
        game::MakeCharacter(builder, "Hero", {0, 30, 0}, room);
        AddScenery();
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        room = scene::SceneBuilder::Find("RoomA");
        hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(hero, nullptr);
        front = game::MakeFrontEnd();
        body = StandIn({"Items", "LeftHand", "RightHand"});
        body->flags |= kActorMaster;
        GetActorSystem()->recordMode = 2;
    }

    // More of the scene, made before the load.
    virtual void AddScenery() {}

    GameObjectActor *Item(uint32_t type, Actor *parent = nullptr) {
        auto *item = dynamic_cast<GameObjectActor *>(
            CreateActor(kGameObjectClassId, "Item", nullptr, parent ? parent : room, -1, true));
        SendCommandArgs(item, 602, type);
        item->HandleCommand(cmd::base::Precalculate, ParamBlock());
        return item;
    }
    game::Recorder *StandIn(std::vector<const char *> holders) {
        game::RecorderClass characters(kCharacterClassId);
        auto *stand = dynamic_cast<game::Recorder *>(
            CreateActor(kCharacterClassId, "Body", nullptr, room, -1, true));
        for (const char *holder : holders) {
            CreateActor(0, holder, nullptr, stand, -1, true);
        }
        return stand;
    }
    // A recording child of the item, put in the slot when one is given.
    static game::Recorder *Watch(GameObjectActor *item, ActorLink *slot, const char *name) {
        auto *recorder = dynamic_cast<game::Recorder *>(
            CreateActor(kWatcherClassId, name, nullptr, item, -1, true));
        if (slot != nullptr) {
            slot->Assign(recorder);
        }
        return recorder;
    }
    static void Send(Actor *item, uint32_t commandId, int32_t owner) {
        item->HandleCommand(commandId, ParamBlock(&owner, sizeof(owner)));
    }
    static void Touch(Actor *item, ColObj *other, ColObj *own) {
        ColObj *pair[2] = {other, own};
        item->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }
    static ColObj &AddObject(Actor *actor, uint32_t flags) {
        ColObj object(actor);
        object.type = 1;
        object.flags = flags;
        object.boxMin = {0.0f, 0.0f, 0.0f};
        object.boxMax = {12.0f, 12.0f, 12.0f};
        return actor->AddColObj(object);
    }
    // {owner, state} of every 557 about the item.
    std::vector<std::pair<int32_t, uint32_t>> Reports(int32_t itemId) const {
        return game::ItemStateReports(*front, itemId);
    }
    // The command ids handed to the network for the actor.
    static std::vector<uint32_t> Net(int32_t actorId) {
        std::vector<uint32_t> ids;
        for (const CommandLogRecord &record : GetActorSystem()->commandLog) {
            if (record.actorId == static_cast<uint32_t>(actorId)) {
                ids.push_back(record.commandId);
            }
        }
        return ids;
    }
    // How often a spy heard of the command.
    static size_t Heard(const game::Recorder &spy, uint32_t commandId) {
        size_t count = 0;
        for (const RecordedCommand &entry : spy.Of(93)) {
            count += entry.Read<uint32_t>(0) == commandId ? 1 : 0;
        }
        return count;
    }
    // The texts of the commands the stand-in received.
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
    game::RecorderClass watchers{kWatcherClassId};
    Actor *room = nullptr;
    CharacterActor *hero = nullptr;
    game::Recorder *front = nullptr;
    game::Recorder *body = nullptr;
};
