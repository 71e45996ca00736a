// The device layer under the input module.
//
// A backend answers the held state of keys and mouse buttons by Windows
// virtual-key number, keeps the cursor in desktop pixels and reads joysticks.
// SdlInputBackend (os/sdl/) serves the running engine; ScriptedInputBackend
// (os/scripted_input_backend.h) serves tests.
#pragma once

#include <cstdint>

// Virtual keys of the mouse buttons.
inline constexpr uint32_t kVkLButton = 1;
inline constexpr uint32_t kVkRButton = 2;
inline constexpr uint32_t kVkMButton = 4;

// The high bit of a key-state word: the key is down.
inline constexpr int kKeyDownBit = 0x8000;

// Joysticks opened at most.
inline constexpr int kMaxJoysticks = 16;

// One joystick's state in the standard 80-byte joystick record: six axes and
// two sliders in -4096..4096, four point-of-view words, 32 button bytes (0x80
// while down).
struct JoystickState {
    int32_t axes[8];
    uint32_t pov[4];
    uint8_t buttons[32];
};
static_assert(sizeof(JoystickState) == 80, "joystick record is 80 bytes");

class InputBackend {
public:
    virtual ~InputBackend() = default;

    // 0x8000 while the virtual key (or mouse button 1, 2, 4) is down, else 0.
    virtual int AsyncKeyState(uint32_t virtualKey) = 0;

    // The cursor in desktop pixels.
    virtual void GetCursorPos(int* x, int* y) = 0;
    virtual void SetCursorPos(int x, int y) = 0;
    // The desktop's width and height in pixels.
    virtual void GetDesktopSize(int* width, int* height) = 0;

    // Opens every attached joystick in order, at most maxCount; answers how
    // many were opened. Called once, at input start-up.
    virtual int OpenJoysticks(int maxCount) = 0;
    // Brings every opened joystick's state up to date.
    virtual void PollJoysticks() = 0;
    // The last polled state of opened joystick `slot`; false (and a cleared
    // record) when there is no such joystick.
    virtual bool ReadJoystick(int slot, JoystickState* state) = 0;
};
