// Mission 1, "Mission_01_Release.qva": the rooms of "Level1.qva" closed by
// textured walls and ceilings, without the checks' drivers, with the door
// between RoomA and RoomC locked until the player picks up the key in
// RoomA's north-west corner, the guard patrolling RoomB beside the dungeon
// cell in its south-east corner, and the exit in RoomC's north-west corner.
#pragma once

#include <cstdint>

class SampleOutput;

// Ids the mission's own additions take, and the box every walkable place
// of the mission lies in.
inline constexpr int32_t kFirstMission1Id = 4000;
inline constexpr float kMission1MinX = -500.0f;
inline constexpr float kMission1MaxX = 1500.0f;
inline constexpr float kMission1MinZ = -500.0f;
inline constexpr float kMission1MaxZ = 1500.0f;

bool WriteMission1(SampleOutput &out);
