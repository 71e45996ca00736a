#include "sample_save.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "game/save_game_actor.h"
#include "game/ui_button_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "sample_actors.h"
#include "sample_menu.h"
#include "sample_output.h"

namespace {

constexpr int32_t kInventoryId = 16;
constexpr uint32_t kBlockStartFromParent = 1;

}  // namespace

namespace {

// The slot list stands at the right, the dialogs below the middle and the
// device window where the slots were, so that no text lies over another:
// texts are drawn after every picture. The dialogs stand below the menus'
// columns of buttons (the pause page's ends with "Quit", at 250) and their
// notes ("Saved", at 295), left of the slots and above the objective at
// the foot of the pause page: the slots stay in view with a dialog, and a
// panel over another window's button would hide its face but not its label.
constexpr float kSlotsX = 600.0f;
constexpr float kDialogX = 340.0f;
constexpr float kDialogY = 400.0f;
const Vector4 kSlotLightColor = {1.0f, 0.75f, 0.2f, 1.0f};

// A window shown by the Save Game alone, not started with it.
Actor* ShownAlone(MenuMaker& maker, uint32_t classId, const char* name, Actor* parent,
                  const Vector3& at = {0.0f, 0.0f, 0.0f}) {
    Actor* actor = maker.Make(classId, name, parent, at);
    if (actor != nullptr) actor->actionFlags |= kBlockStartFromParent;
    return actor;
}

// A dialog in the middle with its panel and its message "Text", above its
// buttons when it has any.
Actor* Dialog(MenuMaker& maker, Actor* saver, const char* name, bool buttons = true) {
    Actor* dialog = ShownAlone(maker, kUiWindowClassId, name, saver);
    maker.Panel(dialog, {kDialogX, kDialogY, 0.0f}, 280.0f, 130.0f);
    maker.Text("Text", dialog, {kDialogX, kDialogY - (buttons ? 25.0f : 0.0f), 0.0f}, "", 1);
    return dialog;
}

}  // namespace

Actor* AddSaveGameDialog(MenuMaker& maker, Actor* parent, const std::string& home) {
    Actor* saver = maker.Make(kSaveGameClassId, "SaveGame", parent);
    // The window the ways back lead to takes the focus first: a window
    // stopped while it holds the focus hands it to the one before it,
    // which may be a dialog already closed.
    const std::string back =
        (home.empty() ? "" : home + ".Action_Start(); ") + "parent/parent.Save_Game_Back();";
    Actor* slots = maker.Make(kUiWindowClassId, "SavedGameSlots", saver);
    maker.Panel(slots, {kSlotsX, 260.0f, 0.0f}, 230.0f, 500.0f);
    maker.Text("Info", slots, {kSlotsX, 40.0f, 0.0f}, "", 1);
    // A column of slots; the Save Game gives each picture its material, an
    // empty slot's or one of the mission saved in it.
    for (int n = 1; n <= 6; ++n) {
        Actor* slot = maker.Make(kUiButtonClassId, "SaveSlot_0" + std::to_string(n), slots,
                                 {kSlotsX, 100.0f + 60.0f * float(n - 1), 0.0f});
        MenuMaker::Bar(maker.Make(kUiSpriteClassId, "On_Input_Over", slot), 204.0f, 56.0f,
                       kSlotLightColor);
        Actor* image = maker.Make(kUiSpriteClassId, "Img", slot);
        MenuMaker::Bar(image, 192.0f, 48.0f, {1.0f, 1.0f, 1.0f, 1.0f});
        Actor* number = maker.Text("Number", image, {-84.0f, 0.0f, 0.0f}, std::to_string(n), 0);
        SendCommandArgs(number, cmd::ui_text::SetUITextAlignY, 1u);
        // Where the picture's words stand: the words of a mission that has
        // no picture. (A text right below the slot would give the button
        // its rectangle.)
        maker.Text("Text", image, {16.0f, 0.0f, 0.0f}, "", 1);
        // A click chooses the slot: the Save Game saves or loads it.
        maker.Script(slot, "up", cmd::ui_button::OnUIButtonUp,
                     "parent/parent.Save_Game_Select_Game_List_Item(" + std::to_string(n) + ");");
    }
    // The slot list's ways back: "Back" in load mode, "Continue" in save
    // mode, each shown by the Save Game in its mode; both read "Back".
    for (const char* name : {"Back", "Continue"}) {
        Actor* button = maker.Button(name, slots, {kSlotsX, 470.0f, 0.0f}, "Back");
        if (button != nullptr) button->actionFlags |= kBlockStartFromParent;
        maker.Script(button, "up", cmd::ui_button::OnUIButtonUp, back);
    }
    // The messages: the one shown while saving or loading asks nothing.
    Dialog(maker, saver, "InfoDialog", false);
    Actor* ok = Dialog(maker, saver, "InfoOkDialog");
    maker.Script(maker.Button("OK", ok, {kDialogX, kDialogY + 30.0f, 0.0f}, "OK", 110.0f), "up",
                 cmd::ui_button::OnUIButtonUp, "parent.Action_Stop();");
    Actor* question = Dialog(maker, saver, "YesNoDialog");
    // Yes goes on with the save or the load; No goes back to the slots.
    maker.Script(
        maker.Button("Yes", question, {kDialogX - 70.0f, kDialogY + 30.0f, 0.0f}, "Yes", 110.0f),
        "up", cmd::ui_button::OnUIButtonUp,
        "parent/parent.Save_Game_Yes_No_Respons(1); parent.Action_Stop();");
    maker.Script(
        maker.Button("No", question, {kDialogX + 70.0f, kDialogY + 30.0f, 0.0f}, "No", 110.0f),
        "up", cmd::ui_button::OnUIButtonUp,
        "parent/parent.Save_Game_Yes_No_Respons(0); "
        "parent/parent/SavedGameSlots.Action_Start(); parent.Action_Stop();");
    // The device window, shown after a device failure, leads back as the
    // slot list does.
    Actor* device = ShownAlone(maker, kUiWindowClassId, "Device", saver);
    maker.Panel(device, {kSlotsX, 250.0f, 0.0f}, 230.0f, 130.0f);
    maker.Text("Title", device, {kSlotsX, 215.0f, 0.0f}, "Saved games", 1);
    maker.Script(maker.Button("Back", device, {kSlotsX, 270.0f, 0.0f}, "Back"), "up",
                 cmd::ui_button::OnUIButtonUp, back);
    return saver;
}

bool WriteSaveCheck(SampleOutput& out) {
    const std::string file = "game/Data/SaveRun.qva";
    std::error_code ec;
    std::filesystem::create_directories(out.Root() + "/game/SaveGames", ec);
    if (ec) return out.Fail("game/SaveGames", ec.message());
    if (!ResetSampleWorld()) return out.Fail(file, "cannot make the actor world");
    if (!AddInventory(out, file)) return false;
    MenuMaker maker(out, file, kFirstSaveCheckActorId);
    Actor* menu = maker.Make(kUiSystemClassId, "SaveMenu", nullptr);
    SendCommandArgs(menu, cmd::ui_system::SetUISystemRefWidth, 800.0f);
    SendCommandArgs(menu, cmd::ui_system::SetUISystemRefHeight, 600.0f);
    Actor* resume = maker.Make(kUiButtonClassId, "Resume", menu);
    SendCommandArgs(resume, cmd::ui_button::SetUIButtonStatic, 1u);
    Actor* saver = AddSaveGameDialog(maker, menu, "");
    const std::string self = "/Global/SaveMenu/SaveGame.";
    maker.Script(menu, "boot", cmd::base::StartGame,
                 "this.TimerCommand(1.0, UI_System_Activate());");
    maker.Script(menu, "load", cmd::ui_system::UISystemActivate,
                 self + "Save_Game_Set_State_Load(); " + self + "Action_Start(); " + self +
                     "Save_Game_Select_Game_List_Item(2);");
    maker.Script(saver, "save", cmd::save_game::OnPostLoadGame,
                 "this.Save_Game_Set_State_Save(); "
                 "this.Save_Game_Select_Game_List_Item(3);");
    maker.Script(saver, "done", cmd::save_game::OnPostSaveGame, "sys.Exit_Engine();");
    // The scene is the title's empty room; the slots hold real missions.
    return maker.Ok() && WriteActorFile(out, file, kInventoryId, uint32_t(maker.Next())) &&
           out.WriteText("e2e/save/init.txt",
                         CrLfLines({"../../game", "TitleStage.qva", "SaveRun.qva", "SaveRun"}));
}
