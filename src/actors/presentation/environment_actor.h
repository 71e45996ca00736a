// The Environment actor (class 7): gravity, air resistance and wind, which
// other actors ask for, and the ambient light and fog, which it sets on the
// render device. The root "Environment" (actor 14 under "Global") holds the
// values in force; further Environment actors are presets that copy their
// values into the root when activated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"

inline constexpr uint32_t kEnvironmentClassId = 7;
inline constexpr int32_t kRootEnvironmentId = 14;

inline constexpr uint32_t kCmdSetAmbientColor = 471;
inline constexpr uint32_t kCmdGetAmbientColor = 472;
inline constexpr uint32_t kCmdSetGravity = 517;
inline constexpr uint32_t kCmdGetGravity = 518;
inline constexpr uint32_t kCmdSetAirResistance = 519;
inline constexpr uint32_t kCmdGetAirResistance = 520;
inline constexpr uint32_t kCmdSetWind = 521;
inline constexpr uint32_t kCmdGetWind = 522;
inline constexpr uint32_t kCmdSetFogEnable = 523;
inline constexpr uint32_t kCmdGetFogEnable = 524;
inline constexpr uint32_t kCmdSetFogNear = 525;
inline constexpr uint32_t kCmdGetFogNear = 526;
inline constexpr uint32_t kCmdSetFogFar = 527;
inline constexpr uint32_t kCmdGetFogFar = 528;
inline constexpr uint32_t kCmdSetFogColor = 529;
inline constexpr uint32_t kCmdGetFogColor = 530;
inline constexpr uint32_t kCmdActivateEnvironment = 531;
inline constexpr uint32_t kCmdDeactivateEnvironment = 532;
inline constexpr uint32_t kCmdApplyEnvironment = 533;

class EnvironmentActor : public Actor {
  public:
    EnvironmentActor() { classId = kEnvironmentClassId; }

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    float ambientColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float gravity = 9.81f;
    float airResistance = 1.0f;
    Vector3 wind = {0.0f, 0.0f, 0.0f};
    uint32_t fogEnable = 0;
    float fogColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float fogNear = 1.0f;
    float fogFar = 5000.0f;

  private:
    bool IsRoot() const { return actorId == kRootEnvironmentId; }
    void Activate();
    void Deactivate();
    // This actor's values on the device (the root's values are left alone).
    void Apply();
};
