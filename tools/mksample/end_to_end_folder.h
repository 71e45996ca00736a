// The smallest game folder the engine runs from start to end: it boots,
// moves one actor, saves the game into "game/demo.sav" and exits.
#pragma once

#include <cstdint>
#include <vector>

class SampleOutput;

// Writes, in this order: "init.txt" (base "game", scene "Level1.qva", the
// default globals file, title "Demo"), "game/DAZedirad.qvf" (the given
// library file), "game/Data/text.txt", "game/Data/Globals.qva" (actor 10
// "Mover" with the scripts "boot" on "Start Game" and "done" on "Action
// Start Post", which shows the film texture, captures the screen into
// "shot.tga", saves "demo.sav" and exits) and "game/Data/Level1.qva"
// (actors under "Scenery", one with a collision object and a saved timer
// command due after 5 s).
bool WriteEndToEndFolder(SampleOutput& out, const std::vector<uint8_t>& library);
