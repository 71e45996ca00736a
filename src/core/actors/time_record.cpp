#include "core/actors/time_record.h"

#include <cmath>

#include "core/actors/actor.h"
#include "core/actors/actor_system.h"

float FrameDelta = kInitialFrameDelta;
uint32_t FrameCounter = 0;

namespace {
TimeRecord g_rootRecord;
} // namespace

TimeRecord *RootTimeRecord() { return &g_rootRecord; }

void TimeRecord::ResetClock() {
    delta = 0.0f;
    time = 0.0f;
    previousTime = 0.0f;
    earlierTime = 0.0f;
    multiplier = 1.0f;
    simMultiplier = 1.0f;
    effectiveMultiplier = 1.0f;
    owner = nullptr;
    frameStamp = 0;
    flags = kTimeRecordNotify;
    updating = false;
}

void RefreshTimeRecord(TimeRecord *record) {
    if (record != nullptr && (record->flags & kTimeRecordFixed) == 0 &&
        record->frameStamp != FrameCounter) {
        UpdateTimeRecord(record->owner, record);
    }
}

void UpdateTimeRecord(Actor *owner, TimeRecord *record) {
    if (record == nullptr) {
        return;
    }
    record->updating = true;

    // The source factor: frozen while the run mode is set; the global speed
    // multiplier for raw time; else the effective factor of the record that
    // the owner's own record's owner runs on. A record met again while it is
    // being updated (a cycle) is not recursed into: it counts as raw time, so
    // that no factor compounds from frame to frame.
    float factor;
    if (CurrentRunMode() != 0) {
        factor = 0.0f;
    } else if ((record->flags & kTimeRecordRawTime) != 0) {
        factor = CurrentGlobalSpeedMultiplier();
    } else {
        TimeRecord *source = nullptr;
        if (owner != nullptr && owner->timeRecord != nullptr &&
            owner->timeRecord->owner != nullptr) {
            source = owner->timeRecord->owner->timeRecord;
        }
        if (source == nullptr || source->updating) {
            factor = CurrentGlobalSpeedMultiplier();
        } else {
            if ((source->flags & kTimeRecordFixed) == 0 && source->frameStamp != FrameCounter) {
                UpdateTimeRecord(source->owner, source);
            }
            factor = source->effectiveMultiplier;
        }
    }

    // A step that is not finite, or that would take the time past the
    // largest float, is not taken: the record stands still this frame as a
    // frozen one does, and hands a factor of 0 to the records that run from
    // it, so that no clock derived from it leaves the finite range either.
    float effective = record->multiplier * factor;
    float delta = effective * FrameDelta;
    if (!std::isfinite(delta) || !std::isfinite(record->time + delta)) {
        effective = 0.0f;
        delta = 0.0f;
    }
    record->effectiveMultiplier = effective;
    record->delta = delta;
    record->earlierTime = record->previousTime;
    record->previousTime = record->time;
    record->time = record->time + record->delta;
    record->frameStamp = FrameCounter;
    record->updating = false;
}
