#include "sample_key_words.h"

#include <string>

namespace sample {

const std::vector<std::pair<std::string, std::string>> &KeyWords() {
    static const std::vector<std::pair<std::string, std::string>> words = [] {
        std::vector<std::pair<std::string, std::string>> list = {
            {"QVI_ESC", "Esc"},
            {"QVI_SPACE", "Space"},
            {"QVI_RETURN", "Enter"},
            {"QVI_UP", "Up"},
            {"QVI_DOWN", "Down"},
            {"QVI_LEFT", "Left"},
            {"QVI_RIGHT", "Right"},
            {"QVI_BACK", "Backspace"},
            {"QVI_TAB", "Tab"},
            {"QVI_LANGLE", "<"},
            {"QVI_RANGLE", ">"},
            {"QVI_LCTRL", "Left Ctrl"},
            {"QVI_RCTRL", "Right Ctrl"},
            {"QVI_LSHIFT", "Left Shift"},
            {"QVI_RSHIFT", "Right Shift"},
            {"QVI_LALT", "Left Alt"},
            {"QVI_RALT", "Right Alt"},
            {"QVI_CAPSLOCK", "Caps Lock"},
            {"QVI_NUMLOCK", "Num Lock"},
            {"QVI_SCRLOCK", "Scroll Lock"},
            {"QVI_HOME", "Home"},
            {"QVI_END", "End"},
            {"QVI_PAGEUP", "Page Up"},
            {"QVI_PAGEDOWN", "Page Down"},
            {"QVI_INSERT", "Insert"},
            {"QVI_DELETE", "Delete"},
            {"QVI_MINUS", "Keypad -"},
            {"QVI_PLUS", "Keypad +"},
            {"QVI_MULTIPLY", "Keypad *"},
            {"QVI_DIVIDE", "Keypad /"},
            {"QVI_MOUSEL", "Left mouse"},
            {"QVI_MOUSER", "Right mouse"},
            {"QVI_MOUSEM", "Middle mouse"},
            {"QVI_WHEEL1", "Wheel back"},
            {"QVI_WHEEL2", "Wheel forward"},
            // The keys the layer names by their number, and those it names by
            // the character of their code rather than the one on the key.
            {"Key186", ";"},
            {"Key187", "="},
            {"Key188", ","},
            {"Key189", "-"},
            {"Key190", "."},
            {"Key191", "/"},
            {"\xC0", "`"},
            {"\xDB", "["},
            {"\xDC", "\\"},
            {"\xDD", "]"},
            {"\xDE", "'"},
            {"\xE2", "ISO \\"},
        };
        for (int f = 1; f <= 12; ++f) {
            list.push_back({"QVI_F" + std::to_string(f), "F" + std::to_string(f)});
        }
        for (int d = 0; d <= 9; ++d) {
            list.push_back({"QVI_PAD" + std::to_string(d), "Keypad " + std::to_string(d)});
        }
        // The mouse's fourth to sixth buttons.
        for (int b = 3; b <= 5; ++b) {
            list.push_back({"QVI_MOUSE" + std::to_string(b), "Mouse " + std::to_string(b + 1)});
        }
        for (int b = 0; b < 32; ++b) {
            list.push_back({"QVI_JOYB" + std::to_string(b), "Pad button " + std::to_string(b + 1)});
        }
        return list;
    }();
    return words;
}

} // namespace sample
