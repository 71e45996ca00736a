// The Timer actor (class 11): a time line of keyed scripts. Each key holds a
// script and its place on the line; starting the timer schedules one
// "Timer Callback" per key (and, for "Forward Loop", a repeating "On Timer
// Loop") on the timer's time record, and those entries run the keys.
// Jumping the current time runs the keys between the old and the new time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// Timer types.
inline constexpr uint32_t kTimerForwardOnce = 0;
inline constexpr uint32_t kTimerForwardLoop = 1;

// Modes (bits 1-2 of the timer flags).
inline constexpr uint32_t kTimerStopped = 0;
inline constexpr uint32_t kTimerRunning = 1;
inline constexpr uint32_t kTimerHeld = 2;

inline constexpr uint32_t kTimerStartOnStartGame = 1; // flag bit 0
inline constexpr uint32_t kTimerModeShift = 1;
inline constexpr uint32_t kTimerModeMask = 3u << kTimerModeShift;

struct TimerKey {
    std::unique_ptr<ScriptRecord> script;
    float time = 0.0f;
};

class TimerActor : public Actor {
  public:
    TimerActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    uint32_t Mode() const { return (timerFlags & kTimerModeMask) >> kTimerModeShift; }
    void SetMode(uint32_t mode);
    // In mode 1 the time of the record (brought up to date) since the start,
    // scaled, plus the offset; otherwise the offset.
    float CurrentTime();
    // A key whose script has this timer as owner; answers its record.
    ScriptRecord &AddKey(float time, const std::string &name, const std::string &source,
                         uint32_t eventId = 0);

    uint32_t timerType = kTimerForwardOnce;
    float startTime = 0.0f;
    float totalTime = 0.0f;
    float multiplier = 1.0f;
    float savedTime = 0.0f;
    float startStamp = -1.0f;
    float offset = -1.0f;
    uint32_t timerFlags = kTimerStartOnStartGame;
    std::vector<TimerKey> keys;

  private:
    void Start();
    void Stop();
    void SetCurrentTime(float time);
    void ExecuteFromTo(float from, float to);
    void RunKey(uint32_t index);
    void CopyTimer(const TimerActor &source);
};
