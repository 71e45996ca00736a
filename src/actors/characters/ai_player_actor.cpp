// The AI Player's registration, property sheet, command handler, binding to
// its character, copy and actor-file record. The think and the spy
// reactions are in ai_player_think.cpp, following, fighting, perception and
// the draw-group memory in ai_player_fight.cpp.
#include "actors/characters/ai_player_actor.h"

#include <cmath>
#include <cstring>

#include "actors/characters/ai_helper_actor.h"
#include "actors/characters/ai_player_internal.h"
#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/record_lists.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/process_entry.h"

using namespace aiplayer;

namespace aiplayer {

float HealthOf(const Actor *actor) {
    const auto *character = dynamic_cast<const CharacterActor *>(actor);
    return character != nullptr ? character->health : 0.0f;
}

uint32_t GroupOf(const Actor *actor) {
    const auto *character = dynamic_cast<const CharacterActor *>(actor);
    return character != nullptr ? character->characterGroup : 0u;
}

bool IsSuspended(const Actor *actor) {
    const auto *character = dynamic_cast<const CharacterActor *>(actor);
    return character != nullptr && (character->charFlags & kCharSuspended) != 0;
}

} // namespace aiplayer

namespace {

// clang-format off
const PropertySheetRow kSheet[] = {
    {"AI Player Properties", PropertyKind::PageTitle, 0, 0},
    {"Set AI Type.", PropertyKind::Caption, 0, 0},
    {"Type:|Normal|0|Static|1|", PropertyKind::Enumeration, cmd::ai_player::SetAIPlayerType, cmd::ai_player::GetAIPlayerType},
    {"Can Open Door:", PropertyKind::CheckBox, cmd::ai_player::SetAIPlayerCanOpenDoor, cmd::ai_player::GetAIPlayerCanOpenDoor},
    {"Never Run In Fight:", PropertyKind::CheckBox, cmd::ai_player::SetAIPlayerNeverRunInFight, cmd::ai_player::GetAIPlayerNeverRunInFight},
    {"Delete If Not Drawn:", PropertyKind::Caption, 0, 0},
    {"Use Delete If Not Drawn:", PropertyKind::CheckBox, cmd::ai_player::SetAIPlayerDeleteIfNotDrawn, cmd::ai_player::GetAIPlayerDeleteIfNotDrawn},
    {"Delete Delay:", PropertyKind::Time, cmd::ai_player::SetAIPlayerDeleteIfNotDrawnTime, cmd::ai_player::GetAIPlayerDeleteIfNotDrawnTime},
    {"Not Drawn Event Timer:", PropertyKind::Caption, 0, 0},
    {"Time:", PropertyKind::Time, cmd::ai_player::SetAIPlayerNotDrawnEventTime, cmd::ai_player::GetAIPlayerNotDrawnEventTime},
    {"Follow Properties", PropertyKind::PageTitle, 0, 0},
    {"Start Follow:|On Action|0|On Follow Distance|1|On Hearing And Vision|2|",
     PropertyKind::Enumeration, cmd::ai_player::SetAIPlayerStartFollowType,
     cmd::ai_player::GetAIPlayerStartFollowType},
    {"Distance:", PropertyKind::Real, cmd::ai_player::SetAIPlayerFollowDistance, cmd::ai_player::GetAIPlayerFollowDistance},
    {"Min Time:", PropertyKind::Time, cmd::ai_player::SetAIPlayerFollowMinTime, cmd::ai_player::GetAIPlayerFollowMinTime},
    {"Max Time:", PropertyKind::Time, cmd::ai_player::SetAIPlayerFollowMaxTime, cmd::ai_player::GetAIPlayerFollowMaxTime},
    {"Follow Group:", PropertyKind::GroupMask, cmd::ai_player::SetAIPlayerFollowGroup_1459, cmd::ai_player::GetAIPlayerFollowGroup},
    {"Fight Properties", PropertyKind::PageTitle, 0, 0},
    {"Fight Dist:", PropertyKind::Real, cmd::ai_player::SetAIPlayerFightDistance, cmd::ai_player::GetAIPlayerFightDistance},
    {"Hit Dist:", PropertyKind::Real, cmd::ai_player::SetAIPlayerFightHitDistance, cmd::ai_player::GetAIPlayerFightHitDistance},
    {"Fight Group:", PropertyKind::GroupMask, cmd::ai_player::SetAIPlayerFightGroup_1468, cmd::ai_player::GetAIPlayerFightGroup},
    {"Attack", PropertyKind::ListSelector, cmd::ai_player::Unnamed_1487, cmd::ai_player::Unnamed_1488},
    {"Add Attack|Add|", PropertyKind::Button, cmd::ai_player::AddAIPlayerAttackParam, 0},
    {"Delete Attack|Delete|", PropertyKind::Button, cmd::ai_player::DeleteAIPlayerAttackParam, 0},
    {"Attack Param", PropertyKind::Caption, 0, 0},
    {"Rand", PropertyKind::WholeNumber, cmd::ai_player::SetAIPlayerAttackParamRandWeight, cmd::ai_player::GetAIPlayerAttackParamRandWeight},
    {"Eval Delay", PropertyKind::Time, cmd::ai_player::SetAIPlayerAttackParamEvalDelay, cmd::ai_player::GetAIPlayerAttackParamEvalDelay},
    {"Eff Mul", PropertyKind::Real, cmd::ai_player::SetAIPlayerAttackParamEffectMul, cmd::ai_player::GetAIPlayerAttackParamEffectMul},
    {"Can Fight In Go To State:", PropertyKind::CheckBox,
     cmd::ai_player::SetAIPlayerStartFightInGoToState,
     cmd::ai_player::GetAIPlayerStartFightInGoToState},
    {"Hit Effect Properties", PropertyKind::PageTitle, 0, 0},
    {"Character Animation Effect", PropertyKind::Caption, 0, 0},
    {"Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit "
     "6|7|Gethit 7|8|Gethit 8|9|Gethit 9|10|",
     PropertyKind::Enumeration, cmd::ai_player::SetAIPlayerHitGethitID,
     cmd::ai_player::GetAIPlayerHitGethitID},
    {"Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage "
     "6|7|Damage 7|8|Damage 8|9|Damage 9|10|",
     PropertyKind::Enumeration, cmd::ai_player::SetAIPlayerHitDamageID,
     cmd::ai_player::GetAIPlayerHitDamageID},
    {"Character Hold Time", PropertyKind::Time, cmd::ai_player::SetAIPlayerHitHoldTime, cmd::ai_player::GetAIPlayerHitHoldTime},
    {"Hit Effect Management", PropertyKind::Caption, 0, 0},
    {"Effect", PropertyKind::ListSelector, cmd::ai_player::Unnamed_1479, cmd::ai_player::Unnamed_1480},
    {"Add Effect|Add|", PropertyKind::Button, cmd::ai_player::AddAIPlayerHitEffect, 0},
    {"Delete Effect|Delete|", PropertyKind::Button, cmd::ai_player::DeleteAIPlayerHitEffect, 0},
    {"Hit Effect", PropertyKind::Caption, 0, 0},
    {"Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|"
     "Vision|7|Fov|8|Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|"
     "Unused|14|",
     PropertyKind::Enumeration, cmd::ai_player::SetAIPlayerHitEffectType,
     cmd::ai_player::GetAIPlayerHitEffectType},
    {"Value", PropertyKind::Real, cmd::ai_player::SetAIPlayerHitEffectValue, cmd::ai_player::GetAIPlayerHitEffectValue},
    {"Time", PropertyKind::Time, cmd::ai_player::SetAIPlayerHitEffectTime, cmd::ai_player::GetAIPlayerHitEffectTime},
    {"Death Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Non|0|Delete|1|Spawn Random|2|Spawn On Place|3|", PropertyKind::Enumeration,
     cmd::ai_player::SetAIPlayerDeathType,
     cmd::ai_player::GetAIPlayerDeathType},
    {"Delay", PropertyKind::Time, cmd::ai_player::SetAIPlayerDeathDelay, cmd::ai_player::GetAIPlayerDeathDelay},
    {"Memory Properties", PropertyKind::PageTitle, 0, 0},
    {"Use Memory:", PropertyKind::CheckBox, cmd::ai_player::SetAIPlayerUseMemory, cmd::ai_player::GetAIPlayerUseMemory},
};
// clang-format on

// Set/get pairs bound to one word or one real of the brain.
using WordProperty = FieldCommand<AIPlayerFields, uint32_t>;
using RealProperty = FieldCommand<AIPlayerFields, float>;

const WordProperty kWords[] = {
    {1443, 1444, &AIPlayerFields::aiType},          {1445, 1446, &AIPlayerFields::useMemory},
    {1447, 1448, &AIPlayerFields::neverRunInFight}, {1449, 1450, &AIPlayerFields::canFightInGoTo},
    {1459, 1460, &AIPlayerFields::followGroup},     {1462, 1463, &AIPlayerFields::startFollow},
    {1468, 1469, &AIPlayerFields::fightGroup},      {1471, 1472, &AIPlayerFields::hitGethitId},
    {1473, 1474, &AIPlayerFields::hitDamageId},     {1491, 1492, &AIPlayerFields::canOpenDoor},
    {1499, 1500, &AIPlayerFields::deathType},       {1503, 1504, &AIPlayerFields::deleteIfNotDrawn},
};
const RealProperty kReals[] = {
    {1451, 1452, &AIPlayerFields::followDistance},
    {1453, 1454, &AIPlayerFields::followMinTime},
    {1455, 1456, &AIPlayerFields::followMaxTime},
    {1457, 1458, &AIPlayerFields::turnSpeed},
    {1464, 1465, &AIPlayerFields::fightDistance},
    {1466, 1467, &AIPlayerFields::fightHitDistance},
    {1475, 1476, &AIPlayerFields::hitHoldTime},
    {1501, 1502, &AIPlayerFields::deathDelay},
    {1505, 1506, &AIPlayerFields::deleteIfNotDrawnTime},
    {1507, 1508, &AIPlayerFields::notDrawnEventTime},
};

// Group n (1..32) as its bit; 0 outside.
uint32_t GroupBit(uint32_t n) { return n >= 1 && n <= 32 ? 1u << (n - 1) : 0u; }

} // namespace

// --- registration, construction ----------------------------------------------------

void AIPlayerActor::RegisterClass() { RegisterBasicClassSheet(kAIPlayerClassId, kSheet); }

AIPlayerActor::AIPlayerActor() { classId = kAIPlayerClassId; }

AIPlayerActor::~AIPlayerActor() { targetLink.Release(); }

Actor *AIPlayerActor::Character() const {
    return ActorAt(characterId, static_cast<int32_t>(kCharacterClassId));
}
Actor *AIPlayerActor::TrailLeader() const { return ActorAt(trailLeaderId); }
Actor *AIPlayerActor::ExploreExit() const { return ActorAt(exploreExitId); }

std::vector<Actor *> AIPlayerActor::Markers() const {
    std::vector<Actor *> markers;
    for (int32_t id : markerIds) {
        if (Actor *marker = ActorAt(id, static_cast<int32_t>(kAIHelperClassId))) {
            markers.push_back(marker);
        }
    }
    return markers;
}

// --- commands -------------------------------------------------------------------------

bool AIPlayerActor::ServeProperty(uint32_t commandId, ParamBlock block) {
    if (ServeFieldCommand(kWords, *this, commandId, block) ||
        ServeFieldCommand(kReals, *this, commandId, block)) {
        return true;
    }
    if (commandId == cmd::ai_player::SetAIPlayerFollowGroup_1461 ||
        commandId == cmd::ai_player::SetAIPlayerFightGroup_1470) {
        uint32_t &mask =
            commandId == cmd::ai_player::SetAIPlayerFollowGroup_1461 ? followGroup : fightGroup;
        const uint32_t bit = GroupBit(block.ReadU32(0));
        mask = block.ReadU32(4) != 0 ? (mask | bit) : (mask & ~bit);
        return true;
    }
    if (commandId >= 1481 && commandId <= 1486) {
        ServeEntryFields(commandId, 1481, block, SelectedEntry(hitEffects, selectedHitEffect),
                         &HitEffect::type, &HitEffect::value, &HitEffect::time, true);
        return true;
    }
    if (commandId >= 1493 && commandId <= 1498) {
        ServeEntryFields(commandId, 1493, block, SelectedEntry(attacks, selectedAttack),
                         &AttackParam::weight, &AttackParam::effectMul, &AttackParam::evalDelay,
                         true);
        return true;
    }
    return false;
}

bool AIPlayerActor::ServeLists(uint32_t commandId, ParamBlock block) {
    static std::vector<std::string> effectNames;
    static std::vector<std::string> attackNames;
    static constexpr IndexedListCommands kEffectList = {
        cmd::ai_player::AddAIPlayerHitEffect, cmd::ai_player::DeleteAIPlayerHitEffect,
        cmd::ai_player::Unnamed_1479, cmd::ai_player::Unnamed_1480};
    static constexpr IndexedListCommands kAttackList = {cmd::ai_player::AddAIPlayerAttackParam,
                                                        cmd::ai_player::DeleteAIPlayerAttackParam,
                                                        cmd::ai_player::Unnamed_1487,
                                                        cmd::ai_player::Unnamed_1488};
    return ServeIndexedList(kEffectList, commandId, block, hitEffects, selectedHitEffect,
                            "Hit Effect %d", effectNames) ||
           ServeIndexedList(kAttackList, commandId, block, attacks, selectedAttack, "Attack%d",
                            attackNames);
}

void AIPlayerActor::GoToPoint(const Vector3 &point, uint32_t motion) {
    goToPoints.assign(1, point);
    goToMotion = motion;
    SetState(kAIPGoTo);
}

void AIPlayerActor::Obstacle() {
    actionCountdown = 5.0f;
    Actor *character = Character();
    SendIfPresent(character, cmd::character::MotionQueueClear, ParamBlock());
    SendText(character, cmd::character::MotionQueuePushBack, "M_Back");
    SetState(kAIPIdle);
}

int AIPlayerActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServeProperty(commandId, block) || ServeLists(commandId, block)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case cmd::ai_player::SetAIPlayerStateIdle:
        SetState(kAIPIdle);
        break;
    case cmd::ai_player::SetAIPlayerStateScared:
        SetState(kAIPScared);
        break;
    case cmd::ai_player::SetAIPlayerStateInactive:
        SetState(kAIPInactive);
        break;
    case cmd::ai_player::AIPlayerSearchAndGoToActor:
        SearchAndGoTo(std::string(block.ReadString(0)));
        break;
    case cmd::ai_player::AIPlayerGoToPosition:
        GoToPoint(block.Read<Vector3>(0), kAIMotionRun);
        break;
    case cmd::ai_player::AIPlayerGoToActor:
    case cmd::ai_player::AIPlayerWalkToActor:
    case cmd::ai_player::AIPlayerRunToActor:
        // A null actor has no position: nothing happens.
        if (Actor *actor = block.ReadActor(0)) {
            GoToPoint(actor->GetWorldPosition(), commandId == cmd::ai_player::AIPlayerWalkToActor
                                                     ? kAIMotionWalk
                                                     : kAIMotionRun);
        }
        break;
    case cmd::ai_player::AIPlayerObstacle:
    case cmd::ai_player::AIPlayerShaft:
        Obstacle();
        break;
    case cmd::ai_player::AIPlayerObstacleJump:
    case cmd::ai_player::AIPlayerShaftJump:
        if (hasJumpMotion != 0) {
            SendIfPresent(Character(), cmd::character::CCJump, ParamBlock());
        } else if (commandId == cmd::ai_player::AIPlayerShaftJump) {
            Obstacle();
        }
        break;
    case cmd::base::InitNew:
    case cmd::base::InitLoad:
    case cmd::base::InitCopy:
        targetLink.origin = this;
        break;
    case cmd::base::Precalculate:
        Bind();
        break;
    case cmd::base::Create:
        if (auto *source = CreateSource(*this, block)) {
            CopyFields(*source);
        }
        break;
    case cmd::base::Kill:
        if (Actor *character = Character()) {
            SendIfPresent(character, cmd::base::RemoveAllCommandSpy, ParamBlock());
        }
        break;
    case cmd::base::InvalidActorPointer:
        // The target went: the trail's leader goes with it.
        targetLink.Release();
        trailLeaderId = -1;
        SetState(kAIPInactive);
        break;
    case cmd::base::SpyNotice:
        SpyNotice(block);
        return 1;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void AIPlayerActor::CopyFields(AIPlayerActor &source) {
    static_cast<AIPlayerFields &>(*this) = source;
    targetLink.origin = source.targetLink.origin;
    targetLink.AssignCopy(source.targetLink);
}

// --- binding ----------------------------------------------------------------------------

void AIPlayerActor::Bind() {
    auto *character = dynamic_cast<CharacterActor *>(parent);
    if (character != nullptr && parent->classId == kCharacterClassId) {
        characterId = character->actorId;
        // This brain becomes the character's only spy.
        RemoveAllCommandSpies(character);
        SendWord(character, cmd::base::AddCommandSpy, static_cast<uint32_t>(actorId));
        character->brain.Assign(this);
        SendWord(character, cmd::base::SetMaster, 1);
        SendReal(character, cmd::character::SetHoldTime, 0.0f);
        startHealth = QueryReal(character, cmd::character::GetHealth);
        SendWord(character, cmd::character::SetDirectionBehaviour, 0);
        SendWord(character, cmd::character::SetCharacterType, 2);

        // The weights of the attacks as they are now, rebuilt every time.
        attackPool.clear();
        for (const AttackParam &attack : attacks) {
            attackPool.push_back(attack.weight);
        }

        hasJumpMotion = 0;
        uint8_t query[4 + sizeof(Actor *)] = {};
        const int32_t skinClass = static_cast<int32_t>(kSkinObjectClassId);
        std::memcpy(query, &skinClass, sizeof(skinClass));
        character->HandleCommand(cmd::base::FindChildByClass, ParamBlock(query, sizeof(query)));
        Actor *skin = nullptr;
        std::memcpy(&skin, query + 4, sizeof(skin));
        if (skin != nullptr) {
            std::vector<std::string> names;
            void *list = &names;
            skin->HandleCommand(cmd::skin_object::SetMotionStringList_1096,
                                ParamBlock(&list, sizeof(list)));
            for (const std::string &name : names) {
                if (!name.empty() && (name[0] == 'J' || name[0] == 'j')) {
                    hasJumpMotion = 1;
                }
            }
        }
        // The character entered its draw group before this spied on it.
        EnterDrawGroup(character->drawGroupId);
    }
    EnsureProcessEntry(*this);
    if (aiState == kAIPFight || aiState == kAIPFollow) {
        aiState = kAIPIdle;
        previousState = -1;
    }
    if (Actor *bound = Character()) {
        // Outside the movement names: the character plays none until the
        // next motion is set.
        static_cast<CharacterActor *>(bound)->movement = 0xFFFFFFFFu;
        SendText(bound, cmd::skin_object::SetMotion, "N_Neutral");
    }
}

// --- file -------------------------------------------------------------------------------------

int AIPlayerActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    archive.SerializeWordsSince(1, &aiType, 1);
    archive.SerializeWordsSince(1, &useMemory, 1);
    archive.SerializeWordsSince(1, &canOpenDoor, 1);
    archive.SerializeWordsSince(1, &canFightInGoTo, 1);
    archive.SerializeWordsSince(1, &deleteIfNotDrawn, 1);
    archive.SerializeWordsSince(1, &deleteIfNotDrawnTime, 1);
    archive.SerializeWordsSince(1, &notDrawnEventTime, 1);
    archive.SerializeWordsSince(1, &neverRunInFight, 1);
    archive.SerializeWordsSince(19, &followDistance, 1);
    archive.SerializeWordsSince(19, &followMinTime, 1);
    archive.SerializeWordsSince(19, &followMaxTime, 1);
    archive.SerializeWordsSince(27, &startFollow, 1);
    archive.SerializeWordsSince(27, &followGroup, 1);
    archive.SerializeWordsSince(19, &fightDistance, 1);
    archive.SerializeWordsSince(19, &fightHitDistance, 1);
    archive.SerializeWordsSince(27, &fightGroup, 1);
    if (!SerializeHitEffects(archive, 19, hitEffects)) {
        return 0;
    }
    archive.SerializeWordsSince(19, &hitGethitId, 1);
    archive.SerializeWordsSince(19, &hitDamageId, 1);
    archive.SerializeWordsSince(19, &hitHoldTime, 1);
    if (!SerializeAttacks(archive, 19, attacks)) {
        return 0;
    }
    archive.SerializeWordsSince(21, &deathType, 1);
    archive.SerializeWordsSince(21, &deathDelay, 1);
    archive.SerializeWordsSince(41, &turnSpeed, 1);
    archive.SerializeWordsSince(45, &stateTimer, 1);
    archive.SerializeWordsSince(45, &aiState, 1);
    archive.SerializeWordsSince(45, &previousState, 1);
    return archive.Failed() ? 0 : 1;
}

void AIPlayerActor::DumpClassFields(std::vector<std::string> &lines) const {
    auto word = [](uint32_t w) { return std::to_string(w); };
    lines.push_back(
        "aiplayer type " + word(aiType) + " memory " + word(useMemory) + " opendoor " +
        word(canOpenDoor) + " fightingoto " + word(canFightInGoTo) + " deletenotdrawn " +
        word(deleteIfNotDrawn) + " deletetime " + DumpNumber(deleteIfNotDrawnTime) +
        " eventtime " + DumpNumber(notDrawnEventTime) + " neverrun " + word(neverRunInFight) +
        " follow " + DumpNumber(followDistance) + " mintime " + DumpNumber(followMinTime) +
        " maxtime " + DumpNumber(followMaxTime) + " startfollow " + word(startFollow) +
        " followgroup " + DumpMask(followGroup) + " fight " + DumpNumber(fightDistance) + " hit " +
        DumpNumber(fightHitDistance) + " fightgroup " + DumpMask(fightGroup) + " effects " +
        std::to_string(hitEffects.size()) + " gethit " + word(hitGethitId) + " damage " +
        word(hitDamageId) + " hold " + DumpNumber(hitHoldTime) + " attacks " +
        std::to_string(attacks.size()) + " deathtype " + word(deathType) + " deathdelay " +
        DumpNumber(deathDelay) + " turn " + DumpNumber(turnSpeed) + " statetimer " +
        DumpNumber(stateTimer) + " state " + std::to_string(aiState) + " previous " +
        std::to_string(previousState));
    for (size_t i = 0; i < hitEffects.size(); ++i) {
        const HitEffect &e = hitEffects[i];
        lines.push_back("aiplayereffect " + std::to_string(i) + " type " + word(e.type) +
                        " value " + DumpNumber(e.value) + " time " + DumpNumber(e.time));
    }
    for (size_t i = 0; i < attacks.size(); ++i) {
        const AttackParam &a = attacks[i];
        lines.push_back("aiplayerattack " + std::to_string(i) + " weight " + word(a.weight) +
                        " mul " + DumpNumber(a.effectMul) + " delay " + DumpNumber(a.evalDelay));
    }
}
