// What the Guard's source files share: the command ids it sends, its motion
// ids, and small send, query and geometry helpers.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "actors/characters/brain_services.h"
#include "base/math.h"
#include "core/actors/actor.h"
#include "core/actors/base_command_ids.h"

namespace guard {

// Commands the guard sends or reads.
inline constexpr uint32_t kCmdGuardHitCharacter = 549;
inline constexpr uint32_t kCmdGetMasterCharacter = 562;
inline constexpr uint32_t kCmdOpenDoor = 770;
inline constexpr uint32_t kCmdSetMovement = 845;
inline constexpr uint32_t kCmdSetNextMovement = 847;
inline constexpr uint32_t kCmdSetHoldTime = 856;
inline constexpr uint32_t kCmdGetHoldTime = 857;
inline constexpr uint32_t kCmdCcJump = 869;
inline constexpr uint32_t kCmdChangeCpFirst = 940;
inline constexpr uint32_t kCmdChangeHealth = 952;
inline constexpr uint32_t kCmdGetNoiseLevel = 974;
inline constexpr uint32_t kCmdSetRotY = 976;
inline constexpr uint32_t kCmdSetLookRotY = 978;
inline constexpr uint32_t kCmdSetHealth = 1017;
inline constexpr uint32_t kCmdGetHealth = 1018;
inline constexpr uint32_t kCmdSetTurnSpeed = 1027;
inline constexpr uint32_t kCmdSetDirectionBehaviour = 1031;
inline constexpr uint32_t kCmdMotionQueuePushBack = 1033;
inline constexpr uint32_t kCmdMotionQueueClear = 1035;
inline constexpr uint32_t kCmdMotionQueueEmptied = 1039;
inline constexpr uint32_t kCmdSetDeadLock = 1045;
inline constexpr uint32_t kCmdOnUnlockInput = 1047;
inline constexpr uint32_t kCmdSetMotion = 1097;
inline constexpr uint32_t kCmdCallbackMotionSet = 1122;

inline constexpr uint32_t kDoorClassId = 13;
inline constexpr uint32_t kSpawnPointClassId = 21;
inline constexpr uint32_t kFrontEndActorId = 16;

// GuardMotion ids.
inline constexpr int32_t kMotionRun = 0;
inline constexpr int32_t kMotionStand = 2;
inline constexpr int32_t kMotionWalk = 3;
inline constexpr int32_t kMotionGuarding = 4;
inline constexpr int32_t kMotionExhausted = 5;
inline constexpr int32_t kMotionSleep = 10;

inline constexpr uint32_t kTrailMaxPoints = 64;

// The identity rotation without an actor.
Quaternion QueryQuaternion(Actor *actor, uint32_t commandId);

} // namespace guard
