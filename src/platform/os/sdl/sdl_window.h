// The engine's window on SDL2.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/os/sdl/sdl_input_backend.h"
#include "platform/os/window.h"

class SdlWindow final : public EngineWindow {
public:
    // Use CreateEngineWindow.
    SdlWindow() = default;
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    bool Create(std::string* error);

    bool HasMessage() override;
    bool NextMessage(WindowMessage* out) override;
    bool QuitPending() override;
    void PostClose() override;
    bool IsActive() override { return active_; }
    void SetTitle(const std::string& title) override;
    void SetClientRect(int x, int y, int width, int height) override;
    void GetDesktopSize(int* width, int* height) override;
    bool SetFullScreenMode(int width, int height) override;
    InputBackend* Input() override { return &input_; }

    SDL_Window* Handle() const { return window_; }
    SdlInputBackend& SdlInput() { return input_; }

private:
    void SetRelativeMouse(bool on);

    bool videoSubsystem_ = false;
    SDL_Window* window_ = nullptr;
    SdlInputBackend input_;
    bool active_ = true;
    bool quitQueued_ = false;
    bool quitDelivered_ = false;
};

// The SDL window behind an engine window made by CreateEngineWindow; null for
// any other window.
SDL_Window* SdlWindowHandle(EngineWindow* window);

// The SDL event type of a posted close.
uint32_t SdlCloseEventType();
