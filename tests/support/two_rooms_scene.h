// The two rooms and the door that several scene tests share, built with the
// engine's classes for SceneBuilder: the camera "Cam" at (0, 50, 0); RoomA
// (-500, -100, -500)-(500, 400, 500) with the floor mesh "FloorA", the
// Trigger "T" at (400, 50, 0) (radius 100, taking group 1, opening
// "GA5_Door" on its 1429) and the Base "Runner" (an event sphere of radius
// 20 in group 1) at (0, 50, 0); RoomB (500, -100, -500)-(1500, 410, 500)
// with the Object "Statue"; the Door "GA5_Door" at (500, 0, 0) between
// them (opens and closes in 0.5 s, uses its connector, radius 25, centred
// at (500, 30, 0)).
#pragma once

#include <string>

#include "scene_harness.h"

namespace scene {

struct TwoRoomsOptions {
    bool trigger = true;
    bool runner = true;
    // Seconds the open door waits before it closes itself; 0 never.
    float autoClose = 1.0f;
};

// False (with the reason in `error`) when a part cannot be made.
bool BuildTwoRooms(SceneBuilder &builder, const TwoRoomsOptions &options, std::string *error);

} // namespace scene
