// The engine's one clock.
//
// FrameTimer measures seconds with a high-resolution counter, or with a
// millisecond tick when the clock source has no counter. The frame step takes
// each frame's duration from GetDeltaTime and times its stages with
// GetTotalTime; reading one delta and discarding it restarts the timing after
// a pause. Window thread only; the singleton holds no lock.
#pragma once

#include <cstdint>

class ClockSource;

class FrameTimer {
public:
    // A null source means the default steady clock. The source must outlive
    // the timer.
    explicit FrameTimer(ClockSource* clock = nullptr);

    // Init unless started.
    void Start();
    // Reads the source's capabilities, marks the timer started and resets.
    void Init();
    // Takes the current clock value (initialising first when not started).
    void Sample();
    // Samples and restarts both the total time and the delta.
    void Reset();
    // Seconds since the last reset; changes nothing else.
    double GetTotalTime();
    // Seconds since the previous delta; the next delta measures from now.
    double GetDeltaTime();

    bool IsStarted() const { return started_ != 0; }
    bool HasCounter() const { return hasCounter_ != 0; }

private:
    ClockSource* clock_;
    uint32_t started_ = 0;
    uint32_t hasCounter_ = 0;
    int64_t frequency_ = 0;
    int64_t startCount_ = 0;
    int64_t currentCount_ = 0;
    int64_t previousCount_ = 0;
    // Millisecond ticks; differences are taken modulo 2^32 so a delta across
    // the tick's wrap stays small and positive.
    uint32_t startTick_ = 0;
    uint32_t currentTick_ = 0;
    uint32_t previousTick_ = 0;
};

// Creates the singleton when absent (on the given source, or the default
// clock); 1 when it exists afterwards, 0 when it could not be made.
int CreateFrameTimer(ClockSource* clock = nullptr);
// The singleton; null before CreateFrameTimer.
FrameTimer* GetFrameTimer();
// Destroys the singleton (tests and orderly shutdown).
void DestroyFrameTimer();
