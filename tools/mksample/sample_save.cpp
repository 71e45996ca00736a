#include "sample_save.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/base_command_ids.h"
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

Actor* AddSaveGameDialog(MenuMaker& maker, Actor* parent) {
    Actor* saver = maker.Make(kSaveGameClassId, "SaveGame", parent);
    Actor* slots = maker.Make(kUiWindowClassId, "SavedGameSlots", saver);
    // A column of slots at the right; the Save Game gives each image its
    // material.
    for (int n = 1; n <= 6; ++n) {
        Actor* slot = maker.Make(kUiButtonClassId, "SaveSlot_0" + std::to_string(n), slots,
                                 {600.0f, 100.0f + 70.0f * float(n - 1), 0.0f});
        MenuMaker::Bar(maker.Make(kUiSpriteClassId, "Img", slot), 160.0f, 60.0f,
                       {1.0f, 1.0f, 1.0f, 1.0f});
        // A click chooses the slot: the Save Game saves or loads it.
        maker.Script(slot, "up", kCmdOnUiButtonUp,
                     "parent/parent.Save_Game_Select_Game_List_Item(" + std::to_string(n) + ");");
    }
    // The dialogs and the device window are shown by the Save Game alone,
    // not started with it.
    for (const char* name : {"InfoDialog", "InfoOkDialog", "YesNoDialog"}) {
        Actor* dialog = maker.Make(kUiWindowClassId, name, saver);
        if (dialog != nullptr) dialog->actionFlags |= kBlockStartFromParent;
        maker.Text("Text", dialog, {400.0f, 300.0f, 0.0f}, "", 1);
    }
    Actor* device = maker.Make(kUiWindowClassId, "Device", saver);
    if (device != nullptr) device->actionFlags |= kBlockStartFromParent;
    maker.Button("Back", device, {100.0f, 70.0f, 0.0f}, "Back");
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
    SendCommandArgs(menu, kCmdSetUiSystemRefWidth, 800.0f);
    SendCommandArgs(menu, kCmdSetUiSystemRefHeight, 600.0f);
    Actor* resume = maker.Make(kUiButtonClassId, "Resume", menu);
    SendCommandArgs(resume, kCmdSetUiButtonStatic, 1u);
    Actor* saver = AddSaveGameDialog(maker, menu);
    const std::string self = "/Global/SaveMenu/SaveGame.";
    maker.Script(menu, "boot", kCmdStartGame, "this.TimerCommand(1.0, UI_System_Activate());");
    maker.Script(menu, "load", kCmdUiSystemActivate,
                 self + "Save_Game_Set_State_Load(); " + self + "Action_Start(); " + self +
                     "Save_Game_Select_Game_List_Item(2);");
    maker.Script(saver, "save", kCmdOnPostLoadGame,
                 "this.Save_Game_Set_State_Save(); "
                 "this.Save_Game_Select_Game_List_Item(3);");
    maker.Script(saver, "done", kCmdOnPostSaveGame, "sys.Exit_Engine();");
    if (!maker.Ok() || !WriteActorFile(out, file, kInventoryId, uint32_t(maker.Next()))) {
        return false;
    }
    // The scene holds no actor: what matters is that mission 4's file is there.
    const std::string scene = "game/Data/Mission_04_Release.qva";
    return ResetSampleWorld() &&
           WriteActorFile(out, scene, uint32_t(kFirstSaveCheckActorId), uint32_t(maker.Next())) &&
           out.WriteText("e2e/save/init.txt", CrLfLines({"../../game", "Mission_04_Release.qva",
                                                          "SaveRun.qva", "SaveRun"}));
}
