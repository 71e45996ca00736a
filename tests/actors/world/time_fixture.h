// Fixture of the time-line actor tests: a fresh actor world whose frames are
// stepped by hand at 1/60 s (root time, then the scheduled-command pump),
// with a script runner that logs each run with the root time.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/script_runner.h"

namespace timetest {

inline constexpr float kStep = 1.0f / 60.0f;

class LoggingScriptRunner : public ScriptRunner {
  public:
    int Run(ScriptRecord *record, Actor *) override {
        names.push_back(record->name);
        times.push_back(RootTimeRecord()->time);
        return 1;
    }
    std::vector<std::string> names;
    std::vector<float> times;
};

class TimeWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetActorWorldForTests();
        ASSERT_EQ(InitActorSystem(), 1);
        system = GetActorSystem();
        scenery = GetActorById(kSceneryRootId);
        FrameDelta = kStep;
        previous = InstallScriptRunner(&runner);
    }
    void TearDown() override {
        InstallScriptRunner(previous);
        ResetActorWorldForTests();
    }

    void Frame() {
        ++FrameCounter;
        UpdateTimeRecord(system, RootTimeRecord());
        RunScheduledCommands(system);
    }
    // Frames until the root time has passed `seconds` more.
    void RunFor(float seconds) {
        const int frames = static_cast<int>(seconds * 60.0f + 0.5f);
        for (int i = 0; i < frames; ++i) {
            Frame();
        }
    }
    Actor *Make(int32_t classId, const char *name, Actor *parent = nullptr) {
        return CreateActor(classId, name, nullptr, parent != nullptr ? parent : scenery, -1, true);
    }
    float Now() const { return RootTimeRecord()->time; }

    ActorSystem *system = nullptr;
    Actor *scenery = nullptr;
    LoggingScriptRunner runner;
    ScriptRunner *previous = nullptr;
};

// A float sent by hand with a command.
inline int SendFloat(Actor *actor, uint32_t command, float value) {
    return actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
}
inline int SendWord(Actor *actor, uint32_t command, uint32_t value) {
    return actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
}
template <class T> T Ask(Actor *actor, uint32_t command) {
    T value{};
    actor->HandleCommand(command, ParamBlock(&value, sizeof(value)));
    return value;
}

} // namespace timetest
