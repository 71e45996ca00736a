// Texts, sprites and rectangles drawn for real on an offscreen GL device
// (software rendering) and probed pixel by pixel: with the half-pixel shift
// of pre-transformed vertices, texels land exactly on pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "library/bitmap_font.h"
#include "library/render/font_services.h"
#include "library/render/render_front_end.h"
#include "library/render/render_test_util.h"
#include "library/render/screen_layers.h"
#include "platform/font/font_test_util.h"
#include "platform/os/gfx/gl_device.h"
#include "support/image_test.h"

namespace {

using imagetest::Rgb;

constexpr uint32_t kWidth = 192;
constexpr uint32_t kHeight = 64;
constexpr uint32_t kSpriteSlot = 3;

class ScreenRenderTest : public rendertest::RenderTest {
  protected:
    std::unique_ptr<gfx::Device> MakeDevice() override {
        imagetest::UseSoftwareRendering();
        std::string error;
        return gfx::GlDevice::CreateOffscreen(kWidth, kHeight, &error);
    }

    // One frame on black: whatever `draw` does, then the back buffer.
    template <typename Draw> imagetest::Image Frame(Draw draw) {
        library_.SetClearColor(0xFF000000u);
        imagetest::Image image;
        EXPECT_TRUE(library_.BeginRender(true, true));
        draw();
        EXPECT_TRUE(library_.EndRender(false));
        EXPECT_TRUE(imagetest::ReadBack(*device_, &image));
        return image;
    }
};

TEST_F(ScreenRenderTest, TheDefaultFontLightsOnlyItsMeasuredBoxInFullWhite) {
    if (!std::filesystem::exists(fonttest::kDejaVu)) {
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    }
    fonttest::FontConfigScope fontConfig;
    ASSERT_TRUE(fontConfig.ok);
    RegisterFontServices();
    std::unique_ptr<FontItem> font(library_.CreateFontItem("Lucida Console", 6, nullptr));
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font->font->GetSheetTexture(), nullptr);
    const char *text = "FPS: 60.00";
    float w = 0.0f;
    float h = 0.0f;
    MeasureText(font.get(), text, &w, &h);
    ASSERT_GT(w, 0.0f);

    const imagetest::Image image =
        Frame([&] { DrawTextNow(100, 20, 0.0f, 1, 1, 1, 1, text, false, font.get()); });
    uint32_t lit = 0;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const Rgb c = image.At(x, y);
            if (c.r == 0 && c.g == 0 && c.b == 0) {
                continue;
            }
            ++lit;
            EXPECT_TRUE(c.r == 255 && c.g == 255 && c.b == 255)
                << "grey pixel at " << x << ", " << y;
            EXPECT_TRUE(x >= 100 && x < 100 + uint32_t(w) && y >= 20 && y < 20 + uint32_t(h))
                << "pixel outside the measured box at " << x << ", " << y;
        }
    }
    // Glyph shapes, not filled cells.
    EXPECT_GT(lit, 30u);
    EXPECT_LT(lit, uint32_t(w * h) / 2);
}

TEST_F(ScreenRenderTest, ACheckerSpriteShowsItsTexels) {
    // A 32 x 32 checker of single texels in two colours.
    ASSERT_TRUE(textures_.Fill(library_, *device_, {{kSpriteSlot, 0xFFFFFFFFu}}));
    auto *item = static_cast<TextureItem *>(library_.GetItemById(kSpriteSlot));
    gfx::Texture *checker = nullptr;
    ASSERT_EQ(device_->CreateTexture(32, 32, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed,
                                     &checker),
              gfx::Result::Ok);
    auto texel = [](uint32_t x, uint32_t y) {
        return ((x + y) & 1) != 0 ? 0xFF20C040u : 0xFFE07010u;
    };
    gfx::LockedRect locked;
    ASSERT_EQ(checker->LockRect(0, &locked, nullptr, 0), gfx::Result::Ok);
    for (uint32_t y = 0; y < 32; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.bits) +
                                                 size_t(y) * size_t(locked.pitch));
        for (uint32_t x = 0; x < 32; ++x) {
            row[x] = texel(x, y);
        }
    }
    checker->UnlockRect(0);
    item->texture->texture->Release();
    item->texture->texture = checker;
    item->width = 32;
    item->height = 32;

    auto material = rendertest::MakeMaterial(0); // "Normal"
    material->textureIds = {kSpriteSlot};
    const imagetest::Image image = Frame([&] {
        library_.QueueSprite(40, 10, 1, 1, 1, 1, material.get());
        library_.DrawQueuedQuads(true);
    });
    const gfx::Rect covered = image.CoveredRect({0, 0, 0});
    EXPECT_EQ((std::tuple{covered.left, covered.top, covered.right, covered.bottom}),
              (std::tuple{40, 10, 72, 42}));
    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 32; ++x) {
            const uint32_t t = texel(x, y);
            ASSERT_TRUE(imagetest::PixelNear(
                image, 40 + x, 10 + y,
                {uint8_t(t >> 16), uint8_t(t >> 8), uint8_t(t)}, 1));
        }
    }
}

TEST_F(ScreenRenderTest, FilledRectsAndQueuedRectsCoverExactlyTheirPixels) {
    auto plain = rendertest::MakeMaterial(0);
    const imagetest::Image image = Frame([&] {
        DrawFilledRect(10, 5, 30, 25, 0.2f, 0.6f, 0.8f, 1.0f);
        // Width 10.9 is 10 columns.
        library_.QueueRect(100, 30, 10.9f, 4.0f, 1, 1, 0, 1, plain.get());
        library_.DrawQueuedQuads(true);
    });
    // Untextured quads show their vertex colour.
    EXPECT_TRUE(imagetest::RegionNear(image, {10, 5, 30, 25}, {51, 153, 204}, 1));
    EXPECT_TRUE(imagetest::RegionNear(image, {100, 30, 110, 34}, {255, 255, 0}, 1));
    int covered = 0;
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const Rgb c = image.At(x, y);
            covered += c.r != 0 || c.g != 0 || c.b != 0;
        }
    }
    EXPECT_EQ(covered, 20 * 20 + 10 * 4);
    // Left of and right of the queued rectangle stays black.
    EXPECT_TRUE(imagetest::PixelNear(image, 99, 31, {0, 0, 0}, 0));
    EXPECT_TRUE(imagetest::PixelNear(image, 110, 31, {0, 0, 0}, 0));
}

} // namespace
