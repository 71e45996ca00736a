// Scripts and actors that go away while a script runs.
#include <filesystem>
#include <tuple>

#include "actors/world/file_io_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/script/byte_buffer.h"
#include "library/resource_library.h"
#include "script_fixture.h"
#include "script_test_util.h"
#include "support/temp_folder.h"

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
    EXPECT_EQ(Received::Texts(Take(kSetName)), (std::vector<std::string>{"inner", "after"}));
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
    // once when told to unload, or to load in game.
    const struct {
        uint32_t id;
        const char *name;
    } commands[] = {{511, "Unload_Fileobject"}, {507, "Load_Fileobject_In_Game"}};
    for (const auto &c : commands) {
        SCOPED_TRACE(c.name);
        ScriptActor *parent = Make("P");
        ScriptActor *child = Make("C", parent);
        ScriptActor *other = Make("O", parent);
        const uint32_t dropAt = c.id;
        parent->onCommand = [parent, dropAt](uint32_t id, ParamBlock) {
            if (id == dropAt) {
                for (Actor *kid : std::vector<Actor *>(parent->children))
                    DeleteActor(kid);
            }
        };
        child->AddScript("go", std::string("/Scenery/P.") + c.name +
                                   "(); this.Set_Enabled(1);"
                                   "local.Set_Enabled(1); Sub.Set_Enabled(1); "
                                   "local/Sub.Set_Enabled(1); this.go();"
                                   "/Scenery/P.Set_Enabled(1);");
        Take();
        EXPECT_EQ(RunScript(child->scripts[0].get(), other), 1);
        std::vector<Received> got = Take(kSetEnabled);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].actor, parent);
        EXPECT_TRUE(parent->children.empty());
        DeleteActor(parent);
    }
}

TEST_F(ScriptLifetime, OpenFileOnTheRootOfTheRunningScriptsActor) {
    // "Open File" empties "Scenery" under the script of one of its children
    // (hand-made byte code: no script reaches that command from source),
    // then loads the file, which may hold an actor of the same name and id:
    // a new actor, reached by path but never through "this" or the emptied
    // actor's script handles.
    TempFolder folder;
    system->baseFolder = folder.Path();
    // File actors take the library's base folder when there is a library
    // (one left behind by an earlier test in the same process).
    struct LibraryBase {
        ResourceLibrary *library = GetLibrary();
        std::string kept = library != nullptr ? library->GetBaseFolder() : "";
        ~LibraryBase() {
            if (library != nullptr) library->SetBaseFolder(kept.c_str());
        }
    } libraryBase;
    if (libraryBase.library != nullptr)
        libraryBase.library->SetBaseFolder(folder.Path().c_str());
    std::filesystem::create_directories(folder / "Data");
    ScriptActor *watcher = Make("G", GetActorById(kGlobalRootId));
    auto *saved =
        static_cast<ScriptActor *>(CreateActor(kScriptActorClass, "S", nullptr, scenery, 3000, false));
    saved->AddScript("kept", "this.Set_Enabled(0);");
    ASSERT_EQ(SendCommandArgs(scenery, cmd::file_io::SaveFile, std::string("scene.qva")), 1)
        << system->errorText;
    DeleteActor(saved);

    for (const char *file : {"missing.qva", "scene.qva"}) {
        SCOPED_TRACE(file);
        auto *s = static_cast<ScriptActor *>(
            CreateActor(kScriptActorClass, "S", nullptr, scenery, 3000, false));
        ASSERT_NE(s, nullptr);
        Code code;
        code.Access(6).Text("/Scenery").U32(cmd::file_io::OpenFile).U32(11).Text(file);
        code.Access(3).U32(kSetName).U32(11).Text("this");
        code.Access(6).Text("../x").U32(kSetName).U32(11).Text("relative");
        code.Access(3).U32(1).U32(s->AddScript("kept", "this.Set_Enabled(0);")->serial);
        code.Access(6).Text("/Scenery/S").U32(kSetName).U32(11).Text("path");
        code.Access(6).Text("/Global/G").U32(kSetEnabled).Int(1).End();
        Take();
        EXPECT_EQ(RunCode(s, code.bytes), 1);
        // The emptied actor hears only the broadcast of the emptying; the
        // statements meant for it reach nobody else.
        std::vector<std::string> names;
        std::vector<Actor *> enabled;
        for (const Received &r : Take()) {
            if (r.actor == s) {
                EXPECT_EQ(r.id, 157u);
            }
            if (r.id == kSetName)
                names.push_back(r.Text());
            if (r.id == kSetEnabled)
                enabled.push_back(r.actor);
        }
        const bool loaded = std::string(file) == "scene.qva";
        // The file's actor (named "S" by the reader) is reached by path.
        const std::vector<std::string> wanted =
            loaded ? std::vector<std::string>{"S", "path"} : std::vector<std::string>{};
        EXPECT_EQ(names, wanted);
        EXPECT_EQ(enabled, std::vector<Actor *>{watcher});
        if (loaded) {
            ASSERT_EQ(scenery->children.size(), 1u);
            EXPECT_EQ(scenery->children[0], GetActorById(3000));
            EXPECT_EQ(scenery->children[0]->name, "path");
            EXPECT_EQ(scenery->children[0]->scripts.size(), 1u);
        } else {
            EXPECT_TRUE(scenery->children.empty());
        }
        while (!scenery->children.empty())
            DeleteActor(scenery->children.back());
    }
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
    EXPECT_EQ(Received::Texts(Take(kSetName)), (std::vector<std::string>{"first", "end"}));
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
    EXPECT_EQ(std::tuple(got[0].actor, got[1].actor), std::tuple(copy, shared));
}

TEST_F(ScriptLifetime, BaseHandlerRunsScriptsThroughTheInterpreter) {
    ScriptActor *a = Make("A");
    ScriptRecord *bound = a->AddScript("onStart", "this.Save_Game(\"started\");");
    bound->eventId = 154; // "Start Game"
    Take();
    a->HandleCommand(154, ParamBlock());
    std::string text = "this.Save_Game(\"text\");";
    a->HandleCommand(kExecuteText, ParamBlock(text.data(), text.size() + 1));
    EXPECT_EQ(Received::Texts(Take(368)), (std::vector<std::string>{"started", "text"}));
    ASSERT_EQ(a->scripts.size(), 1u); // no "__tmp" left
}

} // namespace
