#include "base/pack_archive.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/pack_image.h"
#include "support/temp_folder.h"

namespace {

using Item = PackItem;

std::string BuildPack(const std::vector<Item>& items) { return BuildPackImage(items); }

std::string Pattern(size_t size, char seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>(seed + i * 7);
    }
    return s;
}

std::string ReadAll(FileHandle& handle) {
    std::string out(handle.Size(), '\0');
    if (!out.empty()) {
        handle.Read(out.data(), static_cast<uint32_t>(out.size()));
    }
    return out;
}

class PackTest : public ::testing::Test {
protected:
    PackArchive* Make(const std::vector<Item>& items) {
        tmp_.Put("pack.csa", BuildPack(items));
        archive_ = CreatePackArchive((tmp_ / "pack.csa").c_str(), nullptr);
        return archive_;
    }
    void TearDown() override { DeletePackArchive(archive_); }
    // The whole file through a fresh handle on the archive, or "<none>".
    std::string Read(const std::string& name) {
        FileHandle handle(archive_);
        return handle.Open(name, "rb") ? ReadAll(handle) : "<none>";
    }

    TempFolder tmp_;
    PackArchive* archive_ = nullptr;
};

TEST_F(PackTest, NamesMatchAnyCaseAndSeparator) {
    ASSERT_TRUE(Make({{"data\\meshes\\box.qvm", "box"}, {"Data\\Other.TXT", "other"}}));
    EXPECT_EQ(Read("Data/Meshes/Box.QVM"), "box");
    EXPECT_EQ(Read("DATA\\other.txt"), "other");
    EXPECT_EQ(archive_->Find("data/OTHER.txt"), 1);
    EXPECT_EQ(archive_->Entries()[1].storedName, "Data\\Other.TXT");
    // Look-ups do not collapse separators.
    EXPECT_EQ(archive_->Find("data//other.txt"), -1);
}

TEST_F(PackTest, LaterDuplicateWinsAndHashCollisionsStayApart) {
    // Two names with one 32-bit hash.
    const std::string first = "zaaaha", second = "apbcaq";
    ASSERT_EQ(PackNameHash(first), PackNameHash(second));
    ASSERT_TRUE(Make({{"dup.txt", "old"}, {first, "one"}, {second, "two"}, {"DUP.txt", "new"}}));
    EXPECT_EQ(Read("dup.txt"), "new");
    EXPECT_EQ(Read(first), "one");
    EXPECT_EQ(Read(second), "two");
}

TEST_F(PackTest, HashTakesBytesAsSigned) {
    // 0xE9 counts as -23.
    EXPECT_EQ(PackNameHash("\xE9"), static_cast<uint32_t>(-23));
    EXPECT_EQ(PackNameHash("AB"), PackNameHash("ab"));
    EXPECT_EQ(PackNameHash("ab"), 97u * 65599u + 98u);
}

TEST_F(PackTest, MissesAndWritesGoToUnderlyingBackend) {
    ASSERT_TRUE(Make({{"data\\a.txt", "packed"}}));
    tmp_.Put("data/b.txt", "loose");
    tmp_.Put("data/a.txt", "loose a");
    const std::string base = tmp_.Path();
    FileHandle handle(archive_);
    EXPECT_EQ(Read(base + "/Data/B.TXT"), "loose");
    // A write of a name in the archive goes to the loose file, lower-cased.
    ASSERT_TRUE(handle.Open(base + "/Data/New.TXT", "wb"));
    handle.Write("w", 1);
    EXPECT_EQ(handle.Close(), 0);
    EXPECT_EQ(tmp_.Get("data/new.txt"), "w");
    EXPECT_FALSE(handle.Open(base + "/data/missing.txt", "rb"));
    // The archive's own names come from the archive.
    EXPECT_EQ(Read("DATA/A.TXT"), "packed");

    // Writing a name the archive holds writes the loose file (relative to the
    // working folder here).
    char* old = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(base.c_str()), 0);
    bool opened = handle.Open("DATA/A.TXT", "wb");
    handle.Write("rewritten", 9);
    int closed = handle.Close();
    ASSERT_EQ(chdir(old), 0);
    free(old);
    EXPECT_TRUE(opened);
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(tmp_.Get("data/a.txt"), "rewritten");
    EXPECT_EQ(Read("data\\a.txt"), "packed");
}

TEST_F(PackTest, InPlaceEntriesShareOrOpenSecondHandle) {
    const std::string big1 = Pattern(20000, 1), big2 = Pattern(30000, 2);
    ASSERT_TRUE(Make({{"big1", big1}, {"big2", big2}}));
    FileHandle one(archive_), two(archive_);
    ASSERT_TRUE(one.Open("big1", "rb"));
    EXPECT_FALSE(archive_->SharedHandleAvailable());
    ASSERT_TRUE(two.Open("big2", "rb"));
    // Interleaved reads keep their own positions.
    std::string a(100, '\0'), b(100, '\0');
    one.Read(a.data(), 100);
    two.Read(b.data(), 100);
    EXPECT_EQ(a, big1.substr(0, 100));
    EXPECT_EQ(b, big2.substr(0, 100));
    EXPECT_EQ(one.Size(), 20000u);
    EXPECT_EQ(two.Tell(), 100);
    two.Close();
    EXPECT_FALSE(archive_->SharedHandleAvailable());
    one.Close();
    EXPECT_TRUE(archive_->SharedHandleAvailable());
    // Returned once: the next open lends it again, a second one opens its own.
    ASSERT_TRUE(one.Open("big1", "rb"));
    EXPECT_FALSE(archive_->SharedHandleAvailable());
    ASSERT_TRUE(two.Open("big1", "rb"));
    EXPECT_EQ(ReadAll(two), big1);
}

TEST_F(PackTest, InPlaceReadsStayInsideTheEntry) {
    const std::string big = Pattern(20000, 3), next = Pattern(16, 9);
    ASSERT_TRUE(Make({{"big", big}, {"next", next}}));
    FileHandle handle(archive_);
    ASSERT_TRUE(handle.Open("big", "rb"));
    EXPECT_EQ(handle.Seek(-10, 2), 0);
    EXPECT_EQ(handle.Tell(), 19990);
    std::string tail(64, '\0');
    EXPECT_EQ(handle.Backend()->Read(tail.data(), 1, 64, handle.BackendHandle()), 10u);
    EXPECT_EQ(tail.substr(0, 10), big.substr(19990));
    EXPECT_TRUE(handle.Eof());
    EXPECT_EQ(handle.Tell(), 20000);
    // Seeks are clamped to the entry.
    handle.Seek(500, 1);
    EXPECT_EQ(handle.Tell(), 20000);
    handle.Seek(-50000, 0);
    EXPECT_EQ(handle.Tell(), 0);
    EXPECT_FALSE(handle.Eof());
    // An unknown origin answers 0 and leaves the position.
    handle.Seek(40, 0);
    EXPECT_EQ(handle.Seek(5, 3), 0);
    EXPECT_EQ(handle.Tell(), 40);
    // A FileHandle read past the end fails cleanly.
    handle.Seek(-4, 2);
    uint32_t words[2] = {1, 2};
    handle.SerializeWords(words, 2);
    EXPECT_TRUE(handle.Failed());
    EXPECT_EQ(words[0], 1u);
}

TEST_F(PackTest, CacheSizeLimit) {
    ASSERT_TRUE(Make({{"exact", Pattern(16384, 1)}, {"below", Pattern(16383, 2)}}));
    FileHandle handle(archive_);
    ASSERT_TRUE(handle.Open("exact", "rb"));
    EXPECT_FALSE(archive_->Entries()[0].copy);
    EXPECT_FALSE(archive_->SharedHandleAvailable()); // read in place
    handle.Close();
    ASSERT_TRUE(handle.Open("below", "rb"));
    EXPECT_TRUE(archive_->Entries()[1].copy);
    EXPECT_TRUE(archive_->SharedHandleAvailable());
    EXPECT_EQ(ReadAll(handle), Pattern(16383, 2));
    EXPECT_EQ(archive_->CacheSlot(0), 1);
}

TEST_F(PackTest, CacheKeepsMostUsedEntries) {
    std::vector<Item> items;
    for (int i = 0; i < 33; ++i) {
        items.push_back({"f" + std::to_string(i), Pattern(100, static_cast<char>(i))});
    }
    ASSERT_TRUE(Make(items));
    FileHandle handle(archive_);
    for (int i = 0; i < 32; ++i) {
        ASSERT_TRUE(handle.Open("f" + std::to_string(i), "rb"));
        EXPECT_EQ(archive_->CacheSlot(i), i);
    }
    // The 33rd entry has no lower use count to displace: read in place.
    ASSERT_TRUE(handle.Open("f32", "rb"));
    EXPECT_FALSE(archive_->Entries()[32].copy);
    EXPECT_FALSE(archive_->SharedHandleAvailable());
    EXPECT_EQ(ReadAll(handle), items[32].data);
    handle.Close();
    // Opened again it outranks slot 0's entry and takes that slot.
    ASSERT_TRUE(handle.Open("f32", "rb"));
    EXPECT_TRUE(archive_->Entries()[32].copy);
    EXPECT_EQ(archive_->CacheSlot(0), 32);
    EXPECT_FALSE(archive_->Entries()[0].copy);
    EXPECT_EQ(archive_->Entries()[0].useCount, 1u);
    EXPECT_EQ(ReadAll(handle), items[32].data);

    archive_->ReleaseEntryBuffers();
    for (const PackEntry& entry : archive_->Entries()) {
        EXPECT_EQ(entry.useCount, 0u);
        EXPECT_FALSE(entry.copy);
    }
    EXPECT_EQ(archive_->CacheSlot(0), 32); // slots keep their entries
}

TEST_F(PackTest, OpenHandlesSurviveEviction) {
    std::vector<Item> items;
    for (int i = 0; i < 34; ++i) {
        items.push_back({"f" + std::to_string(i), Pattern(1000, static_cast<char>(i))});
    }
    ASSERT_TRUE(Make(items));
    FileHandle early(archive_);
    ASSERT_TRUE(early.Open("f0", "rb"));
    std::string head(10, '\0');
    early.Read(head.data(), 10);
    ASSERT_TRUE(archive_->Entries()[0].copy);

    archive_->ReleaseEntryBuffers(); // drops the cache's reference
    FileHandle other(archive_);
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i < 34; ++i) {
            ASSERT_TRUE(other.Open("f" + std::to_string(i), "rb"));
            other.Close();
        }
    }
    EXPECT_FALSE(archive_->Entries()[0].copy);
    std::string rest(990, '\0');
    EXPECT_EQ(early.Read(rest.data(), 990), 1);
    EXPECT_EQ(head + rest, items[0].data);
}

TEST_F(PackTest, HandlesOutliveTheArchive) {
    const std::string big = Pattern(20000, 5), small = Pattern(50, 6);
    ASSERT_TRUE(Make({{"big", big}, {"big2", big}, {"small", small}}));
    SetCurrentFileSystem(archive_);
    FileHandle lent, second, cached;
    ASSERT_TRUE(lent.Open("big", "rb"));
    ASSERT_TRUE(second.Open("big2", "rb"));
    ASSERT_TRUE(cached.Open("small", "rb"));
    // Cached copies need the shared handle, which is lent: this one is in place.
    DeletePackArchive(archive_);
    archive_ = nullptr;
    EXPECT_EQ(GetCurrentFileSystem(), nullptr);
    EXPECT_EQ(ReadAll(lent), big);
    EXPECT_EQ(ReadAll(second), big);
    EXPECT_EQ(ReadAll(cached), small);
    EXPECT_EQ(lent.Close(), 0);
    EXPECT_EQ(second.Close(), 0);
    EXPECT_EQ(cached.Close(), 0);
}

TEST_F(PackTest, BadArchivesAreRefused) {
    std::string good = BuildPack({{"a", "1"}, {"b", "2"}});
    auto Try = [&](const std::string& bytes) {
        tmp_.Put("bad.csa", bytes);
        PackArchive* archive = CreatePackArchive((tmp_ / "bad.csa").c_str(), nullptr);
        bool ok = archive != nullptr;
        DeletePackArchive(archive);
        return ok;
    };
    EXPECT_TRUE(Try(good));
    std::string badMagic = good;
    badMagic[0] = 'N';
    EXPECT_FALSE(Try(badMagic));
    EXPECT_FALSE(Try(good.substr(0, 20 + 136 + 50))); // directory cut short
    EXPECT_FALSE(Try(good.substr(0, 10)));
    std::string hugeCount = good;
    hugeCount[19] = '\x7F';
    EXPECT_FALSE(Try(hugeCount));
    EXPECT_FALSE(CreatePackArchive((tmp_ / "missing.csa").c_str(), nullptr));
    EXPECT_TRUE(Try(BuildPack({})));
}

TEST_F(PackTest, DamagedEntriesFallThroughToLooseFiles) {
    std::string image = BuildPack({{"inside", "abc"}, {"outside", "xyz"}});
    // Point the second entry past the end of the file.
    image[20 + 136] = '\xF0';
    image[20 + 136 + 1] = '\xFF';
    // A name filling all 128 bytes without a terminator.
    std::string longName(128, 'n');
    image.replace(20 + 8, 128, longName);
    tmp_.Put("pack.csa", image);
    archive_ = CreatePackArchive((tmp_ / "pack.csa").c_str(), nullptr);
    ASSERT_TRUE(archive_);
    EXPECT_EQ(archive_->Entries()[0].storedName, longName);
    EXPECT_FALSE(archive_->Entries()[1].indexed);
    EXPECT_EQ(archive_->Find("outside"), -1);
    EXPECT_EQ(Read(longName), "abc");
}

TEST_F(PackTest, SecondHandleFailureIsClean) {
    ASSERT_TRUE(Make({{"big", Pattern(20000, 1)}, {"big2", Pattern(20000, 2)}}));
    FileHandle one(archive_), two(archive_);
    ASSERT_TRUE(one.Open("big", "rb"));
    // The archive file disappears: the second handle cannot be opened.
    std::filesystem::remove(tmp_ / "pack.csa");
    EXPECT_FALSE(two.Open("big2", "rb"));
    EXPECT_EQ(ReadAll(one), Pattern(20000, 1));
}

TEST(FileExtension, LastFourteenCharacters) {
    EXPECT_EQ(GetFileExtension("model.qvm"), ".qvm");
    EXPECT_EQ(GetFileExtension("a.b"), ".b");
    EXPECT_EQ(GetFileExtension("abc"), ".bc");
    EXPECT_EQ(GetFileExtension(""), ".");
    EXPECT_EQ(GetFileExtension("abcdefghijklmnopqrstuvwxyz"), ".mnopqrstuvwxyz");
    EXPECT_EQ(GetFileExtension(".qvm"), ".qvm");
    EXPECT_EQ(GetFileExtension("data\\x.y.TGA"), ".TGA");
    EXPECT_EQ(GetFileExtension("a.verylongextension"), ".ylongextension");
}

} // namespace
