#include "sample_menu.h"

#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "game/inventory_actor.h"
#include "game/ui_button_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "sample_actors.h"
#include "sample_guidance.h"
#include "sample_output.h"

namespace {

constexpr int32_t kGlobalRoot = 1;
constexpr uint32_t kTextFontSlot = 80;
constexpr uint32_t kSheetFontSlot = 81;
constexpr float kButtonHeight = 34.0f;
const Vector4 kHighlightColor = {1.0f, 0.75f, 0.2f, 1.0f};
const Vector4 kFaceColor = {0.16f, 0.26f, 0.5f, 1.0f};
const Vector4 kPanelColor = {0.05f, 0.08f, 0.16f, 1.0f};

} // namespace

Actor *MenuMaker::Make(uint32_t classId, const std::string &name, Actor *parent,
                       const Vector3 &at) {
    if (!ok_)
        return nullptr;
    // Made at a taken id, an actor would replace the one there.
    if (ActorTableEntry(next_) != nullptr) {
        ok_ = out_.Fail(file_, "id " + std::to_string(next_) + " for \"" + name + "\" is taken");
        return nullptr;
    }
    Actor *actor =
        parent == nullptr
            ? MakeSampleActor(static_cast<int32_t>(classId), name, kGlobalRoot, next_)
            : CreateActor(static_cast<int32_t>(classId), name, nullptr, parent, next_, true);
    ++next_;
    if (actor == nullptr) {
        ok_ = out_.Fail(file_, "cannot make actor \"" + name + "\"");
        return nullptr;
    }
    SendCommandArgs(actor, cmd::base::SetPosition, at);
    return actor;
}

Actor *MenuMaker::Menu(const std::string &name) {
    Actor *menu = Make(kUiSystemClassId, name, nullptr, {0.0f, 0.0f, 0.0f});
    SendCommandArgs(menu, cmd::ui_system::SetUISystemRefWidth, 800.0f);
    SendCommandArgs(menu, cmd::ui_system::SetUISystemRefHeight, 600.0f);
    return menu;
}

Actor *MenuMaker::Cursor(Actor *menu) {
    Actor *cursor = Make(kUiSpriteClassId, "Cursor", menu, {92.0f, 62.0f, 0.0f});
    SendCommandArgs(cursor, cmd::ui_sprite::SetUISpriteMaterial, std::string("Cursor"));
    SendCommandArgs(cursor, cmd::ui_sprite::SetUiSpriteCursor, 1u);
    SendCommandArgs(cursor, cmd::ui_sprite::SetUiSpriteVisible, 0u);
    return cursor;
}

Actor *MenuMaker::Text(const std::string &name, Actor *parent, const Vector3 &at,
                       const std::string &text, uint32_t align) {
    Actor *label = Make(kUiTextClassId, name, parent, at);
    SendCommandArgs(label, cmd::ui_text::SetUITextFont, kTextFontSlot);
    SendCommandArgs(label, cmd::ui_text::SetUITextAlignX, align);
    SendCommandArgs(label, cmd::ui_text::SetUITextAlignY, align);
    if (!text.empty())
        SendCommandArgs(label, cmd::ui_text::SetUITextText, text);
    return label;
}

Actor *MenuMaker::Button(const std::string &name, Actor *parent, const Vector3 &at,
                         const std::string &label, float width) {
    Actor *button = Make(kUiButtonClassId, name, parent, at);
    // The highlight comes first: the first sprite gives the button its
    // rectangle, and the face drawn after it leaves its rim showing.
    Bar(Make(kUiSpriteClassId, "On_Input_Over", button), width, kButtonHeight, kHighlightColor);
    Actor *face = Make(kUiSpriteClassId, "Face", button);
    Bar(face, width - 8.0f, kButtonHeight - 8.0f, kFaceColor);
    Text("Label", face, {0.0f, 0.0f, 0.0f}, label, 1);
    return button;
}

Actor *MenuMaker::Panel(Actor *window, const Vector3 &centre, float width, float height) {
    Actor *panel = Make(kUiSpriteClassId, "Panel", window, centre);
    Bar(panel, width, height, kPanelColor);
    return panel;
}

void MenuMaker::Bar(Actor *sprite, float width, float height, const Vector4 &color) {
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteMaterial, std::string("MenuLight"));
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteWidth, width);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteHeight, height);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteAlignX, 1u);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteAlignY, 1u);
    SendCommandArgs(sprite, cmd::ui_text::SetUISpriteColor, color);
}

void MenuMaker::Script(Actor *actor, const std::string &name, uint32_t eventId,
                       const std::string &source) {
    std::string error;
    if (ok_ && actor != nullptr && !AddSampleScript(actor, name, eventId, source, &error)) {
        ok_ = out_.Fail(file_, error);
    }
}

bool MenuMaker::Check(bool ok, const std::string &reason) {
    if (ok_ && !ok)
        ok_ = out_.Fail(file_, reason);
    return ok;
}

bool AddInventory(SampleOutput &out, const std::string &file) {
    Actor *inventory = MakeSampleActor(static_cast<int32_t>(kInventoryClassId), "Inventory",
                                       kGlobalRoot, kInventoryActorId);
    if (inventory == nullptr)
        return out.Fail(file, "cannot make actor \"Inventory\"");
    // Made without a screen: its screen scale is set when the game loads it.
    inventory->scale = {1.0f, 1.0f, 1.0f};
    return true;
}

bool AddPauseMenu(SampleOutput &out, const std::string &file, int32_t &end) {
    MenuMaker maker(out, file, kFirstPauseMenuActorId);
    Actor *menu = maker.Menu("PauseMenu");
    AddMenuBackdrop(menu, kPauseBackdropId);
    maker.Cursor(menu);
    Actor *page = maker.Make(kUiWindowClassId, "Page", menu, {0.0f, 0.0f, 0.0f});
    maker.Panel(page, {kMenuColumnX, 145.0f, 0.0f}, kMenuPanelWidth, 270.0f);
    maker.Text("Title", page, {kMenuColumnX, 30.0f, 0.0f}, "Pause", 1);
    // The cursor starts on "Resume"; "Quit" stands apart at the bottom.
    Actor *resume =
        maker.Button("Resume", page, {kMenuColumnX, 70.0f, 0.0f}, "Resume", kMenuButtonWidth);
    Actor *quit =
        maker.Button("Quit", page, {kMenuColumnX, 250.0f, 0.0f}, "Quit", kMenuButtonWidth);
    Actor *esc = maker.Make(0, "Esc", GetActorById(kInventoryActorId), {0.0f, 0.0f, 0.0f});
    // The page opens without the "Saved" of an earlier visit (the note is
    // made with the guidance and shown after a save).
    maker.Script(menu, "open", cmd::ui_system::UISystemActivate,
                 "/Global/PauseMenu/Page/Saved.Action_Stop(); "
                 "/Global/PauseMenu/Page.Action_Start();");
    maker.Script(resume, "resume", cmd::ui_button::OnUIButtonUp,
                 "/Global/PauseMenu.UI_System_Deactivate();");
    maker.Script(quit, "quit", cmd::ui_button::OnUIButtonUp, "sys.Exit_Engine();");
    maker.Script(esc, "pause", cmd::base::ActionStartPre,
                 "/Global/PauseMenu.UI_System_Activate();");
    end = maker.Next();
    return maker.Ok();
}

bool WriteMenuCheck(SampleOutput &out) {
    const std::string globals = "game/Data/MenuRun.qva";
    if (!ResetSampleWorld())
        return out.Fail(globals, "cannot make the actor world");
    if (!AddInventory(out, globals))
        return false;
    MenuMaker maker(out, globals);
    Actor *menu = maker.Menu("MenuCheck");
    maker.Cursor(menu);
    Actor *page = maker.Make(kUiWindowClassId, "Page", menu, {0.0f, 0.0f, 0.0f});
    Actor *resume = maker.Make(kUiButtonClassId, "Resume", page, {100.0f, 70.0f, 0.0f});
    // The button's rectangle is its highlight's: 120 x 40 about the cursor's start.
    Actor *light = maker.Make(kUiSpriteClassId, "On_Input_Over", resume, {0.0f, 0.0f, 0.0f});
    MenuMaker::Bar(light, 120.0f, 40.0f, {0.0f, 1.0f, 0.0f, 1.0f});
    // In the font of the prepared sheet, which measures the same everywhere.
    Actor *status = maker.Text("Status", page, {400.0f, 300.0f, 0.0f}, "", 0);
    SendCommandArgs(status, cmd::ui_text::SetUITextFont, kSheetFontSlot);
    // Each window's button lies under the cursor too: it hears "Over" the
    // frame after the window took the focus.
    Actor *dialog = maker.Make(kUiWindowClassId, "Dialog", menu, {0.0f, 0.0f, 0.0f});
    Actor *ok = maker.Make(kUiButtonClassId, "Ok", dialog, {100.0f, 70.0f, 0.0f});
    Actor *final = maker.Make(kUiWindowClassId, "Final", menu, {0.0f, 0.0f, 0.0f});
    Actor *shot = maker.Make(kUiButtonClassId, "Shot", final, {100.0f, 70.0f, 0.0f});
    maker.Script(menu, "boot", cmd::base::StartGame,
                 "this.TimerCommand(1.0, UI_System_Activate());");
    maker.Script(menu, "open", cmd::ui_system::UISystemActivate,
                 "/Global/MenuCheck/Page.Action_Start();");
    maker.Script(resume, "over", cmd::ui_button::OnUIButtonOver,
                 "/Global/MenuCheck/Page/Status.Set_UI_Text_Text(\"Resume\"); "
                 "/Global/MenuCheck/Dialog.Action_Start();");
    maker.Script(ok, "over", cmd::ui_button::OnUIButtonOver,
                 "/Global/MenuCheck/Final.Action_Start();");
    maker.Script(shot, "done", cmd::ui_button::OnUIButtonOver,
                 "sys.Capture_BackBuffer((800, 600)); sys.Capture_Save(\"menu.tga\"); "
                 "sys.Exit_Engine();");
    if (!maker.Ok() ||
        !WriteActorFile(out, globals, kInventoryActorId, static_cast<uint32_t>(maker.Next()))) {
        return false;
    }

    // The scene holds no actor: the game starts on it all the same.
    const std::string scene = "game/Data/MenuStage.qva";
    return ResetSampleWorld() &&
           WriteActorFile(out, scene, static_cast<uint32_t>(kFirstMenuActorId),
                          static_cast<uint32_t>(maker.Next())) &&
           out.WriteText("e2e/menu/init.txt",
                         CrLfLines({"../../game", "MenuStage.qva", "MenuRun.qva", "MenuRun"}));
}
