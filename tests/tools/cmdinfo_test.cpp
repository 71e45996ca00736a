// Runs the cmdinfo program and compares its output with committed text.
#include <gtest/gtest.h>

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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

ToolRun RunCmdinfo(const std::string& arg) {
    std::string dir = ::testing::TempDir();
    std::string tag = std::to_string(getpid());
    std::string outPath = dir + "cmdinfo_out_" + tag;
    std::string errPath = dir + "cmdinfo_err_" + tag;
    std::string command = Quote(std::string(ENGINE_TEST_BINARY_DIR) + "/tools/cmdinfo") + " " +
                          Quote(arg) + " >" + Quote(outPath) + " 2>" + Quote(errPath);
    ToolRun run;
    int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

std::string Golden(const std::string& name) {
    return ReadFile(std::string(ENGINE_TEST_SOURCE_DIR) + "/tests/data/cmdinfo/" + name);
}

} // namespace

TEST(Cmdinfo, MatchesGoldenOutput) {
    const struct {
        const char* arg;
        const char* golden;
    } cases[] = {
        {"--totals", "totals.txt"},
        {"141", "141.txt"},
        {"set_name", "set_name.txt"},
        {"93", "93.txt"},
        {"character_is_neutral", "character_is_neutral.txt"},
        {"863", "863.txt"},
    };
    for (const auto& c : cases) {
        std::string expected = Golden(c.golden);
        ASSERT_FALSE(expected.empty()) << c.golden;
        ToolRun run = RunCmdinfo(c.arg);
        EXPECT_EQ(run.exitCode, 0) << c.arg;
        EXPECT_EQ(run.out, expected) << c.arg;
        EXPECT_EQ(run.err, "") << c.arg;
    }
}

TEST(Cmdinfo, NamesAreFoldedLikeScriptNames) {
    std::string expected = Golden("set_name.txt");
    for (const char* arg : {"Set Name", "SET_NAME", "set name", "0032"}) {
        ToolRun run = RunCmdinfo(arg);
        EXPECT_EQ(run.exitCode, 0) << arg;
        EXPECT_EQ(run.out, expected) << arg;
    }
    // "Unknown" is an event: its script name is a hit on id 0.
    ToolRun unknown = RunCmdinfo("unknown");
    EXPECT_EQ(unknown.exitCode, 0);
    EXPECT_EQ(unknown.out.substr(0, 22), "id: 0\nname: \"Unknown\"\n");
}

TEST(Cmdinfo, NoSuchCommand) {
    ToolRun golden = RunCmdinfo("1794");
    EXPECT_EQ(golden.exitCode, 1);
    EXPECT_EQ(golden.err, Golden("no_such_command_1794.txt"));
    for (const char* arg : {"1794", "4294967296", "99999999999999999999999999", "get_name",
                            "no such thing", "", "0x10"}) {
        ToolRun run = RunCmdinfo(arg);
        EXPECT_EQ(run.exitCode, 1) << arg;
        EXPECT_EQ(run.out, "") << arg;
        EXPECT_EQ(run.err, std::string("cmdinfo: no such command: ") + arg + "\n") << arg;
    }
    ToolRun last = RunCmdinfo("1793");
    EXPECT_EQ(last.exitCode, 0);
    EXPECT_EQ(last.out.substr(0, 21), "id: 1793\nname: \"\"\ncla");
}
