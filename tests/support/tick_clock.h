// A clock source without a performance counter whose millisecond tick the test sets.
#pragma once

#include <cstdint>

#include "platform/os/clock_source.h"

class TickClock : public ClockSource {
  public:
    bool HasCounter() override { return false; }
    int64_t Frequency() override { return 0; }
    int64_t Counter() override { return 0; }
    uint32_t Milliseconds() override { return tick; }
    uint32_t tick = 0;
};
