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
// children "CameraTarget" and "CameraPosition". The camera that "Start
// Game" makes for the player's third-person hero looks at "CameraTarget"
// from the length of "CameraPosition" back along the way the hero looks.
// With the hero's look level, as it starts, the eye stands 200 behind him,
// 120 above his feet: over his head (100 tall) and over the tops of the
// crates (100) and the cover (80) he walks by, which would otherwise
// swallow it. The hero stands in the lower half of the screen with the way
// ahead above him. Walls the eye meets pull it in.
inline constexpr float kFollowCameraTargetHeight = 120.0f;
inline constexpr float kFollowCameraDistance = 200.0f;
bool AddFollowCameraRig(SampleOutput& out, const std::string& file, Actor* character,
                        int32_t& next);
