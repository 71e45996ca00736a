#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/os/sdl/sdl_input_backend.h"

namespace {

// A virtual joystick attached before the input layer starts.
class SdlJoystickTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend_ = std::make_unique<SdlInputBackend>();
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 8, 32, 0);
        ASSERT_GE(index, 0) << SDL_GetError();
        device_ = SDL_JoystickOpen(index);
        ASSERT_NE(device_, nullptr) << SDL_GetError();
        InitInput(backend_.get());
    }
    void TearDown() override {
        if (device_ != nullptr) {
            SDL_JoystickClose(device_);
        }
        backend_.reset();
    }

    void Axis(int axis, int16_t value) {
        ASSERT_EQ(SDL_JoystickSetVirtualAxis(device_, axis, value), 0) << SDL_GetError();
    }
    void Button(int button, bool down) {
        ASSERT_EQ(SDL_JoystickSetVirtualButton(device_, button, down ? 1 : 0), 0)
            << SDL_GetError();
    }

    std::unique_ptr<SdlInputBackend> backend_;
    SDL_Joystick* device_ = nullptr;
};

}  // namespace

TEST_F(SdlJoystickTest, AxesScaledToTheStandardRange) {
    EXPECT_EQ((std::tuple{InputCodeName(264), InputCodeName(295), InputCodeName(296)}),
              (std::tuple{"QVI_JOYB0", "QVI_JOYB31", "Key296"}));

    Axis(0, 640);  // raw 80 of 4096: inside the dead zone
    Axis(1, 32767);
    Axis(2, -32768);
    Axis(7, 16384);
    UpdateInput(0.016f, 0);
    EXPECT_EQ(GetAxisValue(4104), 0.0f);
    EXPECT_FLOAT_EQ(GetAxisValue(4105), -1.0f);
    EXPECT_FLOAT_EQ(GetAxisValue(4106), -1.0f);
    EXPECT_FLOAT_EQ(GetAxisValue(4111), -2048.0f / 4096.0f);
    JoystickState state;
    ASSERT_TRUE(backend_->ReadJoystick(0, &state));
    EXPECT_EQ(std::vector<int32_t>(state.axes, state.axes + 3), std::vector<int32_t>({80, 4096, -4096}));

    Axis(0, -32768);
    Axis(1, -4800);  // raw -600: the stick held forward
    UpdateInput(0.016f, 0);
    EXPECT_FLOAT_EQ(GetAxisValue(4104), -1.0f);
    EXPECT_EQ(std::to_string(InputDown(10254)) + std::to_string(InputDown(10255)) +
                  std::to_string(InputDown(10256)),
              "101");
    UpdateInput(0.016f, 0);
    EXPECT_EQ(InputDown(10254), 1);
}

TEST_F(SdlJoystickTest, ButtonsZeroToFifteenMakeEvents) {
    for (bool down : {true, false}) {
        for (int b = 0; b < 32; ++b) {
            Button(b, down);
        }
        UpdateInput(0.016f, 0);
        for (int b = 0; b < 32; ++b) {
            const InputCode code = 264 + static_cast<InputCode>(b);
            EXPECT_EQ(InputDown(code), down ? 1 : 0) << b;
            EXPECT_EQ(down ? InputPressed(code) : InputReleased(code), b < 16 ? 1 : 0) << b;
        }
    }
    // The capture query reaches code 287: joystick buttons 0-23.
    CaptureChangedKey();
    Button(24, true);
    UpdateInput(0.016f, 0);
    EXPECT_EQ(CaptureChangedKey(), 0u);
    Button(23, true);
    UpdateInput(0.016f, 0);
    EXPECT_EQ(CaptureChangedKey(), 287u);
}

TEST(SdlJoystickNone, NothingAttached) {
    SdlInputBackend backend;
    ASSERT_EQ(SDL_NumJoysticks(), 0);
    InitInput(&backend);
    UpdateInput(0.016f, 0);
    for (InputCode code = 264; code < 300; ++code) {
        EXPECT_EQ(InputDown(code), 0);
    }
    for (InputCode code = 10254; code < 10258; ++code) {
        EXPECT_EQ(InputDown(code), 0);
    }
    for (InputCode code = 4104; code < 4120; ++code) {
        EXPECT_EQ(GetAxisValue(code), 0.0f);
    }
    EXPECT_EQ(InputCodeName(264), "Key264");
}
