// The engine's own pseudo-random generator.
//
// A 32-bit linear congruential generator with 15-bit results (0..32767).
// Game code depends on this distribution ("Rand() % 10000", "Rand() & 2047"),
// so the engine never uses the C library's rand(). Main thread only.
#pragma once

#include <cstdint>

inline constexpr int kRandMax = 32767;

// Sets the generator state; before any call the generator behaves as seed 1.
void SeedRand(uint32_t seed);

// Next value in 0..kRandMax.
int Rand();
