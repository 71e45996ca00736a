// A "StaticFlare" drawn for real on an offscreen GL device (software
// rendering): one camera-facing square where the projection of its corners
// says, whatever the emitter's turn, that stays until it is stopped.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "actors/presentation/particle_system_actor.h"
#include "core/actors/command_ids.h"
#include "library/render/render_front_end.h"
#include "platform/os/gfx/gl_device.h"
#include "presentation_fixture.h"
#include "support/image_test.h"

namespace {

using namespace presentationtest;

class ParticleRender : public PresentationTest {
  protected:
    std::unique_ptr<gfx::Device> MakeDevice() override {
        imagetest::UseSoftwareRendering();
        std::string error;
        return gfx::GlDevice::CreateOffscreen(320, 240, &error);
    }
    void SetUp() override {
        PresentationTest::SetUp();
        library.SetFarClip(35000.0f);
        library.SetNearClip(1.5f);
        library.SetCameraTransform({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
        // Drawn in the vertices' own colour: white, untextured, unlit.
        MaterialItem *white = Material(kDefaultMaterialSlot);
        white->unlit = 1;
        white->twoSided = 1;
        white->textureIds.clear();
        white->bucketMask = 1;
    }
    // One drawn frame of dt over a black clear, read back.
    imagetest::Image Frame(ParticleSystemActor *actor, float dt) {
        Step(dt);
        actor->Update();
        library.SetClearColor(0xFF000000u);
        imagetest::Image image;
        EXPECT_TRUE(library.BeginRender(true, true));
        library.DrawScene();
        EXPECT_TRUE(library.EndRender(false));
        EXPECT_TRUE(imagetest::ReadBack(*device, &image));
        return image;
    }
    // The square the corners of a flare of half side `half` at the point
    // project to on the screen.
    static gfx::Rect Projected(Vector3 at, float half) {
        Vector3 topLeft = {at.x - half, at.y + half, at.z};
        Vector3 bottomRight = {at.x + half, at.y - half, at.z};
        ProjectToScreen(&topLeft);
        ProjectToScreen(&bottomRight);
        return {static_cast<int32_t>(std::lround(topLeft.x)),
                static_cast<int32_t>(std::lround(topLeft.y)),
                static_cast<int32_t>(std::lround(bottomRight.x)),
                static_cast<int32_t>(std::lround(bottomRight.y))};
    }
    static void ExpectWhiteSquare(const imagetest::Image &image, const gfx::Rect &expected) {
        const gfx::Rect got = image.CoveredRect({0, 0, 0}, 2);
        EXPECT_NEAR(got.left, expected.left, 1);
        EXPECT_NEAR(got.top, expected.top, 1);
        EXPECT_NEAR(got.right, expected.right, 1);
        EXPECT_NEAR(got.bottom, expected.bottom, 1);
        const gfx::Rect inner = {got.left + 1, got.top + 1, got.right - 1, got.bottom - 1};
        EXPECT_TRUE(imagetest::RegionNear(image, inner, {255, 255, 255}, 2));
    }
};

TEST_F(ParticleRender, StaticFlareIsAScreenSquareUntilStopped) {
    auto *flare = Make<ParticleSystemActor>(kParticleSystemClassId, "flare");
    ASSERT_NE(flare, nullptr);
    SendCommandArgs(flare, cmd::particle_system::SetParticleType, 2u);
    const Vector3 at = {0.0f, 0.0f, 200.0f};
    flare->position = at;
    flare->InvalidateTransform();
    const gfx::Rect square = Projected(at, 20.0f);
    ASSERT_GT(square.right - square.left, 20);
    // It stays where it was put, frame after frame.
    for (float dt : {1.0f / 60.0f, 0.5f, 2.0f}) {
        SCOPED_TRACE(dt);
        ExpectWhiteSquare(Frame(flare, dt), square);
    }
    // Stopped: its one particle is gone at once (no time passes, so none is
    // emitted in its place).
    EXPECT_NE(SendCommandArgs(flare, 215), 0);
    const gfx::Rect none = Frame(flare, 0.0f).CoveredRect({0, 0, 0}, 2);
    EXPECT_EQ(none.right - none.left, 0);

    // Turned 45 degrees about y and scaled 2: still a square facing the
    // screen, of twice the side.
    auto *turned = Make<ParticleSystemActor>(kParticleSystemClassId, "turned");
    ASSERT_NE(turned, nullptr);
    SendCommandArgs(turned, cmd::particle_system::SetParticleType, 2u);
    DeleteActor(flare);
    turned->position = at;
    turned->rotation = {0.0f, std::sin(0.3926991f), 0.0f, std::cos(0.3926991f)};
    turned->scale = {2.0f, 2.0f, 2.0f};
    turned->InvalidateTransform();
    ExpectWhiteSquare(Frame(turned, 1.0f / 60.0f), Projected(at, 40.0f));
}

} // namespace
