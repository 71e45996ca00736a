// Font items of the library and the text queue, on a RecordingDevice with a
// glyph source of made-up metrics.
#include <gtest/gtest.h>

#include <cmath>

#include "base/file_system.h"
#include "library/bitmap_font.h"
#include "library/display.h"
#include "library/library_writer.h"
#include "library/render/font_services.h"
#include "library/render/screen_layers.h"
#include "platform/font/font_test_util.h"
#include "platform/texture_object.h"
#include "support/float_list.h"

using fonttest::FakeFontScope;
using fonttest::LogHas;
using fonttest::RecordingGraphicsScope;
using fonttest::Vertices;

namespace {

struct FontServicesFixture : ::testing::Test {
    FakeFontScope fake;
    RecordingGraphicsScope graphics;
    ResourceLibrary &library = graphics.library;
    FontItem *previousDefault = nullptr;
    void SetUp() override {
        ASSERT_NE(graphics.device, nullptr);
        fake.faces.cx = 8;
        fake.faces.cy = 10;
        RegisterFontServices();
        previousDefault = GetDefaultFontItem();
        SetDefaultFontItem(nullptr);
    }
    void TearDown() override {
        delete GetDefaultFontItem();
        SetDefaultFontItem(previousDefault);
    }
    gfx::RecordingDevice &Device() { return *graphics.device; }
};

} // namespace

TEST_F(FontServicesFixture, BuildFontNeedsAFaceAndBuildsFromItWithoutASheetItem) {
    FontItem item;
    EXPECT_EQ((std::tuple{library.BuildFont(&item), library.BuildFont(nullptr)}),
              (std::tuple{0, 0}));
    item.faceName = "Face";
    item.size = 12;
    item.styleFlags = 1;
    item.spacing = 1;
    for (uint32_t slot : {0u, kNoSlot, 1234u}) {
        item.glyphTexture = slot;
        fake.faces.requests.clear();
        ASSERT_EQ(library.BuildFont(&item), 1);
        ASSERT_EQ(fake.faces.requests.size(), 1u) << slot;
        EXPECT_EQ(fake.faces.requests[0].pixelHeight, 16);
        EXPECT_TRUE(fake.faces.requests[0].bold);
        EXPECT_EQ(item.glyphTexture, kNoSlot) << slot;
        EXPECT_EQ(item.font->glyphCount, 224u);
        EXPECT_FLOAT_EQ(item.font->spacing, 1.0f);
        EXPECT_EQ(item.font->GetDevice(), &Device());
    }
    // The loader table builds through the library.
    FontItem loaded;
    loaded.faceName = "Face";
    EXPECT_EQ((std::tuple{loaded.Load(), loaded.loaded}), (std::tuple{1, 1u}));
    EXPECT_NE(loaded.font->GetSheetTexture(), nullptr);
    EXPECT_EQ(loaded.Release(), 1);
    EXPECT_NE(loaded.font->GetSheetTexture(), nullptr);
}

TEST_F(FontServicesFixture, AFontIsBuiltOnceUntilItsItemIsReleased) {
    FontItem item;
    item.faceName = "Face";
    fake.faces.requests.clear();
    // Loads, current-font selections of it and measures build it once.
    EXPECT_EQ((std::tuple{library.LoadItem(&item), item.Load(), library.LoadItem(&item)}),
              (std::tuple{1, 1, 1}));
    for (int frame = 0; frame < 3; ++frame) {
        library.SetCurrentFont(&item);
        MeasureText(&item, "A", nullptr, nullptr);
    }
    const BitmapFont *built = item.font.get();
    EXPECT_EQ((std::tuple{fake.faces.requests.size(), item.loaded, library.GetCurrentFont()}),
              (std::tuple{size_t(1), 1u, &item}));

    // Released, it keeps its font for the texts still naming it; the next
    // load builds it again, once.
    EXPECT_EQ(library.ReleaseItem(&item), 1);
    EXPECT_EQ((std::tuple{item.loaded, item.font.get()}), (std::tuple{0u, built}));
    EXPECT_NE(item.font->GetSheetTexture(), nullptr);
    library.SetCurrentFont(&item);
    library.SetCurrentFont(&item);
    library.LoadItem(&item);
    EXPECT_EQ((std::tuple{fake.faces.requests.size(), item.loaded}), (std::tuple{size_t(2), 1u}));
    library.SetCurrentFont(nullptr);
}

TEST_F(FontServicesFixture, APreparedSheetItemAttachesWithItsRecordsGlyphs) {
    // A library holding a sheet texture (slot 3) and a font whose record
    // carries the glyph section for it (slot 5).
    TextureItem sheetRecord;
    sheetRecord.name = "sheet";
    FontItem fontRecord;
    fontRecord.name = "font";
    fontRecord.faceName = "Face";
    fontRecord.glyphTexture = 3;
    BitmapFont &f = *fontRecord.font;
    f.sheetWidth = 128;
    f.sheetHeight = 32;
    f.sheetScale = 1.0f;
    f.characterList[0] = 'x';
    f.characterList[1] = 'y';
    f.glyphs = {{0.0f, 0.0f, 0.125f, 0.5f}, {0.125f, 0.0f, 0.1875f, 0.5f}};
    LibraryWriter writer;
    writer.AddItem(3, sheetRecord);
    writer.AddItem(5, fontRecord);
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    Archive archive;
    ASSERT_TRUE(archive.OpenMemory(bytes.data(), uint32_t(bytes.size())));
    ASSERT_TRUE(library.ReadLibraryArchive(archive, 1));

    auto *sheetItem = static_cast<TextureItem *>(library.GetItemById(3));
    auto *item = static_cast<FontItem *>(library.GetItemById(5));
    ASSERT_TRUE(sheetItem != nullptr && item != nullptr);
    gfx::Texture *sheet = nullptr;
    ASSERT_EQ(Device().CreateTexture(128, 32, 1, 0, gfx::Format::A4R4G4B4, gfx::Pool::Managed,
                                     &sheet),
              0);
    sheetItem->texture = new TextureObject();
    sheetItem->texture->texture = sheet;
    sheetItem->loaded = 1;

    ASSERT_EQ(item->Load(), 1);
    EXPECT_TRUE(fake.faces.requests.empty()); // no face was rasterised
    EXPECT_EQ((std::tuple{item->glyphTexture, item->font->GetSheetTexture()}),
              (std::tuple{3u, sheet}));
    ASSERT_EQ(item->font->glyphs.size(), 2u);
    EXPECT_FLOAT_EQ(item->font->glyphs[1].left, 0.125f);
    EXPECT_FLOAT_EQ(item->font->glyphs[1].right, 0.1875f);
    EXPECT_EQ(item->font->GlyphFor('y'), &item->font->glyphs[1]);
    float w = 0.0f;
    float h = 0.0f;
    MeasureText(item, "xy\nx", &w, &h);
    EXPECT_TRUE(FloatsEq({w, h}, {24.0f, 32.0f}));
    DrawTextNow(0, 0, 0, 1, 1, 1, 1, "y", false, item);
    ASSERT_EQ(Device().GetDraws().size(), 1u);
    EXPECT_EQ(Device().GetDraws()[0].textures[0], sheet);

    item->font->Release();
    sheetItem->texture->texture->Release();
    delete sheetItem->texture;
    sheetItem->texture = nullptr;
    sheetItem->loaded = 0;
}

TEST_F(FontServicesFixture, CreateFontItemAndTheDefaultFont) {
    EXPECT_EQ(library.CreateFontItem(nullptr, 12, nullptr), nullptr);
    EXPECT_EQ(library.CreateFontItem("", 12, "AB"), nullptr);
    FontItem *item = library.CreateFontItem("Face", 12, nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->characterSet.size(), 224u);
    EXPECT_EQ(item->font->glyphCount, 224u);
    delete item;
    item = library.CreateFontItem("Face", 9, "XYZ");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->font->glyphCount, 3u);
    delete item;

    // The device set-up's step: "Lucida Console", 6 points, current font.
    fake.faces.requests.clear();
    library.StartDeviceServices(1);
    ASSERT_NE(GetDefaultFont(), nullptr);
    ASSERT_FALSE(fake.faces.requests.empty());
    EXPECT_EQ(fake.faces.requests[0].face, "Lucida Console");
    EXPECT_EQ(fake.faces.requests[0].pixelHeight, 8);
    EXPECT_FALSE(fake.faces.requests[0].antialiased);
    EXPECT_EQ(library.GetCurrentFont(), GetDefaultFont());
}

TEST_F(FontServicesFixture, MeasureTextLoadsTheItemAndMeasuresAllLines) {
    FontItem item;
    item.faceName = "Face";
    float w = -1.0f;
    float h = -1.0f;
    MeasureText(&item, "AB\nABC", &w, &h);
    EXPECT_EQ(item.loaded, 1u);
    EXPECT_TRUE(FloatsEq({w, h}, {24.0f, 20.0f}));
    MeasureText(&item, nullptr, &w, &h);
    EXPECT_TRUE(FloatsEq({w, h}, {0.0f, 0.0f}));
    MeasureText(nullptr, "A", &w, &h);
    EXPECT_FLOAT_EQ(w, 0.0f);
}

TEST_F(FontServicesFixture, DrawTextNowTruncatesColoursAndCentres) {
    // No font at all: nothing.
    DrawTextNow(0, 0, 0, 1, 1, 1, 1, "A", false, nullptr);
    EXPECT_TRUE(Device().GetDraws().empty());

    SetDefaultFontItem(library.CreateFontItem("Face", 12, nullptr));
    DrawTextNow(100, 10, 0.0f, 0.5f, 1.2f, -0.1f, std::nanf(""), "AB", true, nullptr);
    ASSERT_EQ(Device().GetDraws().size(), 1u);
    auto v = Vertices(Device().GetDraws()[0]);
    EXPECT_EQ(v[0].color, 0x007FFF00u);
    EXPECT_FLOAT_EQ(v[1].x, 91.5f); // centred: 100 - 8
    DrawTextNow(0, 0, 0, 1, 1, 1, 1, nullptr, false, nullptr);
    EXPECT_EQ(Device().GetDraws().size(), 1u);
    EXPECT_EQ(TruncateColorChannel(0.999f), 254u);
    EXPECT_EQ(TruncateColorChannel(1.0f), 255u);
}

TEST_F(FontServicesFixture, QueuedTextsDrawInOrderWithTheirFonts) {
    SetDefaultFontItem(library.CreateFontItem("Face", 12, nullptr));
    FontItem *other = library.CreateFontItem("Other", 12, nullptr);
    ASSERT_NE(other, nullptr);
    library.SetCurrentFont(other);
    library.QueueText(1, 2, 0.5f, 0, 0, 1, "A", 0);
    library.SetCurrentFont(nullptr);
    EXPECT_EQ(library.GetCurrentFont(), GetDefaultFont());
    library.QueueTextEx(3, 4, 1, 1, 1, 1, "BB", 0, 0.5f);
    library.QueueText(5, 6, 1, 1, 1, 1, nullptr, 0);
    ASSERT_EQ(library.GetScreenLayers().texts.size(), 3u);
    EXPECT_EQ(library.GetScreenLayers().texts[0].font, other);
    EXPECT_EQ(library.GetScreenLayers().texts[1].font, nullptr);

    Device().ClearLog();
    library.DrawQueuedText(false);
    ASSERT_EQ(Device().GetDraws().size(), 2u);
    auto a = Vertices(Device().GetDraws()[0]);
    auto b = Vertices(Device().GetDraws()[1]);
    EXPECT_EQ(Device().GetDraws()[0].textures[0], other->font->GetSheetTexture());
    EXPECT_EQ(Device().GetDraws()[1].textures[0], GetDefaultFont()->font->GetSheetTexture());
    EXPECT_EQ(a[0].color, 0xFF800000u); // packed with rounding
    EXPECT_TRUE(FloatsEq({a[0].z, b[0].z}, {1.0f, 0.5f}));
    // The line without text drew an empty text: its states were saved and
    // restored, nothing drawn.
    int captures = 0;
    for (const std::string &line : Device().GetLog()) {
        captures += line.rfind("CaptureStateBlock", 0) == 0;
    }
    EXPECT_EQ((std::tuple{captures, library.GetScreenLayers().texts.size()}), (std::tuple{3, 3u}));
    library.DrawQueuedText(true);
    EXPECT_TRUE(library.GetScreenLayers().texts.empty());
    delete other;
}
