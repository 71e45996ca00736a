// The UI Window actor (class 44): one page or dialog of a menu, a focus
// group. Only windows that have taken the focus draw their subtree, and only
// the focused window (FocusedWindow) gets the menu's pointer events. Taking
// the focus gathers the window's buttons and tells the hovered buttons of
// the window that had it, and its own still hovered ones, "On UI Button
// Out", unmarking them; stopping the focused window hands the focus back,
// never to a window stopped since.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/actors/actor.h"
#include "core/actors/command_ids.h"

// A window's fields: what a "Create" copies from a source window.
struct UiWindowFields {
    uint32_t type = 0;
    uint32_t words[4] = {0, 0, 0, 0};
    uint32_t hasFocus = 0;
    // Ids of the buttons: every UI Button of the subtree outside nested
    // windows (gathered on taking the focus), and the direct children named
    // "Button_..." (gathered on "Precalculate"). An id that no longer names
    // a UI Button is skipped.
    std::vector<int32_t> focusButtons;
    int32_t focusIndex = 0;
    std::vector<int32_t> namedButtons;
    float localTimer = 0.0f;
};

class UIWindowActor : public Actor, public UiWindowFields {
  public:
    UIWindowActor();
    ~UIWindowActor() override;

    static void RegisterClass();

    int HandleCommand(uint32_t commandId, ParamBlock block) override;
    int Serialize(Archive &archive, uint32_t mode) override;
    void Update() override;
    void DumpClassFields(std::vector<std::string> &lines) const override;

  private:
    void TakeFocus();
    void StopFocus();
    UIWindowActor *FocusGoesBackTo(UIWindowActor *window) const;
    void GatherNamedButtons();

    // The window this one took the focus from (its id; -1 none). Not a
    // field a "Create" copies: a copy has taken the focus from no one.
    int32_t focusFrom_ = -1;
};

// The window that gets pointer events, and the one that had the focus
// before it; shared by every menu, cleared by a window's destruction.
extern UIWindowActor *FocusedWindow;
extern UIWindowActor *PreviousFocusedWindow;
