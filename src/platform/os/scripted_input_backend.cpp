#include "platform/os/scripted_input_backend.h"

#include <algorithm>
#include <cstring>

void ScriptedInputBackend::SetKey(uint32_t virtualKey, bool down) {
    if (virtualKey < keys_.size()) {
        keys_[virtualKey] = down;
    }
}

void ScriptedInputBackend::ReleaseAll() { keys_.fill(false); }

void ScriptedInputBackend::SetDesktopSize(int width, int height) {
    desktopWidth_ = width;
    desktopHeight_ = height;
}

int ScriptedInputBackend::AddJoystick() {
    JoystickState state;
    std::memset(&state, 0, sizeof state);
    attached_.push_back(state);
    return static_cast<int>(attached_.size()) - 1;
}

int ScriptedInputBackend::AsyncKeyState(uint32_t virtualKey) {
    return virtualKey < keys_.size() && keys_[virtualKey] ? kKeyDownBit : 0;
}

void ScriptedInputBackend::GetCursorPos(int* x, int* y) {
    *x = cursorX_;
    *y = cursorY_;
}

void ScriptedInputBackend::SetCursorPos(int x, int y) {
    cursorX_ = x;
    cursorY_ = y;
}

void ScriptedInputBackend::GetDesktopSize(int* width, int* height) {
    *width = desktopWidth_;
    *height = desktopHeight_;
}

int ScriptedInputBackend::OpenJoysticks(int maxCount) {
    if (opened_ == 0) {
        opened_ = std::min(static_cast<int>(attached_.size()), std::min(maxCount, kMaxJoysticks));
        polled_.assign(static_cast<size_t>(opened_), JoystickState{});
    }
    return opened_;
}

void ScriptedInputBackend::PollJoysticks() {
    ++polls_;
    for (int i = 0; i < opened_; ++i) {
        polled_[static_cast<size_t>(i)] = attached_[static_cast<size_t>(i)];
    }
}

bool ScriptedInputBackend::ReadJoystick(int slot, JoystickState* state) {
    if (slot < 0 || slot >= opened_) {
        std::memset(state, 0, sizeof *state);
        return false;
    }
    *state = polled_[static_cast<size_t>(slot)];
    return true;
}
