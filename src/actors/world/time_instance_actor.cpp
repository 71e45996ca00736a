#include "actors/world/time_instance_actor.h"

#include <algorithm>
#include <cmath>

#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

constexpr uint32_t kEveryPassFlags = 0x100;

// One and two frames at 60 frames a second.
constexpr float kOneFrame = 0.016666668f;
constexpr float kTwoFrames = 0.033333335f;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Time Instance Properties", PropertyKind::PageTitle, 0, 0, 1.0f},
    {"Time Multiplier:|%|", PropertyKind::Real, cmd::time_instance::SetTimeinstanceMultiplier,
     cmd::time_instance::GetTimeinstanceMultiplier,
     100.0f},
    {"Time (Sim) Mul:|%|", PropertyKind::Real, cmd::time_instance::SetTimeinstanceSimmultiplier, cmd::time_instance::GetTimeinstanceSimmultiplier, 100.0f},
    {"Global", PropertyKind::CheckBox, cmd::time_instance::SetTimeinstanceGlobal, cmd::time_instance::GetTimeinstanceGlobal, 1.0f},
    {"CalcFromRawTime", PropertyKind::CheckBox, cmd::time_instance::SetTimeinstanceCalcFromRawTimeB, cmd::time_instance::GetTimeinstanceCalcFromRawTimeB, 1.0f},
    {"GlobalTime", PropertyKind::Time, cmd::base::SetGTime, cmd::base::GetGTime, 1.0f},
};
// clang-format on

bool IsLive(const ScheduledCommand *entry) {
    return (entry->state & (kEntryQueued | kEntryDead)) == 0;
}

bool ListHoldsLiveEntry(const ScheduledCommand &head, const ScheduledCommand &tail) {
    for (const ScheduledCommand *entry = head.next; entry != nullptr && entry != &tail;
         entry = entry->next) {
        if (IsLive(entry)) {
            return true;
        }
    }
    return false;
}

} // namespace

TimeInstanceActor::TimeInstanceActor() : recordInUse(&ownRecord) {
    classId = kTimeInstanceClassId;
    ownRecord.flags = kTimeRecordNotify;
}

TimeInstanceActor::~TimeInstanceActor() {
    // The root record must not stay with an actor that is gone: every
    // record refresh and every copy's reconnection reads its owner.
    SetGlobal(false);
    while (!connected.empty()) {
        const ActorLink *front = connected.front().get();
        if (front->target != nullptr) {
            SendCommandArgs(this, cmd::time_instance::TimeinstanceUnconnect, front->target);
        }
        if (!connected.empty() && connected.front().get() == front) {
            connected.erase(connected.begin());
        }
    }
    connectedCount = 0;
}

void TimeInstanceActor::RegisterClass() {
    RegisterBasicClassSheet(kTimeInstanceClassId, kSheet);
}

bool TimeInstanceActor::LayerHoldsLiveEntry(uint32_t layer) const {
    if (layer >= kScheduleLayerCount) {
        return false;
    }
    const ScheduleLayer &lists = ownRecord.layers[layer];
    return ListHoldsLiveEntry(lists.everyPassHead, lists.everyPassTail) ||
           ListHoldsLiveEntry(lists.timedHead, lists.timedTail);
}

void TimeInstanceActor::Connect(Actor *actor) {
    if (actor == nullptr || actor->timeRecord == recordInUse) {
        return;
    }
    TimeRecord *current = actor->timeRecord;
    Actor *currentOwner = current != nullptr ? current->owner : nullptr;
    if (currentOwner != nullptr && currentOwner != GetActorSystem()) {
        SendCommandArgs(currentOwner, cmd::time_instance::TimeinstanceUnconnect, actor);
    }
    actor->timeRecord = recordInUse;
    ++connectedCount;
    connected.push_back(std::make_unique<ActorLink>(this));
    connected.back()->Assign(actor);
}

bool TimeInstanceActor::Unconnect(Actor *actor) {
    auto it = std::find_if(connected.begin(), connected.end(),
                           [actor](const auto &link) { return link->target == actor; });
    if (actor == nullptr || it == connected.end()) {
        return false;
    }
    connected.erase(it);
    if (connectedCount > 0) {
        --connectedCount;
    }
    actor->timeRecord = RootTimeRecord();
    // Only the entries it owns now: one that a deletion makes (a pump taken
    // up again on the new record) stays.
    const std::vector<ScheduledCommand *> entries = actor->scheduledCommands;
    for (ScheduledCommand *entry : entries) {
        if (std::find(actor->scheduledCommands.begin(), actor->scheduledCommands.end(), entry) !=
            actor->scheduledCommands.end()) {
            ActorSystem::DeleteScheduledCommand(entry);
        }
    }
    return true;
}

void TimeInstanceActor::SetGlobal(bool global) {
    TimeRecord *root = RootTimeRecord();
    ActorSystem *system = GetActorSystem();
    if (global) {
        Actor *previous = root->owner;
        if (previous != nullptr && previous != this && previous != system) {
            SendCommandArgs(previous, cmd::time_instance::SetTimeinstanceGlobal, uint32_t{0});
        }
        root->owner = this;
        recordInUse = root;
    } else if (root->owner == this) {
        recordInUse = &ownRecord;
        root->owner = system;
    }
}

void TimeInstanceActor::PumpLayer(uint32_t layer) {
    // Marked first: the new entry's own notice (an instance that runs on
    // its own record) must find the layer pumped.
    layerPumped[layer] = 1;
    uint32_t word = layer;
    ::ScheduleCommand(this, cmd::time_instance::TimeinstanceProcessLayer,
                      ParamBlock(&word, sizeof(word)),
                      kEveryPassFlags, 0.0f, 0.0f, 0.0f, nullptr, layer);
}

void TimeInstanceActor::NotifyEntryQueued(const ScheduledCommand *entry) {
    if (entry == nullptr || entry->layer >= kScheduleLayerCount) {
        return;
    }
    if (layerPumped[entry->layer] == 0) {
        PumpLayer(entry->layer);
    }
}

void TimeInstanceActor::ProcessLayer(uint32_t layer) {
    // A layer above the last one names nothing to run.
    if (layer >= kScheduleLayerCount) {
        return;
    }
    // The pump runs the record whose entries asked for it, its own: while
    // global, the record in use is the root record, which the frame pumps
    // and which holds this very pump.
    RunScheduleLayer(GetActorSystem(), &ownRecord, layer);
    if (LayerHoldsLiveEntry(layer)) {
        return;
    }
    uint32_t word = layer;
    for (ScheduledCommand *entry : scheduledCommands) {
        if (entry->command == cmd::time_instance::TimeinstanceProcessLayer &&
            entry->Block().ReadU32(0) == word && IsLive(entry)) {
            ActorSystem::CancelScheduledCommand(entry);
            break;
        }
    }
    layerPumped[layer] = 0;
}

void TimeInstanceActor::ScheduledCommandDeleted(ScheduledCommand *entry) {
    if (entry == nullptr || entry->command != cmd::time_instance::TimeinstanceProcessLayer) {
        return;
    }
    const uint32_t layer = entry->Block().ReadU32(0);
    if (layer >= kScheduleLayerCount) {
        return;
    }
    for (const ScheduledCommand *other : scheduledCommands) {
        if (other != entry && other->command == cmd::time_instance::TimeinstanceProcessLayer &&
            const_cast<ScheduledCommand *>(other)->Block().ReadU32(0) == layer && IsLive(other)) {
            return; // another pump still serves the layer
        }
    }
    layerPumped[layer] = 0;
    // A pump taken away from under entries (this instance was moved to
    // another record) is made again where it runs now; not for an instance
    // that is leaving the world.
    const bool inWorld = actorId >= 0 && GetActorById(static_cast<uint32_t>(actorId)) == this;
    if (inWorld && LayerHoldsLiveEntry(layer)) {
        PumpLayer(layer);
    }
}

bool TimeInstanceActor::DropLink(const ActorLink *link) {
    auto it = std::find_if(connected.begin(), connected.end(),
                           [link](const auto &held) { return held.get() == link; });
    if (link == nullptr || it == connected.end()) {
        return false;
    }
    (*it)->Release();
    connected.erase(it);
    if (connectedCount > 0) {
        --connectedCount;
    }
    return true;
}

int TimeInstanceActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::InitNew:
    case cmd::base::InitLoad:
    case cmd::base::InitCopy:
        Actor::HandleCommand(commandId, block);
        recordInUse = &ownRecord;
        ownRecord.owner = this;
        return 1;
    case cmd::base::CommandSelection: {
        const uint32_t command = block.ReadU32(0);
        const ParamBlock inner = block.Sub(4);
        std::vector<ChildRef> targets;
        for (const auto &link : connected) {
            if (link->target != nullptr) {
                targets.push_back({link->target->actorId, link->target});
            }
        }
        for (const ChildRef &ref : targets) {
            if (ref.id >= 0 && GetActorById(static_cast<uint32_t>(ref.id)) == ref.pointer) {
                ref.pointer->HandleCommand(command, inner);
            }
        }
        break;
    }
    case cmd::base::Precalculate:
        ownRecord.flags |= kTimeRecordRawTime;
        break;
    case cmd::base::InvalidActorPointer:
        if (DropLink(static_cast<const ActorLink *>(block.ReadPointer(0)))) {
            return 1;
        }
        break;
    case cmd::base::SetGTime: {
        // Times and factors that are not finite are refused here and below:
        // the record may be the root one that every actor runs on.
        const float t = block.ReadF32(0);
        if (!std::isfinite(t)) {
            break;
        }
        recordInUse->time = t;
        recordInUse->previousTime = t - kOneFrame;
        recordInUse->earlierTime = t - kTwoFrames;
        break;
    }
    case cmd::base::GetGTime:
        block.WriteF32(0, recordInUse->time);
        break;
    case cmd::time_instance::SetTimeinstanceCalcFromRawTimeB:
        if ((recordInUse->flags & kTimeRecordFixed) == 0) {
            if (block.ReadU32(0) != 0) {
                recordInUse->flags |= kTimeRecordRawTime;
            } else {
                recordInUse->flags &= ~kTimeRecordRawTime;
            }
        }
        break;
    case cmd::time_instance::GetTimeinstanceCalcFromRawTimeB:
        block.WriteU32(0, (recordInUse->flags & kTimeRecordRawTime) != 0 ? 1 : 0);
        break;
    case cmd::time_instance::SetTimeinstanceGlobal:
        SetGlobal(block.ReadU32(0) != 0);
        break;
    case cmd::time_instance::GetTimeinstanceGlobal:
        block.WriteU32(0, (recordInUse->flags & kTimeRecordFixed) != 0 ? 1 : 0);
        break;
    case cmd::time_instance::SetTimeinstanceMultiplier:
        // Registered without parameter types: a block too short for a Real
        // changes nothing.
        if (block.Fits(0, sizeof(float)) && std::isfinite(block.ReadF32(0))) {
            recordInUse->multiplier = block.ReadF32(0);
        }
        break;
    case cmd::time_instance::GetTimeinstanceMultiplier:
        block.WriteF32(0, recordInUse->multiplier);
        break;
    case cmd::time_instance::SetTimeinstanceSimmultiplier:
        if (const float factor = block.ReadF32(0); std::isfinite(factor)) {
            recordInUse->simMultiplier = factor;
        }
        break;
    case cmd::time_instance::GetTimeinstanceSimmultiplier:
        block.WriteF32(0, recordInUse->simMultiplier);
        break;
    case cmd::time_instance::TimeinstanceConnectActor:
        Connect(static_cast<Actor *>(block.ReadPointer(0)));
        break;
    case cmd::time_instance::TimeinstanceUnconnect:
        if (Unconnect(static_cast<Actor *>(block.ReadPointer(0)))) {
            return 1;
        }
        break;
    case cmd::time_instance::TimeinstanceMcmdCreateNotify:
        NotifyEntryQueued(static_cast<const ScheduledCommand *>(block.ReadPointer(0)));
        break;
    case cmd::time_instance::TimeinstanceGetConnectedCount:
        block.WriteU32(0, connectedCount);
        break;
    case cmd::time_instance::TimeinstanceProcessLayer:
        ProcessLayer(block.ReadU32(0));
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int TimeInstanceActor::Serialize(Archive &archive, uint32_t mode) {
    return SerializeWithFourSpareWords(*this, archive, mode);
}
