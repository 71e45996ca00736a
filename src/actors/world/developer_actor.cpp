#include "actors/world/developer_actor.h"

#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/process_entry.h"

namespace {

Vector3 WorldPosition(Actor *actor) {
    Vector3 position = {0.0f, 0.0f, 0.0f};
    actor->HandleCommand(cmd::base::GetWSPosition, ParamBlock(&position, sizeof(position)));
    return position;
}

} // namespace

DeveloperActor::DeveloperActor() { classId = kDeveloperClassId; }

void DeveloperActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kDeveloperClassId);
    descriptor.lineage = {0, kDeveloperClassId};
    descriptor.items.clear();
}

void DeveloperActor::Process() {
    if (!IsOperational()) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    if (timeRecord != nullptr) {
        cooldown -= timeRecord->delta;
    }
}

void DeveloperActor::Touched(const ColObj *other, ParamBlock block) {
    Actor *toucher = other != nullptr ? other->owner : nullptr;
    if (cooldown > 0.0f || toucher == nullptr || toucher->classId != kCharacterClassId ||
        !toucher->HasFlag(kActorMaster) || dart.target == nullptr) {
        return;
    }
    SendCommandArgs(this, cmd::developer::ThrowDart, static_cast<uint32_t>(toucher->actorId));
    cooldown = 6.0f + static_cast<float>(Rand() % 10);
    if (ActorSystem *system = GetActorSystem()) {
        system->NetSendCommand(static_cast<uint32_t>(actorId), cmd::base::CollisionEvent, block);
    }
}

void DeveloperActor::Throw(uint32_t targetId, ParamBlock block) {
    Actor *target = GetActorById(targetId);
    // Nothing to throw, or nobody to throw it at.
    if (dart.target == nullptr || target == nullptr) {
        return;
    }
    Actor *copy = CopyActorTree(dart.target, GetActorById(kSceneryRootId));
    if (copy == nullptr) {
        return;
    }
    const Vector3 to = WorldPosition(target);
    Vector3 from = WorldPosition(this);
    copy->HandleCommand(cmd::base::SetPosition, ParamBlock(&from, sizeof(from)));
    Vector3 direction = {to.x - from.x, to.y - from.y, to.z - from.z};
    Vec3Normalize(&direction, direction);
    copy->deltaPosition = {direction.x * kDartSpeed, direction.y * kDartSpeed,
                           direction.z * kDartSpeed};
    copy->InvalidateTransform();
    SendCommandArgs(copy, cmd::game_object::PerformAction, static_cast<uint32_t>(actorId));
    if (target->HasFlag(kActorMaster)) {
        if (ActorSystem *system = GetActorSystem()) {
            system->NetSendCommand(static_cast<uint32_t>(actorId), cmd::developer::ThrowDart,
                                   block);
        }
    }
}

int DeveloperActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::Precalculate:
        dart.Release();
        dart.Assign(FindActorByName("Dart", -1));
        EnsureProcessEntry(*this);
        break;
    case cmd::base::CollisionEvent:
        Touched(static_cast<const ColObj *>(block.ReadPointer(0)), block);
        break;
    case cmd::developer::ThrowDart:
        Throw(block.ReadU32(0), block);
        break;
    case cmd::base::InvalidActorPointer:
        if (block.ReadPointer(0) == &dart) {
            dart.Release();
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}
