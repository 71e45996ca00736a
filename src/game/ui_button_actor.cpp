#include "game/ui_button_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "game/ui_element.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"

namespace {


// clang-format off
const UiSheetRow kSheet[] = {
    {"UI Button Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Type0|0|", PropertyKind::Enumeration, cmd::ui_button::SetUIButtonType, cmd::ui_button::GetUIButtonType},
    {"Calculate Rect:|Calculate|", PropertyKind::Button, cmd::ui_button::UiButtonCalculateRect, 0},
    {"Active", PropertyKind::CheckBox, cmd::ui_button::SetUiButtonActive, cmd::ui_button::GetUiButtonActive},
    {"Static", PropertyKind::CheckBox, cmd::ui_button::SetUIButtonStatic, cmd::ui_button::GetUIButtonStatic},
    {"Default", PropertyKind::CheckBox, cmd::ui_button::SetUIButtonDefaultButton, cmd::ui_button::GetUIButtonDefaultButton},
    {"Event Properties", PropertyKind::PageTitle, 0, 0},
    {"Event", PropertyKind::EventScripts, 0, 0},
};
// clang-format on

// The first direct child of the class, asked through the tree query.
Actor *ChildOfClass(Actor *actor, uint32_t classId) {
    uint8_t query[12] = {};
    ParamBlock block(query, sizeof(query));
    block.WriteU32(0, classId);
    actor->HandleCommand(cmd::base::FindChildByClass, block);
    return block.ReadActor(4);
}

} // namespace

UIButtonActor::UIButtonActor() { classId = kUiButtonClassId; }

void UIButtonActor::RegisterClass() { RegisterUiClass(kUiButtonClassId, kSheet); }

void UIButtonActor::TellChild(int32_t id, uint32_t commandId) {
    if (Actor *child = ActorTableEntry(id); child != nullptr && id >= kFirstUserActorId) {
        child->HandleCommand(commandId, ParamBlock());
    }
}

void UIButtonActor::CalculateRect() {
    for (uint32_t childClass : {kUiTextClassId, kUiSpriteClassId}) {
        if (Actor *child = ChildOfClass(this, childClass)) {
            child->HandleCommand(kUiCmdScreenRect, ParamBlock(rect, sizeof(rect)));
            return;
        }
    }
    const Vector3 p = GetWorldPosition();
    rect[0] = SaturateToI32(double(p.x) - 60.0);
    rect[1] = SaturateToI32(double(p.y) - 20.0);
    rect[2] = SaturateToI32(double(rect[0]) + 120.0);
    rect[3] = SaturateToI32(double(rect[1]) + 40.0);
}

void UIButtonActor::Precalculate() {
    HandleCommand(cmd::ui_button::UiButtonCalculateRect, ParamBlock());
    overChild = IdOf(FindDescendantByName(this, "On_Input_Over"));
    upChild = IdOf(FindDescendantByName(this, "On_Input_Up"));
    downChild = IdOf(FindDescendantByName(this, "On_Input_Down"));
    TellChild(overChild, kUiCmdActionStop);
}

void UIButtonActor::PointerEvent(ParamBlock block) {
    if (!IsOperational() || (state & kActorEnabled) == 0 || isStatic != 0 || block.size() < 16) {
        return;
    }
    const int32_t x = block.ReadI32(0);
    const int32_t y = block.ReadI32(4);
    const bool inside = rect[0] < x && x < rect[2] && rect[1] < y && y < rect[3];
    // The events run scripts: a deletion they cause waits until this
    // delivery is over.
    ActorDeliveryScope delivery;
    if (inside) {
        if (hovered == 0) {
            HandleCommand(cmd::ui_button::OnUIButtonOver, ParamBlock());
        }
        if (block.ReadU32(12) != 0) {
            HandleCommand(cmd::ui_button::OnUIButtonDown, ParamBlock());
        }
        if (block.ReadU32(8) != 0) {
            HandleCommand(cmd::ui_button::OnUIButtonUp, ParamBlock());
        }
        hovered = 1;
    } else {
        if (hovered != 0) {
            HandleCommand(cmd::ui_button::OnUIButtonOut, ParamBlock());
        }
        hovered = 0;
    }
}

void UIButtonActor::DropHover() {
    if (hovered == 0) {
        return;
    }
    // Unmarked first: the scripts of "Out" may delete the button.
    hovered = 0;
    HandleCommand(cmd::ui_button::OnUIButtonOut, ParamBlock());
}

int UIButtonActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kUiCmdStart:
    case kUiCmdActionStart:
        SetEnabled(*this, true);
        localTimer = 0.0f;
        break;
    case kUiCmdStop:
    case kUiCmdActionStop:
        SetEnabled(*this, false);
        break;
    case kUiCmdActionStartPost:
        TellChild(overChild, kUiCmdActionStop);
        break;
    case kUiCmdPrecalculate:
        Precalculate();
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            type = source->type;
            std::copy(std::begin(source->rect), std::end(source->rect), rect);
            // The pointer has not been over the copy yet: it raises "Over"
            // before any "Out".
            hovered = 0;
            isStatic = source->isStatic;
            defaultButton = source->defaultButton;
            overChild = source->overChild;
            upChild = source->upChild;
            downChild = source->downChild;
            localTimer = source->localTimer;
        }
        break;
    }
    case kUiCmdPointerEvent:
        PointerEvent(block);
        break;
    case cmd::ui_button::SetUIButtonType:
        type = block.ReadU32(0);
        break;
    case cmd::ui_button::GetUIButtonType:
        block.WriteU32(0, type);
        break;
    case cmd::ui_button::UiButtonCalculateRect:
        CalculateRect();
        break;
    case cmd::ui_button::OnUIButtonUp:
        TellChild(upChild, kUiCmdActionStart);
        break;
    case cmd::ui_button::OnUIButtonDown:
        TellChild(downChild, kUiCmdActionStart);
        break;
    case cmd::ui_button::OnUIButtonOver:
        TellChild(overChild, kUiCmdActionStart);
        break;
    case cmd::ui_button::OnUIButtonOut:
        TellChild(overChild, kUiCmdActionStop);
        break;
    case cmd::ui_button::SetUiButtonActive:
        SetEnabled(*this, block.ReadU32(0) != 0);
        break;
    case cmd::ui_button::GetUiButtonActive:
        block.WriteU32(0, EnabledWord(*this));
        break;
    case cmd::ui_button::SetUIButtonStatic:
        isStatic = block.ReadU32(0);
        break;
    case cmd::ui_button::GetUIButtonStatic:
        block.WriteU32(0, isStatic);
        break;
    case cmd::ui_button::SetUIButtonDefaultButton:
        defaultButton = block.ReadU32(0);
        break;
    case cmd::ui_button::GetUIButtonDefaultButton:
        block.WriteU32(0, defaultButton);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void UIButtonActor::Update() {
    if (!IsOperational()) {
        return;
    }
    if ((state & kActorEnabled) != 0) {
        RefreshTimeRecord(timeRecord);
        if (timeRecord != nullptr) {
            localTimer += timeRecord->delta;
        }
    }
    Actor::Update();
}

int UIButtonActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    if (archive.Version() < 1) {
        return 1;
    }
    archive.SerializeWord(&type);
    if (archive.Version() < 64) {
        SerializeEnabledWord(archive, *this);
    }
    archive.SerializeWord(&isStatic);
    archive.SerializeWord(&defaultButton);
    return archive.Failed() ? 0 : 1;
}

void UIButtonActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("uibutton type " + std::to_string(type) + " rect " + std::to_string(rect[0]) +
                    " " + std::to_string(rect[1]) + " " + std::to_string(rect[2]) + " " +
                    std::to_string(rect[3]) + " enabled " + std::to_string(EnabledWord(*this)) +
                    " static " + std::to_string(isStatic) + " default " +
                    std::to_string(defaultButton));
}
