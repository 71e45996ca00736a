// The system glyph source: fontconfig matching with a configuration of the
// test's own, face aliases, synthesised styles, code page 1252, and sheets
// rendered mono or grey.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

#include "library/bitmap_font.h"
#include "platform/font/font_test_util.h"
#include "platform/os/font/glyph_source.h"
#include "platform/os/gfx/recording_device.h"

namespace {

namespace fs = std::filesystem;
using fonttest::FontConfigScope;
using fonttest::kDejaVu;
using fonttest::kLiberation;

bool Have(const char *path) { return fs::exists(path); }

} // namespace

TEST(SystemFonts, CodePage1252MapsToUnicode) {
    EXPECT_EQ(fonts::CodePage1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(fonts::CodePage1252ToUnicode(0x9F), 0x0178u);
    EXPECT_EQ(fonts::CodePage1252ToUnicode(0x8D), 0u);
    EXPECT_EQ(fonts::CodePage1252ToUnicode('A'), 0x41u);
    EXPECT_EQ(fonts::CodePage1252ToUnicode(0xE5), 0xE5u);
}

TEST(SystemFonts, FacesResolveThroughTheAliasTableAndMetricAliases) {
    if (!Have(kDejaVu)) {
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    }
    FontConfigScope scope({kDejaVu, kLiberation});
    ASSERT_TRUE(scope.ok);
    fonts::ResolvedFace face;
    fonts::FontRequest request;
    request.face = "Lucida Console";
    request.pixelHeight = 8;
    ASSERT_TRUE(fonts::ResolveFace(request, &face));
    EXPECT_EQ(face.family, "DejaVu Sans Mono");
    EXPECT_FALSE(face.emboldened);
    if (Have(kLiberation)) {
        request.face = "Arial";
        ASSERT_TRUE(fonts::ResolveFace(request, &face));
        EXPECT_EQ(face.family, "Liberation Sans");
        request.bold = true;
        ASSERT_TRUE(fonts::ResolveFace(request, &face));
        EXPECT_FALSE(face.emboldened) << face.file;
    }
}

TEST(SystemFonts, MissingStylesAreSynthesised) {
    const fs::path sans = fs::path(kDejaVu) / "DejaVuSans.ttf";
    if (!fs::exists(sans)) {
        GTEST_SKIP() << "DejaVuSans.ttf is not installed";
    }
    const fs::path only =
        fs::temp_directory_path() / ("font_only_" + std::to_string(getpid()));
    fs::create_directories(only);
    fs::create_symlink(sans, only / "DejaVuSans.ttf");
    {
        FontConfigScope scope({only.string()});
        ASSERT_TRUE(scope.ok);
        fonts::FontRequest request;
        request.face = "DejaVu Sans";
        request.pixelHeight = 16;
        request.bold = true;
        request.italic = true;
        fonts::ResolvedFace face;
        ASSERT_TRUE(fonts::ResolveFace(request, &face));
        EXPECT_TRUE(face.emboldened);
        EXPECT_TRUE(face.slanted);
        // A synthesised bold glyph is wider than the regular one.
        auto bold = fonts::OpenSystemFont(request);
        request.bold = false;
        request.italic = false;
        auto regular = fonts::OpenSystemFont(request);
        ASSERT_TRUE(bold != nullptr && regular != nullptr);
        EXPECT_GE(bold->Extent('M').cx, regular->Extent('M').cx);
        EXPECT_EQ(bold->Extent('M').cy, regular->Extent('M').cy);
    }
    fs::remove_all(only);
}

TEST(SystemFonts, SmallSizesRenderMonoAndLargerOnesGrey) {
    if (!Have(kDejaVu)) {
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    }
    FontConfigScope scope({kDejaVu, kLiberation});
    ASSERT_TRUE(scope.ok);
    gfx::RecordingDevice device;
    auto texels = [&](uint32_t size) {
        BitmapFont font;
        EXPECT_EQ(font.Create(nullptr, "Lucida Console", size, 0, &device, nullptr, nullptr, 0.0f),
                  1);
        std::set<uint16_t> seen;
        gfx::Texture *sheet = font.GetSheetTexture();
        if (sheet == nullptr) {
            return seen;
        }
        const gfx::Texture::Level &level = sheet->GetLevel(0);
        for (uint32_t y = 0; y < level.height; ++y) {
            for (uint32_t x = 0; x < level.width; ++x) {
                uint16_t t = 0;
                std::memcpy(&t, level.bytes.data() + size_t(y) * level.pitch + x * 2, 2);
                seen.insert(t);
            }
        }
        return seen;
    };
    const std::set<uint16_t> mono = texels(9);
    EXPECT_EQ(mono, (std::set<uint16_t>{0, 0xFFFF}));
    const std::set<uint16_t> grey = texels(10);
    EXPECT_GT(grey.size(), 3u);
    for (uint16_t t : grey) {
        EXPECT_TRUE(t == 0 || (t & 0x0FFF) == 0x0FFF) << std::hex << t;
    }
    // The default font: 6 points is 8 pixels of DejaVu Sans Mono, all cells
    // equally wide.
    BitmapFont font;
    ASSERT_EQ(font.Create(nullptr, "Lucida Console", 6, 0, &device, nullptr, nullptr, 0.0f), 1);
    int wi = 0, wm = 0, h = 0;
    font.Measure("i", &wi, &h, false);
    font.Measure("M", &wm, &h, false);
    EXPECT_EQ(wi, wm);
    EXPECT_GT(wi, 0);
    EXPECT_GE(h, 8);
}

TEST(SystemFonts, AddedFontFilesComeFirstAndBadFilesFailCreate) {
    const fs::path mono = fs::path(kDejaVu) / "DejaVuSansMono.ttf";
    if (!fs::exists(mono)) {
        GTEST_SKIP() << "DejaVuSansMono.ttf is not installed";
    }
    gfx::RecordingDevice device;
    BitmapFont font;
    const fs::path bad = fs::temp_directory_path() / ("not_a_font_" + std::to_string(getpid()));
    std::ofstream(bad) << "no font here";
    EXPECT_EQ(font.Create(bad.c_str(), "X", 12, 0, &device, "A", nullptr, 0.0f), 0);
    fs::remove(bad);

    ASSERT_EQ(font.Create(mono.c_str(), "dejavu sans mono", 12, 0, &device, "A", nullptr, 0.0f),
              1);
    fonts::FontRequest request;
    request.face = "DejaVu Sans Mono";
    request.pixelHeight = 16;
    fonts::ResolvedFace face;
    ASSERT_TRUE(fonts::ResolveFace(request, &face));
    EXPECT_EQ(face.file, mono.string());
    font.Release();
    // Removed again: fontconfig answers (with its own path of the file).
    fonts::ResolvedFace after;
    if (fonts::ResolveFace(request, &after)) {
        EXPECT_EQ(after.index, 0);
    }
}

TEST(SystemFonts, AHugeSizeStopsAtTheDevicesMaximumAndShrinksTheFont) {
    if (!Have(kDejaVu)) {
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    }
    FontConfigScope scope;
    ASSERT_TRUE(scope.ok);
    gfx::RecordingDevice device;
    device.SetMaxTextureSize(256);
    BitmapFont font;
    // A size as a damaged file may hold.
    ASSERT_EQ(font.Create(nullptr, "Lucida Console", 0x7FFFFFFFu, 0, &device, nullptr, nullptr,
                          0.0f),
              1);
    ASSERT_NE(font.GetSheetTexture(), nullptr);
    EXPECT_EQ((std::tuple{font.sheetWidth, font.sheetHeight}), (std::tuple{256u, 256u}));
    EXPECT_GT(font.sheetScale, 0.0f);
    EXPECT_LT(font.sheetScale, 0.1f);
    for (const GlyphRecord &g : font.glyphs) {
        EXPECT_GE(g.left, 0.0f);
        EXPECT_GE(g.top, 0.0f);
        EXPECT_LE(g.right, 1.0f);
        EXPECT_LE(g.bottom, 1.0f);
    }
    // Glyphs were rendered into the shrunk sheet.
    const gfx::Texture::Level &level = font.GetSheetTexture()->GetLevel(0);
    size_t lit = 0;
    for (size_t i = 0; i + 1 < level.bytes.size(); i += 2) {
        lit += level.bytes[i + 1] != 0;
    }
    EXPECT_GT(lit, 100u);
}
