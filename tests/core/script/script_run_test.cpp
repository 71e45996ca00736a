// The interpreter: targets, parameter blocks, invalid byte code, nesting and
// the argument buffer.
#include <algorithm>
#include <tuple>
#include <cstring>

#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/engine_host.h"
#include "core/actors/engine_startup.h"
#include "core/actors/null_actor.h"
#include "core/script/byte_buffer.h"
#include "core/script/script_compiler.h"
#include "script_fixture.h"
#include "script_test_util.h"

using script_test::Code;

namespace {

constexpr uint32_t kSetName = 32, kSetEnabled = 34, kTimerCommand = 57, kSetPosition = 63,
                   kCollisionGroup = 134, kAddForce = 141, kUiSystemActivate = 1608,
                   kSetAimTarget = 1754, kGetBone = 1120, kSaveGame = 368;

// Records every delivery of the interpreter.
class RecordingTrace : public ScriptTrace {
  public:
    RecordingTrace() { previous = InstallScriptTrace(this); }
    ~RecordingTrace() override { InstallScriptTrace(previous); }
    void Send(int depth, Actor *target, uint32_t id, ParamBlock) override {
        lines.push_back(std::string(2 * depth, ' ') + "send " + target->name + " " +
                        std::to_string(id));
    }
    void Call(int depth, std::string_view name, Actor *target) override {
        lines.push_back(std::string(2 * depth, ' ') + "call " + std::string(name) + " " +
                        target->name);
    }
    std::vector<std::string> lines;
    ScriptTrace *previous;
};

using ScriptRun = ScriptRunTest;

// The deliveries with one of the ids (the base handler sends more).
std::vector<Received> Only(const std::vector<Received> &all, std::vector<uint32_t> ids) {
    std::vector<Received> out;
    for (const Received &r : all) {
        if (std::find(ids.begin(), ids.end(), r.id) != ids.end())
            out.push_back(r);
    }
    return out;
}

TEST_F(ScriptRun, StatementsReachTheirTargets) {
    ScriptActor *a = Make("A");
    ScriptActor *child = Make("Child", a);
    ScriptActor *other = Make("Other");
    ScriptActor *spy = Make("Spy");
    AddCommandSpy(child, spy);
    Take();
    EXPECT_EQ(Run(a,
                  "this.Set_Position((1, 2.5, -3)); Child.UI_System_Activate();"
                  "/Scenery/Other.Set_Enabled(1); sys.Set_Enabled(0);",
                  other),
              1);
    std::vector<Received> all = Take();
    // The spy of the child heard 1608.
    bool heard = false;
    std::vector<Received> got;
    for (const Received &r : all) {
        heard = heard || (r.actor == spy && r.id == 93 && r.Read<uint32_t>(0) == kUiSystemActivate);
        if (r.actor != spy)
            got.push_back(r);
    }
    EXPECT_TRUE(heard);
    ASSERT_EQ(got.size(), 3u); // the system is not a recorder
    EXPECT_EQ((std::vector<Actor *>{got[0].actor, got[1].actor, got[2].actor}),
              (std::vector<Actor *>{a, child, other}));
    EXPECT_EQ(got[1].id, kUiSystemActivate);
    ASSERT_EQ(got[0].block.size(), 12u);
    EXPECT_EQ(std::tuple(got[0].Read<float>(4), got[0].Read<float>(8), got[2].Read<uint32_t>(0)),
              std::tuple(2.5f, -3.0f, 1u));
}

TEST_F(ScriptRun, LocalAndGlobalSlots) {
    ScriptActor *a = Make("A");
    ScriptActor *local = Make("L");
    ScriptActor *deep = Make("x", local);
    ScriptActor *slotted = Make("GA12");
    ScriptActor *slotChild = Make("child", slotted);
    slotted->BindGlobalSlot();
    ASSERT_EQ(GlobalActorSlots[12], slotted);
    Take();
    RecordingTrace trace;
    EXPECT_EQ(Run(a,
                  "local.Set_Enabled(1); local/x.Set_Enabled(1); [ga]GA12.Set_Enabled(1);"
                  "[ga]GA12/child.Set_Enabled(1); [ga]GA13.Set_Enabled(1);"
                  "[safe][ga]GA13.Set_Enabled(1); [ga]GA12/none.Set_Enabled(1);"
                  "[safe]none.Set_Enabled(1); none.Set_Enabled(1); this.Set_Enabled(1);",
                  local),
              1);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{
                               "send L 34", "send x 34", "send GA12 34", "send child 34",
                               "send NULLACTOR 34", "send NULLACTOR(safe) 34", "send NULLACTOR 34",
                               "send NULLACTOR(safe) 34", "send NULLACTOR 34", "send A 34"}));
    std::vector<Received> got = Take(kSetEnabled);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(std::tuple(got[1].actor, got[3].actor, got[4].actor), std::tuple(deep, slotChild, a));
}

TEST_F(ScriptRun, WithoutLocalTheStatementIsSkippedWhole) {
    ScriptActor *a = Make("A");
    Take();
    // Every item form, then one statement that runs.
    EXPECT_EQ(Run(a, "local.Set_Position((1,2,3)); local.TimerCommand(1, Set_Position((1,2,3)));"
                     "local.Set_Name(\"abc\"); local.Copy_Value(Set_Position, this, Set_Position);"
                     "local.Set_Enabled(()); local.Set_Position(5); local.Set_AimTarget(sys);"
                     "local.Import_Collision(t, local/a, 1, s); local.Foo();"
                     "local/x.Set_Enabled(1); this.Set_Name(\"x\");"),
              1);
    std::vector<Received> got = Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(std::tuple(got[0].id, got[0].Text()), std::tuple(kSetName, "x"));
}

TEST_F(ScriptRun, ZeroFilledLiteralsKeepLaterParameters) {
    ScriptActor *a = Make("A");
    Take();
    EXPECT_EQ(
        Run(a, "this.Set_Position(5); this.Set_Collision_Group((), 1); this.Set_Enabled(());"), 1);
    std::vector<Received> got = Only(Take(), {kSetPosition, kCollisionGroup, kSetEnabled});
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].block, std::vector<uint8_t>(12, 0));
    EXPECT_EQ(std::tuple(a->position.x, got[1].id), std::tuple(0.0f, kCollisionGroup));
    EXPECT_EQ(got[1].block, (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(got[2].block, std::vector<uint8_t>(4, 0));
}

TEST_F(ScriptRun, ActorParametersAreNativePointers) {
    ScriptActor *a = Make("A");
    ScriptActor *local = Make("L");
    Take();
    EXPECT_EQ(Run(a,
                  "this.AddForceInDirectionOf(local, 1, 2, 3); this.Set_AimTarget(this);"
                  "this.AddForceInDirectionOf(nobody, 1, 2, 3);",
                  local),
              1);
    std::vector<Received> got = Take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].id, kAddForce);
    ASSERT_EQ(got[0].block.size(), 8u + 12u);
    EXPECT_EQ(std::tuple(got[0].Read<Actor *>(0), got[0].Read<float>(8), got[1].id),
              std::tuple(local, 1.0f, kSetAimTarget));
    ASSERT_EQ(got[1].block.size(), 9u);
    EXPECT_EQ(std::tuple(got[1].Read<Actor *>(0), got[1].block[8]), std::tuple(a, 0));
    EXPECT_EQ(got[2].Read<Actor *>(0), GetNullActor(false));
}

TEST_F(ScriptRun, HandMadeCodeForms) {
    ScriptActor *a = Make("A");
    Take();
    // Kind 10 (a stored pointer); "StringPtr" points into the code; a pointer
    // slot in the code never reaches the handler.
    Code code;
    code.Access(10);
    Actor *target = a;
    for (size_t i = 0; i < sizeof(target); ++i)
        code.U8(reinterpret_cast<uint8_t *>(&target)[i]);
    code.U32(kGetBone).U32(11).Text("bone").U32(11).U32(0xDEADBEEF).U32(0xDEADBEEF);
    code.Access(3).U32(kSetEnabled).U32(99); // an unknown tag carries nothing
    code.End();
    EXPECT_EQ(RunCode(a, code.bytes), 1);
    std::vector<Received> got = Only(Take(), {kGetBone, kSetEnabled});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].id, kGetBone);
    ASSERT_EQ(got[0].block.size(), 16u);
    EXPECT_EQ(std::string(got[0].Read<const char *>(0)), "bone");
    EXPECT_EQ(got[0].Read<uint64_t>(8), 0u);
    EXPECT_TRUE(got[1].block.empty());
}

TEST_F(ScriptRun, InvalidCodeEndsTheRun) {
    ScriptActor *a = Make("A");
    Take();
    auto runWord = [&](uint32_t word) {
        Code code;
        code.Access(3).U32(kSetEnabled).Int(1);
        code.Access(3).U32(word);
        code.Access(3).U32(kSetEnabled).Int(1).End();
        int result = RunCode(a, code.bytes);
        return std::make_pair(result, Take().size());
    };
    // Beyond the table, unregistered (1795, internal 219), words 0-31.
    for (uint32_t word : {1800u, 1795u, 219u, 5u, 0u, 31u})
        EXPECT_EQ(runWord(word), std::make_pair(0, size_t{1})) << word;
    EXPECT_EQ(runWord(1608), std::make_pair(1, size_t{3}));

    // Code that ends early, an invalid access kind, a nested command 97.
    EXPECT_EQ(RunCode(a, Code().Access(3).U32(kSetEnabled).U32(11).U8(1).bytes), 0);
    EXPECT_EQ(RunCode(a, Code().Access(3).U32(kSetName).U32(11).U8('x').bytes), 0);
    EXPECT_EQ(RunCode(a, Code().Access(11).U32(kSetEnabled).Int(1).End().bytes), 0);
    EXPECT_EQ(RunCode(a, Code().Access(3).U32(kTimerCommand).Real(1).U32(13).U32(97).End().bytes),
              0);
    EXPECT_EQ(RunCode(a, {}), 0);
    EXPECT_TRUE(Take().empty());

    // Byte code of a record without owner: "this" names nothing.
    ScriptActor *l = Make("L");
    Take();
    ScriptRecord *orphan = a->scripts.back().get();
    orphan->owner = nullptr;
    auto buffer = std::make_shared<ByteBuffer>();
    Code code = Code().Access(3).U32(kSetEnabled).Int(0).Access(4).U32(kSetEnabled).Int(0).End();
    buffer->Append(code.bytes.data(), code.bytes.size());
    orphan->compiled = buffer;
    EXPECT_EQ(RunScript(orphan, l), 1);
    std::vector<Received> got = Take(kSetEnabled);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].actor, l);
}

TEST_F(ScriptRun, ScriptCallsRunByHandleAndByName) {
    ScriptActor *a = Make("A");
    ScriptActor *local = Make("L");
    local->AddScript("Foo", "this.Save_Game(\"foo1\"); local.Save_Game(\"back\");");
    local->AddScript("Bar", "this.Save_Game(\"bar\");");
    local->AddScript("Foo", "this.Save_Game(\"foo2\");");
    a->AddScript("Helper", "this.Save_Game(\"helper\");");
    Take();
    RecordingTrace trace;
    EXPECT_EQ(Run(a, "this.Helper(); local.Foo(); local.[safe]Bar(); this.Nothing();", local), 1);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"call Helper A", "  send A 368", "call Foo L",
                                                     "  send L 368", "  send A 368", "  send L 368",
                                                     "call Bar L", "  send L 368"}));
    EXPECT_EQ(Received::Texts(Take(kSaveGame)), (std::vector<std::string>{"helper", "foo1", "back", "foo2", "bar"}));
}

TEST_F(ScriptRun, SelfCallingScriptStopsAt64Runs) {
    ScriptActor *a = Make("A");
    a->AddScript("loop", "this.loop(); this.Set_Enabled(1);");
    int deepest = 0;
    a->onCommand = [&](uint32_t id, ParamBlock) {
        if (id == kSetEnabled)
            deepest = std::max(deepest, CurrentScriptRunDepth());
    };
    Take();
    EXPECT_EQ(RunScript(a->scripts[0].get(), nullptr), 1);
    EXPECT_EQ(Take(kSetEnabled).size(), 64u);
    EXPECT_EQ(deepest, 64);
    EXPECT_EQ(CurrentScriptRunDepth(), 0);
}

// The runs between two frame steps share one budget. Content is never cut:
// a send to 20,000 children scripted on "Pause Game" runs every one, and so
// does a tree of 50 children with 50 children each. Scripts s0..s17, each
// running the next twice, would run 2^18 - 1 times from one run of s0: past
// the budget the rest are refused, with one line, and so is a later run in
// the same frame; the next frame counts anew.
TEST_F(ScriptRun, TheRunsBetweenTwoFrameStepsAreBoundedInNumber) {
    const auto scripted = [](ScriptActor *actor, const std::string &source) {
        actor->AddScript("s", source)->eventId = cmd::base::PauseGame;
    };
    ScriptActor *crowd = Make("Crowd");
    for (int i = 0; i < 20000; ++i) scripted(Make("C", crowd), "this.Set_Enabled(1);");
    ScriptActor *tree = Make("Tree");
    for (int i = 0; i < 50; ++i) {
        ScriptActor *branch = Make("B", tree);
        scripted(branch, "this.CommandChildren(Pause_Game()); this.Set_Enabled(1);");
        for (int j = 0; j < 50; ++j) scripted(Make("L", branch), "this.Set_Enabled(1);");
    }
    Take();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(crowd, "this.CommandChildren(Pause_Game());"), 1);
    EXPECT_EQ(Take(kSetEnabled).size(), 20000u);
    BeginScriptRunFrame();
    EXPECT_EQ(Run(tree, "this.CommandChildren(Pause_Game());"), 1);
    EXPECT_EQ(Take(kSetEnabled).size(), 2550u);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    ScriptActor *a = Make("A");
    for (int i = 0; i < 17; ++i) {
        const std::string next = "this.s" + std::to_string(i + 1) + "();";
        a->AddScript("s" + std::to_string(i), next + next);
    }
    a->AddScript("s17", "this.Set_Enabled(1);");
    size_t sets = 0;
    a->onCommand = [&](uint32_t id, ParamBlock) { sets += id == kSetEnabled ? 1 : 0; };
    Take();
    BeginScriptRunFrame();
    ::testing::internal::CaptureStderr();
    RunScript(a->scripts[0].get(), nullptr);
    EXPECT_GT(sets, 0u);
    EXPECT_LT(sets, kMaxScriptRunsPerFrame); // of 131,072
    sets = 0;
    EXPECT_EQ(RunScript(a->scripts[17].get(), nullptr), 0);
    EXPECT_EQ(sets, 0u);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "script: more than 50000 script runs in one frame; the rest are refused\n");
    BeginScriptRunFrame();
    EXPECT_EQ(RunScript(a->scripts[17].get(), nullptr), 1);
    EXPECT_EQ(sets, 1u);
    EXPECT_EQ(CurrentScriptRunDepth(), 0);
}

// Each frame step begins the budget anew: the scripts of 17,000 actors, run
// once a frame from the scheduled commands of the engine's own frame loop,
// all run in every frame, though the frames together pass the budget.
TEST_F(ScriptRun, EveryFrameStepBeginsTheBudgetAnew) {
    ScriptActor *crowd = Make("Crowd");
    for (int i = 0; i < 17000; ++i) {
        Make("C", crowd)->AddScript("s", "this.Set_Enabled(1); this.TimerCommand(0, Pause_Game());")
            ->eventId = cmd::base::PauseGame;
    }
    EngineHost host;
    FrameLoop frames(host);
    frames.SetFixedFrameTime(1.0 / 60.0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(crowd, "this.CommandChildren(Pause_Game());"), 1);
    std::vector<size_t> runs = {Take(kSetEnabled).size()};
    for (int frame = 0; frame < 3; ++frame) {
        frames.FrameStep();
        runs.push_back(Take(kSetEnabled).size());
    }
    EXPECT_EQ(runs, (std::vector<size_t>{17000, 17000, 17000, 17000}));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // Newest first, each finds its fired entry at the back of the removal
    // list (the world's teardown would search the whole list for each).
    while (!crowd->children.empty()) DeleteActor(crowd->children.back());
}

TEST_F(ScriptRun, FailedCompileRunsNothingAndRetries) {
    ScriptActor *a = Make("A");
    ScriptRecord *record = a->AddScript("s", "this.Set_Enabled(1)");
    Take();
    EXPECT_EQ(RunScript(record, nullptr), 0);
    EXPECT_EQ(record->compiled, nullptr);
    record->source = "this.Set_Enabled(1);";
    EXPECT_EQ(RunScript(record, nullptr), 1);
    EXPECT_EQ(Take(kSetEnabled).size(), 1u);
    // An empty source runs nothing.
    EXPECT_EQ(Run(a, ""), 1);
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(RunScript(nullptr, nullptr), 0);
    EXPECT_EQ(ResolveActorAccess(), nullptr);
    EXPECT_EQ(EvalScriptParam(ParamType::UInt32), 0);
}

TEST_F(ScriptRun, NestedRunsAppendAfterTheHeldBlock) {
    ScriptActor *a = Make("A");
    ScriptActor *b = Make("B");
    b->AddScript("inner", "this.Set_Name(\"inner text\");");
    std::vector<uint8_t> seenBefore, seenAfter;
    const uint8_t *innerAddress = nullptr;
    a->onCommand = [&](uint32_t id, ParamBlock block) {
        if (id != kSetName)
            return;
        seenBefore.assign(block.data(), block.data() + block.size());
        b->onCommand = [&](uint32_t, ParamBlock inner) { innerAddress = inner.data(); };
        RunScript(b->scripts[0].get(), nullptr);
        seenAfter.assign(block.data(), block.data() + block.size());
    };
    Take();
    EXPECT_EQ(Run(a, "this.Set_Name(\"outer\"); this.Set_Enabled(1);"), 1);
    std::vector<Received> got = Take();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(std::tuple(seenAfter, got[0].Text()), std::tuple(seenBefore, "outer"));
    // The inner block follows the outer one in the area; the next outer
    // statement starts where the outer one did.
    EXPECT_EQ(innerAddress, got[0].address + got[0].block.size());
    EXPECT_EQ(got.back().address, got[0].address);
}

TEST_F(ScriptRun, LargeBlocksSpillForOneStatement) {
    ScriptActor *a = Make("A");
    ScriptActor *b = Make("B");
    std::string big(9000, 'b');
    b->AddScript("inner",
                 "this.Set_Name(\"" + std::string(9000, 'i') + "\"); this.Set_Enabled(1);");
    std::string outerBefore, outerAfter;
    a->onCommand = [&](uint32_t id, ParamBlock block) {
        if (id != kSetName)
            return;
        outerBefore = std::string(block.ReadString(0));
        RunScript(b->scripts[0].get(), nullptr);
        outerAfter = std::string(block.ReadString(0));
    };
    Take();
    EXPECT_EQ(Run(a, "this.Set_Enabled(0); this.Set_Name(\"" + big + "\"); this.Set_Enabled(1);"),
              1);
    std::vector<Received> got = Only(Take(), {kSetName, kSetEnabled});
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(std::tuple(outerBefore, outerAfter, got[1].block.size()),
              std::tuple(big, big, 9001u));
    EXPECT_EQ(got[2].Text(), std::string(9000, 'i'));
    // The statements after the large ones use the fixed area again.
    EXPECT_EQ(got[4].address, got[0].address);
    EXPECT_NE(got[1].address, got[0].address);
}

TEST_F(ScriptRun, QueryAnswersStayInsideTheBlock) {
    ScriptActor *a = Make("A");
    a->onCommand = [](uint32_t id, ParamBlock block) {
        if (id == 33) { // "Get Name": a long answer into a short block
            EXPECT_FALSE(block.WriteString(0, std::string(300, 'n')));
            EXPECT_EQ(block.ReadString(0), "");
        }
    };
    Take();
    // "Get Name" is no script command: hand-made code with an empty text.
    EXPECT_EQ(RunCode(a, Code().Access(3).U32(33).U32(11).Text("").End().bytes), 1);
    EXPECT_EQ(Take(33).size(), 1u);
}

} // namespace
