// Script commands of the base handler and the deferred removal of scripts.
#include "base_handler_fixture.h"

namespace {

using ScriptCommandTest = BaseHandlerTest;

TEST_F(ScriptCommandTest, ExecuteTextLeavesNoTrailingTempScript) {
    RecordingActor *actor = MakeActor();
    AddScript(actor, "__tmp");
    AddScript(actor, "keep");
    std::string source;
    runner.onRun = [&](ScriptRecord *record, Actor *local) {
        source = record->source;
        EXPECT_EQ(std::tuple(local, record->owner), std::tuple(nullptr, actor));
    };
    Send(actor, 222, {"print 1"});
    EXPECT_EQ(source, "print 1");
    EXPECT_EQ(runner.Names(), std::vector<std::string>{"__tmp"});
    // The "__tmp" that is not last stays.
    EXPECT_EQ(ScriptNames(actor), (std::vector<std::string>{"__tmp", "keep"}));

    // Trailing ones all go.
    AddScript(actor, "__tmp");
    Send(actor, 222, {"x"});
    EXPECT_EQ(ScriptNames(actor), (std::vector<std::string>{"__tmp", "keep"}));
}

TEST_F(ScriptCommandTest, ExecuteTextFromTheActorsOwnScriptTrimsAfterTheRun) {
    RecordingActor *actor = MakeActor();
    ScriptRecord *outer = AddScript(actor, "outer", 98);
    bool outerStillListed = false;
    runner.onRun = [&](ScriptRecord *record, Actor *) {
        if (record == outer) {
            Send(actor, 222, {"inner text"});
            // The outer record is still where it was, the temp script too.
            outerStillListed = actor->scripts.front().get() == outer;
            EXPECT_EQ(ScriptNames(actor), (std::vector<std::string>{"outer", "__tmp"}));
            EXPECT_EQ(outer->name, "outer");
        }
    };
    Send(actor, 98, {uint32_t(1)});
    EXPECT_TRUE(outerStillListed);
    EXPECT_EQ(runner.Names(), (std::vector<std::string>{"outer", "__tmp"}));
    EXPECT_EQ(ScriptNames(actor), std::vector<std::string>{"outer"});
}

TEST_F(ScriptCommandTest, ScriptRemovedDuringARunIsSkippedAtOnce) {
    RecordingActor *actor = MakeActor();
    ScriptRecord *a = AddScript(actor, "a", 98);
    AddScript(actor, "b", 98);
    AddScript(actor, "c", 98);
    ScriptRecord *foundDuringRun = a;
    runner.onRun = [&](ScriptRecord *record, Actor *) {
        if (record == a) {
            Send(actor, 223, {"b"});
            struct {
                const char *name;
                ScriptRecord *out;
            } query{"b", a};
            actor->HandleCommand(219, ParamBlock(&query, sizeof(query)));
            foundDuringRun = query.out;
            Send(actor, 220, {"b"});
            Send(actor, 221, {"b"});
        }
    };
    Send(actor, 98, {uint32_t(1)});
    EXPECT_EQ(foundDuringRun, nullptr);
    EXPECT_EQ(runner.Names(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(ScriptNames(actor), (std::vector<std::string>{"a", "c"}));
}

TEST_F(ScriptCommandTest, DeleteScriptRemovesTheFirstMatch) {
    RecordingActor *actor = MakeActor();
    AddScript(actor, "x");
    AddScript(actor, "y");
    AddScript(actor, "x");
    Send(actor, 223, {"x"});
    EXPECT_EQ(ScriptNames(actor), (std::vector<std::string>{"y", "x"}));
    Send(actor, 223, {"none"});
    EXPECT_EQ(ScriptNames(actor), (std::vector<std::string>{"y", "x"}));
}

TEST_F(ScriptCommandTest, ScriptsRunThroughTheRunner) {
    RecordingActor *actor = MakeActor();
    RecordingActor *other = MakeActor();
    ScriptRecord *record = AddScript(other, "s");
    AddScript(actor, "named");
    AddScript(actor, "other");
    AddScript(actor, "named");
    Send(actor, 218, {static_cast<void *>(record)});
    ASSERT_EQ(runner.runs.size(), 1u);
    EXPECT_EQ(std::tuple(runner.runs[0].local, runner.runs[0].owner), std::tuple(actor, other));
    Send(actor, 218, {static_cast<void *>(nullptr)});
    Send(actor, 220, {"named"});
    Send(actor, 221, {"named"});
    EXPECT_EQ(runner.Names(), (std::vector<std::string>{"s", "named", "named", "named", "named"}));
    EXPECT_EQ(runner.runs.back().local, nullptr);

    struct {
        const char *name;
        ScriptRecord *out;
    } query{"other", nullptr};
    actor->HandleCommand(219, ParamBlock(&query, sizeof(query)));
    EXPECT_EQ(query.out, actor->scripts[1].get());
}

} // namespace
