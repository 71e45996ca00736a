// The input backend of the running engine, on SDL.
//
// Held keys and mouse buttons live in tables of its own, fed by the events
// that the window layer takes from its queue (Translate), so events pushed by
// a program and real input behave alike and nothing changes while SDL pumps
// its queue ahead. The cursor is a virtual one in desktop pixels, moved by
// the mouse's relative motion and clamped to the desktop.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

#include "platform/os/input_backend.h"
#include "platform/os/window.h"

class SdlInputBackend final : public InputBackend {
public:
    // Starts SDL's joystick subsystem (kept until destruction).
    SdlInputBackend();
    ~SdlInputBackend() override;
    SdlInputBackend(const SdlInputBackend&) = delete;
    SdlInputBackend& operator=(const SdlInputBackend&) = delete;

    // Turns one event taken from the queue into a message and updates the
    // held tables and the cursor. `closeEventType` is the event type of a
    // posted close (0 for none).
    WindowMessage Translate(const SDL_Event& event, uint32_t closeEventType);

    // Lets go of every held key and button.
    void ReleaseAll();

    int AsyncKeyState(uint32_t virtualKey) override;
    void GetCursorPos(int* x, int* y) override;
    void SetCursorPos(int x, int y) override;
    void GetDesktopSize(int* width, int* height) override;
    int OpenJoysticks(int maxCount) override;
    void PollJoysticks() override;
    bool ReadJoystick(int slot, JoystickState* state) override;

private:
    void EnsureDesktopSize();
    void ClampCursor();
    WindowMessage TranslateKey(const SDL_KeyboardEvent& key, bool down);

    bool joystickSubsystem_ = false;
    bool haveDesktop_ = false;
    int desktopWidth_ = 0;
    int desktopHeight_ = 0;
    int cursorX_ = 0;
    int cursorY_ = 0;
    // The virtual key each scancode went down as (0: up).
    std::array<uint32_t, SDL_NUM_SCANCODES> scancodeDownAs_{};
    // How many held scancodes map to each virtual key.
    std::array<uint8_t, 256> keyDownCount_{};
    bool mouseDown_[3] = {false, false, false};  // left, right, middle
    SDL_Joystick* joysticks_[kMaxJoysticks] = {};
    JoystickState states_[kMaxJoysticks] = {};
    int joystickCount_ = 0;
};
