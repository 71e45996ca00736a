// The sample's guards: the template character that guards copy, kept below
// "/Global/Definition"; the patrolling guard of the level; and the folder
// of the guard's end-to-end check, e2e/guard, whose guard walks to its
// first node, pauses there, saves "guard.sav" and ends the engine.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Ids of the template, the same in every globals file that holds it:
// "Definition" and "GuardTemplate" with its "Skin".
inline constexpr int32_t kGuardDefinitionId = 130;
inline constexpr int32_t kGuardTemplateId = 131;
inline constexpr int32_t kGuardIdsEnd = 133;

// Below "Global": "Definition" with the Character "GuardTemplate" (not
// operational), on the hero's body in the guards' colours, with the event
// spheres "Vision" (600) and "Hearing" (300).
bool AddGuardTemplate(SampleOutput& out, const std::string& file);

// In RoomA of the level at ids from `next` on: the Path Guard "Guard"
// behind the camera with its nodes "PatrolA" and "PatrolB"; in RoomB the
// Spawn Point "DungeonSpawn".
bool AddLevelGuard(SampleOutput& out, const std::string& file, int32_t& next);

// game/Data/GuardRun.qva (actor 16 and the template), game/Data/GuardRoom.qva
// (a room with a box floor, the guard, "A" 300 ahead with 1.0 s node time
// and "B" under it, and the sample camera; the guard's script on "On Guard
// Start Pause In Patrol" saves and exits) and e2e/guard/init.txt.
bool WriteGuardCheck(SampleOutput& out);
