// An input backend whose keys, buttons, cursor, desktop and joysticks are set
// by a program (tests, scripted runs). No device is touched.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "platform/os/input_backend.h"

class ScriptedInputBackend final : public InputBackend {
public:
    // Holds or lets go of a virtual key (1, 2 and 4 are the mouse buttons).
    void SetKey(uint32_t virtualKey, bool down);
    void ReleaseAll();
    void SetDesktopSize(int width, int height);
    // Adds an attached joystick (all axes centred, buttons up); answers its
    // index. Joysticks added after OpenJoysticks are not seen.
    int AddJoystick();
    // The state the next poll reports for joystick `index`.
    JoystickState& Joystick(int index) { return attached_[static_cast<std::size_t>(index)]; }
    int PollCount() const { return polls_; }

    int AsyncKeyState(uint32_t virtualKey) override;
    void GetCursorPos(int* x, int* y) override;
    void SetCursorPos(int x, int y) override;
    void GetDesktopSize(int* width, int* height) override;
    int OpenJoysticks(int maxCount) override;
    void PollJoysticks() override;
    bool ReadJoystick(int slot, JoystickState* state) override;

private:
    std::array<bool, 256> keys_{};
    int desktopWidth_ = 1024;
    int desktopHeight_ = 768;
    int cursorX_ = 512;
    int cursorY_ = 384;
    std::vector<JoystickState> attached_;
    std::vector<JoystickState> polled_;
    int opened_ = 0;
    int polls_ = 0;
};
