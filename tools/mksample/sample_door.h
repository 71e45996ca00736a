// The door of the sample level and the trigger that opens it: the Door
// "GA5_Door" stands in the doorway between RoomA and RoomC, where its
// Door-type connector joins the two rooms; the Trigger "T" in RoomA opens it
// when the Base "Runner", the walker of the Path "Tour", steps into its
// sphere on its way through the doorway into RoomC.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// The first id after the door's and the trigger's actors.
inline constexpr int32_t kSampleDoorIdEnd = 3069;

// Makes "GA5_Door" (with "Door_Frame", "Door_1", "Open", "Close" and "Door
// Connector") below "Scenery", and "T" and "Tour" (with "N3", "N4" and
// "Runner") in RoomA, at ids 3057 to 3059 and from 3060 on.
bool AddDoorAndTrigger(SampleOutput& out, const std::string& file);
