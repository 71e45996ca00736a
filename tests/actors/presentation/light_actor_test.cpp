// The Light actor: type and getters, the attenuation model and its device
// terms, older file records, the draw fades and their switching off, the
// action value scaling, and the device light's life.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "actors/presentation/light_actor.h"
#include "core/actors/command_ids.h"
#include "core/actors/scheduled_command.h"
#include "library/render/render_front_end.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kId = 500;

class LightActorTest : public PresentationTest {
  protected:
    LightActor *NewLight() {
        return dynamic_cast<LightActor *>(
            CreateActor(kLightClassId, "lamp", nullptr, scenery, kId, true));
    }
    LightActor *Reload(LightActor *actor, const std::string &bytes) {
        EXPECT_EQ(DeleteActor(actor), 1);
        EXPECT_EQ(Load(bytes), 1) << system->errorText;
        auto *light = dynamic_cast<LightActor *>(GetActorById(kId));
        if (light != nullptr) {
            light->HandleCommand(153, ParamBlock());
        }
        return light;
    }
    static int SendReal(Actor *actor, uint32_t id, float value) {
        return actor->HandleCommand(id, ParamBlock(&value, sizeof(value)));
    }
    static float GetReal(Actor *actor, uint32_t id) {
        float value = -1.0f;
        actor->HandleCommand(id, ParamBlock(&value, sizeof(value)));
        return value;
    }
    static int SendWord(Actor *actor, uint32_t id, uint32_t value) {
        return actor->HandleCommand(id, ParamBlock(&value, sizeof(value)));
    }
    static void SetDiffuse(Actor *actor, float r, float g, float b, float a) {
        float c[4] = {r, g, b, a};
        actor->HandleCommand(cmd::light::SetDiffuseColor, ParamBlock(c, sizeof(c)));
    }
    void Frame() {
        Step();
        RunScheduledCommands(system);
    }
    static int Send(Actor *actor, uint32_t id) { return actor->HandleCommand(id, ParamBlock()); }
};

TEST_F(LightActorTest, TypeAndSpotOnlyGetters) {
    LightActor *light = NewLight();
    ASSERT_NE(light, nullptr);
    EXPECT_NE(light->deviceLight, nullptr);
    EXPECT_TRUE(light->IsOn());
    SendWord(light, cmd::light::SetLightType, 1);
    EXPECT_EQ(light->lightType, kLightSpot);
    uint32_t type = 9;
    light->HandleCommand(cmd::light::GetLightType, ParamBlock(&type, sizeof(type)));
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(GetLightType(light->deviceLight), kLightSpot);

    SendReal(light, cmd::light::SetTheta, 0.3f);
    SendWord(light, cmd::light::SetLightType, 0);
    float theta = 0.0f;
    EXPECT_EQ(light->HandleCommand(cmd::light::GetTheta, ParamBlock(&theta, sizeof(theta))), 0);
    EXPECT_FLOAT_EQ(theta, 0.3f);
    SendWord(light, cmd::light::SetLightType, 2);
    float range = 0.0f;
    EXPECT_EQ(light->HandleCommand(cmd::base::GetRadius, ParamBlock(&range, sizeof(range))), 0);
}

TEST_F(LightActorTest, ColoursAndSpotShapeReachTheDeviceAndAnswer) {
    LightActor *light = NewLight();
    ASSERT_NE(light, nullptr);
    const struct {
        uint32_t set, get;
        gfx::ColorValue (*device)(const LightItem *);
    } colours[] = {
        {cmd::light::SetDiffuseColor, cmd::light::GetDiffuseColor, &GetLightDiffuse},
        {cmd::light::SetAmbientColor, cmd::light::GetAmbientColor, &GetLightAmbient},
        {cmd::light::SetSpecularColor, cmd::light::GetSpecularColor, &GetLightSpecular},
    };
    float value = 0.1f;
    for (const auto &c : colours) {
        float sent[4] = {value, value + 0.2f, value + 0.4f, 1.0f};
        light->HandleCommand(c.set, ParamBlock(sent, sizeof(sent)));
        const gfx::ColorValue on = c.device(light->deviceLight);
        float back[4] = {};
        EXPECT_EQ(light->HandleCommand(c.get, ParamBlock(back, sizeof(back))), 1) << c.set;
        EXPECT_EQ(std::tuple(on.r, on.g, on.b, on.a, back[0], back[2]),
                  std::tuple(sent[0], sent[1], sent[2], sent[3], sent[0], sent[2]))
            << c.set;
        value += 0.1f;
    }
    SendWord(light, cmd::light::SetLightType, 1);
    SendReal(light, cmd::light::SetFalloff, 2.0f);
    SendReal(light, cmd::light::SetPhi, 0.7f);
    EXPECT_EQ(std::tuple(GetLightFalloff(light->deviceLight), GetLightPhi(light->deviceLight),
                         GetReal(light, cmd::light::GetFalloff),
                         GetReal(light, cmd::light::GetPhi)),
              std::tuple(2.0f, 0.7f, 2.0f, 0.7f));
    float phi = 0.0f;
    EXPECT_EQ(light->HandleCommand(cmd::light::GetPhi, ParamBlock(&phi, sizeof(phi))), 1);
}

TEST_F(LightActorTest, AttenuationFollowsTheRange) {
    LightActor *light = NewLight();
    SendReal(light, cmd::base::SetRadius, 10.0f);
    SendReal(light, cmd::light::SetAttenuationOffset, 1.0f);
    SendReal(light, cmd::light::SetAttenuationStrength, 2.0f);
    SendReal(light, cmd::light::SetAttenuationStyle, 0.25f);
    EXPECT_FLOAT_EQ(GetLightAttenuation0(light->deviceLight), 1.0f);
    EXPECT_FLOAT_EQ(GetLightAttenuation1(light->deviceLight), 0.05f);
    EXPECT_FLOAT_EQ(GetLightAttenuation2(light->deviceLight), 0.015f);
    SendReal(light, cmd::base::SetRadius, 20.0f);
    EXPECT_FLOAT_EQ(GetLightAttenuation1(light->deviceLight), 0.025f);
    EXPECT_FLOAT_EQ(GetLightAttenuation2(light->deviceLight), 0.00375f);
    EXPECT_FLOAT_EQ(light->attenuation1Scaled, 0.5f);
    EXPECT_FLOAT_EQ(light->attenuation2Scaled, 1.5f);
}

TEST_F(LightActorTest, RangeZeroAndNoStrengthDoNotDivideByZero) {
    LightActor *light = NewLight();
    SendReal(light, cmd::base::SetRadius, 0.0f);
    EXPECT_EQ(GetLightAttenuation1(light->deviceLight), 0.0f);
    EXPECT_EQ(GetLightAttenuation2(light->deviceLight), 0.0f);
    SendReal(light, cmd::light::SetAttenuationStyle, 0.25f);
    EXPECT_EQ(GetLightAttenuation1(light->deviceLight), 0.0f);
    EXPECT_EQ(GetLightAttenuation2(light->deviceLight), 0.0f);

    light->attenuation1Scaled = 0.0f;
    light->attenuation2Scaled = 0.0f;
    EXPECT_FLOAT_EQ(GetReal(light, cmd::light::GetAttenuationStyle), 0.25f);
    EXPECT_FLOAT_EQ(GetReal(light, cmd::light::GetAttenuationStrength), 0.0f);
}

TEST_F(LightActorTest, OlderRecords) {
    LightActor *light = NewLight();
    light->range = 10.0f;
    light->attenuation1Scaled = 3.0f;
    light->attenuation2Scaled = 1.0f;
    light = Reload(light, Save(kId, kId + 1));
    ASSERT_NE(light, nullptr);
    EXPECT_FLOAT_EQ(GetReal(light, cmd::light::GetAttenuationStyle), 0.75f);
    EXPECT_FLOAT_EQ(GetReal(light, cmd::light::GetAttenuationStrength), 4.0f);
    std::string at55 = WriteAtVersion(light, 55);
    light = Reload(light, at55);
    EXPECT_FLOAT_EQ(light->attenuation1Scaled, 3.0f);

    // Version 54: the legacy word (2.0 here) makes the attenuation.
    std::string at54 = WriteAtVersion(light, 54);
    const float legacy = 2.0f;
    std::memcpy(at54.data() + at54.size() - 20, &legacy, sizeof(legacy));
    light = Reload(light, at54);
    EXPECT_FLOAT_EQ(light->attenuation0, 1.0f);
    EXPECT_FLOAT_EQ(light->attenuation1Scaled, 20.0f);
    EXPECT_FLOAT_EQ(light->attenuation2Scaled, 20.0f);

    // Up to version 64 the record holds the active word; from 65 it does not.
    Send(light, 37);
    EXPECT_FALSE(light->IsOn());
    const std::string at64 = WriteAtVersion(light, 64);
    const std::string at65 = WriteAtVersion(light, 65);
    EXPECT_EQ(at64.size(), at65.size() + 4);
    light = Reload(light, at64);
    EXPECT_FALSE(light->IsOn());
}

TEST_F(LightActorTest, DrawFadesInAndOut) {
    LightActor *light = NewLight();
    SetDiffuse(light, 1.0f, 1.0f, 1.0f, 1.0f);
    Send(light, 238);
    EXPECT_EQ(GetLightDiffuse(light->deviceLight).r, 0.0f);
    int steps = 0;
    float last = 0.0f;
    for (int frame = 0; frame < 30; ++frame) {
        Frame();
        const float r = GetLightDiffuse(light->deviceLight).r;
        EXPECT_GE(r, last);
        if (r != last) {
            ++steps;
        }
        last = r;
    }
    EXPECT_FLOAT_EQ(last, 1.0f);
    // A step runs in every second or third frame: the next one is due a
    // step after the frame that ran it and waits while due exactly now.
    EXPECT_GE(steps, 9);
    EXPECT_LE(steps, 13);
    EXPECT_FLOAT_EQ(light->diffuse.r, 1.0f);

    Send(light, 239);
    ASSERT_NE(light->FindScheduledCommand(cmd::light::LightDeactivate), nullptr);
    for (int frame = 0; frame < 30; ++frame) {
        Frame();
    }
    EXPECT_FLOAT_EQ(GetLightDiffuse(light->deviceLight).r, 0.0f);
    EXPECT_EQ(library.GetLocalLightCount(), 1u);
    for (int frame = 0; frame < 8; ++frame) {
        Frame();
    }
    EXPECT_EQ(library.GetLocalLightCount(), 0u); // switched off at 0.6 s
    EXPECT_TRUE(light->IsOn());

    // Drawn again within 0.6 s: the switching off is cancelled.
    Send(light, 238);
    Send(light, 239);
    Send(light, 238);
    for (int frame = 0; frame < 60; ++frame) {
        Frame();
    }
    EXPECT_EQ(library.GetLocalLightCount(), 1u);
    EXPECT_FLOAT_EQ(GetLightDiffuse(light->deviceLight).r, 1.0f);
}

TEST_F(LightActorTest, AStopDuringAFadeInLeavesOneFade) {
    LightActor *light = NewLight();
    SetDiffuse(light, 1.0f, 1.0f, 1.0f, 1.0f);
    Send(light, 238);
    for (int frame = 0; frame < 12; ++frame) {
        Frame();
    }
    Send(light, 239);
    float last = GetLightDiffuse(light->deviceLight).r;
    EXPECT_GT(last, 0.0f);
    for (int frame = 0; frame < 30; ++frame) {
        Frame();
        const float r = GetLightDiffuse(light->deviceLight).r;
        EXPECT_LE(r, last) << frame;
        last = r;
    }
    EXPECT_EQ(last, 0.0f);
}

TEST_F(LightActorTest, ActionValuesAndInactiveLights) {
    LightActor *light = NewLight();
    SetDiffuse(light, 0.8f, 0.6f, 0.4f, 1.0f);
    EXPECT_EQ(SendReal(light, 205, 0.5f), 1);
    const gfx::ColorValue device = GetLightDiffuse(light->deviceLight);
    EXPECT_FLOAT_EQ(device.r, 0.4f);
    EXPECT_FLOAT_EQ(device.a, 0.5f);
    EXPECT_FLOAT_EQ(light->diffuse.r, 0.8f);

    Send(light, 37);
    EXPECT_FALSE(light->IsOn());
    EXPECT_EQ(SendReal(light, 206, 0.25f), 1);
    EXPECT_EQ(SendReal(light, cmd::light::LightFade, 1.0f), 1);
    EXPECT_FLOAT_EQ(GetLightDiffuse(light->deviceLight).r, 0.4f);
    Send(light, 36);
    EXPECT_TRUE(light->IsOn());
    EXPECT_FLOAT_EQ(GetLightDiffuse(light->deviceLight).r, 0.8f);
}

TEST_F(LightActorTest, MovedLightsSendTheirPosition) {
    LightActor *light = NewLight();
    light->position = {10.0f, 20.0f, 30.0f};
    light->InvalidateTransform();
    light->flags |= kActorMovedBefore;
    light->Update();
    Vector3 at;
    GetLightPosition(light->deviceLight, &at);
    EXPECT_FLOAT_EQ(at.x, 10.0f);
    EXPECT_FLOAT_EQ(at.z, 30.0f);
}

TEST_F(LightActorTest, DeviceLightLife) {
    EXPECT_EQ(library.GetLocalLightCount(), 0u);
    LightActor *light = NewLight();
    EXPECT_EQ(library.GetLocalLightCount(), 1u);
    auto *copy = dynamic_cast<LightActor *>(
        CreateActor(kLightClassId, "copy", light, scenery, kId + 1, true));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->deviceLight, nullptr);
    Send(copy, 153);
    ASSERT_NE(copy->deviceLight, nullptr);
    EXPECT_NE(copy->deviceLight, light->deviceLight);
    EXPECT_EQ(DeleteActor(copy), 1);
    EXPECT_EQ(DeleteActor(light), 1);
    EXPECT_EQ(library.GetLocalLightCount(), 0u);
}

} // namespace
