#include "platform/timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/os/clock_source.h"
#include "support/tick_clock.h"

namespace {

// A counter clock that advances by a fixed step on every read.
class StepCounterClock : public ClockSource {
public:
    explicit StepCounterClock(int64_t step) : step_(step) {}
    bool HasCounter() override { return true; }
    int64_t Frequency() override { return 1000000; }  // microseconds
    int64_t Counter() override {
        now_ += step_;
        return now_;
    }
    uint32_t Milliseconds() override { return 0; }
    int64_t now_ = 5000000;
    int64_t step_;
};

class FrameTimerSingleton : public ::testing::Test {
protected:
    void TearDown() override { DestroyFrameTimer(); }
};

}  // namespace

TEST_F(FrameTimerSingleton, NullBeforeCreateAndCreatedOnce) {
    DestroyFrameTimer();
    EXPECT_EQ(GetFrameTimer(), nullptr);
    StepCounterClock clock(1);
    ASSERT_EQ(CreateFrameTimer(&clock), 1);
    FrameTimer* first = GetFrameTimer();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->IsStarted());
    ASSERT_EQ(CreateFrameTimer(), 1);
    EXPECT_EQ(GetFrameTimer(), first);
    // The first reading starts the timer: it answers one tick of the clock.
    EXPECT_NEAR(first->GetDeltaTime(), 1e-6, 1e-12);
    EXPECT_TRUE(first->IsStarted());
}

TEST_F(FrameTimerSingleton, DefaultClockMeasuresRealTime) {
    ASSERT_EQ(CreateFrameTimer(), 1);
    FrameTimer* timer = GetFrameTimer();
    double first = timer->GetDeltaTime();
    EXPECT_TRUE(first >= 0.0 && first < 5.0) << first;
    EXPECT_TRUE(timer->HasCounter());
    // A pause shows in the next delta, however busy the machine is (only
    // a lower bound holds when other work may take the processor).
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    double second = timer->GetDeltaTime();
    EXPECT_TRUE(second >= 0.029 && second < 5.0) << second;
}

TEST(FrameTimer, CounterDeltasAndTotals) {
    StepCounterClock clock(100);  // 100 us per read
    FrameTimer timer(&clock);
    // The first reading initialises and resets: it measures from that moment.
    EXPECT_NEAR(timer.GetDeltaTime(), 0.0001, 1e-12);
    EXPECT_TRUE(timer.IsStarted());
    // Two deltas in a row: the second is one step.
    EXPECT_LT(timer.GetDeltaTime(), 1e-3);

    // A total reading does not move the start of the next delta.
    clock.step_ = 0;
    clock.now_ += 250000;
    double total = timer.GetTotalTime();
    EXPECT_GT(total, 0.25);
    EXPECT_NEAR(timer.GetDeltaTime(), 0.25, 1e-12);
    EXPECT_NEAR(timer.GetTotalTime(), total, 1e-12);

    // Reset restarts both.
    clock.now_ += 1000;
    timer.Reset();
    EXPECT_EQ((std::tuple{timer.GetTotalTime(), timer.GetDeltaTime()}), (std::tuple{0.0, 0.0}));
}

TEST(FrameTimer, MillisecondTickResolutionAndWrap) {
    TickClock clock;
    clock.tick = 1000;
    FrameTimer timer(&clock);
    timer.Start();
    EXPECT_FALSE(timer.HasCounter());
    EXPECT_EQ(timer.GetDeltaTime(), 0.0);

    const uint32_t steps[] = {1, 16, 17, 33, 250};
    for (uint32_t step : steps) {
        clock.tick += step;
        double delta = timer.GetDeltaTime();
        EXPECT_DOUBLE_EQ(delta, step * 0.001);
        EXPECT_DOUBLE_EQ(std::round(delta * 1000.0) / 1000.0, delta);
    }

    // Across the 32-bit wrap, deltas and totals stay positive and small.
    clock.tick = 0xFFFFFFF0u;
    timer.Reset();
    clock.tick = 0x00000010u;
    EXPECT_DOUBLE_EQ(timer.GetTotalTime(), 0.032);
    EXPECT_DOUBLE_EQ(timer.GetDeltaTime(), 0.032);
    clock.tick = 0x00000020u;
    EXPECT_DOUBLE_EQ(timer.GetDeltaTime(), 0.016);
    EXPECT_DOUBLE_EQ(timer.GetTotalTime(), 0.048);
}

TEST(FrameTimer, CounterWithoutRateFallsBackToTicks) {
    // A source that claims a counter but reports no rate is read by its tick.
    class BrokenCounter : public TickClock {
    public:
        bool HasCounter() override { return true; }
    } clock;
    FrameTimer timer(&clock);
    timer.Start();
    clock.tick += 40;
    EXPECT_FALSE(timer.HasCounter());
    EXPECT_DOUBLE_EQ(timer.GetDeltaTime(), 0.04);
}
