// Time records: the clocks that actors and their scheduled commands run on.
//
// One root record serves the whole world; Time Instance actors own further
// records so that a group of actors can be slowed down, sped up or frozen. A
// record is recomputed at most once per frame, on demand, parent first.
// Main thread only.
#pragma once

#include <cstdint>

#include "core/actors/scheduled_command.h"

class Actor;

// Record flags.
inline constexpr uint32_t kTimeRecordFixed = 1;   // not brought up to date on demand
inline constexpr uint32_t kTimeRecordRawTime = 4; // parent factor = global speed multiplier
inline constexpr uint32_t kTimeRecordNotify = 8;  // owner hears of every linked entry

struct TimeRecord {
    TimeRecord() = default;
    TimeRecord(const TimeRecord &) = delete;
    TimeRecord &operator=(const TimeRecord &) = delete;

    float delta = 0.0f;        // this frame's step on this clock (seconds)
    float time = 0.0f;         // current time on this clock
    float previousTime = 0.0f; // time of the previous update
    float earlierTime = 0.0f;  // time of the update before that
    float multiplier = 1.0f;   // the record's own speed factor
    float simMultiplier = 1.0f;
    float effectiveMultiplier = 1.0f; // the factor applied in the last update
    Actor *owner = nullptr;
    uint32_t frameStamp = 0; // FrameCounter at the last update
    uint32_t flags = kTimeRecordNotify;
    ScheduleLayer layers[kScheduleLayerCount];

    // Set while UpdateTimeRecord works on this record (cycle guard).
    bool updating = false;

    // Restores the values of a new record (the layers must be empty).
    void ResetClock();
};

// The clamped duration of the last normal frame, before time multipliers.
extern float FrameDelta;
// The number of normal frames run.
extern uint32_t FrameCounter;

inline constexpr float kInitialFrameDelta = 0.01f;

// The static root record every actor runs on unless connected elsewhere.
TimeRecord *RootTimeRecord();

// Recomputes record for this frame. Callers pass the record's own owner.
// A step that is not finite, or that would take the time out of the finite
// range, is not taken: the record stands still (delta 0, effective factor 0).
void UpdateTimeRecord(Actor *owner, TimeRecord *record);

// On-demand refresh: UpdateTimeRecord when the record is not fixed and not
// yet stamped with this frame.
void RefreshTimeRecord(TimeRecord *record);
