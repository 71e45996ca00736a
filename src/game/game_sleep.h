// The front end's blocking waits (the pauses after a save or a load). They
// run on the frame loop's thread, so nothing is drawn while they last. Tests
// put in a sleep that only records. The real one is the films' wait
// (VideoSleep), which the engine's ENGINE_SKIP_WAITS makes return at once.
#pragma once

#include <cstdint>

using GameSleepFunction = void (*)(uint32_t milliseconds);

// Blocks for the milliseconds through the installed sleep.
void GameSleep(uint32_t milliseconds);

// Installs a sleep (null: the real one); answers the one before.
GameSleepFunction SetGameSleep(GameSleepFunction sleep);
