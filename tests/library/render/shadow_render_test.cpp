// Shadow volumes drawn for real on an offscreen GL device (software
// rendering): a cube above a floor darkens the floor where its volume meets
// it, leaves the rest alone, darkens nothing while V is held, and a camera
// standing inside a volume sees the floor behind the volume's wall darkened.
//
// The volume's faces turn inwards (its caps are the mesh's triangles
// reversed), so for a camera outside, the near wall is drawn by the
// decrementing pass: a shadowed floor pixel holds 0 - 1, which must wrap to
// 255 to be darkened (a clamping stencil leaves every shadow out). From
// inside, the wall in front of the floor faces the camera and counts up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"
#include "library/render/shadow_volume.h"
#include "platform/input.h"
#include "platform/os/gfx/gl_device.h"
#include "platform/os/scripted_input_backend.h"
#include "support/image_test.h"

namespace {

using namespace gfx;
using imagetest::Rgb;
using rendertest::MakeMaterial;
using rendertest::MakeMesh;
using rendertest::Translation;

constexpr uint32_t kWhiteSlot = 3;
constexpr uint32_t kSize = 128;
constexpr Rgb kFloor = {200, 150, 100};
// What the darkening quad (black at alpha 0x99) leaves of the floor.
constexpr Rgb kShadowed = {80, 60, 40};

void PutVertex(std::vector<uint8_t> &out, float x, float y, float z) {
    const float f[8] = {x, y, z, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    const auto *bytes = reinterpret_cast<const uint8_t *>(f);
    out.insert(out.end(), bytes, bytes + sizeof f);
}

// A cube of half-size 10 around the origin, faces turned outwards.
const std::vector<uint16_t> kCubeIndices = {2, 6, 7, 2, 7, 3, 0, 5, 4, 0, 1, 5, 0, 2, 3, 0, 3, 1,
                                            4, 5, 7, 4, 7, 6, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};

bool Near(Rgb a, Rgb b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

// Pixels that show the floor darkened by the quad.
int DarkenedPixels(const imagetest::Image &image) {
    int n = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            n += Near(image.At(x, y), kShadowed, 3) ? 1 : 0;
        }
    }
    return n;
}

ScriptedInputBackend &Keys() {
    static ScriptedInputBackend keys;
    return keys;
}

class ShadowRenderTest : public rendertest::RenderTest {
  protected:
    std::unique_ptr<Device> MakeDevice() override {
        imagetest::UseSoftwareRendering();
        std::string error;
        return GlDevice::CreateOffscreen(kSize, kSize, &error);
    }

    void SetUp() override {
        RenderTest::SetUp();
        Keys().ReleaseAll();
        InitInput(&Keys());
        ASSERT_TRUE(textures_.Fill(library_, *device_, {{kWhiteSlot, 0xFFFFFFFFu}}));
        InstallShadowVolumes(library_);
        library_.SetFarClip(35000.0f);
        library_.SetNearClip(1.5f);

        std::vector<uint8_t> floor;
        PutVertex(floor, -1000.0f, 0.0f, -1000.0f);
        PutVertex(floor, -1000.0f, 0.0f, 1000.0f);
        PutVertex(floor, 1000.0f, 0.0f, -1000.0f);
        PutVertex(floor, 1000.0f, 0.0f, 1000.0f);
        ASSERT_TRUE(
            rendertest::AddSubset(*floorMesh_, *device_, 0x112, 32, floor, 1, {0, 1, 2, 2, 1, 3}));
        std::vector<uint8_t> cube;
        for (int i = 0; i < 8; ++i) {
            PutVertex(cube, (i & 1) ? 10.0f : -10.0f, (i & 2) ? 10.0f : -10.0f,
                      (i & 4) ? 10.0f : -10.0f);
        }
        ASSERT_TRUE(rendertest::AddSubset(*cubeMesh_, *device_, 0x112, 32, cube, 1, kCubeIndices));

        // The floor glows in its own colour whatever the lights: no shading
        // differences to tell apart from the shadow.
        floorMaterial_ = Glowing(200.0f / 255.0f, 150.0f / 255.0f, 100.0f / 255.0f, 1u);
        caster_ = Glowing(0.1f, 0.2f, 0.9f, 8u | 16u);
        caster_->name = "ShadowCaster";
        caster_->twoSided = 0;
        floor_ = library_.CreateDrawInstance(floorMesh_.get(), 0, floorMaterial_.get(),
                                             &floorAt_, 0, 0.0f);
        ASSERT_NE(floor_, nullptr);
        EXPECT_EQ(floor_->shadowVolume, nullptr);
    }

    void TearDown() override {
        for (DrawInstance *i : {floor_, cube_}) {
            if (i != nullptr) {
                library_.DestroyDrawInstance(i);
            }
        }
        floorMesh_->subsets.clear();
        cubeMesh_->subsets.clear();
        ReleaseShadowQuad();
        Keys().ReleaseAll();
        RenderTest::TearDown();
    }

    std::unique_ptr<MaterialItem> Glowing(float r, float g, float b, uint32_t mask) {
        auto m = MakeMaterial(0, mask);
        m->material.diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
        m->material.ambient = {0.0f, 0.0f, 0.0f, 0.0f};
        m->material.emissive = {r, g, b, 1.0f};
        m->textureIds = {kWhiteSlot};
        m->twoSided = 1;
        return m;
    }

    void MakeCaster(const Matrix &world) {
        casterAt_ = world;
        cube_ = library_.CreateDrawInstance(cubeMesh_.get(), 0, caster_.get(), &casterAt_, 0,
                                            0.0f);
        ASSERT_TRUE(cube_ != nullptr && cube_->shadowVolume != nullptr);
    }

    imagetest::Image Frame() {
        library_.QueueDrawInstance(floor_, 0.0f, 1.0f);
        if (cube_ != nullptr) {
            library_.QueueDrawInstance(cube_, 0.0f, 1.0f);
        }
        library_.SetClearColor(0xFF000000u);
        imagetest::Image image;
        EXPECT_TRUE(library_.BeginRender(true, true));
        library_.DrawScene();
        EXPECT_TRUE(library_.EndRender(false));
        EXPECT_TRUE(imagetest::ReadBack(*device_, &image));
        return image;
    }

    // The pixel of a world point, asserted to lie well inside the image.
    static ::testing::AssertionResult Pixel(Vector3 point, uint32_t *x, uint32_t *y) {
        ProjectToScreen(&point);
        if (point.x < 2.0f || point.y < 2.0f || point.x > kSize - 3.0f ||
            point.y > kSize - 3.0f || point.z <= 0.0f || point.z >= 1.0f) {
            return ::testing::AssertionFailure()
                   << "off screen: (" << point.x << ", " << point.y << ", " << point.z << ")";
        }
        *x = uint32_t(point.x);
        *y = uint32_t(point.y);
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<MeshItem> floorMesh_ = MakeMesh({{0.0f, 0.0f, 0.0f, 1500.0f}});
    std::unique_ptr<MeshItem> cubeMesh_ = MakeMesh({{0.0f, 0.0f, 0.0f, 20.0f}});
    std::unique_ptr<MaterialItem> floorMaterial_;
    std::unique_ptr<MaterialItem> caster_;
    Matrix floorAt_ = Translation(0.0f, 0.0f, 0.0f);
    Matrix casterAt_;
    DrawInstance *floor_ = nullptr;
    DrawInstance *cube_ = nullptr;
};

// Where the volume's side through a world corner meets the floor: the
// corner moved along the extrusion (minus the light offset) down to y 0.
Vector3 FloorHit(const Vector3 &corner) {
    const float s = corner.y / kShadowLightOffset.y;
    return {corner.x - s * kShadowLightOffset.x, 0.0f, corner.z - s * kShadowLightOffset.z};
}

TEST_F(ShadowRenderTest, CubeDarkensTheFloorBelowItsLightOnly) {
    // The cube at height 50; its volume reaches the floor offset by
    // (-10, 0, 10) at its middle. The camera looks from the shadow's side so
    // that the cube hides none of it.
    MakeCaster(Translation(0.0f, 50.0f, 0.0f));
    library_.SetFieldOfView(0.6f); // about one pixel a unit at the shadow
    library_.SetCameraLookAt({-120.0f, 220.0f, 140.0f}, {-10.0f, 0.0f, 10.0f},
                             {0.0f, 1.0f, 0.0f});

    // The floor footprint of the volume: its corners' extrusions.
    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (int i = 0; i < 8; ++i) {
        const Vector3 hit = FloorHit({(i & 1) ? 10.0f : -10.0f, (i & 2) ? 60.0f : 40.0f,
                                      (i & 4) ? 10.0f : -10.0f});
        minX = std::min(minX, hit.x);
        maxX = std::max(maxX, hit.x);
        minZ = std::min(minZ, hit.z);
        maxZ = std::max(maxZ, hit.z);
    }
    const Vector3 middle = FloorHit({0.0f, 50.0f, 0.0f});
    ASSERT_LT(minX, middle.x);
    ASSERT_GT(maxX, middle.x);
    ASSERT_LT(minZ, middle.z);
    ASSERT_GT(maxZ, middle.z);
    const Vector3 outside = {minX - 30.0f, 0.0f, middle.z};

    const imagetest::Image image = Frame();
    uint32_t x = 0, y = 0;
    ASSERT_TRUE(Pixel(middle, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(image, x, y, kShadowed));
    // Corners of the footprint, pulled a little inwards, are in the shadow too.
    ASSERT_TRUE(Pixel({minX + 3.0f, 0.0f, middle.z}, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(image, x, y, kShadowed));
    ASSERT_TRUE(Pixel({middle.x, 0.0f, maxZ - 3.0f}, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(image, x, y, kShadowed));
    ASSERT_TRUE(Pixel(outside, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(image, x, y, kFloor));
    ASSERT_TRUE(Pixel({middle.x, 0.0f, maxZ + 30.0f}, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(image, x, y, kFloor));
    // The cube itself is drawn (bucket 3); its top may lie in its own
    // volume's near cap, so only its hue is checked.
    ASSERT_TRUE(Pixel({0.0f, 60.0f, 0.0f}, &x, &y));
    EXPECT_GT(image.At(x, y).b, 3 * image.At(x, y).r);

    // The next frame clears the stencil: the same shadow, not a deeper one.
    const imagetest::Image again = Frame();
    ASSERT_TRUE(Pixel(middle, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(again, x, y, kShadowed));
    EXPECT_EQ(DarkenedPixels(again), DarkenedPixels(image));
    EXPECT_GT(DarkenedPixels(image), 40);
}

TEST_F(ShadowRenderTest, WireFrameKeyDarkensNothing) {
    MakeCaster(Translation(0.0f, 50.0f, 0.0f));
    library_.SetFieldOfView(0.6f); // about one pixel a unit at the shadow
    library_.SetCameraLookAt({-120.0f, 220.0f, 140.0f}, {-10.0f, 0.0f, 10.0f},
                             {0.0f, 1.0f, 0.0f});
    Keys().SetKey(kShadowKeyWireFrame, true);
    const imagetest::Image wire = Frame();
    EXPECT_EQ(DarkenedPixels(wire), 0);
    uint32_t x = 0, y = 0;
    ASSERT_TRUE(Pixel({-60.0f, 0.0f, 10.0f}, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(wire, x, y, kFloor));

    // Let go: the shadow is back, and later materials are unharmed.
    Keys().SetKey(kShadowKeyWireFrame, false);
    const imagetest::Image solid = Frame();
    EXPECT_GT(DarkenedPixels(solid), 40);
    EXPECT_TRUE(imagetest::PixelNear(solid, x, y, kFloor));
}

TEST_F(ShadowRenderTest, CameraInsideAVolumeSeesThroughItsFarWallDarkened) {
    // A flat, wide caster at height 150: its volume, 400 units across,
    // holds the camera, which is still more than 200 units from the point
    // the distance is measured from.
    Matrix scale;
    MatrixScaling(&scale, 20.0f, 0.5f, 20.0f);
    Matrix world;
    MatrixMultiply(&world, scale, Translation(0.0f, 150.0f, 0.0f));
    cubeMesh_->subsetSettings[0].sphereRadius = 300.0f;
    MakeCaster(world);
    const Vector3 camera = {120.0f, 50.0f, -120.0f};
    ASSERT_TRUE(ShadowCameraFarEnough({0.0f, 150.0f, 0.0f}, camera));

    // A floor point well outside the footprint ((-230 .. 170) x (-170 ..
    // 230)); the line of sight leaves the volume through its +x wall before
    // it meets the floor, so the pixel is marked although nothing shades it.
    const Vector3 beyond = {250.0f, 0.0f, -250.0f};
    library_.SetCameraLookAt(camera, beyond, {0.0f, 1.0f, 0.0f});
    const imagetest::Image inside = Frame();
    uint32_t x = 0, y = 0;
    ASSERT_TRUE(Pixel(beyond, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(inside, x, y, kShadowed));

    // From outside every volume, the same floor point is lit.
    library_.SetCameraLookAt({400.0f, 120.0f, -400.0f}, beyond, {0.0f, 1.0f, 0.0f});
    const imagetest::Image outside = Frame();
    ASSERT_TRUE(Pixel(beyond, &x, &y));
    EXPECT_TRUE(imagetest::PixelNear(outside, x, y, kFloor));
}

} // namespace
