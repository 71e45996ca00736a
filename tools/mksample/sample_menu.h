// The game actor and the menus of the sample: actor 16 "Inventory" for the
// globals files from "Globals1_XBox.qva" on, the pause menu of the play folder, and
// the folder of the menu's end-to-end check.
#pragma once

#include <cstdint>
#include <string>

#include "base/math.h"

class Actor;
class SampleOutput;

// Ids of the menu actors, in the globals files that hold them: the menu
// check's, and the pause menu's in the missions' globals, above every id
// the missions' scenes take.
inline constexpr int32_t kFirstMenuActorId = 3120;
inline constexpr int32_t kFirstPauseMenuActorId = 7000;

// The column of buttons of the title, the pause page and the save offer. A
// menu's cursor starts at (100, 70), on the first button's left end and clear
// of its centred label; moved straight down it meets every other button.
inline constexpr float kMenuColumnX = 170.0f;
inline constexpr float kMenuButtonWidth = 180.0f;
inline constexpr float kMenuPanelWidth = 200.0f;

// Makes the menu actors of one file at consecutive ids from `first` on; the
// first failure is kept for the file (and every later call makes nothing).
class MenuMaker {
  public:
    MenuMaker(SampleOutput &out, const std::string &file, int32_t first = kFirstMenuActorId)
        : out_(out), file_(file), next_(first) {}

    // Below the parent, or below "Global" without one, at `at`.
    Actor *Make(uint32_t classId, const std::string &name, Actor *parent,
                const Vector3 &at = {0.0f, 0.0f, 0.0f});
    // A menu of the screen's reference size, not active.
    Actor *Menu(const std::string &name);
    // The cursor image, shown by the menu's activation only.
    Actor *Cursor(Actor *menu);
    // A text in the sample's "Text" font, aligned as asked.
    Actor *Text(const std::string &name, Actor *parent, const Vector3 &at, const std::string &text,
                uint32_t align);
    // A button `width` wide: its highlight "On_Input_Over" (a bright bar,
    // shown while the pointer is over the button, whose rectangle it
    // gives) and its darker "Face" holding the centred "Label".
    Actor *Button(const std::string &name, Actor *parent, const Vector3 &at,
                  const std::string &label, float width = 160.0f);
    // The dark backing "Panel" of a window, centred where asked.
    Actor *Panel(Actor *window, const Vector3 &centre, float width, float height);
    // Shapes a sprite into a flat bar of the menus' light material, centred
    // on its position.
    static void Bar(Actor *sprite, float width, float height, const Vector4 &color);
    void Script(Actor *actor, const std::string &name, uint32_t eventId, const std::string &source);
    // Fails the file with the reason unless `ok`; answers `ok`.
    bool Check(bool ok, const std::string &reason);
    bool Ok() const { return ok_; }
    int32_t Next() const { return next_; }
    // Takes the next id (for actors the caller makes itself).
    int32_t TakeId() { return next_++; }

  private:
    SampleOutput &out_;
    std::string file_;
    int32_t next_;
    bool ok_ = true;
};

// Actor 16 "Inventory" below "Global".
bool AddInventory(SampleOutput &out, const std::string &file);

// Below "Global" from kFirstPauseMenuActorId on: the UI System "PauseMenu" (not
// active) with its "Cursor" sprite and the window "Page" holding its panel,
// the title, "Resume" (its Up deactivates the menu), under the cursor's
// start (100, 70), and "Quit" (its Up ends the engine) at the bottom, at
// (100, 250); and actor 16's child "Esc",
// whose "Action Start Pre" activates the menu, which starts "Page". `end`
// gets the id after the last one made.
bool AddPauseMenu(SampleOutput &out, const std::string &file, int32_t &end);

// The folder "e2e/menu" (game folder "../../game") with the globals
// "MenuRun.qva" and the empty scene "MenuStage.qva": one second after "Start
// Game" the menu "MenuCheck" is activated and starts "Page"; "Resume", under
// the cursor, shows its highlight, sets the text "Status" and starts the
// window "Dialog" when the pointer comes over it; the next frame "Dialog"'s
// "Ok", under the cursor too, starts the window "Final", and the frame after
// that "Final"'s "Shot" captures the screen into "menu.tga" and ends the
// engine.
bool WriteMenuCheck(SampleOutput &out);
