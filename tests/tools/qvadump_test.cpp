// Runs the qvadump program on committed actor files and compares its output
// with committed text.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct ToolRun {
    std::string out;
    std::string err;
    int exitCode = -1;
};

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DataPath(const std::string &name) {
    return std::string(ENGINE_TEST_SOURCE_DIR) + "/tests/data/qvadump/" + name;
}

ToolRun RunQvadump(const std::string &args) {
    std::string dir = ::testing::TempDir();
    std::string tag = std::to_string(getpid());
    std::string outPath = dir + "qvadump_out_" + tag;
    std::string errPath = dir + "qvadump_err_" + tag;
    std::string command = "LC_ALL=de_DE.UTF-8 '" + std::string(ENGINE_TEST_BINARY_DIR) +
                          "/tools/qvadump' " + args + " >'" + outPath + "' 2>'" + errPath + "'";
    ToolRun run;
    int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

TEST(Qvadump, DumpMatchesGoldenText) {
    const std::string expected = ReadFile(DataPath("full_record.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump("'" + DataPath("full_record.qva") + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

TEST(Qvadump, FailedLoadPrintsWhatWasMadeAndTheError) {
    const std::string expected = ReadFile(DataPath("short_file.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvadump("'" + DataPath("short_file.qva") + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "error: Serialize Error\n");

    ToolRun missing = RunQvadump("'" + DataPath("no_such_file.qva") + "'");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "error: Error - Loading Actors\n");
}

TEST(Qvadump, WrongArgumentCountPrintsUsage) {
    for (const char *args : {"", "a b"}) {
        ToolRun run = RunQvadump(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "usage: qvadump FILE\n");
        EXPECT_EQ(run.out, "");
    }
}

} // namespace
