// Texture, material and light items on the engine's library with a recording device: the size and
// format rules, loading and releasing, the failure texts, and the ambient colour.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "library/texture_items.h"
#include "library/video_items.h"
#include "platform/graphics.h"
#include "platform/texture_object.h"
#include "platform/video.h"
#include "support/fake_display.h"
#include "support/image_files.h"
#include "support/temp_folder.h"

namespace {

namespace Format = gfx::Format;

using testdisplay::QuietWindow;

class TextureItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateEngineServices(), 1);
        RegisterTextureItemLoaders();
        testdisplay::UseFakeAdapter();
        ASSERT_TRUE(GetGraphics()->CreateWindowDevice(&window_));
        GetD3DDevice()->SetMaxTextureSize(256);
        library_ = GetLibrary();
        library_->SetBaseFolder(temp_.Path().c_str());
        library_->SetTextureQuality(0, 1);
    }
    void TearDown() override {
        // The items' textures go before their device.
        for (uint32_t slot : slots_) {
            auto* t = dynamic_cast<TextureItem*>(library_->GetItemById(slot));
            if (t != nullptr && t->texture != nullptr) {
                DestroyTextureObject(t->texture);
                t->texture = nullptr;
                t->loaded = 0;
            }
        }
        library_->SetTextureQuality(0, 1);
        testdisplay::RestoreGlAdapter();
    }

    // Writes Data/<name> holding a TGA of that size (32-bit).
    void PutTga(const std::string& name, uint32_t w, uint32_t h) {
        temp_.Put("Data/" + name,
                  imagefiles::Tga(imagefiles::Pattern(w, h, 2, true), w, h, {}));
    }
    void PutPng(const std::string& name, uint32_t w, uint32_t h) {
        temp_.Put("Data/" + name, imagefiles::Png(imagefiles::Pattern(w, h, 2, false), w, h,
                                                  imagefiles::PngKind::Rgb8));
    }

    // Reads the items into the library's table (records only).
    void Store(const std::vector<std::pair<uint32_t, LibraryItem*>>& items, uint32_t version = 7) {
        LibraryWriter writer(version);
        for (const auto& [slot, item] : items) {
            writer.AddItem(slot, *item);
            slots_.push_back(slot);
        }
        const std::vector<uint8_t> bytes = writer.WriteToMemory();
        ASSERT_FALSE(bytes.empty());
        Archive archive;
        archive.OpenMemory(bytes.data(), uint32_t(bytes.size()));
        ASSERT_EQ(library_->ReadLibraryArchive(archive, 1), 1);
    }

    TextureItem* StoreTexture(uint32_t slot, const std::string& file, uint32_t kind, uint32_t w,
                              uint32_t h, uint32_t version = 7) {
        TextureItem item;
        item.name = "t" + std::to_string(slot);
        item.fileName = file;
        item.kind = kind;
        item.width = w;
        item.height = h;
        Store({{slot, &item}}, version);
        return static_cast<TextureItem*>(library_->GetItemById(slot));
    }

    struct Made {
        uint32_t width = 0, height = 0, format = 0;
    };
    Made LoadAndDescribe(TextureItem* item) {
        Made m;
        EXPECT_EQ(item->Load(), 1) << item->fileName;
        if (item->texture != nullptr) {
            m.width = GetTextureObjectWidth(item->texture);
            m.height = GetTextureObjectHeight(item->texture);
            m.format = item->texture->texture->GetFormat();
        }
        return m;
    }

    QuietWindow window_;
    TempFolder temp_;
    ResourceLibrary* library_ = nullptr;
    std::vector<uint32_t> slots_;
};

TEST_F(TextureItemsTest, SizeFollowsKindDivisorAndFile) {
    PutTga("small.tga", 32, 16);
    PutTga("odd.tga", 100, 60);
    struct Case {
        uint32_t divisor;
        const char* file;
        uint32_t kind, w, h, version, madeW, madeH;
    } cases[] = {
        {2, "small.tga", 3, 256, 256, 7, 32, 16},       // kind 3: the file's size
        {5, "small.tga", 3, 100, 60, 7, 32, 16},        // 20 x 12 raised to 32 x 16
        {5, "small.tga", 3, 10, 10, 7, 4, 4},           // 2 x 2: at least 4
        {2, "small.tga", 0, 64, 64, 2, 32, 32},         // version 2: kind 0 loads as 1
        {0, "small.tga", 0, 64, 32, 7, 64, 32},         // divisor 0 acts as 1
        {1, "small.tga", 0, 0xFFFFFFFFu, 16, 7, 256, 16}, // the device maximum
        {1, "odd.tga", 3, 100, 60, 7, 128, 64},         // powers of two
    };
    uint32_t slot = 100;
    for (const Case& c : cases) {
        library_->SetTextureQuality(0, c.divisor);
        TextureItem* item = StoreTexture(slot++, c.file, c.kind, c.w, c.h, c.version);
        const Made m = LoadAndDescribe(item);
        EXPECT_EQ(m.width * 1000 + m.height, c.madeW * 1000 + c.madeH) << slot;
        EXPECT_EQ(item->height, c.h); // the record stays
    }
}

TEST_F(TextureItemsTest, FormatFollowsModeKindAndExtension) {
    PutTga("WALL.TGA", 8, 8);
    PutPng("floor.png", 8, 8);
    struct Case {
        uint32_t mode, kind;
        const char* file;
        uint32_t format;
    };
    const Case cases[] = {
        {3, 1, "floor.png", Format::Dxt1},    {3, 1, "WALL.TGA", Format::Dxt2},
        {2, 1, "WALL.TGA", Format::A4R4G4B4}, {2, 1, "floor.png", Format::R5G6B5},
        {1, 1, "WALL.TGA", Format::A8R8G8B8}, {1, 1, "floor.png", Format::R5G6B5},
        {3, 4, "floor.png", Format::X8R8G8B8}, {0, 1, "WALL.TGA", Format::A8R8G8B8},
        {0, 1, "floor.png", Format::X8R8G8B8}, {7, 1, "floor.png", Format::X8R8G8B8},
    };
    uint32_t slot = 120;
    for (const Case& c : cases) {
        library_->SetTextureQuality(c.mode, 1);
        Made m = LoadAndDescribe(StoreTexture(slot++, c.file, c.kind, 8, 8));
        EXPECT_EQ(m.format, c.format) << "mode " << c.mode << " kind " << c.kind << " " << c.file;
    }
    EXPECT_EQ(ChooseTextureRequest(1, 8, 8, 3, 1, ".Tga").format, Format::Dxt2);
}

TEST_F(TextureItemsTest, MissingFileFailsWithTheTextAndTheNextLoadTriesAgain) {
    TextureItem* item = StoreTexture(130, "later.tga", 1, 16, 16);
    library_->ReportLibraryError("before");
    EXPECT_EQ(item->Load(), 0);
    EXPECT_TRUE(item->loaded == 0 && item->texture == nullptr);
    EXPECT_STREQ(library_->GetLastError(), "Error: Create Texture Library Item Texture");

    PutTga("later.tga", 16, 16);
    EXPECT_EQ(item->Load(), 1);
    EXPECT_TRUE(item->loaded == 1 && item->texture != nullptr);

    // Release frees the texture; a second Release has nothing to do.
    EXPECT_EQ(item->Release(), 1);
    EXPECT_TRUE(item->loaded == 0 && item->texture == nullptr);
    EXPECT_EQ(item->Release(), 1);

    library_->ReportLibraryError("before");
    EXPECT_EQ(library_->LoadTextureFile(nullptr), 0);
    EXPECT_STREQ(library_->GetLastError(), "Error: Create Texture Library Item Texture");
}

TEST_F(TextureItemsTest, CorruptFileFailsAndLoadedWithoutTextureStaysAsItIs) {
    temp_.Put("Data/broken.tga", std::string(18, '\x07'));
    TextureItem* item = StoreTexture(131, "broken.tga", 1, 16, 16);
    EXPECT_EQ(item->Load(), 0);
    EXPECT_EQ(item->texture, nullptr);
    // Loaded without a texture object: Release changes nothing.
    item->loaded = 1;
    EXPECT_EQ(item->Release(), 1);
    EXPECT_EQ(item->loaded, 1u);
    item->loaded = 0;
}

TEST_F(TextureItemsTest, RefusedFilesAreNamedInTheLibraryError) {
    // A bitmap cut inside its header, then a mesh of a kind nothing reads.
    temp_.Put("Data/Textures/crate.bmp", "BM" + std::string(20, '\x01'));
    TextureItem crate;
    crate.name = "Crate";
    crate.fileName = "Textures\\crate.bmp";
    crate.kind = 1;
    crate.width = crate.height = 16;
    MeshItem rock;
    rock.name = "Rock";
    rock.fileName = "rock.obj";
    const std::string base = temp_.Path();
    const struct {
        LibraryItem* item;
        uint32_t slot;
        std::string text;
    } cases[] = {
        {&crate, 140,
         "Fatal Library Serialization Error (item \"Crate\", file \"" + base +
             "\\Data\\Textures\\crate.bmp\": the bitmap decoder refused it)"},
        {&rock, 141,
         "Fatal Library Serialization Error (item \"Rock\", file \"" + base +
             "\\Data\\rock.obj\": Error Unsupported format)"},
    };
    for (const auto& c : cases) {
        LibraryWriter writer(7);
        writer.AddItem(c.slot, *c.item);
        slots_.push_back(c.slot);
        const std::vector<uint8_t> bytes = writer.WriteToMemory();
        Archive archive;
        archive.OpenMemory(bytes.data(), uint32_t(bytes.size()));
        EXPECT_EQ(library_->ReadLibraryArchive(archive, 0), 0);
        EXPECT_EQ(library_->GetLastError(), c.text);
    }

    // A record cut short keeps the bare text.
    LibraryWriter writer(7);
    writer.AddItem(142, crate);
    std::vector<uint8_t> bytes = writer.WriteToMemory();
    bytes.resize(bytes.size() - 4);
    Archive archive;
    archive.OpenMemory(bytes.data(), uint32_t(bytes.size()));
    EXPECT_EQ(library_->ReadLibraryArchive(archive, 0), 0);
    EXPECT_STREQ(library_->GetLastError(), "Fatal Library Serialization Error");
}

TEST_F(TextureItemsTest, FilmsWaitForTheVideoModule) {
    TextureItem* film = StoreTexture(132, "intro.MPG", 1, 16, 16);
    SetOpenVideoTextureHook(nullptr);  // the engine's services install the video module's
    EXPECT_EQ(film->Load(), 0);
    EXPECT_EQ(film->loaded, 0u);
    SetOpenVideoTextureHook([](const char*) -> TextureObject* { return nullptr; });
    EXPECT_EQ(film->Load(), 1);  // done whatever the video module answers
    InstallVideoHooks();
    film->loaded = 0;
}

TEST_F(TextureItemsTest, MaterialLoadsItsTexturesAndSkipsBadSlots) {
    PutTga("a.tga", 8, 8);
    PutTga("b.tga", 8, 8);
    TextureItem a, b;
    a.fileName = "a.tga";
    a.kind = b.kind = 3;
    b.fileName = "b.tga";
    MaterialItem material;
    material.name = "wall";
    material.textureIds = {140, 7000, 145, 141};  // 145 is an empty slot
    Store({{140, &a}, {141, &b}, {142, &material}});
    auto* ta = static_cast<TextureItem*>(library_->GetItemById(140));
    auto* tb = static_cast<TextureItem*>(library_->GetItemById(141));
    auto* m = library_->GetItemById(142);

    library_->ReportLibraryError("before");
    EXPECT_EQ(m->Load(), 1);
    // The material's own flag stays.
    EXPECT_EQ(std::vector<uint32_t>({ta->loaded, tb->loaded, m->loaded}),
              std::vector<uint32_t>({1, 1, 0}));
    EXPECT_STREQ(library_->GetLastError(), "Error Invalid Container ID");

    // Without its flag the material releases nothing; with it, every texture.
    EXPECT_EQ(m->Release(), 1);
    EXPECT_EQ(ta->loaded, 1u);
    m->loaded = 1;
    EXPECT_EQ(m->Release(), 1);
    EXPECT_EQ(ta->loaded + tb->loaded + m->loaded, 0u);

    // An empty slot alone is skipped without a text.
    MaterialItem lone;
    lone.textureIds = {146};
    Store({{143, &lone}});
    library_->ReportLibraryError("before");
    EXPECT_EQ(library_->GetItemById(143)->Load(), 1);
    EXPECT_STREQ(library_->GetLastError(), "before");
}

TEST_F(TextureItemsTest, AmbientLightIsPackedWithClampedComponents) {
    auto ambient = [] {
        uint32_t v = 0;
        GetD3DDevice()->GetRenderState(gfx::RenderState::Ambient, &v);
        return v;
    };
    library_->SetAmbientLight(0.5f, 0.25f, 1.0f, 1.0f);
    EXPECT_EQ(ambient(), 0xFF7F3FFFu);
    library_->SetAmbientLight(1.5f, -0.2f, 0.0f, 1.0f);
    EXPECT_EQ(ambient(), 0xFFFF0000u);
    EXPECT_EQ(PackAmbientColor(std::numeric_limits<float>::quiet_NaN(), 1.0f, 1.0f, 0.0f),
              0x0000FFFFu);
}

}  // namespace
