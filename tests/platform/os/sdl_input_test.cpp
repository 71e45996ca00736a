#include <gtest/gtest.h>

#include <string>

#include "platform/input.h"
#include "platform/os/sdl/sdl_window.h"

namespace {

// Events pushed into the offscreen window's queue, taken one at a time as the
// message loop does and handed to the input hook.
class SdlInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        window_ = CreateEngineWindow(&error);
        ASSERT_NE(window_, nullptr) << error;
        InitInput(window_->Input());
        Pump();
        UpdateInput(0.016f, 1);
    }

    void Pump() {
        WindowMessage message;
        while (window_->NextMessage(&message)) {
            HandleInputMessage(message);
        }
    }
    void Frame() {
        Pump();
        UpdateInput(0.016f, 1);
    }
    void Push(SDL_Event& event) {
        event.common.timestamp = SDL_GetTicks();
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void Key(bool down, SDL_Scancode scancode, uint16_t mod = KMOD_NONE, bool repeat = false) {
        SDL_Event event;
        SDL_zero(event);
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = mod;
        Push(event);
    }
    void Wheel(int32_t x, int32_t y, uint32_t direction = SDL_MOUSEWHEEL_NORMAL) {
        SDL_Event event;
        SDL_zero(event);
        event.type = SDL_MOUSEWHEEL;
        event.wheel.x = x;
        event.wheel.y = y;
        event.wheel.direction = direction;
        Push(event);
    }
    void MouseButton(bool down, uint8_t button) {
        SDL_Event event;
        SDL_zero(event);
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.button = button;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        Push(event);
    }
    void Motion(int32_t xrel, int32_t yrel) {
        SDL_Event event;
        SDL_zero(event);
        event.type = SDL_MOUSEMOTION;
        event.motion.xrel = xrel;
        event.motion.yrel = yrel;
        Push(event);
    }

    std::string Pressed() {
        std::string codes;
        for (InputCode code = 0; code < 512; ++code) {
            if (InputPressed(code)) {
                codes += (codes.empty() ? "" : " ") + std::to_string(code);
            }
        }
        return codes;
    }

    // Pressed, released and down of one code as "PRD" ('-' where not).
    static std::string State(InputCode code) {
        return std::string(InputPressed(code) ? "P" : "-") + (InputReleased(code) ? "R" : "-") +
               (InputDown(code) ? "D" : "-");
    }

    std::unique_ptr<EngineWindow> window_;
};

}  // namespace

TEST_F(SdlInputTest, NavigationAndModifierKeys) {
    Key(true, SDL_SCANCODE_PAGEUP);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), InputDown(124)}), (std::tuple{"124", 1}));
    Key(false, SDL_SCANCODE_PAGEUP);
    Key(true, SDL_SCANCODE_PAGEDOWN);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), State(124) + State(130)}), (std::tuple{"130", "-R-P-D"}));

    Key(true, SDL_SCANCODE_LALT);
    Frame();
    EXPECT_EQ(Pressed(), "147");
    Key(true, SDL_SCANCODE_RALT);
    Frame();
    EXPECT_EQ(Pressed(), "109");
    Key(true, SDL_SCANCODE_LSHIFT);
    Key(true, SDL_SCANCODE_F10);  // with Alt held: still an ordinary key
    Frame();
    EXPECT_EQ(Pressed(), "120 146");
    Key(true, SDL_SCANCODE_RSHIFT);
    Key(true, SDL_SCANCODE_LCTRL);
    Key(true, SDL_SCANCODE_RCTRL);
    Key(true, SDL_SCANCODE_KP_ENTER);
    Frame();
    EXPECT_EQ(Pressed(), "98 107 108 145");
    EXPECT_EQ(InputDown(147) + InputDown(109), 2);
}

TEST_F(SdlInputTest, KeypadFollowsNumLockWhenTheKeyWentDown) {
    Key(true, SDL_SCANCODE_KP_0, KMOD_NUM);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), State(135)}), (std::tuple{"135", "P-D"}));
    // Num Lock goes off while the key is held: the release is still 135.
    Key(true, SDL_SCANCODE_NUMLOCKCLEAR, KMOD_NUM);
    Key(false, SDL_SCANCODE_NUMLOCKCLEAR);
    Key(false, SDL_SCANCODE_KP_0);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), State(135) + State(131)}), (std::tuple{"", "-R----"}));

    Key(true, SDL_SCANCODE_KP_0);
    Key(true, SDL_SCANCODE_KP_5);
    Key(true, SDL_SCANCODE_KP_PERIOD, KMOD_NUM);
    Frame();
    EXPECT_EQ(Pressed(), "131");  // Insert; Clear and the decimal point have no code
    EXPECT_EQ(InputDown(131), 1);
    EXPECT_EQ(window_->Input()->AsyncKeyState(12) + window_->Input()->AsyncKeyState(110), 0x10000);
    Key(false, SDL_SCANCODE_KP_0, KMOD_NUM);
    Frame();
    EXPECT_EQ(State(131) + State(135), "-R----");
}

TEST_F(SdlInputTest, LockKeysGiveNoCode) {
    Key(true, SDL_SCANCODE_NUMLOCKCLEAR);
    Key(true, SDL_SCANCODE_SCROLLLOCK);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), InputDown(144) + InputDown(145)}), (std::tuple{"", 0}));
}

TEST_F(SdlInputTest, RepeatsAreNotPressedAgain) {
    Key(true, SDL_SCANCODE_A);
    Frame();
    EXPECT_EQ(Pressed(), "65");
    Key(true, SDL_SCANCODE_A, KMOD_NONE, true);
    Key(true, SDL_SCANCODE_A, KMOD_NONE, true);
    Frame();
    EXPECT_EQ(State(65), "--D");
    Key(false, SDL_SCANCODE_A);
    Frame();
    EXPECT_EQ(State(65), "-R-");
}

TEST_F(SdlInputTest, WheelAndButtons) {
    Wheel(0, 1, SDL_MOUSEWHEEL_FLIPPED);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), InputDown(262)}), (std::tuple{"262", 1}));

    // A horizontal-only event after a forward notch in the same frame leaves
    // the notch in place.
    Wheel(0, 1);
    Wheel(3, 0);
    Frame();
    EXPECT_EQ((std::tuple{Pressed(), State(263) + State(262)}), (std::tuple{"263", "PRD---"}));
    Frame();
    EXPECT_EQ(InputDown(263), 0);

    MouseButton(true, SDL_BUTTON_LEFT);
    MouseButton(true, SDL_BUTTON_MIDDLE);
    MouseButton(true, SDL_BUTTON_X1);
    Frame();
    EXPECT_EQ(State(256) + State(257) + State(258), "P-D---P-D");
    MouseButton(false, SDL_BUTTON_LEFT);
    MouseButton(true, SDL_BUTTON_RIGHT);
    Frame();
    EXPECT_EQ(State(256) + State(257), "-R-P-D");
}

TEST_F(SdlInputTest, VirtualCursorFollowsRelativeMotion) {
    int width = 0, height = 0;
    window_->GetDesktopSize(&width, &height);
    ASSERT_GT(width, 0);
    // Without motion the cursor stays centred.
    Frame();
    EXPECT_EQ(GetAxisValue(4096) * GetAxisValue(4096) + GetAxisValue(4097) * GetAxisValue(4097), 0.0f);

    Motion(10, -7);
    Frame();
    EXPECT_FLOAT_EQ(GetAxisValue(4096), 0.32f);
    EXPECT_FLOAT_EQ(GetAxisValue(4097), -0.224f);
    Frame();  // recentred
    EXPECT_EQ(GetAxisValue(4096), 0.0f);

    // Clamped to the desktop like a real cursor.
    Motion(100000, -100000);
    Pump();
    UpdateInput(0.016f, 0);
    int x = 0, y = 0;
    window_->Input()->GetCursorPos(&x, &y);
    EXPECT_EQ((std::tuple{x, y}), (std::tuple{width - 1, 0}));
}
