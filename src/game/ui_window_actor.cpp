#include "game/ui_window_actor.h"

#include <algorithm>

#include "base/file_system.h"
#include "core/actors/actor_services.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "game/ui_button_actor.h"
#include "game/ui_element.h"

UIWindowActor *FocusedWindow = nullptr;
UIWindowActor *PreviousFocusedWindow = nullptr;

namespace {

// Every button of the list that is still hovered loses the pointer. The
// list is copied: the buttons' scripts may change the window.
void DropHovers(const std::vector<int32_t> &buttons) {
    for (int32_t id : std::vector<int32_t>(buttons)) {
        if (auto *button = static_cast<UIButtonActor *>(ActorOfClass(id, kUiButtonClassId))) {
            button->DropHover();
        }
    }
}

// clang-format off
const UiSheetRow kSheet[] = {
    {"UI Window Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Type0|0|", PropertyKind::Enumeration, cmd::ui_window::SetUIWindowType, cmd::ui_window::GetUIWindowType},
};
// clang-format on

} // namespace

UIWindowActor::UIWindowActor() { classId = kUiWindowClassId; }

UIWindowActor::~UIWindowActor() {
    if (FocusedWindow == this) {
        FocusedWindow = nullptr;
    }
    if (PreviousFocusedWindow == this) {
        PreviousFocusedWindow = nullptr;
    }
}

void UIWindowActor::RegisterClass() { RegisterUiClass(kUiWindowClassId, kSheet); }

void UIWindowActor::TakeFocus() {
    hasFocus = 1;
    focusButtons.clear();
    focusIndex = 0;
    // Every UI Button below, not entering nested windows.
    std::vector<Actor *> buttons;
    uint8_t query[16] = {};
    ParamBlock block(query, sizeof(query));
    block.WriteU32(0, kUiButtonClassId);
    block.WriteU32(4, kUiWindowClassId);
    block.WritePointer(8, &buttons);
    HandleCommand(cmd::base::CollectDescendants, block);
    for (Actor *button : buttons) {
        focusButtons.push_back(button->actorId);
    }
    // Taking the focus again keeps the window it came from: a window is
    // never its own previous one, or stopping it would keep the focus.
    if (FocusedWindow != this) {
        PreviousFocusedWindow = FocusedWindow;
        focusFrom_ = FocusedWindow != nullptr ? FocusedWindow->actorId : -1;
    }
    UIWindowActor *previous = FocusedWindow != this ? FocusedWindow : nullptr;
    FocusedWindow = this;
    // "Out" runs scripts: a deletion they cause waits until the focus is
    // taken.
    ActorDeliveryScope delivery;
    // The hovered buttons of the window that had the focus lose the pointer.
    if (previous != nullptr) {
        DropHovers(previous->focusButtons);
    }
    // So do this window's own still marked (the menu was closed over one,
    // or the window was started again, which hides the highlights): the
    // next pointer event lights the button under the pointer again.
    DropHovers(focusButtons);
    localTimer = 0.0f;
}

void UIWindowActor::StopFocus() {
    // Only the window that holds the focus hands it back: stopping one that
    // is hidden or behind another leaves the focus where it is.
    if (FocusedWindow == this && FocusedWindow != PreviousFocusedWindow) {
        FocusedWindow = FocusGoesBackTo(PreviousFocusedWindow);
        if (FocusedWindow != nullptr) {
            FocusedWindow->HandleCommand(cmd::ui_window::UIWindowSetFocus, ParamBlock());
        }
        PreviousFocusedWindow = this;
    }
    hasFocus = 0;
    SetEnabled(*this, false);
}

UIWindowActor *UIWindowActor::FocusGoesBackTo(UIWindowActor *window) const {
    // A window stopped since it had the focus (and this one) would be drawn
    // and take the pointer while stopped: the focus goes to the one it had
    // taken the focus from instead, and so on, or to none.
    std::vector<const UIWindowActor *> passed;
    while (window != nullptr && (window == this || window->hasFocus == 0)) {
        if (std::find(passed.begin(), passed.end(), window) != passed.end()) {
            return nullptr;
        }
        passed.push_back(window);
        window = dynamic_cast<UIWindowActor *>(ActorOfClass(window->focusFrom_, kUiWindowClassId));
    }
    return window;
}

void UIWindowActor::GatherNamedButtons() {
    namedButtons.clear();
    for (Actor *child : children) {
        if (child != nullptr && child->name.starts_with("Button_")) {
            namedButtons.push_back(child->actorId);
        }
    }
}

int UIWindowActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::ui_window::SetUIWindowType:
        type = block.ReadU32(0);
        break;
    case cmd::ui_window::GetUIWindowType:
        block.WriteU32(0, type);
        break;
    case cmd::ui_window::UIWindowSetFocus:
        TakeFocus();
        break;
    case kUiCmdPrecalculate:
        GatherNamedButtons();
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            static_cast<UiWindowFields &>(*this) = *source;
        }
        break;
    }
    case kUiCmdActionStart:
        HandleCommand(cmd::ui_window::UIWindowSetFocus, ParamBlock());
        SetEnabled(*this, true);
        break;
    case kUiCmdActionStop:
        StopFocus();
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void UIWindowActor::Update() {
    if (!IsOperational() || hasFocus == 0) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    if (timeRecord != nullptr) {
        localTimer += timeRecord->delta;
    }
    Actor::Update();
}

int UIWindowActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWord(&type);
        for (int i = 0; i < 3; ++i) {
            archive.SerializeU32(0);
        }
    }
    return archive.Failed() ? 0 : 1;
}

void UIWindowActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("uiwindow type " + std::to_string(type) + " focus " +
                    std::to_string(hasFocus) + " buttons " + std::to_string(namedButtons.size()));
}
