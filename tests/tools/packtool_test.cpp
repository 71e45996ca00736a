#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/pack_archive.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

using toolrun::ToolRun;

class PackTool : public ::testing::Test {
protected:
    void SetUp() override {
        tool_ = std::string(ENGINE_TEST_BINARY_DIR) + "/tools/packtool";
        ASSERT_TRUE(std::filesystem::exists(tool_)) << tool_ << " is not built";
    }

    ToolRun Tool(const std::vector<std::string>& args, const std::string& folder = "") {
        return toolrun::Run("packtool", args, folder.empty() ? tmp_.Path() : folder);
    }
    // Exit code, output and errors of a run as one text.
    std::string Whole(const std::vector<std::string>& args) {
        const ToolRun run = Tool(args);
        return std::to_string(run.exitCode) + "|" + run.out + "|" + run.err;
    }

    void MakeTree() {
        tmp_.Put("game/Data/Globals.qva", "globals");
        tmp_.Put("game/Data/Meshes/Box.QVM", std::string("\0\1\2\3box", 7));
        tmp_.Put("game/a.txt", "lower");
        tmp_.Put("game/B.txt", "upper");
        tmp_.Put("game/empty.bin", "");
    }

    std::string tool_;
    TempFolder tmp_;
};

TEST_F(PackTool, CreateListCatRoundTrip) {
    MakeTree();
    EXPECT_EQ(Whole({"create", "pack.csa", "game"}), "0||");

    const std::string image = tmp_.Get("pack.csa");
    ASSERT_GE(image.size(), 20u);
    EXPECT_EQ(image.substr(0, 16), std::string("MORV") + std::string(12, '\0'));

    // Sorted by name bytes ('B' before 'D' before 'a'), data packed without gaps.
    const uint32_t first = 20 + 136 * 5;
    ToolRun listed = Tool({"list", "pack.csa"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, std::to_string(first) + " 5 game\\B.txt\n" +
                              std::to_string(first + 5) + " 7 game\\Data\\Globals.qva\n" +
                              std::to_string(first + 12) + " 7 game\\Data\\Meshes\\Box.QVM\n" +
                              std::to_string(first + 19) + " 5 game\\a.txt\n" +
                              std::to_string(first + 24) + " 0 game\\empty.bin\n");
    EXPECT_EQ(image.size(), first + 24u);

    for (const char* name : {"game\\B.txt", "game\\Data\\Globals.qva", "game\\Data\\Meshes\\Box.QVM",
                             "game\\a.txt", "game\\empty.bin"}) {
        std::string relative = name;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        ToolRun cat = Tool({"cat", "pack.csa", name});
        EXPECT_EQ(cat.exitCode, 0) << name;
        EXPECT_EQ(cat.out, tmp_.Get(relative)) << name;
    }
    // Looked up as the engine looks up.
    EXPECT_EQ(Tool({"cat", "pack.csa", "GAME/data/meshes/box.qvm"}).out, std::string("\0\1\2\3box", 7));

    // The engine reads the same archive.
    PackArchive* archive = CreatePackArchive((tmp_ / "pack.csa").c_str(), nullptr);
    ASSERT_NE(archive, nullptr);
    EXPECT_GE(archive->Find("game\\data\\globals.qva"), 0);
    DeletePackArchive(archive);
}

TEST_F(PackTool, DotFolderHasNoPrefixAndSkipsTheArchive) {
    MakeTree();
    const std::string game = tmp_ / "game";
    ASSERT_EQ(Tool({"create", "pack.csa", "."}, game).exitCode, 0);
    // Again, with the archive of the first run lying in the folder.
    ASSERT_EQ(Tool({"create", "pack.csa", "."}, game).exitCode, 0);
    ToolRun listed = Tool({"list", "pack.csa"}, game);
    EXPECT_EQ(listed.out.find("pack.csa"), std::string::npos);
    EXPECT_NE(listed.out.find(" Data\\Globals.qva\n"), std::string::npos);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 5);
}

TEST_F(PackTool, Errors) {
    MakeTree();
    ASSERT_EQ(Tool({"create", "pack.csa", "game"}).exitCode, 0);
    EXPECT_EQ(Whole({"cat", "pack.csa", "game\\nothing"}),
              "1||packtool: not in archive: game\\nothing\n");

    const std::string longName(123, 'x');
    tmp_.Put("long/" + longName, "x");
    ToolRun tooLong = Tool({"create", "long.csa", "long"});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_EQ(tooLong.err, "packtool: name too long: long\\" + longName + "\n");
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "long.csa"));
    // 127 bytes still fit.
    std::filesystem::rename(tmp_ / ("long/" + longName), tmp_ / ("long/" + longName.substr(0, 122)));
    EXPECT_EQ(Tool({"create", "long.csa", "long"}).exitCode, 0);

    EXPECT_EQ(std::vector<int>({Tool({"list", "game/a.txt"}).exitCode,
                                Tool({"create", "x.csa", "no-such-folder"}).exitCode,
                                Tool({}).exitCode, Tool({"list"}).exitCode,
                                Tool({"cat", "pack.csa"}).exitCode,
                                Tool({"pack", "a", "b"}).exitCode}),
              std::vector<int>({1, 1, 2, 2, 2, 2}));
}

// A cut or foreign archive is an error for list and cat, said as the engine
// says it of "pack.csa"; an output that is a pipe or a folder is never
// replaced.
TEST_F(PackTool, DamagedArchivesAndOutputsThatAreNoFilesAreRefused) {
    MakeTree();
    ASSERT_EQ(Tool({"create", "pack.csa", "game"}).exitCode, 0);
    const std::string image = tmp_.Get("pack.csa");
    const uint32_t first = 20 + 136 * 5;
    tmp_.Put("pack.csa", image.substr(0, first + 21));
    const std::string cut = "1||packtool: pack.csa: entry \"game\\a.txt\" (bytes " +
                            std::to_string(first + 19) + " to " + std::to_string(first + 24) +
                            ") lies past the end of the file (" + std::to_string(first + 21) +
                            " bytes)\n";
    EXPECT_EQ(Whole({"list", "pack.csa"}), cut);
    EXPECT_EQ(Whole({"cat", "pack.csa", "game\\B.txt"}), cut);
    tmp_.Put("pack.csa", "VROM" + image.substr(4));
    EXPECT_EQ(Whole({"list", "pack.csa"}),
              "1||packtool: pack.csa: not an archive (it does not start with \"MORV\")\n");

    ASSERT_EQ(mkfifo((tmp_ / "pipe.csa").c_str(), 0600), 0);
    EXPECT_EQ(Whole({"create", "pipe.csa", "game"}), "1||packtool: not a regular file: pipe.csa\n");
    EXPECT_TRUE(std::filesystem::is_fifo(tmp_ / "pipe.csa"));
    EXPECT_EQ(Whole({"create", "game", "game"}), "1||packtool: not a regular file: game\n");
    EXPECT_TRUE(std::filesystem::is_directory(tmp_ / "game"));
}

} // namespace
