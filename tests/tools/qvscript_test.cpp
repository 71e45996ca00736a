// Runs the qvscript program and compares its output with committed text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

using toolrun::ReadFile;
using toolrun::ToolRun;

std::string DataPath(const std::string &name) { return toolrun::DataPath("qvscript/" + name); }

// Runs qvscript with the arguments (already quoted) and stdin from input.
ToolRun RunQvscript(const std::string &args, const std::string &input = "") {
    TempFolder io;
    io.Put("in", input);
    std::string command = "'" + std::string(ENGINE_TEST_BINARY_DIR) + "/tools/qvscript' " + args +
                          " <'" + (io / "in") + "' >'" + (io / "out") + "' 2>'" +
                          (io / "err") + "'";
    ToolRun run;
    int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    run.out = io.Get("out");
    run.err = io.Get("err");
    return run;
}

TEST(Qvscript, CompileMatchesGoldenHex) {
    for (const char *name : {"set_position", "timer_call"}) {
        std::string expected = ReadFile(DataPath(std::string(name) + ".hex"));
        ASSERT_FALSE(expected.empty()) << name;
        ToolRun fromFile = RunQvscript("compile '" + DataPath(std::string(name) + ".qvs") + "'");
        EXPECT_EQ(fromFile.exitCode, 0) << name;
        EXPECT_EQ(fromFile.out, expected) << name;
        EXPECT_EQ(fromFile.err, "") << name;
        ToolRun fromStdin = RunQvscript("compile", ReadFile(DataPath(std::string(name) + ".qvs")));
        EXPECT_EQ(fromStdin.out, expected) << name;
    }
    ToolRun empty = RunQvscript("compile", "");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "5f 45 6e 64\n");
}

TEST(Qvscript, CompileErrors) {
    ToolRun run = RunQvscript("compile", "this.Delete();\nthis.Set Enabled(1);");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "error: ParseParamRecursive() _1_ Expected '(' at 24\n");
    ToolRun missing = RunQvscript("compile /nonexistent/file.qvs");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "error: cannot read /nonexistent/file.qvs\n");
}

TEST(Qvscript, UsageErrors) {
    for (const char *args : {"", "compile a b", "run", "run a.qva", "run a b c d", "dump"}) {
        ToolRun run = RunQvscript(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err.substr(0, 16), "usage: qvscript ") << args;
    }
}

// The committed actor file holds "A" and "B" under "Scenery". Expected lines, checked by hand: 34
// with Bool 1; the missing named actor gets the [safe] null receiver; 63 with floats 1, 2, 3; the
// statement on the absent local actor is skipped whole; 32 with "x" and its terminator.
TEST(Qvscript, RunMatchesGoldenText) {
    const std::string actors = ENGINE_TEST_SOURCE_DIR "/tests/data/qvadump/full_record.qva";
    std::string expected = ReadFile(DataPath("run_scenery_a.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run = RunQvscript("run '" + actors + "' /Scenery/A '" + DataPath("run_scenery_a.qvs") + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
    ToolRun fromStdin = RunQvscript("run '" + actors + "' /Scenery/B", "this.Set_Enabled(0);");
    EXPECT_EQ(fromStdin.exitCode, 0);
    EXPECT_EQ(fromStdin.out, "send /Scenery/B 34 \"Set Enabled\" 00000000\nresult 1\n");
}

TEST(Qvscript, RunFailures) {
    const std::string actors = ENGINE_TEST_SOURCE_DIR "/tests/data/qvadump/full_record.qva";
    ToolRun unknown = RunQvscript("run '" + actors + "' /Scenery/C", "this.Set_Enabled(1);");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "error: no actor at /Scenery/C\n");
    ToolRun relative = RunQvscript("run '" + actors + "' Scenery/A", "this.Set_Enabled(1);");
    EXPECT_EQ(relative.err, "error: no actor at Scenery/A\n");
    ToolRun noFile = RunQvscript("run /nonexistent/a.qva /Scenery/A", "this.Set_Enabled(1);");
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_EQ(noFile.out, "");
    EXPECT_EQ(noFile.err.substr(0, 37), "error: cannot load /nonexistent/a.qva");
}

// A folder or a file that does not read where a script belongs is one line
// and exit 1 (no abort).
TEST(Qvscript, UnreadableScriptsAreOneLine) {
    TempFolder folder;
    const std::string actors = ENGINE_TEST_SOURCE_DIR "/tests/data/qvadump/full_record.qva";
    const struct {
        std::string args;
        std::string err;
    } cases[] = {
        {"compile '" + folder.Path() + "'", "error: cannot read " + folder.Path() + ": is a folder\n"},
        {"run '" + actors + "' /Scenery/A '" + folder.Path() + "'",
         "error: cannot read " + folder.Path() + ": is a folder\n"},
        {"compile /proc/self/mem", "error: cannot read /proc/self/mem: read error: Input/output error\n"},
    };
    for (const auto &c : cases) {
        ToolRun run = RunQvscript(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args;
        EXPECT_EQ(run.out, "") << c.args;
        EXPECT_EQ(run.err, c.err) << c.args;
    }
}

// The file's actors (a Reference among them, which ignores the commands of
// the run) go with the world when the run ends: the sanitizers find nothing
// left.
TEST(Qvscript, RunLeavesNoActorBehind) {
    const std::string path = ::testing::TempDir() + "qvscript_orphan_" + std::to_string(getpid()) + ".qva";
    ResetActorWorldForTests();
    ASSERT_EQ(InitActorSystem(), 1);
    Actor *scenery = GetActorById(kSceneryRootId);
    ASSERT_NE(CreateActor(0, "Kept", nullptr, scenery, 3000, true), nullptr);
    ASSERT_NE(CreateActor(kReferenceClassId, "Ref", nullptr, scenery, 3001, true), nullptr);
    ASSERT_EQ(SaveActors(path, 3000, 7000, kSerializeSave), 1);
    ResetActorWorldForTests();
    ToolRun run = RunQvscript("run '" + path + "' /Scenery/Kept", "this.Set_Enabled(1);");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "send /Scenery/Kept 34 \"Set Enabled\" 01000000\nresult 1\n");
    EXPECT_EQ(run.err, "");
    std::remove(path.c_str());
}

// An actor file whose actors carry scripts: "Door" with "open", which
// calls "glow" on "Lamp", which holds two scripts of that name. Written by
// the engine's own saver into the test's temporary folder.
std::string WriteScriptedActors() {
    const std::string path = ::testing::TempDir() + "qvscript_scripted_" +
                             std::to_string(getpid()) + ".qva";
    ResetActorWorldForTests();
    EXPECT_EQ(InitActorSystem(), 1);
    Actor *scenery = GetActorById(kSceneryRootId);
    Actor *door = CreateActor(0, "Door", nullptr, scenery, 3000, true);
    Actor *lamp = CreateActor(0, "Lamp", nullptr, scenery, 3001, true);
    auto add = [](Actor *actor, const char *name, const char *source) {
        auto record = std::make_unique<ScriptRecord>();
        record->name = name;
        record->source = source;
        record->owner = actor;
        actor->scripts.push_back(std::move(record));
    };
    add(door, "open", "this.Set_Enabled(1); /Scenery/Lamp.glow(); this.Set_Enabled(0);");
    add(lamp, "glow", "this.Set_Position((1, 2, 3));");
    add(lamp, "glow", "this.Set_Enabled(1);");
    EXPECT_EQ(SaveActors(path, 3000, 7000, kSerializeSave), 1);
    ResetActorWorldForTests();
    return path;
}

// Script calls print their name and target; the commands of nested runs are indented two blanks a
// level. Checked by hand: "open" (a call by handle) runs one level in and its call of "glow" runs
// both of Lamp's scripts of that name two levels in; a call on a missing actor goes to NULLACTOR
// and runs nothing; a name Lamp holds no script of prints only its call line.
TEST(Qvscript, RunShowsCallsAndNestedRunsIndented) {
    const std::string actors = WriteScriptedActors();
    std::string expected = ReadFile(DataPath("run_nested.txt"));
    ASSERT_FALSE(expected.empty());
    ToolRun run =
        RunQvscript("run '" + actors + "' /Scenery/Door '" + DataPath("run_nested.qvs") + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
    std::remove(actors.c_str());
}

} // namespace
