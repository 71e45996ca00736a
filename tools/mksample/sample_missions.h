// The game of the play folder: the title, the missions' globals and the two
// missions. The title's "Menu" makes start-up load no scene; its "New Game"
// reports level 0 completed to the game actor, which plays mission 1's film
// and loads "Globals1_XBox.qva" with "Mission_01_Release.qva". Each mission's
// exit reports the level completed: mission 1's offers the save menu and
// goes on to mission 2, mission 2's starts mission 1 again.
#pragma once

#include <cstdint>
#include <string>

class SampleOutput;

// Ids the front end's additions take in the play folder's files; in the
// missions' globals they lie above every id the missions' scenes take.
inline constexpr int32_t kFirstTitleActorId = 3220;
inline constexpr int32_t kMissionTimeId = 7100;
inline constexpr int32_t kMissionExitId = 3239;

// "Title.qva": actor 16 and the UI System "Menu", saved active, with its
// "Cursor", the focused window "MainMenu" ("New Game" under the cursor's
// start, "Load Game", "Exit" and a hidden static "Resume") and a Save Game
// in load mode, whose finished load closes the menu and whose "Back" leads
// to "MainMenu".
bool WriteTitle(SampleOutput& out);

// The missions' additions to the play globals being made: "MissionTime"
// below actor 16 (300 s counting down), "/Global/ScriptSoul/Amount", the
// pause menu's "Options" button and window with the remapping rows of
// actions 9-12, 15 and 16 (shown in the page's place), its "Save Game" and
// "Load Game" with a Save Game (a save goes back to the page, a load asks
// to quit the running game first and closes the menu), and the inactive UI
// System "Menu" with the window "SaveContinueMenu" ("Continue" closes the
// menu, "Save" opens the Save Game beside it in save mode, whose save and
// ways back lead to the offer again). `end` is the id after the last one
// made so far and grows to the id after the additions.
bool AddMissionFrontEnd(SampleOutput& out, const std::string& file, int32_t& end);

// "Mission_01_Release.qva" (the level of "Level1.qva" without its checks'
// drivers, with the exit 300 units ahead of "PlayerStart0" reporting level
// 1 completed) and "Mission_02_Release.qva" (one room on a "Floor2" floor,
// whose exit reports level 0 completed).
bool WriteMissions(SampleOutput& out);
