// The door of the sample level and the trigger that opens it: the Door
// "GA5_Door" stands in the doorway between RoomA and RoomC, where its
// Door-type connector joins the two rooms; the Trigger "T" in RoomA opens it
// when the Base "Runner", which walks towards the door from "Start Game" on,
// steps into its sphere.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// The first id after the door's and the trigger's actors.
inline constexpr int32_t kSampleDoorIdEnd = 3069;

// Makes "GA5_Door" (with "Door_Frame", "Door_1", "Open", "Close" and "Door
// Connector") below "Scenery", and "T" and "Runner" in RoomA, at ids from
// 3060 on.
bool AddDoorAndTrigger(SampleOutput& out, const std::string& file);
