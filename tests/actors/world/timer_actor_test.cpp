// The Timer actor: keys run from the scheduled-command queue once or in a
// loop, multipliers, time jumps forward and backward, the modes and their
// commands, the file record with its version gates, and the mended faults
// of stop/start cycles, broken loop periods and key counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "actors/world/timer_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "support/scene_harness.h"
#include "support/temp_folder.h"
#include "time_fixture.h"

using namespace timetest;

namespace {

constexpr uint32_t kCmdOnValueChanged = 352;

class TimerTest : public TimeWorldTest {
  protected:
    // A stopped timer at time 0 with keys "k0".. at the given times.
    TimerActor *Timer(uint32_t type, float total, std::initializer_list<float> keyTimes,
                      const char *name = "timer") {
        auto *timer = static_cast<TimerActor *>(Make(kTimerClassId, name));
        timer->timerType = type;
        timer->totalTime = total;
        int i = 0;
        for (float t : keyTimes) {
            timer->AddKey(t, "k" + std::to_string(i++), "");
        }
        SendFloat(timer, cmd::base::SetCurrentTime, 0.0f);
        return timer;
    }
    // The root times at which the keys ran, as "<name>@<time rounded to
    // 0.1 s>".
    std::vector<std::string> Runs() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < runner.names.size(); ++i) {
            char text[64];
            std::snprintf(text, sizeof(text), "%s@%.1f", runner.names[i].c_str(),
                          static_cast<double>(runner.times[i]));
            out.push_back(text);
        }
        return out;
    }
    size_t EntriesOf(Actor *actor, uint32_t command) const {
        size_t n = 0;
        for (ScheduledCommand *entry : actor->scheduledCommands) {
            if (entry->command == command && (entry->state & kEntryQueued) == 0) {
                ++n;
            }
        }
        return n;
    }
};

TEST_F(TimerTest, ForwardOnceRunsEachKeyOnceAndKeepsCounting) {
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {1.0f, 3.0f});
    scene::SpyLog spies;
    spies.Watch(timer);
    SendWord(timer, cmd::timer::StartTimer, 0);
    EXPECT_EQ(timer->Mode(), kTimerRunning);
    EXPECT_NE(timer->state & kActorEnabled, 0u);
    RunFor(0.98f);
    EXPECT_TRUE(runner.names.empty());
    RunFor(0.05f);
    EXPECT_EQ(Runs(), (std::vector<std::string>{"k0@1.0"}));
    RunFor(3.97f);
    EXPECT_EQ(Runs(), (std::vector<std::string>{"k0@1.0", "k1@3.0"}));
    EXPECT_EQ(spies.Count("timer", cmd::timer::OnTimerLoop), 0u);
    // Past the total time and still running.
    EXPECT_NEAR(Ask<float>(timer, cmd::base::GetCurrentTime), 5.0f, 0.02f);
    EXPECT_EQ(timer->Mode(), kTimerRunning);
}

TEST_F(TimerTest, ForwardLoopRepeatsKeysAndWrapsTheTime) {
    TimerActor *timer = Timer(kTimerForwardLoop, 4.0f, {1.0f, 3.0f});
    scene::SpyLog spies;
    spies.Watch(timer);
    SendWord(timer, cmd::timer::StartTimer, 0);
    RunFor(3.5f);
    EXPECT_NEAR(Ask<float>(timer, cmd::base::GetCurrentTime), 3.5f, 0.02f);
    RunFor(1.0f); // past the loop at 4 s
    EXPECT_EQ(spies.Count("timer", cmd::timer::OnTimerLoop), 1u);
    EXPECT_NEAR(Ask<float>(timer, cmd::base::GetCurrentTime), 0.5f, 0.04f);
    RunFor(4.0f);
    EXPECT_EQ(Runs(), (std::vector<std::string>{"k0@1.0", "k1@3.0", "k0@5.0", "k1@7.0"}));
    EXPECT_EQ(spies.Count("timer", cmd::timer::OnTimerLoop), 2u);
}

TEST_F(TimerTest, MultiplierTwoRunsTwiceAsFastAndZeroHolds) {
    TimerActor *fast = Timer(kTimerForwardOnce, 4.0f, {1.0f, 3.0f}, "fast");
    fast->multiplier = 2.0f;
    SendWord(fast, cmd::timer::StartTimer, 0);
    RunFor(1.6f);
    EXPECT_EQ(Runs(), (std::vector<std::string>{"k0@0.5", "k1@1.5"}));
    EXPECT_NEAR(Ask<float>(fast, cmd::base::GetCurrentTime), 3.2f, 0.04f);

    TimerActor *held = Timer(kTimerForwardOnce, 4.0f, {1.0f}, "held");
    held->multiplier = 0.0f;
    SendFloat(held, cmd::base::SetCurrentTime, 0.25f);
    SendWord(held, cmd::timer::StartTimer, 0);
    EXPECT_EQ(held->Mode(), kTimerHeld);
    EXPECT_NE(held->state & kActorEnabled, 0u);
    EXPECT_EQ(EntriesOf(held, cmd::timer::TimerCallback), 0u);
    RunFor(2.0f);
    EXPECT_EQ(runner.names.size(), 2u);
    EXPECT_FLOAT_EQ(Ask<float>(held, cmd::base::GetCurrentTime), 0.25f);
}

TEST_F(TimerTest, JumpsRunTheKeysBetweenTheTimes) {
    // Forward on a running timer: key 0 at once, key 1 (at the new time)
    // from the restart's delay-0 entry in the next frame.
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {1.0f, 3.0f});
    SendWord(timer, cmd::timer::StartTimer, 0);
    SendFloat(timer, cmd::base::SetCurrentTime, 3.0f);
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k0"}));
    EXPECT_EQ(timer->Mode(), kTimerRunning);
    Frame();
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k0", "k1"}));
    RunFor(2.0f);
    EXPECT_EQ(runner.names.size(), 2u);

    // Backward on a held timer: the keys in reverse order.
    runner.names.clear();
    TimerActor *held = Timer(kTimerForwardOnce, 4.0f, {1.0f, 3.0f}, "held");
    held->multiplier = 0.0f;
    SendFloat(held, cmd::base::SetCurrentTime, 3.0f);
    SendWord(held, cmd::timer::StartTimer, 0);
    SendFloat(held, cmd::base::SetCurrentTime, 0.0f);
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k1", "k0"}));

    // A time above the total is cut to it; a stopped timer runs no key.
    runner.names.clear();
    TimerActor *stopped = Timer(kTimerForwardOnce, 4.0f, {1.0f, 3.0f}, "stopped");
    SendFloat(stopped, cmd::base::SetCurrentTime, 9.0f);
    EXPECT_FLOAT_EQ(Ask<float>(stopped, cmd::base::GetCurrentTime), 4.0f);
    EXPECT_TRUE(runner.names.empty());
}

TEST_F(TimerTest, ValueChangedOnlyAfterPrecalculateAndNotForTheSameTime) {
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {});
    timer->flags &= ~kActorPrecalculated;
    scene::SpyLog spies;
    spies.Watch(timer);
    SendFloat(timer, cmd::base::SetCurrentTime, 1.0f);
    EXPECT_EQ(spies.Count("timer", kCmdOnValueChanged), 0u);
    SendWord(timer, cmd::base::PrecalculateRecursive, 0);
    SendFloat(timer, cmd::base::SetCurrentTime, 2.0f);
    EXPECT_EQ(spies.Count("timer", kCmdOnValueChanged), 1u);
    SendFloat(timer, cmd::base::SetCurrentTime, 2.0f);
    EXPECT_EQ(spies.Count("timer", kCmdOnValueChanged), 1u);
}

TEST_F(TimerTest, StartStopPauseAndTheirModes) {
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {1.0f, 3.0f});
    // Stopping a stopped timer clears Enabled and nothing else.
    timer->state |= kActorEnabled;
    SendWord(timer, cmd::timer::StopTimer, 0);
    EXPECT_EQ(timer->state & kActorEnabled, 0u);
    EXPECT_FLOAT_EQ(timer->offset, 0.0f);
    // "Pause Timer" starts a stopped one; starting again changes nothing.
    SendWord(timer, cmd::timer::PauseTimer, 0);
    EXPECT_EQ(timer->Mode(), kTimerRunning);
    EXPECT_EQ(EntriesOf(timer, cmd::timer::TimerCallback), 2u);
    RunFor(0.5f);
    SendWord(timer, cmd::base::Start, 0);
    EXPECT_EQ(EntriesOf(timer, cmd::timer::TimerCallback), 2u);
    // Stopping keeps the time reached.
    SendWord(timer, cmd::timer::StopTimer, 0);
    EXPECT_EQ(timer->Mode(), kTimerStopped);
    EXPECT_EQ(timer->state & kActorEnabled, 0u);
    EXPECT_EQ(EntriesOf(timer, cmd::timer::TimerCallback), 0u);
    EXPECT_NEAR(Ask<float>(timer, cmd::base::GetCurrentTime), 0.5f, 0.02f);
    RunFor(1.0f);
    EXPECT_TRUE(runner.names.empty());
    // Started again, key 0 comes 0.5 s later.
    SendWord(timer, cmd::timer::StartTimer, 0);
    RunFor(0.55f);
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k0"}));
}

TEST_F(TimerTest, CallbackResetAndStartGame) {
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {1.0f});
    SendWord(timer, cmd::timer::TimerCallback, 1);
    SendWord(timer, cmd::timer::TimerCallback, 0xFFFFFFFFu);
    EXPECT_TRUE(runner.names.empty());
    SendWord(timer, cmd::timer::TimerCallback, 0);
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k0"}));

    // "Reset" goes to the start time and returns before the base handling
    // (no spy hears it).
    scene::SpyLog spies;
    spies.Watch(timer);
    timer->startTime = 2.0f;
    EXPECT_NE(SendWord(timer, cmd::base::Reset, 0), 0);
    EXPECT_FLOAT_EQ(Ask<float>(timer, cmd::base::GetCurrentTime), 2.0f);
    EXPECT_EQ(spies.Count("timer", cmd::base::Reset), 0u);
    EXPECT_EQ(spies.Count("timer", cmd::base::SetCurrentTime), 1u);

    // "Start Game" resets and starts only with flag bit 0.
    timer->timerFlags &= ~kTimerStartOnStartGame;
    SendFloat(timer, cmd::base::SetCurrentTime, 3.0f);
    SendWord(timer, cmd::base::StartGame, 0);
    EXPECT_EQ(timer->Mode(), kTimerStopped);
    EXPECT_FLOAT_EQ(Ask<float>(timer, cmd::base::GetCurrentTime), 3.0f);
    timer->timerFlags |= kTimerStartOnStartGame;
    SendWord(timer, cmd::base::StartGame, 0);
    EXPECT_EQ(timer->Mode(), kTimerRunning);
    EXPECT_NEAR(Ask<float>(timer, cmd::base::GetCurrentTime), 2.0f, 1e-4f);
}

TEST_F(TimerTest, PrecalculateBindsTheKeysAndACopyTakesThem) {
    TimerActor *timer = Timer(kTimerForwardLoop, 4.0f, {1.0f, 3.0f});
    timer->multiplier = 0.5f;
    EXPECT_EQ(timer->keys[0].script->owner, timer);
    EXPECT_EQ(timer->keys[0].script->eventId, 0u);
    SendWord(timer, cmd::base::Precalculate, 0);
    EXPECT_EQ(timer->keys[1].script->eventId, cmd::timer::TimerCallback);

    auto *copy =
        static_cast<TimerActor *>(CreateActor(kTimerClassId, "copy", timer, scenery, -1, true));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->keys.size(), 2u);
    EXPECT_EQ(copy->keys[1].script->owner, copy);
    EXPECT_EQ(copy->keys[1].script->name, "k1");
    EXPECT_FLOAT_EQ(copy->keys[1].time, 3.0f);
    EXPECT_EQ(copy->timerType, kTimerForwardLoop);
    EXPECT_FLOAT_EQ(copy->multiplier, 0.5f);
}

// Each stop/start cycle of a looping timer used to leave one more "On Timer
// Loop" entry behind.
TEST_F(TimerTest, StopTakesTheLoopEntryAway) {
    TimerActor *timer = Timer(kTimerForwardLoop, 1.0f, {});
    scene::SpyLog spies;
    spies.Watch(timer);
    for (int i = 0; i < 3; ++i) {
        SendWord(timer, cmd::timer::StartTimer, 0);
        Frame();
        SendWord(timer, cmd::timer::StopTimer, 0);
    }
    SendWord(timer, cmd::timer::StartTimer, 0);
    EXPECT_EQ(EntriesOf(timer, cmd::timer::OnTimerLoop), 1u);
    RunFor(2.05f);
    EXPECT_EQ(spies.Count("timer", cmd::timer::OnTimerLoop), 2u);
}

// A loop whose pass is not a positive, finite time used to schedule
// every-pass repeats (or divide by zero): the keys still ahead run once.
TEST_F(TimerTest, ABrokenLoopPeriodRunsTheKeysAheadOnce) {
    for (float multiplier : {1.0f, -1.0f, std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()}) {
        runner.names.clear();
        TimerActor *timer = Timer(kTimerForwardLoop, multiplier == 1.0f ? 0.0f : 4.0f,
                                  {0.0f, 0.5f, -1.0f}, "broken");
        timer->multiplier = multiplier;
        SendWord(timer, cmd::timer::StartTimer, 0);
        EXPECT_EQ(EntriesOf(timer, cmd::timer::OnTimerLoop), 0u) << multiplier;
        for (ScheduledCommand *entry : timer->scheduledCommands) {
            if (entry->command == cmd::timer::TimerCallback) {
                EXPECT_EQ(entry->kind, kScheduleOnce) << multiplier;
            }
        }
        RunFor(1.0f);
        std::vector<std::string> names = runner.names;
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::unique(names.begin(), names.end()), names.end()) << multiplier;
        if (multiplier == 1.0f) {
            // Total 0: the keys at 0 and 0.5 run once each, the one behind not.
            EXPECT_EQ(runner.names, (std::vector<std::string>{"k0", "k1"}));
        }
        DeleteActor(timer);
    }
}

// --- files ----------------------------------------------------------------------------

class TimerFileTest : public TimerTest {
  protected:
    std::string Write(uint32_t version, TimerActor *timer) {
        const std::string path = (folder / "timer.bin");
        Archive archive;
        EXPECT_TRUE(archive.Open(path, "wb"));
        archive.SetVersion(version);
        EXPECT_EQ(timer->Serialize(archive, kSerializeSave), 1);
        archive.Close();
        return path;
    }
    TimerActor *Read(uint32_t version, const std::string &path, int *result = nullptr) {
        auto *timer = static_cast<TimerActor *>(Make(kTimerClassId, "read"));
        Archive archive;
        EXPECT_TRUE(archive.Open(path, "rb"));
        archive.Seek(8, SEEK_SET); // the class and actor ids are the reader's
        archive.SetVersion(version);
        const int answer = timer->Serialize(archive, kSerializeLoad);
        if (result != nullptr) {
            *result = answer;
        } else {
            EXPECT_EQ(answer, 1);
        }
        archive.Close();
        return timer;
    }
    TempFolder folder;
};

TEST_F(TimerFileTest, VersionGatesAndKeyNames) {
    TimerActor *timer = Timer(kTimerForwardLoop, 4.0f, {1.0f, 3.0f});
    timer->startTime = 0.5f;
    timer->multiplier = 2.0f;
    timer->timerFlags &= ~kTimerStartOnStartGame;
    timer->keys[0].script->source = "this.Start_Timer();";
    timer->keys[0].script->eventId = cmd::timer::TimerCallback;
    timer->keys[1].script->eventId = cmd::timer::OnTimerLoop; // an event: read back by name
    SendFloat(timer, cmd::base::SetCurrentTime, 2.5f);
    SendWord(timer, cmd::timer::StartTimer, 0);
    const uint64_t written = std::filesystem::file_size(Write(58, timer));

    TimerActor *back = Read(58, (folder / "timer.bin"));
    EXPECT_EQ(back->timerType, kTimerForwardLoop);
    EXPECT_FLOAT_EQ(back->startTime, 0.5f);
    EXPECT_FLOAT_EQ(back->totalTime, 4.0f);
    EXPECT_EQ(back->timerFlags & kTimerStartOnStartGame, 0u);
    EXPECT_FLOAT_EQ(back->savedTime, 2.5f);
    EXPECT_EQ(back->Mode(), kTimerRunning);
    EXPECT_FLOAT_EQ(back->multiplier, 2.0f);
    ASSERT_EQ(back->keys.size(), 2u);
    EXPECT_EQ(back->keys[0].script->name, "k0");
    EXPECT_EQ(back->keys[0].script->source, "this.Start_Timer();");
    EXPECT_EQ(back->keys[0].script->owner, back);
    // "Timer Callback" is no event command: it reads as 0.
    EXPECT_EQ(back->keys[0].script->eventId, 0u);
    EXPECT_EQ(back->keys[1].script->eventId, cmd::timer::OnTimerLoop);
    EXPECT_FLOAT_EQ(back->keys[1].time, 3.0f);

    // Version 48 has no multiplier, version 47 neither time nor mode.
    const uint64_t v48 = std::filesystem::file_size(Write(48, timer));
    EXPECT_EQ(v48, written - 4);
    TimerActor *old48 = Read(48, (folder / "timer.bin"));
    EXPECT_FLOAT_EQ(old48->multiplier, 1.0f);
    EXPECT_EQ(old48->Mode(), kTimerRunning);
    const uint64_t v47 = std::filesystem::file_size(Write(47, timer));
    EXPECT_EQ(v47, written - 12);
    TimerActor *old47 = Read(47, (folder / "timer.bin"));
    EXPECT_EQ(old47->Mode(), kTimerStopped);
    EXPECT_FLOAT_EQ(old47->savedTime, 0.0f);
    ASSERT_EQ(old47->keys.size(), 2u);
}

TEST_F(TimerFileTest, InitLoadRestartsStandsOrRunsByTheSavedMode) {
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {1.0f, 2.0f, 3.0f});
    SendFloat(timer, cmd::base::SetCurrentTime, 2.5f);
    const std::string stoppedFile = Write(58, timer);
    TimerActor *stopped = Read(58, stoppedFile);
    SendWord(stopped, cmd::base::InitLoad, 0);
    EXPECT_EQ(stopped->Mode(), kTimerStopped);
    EXPECT_FLOAT_EQ(Ask<float>(stopped, cmd::base::GetCurrentTime), 2.5f);
    EXPECT_TRUE(runner.names.empty());
    DeleteActor(stopped);

    SendWord(timer, cmd::timer::StartTimer, 0);
    Write(58, timer);
    SendWord(timer, cmd::timer::StopTimer, 0);
    TimerActor *running = Read(58, (folder / "timer.bin"));
    SendWord(running, cmd::base::InitLoad, 0);
    EXPECT_EQ(running->Mode(), kTimerRunning);
    EXPECT_NEAR(Ask<float>(running, cmd::base::GetCurrentTime), 2.5f, 1e-4f);
    RunFor(0.55f);
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k2"}));
    DeleteActor(running);

    runner.names.clear();
    timer->multiplier = 0.0f;
    SendWord(timer, cmd::timer::StartTimer, 0);
    ASSERT_EQ(timer->Mode(), kTimerHeld);
    Write(58, timer);
    TimerActor *held = Read(58, (folder / "timer.bin"));
    SendWord(held, cmd::base::InitLoad, 0);
    // From the constructor's -1 up to the saved time.
    EXPECT_EQ(runner.names, (std::vector<std::string>{"k0", "k1"}));
    EXPECT_EQ(held->Mode(), kTimerHeld);
}

// A "Forward Once" timer counts on past its total time; saved there and
// loaded, it goes on from the time it was saved at, and the keys it ran
// before stay run (with a total of 0, the default, that is every key).
TEST_F(TimerFileTest, AFinishedForwardOnceTimerResumesAtItsSavedTime) {
    struct Case {
        float total;
        std::initializer_list<float> keys;
        float run;
    };
    for (const Case &c : {Case{0.0f, {1.0f, 3.0f}, 5.0f}, Case{4.0f, {1.0f, 4.0f}, 6.0f}}) {
        SCOPED_TRACE(c.total);
        runner.names.clear();
        TimerActor *timer = Timer(kTimerForwardOnce, c.total, c.keys);
        SendWord(timer, cmd::timer::StartTimer, 0);
        RunFor(c.run);
        ASSERT_EQ(runner.names, (std::vector<std::string>{"k0", "k1"}));
        const std::string path = Write(kActorFileVersion, timer);
        DeleteActor(timer);

        TimerActor *loaded = Read(kActorFileVersion, path);
        SendWord(loaded, cmd::base::InitLoad, 0);
        EXPECT_EQ(loaded->Mode(), kTimerRunning);
        EXPECT_NEAR(Ask<float>(loaded, cmd::base::GetCurrentTime), c.run, 0.02f);
        RunFor(2.0f);
        EXPECT_EQ(runner.names, (std::vector<std::string>{"k0", "k1"}));
        EXPECT_NEAR(Ask<float>(loaded, cmd::base::GetCurrentTime), c.run + 2.0f, 0.04f);
        DeleteActor(loaded);
    }
}

// Only a file brings mode 3; a key count the bytes cannot hold fails the
// record.
TEST_F(TimerFileTest, StoredModeThreeAndOversizedKeyCounts) {
    TimerActor *timer = Timer(kTimerForwardOnce, 4.0f, {1.0f});
    const std::string path = Write(58, timer);
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // The mode word is the one before the multiplier at the end.
    const uint32_t three = 3;
    std::memcpy(bytes.data() + bytes.size() - 8, &three, 4);
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(Read(58, path)->Mode(), kTimerStopped);

    // The key count follows type 0, start 0, total 4 and the start flag 1.
    const uint32_t head[5] = {0, 0, 0x40800000u, 1, 1};
    const size_t countAt =
        bytes.find(std::string(reinterpret_cast<const char *>(head), sizeof(head))) + 16;
    ASSERT_LT(countAt, bytes.size());
    uint32_t huge = 0x10000000u;
    std::memcpy(bytes.data() + countAt, &huge, 4);
    std::ofstream(path, std::ios::binary) << bytes;
    int result = 1;
    TimerActor *broken = Read(58, path, &result);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(broken->keys.size() <= 1u);
}

} // namespace
