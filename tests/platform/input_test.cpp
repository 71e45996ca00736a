#include "platform/input.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/os/scripted_input_backend.h"
#include "platform/os/window.h"
#include "support/float_list.h"

namespace {

constexpr uint32_t kVkF12 = 0x7B;

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { InitInput(&backend_); }

    void Send(MessageKind kind, uint32_t virtualKey = 0, bool repeat = false) {
        WindowMessage message;
        message.kind = kind;
        message.virtualKey = virtualKey;
        message.repeat = repeat;
        HandleInputMessage(message);
    }
    void KeyDown(uint32_t virtualKey, bool repeat = false) {
        backend_.SetKey(virtualKey, true);
        Send(MessageKind::KeyDown, virtualKey, repeat);
    }
    void KeyUp(uint32_t virtualKey) {
        backend_.SetKey(virtualKey, false);
        Send(MessageKind::KeyUp, virtualKey);
    }
    void Button(uint32_t virtualKey, uint32_t code, bool down) {
        backend_.SetKey(virtualKey, down);
        WindowMessage message;
        message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
        message.button = code;
        HandleInputMessage(message);
    }
    void Wheel(int32_t delta) {
        WindowMessage message;
        message.kind = MessageKind::Wheel;
        message.wheelDelta = delta;
        HandleInputMessage(message);
    }
    void Update(int recentre = 0) { UpdateInput(0.016f, recentre); }

    // Codes 0-511 flagged pressed (or released) by the last update.
    std::string Flagged(bool pressed) {
        std::string codes;
        for (InputCode code = 0; code < 512; ++code) {
            if (pressed ? InputPressed(code) : InputReleased(code)) {
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

    ScriptedInputBackend backend_;
};

}  // namespace

TEST_F(InputTest, HeldKeyWithRepeatsPressesAndReleasesOnce) {
    KeyDown('W');
    KeyDown('W', true);
    Update();
    EXPECT_EQ((std::tuple{Flagged(true), Flagged(false), InputDown(87)}),
              (std::tuple{"87", "", 1}));

    KeyDown('W', true);
    KeyDown('W', true);
    Update();
    EXPECT_EQ((std::tuple{Flagged(true), InputDown(87)}), (std::tuple{"", 1}));

    KeyUp('W');
    Update();
    EXPECT_EQ((std::tuple{Flagged(true), Flagged(false), InputDown(87)}),
              (std::tuple{"", "87", 0}));
    Update();
    EXPECT_EQ(Flagged(false), "");
}

TEST_F(InputTest, DownAndUpBetweenUpdatesSetsBothFlags) {
    KeyDown(38);  // Up arrow: code 99
    KeyUp(38);
    Update();
    EXPECT_EQ(State(99), "PR-");
    Update();
    EXPECT_EQ(State(99), "---");
}

TEST_F(InputTest, WheelNotchLastsOneUpdate) {
    Wheel(120);
    EXPECT_EQ(InputDown(263), 0);
    Update();
    EXPECT_EQ(State(263) + State(262), "PRD---");
    Update();
    EXPECT_EQ(State(263) + State(262), "------");
    Wheel(-240);
    Update();
    EXPECT_EQ(State(263) + State(262), "---PRD");
}

TEST_F(InputTest, MouseButtonsAndSystemKeys) {
    Button(1, 256, true);
    Button(2, 257, true);
    Update();
    EXPECT_EQ(State(256) + State(257) + State(258), "P-DP-D---");
    Button(1, 256, false);
    Update();
    EXPECT_EQ(State(256) + State(257), "-R---D");

    // Alt, F10 and keys pressed with Alt come like any key.
    KeyDown(164);
    KeyDown(121);
    KeyDown(165);
    Update();
    EXPECT_EQ(Flagged(true), "109 120 147");
    EXPECT_EQ(InputDown(147) + InputDown(109), 2);

    // Num Lock and Scroll Lock have no code: nothing is flagged.
    KeyDown(144);
    KeyDown(145);
    Update();
    EXPECT_EQ(Flagged(true), "");
    EXPECT_EQ(VirtualKeyToInputCode(144) + VirtualKeyToInputCode(145), 0u);
    // Keypad 9 (144) and left Control (145) are still up.
    EXPECT_EQ(InputDown(144) + InputDown(145), 0);
}

TEST_F(InputTest, KeyTableBothWays) {
    struct Pair {
        uint32_t virtualKey;
        InputCode code;
    };
    const Pair pairs[] = {{27, 27},   {32, 32},   {13, 98},   {38, 99},   {8, 103},
                          {163, 107}, {161, 108}, {165, 109}, {20, 110},  {112, 111},
                          {121, 120}, {36, 123},  {33, 124},  {35, 129},  {34, 130},
                          {45, 131},  {46, 132},  {122, 133}, {123, 134}, {96, 135},
                          {105, 144}, {162, 145}, {160, 146}, {164, 147}, {'0', 48},
                          {'Z', 90},  {186, 186}, {226, 226}};
    for (const Pair& pair : pairs) {
        EXPECT_EQ(VirtualKeyToInputCode(pair.virtualKey), pair.code) << pair.virtualKey;
        EXPECT_EQ(InputCodeToVirtualKey(pair.code), pair.virtualKey) << pair.code;
    }
    // Keys outside the table below 129 have no code; named keys without one
    // are never down.
    EXPECT_EQ(VirtualKeyToInputCode(106) + VirtualKeyToInputCode(91), 0u);
    EXPECT_EQ(InputCodeToVirtualKey(105) + InputCodeToVirtualKey(121) + InputCodeToVirtualKey(13), 0u);
    backend_.SetKey(13, true);
    EXPECT_EQ((std::tuple{InputDown(13), InputDown(98)}), (std::tuple{0, 1}));
}

TEST_F(InputTest, DefaultBindingsAndBindingRules) {
    BindDefaultActions();
    const InputCode expected[][3] = {
        {1, 4096, 0}, {2, 4097, 0},  {9, 99, 87},    {10, 102, 83}, {11, 100, 65},
        {12, 101, 68}, {15, 107, 32}, {16, 108, 69},  {17, 145, 0},  {18, 82, 0},
        {19, 71, 0},  {21, 130, 263}, {22, 124, 262}, {24, 81, 0},   {25, 256, 0},
        {26, 257, 0}, {29, 135, 146}, {30, 27, 0},    {31, 80, 0},   {32, 104, 0},
    };
    int bound = 0;
    for (int index = 0; index < 256; ++index) {
        bound += GetActionBinding(index, 0) != 0;
    }
    EXPECT_EQ(bound, 20);
    for (const auto& row : expected) {
        const int action = static_cast<int>(row[0]);
        EXPECT_EQ(GetActionBinding(action, 0), row[1]) << action;
        EXPECT_EQ(GetActionBinding(action, 1), row[2]) << action;
    }

    auto pair = [](int index) {
        return std::to_string(GetActionBinding(index, 0)) + "," +
               std::to_string(GetActionBinding(index, 1));
    };
    BindAction(9, 87, 0);
    EXPECT_EQ(pair(9), "87,99");
    BindAction(9, 87, 0);  // the primary again clears the second
    EXPECT_EQ(pair(9), "87,0");
    BindAction(10, 0, 0);
    EXPECT_EQ(pair(10), "0,0");
    BindAction(3, 65, 2);
    EXPECT_EQ(GetActionBinding(2 * 64 + 3, 0), 65u);
}

TEST_F(InputTest, ActionNineIsNeverPressed) {
    BindDefaultActions();
    BindAction(9, 65, 1);
    KeyDown(38);
    KeyDown('A');
    Update();
    for (int set = 0; set < 4; ++set) {
        EXPECT_EQ(ActionPressed(9, set), 0) << set;
    }
    EXPECT_EQ(ActionDown(9, 0) + ActionDown(9, 1), 2);
    EXPECT_EQ(ActionPressed(11, 0), 1);  // A is action 11's second
    KeyUp(38);
    Update();
    EXPECT_EQ(ActionDown(9, 0) * 10 + ActionReleased(9, 0), 1);
}

TEST_F(InputTest, SlotsOutOfRangeChangeAndAnswerNothing) {
    BindDefaultActions();
    InputCode before[256][2];
    for (int i = 0; i < 256; ++i) {
        before[i][0] = GetActionBinding(i, 0);
        before[i][1] = GetActionBinding(i, 1);
    }
    const int bad[][2] = {{-1, 0}, {64, 0}, {0, -1}, {0, 4}, {-64, 1}, {1000000, 3}, {5, 1 << 30}};
    for (const auto& slot : bad) {
        EXPECT_EQ(BindAction(slot[0], 65, slot[1]) + BindAction(slot[0], 0, slot[1]), 2);
        EXPECT_EQ(ActionDown(slot[0], slot[1]) + ActionPressed(slot[0], slot[1]) +
                      ActionReleased(slot[0], slot[1]),
                  0);
        EXPECT_EQ(ActionValue(slot[0], slot[1]), 0.0f);
        EXPECT_EQ(GetInputName(slot[0], 0, slot[1]), "");
    }
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(GetActionBinding(i, 0), before[i][0]);
        EXPECT_EQ(GetActionBinding(i, 1), before[i][1]);
    }
    for (auto [index, which] : {std::pair{-1, 0}, {256, 0}, {9, 2}, {9, -1}}) {
        EXPECT_EQ(GetActionBinding(index, which), 0u) << index << " " << which;
    }
    EXPECT_EQ(GetInputName(9, 2, 0), "");
}

TEST_F(InputTest, InputNames) {
    const std::pair<InputCode, const char*> names[] = {
        {13, "-RETURN"},     {65, "A"},          {96, "-NUMPAD0"},  {98, "QVI_RETURN"},
        {106, "QVI_RANGLE"}, {160, "-LSHIFT"},   {27, "QVI_ESC"},   {32, "QVI_SPACE"},
        {42, "*"},           {92, "\\"},         {93, "-APPS"},     {145, "QVI_LCTRL"},
        {200, "\xC8"},       {255, "Key255"},    {1, "-LBUTTON"},   {5, "Key5"},
        {111, "QVI_F1"},     {148, "Key148"},    {165, "-RMENU"},   {259, "QVI_MOUSE3"},
        {262, "QVI_WHEEL1"}, {263, "QVI_WHEEL2"}, {264, "Key264"},  {4095, "Key4095"},
        {4096, "Axis0"},     {4097, "Axis1"},    {4104, "Axis8"},   {0, ""},
    };
    for (const auto& [code, name] : names) {
        BindAction(40, 0, 3);
        BindAction(40, code, 3);
        EXPECT_EQ(GetInputName(40, 0, 3), name) << code;
    }
    EXPECT_EQ((std::tuple{GetInputName(41, 0, 3), InputCodeName(263)}),
              (std::tuple{"", "QVI_WHEEL2"}));
}

TEST_F(InputTest, JoystickNamesFollowOpenedCount) {
    backend_.AddJoystick();
    backend_.AddJoystick();
    InitInput(&backend_);
    // Past the table: no overrun.
    EXPECT_EQ(InputCodeName(264) + InputCodeName(327) + InputCodeName(328) + InputCodeName(1000),
              "QVI_JOYB0QVI_JOYB63Key328Key1000");
}

TEST_F(InputTest, CursorOffsetAxesAndRecentre) {
    BindDefaultActions();
    backend_.SetCursorPos(512 + 10, 384 - 7);
    Update(1);
    for (auto [value, expected] : {std::pair{GetAxisValue(4096), 0.32f},
                                   {GetAxisValue(4097), -0.224f},
                                   {ActionValue(1, 0), 0.32f},
                                   {ActionValue(2, 0), -0.224f}}) {
        EXPECT_FLOAT_EQ(value, expected);
    }
    EXPECT_EQ((std::tuple{GetAxisValue(4098), InputPressed(4096)}), (std::tuple{0.0f, 0}));
    int x = 0, y = 0;
    backend_.GetCursorPos(&x, &y);
    EXPECT_EQ(x * 1000 + y, 512384);
    Update();
    EXPECT_EQ(GetAxisValue(4096), 0.0f);

    // Halves of odd sizes round towards zero; without recentring the offset
    // stays.
    backend_.SetDesktopSize(1025, 769);
    backend_.SetCursorPos(0, 768);
    Update();
    EXPECT_TRUE(FloatsEq({GetAxisValue(4096), GetAxisValue(4097)}, {-512 * 0.032f, 384 * 0.032f}));
    Update();
    EXPECT_FLOAT_EQ(GetAxisValue(4096), -512 * 0.032f);
}

TEST_F(InputTest, CaptureChangedKey) {
    backend_.SetKey('F', true);
    backend_.SetKey(2, true);  // right button: code 257 after a message
    // Each change is reported once: the code, then 0.
    auto twice = [] {
        const InputCode first = CaptureChangedKey();
        return std::to_string(first) + " " + std::to_string(CaptureChangedKey());
    };
    EXPECT_EQ(twice(), "70 0");  // the first call compares with all up
    Send(MessageKind::Other);  // refreshes the mouse bytes
    backend_.SetKey('B', true);
    EXPECT_EQ(twice(), "66 0");
    backend_.SetKey('F', false);
    backend_.SetKey(2, false);
    Send(MessageKind::Other);
    EXPECT_EQ(twice(), "70 0");
    Send(MessageKind::Other);
    backend_.SetKey(2, true);
    Send(MessageKind::Other);
    EXPECT_EQ(CaptureChangedKey(), 257u);
    // Several changes: the lowest code wins.
    backend_.SetKey('Z', true);
    backend_.SetKey(13, true);
    EXPECT_EQ(twice(), "90 0");
}

TEST_F(InputTest, CaptureChangedAxisSampleCount) {
    // No joystick: 3 values (4096-4098).
    EXPECT_EQ(CaptureChangedAxis(), 0u);
    backend_.SetCursorPos(500, 384);
    Update();
    EXPECT_EQ(CaptureChangedAxis(), 4096u);
    EXPECT_EQ(CaptureChangedAxis(), 0u);  // reported once

    // One joystick: 11 values, up to its axis 2.
    backend_.SetCursorPos(512, 384);
    int stick = backend_.AddJoystick();
    InitInput(&backend_);
    CaptureChangedAxis();
    backend_.Joystick(stick).axes[3] = 4096;
    Update();
    EXPECT_EQ(CaptureChangedAxis(), 0u);
    backend_.Joystick(stick).axes[2] = 4096;
    Update();
    EXPECT_EQ(CaptureChangedAxis(), 4106u);

    // Two joysticks: 19 values capped at 16, which reach axis 7 of the active.
    ScriptedInputBackend two;
    two.AddJoystick();
    int second = two.AddJoystick();
    InitInput(&two);
    CaptureChangedAxis();
    two.Joystick(second).axes[7] = -2048;
    Update();
    EXPECT_EQ(CaptureChangedAxis(), 4111u);
    EXPECT_FLOAT_EQ(GetAxisValue(4111), 0.5f);
}

TEST_F(InputTest, DebugKeyStateFollowsHeldKey) {
    EXPECT_EQ(DebugKeyState(kVkF12), 0);
    backend_.SetKey(kVkF12, true);
    EXPECT_EQ((std::tuple{DebugKeyState(kVkF12), AsyncKeyState(kVkF12)}),
              (std::tuple{0x8000, 0x8000}));
    backend_.SetKey(kVkF12, false);
    EXPECT_EQ(DebugKeyState(kVkF12), 0);
}

TEST_F(InputTest, ScriptedJoystick) {
    // None: buttons up, axes 0.
    Update();
    for (InputCode code = 264; code < 300; ++code) {
        EXPECT_EQ(InputDown(code), 0);
    }
    for (InputCode code = 4104; code < 4120; ++code) {
        EXPECT_EQ(GetAxisValue(code), 0.0f);
    }
    EXPECT_EQ(InputDown(10254), 0);

    backend_.AddJoystick();
    int active = backend_.AddJoystick();
    InitInput(&backend_);
    JoystickState& state = backend_.Joystick(active);
    state.axes[0] = 80;
    state.axes[1] = 4096;
    state.axes[2] = -82;
    state.buttons[0] = 0x80;
    state.buttons[20] = 0x80;
    EXPECT_EQ(InputDown(264), 0);  // not polled yet
    Update();
    EXPECT_EQ(backend_.PollCount(), 1);
    EXPECT_EQ(GetAxisValue(4104), 0.0f);  // 80 of 4096 is below 0.02
    EXPECT_TRUE(FloatsEq({GetAxisValue(4105), GetAxisValue(4106)}, {-1.0f, -82 / 4096.0f}));
    EXPECT_EQ((std::tuple{GetAxisValue(4112), Flagged(true), InputDown(264), InputDown(284)}),
              (std::tuple{0.0f, "264", 1, 1}));
    EXPECT_EQ(InputDown(10255), 1);  // Y above 500
    EXPECT_EQ((std::tuple{InputDown(10254), InputDown(10256), InputDown(10258)}),
              (std::tuple{0, 0, 0}));

    state.buttons[0] = 0;
    state.buttons[15] = 0x80;
    state.buttons[20] = 0;
    state.axes[0] = -501;
    Update();
    EXPECT_EQ((std::tuple{Flagged(true), Flagged(false), InputDown(10256)}),
              (std::tuple{"279", "264", 1}));
}
