// The level logic of the sample: in "RoomA" a State "Logic" holding the Time
// Instance "GA33_Clockwork" and the looping Timer "Clock", whose keys hide
// and show the Mesh Object "GA32_Beacon" (a sphere standing in RoomA), so
// that the beacon blinks once every two seconds.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Ids from `next` on.
bool AddRoomLogic(SampleOutput& out, const std::string& file, int32_t& next);
