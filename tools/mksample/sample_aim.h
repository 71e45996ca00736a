// The AutoAim and the Game Containers of the sample: in Level1's RoomA the
// "Watcher", whose head turns after a character that comes near, a cupboard
// and a trap wire; and the folder of their end-to-end check, e2e/aim.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// In RoomA, behind the plane of "GA29_Cam", at ids 3250 to 3263: the type-0
// AutoAim "Watcher" ("Linear", turn speed 2.0) with a 600-unit event sphere
// that only characters touch; it turns its Mesh Object "Head" ("sphere")
// and, when it settles on a character, plays "beep" on its Sound "Beep". The
// cupboard Game Container "Cupboard" (search time 1.0) holds the power-up
// "CupboardPowerUp"; "TrapWire" is a trap-wire Game Container. `end` is
// raised past the last id.
bool AddLevelAim(SampleOutput& out, const std::string& file, int32_t& end);

// "game/Data/AimGlobals.qva" (the "Driver", which saves "aim.sav" 4 s into
// the game and ends the engine, the root "Environment" and actor 16),
// "game/Data/Aim.qva" and "e2e/aim/init.txt". The scene: one room with a
// floor and the active camera "Cam"; the "No Smooth" type-0 AutoAim "Aim"
// turning its class-0 "Head", with the Character "Target" 300 units aside in
// its sphere; and, away from it, the Collision-triggered Game Container
// "Crate" holding the power-up "PowerUp", deleted after activation, with the
// master Character "Runner" standing inside its event box.
bool WriteAimCheck(SampleOutput& out);
