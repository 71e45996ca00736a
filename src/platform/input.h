// Input devices and the action map.
//
// Keyboard, mouse and joysticks share one space of input codes:
//   1-255      keys in the engine's numbering (27 Escape, 32 Space, digits and
//              letters as themselves, 98-147 named keys, other codes above 128
//              the virtual key of the same number)
//   256-258    left, right, middle mouse button; 259-261 further buttons
//              (never set); 262/263 wheel turned back/forward
//   264 + b    button b of the active joystick
//   10254-10257 the active joystick's stick as four directions
//   4096, 4097 cursor offset x, y; 4098-4103 further mouse axes (always 0)
//   4104 + a   axis a (0-7) of the active joystick
// Pressed and released flags are per frame (UpdateInput); held state is read
// from the backend. The action map binds 4 sets of 64 actions to a primary and
// a second code. Module-wide state, window thread only.
#pragma once

#include <cstdint>
#include <string>

class InputBackend;
struct WindowMessage;

using InputCode = uint32_t;

inline constexpr int kActionSets = 4;
inline constexpr int kActionsPerSet = 64;
inline constexpr InputCode kMouseAxisX = 4096;
inline constexpr InputCode kMouseAxisY = 4097;
inline constexpr InputCode kJoystickAxis0 = 4104;
inline constexpr InputCode kJoystickButton0 = 264;
inline constexpr InputCode kWheelBack = 262;
inline constexpr InputCode kWheelForward = 263;

// Builds the name table, opens the backend's joysticks, clears flags, queues,
// capture buffers and both binding tables. The backend must outlive the input
// layer's use. Answers 1.
int InitInput(InputBackend* backend);
// The 29 default bindings of set 0, in order.
void BindDefaultActions();

// The window's message hook: queues key, button and wheel events and
// refreshes the mouse-button bytes.
void HandleInputMessage(const WindowMessage& message);
// Once per frame: polls joysticks, turns queued events into this frame's
// pressed and released flags, latches the wheel, measures the cursor offset
// from the desktop centre and, with `recentre` set, puts the cursor back there.
void UpdateInput(float frameTime, int recentre);

int InputDown(InputCode code);
int InputPressed(InputCode code);
int InputReleased(InputCode code);
float GetAxisValue(InputCode code);

int ActionDown(int action, int set);
// Action 9 never answers pressed.
int ActionPressed(int action, int set);
int ActionReleased(int action, int set);
float ActionValue(int action, int set);

// Code 0 clears both bindings; the current primary clears the second; any
// other code becomes primary with the old primary as second. Answers 1 (also
// for a set or action out of range, which changes nothing).
int BindAction(int action, InputCode code, int set);
// which 0: primary, 1: second; index = set x 64 + action. 0 when out of range.
InputCode GetActionBinding(int index, int which);
// Display name of the code bound in that slot; "" when unbound or out of range.
std::string GetInputName(int action, int which, int set);
// The display name of a code (as GetInputName shows it; "" for 0).
std::string InputCodeName(InputCode code);

// First code from 10 to 287 whose held state changed since the previous call
// (the first call compares with all up), else 0.
InputCode CaptureChangedKey();
// First analogue code from 4096 whose value changed since the previous call,
// else 0.
InputCode CaptureChangedAxis();

// Key-state word of a Windows virtual key: 0x8000 while it is down, else 0.
int AsyncKeyState(uint32_t virtualKey);
// The same word, for the engine's debug keys (F12 and the shadow keys).
int DebugKeyState(uint32_t virtualKey);

// The key table both ways; 0 for none.
uint32_t InputCodeToVirtualKey(InputCode code);
InputCode VirtualKeyToInputCode(uint32_t virtualKey);
