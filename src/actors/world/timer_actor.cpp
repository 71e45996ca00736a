#include "actors/world/timer_actor.h"

#include <cmath>

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/script_runner.h"

namespace {

constexpr uint32_t kOnceFlags = 0x200;
constexpr uint32_t kRepeatFlags = 0x300;
constexpr uint32_t kKeyLayer = 1;

// The smallest stored key: event id, three text lengths and the time.
constexpr uint32_t kMinKeyRecord = 20;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Timer Properties", PropertyKind::PageTitle, 0, 0, 1.0f},
    {"Type:|Forward Once|0|Forward Loop|1|", PropertyKind::Enumeration, cmd::timer::SetTimerType, cmd::timer::GetTimerType, 1.0f},
    {"Time Multiplier:|%|", PropertyKind::Real, cmd::timer::SetTimerMultiplier,
     cmd::timer::GetTimerMultiplier,
     100.0f},
    {"Current Time:", PropertyKind::TimeLineValue, cmd::base::SetCurrentTime, cmd::base::GetCurrentTime, 1.0f},
    {"Start Time:", PropertyKind::TimeLineValue, cmd::timer::SetTimerStartTime,
     cmd::timer::GetTimerStartTime,
     1.0f},
    {"Total Time:", PropertyKind::TimeLineValue, cmd::base::SetTotalTime, cmd::base::GetTotalTime,
     1.0f},
    {"Reset+Start_Timer  ON  Start_Game:", PropertyKind::CheckBox, cmd::timer::SetTimerStartActive, cmd::timer::GetTimerStartActive, 1.0f},
    {"Timer Event Keys", PropertyKind::Caption, 0, 0, 1.0f},
    {"Event", PropertyKind::TimedEvents, 0, 0, 1.0f},
    {"Reset Timer |Reset|", PropertyKind::Button, cmd::base::Reset, 0, 1.0f},
};
// clang-format on

std::string EventName(uint32_t eventId) {
    const CommandInfo *info = GetCommandTable().Find(eventId);
    return info != nullptr ? info->name : std::string();
}

} // namespace

TimerActor::TimerActor() {
    classId = kTimerClassId;
    state &= ~kActorEnabled;
}

void TimerActor::RegisterClass() {
    RegisterBasicClassSheet(kTimerClassId, kSheet);
}

void TimerActor::SetMode(uint32_t mode) {
    timerFlags = (timerFlags & ~kTimerModeMask) | ((mode << kTimerModeShift) & kTimerModeMask);
}

float TimerActor::CurrentTime() {
    if (Mode() != kTimerRunning) {
        return offset;
    }
    RefreshTimeRecord(timeRecord);
    const float now = timeRecord != nullptr ? timeRecord->time : 0.0f;
    return (now - startStamp) * multiplier + offset;
}

ScriptRecord &TimerActor::AddKey(float time, const std::string &name, const std::string &source,
                                 uint32_t eventId) {
    TimerKey key;
    key.script = std::make_unique<ScriptRecord>();
    key.script->name = name;
    key.script->source = source;
    key.script->eventId = eventId;
    key.script->owner = this;
    key.time = time;
    keys.push_back(std::move(key));
    return *keys.back().script;
}

void TimerActor::Start() {
    if (Mode() != kTimerStopped) {
        return;
    }
    state |= kActorEnabled;
    if (multiplier == 0.0f) {
        SetMode(kTimerHeld);
        return;
    }
    const float inverse = 1.0f / multiplier;
    const float period = inverse * totalTime;
    bool loop = timerType == kTimerForwardLoop;
    // A pass that is not a positive, finite time cannot repeat: the keys
    // still ahead run once and there is no loop.
    if (loop && !(std::isfinite(period) && period > 0.0f)) {
        loop = false;
    }
    const uint32_t flags = loop ? kRepeatFlags : kOnceFlags;
    if (loop) {
        ::ScheduleCommand(this, cmd::timer::OnTimerLoop, ParamBlock(), kRepeatFlags, period, 0.0f,
                          period,
                          nullptr, kKeyLayer);
    }
    const float from = offset;
    for (size_t i = 0; i < keys.size(); ++i) {
        float delay = (keys[i].time - from) * inverse;
        if (!(delay >= 0.0f)) {
            if (!loop) {
                continue;
            }
            const float passes = 1.0f - std::trunc(delay / period);
            delay = passes * period + delay;
        }
        uint32_t index = static_cast<uint32_t>(i);
        ::ScheduleCommand(this, cmd::timer::TimerCallback, ParamBlock(&index, sizeof(index)), flags,
                          delay,
                          0.0f, period, nullptr, kKeyLayer);
    }
    SetMode(kTimerRunning);
    RefreshTimeRecord(timeRecord);
    startStamp = timeRecord != nullptr ? timeRecord->time : 0.0f;
}

void TimerActor::Stop() {
    if (Mode() == kTimerRunning) {
        uint32_t command = cmd::timer::TimerCallback;
        HandleCommand(cmd::base::DeleteTimerCommandsByCMD, ParamBlock(&command, sizeof(command)));
        // The loop entry goes too: a later start makes its own.
        command = cmd::timer::OnTimerLoop;
        HandleCommand(cmd::base::DeleteTimerCommandsByCMD, ParamBlock(&command, sizeof(command)));
        offset = CurrentTime();
    }
    state &= ~kActorEnabled;
    SetMode(kTimerStopped);
}

void TimerActor::SetCurrentTime(float time) {
    if (time > totalTime) {
        time = totalTime;
    }
    const float old = CurrentTime();
    if (time == old) {
        return;
    }
    switch (Mode()) {
    case kTimerStopped:
        startStamp = -1.0f;
        offset = time;
        break;
    case kTimerRunning:
        HandleCommand(cmd::timer::StopTimer, ParamBlock());
        offset = time;
        startStamp = -1.0f;
        HandleCommand(cmd::timer::PauseTimer, ParamBlock());
        SendCommandArgs(this, cmd::timer::TimerExecuteFromTo, old, time);
        break;
    default:
        offset = time;
        startStamp = -1.0f;
        SendCommandArgs(this, cmd::timer::TimerExecuteFromTo, old, time);
        break;
    }
    if ((flags & kActorPrecalculated) != 0) {
        HandleCommand(cmd::base::OnValueChanged, ParamBlock());
    }
}

void TimerActor::ExecuteFromTo(float from, float to) {
    if (to > from) {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (from <= keys[i].time && keys[i].time < to) {
                SendCommandArgs(this, cmd::timer::TimerCallback, static_cast<uint32_t>(i));
            }
        }
        return;
    }
    for (size_t i = keys.size(); i-- > 0;) {
        if (i < keys.size() && to < keys[i].time && keys[i].time <= from) {
            SendCommandArgs(this, cmd::timer::TimerCallback, static_cast<uint32_t>(i));
        }
    }
}

void TimerActor::RunKey(uint32_t index) {
    if (index >= keys.size()) {
        return;
    }
    RunActorScript(keys[index].script.get(), nullptr);
}

void TimerActor::CopyTimer(const TimerActor &source) {
    timerType = source.timerType;
    startTime = source.startTime;
    totalTime = source.totalTime;
    multiplier = source.multiplier;
    savedTime = source.savedTime;
    startStamp = source.startStamp;
    offset = source.offset;
    timerFlags = source.timerFlags;
    keys.clear();
    for (const TimerKey &key : source.keys) {
        const ScriptRecord &from = *key.script;
        AddKey(key.time, from.name, from.source, from.eventId);
    }
}

int TimerActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::Start:
    case cmd::base::ActionStart:
    case cmd::timer::StartTimer:
    case cmd::timer::PauseTimer:
        Start();
        break;
    case cmd::base::Stop:
    case cmd::base::ActionStop:
    case cmd::timer::StopTimer:
        Stop();
        break;
    case cmd::base::Reset:
        SendCommandArgs(this, cmd::base::SetCurrentTime, startTime);
        return 1;
    case cmd::base::InitLoad: {
        const int result = Actor::HandleCommand(commandId, block);
        if (Mode() == kTimerRunning) {
            SetMode(kTimerStopped);
            SendCommandArgs(this, cmd::base::SetCurrentTime, savedTime);
            // A running timer goes on from where it was saved, also past its
            // total time (where "Forward Once" counts on), which "Set Current
            // Time" cuts: the start then schedules only the keys still ahead.
            offset = savedTime;
            startStamp = -1.0f;
            HandleCommand(cmd::timer::PauseTimer, ParamBlock());
        } else {
            SendCommandArgs(this, cmd::base::SetCurrentTime, savedTime);
        }
        return result;
    }
    case cmd::base::Precalculate:
        for (TimerKey &key : keys) {
            key.script->owner = this;
            key.script->eventId = cmd::timer::TimerCallback;
        }
        break;
    case cmd::base::StartGame:
        if ((timerFlags & kTimerStartOnStartGame) != 0) {
            SendCommandArgs(this, cmd::base::SetCurrentTime, startTime);
            HandleCommand(cmd::base::Start, ParamBlock());
        }
        break;
    case cmd::base::Create: {
        Actor *source = block.ReadActor(0);
        if (source != nullptr && source != this && source->classId == kTimerClassId) {
            if (auto *timer = dynamic_cast<TimerActor *>(source)) {
                CopyTimer(*timer);
            }
        }
        break;
    }
    case cmd::base::SetCurrentTime:
        SetCurrentTime(block.ReadF32(0));
        break;
    case cmd::base::GetCurrentTime:
        block.WriteF32(0, CurrentTime());
        break;
    case cmd::base::SetTotalTime:
        totalTime = block.ReadF32(0);
        break;
    case cmd::base::GetTotalTime:
        block.WriteF32(0, totalTime);
        break;
    case cmd::timer::SetTimerType:
        timerType = block.ReadU32(0);
        break;
    case cmd::timer::GetTimerType:
        block.WriteU32(0, timerType);
        break;
    case cmd::timer::SetTimerStartTime:
        startTime = block.ReadF32(0);
        break;
    case cmd::timer::GetTimerStartTime:
        block.WriteF32(0, startTime);
        break;
    case cmd::timer::SetTimerMultiplier:
        multiplier = block.ReadF32(0);
        break;
    case cmd::timer::GetTimerMultiplier:
        block.WriteF32(0, multiplier);
        break;
    case cmd::timer::SetTimerStartActive:
        if (block.ReadU32(0) != 0) {
            timerFlags |= kTimerStartOnStartGame;
        } else {
            timerFlags &= ~kTimerStartOnStartGame;
        }
        break;
    case cmd::timer::GetTimerStartActive:
        block.WriteU32(0, timerFlags & kTimerStartOnStartGame);
        break;
    case cmd::timer::TimerExecuteFromTo:
        ExecuteFromTo(block.ReadF32(0), block.ReadF32(4));
        break;
    case cmd::timer::OnTimerLoop:
        if (Mode() == kTimerRunning) {
            RefreshTimeRecord(timeRecord);
            startStamp = timeRecord != nullptr ? timeRecord->time : 0.0f;
        }
        break;
    case cmd::timer::TimerCallback:
        RunKey(block.ReadU32(0));
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int TimerActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    const bool writing = archive.IsWriting();
    const uint32_t version = archive.Version();
    if (version >= 1) {
        archive.SerializeWord(&timerType);
        archive.SerializeFloat(&startTime);
        archive.SerializeFloat(&totalTime);
        uint32_t startActive = timerFlags & kTimerStartOnStartGame;
        archive.SerializeWord(&startActive);
        if (!writing) {
            timerFlags = (timerFlags & ~kTimerStartOnStartGame) | (startActive & 1);
        }
        uint32_t count = static_cast<uint32_t>(keys.size());
        archive.SerializeWord(&count);
        if (!writing) {
            // A count the bytes left cannot hold is a broken record.
            if (archive.Failed() || uint64_t{count} * kMinKeyRecord > archive.BytesLeft()) {
                archive.SetFailed();
                return 0;
            }
            keys.clear();
            for (uint32_t i = 0; i < count; ++i) {
                AddKey(0.0f, std::string(), std::string());
            }
        }
        for (TimerKey &key : keys) {
            ScriptRecord &script = *key.script;
            archive.SerializeWord(&script.eventId);
            std::string eventName = writing ? EventName(script.eventId) : std::string();
            archive.SerializeString(eventName);
            if (!writing) {
                script.name.clear();
                script.source.clear();
            }
            archive.SerializeString(script.name);
            archive.SerializeString(script.source);
            archive.SerializeFloat(&key.time);
            if (!writing) {
                script.eventId = FindEventCommandByName(eventName);
                script.compiled.reset();
            }
            if (archive.Failed()) {
                return 0;
            }
        }
    }
    if (writing) {
        savedTime = CurrentTime();
    }
    if (version >= 48) {
        archive.SerializeFloat(&savedTime);
        uint32_t storedMode = Mode();
        archive.SerializeWord(&storedMode);
        if (!writing) {
            // Mode 3 has no meaning; it reads as stopped.
            storedMode &= 3;
            SetMode(storedMode == 3 ? kTimerStopped : storedMode);
        }
    }
    if (version >= 58) {
        archive.SerializeFloat(&multiplier);
    }
    return archive.Failed() ? 0 : 1;
}

void TimerActor::DumpClassFields(std::vector<std::string> &lines) const {
    const float now = timeRecord != nullptr ? timeRecord->time : 0.0f;
    const float current =
        Mode() == kTimerRunning ? (now - startStamp) * multiplier + offset : offset;
    lines.push_back("timer type " + std::to_string(timerType) + " start " + DumpNumber(startTime) +
                    " total " + DumpNumber(totalTime) + " startactive " +
                    std::to_string(timerFlags & kTimerStartOnStartGame) + " keys " +
                    std::to_string(keys.size()) + " saved " + DumpNumber(savedTime) + " mode " +
                    std::to_string(Mode()) + " multiplier " + DumpNumber(multiplier) + " time " +
                    DumpNumber(current));
    for (size_t i = 0; i < keys.size(); ++i) {
        const ScriptRecord &script = *keys[i].script;
        lines.push_back("key " + std::to_string(i) + " event " +
                        DumpText(EventName(script.eventId)) + " script " + DumpText(script.name) +
                        " source " + DumpText(script.source) + " time " + DumpNumber(keys[i].time));
    }
}
