// Rendered checks of transforms, depth, clipping, lighting, fog, culling and
// reset on the GL device (llvmpipe, offscreen). Expected values come from
// the fixed-function formulas computed here on the CPU.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "platform/gfx/fixed_function_helpers.h"

namespace {

using fftest::Bits;
using fftest::Byte;
using fftest::ColorVertex;
using fftest::Grey;
using fftest::LitColorVertex;
using fftest::LitVertex;
using imagetest::PixelNear;
using imagetest::RegionNear;
using imagetest::Rgb;
using imagetest::ScreenVertex;

constexpr float kPi = 3.14159265f;

class TransformTest : public imagetest::GlDeviceTest {
  protected:
    uint32_t Width() const override { return 128; }
    uint32_t Height() const override { return 96; }
};

class LightTest : public imagetest::GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (device_ == nullptr) {
            return;
        }
        gfx::Device &d = Dev();
        d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
        d.SetTransform(gfx::Transform::Projection,
                       fftest::Perspective(kPi / 2, 1.0f, 1.0f, 1000.0f));
        d.SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);
    }

    // A quad of half-size `half` at `centre`, facing the camera (normal -z).
    void DrawLitQuad(const Vector3 &centre, float half, uint32_t fvf,
                     uint32_t color = 0xFFFFFFFFu) {
        const float xs[4] = {-half, half, -half, half};
        const float ys[4] = {half, half, -half, -half};
        Dev().SetVertexShader(fvf);
        auto draw = [&](auto make) {
            decltype(make(0)) v[4];
            for (int i = 0; i < 4; ++i) {
                v[i] = make(i);
            }
            ASSERT_EQ(Dev().DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, sizeof v[0]),
                      gfx::Result::Ok);
        };
        const float z = centre.z;
        auto x = [&](int i) { return centre.x + xs[i]; };
        auto y = [&](int i) { return centre.y + ys[i]; };
        if (fvf == fftest::kLitFvf) {
            draw([&](int i) { return LitVertex{x(i), y(i), z, 0, 0, -1, 0, 0}; });
        } else if (fvf == fftest::kLitColorFvf) {
            draw([&](int i) { return LitColorVertex{x(i), y(i), z, 0, 0, -1, color, 0, 0}; });
        } else {
            draw([&](int i) { return ColorVertex{x(i), y(i), z, color, 0, 0}; });
        }
    }

    // Sets a material of grey diffuse and ambient and answers it.
    gfx::Material SetGreyMaterial(float diffuse, float ambient = 0.0f) {
        gfx::Material m;
        m.diffuse = Grey(diffuse);
        m.ambient = Grey(ambient);
        Dev().SetMaterial(m);
        return m;
    }

    static gfx::Light Directional(const Vector3 &direction, float intensity) {
        gfx::Light l;
        l.type = gfx::kLightDirectional;
        l.diffuse = Grey(intensity);
        l.direction = gfx::Vec3{direction.x, direction.y, direction.z};
        return l;
    }
    static gfx::Light Point(const gfx::Vec3 &position, float attenuation0, float attenuation1) {
        gfx::Light l;
        l.type = gfx::kLightPoint;
        l.diffuse = Grey(1.0f);
        l.position = position;
        l.range = 1000.0f;
        l.attenuation0 = attenuation0;
        l.attenuation1 = attenuation1;
        return l;
    }
};

// Signed area test of point p against the edge a -> b (screen coordinates).
float EdgeDistance(const fftest::ScreenPoint &a, const fftest::ScreenPoint &b, float px, float py) {
    const float ex = b.x - a.x;
    const float ey = b.y - a.y;
    return (ex * (py - a.y) - ey * (px - a.x)) / std::sqrt(ex * ex + ey * ey);
}

TEST_F(TransformTest, PerspectiveQuadCoversThePixelsWhoseCentresItsProjectedCornersEnclose) {
    gfx::Device &d = Dev();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    const Matrix projection = fftest::Perspective(kPi / 3, 128.0f / 96.0f, 1.5f, 35000.0f);
    Matrix view;
    MatrixLookAt(&view, Vector3{1.0f, 2.0f, -10.0f}, Vector3{0, 0, 0}, Vector3{0, 1, 0});
    Matrix world;
    MatrixRotationZ(&world, 0.3f);
    MatrixMultiply(&world, world, fftest::Translation(0.5f, -0.3f, 2.0f));
    d.SetTransform(gfx::Transform::Projection, projection);
    d.SetTransform(gfx::Transform::View, view);
    d.SetTransform(gfx::Transform::World, world);
    d.SetRenderState(gfx::RenderState::Lighting, 0);
    d.SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);

    // Corners in strip order: top-left, top-right, bottom-left, bottom-right.
    const Vector3 corners[4] = {{-2, 1.5f, 0}, {2, 1.5f, 0}, {-2, -1.5f, 0}, {2, -1.5f, 0}};
    ColorVertex v[4];
    fftest::ScreenPoint s[4];
    for (int i = 0; i < 4; ++i) {
        v[i] = ColorVertex{corners[i].x, corners[i].y, corners[i].z, 0xFFFFFFFFu, 0, 0};
        s[i] = fftest::Project(corners[i], world, view, projection, 128.0f, 96.0f);
    }
    d.SetVertexShader(fftest::kColorFvf);
    ASSERT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, sizeof v[0]), gfx::Result::Ok);
    Capture();

    // Pixel centres lie on integers. Every pixel farther than 0.1 pixel from
    // the projected outline must be covered exactly when it lies inside.
    const fftest::ScreenPoint ring[4] = {s[0], s[1], s[3], s[2]};
    int inside = 0;
    int wrong = 0;
    for (uint32_t y = 0; y < 96; ++y) {
        for (uint32_t x = 0; x < 128; ++x) {
            float nearest = 1e9f;
            bool in = true;
            for (int e = 0; e < 4; ++e) {
                const float dist = EdgeDistance(ring[e], ring[(e + 1) % 4], float(x), float(y));
                in = in && dist > 0.0f;
                nearest = std::fmin(nearest, std::fabs(dist));
            }
            if (nearest < 0.1f) {
                continue;
            }
            inside += in ? 1 : 0;
            const bool covered = image_.At(x, y).r > 128;
            if (covered != in) {
                ++wrong;
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") "
                              << (covered ? "drawn" : "empty");
            }
            if (wrong > 5) {
                return;
            }
        }
    }
    EXPECT_GT(inside, 200);
}

TEST_F(TransformTest, WindowDepthAndNearClippingFollowTheZeroToOneClipDepth) {
    gfx::Device &d = Dev();
    const float zn = 1.5f;
    const float zf = 35000.0f;
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetTransform(gfx::Transform::Projection,
                   fftest::Perspective(kPi / 2, 128.0f / 96.0f, zn, zf));
    d.SetRenderState(gfx::RenderState::Lighting, 0);
    d.SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);
    d.SetVertexShader(fftest::kColorFvf);
    // A blue wall at view depth 60 filling the view.
    ColorVertex wall[4] = {{-200, 200, 60, 0xFF0000FFu, 0, 0},
                           {200, 200, 60, 0xFF0000FFu, 0, 0},
                           {-200, -200, 60, 0xFF0000FFu, 0, 0},
                           {200, -200, 60, 0xFF0000FFu, 0, 0}};
    d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, wall, sizeof wall[0]);

    // Probes just behind and just in front of the expected window depth,
    // under LESSEQUAL without depth writes.
    const double expected = zf / (zf - zn) * (1.0 - zn / 60.0);
    d.SetRenderState(gfx::RenderState::DepthWriteEnable, 0);
    d.SetVertexShader(imagetest::kScreenFvf);
    fftest::DrawQuad(d, 0, 0, 64, 96, 0xFFFF0000u, float(expected + 1e-4));
    fftest::DrawQuad(d, 64, 0, 128, 96, 0xFF00FF00u, float(expected - 1e-4));
    Capture();
    EXPECT_TRUE(RegionNear(image_, {0, 0, 64, 96}, Rgb{0, 0, 255}, 0));
    EXPECT_TRUE(RegionNear(image_, {64, 0, 128, 96}, Rgb{0, 255, 0}, 0));

    // A floor one unit below the eye, running from depth 0.2 to 20, is cut
    // at the near plane: its nearest visible row is where depth = near.
    d.SetRenderState(gfx::RenderState::DepthWriteEnable, 1);
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetTransform(gfx::Transform::Projection,
                   fftest::Perspective(kPi / 2, 128.0f / 96.0f, zn, 100.0f));
    d.SetVertexShader(fftest::kColorFvf);
    ColorVertex floor[4] = {{-50, -1, 20, 0xFFFFFFFFu, 0, 0},
                            {50, -1, 20, 0xFFFFFFFFu, 0, 0},
                            {-50, -1, 0.2f, 0xFFFFFFFFu, 0, 0},
                            {50, -1, 0.2f, 0xFFFFFFFFu, 0, 0}};
    d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, floor, sizeof floor[0]);
    Capture();
    // y = (1 - (-1 / 1.5)) x 96 / 2 = 80: rows up to 79 are drawn... the row
    // whose centre is the cut itself is left out of the check.
    const float cutRow = (1.0f + 1.0f / zn) * 96.0f / 2.0f;
    ASSERT_NEAR(cutRow, 80.0f, 1e-3f);
    EXPECT_TRUE(RegionNear(image_, {0, 60, 128, 80}, Rgb{255, 255, 255}, 0));
    EXPECT_TRUE(RegionNear(image_, {0, 81, 128, 96}, Rgb{0, 0, 0}, 0));
}

TEST_F(TransformTest, CullModesFollowScreenWindingUnderPerspectiveAndPreTransformed) {
    gfx::Device &d = Dev();
    const Matrix projection = fftest::Perspective(kPi / 2, 128.0f / 96.0f, 1.0f, 100.0f);
    d.SetTransform(gfx::Transform::Projection, projection);
    Matrix view;
    MatrixLookAt(&view, Vector3{3, 2, -8}, Vector3{0, 0, 0}, Vector3{0, 1, 0});
    d.SetTransform(gfx::Transform::View, view);
    d.SetRenderState(gfx::RenderState::Lighting, 0);
    // Strips top-left, top-right, bottom-left: clockwise as seen from the eye.
    ColorVertex cw[4] = {{-2, 2, 0, 0xFFFFFFFFu, 0, 0},
                         {2, 2, 0, 0xFFFFFFFFu, 0, 0},
                         {-2, -2, 0, 0xFFFFFFFFu, 0, 0},
                         {2, -2, 0, 0xFFFFFFFFu, 0, 0}};
    ColorVertex ccw[4] = {cw[1], cw[0], cw[3], cw[2]};
    ScreenVertex screenCw[4];
    imagetest::ScreenQuad(screenCw, 0, 0, 128, 96, 0xFFFFFFFFu);
    ScreenVertex screenCcw[4] = {screenCw[1], screenCw[0], screenCw[3], screenCw[2]};
    const fftest::ScreenPoint centre =
        fftest::Project(Vector3{0, 0, 0}, gfx::IdentityMatrix(), view, projection, 128, 96);
    struct Case {
        uint32_t cull;
        bool cwDrawn;
        bool ccwDrawn;
    } cases[] = {
        {gfx::Cull::Ccw, true, false}, {gfx::Cull::Cw, false, true}, {gfx::Cull::None, true, true}};
    for (const Case &c : cases) {
        d.SetRenderState(gfx::RenderState::CullMode, c.cull);
        for (int which = 0; which < 4; ++which) {
            const bool clockwise = which % 2 == 0;
            d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
            if (which < 2) {
                d.SetVertexShader(fftest::kColorFvf);
                d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, clockwise ? cw : ccw, sizeof cw[0]);
            } else {
                d.SetVertexShader(imagetest::kScreenFvf);
                d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, clockwise ? screenCw : screenCcw, 28);
            }
            Capture();
            const bool expected = clockwise ? c.cwDrawn : c.ccwDrawn;
            EXPECT_TRUE(PixelNear(image_, uint32_t(centre.x), uint32_t(centre.y),
                                  expected ? Rgb{255, 255, 255} : Rgb{0, 0, 0}, 0))
                << "cull " << c.cull << " case " << which;
        }
    }
}

TEST_F(LightTest, DirectionalLightAndSceneAmbientAddUp) {
    gfx::Device &d = Dev();
    SetGreyMaterial(0.5f, 0.2f);
    d.SetRenderState(gfx::RenderState::Ambient, 0x404040);
    // The light travels along +z, onto the quad whose normal is -z.
    d.SetLight(0, Directional(Vector3{0, 0, 1}, 1.0f));
    d.LightEnable(0, true);
    DrawLitQuad(Vector3{0, 0, 10}, 20, fftest::kLitFvf);
    Capture();
    const int expected = Byte(0.2f * 64.0f / 255.0f + 0.5f);
    ASSERT_EQ(expected, 140);
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{140, 140, 140}, 2));
}

TEST_F(LightTest, PointLightAttenuatesByDistance) {
    gfx::Device &d = Dev();
    SetGreyMaterial(0.25f);
    d.SetLight(0, Point(gfx::Vec3{0, 0, -40}, 0.0f, 0.01f));
    d.LightEnable(0, true);
    // A small quad 50 units in front of the light: each corner is lit by
    // 0.25 x cos x 1 / (0.01 d).
    const float half = 0.5f;
    DrawLitQuad(Vector3{0, 0, 10}, half, fftest::kLitFvf);
    Capture();
    const float dist = std::sqrt(50.0f * 50.0f + 2 * half * half);
    const int expected = Byte(0.25f * (50.0f / dist) / (0.01f * dist));
    EXPECT_NEAR(expected, 128, 1);
    EXPECT_TRUE(
        PixelNear(image_, 32, 32, Rgb{uint8_t(expected), uint8_t(expected), uint8_t(expected)}, 2));
}

TEST_F(LightTest, LightsOfAnyIndexLightTogether) {
    gfx::Device &d = Dev();
    SetGreyMaterial(1.0f);
    d.SetLight(3, Directional(Vector3{0, 0, 1}, 0.25f));
    d.SetLight(1000, Directional(Vector3{0, 0, 1}, 0.25f));
    d.LightEnable(3, true);
    DrawLitQuad(Vector3{0, 0, 10}, 20, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{64, 64, 64}, 2));
    d.LightEnable(1000, true);
    DrawLitQuad(Vector3{0, 0, 10}, 20, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{128, 128, 128}, 2));
}

TEST_F(LightTest, MovingTheCameraLeavesWorldLightingUnchanged) {
    gfx::Device &d = Dev();
    SetGreyMaterial(0.5f);
    // A point light 20 units in front of a quad that faces -z, and a
    // directional light at 60 degrees to its normal.
    d.SetLight(0, Point(gfx::Vec3{0, 0, -10}, 1.0f, 0.05f));
    d.LightEnable(0, true);
    d.SetLight(1, Directional(Vector3{std::sin(kPi / 3), 0, std::cos(kPi / 3)}, 0.5f));
    d.LightEnable(1, true);
    // Every corner is as far from the point light, so the quad is even.
    const float half = 3.0f;
    const float dist = std::sqrt(400.0f + 2 * half * half);
    const float lit = 0.5f * ((20.0f / dist) / (1.0f + 0.05f * dist) + 0.5f * 0.5f);
    const uint8_t expected = uint8_t(Byte(lit));

    const Vector3 eyes[3] = {{0, 0, 0}, {-15, 5, -5}, {12, -8, 2}};
    for (const Vector3 &eye : eyes) {
        Matrix view;
        MatrixLookAt(&view, eye, Vector3{0, 0, 10}, Vector3{0, 1, 0});
        d.SetTransform(gfx::Transform::View, view);
        d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
        DrawLitQuad(Vector3{0, 0, 10}, half, fftest::kLitFvf);
        Capture();
        EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{expected, expected, expected}, 2))
            << "eye " << eye.x << ", " << eye.y << ", " << eye.z;
    }
}

TEST_F(LightTest, VertexColourIsTheDiffuseMaterialOnlyForFormatsThatCarryIt) {
    gfx::Device &d = Dev();
    SetGreyMaterial(0.5f, 0.2f);
    d.SetLight(0, Directional(Vector3{0, 0, 1}, 1.0f));
    d.LightEnable(0, true);
    DrawLitQuad(Vector3{-10, 0, 20}, 5, fftest::kLitColorFvf, 0xFF408020u);
    DrawLitQuad(Vector3{10, 0, 20}, 5, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 16, 32, Rgb{0x40, 0x80, 0x20}, 2));
    EXPECT_TRUE(PixelNear(image_, 48, 32, Rgb{128, 128, 128}, 2));

    // Without normals only material ambient x scene ambient remains.
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetRenderState(gfx::RenderState::Ambient, 0x404040);
    DrawLitQuad(Vector3{0, 0, 20}, 10, fftest::kColorFvf, 0xFFFFFFFFu);
    Capture();
    const uint8_t ambient = uint8_t(Byte(0.2f * 64.0f / 255.0f));
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{ambient, ambient, ambient}, 2));
}

TEST_F(LightTest, SpecularShowsOnlyWhenEnabledAndIsAddedAfterTheStages) {
    gfx::Device &d = Dev();
    gfx::Material m;
    m.specular = Grey(1.0f);
    m.power = 10.0f;
    d.SetMaterial(m);
    gfx::Light l = Directional(Vector3{0, 0, 1}, 0.0f);
    l.specular = Grey(1.0f);
    d.SetLight(0, l);
    d.LightEnable(0, true);
    // Head-on light and eye: the halfway vector is the normal (within a few
    // degrees at the corners).
    DrawLitQuad(Vector3{0, 0, 10}, 1, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{0, 0, 0}, 0));

    // On, under a black texture: the highlight is added after texturing.
    gfx::Texture *black = fftest::SolidTexture(d, 0xFF000000u);
    d.SetTexture(0, black);
    d.SetRenderState(gfx::RenderState::SpecularEnable, 1);
    DrawLitQuad(Vector3{0, 0, 10}, 1, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{250, 250, 250}, 6));
    d.SetTexture(0, nullptr);
    black->Release();
}

TEST_F(LightTest, LinearFogFollowsViewDepthNotDistance) {
    gfx::Device &d = Dev();
    namespace RS = gfx::RenderState;
    for (auto [state, value] : {std::pair{RS::Lighting, 0u}, {RS::FogEnable, 1u},
                                {RS::FogVertexMode, uint32_t(gfx::FogMode::Linear)},
                                {RS::FogStart, Bits(10.0f)}, {RS::FogEnd, Bits(110.0f)},
                                {RS::FogColor, 0xFF0000FFu}}) {
        d.SetRenderState(state, value);
    }
    // A white wall at depth 60 filling the view: half fog everywhere.
    DrawLitQuad(Vector3{0, 0, 60}, 100, fftest::kColorFvf, 0xFFFFFFFFu);
    Capture();
    for (uint32_t at : {0u, 32u, 63u}) {
        EXPECT_TRUE(PixelNear(image_, at, at, Rgb{128, 128, 255}, 2)) << at;
    }

    // Fog off again: the wall is white.
    d.SetRenderState(gfx::RenderState::FogEnable, 0);
    DrawLitQuad(Vector3{0, 0, 60}, 100, fftest::kColorFvf, 0xFFFFFFFFu);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 255, 255}, 0));
}

TEST_F(LightTest, ResetBringsBackTheDefaults) {
    gfx::Device &d = Dev();
    d.SetRenderState(gfx::RenderState::Ambient, 0xFFFFFFFFu);
    d.SetRenderState(gfx::RenderState::DepthFunc, gfx::Cmp::Always);
    d.SetLight(0, Directional(Vector3{0, 0, 1}, 1.0f));
    d.LightEnable(0, true);
    const gfx::Material m = SetGreyMaterial(1.0f, 1.0f);
    DrawLitQuad(Vector3{0, 0, 10}, 20, fftest::kLitFvf);
    ASSERT_EQ(d.Reset(d.GetPresentParameters()), gfx::Result::Ok);

    // Lit with no light and scene ambient 0: black, though the material is
    // white.
    d.SetMaterial(m);
    d.SetTransform(gfx::Transform::Projection, fftest::Perspective(kPi / 2, 1.0f, 1.0f, 1000.0f));
    d.SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);
    d.Clear(0, nullptr, 7, 0xFF808080u, 1.0f, 0);
    DrawLitQuad(Vector3{0, 0, 10}, 20, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{0, 0, 0}, 0));
    // Enabling light 0 without setting it gives the default white light
    // along +z.
    d.LightEnable(0, true);
    DrawLitQuad(Vector3{0, 0, 10}, 20, fftest::kLitFvf);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 32, 32, Rgb{255, 255, 255}, 0));

    // LESSEQUAL again: an equal depth passes, a farther one does not.
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetRenderState(gfx::RenderState::Lighting, 0);
    d.SetVertexShader(imagetest::kScreenFvf);
    fftest::DrawQuad(d, 0, 0, 64, 64, 0xFF0000FFu);
    fftest::DrawQuad(d, 0, 0, 32, 64, 0xFF00FF00u);
    fftest::DrawQuad(d, 32, 0, 64, 64, 0xFFFF0000u, 0.6f);
    Capture();
    EXPECT_TRUE(PixelNear(image_, 16, 32, Rgb{0, 255, 0}, 0));
    EXPECT_TRUE(PixelNear(image_, 48, 32, Rgb{0, 0, 255}, 0));
}

} // namespace
