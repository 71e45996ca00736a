// SDL scancodes to Windows virtual-key numbers for every key of a PC keyboard.
#pragma once

#include <SDL.h>

#include <cstdint>

// The virtual key of `scancode`; keypad digits and the keypad decimal point
// depend on Num Lock (`numLock`): on, the numeric-pad keys 96-105 and 110;
// off, the navigation key of that position. 0 for a key without one.
uint32_t ScancodeToVirtualKey(SDL_Scancode scancode, bool numLock);
