#include "platform/os/sdl/sdl_window.h"

#include <vector>

#include "platform/os/gfx/gl_device.h"

namespace {

constexpr const char* kWindowTitle = "VAVazozi";

bool IsCloseEvent(const SDL_Event& event, uint32_t closeType) {
    return event.type == SDL_QUIT ||
           (closeType != 0 && event.type == closeType) ||
           (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
}

}  // namespace

uint32_t SdlCloseEventType() {
    static const uint32_t type = [] {
        uint32_t registered = SDL_RegisterEvents(1);
        return registered == static_cast<uint32_t>(-1) ? 0u : registered;
    }();
    return type;
}

SdlWindow::~SdlWindow() {
    if (window_ != nullptr) {
        SDL_SetRelativeMouseMode(SDL_FALSE);
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    if (videoSubsystem_) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK);
    }
}

bool SdlWindow::Create(std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) != 0) {
        if (error != nullptr) {
            *error = std::string("SDL_Init: ") + SDL_GetError();
        }
        return false;
    }
    videoSubsystem_ = true;
    SDL_GL_ResetAttributes();
    gfx::SetGlWindowAttributes();

    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        if (error != nullptr) {
            *error = std::string("SDL_GetDesktopDisplayMode: ") + SDL_GetError();
        }
        return false;
    }
    window_ = SDL_CreateWindow(kWindowTitle, 0, 0, desktop.w, desktop.h,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    if (window_ == nullptr) {
        if (error != nullptr) {
            *error = std::string("SDL_CreateWindow: ") + SDL_GetError();
        }
        return false;
    }
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);  // not every driver can; that is fine
    SDL_ShowCursor(SDL_DISABLE);
    // Keys arrive as key messages only; no text events are wanted.
    SDL_StopTextInput();
    SdlCloseEventType();
    return true;
}

void SdlWindow::SetRelativeMouse(bool on) {
    // Not every video driver has relative motion (offscreen has no mouse);
    // the virtual cursor then simply follows the motion events it gets.
    SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

bool SdlWindow::HasMessage() {
    if (quitQueued_) {
        return true;
    }
    SDL_PumpEvents();
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0;
}

bool SdlWindow::QuitPending() {
    if (quitQueued_) {
        return true;
    }
    SDL_PumpEvents();
    const int waiting = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (waiting <= 0) {
        return false;
    }
    std::vector<SDL_Event> events(static_cast<size_t>(waiting));
    const int got = SDL_PeepEvents(events.data(), waiting, SDL_PEEKEVENT, SDL_FIRSTEVENT,
                                   SDL_LASTEVENT);
    const uint32_t closeType = SdlCloseEventType();
    for (int i = 0; i < got; ++i) {
        if (IsCloseEvent(events[static_cast<size_t>(i)], closeType)) {
            return true;
        }
    }
    return false;
}

bool SdlWindow::NextMessage(WindowMessage* out) {
    if (quitQueued_) {
        quitQueued_ = false;
        quitDelivered_ = true;
        *out = WindowMessage{};
        out->kind = MessageKind::Quit;
        out->exitCode = 0;
        return true;
    }
    SDL_Event event;
    if (SDL_PollEvent(&event) == 0) {
        return false;
    }
    WindowMessage message = input_.Translate(event, SdlCloseEventType());
    switch (message.kind) {
        case MessageKind::Activate:
            active_ = message.active != 0;
            SetRelativeMouse(active_);
            break;
        case MessageKind::Close:
            if (quitDelivered_) {
                message = WindowMessage{};  // the window is already gone
            } else {
                // Closing destroys the window, which ends the loop with 0.
                quitQueued_ = true;
            }
            break;
        default:
            break;
    }
    *out = message;
    return true;
}

void SdlWindow::PostClose() {
    const uint32_t type = SdlCloseEventType();
    if (type == 0) {
        quitQueued_ = true;  // no event type to spare: close at once
        return;
    }
    SDL_Event event;
    SDL_zero(event);
    event.type = type;
    if (SDL_PushEvent(&event) != 1) {
        quitQueued_ = true;
    }
}

void SdlWindow::SetTitle(const std::string& title) {
    SDL_SetWindowTitle(window_, title.c_str());
}

void SdlWindow::SetClientRect(int x, int y, int width, int height) {
    SDL_SetWindowSize(window_, width, height);
    SDL_SetWindowPosition(window_, x, y);
}

void SdlWindow::GetDesktopSize(int* width, int* height) {
    input_.GetDesktopSize(width, height);
}

bool SdlWindow::SetFullScreenMode(int width, int height) {
    SDL_DisplayMode mode;
    SDL_zero(mode);
    mode.w = width;
    mode.h = height;
    SDL_DisplayMode closest;
    const int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &mode, &closest) == nullptr ||
        closest.w != width || closest.h != height) {
        return false;  // no such mode on this display
    }
    if (SDL_SetWindowDisplayMode(window_, &closest) != 0) {
        return false;
    }
    return SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) == 0;
}

SDL_Window* SdlWindowHandle(EngineWindow* window) {
    auto* sdl = dynamic_cast<SdlWindow*>(window);
    return sdl != nullptr ? sdl->Handle() : nullptr;
}

std::unique_ptr<EngineWindow> CreateEngineWindow(std::string* error) {
    auto window = std::make_unique<SdlWindow>();
    if (!window->Create(error)) {
        return nullptr;
    }
    return window;
}
