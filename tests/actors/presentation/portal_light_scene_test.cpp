// Light through a door between two rooms: the door, opened in the first
// frame, lets the walk from RoomA into RoomB, whose lamp is switched on by
// being drawn and fades in; the camera walks into RoomB, from where the walk
// still reaches RoomA until the door closes; a sensor beside the lamp reads
// its light, and reads none with a wall between them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actors/presentation/light_actor.h"
#include "actors/presentation/light_sensor_actor.h"
#include "actors/world/collision.h"
#include "actors/world/door_actor.h"
#include "actors/world/draw_group_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "library/render/render_front_end.h"
#include "support/scene_harness.h"
#include "support/two_rooms_scene.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kPositionAdd = 78;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kCreateCollision = 108;

class PortalLightScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        std::string error;
        ASSERT_TRUE(scene::BuildTwoRooms(builder, {false, false, 0.0f}, &error)) << error;
        Actor *roomB = FindActorByName("RoomB", -1);
        Actor *lamp = builder.Make(kLightClassId, "LampB", roomB);
        Actor *eye = builder.Make(kLightSensorClassId, "Eye", roomB);
        ASSERT_TRUE(lamp != nullptr && eye != nullptr);
        SendCommandArgs(lamp, kSetPosition, Vector3{1000, 150, 0});
        SendCommandArgs(lamp, cmd::light::SetLightType, 0u); // point
        SendCommandArgs(lamp, cmd::base::SetRadius, 300.0f);
        SendCommandArgs(lamp, cmd::light::SetDiffuseColor, Vector4{1, 1, 1, 1});
        SendCommandArgs(eye, kSetPosition, Vector3{900, 50, 0});
    }
    void Load() {
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        base = FrameCounter;
        for (const char *name : {"RoomA", "RoomB", "LampB"}) {
            log.Watch(scene::SceneBuilder::Find(name));
        }
    }
    // The sensor's floor colour, which it answers without light.
    static std::vector<float> MinColor() {
        const auto *eye = dynamic_cast<LightSensorActor *>(scene::SceneBuilder::Find("Eye"));
        return {eye->minColor.r, eye->minColor.g, eye->minColor.b};
    }
    static std::vector<float> Color() {
        float c[4] = {-1, -1, -1, -1};
        scene::SceneBuilder::Find("Eye")->HandleCommand(cmd::base::GetColor,
                                                        ParamBlock(c, sizeof(c)));
        return {c[0], c[1], c[2]};
    }
    std::vector<std::string> Notices(const std::string &actor, uint32_t command) const {
        std::vector<std::string> frames;
        for (const scene::SpyNotice &n : log.notices) {
            if (n.actor == actor && n.command == command) frames.push_back(std::to_string(n.frame - base));
        }
        return frames;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog log;
    uint32_t base = 0;
};

TEST_F(PortalLightScene, TheLampLightsUpThroughTheDoorAndTheWalkGoesBothWays) {
    Load();
    EXPECT_EQ(Color(), MinColor());
    Actor *door = scene::SceneBuilder::Find("GA5_Door");
    Actor *camera = scene::SceneBuilder::Find("Cam");
    auto *lamp = dynamic_cast<LightActor *>(scene::SceneBuilder::Find("LampB"));
    ASSERT_TRUE(door != nullptr && camera != nullptr && lamp != nullptr);
    runner.preStep = [&](uint32_t frame) {
        const uint32_t n = frame - base;
        if (n == 1) SendCommandArgs(door, cmd::door::OpenDoor_768);
        if (n == 40) SendCommandArgs(door, cmd::door::CloseDoor);
        if (n <= 60) SendCommandArgs(camera, kPositionAdd, Vector3{17, 0, 0});
    };
    runner.Step(1);
    EXPECT_EQ(Notices("RoomB", cmd::base::OnDrawStart), std::vector<std::string>{"1"});
    EXPECT_EQ(Notices("LampB", cmd::base::OnDrawStart), std::vector<std::string>{"1"});
    ASSERT_TRUE(lamp->IsOn());
    ASSERT_NE(lamp->deviceLight, nullptr);

    int steps = 0;
    float last = GetLightDiffuse(lamp->deviceLight).r;
    EXPECT_EQ(last, 0.0f);
    for (int i = 0; i < 100; ++i) {
        runner.Step(1);
        const float r = GetLightDiffuse(lamp->deviceLight).r;
        if (r != last) ++steps;
        last = r;
    }
    EXPECT_FLOAT_EQ(last, 1.0f);
    EXPECT_GE(steps, 9);
    EXPECT_LE(steps, 13);
    // The camera crossed into RoomB (frame 30): RoomA stayed drawn through
    // the open door and left the walk only when the door's connector shut.
    const std::vector<std::string> stopsA = Notices("RoomA", cmd::base::OnDrawStop);
    ASSERT_EQ(stopsA.size(), 1u);
    EXPECT_NEAR(std::stoi(stopsA[0]), 70, 1);
    EXPECT_TRUE(Notices("RoomB", cmd::base::OnDrawStop).empty());

    // 1 / (1 + d / 300 + d^2 / 90000) at d = 141.42.
    const std::vector<float> lit = Color();
    const std::vector<float> floor = MinColor();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(lit[i], floor[i] + 0.5904f, 0.001f) << i;
}

TEST_F(PortalLightScene, AWallBetweenLampAndSensorLeavesTheFloorColour) {
    Actor *wall = builder.Make(0, "Wall", FindActorByName("RoomB", -1));
    SendCommandArgs(wall, kSetPosition, Vector3{950, 100, 0});
    SendCommandArgs(wall, kCreateCollision);
    SendCommandArgs(wall, kSetBoxMin, Vector3{-10, -100, -100});
    SendCommandArgs(wall, kSetBoxMax, Vector3{10, 100, 100});
    ASSERT_FALSE(wall->colObjs.empty());
    wall->colObjs[0]->flags = kColObjActive | kColObjSolid | kColObjTakesEvents;
    wall->colObjs[0]->groups = 1;
    wall->colObjs[0]->receiveGroups = 1;
    Load();
    Actor *door = scene::SceneBuilder::Find("GA5_Door");
    SendCommandArgs(door, cmd::door::OpenDoor_768);
    runner.Step(100);
    auto *lamp = dynamic_cast<LightActor *>(scene::SceneBuilder::Find("LampB"));
    ASSERT_TRUE(lamp != nullptr && lamp->deviceLight != nullptr);
    ASSERT_FLOAT_EQ(GetLightDiffuse(lamp->deviceLight).r, 1.0f);
    EXPECT_EQ(Color(), MinColor());
}

} // namespace
