// Rendered checks of the GL device on llvmpipe (offscreen).
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/gfx/fixed_function_helpers.h"
#include "platform/os/gfx/gl_device.h"

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
    gfx::Device &d = Dev();
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
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetVertexShader(kScreenFvf);
    ASSERT_EQ(fftest::DrawQuad(d, 10.25f, 10.25f, 19.75f, 19.75f, 0xFFFFFFFFu), gfx::Result::Ok);
    Capture();
    const gfx::Rect covered = image_.CoveredRect(Rgb{0, 0, 0});
    EXPECT_EQ((std::array<int32_t, 4>{covered.left, covered.top, covered.right, covered.bottom}),
              (std::array<int32_t, 4>{11, 11, 20, 20}));
    EXPECT_TRUE(RegionNear(image_, {11, 11, 20, 20}, Rgb{255, 255, 255}, 0));
}

TEST_F(GlDeviceTest, VertexColourBytesAreBlueGreenRedAlpha) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetVertexShader(kScreenFvf);
    fftest::DrawQuad(d, 0, 0, 64, 64, 0xFF123456u);
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

// A 4 x 4 texture whose texel (x, y) has red 16 x, green 16 y, blue 0x80.
gfx::Texture *MakeTexture(gfx::Device &d, uint8_t blue = 0x80) {
    return fftest::PatternTexture(d, 4, 4, [blue](uint32_t x, uint32_t y) {
        return 0xFF000000u | (16 * x) << 16 | (16 * y) << 8 | blue;
    });
}

TEST_F(GlDeviceTest, TextureTexelsLandExactlyOnPixels) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    gfx::Texture *t = MakeTexture(d);
    d.SetTexture(0, t);
    d.SetVertexShader(kScreenFvf);
    ASSERT_EQ(fftest::DrawQuad(d, 9.5f, 9.5f, 13.5f, 13.5f, 0xFFFFFFFFu), gfx::Result::Ok);
    Capture();
    for (uint32_t y = 0; y < 4; ++y) {
        for (uint32_t x = 0; x < 4; ++x) {
            EXPECT_TRUE(
                PixelNear(image_, 10 + x, 10 + y, Rgb{uint8_t(16 * x), uint8_t(16 * y), 0x80}, 0));
        }
    }
    EXPECT_TRUE(PixelNear(image_, 9, 10, Rgb{0, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 14, 10, Rgb{0, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 10, 14, Rgb{0, 0, 0}, 0));

    // Texture x diffuse: a half-grey vertex colour halves the texels.
    fftest::DrawQuad(d, 29.5f, 9.5f, 33.5f, 13.5f, 0xFF808080u);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 30, 10, Rgb{0, 0, 0x40}, 1));
    d.SetTexture(0, nullptr);
    t->Release();
}

TEST_F(GlDeviceTest, TexelsReachTheDrawsFromTheirUnlockOn) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    gfx::Texture *t = MakeTexture(d, 0x80);
    d.SetTexture(0, t);
    d.SetVertexShader(kScreenFvf);
    auto quadAt = [&d](float left) {
        fftest::DrawQuad(d, left, 9.5f, left + 4, 13.5f, 0xFFFFFFFFu);
    };
    quadAt(9.5f);

    // Rewrite every texel's blue while the texture stays bound.
    gfx::LockedRect lr;
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), gfx::Result::Ok);
    for (int y = 0; y < 4; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(lr.bits) + y * lr.pitch);
        for (int x = 0; x < 4; ++x) {
            row[x] = (row[x] & 0xFFFFFF00u) | 0xF0u;
        }
    }
    ASSERT_EQ(t->UnlockRect(0), gfx::Result::Ok);
    quadAt(19.5f);

    // Another thread (a video frame) holds the level while the frame draws:
    // the draw keeps the texels it had.
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), gfx::Result::Ok);
    std::memset(lr.bits, 0xFF, size_t(lr.pitch) * 4);
    quadAt(29.5f);
    ASSERT_EQ(t->UnlockRect(0), gfx::Result::Ok);
    quadAt(39.5f);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 10, 10, Rgb{0, 0, 0x80}, 0));
    EXPECT_TRUE(PixelNear(image_, 23, 13, Rgb{48, 48, 0xF0}, 0));
    EXPECT_TRUE(PixelNear(image_, 30, 10, Rgb{0, 0, 0xF0}, 0));
    EXPECT_TRUE(PixelNear(image_, 40, 10, Rgb{255, 255, 255}, 0));
    d.SetTexture(0, nullptr);
    t->Release();
}

TEST_F(GlDeviceTest, DepthTestAndClearDepthStencilWithDepthWritesOff) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetVertexShader(kScreenFvf);
    // A near quad fills the depth buffer with 0.2; a farther one stays behind.
    fftest::DrawQuad(d, 0, 0, 64, 64, 0xFF0000FFu, 0.2f);
    fftest::DrawQuad(d, 0, 0, 32, 64, 0xFF00FF00u);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 10, 10, Rgb{0, 0, 255}, 0));
    // With the depth test off it draws over.
    d.SetRenderState(gfx::RenderState::DepthEnable, 0);
    fftest::DrawQuad(d, 0, 0, 32, 64, 0xFF00FF00u);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 10, 10, Rgb{0, 255, 0}, 0));
    d.SetRenderState(gfx::RenderState::DepthEnable, 1);
    d.SetRenderState(gfx::RenderState::DepthWriteEnable, 0);
    ASSERT_EQ(
        d.Clear(0, nullptr, gfx::ClearFlag::DepthBuffer | gfx::ClearFlag::Stencil, 0, 1.0f, 0),
        gfx::Result::Ok);
    // A far quad passes LESSEQUAL only where depth was cleared to 1.
    fftest::DrawQuad(d, 0, 0, 64, 64, 0xFF00FF00u, 0.9f);
    Capture();
    EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 64}, Rgb{0, 255, 0}, 0));
}

TEST_F(GlDeviceTest, IndexedDrawWithBaseVertexDrawsTheSecondFrame) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    // Two "frames" of four vertices: red on the left, green on the right.
    ScreenVertex frames[8];
    ScreenQuad(frames, 0, 0, 32, 64, 0xFFFF0000u);
    ScreenQuad(frames + 4, 32, 0, 64, 64, 0xFF00FF00u);
    gfx::VertexBuffer *vb = nullptr;
    ASSERT_EQ(d.CreateVertexBuffer(sizeof frames, 0, kScreenFvf, gfx::Pool::Managed, &vb),
              gfx::Result::Ok);
    uint8_t *p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), gfx::Result::Ok);
    std::memcpy(p, frames, sizeof frames);
    vb->Unlock();
    gfx::IndexBuffer *ib = nullptr;
    ASSERT_EQ(d.CreateIndexBuffer(12, 0, gfx::Format::Index16, gfx::Pool::Managed, &ib),
              gfx::Result::Ok);
    const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), gfx::Result::Ok);
    std::memcpy(p, indices, sizeof indices);
    ib->Unlock();

    d.SetVertexShader(kScreenFvf);
    d.SetStreamSource(0, vb, 28);
    d.SetIndices(ib, 4);
    ASSERT_EQ(d.DrawIndexedPrimitive(gfx::Primitive::TriangleList, 0, 4, 0, 2), gfx::Result::Ok);
    Capture();
    EXPECT_TRUE(RegionNear(image_, {0, 0, 32, 64}, Rgb{0, 0, 0}, 0));
    EXPECT_TRUE(RegionNear(image_, {32, 0, 64, 64}, Rgb{0, 255, 0}, 0));

    // An index past the stream (base 5 + index 3 = vertex 8 of 8) is refused.
    d.SetIndices(ib, 5);
    EXPECT_EQ(d.DrawIndexedPrimitive(gfx::Primitive::TriangleList, 0, 4, 0, 2),
              gfx::Result::InvalidCall);
    d.SetStreamSource(0, nullptr, 0);
    d.SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

TEST_F(GlDeviceTest, BufferMadeWithoutFormatDrawsAsPositionsOfTheDeviceFormat) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    // Positions only (12 bytes); with identity transforms these are clip
    // coordinates: the triangle pair covers the left half of the screen.
    const float positions[] = {-1, 1,  0.5f, 0, 1, 0.5f, -1, -1, 0.5f,
                               -1, -1, 0.5f, 0, 1, 0.5f, 0,  -1, 0.5f};
    gfx::VertexBuffer *vb = nullptr;
    ASSERT_EQ(
        d.CreateVertexBuffer(sizeof positions, gfx::Usage::WriteOnly, 0, gfx::Pool::Default, &vb),
        gfx::Result::Ok);
    uint8_t *p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), gfx::Result::Ok);
    std::memcpy(p, positions, sizeof positions);
    vb->Unlock();
    d.SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);
    d.SetRenderState(gfx::RenderState::Lighting, 0);
    d.SetVertexShader(gfx::Fvf::Xyz);
    d.SetStreamSource(0, vb, 12);
    ASSERT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 0, 2), gfx::Result::Ok);
    Capture();
    EXPECT_TRUE(RegionNear(image_, {1, 1, 31, 63}, Rgb{255, 255, 255}, 0));
    EXPECT_TRUE(RegionNear(image_, {33, 0, 64, 64}, Rgb{0, 0, 0}, 0));
    d.SetStreamSource(0, nullptr, 0);
    vb->Release();
}

TEST_F(GlDeviceTest, ViewportLimitsTheClear) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    gfx::Viewport vp;
    vp.x = 8;
    vp.y = 4;
    vp.width = 16;
    vp.height = 8;
    ASSERT_EQ(d.SetViewport(vp), gfx::Result::Ok);
    d.Clear(0, nullptr, gfx::ClearFlag::Target, 0xFFFFFFFFu, 1.0f, 0);
    Capture();
    const gfx::Rect covered = image_.CoveredRect(Rgb{0, 0, 0});
    EXPECT_EQ((std::array<int32_t, 4>{covered.left, covered.top, covered.right, covered.bottom}),
              (std::array<int32_t, 4>{8, 4, 24, 12}));
    vp.width = 100;
    EXPECT_EQ(d.SetViewport(vp), gfx::Result::InvalidCall);
}

TEST_F(GlDeviceTest, PresentCopiesOnlyToAWindowThatCanBeSeenAndKeepsTheFrame) {
    const uint32_t shown = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    EXPECT_TRUE(gfx::PresentCopiesToWindow("x11", shown));
    EXPECT_TRUE(gfx::PresentCopiesToWindow("wayland", shown | SDL_WINDOW_MINIMIZED));
    EXPECT_TRUE(gfx::PresentCopiesToWindow(nullptr, shown));
    EXPECT_FALSE(gfx::PresentCopiesToWindow("x11", SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN));
    EXPECT_FALSE(gfx::PresentCopiesToWindow("offscreen", shown));

    // The test device's window is never seen: each Present succeeds and
    // leaves its frame for read-back, and the next frame draws over it.
    gfx::Device &d = Dev();
    const uint32_t colors[] = {0xFF204080u, 0xFFFF0000u};
    const Rgb expected[] = {Rgb{0x20, 0x40, 0x80}, Rgb{255, 0, 0}};
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(d.BeginScene(), gfx::Result::Ok);
        ASSERT_EQ(d.Clear(0, nullptr, 7, colors[frame], 1.0f, 0), gfx::Result::Ok);
        ASSERT_EQ(d.EndScene(), gfx::Result::Ok);
        EXPECT_EQ(d.Present(), gfx::Result::Ok);
        Capture();
        EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 64}, expected[frame], 0)) << "frame " << frame;
    }
}

} // namespace
