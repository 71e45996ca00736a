// The Game Object's hits on characters, its effect list, traps, the item
// actions ("Perform Action", the bomb throw) and the per-frame work.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "actors/characters/character_services.h"
#include "actors/characters/game_object_actor.h"
#include "actors/characters/game_object_sends.h"
#include "actors/presentation/light_actor.h"
#include "actors/presentation/particle_system_actor.h"
#include "actors/world/collision.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_ids.h"

namespace {

namespace cmd {
enum : uint32_t {
    AddEffect = 669,
    DeleteEffect = 670,
    SelectEffect = 671,
    ListEffects = 672,
    SetEffectType = 673,
    GetEffectType = 674,
    SetEffectValue = 675,
    GetEffectValue = 676,
    SetEffectTime = 677,
    GetEffectTime = 678,
    SetEffect = 749,
    SetMovement = 845,
    SetNextMovement = 847,
    SetHoldTime = 856,
    GetHoldTime = 857,
    ChangeFirstParameter = 940,
    GetYaw = 977, // registered as "Set Rot Y"
    GetLookDirection = 990,
};
} // namespace cmd

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

using gameobject::Ask;

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
    if (Ask<float>(character, cmd::GetHoldTime) > 0.0f) {
        return; // still held by an earlier hit
    }
    if (gethitId != 0) {
        SendText(character, cmd::SetMovement, Numbered("Gethit%u", gethitId - 1));
    }
    if (damageId != 0) {
        SendText(character, cmd::SetNextMovement, Numbered("Damage%u", damageId - 1));
    }
    SendReal(character, cmd::SetHoldTime, characterHoldTime);
    // A handler may edit the list: walk a copy. Only the types that name a
    // character parameter command are sent.
    const std::vector<ItemEffect> list = effects;
    for (const ItemEffect &effect : list) {
        if (effect.type < kItemEffectTypeCount) {
            float values[2] = {effect.value, effect.time};
            character->HandleCommand(cmd::ChangeFirstParameter + effect.type,
                                     ParamBlock(values, sizeof(values)));
        }
    }
    uint32_t words[2] = {static_cast<uint32_t>(actorId), static_cast<uint32_t>(character->actorId)};
    SendCommand(kInventoryActorId, kCmdItemHitCharacter, ParamBlock(words, sizeof(words)));
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
    case cmd::AddEffect:
        effects.push_back(ItemEffect{});
        selectedEffect = static_cast<int32_t>(effects.size()) - 1;
        return true;
    case cmd::DeleteEffect:
        if (selected != nullptr) {
            effects.erase(effects.begin() + selectedEffect);
        }
        selectedEffect = -1;
        return true;
    case cmd::SelectEffect: {
        const std::string_view label = block.ReadString(0);
        for (size_t i = 0; i < effects.size(); ++i) {
            if (EffectLabel(i) == label) {
                selectedEffect = static_cast<int32_t>(i);
                break;
            }
        }
        return true;
    }
    case cmd::ListEffects:
        if (auto *list = static_cast<std::vector<std::string> *>(block.ReadPointer(0))) {
            list->clear();
            for (size_t i = 0; i < effects.size(); ++i) {
                list->push_back(EffectLabel(i));
            }
        }
        return true;
    case cmd::SetEffect: {
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
    if (commandId < cmd::SetEffectType || commandId > cmd::GetEffectTime) {
        return false;
    }
    if (selected != nullptr) {
        switch (commandId) {
        case cmd::SetEffectType:
            selected->type = block.ReadU32(0);
            break;
        case cmd::GetEffectType:
            block.WriteU32(0, selected->type);
            break;
        case cmd::SetEffectValue:
            selected->value = block.ReadF32(0);
            break;
        case cmd::GetEffectValue:
            block.WriteF32(0, selected->value);
            break;
        case cmd::SetEffectTime:
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
    SendReal(childObject.target, kCmdSetOperational, 0.0f);
    if (Actor *trap = childTrap.target) {
        // The activation lasts as long as the trap's animation; a mesh
        // without length still gives a usable time.
        animationTime = AtLeast(Ask<float>(trap, kCmdGetTotalTime), kItemMinAnimationTime);
        uint32_t on = 1;
        trap->HandleCommand(kCmdSetOperational, ParamBlock(&on, sizeof(on)));
        SendReal(trap, kCmdSetCurrentTime, 0.0f);
        float zero = 0.0f;
        SendCommandToChildren(trap, kCmdSetCurrentTime, ParamBlock(&zero, sizeof(zero)));
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
        SendToNetwork(kInventoryActorId, kCmdTrapCollisionInfo, ParamBlock(&info, sizeof(info)));
        SendCommand(kInventoryActorId, kCmdTrapCollisionInfo, ParamBlock(&info, sizeof(info)));
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
    SendCommand(kInventoryActorId, kCmdTrapCollisionInfo, ParamBlock(&info, sizeof(info)));
    SendToNetwork(kInventoryActorId, kCmdTrapCollisionInfo, ParamBlock(&info, sizeof(info)));
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
        SendToNetwork(actorId, itemcmd::PerformAction, block);
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
        Vector3 at = Ask<Vector3>(this, kCmdGetWSPosition);
        Ask<Matrix>(owner, kCmdGetMatrix);
        Vector3 look = Ask<Vector3>(owner, cmd::GetLookDirection);
        look.y = 0.0f;
        const float length = std::sqrt(look.x * look.x + look.z * look.z);
        if (length > 0.0f) {
            at.x += look.x / length * kTriggerAhead;
            at.z += look.z / length * kTriggerAhead;
        }
        const float yaw = Ask<float>(owner, cmd::GetYaw);
        at.y += kTriggerRaise;
        copy->HandleCommand(kCmdSetPosition, ParamBlock(&at, sizeof(at)));
        Quaternion turn;
        QuaternionRotationYawPitchRoll(&turn, yaw, 0.0f, 0.0f);
        copy->HandleCommand(kCmdSetQuaternion, ParamBlock(&turn, sizeof(turn)));
        copy->flags |= kActorCollisionEnabled;
        copy->HandleCommand(kCmdStartSimulate, ParamBlock());
        copy->deltaPosition = {0.0f, kTriggerRise, 0.0f};
        ActorSystem::QueueActorForDeletion(this);
        return;
    }
    if (itemType == kItemThrowObject) {
        collisionGuard = kActionGuard;
        if (master) {
            const Vector3 look = Ask<Vector3>(owner, cmd::GetLookDirection, {0.0f, 0.0f, -400.0f});
            deltaPosition = {look.x * kThrowSpeed, look.y * kThrowSpeed, look.z * kThrowSpeed};
            SendText(owner, cmd::SetMovement, "Throw");
            SendToNetwork(actorId, kCmdSetDeltaPosition, ParamBlock(&deltaPosition, 12));
            SendToNetwork(actorId, itemcmd::PerformAction, ParamBlock(&ownerWord, 4));
        }
        fadeTime = kThrowFadeTime;
        fadeOn = 1;
        HandleCommand(itemcmd::ToScene, ParamBlock(&ownerWord, sizeof(ownerWord)));
        HandleCommand(kCmdStartSimulate, ParamBlock());
        if (owner != nullptr) {
            position = owner->GetWorldPosition();
            position.y += kThrowRaise;
            InvalidateTransform();
        }
        return;
    }
    HandleCommand(itemcmd::ToDropOnGround, ParamBlock(&ownerWord, sizeof(ownerWord)));
}

void GameObjectActor::ThrowBomb() {
    bombElapsed = 0.0f;
    bombArmed = 1;
    if (!OwnerIsMaster()) {
        return;
    }
    Actor *owner = Owner();
    const Vector3 look = Ask<Vector3>(owner, cmd::GetLookDirection);
    deltaPosition = {look.x * kBombSpeed, look.y * kBombSpeed, look.z * kBombSpeed};
    position.x += look.x * kBombAhead;
    position.z += look.z * kBombAhead;
    InvalidateTransform();
    SendText(owner, cmd::SetMovement, "Throw");
    uint32_t ownerWord = static_cast<uint32_t>(ownerId);
    SendToNetwork(actorId, itemcmd::ToDropOnGround, ParamBlock(&ownerWord, sizeof(ownerWord)));
    SendToNetwork(actorId, kCmdSetPosition, ParamBlock(&position, sizeof(position)));
    SendToNetwork(actorId, kCmdSetDeltaPosition, ParamBlock(&deltaPosition, sizeof(deltaPosition)));
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
    SendIfPresent(FindChildByName(this, "Explosion"), kCmdActionStartPre, ParamBlock());
    SendIfPresent(childObject.target, kCmdActionStop, ParamBlock());
    SendIfPresent(childParticle.target, kCmdActionStop, ParamBlock());
    SetNonDynamicColObjsActive(true);
    SetDynamicColObjsActive(false);
    flags &= ~kActorSimulated;
    deltaPosition = {0.0f, 0.0f, 0.0f};
    bombElapsed = 0.0f;
    bombArmed = 0;
    HandleCommand(kCmdKillPre, ParamBlock());
}

void GameObjectActor::AnimatePickup(float dt) {
    pickupCountdown -= dt;
    Turn(0.0f, kPickupTurnRate * dt, 0.0f);
    position.y += kPickupRise * dt;
    InvalidateTransform();
    if (pickupCountdown < 0.0f) {
        HandleCommand(itemcmd::OnPickup, ParamBlock());
        uint32_t owner = static_cast<uint32_t>(ownerId);
        HandleCommand(itemcmd::ToInventory, ParamBlock(&owner, sizeof(owner)));
    }
}

void GameObjectActor::AnimateActivation(float dt) {
    activateElapsed += dt;
    if (activateElapsed > animationTime) {
        if (itemType == kItemTrap) {
            ActorSystem::QueueActorForDeletion(this);
        } else {
            uint32_t owner = static_cast<uint32_t>(ownerId);
            HandleCommand(itemcmd::ToInventory, ParamBlock(&owner, sizeof(owner)));
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
            const float radius = Ask<float>(light, kCmdLightGetRadius);
            SendReal(light, kCmdLightSetRadius,
                     AtLeast(radius - kLightDimRate * dt, kLightMinRadius));
        }
        SendReal(childParticle.target, kCmdSetIntensity, lightTime * kLightIntensityScale);
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
    SendCommandToChildren(this, kCmdLightSetRadius, ParamBlock(&radius, sizeof(radius)));
    SendReal(childParticle.target, kCmdSetIntensity, fadeTime * kFadeIntensityScale);
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
