#include "base/random.h"

namespace {
uint32_t g_randState = 1;
}

void SeedRand(uint32_t seed) { g_randState = seed; }

int Rand() {
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & 0x7FFFu);
}
