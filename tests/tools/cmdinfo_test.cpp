// Runs the cmdinfo program and compares its output with committed text.
#include <gtest/gtest.h>

#include <string>

#include "support/tool_run.h"

namespace {

using toolrun::ToolRun;

ToolRun RunCmdinfo(const std::string& arg) { return toolrun::Run("cmdinfo", {arg}); }

std::string Golden(const std::string& name) {
    return toolrun::ReadFile(toolrun::DataPath("cmdinfo/" + name));
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
