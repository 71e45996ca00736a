// The sample camera of the level: "GA29_Cam" below "Scenery", standing in
// RoomA at (0, 120, -450) and looking along +z, active when the level is
// loaded. Its field of view, 2.0943952, gives the renderer the vertical
// field of view it starts with (0.75 of it, 1.5707964), so that the view is
// the one the level was laid out for.
#pragma once

#include <cstdint>
#include <string>

class Actor;
class SampleOutput;

// Makes "GA29_Cam"; its id is `next`, which is advanced.
bool AddSampleCamera(SampleOutput& out, const std::string& file, int32_t& next);

// The follow camera's rig below a character at ids from `next` on: the
// children "CameraTarget" and "CameraPosition", from which the camera that
// "Start Game" makes for the player takes its look height and its distance
// (its eye a third of that above). With the character's look level, as it
// starts, the eye stands 182 behind the character, 85 above it, and looks
// a little down over the hero's head: the hero (100 tall) stands in the
// lower half of the screen, the top of its head at the middle, with the way
// ahead above it. A room's walls pull the camera in.
inline constexpr float kFollowCameraTargetHeight = 60.0f;
inline constexpr float kFollowCameraDistance = 230.0f;
bool AddFollowCameraRig(SampleOutput& out, const std::string& file, Actor* character,
                        int32_t& next);
