// Rendered checks of the GL device on llvmpipe (offscreen).
#include <gtest/gtest.h>

#include <cstring>

#include "support/image_test.h"

namespace {

using imagetest::GlDeviceTest;
using imagetest::PixelNear;
using imagetest::RegionNear;
using imagetest::Rgb;
using imagetest::ScreenQuad;
using imagetest::ScreenVertex;

// Pre-transformed, diffuse, one texture set: 28-byte vertices.
constexpr uint32_t kScreenFvf = 0x144;

TEST_F(GlDeviceTest, ClearFillsEveryPixelAndReadBackIsX8R8G8B8TopDown) {
    gfx::Device& d = Dev();
    ASSERT_EQ(d.Clear(0, nullptr, 7, 0xFF204080u, 1.0f, 0), gfx::Result::Ok);
    Capture();
    EXPECT_EQ(image_.format, gfx::Format::X8R8G8B8);
    ASSERT_EQ(image_.width, 64u);
    ASSERT_EQ(image_.height, 64u);
    EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 64}, Rgb{0x20, 0x40, 0x80}, 0));

    // A clear of the top rows only shows that row 0 is the top of the screen.
    gfx::Rect top{0, 0, 64, 4};
    ASSERT_EQ(d.Clear(1, &top, gfx::ClearFlag::Target, 0xFFFF0000u, 1.0f, 0), gfx::Result::Ok);
    Capture();
    EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 4}, Rgb{255, 0, 0}, 0));
    EXPECT_TRUE(RegionNear(image_, {0, 4, 64, 64}, Rgb{0x20, 0x40, 0x80}, 0));
}

TEST_F(GlDeviceTest, PreTransformedQuadCoversPixelsByIntegerCentres) {
    gfx::Device& d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    ScreenVertex v[4];
    ScreenQuad(v, 10.25f, 10.25f, 19.75f, 19.75f, 0xFFFFFFFFu);
    d.SetVertexShader(kScreenFvf);
    ASSERT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, 28), gfx::Result::Ok);
    Capture();
    const gfx::Rect covered = image_.CoveredRect(Rgb{0, 0, 0});
    EXPECT_EQ(covered.left, 11);
    EXPECT_EQ(covered.top, 11);
    EXPECT_EQ(covered.right, 20);
    EXPECT_EQ(covered.bottom, 20);
    EXPECT_TRUE(RegionNear(image_, {11, 11, 20, 20}, Rgb{255, 255, 255}, 0));
}

TEST_F(GlDeviceTest, VertexColourBytesAreBlueGreenRedAlpha) {
    gfx::Device& d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    ScreenVertex v[4];
    ScreenQuad(v, 0, 0, 64, 64, 0xFF123456u);
    d.SetVertexShader(kScreenFvf);
    d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, 28);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{0x12, 0x34, 0x56}, 0));

    // Without vertex colour the draw is white, whatever colour GL kept.
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    struct Plain {
        float x, y, z, rhw;
    } p[4] = {{0, 0, 0.5f, 1}, {64, 0, 0.5f, 1}, {0, 64, 0.5f, 1}, {64, 64, 0.5f, 1}};
    d.SetVertexShader(gfx::Fvf::XyzRhw);
    d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, p, 16);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 255, 255}, 0));
}

}  // namespace
