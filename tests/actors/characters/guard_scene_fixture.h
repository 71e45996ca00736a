// A loaded room for the Guard's scene tests: a floor, a guard with its path
// nodes and a template character in a store room far away, an intruder
// "Hero", and the front-end actor 16 as a recorder. What the guard's
// character receives is logged with the text or the first values of each
// block, as the guard sent them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/characters/guard_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/game_fixture.h"

namespace guardtest {

// One command an actor received, told to its spy.
struct Heard {
    uint32_t id;
    std::string text;
    float reals[2];
    uint32_t word;
};

class HeardLog : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        CommandSpyNotice notice{};
        if (commandId != 93 || block.size() < sizeof(notice)) {
            return Actor::HandleCommand(commandId, block);
        }
        block.ReadBytes(0, &notice, sizeof(notice));
        Heard entry{notice.commandId, {}, {0.0f, 0.0f}, 0};
        if (notice.block != nullptr) {
            const ParamBlock &b = *notice.block;
            if (IsText(notice.commandId) && b.size() > 0) {
                entry.text = std::string(b.ReadString(0));
            } else {
                entry.reals[0] = b.size() >= 4 ? b.ReadF32(0) : 0.0f;
                entry.reals[1] = b.size() >= 8 ? b.ReadF32(4) : 0.0f;
                entry.word = b.size() >= 4 ? b.ReadU32(0) : 0u;
            }
        }
        log.push_back(entry);
        return 1;
    }
    static bool IsText(uint32_t id) {
        return id == 845 || id == 847 || id == 1033 || id == 1097 || id == 1122;
    }
    // The texts of the commands of that id, in order.
    std::vector<std::string> Texts(uint32_t id) const {
        std::vector<std::string> texts;
        for (const Heard &h : log) {
            if (h.id == id) {
                texts.push_back(h.text);
            }
        }
        return texts;
    }
    std::vector<Heard> Of(uint32_t id) const {
        std::vector<Heard> found;
        for (const Heard &h : log) {
            if (h.id == id) {
                found.push_back(h);
            }
        }
        return found;
    }
    // The ids among `wanted`, in order.
    std::vector<uint32_t> Ids(const std::vector<uint32_t> &wanted) const {
        std::vector<uint32_t> ids;
        for (const Heard &h : log) {
            for (uint32_t w : wanted) {
                if (h.id == w) {
                    ids.push_back(h.id);
                }
            }
        }
        return ids;
    }
    std::vector<Heard> log;
};

struct GuardSetup {
    uint32_t type = kGuardPath;
    uint32_t initialState = kGuardPatrol;
    uint32_t endType = 0; // of the last node
    // Node positions relative to the guard, each under the one before.
    std::vector<Vector3> chain = {{0, 0, 300}, {0, 0, 600}};
    Vector3 hero = {1500, 30, 0};
    std::function<void(scene::SceneBuilder &, Actor *room, GuardActor *guard)> extra;
};

class GuardSceneTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }
    void TearDown() override {
        if (guard != nullptr && GetActorById(static_cast<uint32_t>(guardId)) == guard) {
            RemoveAllCommandSpies(guard);
        }
        if (body != nullptr && GetActorById(static_cast<uint32_t>(bodyId)) == body) {
            RemoveAllCommandSpies(body);
        }
        if (hero != nullptr && GetActorById(static_cast<uint32_t>(heroId)) == hero) {
            RemoveAllCommandSpies(hero);
        }
        GetActorSystem()->recordMode = 0;
    }

    void Build(const GuardSetup &setup = GuardSetup()) {
        room = game::Room(builder, "RoomA", {-3000, -100, -3000}, {3000, 1000, 3000});
        game::BoxWall(builder, "Floor", {-2900, -20, -2900}, {2900, 0, 2900}, room);
        Actor *store = game::Room(builder, "Store", {8000, -100, 8000}, {9000, 1000, 9000});
        game::BoxWall(builder, "StoreFloor", {8100, -20, 8100}, {8900, 0, 8900}, store);
        CharacterActor *templ = game::MakeCharacter(builder, "GuardTemplate", {8500, 30, 8500}, store);
        auto *g = dynamic_cast<GuardActor *>(builder.Make(kGuardClassId, "Guard", room));
        ASSERT_NE(g, nullptr);
        Actor *parent = g;
        const char *names[] = {"A", "B", "C", "D"};
        for (size_t i = 0; i < setup.chain.size(); ++i) {
            const Vector3 before = i > 0 ? setup.chain[i - 1] : Vector3{0, 0, 0};
            const Vector3 at = setup.chain[i];
            parent = game::PathNode(builder, names[i],
                                    {at.x - before.x, at.y - before.y, at.z - before.z}, parent);
        }
        if (parent != g) {
            SendCommandArgs(parent, 1362, setup.endType);
        }
        SendCommandArgs(g, cmd::guard::SetGuardType, setup.type);
        SendCommandArgs(g, cmd::guard::SetGuardState, setup.initialState);
        SendCommandArgs(g, cmd::guard::SetGuardCharacter, uint32_t(templ->actorId));
        game::MakeCharacter(builder, "Hero", setup.hero, room);
        if (setup.extra) {
            setup.extra(builder, room, g);
        }
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        front = game::MakeFrontEnd();
        guard = dynamic_cast<GuardActor *>(scene::SceneBuilder::Find("Guard"));
        hero = dynamic_cast<CharacterActor *>(scene::SceneBuilder::Find("Hero"));
        ASSERT_NE(guard, nullptr);
        ASSERT_NE(hero, nullptr);
        body = dynamic_cast<CharacterActor *>(guard->character.target);
        ASSERT_NE(body, nullptr);
        guardId = guard->actorId;
        bodyId = body->actorId;
        heroId = hero->actorId;
        room = scene::SceneBuilder::Find("RoomA");
        AddCommandSpy(body, &bodyLog);
        AddCommandSpy(guard, &guardLog);
        AddCommandSpy(hero, &heroLog);
        // The first frame places the characters in their draw groups.
        Step();
    }

    void Step(int frames = 1) { runner.Step(frames); }
    // Runs frames until the guard's state is `wanted` (at most `limit`);
    // the number of frames run.
    int StepUntilState(uint32_t wanted, int limit) {
        int n = 0;
        while (guard->guardState != wanted && n < limit) {
            Step();
            ++n;
        }
        return n;
    }
    void Place(Actor *actor,
               const Vector3 &at) { SendCommandArgs(actor, cmd::base::SetPosition, at); }
    std::string NodeName(int32_t id) const {
        if (id == guard->actorId) {
            return "Guard";
        }
        Actor *node = id >= 0 ? GetActorById(static_cast<uint32_t>(id)) : nullptr;
        return node != nullptr ? node->name : "?";
    }
    // The guard's own events, in order.
    std::vector<uint32_t> Events() const {
        std::vector<uint32_t> ids;
        for (const Heard &h : guardLog.log) {
            if (h.id >= 1338 && h.id <= 1357) {
                ids.push_back(h.id);
            }
        }
        return ids;
    }
    // A sensor of the guard's character as the collision pass would hand
    // it over: own object and the intruder's.
    void Touch(ColObj &own, Actor *other) {
        ColObj *theirs = other->colObjs.empty() ? nullptr : other->colObjs[0].get();
        ColObj *pair[2] = {theirs, &own};
        body->HandleCommand(cmd::base::CollisionEvent, ParamBlock(pair, sizeof(pair)));
    }
    ColObj Sensor(const char *name, float radius) {
        ColObj object(body);
        object.name = name;
        object.type = 1;
        object.boxMax = {radius, radius, radius};
        object.flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents;
        return object;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass frontEnds{game::kFrontEndClassId};
    game::Recorder *front = nullptr;
    Actor *room = nullptr;
    GuardActor *guard = nullptr;
    CharacterActor *body = nullptr;
    CharacterActor *hero = nullptr;
    int32_t guardId = -1;
    int32_t bodyId = -1;
    int32_t heroId = -1;
    HeardLog bodyLog;
    HeardLog guardLog;
    HeardLog heroLog;
};

} // namespace guardtest
