// The folder of the weapon's end-to-end check, e2e/weapons: a shooter fires
// its pistol seven times at a box, saves and exits.
#pragma once

class SampleOutput;

// "game/Data/WeaponRun.qva" (the root "Environment"), "game/Data/WeaponRoom.qva"
// (a Draw Group room with a floor, the type-0 Character "Shooter" holding
// "Pistol" in "RightHand", and the box "Target" 300 along -z) and
// "e2e/weapons/init.txt". "Pistol" starts firing one second after "Start
// Game", once a second, seven times, then saves "weapon.sav" and exits.
bool WriteWeaponCheck(SampleOutput& out);
