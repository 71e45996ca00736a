// The smallest game folder the engine runs from start to end: it boots,
// moves one actor, saves the game into "game/demo.sav" and exits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SampleOutput;

// Writes, in this order: "init.txt" (base "game", scene "Level1.qva", the
// default globals file, title "Demo"), "game/DAZedirad.qvf" (the given
// library file) and "game/Data/text.txt".
bool WriteEndToEndFolder(SampleOutput& out, const std::vector<uint8_t>& library);

// Then, once the library is read into the actor world: "game/Data/Globals.qva"
// (actor 10 "Mover" with the scripts "boot" on "Start Game" and "done" on
// "Action Start Post", which shows the film texture, captures the screen into
// "shot.tga", saves "demo.sav" and exits; the root "Environment" with its fog)
// and "game/Data/Level1.qva" (actors under "Scenery", one with a collision
// object and a saved timer command due after 5 s; three rooms with portals,
// floors and crates).
bool WriteEndToEndActors(SampleOutput& out);

// Makes the actors of "Level1.qva" in a bare world (the first id is 3000);
// `end` gets the id after the last one.
bool MakeLevelWorld(SampleOutput& out, const std::string& file, int32_t& end);

// The folder of the level's run, "e2e/level/" (the game folder "../../game"):
// the globals "game/Data/LevelRun.qva" hold the root "Environment" and the
// Timer "Shots", which captures "closed.tga" at 2.0 s and "open.tga" at
// 6.5 s, saves "level.sav" at 9.5 s and exits.
bool WriteLevelCheck(SampleOutput& out);
