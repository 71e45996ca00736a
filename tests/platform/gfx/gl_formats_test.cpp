// Texture formats as the GL device samples them: one 4 x 4 texture per format
// drawn 1:1, blended by its alpha over black (so "X" formats must read
// opaque).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/image_test.h"

namespace {

using imagetest::GlDeviceTest;
using imagetest::PixelNear;
using imagetest::Rgb;
using imagetest::ScreenQuad;
using imagetest::ScreenVertex;

struct FormatCase {
    const char *name;
    uint32_t format;
    std::vector<uint8_t> texel; // one texel (or one 4 x 4 block), repeated
    Rgb expected;
    int tolerance;
};

class GlFormatTest : public GlDeviceTest {
  protected:
    Rgb Draw(const FormatCase &c) {
        gfx::Device &d = Dev();
        d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
        gfx::Texture *t = nullptr;
        EXPECT_EQ(d.CreateTexture(4, 4, 1, 0, c.format, gfx::Pool::Managed, &t), gfx::Result::Ok);
        if (t == nullptr) {
            return Rgb{1, 2, 3};
        }
        gfx::LockedRect lr;
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), gfx::Result::Ok);
        gfx::SurfaceDesc desc;
        t->GetLevelDesc(0, &desc);
        auto *bytes = static_cast<uint8_t *>(lr.bits);
        for (uint32_t i = 0; i < desc.size; i += uint32_t(c.texel.size())) {
            std::memcpy(bytes + i, c.texel.data(), c.texel.size());
        }
        t->UnlockRect(0);
        d.SetTexture(0, t);
        d.SetRenderState(gfx::RenderState::AlphaBlendEnable, 1);
        d.SetRenderState(gfx::RenderState::SrcBlend, gfx::Blend::SrcAlpha);
        d.SetRenderState(gfx::RenderState::DestBlend, gfx::Blend::InvSrcAlpha);
        // Alpha from the texture times the diffuse alpha (opaque white).
        d.SetTextureStageState(0, gfx::StageState::AlphaOp, gfx::TextureOp::Modulate);
        d.SetTextureStageState(0, gfx::StageState::AlphaArg2, gfx::TextureArg::Diffuse);
        d.SetVertexShader(imagetest::kScreenFvf);
        ScreenVertex v[4];
        ScreenQuad(v, 9.5f, 9.5f, 13.5f, 13.5f, 0xFFFFFFFFu);
        EXPECT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, 28), gfx::Result::Ok);
        d.SetTexture(0, nullptr);
        t->Release();
        Capture();
        return image_.At(11, 11);
    }
};

std::vector<uint8_t> U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
std::vector<uint8_t> U32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
// A DXT1 block of one colour (R5G6B5 colour 0, every index 0).
std::vector<uint8_t> Dxt1(uint16_t color) {
    return {uint8_t(color), uint8_t(color >> 8), 0, 0, 0, 0, 0, 0};
}
// A DXT3 block: explicit 4-bit alpha for every texel, then a DXT1 colour block.
std::vector<uint8_t> Dxt3(uint8_t alpha4, uint16_t color) {
    std::vector<uint8_t> b(8, uint8_t(alpha4 | alpha4 << 4));
    std::vector<uint8_t> c = Dxt1(color);
    b.insert(b.end(), c.begin(), c.end());
    return b;
}

TEST_F(GlFormatTest, EveryTextureFormatSamplesItsTexels) {
    const FormatCase cases[] = {
        {"A8R8G8B8", gfx::Format::A8R8G8B8, U32(0xFF102030u), {0x10, 0x20, 0x30}, 0},
        {"A8R8G8B8 half alpha", gfx::Format::A8R8G8B8, U32(0x80FF0000u), {128, 0, 0}, 1},
        {"X8R8G8B8 with X 0", gfx::Format::X8R8G8B8, U32(0x00102030u), {0x10, 0x20, 0x30}, 0},
        {"R8G8B8", gfx::Format::R8G8B8, {0x30, 0x20, 0x10}, {0x10, 0x20, 0x30}, 0},
        {"R5G6B5 red", gfx::Format::R5G6B5, U16(0xF800), {255, 0, 0}, 0},
        {"R5G6B5 green", gfx::Format::R5G6B5, U16(0x07E0), {0, 255, 0}, 0},
        {"X1R5G5B5 with X 0", gfx::Format::X1R5G5B5, U16(0x001F), {0, 0, 255}, 0},
        {"A1R5G5B5 opaque", gfx::Format::A1R5G5B5, U16(0x83E0), {0, 255, 0}, 0},
        {"A1R5G5B5 clear", gfx::Format::A1R5G5B5, U16(0x03E0), {0, 0, 0}, 0},
        {"A4R4G4B4", gfx::Format::A4R4G4B4, U16(0xF0F0), {0, 255, 0}, 0},
        {"A4R4G4B4 alpha 8", gfx::Format::A4R4G4B4, U16(0x8F00), {136, 0, 0}, 1},
        {"L8", gfx::Format::L8, {0x80}, {128, 128, 128}, 0},
        {"DXT1", gfx::Format::Dxt1, Dxt1(0xF800), {255, 0, 0}, 0},
        {"DXT3", gfx::Format::Dxt3, Dxt3(0xF, 0x001F), {0, 0, 255}, 0},
        {"DXT3 clear", gfx::Format::Dxt3, Dxt3(0x0, 0x001F), {0, 0, 0}, 0},
    };
    for (const FormatCase &c : cases) {
        const Rgb got = Draw(c);
        EXPECT_TRUE(PixelNear(image_, 11, 11, c.expected, c.tolerance))
            << c.name << ": (" << int(got.r) << ", " << int(got.g) << ", " << int(got.b) << ")";
    }
}

} // namespace
