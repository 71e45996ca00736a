// What the Guard notices through its character (the spy notifications:
// collisions of the sensor objects, health changes, motion callbacks), the
// hunt trail, the catch rule, the strike and its effects, the fighter's
// combos and hit test, and death.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/characters/guard_actor.h"
#include "actors/characters/guard_internal.h"
#include "actors/world/collision.h"
#include "base/random.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

using namespace guard;

namespace guard {


} // namespace guard

namespace {

constexpr uint32_t kSightMasks[3] = {0xFFFFFFFFu, 0x10000u, 0u};

// Casts the sight ray from the body to the actor: false without either or
// without an actor system; else true, with the first object the ray meets
// (null for none) in *first.
bool CastSight(Actor *body, Actor *actor, ColObj **first) {
    ActorSystem *system = GetActorSystem();
    if (body == nullptr || actor == nullptr || system == nullptr) {
        return false;
    }
    Vector3 hit{};
    *first = system->CollisionQuery(body->GetWorldPosition(), actor->GetWorldPosition(),
                                    kSightMasks, &hit, nullptr);
    return true;
}

} // namespace

// --- spy notifications ------------------------------------------------------------

int GuardActor::SpyNotice(ParamBlock block) {
    CommandSpyNotice notice{};
    if (block.size() < sizeof(notice)) {
        return 1;
    }
    block.ReadBytes(0, &notice, sizeof(notice));
    const ParamBlock spied = notice.block != nullptr ? *notice.block : ParamBlock();
    switch (notice.commandId) {
    case cmd::base::CollisionEvent:
        CollisionNotice(spied);
        break;
    case cmd::character::ChangeCPHealth:
        HealthChanged();
        break;
    case cmd::character::MotionQueueEmptied:
    case cmd::character::OnUnlockInput:
        fightReady = 1;
        break;
    case cmd::skin_object::CallbackMotionSet:
        MotionSet(spied);
        break;
    default:
        break;
    }
    return 1;
}

void GuardActor::CollisionNotice(ParamBlock block) {
    if (block.size() < 2 * sizeof(void *)) {
        return;
    }
    auto *other = static_cast<ColObj *>(block.ReadPointer(0));
    auto *own = static_cast<ColObj *>(block.ReadPointer(sizeof(void *)));
    Actor *body = character.target;
    if (other == nullptr || own == nullptr || other->owner == nullptr || own->owner == nullptr ||
        body == nullptr) {
        return;
    }
    Actor *intruder = other->owner;
    const bool watching = guardState == kGuardPatrol || guardState == kGuardSleep ||
                          guardState == kGuardIdle;
    if (intruder->classId == kCharacterClassId && intruder->drawGroupId == own->owner->drawGroupId &&
        sinceStrike > 10.0f && watching) {
        target.Assign(intruder);
        if (CharacterHoldTime() > 0.0f) {
            return;
        }
        const float d = Distance(intruder->GetWorldPosition(), body->GetWorldPosition());
        const float radius = own->boxMax.x;
        const bool asleep = guardState == kGuardSleep;
        bool heard = false;
        if (!own->name.empty() && own->name[0] == 'H') {
            float noise = QueryReal(intruder, cmd::character::GetNoiseLevel);
            if (asleep) {
                noise *= 0.8f;
            }
            heard = noise * radius > d;
        }
        bool detected = heard;
        if (!asleep && !own->name.empty() && own->name[0] == 'V') {
            Actor *hand = FindChildByName(intruder, "LeftHand");
            const bool emptyHanded = hand != nullptr && hand->children.empty();
            detected = !(emptyHanded && d > 0.8f * radius);
        }
        if (detected && CanSee(intruder)) {
            SetState(guardType == kGuardHunted    ? kGuardHuntedState
                     : guardType == kGuardFighter ? kGuardFight
                                                  : kGuardHunt);
        }
    }
    if ((own->flags & kColObjDynamic) != 0 && intruder->classId == kDoorClassId) {
        SendWord(intruder, cmd::door::OpenDoor_770, static_cast<uint32_t>(own->owner->actorId));
    }
}

void GuardActor::HealthChanged() {
    if (guardType == kGuardPath && guardState != kGuardHunt) {
        int32_t masterId = -1;
        SendCommand(kFrontEndActorId, cmd::inventory::GetMasterCharacter,
                    ParamBlock(&masterId, sizeof(masterId)));
        Actor *master = masterId >= 0 ? GetActorById(static_cast<uint32_t>(masterId)) : nullptr;
        if (master != nullptr && master->classId == kCharacterClassId) {
            target.Assign(master);
            SetState(kGuardHunt);
        }
    }
    stateTime = 0.0f;
    const float hold = CharacterHoldTime();
    if (hold != 0.0f) {
        stateTime = -hold;
    }
}

void GuardActor::MotionSet(ParamBlock block) {
    if (guardType != kGuardFighter) {
        return;
    }
    if (IsAttackMotion(block.ReadString(0))) {
        evalTimer =
            AttackIndexValid() ? attackParams[static_cast<size_t>(attackIndex)].evalDelay : 0.25f;
    }
}

float GuardActor::CharacterHoldTime() { return QueryReal(character.target,
                                                         cmd::character::GetHoldTime); }

bool GuardActor::AttackIndexValid() const {
    return attackIndex >= 0 && static_cast<size_t>(attackIndex) < attackParams.size();
}

// --- sight --------------------------------------------------------------------------

bool GuardActor::CanSee(Actor *actor) {
    ColObj *first = nullptr;
    return CastSight(character.target, actor, &first) && first != nullptr &&
           first->owner != nullptr && first->owner->actorId == actor->actorId;
}

bool GuardActor::IsPathClear(Actor *actor) {
    ColObj *first = nullptr;
    return CastSight(character.target, actor, &first) && first == nullptr;
}

// --- hunt trail -----------------------------------------------------------------------

void GuardActor::StartTrail(Actor *actor, float interval) {
    huntTrail.clear();
    trailTarget.Assign(actor);
    trailInterval = interval;
    trailTimer = 0.0f;
}

void GuardActor::StopTrail() {
    trailTimer = trailInterval = 0.0f;
    trailTarget.Release();
}

void GuardActor::SampleTrail(float dt) {
    trailTimer += dt;
    if (trailTimer <= trailInterval) {
        return;
    }
    AddTrailSample(huntTrail, trailTarget.target->GetWorldPosition(), trailMax);
    trailTimer -= trailInterval;
}

// --- death and the catch rule -------------------------------------------------------

void GuardActor::DeathAndCatch(float dt) {
    if (guardType != kGuardFighter && guardType != kGuardPath) {
        return;
    }
    if (QueryReal(character.target,
                  cmd::character::GetHealth) <= 0.0f && guardState != kGuardDead) {
        SetState(kGuardDead);
    }
    if (guardType != kGuardPath || catchTimer <= 0.0f) {
        return;
    }
    catchTimer -= dt;
    if (catchTimer <= 0.0f) {
        Catch();
    }
}

void GuardActor::Catch() {
    // Only a live Character is counted.
    auto *caught = dynamic_cast<CharacterActor *>(target.target);
    Actor *body = character.target;
    if (caught == nullptr || body == nullptr) {
        return;
    }
    caught->catchCount += 1;
    uint32_t moved = 0;
    if (caught->catchCount >= 3) {
        caught->catchCount = 0;
        const std::vector<Actor *> spawns = FindActorsByName("DungeonSpawn", kSpawnPointClassId);
        if (!spawns.empty()) {
            Actor *spawn = spawns[static_cast<size_t>(Rand()) % spawns.size()];
            SendCommandArgs(caught, cmd::base::SetPosition, spawn->GetWorldPosition());
            moved = 1;
        }
    }
    uint32_t report[3] = {static_cast<uint32_t>(body->actorId),
                          static_cast<uint32_t>(caught->actorId), moved};
    SendCommand(kFrontEndActorId, cmd::inventory::GuardHitCharacter,
                ParamBlock(report, sizeof(report)));
    if (ActorSystem *system = GetActorSystem()) {
        system->NetSendCommand(kFrontEndActorId, cmd::inventory::GuardHitCharacter,
                               ParamBlock(report, sizeof(report)));
    }
}

void GuardActor::ApplyHit(Actor *victim, float mul) {
    if (victim == nullptr) {
        return;
    }
    const int32_t victimId = victim->actorId;
    SendReal(victim, cmd::character::SetHoldTime, 0.0f);
    SendHitMovements(victim, gethitId, damageId);
    SendReal(victim, cmd::character::SetHoldTime, hitHoldTime);
    sinceStrike = 0.0f;
    SendHitEffects(victim, victimId, hitEffects, mul);
}

// --- fighting -------------------------------------------------------------------------

void GuardActor::TickFight() {
    Actor *body = character.target;
    Actor *foe = target.target;
    FaceActor(foe, 10.0f);
    const float d = Distance(body->GetWorldPosition(), foe->GetWorldPosition());
    if (d > fightDistance && farTime > 2.0f) {
        SetMotion(kMotionRun);
        farTime = 0.0f;
        return;
    }
    if (fightReady != 0) {
        FightStep(d);
    }
}

int32_t GuardActor::DrawAttack() {
    // The weights taken at "Precalculate", for entries that still exist.
    const size_t count = std::min(attackPool.size(), attackParams.size());
    const int32_t drawn = WeightedDraw(std::span<const uint32_t>(attackPool.data(), count));
    if (drawn >= 0) {
        return drawn;
    }
    return static_cast<int32_t>(static_cast<size_t>(Rand()) % attackParams.size());
}

void GuardActor::FightStep(float d) {
    Actor *body = character.target;
    comboPattern = static_cast<uint32_t>(Rand() % 6);
    char attack[32];
    if (attackParams.empty()) {
        std::snprintf(attack, sizeof(attack), "M_Attack%d", Rand() % 4);
    } else {
        attackIndex = DrawAttack();
        std::snprintf(attack, sizeof(attack), "M_Attack%d", attackIndex);
    }
    const std::string a = attack;
    if (d < hitDistance) {
        SendIfPresent(body, cmd::character::MotionQueueClear, ParamBlock());
        SendText(body, cmd::character::MotionQueuePushBack, a);
        SendText(body, cmd::character::MotionQueuePushBack, "M_Back");
    }
    static const char *const kCombos[6][6] = {
        {"M_Forward", "*", "M_Forward"},
        {"M_Forward", "*", "M_Back", "M_Forward"},
        {"M_Forward", "M_Left", "*", "M_Back", "M_Forward"},
        {"M_Forward", "M_Right", "*", "M_Back", "M_Forward"},
        {"M_Left", "*", "M_Left"},
        {"M_Right", "*", "M_Right"},
    };
    for (const char *step : kCombos[comboPattern]) {
        if (step == nullptr) {
            break;
        }
        SendText(body, cmd::character::MotionQueuePushBack, step[0] == '*' ? a : std::string(step));
    }
    fightReady = 0;
}

void GuardActor::EvaluateAttack() {
    Actor *body = character.target;
    Actor *foe = target.target;
    if (body != nullptr && foe != nullptr &&
        Distance(body->GetWorldPosition(), foe->GetWorldPosition()) < hitDistance &&
        CanSee(foe) && CharacterHoldTime() <= 0.0f) {
        catchTimer = 8.0f;
        ApplyHit(foe, AttackIndexValid() ? attackParams[static_cast<size_t>(attackIndex)].effectMul
                                         : 1.0f);
        sinceStrike = 0.0f;
        body = character.target;
        SendIfPresent(body, cmd::character::MotionQueueClear, ParamBlock());
        SendText(body, cmd::character::MotionQueuePushBack, "M_Back");
        SendText(body, cmd::character::MotionQueuePushBack, "M_Back");
        SendText(body, cmd::character::MotionQueuePushBack, "M_Neutral");
    }
    evalTimer = 1.0e38f;
}

// --- death ----------------------------------------------------------------------------

void GuardActor::TickDead() {
    if (stateTime <= deadDelay) {
        return;
    }
    Actor *body = character.target;
    switch (deadType) {
    case kGuardDeadDelete:
        ActorSystem::QueueActorForDeletion(body);
        ActorSystem::QueueActorForDeletion(this);
        break;
    case kGuardDeadSpawnOnRoot:
        Respawn(GetWorldPosition(),
                Query(this, cmd::base::GetWSQuaternion, Quaternion{0.0f, 0.0f, 0.0f, 1.0f}));
        SendReal(body, cmd::character::SetHealth, startHealth);
        SendWord(body, cmd::character::SetDeadLock, 0);
        sinceStrike = 0.0f;
        currentNode = actorId;
        NextPathNode();
        SetState(kGuardPatrol);
        break;
    case kGuardDeadSpawnRandom: {
        Actor *place = this;
        if (FindRestartNode() == 1) {
            place = NodeOrRestart(currentNode);
        } else {
            currentNode = actorId;
        }
        Respawn(place->GetWorldPosition(),
                Query(place, cmd::base::GetWSQuaternion, Quaternion{0.0f, 0.0f, 0.0f, 1.0f}));
        SendWord(body, cmd::character::SetDeadLock, 0);
        SendReal(body, cmd::character::SetHealth, startHealth);
        sinceStrike = 0.0f;
        NextPathNode();
        SetState(kGuardPatrol);
        break;
    }
    case kGuardDeadSpawnOnPlace:
        SendReal(body, cmd::character::SetHealth, startHealth);
        SendWord(body, cmd::character::SetDeadLock, 0);
        sinceStrike = 0.0f;
        SetState(kGuardReturnToPatrol);
        break;
    default:
        break;
    }
}
