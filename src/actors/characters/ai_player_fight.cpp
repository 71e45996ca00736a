// The AI Player's main behaviours: following a leader along its trail,
// fighting (the Normal type chases its target, over AI Helper stair markers
// to another level; the Static type stays put), drawing and landing
// attacks, perceiving other characters, the draw-group memory used to
// explore, and the search for a route to a named actor.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player_actor.h"
#include "actors/characters/ai_player_internal.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/subsystem_hooks.h"

using namespace aiplayer;

namespace {

// The line of sight sees through pure event objects and characters' own
// sensors (groups 0x40000, 0x4000000 and 0x10).
constexpr uint32_t kSightMasks[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0x48010u};

size_t MotionQueueSize(Actor *character) {
    const auto *body = dynamic_cast<const CharacterActor *>(character);
    return body != nullptr ? body->motionQueue.size() : 0;
}

// a's height minus b's; 0 within the tolerance.
float HeightDiff(Actor *a, Actor *b, float tolerance) {
    const float d = a->GetWorldPosition().y - b->GetWorldPosition().y;
    return std::fabs(d) < tolerance ? 0.0f : d;
}

} // namespace

// --- trail and stuck detector --------------------------------------------------------------

void AIPlayerActor::StartTrail(Actor *leader, float interval) {
    trail.clear();
    trailLeaderId = leader != nullptr ? leader->actorId : -1;
    trailInterval = interval;
    trailSampleAcc = 0.0f;
}

void AIPlayerActor::StopTrail() {
    trailInterval = trailSampleAcc = 0.0f;
    trailLeaderId = -1;
}

float AIPlayerActor::StuckTime(float radius) {
    const Vector3 at = GetWorldPosition();
    if (stuckPosSet == 0 || HorizontalDistance(stuckPos, at) > radius) {
        stuckPosSet = 1;
        stuckPos = at;
        stuckTime = 0.0f;
        return 0.0f;
    }
    stuckTime += delta_;
    return stuckTime;
}

// --- following -----------------------------------------------------------------------------

void AIPlayerActor::FollowTick() {
    Actor *character = Character();
    Actor *leader = Target();
    if (character == nullptr || leader == nullptr) {
        return;
    }
    const float d = Distance(character->GetWorldPosition(), leader->GetWorldPosition());
    float f = 1.0f;
    if (d > 2.0f * followDistance) {
        SetMotion(kAIMotionRun);
        trailCap = 32;
        f = 8.0f;
    } else if (d >= 0.5f * followDistance) {
        SetMotion(kAIMotionWalk);
        trailCap = 8;
        f = 2.0f;
    } else {
        trail.clear();
        SetMotion(kAIMotionStand);
        trailCap = 2;
    }
    if (standingMotion == 0) {
        if (!trail.empty()) {
            const float h = HorizontalDistance(GetWorldPosition(), trail.front());
            if (h > 8000.0f) {
                StopTrail();
                followTrail = 0;
                SetState(kAIPIdle);
                return;
            }
            if (h < 100.0f) {
                trail.pop_front();
            }
            if (!trail.empty()) {
                SteerTo(trail.front(), f);
            }
        }
        StuckTime(40.0f);
        float limit = 2.5f;
        if (hasJumpMotion != 0) {
            if (stuckTime > 1.5f) {
                SendIfPresent(Character(), cmd::character::CCJump, ParamBlock());
            }
            limit = 3.0f;
        }
        if (stuckTime > limit) {
            SetState(kAIPIdle);
        }
    } else {
        stuckTime = 0.0f;
    }
    if (followMaxTime != 0.0f && stateTimer > followMaxTime) {
        SetState(kAIPIdle);
    }
}

// --- fighting ------------------------------------------------------------------------------

void AIPlayerActor::FightTick() {
    Actor *character = Character();
    Actor *foe = Target();
    if (character == nullptr || foe == nullptr) {
        return;
    }
    if (aiType == 1) {
        halfSecondAcc += delta_;
        if (halfSecondAcc > 0.5f) {
            halfSecondAcc = 0.0f;
            sinceSightLost += 0.5f;
            const uint32_t vis = LineOfSight(foe);
            if (vis != 0 && targetVisible == 0) {
                sinceSightLost = 0.0f;
            }
            if (sinceSightLost > 6.0f) {
                sinceSightLost = 0.0f;
                SetState(kAIPIdle);
            }
            targetVisible = vis;
        }
        const float d = Distance(character->GetWorldPosition(), foe->GetWorldPosition());
        if (d < fightDistance) {
            SteerToActor(foe, 6.0f);
        }
        if (d < fightHitDistance && MotionQueueSize(Character()) >= 2) {
            SendIfPresent(Character(), cmd::character::MotionQueueClear, ParamBlock());
            ChooseAttackMotion();
        }
    } else {
        if (HealthOf(foe) <= 0.0f) {
            ReleaseTarget();
            SetState(kAIPIdle);
            return;
        }
        FightStep(delta_);
    }
    // The hit timer of the running attack.
    evalCountdown -= delta_;
    if (evalCountdown < 0.0f) {
        EvaluateHit();
    }
}

float AIPlayerActor::AttackDistance() const {
    Actor *character = Character();
    Actor *foe = Target();
    return character != nullptr && foe != nullptr
               ? Distance(character->GetWorldPosition(), foe->GetWorldPosition())
               : 999.0f;
}

// The Normal fighter's frame before the hit timer.
void AIPlayerActor::FightStep(float dt) {
    Actor *foe = Target();
    if (markerIndex != -1) {
        Actor *marker = markerIndex >= 0 && static_cast<size_t>(markerIndex) < markerIds.size()
                            ? ActorAt(markerIds[static_cast<size_t>(markerIndex)])
                            : nullptr;
        auto *helper = dynamic_cast<AIHelperActor *>(marker);
        if (helper == nullptr) {
            // A marker that went ends the stair walk.
            markerIndex = -1;
            return;
        }
        SteerToActor(helper, 4.0f);
        SetMotion(kAIMotionWalk);
        const Vector3 self = GetWorldPosition();
        if (Distance(self, foe->GetWorldPosition()) < 250.0f) {
            markerIndex = -1;
            targetVisible = 1;
            ChooseAttackMotion();
        } else if (Distance(self, helper->GetWorldPosition()) < helper->radius + 100.0f) {
            markerIndex += markerStep;
            if (markerIndex < 0 || static_cast<size_t>(markerIndex) >= markerIds.size()) {
                markerIndex = -1;
                if (PlanLevel(Target()) == 0) {
                    ChooseAttackMotion();
                }
            }
        }
        return;
    }
    if (HeightDiff(this, foe, 50.0f) != 0.0f) {
        replanTimer += dt;
        if (replanTimer > 5.0f) {
            PlanLevel(foe);
            replanTimer = 0.0f;
        }
    } else {
        replanTimer = 0.0f;
    }
    trailCap = 65;
    Actor *character = Character();
    const Vector3 c = character->GetWorldPosition();
    if (followTrail != 0 && !trail.empty() && HorizontalDistance(trail.front(), c) < 140.0f) {
        trail.pop_front();
    }
    const float d = Distance(c, foe->GetWorldPosition());
    if (standingMotion != 0) {
        stuckTime = 0.0f;
    }
    halfSecondAcc += dt;
    if (halfSecondAcc > 0.5f) {
        halfSecondAcc = 0.0f;
        sinceSightLost += 0.5f;
        sinceSightRegained += 0.5f;
        const uint32_t vis = LineOfSight(foe);
        if (vis != 0 && targetVisible == 0) {
            sinceSightRegained = 0.0f;
        }
        if (vis == 0 && targetVisible != 0) {
            sinceSightLost = 0.0f;
        }
        if (sinceSightLost > 6.0f) {
            sinceSightLost = 0.0f;
            SetState(kAIPIdle);
        }
        if (sinceSightRegained > 4.0f) {
            if (vis != 0 && d > 2.0f * fightHitDistance) {
                sinceSightRegained = 0.0f;
                followTrail = 0;
            } else if (vis == 0 && followTrail == 0) {
                sinceSightRegained = 0.0f;
                // Back onto the trail from the point next to the character;
                // without one nothing is dropped.
                for (size_t i = 0; i < trail.size(); ++i) {
                    if (Distance(trail[i], c) < 100.0f) {
                        trail.erase(trail.begin(), trail.begin() + static_cast<long>(i) + 1);
                        break;
                    }
                }
                followTrail = 1;
            }
        }
        targetVisible = vis;
    }
    if (Target() == nullptr || Character() == nullptr) {
        return;
    }
    if (d < fightHitDistance && targetVisible != 0 && MotionQueueSize(character) >= 2) {
        SendIfPresent(character, cmd::character::MotionQueueClear, ParamBlock());
        followTrail = 0;
        trail.clear();
        ChooseAttackMotion();
    }
    if (d < fightDistance && targetVisible != 0) {
        SteerToActor(Target(), 6.0f);
    } else if (followTrail != 0 && !trail.empty()) {
        SteerTo(trail.front(), 6.0f);
    } else {
        SteerToActor(Target(), 6.0f);
    }
}

uint32_t AIPlayerActor::PlanLevel(Actor *targetActor) {
    markerIndex = -1;
    markerStep = -1;
    const std::vector<Actor *> markers = Markers();
    if (markers.empty() || targetActor == nullptr) {
        return 0;
    }
    const float diff = HeightDiff(this, targetActor, 50.0f);
    if (diff == 0.0f) {
        return 1;
    }
    for (size_t i = 0; i < markerIds.size(); ++i) {
        Actor *marker = ActorAt(markerIds[i], static_cast<int32_t>(kAIHelperClassId));
        if (marker != nullptr && HeightDiff(this, marker, 50.0f) == 0.0f) {
            markerIndex = static_cast<int32_t>(i);
            break;
        }
    }
    if (diff < 0.0f) {
        markerStep = 1;
    }
    return 1;
}

void AIPlayerActor::ChooseAttackMotion() {
    const int r = Rand() % 6;
    int n = 0;
    if (attacks.empty()) {
        n = Rand() % 4;
    } else {
        // The weights taken at "Precalculate", for attacks that still exist;
        // with none set every attack is as likely.
        const size_t count = std::min(attackPool.size(), attacks.size());
        int32_t drawn = ExpandedPoolDraw(std::span<const uint32_t>(attackPool.data(), count));
        if (drawn < 0) {
            drawn = static_cast<int32_t>(static_cast<size_t>(Rand()) % attacks.size());
        }
        selectedAttack = drawn;
        n = drawn;
    }
    char a[32];
    std::snprintf(a, sizeof(a), "M_Attack%d", n);
    Actor *character = Character();
    auto queue = [&](std::initializer_list<const char *> motions) {
        for (const char *motion : motions) {
            SendText(character, cmd::character::MotionQueuePushBack, motion);
        }
    };
    const float d = AttackDistance();
    if (neverRunInFight == 0 && d > fightDistance) {
        queue({"R_Forward"});
    } else if (d < 0.5f * fightHitDistance && targetVisible != 0 && fightDistance > 1000.0f) {
        queue({a});
    } else if (neverRunInFight == 0 && targetVisible == 0) {
        queue({"R_Forward"});
    } else {
        switch (r) {
        case 0:
            queue({a, "M_Forward"});
            break;
        case 1:
            queue({a, "M_Back", "M_Forward"});
            break;
        case 2:
            queue({a, "M_Back"});
            break;
        case 3:
            queue({a, "M_Right"});
            break;
        case 4:
            queue({a, "M_Left", "M_Left"});
            break;
        default:
            queue({a, "M_Right", "M_Right"});
            break;
        }
    }
}

void AIPlayerActor::EvaluateHit() {
    Actor *foe = Target();
    if (Character() != nullptr && foe != nullptr && AttackDistance() < fightHitDistance &&
        QueryReal(foe, cmd::character::GetHoldTime) <= 0.0f) {
        // An index past the list (or none) lands with the plain effect.
        const AttackParam *attack = SelectedEntry(attacks, selectedAttack);
        HitReaction(foe, attack != nullptr ? attack->effectMul : 1.0f);
        Actor *character = Character();
        SendIfPresent(character, cmd::character::MotionQueueClear, ParamBlock());
        SendText(character, cmd::character::MotionQueuePushBack, "M_Back");
    }
    evalCountdown = kAINoEvaluation;
}

void AIPlayerActor::HitReaction(Actor *victim, float mul) {
    if (victim == nullptr || QueryReal(victim, cmd::character::GetHoldTime) > 0.0f) {
        return;
    }
    const int32_t victimId = victim->actorId;
    SendHitMovements(victim, hitGethitId, hitDamageId);
    SendReal(victim, cmd::character::SetHoldTime, hitHoldTime);
    SendHitEffects(victim, victimId, hitEffects, GlobalHitEffectMultiplier * mul);
}

// --- perception ------------------------------------------------------------------------------

uint32_t AIPlayerActor::LineOfSight(Actor *other) {
    Actor *character = Character();
    ActorSystem *system = GetActorSystem();
    if (character == nullptr || other == nullptr || system == nullptr) {
        return 0;
    }
    const Vector3 from = QueryPoint(character, cmd::base::GetCenterPoint);
    const Vector3 to = QueryPoint(other, cmd::base::GetCenterPoint);
    Vector3 hit{};
    const ColObj *first = system->CollisionQuery(from, to, kSightMasks, &hit, nullptr);
    return first != nullptr && first->owner != nullptr && first->owner->actorId == other->actorId
               ? 1u
               : 0u;
}

void AIPlayerActor::Perceive(Actor *other, bool hearing, bool vision) {
    (void)vision;
    Actor *character = Character();
    if (other == nullptr || character == nullptr) {
        return;
    }
    const uint32_t group = GroupOf(other);
    const bool followable = followGroup != 0 && (group & followGroup) != 0;
    const bool hostile = fightGroup != 0 && (group & fightGroup) != 0;
    const float health = HealthOf(other);
    auto startFollowing = [&] {
        Take(other);
        SetState(kAIPFollow);
        actionCountdown = 5.0f;
    };
    auto startFight = [&] {
        Take(other);
        SetState(kAIPFight);
    };
    switch (aiState) {
    case kAIPIdle:
    case kAIPScared:
        if (followable && startFollow == 2 && LineOfSight(other) != 0) {
            startFollowing();
        } else if (hearing && followable && startFollow == 1 &&
                   Distance(character->GetWorldPosition(), other->GetWorldPosition()) <
                       followDistance &&
                   LineOfSight(other) != 0) {
            startFollowing();
        } else if (hostile && health > 0.0f && LineOfSight(other) != 0) {
            startFight();
        }
        break;
    case kAIPFight:
        if (retargetTimer > 10.0f && other != Target() && hostile && health >= 0.0f &&
            LineOfSight(other) != 0) {
            Take(other);
            retargetTimer = 0.0f;
        }
        break;
    case kAIPFollow:
        if (hostile && health > 0.0f && LineOfSight(other) != 0) {
            startFight();
        } else if (fightGroup == 0) {
            const auto *body = dynamic_cast<const CharacterActor *>(other);
            const auto *theirs =
                body != nullptr ? dynamic_cast<const AIPlayerActor *>(body->brain.target) : nullptr;
            if (theirs != nullptr && (theirs->fightGroup & GroupOf(character)) != 0 &&
                HealthOf(character) > 0.0f) {
                scaredAcc += delta_;
                if (scaredAcc > 2.0f && LineOfSight(other) != 0) {
                    SetState(kAIPScared);
                    scaredAcc = 0.0f;
                }
            }
        }
        break;
    case kAIPGoTo:
        if (canFightInGoTo != 0 && hostile && health > 0.0f && LineOfSight(other) != 0) {
            startFight();
        }
        break;
    default:
        break;
    }
}

// --- draw-group memory and routes -----------------------------------------------------------

namespace {

// The first connector of the group, in list order, that exists and lies
// closer than 200 to the point; -1 when none.
int32_t NearConnector(const DrawGroupActor &group, const Vector3 &at) {
    for (size_t i = 0; i < group.connectorIds.size(); ++i) {
        Actor *connector = ConnectorAt(group.connectorIds[i]);
        if (connector != nullptr && Distance(connector->GetWorldPosition(), at) < 200.0f) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

// Counts a pass at the connector near the point in the record, grown
// first to the group's connector count.
void CountPass(DrawGroupMemory &record, const DrawGroupActor &group, const Vector3 &at) {
    if (record.exits.size() < group.connectorIds.size()) {
        record.exits.resize(group.connectorIds.size(), 0);
    }
    const int32_t near = NearConnector(group, at);
    if (near >= 0) {
        record.exits[static_cast<size_t>(near)] += 1;
    }
}

} // namespace

void AIPlayerActor::EnterDrawGroup(int32_t g) {
    DrawGroupActor *group = DrawGroupAt(g);
    if (group == nullptr) {
        return;
    }
    markerIndex = -1;
    CollectMarkerIds(g, markerIds);
    if (useMemory == 0) {
        return;
    }
    currentMemory = -1;
    for (size_t i = 0; i < memory.size(); ++i) {
        if (memory[i].groupId == static_cast<uint32_t>(g)) {
            currentMemory = static_cast<int32_t>(i);
            break;
        }
    }
    if (currentMemory < 0) {
        memory.push_back({static_cast<uint32_t>(g),
                          std::vector<uint32_t>(group->connectorIds.size(), 0)});
        currentMemory = static_cast<int32_t>(memory.size()) - 1;
    }
    DrawGroupMemory &record = memory[static_cast<size_t>(currentMemory)];
    CountPass(record, *group, GetWorldPosition());
    if (aiState == kAIPExplore) {
        exploreExitId = -1;
        for (size_t i = 0; i < group->connectorIds.size(); ++i) {
            if (record.exits[i] == 0) {
                exploreExitId = static_cast<int32_t>(group->connectorIds[i]);
                break;
            }
        }
    }
}

void AIPlayerActor::ExitDrawGroup(int32_t g) {
    DrawGroupActor *group = DrawGroupAt(g);
    if (useMemory == 0 || group == nullptr) {
        return;
    }
    if (currentMemory < 0 || static_cast<size_t>(currentMemory) >= memory.size()) {
        memory.push_back({static_cast<uint32_t>(g), {}});
        currentMemory = static_cast<int32_t>(memory.size()) - 1;
    }
    CountPass(memory[static_cast<size_t>(currentMemory)], *group, GetWorldPosition());
}

void AIPlayerActor::SearchAndGoTo(const std::string &name) {
    Actor *goal = FindActorByName(name, -1);
    if (goal == nullptr || parent == nullptr) {
        return;
    }
    DrawGroupActor *group = DrawGroupAt(FindDrawGroupAt(parent->GetWorldPosition(), 2));
    if (group == nullptr) {
        return;
    }
    goToPoints.clear();
    if (!group->ClearWalkMarks(goal->drawGroupId, goToPoints)) {
        goToPoints.clear();
        return;
    }
    goToPoints.push_back(goal->GetWorldPosition());
    SetState(kAIPGoTo);
}
