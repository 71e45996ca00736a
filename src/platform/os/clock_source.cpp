#include "platform/os/clock_source.h"

#include <chrono>

int64_t SteadyClockSource::Counter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t SteadyClockSource::Milliseconds() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

ClockSource* DefaultClockSource() {
    static SteadyClockSource source;
    return &source;
}
