// A menu at work: the UI System's activation, cursor and pointer events,
// windows taking and handing back the focus, and buttons raising their
// events and showing their highlights.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "game/ui_button_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "platform/input.h"
#include "platform/os/scripted_input_backend.h"
#include "platform/os/window.h"
#include "ui_scene.h"

namespace {

using uitest::UiScene;

constexpr uint32_t kProbeClass = 12;
constexpr uint32_t kBlockStartFromParent = 1;

class UiMenuTest : public UiScene {
  protected:
    // A menu with its cursor, a page with two named buttons, a static
    // button, a nested window and highlights on "Button_Resume", and a
    // dialog with one button and a text.
    void BuildMenu(bool active) {
        Actor *menu = Menu(active);
        Actor *cursor = Make(kUiSpriteClassId, "Cursor", menu, {0, 0, 0});
        SendCommandArgs(cursor, cmd::ui_sprite::SetUiSpriteVisible, 0u);
        Actor *pageActor = Make(kUiWindowClassId, "Page", menu, {0, 0, 0});
        Actor *resume = Make(kUiButtonClassId, "Button_Resume", pageActor, {100, 50, 0});
        // Below a plain actor: the button's rectangle is not taken from them.
        Actor *lights = builder.Make(0, "Highlights", resume);
        for (const char *name : {"On_Input_Over", "On_Input_Down", "On_Input_Up"}) {
            Make(kUiSpriteClassId, name, lights, {0, 0, 0});
        }
        Make(kUiTextClassId, "Title", pageActor, {0, 0, 0});
        Actor *quit = Make(kUiButtonClassId, "Button_Quit", pageActor, {300, 100, 0});
        Actor *face = Make(kUiSpriteClassId, "Face", quit, {0, 0, 0});
        SendCommandArgs(face, cmd::ui_sprite::SetUISpriteAlignX, 1u);
        SendCommandArgs(face, cmd::ui_sprite::SetUISpriteAlignY, 1u);
        Actor *still = Make(kUiButtonClassId, "Still", pageActor, {100, 50, 0});
        SendCommandArgs(still, cmd::ui_button::SetUIButtonStatic, true);
        Actor *inner = Make(kUiWindowClassId, "Inner", pageActor, {0, 0, 0});
        inner->actionFlags |= kBlockStartFromParent;
        Make(kUiButtonClassId, "Button_Deep", inner, {0, 0, 0});
        builder.Make(kProbeClass, "Probe", pageActor);
        Actor *dialog = Make(kUiWindowClassId, "Dialog", menu, {0, 0, 0});
        Make(kUiButtonClassId, "Ok", dialog, {100, 50, 0});
        Make(kUiTextClassId, "Message", dialog, {0, 0, 0});
        Load();
        system = Find<UISystemActor>("Menu");
        page = Find<UIWindowActor>("Page");
        ASSERT_NE(system, nullptr);
    }
    void UseInput() {
        backend.AddJoystick();
        runner.UseInput(&backend);
    }
    // Moves the cursor to the point and steps one frame, pressing and
    // releasing the first mouse button in it when asked.
    void PointAt(float x, float y, bool press = false, bool release = false) {
        system->cursorX = x;
        system->cursorY = y;
        for (bool down : {true, false}) {
            if (down ? press : release) {
                WindowMessage message;
                message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
                message.button = 256;
                HandleInputMessage(message);
            }
        }
        runner.Step();
    }
    static UIButtonActor *Button(const char *name) { return Find<UIButtonActor>(name); }
    static std::vector<int32_t> Ids(std::initializer_list<const char *> names) {
        std::vector<int32_t> ids;
        for (const char *name : names) {
            ids.push_back(Find<Actor>(name)->actorId);
        }
        return ids;
    }
    std::vector<std::string> ButtonEvents() {
        std::vector<std::string> events;
        for (const scene::SpyNotice &notice : spies.Take()) {
            if (notice.command >= cmd::ui_button::OnUIButtonUp &&
                notice.command <= cmd::ui_button::OnUIButtonOut) {
                events.push_back(notice.actor + " " + std::to_string(notice.command));
            }
        }
        return events;
    }
    static bool Shown(const char *name) { return (Find<Actor>(name)->state & kActorEnabled) != 0; }

    game::RecorderClass probes{kProbeClass};
    ScriptedInputBackend backend;
    scene::SpyLog spies;
    UISystemActor *system = nullptr;
    UIWindowActor *page = nullptr;
};

TEST_F(UiMenuTest, ActivationAndDeactivation) {
    BuildMenu(false);
    ActorSystem *world = GetActorSystem();
    EXPECT_EQ(world->runMode, 0u);
    EXPECT_EQ(system->HandleCommand(cmd::ui_system::UISystemActivate, ParamBlock()), 1);
    EXPECT_EQ(std::tuple(world->runMode, world->frontEndActor, world->runFlags),
              std::tuple(1u, static_cast<Actor *>(system), 0u));
    EXPECT_TRUE(Shown("Cursor"));
    EXPECT_EQ(system->scale.x, 1.0f);

    // A second activation answers 1 and touches nothing.
    SendCommandArgs(Find<Actor>("Cursor"), cmd::ui_sprite::SetUiSpriteVisible, 0u);
    world->SetRunMode(0, nullptr, 0);
    EXPECT_EQ(system->HandleCommand(cmd::ui_system::UISystemActivate, ParamBlock()), 1);
    EXPECT_EQ(world->runMode, 0u);
    EXPECT_FALSE(Shown("Cursor"));

    // Deactivation clears both focus pointers, whoever's they were.
    SendCommandArgs(Find<Actor>("Cursor"), cmd::ui_sprite::SetUiSpriteVisible, 1u);
    world->SetRunMode(1, system, 0);
    FocusedWindow = page;
    PreviousFocusedWindow = Find<UIWindowActor>("Dialog");
    system->HandleCommand(kUiCmdActionStop, ParamBlock());
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow, world->runMode,
                         world->frontEndActor, system->active),
              std::tuple(nullptr, nullptr, 0u, nullptr, 0u));
    EXPECT_FALSE(Shown("Cursor"));
    system->HandleCommand(kUiCmdActionStart, ParamBlock());
    EXPECT_EQ(world->runMode, 1u);
}

TEST_F(UiMenuTest, CursorMovesClampsAndMakesPointerEvents) {
    BuildMenu(true);
    UseInput();
    BindAction(1, kJoystickAxis0, 0);
    BindAction(2, kJoystickAxis0 + 1, 0);
    backend.Joystick(0).axes[0] = 4096;
    backend.Joystick(0).axes[1] = 4096; // up
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    auto *probe = Find<game::Recorder>("Probe");
    runner.Step();
    EXPECT_EQ(std::tuple(system->cursorX, system->cursorY), std::tuple(120.0f, 50.0f));
    const Vector3 at = Find<Actor>("Cursor")->position;
    EXPECT_EQ(std::tuple(at.x, at.y), std::tuple(112.0f, 42.0f));
    ASSERT_EQ(probe->Of(kUiCmdPointerEvent).size(), 1u);

    // Clamped at the reference size and at 0; the event is in screen
    // pixels (640 / 500 = 1.28).
    SendCommandArgs(system, cmd::ui_system::SetUISystemRefWidth, 500.0f);
    PointAt(495.0f, 5.0f);
    EXPECT_EQ(std::tuple(system->cursorX, system->cursorY), std::tuple(500.0f, 0.0f));
    backend.Joystick(0).axes[0] = 0;
    backend.Joystick(0).axes[1] = 0;
    PointAt(400.0f, 70.0f);
    const RecordedCommand event = probe->Of(kUiCmdPointerEvent).back();
    EXPECT_EQ(std::tuple(event.Read<int32_t>(0), event.Read<int32_t>(4)), std::tuple(512, 70));

    // Without a cursor the menu sends nothing.
    DeleteActor(Find<Actor>("Cursor"));
    const size_t events = probe->Of(kUiCmdPointerEvent).size();
    PointAt(400.0f, 70.0f);
    EXPECT_EQ(probe->Of(kUiCmdPointerEvent).size(), events);
}

TEST_F(UiMenuTest, RecordKeepsTheStateForPrecalculate) {
    BuildMenu(true);
    SendCommandArgs(system, cmd::ui_system::SetUISystemRefWidth, 320.0f);
    EXPECT_EQ(system->scale.x, 2.0f);
    UISystemActor into;
    ASSERT_EQ(RoundTrip(*system, into, kActorFileVersion), 1);
    EXPECT_EQ(std::tuple(into.refWidth, into.refHeight, into.active, into.scale.x, into.scale.y),
              std::tuple(320.0f, 480.0f, 1u, 1.0f, 1.0f));
    EXPECT_EQ(CutRoundTrip(*system), 0);
    // A button's record holds the Enabled word below version 64 only.
    EXPECT_EQ(RecordSize(*Button("Still"), 63), RecordSize(*Button("Still"), 64) + 4);
    EXPECT_EQ(CutRoundTrip(*Button("Still")), 0);

    // The loaded menu is active again after "Precalculate", and the script
    // bound to its activation runs.
    SendCommandArgs(system, kUiCmdActionStop, 0u);
    ASSERT_EQ(GetActorSystem()->runMode, 0u);
    system->scripts.push_back(std::make_unique<ScriptRecord>());
    system->scripts.back()->eventId = cmd::ui_system::UISystemActivate;
    system->scripts.back()->owner = system;
    system->scripts.back()->source = "/Scenery/Menu/Page.Action_Start();";
    SendCommandArgs(system, cmd::ui_system::SetUiSystemActive, 1u);
    system->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    EXPECT_EQ(std::tuple(GetActorSystem()->runMode, GetActorSystem()->frontEndActor,
                         FocusedWindow),
              std::tuple(1u, static_cast<Actor *>(system), page));
}

TEST_F(UiMenuTest, OldRecordsReadAnyEnabledWordAsEnabled) {
    BuildMenu(true);
    UIButtonActor *from = Button("Button_Quit");
    SendCommandArgs(from, kUiCmdActionStart, 0u);
    const std::string path = builder.folder / "old.bin";
    ASSERT_TRUE(recordfile::Write(*from, path, 25));
    // The record ends with the Enabled word, the static word and the
    // default word.
    std::string bytes = builder.folder.Get("old.bin");
    ASSERT_GE(bytes.size(), 12u);
    const size_t at = bytes.size() - 12;
    EXPECT_EQ(bytes.substr(at, 4), std::string("\x01\0\0\0", 4));
    for (uint32_t word : {1u, 2u, 0x80000000u, 0u}) {
        for (int b = 0; b < 4; ++b) {
            bytes[at + size_t(b)] = char((word >> (8 * b)) & 0xFF);
        }
        builder.folder.Put("old.bin", bytes);
        UIButtonActor into;
        into.state = word != 0 ? into.state & ~kActorEnabled : into.state | kActorEnabled;
        ASSERT_EQ(recordfile::Read(into, path, 25), 1) << word;
        EXPECT_EQ((into.state & kActorEnabled) != 0, word != 0) << word;
    }
}

TEST_F(UiMenuTest, ButtonsGetTheirRectanglesAndRaiseTheirEvents) {
    BuildMenu(true);
    UseInput();
    EXPECT_EQ(std::vector<int32_t>(std::begin(Button("Button_Resume")->rect),
                                   std::end(Button("Button_Resume")->rect)),
              (std::vector<int32_t>{40, 30, 160, 70}));
    EXPECT_EQ(std::vector<int32_t>(std::begin(Button("Button_Quit")->rect),
                                   std::end(Button("Button_Quit")->rect)),
              (std::vector<int32_t>{268, 68, 332, 132}));
    EXPECT_EQ(page->namedButtons, Ids({"Button_Resume", "Button_Quit"}));
    EXPECT_FALSE(Shown("On_Input_Over"));

    SendCommandArgs(page, kUiCmdActionStart, 0u);
    EXPECT_EQ(FocusedWindow, page);
    EXPECT_EQ(page->focusButtons, Ids({"Button_Resume", "Button_Quit", "Still"}));
    for (const char *name : {"Button_Resume", "Still"}) {
        spies.Watch(Find<Actor>(name));
    }
    SendCommandArgs(Find<Actor>("On_Input_Up"), kUiCmdActionStopPost, 0u);
    SendCommandArgs(Find<Actor>("On_Input_Down"), kUiCmdActionStopPost, 0u);

    // On the edge is outside; a press and release inside in one frame
    // raise Over, Down and Up; the static button raises nothing.
    PointAt(40.0f, 50.0f, true, true);
    EXPECT_TRUE(ButtonEvents().empty());
    PointAt(100.0f, 50.0f, true, true);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1617",
                                                        "Button_Resume 1616",
                                                        "Button_Resume 1615"}));
    EXPECT_TRUE(Shown("On_Input_Over") && Shown("On_Input_Down") && Shown("On_Input_Up"));
    PointAt(100.0f, 50.0f);
    EXPECT_TRUE(ButtonEvents().empty());
    SendCommandArgs(Button("Button_Resume"), kUiCmdActionStartPost, 0u);
    EXPECT_FALSE(Shown("On_Input_Over"));
    SendCommandArgs(Button("Button_Resume"), kUiCmdActionStart, 0u);

    // The dialog takes the focus: only the hovered button hears "Out".
    spies.Watch(Find<Actor>("Button_Quit"));
    SendCommandArgs(Find<Actor>("On_Input_Over"), kUiCmdActionStart, 0u);
    SendCommandArgs(Find<Actor>("Dialog"), kUiCmdActionStart, 0u);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1618"}));
    EXPECT_FALSE(Shown("On_Input_Over"));
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow),
              std::tuple(Find<UIWindowActor>("Dialog"), page));

    // Stopping it hands the focus back.
    SendCommandArgs(Find<Actor>("Dialog"), kUiCmdActionStop, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow),
              std::tuple(page, Find<UIWindowActor>("Dialog")));
    EXPECT_EQ(Find<UIWindowActor>("Dialog")->hasFocus, 0u);
}

TEST_F(UiMenuTest, ADialogStartedTwiceAndStoppedOnceGivesTheFocusBack) {
    BuildMenu(true);
    UseInput();
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    auto *dialog = Find<UIWindowActor>("Dialog");
    SendCommandArgs(dialog, kUiCmdActionStart, 0u);
    SendCommandArgs(dialog, kUiCmdActionStart, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow), std::tuple(dialog, page));
    // A window that does not hold the focus is stopped: the focus stays.
    SendCommandArgs(Find<Actor>("Inner"), kUiCmdActionStop, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow), std::tuple(dialog, page));
    SendCommandArgs(dialog, kUiCmdActionStop, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow), std::tuple(page, dialog));
    EXPECT_FALSE(Shown("Dialog"));
    // The page behind hears the pointer again.
    spies.Watch(Button("Button_Resume"));
    PointAt(100.0f, 50.0f, true, true);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1617",
                                                        "Button_Resume 1616",
                                                        "Button_Resume 1615"}));
    // The page started again keeps nothing of itself as the previous one.
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow), std::tuple(page, dialog));
}

// A button under the pointer loses its hovered mark with the focus: it hears
// "Out" once when a dialog opens over it and "Over" again on the first
// pointer event after the dialog closes, and a page opened anew (its menu
// closed and opened again with the pointer on the button) lights it again.
TEST_F(UiMenuTest, AButtonUnderThePointerLightsAgainWhenItsWindowRegainsTheFocus) {
    BuildMenu(true);
    UseInput();
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    spies.Watch(Button("Button_Resume"));
    PointAt(100.0f, 50.0f);
    ASSERT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1617"}));
    auto *dialog = Find<UIWindowActor>("Dialog");
    SendCommandArgs(dialog, kUiCmdActionStart, 0u);
    PointAt(100.0f, 50.0f); // on "Ok" now
    SendCommandArgs(dialog, kUiCmdActionStop, 0u);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1618"}));
    EXPECT_FALSE(Shown("On_Input_Over"));
    PointAt(100.0f, 50.0f);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1617"}));
    EXPECT_TRUE(Shown("On_Input_Over"));

    // Closed from the button and opened again, as a pause menu is: starting
    // the page hides the highlight and the button hears "Out" for it.
    SendCommandArgs(system, cmd::ui_system::UISystemDeactivate, 0u);
    SendCommandArgs(system, cmd::ui_system::UISystemActivate, 0u);
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1618"}));
    EXPECT_FALSE(Shown("On_Input_Over"));
    PointAt(100.0f, 50.0f);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"Button_Resume 1617"}));
    EXPECT_TRUE(Shown("On_Input_Over"));
}

TEST_F(UiMenuTest, AStoppedWindowNeverTakesTheFocusBack) {
    BuildMenu(true);
    UseInput();
    SendCommandArgs(Find<Actor>("Message"), cmd::ui_text::SetUITextText, std::string("Message"));
    auto *dialog = Find<UIWindowActor>("Dialog");
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    SendCommandArgs(dialog, kUiCmdActionStart, 0u);
    SendCommandArgs(dialog, kUiCmdActionStop, 0u);
    // The page stopped in turn: the dialog, stopped before it, stays out.
    SendCommandArgs(page, kUiCmdActionStop, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow, dialog->hasFocus, page->hasFocus),
              std::tuple(nullptr, page, 0u, 0u));
    spies.Watch(Button("Ok"));
    PointAt(100.0f, 50.0f, true, true);
    EXPECT_TRUE(ButtonEvents().empty());
    EXPECT_TRUE(runner.frameLayers.texts.empty());

    // With a window before the page, the focus falls back to that one.
    auto *back = dynamic_cast<UIWindowActor *>(
        CreateActor(kUiWindowClassId, "Back", nullptr, system, -1, true));
    ASSERT_NE(back, nullptr);
    for (UIWindowActor *window : {back, page, dialog}) {
        SendCommandArgs(window, kUiCmdActionStart, 0u);
    }
    SendCommandArgs(dialog, kUiCmdActionStop, 0u);
    SendCommandArgs(page, kUiCmdActionStop, 0u);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow, dialog->hasFocus),
              std::tuple(back, page, 0u));
}

TEST_F(UiMenuTest, OnlyFocusedWindowsDraw) {
    BuildMenu(true);
    SendCommandArgs(Find<Actor>("Title"), cmd::ui_text::SetUITextText, std::string("Title"));
    SendCommandArgs(Find<Actor>("Message"), cmd::ui_text::SetUITextText, std::string("Message"));
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    runner.Step();
    ASSERT_EQ(runner.frameLayers.texts.size(), 1u);
    EXPECT_EQ(runner.frameLayers.texts[0].text, "Title");
    SendCommandArgs(Find<Actor>("Dialog"), kUiCmdActionStart, 0u);
    runner.Step();
    EXPECT_EQ(runner.frameLayers.texts.size(), 2u) << "the page still shows behind the dialog";
}

TEST_F(UiMenuTest, DeletedButtonsAreSkippedAndAScriptEndsTheMenu) {
    BuildMenu(true);
    UseInput();
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    PointAt(100.0f, 50.0f);
    ASSERT_EQ(Button("Button_Resume")->hovered, 1u);
    DeleteActor(Button("Button_Resume"));
    SendCommandArgs(Find<Actor>("Dialog"), kUiCmdActionStart, 0u);
    EXPECT_EQ(FocusedWindow, Find<UIWindowActor>("Dialog"));

    // "Ok"'s Up script deletes the running menu: the frames are normal again.
    Actor *ok = Find<Actor>("Ok");
    ok->scripts.push_back(std::make_unique<ScriptRecord>());
    ok->scripts.back()->name = "Close";
    ok->scripts.back()->eventId = cmd::ui_button::OnUIButtonUp;
    ok->scripts.back()->owner = ok;
    ok->scripts.back()->source = "/Scenery/Menu.Delete();";
    PointAt(100.0f, 50.0f, true, true);
    runner.Step(); // the deletion queued by the script
    EXPECT_EQ(GetActorSystem()->runMode, 0u);
    EXPECT_EQ(Find<Actor>("Menu"), nullptr);
    EXPECT_EQ(std::tuple(FocusedWindow, PreviousFocusedWindow), std::tuple(nullptr, nullptr));
}

TEST_F(UiMenuTest, AButtonStartingALevelLoadLeavesNormalFrames) {
    BuildMenu(true);
    UseInput();
    SendCommandArgs(Find<Actor>("Dialog"), kUiCmdActionStart, 0u);
    ASSERT_EQ(GetActorSystem()->runMode, 1u);
    std::string error;
    ASSERT_TRUE(scene::SceneBuilder::AddScript(Find<Actor>("Ok"), cmd::ui_button::OnUIButtonUp,
                                               "sys.Load_Game(\"Other.qva\");", &error))
        << error;
    PointAt(100.0f, 50.0f, true, true);
    runner.Step(); // the load takes the menu with the world
    EXPECT_EQ(Find<Actor>("Menu"), nullptr);
    EXPECT_EQ(std::tuple(GetActorSystem()->runMode, GetActorSystem()->frontEndActor, FocusedWindow),
              std::tuple(0u, nullptr, nullptr));
    runner.Step();
}

// "Create" with a template copies the element's own fields and its look;
// the copy's name, place and children stay its own.
TEST_F(UiMenuTest, CreateCopiesTheTemplatesFields) {
    Actor *menu = Menu(false);
    auto *text = dynamic_cast<UITextActor *>(Make(kUiTextClassId, "Text", menu, {5, 6, 0}));
    SendCommandArgs(text, cmd::ui_text::SetUITextType, kUiTextLiteral);
    SendCommandArgs(text, cmd::ui_text::SetUITextText, "Hello");
    SendCommandArgs(text, cmd::ui_text::SetUITextLetterSpace, 2.5f);
    SendCommandArgs(text, cmd::ui_text::SetUITextAlignX, 2u);
    auto *sprite = dynamic_cast<UISpriteActor *>(Make(kUiSpriteClassId, "Sprite", menu, {0, 0, 0}));
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISpriteWidth, 33.0f);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUiSpriteCursor, 1u);
    SendCommandArgs(sprite, cmd::ui_sprite::SetUISprite3DLabelMaxDistance, 70.0f);
    auto *window = dynamic_cast<UIWindowActor *>(Make(kUiWindowClassId, "Window", menu, {0, 0, 0}));
    window->words[3] = 9;
    window->namedButtons = {41, 42};
    window->localTimer = 1.5f;
    Make(kUiButtonClassId, "Button_A", window, {0, 0, 0});

    auto *textCopy = dynamic_cast<UITextActor *>(
        CreateActor(kUiTextClassId, "TextCopy", text, nullptr, -1, true));
    auto *spriteCopy = dynamic_cast<UISpriteActor *>(
        CreateActor(kUiSpriteClassId, "SpriteCopy", sprite, nullptr, -1, true));
    auto *windowCopy = dynamic_cast<UIWindowActor *>(
        CreateActor(kUiWindowClassId, "WindowCopy", window, nullptr, -1, true));
    ASSERT_NE(textCopy, nullptr);
    ASSERT_NE(spriteCopy, nullptr);
    ASSERT_NE(windowCopy, nullptr);
    EXPECT_EQ(std::tuple(textCopy->type, textCopy->text, textCopy->letterSpace, textCopy->alignX),
              std::tuple(kUiTextLiteral, std::string("Hello"), 2.5f, 2u));
    EXPECT_EQ(std::tuple(spriteCopy->width, spriteCopy->cursor, spriteCopy->maxDistance),
              std::tuple(33.0f, 1u, 70.0f));
    EXPECT_EQ(
        std::tuple(windowCopy->words[3], windowCopy->namedButtons, windowCopy->localTimer,
                   windowCopy->name, windowCopy->children.size()),
        std::tuple(9u, std::vector<int32_t>{41, 42}, 1.5f, std::string("WindowCopy"), size_t{0}));
}

// A copy of a live menu or of a hovered button is a fresh one of its kind:
// the menu copy leaves the front end and the cursor to the template, the
// button copy raises "Over" before any "Out"; their settings are copied.
TEST_F(UiMenuTest, CopiesStartWithoutTheTemplatesRunTimeState) {
    BuildMenu(true);
    UseInput();
    ActorSystem *world = GetActorSystem();
    SendCommandArgs(system, cmd::ui_system::SetUISystemType, 3u);
    system->cursorZ = 2.5f;
    SendCommandArgs(page, kUiCmdActionStart, 0u);
    UIButtonActor *resume = Button("Button_Resume");
    SendCommandArgs(resume, cmd::ui_button::SetUIButtonDefaultButton, true);
    PointAt(100.0f, 50.0f);
    ASSERT_EQ(std::tuple(system->active, resume->hovered, world->frontEndActor),
              std::tuple(1u, 1u, static_cast<Actor *>(system)));

    auto *menuCopy = dynamic_cast<UISystemActor *>(CopyActorTree(system, system->parent));
    ASSERT_NE(menuCopy, nullptr);
    EXPECT_EQ(std::tuple(menuCopy->active, menuCopy->cursorActor, menuCopy->type,
                         menuCopy->refWidth, menuCopy->refHeight, menuCopy->cursorZ),
              std::tuple(0u, -1, 3u, 640.0f, 480.0f, 2.5f));
    EXPECT_EQ(world->frontEndActor, static_cast<Actor *>(system));
    // Closing the copy leaves the template's menu up.
    SendCommandArgs(menuCopy, kUiCmdActionStop, 0u);
    EXPECT_EQ(std::tuple(world->runMode, world->frontEndActor, system->active),
              std::tuple(1u, static_cast<Actor *>(system), 1u));

    auto *buttonCopy = dynamic_cast<UIButtonActor *>(
        CreateActor(kUiButtonClassId, "ResumeCopy", resume, page, -1, true));
    ASSERT_NE(buttonCopy, nullptr);
    EXPECT_EQ(
        std::tuple(buttonCopy->hovered, buttonCopy->defaultButton,
                   std::vector<int32_t>(std::begin(buttonCopy->rect), std::end(buttonCopy->rect))),
        std::tuple(0u, 1u, std::vector<int32_t>{40, 30, 160, 70}));
    spies.Watch(buttonCopy);
    PointAt(300.0f, 300.0f);
    EXPECT_TRUE(ButtonEvents().empty());
    PointAt(100.0f, 50.0f);
    PointAt(300.0f, 300.0f);
    EXPECT_EQ(ButtonEvents(), (std::vector<std::string>{"ResumeCopy 1617", "ResumeCopy 1618"}));
}

// Each element's sheet, as "kind set get" per row, and its lineage.
TEST(UiDescriptors, SheetsOfTheFiveElements) {
    const struct {
        uint32_t classId;
        const char *title;
        std::vector<std::string> rows;
    } classes[] = {
        {kUiSystemClassId, "UI System Properties",
         {"13 0 0", "16 1601 1602", "4 1603 1604", "4 1605 1606", "17 1611 1610"}},
        {kUiWindowClassId, "UI Window Properties", {"13 0 0", "16 1625 1626"}},
        {kUiButtonClassId, "UI Button Properties",
         {"13 0 0", "16 1612 1613", "14 1614 0", "17 1619 1620", "17 1621 1622", "17 1623 1624",
          "13 0 0", "34 0 0"}},
        {kUiTextClassId, "UI Text Properties",
         {"13 0 0", "16 1628 1629", "39 1646 1647", "4 1636 1637", "4 1638 1639", "1 1630 1631",
          "16 1632 1633", "16 1634 1635", "16 1640 1641", "4 1642 1643", "4 1644 1645",
          "38 1655 1656", "17 1657 1658"}},
        {kUiSpriteClassId, "UI Sprite Properties",
         {"13 0 0", "16 1659 1660", "27 1662 1663", "1 1664 1665", "4 1667 1668", "4 1669 1670",
          "16 1677 1678", "16 1679 1680", "16 1671 1672", "4 1673 1674", "4 1675 1676",
          "17 1681 1682", "17 1686 1687"}},
    };
    ASSERT_TRUE(InitActorSystem());
    for (const auto &c : classes) {
        const ActorClassDescriptor &d = ClassDescriptorTable[c.classId];
        EXPECT_EQ(d.name, kActorClassNames[c.classId].name);
        EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, c.classId}));
        std::vector<std::string> rows;
        for (const PropertyItem &item : d.items) {
            rows.push_back(std::to_string(int(item.kind)) + " " + std::to_string(item.setCommand) +
                           " " + std::to_string(item.getCommand));
        }
        EXPECT_EQ(rows, c.rows) << c.title;
        ASSERT_FALSE(d.items.empty());
        EXPECT_EQ(d.items[0].label, c.title);
    }
    EXPECT_EQ(ClassDescriptorTable[kUiTextClassId].items[9].label, "3D Label Max Dist:");
    EXPECT_EQ(ClassDescriptorTable[kUiButtonClassId].items[2].label, "Calculate Rect:|Calculate|");
    ResetActorWorldForTests();
}

} // namespace
