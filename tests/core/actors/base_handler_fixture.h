// Fixture of the base command handler tests: the actor-core fixture with a
// recording script runner installed and helpers to send typed commands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "actor_fixture.h"
#include "core/actors/param_builder.h"
#include "core/actors/script_runner.h"

// Records every script run; `onRun` may act like the script's body.
class RecordingScriptRunner : public ScriptRunner {
  public:
    struct RunRecord {
        std::string name;
        Actor *owner;
        Actor *local;
    };
    int Run(ScriptRecord *record, Actor *local) override {
        runs.push_back({record->name, record->owner, local});
        if (onRun) {
            onRun(record, local);
        }
        return 1;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const RunRecord &run : runs) {
            out.push_back(run.name);
        }
        return out;
    }
    std::vector<RunRecord> runs;
    std::function<void(ScriptRecord *, Actor *)> onRun;
};

class BaseHandlerTest : public ActorCoreTest {
  protected:
    void SetUp() override {
        ActorCoreTest::SetUp();
        previousRunner = InstallScriptRunner(&runner);
    }
    void TearDown() override {
        InstallScriptRunner(previousRunner);
        ActorCoreTest::TearDown();
    }

    // Builds the block with the typed builder and sends it.
    int Send(Actor *actor, uint32_t id, std::initializer_list<ParamValue> values = {}) {
        ParamBlockBuilder builder;
        EXPECT_TRUE(builder.Build(id, values)) << "command " << id;
        return actor->HandleCommand(id, builder.block());
    }
    template <class T> T Query(Actor *actor, uint32_t id) {
        T value{};
        actor->HandleCommand(id, ParamBlock(&value, sizeof(value)));
        return value;
    }
    static ScriptRecord *AddScript(Actor *actor, const std::string &name, uint32_t eventId = 0) {
        auto script = std::make_unique<ScriptRecord>();
        script->name = name;
        script->eventId = eventId;
        script->owner = actor;
        actor->scripts.push_back(std::move(script));
        return actor->scripts.back().get();
    }
    static std::vector<std::string> ScriptNames(const Actor *actor) {
        std::vector<std::string> names;
        for (const auto &script : actor->scripts) {
            names.push_back(script->name);
        }
        return names;
    }
    // Frames of the given length until `seconds` have passed.
    void RunFor(float seconds, float step = 0.01f) {
        FrameDelta = step;
        for (float t = 0.0f; t < seconds - step * 0.5f; t += step) {
            Frame();
        }
    }
    // Takes an actor out of the world and destroys it (as the actor
    // system's deletion does).
    static void Destroy(Actor *actor) {
        if (actor->parent != nullptr) {
            actor->parent->children.RemoveAll(actor);
        }
        if (actor->actorId >= 0 && static_cast<size_t>(actor->actorId) < ActorTable.size()) {
            ActorTable[actor->actorId] = nullptr;
        }
        delete actor;
    }

    RecordingScriptRunner runner;
    ScriptRunner *previousRunner = nullptr;
};
