// The camera's frame update: the rule of each type, the smoothing step and
// what reaches the renderer; missing targets and zero lengths.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "camera_fixture.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "support/test_character.h"

namespace cameratest {
namespace {

using testcharacter::TestCharacter;
using testcharacter::TestCharacterClass;

int g_drawGroupUpdates = 0;
void CountDrawGroupUpdate(Actor *) { ++g_drawGroupUpdates; }

class CameraFrameTest : public CameraTest {
  protected:
    void SetUp() override {
        CameraTest::SetUp();
        characters.emplace();
        g_drawGroupUpdates = 0;
        DrawGroupHooks hooks;
        hooks.updateActor = &CountDrawGroupUpdate;
        SetDrawGroupHooks(hooks);
    }
    void TearDown() override {
        ResetDrawGroupHooks();
        CameraTest::TearDown();
        characters.reset();
    }

    // A current camera of the type.
    CameraActor *Current(uint32_t type) {
        CameraActor *camera = MakeCamera();
        Send(camera, cmd::camera::SetCameraType, type);
        Send(camera, cmd::camera::SetCameraActive, 1u);
        return camera;
    }
    TestCharacter *MakeCharacter(const char *name, const Vector3 &at) {
        auto *character = Make<TestCharacter>(testcharacter::kCharacterClassId, name);
        if (character != nullptr) {
            character->position = at;
            character->InvalidateTransform();
        }
        return character;
    }

    std::optional<TestCharacterClass> characters;
};

TEST_F(CameraFrameTest, FreeCameraHandsItsWorldTransform) {
    CameraActor *camera = Current(kCameraFree);
    camera->position = {10.0f, 20.0f, 30.0f};
    QuaternionRotationYawPitchRoll(&camera->rotation, 0.5f, 0.0f, 0.0f);
    camera->InvalidateTransform();
    camera->fov = 2.0f;
    camera->FrameUpdate();
    EXPECT_TRUE(Near(LibraryEye(), {10.0f, 20.0f, 30.0f}));
    const Quaternion &q = library.GetCameraRotation();
    EXPECT_NEAR(std::fabs(q.x * camera->rotation.x + q.y * camera->rotation.y +
                          q.z * camera->rotation.z + q.w * camera->rotation.w),
                1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(library.GetFieldOfView(), 1.5f);
    EXPECT_EQ(g_drawGroupUpdates, 0);
}

TEST_F(CameraFrameTest, WithoutSmoothingTheValuesGoOverUnchanged) {
    CameraActor *camera = Current(kCameraTarget);
    camera->eyeSmoothing = camera->lookSmoothing = camera->upSmoothing = 0.0f;
    camera->eye = {1.0f, 2.0f, 3.0f};
    camera->look = {4.0f, 5.0f, 6.0f};
    camera->distancePull = -10.0f;
    Step(1.0f);
    camera->SmoothAndApply();
    EXPECT_TRUE(Near(camera->smoothEye, camera->eye) && Near(camera->position, camera->eye));
    EXPECT_TRUE(Near(LibraryEye(), camera->eye) && Near(LibraryLook(), camera->look));
    EXPECT_FLOAT_EQ(camera->distancePull, -10.0f); // no recovery that frame
    EXPECT_EQ(g_drawGroupUpdates, 0);
}

TEST_F(CameraFrameTest, SmoothingRunsSixtyStepsASecond) {
    CameraActor *camera = Current(kCameraTarget);
    camera->eyeSmoothing = 0.5f;
    camera->pullDecay = 1.0f;
    camera->pullRecovery = 1.0f;
    struct Case {
        float delta;
        float pullAfter; // -100 + steps
        float position;  // z shown: between the last two steps by the fraction
    };
    // Eye z 64 from a smoothed 0: one step gives 32.
    for (const Case &c :
         {Case{0.01f, -99.0f, 0.0f}, Case{0.025f, -99.0f, 16.0f}, Case{1.0f, -70.0f, -1.0f}}) {
        camera->eye = {0.0f, 0.0f, 64.0f};
        camera->smoothEye = {0.0f, 0.0f, 0.0f};
        camera->distancePull = -100.0f;
        Step(c.delta);
        camera->SmoothAndApply();
        EXPECT_FLOAT_EQ(camera->distancePull, c.pullAfter) << c.delta;
        if (c.position >= 0.0f) {
            EXPECT_NEAR(camera->position.z, c.position, 1e-3f) << c.delta;
        } else {
            EXPECT_FLOAT_EQ(camera->position.z, camera->prevSmoothEye.z); // frac 0
        }
    }
    EXPECT_EQ(g_drawGroupUpdates, 3);

    // Recovery never lifts the pull above 0; a blocked camera does not recover.
    camera->distancePull = -0.3f;
    camera->pullRecovery = 0.6f;
    Step(0.1f);
    camera->SmoothAndApply();
    EXPECT_EQ(camera->distancePull, 0.0f);
    camera->distancePull = -5.0f;
    camera->blocked = 1;
    camera->SmoothAndApply();
    EXPECT_EQ(camera->distancePull, -5.0f);
}

TEST_F(CameraFrameTest, TargetCameraHangsBehindAndAboveTheCharacter) {
    TestCharacter *hero = MakeCharacter("hero", {100.0f, 0.0f, 50.0f});
    ASSERT_NE(hero, nullptr);
    CameraActor *camera = Current(kCameraTarget);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, hero);
    camera->eyeSmoothing = camera->lookSmoothing = 0.0f;
    camera->FrameUpdate();
    // Pitch 0: k = -0.21, the eye at (0, 30, 125) + (0, 4.2, -26.25).
    EXPECT_TRUE(Near(camera->eye, {100.0f, 34.2f, 148.75f}));
    EXPECT_TRUE(Near(camera->look, {100.0f, 34.2f, 50.0f - 145.0f - 26.25f}));

    // Looking up by the full 1.0 (clamped) and turned by a half turn.
    hero->lookRotX = 3.0f;
    hero->lookRotYOffset = 3.14159265f;
    camera->FrameUpdate();
    const float p = 1.0f;
    const float k = (p - 0.3f) * 0.7f;
    // Eye: (0, 30, 125) pitched by -1 about x, turned half round, then shifted.
    const float y = 30.0f * std::cos(p) + 125.0f * std::sin(p);
    const float z = -30.0f * std::sin(p) + 125.0f * std::cos(p);
    EXPECT_TRUE(Near(camera->eye, {100.0f, y - k * 20.0f, 50.0f - z - 125.0f * k}, 2e-2f));
    EXPECT_TRUE(Finite(camera->look));

    // The pull is held at -0.85 x Distance when the camera is blocked.
    camera->distancePull = -500.0f;
    camera->blocked = 1;
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->distancePull, -0.85f * 125.0f);
    EXPECT_EQ(camera->blocked, 0u);
}

TEST_F(CameraFrameTest, TwoTargetCameraDriftsATenthPerFrame) {
    Actor *a = Make<Actor>(2, "a");
    Actor *b = Make<Actor>(2, "b");
    a->position = {-50.0f, 0.0f, 0.0f};
    b->position = {50.0f, 0.0f, 0.0f};
    CameraActor *camera = Current(kCameraTargetX2);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, a);
    SendPointer(camera, cmd::camera::SetCameraTarget2_1224, b);
    for (float delta : {0.5f, 0.01f}) {
        camera->eye = {0.0f, 30.0f, -400.0f};
        Step(delta);
        camera->FrameUpdate();
        // Separation 100, distance 125: 175 of 400 - 225 is drawn in by a tenth,
        // the height by a tenth of 225 - 1.8 x 30; the side correction is 0.
        EXPECT_TRUE(Near(camera->eye, {0.0f, 47.1f, -382.5f})) << delta;
        EXPECT_TRUE(Near(camera->look, {0.0f, 30.0f, 0.0f}));
    }
    EXPECT_TRUE(Near(camera->position, {0.0f, 0.0f, 7.0f})); // the actor stays
    EXPECT_TRUE(Near(LibraryEye(), camera->smoothEye));
    EXPECT_EQ(g_drawGroupUpdates, 0);

    // Missing targets count as the origin; the eye on the look point skips the drift.
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, nullptr);
    SendPointer(camera, cmd::camera::SetCameraTarget2_1224, nullptr);
    camera->heightOffset = 0.0f;
    camera->eye = {0.0f, 0.0f, 0.0f};
    camera->FrameUpdate();
    EXPECT_TRUE(Finite(camera->eye) && Finite(camera->smoothEye) && Finite(LibraryEye()));
}

TEST_F(CameraFrameTest, FollowCameraKeepsItsDistanceAndHeight) {
    Actor *target = Make<Actor>(2, "target");
    CameraActor *camera = MakeCamera();
    Send(camera, cmd::camera::SetCameraType, kCameraFollow);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, target);
    const float dt = 0.1f;

    // 155 units out at the look height + 35: it holds.
    camera->position = {155.0f, 65.0f, 0.0f};
    camera->InvalidateTransform();
    Step(dt);
    camera->Process(); // runs even when not current
    EXPECT_TRUE(Near(camera->position, {155.0f, 65.0f, 0.0f}));
    EXPECT_TRUE(Near(LibraryLook(), {0.0f, 30.0f, 0.0f}));

    // Blocked: it closes in by len x dt along the line.
    camera->blocked = 1;
    Step(dt);
    camera->Process();
    EXPECT_TRUE(Near(camera->position, {155.0f * 0.9f, 65.0f - 35.0f * dt, 0.0f}));
    EXPECT_EQ(camera->blocked, 0u);

    // Too close and too high: backs off, sinks at 50 units a second.
    camera->position = {100.0f, 130.0f, 0.0f};
    camera->InvalidateTransform();
    Step(dt);
    camera->Process();
    EXPECT_TRUE(Near(camera->position, {110.0f, 130.0f + 100.0f * dt - 50.0f * dt, 0.0f}));
    // Too low: rises.
    camera->position = {155.0f, 40.0f, 0.0f};
    camera->InvalidateTransform();
    Step(dt);
    camera->Process();
    EXPECT_FLOAT_EQ(camera->position.y, 40.0f + 5.0f);

    // On the look point: no horizontal step, no NaN.
    camera->position = {0.0f, 30.0f, 0.0f};
    camera->InvalidateTransform();
    Step(dt);
    camera->Process();
    EXPECT_TRUE(Near(camera->position, {0.0f, 35.0f, 0.0f}));
}

TEST_F(CameraFrameTest, StillTypesChangeNothingAndClearBlocked) {
    for (uint32_t type : {kCameraStill, 7u}) {
        CameraActor *camera = Current(type);
        library.SetCameraLookAt({1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
        camera->blocked = 1;
        camera->FrameUpdate();
        EXPECT_EQ(camera->blocked, 0u);
        EXPECT_TRUE(Near(LibraryEye(), {1.0f, 2.0f, 3.0f}));
        EXPECT_TRUE(Near(camera->position, {0.0f, 0.0f, 7.0f}));
    }
}

TEST_F(CameraFrameTest, MissingTargetsHoldTheView) {
    library.SetCameraLookAt({1.0f, 2.0f, 3.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f});
    for (uint32_t type : {kCameraTarget, kCameraLookChase, kCameraOrbit}) {
        CameraActor *camera = Current(type);
        camera->blocked = 1;
        camera->FrameUpdate();
        EXPECT_EQ(camera->blocked, 0u) << type;
        EXPECT_TRUE(Near(LibraryEye(), {1.0f, 2.0f, 3.0f})) << type;
    }
    CameraActor *follow = MakeCamera("follow");
    Send(follow, cmd::camera::SetCameraType, kCameraFollow);
    follow->blocked = 1;
    follow->Process();
    EXPECT_EQ(follow->blocked, 0u);
    EXPECT_TRUE(Near(LibraryEye(), {1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(g_drawGroupUpdates, 0);
}

TEST_F(CameraFrameTest, LookChaseHangsBehindTheLookDirection) {
    TestCharacter *hero = MakeCharacter("hero", {0.0f, 0.0f, 0.0f});
    ASSERT_NE(hero, nullptr);
    hero->lookDirection = {0.0f, 0.0f, 1.0f};
    CameraActor *camera = Current(kCameraLookChase);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, hero);
    camera->FrameUpdate();
    EXPECT_TRUE(Near(camera->look, {0.0f, 43.0f, 0.0f}));
    EXPECT_TRUE(Near(camera->eye, {0.0f, 43.0f, -105.0f}));
    EXPECT_EQ(g_drawGroupUpdates, 1);

    // With a second target the look point is that target.
    Actor *head = Make<Actor>(2, "head");
    head->position = {5.0f, 60.0f, 0.0f};
    SendPointer(camera, cmd::camera::SetCameraTarget2_1224, head);
    camera->FrameUpdate();
    EXPECT_TRUE(Near(camera->look, {5.0f, 60.0f, 0.0f}));
}

TEST_F(CameraFrameTest, OrbitCameraClampsDistanceAndSteepAngles) {
    Actor *target = Make<Actor>(2, "target");
    CameraActor *camera = Current(kCameraOrbit);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, target);
    camera->HandleCommand(153, ParamBlock());
    Step(1.0f / 60.0f);
    camera->FrameUpdate();
    // The far point is drawn in to R + slack in the first frame.
    EXPECT_NEAR(Vec3Length(camera->eye), 205.0f, 1e-2f);
    EXPECT_EQ(g_drawGroupUpdates, 1);

    // Too close: pushed out to R; steep: held at about 53 degrees.
    camera->eye = {1.0f, 50.0f, 0.0f};
    camera->FrameUpdate();
    const float horizontal = std::hypot(camera->eye.x, camera->eye.z);
    EXPECT_NEAR(std::atan2(camera->eye.y, horizontal) * 180.0f / 3.14159265f, 53.0f, 0.5f);
    EXPECT_NEAR(Vec3Length(camera->eye), 105.0f, 1e-2f);

    // The pull is raised to -0.9 x Distance before use.
    camera->distancePull = -500.0f;
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->distancePull, -0.9f * 105.0f * 0.97f); // then one smoothing step

    // The eye on the look point: steps 5 and 6 are skipped, no NaN.
    camera->eye = camera->look;
    camera->FrameUpdate();
    EXPECT_TRUE(Finite(camera->eye) && Finite(camera->position) && Finite(LibraryEye()));
}

TEST_F(CameraFrameTest, TurningSuspendsTheOrbitLevelling) {
    Actor *target = Make<Actor>(2, "target");
    CameraActor *camera = Current(kCameraOrbit);
    SendPointer(camera, cmd::camera::SetCameraTarget1_1222, target);
    camera->distance = 100.0f;
    Step(5.0f);
    const float y0 = 30.0f; // the look point is the target's origin
    camera->eye = {0.0f, 60.0f, -120.0f};
    Send(camera, cmd::camera::CameraTurnHorizontal, 0.0f);
    Step(1.0f);
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->eye.y, 60.0f); // 1 s after the turn: held
    camera->eye = {0.0f, 60.0f, -120.0f};
    Step(1.0f);
    camera->FrameUpdate();
    EXPECT_FLOAT_EQ(camera->eye.y, 60.0f); // 2 s
    camera->eye = {0.0f, 60.0f, -120.0f};
    Step(1.0f);
    camera->FrameUpdate();
    // 3 s: moves toward y0 by min(30, 19) x dt and stops there.
    EXPECT_FLOAT_EQ(camera->eye.y, std::max(60.0f - 19.0f, y0));
}

} // namespace
} // namespace cameratest
