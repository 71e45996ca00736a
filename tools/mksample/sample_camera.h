// The sample camera of the level: "GA29_Cam" below "Scenery", standing in
// RoomA at (0, 120, -450) and looking along +z, active when the level is
// loaded. Its field of view, 2.0943952, gives the renderer the vertical
// field of view it starts with (0.75 of it, 1.5707964), so that the view is
// the one the level was laid out for.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Makes "GA29_Cam"; its id is `next`, which is advanced.
bool AddSampleCamera(SampleOutput& out, const std::string& file, int32_t& next);
