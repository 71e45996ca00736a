// The sample's props and spawn point: the prop files "crate.qva" and
// "barrel.qva" (one actor each), and in RoomA of the level a File actor
// "Props" that loads one of them (the barrel three times as often) and a
// Spawn Point "SP" that, on "Start Game", copies the template "Crate" (kept
// under the non-operational "Templates") to its marker "A", "B" or itself
// and renames the copy "Spawned".
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Writes game/Data/crate.qva and game/Data/barrel.qva.
bool WritePropFiles(SampleOutput& out);

// Makes "Props", "SP" with "A" and "B" in RoomA and "Templates" with "Crate"
// below "Scenery"; ids from `next` on.
bool AddPropsAndSpawnPoint(SampleOutput& out, const std::string& file, int32_t& next);
