// What the AI Player's source files share: the ids of the commands it sends
// and hears, and small send and query helpers.
#pragma once

#include <cstdint>

#include "base/math.h"
#include "core/actors/actor.h"
#include "actors/characters/brain_services.h"
#include "core/actors/base_command_ids.h"

namespace aiplayer {

inline constexpr uint32_t kCmdGetCenterPoint = 350;
inline constexpr uint32_t kCmdSetCharacterType = 837;
inline constexpr uint32_t kCmdSetMovement = 845;
inline constexpr uint32_t kCmdSetNextMovement = 847;
inline constexpr uint32_t kCmdSetHoldTime = 856;
inline constexpr uint32_t kCmdGetHoldTime = 857;
inline constexpr uint32_t kCmdCcJump = 869;
inline constexpr uint32_t kCmdCcRAction1Stop = 879;
inline constexpr uint32_t kCmdCcRAction2Stop = 882;
inline constexpr uint32_t kCmdChangeCpFirst = 940;
inline constexpr uint32_t kCmdChangeHealth = 952;
inline constexpr uint32_t kCmdHurt = 964;
inline constexpr uint32_t kCmdAction = 971;
inline constexpr uint32_t kCmdSetRotY = 976;
inline constexpr uint32_t kCmdSetLookRotX = 980;
inline constexpr uint32_t kCmdSetLookRotXSpeed = 984;
inline constexpr uint32_t kCmdSetLookRotYSpeed = 986;
inline constexpr uint32_t kCmdSetHealth = 1017;
inline constexpr uint32_t kCmdGetHealth = 1018;
inline constexpr uint32_t kCmdSetTurnSpeed = 1027;
inline constexpr uint32_t kCmdSetDirectionBehaviour = 1031;
inline constexpr uint32_t kCmdMotionQueuePushBack = 1033;
inline constexpr uint32_t kCmdMotionQueueClear = 1035;
inline constexpr uint32_t kCmdMotionQueueEmptied = 1039;
inline constexpr uint32_t kCmdSetDeadLock = 1045;
inline constexpr uint32_t kCmdOnDie = 1062;
inline constexpr uint32_t kCmdOnJumpStop = 1067;
inline constexpr uint32_t kCmdMotionStringList = 1096;
inline constexpr uint32_t kCmdSetMotion = 1097;
inline constexpr uint32_t kCmdCallbackSkinLooping = 1121;
inline constexpr uint32_t kCmdCallbackMotionSet = 1122;

inline constexpr uint32_t kDoorClass = 13;
inline constexpr uint32_t kSkinClass = 17;
inline constexpr uint32_t kProcessFlags = 0x100;
inline constexpr uint32_t kProcessLayer = 2;

// The character's health, group and brain as the brains read them; 0 /
// null for an actor that is no Character.
float HealthOf(const Actor *actor);
uint32_t GroupOf(const Actor *actor);
bool IsSuspended(const Actor *actor);

} // namespace aiplayer
