// The Light actor (class 4): one device light placed in the scene. It keeps
// every light parameter in its own fields and writes each change into its
// library light. Point and spot lights that are on join the library's list
// of local lights. A light follows its world transform, fades in and out
// with the visibility of its draw group and is scaled by the action value
// commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"
#include "platform/os/gfx/records.h"

class LightItem;

// Device light types.
inline constexpr uint32_t kLightPoint = 1;
inline constexpr uint32_t kLightSpot = 2;
inline constexpr uint32_t kLightDirectional = 3;

class LightActor : public Actor {
  public:
    LightActor();
    ~LightActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Process() override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

    // Sends every field to the device light.
    void ApplyToDevice();
    // Takes the device light's values back into the fields (not the
    // attenuation).
    void ReadFromDevice();

    bool IsOn() const { return (state & kActorEnabled) != 0; }

    LightItem *deviceLight = nullptr;
    uint32_t spare0 = 0;
    uint32_t lightType = kLightPoint;
    gfx::ColorValue diffuse;
    gfx::ColorValue specular;
    gfx::ColorValue ambient;
    gfx::ColorValue fadeFrom[3];
    gfx::ColorValue fadeTo[3];
    gfx::ColorValue fadeCurrent[3];
    uint32_t spare1[3] = {0, 0, 0};
    float range = 0.0f;
    uint32_t spare2 = 0;
    float falloff = 0.0f;
    float theta = 0.0f;
    float phi = 0.0f;
    uint32_t dirty = 0;
    float attenuation0 = 1.0f;
    float attenuation1Scaled = 1.0f;
    float attenuation2Scaled = 1.0f;
    float attenuationOffset = 1.0f;
    float attenuationStrength = 1.0f;
    float attenuationStyle = 1.0f;

  private:
    void AttenuationFromValues();
    void ValuesFromAttenuation();
    // a1 and a2 as the device takes them (0.0 for both at range 0).
    void SendScaledAttenuation();
    void SendColors(const gfx::ColorValue colors[3]);
    void SetOn(bool on);
    void StartFade();
    int Create(ParamBlock block);
};
