#include "game/game_sleep.h"

#include "platform/video.h"

namespace {

// The window thread's wait, on the films' clock: a clock that skips waits
// skips these too.
void RealSleep(uint32_t milliseconds) { VideoSleep(milliseconds); }

GameSleepFunction g_sleep = &RealSleep;

} // namespace

void GameSleep(uint32_t milliseconds) { g_sleep(milliseconds); }

GameSleepFunction SetGameSleep(GameSleepFunction sleep) {
    GameSleepFunction previous = g_sleep;
    g_sleep = sleep != nullptr ? sleep : &RealSleep;
    return previous;
}
