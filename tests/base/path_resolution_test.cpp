#include "base/file_system.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

class PathResolution : public ::testing::Test {
protected:
    void SetUp() override { tmp_.Put("Game/Data/Globals.qva", "globals"); }

    // The scratch folder, then a path written the way game data writes them.
    std::string In(const std::string& windowsPath) const { return tmp_.Path() + "\\" + windowsPath; }

    TempFolder tmp_;
};

TEST_F(PathResolution, ReadsIgnoreLetterCase) {
    FileHandle handle;
    ASSERT_TRUE(handle.Open(In("game\\data\\GLOBALS.QVA"), "rb"));
    std::string text(7, '\0');
    handle.SerializeBytes(text.data(), 7);
    EXPECT_EQ(text, "globals");
    EXPECT_EQ(ResolvePath(In("game\\data\\GLOBALS.QVA"), false), tmp_ / "Game/Data/Globals.qva");
    EXPECT_EQ(ResolvePath(In("game\\data\\GLOBALS.QVA"), true), tmp_ / "Game/Data/Globals.qva");
}

TEST_F(PathResolution, MixedAndRepeatedSeparators) {
    const std::string expected = tmp_ / "Game/Data/Globals.qva";
    EXPECT_EQ(ResolvePath(In("GAME/data\\globals.qva"), false), expected);
    EXPECT_EQ(ResolvePath(tmp_.Path() + "//game\\\\\\Data//globals.QVA", false), expected);
    FileHandle handle;
    EXPECT_TRUE(handle.Open(tmp_.Path() + "/Game\\Data/Globals.qva", "rb"));
}

TEST_F(PathResolution, WriteReusesFileOfAnyCase) {
    FileHandle handle;
    ASSERT_TRUE(handle.Open(In("GAME\\DATA\\globals.qva"), "wb"));
    handle.Write("new", 3);
    EXPECT_EQ(handle.Close(), 0);
    EXPECT_EQ(tmp_.List("Game/Data"), std::vector<std::string>{"Globals.qva"});
    EXPECT_EQ(tmp_.Get("Game/Data/Globals.qva"), "new");
}

TEST_F(PathResolution, WriteCreatesNewFileAsSpelt) {
    FileHandle handle;
    ASSERT_TRUE(handle.Open(In("game\\Data\\new.qva"), "wb"));
    EXPECT_EQ(handle.Close(), 0);
    EXPECT_EQ(tmp_.List("Game/Data"), (std::vector<std::string>{"Globals.qva", "new.qva"}));
    EXPECT_EQ(ResolvePath(In("game\\data\\Other.qva"), true), tmp_ / "Game/Data/Other.qva");
    EXPECT_EQ(ResolvePath(In("game\\data\\Other.qva"), false), "");
}

TEST_F(PathResolution, FoldersDoNotOpen) {
    FileHandle handle;
    EXPECT_FALSE(handle.Open(In("game\\data"), "rb"));
    EXPECT_FALSE(handle.Open(In("game\\data"), "wb"));
    EXPECT_FALSE(handle.Open(In("game\\data\\"), "rb"));
    EXPECT_FALSE(handle.Open(tmp_.Path() + "/Game", "rb"));
    EXPECT_EQ(ResolvePath(In("Game"), false), "");
}

TEST_F(PathResolution, MissingFoldersAreNotCreated) {
    FileHandle handle;
    EXPECT_FALSE(handle.Open(In("game\\saves\\one.sav"), "wb"));
    EXPECT_EQ(tmp_.List("Game"), std::vector<std::string>{"Data"});
    EXPECT_FALSE(handle.Open(In("game\\data\\missing.qva"), "rb"));
    EXPECT_EQ(ResolvePath("", false), "");
}

TEST_F(PathResolution, DotsStayAsTheyAre) {
    EXPECT_EQ(ResolvePath(In("game\\data\\..\\Data\\globals.qva"), false),
              tmp_ / "Game/Data/../Data/Globals.qva");
    EXPECT_EQ(ResolvePath(In("game\\.\\data\\globals.qva"), false), tmp_ / "Game/./Data/Globals.qva");
}

TEST_F(PathResolution, FirstMatchInByteOrderWins) {
    tmp_.Put("Game/Data/a.TXT", "second");
    tmp_.Put("Game/Data/A.txt", "first");
    EXPECT_EQ(ResolvePath(In("game\\data\\a.txt"), false), tmp_ / "Game/Data/A.txt");
    // An exact match is taken as it is.
    EXPECT_EQ(ResolvePath(In("Game\\Data\\a.TXT"), false), tmp_ / "Game/Data/a.TXT");
}

TEST_F(PathResolution, FilesAndFoldersOfTheSameNameAreTold) {
    // "data" as a file beside the folder "Data": the folder is taken for a
    // folder component, the file for the last one.
    tmp_.Put("Game/data", "file");
    EXPECT_EQ(ResolvePath(In("GAME\\DATA\\globals.qva"), false), tmp_ / "Game/Data/Globals.qva");
    EXPECT_EQ(ResolvePath(In("GAME\\DATA"), false), tmp_ / "Game/data");
}

TEST_F(PathResolution, LeadingBackslashMeansWorkingFolder) {
    char* old = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(tmp_.Path().c_str()), 0);
    std::string viaRoot = ResolvePath("\\game\\data\\globals.qva", false);
    std::string relative = ResolvePath("game\\data\\globals.qva", false);
    FileHandle handle;
    bool opened = handle.Open("\\GAME\\Data\\GLOBALS.qva", "rb");
    handle.Close();
    ASSERT_EQ(chdir(old), 0);
    free(old);
    EXPECT_EQ(viaRoot, "Game/Data/Globals.qva");
    EXPECT_EQ(relative, "Game/Data/Globals.qva");
    EXPECT_TRUE(opened);
}

// A pipe (here with a writer, so that an open would not wait) is neither read
// as data nor replaced by a write.
TEST_F(PathResolution, OnlyRegularFilesOpen) {
    const std::string pipe = tmp_ / "Game/Data/Level1.qva";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int writer = open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    FileHandle handle;
    EXPECT_FALSE(handle.Open(In("game\\data\\level1.qva"), "rb"));
    EXPECT_FALSE(handle.Open(pipe, "wb"));
    close(writer);
    struct stat st;
    ASSERT_EQ(stat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(tmp_.List("Game/Data"), (std::vector<std::string>{"Globals.qva", "Level1.qva"}));
}

} // namespace
