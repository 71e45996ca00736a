// Shared fixture of the actor-core tests: a fresh registry and actor system
// per test, actors that record the commands they receive, and a frame step.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_registry.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "support/actor_record.h"

// Records every command, then hands it to the base handler.
class RecordingActor : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        calls.push_back({FrameCounter, commandId, {block.data(), block.data() + block.size()}});
        if (onCommand) {
            onCommand(commandId, block);
        }
        return Actor::HandleCommand(commandId, block);
    }
    void Process() override { ++processCount; }

    size_t Count(uint32_t id) const {
        size_t n = 0;
        for (const RecordedCommand &call : calls) {
            n += call.id == id ? 1 : 0;
        }
        return n;
    }
    std::vector<uint32_t> Ids() const {
        std::vector<uint32_t> out;
        for (const RecordedCommand &call : calls) {
            out.push_back(call.id);
        }
        return out;
    }
    // The first Real of every call of the command.
    std::vector<float> Floats(uint32_t id) const {
        std::vector<float> out;
        for (const RecordedCommand &call : Only(id)) {
            out.push_back(call.F32());
        }
        return out;
    }
    std::vector<RecordedCommand> Only(uint32_t id) const {
        std::vector<RecordedCommand> out;
        for (const RecordedCommand &call : calls) {
            if (call.id == id) {
                out.push_back(call);
            }
        }
        return out;
    }

    std::vector<RecordedCommand> calls;
    std::function<void(uint32_t, ParamBlock)> onCommand;
    int processCount = 0;
};

class ActorCoreTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A recording actor under parent (the system when null), entered in the
    // actor table at the next free id.
    RecordingActor *MakeActor(Actor *parent = nullptr, const char *name = "()");
    // Counter + 1, root update, pump.
    void Frame();
    // Unlinks the actor from its parent and the table, then destroys it.
    void Destroy(Actor *actor);

    ActorSystem *system = nullptr;
};
