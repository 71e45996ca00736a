// The AI Player's think: the per-frame work, the state machine with its
// events, the simple states, how motions and headings are asked of the
// character, the trail sampling and the reactions to what the character
// receives (the spy notices).
#include <algorithm>
#include <cmath>

#include "actors/characters/ai_player_actor.h"
#include "actors/characters/ai_player_internal.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

using namespace aiplayer;

namespace {

const char *const kMotionNames[kAIMotionCount] = {
    "R_Forward",  "R_Forward1", "N_Neutral", "N_Forward", "N_Guarding",
    "N_Exhausted", "N_Dead",    "M_Neutral", "M_Forward", "M_Attack0"};

bool IsStandingMotion(uint32_t motion) {
    return motion == kAIMotionStand || motion == kAIMotionGuarding ||
           motion == kAIMotionExhausted || motion == kAIMotionDead ||
           motion == kAIMotionFightStand;
}

} // namespace

// --- motions and steering ---------------------------------------------------------------

void AIPlayerActor::ApplyMotion(uint32_t motion) {
    Actor *character = Character();
    if (character == nullptr) {
        return;
    }
    standingMotion = 0;
    if (motion >= kAIMotionCount) {
        return;
    }
    SendText(character, cmd::skin_object::SetMotion, kMotionNames[motion]);
    if (IsStandingMotion(motion)) {
        standingMotion = 1;
    }
}

void AIPlayerActor::SteerTo(const Vector3 &point, float factor) {
    auto *character = dynamic_cast<CharacterActor *>(Character());
    if (character == nullptr) {
        return;
    }
    const Vector3 c = character->GetWorldPosition();
    steerYaw = YawBetweenPoints(c, point);
    SendReal(character, cmd::character::SetRotY_976, steerYaw);
    SendReal(character, cmd::character::SetTurnSpeed, factor * turnSpeed);
    SendReal(character, cmd::character::SetLookRotX, PitchBetweenPoints(c, point));
    const float e = Wrap(steerYaw - character->look.rotYSmooth);
    const float k = std::clamp(std::fabs(e) - 0.3f, 0.0f, 999.0f) * 10.0f + 1.0f;
    // A point at (or next to) the character counts as one unit away.
    const float d = std::max(Distance(point, c), 1.0f);
    const float s = 260.0f / d * k;
    SendReal(character, cmd::character::SetLookRotYSpeed, s);
    SendReal(character, cmd::character::SetLookRotXSpeed, s * 0.02f);
}

void AIPlayerActor::SteerToActor(Actor *actor, float factor) {
    if (actor != nullptr) {
        SteerTo(actor->GetWorldPosition(), factor);
    }
}

// --- the state machine -------------------------------------------------------------------

void AIPlayerActor::Take(Actor *actor) { targetLink.Assign(actor); }

void AIPlayerActor::ReleaseTarget() {
    targetLink.Release();
    trailLeaderId = -1;
}

void AIPlayerActor::SetState(int32_t newState) {
    if (newState == aiState) {
        return;
    }
    const int32_t old = aiState;
    previousState = old;
    aiState = newState;
    stateTimer = 0.0f;
    LeaveState(old, newState);
    EnterState(newState);
}

void AIPlayerActor::LeaveState(int32_t old, int32_t now) {
    switch (old) {
    case kAIPIdle:
        Raise(cmd::ai_player::OnAIPlayerStopIdle);
        if (now == kAIPFollow) {
            Raise(cmd::ai_player::OnAIPlayerIdleToFollow);
        }
        break;
    case kAIPFight:
        StopTrail();
        followTrail = 0;
        Raise(cmd::ai_player::OnAIPlayerStopFight);
        retargetTimer = 0.0f;
        break;
    case kAIPFollow:
        StopTrail();
        followTrail = 0;
        Raise(cmd::ai_player::OnAIPlayerStopFollow);
        if (now == kAIPIdle) {
            Raise(cmd::ai_player::OnAIPlayerFollowToIdle);
        } else if (now == kAIPScared) {
            Raise(cmd::ai_player::OnAIPlayerFollowToScared);
        } else if (now == kAIPFight) {
            Raise(cmd::ai_player::OnAIPlayerFollowToFight);
        }
        retargetTimer = 0.0f;
        break;
    case kAIPDead:
        Raise(cmd::ai_player::OnAIPlayerStopDead);
        break;
    case kAIPGoTo:
        goToPoints.clear();
        break;
    case kAIPScared:
        Raise(cmd::ai_player::OnAIPlayerStopScared);
        if (now == kAIPIdle) {
            Raise(cmd::ai_player::OnAIPlayerScaredToIdle);
        } else if (now == kAIPFollow) {
            Raise(cmd::ai_player::OnAIPlayerScaredToFollow);
        }
        break;
    default:
        break;
    }
}

void AIPlayerActor::EnterState(int32_t now) {
    switch (now) {
    case kAIPIdle:
        ApplyMotion(kAIMotionStand);
        SetMotion(kAIMotionStand);
        Raise(cmd::ai_player::OnAIPlayerStartIdle);
        break;
    case kAIPFight:
        Raise(cmd::ai_player::OnAIPlayerStartFight);
        if (aiType == 0) {
            StartTrail(Target(), 0.2f);
            followTrail = 1;
            PlanLevel(Target());
        }
        ApplyMotion(kAIMotionAttack0);
        targetVisible = 1;
        ChooseAttackMotion();
        break;
    case kAIPFollow:
        StartTrail(Target(), 0.2f);
        followTrail = 1;
        Raise(cmd::ai_player::OnAIPlayerStartFollow);
        break;
    case kAIPDead:
        Raise(cmd::ai_player::OnAIPlayerStartDead);
        break;
    case kAIPGoTo:
        StopTrail();
        followTrail = 0;
        break;
    case kAIPScared:
        Raise(cmd::ai_player::OnAIPlayerStartScared);
        break;
    default:
        break;
    }
}

// --- the think -------------------------------------------------------------------------

void AIPlayerActor::Process() {
    if (!IsOperational()) {
        return;
    }
    Actor *character = Character();
    // Gone is final: the character it hurt or killed takes it nowhere else.
    if (character != nullptr && HealthOf(character) <= 0.0f && aiState != kAIPDead &&
        aiState != kAIPGone) {
        SetState(kAIPDead);
    }
    character = Character();
    if (character != nullptr && IsSuspended(character) && aiState != kAIPDead) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    delta_ = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    stateTimer += delta_;
    retargetTimer += delta_;
    actionCountdown -= delta_;
    if (drawn == 0) {
        notDrawnTimer += delta_;
        if (deleteIfNotDrawn != 0 && notDrawnTimer > deleteIfNotDrawnTime) {
            notDrawnTimer = 0.0f;
            deleteIfNotDrawn = 0;
            SetState(kAIPGone);
            SendReal(Character(), cmd::character::Hurt, 100000.0f);
            return;
        }
        if (notDrawnEventTime != 0.0f && notDrawnTimer > notDrawnEventTime) {
            notDrawnTimer = 0.0f;
            Raise(cmd::ai_player::OnAIPlayerNotDrawnTimer);
        }
    }
    SampleTrail();
    RunState();
    Actor::Process();
}

void AIPlayerActor::SampleTrail() {
    Actor *leader = TrailLeader();
    if (leader == nullptr || trailCap == 0) {
        return;
    }
    trailSampleAcc += delta_;
    if (trailSampleAcc > trailInterval) {
        AddTrailSample(trail, leader->GetWorldPosition(), trailCap);
        trailSampleAcc -= trailInterval;
    }
}

void AIPlayerActor::RunState() {
    switch (aiState) {
    case kAIPIdle:
        IdleTick();
        break;
    case kAIPExplore:
        if (Actor *exit = ExploreExit()) {
            SteerToActor(exit, 4.0f);
            SetMotion(kAIMotionWalk);
        }
        break;
    case kAIPFight:
        FightTick();
        break;
    case kAIPFollow:
        FollowTick();
        break;
    case kAIPDead:
        DeadTick();
        break;
    case kAIPGoTo:
        GoToTick();
        break;
    case kAIPScared:
        if (stateTimer > 2.0f) {
            SetState(kAIPIdle);
        }
        SetMotion(kAIMotionStand);
        break;
    default:
        break;
    }
}

void AIPlayerActor::IdleTick() {
    Actor *character = Character();
    SendIfPresent(character, cmd::character::CCRAction1Stop, ParamBlock());
    SendIfPresent(character, cmd::character::CCRAction2Stop, ParamBlock());
    SetMotion(kAIMotionStand);
}

void AIPlayerActor::DeadTick() {
    Actor *character = Character();
    SendIfPresent(character, cmd::character::CCRAction1Stop, ParamBlock());
    SendIfPresent(character, cmd::character::CCRAction2Stop, ParamBlock());
    if (stateTimer <= deathDelay || drawn != 0) {
        return;
    }
    switch (deathType) {
    case 1:
        SetState(kAIPGone);
        SendIfPresent(Character(), cmd::base::Kill, ParamBlock());
        break;
    case 2:
    case 3:
        SendReal(character, cmd::character::SetHealth, startHealth);
        SendWord(character, cmd::character::SetDeadLock, 0);
        SetState(kAIPIdle);
        break;
    default:
        break;
    }
}

void AIPlayerActor::GoToTick() {
    SetMotion(goToMotion);
    Actor *character = Character();
    if (goToPoints.empty() || character == nullptr) {
        return;
    }
    SteerTo(goToPoints.front(), 8.0f);
    if (Distance(character->GetWorldPosition(), goToPoints.front()) < 200.0f) {
        goToPoints.erase(goToPoints.begin());
    }
}

// --- what the character receives ----------------------------------------------------------

void AIPlayerActor::SpyNotice(ParamBlock block) {
    const auto notice = block.Read<CommandSpyNotice>(0);
    Actor *character = Character();
    if (notice.block == nullptr || character == nullptr || notice.actor != character) {
        return;
    }
    const ParamBlock spied = *notice.block;
    switch (notice.commandId) {
    case cmd::base::OnEnterDrawGroup:
        if (aiState != kAIPInactive) {
            EnterDrawGroup(spied.ReadI32(0));
        }
        break;
    case cmd::base::OnExitDrawGroup:
        if (aiState != kAIPInactive) {
            ExitDrawGroup(spied.ReadI32(0));
        }
        break;
    case cmd::base::CollisionEvent:
        CollisionNotice(spied);
        break;
    case cmd::base::OnDrawStart:
        drawn = 1;
        break;
    case cmd::base::OnDrawStop:
        drawn = 0;
        if (aiState != kAIPDead && canOpenDoor == 0) {
            SetState(kAIPIdle);
        }
        notDrawnTimer = 0.0f;
        break;
    case cmd::character::ChangeCPHealth:
        HurtNotice();
        break;
    case cmd::character::Action:
        ActionNotice(spied);
        break;
    case cmd::character::MotionQueueEmptied:
        if (aiState == kAIPFight) {
            ChooseAttackMotion();
        }
        break;
    case cmd::character::OnDie:
        if (aiState != kAIPGone) {
            SetState(kAIPDead);
        }
        break;
    case cmd::character::OnJumpStop_1067:
        ApplyMotion(kAIMotionRun);
        break;
    case cmd::skin_object::CallbackSkinLooping:
        if (aiState != kAIPInactive && aiState != kAIPFight) {
            ApplyMotion(wantedMotion);
        }
        break;
    case cmd::skin_object::CallbackMotionSet:
        MotionSetNotice(spied);
        break;
    default:
        break;
    }
}

void AIPlayerActor::CollisionNotice(ParamBlock block) {
    Actor *character = Character();
    if (aiState == kAIPInactive || actionCountdown > 0.0f || IsSuspended(character)) {
        return;
    }
    const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
    const auto *own = static_cast<const ColObj *>(block.ReadPointer(sizeof(void *)));
    if (other == nullptr || own == nullptr || other->owner == nullptr) {
        return;
    }
    Actor *owner = other->owner;
    if (canOpenDoor != 0 && (own->flags & kColObjDynamic) != 0 && owner->classId == kDoorClassId) {
        if (aiState == kAIPFight || aiState == kAIPFollow) {
            const int32_t action[2] = {character->actorId, -1};
            owner->HandleCommand(cmd::character::Action,
                                 ParamBlock(const_cast<int32_t *>(action), sizeof(action)));
        }
        return;
    }
    if (AreDrawGroupsConnected(owner->drawGroupId, character->drawGroupId) == 0 ||
        owner->classId != kCharacterClassId) {
        return;
    }
    const bool hearing = !own->name.empty() && own->name[0] == 'H';
    const bool vision = !own->name.empty() && own->name[0] == 'V';
    if (hearing || vision) {
        Perceive(owner, hearing, vision);
    }
}

void AIPlayerActor::ActionNotice(ParamBlock block) {
    if (aiState == kAIPInactive || actionCountdown > 0.0f || IsSuspended(Character())) {
        return;
    }
    const int32_t id = block.ReadI32(0);
    Actor *actor = id >= 0 ? GetActorById(static_cast<uint32_t>(id)) : nullptr;
    if (actor == nullptr || (GroupOf(actor) & followGroup) == 0) {
        return;
    }
    if (aiState == kAIPIdle || aiState == kAIPScared) {
        Take(actor);
        SetState(kAIPFollow);
        actionCountdown = 5.0f;
    } else if (aiState == kAIPFollow) {
        SetState(kAIPIdle);
        ReleaseTarget();
        actionCountdown = 5.0f;
    }
}

void AIPlayerActor::HurtNotice() {
    if (fightGroup == 0 ||
        !(aiState == kAIPIdle || (aiState == kAIPGoTo && canFightInGoTo != 0))) {
        return;
    }
    Actor *player = FindActorByName("GA1_Player", static_cast<int32_t>(kCharacterClassId));
    if (player != nullptr && (GroupOf(player) & fightGroup) != 0 && HealthOf(player) >= 0.0f) {
        Take(player);
        SetState(kAIPFight);
    }
}

void AIPlayerActor::MotionSetNotice(ParamBlock block) {
    if (aiState != kAIPFight) {
        return;
    }
    if (!IsAttackMotion(block.ReadString(0))) {
        return;
    }
    // Without a valid selection (the first attack motion of a fight, an
    // attack deleted since) the hit test comes after a quarter second.
    const AttackParam *attack = SelectedEntry(attacks, selectedAttack);
    evalCountdown = attack != nullptr ? attack->evalDelay : 0.25f;
}
