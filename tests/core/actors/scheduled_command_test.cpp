#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <memory>

#include "actor_fixture.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"

namespace {

constexpr uint32_t kKillDelay = 189;  // {Real}
constexpr uint32_t kKillTime = 191;   // {Real}
constexpr uint32_t kStartValue = 205; // {Real}

uint32_t Flags(uint32_t kind, uint32_t tag = 0) { return (kind << 8) | tag; }

ParamBlock FloatBlock(float *value) { return ParamBlock(value, sizeof(*value)); }

class ScheduleTest : public ActorCoreTest {
  protected:
    ScheduledCommand *Schedule(Actor *owner, uint32_t kind, float start, float end = 0.0f,
                               float interval = 0.0f, uint32_t command = kKillDelay,
                               uint32_t layer = 1) {
        float value = 0.25f;
        return ScheduleCommand(owner, command, FloatBlock(&value), Flags(kind), start, end,
                               interval, nullptr, layer);
    }
    // Frames until the root time passes t.
    void RunTo(float t) {
        while (RootTimeRecord()->time <= t) {
            Frame();
        }
    }
};

TEST_F(ScheduleTest, EntryFieldsAndLists) {
    RecordingActor *a = MakeActor();
    FrameDelta = 0.5f;
    Frame(); // time 0.5
    ScheduledCommand *e = ScheduleCommand(a, kKillDelay, ParamBlock(), 0x1000 | Flags(4, 0x7F),
                                          1.0f, 2.0f, 0.25f, nullptr, 2);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->owner, a);
    EXPECT_EQ((std::vector<int>{e->tag, e->kind, e->layer}), (std::vector<int>{0x7F, 4, 2}));
    // The end is now + end delay, not start + end delay.
    EXPECT_EQ((std::vector<float>{e->start, e->end, e->due}), (std::vector<float>{1.5f, 2.5f, 1.5f}));
    EXPECT_EQ(e->state, kEntryAllocated | kEntrySaved | kEntryLinked);
    EXPECT_EQ(RootTimeRecord()->layers[2].timedHead.next, e);
    ASSERT_EQ(a->scheduledCommands.size(), 1u);
    // A null block for a command with parameters is copied zero-filled.
    ASSERT_EQ(e->paramSize, 4u);
    EXPECT_EQ(e->Block().ReadF32(0), 0.0f);

    EXPECT_EQ(ScheduleCommand(nullptr, kKillDelay, ParamBlock(), 0, 0, 0, 0, nullptr, 1), nullptr);
    EXPECT_EQ(ScheduleCommand(a, 97, ParamBlock(), 0, 0, 0, 0, nullptr, 1), nullptr);
    EXPECT_EQ(a->scheduledCommands.size(), 1u);
}

TEST_F(ScheduleTest, BlockCopiesTakeNativeOrWalkedSizes) {
    RecordingActor *a = MakeActor();
    // Fixed native size: 141 holds a pointer slot of 8 bytes, 20 in all.
    uint8_t big[64] = {};
    EXPECT_EQ(
        ScheduleCommand(a, 141, ParamBlock(big, sizeof(big)), 0, 0, 0, 0, nullptr, 1)->paramSize,
        20u);
    // Short block: copied as far as it goes, the rest zero.
    uint8_t shortBlock[3] = {1, 2, 3};
    ScheduledCommand *e =
        ScheduleCommand(a, 63, ParamBlock(shortBlock, sizeof(shortBlock)), 0, 0, 0, 0, nullptr, 1);
    ASSERT_EQ(e->paramSize, 12u);
    EXPECT_EQ(std::tuple(e->params[2], e->params[3]), std::tuple(3, 0));
    // Variable size ("Set Name"): the string walked within the view.
    char text[] = "GA5\0garbage";
    EXPECT_EQ(
        ScheduleCommand(a, 32, ParamBlock(text, sizeof(text)), 0, 0, 0, 0, nullptr, 1)->paramSize,
        4u);
    // Ids beyond the table or unregistered have no layout.
    EXPECT_EQ(ScheduleCommand(a, 40000, ParamBlock(big, 8), 0, 0, 0, 0, nullptr, 1)->paramSize, 0u);
    EXPECT_EQ(ScheduleCommand(a, 553, ParamBlock(big, 8), 0, 0, 0, 0, nullptr, 1)->params, nullptr);
    EXPECT_EQ(CommandBlockSize(141, ParamBlock()), 20u);
    EXPECT_EQ(CommandBlockSize(32, ParamBlock(text, sizeof(text))), 4u);
}

TEST_F(ScheduleTest, ZeroDelayWaitsForAFrameInWhichTimeAdvanced) {
    RecordingActor *a = MakeActor();
    a->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == kKillTime) {
            Schedule(a, kScheduleOnce, 0.0f); // from inside the pump
        }
    };
    Schedule(a, kScheduleOnce, 0.0f, 0, 0, kKillTime);
    RunScheduledCommands(system); // same frame: time has not moved
    EXPECT_EQ(a->Count(kKillTime), 0u);
    Frame();
    EXPECT_EQ(a->Count(kKillTime), 1u);
    EXPECT_EQ(a->Count(kKillDelay), 0u); // scheduled during that pump
    system->runMode = 1;
    Frame(); // time stands still
    EXPECT_EQ(a->Count(kKillDelay), 0u);
    system->runMode = 0;
    Frame();
    EXPECT_EQ(a->Count(kKillDelay), 1u);
    Frame();
    EXPECT_EQ(a->Count(kKillDelay), 1u); // once
    EXPECT_TRUE(a->scheduledCommands.empty());
}

// A command that schedules itself again in the past, by "TimerCommand" or
// "Timed Command Lerp": the next run comes in the next pass, as with a delay
// of 0, not in the same pass without end (the hook gives up after 100).
TEST_F(ScheduleTest, AStartInThePastRunsInTheNextPass) {
    for (const uint32_t via : {cmd::base::TimerCommand, cmd::base::TimedCommandLerp}) {
        RecordingActor *a = MakeActor();
        size_t runs = 0;
        const auto again = [&] {
            const ParamValue command = ParamValue::Command(kKillTime, {0.0f});
            if (via == cmd::base::TimerCommand) {
                SendCommandArgs(a, via, -1.0f, command);
            } else { // {delay, duration, from, to}
                SendCommandArgs(a, via, -1.0f, 0.5f, command, command);
            }
        };
        a->onCommand = [&](uint32_t id, ParamBlock) {
            if (id == kKillTime && ++runs < 100) again();
        };
        again();
        for (size_t frame = 1; frame <= 3; ++frame) {
            Frame();
            EXPECT_EQ(runs, frame) << "by command " << via;
        }
        a->onCommand = nullptr;
        Destroy(a);
    }
}

// "Timed Command Lerp" of "Set Position" x from 0 to 10 over 0.5 s that
// started 0.25 s ago picks up half-way in the next pass, and goes on from
// there: the start stays in the past for the progress.
TEST_F(ScheduleTest, ALerpStartedInThePastPicksUpWhereItStands) {
    RecordingActor *a = MakeActor();
    FrameDelta = 1.0f / 60.0f;
    Frame();
    const ParamValue from = ParamValue::Command(cmd::base::SetPosition, {Vector3{0, 0, 0}});
    const ParamValue to = ParamValue::Command(cmd::base::SetPosition, {Vector3{10, 0, 0}});
    SendCommandArgs(a, cmd::base::TimedCommandLerp, -0.25f, 0.5f, from, to);
    EXPECT_EQ(a->position.x, 0.0f); // not in the pass that made it
    std::vector<float> x;
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        x.push_back(a->position.x);
    }
    EXPECT_NEAR(x[0], 5.0f, 1e-4f);
    EXPECT_NEAR(x[1], 5.0f + 10.0f / 30.0f, 1e-4f);
    EXPECT_NEAR(x[2], 5.0f + 20.0f / 30.0f, 1e-4f);
}

TEST_F(ScheduleTest, EveryPassEntriesAddedDuringThePumpRunInIt) {
    RecordingActor *a = MakeActor();
    a->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == kKillDelay && a->Count(kKillDelay) == 1) {
            ScheduleCommand(a, kKillTime, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 1);
            ScheduleCommand(a, kStartValue, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 2);
            ScheduleCommand(a, cmd::base::Process, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 0);
        }
    };
    ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(1), 0, 0, 0, nullptr, 1);
    Frame();
    // Appended to the list being walked, then a later layer in the same pump;
    // layer 0 was already walked.
    EXPECT_EQ(a->Ids(), (std::vector<uint32_t>{kKillDelay, kKillTime, kStartValue}));
    EXPECT_EQ(a->processCount, 0);
    Frame();
    EXPECT_EQ(a->processCount, 1);
}

TEST_F(ScheduleTest, CancelledEntriesStillFireAndDrainLastCancelledFirst) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *e1 = Schedule(a, kScheduleEveryPass, 0, 0, 0, kKillDelay);
    ScheduledCommand *e2 = Schedule(a, kScheduleEveryPass, 0, 0, 0, kKillTime);
    ScheduledCommand *e3 = Schedule(a, kScheduleEveryPass, 0, 0, 0, kStartValue);
    a->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == kKillDelay) {
            ActorSystem::CancelScheduledCommand(e3);
            ActorSystem::CancelScheduledCommand(e1);
            ActorSystem::CancelScheduledCommand(e1); // harmless
        }
    };
    Frame();
    EXPECT_EQ(a->calls.size(), 3u); // e3 still fires after its cancel
    EXPECT_EQ(system->removalList, (std::vector<ScheduledCommand *>{e3, e1}));
    EXPECT_EQ(a->FindScheduledCommand(kStartValue), e3); // listed until the drain
    a->calls.clear();
    Frame();
    EXPECT_TRUE(system->removalList.empty());
    EXPECT_EQ(a->scheduledCommands, (std::vector<ScheduledCommand *>{e2}));
    EXPECT_EQ(a->Ids(), std::vector<uint32_t>{kKillTime});
}

// The drain takes the queued entries off their owners' lists in one pass per
// owner. Checked on random lists and cancels against the removal it
// replaced: each entry, last cancelled first, searched from the back of its
// owner's list and erased there.
TEST_F(ScheduleTest, TheDrainLeavesTheListsThatRemovingOneByOneLeft) {
    std::mt19937 random(12);
    for (int round = 0; round < 200; ++round) {
        std::vector<RecordingActor *> owners = {MakeActor(), MakeActor(), MakeActor()};
        std::vector<ScheduledCommand *> all;
        for (int i = int(random() % 40); i > 0; --i) {
            all.push_back(Schedule(owners[random() % 3], kScheduleOnce, 100.0f));
        }
        std::shuffle(all.begin(), all.end(), random);
        std::vector<std::vector<ScheduledCommand *>> expected;
        for (RecordingActor *owner : owners) expected.push_back(owner->scheduledCommands);
        std::vector<ScheduledCommand *> cancelled(all.begin(), all.begin() + long(random() % (all.size() + 1)));
        for (ScheduledCommand *entry : cancelled) ActorSystem::CancelScheduledCommand(entry);
        for (auto it = cancelled.rbegin(); it != cancelled.rend(); ++it) {
            for (size_t o = 0; o < owners.size(); ++o) {
                auto &list = expected[o];
                auto found = std::find(list.rbegin(), list.rend(), *it);
                if (found != list.rend()) list.erase(std::next(found).base());
            }
        }
        RunScheduledCommands(system);
        for (size_t o = 0; o < owners.size(); ++o) {
            EXPECT_EQ(owners[o]->scheduledCommands, expected[o]) << "round " << round;
        }
        EXPECT_TRUE(system->removalList.empty());
        for (RecordingActor *owner : owners) Destroy(owner);
    }
}

// With catch-up each run advances first; without, one run re-arms from now.
TEST_F(ScheduleTest, RepeatCatchesUpAdvancingBeforeEachRunOrRearmsFromNow) {
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor();
    ScheduledCommand *e = Schedule(a, kScheduleRepeat, 1.0f, 0.0f, 1.0f);
    ScheduledCommand *once = Schedule(b, kScheduleRepeatNoCatchUp, 1.0f, 0.0f, 1.0f);
    std::vector<float> dues;
    a->onCommand = [&](uint32_t, ParamBlock) { dues.push_back(e->due); };
    FrameDelta = 3.5f; // 2.5 intervals past the first due time
    Frame();
    EXPECT_EQ(dues, (std::vector<float>{2.0f, 3.0f, 4.0f}));
    EXPECT_EQ(std::tuple(b->Count(kKillDelay), once->due), std::tuple(1u, 4.5f));
}

TEST_F(ScheduleTest, RepeatUntilEndStopsAtItsEnd) {
    RecordingActor *a = MakeActor();
    Schedule(a, kScheduleRepeatUntilEnd, 0.0f, 0.35f, 0.1f);
    FrameDelta = 0.25f;
    Frame(); // now 0.25: due 0, 0.1, 0.2 run
    EXPECT_EQ(a->Count(kKillDelay), 3u);
    Frame(); // now 0.5: end 0.35 has passed: cancelled without a run
    EXPECT_EQ(std::tuple(a->Count(kKillDelay), system->removalList.size()), std::tuple(3u, 1u));

    // Scheduled with its end already behind: never runs.
    RecordingActor *b = MakeActor();
    Schedule(b, kScheduleRepeatUntilEnd, -1.0f, -0.5f, 0.1f);
    Frame();
    EXPECT_EQ(b->Count(kKillDelay), 0u);
}

TEST_F(ScheduleTest, InterpolationWritesEachStepsFractionThenOne) {
    RecordingActor *a = MakeActor();
    Schedule(a, kScheduleInterpolate, 0.0f, 1.0f, 0.25f, kStartValue);
    FrameDelta = 0.6f;
    Frame(); // due 0, 0.25, 0.5 are behind 0.6
    Frame(); // 1.2: end passed, so 0.75 is never sent
    EXPECT_EQ(a->Floats(kStartValue), (std::vector<float>{0.0f, 0.25f, 0.5f, 1.0f}));
    Frame();
    EXPECT_EQ(a->Count(kStartValue), 4u);
    EXPECT_TRUE(a->scheduledCommands.empty());
}

TEST_F(ScheduleTest, InterpolationWithoutCatchUpStartsAtZeroAFrameLater) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *e = Schedule(a, kScheduleInterpolateNoCatchUp, 0.0f, 0.5f, 0.0f, kStartValue);
    FrameDelta = 0.2f;
    Frame();                 // 0.2
    EXPECT_EQ(e->due, 0.2f); // re-armed from now
    Frame();                 // 0.4
    Frame();                 // 0.6: past the end
    Frame();
    const std::vector<float> values = a->Floats(kStartValue);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_FLOAT_EQ(values[1], 0.4f);
    EXPECT_EQ(values[2], 1.0f);
}

TEST_F(ScheduleTest, PausedRecordNeverMakesAnEntryDue) {
    RecordingActor *instance = MakeActor();
    TimeRecord paused;
    paused.owner = instance;
    paused.flags = 0;
    paused.multiplier = 0.0f;
    RecordingActor *a = MakeActor();
    a->timeRecord = &paused;
    Schedule(a, kScheduleOnce, 0.0f);
    for (int i = 0; i < 5; ++i) {
        Frame();
        RunScheduleLayer(system, &paused, 1);
    }
    EXPECT_EQ(a->Count(kKillDelay), 0u);
    Destroy(a); // before its record goes
}

TEST_F(ScheduleTest, NextPassRunsOnceThenIsDeleted) {
    RecordingActor *a = MakeActor();
    ScheduleCommand(a, kKillDelay, ParamBlock(), Flags(kScheduleNextPass), 0, 0, 0, nullptr, 1);
    Frame();
    EXPECT_EQ(a->Count(kKillDelay), 1u);
    EXPECT_TRUE(a->scheduledCommands.empty());
    EXPECT_TRUE(RootTimeRecord()->layers[1].Empty());
    Frame();
    EXPECT_EQ(a->Count(kKillDelay), 1u);
}

TEST_F(ScheduleTest, NeverLinkedAndInertKinds) {
    RecordingActor *a = MakeActor();
    ScheduledCommand *six =
        ScheduleCommand(a, kKillDelay, ParamBlock(), 0x1000 | Flags(6), -1, 0, 0, nullptr, 1);
    EXPECT_EQ(six->prev, nullptr);
    EXPECT_EQ(six->state, kEntryAllocated | kEntrySaved);
    ASSERT_EQ(a->scheduledCommands.size(), 1u);
    for (uint32_t kind : {0u, 8u, 9u, 10u, 12u, 14u, 15u}) {
        ScheduledCommand *e = Schedule(a, kind, -1.0f);
        EXPECT_NE(e->prev, nullptr);
    }
    Frame();
    Frame();
    EXPECT_TRUE(a->calls.empty());
    EXPECT_EQ(a->scheduledCommands.size(), 8u);
}

TEST_F(ScheduleTest, NotifyFlagTellsTheRecordOwner) {
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    record.owner = instance; // flags 8: notify
    RecordingActor *a = MakeActor();
    a->timeRecord = &record;
    ScheduledCommand *e = Schedule(a, kScheduleOnce, 1.0f);
    ASSERT_EQ(instance->Count(cmd::time_instance::TimeinstanceMcmdCreateNotify), 1u);
    EXPECT_EQ(instance->Only(cmd::time_instance::TimeinstanceMcmdCreateNotify)[0]
                  .Read<ScheduledCommand *>(),
              e);
    Schedule(MakeActor(), kScheduleOnce, 1.0f); // root: no notify bit
    EXPECT_EQ(instance->Count(cmd::time_instance::TimeinstanceMcmdCreateNotify), 1u);
    ActorSystem::DeleteScheduledCommand(e);
    a->timeRecord = RootTimeRecord();
}

} // namespace
