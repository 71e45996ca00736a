// Clock sources behind the frame timer.
//
// A source either has a high-resolution counter (HasCounter() true; Counter()
// in units of Frequency() per second) or only a 32-bit millisecond tick that
// wraps after about 49.7 days. The engine's default is the steady clock in
// nanoseconds; tests inject their own sources.
#pragma once

#include <cstdint>

class ClockSource {
public:
    virtual ~ClockSource() = default;

    // True when the source has a high-resolution counter.
    virtual bool HasCounter() = 0;
    // Counts per second of Counter(); only meaningful with a counter.
    virtual int64_t Frequency() = 0;
    // Current counter value.
    virtual int64_t Counter() = 0;
    // Current millisecond tick (used when there is no counter).
    virtual uint32_t Milliseconds() = 0;
};

// std::chrono::steady_clock in nanoseconds: has a counter, frequency 1e9.
class SteadyClockSource final : public ClockSource {
public:
    bool HasCounter() override { return true; }
    int64_t Frequency() override { return 1000000000; }
    int64_t Counter() override;
    uint32_t Milliseconds() override;
};

// The process-wide default source (a SteadyClockSource).
ClockSource* DefaultClockSource();
