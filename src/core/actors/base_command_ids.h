// Ids of the commands every actor answers through the base handler, for the
// classes that send or answer them by name.
#pragma once

#include <cstdint>

inline constexpr uint32_t kCmdStart = 36;
inline constexpr uint32_t kCmdStop = 37;
inline constexpr uint32_t kCmdInitNew = 44;
inline constexpr uint32_t kCmdInitLoad = 45;
inline constexpr uint32_t kCmdInitCopy = 46;
inline constexpr uint32_t kCmdCommandSelection = 50;
inline constexpr uint32_t kCmdSetMaster = 41;
inline constexpr uint32_t kCmdSetPosition = 63;
inline constexpr uint32_t kCmdGetWSPosition = 71;
inline constexpr uint32_t kCmdSetDeltaPosition = 72;
inline constexpr uint32_t kCmdPositionAdd = 78;
inline constexpr uint32_t kCmdSetQuaternion = 79;
inline constexpr uint32_t kCmdGetWSQuaternion = 81;
inline constexpr uint32_t kCmdQuaternionIdentity = 83;
inline constexpr uint32_t kCmdSetLocalMatrix = 85;
inline constexpr uint32_t kCmdGetMatrix = 86;
inline constexpr uint32_t kCmdSetResource = 91;
inline constexpr uint32_t kCmdSpyNotice = 93;
inline constexpr uint32_t kCmdAddCommandSpy = 94;
inline constexpr uint32_t kCmdRemoveAllCommandSpy = 96;
inline constexpr uint32_t kCmdOnEnterDrawGroup = 98;
inline constexpr uint32_t kCmdOnExitDrawGroup = 99;
inline constexpr uint32_t kCmdSetCollisionEnable = 145;
inline constexpr uint32_t kCmdPrecalculate = 153;
inline constexpr uint32_t kCmdStartGame = 154;
inline constexpr uint32_t kCmdInvalidateDrawGroupId = 157;
inline constexpr uint32_t kCmdCreate = 158;
inline constexpr uint32_t kCmdCollisionEvent = 171;
inline constexpr uint32_t kCmdCalcActionTime = 203;
inline constexpr uint32_t kCmdActionStartValue = 205;
inline constexpr uint32_t kCmdActionStartPre = 208;
inline constexpr uint32_t kCmdActionStopPre = 209;
inline constexpr uint32_t kCmdKillPre = 210;
inline constexpr uint32_t kCmdActionStopValue = 206;
inline constexpr uint32_t kCmdKillValue = 207;
inline constexpr uint32_t kCmdActionStart = 211;
inline constexpr uint32_t kCmdActionStop = 212;
inline constexpr uint32_t kCmdKill = 213;
inline constexpr uint32_t kCmdActionStopPost = 215;
inline constexpr uint32_t kCmdKillPost = 216;
inline constexpr uint32_t kCmdLoadResources = 226;
inline constexpr uint32_t kCmdUnloadResources = 227;
inline constexpr uint32_t kCmdOnDrawStart = 238;
inline constexpr uint32_t kCmdOnDrawStop = 239;
inline constexpr uint32_t kCmdCommandLerp = 250;
inline constexpr uint32_t kCmdSetCurrentTime = 251;
inline constexpr uint32_t kCmdGetCurrentTime = 252;
inline constexpr uint32_t kCmdSetCurrentNormalizedTime = 254;
inline constexpr uint32_t kCmdGetCurrentNormalizedTime = 255;
inline constexpr uint32_t kCmdGetTotalTime = 257;
inline constexpr uint32_t kCmdAnimationPlay = 262;
inline constexpr uint32_t kCmdAnimationStop = 263;
inline constexpr uint32_t kCmdAnimationReset = 264;
inline constexpr uint32_t kCmdSetAnimationSpeed = 265;
inline constexpr uint32_t kCmdGetAnimationSpeed = 266;
