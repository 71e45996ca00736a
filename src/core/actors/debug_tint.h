// The developer's quick colour tint of the view ("FastDebug").
#pragma once

#include <cstdint>

// Default tint components, taken where a component is given as 0xFFFFFFFF.
inline constexpr uint32_t kDebugTintDefault = 0xFFFFFFFFu;

// Mode 1 with a current camera: sends the camera "Set Gamma" with 1.0, 1.0,
// 1.0 and the red, green and blue values (red 60, green 140, blue 200 where
// given as 0xFFFFFFFF) and answers the camera's answer. Anything else sends
// nothing and answers 0.
int DebugTint(uint32_t mode, uint32_t red, uint32_t green, uint32_t blue);
