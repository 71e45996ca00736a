// The Game Object's hits on characters, its effect list, traps, the item
// actions ("Perform Action", the bomb throw) and the per-frame work.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "actors/characters/character_services.h"
#include "actors/characters/game_object_actor.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/world/collision.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

namespace {

constexpr float kTriggerAhead = 40.0f;
constexpr float kTriggerRaise = 20.0f;
constexpr float kTriggerRise = 80.0f;
constexpr float kTriggerCooldown = 1.0f;
constexpr float kActionGuard = 0.1f;
constexpr float kThrowSpeed = 400.0f;
constexpr float kThrowRaise = 28.0f;
constexpr float kThrowFadeTime = 15.0f;
constexpr float kBombSpeed = 300.0f;
constexpr float kBombAhead = 30.0f;
constexpr float kTrapInfoGuard = 0.5f;
constexpr float kLightDimFrom = 30.0f;
constexpr float kLightDimRate = 8.0f;
constexpr float kLightMinRadius = 1.0f;
constexpr float kLightIntensityScale = 0.033f;
constexpr float kFadeRadiusScale = 25.0f;
constexpr float kFadeIntensityScale = 0.1f;
constexpr float kPickupTurnRate = 4.0f;
constexpr float kPickupRise = 60.0f;
constexpr float kSpinJumpDrag = 30.0f;

std::string Numbered(const char *format, uint32_t n) {
    char text[32];
    std::snprintf(text, sizeof(text), format, n);
    return text;
}

std::string EffectLabel(size_t index) {
    return Numbered("Power Up %u", static_cast<uint32_t>(index));
}

void SendToNetwork(int32_t actorId, uint32_t commandId, ParamBlock block) {
    if (ActorSystem *system = GetActorSystem()) {
        system->NetSendCommand(static_cast<uint32_t>(actorId), commandId, block);
    }
}

} // namespace

// --- hits and the effect list ------------------------------------------------------

void GameObjectActor::ApplyTrapHit(Actor *character, bool reparent) {
    if (character == nullptr) {
        return;
    }
    if (reparent) {
        ReparentActor(this, character);
    }
    if (Query<float>(character, cmd::character::GetHoldTime) > 0.0f) {
        return; // still held by an earlier hit
    }
    if (gethitId != 0) {
        SendText(character, cmd::character::SetMovement_845, Numbered("Gethit%u", gethitId - 1));
    }
    if (damageId != 0) {
        SendText(character, cmd::character::SetNextMovement, Numbered("Damage%u", damageId - 1));
    }
    SendReal(character, cmd::character::SetHoldTime, characterHoldTime);
    // A handler may edit the list: walk a copy. Only the types that name a
    // character parameter command are sent.
    const std::vector<ItemEffect> list = effects;
    for (const ItemEffect &effect : list) {
        if (effect.type < kItemEffectTypeCount) {
            float values[2] = {effect.value, effect.time};
            character->HandleCommand(cmd::character::ChangeCPSpeed + effect.type,
                                     ParamBlock(values, sizeof(values)));
        }
    }
    uint32_t words[2] = {static_cast<uint32_t>(actorId), static_cast<uint32_t>(character->actorId)};
    SendCommand(kInventoryActorId, cmd::inventory::GameobjectHitCharacter,
                ParamBlock(words, sizeof(words)));
}

ItemEffect *GameObjectActor::SelectedEffect() {
    if (selectedEffect < 0 || static_cast<size_t>(selectedEffect) >= effects.size()) {
        return nullptr;
    }
    return &effects[static_cast<size_t>(selectedEffect)];
}

bool GameObjectActor::ServeEffectList(uint32_t commandId, ParamBlock block) {
    ItemEffect *selected = SelectedEffect();
    switch (commandId) {
    case cmd::game_object::AddPowerupEffect:
        effects.push_back(ItemEffect{});
        selectedEffect = static_cast<int32_t>(effects.size()) - 1;
        return true;
    case cmd::game_object::DeletePowerupEffect:
        if (selected != nullptr) {
            effects.erase(effects.begin() + selectedEffect);
        }
        selectedEffect = -1;
        return true;
    case cmd::game_object::SetPowerupList: {
        const std::string_view label = block.ReadString(0);
        for (size_t i = 0; i < effects.size(); ++i) {
            if (EffectLabel(i) == label) {
                selectedEffect = static_cast<int32_t>(i);
                break;
            }
        }
        return true;
    }
    case cmd::game_object::GetPowerupList:
        if (auto *list = static_cast<std::vector<std::string> *>(block.ReadPointer(0))) {
            list->clear();
            for (size_t i = 0; i < effects.size(); ++i) {
                list->push_back(EffectLabel(i));
            }
        }
        return true;
    case cmd::game_object::SetPowerup: {
        const uint32_t index = block.ReadU32(0);
        if (index < effects.size()) {
            effects[index].value = block.ReadF32(4);
            effects[index].time = block.ReadF32(8);
        }
        return true;
    }
    default:
        break;
    }
    if (commandId < cmd::game_object::SetPowerupType ||
        commandId > cmd::game_object::GetPowerupTime) {
        return false;
    }
    if (selected != nullptr) {
        switch (commandId) {
        case cmd::game_object::SetPowerupType:
            selected->type = block.ReadU32(0);
            break;
        case cmd::game_object::GetPowerupType:
            block.WriteU32(0, selected->type);
            break;
        case cmd::game_object::SetPowerupValue:
            selected->value = block.ReadF32(0);
            break;
        case cmd::game_object::GetPowerupValue:
            block.WriteF32(0, selected->value);
            break;
        case cmd::game_object::SetPowerupTime:
            selected->time = block.ReadF32(0);
            break;
        default:
            block.WriteF32(0, selected->time);
            break;
        }
    }
    return true;
}

// --- traps -------------------------------------------------------------------------

void GameObjectActor::TrapStart() {
    SendReal(childObject.target, cmd::base::SetOperational, 0.0f);
    if (Actor *trap = childTrap.target) {
        // The activation lasts as long as the trap's animation; a mesh
        // without length still gives a usable time.
        animationTime = AtLeast(Query<float>(trap, cmd::base::GetTotalTime), kItemMinAnimationTime);
        uint32_t on = 1;
        trap->HandleCommand(cmd::base::SetOperational, ParamBlock(&on, sizeof(on)));
        SendReal(trap, cmd::base::SetCurrentTime, 0.0f);
        float zero = 0.0f;
        SendCommandToChildren(trap, cmd::base::SetCurrentTime, ParamBlock(&zero, sizeof(zero)));
    }
    if (Actor *victim = Owner()) {
        ReparentActor(this, victim);
        ApplyTrapHit(victim, false);
    }
    if (OwnerIsMaster()) {
        struct {
            uint32_t previous;
            uint32_t owner;
            uint32_t sprung;
            float radius;
            float distance;
        } info = {static_cast<uint32_t>(previousOwnerId), static_cast<uint32_t>(ownerId), 1, 0.0f,
                  0.0f};
        static_assert(sizeof(info) == 20);
        SendToNetwork(kInventoryActorId, cmd::game_object::TrapCollisionInfo,
                      ParamBlock(&info, sizeof(info)));
        SendCommand(kInventoryActorId, cmd::game_object::TrapCollisionInfo,
                    ParamBlock(&info, sizeof(info)));
    }
}

void GameObjectActor::TrapContact(Actor *character, const ColObj *own) {
    const float radius = own != nullptr ? own->boxMax.x : 0.0f;
    const Vector3 a = GetWorldPosition();
    const Vector3 b = character->GetWorldPosition();
    const Vector3 d = {b.x - a.x, b.y - a.y, b.z - a.z};
    const float distance = std::min(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), radius);
    struct {
        uint32_t owner;
        uint32_t character;
        uint32_t sprung;
        float radius;
        float distance;
    } info = {static_cast<uint32_t>(ownerId), static_cast<uint32_t>(character->actorId), 0, radius,
              distance};
    SendCommand(kInventoryActorId, cmd::game_object::TrapCollisionInfo,
                ParamBlock(&info, sizeof(info)));
    SendToNetwork(kInventoryActorId, cmd::game_object::TrapCollisionInfo,
                  ParamBlock(&info, sizeof(info)));
    trapInfoGuard = kTrapInfoGuard;
}

// --- actions -----------------------------------------------------------------------

void GameObjectActor::PerformAction(uint32_t ownerWord, ParamBlock block) {
    if (actionCooldown > 0.0f || itemType == kItemLight || itemType == kItemWeapon) {
        return;
    }
    Actor *owner = GetActorById(ownerWord);
    const bool master = owner != nullptr && owner->HasFlag(kActorMaster);
    if (master) {
        SendToNetwork(actorId, cmd::game_object::PerformAction, block);
    }
    if (itemType == kItemTrigger) {
        Actor *source = triggerContainerId != 0 ? GetActorById(triggerContainerId) : nullptr;
        Actor *copy =
            source != nullptr ? CopyActorTree(source, GetActorById(kSceneryRootId)) : nullptr;
        if (copy == nullptr) {
            return;
        }
        actionCooldown = kTriggerCooldown;
        collisionGuard = kActionGuard;
        Vector3 at = Query<Vector3>(this, cmd::base::GetWSPosition);
        Query<Matrix>(owner, cmd::base::GetMatrix);
        Vector3 look = Query<Vector3>(owner, cmd::character::GetLookDirection);
        look.y = 0.0f;
        const float length = std::sqrt(look.x * look.x + look.z * look.z);
        if (length > 0.0f) {
            at.x += look.x / length * kTriggerAhead;
            at.z += look.z / length * kTriggerAhead;
        }
        const float yaw = Query<float>(owner, cmd::character::SetRotY_977);
        at.y += kTriggerRaise;
        copy->HandleCommand(cmd::base::SetPosition, ParamBlock(&at, sizeof(at)));
        Quaternion turn;
        QuaternionRotationYawPitchRoll(&turn, yaw, 0.0f, 0.0f);
        copy->HandleCommand(cmd::base::SetQuaternion, ParamBlock(&turn, sizeof(turn)));
        copy->flags |= kActorCollisionEnabled;
        copy->HandleCommand(cmd::base::StartSimulate, ParamBlock());
        copy->deltaPosition = {0.0f, kTriggerRise, 0.0f};
        ActorSystem::QueueActorForDeletion(this);
        return;
    }
    if (itemType == kItemThrowObject) {
        collisionGuard = kActionGuard;
        if (master) {
            const Vector3 look =
                Query<Vector3>(owner, cmd::character::GetLookDirection, {0.0f, 0.0f, -400.0f});
            deltaPosition = {look.x * kThrowSpeed, look.y * kThrowSpeed, look.z * kThrowSpeed};
            SendText(owner, cmd::character::SetMovement_845, "Throw");
            SendToNetwork(actorId, cmd::base::SetDeltaPosition, ParamBlock(&deltaPosition, 12));
            SendToNetwork(actorId, cmd::game_object::PerformAction, ParamBlock(&ownerWord, 4));
        }
        fadeTime = kThrowFadeTime;
        fadeOn = 1;
        HandleCommand(cmd::game_object::SetStateScene, ParamBlock(&ownerWord, sizeof(ownerWord)));
        HandleCommand(cmd::base::StartSimulate, ParamBlock());
        if (owner != nullptr) {
            position = owner->GetWorldPosition();
            position.y += kThrowRaise;
            InvalidateTransform();
        }
        return;
    }
    HandleCommand(cmd::game_object::SetStateDropOnGround,
                  ParamBlock(&ownerWord, sizeof(ownerWord)));
}

void GameObjectActor::ThrowBomb() {
    bombElapsed = 0.0f;
    bombArmed = 1;
    if (!OwnerIsMaster()) {
        return;
    }
    Actor *owner = Owner();
    const Vector3 look = Query<Vector3>(owner, cmd::character::GetLookDirection);
    deltaPosition = {look.x * kBombSpeed, look.y * kBombSpeed, look.z * kBombSpeed};
    position.x += look.x * kBombAhead;
    position.z += look.z * kBombAhead;
    InvalidateTransform();
    SendText(owner, cmd::character::SetMovement_845, "Throw");
    uint32_t ownerWord = static_cast<uint32_t>(ownerId);
    SendToNetwork(actorId, cmd::game_object::SetStateDropOnGround,
                  ParamBlock(&ownerWord, sizeof(ownerWord)));
    SendToNetwork(actorId, cmd::base::SetPosition, ParamBlock(&position, sizeof(position)));
    SendToNetwork(actorId, cmd::base::SetDeltaPosition,
                  ParamBlock(&deltaPosition, sizeof(deltaPosition)));
}

// --- per frame ---------------------------------------------------------------------

void GameObjectActor::Turn(float pitch, float yaw, float roll) {
    Quaternion step;
    QuaternionRotationYawPitchRoll(&step, yaw, pitch, roll);
    const Quaternion current = rotation;
    QuaternionMultiply(&rotation, current, step);
    InvalidateTransform();
}

void GameObjectActor::ExplodeBomb() {
    SendIfPresent(FindChildByName(this, "Explosion"), cmd::base::ActionStartPre, ParamBlock());
    SendIfPresent(childObject.target, cmd::base::ActionStop, ParamBlock());
    SendIfPresent(childParticle.target, cmd::base::ActionStop, ParamBlock());
    SetNonDynamicColObjsActive(true);
    SetDynamicColObjsActive(false);
    flags &= ~kActorSimulated;
    deltaPosition = {0.0f, 0.0f, 0.0f};
    bombElapsed = 0.0f;
    bombArmed = 0;
    HandleCommand(cmd::base::KillPre, ParamBlock());
}

void GameObjectActor::AnimatePickup(float dt) {
    pickupCountdown -= dt;
    Turn(0.0f, kPickupTurnRate * dt, 0.0f);
    position.y += kPickupRise * dt;
    InvalidateTransform();
    if (pickupCountdown < 0.0f) {
        HandleCommand(cmd::game_object::OnPickup, ParamBlock());
        uint32_t owner = static_cast<uint32_t>(ownerId);
        HandleCommand(cmd::game_object::SetStateInventory, ParamBlock(&owner, sizeof(owner)));
    }
}

void GameObjectActor::AnimateActivation(float dt) {
    activateElapsed += dt;
    if (activateElapsed > animationTime) {
        if (itemType == kItemTrap) {
            ActorSystem::QueueActorForDeletion(this);
        } else {
            uint32_t owner = static_cast<uint32_t>(ownerId);
            HandleCommand(cmd::game_object::SetStateInventory, ParamBlock(&owner, sizeof(owner)));
        }
        return;
    }
    if (animationType == 1 || animationType == 2) {
        Turn(dt * spinRate.x, dt * spinRate.y, dt * spinRate.z);
    }
    if (animationType == 2) {
        jumpSpeed -= animationTime * kSpinJumpDrag * dt;
        position.y += jumpSpeed * dt;
        InvalidateTransform();
    }
}

void GameObjectActor::BurnLight(float dt) {
    lightTime -= dt;
    if (lightTime < kLightDimFrom) {
        if (Actor *light = childLight.target) {
            const float radius = Query<float>(light, cmd::base::GetRadius);
            SendReal(light, cmd::base::SetRadius,
                     AtLeast(radius - kLightDimRate * dt, kLightMinRadius));
        }
        SendReal(childParticle.target, cmd::particle_system::GetIntensity,
                 lightTime * kLightIntensityScale);
    }
    if (lightTime < 0.0f) {
        ActorSystem::QueueActorForDeletion(this);
    }
}

void GameObjectActor::FadeThrown(float dt) {
    if (fadeTime <= 0.0f) {
        ActorSystem::QueueActorForDeletion(this);
        return;
    }
    fadeTime -= dt;
    float radius = fadeTime * kFadeRadiusScale;
    SendCommandToChildren(this, cmd::base::SetRadius, ParamBlock(&radius, sizeof(radius)));
    SendReal(childParticle.target, cmd::particle_system::GetIntensity,
             fadeTime * kFadeIntensityScale);
}

void GameObjectActor::Process() {
    if (!IsOperational() || itemState == kItemInInventory) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    actionCooldown -= dt;
    collisionGuard -= dt;
    trapInfoGuard -= dt;
    if (bombArmed != 0) {
        bombElapsed += dt;
        if (bombElapsed > bombTimer) {
            ExplodeBomb();
        }
    }
    if (itemState == kItemPickup) {
        AnimatePickup(dt);
    } else if (itemState == kItemActivate) {
        AnimateActivation(dt);
    }
    if (itemType == kItemLight && itemState == kItemInHand) {
        BurnLight(dt);
    }
    if (itemType == kItemThrowObject && itemState == kItemInScene && fadeOn != 0) {
        FadeThrown(dt);
    }
    Actor::Process();
}
