#include "platform/timer.h"

#include <memory>
#include <new>

#include "platform/os/clock_source.h"

namespace {

std::unique_ptr<FrameTimer> g_frameTimer;

double TickSeconds(uint32_t from, uint32_t to) {
    // Unsigned subtraction wraps modulo 2^32: never negative.
    return static_cast<double>(static_cast<uint32_t>(to - from)) * 0.001;
}

}  // namespace

FrameTimer::FrameTimer(ClockSource* clock)
    : clock_(clock != nullptr ? clock : DefaultClockSource()) {}

void FrameTimer::Start() {
    if (started_ == 0) {
        Init();
    }
}

void FrameTimer::Init() {
    hasCounter_ = clock_->HasCounter() ? 1 : 0;
    if (hasCounter_ != 0) {
        frequency_ = clock_->Frequency();
        if (frequency_ <= 0) {
            // A counter without a usable rate cannot convert to seconds.
            hasCounter_ = 0;
            frequency_ = 0;
        }
    }
    started_ = 1;
    Reset();
}

void FrameTimer::Sample() {
    if (started_ == 0) {
        Init();
    }
    if (hasCounter_ != 0) {
        currentCount_ = clock_->Counter();
    } else {
        currentTick_ = clock_->Milliseconds();
    }
}

void FrameTimer::Reset() {
    Sample();
    startCount_ = previousCount_ = currentCount_;
    startTick_ = previousTick_ = currentTick_;
}

double FrameTimer::GetTotalTime() {
    Sample();
    if (hasCounter_ != 0) {
        return static_cast<double>(currentCount_ - startCount_) /
               static_cast<double>(frequency_);
    }
    return TickSeconds(startTick_, currentTick_);
}

double FrameTimer::GetDeltaTime() {
    Sample();
    double seconds;
    if (hasCounter_ != 0) {
        seconds = static_cast<double>(currentCount_ - previousCount_) /
                  static_cast<double>(frequency_);
        previousCount_ = currentCount_;
    } else {
        seconds = TickSeconds(previousTick_, currentTick_);
        previousTick_ = currentTick_;
    }
    return seconds;
}

int CreateFrameTimer(ClockSource* clock) {
    if (!g_frameTimer) {
        g_frameTimer.reset(new (std::nothrow) FrameTimer(clock));
    }
    return g_frameTimer ? 1 : 0;
}

FrameTimer* GetFrameTimer() { return g_frameTimer.get(); }

void DestroyFrameTimer() { g_frameTimer.reset(); }
