#include "platform/input.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/os/input_backend.h"
#include "platform/os/window.h"

namespace {

constexpr int kSlots = kActionSets * kActionsPerSet;
constexpr int kFlagCodes = 512;
constexpr InputCode kFirstNamedKey = 98;
constexpr InputCode kStickUp = 10254;  // Y below -500
constexpr int kStickThreshold = 500;
constexpr InputCode kCaptureFirst = 10;
constexpr InputCode kCaptureEnd = 288;  // keyboard, mouse, 32 joystick buttons
constexpr int kCaptureAxes = 16;
constexpr size_t kMaxQueuedEvents = 1024;
constexpr float kCursorScale = 0.032f;
constexpr float kAxisDeadZone = 0.02f;

struct NamedKey {
    const char* name;
    uint32_t virtualKey;  // 0: none
};

// Codes 98-147.
constexpr NamedKey kNamedKeys[] = {
    {"QVI_RETURN", 13},   {"QVI_UP", 38},        {"QVI_LEFT", 37},      {"QVI_RIGHT", 39},
    {"QVI_DOWN", 40},     {"QVI_BACK", 8},       {"QVI_TAB", 9},        {"QVI_LANGLE", 0},
    {"QVI_RANGLE", 0},    {"QVI_RCTRL", 163},    {"QVI_RSHIFT", 161},   {"QVI_RALT", 165},
    {"QVI_CAPSLOCK", 20}, {"QVI_F1", 112},       {"QVI_F2", 113},       {"QVI_F3", 114},
    {"QVI_F4", 115},      {"QVI_F5", 116},       {"QVI_F6", 117},       {"QVI_F7", 118},
    {"QVI_F8", 119},      {"QVI_F9", 120},       {"QVI_F10", 121},      {"QVI_NUMLOCK", 0},
    {"QVI_SCRLOCK", 0},   {"QVI_HOME", 36},      {"QVI_PAGEUP", 33},    {"QVI_MINUS", 0},
    {"QVI_MULTIPLY", 0},  {"QVI_PLUS", 0},       {"QVI_DIVIDE", 0},     {"QVI_END", 35},
    {"QVI_PAGEDOWN", 34}, {"QVI_INSERT", 45},    {"QVI_DELETE", 46},    {"QVI_F11", 122},
    {"QVI_F12", 123},     {"QVI_PAD0", 96},      {"QVI_PAD1", 97},      {"QVI_PAD2", 98},
    {"QVI_PAD3", 99},     {"QVI_PAD4", 100},     {"QVI_PAD5", 101},     {"QVI_PAD6", 102},
    {"QVI_PAD7", 103},    {"QVI_PAD8", 104},     {"QVI_PAD9", 105},     {"QVI_LCTRL", 162},
    {"QVI_LSHIFT", 160},  {"QVI_LALT", 164},
};
constexpr InputCode kLastNamedKey = kFirstNamedKey + std::size(kNamedKeys) - 1;
static_assert(kLastNamedKey == 147);

struct VirtualKeyName {
    uint32_t virtualKey;
    const char* name;
};

constexpr VirtualKeyName kVirtualKeyNames[] = {
    {1, "-LBUTTON"},    {2, "-RBUTTON"},    {3, "-CANCEL"},     {4, "-MBUTTON"},
    {8, "-BACK"},       {9, "-TAB"},        {12, "-CLEAR"},     {13, "-RETURN"},
    {16, "-SHIFT"},     {17, "-CONTROL"},   {18, "-MENU"},      {19, "-PAUSE"},
    {20, "-CAPITAL"},   {27, "-ESCAPE"},    {32, "-SPACE"},     {33, "-PRIOR"},
    {34, "-NEXT"},      {35, "-END"},       {36, "-HOME"},      {37, "-LEFT"},
    {38, "-UP"},        {39, "-RIGHT"},     {40, "-DOWN"},      {41, "-SELECT"},
    {42, "-PRINT"},     {43, "-EXECUTE"},   {44, "-SNAPSHOT"},  {45, "-INSERT"},
    {46, "-DELETE"},    {47, "-HELP"},      {91, "-LWIN"},      {92, "-RWIN"},
    {93, "-APPS"},      {106, "-MULTIPLY "}, {107, "-ADD"},     {108, "-SEPARATOR"},
    {109, "-SUBTRACT"}, {110, "-DECIMAL"},  {111, "-DIVIDE"},   {144, "-NUMLOCK"},
    {145, "-SCROLL"},   {160, "-LSHIFT"},   {161, "-RSHIFT"},   {162, "-LCONTROL"},
    {163, "-RCONTROL"}, {164, "-LMENU"},    {165, "-RMENU"},
};

// The 29 default bindings of set 0: (action, code), in order.
constexpr int kDefaultBindings[][2] = {
    {1, 0x1000}, {2, 0x1001}, {9, 0x57},  {10, 0x53}, {11, 0x41}, {12, 0x44},
    {15, 0x20},  {25, 0x100}, {26, 0x101}, {21, 0x107}, {22, 0x106}, {24, 0x51},
    {16, 0x45},  {18, 0x52},  {19, 0x47},  {29, 0x92},  {17, 0x91},  {30, 0x1B},
    {32, 0x68},  {31, 0x50},  {9, 0x63},   {10, 0x66},  {11, 0x64},  {12, 0x65},
    {15, 0x6B},  {21, 0x82},  {22, 0x7C},  {29, 0x87},  {16, 0x6C},
};

struct InputState {
    InputBackend* backend = nullptr;
    std::vector<std::string> names;
    std::array<InputCode, kSlots> primary{};
    std::array<InputCode, kSlots> second{};
    std::array<uint8_t, 8> mouseBytes{};  // codes 256-263
    int32_t pendingWheel = 0;
    int cursorOffsetX = 0;
    int cursorOffsetY = 0;
    std::vector<InputCode> downQueue;
    std::vector<InputCode> upQueue;
    std::array<uint8_t, kFlagCodes> pressed{};
    std::array<uint8_t, kFlagCodes> released{};
    int joystickCount = 0;
    int activeJoystick = -1;
    JoystickState joystick{};  // last polled state of the active joystick
    std::array<uint8_t, kCaptureEnd> captureKeys[2]{};
    int captureKeysCurrent = 0;
    std::array<float, kCaptureAxes> captureAxes[2]{};
    int captureAxesCurrent = 0;
};

InputState& State() {
    static InputState state;
    return state;
}

bool SlotOf(int action, int set, int* slot) {
    if (set < 0 || set >= kActionSets || action < 0 || action >= kActionsPerSet) {
        return false;
    }
    *slot = set * kActionsPerSet + action;
    return true;
}

void Queue(std::vector<InputCode>& queue, InputCode code) {
    if (queue.size() < kMaxQueuedEvents) {
        queue.push_back(code);
    }
}

void RefreshMouseBytes(InputState& s) {
    const uint32_t keys[3] = {kVkLButton, kVkRButton, kVkMButton};
    for (int i = 0; i < 3; ++i) {
        s.mouseBytes[static_cast<size_t>(i)] =
            (AsyncKeyState(keys[i]) & kKeyDownBit) != 0 ? 0x80 : 0;
    }
}

std::string Format(const char* format, unsigned value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void BuildNames(InputState& s) {
    const size_t count = 32 * static_cast<size_t>(s.joystickCount) + 264;
    s.names.assign(count, std::string());
    for (size_t code = 0; code < count; ++code) {
        s.names[code] = Format("Key%u", static_cast<unsigned>(code));
    }
    for (const VirtualKeyName& entry : kVirtualKeyNames) {
        s.names[entry.virtualKey] = entry.name;
    }
    for (unsigned vk = 96; vk <= 105; ++vk) {
        s.names[vk] = Format("-NUMPAD%u", vk - 96);
    }
    for (unsigned vk = 112; vk <= 123; ++vk) {
        s.names[vk] = Format("-F%u", vk - 111);
    }
    for (unsigned code = 42; code <= 92; ++code) {
        s.names[code] = std::string(1, static_cast<char>(code));
    }
    for (unsigned code = 192; code <= 254; ++code) {
        s.names[code] = std::string(1, static_cast<char>(code));
    }
    s.names[27] = "QVI_ESC";
    for (InputCode code = kFirstNamedKey; code <= kLastNamedKey; ++code) {
        s.names[code] = kNamedKeys[code - kFirstNamedKey].name;
    }
    s.names[32] = "QVI_SPACE";
    s.names[256] = "QVI_MOUSEL";
    s.names[257] = "QVI_MOUSER";
    s.names[258] = "QVI_MOUSEM";
    for (unsigned i = 0; i < 3; ++i) {
        s.names[259 + i] = Format("QVI_MOUSE%u", 3 + i);
    }
    s.names[262] = "QVI_WHEEL1";
    s.names[263] = "QVI_WHEEL2";
    for (size_t code = 264; code < count; ++code) {
        s.names[code] = Format("QVI_JOYB%u", static_cast<unsigned>(code - 264));
    }
}

void PollJoysticks(InputState& s) {
    if (s.backend == nullptr || s.joystickCount == 0) {
        return;
    }
    s.backend->PollJoysticks();
    if (!s.backend->ReadJoystick(s.activeJoystick, &s.joystick)) {
        std::memset(&s.joystick, 0, sizeof s.joystick);
    }
}

bool JoystickButtonDown(const InputState& s, int button) {
    return s.activeJoystick >= 0 && (s.joystick.buttons[button] & 0x80) != 0;
}

}  // namespace

uint32_t InputCodeToVirtualKey(InputCode code) {
    if (code == 27 || code == 32) {
        return code;
    }
    if (code >= kFirstNamedKey && code <= kLastNamedKey) {
        return kNamedKeys[code - kFirstNamedKey].virtualKey;
    }
    if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90) || (code > 128 && code < 256)) {
        return code;
    }
    return 0;
}

InputCode VirtualKeyToInputCode(uint32_t virtualKey) {
    if (virtualKey == 0 || virtualKey > 255) {
        return 0;
    }
    if (virtualKey == 27 || virtualKey == 32) {
        return virtualKey;
    }
    for (InputCode code = kFirstNamedKey; code <= kLastNamedKey; ++code) {
        if (kNamedKeys[code - kFirstNamedKey].virtualKey == virtualKey) {
            return code;
        }
    }
    // Num Lock and Scroll Lock would land on the codes of keypad 9 and left
    // Control: they have no code.
    if (virtualKey == 144 || virtualKey == 145) {
        return 0;
    }
    if ((virtualKey >= 48 && virtualKey <= 57) || (virtualKey >= 65 && virtualKey <= 90) ||
        virtualKey > 128) {
        return virtualKey;
    }
    return 0;
}

int InitInput(InputBackend* backend) {
    InputState& s = State();
    s = InputState{};
    s.backend = backend;
    if (backend != nullptr) {
        s.joystickCount = backend->OpenJoysticks(kMaxJoysticks);
        if (s.joystickCount < 0) {
            s.joystickCount = 0;
        }
        if (s.joystickCount > kMaxJoysticks) {
            s.joystickCount = kMaxJoysticks;
        }
    }
    s.activeJoystick = s.joystickCount - 1;
    BuildNames(s);
    return 1;
}

void BindDefaultActions() {
    for (const auto& binding : kDefaultBindings) {
        BindAction(binding[0], static_cast<InputCode>(binding[1]), 0);
    }
}

void HandleInputMessage(const WindowMessage& message) {
    InputState& s = State();
    InputCode key = 0;
    if (message.kind == MessageKind::KeyDown || message.kind == MessageKind::KeyUp) {
        if (message.kind == MessageKind::KeyDown && message.repeat) {
            return;  // auto-repeat
        }
        key = VirtualKeyToInputCode(message.virtualKey);
        if (key == 0) {
            return;
        }
    }
    RefreshMouseBytes(s);
    switch (message.kind) {
        case MessageKind::ButtonDown:
        case MessageKind::ButtonUp:
            if (message.button >= 256 && message.button <= 258) {
                Queue(message.kind == MessageKind::ButtonDown ? s.downQueue : s.upQueue,
                      message.button);
            }
            break;
        case MessageKind::KeyDown:
            Queue(s.downQueue, key);
            break;
        case MessageKind::KeyUp:
            Queue(s.upQueue, key);
            break;
        case MessageKind::Wheel:
            s.pendingWheel = message.wheelDelta;
            if (message.wheelDelta != 0) {
                const InputCode code = message.wheelDelta > 0 ? kWheelForward : kWheelBack;
                Queue(s.downQueue, code);
                Queue(s.upQueue, code);
            }
            break;
        default:
            break;
    }
}

void UpdateInput(float /*frameTime*/, int recentre) {
    InputState& s = State();
    // Joystick buttons 0-15 produce events; 16-31 only a held state.
    bool before[16];
    for (int b = 0; b < 16; ++b) {
        before[b] = JoystickButtonDown(s, b);
    }
    PollJoysticks(s);
    for (int b = 0; b < 16; ++b) {
        const bool now = JoystickButtonDown(s, b);
        if (before[b] && !now) {
            Queue(s.upQueue, kJoystickButton0 + static_cast<InputCode>(b));
        } else if (!before[b] && now) {
            Queue(s.downQueue, kJoystickButton0 + static_cast<InputCode>(b));
        }
    }

    // The wheel codes are held for exactly one update.
    s.mouseBytes[kWheelBack - 256] = s.pendingWheel < 0 ? 0x80 : 0;
    s.mouseBytes[kWheelForward - 256] = s.pendingWheel > 0 ? 0x80 : 0;
    s.pendingWheel = 0;

    int width = 0, height = 0, x = 0, y = 0;
    if (s.backend != nullptr) {
        s.backend->GetDesktopSize(&width, &height);
        s.backend->GetCursorPos(&x, &y);
    }
    s.cursorOffsetX = x - width / 2;
    s.cursorOffsetY = y - height / 2;

    s.pressed.fill(0);
    s.released.fill(0);
    for (InputCode code : s.downQueue) {
        if (code < kFlagCodes) {
            s.pressed[code] = 1;
        }
    }
    for (InputCode code : s.upQueue) {
        if (code < kFlagCodes) {
            s.released[code] = 1;
        }
    }
    s.downQueue.clear();
    s.upQueue.clear();

    if (recentre != 0 && s.backend != nullptr) {
        s.backend->SetCursorPos(width / 2, height / 2);
    }
}

int InputDown(InputCode code) {
    InputState& s = State();
    if (code >= kJoystickButton0 && code < kJoystickButton0 + 32) {
        return JoystickButtonDown(s, static_cast<int>(code - kJoystickButton0)) ? 1 : 0;
    }
    if (code >= kStickUp && code < kStickUp + 4) {
        if (s.activeJoystick < 0) {
            return 0;
        }
        const int32_t axisX = s.joystick.axes[0];
        const int32_t axisY = s.joystick.axes[1];
        switch (code - kStickUp) {
            case 0: return axisY < -kStickThreshold ? 1 : 0;
            case 1: return axisY > kStickThreshold ? 1 : 0;
            case 2: return axisX < -kStickThreshold ? 1 : 0;
            default: return axisX > kStickThreshold ? 1 : 0;
        }
    }
    if (code >= 264) {
        return 0;
    }
    if (code >= 256) {
        return s.mouseBytes[code - 256] & 0x80 ? 1 : 0;
    }
    const uint32_t virtualKey = InputCodeToVirtualKey(code);
    if (virtualKey == 0) {
        return 0;
    }
    return (AsyncKeyState(virtualKey) & kKeyDownBit) != 0 ? 1 : 0;
}

int InputPressed(InputCode code) {
    return code < kFlagCodes ? State().pressed[code] : 0;
}

int InputReleased(InputCode code) {
    return code < kFlagCodes ? State().released[code] : 0;
}

float GetAxisValue(InputCode code) {
    InputState& s = State();
    if (code == kMouseAxisX) {
        return static_cast<float>(s.cursorOffsetX) * kCursorScale;
    }
    if (code == kMouseAxisY) {
        return static_cast<float>(s.cursorOffsetY) * kCursorScale;
    }
    if (code < kJoystickAxis0 || code >= kJoystickAxis0 + 8 || s.activeJoystick < 0) {
        return 0.0f;
    }
    const uint32_t axis = code - kJoystickAxis0;
    float value = static_cast<float>(s.joystick.axes[axis]) / 4096.0f;
    if (value > -kAxisDeadZone && value < kAxisDeadZone) {
        return 0.0f;
    }
    // Y, Rx, Rz and slider 1 are turned round: stick forward reads positive.
    return (axis & 1) != 0 ? -value : value;
}

int ActionDown(int action, int set) {
    int slot;
    if (!SlotOf(action, set, &slot)) {
        return 0;
    }
    const InputState& s = State();
    return (InputDown(s.primary[slot]) || InputDown(s.second[slot])) ? 1 : 0;
}

int ActionPressed(int action, int set) {
    int slot;
    if (action == 9 || !SlotOf(action, set, &slot)) {
        return 0;
    }
    const InputState& s = State();
    return (InputPressed(s.primary[slot]) || InputPressed(s.second[slot])) ? 1 : 0;
}

int ActionReleased(int action, int set) {
    int slot;
    if (!SlotOf(action, set, &slot)) {
        return 0;
    }
    const InputState& s = State();
    return (InputReleased(s.primary[slot]) || InputReleased(s.second[slot])) ? 1 : 0;
}

float ActionValue(int action, int set) {
    int slot;
    if (!SlotOf(action, set, &slot)) {
        return 0.0f;
    }
    const InputState& s = State();
    return GetAxisValue(s.primary[slot]) + GetAxisValue(s.second[slot]);
}

int BindAction(int action, InputCode code, int set) {
    int slot;
    if (!SlotOf(action, set, &slot)) {
        return 1;
    }
    InputState& s = State();
    if (code == 0) {
        s.primary[slot] = 0;
        s.second[slot] = 0;
    } else if (code == s.primary[slot]) {
        s.second[slot] = 0;
    } else {
        s.second[slot] = s.primary[slot];
        s.primary[slot] = code;
    }
    return 1;
}

InputCode GetActionBinding(int index, int which) {
    if (index < 0 || index >= kSlots) {
        return 0;
    }
    const InputState& s = State();
    switch (which) {
        case 0: return s.primary[index];
        case 1: return s.second[index];
        default: return 0;
    }
}

std::string InputCodeName(InputCode code) {
    if (code == 0) {
        return std::string();
    }
    if (code >= kMouseAxisX) {
        return Format("Axis%u", code - kMouseAxisX);
    }
    const InputState& s = State();
    if (code < s.names.size()) {
        return s.names[code];
    }
    return Format("Key%u", code);
}

std::string GetInputName(int action, int which, int set) {
    int slot;
    if (!SlotOf(action, set, &slot) || (which != 0 && which != 1)) {
        return std::string();
    }
    return InputCodeName(GetActionBinding(slot, which));
}

InputCode CaptureChangedKey() {
    InputState& s = State();
    s.captureKeysCurrent ^= 1;
    auto& now = s.captureKeys[s.captureKeysCurrent];
    const auto& before = s.captureKeys[s.captureKeysCurrent ^ 1];
    for (InputCode code = 0; code < kCaptureEnd; ++code) {
        now[code] = static_cast<uint8_t>(InputDown(code));
    }
    for (InputCode code = kCaptureFirst; code < kCaptureEnd; ++code) {
        if (now[code] != before[code]) {
            return code;
        }
    }
    return 0;
}

InputCode CaptureChangedAxis() {
    InputState& s = State();
    s.captureAxesCurrent ^= 1;
    auto& now = s.captureAxes[s.captureAxesCurrent];
    const auto& before = s.captureAxes[s.captureAxesCurrent ^ 1];
    int count = 8 * s.joystickCount + 3;
    if (count > kCaptureAxes) {
        count = kCaptureAxes;
    }
    for (int i = 0; i < count; ++i) {
        now[static_cast<size_t>(i)] = GetAxisValue(kMouseAxisX + static_cast<InputCode>(i));
    }
    for (int i = 0; i < count; ++i) {
        if (now[static_cast<size_t>(i)] != before[static_cast<size_t>(i)]) {
            return kMouseAxisX + static_cast<InputCode>(i);
        }
    }
    return 0;
}

int AsyncKeyState(uint32_t virtualKey) {
    InputBackend* backend = State().backend;
    if (backend == nullptr) {
        return 0;
    }
    return backend->AsyncKeyState(virtualKey) & kKeyDownBit;
}

int DebugKeyState(uint32_t virtualKey) { return AsyncKeyState(virtualKey); }
