#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "library_test_util.h"

using libtest::Bytes;
using libtest::ReadBytes;
using libtest::SampleTable;

namespace {

constexpr char kFatal[] = "Fatal Library Serialization Error";

// Offset of the item count in a version-7 file without groups.
constexpr size_t kItemCountOffset = 28;

template <typename T>
T* ItemAt(ResourceLibrary& lib, uint32_t slot) {
    return dynamic_cast<T*>(lib.GetItemById(slot));
}

} // namespace

TEST(LibraryFile, RoundTripOfEveryClassIsByteIdentical) {
    SampleTable table;
    libtest::FillEveryClass(table);
    std::vector<uint8_t> written = table.Write(7, 50.0f);
    ASSERT_FALSE(written.empty());

    ResourceLibrary lib;
    ASSERT_EQ(ReadBytes(lib, written), 1) << lib.GetLastError();
    EXPECT_FLOAT_EQ(lib.GetWorldScale(), 50.0f);
    EXPECT_FLOAT_EQ(lib.GetInverseWorldScale(), 0.02f);

    for (size_t i = 0; i < table.items.size(); ++i) {
        LibraryItem* item = lib.GetItemById(table.slots[i]);
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(SameItemRecord(*item, *table.items[i])) << "slot " << table.slots[i];
        EXPECT_EQ(item->slotIndex, table.slots[i]);
        EXPECT_EQ(item->used + item->loaded, 0u);
    }
    auto* font = ItemAt<FontItem>(lib, 60);
    auto* plain = ItemAt<FontItem>(lib, 61);
    ASSERT_TRUE(font != nullptr && plain != nullptr);
    EXPECT_EQ(font->font->glyphCount, 2u);
    EXPECT_EQ(font->font->characterList[1], 'B');
    EXPECT_EQ(plain->glyphTexture, kNoSlot);
    EXPECT_TRUE(plain->font->glyphs.empty());
    auto* motion = ItemAt<MotionItem>(lib, 50);
    ASSERT_NE(motion, nullptr);
    ASSERT_EQ(motion->tracks.size(), 2u);
    EXPECT_STREQ(GetNameTable().GetName(motion->tracks[1]->nameId), "Bip01 Spine");
    EXPECT_EQ(motion->tracks[0]->matrixKeys.size(), 1u);

    LibraryWriter again(7);
    again.SetWorldScale(lib.GetWorldScale());
    again.AddTable(lib);
    EXPECT_EQ(again.WriteToMemory(), written);
}

// Writes one texture, mesh and sound at a version and reads them back.
struct GateResult {
    ResourceLibrary lib;
    size_t fileSize = 0;
    TextureItem* texture = nullptr;
    MeshItem* mesh = nullptr;
    SoundItem* sound = nullptr;
};

static void ReadAtVersion(uint32_t version, GateResult& r) {
    SampleTable t;
    auto& tex = t.Add<TextureItem>(1, "t");
    tex.kind = 0;
    auto& mesh = t.Add<MeshItem>(2, "m");
    mesh.meshWord = 9;
    mesh.meshScale = 3.0f;
    mesh.subsetSettings.resize(1);
    mesh.subsetSettings[0].secondTexture = 1;
    mesh.subsetSettings[0].boxMax[0] = 5.0f;
    auto& sound = t.Add<SoundItem>(3, "s");
    sound.volume = 0.5f;
    std::vector<uint8_t> bytes = t.Write(version, 25.0f);
    ASSERT_FALSE(bytes.empty());
    r.fileSize = bytes.size();
    ASSERT_EQ(ReadBytes(r.lib, bytes), 1) << "version " << version << ": " << r.lib.GetLastError();
    r.texture = dynamic_cast<TextureItem*>(r.lib.GetItemById(1));
    r.mesh = dynamic_cast<MeshItem*>(r.lib.GetItemById(2));
    r.sound = dynamic_cast<SoundItem*>(r.lib.GetItemById(3));
    ASSERT_TRUE(r.texture && r.mesh && r.sound);
}

TEST(LibraryFile, VersionGates) {
    size_t sizes[8] = {};
    for (uint32_t v = 1; v <= 7; ++v) {
        GateResult r;
        ReadAtVersion(v, r);
        if (HasFatalFailure()) {
            return;
        }
        sizes[v] = r.fileSize;
        SCOPED_TRACE("version " + std::to_string(v));
        EXPECT_FLOAT_EQ(r.lib.GetWorldScale(), v >= 2 ? 25.0f : 100.0f);
        EXPECT_FLOAT_EQ(r.lib.GetInverseWorldScale(), v >= 2 ? 0.04f : 0.01f);
        EXPECT_EQ(r.texture->kind, v < 3 ? 1u : 0u); // kind 0 becomes 1 before version 3
        EXPECT_FLOAT_EQ(r.mesh->subsetSettings[0].boxMax[0], v >= 3 ? 5.0f : 0.0f);
        EXPECT_EQ(r.mesh->meshWord, v >= 4 ? 9u : 0u);
        EXPECT_FLOAT_EQ(r.mesh->meshScale, v >= 6 ? 3.0f : 1.0f);
        EXPECT_FLOAT_EQ(r.sound->volume, v >= 5 ? 0.5f : 1.0f);
        EXPECT_EQ(r.mesh->subsetSettings[0].secondTexture, v >= 7 ? 1u : kNoSlot);
    }
    // The gated fields are absent from the file, not only ignored: scale and four reserved
    // words, subset bounds, mesh word, mesh scale.
    EXPECT_EQ(std::vector<size_t>({sizes[2] - sizes[1], sizes[3] - sizes[2], sizes[4] - sizes[3],
                                   sizes[5] - sizes[4], sizes[6] - sizes[5], sizes[7] - sizes[6]}),
              std::vector<size_t>({20, 44, 4, 0, 4, 0}));
}

TEST(LibraryFile, DuplicateSlotKeepsTheLaterItem) {
    SampleTable t;
    t.Add<TextureItem>(5, "first");
    t.Add<SoundItem>(5, "second");
    ResourceLibrary lib;
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1); // the first item was deleted (LeakSanitizer sees it)
    LibraryItem* item = lib.GetItemById(5);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->name == "second" && item->GetClass() == ItemClass::Sound);
}

TEST(LibraryFile, UnknownClassStopsAndKeepsEarlierItems) {
    for (uint32_t badClass : {3u, 8u, 0xFFFFFFFFu}) {
        SampleTable t;
        t.Add<TextureItem>(1, "kept");
        std::vector<uint8_t> bytes = t.Write(7);
        libtest::PatchU32(bytes, kItemCountOffset, 2);
        Bytes tail;
        tail.U32(badClass).U32(2).Common("bad");
        bytes.insert(bytes.end(), tail.data.begin(), tail.data.end());
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, bytes), 0);
        EXPECT_STREQ(lib.GetLastError(), "Fatal Library Serialization Error - Unknown Class ID");
        ASSERT_NE(lib.GetItemById(1), nullptr);
        EXPECT_EQ(lib.GetItemById(1)->name, "kept");
        EXPECT_EQ(lib.GetItemById(2), nullptr);
    }
}

TEST(LibraryFile, SlotBeyondTheTableIsRefused) {
    for (uint32_t slot : {7000u, 7001u, 0xFFFFFFFFu}) {
        Bytes b;
        b.Header(1).U32(0).U32(slot).Common("far").U32(0).U32(0).U32(0).U32(1).U32(4).U32(4);
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, b.data), 0);
        EXPECT_STREQ(lib.GetLastError(), kFatal);
        EXPECT_EQ(lib.FindItemByName("far", ItemClass::Any), nullptr);
    }
}

TEST(LibraryFile, FailedRecordStaysInItsSlot) {
    Bytes b;
    b.Header(2);
    b.U32(0).U32(1).Common("good").U32(0).U32(0).U32(0).U32(1).U32(4).U32(4);
    b.U32(0).U32(2).Common("cut").U32(0).U32(0); // texture fields end early
    ResourceLibrary lib;
    EXPECT_EQ(ReadBytes(lib, b.data), 0);
    EXPECT_STREQ(lib.GetLastError(), kFatal);
    ASSERT_TRUE(lib.GetItemById(1) != nullptr && lib.GetItemById(2) != nullptr);
    EXPECT_EQ(lib.GetItemById(2)->name, "cut");
}

TEST(LibraryFile, EveryTruncationFailsCleanly) {
    SampleTable table;
    libtest::FillEveryClass(table);
    std::vector<uint8_t> bytes = table.Write(7);
    ASSERT_FALSE(bytes.empty());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, part), 0) << "cut at " << cut;
        ASSERT_STREQ(lib.GetLastError(), kFatal) << "cut at " << cut;
    }
    ResourceLibrary whole;
    EXPECT_EQ(ReadBytes(whole, bytes), 1);
}

TEST(LibraryFile, HugeCountsAllocateNothing) {
    const uint32_t huge = 0xFFFFFFFFu;
    auto expectFail = [](const Bytes& b, const char* what) {
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, b.data), 0) << what;
        EXPECT_STREQ(lib.GetLastError(), kFatal) << what;
    };
    // Group count, a group's name count, item count.
    for (const std::vector<uint32_t>& tail :
         {std::vector<uint32_t>{huge}, {1, huge}, {0, huge}}) {
        Bytes b;
        b.U32(7).F32(100.0f).U32(0).U32(0).U32(0).U32(0);
        for (uint32_t w : tail) {
            b.U32(w);
        }
        expectFail(b, "header count");
    }
    // Subset, texture and track counts.
    expectFail(Bytes().Header(1).U32(1).U32(0).Common("mesh").U32(huge).U32(0).U32(0),
               "subset count");
    {
        Bytes b;
        b.Header(1).U32(4).U32(0).Common("mat");
        for (int i = 0; i < 17 + 3; ++i) {
            b.U32(0);
        }
        expectFail(b.U32(huge), "texture count");
    }
    expectFail(Bytes().Header(1).U32(6).U32(0).Common("motion").U32(huge), "track count");
    for (int which = 0; which < 4; ++which) {
        Bytes b;
        b.Header(1).U32(6).U32(0).Common("motion").U32(1).F32(1.0f).Text("bone");
        for (int k = 0; k < 4; ++k) {
            b.U32(k == which ? huge : 0);
        }
        expectFail(b, "key count");
    }
    {
        Bytes b;
        b.Header(1).U32(7).U32(0).Common("font").Text("Arial").Text("AB").U32(6).U32(0);
        b.U32(0).U32(3).U32(0); // style, glyph texture 3, spacing
        b.F32(0.0f).U32(64).U32(64).U32(huge).F32(1.0f);
        expectFail(b, "glyph count");
    }
}

TEST(LibraryFile, TextLengthsAreChecked) {
    {
        // A text running past the end of the file.
        Bytes b;
        b.Header(1).U32(5).U32(0).U32(0).U32(100).Raw({'a', 'b', 'c'});
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, b.data), 0);
        EXPECT_STREQ(lib.GetLastError(), kFatal);
    }
    {
        // A length of 0xFFFFFFFF (-1 as i32) reads as no text; the record
        // goes on with the next field.
        Bytes b;
        b.Header(1).U32(5).U32(3).U32(0).U32(0xFFFFFFFFu).Text("file").Text("path");
        b.U32(0).U32(0);
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, b.data), 1) << lib.GetLastError();
        LibraryItem* item = lib.GetItemById(3);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->name + "|" + item->fileName + "|" + item->filePath, "|file|path");
    }
    {
        // Above the 64 KiB cap, even with the bytes present.
        Bytes b;
        b.Header(1).U32(5).U32(0).U32(0).U32(70000);
        b.data.resize(b.data.size() + 70000 + 16, 'x');
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, b.data), 0);
    }
    {
        // A text ends at its first 0 byte.
        Bytes b;
        b.Header(1).U32(5).U32(0).U32(0).U32(5).Raw({'a', 'b', 0, 'c', 'd'});
        b.Text("").Text("").U32(0).U32(0);
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, b.data), 1);
        EXPECT_EQ(lib.GetItemById(0)->name, "ab");
    }
}

TEST(LibraryFile, WorldScaleMustBeFiniteAndPositive) {
    const float bad[] = {0.0f, -0.0f, -2.0f, std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN(), 1e-45f};
    for (float scale : bad) {
        Bytes b;
        b.Header(0, 7, scale);
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, b.data), 1);
        EXPECT_FLOAT_EQ(lib.GetWorldScale(), 100.0f) << scale;
        EXPECT_FLOAT_EQ(lib.GetInverseWorldScale(), 0.01f) << scale;
    }
}

TEST(LibraryFile, MaterialBucketMaskDefaults) {
    struct Case {
        uint32_t alpha, blend, mask, expected;
    } cases[] = {{0, 0, 0, 8}, {0, 2, 0, 128}, {1, 0, 0, 128}, {0, 0, 0x20, 0x20}, {1, 2, 4, 4}};
    for (const Case& c : cases) {
        SampleTable t;
        auto& mat = t.Add<MaterialItem>(0, "m");
        mat.materialAlpha = c.alpha;
        mat.blendMode = c.blend;
        mat.bucketMask = c.mask;
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
        EXPECT_EQ(static_cast<MaterialItem*>(lib.GetItemById(0))->bucketMask, c.expected);
    }
}

TEST(LibraryFile, MaterialWordsKeepTheirFileOrder) {
    Bytes b;
    b.Header(1).U32(4).U32(0).Common("m");
    for (int i = 0; i < 17; ++i) {
        b.F32(static_cast<float>(i));
    }
    b.U32(1).U32(2).U32(3); // words 1 to 3
    b.U32(1).U32(42);       // one texture
    for (uint32_t w : {104u, 109u, 105u, 106u, 108u, 107u, 110u, 111u, 112u}) {
        b.U32(w);
    }
    b.U32(0xDEADu); // reserved
    ResourceLibrary lib;
    ASSERT_EQ(ReadBytes(lib, b.data), 1);
    auto* m = static_cast<MaterialItem*>(lib.GetItemById(0));
    EXPECT_FLOAT_EQ(m->material.ambient.r, 4.0f);
    EXPECT_FLOAT_EQ(m->material.power, 16.0f);
    EXPECT_EQ(m->specularFlag, 1u);
    EXPECT_EQ(m->settingWord3, 3u);
    EXPECT_EQ(m->textureIds, std::vector<uint32_t>{42});
    EXPECT_EQ(std::vector<uint32_t>({m->blendMode, m->field2, m->twoSided, m->unlit,
                                     m->settingWord8, m->fog, m->settingWord10, m->field8,
                                     m->bucketMask}),
              std::vector<uint32_t>({104, 109, 105, 106, 108, 107, 110, 111, 112}));
}

TEST(LibraryFile, FontGlyphSection) {
    // Glyph texture 0 or none: no glyph section in the file.
    for (uint32_t texture : {0u, kNoSlot}) {
        SampleTable t;
        auto& f = t.Add<FontItem>(0, "f");
        f.glyphTexture = texture;
        f.font->glyphs.resize(3); // not written
        t.Add<LightItem>(1, "after");
        ResourceLibrary lib;
        ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
        auto* read = static_cast<FontItem*>(lib.GetItemById(0));
        EXPECT_EQ(read->glyphTexture, texture);
        EXPECT_EQ(read->font->glyphCount, 0u);
        ASSERT_NE(lib.GetItemById(1), nullptr);
        EXPECT_EQ(lib.GetItemById(1)->name, "after");
    }
    // A glyph count past the 256-entry character list fails the record;
    // 256 and 0 are read as they are.
    for (uint32_t count : {257u, 256u, 0u}) {
        Bytes b;
        b.Header(1).U32(7).U32(0).Common("font").Text("Arial").Text("AB").U32(6).U32(0);
        b.U32(0).U32(3).U32(0);
        b.F32(0.0f).U32(64).U32(64).U32(count).F32(1.0f);
        b.data.resize(b.data.size() + 256 + 16 * size_t{count}, 0);
        ResourceLibrary lib;
        EXPECT_EQ(ReadBytes(lib, b.data), count <= 256 ? 1 : 0) << count;
        if (count <= 256) {
            auto* f = static_cast<FontItem*>(lib.GetItemById(0));
            EXPECT_EQ(f->font->glyphCount, count);
            EXPECT_EQ(f->font->glyphs.size(), count);
        } else {
            EXPECT_STREQ(lib.GetLastError(), kFatal);
        }
    }
}

TEST(LibraryFile, SubsetSettingWordOneOfZeroReadsFour) {
    SampleTable t;
    auto& mesh = t.Add<MeshItem>(0, "m");
    mesh.subsetSettings.resize(2);
    mesh.subsetSettings[0].word1 = 0;
    mesh.subsetSettings[1].word1 = 9;
    ResourceLibrary lib;
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    auto* read = static_cast<MeshItem*>(lib.GetItemById(0));
    EXPECT_EQ(read->subsetSettings[0].word1 * 100 + read->subsetSettings[1].word1, 409u);
}

TEST(LibraryFile, GroupsAreReadAndDropped) {
    LibraryWriter writer(7);
    writer.AddGroup({"alpha", "beta"});
    writer.AddGroup({});
    LightItem light;
    light.name = "l";
    writer.AddItem(3, light);
    std::vector<uint8_t> bytes = writer.WriteToMemory();
    ResourceLibrary lib;
    LibraryFileInfo info;
    LibraryReadObserver observer;
    observer.onHeader = [&](const LibraryFileInfo& i) { info = i; };
    ASSERT_EQ(ReadBytes(lib, bytes, 1, observer), 1);
    EXPECT_EQ(info.groupCount * 10 + info.itemCount, 21u);
    EXPECT_NE(lib.GetItemById(3), nullptr);
}

TEST(LibraryFile, MissingFileReportsOpenError) {
    ResourceLibrary lib;
    EXPECT_EQ(lib.ReadLibraryFile("/nonexistent/folder/DAZedirad.qvf", 1), 0);
    EXPECT_STREQ(lib.GetLastError(), "Serialize File Open Error");
    lib.SetBaseFolder("/nonexistent/folder");
    EXPECT_EQ(lib.SerializeLibrary(1), 0);
    EXPECT_STREQ(lib.GetLastError(), "Serialize File Open Error");
}

TEST(LibraryFile, EmptyCharacterSetSurvivesARoundTrip) {
    // A stored length of 0 keeps the default set, so the writer stores an empty set as one 0 byte.
    SampleTable t;
    t.Add<FontItem>(0, "f").characterSet.clear();
    ResourceLibrary lib;
    ASSERT_EQ(ReadBytes(lib, t.Write(7)), 1);
    EXPECT_EQ(static_cast<FontItem*>(lib.GetItemById(0))->characterSet, "");

    Bytes b;
    b.Header(1).U32(7).U32(0).Common("g").Text("Arial").U32(0).U32(6).U32(0);
    b.U32(0).U32(kNoSlot).U32(0);
    ResourceLibrary zero;
    ASSERT_EQ(ReadBytes(zero, b.data), 1);
    EXPECT_EQ(static_cast<FontItem*>(zero.GetItemById(0))->characterSet.size(), 224u);
}
