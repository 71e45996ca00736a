#include "core/actors/input_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Each event as one line: "<frame>@<line> <kind> ...", to compare whole scripts.
std::vector<std::string> Lines(const InputScript& script) {
    std::vector<std::string> lines;
    for (const ScriptedInput& e : script.events) {
        std::string at = std::to_string(e.frame) + "@" + std::to_string(e.line) + " ";
        const char* upDown = e.down ? " down " : " up ";
        switch (e.kind) {
            case ScriptedInputKind::Key:
                lines.push_back(at + "key" + upDown + std::to_string(e.code));
                break;
            case ScriptedInputKind::Button:
                lines.push_back(at + "button" + upDown + std::to_string(e.code));
                break;
            case ScriptedInputKind::Motion:
                lines.push_back(at + "motion " + std::to_string(e.dx) + " " + std::to_string(e.dy));
                break;
            case ScriptedInputKind::Capture: lines.push_back(at + "capture " + e.file); break;
        }
    }
    return lines;
}

TEST(InputScript, GoodScriptInFrameOrderWithCommentsAndBlankLines) {
    const std::string text =
        "# opening the menu\r\n"
        "12 capture shots\\late.tga\r\n"
        "\n"
        "  10\tkey down 0x1B   # Escape\n"
        "10 key up 27\n"
        "3 button down 1\n"
        "3 button up 3\n"
        "5 motion -40 +25\n"
        "10 button down 2\n"
        "7 key down 0x60\n"  // keypad 0 (Num Lock on)
        "7 key down 12";     // Clear (keypad 5, Num Lock off); no final newline
    InputScript script;
    std::string error;
    ASSERT_TRUE(ParseInputScript(text, &script, &error)) << error;
    const std::vector<std::string> expect = {
        "3@6 button down 256", "3@7 button up 258",   "5@8 motion -40 25",
        "7@10 key down 96",    "7@11 key down 12",    "10@4 key down 27",
        "10@5 key up 27",      "10@9 button down 257", "12@2 capture shots\\late.tga"};
    EXPECT_EQ(Lines(script), expect);

    ASSERT_TRUE(ParseInputScript("# nothing\n\n", &script, &error));
    EXPECT_TRUE(script.events.empty());
}

TEST(InputScript, BadLinesNameTheLineAndTheReason) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"0 key down 65", "\"0\" is not a frame number from 1"},
        {"x1 capture a.tga", "\"x1\" is not a frame number from 1"},
        {"99999999999999999999 key down 65",
         "\"99999999999999999999\" is not a frame number from 1"},
        {"4", "expected key, button, motion or capture after the frame"},
        {"4 jump", "unknown event \"jump\""},
        {"4 key down", "expected <frame> key down|up <virtual key>"},
        {"4 key down 65 66", "expected <frame> key down|up <virtual key>"},
        {"4 key press 65", "\"press\" is neither down nor up"},
        {"4 key down 0", "\"0\" is no virtual key of the keyboard"},
        {"4 key down 256", "\"256\" is no virtual key of the keyboard"},
        {"4 key down 0x", "\"0x\" is no virtual key of the keyboard"},
        {"4 key down 0x-41", "\"0x-41\" is no virtual key of the keyboard"},
        {"4 key down 7", "\"7\" is no virtual key of the keyboard"},  // no key gives 7
        {"4 button up", "expected <frame> button down|up 1|2|3"},
        {"4 button down 4", "\"4\" is not button 1, 2 or 3"},
        {"4 button down 0x1", "\"0x1\" is not button 1, 2 or 3"},
        {"4 motion 5", "expected <frame> motion <dx> <dy>"},
        {"4 motion 5 1.5", "\"1.5\" is not a motion in pixels"},
        {"4 motion 100001 0", "\"100001\" is not a motion in pixels"},
        {"4 capture", "expected <frame> capture <file>"},
        {"4 capture my shot.tga", "expected <frame> capture <file>"},
        {"4 capture ..\\up.tga", "\"..\\up.tga\" leaves the base folder"},
    };
    for (const auto& c : cases) {
        // The bad line is the third; the lines before it are good.
        InputScript script;
        script.events.resize(1);
        std::string error;
        const std::string text = std::string("1 key down 65\n# c\n") + c.line + "\n2 key up 65\n";
        EXPECT_FALSE(ParseInputScript(text, &script, &error)) << c.line;
        EXPECT_EQ(error, std::string("3: ") + c.reason) << c.line;
        EXPECT_EQ(script.events.size(), 1u) << "a failed parse leaves the script as it was";
    }
}

}  // namespace
