// Cameras in loaded scenes run through the frame step: the visibility walk
// starts where the current camera stands, and "Start Game" gives the player
// character a following camera.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "actors/presentation/camera_actor.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/param_builder.h"
#include "core/actors/subsystem_hooks.h"
#include "library/resource_library.h"
#include "support/scene_harness.h"
#include "support/test_character.h"

namespace {

constexpr uint32_t kSetPosition = 63;
constexpr uint32_t kSetBoxMin = 74;
constexpr uint32_t kSetBoxMax = 76;
constexpr uint32_t kTimerCommand = 57;

class CameraScene : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runner.Ready()); }

    Actor *Group(const std::string &name, Vector3 min, Vector3 max) {
        Actor *group = builder.Make(kDrawGroupClassId, name);
        SendCommandArgs(group, kSetBoxMin, min);
        SendCommandArgs(group, kSetBoxMax, max);
        return group;
    }
    Actor *Plain(const std::string &name, Actor *parent, Vector3 at) {
        Actor *actor = builder.Make(0, name, parent);
        SendCommandArgs(actor, kSetPosition, at);
        return actor;
    }
    // The sample's rooms A and C, joined by the closed "Portal AC".
    void Rooms() {
        Actor *a = Group("RoomA", {-500, -100, -500}, {500, 400, 500});
        Actor *c = Group("RoomC", {-500, -100, 500}, {500, 420, 1500});
        Actor *portal = builder.Make(kDrawGroupConnectorClassId, "Portal AC");
        SendCommandArgs(portal, kSetPosition, Vector3{0, 30, 500});
        Plain("InA", a, {0, 50, 300});
        Plain("InC", c, {-300, 50, 1000});
    }
    static Actor *A(const std::string &name) { return scene::SceneBuilder::Find(name); }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    scene::SpyLog spies;
};

TEST_F(CameraScene, TheWalkStartsWhereTheCameraWasMovedThatFrame) {
    Rooms();
    auto *camera = dynamic_cast<CameraActor *>(builder.Make(kCameraClassId, "Cam"));
    ASSERT_NE(camera, nullptr);
    camera->position = {0, 120, -450};
    camera->active = 1; // made current by "Precalculate" after loading
    ASSERT_NE(SendCommandArgs(camera, kTimerCommand, 0.25f,
                              ParamValue::Command(kSetPosition, {Vector3{0, 120, 1000}})),
              0);
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;
    auto *current = dynamic_cast<CameraActor *>(CurrentCamera);
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->name, "Cam");
    spies.Watch(A("InA"));
    spies.Watch(A("InC"));
    runner.Step(30);
    const std::vector<std::string> starts = spies.Of(cmd::base::OnDrawStart);
    const std::vector<std::string> stops = spies.Of(cmd::base::OnDrawStop);
    ASSERT_EQ(starts.size(), 2u);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(starts[0], "1 InA");
    // The frame the timer moved the camera: RoomC is drawn, RoomA no longer.
    const std::string frame = stops[0].substr(0, stops[0].find(' '));
    EXPECT_EQ(stops[0], frame + " InA");
    EXPECT_EQ(starts[1], frame + " InC");
    EXPECT_GE(std::stoi(frame), 15);
    const float *eye = runner.library->GetCameraPosition();
    EXPECT_EQ(std::vector<float>(eye, eye + 3), (std::vector<float>{0, 120, 1000}));
}

TEST_F(CameraScene, StartGameGivesThePlayerCharacterAFollowingCamera) {
    testcharacter::TestCharacterClass characters;
    Actor *room = Group("Room", {-2000, -100, -2000}, {2000, 1000, 2000});
    Actor *character = builder.Make(testcharacter::kCharacterClassId, "PlayerCharacter", room);
    ASSERT_NE(dynamic_cast<testcharacter::TestCharacter *>(character), nullptr);
    SendCommandArgs(character, kSetPosition, Vector3{100, 0, 50});
    std::string error;
    ASSERT_TRUE(builder.Load(&error)) << error;

    auto *camera = dynamic_cast<CameraActor *>(CurrentCamera);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(std::tuple(camera->name, camera->cameraType, camera->active),
              std::tuple(std::string("Camera"), kCameraTarget, 1u));
    ASSERT_EQ(camera->colObjs.size(), 1u);
    EXPECT_EQ(camera->colObjs[0]->name, "Camera Col");
    Actor *copy = A("GA1_Player");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(camera->target1.target, copy);

    runner.Step();
    EXPECT_FLOAT_EQ(runner.library->GetFieldOfView(), 0.75f * 1.4f);
    runner.Step(119);
    const Vector3 at = copy->GetWorldPosition();
    const float *eye = runner.library->GetCameraPosition();
    EXPECT_NEAR(eye[0], at.x, 0.5f);
    EXPECT_NEAR(eye[1], at.y + 34.2f, 0.5f);
    EXPECT_NEAR(eye[2], at.z + 98.75f, 0.5f);
}

} // namespace
