#include "sample_missions.h"

#include <algorithm>
#include <string>
#include <utility>

#include "actors/characters/aim_target_actor.h"
#include "actors/presentation/animation_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/presentation/skin_object_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "actors/world/timer_actor.h"
#include "actors/world/trigger_actor.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "end_to_end_folder.h"
#include "game/save_game_actor.h"
#include "game/ui_button_actor.h"
#include "game/ui_map_input_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "library/resource_library.h"
#include "platform/input.h"
#include "sample_actors.h"
#include "sample_guidance.h"
#include "sample_menu.h"
#include "sample_mission1.h"
#include "sample_mission2.h"
#include "sample_output.h"
#include "sample_save.h"

namespace {

constexpr uint32_t kTextFontSlot = 80;
// The remapping rows and the two Save Games take ids of their own.
constexpr int32_t kFirstOptionRowId = 7200;
constexpr int32_t kFirstMenuSaveId = 7300;
constexpr int32_t kFirstPauseSaveId = 7400;
constexpr int32_t kFirstDeathMenuId = 7500;

// Where a remapping row's frame and binding text stand from the row.
constexpr float kRowFrameX = 130.0f;

// The script that opens the Save Game of the menu in save or load mode.
std::string OpenSaveGame(const std::string &menu, bool save) {
    const std::string self = "/Global/" + menu + "/SaveGame.";
    return self + (save ? "Save_Game_Set_State_Save(); " : "Save_Game_Set_State_Load(); ") + self +
           "Action_Start();";
}

// A saved game's way back to `window`: the window takes the focus before
// the slots close, so that closing them hands it to no other.
std::string BackAfterSave(const std::string &window) {
    return window + ".Action_Start(); " + window + "/Saved.Action_Start(); " +
           "SavedGameSlots.Action_Stop();";
}

// A button's Up script.
void OnUp(MenuMaker &maker, Actor *button, const std::string &source) {
    maker.Script(button, "up", cmd::ui_button::OnUIButtonUp, source);
}

// One remapping row with its children at the maker's next ids, its label
// set and its frame a dark bar about the binding's text.
void AddRemapRow(MenuMaker &maker, Actor *window, uint32_t action, const std::string &label,
                 float y) {
    Actor *row = maker.Make(kUiMapInputClassId, "Map_" + label, window, {300.0f, y, 0.0f});
    if (row == nullptr)
        return;
    SendCommandArgs(row, cmd::ui_map_input::SetUIMapinputMap, action);
    // "Create" made the children at run-time ids: the file keeps them in
    // the row's block.
    for (Actor *child : std::vector<Actor *>(row->children)) {
        if (!maker.Check(MoveSampleActorId(child, maker.TakeId()),
                         "cannot number a row's children")) {
            return;
        }
    }
    Actor *frame = FindChildByName(row, "Frame");
    Actor *name = FindChildByName(row, "Label");
    Actor *text = FindChildByName(row, "Text");
    if (!maker.Check(frame != nullptr && name != nullptr && text != nullptr,
                     "a row lacks its children")) {
        return;
    }
    SendCommandArgs(name, cmd::ui_text::SetUITextText, label + ":");
    for (Actor *shown : {name, text})
        SendCommandArgs(shown, cmd::ui_text::SetUITextFont, kTextFontSlot);
    // A frame wide enough for two key names, clear of the label.
    for (Actor *shifted : {frame, text}) {
        SendCommandArgs(shifted, cmd::base::SetPosition, Vector3{kRowFrameX, 0.0f, 0.0f});
    }
    MenuMaker::Bar(frame, 220.0f, 30.0f, {0.15f, 0.2f, 0.35f, 0.8f});
    // Under the pointer the frame lights up as a button does; waiting for
    // its key, the row says so in place of the binding.
    Actor *over = FindChildByName(row, "On_Input_Over");
    Actor *focus = FindChildByName(row, "On_Input_Focus");
    if (!maker.Check(over != nullptr && focus != nullptr, "a row lacks its highlights"))
        return;
    const Vector3 at = {kRowFrameX, 0.0f, 0.0f};
    MenuMaker::Bar(maker.Make(kUiSpriteClassId, "Rim", over, at), 226.0f, 36.0f,
                   {1.0f, 0.75f, 0.2f, 1.0f});
    MenuMaker::Bar(maker.Make(kUiSpriteClassId, "Face", over, at), 216.0f, 26.0f,
                   {0.22f, 0.33f, 0.62f, 1.0f});
    MenuMaker::Bar(maker.Make(kUiSpriteClassId, "Face", focus, at), 216.0f, 26.0f,
                   {0.55f, 0.38f, 0.08f, 1.0f});
    maker.Text("Ask", focus, at, "Press a key", 1);
    maker.Script(row, "asking", cmd::ui_map_input::OnUIMapInputGetFocus, "Text.Action_Stop();");
    maker.Script(row, "asked", cmd::ui_map_input::OnUIMapInputLoseFocus, "Text.Action_Start();");
}

// The pause menu's "Options" button and its window of remapping rows, which
// takes the page's place; "Back" brings the page back.
void AddOptions(SampleOutput &out, const std::string &file, MenuMaker &maker, int32_t &end) {
    Actor *menu = FindChildByName(GetActorById(kGlobalRootId), "PauseMenu");
    Actor *page = menu != nullptr ? FindChildByName(menu, "Page") : nullptr;
    if (!maker.Check(page != nullptr, "no pause menu for the options"))
        return;
    // The window shown takes the focus before the other closes.
    OnUp(maker,
         maker.Button("Options", page, {kMenuColumnX, 110.0f, 0.0f}, "Options", kMenuButtonWidth),
         "/Global/PauseMenu/Options.Action_Start(); /Global/PauseMenu/Page.Action_Stop();");
    Actor *options = maker.Make(kUiWindowClassId, "Options", menu);
    maker.Panel(options, {285.0f, 175.0f, 0.0f}, 550.0f, 330.0f);
    maker.Text("Title", options, {100.0f, 30.0f, 0.0f}, "Options", 1);
    // Where the click on "Options" left the cursor.
    OnUp(maker, maker.Button("Back", options, {100.0f, 110.0f, 0.0f}, "Back"),
         "/Global/PauseMenu/Page.Action_Start(); /Global/PauseMenu/Options.Action_Stop();");
    MenuMaker rows(out, file, kFirstOptionRowId);
    const std::pair<uint32_t, const char *> actions[] = {{9, "Forward"}, {10, "Back"}, {11, "Left"},
                                                         {12, "Right"},  {15, "Jump"}, {16, "Use"}};
    float y = 110.0f;
    for (const auto &[action, label] : actions) {
        AddRemapRow(rows, options, action, label, y);
        y += 40.0f;
        // Stored with the code -1, a row takes the action map's bindings
        // at each load, so the keys the player chose outlive every level
        // and saved-game load. A record keeps the map's pair as it is when
        // the file is written: the action holds -1 until then.
        BindAction(int(action), 0, 0);
        BindAction(int(action), InputCode(UIMapInputActor::kTakeMapBindings), 0);
    }
    end = std::max(end, rows.Next());
    maker.Check(rows.Ok(), "");
}

// The menu the game actor opens after a level with a save offer.
void AddSaveContinueMenu(SampleOutput &out, const std::string &file, MenuMaker &maker,
                         int32_t &end) {
    Actor *menu = maker.Menu("Menu");
    AddMenuBackdrop(menu, kOfferBackdropId);
    maker.Cursor(menu);
    Actor *offer = maker.Make(kUiWindowClassId, "SaveContinueMenu", menu);
    maker.Panel(offer, {kMenuColumnX, 75.0f, 0.0f}, kMenuPanelWidth, 140.0f);
    maker.Text("Title", offer, {kMenuColumnX, 30.0f, 0.0f}, "Level completed", 1);
    OnUp(maker,
         maker.Button("Continue", offer, {kMenuColumnX, 70.0f, 0.0f}, "Continue", kMenuButtonWidth),
         "/Global/Menu.UI_System_Deactivate();");
    OnUp(maker, maker.Button("Save", offer, {kMenuColumnX, 110.0f, 0.0f}, "Save", kMenuButtonWidth),
         OpenSaveGame("Menu", true));
    MenuMaker saves(out, file, kFirstMenuSaveId);
    // Saved, the offer comes back.
    saves.Script(AddSaveGameDialog(saves, menu, "/Global/Menu/SaveContinueMenu"), "saved",
                 cmd::save_game::OnPostSaveGame, BackAfterSave("/Global/Menu/SaveContinueMenu"));
    end = std::max(end, saves.Next());
    maker.Check(saves.Ok(), "");
}

// The pause menu's "Save Game" and "Load Game" and the Save Game they open:
// a save goes back to the page, a load closes the menu (the game actor then
// fades into the loaded mission).
void AddPauseSaving(SampleOutput &out, const std::string &file, int32_t &end) {
    MenuMaker maker(out, file, kFirstPauseSaveId);
    Actor *menu = FindChildByName(GetActorById(kGlobalRootId), "PauseMenu");
    Actor *page = menu != nullptr ? FindChildByName(menu, "Page") : nullptr;
    if (!maker.Check(page != nullptr, "no pause menu for saving"))
        return;
    OnUp(maker,
         maker.Button("Save Game", page, {kMenuColumnX, 150.0f, 0.0f}, "Save Game",
                      kMenuButtonWidth),
         OpenSaveGame("PauseMenu", true));
    OnUp(maker,
         maker.Button("Load Game", page, {kMenuColumnX, 190.0f, 0.0f}, "Load Game",
                      kMenuButtonWidth),
         OpenSaveGame("PauseMenu", false));
    // A game runs: a load asks "Quit the current game?" first.
    Actor *saver = AddSaveGameDialog(maker, menu, "/Global/PauseMenu/Page");
    maker.Script(saver, "saved", cmd::save_game::OnPostSaveGame,
                 BackAfterSave("/Global/PauseMenu/Page"));
    maker.Script(saver, "loaded", cmd::save_game::OnPostLoadGame,
                 "/Global/PauseMenu.UI_System_Deactivate();");
    end = std::max(end, maker.Next());
}

// The menu a dead hero's death opens: "Try Again" starts the mission
// again, "Load Game" shows the slots to load from (a game runs: the load
// asks "Quit the current game?" first) and their "Back" returns to it.
void AddDeathMenu(SampleOutput &out, const std::string &file, int32_t &end) {
    MenuMaker maker(out, file, kFirstDeathMenuId);
    Actor *menu = maker.Menu("DeathMenu");
    AddMenuBackdrop(menu, kDeathBackdropId);
    maker.Cursor(menu);
    Actor *died = maker.Make(kUiWindowClassId, "Died", menu);
    maker.Panel(died, {kMenuColumnX, 75.0f, 0.0f}, kMenuPanelWidth, 140.0f);
    maker.Text("Title", died, {kMenuColumnX, 30.0f, 0.0f}, "You died", 1);
    OnUp(
        maker,
        maker.Button("Try Again", died, {kMenuColumnX, 70.0f, 0.0f}, "Try Again", kMenuButtonWidth),
        "/Global/DeathMenu.UI_System_Deactivate(); /Scenery/MissionRestart.Action_Start();");
    OnUp(maker,
         maker.Button("Load Game", died, {kMenuColumnX, 110.0f, 0.0f}, "Load Game",
                      kMenuButtonWidth),
         OpenSaveGame("DeathMenu", false));
    Actor *saver = AddSaveGameDialog(maker, menu, "/Global/DeathMenu/Died");
    maker.Script(saver, "loaded", cmd::save_game::OnPostLoadGame,
                 "/Global/DeathMenu.UI_System_Deactivate();");
    maker.Script(menu, "open", cmd::ui_system::UISystemActivate,
                 "/Global/DeathMenu/Died.Action_Start();");
    end = std::max(end, maker.Next());
}

} // namespace

bool WriteTitle(SampleOutput &out) {
    const std::string file = "game/Data/Title.qva";
    if (!ResetSampleWorld())
        return out.Fail(file, "cannot make the actor world");
    if (!AddInventory(out, file))
        return false;
    MenuMaker maker(out, file, kFirstTitleActorId);
    Actor *menu = maker.Menu("Menu");
    // Its "Precalculate" at start-up activates it.
    SendCommandArgs(menu, cmd::ui_system::SetUiSystemActive, 1u);
    // The same ground whatever the scene behind it (the id below the
    // menu's puts it under the rest).
    AddMenuBackdrop(menu, kFirstTitleActorId - 1);
    maker.Cursor(menu);
    Actor *main = maker.Make(kUiWindowClassId, "MainMenu", menu);
    maker.Panel(main, {kMenuColumnX, 110.0f, 0.0f}, kMenuPanelWidth, 140.0f);
    maker.Text("Title", main, {400.0f, 30.0f, 0.0f}, "Sample", 1);
    // The menu closes first and the mission starts in the next (normal)
    // frame: the frame that plays the film draws no title after it, and the
    // level loads in a normal frame, whose game actor covers it in black.
    OnUp(maker,
         maker.Button("New Game", main, {kMenuColumnX, 70.0f, 0.0f}, "New Game", kMenuButtonWidth),
         "/Global/Menu.UI_System_Deactivate(); "
         "/Global/Inventory.TimerCommand(0, Level_Completed(0));");
    OnUp(maker,
         maker.Button("Load Game", main, {kMenuColumnX, 110.0f, 0.0f}, "Load Game",
                      kMenuButtonWidth),
         OpenSaveGame("Menu", false));
    OnUp(maker, maker.Button("Exit", main, {kMenuColumnX, 150.0f, 0.0f}, "Exit", kMenuButtonWidth),
         "sys.Exit_Engine();");
    // No game runs yet: a load asks nothing.
    SendCommandArgs(maker.Make(kUiButtonClassId, "Resume", main), cmd::ui_button::SetUIButtonStatic,
                    1u);
    Actor *saver = AddSaveGameDialog(maker, menu, "/Global/Menu/MainMenu");
    maker.Script(menu, "open", cmd::ui_system::UISystemActivate,
                 "/Global/Menu/MainMenu.Action_Start();");
    maker.Script(saver, "loaded", cmd::save_game::OnPostLoadGame,
                 "/Global/Menu.UI_System_Deactivate();");
    return maker.Ok() &&
           WriteActorFile(out, file, kInventoryActorId, static_cast<uint32_t>(maker.Next()));
}

bool AddMissionFrontEnd(SampleOutput &out, const std::string &file, int32_t &end) {
    MenuMaker maker(out, file, kMissionTimeId);
    Actor *inventory = GetActorById(kInventoryActorId);
    Actor *clock = maker.Make(kTimerClassId, "MissionTime", inventory);
    if (clock != nullptr) {
        SendCommandArgs(clock, cmd::timer::SetTimerType, kTimerForwardOnce);
        SendCommandArgs(clock, cmd::base::SetTotalTime, 300.0f);
        SendCommandArgs(clock, cmd::timer::SetTimerStartTime, 300.0f);
        SendCommandArgs(clock, cmd::timer::SetTimerMultiplier, -1.0f);
        SendCommandArgs(clock, cmd::timer::SetTimerStartActive, 1u);
    }
    // The soul gauge's fill: a still clock at 60 % of a motion.
    Actor *soul = maker.Make(0, "ScriptSoul", nullptr);
    Actor *amount = maker.Make(kAnimationClassId, "Amount", soul);
    if (amount != nullptr) {
        SendCommandArgs(amount, cmd::base::X_260, false);
        SendCommandArgs(amount, cmd::skin_object::SetMotion, std::string("N_Neutral"));
        SendCommandArgs(amount, cmd::base::SetCurrentNormalizedTime, 0.6f);
    }
    AddOptions(out, file, maker, end);
    AddSaveContinueMenu(out, file, maker, end);
    AddPauseSaving(out, file, end);
    AddDeathMenu(out, file, end);
    end = std::max(end, maker.Next());
    return maker.Ok() && out.Error().empty();
}

bool WriteMissions(SampleOutput &out) {
    return WriteMission1(out) && WriteMission2(out) && WriteGameEnd(out);
}
