// The text form of what the interpreter delivers.
#include "core/actors/null_actor.h"
#include "core/script/script_trace_text.h"
#include "script_fixture.h"

namespace {

using ScriptTraceTextTest = ScriptRunTest;

TEST_F(ScriptTraceTextTest, LinesOfSendsAndCallsWithNesting) {
    ScriptActor *a = Make("A");
    ScriptActor *b = Make("B", a);
    b->AddScript("Wave", "this.Save_Game(\"hi\"); ../A.x();");
    a->AddScript("Twice", "local.Wave();");
    std::string text =
        RunScriptTraced(a, "this.AddForceInDirectionOf(B, 1, 0, -2);\n"
                           "B.Wave(); [safe]nobody.UI_System_Activate(); nobody.Set_Enabled(1);\n"
                           "this.Twice();");
    EXPECT_EQ(text, "send /Scenery/A 141 \"AddForceInDirectionOf\" "
                    "2f5363656e6572792f412f4200" // "/Scenery/A/B" + NUL
                    "0000803f00000000000000c0\n"
                    "call \"Wave\" /Scenery/A/B\n"
                    "  send /Scenery/A/B 368 \"Save Game\" 686900\n"
                    "  call \"./A.x\" /Scenery/A/B\n"
                    "send NULLACTOR(safe) 1608 \"UI System Activate\"\n"
                    "send NULLACTOR 34 \"Set Enabled\" 01000000\n"
                    "call \"Twice\" /Scenery/A\n"
                    "  call \"Wave\" /Scenery/A\n" // local is the caller: A has no Wave
                    "result 1\n");
    // A text that does not compile runs nothing.
    EXPECT_EQ(RunScriptTraced(a, "this.Set_Enabled(1) ;"), "result 0\n");
    EXPECT_EQ(ScriptTargetName(system), "/");
    EXPECT_EQ(ScriptTargetName(GetNullActor(false)), "NULLACTOR");
}

} // namespace
