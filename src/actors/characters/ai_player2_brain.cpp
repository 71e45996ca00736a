// The AI Player 2's think: the state machine with its events, the per-frame
// work (keeping track of the target and of a pending enemy), each state's
// think, the posing of the upper body and head, the trail sampling and the
// wall-avoid countdown.
#include <algorithm>
#include <cmath>

#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/ai_player2_internal.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/world/draw_groups.h"
#include "core/actors/actor_sends.h"
#include "core/actors/command_ids.h"
#include "library/skeleton.h"

using namespace aiplayer2;

namespace {

// The events of the states: on entering and on leaving (0: none).
struct StateEvents {
    uint32_t enter;
    uint32_t leave;
};
constexpr StateEvents kStateEvents[kAI2StateCount] = {
    {1572, 1573}, {1574, 1575}, {1582, 1583}, {1584, 1585}, {1580, 1581},
    {0, 0},       {1586, 1587}, {1592, 1593}, {1594, 1595}, {1588, 1589},
    {1590, 1591}, {1596, 1597}, {1598, 1599}, {1576, 1577},
};

char AskPosture(Actor *actor) {
    char text[8] = {};
    if (actor != nullptr) {
        actor->HandleCommand(cmd::character::GetState, ParamBlock(text, sizeof(text)));
    }
    return text[0];
}

} // namespace

// --- state machine -------------------------------------------------------------------

void AIPlayer2Actor::Raise(uint32_t eventId) { HandleCommand(eventId, ParamBlock()); }

void AIPlayer2Actor::StopAttack() {
    if (attacking != 0) {
        Raise(cmd::ai_player2::OnAIPlayer2StopAttack);
        attacking = 0;
    }
}

void AIPlayer2Actor::SendMotion(const char *name) {
    SendCommandArgs(Character(), cmd::skin_object::SetMotion, std::string_view(name));
}

void AIPlayer2Actor::SwitchAimLayers(float blend) {
    Actor *skin = SkinnedBody();
    if (skin == nullptr) {
        return;
    }
    for (const AimLayer &layer : aimLayers) {
        SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, layer.layer);
        SendCommandArgs(skin, cmd::skin_object::SetLayerBlendValue, blend);
    }
    SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, uint32_t{0});
}

void AIPlayer2Actor::SetState(uint32_t newState) {
    if (newState == aiState || newState >= kAI2StateCount) {
        return;
    }
    const uint32_t old = aiState;
    previousState = static_cast<int32_t>(old);
    aiState = newState;
    stateTimer = 0.0f;
    trailOn = 0;
    trail.clear();
    visibleTime = 0.0f;
    unseenTime = 0.0f;
    heard.Release();
    LeaveState(old);
    EnterState(newState);
}

void AIPlayer2Actor::LeaveState(uint32_t old) {
    if (kStateEvents[old].leave != 0) {
        Raise(kStateEvents[old].leave);
    }
    if (old == kAI2Fight) {
        // Also when no attack was started.
        Raise(cmd::ai_player2::OnAIPlayer2StopAttack);
        attacking = 0;
    } else if (old == kAI2Inactive) {
        SwitchAimLayers(1.0f);
    }
}

void AIPlayer2Actor::EnterState(uint32_t now) {
    if (now == kAI2Idle) {
        SetMotionName("N_Neutral");
    } else if (now == kAI2Fight) {
        pendingEnemy.Release();
        generalTimer = 0.0f;
    }
    if (kStateEvents[now].enter != 0) {
        Raise(kStateEvents[now].enter);
    }
    switch (now) {
    case kAI2GoTo:
    case kAI2Release:
        SetMotionName("");
        break;
    case kAI2Fight:
    case kAI2Follow: {
        const char *motion = now == kAI2Fight ? "M_Forward" : "N_Forward";
        SendMotion(motion);
        SetMotionName(motion);
        trailOn = 1;
        break;
    }
    case kAI2Hide:
        SetMotionName("C_Neutral");
        break;
    case kAI2Inactive:
    case kAI2Dead:
        SwitchAimLayers(0.0f);
        break;
    default:
        break;
    }
}

// --- the think -------------------------------------------------------------------------

void AIPlayer2Actor::Process() {
    if (!IsOperational()) {
        return;
    }
    Actor *character = Character();
    if (character == nullptr) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    delta_ = timeRecord != nullptr ? timeRecord->delta : 0.0f;

    if (auto *body = dynamic_cast<CharacterActor *>(character);
        body != nullptr && body->health <= 0.0f && aiState != kAI2Dead) {
        SetState(kAI2Dead);
    }
    ownPosition = character->GetWorldPosition();
    characterNeutral = QueryWord(character, cmd::character::CharacterIsNeutral_863);
    TrackTarget(character);
    if (pendingEnemy.target != nullptr) {
        pendingPosition = pendingEnemy.target->GetWorldPosition();
        pendingDistance = Distance(pendingPosition, ownPosition);
    }
    TakeOverPendingEnemy();
    stateTimer += delta_;
    ThinkState(character);
    if (aiState == kAI2Inactive || aiState == kAI2Dead) {
        return;
    }
    if (Actor *skin = SkinnedBody()) {
        PoseBodyAndHead(skin);
    }
    SampleTrail();
    heard.Release();
    seen.Release();
    soundTimer -= delta_;
    if (soundTimer < 0.0f) {
        soundNotice = 0;
    }
    CountDownAvoid(character);
}

void AIPlayer2Actor::TrackTarget(Actor *character) {
    Actor *actor = target.target;
    if (actor == nullptr) {
        return;
    }
    if (Query(actor, cmd::character::GetHealth, -1.0f) <= 0.0f) {
        target.Release();
        StopAttack();
        return;
    }
    targetPosition = actor->GetWorldPosition();
    targetDistance = Distance(targetPosition, ownPosition);
    targetVisionPoint = QueryPoint(actor, cmd::base::GetVisionPoint);
    targetCenterPoint = QueryPoint(actor, cmd::base::GetCenterPoint);
    sightCheckTimer += delta_;
    if (sightCheckTimer > 0.4f) {
        if (CanSee(actor)) {
            visibleTime += sightCheckTimer;
            unseenTime = 0.0f;
        } else {
            unseenTime += sightCheckTimer;
            visibleTime = 0.0f;
        }
        sightCheckTimer = 0.0f;
    }
    if (fightGroup == 0 ||
        (aiState != kAI2Fight && aiState != kAI2GoToShelter && aiState != kAI2Shelter)) {
        return;
    }
    if (visibleTime > 0.0f && attacking == 0 && std::fabs(aimError) < 0.5f &&
        AreDrawGroupsConnected(character->drawGroupId, actor->drawGroupId) != 0) {
        Raise(cmd::ai_player2::OnAIPlayer2StartAttack);
        attacking = 1;
    }
    if (attacking != 0 && (unseenTime > 0.0f || std::fabs(aimError) > 1.0f)) {
        StopAttack();
    }
}

void AIPlayer2Actor::TakeOverPendingEnemy() {
    pendingTimer += delta_;
    Actor *enemy = pendingEnemy.target;
    if (enemy == nullptr || stateTimer <= 4.0f || pendingTimer <= 4.0f) {
        return;
    }
    if (Query(enemy, cmd::character::GetHealth, -1.0f) <= 0.0f) {
        pendingEnemy.Release();
        return;
    }
    target.Assign(enemy);
    SetMotionName("M_Forward");
    pendingTimer = 0.0f;
    visibleTime = 0.0f;
    unseenTime = 0.0f;
    StopAttack();
    if (fightGroup != 0 && (aiState == kAI2Fight || aiState == kAI2GoToShelter)) {
        SetState(kAI2Fight);
    }
}

void AIPlayer2Actor::ThinkState(Actor *character) {
    switch (aiState) {
    case kAI2Idle:
        ThinkIdle(character);
        break;
    case kAI2GoTo:
        ThinkGoTo();
        break;
    case kAI2PreFight:
        if (target.target != nullptr) {
            AimBodyAt(targetCenterPoint, 4.0f);
            AimHeadAt(targetVisionPoint, 0.1f);
            SetMotionName("N_Special6");
            if (stateTimer > preFightTime) {
                SetState(kAI2Fight);
            }
        }
        break;
    case kAI2Fight:
        ThinkFight();
        break;
    case kAI2Follow:
        ThinkFollow();
        break;
    case kAI2Hide:
        ThinkHide(character);
        break;
    case kAI2HostageVictim:
        ThinkHostageVictim();
        break;
    case kAI2GoToShelter:
        ThinkGoToShelter();
        break;
    case kAI2Shelter:
        ThinkShelter();
        break;
    default:
        break;
    }
}

bool AIPlayer2Actor::AimAtSoundNotice(float bodySpeed, float headSpeed) {
    if (soundNotice == 0) {
        return false;
    }
    AimBodyAt(soundPosition, bodySpeed);
    AimHeadAt(soundPosition, headSpeed);
    return true;
}

Vector3 AIPlayer2Actor::AvoidPoint() const {
    return Vec3Add(ownPosition, Vec3Scale(avoidDirection, 200.0f));
}

void AIPlayer2Actor::ThinkIdle(Actor *character) {
    SetMotionName(idleMotion);
    const uint32_t neutral = QueryWord(character, cmd::character::CharacterIsNeutral_863);
    generalTimer += delta_;
    if (AimAtSoundNotice(1.5f, 0.01f)) {
        return;
    }
    Actor *listener = heard.target;
    if (listener == nullptr || Distance(listener->GetWorldPosition(), ownPosition) >= 400.0f) {
        return;
    }
    const Vector3 p = Raised(QueryPoint(listener, cmd::base::GetVisionPoint), 30.0f);
    if (std::fabs(aimYaw) >= 2.0f &&
        QueryWord(character, cmd::character::CharacterIsNeutral_863) != 0 && generalTimer > 1.0f) {
        SetMotionName("N_Forward");
        if (generalTimer > 2.0f) {
            generalTimer = 0.0f;
        }
    }
    if (neutral == 0) {
        FacePoint(p, 16.0f);
    }
    AimBodyAt(p, 1.5f);
    AimHeadAt(p, 0.1f);
}

void AIPlayer2Actor::ThinkGoTo() {
    Actor *destination = goTo.target;
    if (destination == nullptr) {
        return;
    }
    if (!AimAtSoundNotice(20.0f, 20.0f)) {
        lookTimer += delta_;
        const float t = lookTimer;
        headAngles[0] = -0.3f;
        headAngles[1] = -std::sin(0.2f * t);
        aimYaw = std::sin(1.5f * t);
        aimPitch = std::sin(0.6f * t) + 0.5f;
        SetLayerTimes(std::clamp(aimPitch / kTwoPi + 0.5f, 0.0001f, 0.9999f),
                      1.0f - std::clamp(aimYaw / kTwoPi + 0.5f, 0.0001f, 0.9999f));
    }
    const Vector3 at = destination->GetWorldPosition();
    if (run != 0) {
        FacePoint(at, 8.0f);
        SetMotionName("R_Forward");
    } else {
        FacePoint(at, 2.0f);
        SetMotionName("S_Forward");
    }
}

void AIPlayer2Actor::ThinkFight() {
    if (target.target == nullptr) {
        return;
    }
    if (avoiding != 0) {
        FacePoint(AvoidPoint(), 4.0f);
    } else if (characterNeutral == 0) {
        FacePoint(targetPosition, 10.0f);
    }
    if (findShelterEnable != 0) {
        generalTimer += delta_;
        if (generalTimer > 1.0f) {
            if (FindShelter(targetPosition, findShelterRadius)) {
                SetState(kAI2GoToShelter);
            }
            generalTimer = 0.0f;
        }
    }
    AimBodyAt(targetCenterPoint, 1.0f);
    AimHeadAt(targetVisionPoint, 6.0f);
    SetMotionName("M_Forward");
}

void AIPlayer2Actor::ThinkFollow() {
    Actor *followed = target.target;
    if (followed == nullptr) {
        return;
    }
    const char posture = AskPosture(followed);
    generalTimer += delta_;
    const float d = targetDistance;
    if (posture == 'C') {
        SetMotionName(d < 220.0f ? "C_Neutral" : "C_Forward");
    } else if (d < 220.0f) {
        SetMotionName("N_Neutral");
        if (std::fabs(aimYaw) >= 1.0f && characterNeutral != 0 && generalTimer > 1.0f) {
            SetMotionName("N_Forward");
            if (generalTimer > 2.0f) {
                generalTimer = 0.0f;
            }
        }
    } else {
        SetMotionName(d < 600.0f ? "N_Forward" : "R_Forward");
    }
    AimBodyAt(targetVisionPoint, 0.5f);
    AimHeadAt(targetVisionPoint, 1.0f);
    bool faced = false;
    if (avoiding != 0 && characterNeutral == 0) {
        FacePoint(AvoidPoint(), 4.0f);
        faced = true;
    }
    // The trail leads round corners: a point reached is dropped.
    const float reach = visibleTime >= 0.5f ? 120.0f : 600.0f;
    if (!trail.empty()) {
        const Vector3 self = GetWorldPosition();
        const float dx = trail.front().x - self.x;
        const float dz = trail.front().z - self.z;
        if (std::sqrt(dx * dx + dz * dz) < reach) {
            trail.pop_front();
        }
    }
    if (characterNeutral == 0 && !faced) {
        if (!trail.empty() && visibleTime < 4.5f) {
            FacePoint(trail.front(), 8.0f);
        } else {
            FacePoint(targetVisionPoint, 14.0f);
        }
    }
    if (d < 100.0f) {
        trail.clear();
    }
    if (d < 800.0f && unseenTime <= 5.0f && std::fabs(targetPosition.y - ownPosition.y) < 50.0f &&
        trail.size() > 2) {
        trail.pop_front();
    }
    if (unseenTime > 20.0f) {
        SetState(kAI2Idle);
    }
}

void AIPlayer2Actor::ThinkHide(Actor *character) {
    SetMotionName("C_Neutral");
    generalTimer += delta_;
    if (AimAtSoundNotice(1.5f, 0.01f)) {
        return;
    }
    if (Actor *listener = heard.target) {
        const Vector3 at = listener->GetWorldPosition();
        AimBodyAt(at, 1.5f);
        AimHeadAt(at, 0.01f);
        return;
    }
    lookTimer += delta_;
    const float t = lookTimer;
    const Matrix &world = character->GetWorldMatrix();
    const Vector3 f = {world.m[2][0], world.m[2][1], world.m[2][2]};
    const Vector3 &p = ownPosition;
    const Vector3 look = {p.x - 200.0f * f.x + 40.0f * std::sin(1.5f * t),
                          p.y - 200.0f * f.y + 100.0f,
                          p.z - 200.0f * f.z + 20.0f * std::sin(0.5f * t)};
    AimBodyAt(look, 0.1f);
    AimHeadAt(look, 2.1f);
}

void AIPlayer2Actor::ThinkHostageVictim() {
    SetMotionName("N_Neutral");
    if (AimAtSoundNotice(1.5f, 0.01f)) {
        return;
    }
    Actor *listener = heard.target;
    if (listener != nullptr && Distance(listener->GetWorldPosition(), ownPosition) < 400.0f) {
        const Vector3 at = QueryPoint(listener, cmd::base::GetVisionPoint);
        AimBodyAt(at, 1.5f);
        AimHeadAt(at, 0.01f);
    }
}

void AIPlayer2Actor::ThinkGoToShelter() {
    FacePoint(avoiding != 0 ? AvoidPoint() : shelterPoint, avoiding != 0 ? 4.0f : 10.0f);
    const float d = Distance(shelterPoint, ownPosition);
    AimBodyAt(targetCenterPoint, 1.0f);
    AimHeadAt(stateTimer < 2.0f ? shelterPoint : targetVisionPoint, 6.0f);
    if (d < 100.0f) {
        SetState(kAI2Shelter);
    } else {
        SetMotionName(d < 140.0f ? "N_Special7" : d < 400.0f ? "N_Forward" : "R_Forward");
    }
    // From five seconds on the search runs every frame: a shelter found
    // replaces the current one.
    if (stateTimer > 5.0f) {
        FindShelter(targetPosition, findShelterRadius);
    }
}

void AIPlayer2Actor::ThinkShelter() {
    AimBodyAt(targetCenterPoint, 0.5f);
    AimHeadAt(targetVisionPoint, 6.0f);
    SetMotionName("C_Neutral");
    if (fightGroup != 0) {
        if (visibleTime > 0.5f) {
            SetState(kAI2Fight);
        }
        if (unseenTime > 3.0f && FindShelter(targetPosition, findShelterRadius)) {
            SetState(kAI2GoToShelter);
        }
    } else if (stateTimer > 4.0f) {
        SetState(kAI2Hide);
    }
}

void AIPlayer2Actor::SetLayerTimes(float pitchTime, float yawTime) {
    if (aimLayers.size() >= 2) {
        aimLayers[0].time = pitchTime;
        aimLayers[1].time = yawTime;
    }
}

void AIPlayer2Actor::PoseBodyAndHead(Actor *skin) {
    for (const AimLayer &layer : aimLayers) {
        SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, layer.layer);
        SendCommandArgs(skin, cmd::base::SetCurrentNormalizedTime, layer.time);
    }
    SendCommandArgs(skin, cmd::skin_object::SetCurrentLayer, uint32_t{0});
    if (Bone *bone = HeadBone()) {
        Quaternion turn;
        QuaternionRotationYawPitchRoll(&turn, headAngles[0] + 0.15f, headAngles[1], headAngles[2]);
        SetBoneLayerRotation(bone, &turn, 2);
        SetBoneLayerWeight(bone, 1.0f, 2);
    }
}

void AIPlayer2Actor::SampleTrail() {
    Actor *followed = target.target;
    if (trailOn == 0 || followed == nullptr) {
        return;
    }
    // The stored interval is never used: samples come every quarter second.
    trailInterval = 0.25f;
    trailTimer += delta_;
    if (trailTimer > trailInterval) {
        const Vector3 at = followed->GetWorldPosition();
        if (trail.empty() || Distance(at, trail.back()) > trailStep) {
            trail.push_back(at);
        }
        trailTimer = 0.0f;
    }
    if (trail.size() > 40) {
        trail.pop_front();
    }
}

void AIPlayer2Actor::CountDownAvoid(Actor *character) {
    if (avoidTimer <= 0.0f) {
        return;
    }
    avoidTimer -= delta_;
    if (AskPosture(character) == 'R') {
        avoidTimer = -1.0f;
    }
    if (avoidTimer < 0.0f) {
        avoidDirection = {0.0f, 0.0f, 0.0f};
        avoiding = 0;
    }
}
