#include "game/game_sleep.h"

#include <chrono>
#include <thread>

namespace {

void RealSleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

GameSleepFunction g_sleep = &RealSleep;

} // namespace

void GameSleep(uint32_t milliseconds) { g_sleep(milliseconds); }

GameSleepFunction SetGameSleep(GameSleepFunction sleep) {
    GameSleepFunction previous = g_sleep;
    g_sleep = sleep != nullptr ? sleep : &RealSleep;
    return previous;
}
