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
#include "core/actors/command_ids.h"

inline constexpr int32_t kRootEnvironmentId = 14;

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
