// Screen quads and overlays on a RecordingDevice.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"
#include "library/render/screen_layers.h"
#include "platform/font/font_test_util.h"
#include "support/float_list.h"

using fonttest::RecordingGraphicsScope;
using fonttest::Vertices;

namespace {

struct QuadFixture : ::testing::Test {
    RecordingGraphicsScope graphics;
    ResourceLibrary &library = graphics.library;
    MaterialItem material;
    void SetUp() override {
        ASSERT_NE(graphics.device, nullptr);
        ResetBlendModeTracking();
    }
    void TearDown() override { ResetBlendModeTracking(); }
    gfx::RecordingDevice &Device() { return *graphics.device; }
};

} // namespace

TEST_F(QuadFixture, RectsArePackedTruncatedAndOffset) {
    library.QueueRect(10, 20, 10.9f, 5.5f, 1.2f, -0.1f, 0.5f, std::nanf(""), &material);
    library.QueueRect(0, 0, 1, 1, 1, 1, 1, 1, nullptr);
    ASSERT_EQ(library.GetScreenLayers().quads.size(), 1u);
    const ScreenQuad &q = library.GetScreenLayers().quads[0];
    EXPECT_EQ(q.vertices[0].color, 0x00FF0080u);
    EXPECT_FLOAT_EQ(q.vertices[1].x - q.vertices[0].x, 10.0f);
    EXPECT_TRUE(FloatsEq({q.vertices[2].y - q.vertices[0].y, q.vertices[0].z, q.vertices[0].rhw},
                         {5.0f, 0.99f, 1.0f}));
    EXPECT_TRUE(FloatsEq({q.vertices[0].u, q.vertices[3].v}, {0.000005f, 1.000005f}));
    library.SetOverlayQuad(0, 0, 4, 4, 1, 1, 1, 1, &material);
    EXPECT_FLOAT_EQ(library.GetScreenLayers().overlay2.vertices[0].u, 0.010005f);
    EXPECT_FLOAT_EQ(library.GetScreenLayers().overlay2.vertices[3].u, 0.990005f);
}

TEST_F(QuadFixture, SpritesTakeTheirTexturesSize) {
    library.QueueSprite(0, 0, 1, 1, 1, 1, &material);
    ASSERT_EQ(library.GetScreenLayers().quads.size(), 1u);
    EXPECT_FLOAT_EQ(library.GetScreenLayers().quads[0].vertices[3].x, 256.0f);
    EXPECT_FLOAT_EQ(library.GetScreenLayers().quads[0].vertices[3].y, 256.0f);
    material.textureIds = {4321};
    library.QueueSprite(0, 0, 1, 1, 1, 1, &material);
    EXPECT_EQ(library.GetScreenLayers().quads.size(), 1u);
    // Overlays without a texture stay unset.
    library.SetImageOverlay(0, 0, &material);
    material.textureIds.clear();
    library.SetImageOverlay(0, 0, &material);
    EXPECT_EQ(library.GetScreenLayers().overlay1.material, nullptr);
}

TEST_F(QuadFixture, QuadsDrawWithoutLightingFogOrDepthAndForceThoseGroupsAfterwards) {
    library.QueueRect(0, 0, 8, 8, 1, 1, 1, 1, &material);
    Device().ClearLog();
    library.DrawQueuedQuads(true);
    ASSERT_EQ(Device().GetDraws().size(), 1u);
    EXPECT_EQ(Device().GetDraws()[0].primitive, gfx::Primitive::TriangleStrip);
    EXPECT_EQ(Device().GetDraws()[0].fvf, 0x144u);
    EXPECT_EQ(Device().GetDraws()[0].stride, 28u);
    EXPECT_TRUE(library.GetScreenLayers().quads.empty());
    // At the draw: lighting (137), fog (28) and the depth test (7) off.
    std::map<std::string, std::string> atDraw;
    for (const std::string &line : Device().GetLog()) {
        if (line.rfind("DrawPrimitiveUP", 0) == 0) {
            break;
        }
        for (const char *state : {"137", "28", "7"}) {
            const std::string prefix = std::string("SetRenderState ") + state + " ";
            if (line.rfind(prefix, 0) == 0) {
                atDraw[state] = line.substr(prefix.size());
            }
        }
    }
    EXPECT_EQ(atDraw, (std::map<std::string, std::string>{{"137", "0"}, {"28", "0"}, {"7", "0"}}));
    const gfx::StateVector &s = Device().GetState();
    EXPECT_EQ(s.renderStates[gfx::RenderState::Lighting], 1u);
    EXPECT_EQ(s.renderStates[gfx::RenderState::DepthEnable], 1u);
    EXPECT_EQ(GetBlendForceMask() & 0x8028u, 0x8028u);
    // The next material with fog sets fog on again.
    MaterialItem fogged;
    fogged.fog = 1;
    library.SetFogEnable(1);
    Device().ClearLog();
    library.ApplyMaterial(&fogged, 1.0f, kNoSlot);
    EXPECT_TRUE(fonttest::LogHas(Device(), "SetRenderState 28 1"));
}

TEST_F(QuadFixture, AnOverlayIsDrawnInExactlyOneFrameAndTheImageOverlayResetsWrapping) {
    rendertest::TextureTable textures;
    ASSERT_TRUE(textures.Fill(library, Device(), {{3, 0xFFFFFFFFu}}));
    // The overlay takes the size the texture was made with.
    auto *item = static_cast<TextureItem *>(library.GetItemById(3));
    item->texture->levelDesc.width = 16;
    item->texture->levelDesc.height = 8;
    MaterialItem image;
    image.textureIds = {3};
    library.SetImageOverlay(5, 6, &image);
    library.SetOverlayQuad(0, 0, 4, 4, 1, 1, 1, 1, &material);
    Device().SetTextureStageState(0, gfx::StageState::AddressU, gfx::TextureAddress::Clamp);
    Device().SetTextureStageState(0, gfx::StageState::AddressV, gfx::TextureAddress::Mirror);
    library.DrawOverlays();
    ASSERT_EQ(Device().GetDraws().size(), 2u);
    EXPECT_EQ(Device().GetDraws()[0].textures[0], textures.Texture(3));
    auto v = Vertices(Device().GetDraws()[0]);
    EXPECT_TRUE(FloatsEq({v[3].x - v[0].x, v[3].y - v[0].y}, {16.0f, 8.0f}));
    const gfx::StateVector &s = Device().GetState();
    EXPECT_EQ(s.stageStates[0][gfx::StageState::AddressU], gfx::TextureAddress::Wrap);
    EXPECT_EQ(s.stageStates[0][gfx::StageState::AddressV], gfx::TextureAddress::Wrap);
    library.DrawOverlays();
    EXPECT_EQ(Device().GetDraws().size(), 2u);
    textures.Clear();
}

TEST_F(QuadFixture, FilledRectsDrawUntexturedAtOnce) {
    DrawFilledRect(1, 2, 11, 7, 1, 0, 0, 1);
    ASSERT_EQ(Device().GetDraws().size(), 1u);
    auto v = Vertices(Device().GetDraws()[0]);
    EXPECT_TRUE(FloatsEq({v[3].x, v[3].y}, {11.0f, 7.0f}));
    EXPECT_EQ(v[0].color, 0xFFFF0000u);
    EXPECT_EQ(Device().GetDraws()[0].textures[0], nullptr);
}
