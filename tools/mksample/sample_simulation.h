// The falling ball of the sample level: a Simulation actor "Ball" in RoomA,
// 20 units above its rest on FloorA, that starts with the game and, when it
// has come to rest, moves "GA28_Rest" to (7, 7, 7).
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Makes "Ball" with its mesh "BallMesh" and "GA28_Rest" in RoomA below
// "Scenery"; ids from `next` on.
bool AddFallingBall(SampleOutput& out, const std::string& file, int32_t& next);
