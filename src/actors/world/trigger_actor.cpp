#include "actors/world/trigger_actor.h"

#include <algorithm>

#include "actors/world/collision.h"
#include "actors/world/draw_groups.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/process_entry.h"

namespace {

constexpr float kDefaultRadius = 200.0f;
// Subtype "Event": causes and takes events, neither dynamic nor solid.
constexpr uint32_t kEventSubtype = kColObjActive | kColObjCausesEvents | kColObjTakesEvents;

// clang-format off
const BasicSheetRow kSheet[] = {
    {"Trigger Properties", PropertyKind::PageTitle, 0, 0},
    {"Radius", PropertyKind::Real, cmd::trigger::SetTriggerRadius, cmd::trigger::GetTriggerRadius},
    {"Show", PropertyKind::CheckBox, cmd::trigger::SetTriggerVisibility, cmd::trigger::GetTriggerVisibility},
    {"Deactivate After Trig Time.", PropertyKind::Caption, 0, 0},
    {"Trigger Deactive:", PropertyKind::Time, cmd::trigger::SetTriggerDeactivateTime, cmd::trigger::GetTriggerDeactivateTime},
    {"Max Count:", PropertyKind::WholeNumber, cmd::base::SetSelectionMaxCount, cmd::base::GetSelectionMaxCount},
    {"Trigger Script", PropertyKind::Caption, 0, 0},
    {"Event", PropertyKind::EventScripts, 0, 0},
};
// clang-format on

} // namespace

void TriggerActor::RegisterClass() { RegisterBasicClassSheet(kTriggerClassId, kSheet); }

void TriggerActor::CreateDefaults() {
    auto object = std::make_unique<ColObj>(this);
    object->name = "Trigger";
    object->type = kKindSphere;
    object->boxMin = {0.0f, 0.0f, 0.0f};
    object->boxMax = {kDefaultRadius, 0.0f, 0.0f};
    object->material = 0;
    object->flags = kEventSubtype;
    object->groups = 0;
    object->receiveGroups = kTriggerReceiveGroups;
    AddColObj(std::move(object));
    auto script = std::make_unique<ScriptRecord>();
    script->name = "On Trigger";
    script->eventId = cmd::trigger::OnTriggerEnter;
    script->owner = this;
    scripts.push_back(std::move(script));
}

void TriggerActor::CopyTrigger(const TriggerActor &source) {
    occupied = source.occupied;
    deactivateTime = source.deactivateTime;
    delayTime = source.delayTime;
    spare[0] = source.spare[0];
    spare[1] = source.spare[1];
    maxCount = source.maxCount;
    ForgetOccupants();
    for (const auto &entry : source.occupants) {
        auto copy = std::make_unique<TriggerOccupant>(this);
        copy->occupant.Assign(entry->occupant.target);
        copy->touchedNow = entry->touchedNow;
        copy->touchedBefore = entry->touchedBefore;
        occupants.push_back(std::move(copy));
    }
}

void TriggerActor::ForgetOccupants() { occupants.clear(); }

void TriggerActor::EndSubscription() {
    if (processEntry != nullptr) {
        ActorSystem::CancelScheduledCommand(processEntry);
        processEntry = nullptr; // a touch later in this frame subscribes again
    }
}

void TriggerActor::Touched(Actor *other) {
    for (const auto &entry : occupants) {
        if (entry->occupant.target == other) {
            entry->touchedNow = 1;
            return;
        }
    }
    if (other == nullptr || OccupantCount() >= maxCount) {
        return;
    }
    auto entry = std::make_unique<TriggerOccupant>(this);
    entry->occupant.Assign(other);
    entry->touchedNow = 1;
    occupants.push_back(std::move(entry));
    EnsureProcessEntry(*this);
}

void TriggerActor::Precalculate() {
    RefreshTimeRecord(timeRecord);
    for (auto &script : scripts) {
        if (script != nullptr && script->eventId == cmd::base::CollisionEvent) {
            script->eventId = cmd::trigger::OnTriggerEnter;
        }
    }
    if (drawGroupId < 0) {
        const int32_t group = FindDrawGroupAt(GetWorldPosition(), 2);
        if (group >= 0) {
            SendCommandArgs(this, cmd::base::SetDrawGroup, static_cast<uint32_t>(group));
        }
    }
}

void TriggerActor::CommandOccupants(ParamBlock block) {
    const uint32_t command = block.ReadU32(0);
    const ParamBlock inner = block.Sub(4);
    std::vector<ChildRef> targets;
    for (const auto &entry : occupants) {
        if (Actor *target = entry->occupant.target) {
            targets.push_back({target->actorId, target});
        }
    }
    for (const ChildRef &ref : targets) {
        if (ref.id >= 0 && GetActorById(static_cast<uint32_t>(ref.id)) == ref.pointer) {
            ref.pointer->HandleCommand(command, inner);
        }
    }
}

int TriggerActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::trigger::SetTriggerRadius:
        if (!colObjs.empty()) {
            const float radius = block.ReadF32(0);
            colObjs[0]->ChangeShape([radius](ColObj &o) { o.boxMax.x = radius; });
        }
        break;
    case cmd::trigger::GetTriggerRadius:
        if (!colObjs.empty()) {
            block.WriteF32(0, colObjs[0]->boxMax.x);
        }
        break;
    case cmd::trigger::SetTriggerDelayTime:
        delayTime = block.ReadF32(0);
        break;
    case cmd::trigger::GetTriggerDelayTime:
        block.WriteF32(0, delayTime);
        break;
    case cmd::trigger::SetTriggerDeactivateTime:
        deactivateTime = block.ReadF32(0);
        break;
    case cmd::trigger::GetTriggerDeactivateTime:
        block.WriteF32(0, deactivateTime);
        break;
    case cmd::base::Start:
    case cmd::base::ActionStart:
        SendCommandArgs(this, cmd::base::SetCollisionEnable, true);
        break;
    case cmd::base::Stop:
    case cmd::base::ActionStop:
    case cmd::base::KillPost:
        SendCommandArgs(this, cmd::base::SetCollisionEnable, false);
        break;
    case cmd::base::InitNew:
    case cmd::base::InitLoad:
    case cmd::base::InitCopy:
        // The list goes with the count, so that no copied entry outlives it.
        ForgetOccupants();
        occupied = 0;
        break;
    case cmd::base::CommandSelection:
        CommandOccupants(block);
        break;
    case cmd::base::SetSelectionMaxCount:
        maxCount = block.ReadU32(0);
        break;
    case cmd::base::GetSelectionMaxCount:
        block.WriteU32(0, maxCount);
        break;
    case cmd::base::SetCollisionEnable:
        state = block.ReadU32(0) != 0 ? (state | kActorEnabled) : (state & ~kActorEnabled);
        break;
    case cmd::base::Precalculate:
        Precalculate();
        break;
    case cmd::base::Create: {
        // The base handling that follows sends "Init New" or "Init Copy".
        Actor *source = block.empty() ? nullptr : block.ReadActor(0);
        if (source == nullptr) {
            CreateDefaults();
        } else if (auto *trigger = dynamic_cast<TriggerActor *>(source);
                   trigger != nullptr && trigger != this) {
            CopyTrigger(*trigger);
        }
        break;
    }
    case cmd::base::CollisionEvent: {
        const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
        Touched(other != nullptr ? other->owner : nullptr);
        Actor::HandleCommand(commandId, block);
        return 1;
    }
    case cmd::base::InvalidActorPointer: {
        const auto *link = static_cast<const ActorLink *>(block.ReadPointer(0));
        std::erase_if(occupants, [link](const auto &entry) { return &entry->occupant == link; });
        break;
    }
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void TriggerActor::Process() {
    if (!IsOperational()) {
        return;
    }
    std::vector<TriggerOccupant *> walk;
    for (const auto &entry : occupants) {
        walk.push_back(entry.get());
    }
    auto present = [this](const TriggerOccupant *entry) {
        return std::any_of(occupants.begin(), occupants.end(),
                           [entry](const auto &held) { return held.get() == entry; });
    };
    for (TriggerOccupant *entry : walk) {
        // Scripts run below may remove entries.
        if (!present(entry)) {
            continue;
        }
        Actor *occupant = entry->occupant.target;
        if (entry->touchedNow != 0) {
            if (entry->touchedBefore == 0) {
                if (occupied == 0) {
                    occupied = 1;
                    RunEventScripts(this, cmd::trigger::OnTriggerEnterFirst, occupant);
                }
                RunEventScripts(this, cmd::trigger::OnTriggerEnter, occupant);
                if (!present(entry)) {
                    continue;
                }
            }
            entry->touchedBefore = 1;
            entry->touchedNow = 0;
        } else if (entry->touchedBefore != 0) {
            RunEventScripts(this, cmd::trigger::OnTriggerExit, occupant);
            if (OccupantCount() == 1) {
                occupied = 0;
                RunEventScripts(this, cmd::trigger::OnTriggerExitLast, occupant);
            }
            std::erase_if(occupants, [entry](const auto &held) { return held.get() == entry; });
        } else {
            entry->touchedBefore = 0;
        }
    }
    if (occupants.empty()) {
        EndSubscription();
    }
}

int TriggerActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 21) {
        archive.SerializeWords(&deactivateTime, 1);
        archive.SerializeWords(&delayTime, 1);
    }
    if (archive.Version() >= 63) {
        archive.SerializeWord(&maxCount);
    }
    return archive.Failed() ? 0 : 1;
}

void TriggerActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("trigger occupied " + std::to_string(occupied) + " deactivate " +
                    DumpNumber(deactivateTime) + " delay " + DumpNumber(delayTime) + " max " +
                    std::to_string(maxCount) + " count " + std::to_string(OccupantCount()));
}
