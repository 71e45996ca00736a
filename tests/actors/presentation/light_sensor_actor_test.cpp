// The Light Sensor: the light of local lights on its position, lights out
// of range, several lights adding up beyond 1, and the masks after loading.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "actors/presentation/light_actor.h"
#include "actors/presentation/light_sensor_actor.h"
#include "actors/world/collision_test_util.h"
#include "core/actors/command_ids.h"
#include "presentation_fixture.h"

namespace {

using namespace presentationtest;

constexpr int32_t kSensorId = 500;

class LightSensorTest : public PresentationTest {
  protected:
    LightSensorActor *NewSensor() {
        auto *sensor = dynamic_cast<LightSensorActor *>(
            CreateActor(kLightSensorClassId, "Eye", nullptr, scenery, kSensorId, true));
        float floor[4] = {0.1f, 0.2f, 0.3f, 0.4f};
        sensor->HandleCommand(cmd::light_sensor::SetLightSensorMinColor,
                              ParamBlock(floor, sizeof(floor)));
        return sensor;
    }
    LightActor *NewLight(const Vector3 &at, float range, float level) {
        auto *light = Make<LightActor>(kLightClassId, "lamp");
        light->position = at;
        light->InvalidateTransform();
        float c[4] = {level, level, level, 1.0f};
        light->HandleCommand(cmd::light::SetDiffuseColor, ParamBlock(c, sizeof(c)));
        light->HandleCommand(cmd::base::SetRadius, ParamBlock(&range, sizeof(range)));
        light->HandleCommand(153, ParamBlock());
        return light;
    }

  public:
    static gfx::ColorValue Ask(Actor *sensor) {
        float c[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        sensor->HandleCommand(cmd::base::GetColor, ParamBlock(c, sizeof(c)));
        gfx::ColorValue out;
        out.r = c[0];
        out.g = c[1];
        out.b = c[2];
        out.a = c[3];
        return out;
    }
};

TEST_F(LightSensorTest, NoLightGivesTheFloorExactly) {
    LightSensorActor *sensor = NewSensor();
    const gfx::ColorValue c = Ask(sensor);
    EXPECT_EQ(c.r, 0.1f);
    EXPECT_EQ(c.g, 0.2f);
    EXPECT_EQ(c.b, 0.3f);
    EXPECT_EQ(c.a, 0.4f);
}

TEST_F(LightSensorTest, LightsInRangeAddUp) {
    LightSensorActor *sensor = NewSensor();
    NewLight({100.0f, 0.0f, 0.0f}, 100.0f, 1.0f); // range exactly the distance
    gfx::ColorValue c = Ask(sensor);
    EXPECT_EQ(c.r, 0.1f);

    NewLight({0.0f, 100.0f, 0.0f}, 300.0f, 1.0f);
    c = Ask(sensor);
    EXPECT_NEAR(c.r, 0.692308f + 0.1f, 1e-4);
    EXPECT_NEAR(c.b, 0.692308f + 0.3f, 1e-4);
    EXPECT_NEAR(c.a, 0.692308f + 0.4f, 1e-4);
}

TEST_F(LightSensorTest, TwoLightsGoBeyondOne) {
    LightSensorActor *sensor = NewSensor();
    for (float x : {-50.0f, 50.0f}) {
        LightActor *light = NewLight({x, 0.0f, 0.0f}, 500.0f, 0.6f);
        // No fall-off: the diffuse itself reaches the sensor.
        float zero = 0.0f;
        light->HandleCommand(cmd::light::SetAttenuationStrength, ParamBlock(&zero, sizeof(zero)));
    }
    const gfx::ColorValue c = Ask(sensor);
    EXPECT_NEAR(c.r, 1.2f + 0.1f, 1e-5);
    EXPECT_NEAR(c.a, 2.0f + 0.4f, 1e-5);
}

TEST_F(LightSensorTest, ALampWhoseColourIsNotFiniteLightsNothing) {
    // A sensor under a good lamp and a second lamp one of whose colours is
    // made NaN or infinite, component by component: the sensor reads the
    // good lamp alone, and the device is handed the bad lamp black.
    LightSensorActor *sensor = NewSensor();
    LightActor *good = NewLight({100.0f, 0.0f, 0.0f}, 300.0f, 1.0f);
    const gfx::ColorValue alone = Ask(sensor);
    ASSERT_NEAR(alone.r, 0.692308f + 0.1f, 1e-4);
    LightActor *bad = NewLight({0.0f, 100.0f, 0.0f}, 300.0f, 1.0f);
    const gfx::ColorValue both = Ask(sensor);
    ASSERT_NEAR(both.r, 2 * 0.692308f + 0.1f, 1e-4);
    auto same = [](const gfx::ColorValue &a, const gfx::ColorValue &b) {
        return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
    };
    auto onDevice = [this](const LightActor *lamp) {
        gfx::Light l;
        device->GetLight(lamp->deviceLight->deviceIndex, &l);
        return l;
    };
    const gfx::ColorValue black = {0.0f, 0.0f, 0.0f, 0.0f};
    const gfx::ColorValue white = {1.0f, 1.0f, 1.0f, 1.0f};
    const std::pair<uint32_t, uint32_t> colours[] = {
        {cmd::light::SetDiffuseColor, cmd::light::GetDiffuseColor},
        {cmd::light::SetSpecularColor, cmd::light::GetSpecularColor},
        {cmd::light::SetAmbientColor, cmd::light::GetAmbientColor}};
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto &[set, get] : colours) {
        float kept[4] = {};
        bad->HandleCommand(get, ParamBlock(kept, sizeof(kept)));
        for (const float value : {std::numeric_limits<float>::quiet_NaN(), inf, -inf}) {
            for (int k = 0; k < 4; ++k) {
                const std::string what = "command " + std::to_string(set) + ", " +
                                         std::to_string(value) + " in component " +
                                         std::to_string(k);
                float c[4] = {1.0f, 1.0f, 1.0f, 1.0f};
                c[k] = value;
                bad->HandleCommand(set, ParamBlock(c, sizeof(c)));
                const gfx::ColorValue read = Ask(sensor);
                EXPECT_TRUE(same(read, alone))
                    << what << ": " << read.r << " " << read.g << " " << read.b << " " << read.a;
                const gfx::Light off = onDevice(bad);
                EXPECT_TRUE(same(off.diffuse, black) && same(off.specular, black) &&
                            same(off.ambient, black))
                    << what;
                EXPECT_TRUE(same(onDevice(good).diffuse, white)) << what;
            }
        }
        bad->HandleCommand(set, ParamBlock(kept, sizeof(kept)));
        EXPECT_TRUE(same(Ask(sensor), both));
    }
}

// Lamps whose colours are the largest float: each share is finite, but the
// sum of two would be infinite (or, with the largest and its negative, no
// number): a share that would make the sum not finite is left out.
TEST_F(LightSensorTest, ASumThatWouldNotBeFiniteLeavesTheLightOut) {
    LightSensorActor *sensor = NewSensor();
    const float max = std::numeric_limits<float>::max();
    for (const float second : {max, -max}) {
        std::vector<LightActor *> lamps;
        for (const float level : {max, second}) {
            LightActor *lamp = NewLight({0.0f, 100.0f, 0.0f}, 300.0f, 1.0f);
            float c[4] = {level, level, level, level};
            lamp->HandleCommand(cmd::light::SetDiffuseColor, ParamBlock(c, sizeof(c)));
            float zero = 0.0f; // the colour itself reaches the sensor
            lamp->HandleCommand(cmd::light::SetAttenuationStrength, ParamBlock(&zero, sizeof(zero)));
            lamps.push_back(lamp);
        }
        const gfx::ColorValue c = Ask(sensor);
        EXPECT_TRUE(std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) && std::isfinite(c.a))
            << second << ": " << c.r << " " << c.g << " " << c.b << " " << c.a;
        for (LightActor *lamp : lamps) DeleteActor(lamp);
    }
}

TEST_F(LightSensorTest, LoadedMasksAreTheDefaults) {
    LightSensorActor *sensor = NewSensor();
    for (uint32_t id : {cmd::light_sensor::SetLightsensorRayGroup,
                        cmd::light_sensor::SetLightsensorRayReceive,
                        cmd::light_sensor::SetLightsensorRayExclude}) {
        uint32_t mask = 0x30;
        sensor->HandleCommand(id, ParamBlock(&mask, sizeof(mask)));
    }
    const std::string bytes = Save(kSensorId, kSensorId + 1);
    ASSERT_EQ(DeleteActor(sensor), 1);
    ASSERT_EQ(Load(bytes), 1);
    sensor = dynamic_cast<LightSensorActor *>(GetActorById(kSensorId));
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->rayGroups, 1u);
    EXPECT_EQ(sensor->rayReceive, 1u);
    EXPECT_EQ(sensor->rayExclude, 0x4041000u);
    uint32_t mask = 7;
    sensor->HandleCommand(cmd::light_sensor::SetLightsensorRayGroup,
                          ParamBlock(&mask, sizeof(mask)));
    uint32_t read = 0;
    sensor->HandleCommand(cmd::light_sensor::GetLightsensorRayGroup,
                          ParamBlock(&read, sizeof(read)));
    EXPECT_EQ(read, 7u);
}

TEST_F(LightSensorTest, AFileOfVersion0HoldsNoMasksAndTheNextRecordReadsWhole) {
    // A sensor and a plain actor after it, as version 0 wrote them: the
    // sensor's record holds the base fields alone.
    LightSensorActor *sensor = NewSensor();
    Actor *next = CreateActor(0, "next", nullptr, scenery, kSensorId + 1, true);
    ASSERT_NE(next, nullptr);
    Archive archive;
    ASSERT_TRUE(archive.Open(folder / "v0.qva", "wb"));
    archive.SetVersion(0);
    for (uint32_t word : {0u, 2u, static_cast<uint32_t>(kSensorId), 2u}) {
        archive.SerializeU32(word);
    }
    sensor->Actor::Serialize(archive, kSerializeSave);
    next->Serialize(archive, kSerializeSave);
    ASSERT_EQ(archive.Close(), 0);
    ASSERT_EQ(DeleteActor(sensor), 1);
    ASSERT_EQ(DeleteActor(next), 1);

    ASSERT_EQ(Load(folder.Get("v0.qva")), 1) << system->errorText;
    EXPECT_NE(dynamic_cast<LightSensorActor *>(GetActorById(kSensorId)), nullptr);
    ASSERT_NE(GetActorById(kSensorId + 1), nullptr);
    EXPECT_EQ(GetActorById(kSensorId + 1)->name, "next");
}

// Only spheres and boxes that the sensor's masks let through shadow a light.
class LightSensorShadowTest : public coltest::CollisionWorld {
  protected:
    void SetUp() override {
        CollisionWorld::SetUp();
        previous = ReplaceLibraryForTests(&library);
        groupBoxes[1] = {{-1000.0f, -1000.0f, -1000.0f}, {1000.0f, 1000.0f, 1000.0f}};
    }
    void TearDown() override {
        CollisionWorld::TearDown();
        ReplaceLibraryForTests(previous);
    }
    ResourceLibrary library;
    ResourceLibrary *previous = nullptr;
};

TEST_F(LightSensorShadowTest, ASolidBoxOfTheRayGroupsBlocksTheLight) {
    auto *sensor = dynamic_cast<LightSensorActor *>(CreateActor(
        kLightSensorClassId, "Eye", nullptr, GetActorById(kSceneryRootId), kSensorId, true));
    ASSERT_NE(sensor, nullptr);
    auto *light = dynamic_cast<LightActor *>(
        CreateActor(kLightClassId, "lamp", nullptr, GetActorById(kSceneryRootId), -1, true));
    ASSERT_NE(light, nullptr);
    light->position = {0.0f, 100.0f, 0.0f};
    light->InvalidateTransform();
    float range = 300.0f;
    light->HandleCommand(cmd::base::SetRadius, ParamBlock(&range, sizeof(range)));
    light->HandleCommand(153, ParamBlock());
    const float lit = LightSensorTest::Ask(sensor).r;
    EXPECT_NEAR(lit, 0.692308f, 1e-4);

    ColObj &wall = StaticBox(Make("wall", {0.0f, 50.0f, 0.0f}), 1, {-20.0f, -5.0f, -20.0f},
                             {20.0f, 5.0f, 20.0f});
    wall.groups = 1;
    EXPECT_EQ(LightSensorTest::Ask(sensor).r, 0.0f);
    wall.groups = 0x1001; // user group 13 is excluded by default
    EXPECT_NEAR(LightSensorTest::Ask(sensor).r, lit, 1e-6);
}

} // namespace
