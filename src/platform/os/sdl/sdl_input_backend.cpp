#include "platform/os/sdl/sdl_input_backend.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/os/sdl/sdl_keymap.h"

namespace {

constexpr int32_t kWheelNotch = 120;

// Virtual key and input code of SDL mouse buttons 1 (left), 3 (right) and
// 2 (middle); index = table position in the backend.
int MouseIndex(uint8_t sdlButton) {
    switch (sdlButton) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        default: return -1;
    }
}

int32_t ScaleAxis(int16_t value) {
    // -32768..32767 to -4096..4096, rounded, clamped.
    long scaled = std::lround(static_cast<double>(value) * 4096.0 / 32767.0);
    return static_cast<int32_t>(std::clamp(scaled, -4096L, 4096L));
}

}  // namespace

SdlInputBackend::SdlInputBackend() {
    joystickSubsystem_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

SdlInputBackend::~SdlInputBackend() {
    for (SDL_Joystick*& joystick : joysticks_) {
        if (joystick != nullptr) {
            SDL_JoystickClose(joystick);
            joystick = nullptr;
        }
    }
    if (joystickSubsystem_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
}

void SdlInputBackend::EnsureDesktopSize() {
    if (haveDesktop_) {
        return;
    }
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        return;  // no display yet: the cursor stays at 0, 0 with a 0 x 0 desktop
    }
    haveDesktop_ = true;
    desktopWidth_ = mode.w;
    desktopHeight_ = mode.h;
    cursorX_ = desktopWidth_ / 2;
    cursorY_ = desktopHeight_ / 2;
}

void SdlInputBackend::ClampCursor() {
    cursorX_ = std::clamp(cursorX_, 0, std::max(desktopWidth_ - 1, 0));
    cursorY_ = std::clamp(cursorY_, 0, std::max(desktopHeight_ - 1, 0));
}

void SdlInputBackend::ReleaseAll() {
    scancodeDownAs_.fill(0);
    keyDownCount_.fill(0);
    for (bool& down : mouseDown_) {
        down = false;
    }
}

WindowMessage SdlInputBackend::TranslateKey(const SDL_KeyboardEvent& key, bool down) {
    WindowMessage message;
    const SDL_Scancode scancode = key.keysym.scancode;
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return message;
    }
    uint32_t& downAs = scancodeDownAs_[scancode];
    uint32_t virtualKey = downAs;
    if (virtualKey == 0) {
        virtualKey = ScancodeToVirtualKey(scancode, (key.keysym.mod & KMOD_NUM) != 0);
    }
    if (virtualKey == 0 || virtualKey > 255) {
        return message;  // a key without a virtual key
    }
    if (down) {
        if (downAs == 0) {
            downAs = virtualKey;
            ++keyDownCount_[virtualKey];
        }
        message.kind = MessageKind::KeyDown;
        message.repeat = key.repeat != 0;
    } else {
        if (downAs != 0) {
            downAs = 0;
            if (keyDownCount_[virtualKey] > 0) {
                --keyDownCount_[virtualKey];
            }
        }
        message.kind = MessageKind::KeyUp;
    }
    message.virtualKey = virtualKey;
    return message;
}

WindowMessage SdlInputBackend::Translate(const SDL_Event& event, uint32_t closeEventType) {
    WindowMessage message;
    if (closeEventType != 0 && event.type == closeEventType) {
        message.kind = MessageKind::Close;
        return message;
    }
    switch (event.type) {
        case SDL_KEYDOWN:
            return TranslateKey(event.key, true);
        case SDL_KEYUP:
            return TranslateKey(event.key, false);
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int index = MouseIndex(event.button.button);
            if (index < 0) {
                return message;
            }
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            mouseDown_[index] = down;
            message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
            message.button = 256 + static_cast<uint32_t>(index);
            return message;
        }
        case SDL_MOUSEWHEEL: {
            int32_t y = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
                y = -y;
            }
            if (y == 0) {
                return message;  // horizontal only
            }
            message.kind = MessageKind::Wheel;
            message.wheelDelta = y > 0 ? kWheelNotch * std::min(y, 100)
                                       : kWheelNotch * std::max(y, -100);
            return message;
        }
        case SDL_MOUSEMOTION:
            EnsureDesktopSize();
            if (haveDesktop_) {
                cursorX_ += event.motion.xrel;
                cursorY_ += event.motion.yrel;
                ClampCursor();
            }
            return message;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    message.kind = MessageKind::Activate;
                    message.active = 1;
                    return message;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                case SDL_WINDOWEVENT_MINIMIZED:
                    ReleaseAll();
                    message.kind = MessageKind::Activate;
                    message.active = 0;
                    return message;
                case SDL_WINDOWEVENT_CLOSE:
                    message.kind = MessageKind::Close;
                    return message;
                default:
                    return message;
            }
        case SDL_QUIT:
            message.kind = MessageKind::Close;
            return message;
        default:
            return message;
    }
}

int SdlInputBackend::AsyncKeyState(uint32_t virtualKey) {
    switch (virtualKey) {
        case kVkLButton: return mouseDown_[0] ? kKeyDownBit : 0;
        case kVkRButton: return mouseDown_[1] ? kKeyDownBit : 0;
        case kVkMButton: return mouseDown_[2] ? kKeyDownBit : 0;
        default: break;
    }
    if (virtualKey == 0 || virtualKey > 255) {
        return 0;
    }
    return keyDownCount_[virtualKey] != 0 ? kKeyDownBit : 0;
}

void SdlInputBackend::GetCursorPos(int* x, int* y) {
    EnsureDesktopSize();
    *x = cursorX_;
    *y = cursorY_;
}

void SdlInputBackend::SetCursorPos(int x, int y) {
    EnsureDesktopSize();
    cursorX_ = x;
    cursorY_ = y;
    ClampCursor();
}

void SdlInputBackend::GetDesktopSize(int* width, int* height) {
    EnsureDesktopSize();
    *width = desktopWidth_;
    *height = desktopHeight_;
}

int SdlInputBackend::OpenJoysticks(int maxCount) {
    if (!joystickSubsystem_ || joystickCount_ > 0) {
        return joystickCount_;
    }
    maxCount = std::min(maxCount, kMaxJoysticks);
    const int attached = SDL_NumJoysticks();
    for (int index = 0; index < attached && joystickCount_ < maxCount; ++index) {
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        if (joystick != nullptr) {
            joysticks_[joystickCount_++] = joystick;
        }
    }
    return joystickCount_;
}

void SdlInputBackend::PollJoysticks() {
    if (joystickCount_ == 0) {
        return;
    }
    SDL_JoystickUpdate();
    for (int slot = 0; slot < joystickCount_; ++slot) {
        SDL_Joystick* joystick = joysticks_[slot];
        JoystickState& state = states_[slot];
        std::memset(&state, 0, sizeof state);
        const int axes = std::min(SDL_JoystickNumAxes(joystick), 8);
        for (int a = 0; a < axes; ++a) {
            state.axes[a] = ScaleAxis(SDL_JoystickGetAxis(joystick, a));
        }
        const int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
        for (int b = 0; b < buttons; ++b) {
            state.buttons[b] = SDL_JoystickGetButton(joystick, b) == 1 ? 0x80 : 0;
        }
    }
}

bool SdlInputBackend::ReadJoystick(int slot, JoystickState* state) {
    if (slot < 0 || slot >= joystickCount_) {
        std::memset(state, 0, sizeof *state);
        return false;
    }
    *state = states_[slot];
    return true;
}
