// Rendered checks of texture stages, blend cases, samplers, alpha and
// stencil tests, environment mapping, shading and fill modes and state
// blocks on the GL device (llvmpipe, offscreen).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/gfx/fixed_function_helpers.h"

namespace {

using fftest::Bits;
using fftest::SolidTexture;
using imagetest::PixelNear;
using imagetest::RegionNear;
using imagetest::Rgb;
using imagetest::ScreenVertex;
namespace RS = gfx::RenderState;
namespace SS = gfx::StageState;

constexpr float kPi = 3.14159265f;

class StageTest : public imagetest::GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (device_ != nullptr) {
            Dev().Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
            Dev().SetVertexShader(imagetest::kScreenFvf);
        }
    }
    void TearDown() override {
        for (gfx::Texture *t : owned_) {
            t->Release();
        }
        GlDeviceTest::TearDown();
    }

    gfx::Texture *Solid(uint32_t argb) {
        gfx::Texture *t = SolidTexture(Dev(), argb);
        owned_.push_back(t);
        return t;
    }
    // Screen quad with texture coordinates from (u0, v0) to (u1, v1).
    void Quad(float left, float top, float right, float bottom, uint32_t color, float u0 = 0,
              float v0 = 0, float u1 = 1, float v1 = 1) {
        ScreenVertex v[4] = {{left, top, 0.5f, 1, color, u0, v0},
                             {right, top, 0.5f, 1, color, u1, v0},
                             {left, bottom, 0.5f, 1, color, u0, v1},
                             {right, bottom, 0.5f, 1, color, u1, v1}};
        ASSERT_EQ(Dev().DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, 28), gfx::Result::Ok);
    }
    void FullQuad(uint32_t color) { Quad(0, 0, 64, 64, color); }
    void Stage(uint32_t stage, uint32_t colorOp, uint32_t colorArg1, uint32_t colorArg2,
               uint32_t alphaOp, uint32_t alphaArg1 = gfx::TextureArg::Texture,
               uint32_t alphaArg2 = gfx::TextureArg::Current) {
        gfx::Device &d = Dev();
        d.SetTextureStageState(stage, SS::ColorOp, colorOp);
        d.SetTextureStageState(stage, SS::ColorArg1, colorArg1);
        d.SetTextureStageState(stage, SS::ColorArg2, colorArg2);
        d.SetTextureStageState(stage, SS::AlphaOp, alphaOp);
        d.SetTextureStageState(stage, SS::AlphaArg1, alphaArg1);
        d.SetTextureStageState(stage, SS::AlphaArg2, alphaArg2);
    }
    void Blend(uint32_t src, uint32_t dst) {
        Dev().SetRenderState(RS::AlphaBlendEnable, 1);
        Dev().SetRenderState(RS::SrcBlend, src);
        Dev().SetRenderState(RS::DestBlend, dst);
    }
    void States(std::initializer_list<std::pair<uint32_t, uint32_t>> states) {
        for (const auto &[state, value] : states) {
            Dev().SetRenderState(state, value);
        }
    }
    void Filters(uint32_t stage, uint32_t minFilter, uint32_t magFilter, uint32_t mipFilter) {
        Dev().SetTextureStageState(stage, SS::MinFilter, minFilter);
        Dev().SetTextureStageState(stage, SS::MagFilter, magFilter);
        Dev().SetTextureStageState(stage, SS::MipFilter, mipFilter);
    }

    std::vector<gfx::Texture *> owned_;
};

constexpr uint32_t kTex = gfx::TextureArg::Texture;
constexpr uint32_t kCur = gfx::TextureArg::Current;
constexpr uint32_t kDif = gfx::TextureArg::Diffuse;

TEST_F(StageTest, BlendCasesTakeAlphaFromTheirSources) {
    gfx::Device &d = Dev();
    // Case 3: the destination times the source colour.
    d.Clear(0, nullptr, gfx::ClearFlag::Target, 0xFFC86432u, 1.0f, 0);
    Blend(gfx::Blend::Zero, gfx::Blend::SrcColor);
    Quad(0, 0, 16, 64, 0xFF80FF40u);
    // Case 4: alpha from the texture only (texture alpha 0x40, vertex 0x80).
    d.SetTexture(0, Solid(0x40FFFFFFu));
    Blend(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
    Stage(0, gfx::TextureOp::Modulate, kTex, kCur, gfx::TextureOp::SelectArg1, kTex);
    Quad(16, 0, 32, 64, 0x80FFFFFFu);
    // Case 5: texture x diffuse alpha.
    Stage(0, gfx::TextureOp::Modulate, kTex, kCur, gfx::TextureOp::Modulate, kTex, kCur);
    Quad(32, 0, 48, 64, 0x80FFFFFFu);
    // Case 1: the diffuse alpha, whatever the texture's.
    Stage(0, gfx::TextureOp::Modulate, kTex, kCur, gfx::TextureOp::SelectArg1, kDif);
    Quad(48, 0, 64, 64, 0x80FFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 8, 32, Rgb{100, 100, 13}, 2));
    // Over (0xC8, 0x64, 0x32): src x a + dst x (1 - a).
    auto over = [](int dst, float a) { return uint8_t(std::lround(255 * a + dst * (1 - a))); };
    const float a4 = 0x40 / 255.0f;
    const float a5 = 0x40 * 0x80 / 255.0f / 255.0f;
    const float a1 = 0x80 / 255.0f;
    EXPECT_TRUE(PixelNear(image_, 24, 32, Rgb{over(0xC8, a4), over(0x64, a4), over(0x32, a4)}, 2));
    EXPECT_TRUE(PixelNear(image_, 40, 32, Rgb{over(0xC8, a5), over(0x64, a5), over(0x32, a5)}, 2));
    EXPECT_TRUE(PixelNear(image_, 56, 32, Rgb{over(0xC8, a1), over(0x64, a1), over(0x32, a1)}, 2));
}

TEST_F(StageTest, SecondStageOperations) {
    gfx::Device &d = Dev();
    d.SetTexture(0, Solid(0xFF60C020u));
    // Modulate 2x: doubled and clamped.
    d.SetTexture(1, Solid(0xFFA0C080u));
    d.SetTextureStageState(1, SS::TexCoordIndex, 1);
    Stage(1, gfx::TextureOp::Modulate2x, kTex, kCur, gfx::TextureOp::Disable);
    Quad(0, 0, 16, 64, 0xFFFFFFFFu);
    // Add.
    d.SetTexture(1, Solid(0xFF402010u));
    Stage(1, gfx::TextureOp::Add, kTex, kCur, gfx::TextureOp::Disable);
    Quad(16, 0, 32, 64, 0xFFFFFFFFu);
    // Blend by the texture's alpha.
    d.SetTexture(1, Solid(0x40FF0000u));
    Stage(1, gfx::TextureOp::BlendTextureAlpha, kTex, kCur, gfx::TextureOp::Disable);
    Quad(32, 0, 48, 64, 0xFFFFFFFFu);
    // Case 1 under stage 1 ADD: stage 0's diffuse alpha arrives at the
    // blend (the second texture's alpha is 0xFF).
    d.SetTexture(1, Solid(0xFF000000u));
    Stage(0, gfx::TextureOp::Modulate, kTex, kCur, gfx::TextureOp::SelectArg1, kDif);
    Stage(1, gfx::TextureOp::Add, kTex, kCur, gfx::TextureOp::Disable);
    Blend(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
    Quad(48, 0, 64, 64, 0x80FFFFFFu);
    Capture();
    auto x2 = [](int a, int b) {
        return uint8_t(std::min(255L, std::lround(2.0 * a * b / 255.0)));
    };
    EXPECT_TRUE(PixelNear(image_, 8, 32, Rgb{x2(0x60, 0xA0), 255, x2(0x20, 0x80)}, 2));
    EXPECT_TRUE(PixelNear(image_, 24, 32, Rgb{0x60 + 0x40, 0xC0 + 0x20, 0x20 + 0x10}, 2));
    const float a = 0x40 / 255.0f;
    auto lerp = [a](int tex, int cur) { return uint8_t(std::lround(tex * a + cur * (1 - a))); };
    EXPECT_TRUE(PixelNear(image_, 40, 32, Rgb{lerp(255, 0x60), lerp(0, 0xC0), lerp(0, 0x20)}, 2));
    const float half = 0x80 / 255.0f;
    EXPECT_TRUE(PixelNear(image_, 56, 32,
                          Rgb{uint8_t(std::lround(0x60 * half)), uint8_t(std::lround(0xC0 * half)),
                              uint8_t(std::lround(0x20 * half))},
                          2));
}

TEST_F(StageTest, StageWithoutItsTexturePassesThePreviousResultOn) {
    gfx::Device &d = Dev();
    // Stage 0 modulate without a texture: the diffuse colour, not its square.
    Quad(0, 0, 16, 64, 0xFF8040C0u);
    // Stage 1 modulate 2x without a texture: stage 0's result.
    d.SetTexture(0, Solid(0xFF60C020u));
    d.SetTextureStageState(1, SS::TexCoordIndex, 1);
    Stage(1, gfx::TextureOp::Modulate2x, kTex, kCur, gfx::TextureOp::Disable);
    Quad(16, 0, 32, 64, 0xFFFFFFFFu);
    // Case 4 without a texture: the diffuse alpha.
    d.SetTexture(0, nullptr);
    Stage(1, gfx::TextureOp::Disable, kTex, kCur, gfx::TextureOp::Disable);
    Stage(0, gfx::TextureOp::Modulate, kTex, kCur, gfx::TextureOp::SelectArg1, kTex);
    Blend(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
    Quad(32, 0, 48, 64, 0x80FFFFFFu);
    // A stage that reads no texture runs without one.
    d.SetRenderState(RS::AlphaBlendEnable, 0);
    d.SetRenderState(RS::TextureFactor, 0xFF204060u);
    Stage(0, gfx::TextureOp::SelectArg1, gfx::TextureArg::TFactor, kCur, gfx::TextureOp::SelectArg1,
          kDif);
    Quad(48, 0, 64, 64, 0xFFFFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 8, 32, Rgb{0x80, 0x40, 0xC0}, 1));
    EXPECT_TRUE(PixelNear(image_, 24, 32, Rgb{0x60, 0xC0, 0x20}, 1));
    EXPECT_TRUE(PixelNear(image_, 40, 32, Rgb{128, 128, 128}, 2));
    EXPECT_TRUE(PixelNear(image_, 56, 32, Rgb{0x20, 0x40, 0x60}, 1));
}

// A 4 x 4 texture whose texel (x, y) is (40 + 50 x, 40 + 50 y, 0x80); with
// `rowsEqual` every row is the same (green 40).
gfx::Texture *Gradient(gfx::Device &d, bool rowsEqual = false) {
    return fftest::PatternTexture(d, 4, 4, [rowsEqual](uint32_t x, uint32_t y) {
        return 0xFF000000u | (40 + 50 * x) << 16 | (rowsEqual ? 40 : 40 + 50 * y) << 8 | 0x80;
    });
}

Rgb Texel(uint32_t x, uint32_t y) { return Rgb{uint8_t(40 + 50 * x), uint8_t(40 + 50 * y), 0x80}; }

TEST_F(StageTest, AddressingWrapsOrClampsToTheEdgeTexels) {
    gfx::Device &d = Dev();
    gfx::Texture *t = Gradient(d);
    owned_.push_back(t);
    d.SetTexture(0, t);
    // Wrap, point filtering: coordinates 0..2 over 32 pixels repeat the
    // texture, each texel on a 4 x 4 block of pixels.
    Quad(-0.5f, -0.5f, 31.5f, 31.5f, 0xFFFFFFFFu, 0, 0, 2, 2);
    Capture();
    for (uint32_t y = 0; y < 32; y += 3) {
        for (uint32_t x = 0; x < 32; x += 3) {
            ASSERT_TRUE(PixelNear(image_, x, y, Texel((x / 4) % 4, (y / 4) % 4), 0));
        }
    }

    // Clamp, linear filtering, a green border colour: coordinates -1..2 show
    // the edge texels outside the texture and never the border.
    gfx::Texture *rows = Gradient(d, true);
    owned_.push_back(rows);
    d.SetTexture(0, rows);
    d.SetTextureStageState(0, SS::AddressU, gfx::TextureAddress::Clamp);
    d.SetTextureStageState(0, SS::AddressV, gfx::TextureAddress::Clamp);
    d.SetTextureStageState(0, SS::BorderColor, 0xFF00FF00u);
    Filters(0, gfx::TextureFilter::Linear, gfx::TextureFilter::Linear, gfx::TextureFilter::None);
    Quad(16, 16, 64, 64, 0xFFFFFFFFu, -1, -1, 2, 2);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 17, 40, Texel(0, 0), 1));
    EXPECT_TRUE(PixelNear(image_, 30, 17, Texel(0, 0), 1));
    EXPECT_TRUE(PixelNear(image_, 62, 40, Texel(3, 0), 1));
    EXPECT_TRUE(PixelNear(image_, 50, 62, Texel(3, 0), 1));
}

TEST_F(StageTest, FiltersSelectGlSamplingModes) {
    gfx::Device &d = Dev();
    // One level with a mip filter: still sampled.
    d.SetTexture(0, Solid(0xFF2080F0u));
    Filters(0, gfx::TextureFilter::Linear, gfx::TextureFilter::Linear, gfx::TextureFilter::Point);
    Quad(0, 0, 64, 64, 0xFFFFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{0x20, 0x80, 0xF0}, 0));

    // Anisotropic filters at the default degree (1) draw what linear ones
    // draw, on a receding plane with a full mip chain.
    gfx::Texture *t = nullptr;
    ASSERT_EQ(d.CreateTexture(32, 32, 0, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &t),
              gfx::Result::Ok);
    owned_.push_back(t);
    for (uint32_t level = 0; level < t->GetLevelCount(); ++level) {
        fftest::FillLevel(t, level, [level](uint32_t x, uint32_t y) {
            return ((x + y) & 1) != 0 ? 0xFFFFFFFFu : 0xFF000000u | (level * 40) << 8;
        });
    }
    d.SetTexture(0, t);
    d.SetTransform(gfx::Transform::Projection, fftest::Perspective(kPi / 2, 1.0f, 1.0f, 1000.0f));
    d.SetRenderState(RS::Lighting, 0);
    d.SetRenderState(RS::CullMode, gfx::Cull::None);
    d.SetVertexShader(fftest::kColorFvf);
    const fftest::ColorVertex floor[4] = {{-20, -2, 60, 0xFFFFFFFFu, 0, 0},
                                          {20, -2, 60, 0xFFFFFFFFu, 8, 0},
                                          {-20, -2, 1, 0xFFFFFFFFu, 0, 8},
                                          {20, -2, 1, 0xFFFFFFFFu, 8, 8}};
    imagetest::Image images[2];
    const uint32_t filters[2] = {gfx::TextureFilter::Linear, gfx::TextureFilter::Anisotropic};
    for (int i = 0; i < 2; ++i) {
        d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
        Filters(0, filters[i], filters[i], gfx::TextureFilter::Linear);
        d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, floor, sizeof floor[0]);
        ASSERT_TRUE(imagetest::ReadBack(d, &images[i]));
    }
    EXPECT_EQ(images[0].bgrx, images[1].bgrx);
    EXPECT_NE(images[0].At(32, 40).g, 0);
}

TEST_F(StageTest, AlphaTestComparesWithAnEightBitReference) {
    States({{RS::AlphaTestEnable, 1}, {RS::AlphaRef, 8}, {RS::AlphaFunc, gfx::Cmp::GreaterEqual}});
    Quad(0, 0, 32, 64, 0x11FF0000u);
    Quad(32, 0, 64, 64, 0x00FF0000u);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 16, 32, Rgb{255, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 48, 32, Rgb{0, 0, 0}, 0));
}

TEST_F(StageTest, ColourWriteMaskKeepsChannelsOff) {
    gfx::Device &d = Dev();
    d.SetRenderState(RS::ColorWriteEnable, 1 | 4); // red and blue
    FullQuad(0xFFFFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 0, 255}, 0));
    // A clear writes every channel whatever the mask; the next draw masks
    // again.
    d.Clear(0, nullptr, gfx::ClearFlag::Target, 0xFF000000u, 1.0f, 0);
    FullQuad(0xFFFFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 0, 255}, 0));
}

TEST_F(StageTest, StencilIncrementAndDecrementWrap) {
    gfx::Device &d = Dev();
    const uint32_t all =
        gfx::ClearFlag::Target | gfx::ClearFlag::DepthBuffer | gfx::ClearFlag::Stencil;
    struct Case {
        uint32_t start;
        uint32_t op;
        uint32_t expected;
    } cases[] = {{255, gfx::StencilOp::Incr, 0},
                 {0, gfx::StencilOp::Decr, 255},
                 {255, gfx::StencilOp::IncrSat, 255},
                 {0, gfx::StencilOp::DecrSat, 0},
                 {7, gfx::StencilOp::Incr, 8}};
    for (const Case &c : cases) {
        d.Clear(0, nullptr, all, 0xFF000000u, 1.0f, c.start);
        States({{RS::StencilEnable, 1}, {RS::StencilFunc, gfx::Cmp::Always}, {RS::StencilPass, c.op},
                {RS::ColorWriteEnable, 0}});
        Quad(0, 0, 32, 64, 0xFFFFFFFFu);
        // Probe: green where the stored value equals the expected one.
        States({{RS::ColorWriteEnable, 0xF}, {RS::StencilPass, gfx::StencilOp::Keep},
                {RS::StencilFunc, gfx::Cmp::Equal}, {RS::StencilRef, c.expected}});
        FullQuad(0xFF00FF00u);
        Capture();
        const bool untouched = c.expected == c.start;
        EXPECT_TRUE(PixelNear(image_, 16, 32, Rgb{0, 255, 0}, 0)) << "op " << c.op;
        EXPECT_TRUE(PixelNear(image_, 48, 32, untouched ? Rgb{0, 255, 0} : Rgb{0, 0, 0}, 0))
            << "op " << c.op;
    }
}

// The twelve triangles of a box, each wound clockwise seen from outside.
std::vector<float> BoxTriangles(const Vector3 &lo, const Vector3 &hi) {
    std::vector<float> out;
    const Vector3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {lo.x, hi.y, lo.z},
                          {hi.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                          {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}};
    const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 2, 6, 4},
                             {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}};
    const Vector3 centre{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    for (const auto &f : faces) {
        for (int half = 0; half < 2; ++half) {
            Vector3 p[3] = {c[f[0]], c[f[1 + half]], c[f[2 + half]]};
            // (p1 - p0) x (p2 - p1) points outwards for a clockwise face.
            const Vector3 e1{p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
            const Vector3 e2{p[2].x - p[1].x, p[2].y - p[1].y, p[2].z - p[1].z};
            Vector3 n;
            Vec3Cross(&n, e1, e2);
            const Vector3 outward{p[0].x - centre.x, p[0].y - centre.y, p[0].z - centre.z};
            if (Vec3Dot(n, outward) < 0) {
                std::swap(p[1], p[2]);
            }
            for (const Vector3 &v : p) {
                out.insert(out.end(), {v.x, v.y, v.z});
            }
        }
    }
    return out;
}

TEST_F(StageTest, ShadowVolumePassesDarkenWhatTheVolumeEncloses) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetTransform(gfx::Transform::Projection, fftest::Perspective(kPi / 2, 1.0f, 1.0f, 1000.0f));
    d.SetRenderState(RS::Lighting, 0);
    // The receiving wall at depth 20.
    d.SetVertexShader(fftest::kColorFvf);
    const uint32_t wallColor = 0xFFC86432u;
    const fftest::ColorVertex wall[4] = {{-40, 40, 20, wallColor, 0, 0},
                                         {40, 40, 20, wallColor, 0, 0},
                                         {-40, -40, 20, wallColor, 0, 0},
                                         {40, -40, 20, wallColor, 0, 0}};
    d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, wall, sizeof wall[0]);

    // A closed box straddling the wall, in a buffer made without a format.
    const std::vector<float> box = BoxTriangles(Vector3{-5, -5, 15}, Vector3{5, 5, 25});
    gfx::VertexBuffer *vb = nullptr;
    ASSERT_EQ(d.CreateVertexBuffer(uint32_t(box.size() * 4), gfx::Usage::WriteOnly, 0,
                                   gfx::Pool::Default, &vb),
              gfx::Result::Ok);
    uint8_t *p = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &p, 0), gfx::Result::Ok);
    std::memcpy(p, box.data(), box.size() * 4);
    vb->Unlock();

    // Stencil only: nothing visible is written.
    Blend(gfx::Blend::Zero, gfx::Blend::One);
    States({{RS::DepthWriteEnable, 0}, {RS::StencilEnable, 1}, {RS::ShadeMode, gfx::Shade::Flat},
            {RS::FogEnable, 0}, {RS::StencilFunc, gfx::Cmp::Always},
            {RS::StencilFail, gfx::StencilOp::Keep}, {RS::StencilDepthFail, gfx::StencilOp::Keep},
            {RS::StencilRef, 1}, {RS::StencilMask, 0xFFFFFFFFu}, {RS::StencilWriteMask, 0xFFFFFFFFu},
            {RS::StencilPass, gfx::StencilOp::Incr}});
    d.SetVertexShader(gfx::Fvf::Xyz);
    d.SetStreamSource(0, vb, 12);
    d.SetRenderState(RS::CullMode, gfx::Cull::Ccw);
    ASSERT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 0, 12), gfx::Result::Ok);
    d.SetRenderState(RS::CullMode, gfx::Cull::Cw);
    d.SetRenderState(RS::StencilPass, gfx::StencilOp::Decr);
    ASSERT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 0, 12), gfx::Result::Ok);
    d.SetStreamSource(0, nullptr, 0);
    vb->Release();

    // The darkening quad where the stencil is at least 1.
    States({{RS::FillMode, gfx::Fill::Solid}, {RS::CullMode, gfx::Cull::Ccw},
            {RS::DepthWriteEnable, 1}, {RS::DepthEnable, 0}, {RS::SrcBlend, gfx::Blend::SrcAlpha},
            {RS::DestBlend, gfx::Blend::InvSrcAlpha}, {RS::StencilFunc, gfx::Cmp::LessEqual},
            {RS::StencilPass, gfx::StencilOp::Keep}});
    struct Tl {
        float x, y, z, rhw;
        uint32_t color;
    } quad[4] = {{0, 0, 0, 1, 0x99000000u},
                 {64, 0, 0, 1, 0x99000000u},
                 {0, 64, 0, 1, 0x99000000u},
                 {64, 64, 0, 1, 0x99000000u}};
    d.SetVertexShader(gfx::Fvf::XyzRhw | gfx::Fvf::Diffuse);
    ASSERT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, quad, sizeof quad[0]),
              gfx::Result::Ok);
    Capture();
    // The box meets the wall in a square of half-size 5 at depth 20: 8
    // pixels around the centre.
    EXPECT_TRUE(RegionNear(image_, {27, 27, 37, 37}, Rgb{80, 40, 20}, 2));
    EXPECT_TRUE(RegionNear(image_, {0, 0, 20, 20}, Rgb{0xC8, 0x64, 0x32}, 0));
    EXPECT_TRUE(RegionNear(image_, {44, 44, 64, 64}, Rgb{0xC8, 0x64, 0x32}, 0));
}

TEST_F(StageTest, EnvironmentMapTakesTheCameraSpaceNormal) {
    gfx::Device &d = Dev();
    // 8 x 8 texture: the centre 2 x 2 texels red, the rest blue.
    gfx::Texture *t = fftest::PatternTexture(d, 8, 8, [](uint32_t x, uint32_t y) {
        return (x == 3 || x == 4) && (y == 3 || y == 4) ? 0xFFFF0000u : 0xFF0000FFu;
    });
    ASSERT_NE(t, nullptr);
    owned_.push_back(t);
    d.SetTexture(0, t);

    Matrix env = gfx::IdentityMatrix();
    env.m[0][0] = 0.5f;
    env.m[1][1] = -0.5f;
    env.m[3][0] = 0.5f;
    env.m[3][1] = 0.5f;
    d.SetTransform(gfx::Transform::Texture0, env);
    d.SetTextureStageState(0, SS::TextureTransformFlags, gfx::TextureTransformFlag::Count2);
    d.SetTextureStageState(0, SS::TexCoordIndex, gfx::TexCoordIndexFlag::CameraSpaceNormal);
    d.SetRenderState(RS::Lighting, 0);
    d.SetRenderState(RS::CullMode, gfx::Cull::None);
    d.SetTransform(gfx::Transform::Projection, fftest::Perspective(kPi / 2, 1.0f, 1.0f, 1000.0f));
    // The camera looks at the sphere from the side: the normal facing it
    // must still be (0, 0, -1) in camera space.
    Matrix view;
    MatrixLookAt(&view, Vector3{-6, 3, 0}, Vector3{0, 0, 5}, Vector3{0, 1, 0});
    d.SetTransform(gfx::Transform::View, view);

    // A sphere of radius 2 at (0, 0, 5): positions and outward normals.
    std::vector<fftest::LitVertex> tris;
    const int rings = 24;
    const int segments = 32;
    auto at = [](int ring, int seg) {
        const float theta = kPi * float(ring) / rings;
        const float phi = 2 * kPi * float(seg) / segments;
        const Vector3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                        std::sin(theta) * std::sin(phi)};
        return fftest::LitVertex{2 * n.x, 2 * n.y, 5 + 2 * n.z, n.x, n.y, n.z, 0, 0};
    };
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const fftest::LitVertex a = at(r, s), b = at(r, s + 1), c = at(r + 1, s),
                                    e = at(r + 1, s + 1);
            tris.insert(tris.end(), {a, b, c, c, b, e});
        }
    }
    d.SetVertexShader(fftest::kLitFvf);
    ASSERT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleList, uint32_t(tris.size() / 3),
                                tris.data(), sizeof tris[0]),
              gfx::Result::Ok);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 0, 0}, 0));
    // Near the outline the normal turns sideways: the outer texels.
    EXPECT_TRUE(PixelNear(image_, 32, 32 - 6, Rgb{0, 0, 255}, 0));

    // Off again: the stage reads set 0 with no transform.
    d.SetTextureStageState(0, SS::TextureTransformFlags, gfx::TextureTransformFlag::Disable);
    d.SetTextureStageState(0, SS::TexCoordIndex, 0);
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetVertexShader(imagetest::kScreenFvf);
    Quad(0, 0, 64, 64, 0xFFFFFFFFu, 0.5f, 0.5f, 0.5f, 0.5f);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 0, 0}, 0));
    Quad(0, 0, 64, 64, 0xFFFFFFFFu, 0.05f, 0.05f, 0.05f, 0.05f);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{0, 0, 255}, 0));
}

TEST_F(StageTest, FlatShadingAndWireFrame) {
    gfx::Device &d = Dev();
    d.SetRenderState(RS::ShadeMode, gfx::Shade::Flat);
    const ScreenVertex tri[3] = {{4, 4, 0.5f, 1, 0xFFFF0000u, 0, 0},
                                 {60, 4, 0.5f, 1, 0xFF00FF00u, 0, 0},
                                 {4, 60, 0.5f, 1, 0xFF0000FFu, 0, 0}};
    ASSERT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleList, 1, tri, 28), gfx::Result::Ok);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 6, 6, Rgb{255, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 50, 8, Rgb{255, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 8, 50, Rgb{255, 0, 0}, 0));

    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetRenderState(RS::ShadeMode, gfx::Shade::Gouraud);
    d.SetRenderState(RS::FillMode, gfx::Fill::Wireframe);
    Quad(10, 10, 50, 50, 0xFFFFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 30, 10, Rgb{255, 255, 255}, 0));
    EXPECT_TRUE(PixelNear(image_, 10, 30, Rgb{255, 255, 255}, 0));
    EXPECT_TRUE(PixelNear(image_, 20, 30, Rgb{0, 0, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 40, 25, Rgb{0, 0, 0}, 0));
}

TEST_F(StageTest, StateBlocksRecordWithoutTouchingTheDeviceAndRestoreWhatTheyRecorded) {
    gfx::Device &d = Dev();
    // Recording: the recorded blend and fill never reach the draw.
    ASSERT_EQ(d.BeginStateBlock(), gfx::Result::Ok);
    Blend(gfx::Blend::Zero, gfx::Blend::One);
    d.SetRenderState(RS::FillMode, gfx::Fill::Wireframe);
    d.SetTexture(0, Solid(0xFF0000FFu));
    uint32_t recorded = 0;
    ASSERT_EQ(d.EndStateBlock(&recorded), gfx::Result::Ok);
    FullQuad(0xFFFF0000u);
    Capture();
    EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 64}, Rgb{255, 0, 0}, 0));

    // A block captured from the current state and applied after changes
    // reaches GL: the quad draws as before.
    static constexpr uint32_t kStates[] = {RS::AlphaBlendEnable, RS::SrcBlend, RS::DestBlend,
                                           RS::AlphaTestEnable,  RS::AlphaFunc, RS::FillMode,
                                           RS::CullMode};
    ASSERT_EQ(d.BeginStateBlock(), gfx::Result::Ok);
    for (uint32_t s : kStates) {
        d.SetRenderState(s, 0);
    }
    uint32_t block = 0;
    ASSERT_EQ(d.EndStateBlock(&block), gfx::Result::Ok);
    ASSERT_EQ(d.CaptureStateBlock(block), gfx::Result::Ok);
    Blend(gfx::Blend::Zero, gfx::Blend::One);
    States({{RS::AlphaTestEnable, 1}, {RS::AlphaFunc, gfx::Cmp::Never},
            {RS::FillMode, gfx::Fill::Wireframe}, {RS::CullMode, gfx::Cull::Cw}});
    ASSERT_EQ(d.ApplyStateBlock(block), gfx::Result::Ok);
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    FullQuad(0xFF00FF00u);
    Capture();
    EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 64}, Rgb{0, 255, 0}, 0));
    d.DeleteStateBlock(block);
    d.DeleteStateBlock(recorded);
}

} // namespace
