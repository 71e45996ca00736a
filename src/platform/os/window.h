// The engine's window and its message queue.
//
// One top-level window whose events reach the engine as WindowMessage records,
// taken one at a time. Key and button messages carry Windows virtual-key
// numbers; the window keeps the input backend whose held-state tables are fed
// by the messages taken from the queue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class InputBackend;

enum class MessageKind : uint8_t {
    Other,       // anything else (motion, joystick, expose, ...)
    KeyDown,
    KeyUp,
    ButtonDown,  // mouse button, `button` is 256, 257 or 258
    ButtonUp,
    Wheel,       // `wheelDelta`: positive forward, 120 per notch
    Activate,    // `active`: 1 on focus gained, 0 on focus lost or minimised
    Close,       // the window was asked to close
    Quit,        // the message loop ends; `exitCode`
};

struct WindowMessage {
    MessageKind kind = MessageKind::Other;
    uint32_t virtualKey = 0;  // KeyDown, KeyUp
    bool repeat = false;      // KeyDown sent by auto-repeat
    uint32_t button = 0;      // ButtonDown, ButtonUp
    int32_t wheelDelta = 0;   // Wheel
    uint32_t active = 0;      // Activate
    int32_t exitCode = 0;     // Quit
};

class EngineWindow {
public:
    virtual ~EngineWindow() = default;

    // True when a message waits (nothing is removed).
    virtual bool HasMessage() = 0;
    // Removes the oldest message into `out`; false when none waits. A Close
    // is followed by Quit with exit code 0.
    virtual bool NextMessage(WindowMessage* out) = 0;
    // True when a close or quit waits in the queue; nothing is removed.
    virtual bool QuitPending() = 0;
    // Queues a close request behind the messages already waiting.
    virtual void PostClose() = 0;

    // The active flag: 1 until focus is lost or the window is minimised,
    // 1 again when it gets focus back.
    virtual bool IsActive() = 0;

    virtual void SetTitle(const std::string& title) = 0;
    // Places the client area at (x, y) with the given size.
    virtual void SetClientRect(int x, int y, int width, int height) = 0;
    virtual void GetDesktopSize(int* width, int* height) = 0;
    // Switches to full screen at width x height; false when refused.
    virtual bool SetFullScreenMode(int width, int height) = 0;

    // The backend fed by this window's messages.
    virtual InputBackend* Input() = 0;
};

// Makes the engine's window ("VAVazozi", at (0, 0), desktop size, shown,
// cursor hidden, GL attributes set for a 2.1 context with 8-bit colour and
// alpha, depth 24, stencil 8, double-buffered). Null on failure, with the
// reason in `error` when given.
std::unique_ptr<EngineWindow> CreateEngineWindow(std::string* error = nullptr);
