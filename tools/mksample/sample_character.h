// The sample's player character and the folder of its end-to-end check:
// the globals' "PlayerCharacter", which "Start Game" copies into the level
// as "GA1_Player", the level's start marker and aim target, and the folder
// e2e/character, whose "Driver" captures the screen, saves and exits 3.5 s
// after the game starts.
#pragma once

#include <cstdint>
#include <string>

class Actor;
class SampleOutput;
class SkinObjectActor;

// The SkinObject "Skin" below the owner at `next`, on the worm's bones with
// the motions of the postures; with a material name, in that material
// instead of the mesh's. Null when it cannot be made (the output is told
// only of a missing library).
SkinObjectActor* AddWormSkin(SampleOutput& out, const std::string& file, Actor* owner,
                             int32_t& next, const char* material);

// Below "Global", at ids from `next` on: the Character "PlayerCharacter"
// (ThirdPerson, health 100, no gamma added, not operational) with the
// SkinObject "Skin" on the hero's body, the item holders "Items", "LeftHand"
// and "RightHand", a "Chest" sphere, an inactive event sphere "Action" and
// the follow camera's rig.
bool AddPlayerCharacter(SampleOutput& out, const std::string& file, int32_t& next);


// In RoomA at ids from `next` on: the player start "PlayerStart0" 30 above
// the floor at (-300, -300) and the Aim Target "AimSpot".
bool AddPlayerStart(SampleOutput& out, const std::string& file, int32_t& next);

// The class-0 "Driver" below "Global" at the id: 3.5 s after "Start Game"
// it captures 800 x 600 into "character.tga", saves "character.sav"
// and ends the engine.
bool AddCharacterDriver(SampleOutput& out, const std::string& file, int32_t id);
