// The moving content of the sample level, in RoomA where "GA29_Cam" sees it:
// the Matrix Animation "Spin" turning a crate, the Path "Route" walking the
// sphere "Walker" out to its nodes and back, and the LOD "Pillar" whose
// nearer level, a cylinder, it starts.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Ids from kFirstMovingId to kEndMovingId (exclusive).
inline constexpr int32_t kFirstMovingId = 3080;
inline constexpr int32_t kEndMovingId = 3089;

bool AddMovingContent(SampleOutput& out, const std::string& file);
