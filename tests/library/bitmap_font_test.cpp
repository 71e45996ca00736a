// Bitmap fonts on a glyph source with made-up metrics and a RecordingDevice:
// sheet layout and sizing, measuring, drawing, alignment and the fonts that
// have nothing to draw with.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "library/bitmap_font.h"
#include "platform/font/font_test_util.h"
#include "support/float_list.h"

using fonttest::FakeFontScope;
using fonttest::LogHas;
using fonttest::Vertices;

namespace {

std::vector<fonts::GlyphExtent> Extents(size_t n, int cx, int cy) {
    return std::vector<fonts::GlyphExtent>(n, fonts::GlyphExtent{cx, cy});
}

void ExpectRecord(const GlyphRecord &r, float l, float t, float rt, float b, float w, float h) {
    EXPECT_TRUE(FloatsEq({r.left, r.top, r.right, r.bottom}, {l / w, t / h, rt / w, b / h}));
}

// A font of 12 points (16 pixels) whose cells are 8 x 10 texels.
struct FontFixture : ::testing::Test {
    FakeFontScope fake;
    gfx::RecordingDevice device{640, 480};
    BitmapFont font;
    void Make(const char *list = "ABCDEFGH", float spacing = 0.0f, uint32_t size = 12) {
        fake.faces.cx = 8;
        fake.faces.cy = 10;
        ASSERT_EQ(font.Create(nullptr, "Face", size, 0, &device, list, nullptr, spacing), 1);
        ASSERT_NE(font.GetSheetTexture(), nullptr);
        device.ClearLog();
        device.ClearDraws();
    }
};

} // namespace

TEST(GlyphSheetLayout, RecordsAreTheHandComputedCells) {
    // Spacing 0, cells 10 x 12 on 64 x 64: five to a row, rows 13 apart.
    auto e = Extents(7, 10, 12);
    GlyphSheetLayout a = LayOutGlyphSheet(e.data(), 7, 0, 64, 64);
    EXPECT_TRUE(a.fits);
    ExpectRecord(a.records[0], 0, 0, 10, 12, 64, 64);
    ExpectRecord(a.records[4], 44, 0, 54, 12, 64, 64);
    ExpectRecord(a.records[5], 0, 13, 10, 25, 64, 64);
    EXPECT_EQ((std::tuple{a.drawX[6], a.drawY[6]}), (std::tuple{11, 13}));

    // Spacing 2: cells grow by 2 x 2 on each side, rows from (2, 2).
    GlyphSheetLayout b = LayOutGlyphSheet(e.data(), 7, 2, 64, 64);
    EXPECT_TRUE(b.fits);
    ExpectRecord(b.records[0], 2, 2, 16, 18, 64, 64);
    ExpectRecord(b.records[1], 17, 2, 31, 18, 64, 64);
    ExpectRecord(b.records[3], 47, 2, 61, 18, 64, 64);
    ExpectRecord(b.records[4], 2, 19, 16, 35, 64, 64);
    for (const GlyphSheetLayout *l : {&a, &b}) {
        for (const GlyphRecord &r : l->records) {
            EXPECT_GE(r.left, 0.0f);
            EXPECT_GE(r.top, 0.0f);
            EXPECT_LE(r.right, 1.0f);
            EXPECT_LE(r.bottom, 1.0f);
        }
    }
}

TEST(GlyphSheetLayout, SheetGrowsUntilTheLayoutFitsAndEveryGlyphLiesInside) {
    uint32_t w = 0;
    uint32_t h = 0;
    auto e = Extents(46, 10, 12);
    MeasureGlyphSheet(e.data(), 25, 0, 4096, &w, &h);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{64u, 64u}));
    MeasureGlyphSheet(e.data(), 26, 0, 4096, &w, &h);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{64u, 128u}));
    MeasureGlyphSheet(e.data(), 46, 0, 4096, &w, &h);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{128u, 128u}));

    // Mixed widths and spacings: the measured sheet holds every cell's
    // bottom and every glyph's pixels (the sizing follows the layout).
    std::vector<fonts::GlyphExtent> mixed;
    for (int i = 0; i < 224; ++i) {
        mixed.push_back({3 + (i * 7) % 23, 17});
    }
    for (int s : {0, 1, 2, 5}) {
        MeasureGlyphSheet(mixed.data(), 224, s, 4096, &w, &h);
        GlyphSheetLayout l = LayOutGlyphSheet(mixed.data(), 224, s, w, h);
        EXPECT_TRUE(l.fits) << s;
        for (size_t i = 0; i < mixed.size(); ++i) {
            EXPECT_LE(l.drawY[i] + 2 * s + mixed[i].cy, int(h));
            EXPECT_LE(l.drawX[i] + s + mixed[i].cx, int(w));
        }
    }
}

TEST(GlyphSheetLayout, GrowthStopsOnceASidePassesTheMaximum) {
    // One glyph larger than any sheet (a huge size from a file).
    auto e = Extents(1, 100000, 100000);
    uint32_t w = 0;
    uint32_t h = 0;
    MeasureGlyphSheet(e.data(), 1, 0, 2048, &w, &h);
    EXPECT_LE(w, 4096u);
    EXPECT_LE(h, 4096u);
    EXPECT_TRUE(w > 2048 || h > 2048);
}

TEST(FontPixelHeightTest, RoundsLikeMulDiv) {
    EXPECT_EQ((std::tuple{FontPixelHeight(6, 1.0f), FontPixelHeight(12, 1.0f)}),
              (std::tuple{8, 16}));
    EXPECT_EQ((std::tuple{FontPixelHeight(9, 1.0f), FontPixelHeight(12, 0.5f)}),
              (std::tuple{12, 8}));
    EXPECT_EQ(FontPixelHeight(7, 1.0f), 9); // 9.33
    EXPECT_LE(FontPixelHeight(0xFFFFFFFFu, 1.0f), 4096);
}

TEST_F(FontFixture, SheetTexelsAreWhiteWithTheCoverageAsAlpha) {
    Make("AB");
    gfx::Texture *sheet = font.GetSheetTexture();
    EXPECT_EQ((std::tuple{sheet->GetFormat(), sheet->GetPool(), sheet->GetLevelCount()}),
              (std::tuple{gfx::Format::A4R4G4B4, gfx::Pool::Managed, 1u}));
    EXPECT_EQ((std::tuple{font.sheetWidth, font.sheetHeight}), (std::tuple{64u, 64u}));
    EXPECT_FLOAT_EQ(font.sheetScale, 1.0f);
    const gfx::Texture::Level &level = sheet->GetLevel(0);
    auto texel = [&](int x, int y) {
        uint16_t t = 0;
        std::memcpy(&t, level.bytes.data() + size_t(y) * level.pitch + size_t(x) * 2, 2);
        return t;
    };
    EXPECT_EQ((std::tuple{texel(0, 0), texel(7, 9), texel(8, 0)}), (std::tuple{0xFFFF, 0xFFFF, 0}));
    EXPECT_EQ(texel(9, 0), 0xFFFF); // B from x = 9
    EXPECT_EQ(texel(0, 10), 0);
    // Size 12 is antialiased, 16 pixels high, regular, roman.
    ASSERT_FALSE(fake.faces.requests.empty());
    EXPECT_EQ(fake.faces.requests[0].pixelHeight, 16);
    EXPECT_TRUE(fake.faces.requests[0].antialiased);
    EXPECT_FALSE(fake.faces.requests[0].bold);
}

TEST_F(FontFixture, QualityAndStyleReachTheFace) {
    fake.faces.cx = 4;
    ASSERT_EQ(font.Create(nullptr, "Face", 9, 3, &device, "A", nullptr, 0.0f), 1);
    ASSERT_EQ(font.Create(nullptr, "Face", 10, 0, &device, "A", nullptr, 0.0f), 1);
    ASSERT_EQ(fake.faces.requests.size(), 2u);
    const auto &first = fake.faces.requests[0];
    EXPECT_TRUE(!first.antialiased && first.bold && first.italic);
    EXPECT_EQ(fake.faces.requests[0].face, "Face");
    EXPECT_TRUE(fake.faces.requests[1].antialiased);
}

TEST_F(FontFixture, ASheetTooLargeForTheDeviceIsShrunkAndKeepsOnScreenSizes) {
    // 12 cells of 16 x 16 need 64 x 128; the device takes 64.
    device.SetMaxTextureSize(64);
    ASSERT_EQ(font.Create(nullptr, "Face", 12, 0, &device, "ABCDEFGHIJKL", nullptr, 0.0f), 1);
    ASSERT_EQ(fake.faces.requests.size(), 2u);
    EXPECT_EQ(fake.faces.requests[0].pixelHeight, 16);
    EXPECT_EQ((std::tuple{fake.faces.requests[1].pixelHeight, font.sheetWidth, font.sheetHeight}),
              (std::tuple{8, 64u, 64u}));
    EXPECT_FLOAT_EQ(font.sheetScale, 0.5f);
    device.ClearDraws();
    ASSERT_EQ(font.Draw(10, 20, 0xFFFFFFFF, "A", 0, 0.0f), 0);
    ASSERT_EQ(device.GetDraws().size(), 1u);
    auto v = Vertices(device.GetDraws()[0]);
    // Cells of 8 texels show 16 pixels wide and high.
    EXPECT_TRUE(FloatsEq({v[1].x, v[2].x, v[1].y, v[0].y}, {9.5f, 25.5f, 19.5f, 35.5f}));

    // A face whose cells never fit stops shrinking and clips to the sheet.
    fake.faces.cx = 100;
    fake.faces.cy = 100;
    ASSERT_EQ(font.Create(nullptr, "Face", 0xFFFFFFFFu, 0, &device, "AB", nullptr, 0.0f), 1);
    EXPECT_EQ((std::tuple{font.sheetWidth, font.sheetHeight}), (std::tuple{64u, 64u}));
}

TEST_F(FontFixture, DrawBatchesFiftyCharactersAndSetsTheFontStates) {
    Make();
    const std::string text(120, 'A');
    ASSERT_EQ(font.Draw(0, 0, 0xFF00FF00, text.c_str(), 0, 0.0f), 0);
    ASSERT_EQ(device.GetDraws().size(), 3u);
    const uint32_t expected[3] = {100, 100, 40};
    for (int i = 0; i < 3; ++i) {
        const gfx::RecordedDraw &d = device.GetDraws()[size_t(i)];
        EXPECT_EQ((std::tuple{d.primitive, d.primitiveCount, d.fvf, d.stride}),
                  (std::tuple{gfx::Primitive::TriangleList, expected[i], 0x144u, 28u}));
        EXPECT_EQ(d.textures[0], font.GetSheetTexture());
    }
    // Depth 0: no depth test, z 1, rhw 1.
    EXPECT_TRUE(LogHas(device, "SetRenderState 7 0"));
    auto v = Vertices(device.GetDraws()[0]);
    EXPECT_TRUE(FloatsEq({v[0].z, v[0].rhw}, {1.0f, 1.0f}));
    EXPECT_EQ(v[0].color, 0xFF00FF00u);
    // Clockwise: bottom-left, top-left, bottom-right; then top-left,
    // top-right, bottom-right; texture coordinates at the matching corners.
    const GlyphRecord &g = *font.GlyphFor('A');
    EXPECT_TRUE(FloatsEq({v[0].x, v[0].y, v[0].v, v[1].y, v[1].u, v[2].x, v[2].u, v[4].x, v[4].y},
                         {-0.5f, 9.5f, g.bottom, -0.5f, g.left, 7.5f, g.right, 7.5f, -0.5f}));
    // The next character starts where the cell ends.
    EXPECT_FLOAT_EQ(v[6].x, 7.5f);
    EXPECT_FALSE(LogHas(device, "SetTextureStageState 0 17 2"));

    device.ClearDraws();
    device.ClearLog();
    ASSERT_EQ(font.Draw(0, 0, 0xFFFFFFFF, "AB", 0x80, 0.5f), 0);
    ASSERT_EQ(device.GetDraws().size(), 1u);
    v = Vertices(device.GetDraws()[0]);
    EXPECT_TRUE(FloatsEq({v[0].z, v[0].rhw}, {0.5f, 2.0f}));
    EXPECT_FALSE(LogHas(device, "SetRenderState 7 0"));
    EXPECT_TRUE(LogHas(device, "SetTextureStageState 0 17 2"));
    EXPECT_TRUE(LogHas(device, "SetTextureStageState 0 16 2"));
}

TEST_F(FontFixture, TheSavedBlockRestoresTheCallersStates) {
    Make();
    gfx::Texture *own = nullptr;
    ASSERT_EQ(device.CreateTexture(4, 4, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &own),
              0);
    device.SetTexture(0, own);
    device.SetRenderState(gfx::RenderState::AlphaBlendEnable, 0);
    device.SetRenderState(gfx::RenderState::CullMode, gfx::Cull::None);
    device.SetRenderState(gfx::RenderState::FogEnable, 1);
    device.SetRenderState(gfx::RenderState::DepthEnable, 1);
    device.SetTextureStageState(0, gfx::StageState::MinFilter, gfx::TextureFilter::Linear);
    device.SetTextureStageState(1, gfx::StageState::ColorOp, gfx::TextureOp::Modulate);
    ASSERT_EQ(font.Draw(5, 5, 0xFFFFFFFF, "ABC", 0x80, 0.0f), 0);
    const gfx::StateVector &s = device.GetState();
    EXPECT_EQ(s.textures[0], own);
    EXPECT_EQ(s.renderStates[gfx::RenderState::AlphaBlendEnable], 0u);
    EXPECT_EQ(s.renderStates[gfx::RenderState::CullMode], gfx::Cull::None);
    EXPECT_EQ(s.renderStates[gfx::RenderState::FogEnable], 1u);
    EXPECT_EQ(s.renderStates[gfx::RenderState::DepthEnable], 1u);
    EXPECT_EQ(s.stageStates[0][gfx::StageState::MinFilter], gfx::TextureFilter::Linear);
    EXPECT_EQ(s.stageStates[1][gfx::StageState::ColorOp], gfx::TextureOp::Modulate);
    // The vertex format stays as the draw left it.
    EXPECT_EQ(s.fvf, 0x144u);
    device.SetTexture(0, nullptr);
    own->Release();
}

TEST_F(FontFixture, MeasureCountsLinesAndCellsLessSpacing) {
    Make("ABCDEFGH", 2.0f);
    int w = -1;
    int h = -1;
    ASSERT_EQ(font.Measure("\n", &w, &h, false), 0);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{0, 20}));
    ASSERT_EQ(font.Measure("AB\nABC", &w, &h, false), 0);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{24, 20}));
    ASSERT_EQ(font.Measure("AB\nABC", &w, &h, true), 0);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{16, 10}));
    // A character not in the list measures and draws as record 0.
    int wz = 0;
    ASSERT_EQ(font.Measure("zz", &wz, &h, false), 0);
    EXPECT_EQ((std::tuple{wz, font.GlyphFor('z')}), (std::tuple{16, font.GlyphFor('A')}));
    EXPECT_NE(font.Measure("A", nullptr, &h, false), 0);
}

TEST_F(FontFixture, AlignmentCentresEachLineAfterMovingTheBlockUp) {
    Make();
    // Lines of 2 and 5 characters (16 and 40 pixels), 2 lines of 10.
    ASSERT_EQ(font.Draw(100, 50, 0xFFFFFFFF, "AB\nABCDE", 2 | 0x10, 0.0f), 0);
    ASSERT_EQ(device.GetDraws().size(), 1u);
    auto v = Vertices(device.GetDraws()[0]);
    // First line: x = floor(100 - 8) = 92, y = 50 - 10 = 40.
    EXPECT_TRUE(FloatsEq({v[1].x, v[1].y}, {91.5f, 39.5f}));
    // Second line: x = floor(100 - 20) = 80, y = 40 + 10.
    EXPECT_TRUE(FloatsEq({v[12 + 1].x, v[12 + 1].y}, {79.5f, 49.5f}));

    // Style 4 right-aligns each line; 0x20 moves the block up by its height.
    device.ClearDraws();
    ASSERT_EQ(font.Draw(100.7f, 50, 0xFFFFFFFF, "AB\nABCDE", 4 | 0x20, 0.0f), 0);
    v = Vertices(device.GetDraws()[0]);
    EXPECT_TRUE(FloatsEq({v[1].x, v[1].y, v[13].x}, {83.5f, 29.5f, 59.5f}));
    // Both 2 and 4: centring wins; both 0x10 and 0x20: up by 1.5 heights.
    device.ClearDraws();
    ASSERT_EQ(font.Draw(100, 50, 0xFFFFFFFF, "AB", 6 | 0x30, 0.0f), 0);
    v = Vertices(device.GetDraws()[0]);
    EXPECT_TRUE(FloatsEq({v[1].x, v[1].y}, {91.5f, 34.5f}));
}

// A block of odd height moved up by half of it starts on a whole pixel, as a
// centred line does across: every glyph row lands on a pixel row.
TEST_F(FontFixture, AMiddleAlignedBlockOfOddHeightStaysOnWholePixels) {
    fake.faces.cx = 8;
    fake.faces.cy = 11;
    ASSERT_EQ(font.Create(nullptr, "Face", 12, 0, &device, "AB_", nullptr, 0.0f), 1);
    device.ClearDraws();
    ASSERT_EQ(font.Draw(100, 50, 0xFFFFFFFF, "A_", 2 | 0x10, 0.0f), 0);
    ASSERT_EQ(device.GetDraws().size(), 1u);
    const auto v = Vertices(device.GetDraws()[0]);
    // y = floor(50 - 5.5) = 44; the quads' corners lie half a pixel before.
    EXPECT_TRUE(FloatsEq({v[1].y, v[0].y, v[7].y}, {43.5f, 54.5f, 43.5f}));
    device.ClearDraws();
    ASSERT_EQ(font.Draw(100, 50, 0xFFFFFFFF, "_", 0x30, 0.0f), 0);
    EXPECT_TRUE(FloatsEq({Vertices(device.GetDraws()[0])[1].y}, {32.5f}));
}

TEST_F(FontFixture, FontsWithNothingToDrawWithDrawNothing) {
    // No glyph records.
    Make("");
    int w = -1;
    int h = -1;
    EXPECT_EQ((std::tuple{font.Measure("ABC", &w, &h, false), w, h}), (std::tuple{0, 0, 0}));
    EXPECT_EQ(font.Draw(0, 0, 0xFFFFFFFF, "ABC", 0, 0.0f), 0);
    EXPECT_TRUE(device.GetDraws().empty());

    // No sheet texture: the face could not be had.
    fake.faces.fail = true;
    ASSERT_EQ(font.Create(nullptr, "Face", 12, 0, &device, "ABC", nullptr, 0.0f), 1);
    EXPECT_EQ(font.GetSheetTexture(), nullptr);
    EXPECT_EQ(font.Draw(0, 0, 0xFFFFFFFF, "ABC", 0, 0.0f), 0);
    EXPECT_TRUE(device.GetDraws().empty());

    // A null text.
    fake.faces.fail = false;
    Make();
    EXPECT_EQ(font.Draw(0, 0, 0xFFFFFFFF, nullptr, 0, 0.0f), 0);
    EXPECT_TRUE(device.GetDraws().empty());
    EXPECT_NE(font.Measure(nullptr, &w, &h, false), 0);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{0, 0}));

    // No device.
    BitmapFont empty;
    EXPECT_NE(empty.Draw(0, 0, 0, "A", 0, 0.0f), 0);
}

TEST_F(FontFixture, CharacterListsKeepTheirFirst256AndTheLaterRecordOfATwin) {
    std::string list;
    for (int i = 0; i < 300; ++i) {
        list.push_back(char(32 + i % 200));
    }
    Make(list.c_str());
    EXPECT_EQ((std::tuple{font.glyphCount, font.glyphs.size()}), (std::tuple{256u, 256u}));
    // 'A' (65) is at 33 and again at 233.
    EXPECT_EQ(font.GlyphFor('A'), &font.glyphs[233]);
    // The default list: 109 characters, ß twice.
    ASSERT_EQ(font.Create(nullptr, "Face", 12, 0, &device, nullptr, nullptr, 0.0f), 1);
    EXPECT_EQ((std::tuple{font.glyphCount, font.characterList[108], font.GlyphFor(223)}),
              (std::tuple{109u, 223, &font.glyphs[108]}));
}

TEST_F(FontFixture, DeviceObjectsAreMadeAgainAfterARelease) {
    Make();
    EXPECT_TRUE(font.DeviceObjectsReady());
    font.ReleaseDeviceObjects();
    EXPECT_FALSE(font.DeviceObjectsReady());
    ASSERT_EQ(font.Draw(0, 0, 0xFFFFFFFF, "A", 0, 0.0f), 0);
    EXPECT_TRUE(font.DeviceObjectsReady());
    EXPECT_EQ(device.GetDraws().size(), 1u);
}

TEST_F(FontFixture, AttachUsesAPreparedSheetAndItsRecords) {
    gfx::Texture *sheet = nullptr;
    ASSERT_EQ(device.CreateTexture(128, 32, 1, 0, gfx::Format::A4R4G4B4, gfx::Pool::Managed,
                                   &sheet),
              0);
    BitmapFont prepared;
    EXPECT_EQ(prepared.Attach(nullptr, sheet), 0);
    EXPECT_EQ(prepared.Attach(&device, nullptr), 0);
    prepared.glyphCount = 2;
    prepared.characterList[0] = 'x';
    prepared.characterList[1] = 'y';
    prepared.glyphs = {{0.0f, 0.0f, 0.125f, 0.5f}, {0.125f, 0.0f, 0.1875f, 0.5f}};
    prepared.sheetScale = 1.0f;
    ASSERT_EQ(prepared.Attach(&device, sheet), 1);
    sheet->Release(); // the font holds its own reference
    EXPECT_EQ((std::tuple{prepared.sheetWidth, prepared.sheetHeight, prepared.GlyphFor('y')}),
              (std::tuple{128u, 32u, &prepared.glyphs[1]}));
    int w = 0;
    int h = 0;
    prepared.Measure("xy", &w, &h, false);
    EXPECT_EQ((std::tuple{w, h}), (std::tuple{24, 16}));
    ASSERT_EQ(prepared.Draw(0, 0, 0xFFFFFFFF, "y", 0, 0.0f), 0);
    ASSERT_FALSE(device.GetDraws().empty());
    EXPECT_EQ(device.GetDraws().back().textures[0], prepared.GetSheetTexture());
}
