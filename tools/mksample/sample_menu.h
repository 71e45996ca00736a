// The game actor and the menus of the sample: actor 16 "Inventory" for the
// globals files from "Play.qva" on, the pause menu of the play folder, and
// the folder of the menu's end-to-end check.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Ids of the menu actors, in the globals files that hold them.
inline constexpr int32_t kFirstMenuActorId = 3120;

// Actor 16 "Inventory" below "Global".
bool AddInventory(SampleOutput& out, const std::string& file);

// Below "Global" from kFirstMenuActorId on: the UI System "PauseMenu" (not
// active) with its "Cursor" sprite and the window "Page" holding the title,
// "Resume" (its Up deactivates the menu) and "Quit" (its Up ends the engine),
// which lies under the cursor's start (100, 70); and actor 16's child "Esc",
// whose "Action Start Pre" activates the menu, which starts "Page". `end`
// gets the id after the last one made.
bool AddPauseMenu(SampleOutput& out, const std::string& file, int32_t& end);

// The folder "e2e/menu" (game folder "../../game") with the globals
// "MenuRun.qva" and the empty scene "MenuStage.qva": one second after "Start
// Game" the menu "MenuCheck" is activated and starts "Page"; "Resume", under
// the cursor, shows its highlight, sets the text "Status" and starts the
// window "Dialog" when the pointer comes over it; the next frame "Dialog"'s
// "Ok", under the cursor too, starts the window "Final", and the frame after
// that "Final"'s "Shot" captures the screen into "menu.tga" and ends the
// engine.
bool WriteMenuCheck(SampleOutput& out);
