#include "actors/world/developer2_actor.h"

#include "actors/world/collision.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"

namespace {

// The world centre of a shape from its world fields: a sphere holds its
// centre in worldMin (worldMax holds the radius), a swept point its start and
// its sweep, every other kind its world box.
Vector3 WorldCentre(const ColObj &object) {
    const Vector3 &a = object.worldMin;
    const Vector3 &b = object.worldMax;
    switch (object.type) {
    case kKindSphere:
        return a;
    case kKindRayPoint:
        return {a.x + b.x * 0.5f, a.y + b.y * 0.5f, a.z + b.z * 0.5f};
    default:
        return {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f};
    }
}

} // namespace

Developer2Actor::Developer2Actor() { classId = kDeveloper2ClassId; }

void Developer2Actor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kDeveloper2ClassId);
    descriptor.lineage = {0, kDeveloper2ClassId};
    descriptor.items.clear();
}

void Developer2Actor::Update() {
    if (!IsOperational()) {
        return;
    }
    ++frameCounter;
    if (frameCounter > 1) {
        lookedAt.Release();
    }
    Actor::Update();
}

void Developer2Actor::Touched(const ColObj *other) {
    if (other == nullptr || other->owner == nullptr || parent == nullptr) {
        return;
    }
    Vector3 look = {0.0f, 0.0f, 0.0f};
    parent->HandleCommand(cmd::character::GetLookDirection, ParamBlock(&look, sizeof(look)));
    const Vector3 centre = WorldCentre(*other);
    const Vector3 own = GetWorldPosition();
    Vector3 toward = {centre.x - own.x, centre.y - own.y, centre.z - own.z};
    Vec3Normalize(&toward, toward);
    if (Vec3Dot(look, toward) > 0.5f) {
        lookedAt.Assign(other->owner);
        frameCounter = 0;
    }
}

void Developer2Actor::SendVoiceCommand(uint32_t value) {
    if (lookedAt.target == nullptr) {
        return;
    }
    if (Actor *ai = FindDescendantByName(lookedAt.target, "AI")) {
        SendCommandArgs(ai, cmd::ai_player2::AIPlayer2VoiceCommand, parent, value);
    }
}

int Developer2Actor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::CollisionEvent:
        Touched(static_cast<const ColObj *>(block.ReadPointer(0)));
        break;
    case cmd::developer2::SendAiPlayer2VoiceCommand:
        SendVoiceCommand(block.ReadU32(0));
        break;
    case cmd::base::InvalidActorPointer:
        if (block.ReadPointer(0) == &lookedAt) {
            lookedAt.Release();
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}
