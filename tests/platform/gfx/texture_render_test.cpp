// Textures from image files drawn on the offscreen GL device: uncompressed
// ("tq" 32) they show the file texel for texel; block-compressed ("tq" 0)
// they stay within the block format's tolerance.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "library/texture_items.h"
#include "platform/texture_file.h"
#include "support/image_files.h"
#include "support/image_test.h"

namespace {

using imagetest::GlDeviceTest;
using imagetest::ScreenQuad;
using imagetest::ScreenVertex;

constexpr uint32_t kScreenFvf = 0x144;

class TextureRenderTest : public GlDeviceTest {
protected:
    // Draws the file's texture 1:1 over the whole 64 x 64 target under a
    // format mode and answers the largest channel difference from the file.
    int DrawAndCompare(uint32_t formatMode, uint32_t* formatMade) {
        const std::string file = imagefiles::Tga(pixels_, 64, 64, {});
        const TextureRequest request = ChooseTextureRequest(1, 64, 64, formatMode, 1, ".tga");
        TextureObject* t = CreateTextureFromImageFile(
            Dev(), reinterpret_cast<const uint8_t*>(file.data()), file.size(), request.width,
            request.height, request.format, 0);
        EXPECT_NE(t, nullptr);
        if (t == nullptr) {
            return 255;
        }
        *formatMade = t->texture->GetFormat();
        gfx::Device& d = Dev();
        d.Clear(0, nullptr, 7, 0xFF000000u, 1.0f, 0);
        d.SetTexture(0, t->texture);
        ScreenVertex v[4];
        ScreenQuad(v, -0.5f, -0.5f, 63.5f, 63.5f, 0xFFFFFFFFu);
        d.SetVertexShader(kScreenFvf);
        EXPECT_EQ(d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, 28), gfx::Result::Ok);
        Capture();
        d.SetTexture(0, nullptr);
        DestroyTextureObject(t);
        int worst = 0;
        for (uint32_t y = 0; y < 64; ++y) {
            for (uint32_t x = 0; x < 64; ++x) {
                const uint32_t p = pixels_[y * 64 + x];
                const imagetest::Rgb got = image_.At(x, y);
                worst = std::max({worst, std::abs(int(got.r) - int((p >> 16) & 0xFF)),
                                  std::abs(int(got.g) - int((p >> 8) & 0xFF)),
                                  std::abs(int(got.b) - int(p & 0xFF))});
            }
        }
        return worst;
    }

    imagefiles::Pixels pixels_;
};

TEST_F(TextureRenderTest, UncompressedTextureShowsTheFileTexelForTexel) {
    pixels_ = imagefiles::Pattern(64, 64, 5, false);
    for (uint32_t& p : pixels_) {
        p |= 0xFF000000u;
    }
    uint32_t format = 0;
    EXPECT_EQ((std::tuple{DrawAndCompare(0, &format), format}),
              (std::tuple{0, gfx::Format::A8R8G8B8}));
}

TEST_F(TextureRenderTest, CompressedTextureStaysWithinTheBlockTolerance) {
    pixels_.resize(64 * 64);
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            pixels_[y * 64 + x] = 0xFF000000u | ((x * 4) << 16) | ((255 - x * 2 - y) << 8) | (64 + y * 2);
        }
    }
    uint32_t format = 0;
    EXPECT_LE(DrawAndCompare(3, &format), 8);
    EXPECT_EQ(format, gfx::Format::Dxt2);
}

// A context without S3TC gets the blocks decoded on the CPU; the texture
// still reports its DXT format.
class TextureRenderWithoutS3tcTest : public TextureRenderTest {
protected:
    void SetUp() override {
        setenv("MESA_EXTENSION_OVERRIDE", "-GL_EXT_texture_compression_s3tc", 1);
        TextureRenderTest::SetUp();
        unsetenv("MESA_EXTENSION_OVERRIDE");
    }
};

TEST_F(TextureRenderWithoutS3tcTest, BlocksAreDecodedOnTheCpu) {
    if (SDL_GL_ExtensionSupported("GL_EXT_texture_compression_s3tc") == SDL_TRUE) {
        GTEST_SKIP() << "S3TC stays on in this process (another context came first)";
    }
    pixels_.resize(64 * 64);
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            pixels_[y * 64 + x] = 0xFF000000u | ((x * 4) << 16) | ((y * 4) << 8) | 0x40;
        }
    }
    uint32_t format = 0;
    EXPECT_LE(DrawAndCompare(3, &format), 8);
    EXPECT_EQ(format, gfx::Format::Dxt2);
}

}  // namespace
