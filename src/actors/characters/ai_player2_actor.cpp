#include "actors/characters/ai_player2_actor.h"

#include <algorithm>
#include <cmath>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/base_command_ids.h"
#include "core/actors/class_descriptor.h"
#include "library/skeleton.h"

std::vector<AIPlayer2Actor *> AIPlayer2Instances;
std::vector<std::string> AIPlayer2StateNames;

namespace {

// Base and character commands sent or served here.
enum : uint32_t {
    kSetMaster = 41,
    kSpyNotice = 93,
    kAddCommandSpy = 94,
    kRemoveCommandSpy = 95,
    kOnEnterDrawGroup = 98,
    kGetCenterPoint = 350,
    kGetVisionPoint = 351,
    kSetCharacterType = 837,
    kGetPosture = 842,
    kSetHoldTime = 856,
    kGetCharacterGroup = 861,
    kIsNeutral = 863,
    kGetNoiseLevel = 974,
    kVisibility = 975,
    kSetRotY = 976,
    kSetLookRotY = 978,
    kSetLookRotX = 980,
    kSetLookRotXSpeed = 984,
    kSetLookRotYSpeed = 986,
    kGetHealth = 1018,
    kSetTurnSpeed = 1027,
    kSetDirectionBehaviour = 1031,
    kOnDie = 1062,
    kSetMotion = 1097,
    kGetBone = 1120,
    kCallbackSkinLooping = 1121,
    kSetLayerBlendValue = 1130,
    kSetCurrentLayer = 1133,
};

constexpr uint32_t kSkinObjectClassId = 17;
constexpr uint32_t kProcessFlags = 0x100;
constexpr uint32_t kProcessLayer = 2;
// Collision objects whose events the wall test leaves out.
constexpr uint32_t kIgnoredByWallTest = 0x4000000;
constexpr float kHalfPi = kPi * 0.5f;
constexpr float kQuarterPi = kPi * 0.25f;

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

const char *const kStateNames[kAI2StateCount] = {
    "Idle",           "GoTo",          "Pre Fight", "Fight", "Follow",       "Scared",  "Hide",
    "Hostage Victim", "Hostage Taker", "Inactive",  "Dead",  "GoTo Shelter", "Shelter", ""};

const BasicSheetRow kSheet[] = {
    {"AI Player 2 Properties", PropertyKind::PageTitle, 0, 0},
    {"Go To Group:", PropertyKind::GroupMask, kCmdAI2SetGotoGroup, kCmdAI2GetGotoGroup},
    {"Fight Group:", PropertyKind::GroupMask, kCmdAI2SetFightGroup, kCmdAI2GetFightGroup},
    {"Vision Ray Collision Groups:", PropertyKind::Caption, 0, 0},
    {"Group:", PropertyKind::GroupMask, kCmdAI2SetRayGroup, kCmdAI2GetRayGroup},
    {"Recive:", PropertyKind::GroupMask, kCmdAI2SetRayReceive, kCmdAI2GetRayReceive},
    {"Exclude:", PropertyKind::GroupMask, kCmdAI2SetRayExclude, kCmdAI2GetRayExclude},
};

Vector3 Sub(const Vector3 &a, const Vector3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 Add(const Vector3 &a, const Vector3 &b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 Scaled(const Vector3 &v, float s) { return {v.x * s, v.y * s, v.z * s}; }
Vector3 Raised(Vector3 v, float dy) {
    v.y += dy;
    return v;
}
// The third column of the world matrix: where the character faces.
Vector3 ThirdColumn(const Matrix &m) { return {m.m[0][2], m.m[1][2], m.m[2][2]}; }

// Group n (1..32) as its bit; 0 outside.
uint32_t GroupBit(uint32_t n) { return n >= 1 && n <= 32 ? 1u << (n - 1) : 0u; }

float AskFloat(Actor *actor, uint32_t commandId, float preset) {
    float value = preset;
    if (actor != nullptr) {
        actor->HandleCommand(commandId, ParamBlock(&value, sizeof(value)));
    }
    return value;
}

char AskPosture(Actor *actor) {
    char text[8] = {};
    if (actor != nullptr) {
        actor->HandleCommand(kGetPosture, ParamBlock(text, sizeof(text)));
    }
    return text[0];
}

ColObj *CastRay(const Vector3 &from, const Vector3 &to, const uint32_t masks[3], Vector3 *hit) {
    ActorSystem *system = GetActorSystem();
    return system != nullptr ? system->CollisionQuery(from, to, masks, hit, nullptr) : nullptr;
}

} // namespace

// --- registration, construction ----------------------------------------------------

void AIPlayer2Actor::RegisterClass() {
    RegisterBasicClassSheet(kAIPlayer2ClassId, kSheet);
    AIPlayer2StateNames.assign(std::begin(kStateNames), std::end(kStateNames));
}

AIPlayer2Actor::AIPlayer2Actor() {
    classId = kAIPlayer2ClassId;
    AIPlayer2Instances.push_back(this);
}

AIPlayer2Actor::~AIPlayer2Actor() {
    auto self = std::find(AIPlayer2Instances.begin(), AIPlayer2Instances.end(), this);
    if (self != AIPlayer2Instances.end()) {
        AIPlayer2Instances.erase(self);
    }
    for (ActorLink *link : {&seen, &heard, &goTo, &target, &pendingEnemy}) {
        link->Release();
    }
}

// --- what the ids name ------------------------------------------------------------------

Actor *AIPlayer2Actor::Character() const { return ActorAt(characterId); }

Actor *AIPlayer2Actor::SkinnedBody() const {
    auto *character = dynamic_cast<CharacterActor *>(Character());
    Actor *skin = character != nullptr ? character->skin.target : nullptr;
    return skin != nullptr && skin->classId == kSkinObjectClassId ? skin : nullptr;
}

Actor *AIPlayer2Actor::VisionSensor() const { return ActorAt(visionSensorId); }
Actor *AIPlayer2Actor::HearingSensor() const { return ActorAt(hearingSensorId); }

Actor *AIPlayer2Actor::CurrentShelter() const {
    return ActorAt(currentShelterId, static_cast<int32_t>(kAIHelperClassId));
}

std::vector<Actor *> AIPlayer2Actor::Markers() const {
    std::vector<Actor *> markers;
    for (int32_t id : markerIds) {
        if (Actor *marker = ActorAt(id, static_cast<int32_t>(kAIHelperClassId))) {
            markers.push_back(marker);
        }
    }
    return markers;
}

Bone *AIPlayer2Actor::HeadBone() const {
    const Actor *skin = SkinnedBody();
    return skin != nullptr && skin->actorId == headBoneSkinId ? headBone : nullptr;
}

// --- commands -------------------------------------------------------------------------

int AIPlayer2Actor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kCmdAI2GoToActor:
    case kCmdAI2RunToActor:
        GoToActor(block.ReadActor(0), block.ReadU32(sizeof(void *)),
                  commandId == kCmdAI2RunToActor ? 1u : 0u);
        break;
    case kCmdAI2VoiceCommand:
        VoiceCommand(block.ReadActor(0), block.ReadU32(sizeof(void *)));
        break;
    case kCmdAI2SoundNotify:
        SoundNotify(block.ReadActor(0), block);
        break;
    case kCmdAI2SetFightGroup:
        fightGroup = block.ReadU32(0);
        break;
    case kCmdAI2GetFightGroup:
        block.WriteU32(0, fightGroup);
        break;
    case kCmdAI2SetFightGroupBit:
    case kCmdAI2SetGotoGroupBit: {
        uint32_t &mask = commandId == kCmdAI2SetFightGroupBit ? fightGroup : goToGroup;
        const uint32_t bit = GroupBit(block.ReadU32(0));
        mask = block.ReadU32(4) != 0 ? (mask | bit) : (mask & ~bit);
        break;
    }
    case kCmdAI2SetGotoGroup:
        goToGroup = block.ReadU32(0);
        break;
    case kCmdAI2GetGotoGroup:
        block.WriteU32(0, goToGroup);
        break;
    case kCmdAI2SetPreFightTime:
        preFightTime = block.ReadF32(0);
        break;
    case kCmdAI2GetPreFightTime:
        block.WriteF32(0, preFightTime);
        break;
    case kCmdAI2SetFindShelterEnable:
        findShelterEnable = block.ReadU32(0) != 0 ? 1u : 0u;
        break;
    case kCmdAI2GetFindShelterEnable:
        block.WriteU32(0, findShelterEnable);
        break;
    case kCmdAI2SetFindShelterRadius:
        findShelterRadius = block.ReadF32(0);
        break;
    case kCmdAI2GetFindShelterRadius:
        block.WriteF32(0, findShelterRadius);
        break;
    case kCmdAI2SetIdleMotion:
        idleMotion = block.ReadString(0);
        break;
    case kCmdAI2StateIdle:
        SetState(kAI2Idle);
        break;
    case kCmdAI2StateScared:
        SetState(kAI2Scared);
        break;
    case kCmdAI2StateRelease:
        SetState(kAI2Release);
        break;
    case kCmdAI2StateInactive:
        SetState(kAI2Inactive);
        break;
    case kCmdAI2StateHide:
        SetState(kAI2Hide);
        break;
    case kCmdAI2StateFollow:
    case kCmdAI2StatePreFight:
    case kCmdAI2StateFight:
        if (Actor *actor = block.ReadActor(0)) {
            target.Assign(actor);
            if (commandId == kCmdAI2StateFollow) {
                SetState(kAI2Follow);
            } else if (commandId == kCmdAI2StatePreFight && preFightTime > 0.0f) {
                SetState(kAI2PreFight);
            } else {
                SetState(kAI2Fight);
            }
        }
        break;
    case kCmdAI2SetRayGroup:
        rayGroup = block.ReadU32(0);
        break;
    case kCmdAI2GetRayGroup:
        block.WriteU32(0, rayGroup);
        break;
    case kCmdAI2SetRayReceive:
        rayReceive = block.ReadU32(0);
        break;
    case kCmdAI2GetRayReceive:
        block.WriteU32(0, rayReceive);
        break;
    case kCmdAI2SetRayExclude:
        rayExclude = block.ReadU32(0);
        break;
    case kCmdAI2GetRayExclude:
        block.WriteU32(0, rayExclude);
        break;
    case kCmdInitNew:
    case kCmdInitLoad:
    case kCmdInitCopy:
        for (ActorLink *link : {&seen, &heard, &goTo, &target, &pendingEnemy}) {
            link->origin = this;
        }
        break;
    case kSpyNotice: {
        const auto notice = block.Read<CommandSpyNotice>(0);
        if (notice.block != nullptr && notice.actor != nullptr) {
            if (notice.actor->actorId == characterId && notice.actor == Character()) {
                OnCharacterNotice(notice.commandId, *notice.block);
            } else {
                OnSensorNotice(notice.commandId, *notice.block, notice.actor);
            }
        }
        break;
    }
    case kCmdPrecalculate:
        Bind();
        break;
    case kCmdCreate:
        if (auto *source = dynamic_cast<AIPlayer2Actor *>(block.ReadActor(0));
            source != nullptr && source != this) {
            CopyFields(*source);
        }
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void AIPlayer2Actor::GoToActor(Actor *actor, uint32_t group, uint32_t running) {
    if (aiState != kAI2Idle && aiState != kAI2GoTo) {
        return;
    }
    goTo.Assign(actor);
    run = running;
    if (goTo.target != nullptr && (goToGroup & GroupBit(group)) != 0) {
        SetState(kAI2GoTo);
    }
}

void AIPlayer2Actor::VoiceCommand(Actor *actor, uint32_t command) {
    switch (command) {
    case 0:
        SetState(kAI2Idle);
        break;
    case 1:
        SetState(kAI2Follow);
        target.Assign(actor);
        break;
    case 3:
        if (FindShelter(targetPosition, findShelterRadius)) {
            SetState(kAI2GoToShelter);
        } else {
            SetState(kAI2Hide);
            target.Release();
        }
        break;
    default:
        break;
    }
}

void AIPlayer2Actor::SoundNotify(Actor *actor, ParamBlock block) {
    if (actor == nullptr || actor == Character()) {
        return;
    }
    soundPosition = actor->GetWorldPosition();
    soundSourceName = actor->name;
    soundNotice = 1;
    soundValues[0] = block.ReadF32(sizeof(void *));
    soundValues[1] = block.ReadF32(sizeof(void *) + 4);
    soundTimer = 3.0f;
    Raise(kCmdOnAI2SoundNotify);
}

void AIPlayer2Actor::CopyFields(AIPlayer2Actor &source) {
    static_cast<AIPlayer2Fields &>(*this) = source;
    const std::pair<ActorLink *, ActorLink *> links[] = {{&seen, &source.seen},
                                                         {&heard, &source.heard},
                                                         {&goTo, &source.goTo},
                                                         {&target, &source.target},
                                                         {&pendingEnemy, &source.pendingEnemy}};
    for (const auto &[mine, theirs] : links) {
        mine->path = theirs->path;
        mine->origin = theirs->origin;
        mine->Assign(theirs->target);
    }
}

// --- binding ----------------------------------------------------------------------------

void AIPlayer2Actor::SpyOn(Actor *actor) {
    // Binding may run twice: one registration per actor, never two.
    const int32_t id = actorId;
    actor->HandleCommand(kRemoveCommandSpy, ParamBlock(const_cast<int32_t *>(&id), sizeof(id)));
    actor->HandleCommand(kAddCommandSpy, ParamBlock(const_cast<int32_t *>(&id), sizeof(id)));
}

void AIPlayer2Actor::Bind() {
    Actor *character = parent;
    if (character == nullptr) {
        return;
    }
    SendCommandArgs(character, kSetMaster, true);
    SendCommandArgs(character, kSetHoldTime, 0.0f);
    SendCommandArgs(character, kSetDirectionBehaviour, uint32_t{2});
    SendCommandArgs(character, kSetCharacterType, uint32_t{2});
    characterId = character->actorId;
    SpyOn(character);
    // The character entered its draw group before this spied on it: the
    // markers of that group are taken now.
    CollectHelpers(character->drawGroupId);

    Actor *skin = SkinnedBody();
    if (skin == nullptr) {
        return;
    }
    aimLayers.resize(2);
    aimLayers[0] = AimLayer{2, 0.5f, {0, 0}};
    aimLayers[1] = AimLayer{3, 0.5f, {0, 0}};

    struct {
        const char *name;
        Bone *bone;
    } boneQuery = {"Head", nullptr};
    skin->HandleCommand(kGetBone, ParamBlock(&boneQuery, sizeof(boneQuery)));
    headBone = boneQuery.bone;
    headBoneSkinId = skin->actorId;

    Actor *vision = FindDescendantByName(character, "Vision");
    Actor *hearing = FindDescendantByName(character, "Hearing");
    visionSensorId = vision != nullptr ? vision->actorId : -1;
    hearingSensorId = hearing != nullptr ? hearing->actorId : -1;
    for (Actor *sensor : {vision, hearing}) {
        if (sensor != nullptr) {
            SpyOn(sensor);
        }
    }
    if (processEntry == nullptr) {
        processEntry = ::ScheduleCommand(this, kCmdProcess, ParamBlock(), kProcessFlags, 0.0f, 0.0f,
                                         0.0f, nullptr, kProcessLayer);
    }
}

void AIPlayer2Actor::CollectHelpers(int32_t drawGroup) { CollectMarkerIds(drawGroup, markerIds); }

// --- what the spied actors receive ---------------------------------------------------

void AIPlayer2Actor::OnCharacterNotice(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kCmdCollisionEvent:
        WallContacts(block);
        break;
    case kOnEnterDrawGroup:
        CollectHelpers(block.ReadI32(0));
        break;
    case kOnDie:
        SetState(kAI2Dead);
        break;
    case kCallbackSkinLooping:
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
            avoidDirection = Add(avoidDirection, touch.normal);
        }
    }
    if (avoiding == 1) {
        Vec3Normalize(&avoidDirection, avoidDirection);
    }
}

void AIPlayer2Actor::OnSensorNotice(uint32_t commandId, ParamBlock block, Actor *sensor) {
    if ((aiState >= kAI2HostageTaker && aiState <= kAI2Shelter) ||
        commandId != kCmdCollisionEvent) {
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
        const float loudness = AskFloat(actor, kGetNoiseLevel, 0.0f);
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
        if (candidate != nullptr && (QueryWord(candidate, kGetCharacterGroup) & fightGroup) != 0 &&
            AskFloat(candidate, kGetHealth, 0.0f) > 0.0f) {
            pendingEnemy.Assign(candidate);
        }
    }
    if ((heard.target == nullptr && seen.target == nullptr) || aiState == kAI2PreFight ||
        aiState == kAI2Fight) {
        return;
    }
    const uint32_t ownGroup = QueryWord(character, kGetCharacterGroup);
    auto enemy = [&](Actor *a) {
        const uint32_t group = a != nullptr ? QueryWord(a, kGetCharacterGroup) : 0;
        return a != nullptr && (group & fightGroup) != 0 && (group & ownGroup) == 0;
    };
    Actor *candidate = enemy(heard.target)  ? heard.target
                       : enemy(seen.target) ? seen.target
                                            : nullptr;
    if (candidate == nullptr || AskFloat(candidate, kVisibility, 0.0f) < 0.03f ||
        AskFloat(candidate, kGetHealth, 0.0f) <= 0.0f || !CanSee(candidate)) {
        return;
    }
    SetState(preFightTime > 0.0f ? kAI2PreFight : kAI2Fight);
    if (target.target == nullptr) {
        target.Assign(candidate);
    }
}

// --- state machine -------------------------------------------------------------------

void AIPlayer2Actor::Raise(uint32_t eventId) { HandleCommand(eventId, ParamBlock()); }

void AIPlayer2Actor::StopAttack() {
    if (attacking != 0) {
        Raise(kCmdOnAI2StopAttack);
        attacking = 0;
    }
}

void AIPlayer2Actor::SendMotion(const char *name) {
    SendCommandArgs(Character(), kSetMotion, std::string_view(name));
}

void AIPlayer2Actor::SwitchAimLayers(float blend) {
    Actor *skin = SkinnedBody();
    if (skin == nullptr) {
        return;
    }
    for (const AimLayer &layer : aimLayers) {
        SendCommandArgs(skin, kSetCurrentLayer, layer.layer);
        SendCommandArgs(skin, kSetLayerBlendValue, blend);
    }
    SendCommandArgs(skin, kSetCurrentLayer, uint32_t{0});
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
        Raise(kCmdOnAI2StopAttack);
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
    characterNeutral = QueryWord(character, kIsNeutral);
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
    if (AskFloat(actor, kGetHealth, -1.0f) <= 0.0f) {
        target.Release();
        StopAttack();
        return;
    }
    targetPosition = actor->GetWorldPosition();
    targetDistance = Distance(targetPosition, ownPosition);
    targetVisionPoint = QueryPoint(actor, kGetVisionPoint);
    targetCenterPoint = QueryPoint(actor, kGetCenterPoint);
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
        Raise(kCmdOnAI2StartAttack);
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
    if (AskFloat(enemy, kGetHealth, -1.0f) <= 0.0f) {
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
    return Add(ownPosition, Scaled(avoidDirection, 200.0f));
}

void AIPlayer2Actor::ThinkIdle(Actor *character) {
    SetMotionName(idleMotion);
    const uint32_t neutral = QueryWord(character, kIsNeutral);
    generalTimer += delta_;
    if (AimAtSoundNotice(1.5f, 0.01f)) {
        return;
    }
    Actor *listener = heard.target;
    if (listener == nullptr || Distance(listener->GetWorldPosition(), ownPosition) >= 400.0f) {
        return;
    }
    const Vector3 p = Raised(QueryPoint(listener, kGetVisionPoint), 30.0f);
    if (std::fabs(aimYaw) >= 2.0f && QueryWord(character, kIsNeutral) != 0 && generalTimer > 1.0f) {
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
        const Vector3 at = QueryPoint(listener, kGetVisionPoint);
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
        SendCommandArgs(skin, kSetCurrentLayer, layer.layer);
        SendCommandArgs(skin, kCmdSetCurrentNormalizedTime, layer.time);
    }
    SendCommandArgs(skin, kSetCurrentLayer, uint32_t{0});
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

// --- perception, aiming, facing ----------------------------------------------------------

bool AIPlayer2Actor::CanSee(Actor *actor) {
    Actor *character = Character();
    if (actor == nullptr || character == nullptr) {
        return false;
    }
    const Vector3 from = Raised(QueryPoint(character, kGetVisionPoint), 20.0f);
    const Vector3 to = QueryPoint(actor, kGetCenterPoint);
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
    const Vector3 c = QueryPoint(character, kGetCenterPoint);
    const float bodyYaw = Vec3Yaw(ThirdColumn(character->GetWorldMatrix()));
    const Vector3 toPoint = Sub(c, point);
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
    SendCommandArgs(character, kSetLookRotXSpeed, lookSpeed);
    SendCommandArgs(character, kSetLookRotYSpeed, lookSpeed);
    SendCommandArgs(character, kSetLookRotX, pitchTo);
    SendCommandArgs(character, kSetLookRotY, yawTo);
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
    const Vector3 v = Raised(QueryPoint(character, kGetVisionPoint), 10.0f);
    const Vector3 f = ThirdColumn(character->GetWorldMatrix());
    const Vector3 toPoint = Sub(v, point);
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
    SendCommandArgs(character, kSetTurnSpeed, turnSpeed * 0.4f);
    SendCommandArgs(character, kSetRotY, Vec3Yaw(Sub(character->GetWorldPosition(), point)));
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
        Vec3Normalize(&away, Sub(candidate.at, threat));
        const Vector3 probe = Add(candidate.at, Scaled(away, 150.0f));
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

// --- file -------------------------------------------------------------------------------------

int AIPlayer2Actor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    uint32_t spare[3] = {0, 0, 0};
    archive.SerializeWordsSince(1, &goToGroup, 1);
    archive.SerializeWordsSince(1, &fightGroup, 1);
    archive.SerializeWordsSince(1, &preFightTime, 1);
    archive.SerializeWordsSince(1, spare, 1);
    archive.SerializeWordsSince(69, &rayGroup, 1);
    archive.SerializeWordsSince(69, &rayReceive, 1);
    archive.SerializeWordsSince(69, &rayExclude, 1);
    archive.SerializeWordsSince(69, spare, 3);
    return archive.Failed() ? 0 : 1;
}

void AIPlayer2Actor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("aiplayer2 gotogroup " + DumpMask(goToGroup) + " fightgroup " +
                    DumpMask(fightGroup) + " prefight " + DumpNumber(preFightTime) + " raygroup " +
                    DumpMask(rayGroup) + " rayreceive " + DumpMask(rayReceive) + " rayexclude " +
                    DumpMask(rayExclude));
}
