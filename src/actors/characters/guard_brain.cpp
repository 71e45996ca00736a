// The Guard's binding to its character and path, its per-frame work, the
// state machine with its events, and the walk over the Path Node tree.
#include <cmath>
#include <string>

#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/characters/guard_actor.h"
#include "actors/characters/guard_internal.h"
#include "actors/world/path_node_actor.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/process_entry.h"
#include "core/actors/time_record.h"

using namespace guard;

namespace {

constexpr uint32_t kSceneryId = 2;
constexpr float kBindRaise = 40.0f;
constexpr float kRespawnRaise = 60.0f;

// The motion names by GuardMotion id; null where the id has none.
const char *MotionName(int32_t id) {
    switch (id) {
    case kMotionRun:
        return "R_Forward";
    case kMotionStand:
        return "N_Neutral";
    case kMotionWalk:
        return "N_Forward";
    case kMotionGuarding:
        return "N_Guarding";
    case kMotionExhausted:
        return "N_Exhausted";
    case kMotionSleep:
        return "S_Neutral";
    default:
        return nullptr;
    }
}

struct StateEvents {
    uint32_t start;
    uint32_t stop;
};
// Start and stop events by state; 0 none (Idle).
constexpr StateEvents kEvents[] = {
    {1344, 1345}, {1346, 1347}, {1338, 1339}, {1350, 1351}, {1354, 1355}, {1348, 1349},
    {1340, 1341}, {1352, 1353}, {0, 0},       {1356, 1357}, {1342, 1343},
};
constexpr uint32_t kStateCount = sizeof(kEvents) / sizeof(kEvents[0]);

} // namespace

// --- binding ------------------------------------------------------------------------

int GuardActor::Bind() {
    if (characterTemplateId != -1) {
        if (guardType == kGuardBox) {
            guardType = kGuardPath;
        }
        currentNode = -1;
        hasPath = 0;
        if (FindChildOfClass(this, kPathNodeClassId) != nullptr) {
            hasPath = 1;
            currentNode = actorId;
            NextPathNode();
        }
        if (currentNode == -1) {
            state &= ~kActorOperational;
            return 0;
        }
        // A guard bound already keeps its character: a second copy would
        // leave the first one driven by nobody.
        if (character.target == nullptr) {
            Actor *source = characterTemplateId >= 0 ? GetActorById(characterTemplateId) : nullptr;
            Actor *copy = source != nullptr ? CopyActorTree(source, GetActorById(kSceneryId))
                                            : nullptr;
            if (copy == nullptr) {
                state &= ~kActorOperational;
                return 0;
            }
            character.Assign(copy);
            if (auto *body = dynamic_cast<CharacterActor *>(copy)) {
                body->brain.Assign(this);
            }
            Matrix matrix = GetWorldMatrix();
            matrix.m[3][1] += kBindRaise;
            copy->HandleCommand(cmd::base::SetMatrix, ParamBlock(&matrix, sizeof(matrix)));
            SendWord(copy, cmd::base::SetMaster, 1);
            SendReal(copy, cmd::character::SetHoldTime, 0.0f);
            SendWord(copy, cmd::base::AddCommandSpy, static_cast<uint32_t>(actorId));
            SendWord(copy, cmd::character::SetDirectionBehaviour, 0);
            startHealth = QueryReal(copy, cmd::character::GetHealth);
        }
        attackIndex = 0;
        attackPool.clear();
        for (const AttackParam &attack : attackParams) {
            attackPool.push_back(attack.weight);
        }
    }
    EnsureProcessEntry(*this);
    return 1;
}

// --- state machine ----------------------------------------------------------------

void GuardActor::SetState(uint32_t newState) {
    if (newState == guardState) {
        return;
    }
    const uint32_t oldState = guardState;
    previousState = static_cast<int32_t>(oldState);
    guardState = newState;
    stateTime = 0.0f;
    jumpTimer = 0.0f;
    if (oldState < kStateCount && kEvents[oldState].stop != 0) {
        HandleCommand(kEvents[oldState].stop, ParamBlock());
    }
    EnterState(newState, oldState);
}

void GuardActor::EnterState(uint32_t newState, uint32_t oldState) {
    if (newState >= kStateCount) {
        return;
    }
    const uint32_t startEvent = kEvents[newState].start;
    auto raiseStart = [&] {
        if (startEvent != 0) {
            HandleCommand(startEvent, ParamBlock());
        }
    };
    const bool fromSleep = oldState == kGuardSleep;
    Actor *body = character.target;
    switch (newState) {
    case kGuardPatrol:
    case kGuardFight:
        StopTrail();
        raiseStart();
        if (fromSleep) {
            SetMotion(kMotionStand);
        }
        return;
    case kGuardHunt:
        StartTrail(target.target, 0.2f);
        followTrail = 1;
        sightTimer = unseenTime = 0.0f;
        returnTrail.clear();
        returnTimer = 0.0f;
        if (fromSleep) {
            SetMotion(kMotionStand);
        }
        break;
    case kGuardHit:
        StopTrail();
        catchTimer = 5.0f;
        ApplyHit(target.target, 1.0f);
        sinceStrike = 0.0f;
        break;
    case kGuardHuntedState:
        StopTrail();
        sightTimer = unseenTime = 0.0f;
        returnTrail.clear();
        returnTimer = 0.0f;
        if (previousNode != -1) {
            currentNode = previousNode;
            walkForward = walkForward != 0 ? 0 : 1;
        }
        break;
    case kGuardDead:
        StopTrail();
        SendReal(body, cmd::character::SetHoldTime, -1.0f);
        SendIfPresent(body, cmd::character::MotionQueueClear, ParamBlock());
        SendText(body, cmd::character::MotionQueuePushBack, "N_Die0");
        SendText(body, cmd::character::MotionQueuePushBack, "N_Dead0");
        sinceStrike = 1.0e38f;
        break;
    case kGuardIdle:
        break;
    default: // Sleep, Return To Patrol, Pause In Hunt, Pause In Patrol
        StopTrail();
        break;
    }
    raiseStart();
}

void GuardActor::SetMotion(int32_t id) {
    motionId = id;
    if (const char *name = MotionName(id)) {
        SendText(character.target, cmd::skin_object::SetMotion, name);
    }
}

void GuardActor::FaceActor(Actor *actor, float turnSpeed) {
    Actor *body = character.target;
    if (body == nullptr || actor == nullptr) {
        return;
    }
    faceYaw = YawBetweenPoints(body->GetWorldPosition(), actor->GetWorldPosition());
    SendReal(body, cmd::character::SetRotY_976, faceYaw);
    SendReal(body, cmd::character::SetTurnSpeed, turnSpeed);
}

void GuardActor::FacePoint(const Vector3 &point, float turnSpeed) {
    Actor *body = character.target;
    if (body == nullptr) {
        return;
    }
    faceYaw = YawBetweenPoints(body->GetWorldPosition(), point);
    SendReal(body, cmd::character::SetRotY_976, faceYaw);
    SendReal(body, cmd::character::SetTurnSpeed, turnSpeed);
    SendReal(body, cmd::character::SetLookRotY, faceYaw);
}

// --- per frame --------------------------------------------------------------------

void GuardActor::Process() {
    if (!IsOperational()) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    const float dt = timeRecord != nullptr ? timeRecord->delta : 0.0f;
    Actor *body = character.target;
    if (auto *asleep = dynamic_cast<CharacterActor *>(body);
        asleep != nullptr && (asleep->charFlags & kCharSuspended) != 0) {
        return;
    }
    if (trailTarget.target != nullptr && trailMax != 0) {
        SampleTrail(dt);
    }
    // Without its character the guard has nothing left to drive.
    if (body == nullptr) {
        return;
    }
    DeathAndCatch(dt);
    if (character.target == nullptr) {
        return;
    }
    stateTime += dt;
    sinceStrike += dt;
    farTime += dt;
    evalTimer -= dt;
    if (evalTimer < 0.0f) {
        EvaluateAttack();
    }
    if (hasPath != 0 && character.target != nullptr) {
        StateTick(dt);
    }
}

void GuardActor::StateTick(float dt) {
    Actor *body = character.target;
    if (body == nullptr) {
        return;
    }
    // A hunt, strike or fight whose target has gone is over.
    if (target.target == nullptr &&
        (guardState == kGuardHunt || guardState == kGuardHit || guardState == kGuardFight)) {
        SetState(kGuardReturnToPatrol);
        return;
    }
    switch (guardState) {
    case kGuardSleep:
        SetMotion(kMotionSleep);
        break;
    case kGuardPatrol: {
        Actor *node = NodeOrRestart(currentNode);
        FaceActor(node, 2.0f);
        SetMotion(kMotionWalk);
        if (HorizontalDistance(body->GetWorldPosition(), node->GetWorldPosition()) <
            turnDistance) {
            NextPathNode();
        }
        break;
    }
    case kGuardHunt:
        TickHunt(dt);
        break;
    case kGuardReturnToPatrol:
        TickReturnToPatrol(dt);
        break;
    case kGuardHit:
        FaceActor(target.target, 10.0f);
        SetMotion(kMotionGuarding);
        if (stateTime > 2.0f) {
            SetState(kGuardReturnToPatrol);
        }
        break;
    case kGuardPauseInHunt:
        SetMotion(kMotionExhausted);
        if (stateTime > 10.0f) {
            SetState(kGuardReturnToPatrol);
        }
        break;
    case kGuardFight:
        TickFight();
        break;
    case kGuardHuntedState: {
        Actor *node = NodeOrRestart(currentNode);
        FaceActor(node, 2.0f);
        SetMotion(kMotionRun);
        if (HorizontalDistance(body->GetWorldPosition(), node->GetWorldPosition()) <
            turnDistance) {
            NextPathNode();
        } else if (stateTime > 30.0f) {
            SetState(kGuardPatrol);
        }
        break;
    }
    case kGuardIdle:
        SetMotion(kMotionStand);
        break;
    case kGuardDead:
        TickDead();
        break;
    case kGuardPauseInPatrol:
        SetMotion(kMotionStand);
        if (stateTime > pauseTime) {
            SetState(kGuardPatrol);
        }
        break;
    default:
        break;
    }
}

void GuardActor::RunJumpClock(float dt) {
    jumpTimer += dt;
    if (jumpTimer > jumpInterval) {
        jumpTimer = 0.0f;
        SendIfPresent(character.target, cmd::character::CCJump, ParamBlock());
    }
}

void GuardActor::TickHunt(float dt) {
    Actor *body = character.target;
    Actor *hunted = target.target;
    if (previousState == kGuardSleep && stateTime < 4.0f) {
        SetMotion(kMotionStand);
        return;
    }
    trailMax = kTrailMaxPoints;
    const Vector3 here = body->GetWorldPosition();
    if (trailTarget.target != nullptr && followTrail != 0 && !huntTrail.empty() &&
        HorizontalDistance(huntTrail.front(), here) < 100.0f) {
        huntTrail.pop_front();
    }
    if (trailTarget.target != nullptr && followTrail != 0 && !huntTrail.empty()) {
        FacePoint(huntTrail.front(), 6.0f);
    } else {
        FaceActor(hunted, 6.0f);
    }
    returnTimer += dt;
    if (returnTimer > 0.333f) {
        returnTrail.push_back(here);
        returnTimer = 0.0f;
    }
    sightTimer += dt;
    if (sightTimer > 0.5f) {
        if (!CanSee(hunted)) {
            unseenTime += sightTimer;
        } else {
            unseenTime = 0.0f;
        }
        if (unseenTime > 5.0f) {
            SetState(kGuardReturnToPatrol);
            return;
        }
        sightTimer = 0.0f;
    }
    const float d = Distance(here, hunted->GetWorldPosition());
    if (trailTarget.target != nullptr && d < 200.0f) {
        StopTrail();
    }
    if (stateTime > 3.0f && d < hitDistance && CanSee(hunted) && CharacterHoldTime() <= 0.0f) {
        SetState(kGuardHit);
        return;
    }
    SetMotion(kMotionRun);
    RunJumpClock(dt);
    if (stateTime > 15.0f) {
        SetState(kGuardPauseInHunt);
    }
}

void GuardActor::TickReturnToPatrol(float dt) {
    Actor *body = character.target;
    const Vector3 here = body->GetWorldPosition();
    Actor *back = Node(previousNode);
    if (back == nullptr) {
        back = this; // the node walked to before has gone
    }
    if (!returnTrail.empty()) {
        FacePoint(returnTrail.back(), 4.0f);
        if (HorizontalDistance(here, returnTrail.back()) < turnDistance) {
            returnTrail.pop_back();
            if (FindRestartNode() == 1) {
                SetState(kGuardPatrol);
                return;
            }
        }
    } else {
        FaceActor(back, 4.0f);
    }
    if (HorizontalDistance(here, back->GetWorldPosition()) < turnDistance) {
        SetState(kGuardPatrol);
        return;
    }
    if (stateTime >= 3.0f) {
        RunJumpClock(dt);
    }
    SetMotion(kMotionWalk);
    if (stateTime > 30.0f) {
        Respawn(GetWorldPosition(),
                Query(this, cmd::base::GetWSQuaternion, Quaternion{0.0f, 0.0f, 0.0f, 1.0f}));
        SetState(kGuardPatrol);
        currentNode = actorId;
        NextPathNode();
        stateTime = 0.0f;
    }
}

void GuardActor::Respawn(const Vector3 &at, const Quaternion &rotation) {
    Actor *body = character.target;
    SendCommandArgs(body, cmd::base::SetPosition, Vector3{at.x, at.y + kRespawnRaise, at.z});
    Quaternion q = rotation;
    SendIfPresent(body, cmd::base::SetQuaternion, ParamBlock(&q, sizeof(q)));
}

// --- the walk -----------------------------------------------------------------------

Actor *GuardActor::Node(int32_t id) {
    if (id == actorId) {
        return this;
    }
    Actor *node = id >= 0 ? GetActorById(static_cast<uint32_t>(id)) : nullptr;
    if (node == nullptr || node->classId != kPathNodeClassId) {
        return nullptr;
    }
    for (Actor *above = node->parent; above != nullptr; above = above->parent) {
        if (above == this) {
            return node;
        }
    }
    return nullptr;
}

Actor *GuardActor::NodeOrRestart(int32_t &id) {
    if (Actor *node = Node(id)) {
        return node;
    }
    // The node has gone: the walk starts again at the guard.
    id = actorId;
    walkForward = 1;
    return this;
}

void GuardActor::NextPathNode() {
    Actor *node = NodeOrRestart(currentNode);
    previousNode = currentNode;
    if (useNodeTime != 0) {
        pauseTime = QueryReal(node, cmd::path_node::GetPathnodeTime);
        if (pauseTime != 0.0f) {
            SetState(kGuardPauseInPatrol);
        }
    }
    // The pause's events may have changed the tree.
    node = NodeOrRestart(currentNode);
    Actor *next = walkForward != 0 ? StepForward(node) : StepBack(node);
    currentNode = next != nullptr ? next->actorId : actorId;
}

Actor *GuardActor::StepForward(Actor *node) {
    std::vector<Actor *> nodes;
    std::vector<uint32_t> weights;
    for (Actor *child : node->children) {
        if (child != nullptr && child->classId == kPathNodeClassId) {
            nodes.push_back(child);
            weights.push_back(QueryWord(child, cmd::path_node::GetPathnodeRandweight));
        }
    }
    const int32_t drawn = WeightedDraw(weights);
    if (drawn >= 0) {
        return nodes[static_cast<size_t>(drawn)];
    }
    walkForward = 0;
    if (node != this && QueryWord(node, cmd::path_node::GetPathnodeEndtype) == kPathEndLoop) {
        return this;
    }
    return node != this ? node->parent : this;
}

Actor *GuardActor::StepBack(Actor *node) {
    if (node != this && node->parent != nullptr && node->parent->classId == kPathNodeClassId) {
        return node->parent;
    }
    walkForward = 1;
    return this;
}

int GuardActor::FindRestartNode() {
    Actor *body = character.target;
    if (body == nullptr) {
        return 0;
    }
    Vector3 p = body->GetWorldPosition();
    p.y -= 20.0f;
    struct {
        Vector3 point;
        float best;
        uint32_t id;
    } query{p, Distance(p, GetWorldPosition()), static_cast<uint32_t>(actorId)};
    static_assert(sizeof(query) == 20);
    SendCommandToChildren(this, cmd::path_node::NearestPathNode, ParamBlock(&query, sizeof(query)));
    Actor *winner = Node(static_cast<int32_t>(query.id));
    if (winner == nullptr || !IsPathClear(winner)) {
        return 0;
    }
    currentNode = winner->actorId;
    walkForward = 0;
    return 1;
}
