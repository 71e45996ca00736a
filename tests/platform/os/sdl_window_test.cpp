#include "platform/os/sdl/sdl_window.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/os/posted_input.h"

namespace {

class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        window_ = CreateEngineWindow(&error);
        ASSERT_NE(window_, nullptr) << error;
        Drain();
    }

    // Takes every waiting message.
    std::vector<WindowMessage> Drain() {
        std::vector<WindowMessage> messages;
        WindowMessage message;
        while (window_->NextMessage(&message)) {
            messages.push_back(message);
        }
        return messages;
    }

    void PushWindowEvent(SDL_WindowEventID id) {
        SDL_Event event;
        SDL_zero(event);
        event.type = SDL_WINDOWEVENT;
        event.window.event = static_cast<uint8_t>(id);
        event.window.windowID = SDL_GetWindowID(SdlWindowHandle(window_.get()));
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    void PushKey(bool down, SDL_Scancode scancode) {
        SDL_Event event;
        SDL_zero(event);
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = scancode;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }

    std::unique_ptr<EngineWindow> window_;
};

}  // namespace

TEST_F(SdlWindowTest, MadeAtDesktopSizeWithGlAttributes) {
    SDL_Window* sdl = SdlWindowHandle(window_.get());
    ASSERT_NE(sdl, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "VAVazozi");
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & (SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE),
              SDL_WINDOW_OPENGL);
    int width = 0, height = 0, dw = 0, dh = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    window_->GetDesktopSize(&dw, &dh);
    EXPECT_GT(dw, 0);
    EXPECT_TRUE(width == dw && height == dh);
    auto attribute = [](SDL_GLattr a) {
        int value = -1;
        SDL_GL_GetAttribute(a, &value);
        return value;
    };
    EXPECT_EQ(attribute(SDL_GL_CONTEXT_MAJOR_VERSION), 2);
    EXPECT_EQ(attribute(SDL_GL_CONTEXT_PROFILE_MASK), 0);
    // The window takes a context with depth and stencil buffers.
    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    ASSERT_NE(context, nullptr) << SDL_GetError();
    EXPECT_GE(attribute(SDL_GL_STENCIL_SIZE), 8);
    EXPECT_GE(attribute(SDL_GL_DEPTH_SIZE), 24);
    SDL_GL_DeleteContext(context);

    window_->SetTitle("Demo");
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "Demo");
    window_->SetClientRect(10, 20, 320, 240);
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_TRUE(width == 320 && height == 240);

    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_TRUE(window_->SetFullScreenMode(dw, dh)) << SDL_GetError();
    EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u);
}

TEST_F(SdlWindowTest, PostedCloseEndsInQuitWithCodeZero) {
    PushKey(true, SDL_SCANCODE_A);
    window_->PostClose();
    EXPECT_TRUE(window_->HasMessage());
    EXPECT_TRUE(window_->QuitPending());
    // Waiting messages come first; nothing was removed by the queries.
    const std::vector<WindowMessage> messages = Drain();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[0].kind == MessageKind::KeyDown && messages[0].virtualKey == 65u);
    EXPECT_TRUE(messages[1].kind == MessageKind::Close && messages[2].kind == MessageKind::Quit);
    EXPECT_EQ(messages[2].exitCode, 0);
    EXPECT_FALSE(window_->QuitPending());
}

TEST_F(SdlWindowTest, WindowCloseAndQuitEventsCloseOnce) {
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    EXPECT_TRUE(window_->QuitPending());
    std::vector<WindowMessage> messages = Drain();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].kind, MessageKind::Close);
    EXPECT_EQ(messages[1].kind, MessageKind::Quit);
    for (size_t i = 2; i < messages.size(); ++i) {
        EXPECT_NE(messages[i].kind, MessageKind::Quit);
        EXPECT_NE(messages[i].kind, MessageKind::Close);
    }
}

TEST_F(SdlWindowTest, FocusFollowsActiveFlagAndReleasesHeldKeys) {
    EXPECT_TRUE(window_->IsActive());
    PushKey(true, SDL_SCANCODE_W);
    Drain();
    EXPECT_EQ(window_->Input()->AsyncKeyState(87), 0x8000);

    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    std::vector<WindowMessage> messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, MessageKind::Activate);
    EXPECT_EQ(messages[0].active, 0u);
    EXPECT_FALSE(window_->IsActive());
    EXPECT_EQ(window_->Input()->AsyncKeyState(87), 0);

    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].active, 1u);
    EXPECT_TRUE(window_->IsActive());
    // The key stays up after focus returns, and its late release is harmless.
    EXPECT_EQ(window_->Input()->AsyncKeyState(87), 0);
    PushKey(false, SDL_SCANCODE_W);
    messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, MessageKind::KeyUp);
    EXPECT_EQ(window_->Input()->AsyncKeyState(87), 0);

    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    Drain();
    EXPECT_FALSE(window_->IsActive());
}

// Posted events come out of the queue as the keyboard's and the mouse's would:
// every virtual key a key gives, down then up, the three buttons, and motion
// moving the cursor.
TEST_F(SdlWindowTest, PostedInputComesBackAsMessages) {
    int keys = 0;
    for (uint32_t virtualKey = 0; virtualKey < 300; ++virtualKey) {
        if (!HasKeyForVirtualKey(virtualKey)) {
            EXPECT_FALSE(PostKeyEvent(virtualKey, true)) << virtualKey;
            continue;
        }
        ++keys;
        ASSERT_TRUE(PostKeyEvent(virtualKey, true) && PostKeyEvent(virtualKey, false));
        const std::vector<WindowMessage> messages = Drain();
        ASSERT_EQ(messages.size(), 2u) << virtualKey;
        EXPECT_TRUE(messages[0].kind == MessageKind::KeyDown && !messages[0].repeat &&
                    messages[0].virtualKey == virtualKey)
            << virtualKey;
        EXPECT_TRUE(messages[1].kind == MessageKind::KeyUp && messages[1].virtualKey == virtualKey)
            << virtualKey;
    }
    EXPECT_GT(keys, 100);  // letters, digits, keypad, function and navigation keys at least
    EXPECT_TRUE(HasKeyForVirtualKey(12) && HasKeyForVirtualKey(96) && HasKeyForVirtualKey(0x7B));

    for (uint32_t button : {256u, 257u, 258u}) {
        ASSERT_TRUE(PostMouseButtonEvent(button, true));
        EXPECT_EQ(window_->Input()->AsyncKeyState(button == 256 ? 1 : button == 257 ? 2 : 4), 0);
        const std::vector<WindowMessage> messages = Drain();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].kind == MessageKind::ButtonDown && messages[0].button == button);
        EXPECT_NE(window_->Input()->AsyncKeyState(button == 256 ? 1 : button == 257 ? 2 : 4), 0);
        ASSERT_TRUE(PostMouseButtonEvent(button, false));
        EXPECT_EQ(Drain()[0].kind, MessageKind::ButtonUp);
    }
    EXPECT_FALSE(PostMouseButtonEvent(255, true) || PostMouseButtonEvent(259, true));

    int x = 0, y = 0, movedX = 0, movedY = 0;
    window_->Input()->SetCursorPos(200, 200);
    window_->Input()->GetCursorPos(&x, &y);
    ASSERT_TRUE(PostMouseMotionEvent(-30, 45));
    Drain();
    window_->Input()->GetCursorPos(&movedX, &movedY);
    EXPECT_EQ(movedX - x, -30);
    EXPECT_EQ(movedY - y, 45);
}
