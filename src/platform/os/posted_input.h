// Input events put into the window's own event queue, as the keyboard and the
// mouse would put them there: the message loop takes them like any other
// event, so the held tables, the messages and the cursor see real input. Used
// by the engine's scripted test input. Main thread only.
#pragma once

#include <cstdint>

// True when a key of a PC keyboard gives `virtualKey` (the keypad digits with
// Num Lock on, Clear with it off).
bool HasKeyForVirtualKey(uint32_t virtualKey);

// A key going down or up as that virtual key. False when no key gives it or
// the queue refuses the event.
bool PostKeyEvent(uint32_t virtualKey, bool down);

// Mouse button 256 (left), 257 (right) or 258 (middle) going down or up.
// False for another number or when the queue refuses the event.
bool PostMouseButtonEvent(uint32_t button, bool down);

// The mouse moving by (dx, dy) pixels. False when the queue refuses it.
bool PostMouseMotionEvent(int32_t dx, int32_t dy);
