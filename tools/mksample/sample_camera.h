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
// With the hero's look level, as it starts, the eye stands some 190
// behind him and 105 above his feet, over his head (100 tall) and the
// crates' tops (100), and looks a little down: he stands below the middle
// of the screen, whole, with the way ahead above him; in Level1's open
// RoomA, 200 from its south end, the eye stays inside the room. Walls and
// the solid pieces of the rooms pull the eye in, down to some 30 units
// behind him in a corner; the point it looks at comes in with it and stays
// below the eye, so that the view tips down onto his head and shoulders (a
// point above the eye would tip it up to the ceiling and lose him).
inline constexpr float kFollowCameraTargetHeight = 20.0f;
inline constexpr float kFollowCameraDistance = 240.0f;
bool AddFollowCameraRig(SampleOutput& out, const std::string& file, Actor* character,
                        int32_t& next);
