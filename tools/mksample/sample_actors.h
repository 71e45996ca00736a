// Actor files for the sample folders, made in the engine's own actor world
// and written by the engine's own actor-file writer.
#pragma once

#include <cstdint>
#include <string>

class Actor;
struct Vector3;
class SampleOutput;

// Makes the actor world on first use and empties its roots ("Global",
// "Scenery", "Clipboard"), so that each file starts from a bare world.
// False when the world cannot be made.
bool ResetSampleWorld();

// A class-`classId` actor named `name` at `id` under the root `rootId`
// (1 "Global", 2 "Scenery"); null when the class factory refuses it.
Actor* MakeSampleActor(int32_t classId, const std::string& name, int32_t rootId, int32_t id);

// Moves the actor to the free id (its children follow it as their parent's
// id); false when the id is taken or outside the table.
bool MoveSampleActorId(Actor* actor, int32_t id);

// Adds a script bound to the event command `eventId` (0: none) after
// compiling it with the actor as its owner; false with the compiler's
// message and position in `error`.
bool AddSampleScript(Actor* actor, const std::string& name, uint32_t eventId,
                     const std::string& source, std::string* error);

// A solid box collision object of the actor between the corners.
void AddSolidBox(Actor* actor, const char* name, const Vector3& min, const Vector3& max);

// A Draw Group "Room" under "Scenery" at `next`, from (-1000, -100, -1000)
// to (1000, 500, 1000), with the class-0 "Floor" at the next id: a solid box
// 20 deep, 900 each way from the middle. Null when they cannot be made.
Actor* MakeFloorRoom(int32_t& next);

// Writes the saved actors of ids [first, end) as the actor file `relPath`.
bool WriteActorFile(SampleOutput& out, const std::string& relPath, uint32_t first, uint32_t end);
