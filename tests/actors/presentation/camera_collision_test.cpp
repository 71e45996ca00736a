// The camera in the collision world: its sphere is pushed out of solid
// objects and blocked by them, and a type-1 camera is pulled in by a wall
// between its target's head and the eye or by what it touches.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "actors/presentation/camera_actor.h"
#include "actors/world/collision.h"
#include "actors/world/collision_test_util.h"
#include "core/actors/command_ids.h"
#include "support/test_character.h"

namespace {

using namespace coltest;
using testcharacter::TestCharacter;
using testcharacter::TestCharacterClass;

constexpr uint32_t kSolidObjectBit = 1u << 16; // derived at load for solid objects

class CameraCollisionTest : public CollisionWorld {
  protected:
    void SetUp() override {
        CollisionWorld::SetUp();
        characters.emplace();
    }
    void TearDown() override {
        CollisionWorld::TearDown();
        characters.reset();
    }

    CameraActor *TargetCamera(Actor *target) {
        auto *camera = dynamic_cast<CameraActor *>(
            CreateActor(kCameraClassId, "cam", nullptr, GetActorById(kSceneryRootId), -1, true));
        uint32_t type = kCameraTarget;
        camera->HandleCommand(cmd::camera::SetCameraType, ParamBlock(&type, sizeof(type)));
        camera->HandleCommand(cmd::camera::SetCameraTarget1_1222,
                              ParamBlock(&target, sizeof(target)));
        camera->eyeSmoothing = camera->lookSmoothing = 0.0f;
        return camera;
    }

    std::optional<TestCharacterClass> characters;
};

TEST_F(CameraCollisionTest, AWallBetweenHeadAndEyePullsTheCameraIn) {
    auto *hero = dynamic_cast<TestCharacter *>(CreateActor(
        testcharacter::kCharacterClassId, "hero", nullptr, GetActorById(kSceneryRootId), -1, true));
    ASSERT_NE(hero, nullptr);
    CameraActor *camera = TargetCamera(hero);

    // Nothing in the way: the eye stays at (0, 34.2, 98.75), no pull.
    camera->blocked = 1;
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->distancePull, 0.0f);
    EXPECT_NEAR(camera->eye.z, 98.75f, 1e-3f);

    // A wall at z 55 across the line from the head (0, 30, 0) to the eye.
    Actor *wall = Make("wall", {0, 30, 55});
    ColObj &box = Box(wall, {-50, -50, -5}, {50, 50, 5}, kNormal);
    box.groups = 1 | kSolidObjectBit;
    passive.Append(wall);
    camera->blocked = 1;
    camera->FrameUpdate();
    // Hit at z 50; the held point 2 r = 18 further toward the head; the pull
    // is the distance from the eye to it.
    EXPECT_NEAR(camera->distancePull, -(98.75f - 32.0f), 0.5f);
    EXPECT_EQ(camera->blocked, 0u);

    // The pull is never below -0.85 x Distance.
    camera->distancePull = -200.0f;
    camera->blocked = 1;
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->distancePull, -0.85f * 125.0f);

    // A wall that only the excluded user group 5 has is not seen.
    box.groups = 1u << 4 | kSolidObjectBit;
    camera->distancePull = 0.0f;
    camera->blocked = 1;
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->distancePull, 0.0f);
}

TEST_F(CameraCollisionTest, WithoutAHitTheTouchListPullsIn) {
    auto *hero = dynamic_cast<TestCharacter *>(CreateActor(
        testcharacter::kCharacterClassId, "hero", nullptr, GetActorById(kSceneryRootId), -1, true));
    CameraActor *camera = TargetCamera(hero);
    camera->simState = std::make_unique<SimState>();
    TouchRecord touch;
    touch.push = {3.0f, 4.0f, 0.0f};
    camera->simState->touches.push_back(touch);
    camera->distancePull = -10.0f;
    camera->blocked = 1;
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->distancePull, -10.0f - 5.0f * 0.25f / 2.0f);
}

TEST_F(CameraCollisionTest, LookChaseMeetsWallsAndCeilings) {
    auto *hero = dynamic_cast<TestCharacter *>(CreateActor(
        testcharacter::kCharacterClassId, "hero", nullptr, GetActorById(kSceneryRootId), -1, true));
    ASSERT_NE(hero, nullptr);
    hero->lookDirection = {0.0f, 0.0f, 1.0f};
    CameraActor *camera = TargetCamera(hero);
    uint32_t type = kCameraLookChase;
    camera->HandleCommand(cmd::camera::SetCameraType, ParamBlock(&type, sizeof(type)));
    camera->eyeSmoothing = camera->lookSmoothing = camera->upSmoothing = 0.0f;
    // Look (0, 43, 0), eye (0, 43, -105); the probe runs from (0, 13, 0).
    const Vector3 dir = {0.0f, 30.0f / std::hypot(30.0f, 105.0f),
                         -105.0f / std::hypot(30.0f, 105.0f)};

    // A wall facing the target at z -75: the eye goes 10 short of the hit.
    Actor *wall = Make("wall", {0, 0, -80});
    ColObj &wallBox = Box(wall, {-500, -500, -5}, {500, 500, 5}, kNormal);
    wallBox.groups = 1 | kSolidObjectBit;
    passive.Append(wall);
    camera->FrameUpdate();
    const float t = 75.0f / -dir.z;
    const Vector3 eye = {0.0f, 13.0f + dir.y * (t - 10.0f), -75.0f - dir.z * 10.0f};
    EXPECT_NEAR(camera->eye.y, eye.y, 1e-2f);
    EXPECT_NEAR(camera->eye.z, eye.z, 1e-2f);
    EXPECT_NEAR(camera->distancePull, std::hypot(eye.y - 43.0f, eye.z) * 1.05f - 105.0f, 1e-2f);
    EXPECT_NEAR(camera->contactNormal.z, 1.0f, 1e-4f);

    // A ceiling at y 40 over the eye: eye and look drop along its normal.
    wallBox.flags &= ~kColObjActive;
    Actor *ceiling = Make("ceiling", {0, 45, -150});
    ColObj &slab = Box(ceiling, {-500, -5, -100}, {500, 5, 100}, kNormal);
    slab.groups = 1 | kSolidObjectBit;
    passive.Append(ceiling);
    camera->distancePull = 0.0f;
    camera->FrameUpdate();
    const float drop = 43.0f - (40.0f - dir.y * 10.0f);
    EXPECT_NEAR(camera->eye.y, 43.0f - drop, 1e-2f);
    EXPECT_NEAR(camera->eye.z, -105.0f, 1e-2f);
    EXPECT_NEAR(camera->look.y, 43.0f - drop, 1e-2f);
    EXPECT_NEAR(camera->distancePull, 105.0f * 1.05f - 105.0f, 1e-2f);
}

TEST_F(CameraCollisionTest, ThePassPushesTheSphereOutAndBlocksIt) {
    auto *camera = dynamic_cast<CameraActor *>(
        CreateActor(kCameraClassId, "cam", nullptr, GetActorById(kSceneryRootId), -1, true));
    uint32_t type = kCameraOrbit;
    camera->HandleCommand(cmd::camera::SetCameraType, ParamBlock(&type, sizeof(type)));
    camera->position = {0, 0, 0};
    camera->InvalidateTransform();
    UpdateTestBounds(camera);
    Actor *wall = Make("wall", {14, 0, 0});
    Box(wall, {-10, -50, -50}, {10, 50, 50}, kNormal);
    active.Append(camera);
    passive.Append(wall);
    RunCollisionPass(GetActorSystem(), 1.0f / 60.0f);
    EXPECT_EQ(camera->blocked, 1u);
    EXPECT_LT(camera->GetWorldPosition().x, -4.0f);
    ASSERT_NE(camera->simState, nullptr);
    EXPECT_FALSE(camera->simState->touches.empty());

    // A Character's solid object does not block.
    camera->blocked = 0;
    camera->position = {0, 0, 0};
    camera->InvalidateTransform();
    UpdateTestBounds(camera);
    wall->classId = testcharacter::kCharacterClassId;
    RunCollisionPass(GetActorSystem(), 1.0f / 60.0f);
    EXPECT_EQ(camera->blocked, 0u);
}

} // namespace
