// The facade's state vector, resources and call log, on RecordingDevice.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/gfx/blind_device.h"
#include "platform/os/gfx/recording_device.h"

namespace {

using gfx::RecordingDevice;
namespace RS = gfx::RenderState;
namespace SS = gfx::StageState;

uint32_t Rs(const gfx::Device &d, uint32_t state) {
    uint32_t v = 0xDEAD;
    EXPECT_EQ(d.GetRenderState(state, &v), gfx::Result::Ok);
    return v;
}

uint32_t Ss(const gfx::Device &d, uint32_t stage, uint32_t type) {
    uint32_t v = 0xDEAD;
    EXPECT_EQ(d.GetTextureStageState(stage, type, &v), gfx::Result::Ok);
    return v;
}

void ExpectDefaults(const gfx::Device &d) {
    const std::pair<uint32_t, uint32_t> renderStates[] = {
        {RS::DepthEnable, 1}, {RS::DepthWriteEnable, 1}, {RS::DepthFunc, gfx::Cmp::LessEqual},
        {RS::CullMode, gfx::Cull::Ccw}, {RS::Lighting, 1}, {RS::Ambient, 0},
        {RS::AlphaBlendEnable, 0}, {RS::SrcBlend, gfx::Blend::One},
        {RS::DestBlend, gfx::Blend::Zero}, {RS::AlphaTestEnable, 0},
        {RS::AlphaFunc, gfx::Cmp::Always}, {RS::AlphaRef, 0}, {RS::FogEnable, 0},
        {RS::FogStart, 0}, {RS::FogEnd, 0x3F800000u /* 1.0f */}, {RS::SpecularEnable, 0},
        {RS::ShadeMode, gfx::Shade::Gouraud}, {RS::FillMode, gfx::Fill::Solid},
        {RS::DitherEnable, 0}, {RS::StencilEnable, 0}, {RS::StencilFunc, gfx::Cmp::Always},
        {RS::StencilRef, 0}, {RS::StencilMask, 0xFFFFFFFFu}, {RS::StencilWriteMask, 0xFFFFFFFFu},
        {RS::StencilFail, gfx::StencilOp::Keep}, {RS::StencilDepthFail, gfx::StencilOp::Keep},
        {RS::StencilPass, gfx::StencilOp::Keep}};
    for (const auto &[state, value] : renderStates) {
        EXPECT_EQ(Rs(d, state), value) << "render state " << state;
    }
    const std::pair<uint32_t, uint32_t> stage0[] = {
        {SS::ColorOp, gfx::TextureOp::Modulate}, {SS::ColorArg1, gfx::TextureArg::Texture},
        {SS::ColorArg2, gfx::TextureArg::Current}, {SS::AlphaOp, gfx::TextureOp::SelectArg1},
        {SS::AlphaArg1, gfx::TextureArg::Texture}};
    for (const auto &[type, value] : stage0) {
        EXPECT_EQ(Ss(d, 0, type), value) << "stage state " << type;
    }
    for (uint32_t stage = 0; stage < 8; ++stage) {
        if (stage > 0) {
            EXPECT_EQ(Ss(d, stage, SS::ColorOp), gfx::TextureOp::Disable);
            EXPECT_EQ(Ss(d, stage, SS::AlphaOp), gfx::TextureOp::Disable);
        }
        EXPECT_EQ(
            std::vector<uint32_t>({Ss(d, stage, SS::TexCoordIndex), Ss(d, stage, SS::MinFilter),
                                   Ss(d, stage, SS::MagFilter), Ss(d, stage, SS::MipFilter),
                                   Ss(d, stage, SS::AddressU), Ss(d, stage, SS::AddressV),
                                   Ss(d, stage, SS::TextureTransformFlags)}),
            std::vector<uint32_t>({stage, gfx::TextureFilter::Point, gfx::TextureFilter::Point,
                                   gfx::TextureFilter::None, gfx::TextureAddress::Wrap,
                                   gfx::TextureAddress::Wrap, 0u}))
            << "stage " << stage;
        gfx::Texture *t = reinterpret_cast<gfx::Texture *>(1);
        d.GetTexture(stage, &t);
        EXPECT_EQ(t, nullptr);
    }
    gfx::Matrix m;
    const gfx::Matrix identity = gfx::IdentityMatrix();
    for (uint32_t id : {gfx::Transform::World, gfx::Transform::View, gfx::Transform::Projection,
                        gfx::Transform::Texture0 + 3}) {
        ASSERT_EQ(d.GetTransform(id, &m), gfx::Result::Ok);
        EXPECT_EQ(std::memcmp(&m, &identity, sizeof m), 0) << "transform " << id;
    }
    bool on = true;
    EXPECT_EQ(d.GetLightEnable(0, &on), gfx::Result::InvalidCall); // no light set
}

TEST(DeviceStateTest, StartsAtFixedFunctionDefaultsAndReturnsToThemAfterReset) {
    RecordingDevice d(320, 240);
    ExpectDefaults(d);
    gfx::Viewport vp;
    d.GetViewport(&vp);
    EXPECT_EQ(std::vector<float>({float(vp.width), float(vp.height), vp.minZ, vp.maxZ}),
              std::vector<float>({320, 240, 0, 1}));

    d.SetRenderState(RS::DepthFunc, gfx::Cmp::Less);
    d.SetRenderState(RS::Lighting, 0);
    d.SetTextureStageState(3, SS::ColorOp, gfx::TextureOp::Add);
    d.SetTextureStageState(0, SS::MinFilter, gfx::TextureFilter::Linear);
    gfx::Matrix m = gfx::IdentityMatrix();
    m.m[3][0] = 5.0f;
    d.SetTransform(gfx::Transform::World, m);
    gfx::Light light{};
    light.type = gfx::kLightPoint;
    d.SetLight(1000, light);
    d.LightEnable(1000, true);
    gfx::Texture *t = nullptr;
    ASSERT_EQ(d.CreateTexture(8, 8, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &t),
              gfx::Result::Ok);
    d.SetTexture(2, t);

    gfx::PresentParameters params;
    ASSERT_EQ(d.Reset(params), gfx::Result::Ok);
    ExpectDefaults(d);
    // The texture survives the reset (it was unbound, not destroyed).
    gfx::SurfaceDesc desc;
    EXPECT_EQ((std::tuple{t->GetLevelDesc(0, &desc), t->Release()}),
              (std::tuple{gfx::Result::Ok, 0u}));
}

TEST(DeviceStateTest, LightsTakeAnyIndex) {
    RecordingDevice d;
    gfx::Light a{};
    a.type = gfx::kLightPoint;
    a.range = 50.0f;
    gfx::Light b{};
    b.type = gfx::kLightDirectional;
    ASSERT_EQ(d.SetLight(3, a), gfx::Result::Ok);
    ASSERT_EQ(d.SetLight(0xFFFFFFF0u, b), gfx::Result::Ok);
    ASSERT_EQ(d.LightEnable(3, true), gfx::Result::Ok);
    gfx::Light out{};
    ASSERT_EQ(d.GetLight(3, &out), gfx::Result::Ok);
    EXPECT_EQ(out.range, 50.0f);
    bool on[2] = {false, true};
    ASSERT_EQ(d.GetLightEnable(3, &on[0]), gfx::Result::Ok);
    ASSERT_EQ(d.GetLightEnable(0xFFFFFFF0u, &on[1]), gfx::Result::Ok);
    EXPECT_TRUE(on[0] && !on[1]);
    // A light type outside 1-3 is refused.
    a.type = 0;
    EXPECT_EQ(d.SetLight(4, a), gfx::Result::InvalidCall);
    // Enabling an index never set makes the default white directional light.
    ASSERT_EQ(d.LightEnable(77, true), gfx::Result::Ok);
    ASSERT_EQ(d.GetLight(77, &out), gfx::Result::Ok);
    EXPECT_EQ(std::vector<float>({float(out.type), out.diffuse.r, out.direction.z}),
              std::vector<float>({float(gfx::kLightDirectional), 1.0f, 1.0f}));
}

TEST(DeviceStateTest, OutOfRangeIdsAreRefused) {
    RecordingDevice d;
    EXPECT_EQ(d.SetRenderState(RS::Count, 1), gfx::Result::InvalidCall);
    EXPECT_EQ(d.SetTextureStageState(8, SS::ColorOp, 1), gfx::Result::InvalidCall);
    EXPECT_EQ(d.SetTextureStageState(0, SS::Count, 1), gfx::Result::InvalidCall);
    EXPECT_EQ(d.SetTransform(4, gfx::IdentityMatrix()), gfx::Result::InvalidCall);
    EXPECT_EQ(d.SetTransform(gfx::Transform::World + 4, gfx::IdentityMatrix()),
              gfx::Result::InvalidCall);
    EXPECT_EQ(d.SetTexture(8, nullptr), gfx::Result::InvalidCall);
    EXPECT_EQ(d.SetStreamSource(1, nullptr, 0), gfx::Result::InvalidCall);
}

TEST(DeviceResourceTest, TextureLevelsPitchesAndLocks) {
    RecordingDevice d;
    gfx::Texture *t = nullptr;
    ASSERT_EQ(d.CreateTexture(64, 16, 0, 0, gfx::Format::R5G6B5, gfx::Pool::Managed, &t),
              gfx::Result::Ok);
    EXPECT_EQ(t->GetLevelCount(), 7u); // 64 down to 1
    gfx::SurfaceDesc desc;
    ASSERT_EQ(t->GetLevelDesc(5, &desc), gfx::Result::Ok);
    EXPECT_EQ(std::vector<uint32_t>({desc.width, desc.height, desc.format}),
              std::vector<uint32_t>({2, 1, gfx::Format::R5G6B5}));
    EXPECT_EQ(t->GetLevelDesc(7, &desc), gfx::Result::InvalidCall);

    gfx::LockedRect lr;
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), gfx::Result::Ok);
    EXPECT_EQ(lr.pitch, 128);
    EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), gfx::Result::InvalidCall); // already locked
    EXPECT_EQ(t->UnlockRect(0), gfx::Result::Ok);
    EXPECT_EQ(t->UnlockRect(0), gfx::Result::InvalidCall);

    // A rectangle lock points into the level.
    gfx::LockedRect whole;
    t->LockRect(0, &whole, nullptr, 0);
    t->UnlockRect(0);
    const gfx::Rect r{4, 2, 8, 6};
    ASSERT_EQ(t->LockRect(0, &lr, &r, 0), gfx::Result::Ok);
    EXPECT_EQ(static_cast<uint8_t *>(lr.bits) - static_cast<uint8_t *>(whole.bits),
              2 * 128 + 4 * 2);
    t->UnlockRect(0);
    const gfx::Rect outside{0, 0, 65, 1};
    EXPECT_EQ(t->LockRect(0, &lr, &outside, 0), gfx::Result::InvalidCall);
    t->Release();

    // Compressed levels are rows of 4 x 4 blocks; a level below 4 x 4 is one block.
    ASSERT_EQ(d.CreateTexture(8, 8, 0, 0, gfx::Format::Dxt1, gfx::Pool::Managed, &t),
              gfx::Result::Ok);
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), gfx::Result::Ok);
    EXPECT_EQ(lr.pitch, 16);
    t->UnlockRect(0);
    ASSERT_EQ(t->GetLevelDesc(3, &desc), gfx::Result::Ok);
    EXPECT_EQ(desc.size, 8u);
    t->Release();

    EXPECT_EQ(d.CreateTexture(0, 4, 1, 0, gfx::Format::A8R8G8B8, 1, &t), gfx::Result::InvalidCall);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(d.CreateTexture(4, 4, 1, 0, gfx::Format::D24S8, 1, &t), gfx::Result::InvalidCall);
}

TEST(DeviceResourceTest, MaximumTextureSizeIsInjectable) {
    RecordingDevice d;
    gfx::Caps caps;
    d.SetMaxTextureSize(256);
    ASSERT_EQ(d.GetDeviceCaps(&caps), gfx::Result::Ok);
    EXPECT_EQ(caps.maxTextureWidth * 1000 + caps.maxTextureHeight, 256256u);
    EXPECT_NE(caps.textureFilterCaps & gfx::FilterCaps::MinAnisotropic, 0u);
    gfx::Texture *t = nullptr;
    EXPECT_EQ(d.CreateTexture(512, 4, 1, 0, gfx::Format::A8R8G8B8, 1, &t),
              gfx::Result::InvalidCall);
    ASSERT_EQ(d.CreateTexture(256, 4, 1, 0, gfx::Format::A8R8G8B8, 1, &t), gfx::Result::Ok);
    t->Release();
}

TEST(DeviceResourceTest, BuffersLockWithinTheirLengthAndRefuseUnknownFormats) {
    RecordingDevice d;
    gfx::VertexBuffer *vb = nullptr;
    EXPECT_EQ(d.CreateVertexBuffer(0, 0, 0x112, gfx::Pool::Managed, &vb), gfx::Result::InvalidCall);
    EXPECT_EQ(d.CreateVertexBuffer(64, 0, 0x1112, gfx::Pool::Managed, &vb),
              gfx::Result::InvalidCall);
    ASSERT_EQ(d.CreateVertexBuffer(64, 0, 0, gfx::Pool::Default, &vb), gfx::Result::Ok);
    gfx::VertexBufferDesc desc;
    vb->GetDesc(&desc);
    EXPECT_EQ(desc.size * 1000 + desc.fvf, 64000u);
    uint8_t *p = nullptr;
    EXPECT_EQ((std::tuple{vb->Lock(60, 8, &p, 0), p}),
              (std::tuple{gfx::Result::InvalidCall, nullptr}));
    ASSERT_EQ(vb->Lock(60, 4, &p, 0), gfx::Result::Ok);
    EXPECT_EQ(vb->Unlock(), gfx::Result::Ok);
    EXPECT_EQ(vb->Unlock(), gfx::Result::InvalidCall);
    vb->Release();

    gfx::IndexBuffer *ib = nullptr;
    EXPECT_EQ(d.CreateIndexBuffer(12, 0, gfx::Format::A8R8G8B8, 1, &ib), gfx::Result::InvalidCall);
    ASSERT_EQ(d.CreateIndexBuffer(12, 0, gfx::Format::Index32, 1, &ib), gfx::Result::Ok);
    EXPECT_EQ(ib->IndexSize(), 4u);
    ib->Release();
}

TEST(DeviceResourceTest, BoundResourcesLiveUntilUnbound) {
    RecordingDevice d;
    gfx::Texture *t = nullptr;
    d.CreateTexture(4, 4, 1, 0, gfx::Format::A8R8G8B8, 1, &t);
    d.SetTexture(0, t);
    EXPECT_EQ(t->Release(), 1u); // the binding keeps it
    gfx::SurfaceDesc desc;
    EXPECT_EQ(t->GetLevelDesc(0, &desc), gfx::Result::Ok);
    d.SetTexture(0, nullptr); // frees it (ASan checks the rest)

    // A resource still alive when its device goes keeps working as memory.
    gfx::VertexBuffer *vb = nullptr;
    {
        RecordingDevice other;
        other.CreateVertexBuffer(16, 0, 0, 0, &vb);
    }
    uint8_t *p = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &p, 0), gfx::Result::Ok);
    vb->Unlock();
    EXPECT_EQ(vb->GetDevice(), nullptr);
    vb->Release();
}

TEST(DeviceDrawTest, DrawsAreValidatedAgainstStreamsAndFormats) {
    RecordingDevice d;
    gfx::VertexBuffer *vb = nullptr;
    ASSERT_EQ(d.CreateVertexBuffer(36, 0, 0, 0, &vb), gfx::Result::Ok); // three positions
    d.SetStreamSource(0, vb, 12);
    // No format set: refused.
    EXPECT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 0, 1), gfx::Result::InvalidCall);
    d.SetVertexShader(gfx::Fvf::Xyz);
    EXPECT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 0, 1), gfx::Result::Ok);
    EXPECT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 1, 1), gfx::Result::InvalidCall);
    EXPECT_EQ(d.DrawPrimitive(gfx::Primitive::TriangleList, 0, 2), gfx::Result::InvalidCall);
    EXPECT_EQ(d.DrawPrimitive(99, 0, 1), gfx::Result::InvalidCall);
    // A stride shorter than the format is refused.
    d.SetVertexShader(0x112);
    EXPECT_EQ(d.DrawPrimitive(gfx::Primitive::PointList, 0, 1), gfx::Result::InvalidCall);
    ASSERT_EQ(d.GetDraws().size(), 1u);
    EXPECT_EQ(d.GetDraws()[0].fvf, gfx::Fvf::Xyz);
    EXPECT_EQ(d.GetDraws()[0].vertices.size(), 36u);

    // Indexed draws need indices inside the stream.
    gfx::IndexBuffer *ib = nullptr;
    d.CreateIndexBuffer(6, 0, gfx::Format::Index16, 1, &ib);
    uint8_t *p = nullptr;
    ib->Lock(0, 0, &p, 0);
    const uint16_t idx[3] = {0, 1, 3};
    std::memcpy(p, idx, 6);
    ib->Unlock();
    d.SetVertexShader(gfx::Fvf::Xyz);
    d.SetIndices(ib, 0);
    EXPECT_EQ(d.DrawIndexedPrimitive(gfx::Primitive::TriangleList, 0, 4, 0, 1),
              gfx::Result::InvalidCall);
    d.SetStreamSource(0, nullptr, 0);
    d.SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

TEST(DeviceDrawTest, UserPointerDrawUnbindsStreamAndIndices) {
    RecordingDevice d;
    gfx::VertexBuffer *vb = nullptr;
    d.CreateVertexBuffer(36, 0, 0, 0, &vb);
    d.SetStreamSource(0, vb, 12);
    vb->Release();
    const float v[9] = {};
    d.SetVertexShader(gfx::Fvf::Xyz);
    ASSERT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleList, 1, v, 12), gfx::Result::Ok);
    gfx::VertexBuffer *bound = vb;
    uint32_t stride = 99;
    d.GetStreamSource(0, &bound, &stride);
    EXPECT_TRUE(bound == nullptr && stride == 0u);
}

// Skipped drawing: clears and draws are still checked and answer Ok, but
// none reaches the backend; drawing again reaches it. The blind device
// draws, clears and logs nothing at all, and counts as skipping its drawing.
TEST(DeviceDrawTest, SkippedDrawingIsCheckedButNotCarriedOutAndTheBlindDeviceDrawsNothing) {
    const float v[9] = {};
    RecordingDevice d(4, 4);
    d.SetVertexShader(gfx::Fvf::Xyz);
    d.SetDrawingSkipped(true);
    EXPECT_TRUE(d.DrawingSkipped());
    EXPECT_EQ(d.Clear(0, nullptr, gfx::ClearFlag::Target, 0xFF102030u, 1.0f, 0), gfx::Result::Ok);
    EXPECT_EQ(d.Clear(1, nullptr, gfx::ClearFlag::Target, 0, 1.0f, 0), gfx::Result::InvalidCall);
    EXPECT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleList, 1, v, 12), gfx::Result::Ok);
    EXPECT_EQ(d.DrawPrimitiveUP(99, 1, v, 12), gfx::Result::InvalidCall);
    EXPECT_TRUE(d.GetDraws().empty());
    EXPECT_EQ(d.Pixel(1, 1), 0xFF000000u);
    d.SetDrawingSkipped(false);
    EXPECT_EQ(d.Clear(0, nullptr, gfx::ClearFlag::Target, 0xFF102030u, 1.0f, 0), gfx::Result::Ok);
    EXPECT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleList, 1, v, 12), gfx::Result::Ok);
    EXPECT_EQ(d.GetDraws().size(), 1u);
    EXPECT_EQ(d.Pixel(1, 1), 0xFF102030u);

    gfx::BlindDevice blind(4, 4);
    blind.SetVertexShader(gfx::Fvf::Xyz);
    EXPECT_EQ(blind.Clear(0, nullptr, gfx::ClearFlag::Target, 0xFF102030u, 1.0f, 0),
              gfx::Result::Ok);
    EXPECT_EQ(blind.DrawPrimitiveUP(gfx::Primitive::TriangleList, 1, v, 12), gfx::Result::Ok);
    EXPECT_TRUE(blind.GetDraws().empty());
    EXPECT_TRUE(blind.GetLog().empty());
    EXPECT_EQ(blind.Pixel(1, 1), 0xFF000000u);
    // What is drawn for the picture alone is skipped there too, always.
    blind.SetDrawingSkipped(false);
    EXPECT_TRUE(blind.DrawingSkipped());
}

TEST(DeviceFrameTest, ScenesPairAndLostDeviceAnswers) {
    RecordingDevice d;
    EXPECT_EQ(std::vector<int32_t>({d.EndScene(), d.BeginScene(), d.BeginScene(), d.EndScene()}),
              std::vector<int32_t>({gfx::Result::InvalidCall, gfx::Result::Ok,
                                    gfx::Result::InvalidCall, gfx::Result::Ok}));

    EXPECT_EQ(d.TestCooperativeLevel(), gfx::Result::Ok);
    d.SimulateDeviceLost(gfx::LostFlag::Lost);
    EXPECT_EQ(d.TestCooperativeLevel(), gfx::Result::DeviceLost);
    EXPECT_EQ(d.Present(), gfx::Result::DeviceLost);
    d.SimulateDeviceLost(gfx::LostFlag::NotReset | gfx::LostFlag::FailReset);
    EXPECT_EQ(d.TestCooperativeLevel(), gfx::Result::DeviceNotReset);
    EXPECT_TRUE(gfx::Failed(d.Reset(d.GetPresentParameters())));
    EXPECT_EQ(d.TestCooperativeLevel(), gfx::Result::DeviceNotReset); // still lost
    EXPECT_EQ(d.Reset(d.GetPresentParameters()), gfx::Result::Ok);
    EXPECT_EQ(d.TestCooperativeLevel(), gfx::Result::Ok);
}

TEST(RecordingDeviceTest, LogsAScriptedSequenceExactly) {
    RecordingDevice d;
    gfx::Texture *t = nullptr;
    d.CreateTexture(4, 4, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &t);
    d.ClearLog();
    d.BeginScene();
    d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
    d.SetRenderState(gfx::RenderState::DepthEnable, 1);
    d.SetTextureStageState(1, gfx::StageState::ColorOp, gfx::TextureOp::Modulate);
    d.SetTexture(0, t);
    d.SetVertexShader(0x144);
    const float quad[28] = {};
    d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, quad, 28);
    d.LightEnable(1000, false);
    d.SetTexture(0, nullptr);
    d.EndScene();
    d.Present();
    const std::vector<std::string> expected = {"BeginScene",
                                               "Clear 0 7 0xFF000000 1 0",
                                               "SetRenderState 7 1",
                                               "SetTextureStageState 1 1 4",
                                               "SetTexture 0 1",
                                               "SetVertexShader 0x144",
                                               "DrawPrimitiveUP 5 2 28",
                                               "LightEnable 1000 0",
                                               "SetTexture 0 0",
                                               "EndScene",
                                               "Present"};
    EXPECT_EQ((std::tuple{d.GetLog(), d.GetPresentCount()}), (std::tuple{expected, 1u}));
    ASSERT_EQ(d.GetDraws().size(), 1u);
    EXPECT_EQ(d.GetDraws()[0].textures[0], t);
    t->Release();
}

TEST(RecordingDeviceTest, ClearFillsExactlyItsRectanglesInsideTheViewport) {
    RecordingDevice d(16, 8);
    d.Clear(0, nullptr, gfx::ClearFlag::Target, 0x00102030u, 1.0f, 0);
    const gfx::Rect rects[] = {{2, 1, 5, 3}, {14, 6, 40, 40}, {7, 7, 7, 8}};
    d.Clear(3, rects, gfx::ClearFlag::Target | gfx::ClearFlag::DepthBuffer, 0x80A0B0C0u, 1.0f, 0);
    // Depth and stencil alone leave the pixels as they are.
    d.Clear(0, nullptr, gfx::ClearFlag::DepthBuffer, 0xFFFFFFFFu, 1.0f, 0);
    std::string seen;
    for (uint32_t y = 0; y < 8; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            const uint32_t p = d.Pixel(x, y);
            seen += p == 0xFFA0B0C0u ? 'X' : (p == 0xFF102030u ? '.' : '?');
        }
        seen += '\n';
    }
    EXPECT_EQ(seen, "................\n"
                    "..XXX...........\n"
                    "..XXX...........\n"
                    "................\n"
                    "................\n"
                    "................\n"
                    "..............XX\n"
                    "..............XX\n");
}

TEST(StateBlockTest, RecordingLeavesStateAloneAndApplySetsOnlyRecordedEntries) {
    RecordingDevice d;
    ASSERT_EQ(d.BeginStateBlock(), gfx::Result::Ok);
    d.SetRenderState(RS::AlphaBlendEnable, 1);
    d.SetRenderState(RS::SrcBlend, gfx::Blend::SrcAlpha);
    d.SetTextureStageState(0, SS::MinFilter, gfx::TextureFilter::Linear);
    uint32_t block = 0;
    ASSERT_EQ(d.EndStateBlock(&block), gfx::Result::Ok);
    EXPECT_EQ(Rs(d, RS::AlphaBlendEnable), 0u);
    EXPECT_EQ(Ss(d, 0, SS::MinFilter), gfx::TextureFilter::Point);

    d.SetRenderState(RS::DepthEnable, 0);
    ASSERT_EQ(d.ApplyStateBlock(block), gfx::Result::Ok);
    EXPECT_EQ(
        (std::tuple{Rs(d, RS::AlphaBlendEnable), Rs(d, RS::SrcBlend), Ss(d, 0, SS::MinFilter)}),
        (std::tuple{1u, gfx::Blend::SrcAlpha, gfx::TextureFilter::Linear}));
    EXPECT_EQ(Rs(d, RS::DepthEnable), 0u); // not recorded: untouched

    // Capture refreshes the recorded entries from the current state.
    d.SetRenderState(RS::AlphaBlendEnable, 0);
    d.SetRenderState(RS::SrcBlend, gfx::Blend::One);
    ASSERT_EQ(d.CaptureStateBlock(block), gfx::Result::Ok);
    d.SetRenderState(RS::AlphaBlendEnable, 1);
    d.ApplyStateBlock(block);
    EXPECT_EQ(Rs(d, RS::AlphaBlendEnable), 0u);
    EXPECT_EQ(Rs(d, RS::SrcBlend), gfx::Blend::One);

    EXPECT_EQ(d.DeleteStateBlock(block), gfx::Result::Ok);
    EXPECT_EQ(d.ApplyStateBlock(block), gfx::Result::InvalidCall);
}

TEST(StateBlockTest, BlocksHoldTheirTextures) {
    RecordingDevice d;
    gfx::Texture *t = nullptr;
    d.CreateTexture(4, 4, 1, 0, gfx::Format::A8R8G8B8, 1, &t);
    d.BeginStateBlock();
    d.SetTexture(0, t);
    uint32_t block = 0;
    d.EndStateBlock(&block);
    gfx::Texture *bound[2] = {t, nullptr};
    d.GetTexture(0, &bound[0]);
    EXPECT_EQ(t->Release(), 1u); // the block keeps it
    d.ApplyStateBlock(block);
    d.GetTexture(0, &bound[1]);
    EXPECT_TRUE(bound[0] == nullptr && bound[1] == t);
    d.SetTexture(0, nullptr);
    d.DeleteStateBlock(block); // frees it
}

} // namespace
