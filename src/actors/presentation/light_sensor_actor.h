// The Light Sensor actor (class 52): measures on "Get Color" how much light
// of the switched-on point and spot lights falls on its world position,
// counting a light only when nothing in the collision world stands between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "platform/os/gfx/records.h"

inline constexpr uint32_t kLightSensorClassId = 52;

inline constexpr uint32_t kCmdLightSensorSetRayGroup = 1786;
inline constexpr uint32_t kCmdLightSensorGetRayGroup = 1787;
inline constexpr uint32_t kCmdLightSensorSetRayReceive = 1788;
inline constexpr uint32_t kCmdLightSensorGetRayReceive = 1789;
inline constexpr uint32_t kCmdLightSensorSetRayExclude = 1790;
inline constexpr uint32_t kCmdLightSensorGetRayExclude = 1791;
inline constexpr uint32_t kCmdLightSensorSetMinColor = 1792;
inline constexpr uint32_t kCmdGetColor = 354;

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
