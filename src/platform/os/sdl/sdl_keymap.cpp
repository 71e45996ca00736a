#include "platform/os/sdl/sdl_keymap.h"

namespace {

struct KeypadKey {
    SDL_Scancode scancode;
    uint32_t numLockOn;
    uint32_t numLockOff;
};

// Keypad digits and the decimal point: numeric-pad key with Num Lock on,
// navigation key of the same position with it off (5 becomes Clear).
constexpr KeypadKey kKeypad[] = {
    {SDL_SCANCODE_KP_0, 96, 45},      // Insert
    {SDL_SCANCODE_KP_1, 97, 35},      // End
    {SDL_SCANCODE_KP_2, 98, 40},      // Down
    {SDL_SCANCODE_KP_3, 99, 34},      // Page Down
    {SDL_SCANCODE_KP_4, 100, 37},     // Left
    {SDL_SCANCODE_KP_5, 101, 12},     // Clear
    {SDL_SCANCODE_KP_6, 102, 39},     // Right
    {SDL_SCANCODE_KP_7, 103, 36},     // Home
    {SDL_SCANCODE_KP_8, 104, 38},     // Up
    {SDL_SCANCODE_KP_9, 105, 33},     // Page Up
    {SDL_SCANCODE_KP_PERIOD, 110, 46},  // Delete
};

}  // namespace

uint32_t ScancodeToVirtualKey(SDL_Scancode scancode, bool numLock) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return 65 + static_cast<uint32_t>(scancode - SDL_SCANCODE_A);
    }
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
        return 49 + static_cast<uint32_t>(scancode - SDL_SCANCODE_1);
    }
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) {
        return 112 + static_cast<uint32_t>(scancode - SDL_SCANCODE_F1);
    }
    for (const KeypadKey& key : kKeypad) {
        if (key.scancode == scancode) {
            return numLock ? key.numLockOn : key.numLockOff;
        }
    }
    switch (scancode) {
        case SDL_SCANCODE_0: return 48;
        case SDL_SCANCODE_RETURN: return 13;
        case SDL_SCANCODE_ESCAPE: return 27;
        case SDL_SCANCODE_BACKSPACE: return 8;
        case SDL_SCANCODE_TAB: return 9;
        case SDL_SCANCODE_SPACE: return 32;
        case SDL_SCANCODE_MINUS: return 189;
        case SDL_SCANCODE_EQUALS: return 187;
        case SDL_SCANCODE_LEFTBRACKET: return 219;
        case SDL_SCANCODE_RIGHTBRACKET: return 221;
        case SDL_SCANCODE_BACKSLASH: return 220;
        case SDL_SCANCODE_NONUSHASH: return 220;  // same key position
        case SDL_SCANCODE_SEMICOLON: return 186;
        case SDL_SCANCODE_APOSTROPHE: return 222;
        case SDL_SCANCODE_GRAVE: return 192;
        case SDL_SCANCODE_COMMA: return 188;
        case SDL_SCANCODE_PERIOD: return 190;
        case SDL_SCANCODE_SLASH: return 191;
        case SDL_SCANCODE_CAPSLOCK: return 20;
        case SDL_SCANCODE_PRINTSCREEN: return 44;
        case SDL_SCANCODE_SCROLLLOCK: return 145;
        case SDL_SCANCODE_PAUSE: return 19;
        case SDL_SCANCODE_INSERT: return 45;
        case SDL_SCANCODE_HOME: return 36;
        case SDL_SCANCODE_PAGEUP: return 33;
        case SDL_SCANCODE_DELETE: return 46;
        case SDL_SCANCODE_END: return 35;
        case SDL_SCANCODE_PAGEDOWN: return 34;
        case SDL_SCANCODE_RIGHT: return 39;
        case SDL_SCANCODE_LEFT: return 37;
        case SDL_SCANCODE_DOWN: return 40;
        case SDL_SCANCODE_UP: return 38;
        case SDL_SCANCODE_NUMLOCKCLEAR: return 144;
        case SDL_SCANCODE_KP_DIVIDE: return 111;
        case SDL_SCANCODE_KP_MULTIPLY: return 106;
        case SDL_SCANCODE_KP_MINUS: return 109;
        case SDL_SCANCODE_KP_PLUS: return 107;
        case SDL_SCANCODE_KP_ENTER: return 13;  // Return
        case SDL_SCANCODE_NONUSBACKSLASH: return 226;
        case SDL_SCANCODE_APPLICATION: return 93;
        case SDL_SCANCODE_LCTRL: return 162;
        case SDL_SCANCODE_LSHIFT: return 160;
        case SDL_SCANCODE_LALT: return 164;
        case SDL_SCANCODE_LGUI: return 91;
        case SDL_SCANCODE_RCTRL: return 163;
        case SDL_SCANCODE_RSHIFT: return 161;
        case SDL_SCANCODE_RALT: return 165;
        case SDL_SCANCODE_RGUI: return 92;
        default: return 0;
    }
}
