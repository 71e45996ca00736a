// The Game Object as a weapon and as its ammunition: the weapon state
// machine driven by 692 requests, firing (rays, shells, impacts, hit
// effects), the end of the fire phase, reloading from the carrying
// character's stock, secondary weapons and the cross-hair report.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/characters/game_object_actor.h"
#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "base/random.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/script_runner.h"
#include "core/actors/time_record.h"
#include "library/resource_library.h"

namespace {

constexpr uint32_t kUntaggedTimer = 0x1200; // once, saved
constexpr uint32_t kTaggedTimer = 0x2FD;    // once, tag 253, not saved
constexpr uint8_t kTimerTag = 253;
constexpr uint32_t kTimerLayer = 1;
constexpr float kMissingPhaseTime = 0.1f;
constexpr float kReleaseTime = 0.1f;
constexpr float kKickPerRecoil = 4.0f;
constexpr float kKickDecay = 7.0f;
constexpr float kSpreadPerDegree = 1.0f / 90.0f;
constexpr float kRangeUnit = 100.0f;
constexpr float kRayBehind = 50.0f;
constexpr float kCameraRayLength = 100000.0f;
constexpr float kShellSpeed = 250.0f;
constexpr float kShellSpeedSpread = 80.0f;
constexpr float kShellFastFactor = 2.8f;
constexpr float kShellOffset = 0.1f;
constexpr float kShellFriction = 0.8f;
constexpr size_t kSimFrictionWord = 10;
constexpr float kReverseAnimationSpeed = 100.0f;
constexpr float kTrailScale = 0.01f;
// The frame rate the game is made for: hit effects and shell collisions are
// only afforded while frames are shorter than its frame.
constexpr uint32_t kTargetFrameRate = 30;

// The names of the phase children, in Phase order.
const char *const kPhaseNames[GameObjectActor::kPhaseCount] = {
    "Loaded", "InWorld", "Mag",        "PreFire1",   "CancelFire\t", "PreFire2",
    "Fire",   "BulletLoad", "ClipUnload", "NoClip", "NoClipFire",   "ClipLoad",
};

// The bits of weaponFlags that 696-713 set and get, by set command.
struct FlagProperty {
    uint32_t set;
    uint32_t bit;
};
const FlagProperty kFlagProperties[] = {
    {696, weapon::FireOnRelease},          {698, weapon::PreFire1Reverse},
    {704, weapon::BulletLoadAfterClipLoad}, {706, weapon::BulletLoadAfterFire},
    {708, weapon::PartialClipLoad},         {712, weapon::ReloadSecondary},
};

void SendMatrix(Actor *actor, const Matrix &m) {
    Matrix copy = m;
    SendIfPresent(actor, cmd::base::SetMatrix, ParamBlock(&copy, sizeof(copy)));
}

// Shows a spawned copy once: start, then its own end.
void StartOnce(Actor *actor) {
    SendIfPresent(actor, cmd::base::ActionStartPre, ParamBlock());
    SendIfPresent(actor, cmd::base::KillPre, ParamBlock());
}

Vector3 Row(const Matrix &m, int row) { return {m.m[row][0], m.m[row][1], m.m[row][2]}; }

void SetRow(Matrix &m, int row, const Vector3 &v, float w) {
    m.m[row][0] = v.x;
    m.m[row][1] = v.y;
    m.m[row][2] = v.z;
    m.m[row][3] = w;
}

Vector3 Normalised(const Vector3 &v) {
    const float length = Vec3Length(v);
    return length > 0.0f ? Vec3Scale(v, 1.0f / length) : v;
}

// The frame at a hit point: third axis the normal negated, the first
// n x (n x v) for a random v, the second n x first.
Matrix HitFrame(const Vector3 &point, const Vector3 &normal) {
    const Vector3 n = Vec3Scale(normal, -1.0f);
    Vector3 v;
    v.x = static_cast<float>(Rand() & 15);
    v.y = static_cast<float>(Rand() & 15);
    v.z = static_cast<float>(Rand() & 15);
    Vector3 first = Vec3Cross(n, Vec3Cross(n, v));
    if (Vec3Length(first) < 1e-6f) {
        // v is zero or along n: any vector across n serves.
        const bool alongX = std::fabs(n.x) > std::fabs(n.y) && std::fabs(n.x) > std::fabs(n.z);
        v = alongX ? Vector3{0.0f, 0.0f, 1.0f} : Vector3{1.0f, 0.0f, 0.0f};
        first = Vec3Cross(n, Vec3Cross(n, v));
    }
    first = Normalised(first);
    const Vector3 second = Normalised(Vec3Cross(n, first));
    Matrix frame;
    SetRow(frame, 0, first, 0.0f);
    SetRow(frame, 1, second, 0.0f);
    SetRow(frame, 2, n, 0.0f);
    SetRow(frame, 3, point, 1.0f);
    return frame;
}

// A world matrix as the local matrix under the parent.
Matrix LocalUnder(Actor *parent, const Matrix &world) {
    if (parent == nullptr) {
        return world;
    }
    parent->UpdateInverseWorldMatrix();
    Matrix local;
    MatrixMultiply(&local, world, parent->inverseWorldMatrix);
    return local;
}

bool FrameAtLeastTarget() { return FrameDelta >= 1.0f / static_cast<float>(kTargetFrameRate); }

uint32_t LowestBit(uint32_t mask) { return mask == 0 ? 32u : static_cast<uint32_t>(std::countr_zero(mask)); }

} // namespace

// --- properties and commands -------------------------------------------------------

bool GameObjectActor::ServeWeaponProperty(uint32_t commandId, ParamBlock block) {
    for (const FlagProperty &p : kFlagProperties) {
        if (commandId == p.set) {
            weaponFlags = block.ReadU32(0) != 0 ? (weaponFlags | p.bit) : (weaponFlags & ~p.bit);
            return true;
        }
        if (commandId == p.set + 1) {
            block.WriteU32(0, (weaponFlags & p.bit) != 0 ? 1u : 0u);
            return true;
        }
    }
    switch (commandId) {
    case cmd::game_object::GetWeaponState:
        block.WriteU32(0, weaponState);
        return true;
    case cmd::game_object::SetWeaponCrossHair:
        crosshairMaterial = std::string(block.ReadString(0));
        return true;
    case cmd::game_object::GetWeaponCrossHair:
        block.WriteString(0, crosshairMaterial);
        return true;
    default:
        return false;
    }
}

bool GameObjectActor::ServeWeaponCommand(uint32_t commandId, ParamBlock block, int *result) {
    if (itemType != kItemWeapon) {
        return false;
    }
    switch (commandId) {
    case cmd::game_object::SetWeaponState:
        if (WeaponRequest(block.ReadU32(0)) != 0) {
            *result = 1; // an empty clip ends request 1 here
            return true;
        }
        return false;
    case cmd::base::ActionStart:
        SendWord(this, cmd::game_object::PerformActionStart_637, 0);
        *result = 1;
        return true;
    case cmd::base::ActionStop:
        SendWord(this, cmd::game_object::PerformActionStop_638, 0);
        return false;
    case cmd::base::Kill: {
        Actor *self = this;
        SendCommand(kInventoryActorId, cmd::game_object::WeaponGone,
                    ParamBlock(&self, sizeof(self)));
        CancelScheduledCommands(cmd::game_object::SetWeaponState);
        return false;
    }
    case cmd::base::CallbackMovedInTree:
    case cmd::base::CallbackRelParentMovedInTree:
        MovedInTree();
        return false;
    case cmd::game_object::PerformActionStart_637:
        WeaponRequest(weapon::Pressed);
        return false;
    case cmd::game_object::PerformActionStop_638:
        WeaponRequest(weapon::Released);
        return false;
    case cmd::game_object::PerformActionStart_639:
        if (secondaryType == 0 || weaponState == weapon::Loaded || weaponState == weapon::NoClip) {
            SendWord(secondaryWeapon.target, cmd::game_object::SetWeaponState, weapon::Pressed);
        }
        return false;
    case cmd::game_object::PerformActionStop_640:
        SendWord(secondaryWeapon.target, cmd::game_object::SetWeaponState, weapon::Released);
        return false;
    case cmd::game_object::Unnamed_750:
        CrosshairUpdate(block);
        return false;
    default:
        return false;
    }
}

// --- binding -----------------------------------------------------------------------

void GameObjectActor::BindWeaponChildren() {
    struct Named {
        ActorLink *link;
        const char *name;
    };
    if (itemType == kItemWeapon) {
        for (uint32_t i = 0; i < kPhaseCount; ++i) {
            phases[i].Assign(FindChildByName(this, kPhaseNames[i]));
        }
        for (const Named &slot : {Named{&secondaryWeapon, "Secondary"}, Named{&flashPos, "FlashPos"},
                                  Named{&shellExitPos, "ShellExitPos"},
                                  Named{&sightPos, "SightPos"}, Named{&ammoChild, "Ammo"}}) {
            slot.link->Assign(FindChildByName(this, slot.name));
        }
    } else if (itemType == kItemAmmo) {
        for (const Named &slot :
             {Named{&shellTemplate, "Shell"}, Named{&impactTemplate, "Impact"},
              Named{&flashChild, "Flash"}, Named{&vapourTrailTemplate, "VapourTrail"}}) {
            slot.link->Assign(FindChildByName(this, slot.name));
        }
    }
}

void GameObjectActor::PrecalculateWeapon() {
    if (itemType == kItemAmmo) {
        for (ActorLink *link : {&shellTemplate, &flashChild, &vapourTrailTemplate}) {
            SendIfPresent(link->target, cmd::base::ActionStopPre, ParamBlock());
        }
        ammoHitScript = 0;
        for (const auto &script : scripts) {
            if (script->eventId == cmd::game_object::OnAmmoHit && !script->dead) {
                ammoHitScript = script->serial;
                break;
            }
        }
        return;
    }
    if (itemType != kItemWeapon) {
        return;
    }
    for (ActorLink &phase : phases) {
        SendIfPresent(phase.target, cmd::base::ActionStopPre, ParamBlock());
    }
    isSecondary = name == "Secondary" ? 1u : 0u;
    if (isSecondary == 0) {
        SendWord(this, cmd::game_object::SetWeaponState, weapon::Refresh);
    }
    SendIfPresent(phases[kPhaseLoaded].target, cmd::base::ActionStart, ParamBlock());
    crosshairMaterialId = 0xFFFFFFFFu;
    if (!crosshairMaterial.empty() && GetLibrary() != nullptr) {
        if (LibraryItem *item = GetLibrary()->FindItemByName(
                crosshairMaterial.c_str(), ItemClass::Material)) {
            crosshairMaterialId = item->slotIndex;
        }
    }
}

GameObjectActor *GameObjectActor::Ammo() const {
    return dynamic_cast<GameObjectActor *>(ammoChild.target);
}

Actor *GameObjectActor::Carrier() const {
    for (Actor *up = parent; up != nullptr; up = up->parent) {
        if (up->classId == kCharacterClassId) {
            return up;
        }
    }
    return nullptr;
}

void GameObjectActor::ShowPhase(Phase phase) { SetShownChild(phases[phase].target); }

void GameObjectActor::ScheduleRequest(uint32_t request, float delay, bool tagged) {
    ::ScheduleCommand(this, cmd::game_object::SetWeaponState, ParamBlock(&request, sizeof(request)),
                      tagged ? kTaggedTimer : kUntaggedTimer, delay, 0.0f, 0.0f, nullptr,
                      kTimerLayer);
}

void GameObjectActor::SchedulePhaseEnd(Phase phase, uint32_t request, bool tagged) {
    Actor *child = phases[phase].target;
    const float time =
        child != nullptr ? Query<float>(child, cmd::base::GetActionTime) : kMissingPhaseTime;
    ScheduleRequest(request, time, tagged);
}

// --- the state machine -------------------------------------------------------------

int GameObjectActor::WeaponRequest(uint32_t request) {
    GameObjectActor *ammo = Ammo();
    if (itemType != kItemWeapon || (state & kActorKilled) != 0 || ammo == nullptr) {
        return 0;
    }
    if (weaponState == weapon::PutAway && request != weapon::InWorld &&
        request != weapon::Refresh && request != weapon::Settle) {
        return 0;
    }
    switch (request) {
    case weapon::Loaded:
        CancelScheduledCommandsByTag(this, kTimerTag);
        if (ammo->BulletsInClip() == 0) {
            return 1;
        }
        Refresh();
        break;
    case weapon::PreFire2:
        ShowPhase(kPhasePreFire2);
        weaponState = weapon::PreFire2;
        break;
    case weapon::Fire:
        if (weaponState == weapon::Loaded || weaponState == weapon::PreFire2) {
            Fire();
        }
        break;
    case weapon::EndFire:
        EndFire();
        break;
    case weapon::BulletLoaded:
        Settle();
        break;
    case weapon::Pressed:
        Press();
        break;
    case weapon::Released:
        Release();
        break;
    case weapon::NoClip:
        EmptyClip();
        break;
    case weapon::InWorld:
        ShowPhase(kPhaseInWorld);
        weaponState = weapon::InWorld;
        break;
    case weapon::Refresh:
        Refresh();
        break;
    case weapon::PutAway:
        CancelScheduledCommandsByTag(this, kTimerTag);
        autoFire = 0;
        weaponFlags &= ~weapon::FireRequested;
        SetShownChild(nullptr);
        weaponState = weapon::PutAway;
        break;
    case weapon::Reload:
        Reload();
        break;
    case weapon::Settle:
        Settle();
        break;
    case weapon::ClipLoaded:
        ClipLoaded();
        break;
    default:
        break;
    }
    return 0;
}

void GameObjectActor::Refresh() {
    Settle();
    switch (weaponState) {
    case weapon::Loaded:
        ShowPhase(kPhaseLoaded);
        break;
    case weapon::NoClip:
        ShowPhase(phases[kPhaseNoClip].target != nullptr ? kPhaseNoClip : kPhaseLoaded);
        WeaponRequest(weapon::Reload);
        break;
    case weapon::InWorld:
        ShowPhase(kPhaseInWorld);
        break;
    case weapon::PutAway:
        SetShownChild(nullptr);
        break;
    default:
        break;
    }
}

void GameObjectActor::Settle() {
    GameObjectActor *ammo = Ammo();
    if (itemState == kItemInScene) {
        weaponState = weapon::InWorld;
        return;
    }
    if (itemState == kItemInInventory) {
        weaponState = weapon::PutAway;
        return;
    }
    if (ammo == nullptr || ammo->BulletsInClip() == 0) {
        weaponState = weapon::NoClip;
        return;
    }
    weaponState = weapon::Loaded;
    if (autoFire != 0 || (weaponFlags & weapon::FireRequested) != 0) {
        weaponFlags &= ~weapon::FireRequested;
        WeaponRequest(weapon::Pressed);
    } else if (isSecondary != 0 && secondaryType == 1) {
        SendWord(parent, cmd::game_object::SetWeaponState, weapon::Refresh);
    }
}

void GameObjectActor::Press() {
    if (weaponState == weapon::Loaded) {
        if (isSecondary != 0 && secondaryType == 1) {
            SendWord(parent, cmd::game_object::SetWeaponState, weapon::PutAway);
        }
        if (weaponType == 2) {
            autoFire = 1;
        }
        Actor *preFire1 = phases[kPhasePreFire1].target;
        if (preFire1 == nullptr) {
            if (phases[kPhasePreFire2].target == nullptr) {
                WeaponRequest(weapon::Fire);
            }
            return;
        }
        if ((weaponFlags & weapon::FireOnRelease) != 0) {
            if ((weaponFlags & weapon::PreFire1Reverse) != 0) {
                Actor *mesh = FindDescendantByClass(preFire1, kMeshObjectClassId);
                float speed = kReverseAnimationSpeed;
                SendIfPresent(mesh, cmd::base::SetAnimationSpeed,
                              ParamBlock(&speed, sizeof(speed)));
                SendWord(mesh, cmd::mesh_object::SetMeshAnimationStyle_452, 0);
            }
            SchedulePhaseEnd(kPhasePreFire2, weapon::PreFire2, true);
        }
        ShowPhase(kPhasePreFire1);
        weaponState = weapon::PreFire1;
        return;
    }
    if (weaponState == weapon::NoClip && phases[kPhaseNoClipFire].target != nullptr) {
        ShowPhase(kPhaseNoClipFire);
        SchedulePhaseEnd(kPhaseNoClipFire, weapon::NoClip, false);
        return;
    }
    weaponFlags |= weapon::FireRequested;
}

void GameObjectActor::Release() {
    autoFire = 0;
    weaponFlags &= ~weapon::FireRequested;
    if (weaponState == weapon::PreFire1 && (weaponFlags & weapon::FireOnRelease) != 0) {
        CancelScheduledCommandsByTag(this, kTimerTag);
        weaponState = weapon::PreFire1Released;
        ScheduleRequest(weapon::Loaded, kReleaseTime, false);
    } else if (weaponState == weapon::PreFire2) {
        WeaponRequest(weapon::Fire);
    }
}

// --- firing ------------------------------------------------------------------------

void GameObjectActor::Fire() {
    GameObjectActor &ammo = *Ammo();
    Actor *carrier = Carrier();
    if (carrier == nullptr) {
        return;
    }
    recoilKick += recoil * kKickPerRecoil;
    float kick = AtLeast(ammo.recoil + recoil, 0.0f);
    SendIfPresent(carrier, cmd::character::Recoil, ParamBlock(&kick, sizeof(kick)));
    ShowPhase(kPhaseFire);
    if (ammo.flashChild.target != nullptr && flashPos.target != nullptr) {
        SendMatrix(ammo.flashChild.target, flashPos.target->GetWorldMatrix());
        SendIfPresent(ammo.flashChild.target, cmd::base::ActionStartPre, ParamBlock());
    }
    weaponState = weapon::Fire;
    EjectShell(ammo);

    const Matrix muzzle = flashPos.target != nullptr ? flashPos.target->GetWorldMatrix()
                                                     : GetWorldMatrix();
    const Vector3 forward = Normalised(Row(muzzle, 2));
    Vector3 aim = forward;
    auto *character = dynamic_cast<CharacterActor *>(carrier);
    if (character != nullptr && (character->charFlags & kCharMotionDriven) != 0) {
        // Aim at what the camera looks at.
        ResourceLibrary *library = GetLibrary();
        if (library != nullptr && GetActorSystem() != nullptr) {
            const float *eye = library->GetCameraPosition();
            const Vector3 from = {eye[0], eye[1], eye[2]};
            Vector3 ahead = {0.0f, 0.0f, 1.0f};
            library->GetCameraForward(&ahead);
            Vector3 point = Vec3Add(from, Vec3Scale(ahead, kCameraRayLength));
            const uint32_t masks[3] = {ammo.RayGroup(), ammo.RayReceive(), ammo.rayExclude};
            Vector3 hit = point;
            Vector3 normal = {0.0f, 0.0f, 0.0f};
            if (GetActorSystem()->CollisionQuery(from, point, masks, &hit, &normal) != nullptr) {
                point = hit;
            }
            aim = Normalised(Vec3Add(point, Vec3Scale(Row(muzzle, 3), -1.0f)));
        }
    } else {
        const bool left = parent != nullptr && !parent->name.empty() && parent->name[0] == 'L';
        aim = Query<Vector3>(carrier, left ? cmd::character::AimDirection
                                           : cmd::character::GetLookDirectionSM);
    }
    if (Vec3Dot(aim, forward) < 0.0f) {
        aim = forward;
    }
    for (uint32_t ray = 0; ray < ammo.RayCount(); ++ray) {
        CastRay(ammo, muzzle, aim, carrier);
    }
    SchedulePhaseEnd(kPhaseFire, weapon::EndFire, false);
}

void GameObjectActor::EjectShell(GameObjectActor &ammo) {
    Actor *exit = shellExitPos.target;
    Actor *templ = ammo.shellTemplate.target;
    if (exit == nullptr || templ == nullptr) {
        return;
    }
    Actor *shell = CopyActorTree(templ, GetActorById(kSceneryRootId));
    if (shell == nullptr) {
        return;
    }
    const float yaw = RandomSigned() * 0.5f;
    const float pitch = RandomSigned() * 0.5f;
    const float roll = RandomSigned() * 0.5f;
    Matrix turn;
    MatrixRotationYawPitchRoll(&turn, yaw, pitch, roll);
    const Matrix exitWorld = exit->GetWorldMatrix();
    Matrix placed;
    MatrixMultiply(&placed, turn, exitWorld);
    SendMatrix(shell, placed);
    RemoveActorFromDrawGroup(shell, 0);
    Vector3 direction = Row(exitWorld, 2);
    direction.x += RandomSigned() * kShellOffset;
    direction.y += RandomSigned() * kShellOffset;
    direction.z += RandomSigned() * kShellOffset;
    const float share = static_cast<float>(Rand() % 10000) * 0.0001f;
    float speed = kShellSpeed + kShellSpeedSpread * share;
    if ((Rand() & 7) == 0) {
        speed *= kShellFastFactor;
    }
    Vector3 velocity = Vec3Scale(direction, speed);
    SendIfPresent(shell, cmd::base::SetDeltaPosition, ParamBlock(&velocity, sizeof(velocity)));
    if (FrameAtLeastTarget()) {
        while (!shell->colObjs.empty() && shell->RemoveColObj(shell->colObjs.size() - 1)) {
        }
    } else {
        shell->SetDynamicColObjsActive(true);
        shell->flags |= kActorCollisionEnabled;
    }
    AddActorToDrawGroup(shell, 0);
    shell->HandleCommand(cmd::base::StartSimulate, ParamBlock());
    if (shell->simParams != nullptr) {
        shell->simParams->SetFloat(kSimFrictionWord, kShellFriction);
    }
    StartOnce(shell);
}

void GameObjectActor::CastRay(GameObjectActor &ammo, const Matrix &muzzle, const Vector3 &aim,
                              Actor *carrier) {
    const Vector3 origin = Row(muzzle, 3);
    Vector3 spread = aim;
    spread.x += RandomSigned() * precision * kSpreadPerDegree;
    spread.y += RandomSigned() * precision * kSpreadPerDegree;
    spread.z += RandomSigned() * precision * kSpreadPerDegree;
    const Vector3 end = Vec3Add(origin, Vec3Scale(spread, range * kRangeUnit));
    const Vector3 start = Vec3Add(origin, Vec3Scale(aim, -kRayBehind));
    const uint32_t masks[3] = {ammo.RayGroup(), ammo.RayReceive(), ammo.rayExclude};
    Vector3 point = {0.0f, 0.0f, 0.0f};
    Vector3 normal = {0.0f, 0.0f, 0.0f};
    ActorSystem *system = GetActorSystem();
    ColObj *hit = system != nullptr ? system->CollisionQuery(start, end, masks, &point, &normal)
                                    : nullptr;
    Actor *target = hit != nullptr ? hit->owner : nullptr;
    if (target == nullptr) {
        return;
    }
    // Everything below may delete actors: keep what is needed by id.
    const int32_t targetId = target->actorId;
    const uint32_t hitEffectWord = hit->hitEffect;
    auto stillThere = [&] { return GetActorById(static_cast<uint32_t>(targetId)) == target; };

    if (Actor *trail = ammo.vapourTrailTemplate.target) {
        DrawGroupActor *group = target->drawGroupId >= 0 ? DrawGroupAt(target->drawGroupId) : nullptr;
        if (group != nullptr) {
            if (Actor *copy = CopyActorTree(trail, group)) {
                const Vector3 toHit = Vec3Add(point, Vec3Scale(origin, -1.0f));
                Matrix scale;
                MatrixScaling(&scale, 1.0f, 1.0f, kTrailScale * Vec3Length(toHit));
                Matrix view;
                MatrixLookAt(&view, origin, point, Vector3{0.0f, 1.0f, 0.0f});
                Matrix facing;
                if (MatrixInverse(&facing, view) == nullptr) {
                    MatrixTranslation(&facing, origin.x, origin.y, origin.z);
                }
                Matrix scaled;
                MatrixMultiply(&scaled, scale, trail->GetLocalMatrix());
                Matrix world;
                MatrixMultiply(&world, scaled, facing);
                SendMatrix(copy, LocalUnder(group, world));
                StartOnce(copy);
            }
        }
    }
    // Found again by serial at every hit: a deleted script runs no more.
    if (ammo.ammoHitScript != 0) {
        for (const auto &script : ammo.scripts) {
            if (script->serial == ammo.ammoHitScript && !script->dead) {
                RunHeldScript(&ammo, script.get(), target);
                break;
            }
        }
    }
    if (!stillThere()) {
        return;
    }
    if (target->classId == kCharacterClassId && target != carrier) {
        float none = 0.0f;
        target->HandleCommand(cmd::character::SetHoldTime, ParamBlock(&none, sizeof(none)));
        ammo.ApplyTrapHit(target, false);
    }
    if (stillThere()) {
        PlaceAtHit(ammo.impactTemplate.target, target, point, normal);
    }
    const uint32_t mask = ammo.HitEffectGroups() & hitEffectWord;
    if (mask == 0 || FrameAtLeastTarget() || !stillThere()) {
        return;
    }
    Actor *effects = FindActorByPath("Global/Definition/GHE", GetActorById(0));
    for (uint32_t bit = 0; bit < 32 && effects != nullptr; ++bit) {
        if ((mask & (1u << bit)) == 0) {
            continue;
        }
        char name[16];
        std::snprintf(name, sizeof(name), "GHE%u", bit + 1);
        if (Actor *effect = FindChildByName(effects, name); effect != nullptr && stillThere()) {
            PlaceAtHit(effect, target, point, normal);
        }
    }
}

void GameObjectActor::PlaceAtHit(Actor *templ, Actor *hitActor, const Vector3 &point,
                                 const Vector3 &normal) {
    if (templ == nullptr) {
        return;
    }
    Actor *copy = CopyActorTree(templ, hitActor);
    if (copy == nullptr) {
        return;
    }
    SendMatrix(copy, LocalUnder(hitActor, HitFrame(point, normal)));
    StartOnce(copy);
}

void GameObjectActor::EndFire() {
    GameObjectActor &ammo = *Ammo();
    SendIfPresent(ammo.flashChild.target, cmd::base::ActionStopPre, ParamBlock());
    uint32_t &bullets = ammo.BulletsInClip();
    if (ammo.unlimited == 0) {
        // A clip emptied by a setter stays empty.
        if (bullets > 0) {
            --bullets;
        }
        if (bullets == 0) {
            if (phases[kPhaseClipUnload].target != nullptr) {
                ShowPhase(kPhaseClipUnload);
                weaponState = weapon::ClipUnload;
                SchedulePhaseEnd(kPhaseClipUnload, weapon::NoClip, false);
            } else {
                ShowPhase(phases[kPhaseNoClip].target != nullptr ? kPhaseNoClip : kPhaseLoaded);
                weaponState = weapon::NoClip;
            }
            return;
        }
    }
    if ((weaponFlags & weapon::BulletLoadAfterFire) != 0) {
        ShowPhase(kPhaseBulletLoad);
        weaponState = weapon::BulletLoad;
        SchedulePhaseEnd(kPhaseBulletLoad, weapon::Loaded, false);
        const float load = Query<float>(&ammo, cmd::game_object::GetAmmoLoadtimeBullet);
        ScheduleRequest(weapon::BulletLoaded, load * bulletLoadTime, true);
        return;
    }
    WeaponRequest(weapon::Loaded);
}

// --- reloading ---------------------------------------------------------------------

void GameObjectActor::EmptyClip() {
    if (isSecondary != 0 && secondaryType == 1) {
        SendWord(parent, cmd::game_object::SetWeaponState, weapon::Refresh);
    }
    weaponState = weapon::NoClip;
    if (weaponType != 0) {
        WeaponRequest(weapon::Reload);
        if (weaponState == weapon::ClipLoad) {
            return;
        }
    }
    ShowPhase(phases[kPhaseNoClip].target != nullptr ? kPhaseNoClip : kPhaseLoaded);
}

void GameObjectActor::Reload() {
    GameObjectActor &ammo = *Ammo();
    Actor *carrier = Carrier();
    if ((weaponState != weapon::Loaded && weaponState != weapon::NoClip) || ammo.unlimited != 0 ||
        carrier == nullptr || ammo.ammoGroups == 0) {
        return;
    }
    uint32_t ask[2] = {LowestBit(ammo.ammoGroups) + 1, 0};
    carrier->HandleCommand(cmd::character::GetAmmoCount, ParamBlock(ask, sizeof(ask)));
    if (ask[1] != 0) {
        ShowPhase(kPhaseClipLoad);
        weaponState = weapon::ClipLoad;
        SchedulePhaseEnd(kPhaseClipLoad, weapon::ClipLoaded, true);
    }
}

void GameObjectActor::ClipLoaded() {
    GameObjectActor &ammo = *Ammo();
    Actor *carrier = Carrier();
    if (carrier == nullptr || ammo.ammoGroups == 0) {
        return;
    }
    if (weaponState == weapon::ClipLoad) {
        uint32_t ask[3] = {LowestBit(ammo.ammoGroups), maxBulletsInClip, 0};
        carrier->HandleCommand(cmd::character::RequestAmmo, ParamBlock(ask, sizeof(ask)));
        if (ask[2] != 0) {
            ammo.BulletsInClip() = ask[2];
        }
    }
    WeaponRequest(weapon::Refresh);
}

// --- cross-hair and moves ----------------------------------------------------------

void GameObjectActor::CrosshairUpdate(ParamBlock block) {
    SendIfPresent(secondaryWeapon.target, cmd::game_object::Unnamed_750, block);
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    recoilKick = recoilKick / (kKickDecay * dt + 1.0f);
    const Vector3 look = Query<Vector3>(Carrier(), cmd::character::GetLookDirection);
    float spread = block.ReadF32(0);
    if (flashPos.target != nullptr) {
        const float facing = Vec3Dot(look, Row(flashPos.target->GetWorldMatrix(), 2));
        spread *= 0.5f * std::clamp(3.0f * facing, 0.0f, 1.0f);
    }
    struct {
        uint32_t on;
        float spread;
        float kick;
        uint32_t material;
    } report = {1, spread, recoilKick, crosshairMaterialId};
    static_assert(sizeof(report) == 16);
    SendCommand(kInventoryActorId, cmd::inventory::Unnamed_563,
                ParamBlock(&report, sizeof(report)));
}

void GameObjectActor::MovedInTree() {
    if (parent == nullptr || parent->name != "Items") {
        return;
    }
    if ((weaponFlags & weapon::FireRequested) != 0 || autoFire != 0) {
        WeaponRequest(weapon::Released);
    }
    if (weaponState == weapon::Fire) {
        WeaponRequest(weapon::EndFire);
    }
    if (weaponState != weapon::InWorld) {
        SetShownChild(nullptr);
    }
    CancelScheduledCommands(cmd::game_object::SetWeaponState);
}
