// The folder of the save screen's end-to-end check, "e2e/save".
#pragma once

#include <string>

class Actor;
class MenuMaker;
class SampleOutput;

// Below the parent: the Save Game "SaveGame" with the slot window
// "SavedGameSlots" (its "Info" title, six slots "SaveSlot_01".."_06" in a
// column at the right, each with its highlight, its image "Img" and its
// number, and its "Text" for a mission without a picture; and the ways back "Back" and "Continue", which the Save Game
// shows by its mode); the dialogs "InfoDialog", "InfoOkDialog" (with "OK")
// and "YesNoDialog" (with "Yes" and "No"), each with its centred "Text"; and
// the device window "Device" with "Back". The dialogs and the device window
// are not started with the Save Game. The ways back start the window of the
// path `home` (none when empty) and send "Save Game Back". Null after a
// failure, which the maker keeps.
Actor* AddSaveGameDialog(MenuMaker& maker, Actor* parent, const std::string& home);

// Ids of the check's globals, from the first on.
inline constexpr int kFirstSaveCheckActorId = 3160;

// The empty save folder "game/SaveGames/"; the globals "SaveRun.qva" (actor
// 16 and the menu "SaveMenu": a static "Resume" and a Save Game with the slot
// window "SavedGameSlots" of six slots "SaveSlot_01".."_06" each with its
// image "Img", the dialogs "InfoDialog", "InfoOkDialog", "YesNoDialog" each
// with its "Text", and the device window "Device" with "Back"); and
// "e2e/save/init.txt" (the scene: the title's empty "TitleStage.qva"). A
// second into the game the menu is activated; it
// loads slot 2 in load mode, and once that load is over ("On Post Load
// Game") it switches to save mode and saves into slot 3; "On Post Save Game"
// ends the engine.
bool WriteSaveCheck(SampleOutput& out);
