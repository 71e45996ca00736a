#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "library_test_util.h"

using libtest::ReadBytes;
using libtest::SampleTable;

namespace {

// A library with a few same-named items of different classes.
class LibraryLookup : public ::testing::Test {
protected:
    void SetUp() override {
        SampleTable t;
        t.Add<MaterialItem>(3, "wall").bucketMask = 8;
        t.Add<TextureItem>(7, "WALL");
        auto& sound = t.Add<SoundItem>(9, "step");
        sound.flags = 1;
        sound.volume = 0.25f;
        sound.category = 5;
        sound.fileName = "step.wav";
        t.Add<MotionItem>(12, "R_F_run");
        t.Add<MotionItem>(11, "r_f_walk");
        t.Add<MotionItem>(13, "R_B_walk");
        t.Add<MotionItem>(14, "R_");
        t.Add<TextureItem>(15, "R_F_texture");
        t.Add<FontItem>(20, "GameFont");
        ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1) << lib.GetLastError();
    }

    ResourceLibrary lib;
};

} // namespace

TEST_F(LibraryLookup, GetItemByIdChecksTheIndexAndDoesNotMark) {
    EXPECT_EQ(lib.GetItemById(7000), nullptr);
    EXPECT_STREQ(lib.GetLastError(), "Error Invalid Container ID");
    EXPECT_TRUE(lib.GetItemById(0xFFFFFFFFu) == nullptr && lib.GetItemById(4) == nullptr);
    EXPECT_TRUE(ResourceLibrary::IsItemIndexValid(6999));
    LibraryItem* item = lib.GetItemById(7);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->used, 0u);
}

TEST_F(LibraryLookup, FindItemByNameIgnoresCaseAndFiltersClass) {
    LibraryItem* tex = lib.FindItemByName("wall", ItemClass::Texture);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->name, "WALL");
    EXPECT_EQ(tex->used, 1u);
    EXPECT_EQ(lib.GetItemById(3)->used, 0u); // the material was skipped

    LibraryItem* any = lib.FindItemByName("Wall", ItemClass::Any);
    ASSERT_NE(any, nullptr);
    EXPECT_EQ(any->slotIndex, 3u); // first in slot order
    EXPECT_EQ(lib.FindItemByName("wall", ItemClass::Sound), nullptr);
    EXPECT_EQ(lib.FindItemByName("wal", ItemClass::Any), nullptr);
    EXPECT_EQ(lib.FindItemByName(nullptr, ItemClass::Any), nullptr);
}

TEST_F(LibraryLookup, UseItemMarks) {
    EXPECT_TRUE(lib.UseItem(7000) == nullptr && lib.UseItem(4) == nullptr);
    LibraryItem* item = lib.UseItem(9);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->used, 1u);
    EXPECT_EQ(ResourceLibrary::GetItemIndex(nullptr), -1);
    EXPECT_EQ(ResourceLibrary::GetItemName(nullptr), nullptr);
}

TEST_F(LibraryLookup, FindItemsByPrefixListsMatchesInSlotOrder) {
    EXPECT_EQ(lib.FindItemsByPrefix("R_F", 3, ItemClass::Motion),
              (std::vector<uint32_t>{11, 12}));
    EXPECT_EQ(lib.FindItemsByPrefix("r_b_x", 3, ItemClass::Motion), (std::vector<uint32_t>{13}));
    // A prefix shorter than n matches only a name equal to it.
    EXPECT_EQ(lib.FindItemsByPrefix("R_", 3, ItemClass::Motion), (std::vector<uint32_t>{14}));
    EXPECT_TRUE(lib.FindItemsByPrefix("Z", 1, ItemClass::Motion).empty());
    EXPECT_EQ(lib.FindItemsByPrefix("anything", 0, ItemClass::Motion).size(), 4u);
}

TEST_F(LibraryLookup, AcquireItemWithTheWrongClassMarksNothing) {
    for (auto [slot, cls, copy] : {std::tuple{7u, ItemClass::Material, 0u},
                                   {7u, ItemClass::Material, 1u},
                                   {4u, ItemClass::Texture, 0u},
                                   {7000u, ItemClass::Texture, 0u}}) {
        EXPECT_EQ(lib.AcquireItem(slot, cls, copy, 0), nullptr) << slot;
    }
    EXPECT_EQ(lib.GetItemById(7)->used, 0u);
    LibraryItem* tex = lib.AcquireItem(7, ItemClass::Texture, 1, 0); // no copy for textures
    EXPECT_EQ(tex, lib.GetItemById(7));
    EXPECT_EQ(tex->used, 1u);
}

TEST_F(LibraryLookup, SoundCopyIsPrivate) {
    auto* source = static_cast<SoundItem*>(lib.GetItemById(9));
    auto* copy = static_cast<SoundItem*>(lib.AcquireItem(9, ItemClass::Sound, 1, 2));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, source);
    EXPECT_EQ(std::vector<uint32_t>({copy->sourceSlot, copy->flags, copy->category, copy->loaded,
                                     copy->used, source->used, source->flags}),
              std::vector<uint32_t>({9, 3, 5, 0, 0, 0, 1}));
    EXPECT_FLOAT_EQ(copy->volume, 0.25f);
    EXPECT_EQ(copy->name + copy->fileName, "");
    lib.DeleteItemIfUnused(copy); // LeakSanitizer checks that it went
    EXPECT_EQ(lib.GetItemById(9), source);

    // By name: the same copy rules.
    auto* named = static_cast<SoundItem*>(lib.AcquireItemByName("STEP", ItemClass::Sound, 1, 0));
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->sourceSlot, 9u);
    EXPECT_EQ(named->flags, 1u);
    lib.DeleteItemIfUnused(named);
    EXPECT_EQ(lib.AcquireItemByName("step", ItemClass::Motion, 1, 0), nullptr);
    EXPECT_EQ(source->used, 0u);
}

TEST_F(LibraryLookup, TableItemsAreNeverDeleted) {
    LibraryItem* byName = lib.FindItemByName("step", ItemClass::Sound);
    lib.DeleteItemIfUnused(byName);
    LibraryItem* byId = lib.GetItemById(7); // not marked used
    ASSERT_EQ(byId->used, 0u);
    lib.DeleteItemIfUnused(byId);
    lib.DeleteItemIfUnused(nullptr);
    // Both still live in their slots (AddressSanitizer would catch a use after free here).
    EXPECT_EQ(lib.GetItemById(9)->name + lib.GetItemById(7)->name, "stepWALL");
    // A sound acquired without the copy flag is the table item.
    LibraryItem* shared = lib.AcquireItem(9, ItemClass::Sound, 0, 2);
    EXPECT_EQ(shared, lib.GetItemById(9));
    lib.DeleteItemIfUnused(shared);
    EXPECT_EQ(lib.GetItemById(9)->name, "step");
}

TEST_F(LibraryLookup, MaterialCopyOfAUsedItemIsDeleted) {
    auto* source = static_cast<MaterialItem*>(lib.FindItemByName("wall", ItemClass::Material));
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->used, 1u);
    source->loaded = 1;
    auto* copy = static_cast<MaterialItem*>(lib.AcquireItem(3, ItemClass::Material, 1, 0));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, source);
    EXPECT_EQ(copy->name, "wall");
    EXPECT_EQ(std::vector<uint32_t>({copy->slotIndex, copy->bucketMask, copy->loaded, copy->used}),
              std::vector<uint32_t>({3, 8, 1, 0}));
    copy->loaded = 0; // nothing to release here
    lib.DeleteItemIfUnused(copy);
    EXPECT_EQ(lib.GetItemById(3), source);
}

TEST_F(LibraryLookup, MotionCopyIsDeep) {
    auto* source = static_cast<MotionItem*>(lib.GetItemById(12));
    source->recordTracks.push_back(libtest::MakeTrack("Bip01", 0.0f));
    source->ResetWorkingTracks();
    source->displacement[2] = 3.0f;
    source->used = 1;
    auto* copy = static_cast<MotionItem*>(lib.AcquireItem(12, ItemClass::Motion, 1, 0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->name, "R_F_run");
    EXPECT_FLOAT_EQ(copy->displacement[2], 3.0f);
    ASSERT_EQ(copy->tracks.size(), 1u);
    ASSERT_EQ(copy->recordTracks.size(), 1u);
    EXPECT_NE(copy->tracks[0].get(), source->tracks[0].get());
    EXPECT_NE(copy->recordTracks[0].get(), source->recordTracks[0].get());
    EXPECT_EQ(copy->used, 0u);
    lib.DeleteItemIfUnused(copy);
    EXPECT_EQ(source->tracks.size(), 1u);
}

namespace {

int g_loads = 0;
int g_releases = 0;
int g_failLoad = 0;

int CountingLoad(LibraryItem& item) {
    ++g_loads;
    if (g_failLoad) {
        return 0;
    }
    item.loaded = 1;
    return 1;
}

int CountingRelease(LibraryItem& item) {
    ++g_releases;
    item.loaded = 0;
    return 1;
}

// Registers counting loaders for every class and removes them again.
class LoaderScope {
public:
    LoaderScope() {
        g_loads = g_releases = g_failLoad = 0;
        for (ItemClass c : kClasses) {
            SetItemLoader(c, {CountingLoad, CountingRelease});
        }
    }
    ~LoaderScope() {
        for (ItemClass c : kClasses) {
            SetItemLoader(c, {});
        }
    }
    static constexpr ItemClass kClasses[] = {ItemClass::Texture,  ItemClass::Mesh,
                                             ItemClass::Sound,    ItemClass::Material,
                                             ItemClass::Light,    ItemClass::Motion,
                                             ItemClass::Font};
};

} // namespace

TEST(LibraryLoaders, EmptyTableAnswersLoadZeroReleaseOne) {
    TextureItem tex;
    ResourceLibrary lib;
    EXPECT_EQ(std::vector<int>({tex.Load(), tex.Release(), lib.LoadItem(&tex),
                                lib.ReleaseItem(&tex), lib.LoadItem(nullptr),
                                lib.ReleaseItem(nullptr)}),
              std::vector<int>({0, 1, 1, 1, 1, 1}));
}

TEST(LibraryLoaders, ModeZeroLoadsTexturesMeshesSoundsAndFonts) {
    SampleTable table;
    libtest::FillEveryClass(table); // 2 textures, mesh, sound, 2 fonts
    std::vector<uint8_t> bytes = table.Write(7);
    {
        LoaderScope loaders;
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, bytes, 1), 1);
        EXPECT_EQ(g_loads, 0);
        ResourceLibrary eager;
        ASSERT_EQ(ReadBytes(eager, bytes, 0), 1);
        EXPECT_EQ(g_loads, 6);
        EXPECT_EQ(eager.GetItemById(30)->loaded, 0u); // material: not loaded
        EXPECT_EQ(eager.GetItemById(1)->loaded, 1u);
        // Loaded items are released when the library goes.
    }
    {
        LoaderScope loaders;
        {
            ResourceLibrary eager;
            ASSERT_EQ(ReadBytes(eager, bytes, 0), 1);
        }
        EXPECT_EQ(g_releases, 6);
    }
    {
        LoaderScope loaders;
        g_failLoad = 1;
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, bytes, 0), 0);
        EXPECT_STREQ(lib.GetLastError(), "Fatal Library Serialization Error");
        EXPECT_NE(lib.GetItemById(1), nullptr); // the failed item stays
        EXPECT_EQ(lib.GetItemById(2), nullptr);
    }
}

TEST(LibraryLoaders, AcquiringAFontLoadsIt) {
    SampleTable t;
    t.Add<FontItem>(4, "f");
    LoaderScope loaders;
    ResourceLibrary lib;
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    LibraryItem* font = lib.AcquireItem(4, ItemClass::Font, 1, 0);
    EXPECT_EQ(font, lib.GetItemById(4));
    EXPECT_EQ(g_loads, 1);
    EXPECT_EQ(font->used, 1u);
}

TEST(LibraryErrors, LongMessagesAreCut) {
    ResourceLibrary lib;
    std::string text(2000, 'x');
    EXPECT_EQ(lib.ReportLibraryError("%s-%d", text.c_str(), 7), 0);
    EXPECT_EQ(std::string(lib.GetLastError()), std::string(511, 'x'));
    lib.ReportLibraryError("short %u", 5u);
    EXPECT_STREQ(lib.GetLastError(), "short 5");
}
