#include "base/file_system.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

TEST(FileHandle, ModeDecidesDirection) {
    TempFolder tmp;
    tmp.Put("a.bin", "data");
    FileHandle handle;
    ASSERT_TRUE(handle.Open(tmp / "a.bin", "rb"));
    EXPECT_FALSE(handle.IsWriting());
    ASSERT_TRUE(handle.Open(tmp / "a.bin", ""));
    EXPECT_FALSE(handle.IsWriting());
    uint8_t first = handle.SerializeByte(0);
    EXPECT_EQ(first, 'd');
    for (const char* mode : {"wb", "w", "w+b", "wt"}) {
        ASSERT_TRUE(handle.Open(tmp / "b.bin", mode)) << mode;
        EXPECT_TRUE(handle.IsWriting()) << mode;
        EXPECT_EQ(handle.Close(), 0);
    }
}

TEST(FileHandle, GoldenBytesAndRoundTrip) {
    TempFolder tmp;
    const std::string path = tmp / "golden.bin";
    {
        FileHandle out;
        ASSERT_TRUE(out.Open(path, "wb"));
        EXPECT_EQ(out.SerializeU32(0x04030201u), 0x04030201u);
        EXPECT_EQ(out.SerializeByte(0xAB), 0xAB);
        uint32_t words[2] = {0xDDCCBBAAu, 1u};
        out.SerializeWords(words, 2);
        float f = 1.0f; // 0x3F800000
        out.SerializeWords(&f, 1);
        std::string text = "hi";
        out.SerializeString(text);
        std::string empty;
        out.SerializeString(empty);
        char ctext[8] = "ok";
        out.SerializeCString(ctext, sizeof ctext);
        EXPECT_FALSE(out.Failed());
        EXPECT_EQ(out.Close(), 0);
    }
    EXPECT_EQ(tmp.Get("golden.bin"),
              Bytes({1, 2, 3, 4, 0xAB, 0xAA, 0xBB, 0xCC, 0xDD, 1, 0, 0, 0, 0, 0, 0x80, 0x3F, 2,
                     0, 0, 0, 'h', 'i', 0, 0, 0, 0, 2, 0, 0, 0, 'o', 'k'}));

    FileHandle in;
    ASSERT_TRUE(in.Open(path, "rb"));
    EXPECT_EQ(in.SerializeU32(0), 0x04030201u);
    EXPECT_EQ(in.SerializeByte(0), 0xAB);
    uint32_t words[2] = {};
    in.SerializeWords(words, 2);
    EXPECT_EQ(std::vector<uint32_t>(words, words + 2), (std::vector<uint32_t>{0xDDCCBBAAu, 1u}));
    float f = 0;
    in.SerializeWords(&f, 1);
    EXPECT_EQ(f, 1.0f);
    std::string text;
    in.SerializeString(text);
    EXPECT_EQ(text, "hi");
    std::string kept = "unchanged";
    in.SerializeString(kept); // stored length 0
    EXPECT_EQ(kept, "unchanged");
    char ctext[8] = "xxxxxxx";
    in.SerializeCString(ctext, sizeof ctext);
    EXPECT_STREQ(ctext, "ok");
    EXPECT_FALSE(in.Failed());
    EXPECT_TRUE(in.BytesLeft() == 0);
}

TEST(FileHandle, StdioSizeKeepsPosition) {
    TempFolder tmp;
    tmp.Put("s.bin", "0123456789");
    FileHandle handle;
    ASSERT_TRUE(handle.Open(tmp / "s.bin", "rb"));
    handle.Seek(3, 0);
    EXPECT_EQ(handle.Size(), 10u);
    EXPECT_EQ(handle.Tell(), 3);
    EXPECT_EQ(handle.BytesLeft(), 7u);
    EXPECT_EQ(handle.SerializeByte(0), '3');
}

// Reads, block reads, seeks and a short read in a row: the bytes left
// follow every move, on a file and on a memory block alike.
TEST(FileHandle, BytesLeftFollowsReadsSeeksAndShortReads) {
    TempFolder tmp;
    const std::string data = "0123456789abcdef";
    tmp.Put("m.bin", data);
    FileHandle file;
    ASSERT_TRUE(file.Open(tmp / "m.bin", "rb"));
    FileHandle memory;
    ASSERT_TRUE(memory.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
    for (FileHandle* handle : {&file, &memory}) {
        EXPECT_EQ(handle->BytesLeft(), 16u);
        EXPECT_EQ(handle->SerializeU32(0), 0x33323130u);
        EXPECT_EQ(handle->BytesLeft(), 12u);
        char block[3] = {};
        EXPECT_EQ(handle->Read(block, 3), 1);
        EXPECT_EQ(handle->BytesLeft(), 9u);
        handle->Seek(-5, 1);
        EXPECT_EQ(handle->BytesLeft(), 14u);
        EXPECT_EQ(handle->SerializeByte(0), '2');
        handle->Seek(12, 0);
        EXPECT_EQ(handle->BytesLeft(), 4u);
        uint32_t words[2] = {7, 8};
        handle->SerializeWords(words, 2); // 8 bytes wanted, 4 left: nothing moves
        EXPECT_TRUE(handle->Failed());
        EXPECT_EQ(handle->BytesLeft(), 4u);
        EXPECT_EQ(handle->Read(block, 3), 1);
        EXPECT_EQ(std::string(block, 3), "cde");
        EXPECT_EQ(handle->Read(block, 3), 0); // one byte left: a short read
        EXPECT_EQ(handle->BytesLeft(), 16u - static_cast<uint32_t>(handle->Tell()));
        handle->Seek(0, 0);
        EXPECT_EQ(handle->BytesLeft(), 16u);
    }
}

// The same random run of field reads, seeks and block reads over a file and
// over memory blocks (read-only and writable) gives the same values, failure
// flags and positions at every step: reading memory takes the bytes straight
// from the block, a file goes through the stream.
TEST(FileHandle, MemoryAndFileReadsAgreeStepByStep) {
    std::mt19937 random(7);
    std::string data(300, '\0');
    for (char& c : data) {
        c = static_cast<char>(random() % 4 == 0 ? random() % 8 : random() % 256);
    }
    TempFolder tmp;
    tmp.Put("r.bin", data);
    std::string writable = data;
    for (int round = 0; round < 40; ++round) {
        FileHandle file;
        ASSERT_TRUE(file.Open(tmp / "r.bin", "rb"));
        FileHandle memory;
        ASSERT_TRUE(memory.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
        FileHandle attached;
        attached.Attach(GetMemoryFileSystem(),
                        NewMemoryHandle(writable.data(), static_cast<uint32_t>(writable.size())),
                        false);
        FileHandle* handles[] = {&file, &memory, &attached};
        for (int step = 0; step < 60; ++step) {
            const uint32_t op = random() % 7;
            const uint32_t arg = random() % 40;
            std::string seen[3];
            for (int h = 0; h < 3; ++h) {
                FileHandle& handle = *handles[h];
                std::string& out = seen[h];
                switch (op) {
                case 0:
                    out = std::to_string(handle.SerializeU32(0xABCD));
                    break;
                case 1: {
                    uint32_t words[40];
                    std::fill(std::begin(words), std::end(words), 5u);
                    handle.SerializeWords(words, arg);
                    for (uint32_t i = 0; i < arg; ++i) {
                        out += std::to_string(words[i]) + ",";
                    }
                    break;
                }
                case 2:
                    out = std::to_string(handle.SerializeByte(0x11));
                    break;
                case 3: {
                    std::string text = "kept";
                    handle.SerializeString(text);
                    out = text;
                    break;
                }
                case 4: {
                    char buffer[16] = "unset";
                    handle.SerializeCString(buffer, 1 + arg % 16);
                    out = buffer;
                    break;
                }
                case 5: // inside the data, often near its end
                    handle.Seek(static_cast<int32_t>(arg % 2 == 0 ? arg * 7 : 300 - arg), 0);
                    break;
                default: {
                    char block[40] = {};
                    out = std::to_string(handle.Read(block, arg)) + std::string(block, arg);
                    break;
                }
                }
                out += handle.Failed() ? " failed" : " ok";
                out += " at " + std::to_string(handle.Tell()) + " left " +
                       std::to_string(handle.BytesLeft());
            }
            ASSERT_EQ(seen[1], seen[0]) << "round " << round << " step " << step << " op " << op;
            ASSERT_EQ(seen[2], seen[0]) << "round " << round << " step " << step << " op " << op;
        }
    }
}

TEST(FileHandle, SpareWordsAreZerosWrittenAndSkippedOneAtATime) {
    TempFolder tmp;
    {
        FileHandle out;
        ASSERT_TRUE(out.Open(tmp / "s.bin", "wb"));
        out.SerializeByte(7);
        out.SerializeSpareWords(2);
        out.SerializeSpareWords(0);
        out.SerializeByte(8);
        EXPECT_EQ(out.Close(), 0);
    }
    EXPECT_EQ(tmp.Get("s.bin"), Bytes({7, 0, 0, 0, 0, 0, 0, 0, 0, 8}));

    // Reading skips whatever the words hold.
    const std::string stored = Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9});
    FileHandle in;
    ASSERT_TRUE(in.OpenMemory(stored.data(), static_cast<uint32_t>(stored.size())));
    in.SerializeSpareWords(2);
    EXPECT_EQ(in.SerializeByte(0), 9);
    EXPECT_FALSE(in.Failed());

    // Short: the whole words that are there are passed over, then it fails.
    ASSERT_TRUE(in.OpenMemory(stored.data(), 6));
    in.SerializeSpareWords(2);
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(in.Tell(), 4);
}

TEST(FileHandle, MemoryAndFileAgreeOnTextsAndWordsAtTheEnd) {
    // Each file ends right at, one byte before or one byte after what the
    // last read needs; the memory block and the file must give the same.
    const std::string texts[] = {
        Bytes({5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'}),
        Bytes({5, 0, 0, 0, 'h', 'e', 'l', 'l'}),
        Bytes({5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', '!'}),
        Bytes({3, 0, 0, 0, 'a', 0, 'b'}),
        Bytes({0, 0, 0, 0}),
        Bytes({0xFE, 0xFF, 0xFF, 0xFF, 'x'}),
        Bytes({1, 0, 0}),
        Bytes({1, 0, 0, 0, 'z', 8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}),
        Bytes({1, 0, 0, 0, 'z', 8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}),
    };
    TempFolder tmp;
    for (const std::string& data : texts) {
        tmp.Put("t.bin", data);
        std::string seen[2];
        for (int h = 0; h < 2; ++h) {
            FileHandle handle;
            ASSERT_TRUE(h == 0 ? handle.Open(tmp / "t.bin", "rb")
                               : handle.OpenMemory(data.data(), static_cast<uint32_t>(data.size())));
            for (int read = 0; read < 3; ++read) {
                std::string text = "kept";
                handle.SerializeString(text);
                uint32_t words[2] = {9, 9};
                handle.SerializeWords(words, read == 2 ? 0 : 2);
                seen[h] += text + "," + std::to_string(words[0]) + "," + std::to_string(words[1]) +
                           (handle.Failed() ? " failed" : " ok") + " at " +
                           std::to_string(handle.Tell()) + ";";
            }
        }
        EXPECT_EQ(seen[1], seen[0]) << data.size() << " bytes";
    }
}

TEST(FileHandle, ShortReadsSetStickyFailureAndKeepValues) {
    TempFolder tmp;
    tmp.Put("t.bin", Bytes({1, 2}));
    FileHandle handle;
    ASSERT_TRUE(handle.Open(tmp / "t.bin", "rb"));
    EXPECT_EQ(handle.SerializeU32(77), 77u);
    EXPECT_TRUE(handle.Failed());
    // The flag stays although the next read succeeds.
    EXPECT_EQ(handle.SerializeByte(9), 1);
    EXPECT_TRUE(handle.Failed());
    // Open clears it.
    ASSERT_TRUE(handle.Open(tmp / "t.bin", "rb"));
    EXPECT_FALSE(handle.Failed());
    uint32_t words[2] = {5, 6};
    handle.SerializeWords(words, 2);
    EXPECT_TRUE(handle.Failed());
    EXPECT_EQ(std::vector<uint32_t>(words, words + 2), (std::vector<uint32_t>{5, 6}));
    EXPECT_EQ(handle.Tell(), 0); // nothing moved
}

TEST(FileHandle, StringLengthsAreCheckedBeforeAllocating) {
    // Length 0x7FFFFFFF with three bytes behind it.
    std::string huge = Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'});
    FileHandle handle;
    ASSERT_TRUE(handle.OpenMemory(huge.data(), static_cast<uint32_t>(huge.size())));
    std::string text = "before";
    handle.SerializeString(text);
    EXPECT_TRUE(handle.Failed());
    EXPECT_EQ(text, "before");

    // Negative lengths read nothing and are not an error.
    std::string negative = Bytes({0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(handle.OpenMemory(negative.data(), 4));
    handle.SerializeString(text);
    EXPECT_FALSE(handle.Failed());
    EXPECT_EQ(text, "before");

    // A read text ends at its first 0 byte.
    std::string embedded = Bytes({4, 0, 0, 0, 'a', 0, 'b', 'c'});
    ASSERT_TRUE(handle.OpenMemory(embedded.data(), 8));
    handle.SerializeString(text);
    EXPECT_FALSE(handle.Failed());
    EXPECT_EQ(text, "a");
}

TEST(FileHandle, CStringRespectsCapacity) {
    std::string stored = Bytes({6, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 0x55});
    FileHandle handle;
    char buffer[4] = {'x', 'x', 'x', 'x'};
    char guard = 'g';
    ASSERT_TRUE(handle.OpenMemory(stored.data(), static_cast<uint32_t>(stored.size())));
    handle.SerializeCString(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(guard, 'g');
    EXPECT_TRUE(handle.Failed());
    // The rest of the stored text was skipped.
    EXPECT_EQ(handle.Tell(), 10);

    std::string empty = Bytes({0, 0, 0, 0});
    ASSERT_TRUE(handle.OpenMemory(empty.data(), 4));
    handle.SerializeCString(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(handle.Failed());
}

TEST(FileHandle, ClosedHandleDoesNothingAndFails) {
    FileHandle handle;
    EXPECT_FALSE(handle.Open("/nonexistent-folder/none.bin", "rb"));
    char buffer[4] = {1, 2, 3, 4};
    EXPECT_EQ(handle.Read(buffer, 4), 0);
    EXPECT_EQ(handle.Write(buffer, 4), 0);
    EXPECT_EQ(handle.SerializeU32(12), 12u);
    EXPECT_EQ(handle.Tell(), 0);
    EXPECT_EQ(handle.Size(), 0u);
    EXPECT_TRUE(handle.Eof());
    EXPECT_TRUE(handle.Failed());
    EXPECT_EQ(handle.Close(), 0);
    EXPECT_EQ(buffer[0], 1);
}

TEST(FileHandle, ZeroByteTransfersAreComplete) {
    std::string data = "abc";
    FileHandle handle;
    ASSERT_TRUE(handle.OpenMemory(data.data(), 3));
    char c = 0;
    EXPECT_EQ(handle.Read(&c, 0), 1);
    handle.SerializeBytes(&c, 0);
    handle.SerializeWords(nullptr, 0);
    EXPECT_FALSE(handle.Failed());
    handle.Seek(0, 2);
    EXPECT_EQ(handle.Read(&c, 0), 1);
    EXPECT_FALSE(handle.Failed());
    EXPECT_EQ(handle.Read(&c, 1), 0);
    EXPECT_TRUE(handle.Failed());
}

TEST(Archive, SinceGatesTransfers) {
    std::string data = Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
    Archive archive;
    ASSERT_TRUE(archive.OpenMemory(data.data(), 12));
    archive.SetVersion(21);
    EXPECT_EQ(archive.SerializeU32Since(22, 99), 99u);
    uint32_t words[2] = {7, 8};
    archive.SerializeWordsSince(30, words, 2);
    EXPECT_EQ(archive.Tell(), 0);
    EXPECT_EQ(words[0], 7u);
    EXPECT_EQ(archive.SerializeU32Since(21, 99), 1u);
    archive.SerializeWordsSince(0, words, 2);
    EXPECT_EQ(words[0], 2u);
    EXPECT_EQ(words[1], 3u);
    EXPECT_FALSE(archive.Failed());
}

TEST(MemoryFileSystem, ReadsWritesAndSeeksStayInsideTheBlock) {
    MemoryFileSystem* fs = GetMemoryFileSystem();
    uint8_t block[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    void* h = NewMemoryHandle(block, 8); // the last two bytes are outside
    uint8_t out[16] = {};
    EXPECT_EQ(fs->Read(out, 3, 2, h), 2u); // whole elements
    EXPECT_EQ(fs->Tell(h), 6);
    EXPECT_EQ(fs->Read(out, 4, 1, h), 0u); // only 2 bytes left: copied, not a whole element
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], 7);
    EXPECT_EQ(fs->Tell(h), 8);
    EXPECT_NE(fs->Eof(h), 0);
    EXPECT_EQ(fs->Seek(h, 100, 0), 0);
    EXPECT_EQ(fs->Tell(h), 8);
    EXPECT_EQ(fs->Seek(h, -100, 1), 0);
    EXPECT_EQ(fs->Tell(h), 0);
    EXPECT_EQ(fs->Seek(h, -3, 2), 0);
    EXPECT_EQ(fs->Tell(h), 5);
    const uint8_t pattern[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(fs->Write(pattern, 1, 8, h), 3u);
    EXPECT_EQ(block[7], 0xEE);
    EXPECT_EQ(block[8], 8); // untouched
    EXPECT_EQ(fs->Size(h), 8u);
    EXPECT_EQ(fs->Close(h), 0);

    void* ro = NewReadOnlyMemoryHandle(block, 10);
    EXPECT_EQ(fs->Write(pattern, 1, 1, ro), 0u);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(fs->Open("anything", "rb"), nullptr);
    fs->Close(ro);
}

// --- whole files ---------------------------------------------------------------

// Every way a whole read can go: read, missing, a folder, a read error, a pipe
// nobody writes (read as empty at once, not waited for).
TEST(WholeFile, ReadsOrSaysWhyNot) {
    TempFolder tmp;
    tmp.Put("a.txt", std::string("one\0two", 7));
    std::string bytes;
    std::string reason;
    ASSERT_TRUE(ReadWholeFile(tmp / "a.txt", &bytes, &reason));
    EXPECT_EQ(bytes, std::string("one\0two", 7));

    EXPECT_FALSE(ReadWholeFile(tmp / "missing.txt", &bytes, &reason));
    EXPECT_EQ(reason, "cannot open");
    EXPECT_FALSE(ReadWholeFile(tmp.Path(), &bytes, &reason));
    EXPECT_EQ(reason, "is a folder");
    // Its first page is never mapped: the read itself fails.
    EXPECT_FALSE(ReadWholeFile("/proc/self/mem", &bytes, &reason));
    EXPECT_EQ(reason, "read error: Input/output error");
    EXPECT_TRUE(bytes.empty());

    ASSERT_EQ(mkfifo((tmp / "pipe").c_str(), 0600), 0);
    EXPECT_TRUE(ReadWholeFile(tmp / "pipe", &bytes, &reason));
    EXPECT_TRUE(bytes.empty());
}

// --- writes replace their target only when complete ---------------------------

// A save file that a write replaces only when it completes.
class FileHandleWrite : public ::testing::Test {
protected:
    void SetUp() override { tmp.Put("save.sav", "old contents"); }
    void ExpectOnly(const std::string& contents) {
        EXPECT_EQ(tmp.Get("save.sav"), contents);
        EXPECT_EQ(tmp.List(""), std::vector<std::string>{"save.sav"}); // no temporary left
    }
    TempFolder tmp;
    FileHandle handle;
};

TEST_F(FileHandleWrite, ReplacesTargetAtClose) {
    ASSERT_TRUE(handle.Open(tmp / "save.sav", "wb"));
    ASSERT_EQ(handle.Write("new", 3), 1);
    EXPECT_EQ(tmp.Get("save.sav"), "old contents"); // nothing changes before Close
    EXPECT_EQ(handle.Close(), 0);
    ExpectOnly("new");
}

TEST_F(FileHandleWrite, NewFileGetsUmaskPermissions) {
    mode_t old = umask(027);
    ASSERT_TRUE(handle.Open(tmp / "fresh.bin", "wb"));
    EXPECT_EQ(handle.Close(), 0);
    umask(old);
    struct stat st;
    ASSERT_EQ(stat((tmp / "fresh.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileHandleWrite, FailedHandleLeavesTargetAlone) {
    ASSERT_TRUE(handle.Open(tmp / "save.sav", "wb"));
    handle.SerializeU32(5);
    handle.SetFailed();
    EXPECT_EQ(handle.Close(), EOF);
    ExpectOnly("old contents");
}

TEST_F(FileHandleWrite, DiskErrorLeavesTargetAlone) {
    // Let the file size limit make the writes fail (EFBIG instead of a signal).
    struct rlimit oldLimit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = oldLimit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    bool opened = handle.Open(tmp / "save.sav", "wb");
    std::vector<char> big(64 * 1024, 'x');
    if (opened) {
        handle.Write(big.data(), static_cast<uint32_t>(big.size()));
    }
    int closed = handle.Close();
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(opened);
    EXPECT_EQ(closed, EOF);
    EXPECT_TRUE(handle.Failed());
    ExpectOnly("old contents");
}

TEST_F(FileHandleWrite, WholeFileWritesReplaceTheTargetOrAnswerZero) {
    EXPECT_EQ(WriteWholeFile((tmp / "save.sav").c_str(), {'n', 'e', 'w', 0, 0xFF}), 1);
    ExpectOnly(std::string("new\0\xFF", 5));
    EXPECT_EQ(WriteWholeFile(nullptr, {1, 2}), 0);
    EXPECT_EQ(WriteWholeFile((tmp / "missing/x.bin").c_str(), {1}), 0); // no such folder
    ExpectOnly(std::string("new\0\xFF", 5));
    EXPECT_EQ(WriteWholeFile((tmp / "save.sav").c_str(), {}), 1);
    ExpectOnly("");
}

TEST_F(FileHandleWrite, ReopeningClosesFirst) {
    ASSERT_TRUE(handle.Open(tmp / "one.bin", "wb"));
    handle.Write("1", 1);
    ASSERT_TRUE(handle.Open(tmp / "two.bin", "wb"));
    handle.Write("2", 1);
    handle.Close();
    EXPECT_EQ(tmp.Get("one.bin"), "1");
    EXPECT_EQ(tmp.Get("two.bin"), "2");
}

TEST(FileHandle, CurrentFileSystemIsUsedAtOpen) {
    // A backend that serves one fixed block for any name.
    struct OneBlock : MemoryFileSystem {
        void* Open(const char*, const char*) override { return NewReadOnlyMemoryHandle("xyz", 3); }
    } backend;
    SetCurrentFileSystem(&backend);
    FileHandle handle;
    bool opened = handle.Open("whatever", "rb");
    SetCurrentFileSystem(nullptr);
    ASSERT_TRUE(opened);
    EXPECT_EQ(handle.Size(), 3u);
    EXPECT_EQ(handle.SerializeByte(0), 'x');
    handle.Close();
    EXPECT_EQ(GetCurrentFileSystem(), nullptr);
}

} // namespace
