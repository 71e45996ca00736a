#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "actor_fixture.h"
#include "core/actors/command_ids.h"

namespace {

class TimeRecordTest : public ActorCoreTest {
  protected:
    // A record owned by `owner` (standing in for a Time Instance), on which
    // `owner` itself runs unless told otherwise.
    void Own(TimeRecord *record, Actor *owner) { record->owner = owner; }
};

TEST_F(TimeRecordTest, GlobalSpeedScalesRootAndTimesShift) {
    system->globalSpeedMultiplier = 0.5f;
    FrameDelta = 0.02f;
    Frame();
    TimeRecord *root = RootTimeRecord();
    EXPECT_FLOAT_EQ(root->delta, 0.01f);
    EXPECT_FLOAT_EQ(root->time, 0.01f);
    EXPECT_EQ(root->frameStamp, 1u);
    Frame();
    EXPECT_FLOAT_EQ(root->time, 0.02f);
    EXPECT_FLOAT_EQ(root->previousTime, 0.01f);
    EXPECT_FLOAT_EQ(root->earlierTime, 0.0f);
}

TEST_F(TimeRecordTest, RunModeFreezesEveryRecordAndComesBeforeRawTime) {
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    Own(&record, instance);
    record.flags = kTimeRecordRawTime;
    system->runMode = 1;
    Frame();
    RefreshTimeRecord(&record);
    EXPECT_EQ(RootTimeRecord()->delta, 0.0f);
    EXPECT_EQ(std::tuple(record.delta, record.effectiveMultiplier, record.time),
              std::tuple(0.0f, 0.0f, 0.0f));
}

TEST_F(TimeRecordTest, InstanceOnRootScalesAndZeroMultiplierFreezesOnlyIt) {
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    Own(&record, instance);
    record.multiplier = 0.0f;
    RecordingActor *connected = MakeActor();
    connected->timeRecord = &record;
    system->globalSpeedMultiplier = 2.0f;
    for (int i = 0; i < 3; ++i) {
        Frame();
        system->Update();
    }
    EXPECT_FLOAT_EQ(RootTimeRecord()->time, 0.06f);
    EXPECT_EQ(connected->currentTime, 0.0f);
    record.multiplier = 0.5f;
    Frame();
    system->Update();
    EXPECT_FLOAT_EQ(record.effectiveMultiplier, 1.0f); // 0.5 x root's 2.0
    EXPECT_FLOAT_EQ(connected->currentTime, 0.01f);
}

TEST_F(TimeRecordTest, OnDemandRefreshRunsOncePerFrameWithoutCatchingUp) {
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    Own(&record, instance);
    Frame();
    RefreshTimeRecord(&record);
    RefreshTimeRecord(&record);
    EXPECT_FLOAT_EQ(record.time, 0.01f);
    Frame();
    Frame();
    Frame(); // three frames, nobody reads the record
    RefreshTimeRecord(&record);
    EXPECT_FLOAT_EQ(record.time, 0.02f);
    EXPECT_FLOAT_EQ(record.previousTime, 0.01f);

    // Previous times shift even when nothing advances.
    system->runMode = 1;
    Frame();
    RefreshTimeRecord(&record);
    EXPECT_FLOAT_EQ(record.previousTime, 0.02f);
    EXPECT_FLOAT_EQ(record.earlierTime, 0.01f);
    EXPECT_FLOAT_EQ(record.time, 0.02f);
}

TEST_F(TimeRecordTest, FixedRecordIsNotRefreshedOnDemand) {
    TimeRecord record;
    record.flags = kTimeRecordFixed;
    Frame();
    RefreshTimeRecord(&record);
    EXPECT_EQ(std::tuple(record.time, record.frameStamp), std::tuple(0.0f, 0u));
}

// The source factor comes from the record of the owner of the record the
// owner runs on: for nested instances that is the grandparent.
TEST_F(TimeRecordTest, NestedInstanceTakesItsGrandparentFactor) {
    RecordingActor *outer = MakeActor();
    RecordingActor *inner = MakeActor();
    TimeRecord outerRecord;
    TimeRecord innerRecord;
    Own(&outerRecord, outer);
    Own(&innerRecord, inner);
    outerRecord.multiplier = 0.5f;
    inner->timeRecord = &outerRecord; // inner runs on outer's record
    system->globalSpeedMultiplier = 3.0f;
    Frame();
    RefreshTimeRecord(&innerRecord);
    EXPECT_FLOAT_EQ(innerRecord.effectiveMultiplier, 3.0f); // root's, not outer's 1.5
    EXPECT_EQ(outerRecord.frameStamp, 0u);                  // not touched: the grandparent was read
    RefreshTimeRecord(&outerRecord);
    EXPECT_FLOAT_EQ(outerRecord.effectiveMultiplier, 1.5f);
}

TEST_F(TimeRecordTest, InstanceRunningOnItsOwnRecordDoesNotCompound) {
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    Own(&record, instance);
    instance->timeRecord = &record;
    record.multiplier = 2.0f;
    system->globalSpeedMultiplier = 0.5f;
    for (int i = 0; i < 5; ++i) {
        Frame();
        RefreshTimeRecord(&record);
        EXPECT_FLOAT_EQ(record.effectiveMultiplier, 1.0f);
    }
    EXPECT_FLOAT_EQ(record.time, 0.05f);
}

TEST_F(TimeRecordTest, TwoRecordCycleReturns) {
    // a's record draws from b's and b's from a's, through helper owners.
    RecordingActor *a = MakeActor();
    RecordingActor *b = MakeActor();
    RecordingActor *viaA = MakeActor();
    RecordingActor *viaB = MakeActor();
    TimeRecord recordA, recordB, hopA, hopB;
    Own(&recordA, a);
    Own(&recordB, b);
    Own(&hopA, viaA);
    Own(&hopB, viaB);
    a->timeRecord = &hopA;
    viaA->timeRecord = &recordB;
    b->timeRecord = &hopB;
    viaB->timeRecord = &recordA;
    recordA.multiplier = 2.0f;
    recordB.multiplier = 3.0f;
    Frame();
    RefreshTimeRecord(&recordA);
    EXPECT_FLOAT_EQ(recordB.effectiveMultiplier, 3.0f);
    EXPECT_FLOAT_EQ(recordA.effectiveMultiplier, 6.0f);
    Frame();
    RefreshTimeRecord(&recordA);
    EXPECT_FLOAT_EQ(recordA.effectiveMultiplier, 6.0f);
}

// One bad number sent to the world's clock for one frame: the root and every
// record that runs from it stay finite and a scheduled command fires on the
// frame it is due, as if nothing had been sent.
TEST_F(TimeRecordTest, AFactorOrTimeThatIsNotFiniteLeavesEveryClockFiniteAndOnTime) {
    constexpr uint32_t kMark = 189; // {Real}, recorded
    const float inf = std::numeric_limits<float>::infinity();
    auto send = [this](uint32_t command, float value) {
        system->HandleCommand(command, ParamBlock(&value, sizeof(value)));
    };
    FrameDelta = 0.25f;
    RecordingActor *actor = MakeActor();
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
        for (const bool asTime : {false, true}) {
            const std::string what = std::to_string(bad) + (asTime ? " as time" : " as factor");
            send(cmd::actor_system::SetGlobalSpeedMultiplier, 1.0f);
            send(cmd::actor_system::SetGlobalTime, 0.0f);
            actor->calls.clear();
            float value = 0.5f;
            ScheduleCommand(actor, kMark, ParamBlock(&value, sizeof(value)), 2 << 8, 1.0f, 0.0f,
                            0.0f, nullptr, 1);
            const uint32_t start = FrameCounter;
            Frame();
            send(asTime ? cmd::actor_system::SetGlobalTime
                        : cmd::actor_system::SetGlobalSpeedMultiplier,
                 bad);
            Frame();
            send(cmd::actor_system::SetGlobalSpeedMultiplier, 1.0f);
            for (int i = 0; i < 4; ++i) {
                Frame();
            }
            float factor = 0.0f;
            system->HandleCommand(cmd::actor_system::GetGlobalSpeedMultiplier,
                                  ParamBlock(&factor, sizeof(factor)));
            EXPECT_EQ(factor, 1.0f) << what;
            // Six frames of a quarter second; due at 1.0, run once past it.
            EXPECT_EQ(RootTimeRecord()->time, 1.5f) << what;
            EXPECT_EQ(RootTimeRecord()->previousTime, 1.25f) << what;
            const std::vector<RecordedCommand> runs = actor->Only(kMark);
            EXPECT_EQ(runs.size(), 1u) << what;
            if (runs.size() == 1) {
                EXPECT_EQ(runs[0].frame, start + 5) << what;
            }
        }
    }

    // A huge finite factor never steps a clock past the largest float: the
    // step that would is not taken, and records that run from the root stand
    // still with it instead of taking an infinite factor.
    RecordingActor *instance = MakeActor();
    TimeRecord record;
    Own(&record, instance);
    record.multiplier = FLT_MAX;
    send(cmd::actor_system::SetGlobalTime, 0.0f);
    send(cmd::actor_system::SetGlobalSpeedMultiplier, FLT_MAX);
    for (int i = 0; i < 600; ++i) {
        Frame();
        RefreshTimeRecord(&record);
        ASSERT_TRUE(std::isfinite(RootTimeRecord()->time)) << "frame " << i;
        ASSERT_TRUE(std::isfinite(RootTimeRecord()->delta)) << "frame " << i;
        ASSERT_TRUE(std::isfinite(record.time)) << "frame " << i;
        ASSERT_TRUE(std::isfinite(record.effectiveMultiplier)) << "frame " << i;
    }
    EXPECT_GT(RootTimeRecord()->time, 1e38f);
    EXPECT_EQ(RootTimeRecord()->delta, 0.0f);
    EXPECT_EQ(RootTimeRecord()->previousTime, RootTimeRecord()->time);
    EXPECT_EQ(std::tuple(record.delta, record.effectiveMultiplier, record.time),
              std::tuple(0.0f, 0.0f, 0.0f));
}

} // namespace
