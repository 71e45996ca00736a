// The Light Sensor actor (class 52): measures on "Get Color" how much light
// of the switched-on point and spot lights falls on its world position,
// counting a light only when nothing in the collision world stands between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "platform/os/gfx/records.h"

// User group 13, pure event objects and characters.
inline constexpr uint32_t kLightSensorDefaultExclude = 0x4041000;

class LightSensorActor : public Actor {
  public:
    LightSensorActor();

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // The light on the sensor: minColor plus every unshadowed local light.
    gfx::ColorValue Measure();

    uint32_t rayGroups = 1;
    uint32_t rayReceive = 1;
    uint32_t rayExclude = kLightSensorDefaultExclude;
    gfx::ColorValue minColor;
};
