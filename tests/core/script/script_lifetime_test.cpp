// Scripts and actors that go away while a script runs.
#include "core/actors/actor_services.h"
#include "core/actors/command_registry.h"
#include "core/script/byte_buffer.h"
#include "script_fixture.h"
#include "script_test_util.h"

using script_test::Code;

namespace {

constexpr uint32_t kSetName = 32, kSetEnabled = 34, kExecuteText = 222;

using ScriptLifetime = ScriptRunTest;

TEST_F(ScriptLifetime, ExecuteTextFreesTheRunningRecord) {
    ScriptActor *a = Make("A");
    Take();
    // The running script is itself a "__tmp" at the end of the list: the
    // trim after "Execute Text" frees it while it runs.
    Code code;
    code.Access(3).U32(kExecuteText).U32(11).Text("this.Set_Name(\"inner\");");
    code.Access(3).U32(kSetName).U32(11).Text("after").End();
    ScriptRecord *record = a->AddScript("__tmp", "");
    auto buffer = std::make_shared<ByteBuffer>();
    buffer->Append(code.bytes.data(), code.bytes.size());
    record->compiled = buffer;
    buffer.reset();
    EXPECT_EQ(RunScript(record, nullptr), 1);
    EXPECT_TRUE(a->scripts.empty());
    std::vector<std::string> names;
    for (const Received &r : Take(kSetName))
        names.push_back(r.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"inner", "after"}));
}

TEST_F(ScriptLifetime, DeletingTheRunningScript) {
    ScriptActor *a = Make("A");
    a->AddScript("self", "this.Delete_Script(\"self\"); this.Set_Enabled(1);");
    a->AddScript("caller", "this.Delete_Script(\"callee\"); this.callee(); this.Set_Enabled(0);");
    a->AddScript("callee", "this.Set_Name(\"callee\");");
    Take();
    EXPECT_EQ(RunScript(a->scripts[0].get(), nullptr), 1);
    EXPECT_EQ(Take(kSetEnabled).size(), 1u);
    ASSERT_EQ(a->scripts.size(), 2u);
    // The call by handle finds no record any more and runs nothing.
    EXPECT_EQ(RunScript(a->scripts[0].get(), nullptr), 1);
    EXPECT_TRUE(Take(kSetName).empty());
    EXPECT_EQ(Take().size(), 0u);
}

TEST_F(ScriptLifetime, ActorsDestroyedDuringTheRun) {
    // The parent stands in for a file object that drops its children at
    // once when told to unload.
    ScriptActor *parent = Make("P");
    ScriptActor *child = Make("C", parent);
    ScriptActor *other = Make("O", parent);
    parent->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 511) {
            for (Actor *kid : std::vector<Actor *>(parent->children))
                DeleteActor(kid);
        }
    };
    child->AddScript("go", "/Scenery/P.Unload_Fileobject(); this.Set_Enabled(1);"
                           "local.Set_Enabled(1); Sub.Set_Enabled(1); local/Sub.Set_Enabled(1);"
                           "/Scenery/P.Set_Enabled(1);");
    Take();
    EXPECT_EQ(RunScript(child->scripts[0].get(), other), 1);
    std::vector<Received> got = Take(kSetEnabled);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].actor, parent);
    EXPECT_TRUE(parent->children.empty());
}

TEST_F(ScriptLifetime, CallTargetDestroyedBetweenItsScripts) {
    ScriptActor *a = Make("A");
    ScriptActor *p = Make("P");
    ScriptActor *l = Make("L", p);
    l->AddScript("Foo", "this.Set_Name(\"first\"); /Scenery/P.Unload_Fileobject();");
    l->AddScript("Foo", "this.Set_Name(\"second\");");
    p->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == 511)
            DeleteActor(l);
    };
    Take();
    EXPECT_EQ(Run(a, "local.Foo(); this.Set_Name(\"end\");", l), 1);
    std::vector<std::string> names;
    for (const Received &r : Take(kSetName))
        names.push_back(r.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"first", "end"}));
}

TEST_F(ScriptLifetime, CopiesCallTheirOwnRecords) {
    ScriptActor *tmpl = Make("T");
    tmpl->AddScript("main", "this.helper();");
    tmpl->AddScript("helper", "this.Set_Enabled(1);");
    ASSERT_EQ(RunScript(tmpl->scripts[0].get(), nullptr), 1);
    // "Create" from the template; a second copy also shares the template's
    // byte code, whose handle finds the copy's own record too.
    auto *copy =
        static_cast<ScriptActor *>(CreateActor(kScriptActorClass, "Copy", tmpl, scenery, -1, true));
    auto *shared = static_cast<ScriptActor *>(
        CreateActor(kScriptActorClass, "Shared", tmpl, scenery, -1, true));
    ASSERT_TRUE(copy != nullptr && shared != nullptr);
    ASSERT_EQ(copy->scripts.size(), 2u);
    EXPECT_EQ(copy->scripts[1]->owner, copy);
    shared->scripts[0]->compiled = tmpl->scripts[0]->compiled;
    DeleteActor(tmpl);
    Take();
    EXPECT_EQ(RunScript(copy->scripts[0].get(), nullptr), 1);
    EXPECT_EQ(RunScript(shared->scripts[0].get(), nullptr), 1);
    std::vector<Received> got = Take(kSetEnabled);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].actor, copy);
    EXPECT_EQ(got[1].actor, shared);
}

TEST_F(ScriptLifetime, BaseHandlerRunsScriptsThroughTheInterpreter) {
    ScriptActor *a = Make("A");
    ScriptRecord *bound = a->AddScript("onStart", "this.Save_Game(\"started\");");
    bound->eventId = 154; // "Start Game"
    Take();
    a->HandleCommand(154, ParamBlock());
    std::string text = "this.Save_Game(\"text\");";
    a->HandleCommand(kExecuteText, ParamBlock(text.data(), text.size() + 1));
    std::vector<std::string> names;
    for (const Received &r : Take(368))
        names.push_back(r.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"started", "text"}));
    ASSERT_EQ(a->scripts.size(), 1u); // no "__tmp" left
}

} // namespace
