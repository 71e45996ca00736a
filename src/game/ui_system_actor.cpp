#include "game/ui_system_actor.h"

#include "base/file_system.h"
#include "core/actors/actor_file_dump.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/process_entry.h"
#include "game/ui_element.h"
#include "game/ui_window_actor.h"
#include "library/render/render_front_end.h"
#include "platform/input.h"

namespace {

constexpr float kCursorSpeed = 20.0f; // reference units per frame at full axis
constexpr float kCursorHotSpot = 8.0f;
constexpr InputCode kFirstMouseButton = 256;

// clang-format off
const UiSheetRow kSheet[] = {
    {"UI System Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Type0|0|", PropertyKind::Enumeration, cmd::ui_system::SetUISystemType, cmd::ui_system::GetUISystemType},
    {"Ref Width:", PropertyKind::Real, cmd::ui_system::SetUISystemRefWidth, cmd::ui_system::GetUISystemRefWidth},
    {"Ref Height:", PropertyKind::Real, cmd::ui_system::SetUISystemRefHeight, cmd::ui_system::GetUISystemRefHeight},
    {"UI System active:", PropertyKind::CheckBox, cmd::ui_system::SetUiSystemActive, cmd::ui_system::GetUiSystemActive},
};
// clang-format on

void SetRunMode(uint32_t mode, Actor *frontEnd) {
    if (ActorSystem *system = GetActorSystem()) {
        system->SetRunMode(mode, frontEnd, 0);
    }
}

} // namespace

UISystemActor::UISystemActor() { classId = kUiSystemClassId; }

void UISystemActor::RegisterClass() { RegisterUiClass(kUiSystemClassId, kSheet); }

void UISystemActor::ComputeScale() {
    scale.x = float(GetScreenWidth()) / refWidth;
    scale.y = float(GetScreenHeight()) / refHeight;
    InvalidateTransform();
}

Actor *UISystemActor::Cursor() const {
    return cursorActor >= kFirstUserActorId ? ActorTableEntry(cursorActor) : nullptr;
}

void UISystemActor::Activate() {
    if (active != 0) {
        return;
    }
    localTimer = 0.0f;
    active = 1;
    ComputeScale();
    SetRunMode(1, this);
    Actor *cursor = FindDescendantByName(this, "Cursor");
    cursorActor = cursor != nullptr ? cursor->actorId : -1;
    if (cursor != nullptr) {
        cursor->HandleCommand(kUiCmdActionStart, ParamBlock());
    }
}

void UISystemActor::Deactivate() {
    if (active == 0) {
        return;
    }
    FocusedWindow = nullptr;
    PreviousFocusedWindow = nullptr;
    Actor *cursor = Cursor();
    if (cursor == nullptr) {
        cursor = FindDescendantByName(this, "Cursor");
    }
    if (cursor != nullptr) {
        cursor->HandleCommand(kUiCmdActionStop, ParamBlock());
    }
    active = 0;
    SetRunMode(0, nullptr);
}

void UISystemActor::Process() {
    Actor *cursor = Cursor();
    if (!IsOperational() || active == 0 || cursor == nullptr) {
        return;
    }
    cursorX += ActionValue(1, 0) * kCursorSpeed;
    cursorY += ActionValue(2, 0) * kCursorSpeed;
    if (cursorX < 0.0f) {
        cursorX = 0.0f;
    }
    if (cursorY < 0.0f) {
        cursorY = 0.0f;
    }
    if (cursorY > refHeight) {
        cursorY = refHeight;
    }
    if (cursorX > refWidth) {
        cursorX = refWidth;
    }
    SendCommandArgs(cursor, kUiCmdSetPosition,
                    Vector3{cursorX - kCursorHotSpot, cursorY - kCursorHotSpot, cursorZ});
    // The products are single precision, as the rectangles they meet.
    UiPointerEvent event = {SaturateToI32(scale.x * cursorX), SaturateToI32(scale.y * cursorY),
                            InputReleased(kFirstMouseButton) != 0 ? 1u : 0u,
                            InputPressed(kFirstMouseButton) != 0 ? 1u : 0u};
    if (FocusedWindow != nullptr) {
        // The buttons' scripts may delete actors: they go when this
        // delivery is over.
        ActorDeliveryScope delivery;
        const ParamBlock inner(&event, sizeof(event));
        RecursiveCommandParams params = {kUiCmdPointerEvent, &inner};
        FocusedWindow->HandleCommand(kRecursiveCommandId, ParamBlock(&params, sizeof(params)));
    }
}

int UISystemActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case cmd::ui_system::SetUISystemType:
        type = block.ReadU32(0);
        break;
    case cmd::ui_system::GetUISystemType:
        block.WriteU32(0, type);
        break;
    case cmd::ui_system::SetUISystemRefWidth:
    case cmd::ui_system::SetUISystemRefHeight:
        (commandId == cmd::ui_system::SetUISystemRefWidth ? refWidth : refHeight) =
            block.ReadF32(0);
        ComputeScale();
        break;
    case cmd::ui_system::GetUISystemRefWidth:
        block.WriteF32(0, refWidth);
        break;
    case cmd::ui_system::GetUISystemRefHeight:
        block.WriteF32(0, refHeight);
        break;
    case cmd::ui_system::UISystemActivate:
        Activate();
        break;
    case cmd::ui_system::UISystemDeactivate:
        Deactivate();
        break;
    case kUiCmdActionStart:
    case kUiCmdActionStop:
        // Through the commands, so that the scripts bound to them run.
        HandleCommand(commandId == kUiCmdActionStart ? cmd::ui_system::UISystemActivate
                                                     : cmd::ui_system::UISystemDeactivate,
                      ParamBlock());
        break;
    case cmd::ui_system::GetUiSystemActive:
        block.WriteU32(0, active);
        break;
    case cmd::ui_system::SetUiSystemActive:
        active = block.ReadU32(0);
        break;
    case kUiCmdPrecalculate: {
        ComputeScale();
        // The stored state is entered anew.
        const uint32_t stored = active;
        active = 0;
        HandleCommand(stored != 0 ? cmd::ui_system::UISystemActivate
                                  : cmd::ui_system::UISystemDeactivate,
                      ParamBlock());
        EnsureProcessEntry(*this);
        break;
    }
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            // The settings are copied; a copy starts inactive, without a
            // cursor, as a new menu does: taking the template's active flag
            // would hand it the front end on "Precalculate" (and leave the
            // template stuck "active" once the copy closed).
            type = source->type;
            refWidth = source->refWidth;
            refHeight = source->refHeight;
            cursorActor = -1;
            cursorX = source->cursorX;
            cursorY = source->cursorY;
            cursorZ = source->cursorZ;
            active = 0;
            localTimer = source->localTimer;
        }
        break;
    }
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

int UISystemActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    if (archive.Version() >= 1) {
        archive.SerializeWord(&type);
        archive.SerializeWords(&refWidth, 1);
        archive.SerializeWords(&refHeight, 1);
        archive.SerializeWord(&active);
    }
    if (archive.Failed()) {
        return 0;
    }
    if (!archive.IsWriting()) {
        // The screen scale is made anew by "Precalculate".
        scale.x = 1.0f;
        scale.y = 1.0f;
        InvalidateTransform();
    }
    return 1;
}

void UISystemActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("uisystem type " + std::to_string(type) + " ref " + DumpNumber(refWidth) +
                    " " + DumpNumber(refHeight) + " active " + std::to_string(active) +
                    " cursor " + DumpNumber(cursorX) + " " + DumpNumber(cursorY));
}
