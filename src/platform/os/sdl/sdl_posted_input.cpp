#include "platform/os/posted_input.h"

#include <SDL.h>

#include <array>

#include "platform/os/sdl/sdl_keymap.h"

namespace {

struct KeyFor {
    SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN;
    bool numLock = true;
};

// The first scancode giving each virtual key, Num Lock on; keys only Num
// Lock off gives (Clear) come from the keypad with it off.
const std::array<KeyFor, 256>& KeysByVirtualKey() {
    static const std::array<KeyFor, 256> table = [] {
        std::array<KeyFor, 256> keys{};
        for (bool numLock : {true, false}) {
            for (int code = 0; code < SDL_NUM_SCANCODES; ++code) {
                const auto scancode = static_cast<SDL_Scancode>(code);
                const uint32_t virtualKey = ScancodeToVirtualKey(scancode, numLock);
                if (virtualKey == 0 || virtualKey > 255) continue;
                if (keys[virtualKey].scancode == SDL_SCANCODE_UNKNOWN) {
                    keys[virtualKey] = KeyFor{scancode, numLock};
                }
            }
        }
        return keys;
    }();
    return table;
}

bool Push(SDL_Event& event) {
    event.common.timestamp = SDL_GetTicks();
    return SDL_PushEvent(&event) == 1;
}

}  // namespace

bool HasKeyForVirtualKey(uint32_t virtualKey) {
    return virtualKey < 256 && KeysByVirtualKey()[virtualKey].scancode != SDL_SCANCODE_UNKNOWN;
}

bool PostKeyEvent(uint32_t virtualKey, bool down) {
    if (!HasKeyForVirtualKey(virtualKey)) return false;
    const KeyFor key = KeysByVirtualKey()[virtualKey];
    SDL_Event event;
    SDL_zero(event);
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = key.scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(key.scancode);
    event.key.keysym.mod = key.numLock ? KMOD_NUM : KMOD_NONE;
    return Push(event);
}

bool PostMouseButtonEvent(uint32_t button, bool down) {
    static constexpr uint8_t kSdlButtons[3] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT,
                                               SDL_BUTTON_MIDDLE};
    if (button < 256 || button > 258) return false;
    SDL_Event event;
    SDL_zero(event);
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = kSdlButtons[button - 256];
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    return Push(event);
}

bool PostMouseMotionEvent(int32_t dx, int32_t dy) {
    SDL_Event event;
    SDL_zero(event);
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    return Push(event);
}
