// The AI of the sample: a "Lookout" character driven by an AI Player 2 that
// fights the characters of group 1 and takes shelter behind AI Helper
// markers, placed in Level1's RoomB; and the folder of its end-to-end check,
// e2e/ai2, whose own scene sets it against an "Intruder". Beside it the
// AI Player's check, e2e/ai1, where a follower keeps up with a "Leader".
#pragma once

#include <cstdint>
#include <string>

#include "base/math.h"

class Actor;
class CharacterActor;
class SampleOutput;

// A character of the group with the health and a "Chest" sphere 40 above its
// feet (its center point); its skin is the worm's (to walk by its motions)
// when `out` is given, else a skin of no mesh. Two ids from `next` on.
CharacterActor* SampleBody(const std::string& name, Actor* parent, int32_t& next, const Vector3& at,
                           uint32_t group, float health, SampleOutput* out = nullptr);

// Dresses a character in the hero's body: its "Skin" is made anew below it,
// at the id of the one it replaces, on the mesh item `mesh` with every
// motion of the hero, in the material `material` when one is given (else
// the mesh's own).
bool DressInFigure(SampleOutput &out, const std::string &file, Actor *body, const char *mesh,
                   const char *material = nullptr);

// In RoomB at ids 3140 to 3149, behind the plane of "GA29_Cam": the
// Lookout (group 2) with its "Skin", its brain "Brain" (fight group 1, ray
// masks: group all, receive 0x10000, exclude 0) and the event spheres
// "Vision" and "Hearing", a floor box below it, and two shelters behind
// box pillars. `end` is raised to the end of the block.
bool AddLookout(SampleOutput& out, const std::string& file, int32_t& end);

// In RoomA at ids 3240 to 3249, behind the plane of "GA29_Cam": the
// "Companion" (group 2) with its "Skin" of the worm's motions and its AI
// Player "Brain" (start follow 0: on the "Action" of a character of follow
// group 1, the player's; fight group 0, so it never fights the player), on
// a floor box of its own. `end` is raised to the end of the block.
bool AddCompanion(SampleOutput& out, const std::string& file, int32_t& end);

// Mission 2's AI below `room` at ids from `next` on: the Lookout as above
// at `lookoutAt` with the shelters "ShelterH1" and "ShelterH2" 260 units
// behind it (along +z), and the Companion as above at `companionAt`. Both
// wear the hero's body: the Lookout in the guards' uniform, the Companion
// in metal.
bool AddHallAI(SampleOutput& out, const std::string& file, Actor* room, int32_t& next,
               const Vector3& lookoutAt, const Vector3& companionAt);

// "game/Data/AI2.qva" (the arena: the Lookout faces an "Intruder" of group
// 1 with health 50 across a floor; one shelter lies behind a box pillar as
// seen from the Intruder, one in the open; the probes "GA40_FightProbe",
// "GA41_GoShelterProbe" and "GA42_ShelterProbe" move to (1, 0, 0) when the
// brain raises "On AI Player2 Start Fight", "... Start Goto Shelter" and
// "... Start Shelter"), "game/Data/AI2Globals.qva" (the root "Environment"
// and the "Driver", which saves "ai2.sav" and ends the engine 10 s into the
// game) and "e2e/ai2/init.txt".
bool WriteAICheck(SampleOutput& out);

// "game/Data/AI1.qva" (the "Follower" of group 2, with a "Vision" event
// sphere of radius 800 and an AI Player "Brain" that follows on sight
// (start follow 2, fight group 0), 400 units from the "Leader" of group 1,
// which a script of its own moves 200 units along x each second for 5 s;
// the probes "GA40_StartFollowProbe" and "GA41_IdleToFollowProbe" move to
// (1, 0, 0) on "On AI Player Start Follow" and "On AI Player Idle To
// Follow"), "game/Data/AI1Globals.qva" (the game actor 16, "Environment"
// and the "Driver", which saves "ai1.sav" and ends the engine 8 s into the
// game) and "e2e/ai1/init.txt".
bool WriteAIPlayerCheck(SampleOutput& out);
