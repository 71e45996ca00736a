// The 3D pass drawn for real: materials, blending, bucket 7's order, two
// passes of one instance and a vertex-animated mesh, on an offscreen GL
// device (software rendering), probed pixel by pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/anb_writer.h"
#include "library/mesh.h"
#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"
#include "platform/os/gfx/gl_device.h"
#include "support/image_test.h"
#include "support/temp_folder.h"

namespace {

using namespace gfx;
using imagetest::Rgb;
using rendertest::MakeMaterial;
using rendertest::MakeMesh;
using rendertest::Translation;

constexpr uint32_t kWhiteSlot = 3;

// Position, normal, (u, v).
void PutVertex(std::vector<uint8_t> &out, float x, float y, float z, float u, float v) {
    const float f[8] = {x, y, z, 0.0f, 0.0f, -1.0f, u, v};
    const auto *bytes = reinterpret_cast<const uint8_t *>(f);
    out.insert(out.end(), bytes, bytes + sizeof f);
}

class RenderImageTest : public rendertest::RenderTest {
  protected:
    std::unique_ptr<Device> MakeDevice() override {
        imagetest::UseSoftwareRendering();
        std::string error;
        return GlDevice::CreateOffscreen(64, 64, &error);
    }

    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_TRUE(textures_.Fill(library_, *device_, {{kWhiteSlot, 0xFFFFFFFFu}}));
        library_.SetFarClip(35000.0f);
        library_.SetNearClip(1.5f);
        library_.SetCameraTransform({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
        // One square of 400 x 400 at z 0 around the origin: it fills the
        // view from any depth used here.
        std::vector<uint8_t> v;
        PutVertex(v, -200.0f, -200.0f, 0.0f, 0.0f, 1.0f);
        PutVertex(v, -200.0f, 200.0f, 0.0f, 0.0f, 0.0f);
        PutVertex(v, 200.0f, -200.0f, 0.0f, 1.0f, 1.0f);
        PutVertex(v, 200.0f, 200.0f, 0.0f, 1.0f, 0.0f);
        ASSERT_TRUE(rendertest::AddSubset(*quad_, *device_, 0x112, 32, v, 1, {0, 1, 2, 2, 1, 3}));
    }
    void TearDown() override {
        quad_->subsets.clear();
        if (anb_) {
            anb_->subsets.clear();
        }
        RenderTest::TearDown();
    }

    // Lit, emissive in the colour, black diffuse of alpha 1, white texture.
    std::unique_ptr<MaterialItem> Glowing(float r, float g, float b, uint32_t mask,
                                          uint32_t blendMode = 0) {
        auto m = MakeMaterial(blendMode, mask);
        m->material.diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
        m->material.ambient = {0.0f, 0.0f, 0.0f, 0.0f};
        m->material.emissive = {r, g, b, 1.0f};
        m->textureIds = {kWhiteSlot};
        m->twoSided = 1;
        return m;
    }

    // One frame: clear to the colour, draw the queued instances, read back.
    imagetest::Image Frame(uint32_t clear = 0xFF000000u) {
        library_.SetClearColor(clear);
        imagetest::Image image;
        EXPECT_TRUE(library_.BeginRender(true, true));
        library_.DrawScene();
        EXPECT_TRUE(library_.EndRender(false));
        EXPECT_TRUE(imagetest::ReadBack(*device_, &image));
        return image;
    }

    std::unique_ptr<MeshItem> quad_ = MakeMesh({{0.0f, 0.0f, 0.0f, 300.0f}});
    std::unique_ptr<MeshItem> anb_;
};

TEST_F(RenderImageTest, EmissiveMaterialAtFullAndHalfAlpha) {
    auto m = Glowing(1.0f, 1.0f, 1.0f, 1);
    Matrix at = Translation(0.0f, 0.0f, 100.0f);
    DrawInstance *a = library_.CreateDrawInstance(quad_.get(), 0, m.get(), &at, 0, 0.0f);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {255, 255, 255}));
    library_.QueueDrawInstance(a, 0.0f, 0.5f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {128, 128, 128}));
}

TEST_F(RenderImageTest, BucketSevenBlendsFarToNear) {
    auto red = Glowing(1.0f, 0.0f, 0.0f, 1u << 7);
    auto green = Glowing(0.0f, 1.0f, 0.0f, 1u << 7);
    Matrix farAt = Translation(0.0f, 0.0f, 200.0f);
    Matrix nearAt = Translation(0.0f, 0.0f, 100.0f);
    DrawInstance *g = library_.CreateDrawInstance(quad_.get(), 0, green.get(), &nearAt, 0, 0.0f);
    DrawInstance *r = library_.CreateDrawInstance(quad_.get(), 0, red.get(), &farAt, 0, 0.0f);
    // Queued near first; drawn far first.
    library_.QueueDrawInstance(g, 0.0f, 0.5f);
    library_.QueueDrawInstance(r, 0.0f, 0.5f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {64, 128, 0}));
}

TEST_F(RenderImageTest, TwoPassesOfOneInstanceBothLand) {
    auto m = Glowing(1.0f, 1.0f, 1.0f, 1u | (1u << 7));
    Matrix at = Translation(0.0f, 0.0f, 100.0f);
    DrawInstance *a = library_.CreateDrawInstance(quad_.get(), 0, m.get(), &at, 0, 0.0f);
    library_.QueueDrawInstance(a, 0.0f, 0.5f);
    // 128, then 128 + 0.5 x (255 - 128): the second pass passes the depth
    // test at equal depth.
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {191, 191, 191}));
}

TEST_F(RenderImageTest, MultiplyScalesTheDestination) {
    auto m = Glowing(0.5f, 0.5f, 0.5f, 1, 2);
    Matrix at = Translation(0.0f, 0.0f, 100.0f);
    DrawInstance *a = library_.CreateDrawInstance(quad_.get(), 0, m.get(), &at, 0, 0.0f);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(0xFFC86432u), 32, 32, {100, 50, 25}));
}

TEST_F(RenderImageTest, BucketElevenClearsDepthWhileDepthWritesAreOff) {
    auto green = Glowing(0.0f, 1.0f, 0.0f, 1u << 0);
    auto nothing = Glowing(0.0f, 0.0f, 0.0f, 1u << 1, 3); // "Add": no depth writes
    auto red = Glowing(1.0f, 0.0f, 0.0f, 1u << 11);
    Matrix nearAt = Translation(0.0f, 0.0f, 100.0f);
    Matrix farAt = Translation(0.0f, 0.0f, 200.0f);
    DrawInstance *a = library_.CreateDrawInstance(quad_.get(), 0, green.get(), &nearAt, 0, 0.0f);
    DrawInstance *b = library_.CreateDrawInstance(quad_.get(), 0, nothing.get(), &nearAt, 0, 0.0f);
    DrawInstance *c = library_.CreateDrawInstance(quad_.get(), 0, red.get(), &farAt, 0, 0.0f);
    for (DrawInstance *i : {a, b, c}) {
        library_.QueueDrawInstance(i, 0.0f, 1.0f);
    }
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {255, 0, 0}));
}

TEST_F(RenderImageTest, DirectionalAndLocalLights) {
    auto lit = MakeMaterial(0, 1);
    lit->material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    lit->material.ambient = {0.0f, 0.0f, 0.0f, 0.0f};
    lit->textureIds = {kWhiteSlot};
    lit->twoSided = 1;
    Matrix at = Translation(0.0f, 0.0f, 100.0f);
    DrawInstance *a = library_.CreateDrawInstance(quad_.get(), 0, lit.get(), &at, 0, 0.0f);

    // A directional light shining along +z lights the quad that faces -z.
    LightItem *sun = library_.CreateLight();
    SetLightType(sun, kLightDirectional);
    SetLightDirection(sun, {0.0f, 0.0f, 1.0f});
    ApplyLight(sun);
    library_.EnableLight(sun, true);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {255, 255, 255}));
    library_.EnableLight(sun, false);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {0, 0, 0}));

    // A point light is on only while its sphere meets the instance's (GL
    // lights have no range: the 3D pass switches them). Lighting is per
    // vertex; the corners see the light at 2100 / 2119.4 of full strength.
    LightItem *lamp = library_.CreateLight();
    SetLightPosition(lamp, {0.0f, 0.0f, -2000.0f});
    SetLightRange(lamp, 5000.0f);
    SetLightAttenuation1(lamp, 0.0f);
    ApplyLight(lamp);
    library_.EnableLight(lamp, true);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {253, 253, 253}, 3));
    EXPECT_EQ(a->lightCount, 1u);
    SetLightRange(lamp, 10.0f);
    ApplyLight(lamp);
    library_.QueueDrawInstance(a, 0.0f, 1.0f);
    EXPECT_TRUE(imagetest::PixelNear(Frame(), 32, 32, {0, 0, 0}));
    EXPECT_EQ(a->lightCount, 0u);
}

TEST_F(RenderImageTest, AnimatedMeshShowsTheFrameOfItsQueue) {
    // Vertical field of view pi/2, square aspect: at depth 32 one world unit
    // is one pixel, x = 32 + X.
    library_.SetFieldOfView(2.0943952f);
    library_.SetAspectAdjust(1.0f);
    AnbWriter writer;
    writer.frameCount = 10;
    auto corner = [](uint32_t frame, float dx, float dy) {
        return AnbVertex{{float(10 * frame) - 32.0f + dx, dy, 32.0f}, {0.0f, 0.0f, -1.0f}};
    };
    AnbPart part;
    part.vertices = {corner(0, 0, -4), corner(0, 0, 4), corner(0, 4, -4), corner(0, 4, 4)};
    part.positionIndices = {0, 1, 2, 2, 1, 3};
    part.texCoords = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
    part.textureIndices = {0, 1, 2, 2, 1, 3};
    writer.parts.push_back(part);
    for (uint32_t f = 1; f < 10; ++f) {
        writer.laterFrames.push_back(
            {corner(f, 0, -4), corner(f, 0, 4), corner(f, 4, -4), corner(f, 4, 4)});
    }
    TempFolder folder;
    ASSERT_EQ(writer.WriteFile((folder / "strip.anb").c_str()), 1);

    // Loaded by the first draw.
    RegisterMeshLoader();
    anb_ = MakeMesh({{0.0f, 0.0f, 32.0f, 100.0f}});
    anb_->filePath = folder / "strip.anb";
    anb_->loaded = 0;
    auto m = Glowing(1.0f, 1.0f, 1.0f, 1);
    Matrix identity;
    MatrixIdentity(&identity);
    DrawInstance *a = library_.CreateDrawInstance(anb_.get(), 0, m.get(), &identity, 0, 0.0f);
    library_.QueueDrawInstance(a, 12.0f, 1.0f);
    const imagetest::Image image = Frame();
    ASSERT_EQ(anb_->loaded, 1u) << library_.GetLastError();
    const gfx::Rect covered = image.CoveredRect({0, 0, 0}, 8);
    EXPECT_NEAR(covered.left, 20, 1);
    EXPECT_NEAR(covered.right, 24, 1);
    EXPECT_TRUE(imagetest::PixelNear(image, 22, 32, {255, 255, 255}));
}

} // namespace
