#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "library/qvf_dump.h"
#include "library_test_util.h"
#include "support/temp_folder.h"

namespace {

struct DumpResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

DumpResult Dump(std::vector<const char*> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    DumpResult r;
    r.status = RunQvfDump(static_cast<int>(args.size()), args.data(), out, err);
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    std::fclose(out);
    std::fclose(err);
    return r;
}

class QvfDump : public ::testing::Test {
protected:
    std::string Save(const std::vector<uint8_t>& bytes, const char* name) {
        folder_.Put(name, std::string(bytes.begin(), bytes.end()));
        return folder_ / name;
    }
    TempFolder folder_;
};

} // namespace

TEST_F(QvfDump, PrintsHeaderAndOneLinePerEntry) {
    libtest::SampleTable table;
    libtest::FillEveryClass(table);
    table.items[0]->name = "white";
    // Quoted texts go through the shared escaper.
    table.Add<TextureItem>(3, "odd \"name\"\t\xE9").fileName = "a\\b.tga";
    auto& empty = table.Add<MaterialItem>(31, "plain");
    empty.bucketMask = 0;
    std::string path = Save(table.Write(7, 100.0f), "lib.qvf");

    DumpResult r = Dump({"qvfdump", path.c_str()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "version 7, scale 100, groups 0, items 11\n"
              "1 texture \"white\" file=\"white.tga\" kind=1 mips=2 size=64x64\n"
              "2 texture \"stone\" file=\"Stone.tga\" kind=3 mips=0 size=256x128\n"
              "10 mesh \"box\" file=\"box.qvm\" kind=1 subsets=2\n"
              "20 sound \"shot\" file=\"shot.wav\" flags=3 volume=0.5 category=4\n"
              "30 material \"wall\" blend=2 mask=128 textures=1,2,-1\n"
              "40 light \"sun\"\n"
              "50 motion \"R_F_walk\" file=\"walk.mot\" tracks=2\n"
              "60 font \"GameFont\" face=\"Arial\" size=12 style=1 glyph-texture=2 glyphs=2\n"
              "61 font \"Console\" face=\"Lucida Console\" size=6 style=0 glyph-texture=-1 "
              "glyphs=0\n"
              "3 texture \"odd \\\"name\\\"\\t\\xE9\" file=\"a\\\\b.tga\" kind=0 mips=0 "
              "size=0x0\n"
              "31 material \"plain\" blend=0 mask=8 textures=-\n");
}

TEST_F(QvfDump, FailedReadPrintsWhatWasReadThenTheError) {
    libtest::SampleTable table;
    table.Add<LightItem>(1, "a");
    table.Add<LightItem>(2, "bbbbbbbbbb");
    std::vector<uint8_t> bytes = table.Write(1);
    bytes.resize(bytes.size() - 3);
    std::string path = Save(bytes, "cut.qvf");
    DumpResult r = Dump({"qvfdump", path.c_str()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "version 1, scale 100, groups 0, items 2\n1 light \"a\"\n");
    EXPECT_EQ(r.err, "error: Fatal Library Serialization Error\n");

    std::string missing = folder_ / "missing.qvf";
    r = Dump({"qvfdump", missing.c_str()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "error: Serialize File Open Error\n");
}

TEST_F(QvfDump, WrongArgumentCountPrintsUsage) {
    DumpResult r = Dump({"qvfdump"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "usage: qvfdump FILE\n");
    r = Dump({"qvfdump", "a", "b"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(QvfDump, HelpPrintsUsageAndUnknownOptionsAreRefused) {
    DumpResult r = Dump({"qvfdump", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "usage: qvfdump FILE\n");
    EXPECT_EQ(r.err, "");
    for (const char* option : {"--helps", "-x"}) {
        r = Dump({"qvfdump", option});
        EXPECT_EQ(r.status, 2) << option;
        EXPECT_EQ(r.out, "") << option;
        EXPECT_EQ(r.err, "usage: qvfdump FILE\n") << option;
    }
}
