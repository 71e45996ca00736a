#include "actors/world/simulation_actor.h"

#include <cstring>

#include "actors/world/collision.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/process_entry.h"

namespace {

// Subtype "Dynamic": causes and takes events, dynamic, solid.
constexpr uint32_t kDynamicSubtype =
    kColObjCausesEvents | kColObjTakesEvents | kColObjDynamic | kColObjSolid;

struct SheetRow {
    const char *label;
    PropertyKind kind;
    uint32_t setCommand;
    uint32_t getCommand;
    PropertyTransform transform;
};

// clang-format off
const SheetRow kSheet[] = {
    {"Simulation Properties", PropertyKind::PageTitle, 0, 0, nullptr},
    {"SimulationStyle:|PositionOnly|1|RigidBody|2|CylinerApprox|3|BoxApprox|4|SphereApprox|5|"
     "_extra2|6|_extra3|7|_extra4|8|",
     PropertyKind::Enumeration, cmd::base::SetSimStyle, cmd::base::GetSimStyle, nullptr},
    {"Weight", PropertyKind::Real, cmd::base::SetWeight, cmd::base::GetWeight, nullptr},
    {"AirResistanceMultiplier", PropertyKind::Vector, cmd::base::SetAirResistanceMultiplier, cmd::base::GetAirResistanceMultiplier, nullptr},
    {"AirResistanceRotMultiplier", PropertyKind::Real, cmd::base::SetAirResistanceRotMultiplier, cmd::base::GetAirResistanceRotMultiplier, nullptr},
    {"GravityMul", PropertyKind::Real, cmd::base::SetSimGravityMul, cmd::base::GetSimGravityMul,
     nullptr},
    {"FrictionMultiplier", PropertyKind::Real, cmd::base::SetFrictionMultiplier, cmd::base::GetFrictionMultiplier, nullptr},
    {"Bounce->Slide Treshold|cm/s|", PropertyKind::Real, cmd::base::SetBounceSlideTreshold, cmd::base::GetBounceSlideTreshold, &SquareRootTransform},
    {"Slide->Rest Treshold|cm/s|", PropertyKind::Real, cmd::base::SetSlideRestTreshold, cmd::base::GetSlideRestTreshold, &SquareRootTransform},
    {"StopRest Treshold", PropertyKind::Real, cmd::base::SetStopRestTreshold, cmd::base::GetStopRestTreshold, &SquareRootTransform},
    {"StickyForce", PropertyKind::Real, cmd::base::SetStickyForce, cmd::base::GetStickyForce,
     nullptr},
    {"DirectionByMovement", PropertyKind::CheckBox, cmd::base::SetDirectionByMovement, cmd::base::GetDirectionByMovement, nullptr},
};
// clang-format on

} // namespace

void SimulationActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kSimulationClassId);
    descriptor.lineage = {0, kSimulationClassId};
    descriptor.items.clear();
    for (const SheetRow &row : kSheet) {
        descriptor.items.emplace_back(row.label, row.kind, row.setCommand, row.getCommand, 0,
                                      0.0f, 0.0f, 1.0f, row.transform);
    }
}

void SimulationActor::NoteTouchTime() {
    RefreshTimeRecord(timeRecord);
    const float now = timeRecord != nullptr ? timeRecord->time : 0.0f;
    if (now > lastNotedTime + interval) {
        lastNotedTime = now;
    }
}

void SimulationActor::SwitchCollision(bool on) {
    RemoveActorFromDrawGroup(this, 0);
    SendCommandArgs(this, cmd::base::SetCollisionEnable, on);
    AddActorToDrawGroup(this, 0);
}

int SimulationActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::SetCollisionEnable:
        if (block.ReadU32(0) != 0) {
            touchedNow = 0;
            touchedBefore = 0;
            toucher.Release();
        }
        break;
    case cmd::base::Precalculate: {
        RefreshTimeRecord(timeRecord);
        lastNotedTime = (timeRecord != nullptr ? timeRecord->time : 0.0f) - interval;
        if (!simState) {
            simState = std::make_unique<SimState>();
        }
        if (Actor *centre = FindChildByName(this, "CenterOfMass")) {
            if (!simParams) {
                simParams = std::make_unique<SimParams>();
            }
            simParams->SetCentreOfMass(centre->position);
            simParams->SetFlags(kSimCentreNotTaken, false);
        }
        break;
    }
    case cmd::base::Create:
        if (block.empty() || block.ReadPointer(0) == nullptr) {
            auto object = std::make_unique<ColObj>(this);
            object->name = "Simulation";
            object->type = kKindSphere;
            object->boxMin = {0.0f, 0.0f, 0.0f};
            object->boxMax = {50.0f, 0.0f, 0.0f};
            object->material = 0;
            object->flags = kColObjActive | kDynamicSubtype;
            object->groups = 1;
            object->receiveGroups = 1;
            AddColObj(std::move(object));
        }
        break;
    case cmd::base::CollisionEvent: {
        const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
        if (other != nullptr && other->owner != nullptr) {
            toucher.Assign(other->owner);
        }
        touchedNow = 1;
        EnsureProcessEntry(*this);
        break;
    }
    case cmd::base::ActionStart:
        SendCommandArgs(this, cmd::base::StartSimulate);
        if (!HasFlag(kActorCollisionEnabled)) {
            SwitchCollision(true);
        }
        break;
    case cmd::base::ActionStopPost:
    case cmd::base::KillPost:
        if (HasFlag(kActorCollisionEnabled)) {
            SwitchCollision(false);
        }
        SendCommandArgs(this, cmd::base::StopSimulate);
        break;
    case cmd::base::InvalidActorPointer:
        if (static_cast<ActorLink *>(block.ReadPointer(0)) == &toucher) {
            toucher.Release();
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void SimulationActor::Process() {
    if (!IsOperational()) {
        return;
    }
    if (touchedNow != 0 && touchedBefore == 0) {
        NoteTouchTime();
    } else if (touchedNow == 0 && touchedBefore != 0) {
        NoteTouchTime();
        toucher.Release();
        if (processEntry != nullptr) {
            ActorSystem::CancelScheduledCommand(processEntry);
            processEntry = nullptr;
        }
    }
    touchedBefore = touchedNow;
    touchedNow = 0;
}

int SimulationActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 21) {
        archive.SerializeWords(&interval, 1);
        archive.SerializeWords(&second, 1);
    }
    return archive.Failed() ? 0 : 1;
}

void SimulationActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("simulation interval " + DumpNumber(interval) + " second " +
                    DumpNumber(second));
}
