// The Guard's registration, property sheet, command handler and actor-file
// record. The state machine and the walk are in guard_brain.cpp, the senses
// and what the guard does to others in guard_senses.cpp.
#include "actors/characters/guard_actor.h"

#include <cstdio>
#include <string_view>

#include "actors/characters/brain_services.h"
#include "actors/characters/character_actor.h"
#include "actors/characters/character_services.h"
#include "actors/characters/record_lists.h"
#include "actors/world/path_node_actor.h"
#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"

namespace {

// clang-format off
const PropertySheetRow kSheet[] = {
    {"Guard Properties", PropertyKind::PageTitle, 0, 0},
    {"Set Guard Type.", PropertyKind::Caption, 0, 0},
    {"Type:|Box Guard(Not ready!)|0|Path Guard|1|Path Fighter|2|Path Hunted|3|",
     PropertyKind::Enumeration, cmd::guard::SetGuardType, cmd::guard::GetGuardType},
    {"Set Guard Initial State.", PropertyKind::Caption, 0, 0},
    {"State:|Sleep|0|Patrol|1|Idle|8|", PropertyKind::Enumeration, cmd::guard::SetGuardState, cmd::guard::GetGuardState},
    {"Set Guard Character.", PropertyKind::Caption, 0, 0},
    {"Set:", PropertyKind::ListNumber, cmd::guard::SetGuardCharacter, cmd::guard::GetGuardCharacter},
    {"Use Node Time For Pause:", PropertyKind::CheckBox, cmd::guard::SetGuardUseNodeTime, cmd::guard::GetGuardUseNodeTime},
    {"Time:", PropertyKind::Time, cmd::path_node::SetPathnodeTime, cmd::path_node::GetPathnodeTime},
    {"Node Turn Distance:", PropertyKind::Real, cmd::guard::SetGuardTurnDistance, cmd::guard::GetGuardTurnDistance},
    {"Hit Distance:", PropertyKind::Real, cmd::guard::SetGuardHitDistance, cmd::guard::GetGuardHitDistance},
    {"Jump Interval:", PropertyKind::Time, cmd::guard::SetGuardJumpInterval, cmd::guard::GetGuardJumpInterval},
    {"Fighting Properties", PropertyKind::PageTitle, 0, 0},
    {"Attack", PropertyKind::ListSelector, cmd::guard::Unnamed_1322, cmd::guard::Unnamed_1323},
    {"Add Attack|Add|", PropertyKind::Button, cmd::guard::AddGuardAttackParam, 0},
    {"Delete Attack|Delete|", PropertyKind::Button, cmd::guard::DeleteGuardAttackParam, 0},
    {"Attack Param", PropertyKind::Caption, 0, 0},
    {"Rand", PropertyKind::WholeNumber, cmd::guard::SetGuardAttackParamRandWeight, cmd::guard::GetGuardAttackParamRandWeight},
    {"Eval Delay", PropertyKind::Time, cmd::guard::SetGuardAttackParamEvalDelay, cmd::guard::GetGuardAttackParamEvalDelay},
    {"Eff Mul", PropertyKind::Real, cmd::guard::SetGuardAttackParamEffectMul, cmd::guard::GetGuardAttackParamEffectMul},
    {"Start Fight Distance", PropertyKind::Caption, 0, 0},
    {"Distance", PropertyKind::Real, cmd::guard::SetGuardFightDistance, cmd::guard::GetGuardFightDistance},
    {"Dead Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Non|0|Delete|1|Spawn On Root|2|Spawn Random|3|Spawn On Place|4|",
     PropertyKind::Enumeration, cmd::guard::SetGuardDeadType, cmd::guard::GetGuardDeadType},
    {"Delay", PropertyKind::Real, cmd::guard::SetGuardDeadDelay, cmd::guard::GetGuardDeadDelay},
    {"Hit Effect Management", PropertyKind::PageTitle, 0, 0},
    {"Character Animation Effect", PropertyKind::Caption, 0, 0},
    {"Gethit:|Non|0|Gethit 0|1|Gethit 1|2|Gethit 2|3|Gethit 3|4|Gethit 4|5|Gethit 5|6|Gethit "
     "6|7|Gethit 7|8|Gethit 8|9|Gethit 9|10|",
     PropertyKind::Enumeration, cmd::guard::SetGuardHitGethitID, cmd::guard::GetGuardHitGethitID},
    {"Damage:|Non|0|Damage 0|1|Damage 1|2|Damage 2|3|Damage 3|4|Damage 4|5|Damage 5|6|Damage "
     "6|7|Damage 7|8|Damage 8|9|Damage 9|10|",
     PropertyKind::Enumeration, cmd::guard::SetGuardHitDamageID, cmd::guard::GetGuardHitDamageID},
    {"Character Hold Time", PropertyKind::Time, cmd::guard::SetGuardHitHoldTime, cmd::guard::GetGuardHitHoldTime},
    {"Hit Effect Management", PropertyKind::Caption, 0, 0},
    {"Effect", PropertyKind::ListSelector, cmd::guard::Unnamed_1314, cmd::guard::Unnamed_1315},
    {"Add Effect|Add|", PropertyKind::Button, cmd::guard::AddGuardHitEffect, 0},
    {"Delete Effect|Delete|", PropertyKind::Button, cmd::guard::DeleteGuardHitEffect, 0},
    {"Hit Effect", PropertyKind::Caption, 0, 0},
    {"Effect:|Speed|0|Endurance|1|Strength|2|Weight|3|Hearing|4|Noise Level|5|Constitution|6|"
     "Vision|7|Fov|8|Gamma R Add|9|Gamma G Add|10|Gamma B Add|11|Health|12|Drop Items|13|"
     "Unused|14|",
     PropertyKind::Enumeration, cmd::guard::SetGuardHitEffectType,
     cmd::guard::GetGuardHitEffectType},
    {"Value", PropertyKind::Real, cmd::guard::SetGuardHitEffectValue, cmd::guard::GetGuardHitEffectValue},
    {"Time", PropertyKind::Time, cmd::guard::SetGuardHitEffectTime, cmd::guard::GetGuardHitEffectTime},
};
// clang-format on

// Set/get pairs bound to one word or one real of the guard.
using WordProperty = FieldCommand<GuardActor, uint32_t>;
using RealProperty = FieldCommand<GuardActor, float>;

const WordProperty kWords[] = {
    {1293, 1294, &GuardActor::guardState},      {1295, 1296, &GuardActor::useNodeTime},
    {1306, 1307, &GuardActor::gethitId},   {1308, 1309, &GuardActor::damageId},
    {1332, 1333, &GuardActor::deadType},
};
const RealProperty kReals[] = {
    {1297, 1298, &GuardActor::turnDistance}, {1299, 1300, &GuardActor::hitDistance},
    {1301, 1302, &GuardActor::jumpInterval}, {1310, 1311, &GuardActor::hitHoldTime},
    {1334, 1335, &GuardActor::deadDelay},    {1336, 1337, &GuardActor::fightDistance},
    {cmd::path_node::SetPathnodeTime, cmd::path_node::GetPathnodeTime, &GuardActor::pathnodeTime},
};

} // namespace

GuardActor::GuardActor() { classId = kGuardClassId; }

GuardActor::~GuardActor() = default;

void GuardActor::RegisterClass() {
    ActorClassDescriptor &descriptor = NameClassDescriptor(kGuardClassId);
    descriptor.lineage = {0, kGuardClassId};
    descriptor.items.clear();
    AppendPropertyRows(descriptor, kSheet);
}

AttackParam *GuardActor::SelectedAttack() { return SelectedEntry(attackParams, attackIndex); }

HitEffect *GuardActor::SelectedEffect() { return SelectedEntry(hitEffects, effectIndex); }

void GuardActor::AddAreaBoxes() {
    const struct {
        const char *name;
        Vector3 min;
        Vector3 max;
    } areas[] = {
        {"Patrol Area", {-10.0f, -10.0f, -40.0f}, {10.0f, 40.0f, 40.0f}},
        {"Hunt Area", {-60.0f, -10.0f, -60.0f}, {60.0f, 40.0f, 60.0f}},
    };
    for (const auto &area : areas) {
        AddEventColObj(*this, area.name, area.min, area.max);
    }
}

void GuardActor::SetGuardType(uint32_t type) {
    guardType = type;
    if (type == kGuardBox) {
        DeleteAllChildren(this);
    }
    while (!colObjs.empty()) {
        RemoveColObj(colObjs.size() - 1);
    }
    if (type == kGuardBox) {
        AddAreaBoxes();
        return;
    }
    if (children.empty()) {
        Actor *node = CreateActor(kPathNodeClassId, "Node", nullptr, this, -1, true);
        SendCommandArgs(node, cmd::base::SetPosition, Vector3{100.0f, 0.0f, 0.0f});
    }
}

void GuardActor::CopyConfiguration(const GuardActor &source) {
    static_cast<GuardConfiguration &>(*this) = source;
}

bool GuardActor::ServeProperty(uint32_t commandId, ParamBlock block) {
    if (ServeFieldCommand(kWords, *this, commandId, block) ||
        ServeFieldCommand(kReals, *this, commandId, block)) {
        return true;
    }
    AttackParam *attack = SelectedAttack();
    HitEffect *effect = SelectedEffect();
    switch (commandId) {
    case cmd::guard::GetGuardType:
        block.WriteU32(0, guardType);
        return true;
    case cmd::guard::SetGuardCharacter:
        characterTemplateId = block.ReadI32(0);
        return true;
    case cmd::guard::GetGuardCharacter:
        block.WriteI32(0, characterTemplateId);
        return true;
    case cmd::guard::SetGuardHitEffectType:
    case cmd::guard::GetGuardHitEffectType:
    case cmd::guard::SetGuardHitEffectValue:
    case cmd::guard::GetGuardHitEffectValue:
    case cmd::guard::SetGuardHitEffectTime:
    case cmd::guard::GetGuardHitEffectTime:
        ServeEntryFields(commandId, cmd::guard::SetGuardHitEffectType, block, effect,
                         &HitEffect::type, &HitEffect::value, &HitEffect::time, false);
        return true;
    case 1326:
    case 1327:
    case 1328:
    case 1329:
    case 1330:
    case 1331:
        ServeEntryFields(commandId, 1326, block, attack, &AttackParam::weight,
                         &AttackParam::effectMul, &AttackParam::evalDelay, false);
        return true;
    default:
        return false;
    }
}

bool GuardActor::ServeLists(uint32_t commandId, ParamBlock block) {
    static std::vector<std::string> effectNames;
    static std::vector<std::string> attackNames;
    static constexpr IndexedListCommands kEffectList = {
        cmd::guard::AddGuardHitEffect, cmd::guard::DeleteGuardHitEffect, cmd::guard::Unnamed_1314,
        cmd::guard::Unnamed_1315};
    static constexpr IndexedListCommands kAttackList = {
        cmd::guard::AddGuardAttackParam, cmd::guard::DeleteGuardAttackParam,
        cmd::guard::Unnamed_1322,
        cmd::guard::Unnamed_1323};
    return ServeIndexedList(kEffectList, commandId, block, hitEffects, effectIndex, "Hit Effect %d",
                            effectNames) ||
           ServeIndexedList(kAttackList, commandId, block, attackParams, attackIndex, "Attack%d",
                            attackNames);
}

void GuardActor::Networkhunt(uint32_t actorId) {
    // The hunt starts on whatever the id names; an id that names nothing
    // leaves no target, and the hunt ends on the next tick.
    target.Assign(GetActorById(actorId));
    state |= kActorOperational;
    uint32_t on = 1;
    SendIfPresent(character.target, cmd::base::SetMaster, ParamBlock(&on, sizeof(on)));
    SetState(guardType == kGuardHunted ? kGuardHuntedState : kGuardHunt);
}

int GuardActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    if (ServeProperty(commandId, block) || ServeLists(commandId, block)) {
        return Actor::HandleCommand(commandId, block);
    }
    switch (commandId) {
    case cmd::guard::SetGuardType:
        SetGuardType(block.ReadU32(0));
        break;
    case cmd::guard::GuardNetworkhunt:
        Networkhunt(block.ReadU32(0));
        break;
    case cmd::base::SpyNotice:
        if (IsOperational()) {
            return SpyNotice(block);
        }
        break;
    case cmd::base::Precalculate:
        if (Bind() == 0) {
            return 0;
        }
        break;
    case cmd::base::InvalidActorPointer:
        if (block.size() >= sizeof(ActorLink *) &&
            static_cast<const ActorLink *>(block.ReadPointer(0)) == &trailTarget) {
            StopTrail();
        }
        break;
    case cmd::base::Create: {
        if (block.ReadActor(0) == nullptr) {
            AddAreaBoxes();
        } else if (auto *source = CreateSource(*this, block)) {
            CopyConfiguration(*source);
        }
        break;
    }
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int GuardActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWords(&characterTemplateId, 1);
        archive.SerializeFloat(&turnDistance);
        archive.SerializeWord(&useNodeTime);
        archive.SerializeWord(&guardType);
        archive.SerializeFloat(&pathnodeTime);
        archive.SerializeFloat(&hitDistance);
        archive.SerializeFloat(&jumpInterval);
        archive.SerializeSpareWords(1);
    }
    if (!SerializeHitEffects(archive, 12, hitEffects)) {
        return 0;
    }
    if (archive.Version() >= 12) {
        archive.SerializeWord(&gethitId);
        archive.SerializeWord(&damageId);
        archive.SerializeFloat(&hitHoldTime);
    }
    if (!SerializeAttacks(archive, 13, attackParams)) {
        return 0;
    }
    if (archive.Version() >= 16) {
        archive.SerializeWord(&deadType);
        archive.SerializeFloat(&deadDelay);
    }
    if (archive.Version() >= 18) {
        archive.SerializeFloat(&fightDistance);
    }
    if (archive.Version() >= 53) {
        archive.SerializeWord(&guardState);
    }
    return archive.Failed() ? 0 : 1;
}

void GuardActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back(
        "guard template " + std::to_string(characterTemplateId) + " turn " +
        DumpNumber(turnDistance) + " usenodetime " + std::to_string(useNodeTime) + " type " +
        std::to_string(guardType) + " nodetime " + DumpNumber(pathnodeTime) + " hit " +
        DumpNumber(hitDistance) + " jump " + DumpNumber(jumpInterval) + " effects " +
        std::to_string(hitEffects.size()) + " gethit " + std::to_string(gethitId) + " damage " +
        std::to_string(damageId) + " hold " + DumpNumber(hitHoldTime) + " attacks " +
        std::to_string(attackParams.size()) + " deadtype " + std::to_string(deadType) +
        " deaddelay " + DumpNumber(deadDelay) + " fight " + DumpNumber(fightDistance) +
        " state " + std::to_string(guardState));
    for (size_t i = 0; i < hitEffects.size(); ++i) {
        const HitEffect &e = hitEffects[i];
        lines.push_back("guardeffect " + std::to_string(i) + " type " + std::to_string(e.type) +
                        " value " + DumpNumber(e.value) + " time " + DumpNumber(e.time));
    }
    for (size_t i = 0; i < attackParams.size(); ++i) {
        const AttackParam &a = attackParams[i];
        lines.push_back("guardattack " + std::to_string(i) + " weight " +
                        std::to_string(a.weight) + " mul " + DumpNumber(a.effectMul) +
                        " delay " + DumpNumber(a.evalDelay));
    }
}
