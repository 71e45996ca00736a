// Collision objects and simulation settings of an actor: the base commands
// that create, select and edit the actor's collision objects, keep its
// collision switch, and store the simulation settings and forces. The
// collision pass and the simulation themselves live with the world code.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/actors/command_ids.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_families.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/subsystem_hooks.h"

namespace {

enum : uint32_t {
    kFirstSimCommand = cmd::base::SetSimStyle,
    kLastSimCommand = cmd::base::GetDirectionByMovement,
};

// ColObj flag bits.
constexpr uint32_t kEventReport = 1u << 1;
constexpr uint32_t kEvent = 1u << 2;
constexpr uint32_t kGeometryEvent = 1u << 4;
constexpr uint32_t kDynamic = 1u << 5;
constexpr uint32_t kSolid = 1u << 6;
constexpr uint32_t kSyncFromMesh = 1u << 7;
constexpr uint32_t kSubtypeBits = 0x7Eu; // bits 1-6

ColObj *Current(Actor &actor) {
    if (actor.currentColObj < 0 ||
        static_cast<size_t>(actor.currentColObj) >= actor.colObjs.size()) {
        return nullptr;
    }
    return actor.colObjs[static_cast<size_t>(actor.currentColObj)].get();
}

uint32_t SubtypeBits(uint32_t subtype) {
    switch (subtype) {
    case 0:
        return kSolid;
    case 1:
        return kEventReport | kEvent;
    case 2:
        return kEventReport | kEvent | kDynamic | kSolid;
    case 3:
        return kEventReport | kEvent | kGeometryEvent;
    default:
        return 0;
    }
}

uint32_t Subtype(uint32_t flags) {
    if ((flags & kGeometryEvent) != 0) {
        return 3;
    }
    if ((flags & kDynamic) != 0) {
        return 2;
    }
    if ((flags & kSolid) != 0) {
        return 0;
    }
    return 1;
}

void SetFlagBit(uint32_t &word, uint32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

// A field of the current object: set (even ids) or get (odd ids).
template <class T>
bool CurrentField(Actor &actor, uint32_t commandId, ParamBlock block, T ColObj::*field) {
    ColObj *object = Current(actor);
    if (object == nullptr) {
        return true;
    }
    if (commandId % 2 == 0) {
        object->*field = block.Read<T>(0);
    } else {
        block.Write(0, object->*field);
    }
    return true;
}

// A field of the current object's shape: set (even ids) through
// ChangeShape, or get (odd ids).
template <class T>
bool CurrentShapeField(Actor &actor, uint32_t commandId, ParamBlock block, T ColObj::*field) {
    ColObj *object = Current(actor);
    if (object != nullptr && commandId % 2 == 0) {
        const T value = block.Read<T>(0);
        object->ChangeShape([&](ColObj &o) { o.*field = value; });
        return true;
    }
    return CurrentField(actor, commandId, block, field);
}

// A flag bit of the current object as a Bool.
bool CurrentFlag(Actor &actor, uint32_t commandId, ParamBlock block, uint32_t bit) {
    ColObj *object = Current(actor);
    if (object == nullptr) {
        return true;
    }
    if (commandId % 2 == 0) {
        SetFlagBit(object->flags, bit, block.ReadU32(0) != 0);
    } else {
        block.WriteU32(0, (object->flags & bit) != 0 ? 1u : 0u);
    }
    return true;
}

// 134-137: bit n-1 of a field of every object; n outside 1..32 names no bit.
void SetGroupBit(Actor &actor, ParamBlock block, uint32_t ColObj::*field) {
    const uint32_t n = block.ReadU32(0);
    const bool on = block.ReadU32(4) != 0;
    if (n < 1 || n > 32) {
        return;
    }
    for (auto &object : actor.colObjs) {
        SetFlagBit((*object).*field, 1u << (n - 1), on);
    }
}

void SetRadius(Actor &actor, float r) {
    for (auto &ptr : actor.colObjs) {
        ptr->ChangeShape([r](ColObj &object) {
            if (object.type == 2) {
                const Vector3 c = {(object.boxMin.x + object.boxMax.x) * 0.5f,
                                   (object.boxMin.y + object.boxMax.y) * 0.5f,
                                   (object.boxMin.z + object.boxMax.z) * 0.5f};
                object.boxMin = {c.x - r, c.y - r, c.z - r};
                object.boxMax = {c.x + r, c.y + r, c.z + r};
            } else {
                object.boxMax.x = r;
            }
        });
    }
}

void DeleteCollision(Actor &actor) {
    if (Current(actor) == nullptr) {
        return;
    }
    actor.RemoveColObj(static_cast<size_t>(actor.currentColObj));
}

void SetCollisionEnable(Actor &actor, bool on) {
    if (on == actor.HasFlag(kActorCollisionEnabled)) {
        return;
    }
    RemoveActorFromDrawGroup(&actor, 0);
    SetFlagBit(actor.flags, kActorCollisionEnabled, on);
    for (auto &object : actor.colObjs) {
        SetFlagBit(object->flags, kColObjActive, on);
    }
    if (actor.HasFlag(kActorStatic)) {
        UpdateCollisionShapeBounds(&actor);
    }
    AddActorToDrawGroup(&actor, 0);
}

SimParams &EnsureSimParams(Actor &actor) {
    if (!actor.simParams) {
        actor.simParams = std::make_unique<SimParams>();
    }
    return *actor.simParams;
}

// 302-325: the words each pair addresses.
bool SimSetting(Actor &actor, uint32_t commandId, ParamBlock block) {
    SimParams &params = EnsureSimParams(actor);
    const bool set = commandId % 2 == 0;
    const uint32_t pair = (commandId - kFirstSimCommand) / 2;
    if (pair == 11) { // 324/325: the direction-by-movement flag
        if (set) {
            params.SetFlags(kSimDirectionByMovement, block.ReadU32(0) != 0);
        } else {
            block.WriteU32(0, params.Flags() & kSimDirectionByMovement);
        }
        return true;
    }
    static constexpr uint32_t kFirstWord[11] = {0, 1, 2, 5, 8, 9, 10, 11, 12, 13, 14};
    const uint32_t first = kFirstWord[pair];
    const uint32_t count = (pair == 2 || pair == 3) ? 3 : 1;
    for (uint32_t i = 0; i < count; ++i) {
        if (set) {
            params.words[first + i] = block.ReadU32(i * 4);
        } else {
            block.WriteU32(i * 4, params.words[first + i]);
        }
    }
    return true;
}

void StartSimulate(Actor &actor) {
    Actor *scenery = ActorTableEntry(kSceneryRootId);
    // Roots and system actors stay where they are.
    const bool movable = actor.actorId >= kFirstUserActorId;
    if (movable && scenery != nullptr && actor.parent != scenery) {
        actor.position = actor.GetWorldPosition();
        QuaternionFromMatrix(&actor.rotation, actor.worldMatrix);
        ReparentActor(&actor, scenery);
    }
    actor.flags &= ~(kActorDrawGroupInherited | kActorFlag11);
    actor.flags |= kActorSimulated;
    if (!actor.simState) {
        actor.simState = std::make_unique<SimState>();
    }
    EnsureSimParams(actor);
}

void StopSimulate(Actor &actor) {
    if (actor.simParams) {
        const uint32_t motion = actor.simParams->Motion();
        if (motion < 2 && actor.simParams->EventsOn()) {
            actor.HandleCommand(motion == 0 ? cmd::base::OnSimFreeStop : cmd::base::OnSimSlideStop,
                                ParamBlock());
            actor.HandleCommand(cmd::base::OnSimRestStart, ParamBlock());
        }
        // A stopped actor rests: its next contact wakes it.
        if (actor.simParams && actor.simParams->Motion() < kSimResting) {
            actor.simParams->SetMotion(kSimResting);
        }
    }
    actor.flags &= ~kActorSimulated;
}

Vector3 RandomVector(float scale) {
    const float x = RandomSigned();
    const float y = RandomSigned();
    const float z = RandomSigned();
    return {x * scale, y * scale, z * scale};
}

void AddToDelta(Actor &actor, const Vector3 &d, float strength, float strengthRand) {
    const float k = strength * (1.0f - RandomUnit() * strengthRand);
    actor.deltaPosition = {actor.deltaPosition.x + d.x * k, actor.deltaPosition.y + d.y * k,
                           actor.deltaPosition.z + d.z * k};
}

void AddForceInDirection(Actor &actor, Actor &source, float strength, float strengthRand,
                         float angleRand) {
    const Matrix &world = source.GetWorldMatrix();
    const Vector3 forward = {world.m[2][0], world.m[2][1], world.m[2][2]};
    const Vector3 r = RandomVector(2.0f * angleRand);
    AddToDelta(actor, Vec3Normalized({forward.x + r.x, forward.y + r.y, forward.z + r.z}), strength,
               strengthRand);
}

void AddForceTowards(Actor &actor, ParamBlock block) {
    ParamReader reader(cmd::base::AddForceTowards, block);
    Actor *target = reader.ActorPtr();
    const float decay = reader.F32();
    const float strength = reader.F32();
    const float strengthRand = reader.F32();
    const float angleRand = reader.F32();
    if (target == nullptr) {
        return;
    }
    Vector3 p = {0.0f, 0.0f, 0.0f};
    target->HandleCommand(cmd::base::GetCenterPoint, BlockOf(p));
    const Vector3 own = actor.GetWorldPosition();
    const Vector3 v = {(p.x - own.x) * 0.01f, (p.y - own.y) * 0.01f, (p.z - own.z) * 0.01f};
    const float k = std::max(Vec3Length(v), 1.0f);
    const Vector3 r = RandomVector(2.0f * angleRand);
    Vector3 d = Vec3Normalized({v.x + r.x, v.y + r.y, v.z + r.z});
    const float divisor = (k - 1.0f) * decay + 1.0f;
    d = {d.x / divisor, d.y / divisor, d.z / divisor};
    AddToDelta(actor, d, strength, strengthRand);
}

} // namespace

bool HandleCollisionCommand(Actor &actor, uint32_t commandId, ParamBlock block) {
    if (commandId >= kFirstSimCommand && commandId <= kLastSimCommand) {
        return SimSetting(actor, commandId, block);
    }
    switch (commandId) {
    case cmd::base::CreateCollision: {
        ColObj &object = actor.AddColObj(std::make_unique<ColObj>(&actor));
        char name[32];
        std::snprintf(name, sizeof(name), "Object %d", static_cast<int>(actor.colObjs.size()));
        object.name = name;
        actor.currentColObj = static_cast<int32_t>(actor.colObjs.size() - 1);
        return true;
    }
    case cmd::base::DeleteCollision:
        DeleteCollision(actor);
        return true;
    case cmd::base::SetCollisionName:
        if (ColObj *object = Current(actor)) {
            object->name = std::string(block.ReadString(0));
        }
        return true;
    case cmd::base::GetCollisionName:
        if (ColObj *object = Current(actor)) {
            block.WriteString(0, object->name);
        }
        return true;
    case cmd::base::SetCollisionStringlist: {
        const std::string_view name = block.ReadString(0);
        for (size_t i = actor.colObjs.size(); i-- > 0;) {
            if (actor.colObjs[i]->name == name) {
                actor.currentColObj = static_cast<int32_t>(i);
                break;
            }
        }
        return true;
    }
    case cmd::base::GetCollisionStringlist:
        if (auto *list = static_cast<std::vector<std::string> *>(block.ReadPointer(0))) {
            list->clear();
            for (const auto &object : actor.colObjs) {
                list->push_back(object->name);
            }
        }
        return true;
    case cmd::base::SetCollisionType: // the world fields stand for another shape now
    case cmd::base::GetCollisionType:
        return CurrentShapeField(actor, commandId, block, &ColObj::type);
    case cmd::base::SetCollisionFill:
    case cmd::base::GetCollisionFill:
        return CurrentField(actor, commandId, block, &ColObj::fill);
    case cmd::base::SetCollisionPhysique:
    case cmd::base::GetCollisionPhysique:
        return CurrentField(actor, commandId, block, &ColObj::material);
    case cmd::base::SetCollisionSubtype:
        if (ColObj *object = Current(actor)) {
            object->flags = (object->flags & ~kSubtypeBits) | SubtypeBits(block.ReadU32(0));
        }
        return true;
    case cmd::base::GetCollisionSubtype:
        if (ColObj *object = Current(actor)) {
            block.WriteU32(0, Subtype(object->flags));
        }
        return true;
    case cmd::base::SetCollisionActive:
    case cmd::base::GetCollisionActive:
        return CurrentFlag(actor, commandId, block, kColObjActive);
    case cmd::base::SetCollisionGroups:
    case cmd::base::GetCollisionGroups:
        return CurrentField(actor, commandId, block, &ColObj::groups);
    case cmd::base::SetCollisionGroupsReceive:
    case cmd::base::GetCollisionGroupsReceive:
        return CurrentField(actor, commandId, block, &ColObj::receiveGroups);
    case cmd::base::SetCollisionGroupsExclude:
    case cmd::base::GetCollisionGroupsExclude:
        return CurrentField(actor, commandId, block, &ColObj::excludeGroups);
    case cmd::base::SetCollisionGHE_130:
    case cmd::base::GetCollisionGHE:
        return CurrentField(actor, commandId, block, &ColObj::hitEffect);
    case cmd::base::SetCollisionSyncFromMesh:
    case cmd::base::GetCollisionSyncFromMesh:
        return CurrentFlag(actor, commandId, block, kSyncFromMesh);
    case cmd::base::SetCollisionGroup:
        SetGroupBit(actor, block, &ColObj::groups);
        return true;
    case cmd::base::SetCollisionReceive:
        SetGroupBit(actor, block, &ColObj::receiveGroups);
        return true;
    case cmd::base::SetCollisionExclude:
        SetGroupBit(actor, block, &ColObj::excludeGroups);
        return true;
    case cmd::base::SetCollisionGHE_137:
        SetGroupBit(actor, block, &ColObj::hitEffect);
        return true;
    case cmd::base::SetCollisionRadius:
        SetRadius(actor, block.ReadF32(0));
        return true;
    case cmd::base::SetBoxMin:
    case cmd::base::GetBoxMin:
        return CurrentShapeField(actor, commandId, block, &ColObj::boxMin);
    case cmd::base::SetBoxMax:
    case cmd::base::GetBoxMax:
        return CurrentShapeField(actor, commandId, block, &ColObj::boxMax);
    case cmd::base::SetCollisionEnable:
        SetCollisionEnable(actor, block.ReadU32(0) != 0);
        return true;
    case cmd::base::GetCollisionEnable:
        block.WriteU32(0, actor.HasFlag(kActorCollisionEnabled) ? 1u : 0u);
        return true;
    case cmd::base::CalculateAABox:
        for (const auto &ref : SnapshotChildren(&actor)) {
            if (Actor *child = ResolveChild(&actor, ref)) {
                child->HandleCommand(cmd::base::CalculateAABox, block);
            }
        }
        return true;
    case cmd::base::StartSimulate:
        StartSimulate(actor);
        return true;
    case cmd::base::StopSimulate:
        StopSimulate(actor);
        return true;
    case cmd::base::AddForce: {
        const Vector3 d = block.Read<Vector3>(0);
        actor.deltaPosition = {actor.deltaPosition.x + d.x, actor.deltaPosition.y + d.y,
                               actor.deltaPosition.z + d.z};
        return true;
    }
    case cmd::base::AddForceInDirection:
        AddForceInDirection(actor, actor, block.ReadF32(0), block.ReadF32(4), block.ReadF32(8));
        return true;
    case cmd::base::AddForceInDirectionOf: {
        ParamReader reader(cmd::base::AddForceInDirectionOf, block);
        Actor *source = reader.ActorPtr();
        const float strength = reader.F32();
        const float strengthRand = reader.F32();
        const float angleRand = reader.F32();
        if (source != nullptr) {
            AddForceInDirection(actor, *source, strength, strengthRand, angleRand);
        }
        return true;
    }
    case cmd::base::AddForceTowards:
        AddForceTowards(actor, block);
        return true;
    default:
        return false;
    }
}
