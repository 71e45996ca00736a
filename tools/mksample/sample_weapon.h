// The folder of the weapon's end-to-end check, e2e/weapons: a shooter fires
// its pistol seven times at a box, saves and exits.
#pragma once

#include <cstdint>
#include <string>

#include "base/math.h"

class Actor;
class GameObjectActor;
class SampleOutput;

// A Game Object of the type under the parent, without the children the type
// change makes; nullptr if it cannot be made.
GameObjectActor* MakeSampleItem(Actor* parent, const char* name, int32_t id, uint32_t type);

// A gun under the holder in the item state: its phases "Loaded", "Fire" and
// "ClipUnload", "ShellExitPos" 20 behind the muzzle "FlashPos" (at
// `muzzleAt`, facing -z) and its loaded "Ammo" of the ammunition group (with
// "Impact" and "Shell", whose copies live `copyLife` seconds); ids from next
// on (nine). nullptr if it cannot be made.
GameObjectActor *AddGun(Actor *holder, const char *name, int32_t &next, uint32_t state,
                        uint32_t ammoGroup, const Vector3 &muzzleAt, float copyLife);

// The player's pistol "Pistol" in hand under the holder: a gun of group 1
// with its looks (AddWeaponLooks). nullptr if it cannot be made.
GameObjectActor* AddPistol(Actor* hand, int32_t& next);

// "game/Data/WeaponRun.qva" (the root "Environment"), "game/Data/WeaponRoom.qva"
// (a Draw Group room with a floor, the type-0 Character "Shooter" holding
// "Pistol" in "RightHand", and the box "Target" 300 along -z) and
// "e2e/weapons/init.txt". "Pistol" starts firing one second after "Start
// Game", once a second, seven times, then saves "weapon.sav" and exits.
// The power-up "PowerUp" and the key "Key" lying in RoomA of "Level1.qva",
// out of "GA29_Cam"'s view, at ids from 3190; end is past the last.
bool AddLevelItems(SampleOutput& out, const std::string& file, int32_t& end);

bool WriteWeaponCheck(SampleOutput& out);
