// The state-word tracker, the blend-mode table and material application, on
// a RecordingDevice.
#include <gtest/gtest.h>

#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"

namespace {

using namespace gfx;
using rendertest::MakeMaterial;

class StateWordTest : public rendertest::RenderTest {};

TEST_F(StateWordTest, EachGroupIssuesItsStatesOnlyWhenChanged) {
    // From 0x78: depth test, depth writes, lighting, clockwise culling.
    SetBlendMode(0x78);
    EXPECT_TRUE(Log().empty());

    SetBlendMode(0x78 & ~StateWord::DepthWrite);
    EXPECT_EQ(Log(), std::vector<std::string>{Rs(RenderState::DepthWriteEnable, 0)});
    ClearLog();

    // Cull bits: 0 none, 0x80 counter-clockwise, 0xC0 leaves culling alone.
    SetBlendMode(0x28);
    EXPECT_EQ(Log(), std::vector<std::string>{Rs(RenderState::CullMode, Cull::None)});
    ClearLog();
    SetBlendMode(0xA8);
    EXPECT_EQ(Log(), std::vector<std::string>{Rs(RenderState::CullMode, Cull::Ccw)});
    ClearLog();
    SetBlendMode(0xE8);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(GetLastAppliedBlendWord(), 0xE8u);

    // Bits 16-19 count as a change yet set nothing.
    SetBlendMode(0xE8 | 0x10000);
    EXPECT_TRUE(Log().empty());

    // Addressing, fog, lighting.
    SetBlendMode(0xE8 | 0x10000 | StateWord::Clamp | StateWord::Fog);
    const std::vector<std::string> expected = {
        Rs(RenderState::FogEnable, 1), Tss(0, StageState::AddressU, TextureAddress::Clamp),
        Tss(0, StageState::AddressV, TextureAddress::Clamp)};
    EXPECT_EQ(Log(), expected);
    ClearLog();
    SetBlendMode(0xC8 | 0x10000 | StateWord::Fog);
    const std::vector<std::string> expected2 = {
        Rs(RenderState::Lighting, 0), Tss(0, StageState::AddressU, TextureAddress::Wrap),
        Tss(0, StageState::AddressV, TextureAddress::Wrap)};
    EXPECT_EQ(Log(), expected2);
}

TEST_F(StateWordTest, AResetDeviceGetsTheStatesOfTheNextWordAgain) {
    // Lighting off and clamped addressing reach the device; a reset puts
    // its states back at their defaults, so the same word goes out again.
    const uint32_t word = (0x78 & ~0x20u) | StateWord::Clamp;
    SetBlendMode(word);
    ASSERT_FALSE(Log().empty());
    library_.RestoreDeviceState();
    ClearLog();
    SetBlendMode(word);
    const std::vector<std::string> expected = {
        Rs(RenderState::Lighting, 0), Tss(0, StageState::AddressU, TextureAddress::Clamp),
        Tss(0, StageState::AddressV, TextureAddress::Clamp)};
    EXPECT_EQ(Log(), expected);
}

TEST_F(StateWordTest, ForceMaskReissuesEveryGroupOnce) {
    SetBlendMode(0x78);
    ASSERT_TRUE(Log().empty());
    EXPECT_EQ(SetCurrentBlendMode(0xFFFFFFFFu), 0xFFFFFFFFu);
    SetBlendMode(0x78);
    for (const std::string &line :
         {Rs(RenderState::DepthEnable, 1), Rs(RenderState::DepthWriteEnable, 1),
          Rs(RenderState::Lighting, 1), Rs(RenderState::FogEnable, 0),
          Rs(RenderState::CullMode, Cull::Cw), Tss(0, StageState::AddressU, TextureAddress::Wrap),
          Tss(1, StageState::ColorOp, TextureOp::Disable), Tss(0, StageState::TexCoordIndex, 0),
          Tss(1, StageState::TexCoordIndex, 1), Rs(RenderState::AlphaBlendEnable, 0)}) {
        EXPECT_TRUE(Logged(line)) << line;
    }
    EXPECT_EQ(GetBlendForceMask(), 0u);
    ClearLog();
    SetBlendMode(0x78);
    EXPECT_TRUE(Log().empty());
}

TEST_F(StateWordTest, AlphaCasesSetFactorsAndStageZeroAlpha) {
    struct Case {
        uint32_t alphaCase, src, dest, alphaOp, alphaArg1;
    };
    const Case cases[] = {
        {1, Blend::SrcAlpha, Blend::InvSrcAlpha, TextureOp::SelectArg1, TextureArg::Diffuse},
        {2, Blend::SrcAlpha, Blend::One, TextureOp::SelectArg1, TextureArg::Diffuse},
        {4, Blend::SrcAlpha, Blend::InvSrcAlpha, TextureOp::SelectArg1, TextureArg::Texture},
        {5, Blend::SrcAlpha, Blend::InvSrcAlpha, TextureOp::Modulate, TextureArg::Texture},
    };
    for (const Case &c : cases) {
        SetBlendMode(0x78);
        ClearLog();
        SetBlendMode(0x78 | c.alphaCase);
        EXPECT_EQ(RenderState(RenderState::AlphaBlendEnable), 1u) << c.alphaCase;
        EXPECT_EQ(RenderState(RenderState::SrcBlend), c.src) << c.alphaCase;
        EXPECT_EQ(RenderState(RenderState::DestBlend), c.dest) << c.alphaCase;
        EXPECT_EQ(StageState(0, StageState::AlphaOp), c.alphaOp) << c.alphaCase;
        EXPECT_EQ(StageState(0, StageState::AlphaArg1), c.alphaArg1) << c.alphaCase;
    }
    EXPECT_EQ(StageState(0, StageState::AlphaArg2), uint32_t(TextureArg::Current));

    // Case 3 multiplies and leaves the stage-0 alpha alone; 6 and 7 change
    // nothing; 0 switches blending off.
    ClearLog();
    SetBlendMode(0x78 | 3);
    const std::vector<std::string> multiply = {Rs(RenderState::AlphaBlendEnable, 1),
                                               Rs(RenderState::SrcBlend, Blend::Zero),
                                               Rs(RenderState::DestBlend, Blend::SrcColor)};
    EXPECT_EQ(Log(), multiply);
    ClearLog();
    SetBlendMode(0x78 | 6);
    SetBlendMode(0x78 | 7);
    EXPECT_TRUE(Log().empty());
    SetBlendMode(0x78);
    EXPECT_EQ(Log(), std::vector<std::string>{Rs(RenderState::AlphaBlendEnable, 0)});
}

TEST_F(StateWordTest, StageOneOperationAndEnvironmentMapping) {
    SetBlendMode(0x78 | 0x200);
    EXPECT_EQ(std::vector<uint32_t>({StageState(1, StageState::ColorOp),
                                     StageState(1, StageState::ColorArg1),
                                     StageState(1, StageState::ColorArg2),
                                     StageState(1, StageState::AlphaOp)}),
              std::vector<uint32_t>({TextureOp::Add, TextureArg::Texture, TextureArg::Current,
                                     TextureOp::Disable}));
    SetBlendMode(0x78 | 0x600);
    EXPECT_EQ(StageState(1, StageState::ColorOp), TextureOp::BlendTextureAlpha);
    // Other values of the three bits: off.
    for (uint32_t bits : {0x400u, 0x1000u, 0x1200u, 0x1600u}) {
        SetBlendMode(0x78 | 0x600);
        SetBlendMode(0x78 | bits);
        EXPECT_EQ(StageState(1, StageState::ColorOp), TextureOp::Disable) << bits;
    }

    SetBlendMode(0x78 | StateWord::EnvStage0 | StateWord::EnvStage1);
    for (uint32_t stage : {0u, 1u}) {
        Matrix m;
        device_->GetTransform(Transform::Texture0 + stage, &m);
        const float expected[4][4] = {
            {0.5f, 0, 0, 0}, {0, -0.5f, 0, 0}, {0, 0, 1, 0}, {0.5f, 0.5f, 0, 1}};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                EXPECT_FLOAT_EQ(m.m[r][c], expected[r][c]) << stage << " " << r << c;
            }
        }
        EXPECT_EQ(StageState(stage, StageState::TextureTransformFlags),
                  TextureTransformFlag::Count2);
        EXPECT_EQ(StageState(stage, StageState::TexCoordIndex),
                  TexCoordIndexFlag::CameraSpaceNormal);
    }
    // Only the stage whose bit changed is touched.
    ClearLog();
    SetBlendMode(0x78 | StateWord::EnvStage1);
    EXPECT_EQ(StageState(0, StageState::TexCoordIndex), 0u);
    EXPECT_EQ(StageState(0, StageState::TextureTransformFlags), TextureTransformFlag::Disable);
    EXPECT_EQ(StageState(1, StageState::TextureTransformFlags), TextureTransformFlag::Count2);
    EXPECT_EQ(Lines("SetTextureStageState 1").size(), 0u);
    SetBlendMode(0x78);
    EXPECT_EQ(StageState(1, StageState::TexCoordIndex), 1u);
}

TEST_F(StateWordTest, BlendModeIndexPastTheTableReadsAsNormal) {
    EXPECT_EQ(library_.GetBlendMode(7).word, 0x2619u);
    EXPECT_STREQ(library_.GetBlendMode(8).name, "Normal");
    EXPECT_STREQ(library_.GetBlendMode(0xFFFFFFFFu).name, "Normal");
}

// --- materials -----------------------------------------------------------------------

class MaterialTest : public rendertest::RenderTest {
  protected:
    void SetUp() override {
        RenderTest::SetUp();
        ASSERT_TRUE(textures_.Fill(library_, *device_,
                                   {{5, 0xFFFF0000u}, {6, 0xFF00FF00u}, {7, 0xFF0000FFu}}));
        ClearLog();
    }
};

TEST_F(MaterialTest, NormalIsOpaqueAtFullAlphaAndBlendedBelow) {
    auto m = MakeMaterial(0);
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord() & 7u, 0u);
    EXPECT_EQ(RenderState(RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(library_.GetCurrentMaterial(), m.get());

    m->material.diffuse.a = 0.8f;
    library_.ApplyMaterial(m.get(), 0.5f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord() & 7u, 1u);
    Material applied;
    device_->GetMaterial(&applied);
    EXPECT_FLOAT_EQ(applied.diffuse.a, 0.4f);
    EXPECT_FLOAT_EQ(m->material.diffuse.a, 0.8f); // the block itself is not scaled
    EXPECT_EQ(library_.GetCurrentMaterial(), nullptr);
    // The next call applies in full again (a diffuse alpha below 1 keeps case 1).
    ClearLog();
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    EXPECT_EQ(Lines("SetMaterial").size(), 1u);
    EXPECT_EQ(GetLastAppliedBlendWord() & 7u, 1u);
    device_->GetMaterial(&applied);
    EXPECT_FLOAT_EQ(applied.diffuse.a, 0.8f);
}

TEST_F(MaterialTest, TextureAlphaAndWordFolding) {
    auto m = MakeMaterial(1);
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord(), 0x0Du - 5u + 4u + StateWord::CullCcw +
                                             StateWord::Lighting);
    library_.ApplyMaterial(m.get(), 0.99f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord() & 7u, 5u);

    // Two-sided: no culling; one-sided again: counter-clockwise.
    auto twoSided = MakeMaterial(0);
    twoSided->twoSided = 1;
    twoSided->unlit = 1;
    library_.ApplyMaterial(twoSided.get(), 1.0f, kNoSlot);
    EXPECT_EQ(RenderState(RenderState::CullMode), Cull::None);
    EXPECT_EQ(RenderState(RenderState::Lighting), 0u);
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    EXPECT_EQ(RenderState(RenderState::CullMode), Cull::Ccw);
    EXPECT_EQ(RenderState(RenderState::Lighting), 1u);

    // Fog only with both the library's fog and the material's flag.
    auto fogged = MakeMaterial(0);
    fogged->fog = 1;
    library_.ApplyMaterial(fogged.get(), 1.0f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord() & StateWord::Fog, 0u);
    library_.SetFogEnable(1);
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord() & StateWord::Fog, 0u);
    library_.ApplyMaterial(fogged.get(), 1.0f, kNoSlot);
    EXPECT_NE(GetLastAppliedBlendWord() & StateWord::Fog, 0u);

    // Without the material-alpha flag the diffuse alpha becomes 1.0 for good.
    auto noAlpha = MakeMaterial(0);
    noAlpha->materialAlpha = 0;
    noAlpha->material.diffuse.a = 0.25f;
    library_.ApplyMaterial(noAlpha.get(), 1.0f, kNoSlot);
    EXPECT_FLOAT_EQ(noAlpha->material.diffuse.a, 1.0f);
    EXPECT_EQ(GetLastAppliedBlendWord() & 7u, 0u);

    // A blend-mode index past the table applies "Normal".
    auto badIndex = MakeMaterial(200);
    library_.ApplyMaterial(badIndex.get(), 1.0f, kNoSlot);
    EXPECT_EQ(GetLastAppliedBlendWord(), 0x18u | StateWord::CullCcw | StateWord::Lighting);
}

TEST_F(MaterialTest, OtherClassesAndNullDoNothing) {
    library_.ApplyMaterial(nullptr, 1.0f, 5);
    MaterialItem impostor;
    impostor.classId = 5;
    library_.ApplyMaterial(&impostor, 1.0f, 5);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(library_.GetCurrentMaterial(), nullptr);
}

TEST_F(MaterialTest, TexturesBindToTheirStagesUpToTheEighth) {
    auto m = MakeMaterial(0);
    m->textureIds = {5, 6, 6999, 7, 6, 6, 6, 6, 5, 5};
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    std::vector<Texture *> bound(4);
    for (uint32_t stage = 0; stage < 4; ++stage) {
        device_->GetTexture(stage, &bound[stage]);
    }
    // An empty slot is skipped.
    EXPECT_EQ(bound, std::vector<Texture *>({textures_.Texture(5), textures_.Texture(6), nullptr,
                                             textures_.Texture(7)}));
    // Entries from 8 on reach no stage.
    EXPECT_EQ(Lines("SetTexture ").size(), 2u + 7u);
    EXPECT_STREQ(library_.GetLastError(), "");

    EXPECT_EQ(library_.GetMaterialTexture(m.get(), 3), library_.GetItemById(7));
    EXPECT_EQ(library_.GetMaterialTexture(m.get(), 2), nullptr);
    EXPECT_EQ(library_.GetMaterialTexture(m.get(), 10), nullptr);
    EXPECT_EQ(library_.GetMaterialTexture(nullptr, 0), nullptr);
}

TEST_F(MaterialTest, SameMaterialTwiceCostsOnlyTheSecondTexture) {
    auto m = MakeMaterial(0);
    m->textureIds = {5};
    library_.ApplyMaterial(m.get(), 1.0f, 6);
    Texture *bound = nullptr;
    device_->GetTexture(1, &bound);
    EXPECT_EQ(bound, textures_.Texture(6));
    ClearLog();
    library_.ApplyMaterial(m.get(), 1.0f, 6);
    EXPECT_TRUE(Lines("SetMaterial").empty());
    EXPECT_TRUE(Lines("SetRenderState").empty());
    EXPECT_EQ(Lines("SetTexture ").size(), 1u); // stage 1 only
    EXPECT_TRUE(Logged(Tss(1, StageState::ColorOp, TextureOp::Modulate2x)));
    EXPECT_TRUE(Logged(Tss(1, StageState::TexCoordIndex, 1)));
    device_->GetTexture(0, &bound);
    EXPECT_EQ(bound, textures_.Texture(5));

    // Without the second texture: stage 1 cleared, its operation forced off.
    ClearLog();
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    device_->GetTexture(1, &bound);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(StageState(1, StageState::ColorOp), TextureOp::Disable);
    ClearLog();
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    EXPECT_TRUE(Log().empty());
}

TEST_F(MaterialTest, ForcedGroupsApplyTheCurrentMaterialInFull) {
    auto m = MakeMaterial(0);
    m->textureIds = {5};
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    // Something drew behind the tracker's back: texture off, blending on.
    device_->SetTexture(0, nullptr);
    device_->SetRenderState(RenderState::AlphaBlendEnable, 1);
    device_->SetRenderState(RenderState::DepthEnable, 0);
    SetCurrentBlendMode(0xFFFFFFFFu);
    ClearLog();
    library_.ApplyMaterial(m.get(), 1.0f, kNoSlot);
    Texture *bound = nullptr;
    device_->GetTexture(0, &bound);
    EXPECT_EQ(bound, textures_.Texture(5));
    EXPECT_EQ(RenderState(RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(RenderState(RenderState::DepthEnable), 1u);
    EXPECT_EQ(Lines("SetMaterial").size(), 1u);
    EXPECT_TRUE(Logged(Rs(RenderState::CullMode, Cull::Ccw)));
    EXPECT_TRUE(Logged(Tss(0, StageState::AddressU, TextureAddress::Wrap)));
    EXPECT_EQ(GetBlendForceMask(), 0u);
}

TEST_F(MaterialTest, TextureBindHookSeesEveryBinding) {
    static std::vector<std::pair<LibraryItem *, uint32_t>> seen;
    seen.clear();
    SetTextureBindHook([](LibraryItem *item, uint32_t stage) { seen.push_back({item, stage}); });
    auto m = MakeMaterial(0);
    m->textureIds = {7};
    library_.ApplyMaterial(m.get(), 1.0f, 5);
    SetTextureBindHook(nullptr);
    const std::vector<std::pair<LibraryItem *, uint32_t>> expected = {
        {library_.GetItemById(7), 0}, {library_.GetItemById(5), 1}};
    EXPECT_EQ(seen, expected);
}

} // namespace
