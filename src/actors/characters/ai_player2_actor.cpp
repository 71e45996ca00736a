// The AI Player 2's registration, property sheet, command handler, binding
// to its character and sensors, copy and actor-file record. The state
// machine and the think are in ai_player2_brain.cpp, what the spied actors
// receive, perception, aiming and the shelter search in
// ai_player2_senses.cpp.
#include "actors/characters/ai_player2_actor.h"

#include <algorithm>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player2_internal.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/process_entry.h"

using namespace aiplayer2;

std::vector<AIPlayer2Actor *> AIPlayer2Instances;
std::vector<std::string> AIPlayer2StateNames;

namespace {

const char *const kStateNames[kAI2StateCount] = {
    "Idle",           "GoTo",          "Pre Fight", "Fight", "Follow",       "Scared",  "Hide",
    "Hostage Victim", "Hostage Taker", "Inactive",  "Dead",  "GoTo Shelter", "Shelter", ""};

// clang-format off
const BasicSheetRow kSheet[] = {
    {"AI Player 2 Properties", PropertyKind::PageTitle, 0, 0},
    {"Go To Group:", PropertyKind::GroupMask, cmd::ai_player2::SetAIPlayer2GotoGroup_1546, cmd::ai_player2::GetAIPlayer2GotoGroup},
    {"Fight Group:", PropertyKind::GroupMask, cmd::ai_player2::SetAIPlayer2FightGroup_1543, cmd::ai_player2::GetAIPlayer2FightGroup},
    {"Vision Ray Collision Groups:", PropertyKind::Caption, 0, 0},
    {"Group:", PropertyKind::GroupMask, cmd::ai_player2::SetAIPlayer2RayGroup, cmd::ai_player2::GetAIPlayer2RayGroup},
    {"Recive:", PropertyKind::GroupMask, cmd::ai_player2::SetAIPlayer2RayGroupRecive, cmd::ai_player2::GetAIPlayer2RayGroupRecive},
    {"Exclude:", PropertyKind::GroupMask, cmd::ai_player2::SetAIPlayer2RayGroupExclude, cmd::ai_player2::GetAIPlayer2RayGroupExclude},
};
// clang-format on

// Group n (1..32) as its bit; 0 outside.
uint32_t GroupBit(uint32_t n) { return n >= 1 && n <= 32 ? 1u << (n - 1) : 0u; }

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

namespace {

// The skin's bone of that name ("Get Bone"); null when it has none.
Bone *AskBone(Actor *skin, const char *name) {
    struct {
        const char *name;
        Bone *bone;
    } query = {name, nullptr};
    skin->HandleCommand(cmd::skin_object::GetBone, ParamBlock(&query, sizeof(query)));
    return query.bone;
}

} // namespace

Bone *AIPlayer2Actor::HeadBone() {
    Actor *skin = SkinnedBody();
    if (skin == nullptr || skin->actorId != headBoneSkinId) {
        return nullptr;
    }
    if (SkeletonGenerationOf(skin) != headBoneGeneration) {
        headBone = AskBone(skin, "Head");
        headBoneGeneration = SkeletonGenerationOf(skin);
    }
    return headBone;
}

// --- commands -------------------------------------------------------------------------

int AIPlayer2Actor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::ai_player2::AIPlayer2GoToActor:
    case cmd::ai_player2::AIPlayer2RunToActor:
        GoToActor(block.ReadActor(0), block.ReadU32(sizeof(void *)),
                  commandId == cmd::ai_player2::AIPlayer2RunToActor ? 1u : 0u);
        break;
    case cmd::ai_player2::AIPlayer2VoiceCommand:
        VoiceCommand(block.ReadActor(0), block.ReadU32(sizeof(void *)));
        break;
    case cmd::ai_player2::AIPlayer2SoundNotify:
        SoundNotify(block.ReadActor(0), block);
        break;
    case cmd::ai_player2::SetAIPlayer2FightGroup_1543:
        fightGroup = block.ReadU32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2FightGroup:
        block.WriteU32(0, fightGroup);
        break;
    case cmd::ai_player2::SetAIPlayer2FightGroup_1545:
    case cmd::ai_player2::SetAIPlayer2GotoGroup_1548: {
        uint32_t &mask =
            commandId == cmd::ai_player2::SetAIPlayer2FightGroup_1545 ? fightGroup : goToGroup;
        const uint32_t bit = GroupBit(block.ReadU32(0));
        mask = block.ReadU32(4) != 0 ? (mask | bit) : (mask & ~bit);
        break;
    }
    case cmd::ai_player2::SetAIPlayer2GotoGroup_1546:
        goToGroup = block.ReadU32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2GotoGroup:
        block.WriteU32(0, goToGroup);
        break;
    case cmd::ai_player2::SetAIPlayer2PreFightTime:
        preFightTime = block.ReadF32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2PreFightTime:
        block.WriteF32(0, preFightTime);
        break;
    case cmd::ai_player2::SetAIPlayer2FindShelterEnable:
        findShelterEnable = block.ReadU32(0) != 0 ? 1u : 0u;
        break;
    case cmd::ai_player2::GetAIPlayer2FindShelterEnable:
        block.WriteU32(0, findShelterEnable);
        break;
    case cmd::ai_player2::SetAIPlayer2FindShelterRadius:
        findShelterRadius = block.ReadF32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2FindShelterRadius:
        block.WriteF32(0, findShelterRadius);
        break;
    case cmd::ai_player2::SetAIPlayer2IdleMotion:
        idleMotion = block.ReadString(0);
        break;
    case cmd::ai_player2::SetAIPlayer2StateIdle:
        SetState(kAI2Idle);
        break;
    case cmd::ai_player2::SetAIPlayer2StateScared:
        SetState(kAI2Scared);
        break;
    case cmd::ai_player2::SetAIPlayer2StateRelease:
        SetState(kAI2Release);
        break;
    case cmd::ai_player2::SetAIPlayer2StateInactive:
        SetState(kAI2Inactive);
        break;
    case cmd::ai_player2::SetAIPlayer2StateHide:
        SetState(kAI2Hide);
        break;
    case cmd::ai_player2::SetAIPlayer2StateFollow:
    case cmd::ai_player2::SetAIPlayer2StatePreFight:
    case cmd::ai_player2::SetAIPlayer2StateFight:
        if (Actor *actor = block.ReadActor(0)) {
            target.Assign(actor);
            if (commandId == cmd::ai_player2::SetAIPlayer2StateFollow) {
                SetState(kAI2Follow);
            } else if (commandId == cmd::ai_player2::SetAIPlayer2StatePreFight &&
                       preFightTime > 0.0f) {
                SetState(kAI2PreFight);
            } else {
                SetState(kAI2Fight);
            }
        }
        break;
    case cmd::ai_player2::SetAIPlayer2RayGroup:
        rayGroup = block.ReadU32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2RayGroup:
        block.WriteU32(0, rayGroup);
        break;
    case cmd::ai_player2::SetAIPlayer2RayGroupRecive:
        rayReceive = block.ReadU32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2RayGroupRecive:
        block.WriteU32(0, rayReceive);
        break;
    case cmd::ai_player2::SetAIPlayer2RayGroupExclude:
        rayExclude = block.ReadU32(0);
        break;
    case cmd::ai_player2::GetAIPlayer2RayGroupExclude:
        block.WriteU32(0, rayExclude);
        break;
    case cmd::base::InitNew:
    case cmd::base::InitLoad:
    case cmd::base::InitCopy:
        for (ActorLink *link : {&seen, &heard, &goTo, &target, &pendingEnemy}) {
            link->origin = this;
        }
        break;
    case cmd::base::SpyNotice: {
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
    case cmd::base::Precalculate:
        Bind();
        break;
    case cmd::base::Create:
        if (auto *source = CreateSource(*this, block)) {
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
    Raise(cmd::ai_player2::OnAIPlayer2SoundNotify);
}

void AIPlayer2Actor::CopyFields(AIPlayer2Actor &source) {
    static_cast<AIPlayer2Fields &>(*this) = source;
    const std::pair<ActorLink *, ActorLink *> links[] = {{&seen, &source.seen},
                                                         {&heard, &source.heard},
                                                         {&goTo, &source.goTo},
                                                         {&target, &source.target},
                                                         {&pendingEnemy, &source.pendingEnemy}};
    for (const auto &[mine, theirs] : links) {
        mine->origin = theirs->origin;
        mine->AssignCopy(*theirs);
    }
}

// --- binding ----------------------------------------------------------------------------

void AIPlayer2Actor::SpyOn(Actor *actor) {
    // Binding may run twice: one registration per actor, never two.
    const int32_t id = actorId;
    actor->HandleCommand(cmd::base::RemoveCommandSpy,
                         ParamBlock(const_cast<int32_t *>(&id), sizeof(id)));
    actor->HandleCommand(cmd::base::AddCommandSpy,
                         ParamBlock(const_cast<int32_t *>(&id), sizeof(id)));
}

void AIPlayer2Actor::Bind() {
    Actor *character = parent;
    if (character == nullptr) {
        return;
    }
    SendCommandArgs(character, cmd::base::SetMaster, true);
    SendCommandArgs(character, cmd::character::SetHoldTime, 0.0f);
    SendCommandArgs(character, cmd::character::SetDirectionBehaviour, uint32_t{2});
    SendCommandArgs(character, cmd::character::SetCharacterType, uint32_t{2});
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

    headBone = AskBone(skin, "Head");
    headBoneSkinId = skin->actorId;
    headBoneGeneration = SkeletonGenerationOf(skin);

    Actor *vision = FindDescendantByName(character, "Vision");
    Actor *hearing = FindDescendantByName(character, "Hearing");
    visionSensorId = vision != nullptr ? vision->actorId : -1;
    hearingSensorId = hearing != nullptr ? hearing->actorId : -1;
    for (Actor *sensor : {vision, hearing}) {
        if (sensor != nullptr) {
            SpyOn(sensor);
        }
    }
    EnsureProcessEntry(*this);
}

void AIPlayer2Actor::CollectHelpers(int32_t drawGroup) { CollectMarkerIds(drawGroup, markerIds); }

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
