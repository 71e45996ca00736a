// What the AI Player 2 notices through its character and its "Vision" and
// "Hearing" sensors (the spy notifications: wall contacts, death, motion
// loops, sightings and sounds of enemies), the line of sight, the aiming of
// body and head, facing, and the search for a shelter among the markers.
#include <algorithm>
#include <cmath>
#include <vector>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/ai_player2_internal.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_services.h"
#include "actors/world/draw_groups.h"
#include "base/random.h"
#include "core/actors/actor_sends.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

using namespace aiplayer2;

namespace {

// Collision objects whose events the wall test leaves out.
constexpr uint32_t kIgnoredByWallTest = 0x4000000;
constexpr float kHalfPi = kPi * 0.5f;
constexpr float kQuarterPi = kPi * 0.25f;

// The third column of the world matrix: where the character faces.
Vector3 ThirdColumn(const Matrix &m) { return {m.m[0][2], m.m[1][2], m.m[2][2]}; }

ColObj *CastRay(const Vector3 &from, const Vector3 &to, const uint32_t masks[3], Vector3 *hit) {
    ActorSystem *system = GetActorSystem();
    return system != nullptr ? system->CollisionQuery(from, to, masks, hit, nullptr) : nullptr;
}

} // namespace

// --- what the spied actors receive ---------------------------------------------------

void AIPlayer2Actor::OnCharacterNotice(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::base::CollisionEvent:
        WallContacts(block);
        break;
    case cmd::base::OnEnterDrawGroup:
        CollectHelpers(block.ReadI32(0));
        break;
    case cmd::character::OnDie:
        SetState(kAI2Dead);
        break;
    case cmd::skin_object::CallbackSkinLooping:
        if (block.ReadU32(0) == 0 && aiState != kAI2Inactive && !motionName.empty()) {
            SendMotion(motionName.c_str());
        }
        break;
    default:
        break;
    }
}

void AIPlayer2Actor::WallContacts(ParamBlock block) {
    const auto *first = static_cast<const ColObj *>(block.ReadPointer(0));
    Actor *character = Character();
    if ((first != nullptr && (first->busy & kIgnoredByWallTest) != 0) || character == nullptr ||
        character->simState == nullptr) {
        return;
    }
    for (const TouchRecord &touch : character->simState->touches) {
        if (touch.normal.y < 0.1f) {
            avoiding = 1;
            avoidTimer = 0.2f;
            avoidDirection = Vec3Add(avoidDirection, touch.normal);
        }
    }
    if (avoiding == 1) {
        Vec3Normalize(&avoidDirection, avoidDirection);
    }
}

void AIPlayer2Actor::OnSensorNotice(uint32_t commandId, ParamBlock block, Actor *sensor) {
    if ((aiState >= kAI2HostageTaker && aiState <= kAI2Shelter) ||
        commandId != cmd::base::CollisionEvent) {
        return;
    }
    const bool fromVision = sensor == VisionSensor();
    if (!fromVision && sensor != HearingSensor()) {
        return;
    }
    const auto *other = static_cast<const ColObj *>(block.ReadPointer(0));
    const auto *own = static_cast<const ColObj *>(block.ReadPointer(sizeof(void *)));
    Actor *character = Character();
    Actor *actor = other != nullptr ? other->owner : nullptr;
    if (actor == nullptr || actor == character ||
        AreDrawGroupsConnected(actor->drawGroupId, sensor->drawGroupId) == 0) {
        return;
    }
    if (fromVision) {
        seen.Assign(actor);
    } else {
        heard.Assign(actor);
        const float loudness = Query(actor, cmd::character::GetNoiseLevel, 0.0f);
        const float radius = own != nullptr ? own->boxMax.x : 0.0f;
        const Vector3 at = character != nullptr ? character->GetWorldPosition() : ownPosition;
        if (Distance(at, actor->GetWorldPosition()) > loudness * radius) {
            return;
        }
    }
    if (fightGroup == 0) {
        return;
    }
    if (aiState == kAI2Fight) {
        Actor *candidate = nullptr;
        if (heard.target != nullptr && heard.target != target.target) {
            candidate = heard.target;
        } else if (seen.target != nullptr && seen.target != target.target) {
            candidate = seen.target;
        }
        if (candidate != nullptr &&
            (QueryWord(candidate, cmd::character::GetCharactergroup) & fightGroup) != 0 &&
            Query(candidate, cmd::character::GetHealth, 0.0f) > 0.0f) {
            pendingEnemy.Assign(candidate);
        }
    }
    if ((heard.target == nullptr && seen.target == nullptr) || aiState == kAI2PreFight ||
        aiState == kAI2Fight) {
        return;
    }
    const uint32_t ownGroup = QueryWord(character, cmd::character::GetCharactergroup);
    auto enemy = [&](Actor *a) {
        const uint32_t group = a != nullptr ? QueryWord(a, cmd::character::GetCharactergroup) : 0;
        return a != nullptr && (group & fightGroup) != 0 && (group & ownGroup) == 0;
    };
    Actor *candidate = enemy(heard.target)  ? heard.target
                       : enemy(seen.target) ? seen.target
                                            : nullptr;
    if (candidate == nullptr || Query(candidate, cmd::character::Visibility, 0.0f) < 0.03f ||
        Query(candidate, cmd::character::GetHealth, 0.0f) <= 0.0f || !CanSee(candidate)) {
        return;
    }
    SetState(preFightTime > 0.0f ? kAI2PreFight : kAI2Fight);
    if (target.target == nullptr) {
        target.Assign(candidate);
    }
}

// --- perception, aiming, facing ----------------------------------------------------------

bool AIPlayer2Actor::CanSee(Actor *actor) {
    Actor *character = Character();
    if (actor == nullptr || character == nullptr) {
        return false;
    }
    const Vector3 from = Raised(QueryPoint(character, cmd::base::GetVisionPoint), 20.0f);
    const Vector3 to = QueryPoint(actor, cmd::base::GetCenterPoint);
    const uint32_t masks[3] = {rayGroup, rayReceive, rayExclude};
    Vector3 hit;
    const ColObj *object = CastRay(from, to, masks, &hit);
    return object != nullptr && object->owner != nullptr &&
           object->owner->actorId == actor->actorId;
}

void AIPlayer2Actor::AimBodyAt(const Vector3 &point, float speed) {
    Actor *character = Character();
    if (character == nullptr) {
        return;
    }
    const Vector3 c = QueryPoint(character, cmd::base::GetCenterPoint);
    const float bodyYaw = Vec3Yaw(ThirdColumn(character->GetWorldMatrix()));
    const Vector3 toPoint = Vec3Sub(c, point);
    const float yawTo = Vec3Yaw(toPoint);
    const float pitchTo = Vec3Pitch(toPoint);
    float yawTarget = Wrap(bodyYaw + yawTo - 0.1f);
    float pitchTarget = Wrap(pitchTo);
    float lookSpeed = 100.0f;
    if (std::fabs(yawTarget) > 2.6f) {
        yawTarget = 0.0f;
        pitchTarget = 0.0f;
        lookSpeed = 20.0f;
    }
    SendCommandArgs(character, cmd::character::SetLookRotXSpeed, lookSpeed);
    SendCommandArgs(character, cmd::character::SetLookRotYSpeed, lookSpeed);
    SendCommandArgs(character, cmd::character::SetLookRotX, pitchTo);
    SendCommandArgs(character, cmd::character::SetLookRotY, yawTo);
    const float step = delta_ * speed * kTwoPi;
    ApproachValue(aimPitch, pitchTarget, step);
    ApproachValue(aimYaw, yawTarget, step);
    SetLayerTimes(std::clamp(aimPitch / kHalfPi + 0.5f, 0.01f, 0.99f),
                  1.0f - std::clamp(aimYaw / kTwoPi + 0.5f, 0.01f, 0.99f));
    aimError = Wrap(yawTo - aimYaw + bodyYaw);
}

void AIPlayer2Actor::AimHeadAt(const Vector3 &point, float speed) {
    Actor *character = Character();
    if (character == nullptr) {
        return;
    }
    const Vector3 v = Raised(QueryPoint(character, cmd::base::GetVisionPoint), 10.0f);
    const Vector3 f = ThirdColumn(character->GetWorldMatrix());
    const Vector3 toPoint = Vec3Sub(v, point);
    const float yawTarget =
        std::clamp(Wrap(Vec3Yaw(f) + Vec3Yaw(toPoint) - aimYaw), -kQuarterPi, kQuarterPi);
    const float pitchTarget =
        std::clamp(Wrap(Vec3Pitch(f) + Vec3Pitch(toPoint) + 0.5f), -kQuarterPi, kQuarterPi);
    const float step = delta_ * speed * kTwoPi;
    ApproachValue(headAngles[1], yawTarget, step);
    ApproachValue(headAngles[0], -pitchTarget, step);
}

void AIPlayer2Actor::FacePoint(const Vector3 &point, float turnSpeed) {
    Actor *character = Character();
    if (character == nullptr) {
        return;
    }
    SendCommandArgs(character, cmd::character::SetTurnSpeed, turnSpeed * 0.4f);
    SendCommandArgs(character, cmd::character::SetRotY_976,
                    Vec3Yaw(Vec3Sub(character->GetWorldPosition(), point)));
}

// --- shelter search ------------------------------------------------------------------------

bool AIPlayer2Actor::FindShelter(const Vector3 &threat, float radius) {
    const std::vector<Actor *> markers = Markers();
    if (markers.empty()) {
        return false;
    }
    struct Candidate {
        AIHelperActor *marker;
        Vector3 at;
        float score;
    };
    std::vector<Candidate> candidates;
    const Actor *current = CurrentShelter();
    for (Actor *actor : markers) {
        auto *marker = dynamic_cast<AIHelperActor *>(actor);
        if (marker == nullptr || marker->type != kAIHelperShelter || marker == current) {
            continue;
        }
        const Vector3 at = marker->GetWorldPosition();
        const float distance = Distance(at, ownPosition);
        if (distance < radius) {
            candidates.push_back({marker, at, distance + static_cast<float>(Rand() % 800)});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.score < b.score; });
    const uint32_t masks[3] = {rayGroup, rayReceive, rayExclude};
    for (const Candidate &candidate : candidates) {
        Vector3 away;
        Vec3Normalize(&away, Vec3Sub(candidate.at, threat));
        const Vector3 probe = Vec3Add(candidate.at, Vec3Scale(away, 150.0f));
        Vector3 hit = probe;
        CastRay(threat, probe, masks, &hit);
        if (Distance(threat, hit) < Distance(threat, probe)) {
            currentShelterId = candidate.marker->actorId;
            shelterPoint = {probe.x, candidate.at.y - 0.5f * candidate.marker->radius, probe.z};
            return true;
        }
    }
    return false;
}
