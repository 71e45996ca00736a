#include "game/ui_map_input_actor.h"

#include "base/file_system.h"
#include "base/text_table.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "game/ui_element.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"
#include "platform/input.h"

namespace {

// clang-format off
const UiSheetRow kSheet[] = {
    {"UI Map Input", PropertyKind::PageTitle, 0, 0},
    {"Map To:|Axis X|1|Axis Y|2|Axis X|3|Axis W|4|Axis 0|5|Axis 1|6|Axis 2|7|Axis 3|8|"
     "Forward|9|Backward|10|Left|11|Right|12|Select|13|Start|14|Jump|15|Action|16|Crouch|17|"
     "Reload|18|Drop|19|Light|20|Next|21|Prev|22|Cancel|23|Stats|24|Fire 1|25|Fire 2|26|"
     "Knock|27|Slowmotion|28|Run Toggle|29|Escape|30|Pause|31|Inventory Special|32|",
     PropertyKind::Enumeration, cmd::ui_map_input::SetUIMapinputMap,
     cmd::ui_map_input::GetUIMapinputMap},
    {"Axis:", PropertyKind::CheckBox, cmd::ui_map_input::SetUIMapinputIsAxis, cmd::ui_map_input::GetUIMapinputIsAxis},
};
// clang-format on

// A click that starts a capture needs this much quiet since the last one;
// the capture then waits this long before it takes a change.
constexpr float kClickQuiet = 0.5f;
constexpr float kCaptureDelay = 0.1f;

constexpr int kSet = 0;

// The code bound in the slot (0 primary, 1 second) of an action of set 0;
// 0 for an action outside the set.
int32_t Binding(uint32_t action, int which) {
    return action < uint32_t(kActionsPerSet) ? int32_t(GetActionBinding(int(action), which)) : 0;
}

std::string BindingName(uint32_t action, int which) {
    const std::string name =
        action < uint32_t(kActionsPerSet) ? GetInputName(int(action), which, kSet) : std::string();
    TextTable *table = TextTable::Instance();
    return name.empty() || table == nullptr ? name : table->Lookup(name);
}

void Bind(uint32_t action, uint32_t code) {
    if (action < uint32_t(kActionsPerSet)) {
        BindAction(int(action), code, kSet);
    }
}

// In a front-end frame only the root record moves, by the raw frame time.
bool FrontEndFrameRuns() {
    const ActorSystem *world = GetActorSystem();
    return world != nullptr && world->runMode == 1 && world->runFlags == 0;
}

} // namespace

UIMapInputActor::UIMapInputActor() { classId = kUiMapInputClassId; }

void UIMapInputActor::RegisterClass() { RegisterUiClass(kUiMapInputClassId, kSheet); }

Actor *UIMapInputActor::Child(int32_t id) const {
    Actor *child = id >= kFirstUserActorId ? ActorTableEntry(id) : nullptr;
    for (const Actor *up = child != nullptr ? child->parent : nullptr; up != nullptr;
         up = up->parent) {
        if (up == this) {
            return child;
        }
    }
    return nullptr;
}

void UIMapInputActor::TellChild(int32_t id, uint32_t commandId) const {
    if (Actor *child = Child(id)) {
        child->HandleCommand(commandId, ParamBlock());
    }
}

void UIMapInputActor::BuildChildren() {
    Actor *made[3] = {
        CreateActor(int32_t(kUiSpriteClassId), "Frame", nullptr, this, -1, true),
        CreateActor(int32_t(kUiTextClassId), "Text", nullptr, this, -1, true),
        CreateActor(int32_t(kUiTextClassId), "Label", nullptr, this, -1, true),
    };
    CreateActor(0, "On_Input_Over", nullptr, this, -1, true);
    CreateActor(0, "On_Input_Focus", nullptr, this, -1, true);
    SendCommandArgs(made[0], cmd::base::SetPosition, Vector3{40.0f, 0.0f, 0.0f});
    SendCommandArgs(made[1], cmd::base::SetPosition, Vector3{40.0f, 0.0f, 0.0f});
    SendCommandArgs(made[1], cmd::ui_text::SetUITextText, std::string("Text"));
    SendCommandArgs(made[1], cmd::ui_text::SetUITextAlignX, 1u);
    SendCommandArgs(made[1], cmd::ui_text::SetUITextAlignY, 1u);
    SendCommandArgs(made[2], cmd::base::SetPosition, Vector3{-20.0f, 0.0f, 0.0f});
    SendCommandArgs(made[2], cmd::ui_text::SetUITextText, std::string("Label:"));
    SendCommandArgs(made[2], cmd::ui_text::SetUITextAlignX, 2u);
    SendCommandArgs(made[2], cmd::ui_text::SetUITextAlignY, 1u);
}

void UIMapInputActor::Precalculate() {
    frame = IdOf(FindDescendantByName(this, "Frame"));
    text = IdOf(FindDescendantByName(this, "Text"));
    label = IdOf(FindDescendantByName(this, "Label"));
    overChild = IdOf(FindDescendantByName(this, "On_Input_Over"));
    focusChild = IdOf(FindDescendantByName(this, "On_Input_Focus"));
    if (Actor *hitArea = Child(frame)) {
        float screen[4] = {};
        hitArea->HandleCommand(cmd::ui_sprite::UiSpriteRect, ParamBlock(screen, sizeof(screen)));
        for (int i = 0; i < 4; ++i) {
            rect[i] = SaturateToI32(screen[i]);
        }
    }
    TellChild(overChild, kUiCmdActionStop);
    TellChild(focusChild, kUiCmdActionStop);
    if (primaryCode == kTakeMapBindings) {
        primaryCode = Binding(action, 0);
        secondCode = Binding(action, 1);
    } else {
        // Bound one after the other, the stored pair comes back exchanged.
        Bind(action, 0);
        for (int32_t code : {primaryCode, secondCode}) {
            if (code != 0) {
                Bind(action, uint32_t(code));
            }
        }
    }
    ShowBindings();
}

void UIMapInputActor::ShowBindings() {
    const std::string first = BindingName(action, 0);
    const std::string second = BindingName(action, 1);
    std::string shown;
    if (!first.empty()) {
        shown = second.empty() ? first : first + " / " + second;
    }
    if (Actor *child = Child(text)) {
        SendCommandArgs(child, cmd::ui_text::SetUITextText, shown);
    }
}

void UIMapInputActor::PointerEvent(ParamBlock block) {
    if (!IsOperational() || active == 0.0f || block.size() < 16) {
        return;
    }
    const int32_t x = block.ReadI32(0);
    const int32_t y = block.ReadI32(4);
    const bool released = block.ReadU32(8) != 0;
    const bool pressed = block.ReadU32(12) != 0;
    // The events run scripts: a deletion they cause waits until this
    // delivery is over.
    ActorDeliveryScope delivery;
    if (rect[0] < x && x < rect[2] && rect[1] < y && y < rect[3]) {
        if (released && capturing == 0 && idleTime > kClickQuiet) {
            HandleCommand(cmd::ui_map_input::OnUIMapInputGetFocus, ParamBlock());
            capturing = 1;
            idleTime = 0.0f;
            // A fresh sample: only what changes from now on is taken.
            CaptureChangedKey();
            CaptureChangedAxis();
        }
        if (hovered == 0) {
            HandleCommand(cmd::ui_map_input::OnUIMapInputOver, ParamBlock());
        }
        hovered = 1;
        return;
    }
    if (hovered != 0) {
        HandleCommand(cmd::ui_map_input::OnUIMapInputOut, ParamBlock());
    }
    hovered = 0;
    if (pressed) {
        // A click elsewhere cancels the capture.
        HandleCommand(cmd::ui_map_input::OnUIMapInputLoseFocus, ParamBlock());
        capturing = 0;
    }
}

void UIMapInputActor::CaptureStep() {
    if (capturing == 0 || !(idleTime > kCaptureDelay)) {
        return;
    }
    if (axis != 0) {
        // An axis row samples but never binds; a click elsewhere ends it.
        CaptureChangedAxis();
        return;
    }
    const InputCode code = CaptureChangedKey();
    if (code == 0) {
        return;
    }
    Bind(action, code);
    HandleCommand(cmd::ui_map_input::OnUIMapInputLoseFocus, ParamBlock());
    capturing = 0;
    idleTime = 0.0f;
    ShowBindings();
}

int UIMapInputActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kUiCmdActionStart:
        active = 1.0f;
        idleTime = 0.0f;
        break;
    case kUiCmdActionStopPost:
        active = 0.0f;
        break;
    case kUiCmdActionStartPost:
        TellChild(overChild, kUiCmdActionStop);
        TellChild(focusChild, kUiCmdActionStop);
        break;
    case kUiCmdPrecalculate:
        Precalculate();
        break;
    case cmd::base::Create: {
        Actor *source = block.size() >= sizeof(Actor *) ? block.ReadActor(0) : nullptr;
        if (source == nullptr) {
            BuildChildren();
        } else if (auto *row = dynamic_cast<UIMapInputActor *>(source); row != nullptr && row != this) {
            // The children are the copy's own: they are looked up again on
            // "Precalculate".
            action = row->action;
            primaryCode = row->primaryCode;
            secondCode = row->secondCode;
            axis = row->axis;
            capturing = row->capturing;
            std::copy(std::begin(row->rect), std::end(row->rect), rect);
            hovered = row->hovered;
            idleTime = row->idleTime;
            active = row->active;
        }
        break;
    }
    case kUiCmdPointerEvent:
        PointerEvent(block);
        break;
    case cmd::ui_map_input::SetUIMapinputMap:
        action = block.ReadU32(0);
        break;
    case cmd::ui_map_input::GetUIMapinputMap:
        block.WriteU32(0, action);
        break;
    case cmd::ui_map_input::SetUIMapinputIsAxis:
        axis = block.ReadU32(0) != 0 ? 1u : 0u;
        break;
    case cmd::ui_map_input::GetUIMapinputIsAxis:
        block.WriteU32(0, axis);
        break;
    case cmd::ui_map_input::OnUIMapInputOver:
    case cmd::ui_map_input::OnUIMapInputOut:
        TellChild(overChild, commandId == cmd::ui_map_input::OnUIMapInputOver ? kUiCmdActionStart
                                                                              : kUiCmdActionStop);
        break;
    case cmd::ui_map_input::OnUIMapInputGetFocus:
    case cmd::ui_map_input::OnUIMapInputLoseFocus:
        TellChild(focusChild, commandId == cmd::ui_map_input::OnUIMapInputGetFocus
                                  ? kUiCmdActionStart
                                  : kUiCmdActionStop);
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void UIMapInputActor::Update() {
    if (!IsOperational() || active == 0.0f) {
        return;
    }
    RefreshTimeRecord(timeRecord);
    if (FrontEndFrameRuns()) {
        idleTime += RootTimeRecord()->delta;
    } else if (timeRecord != nullptr) {
        idleTime += timeRecord->delta;
    }
    CaptureStep();
    Actor::Update();
}

int UIMapInputActor::Serialize(Archive &archive, uint32_t mode) {
    // A failed base record leaves the archive where nothing of ours follows.
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    if (archive.Version() >= 1) {
        if (archive.IsWriting() && action < uint32_t(kActionsPerSet)) {
            primaryCode = Binding(action, 0);
            secondCode = Binding(action, 1);
        }
        uint32_t words[4] = {action, uint32_t(primaryCode), uint32_t(secondCode), axis};
        for (uint32_t &word : words) {
            archive.SerializeWord(&word);
        }
        if (!archive.IsWriting() && !archive.Failed()) {
            action = words[0];
            primaryCode = int32_t(words[1]);
            secondCode = int32_t(words[2]);
        }
    }
    // The stored axis word is not used.
    axis = 0;
    return archive.Failed() ? 0 : 1;
}

void UIMapInputActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("uimapinput action " + std::to_string(action) + " primary " +
                    std::to_string(primaryCode) + " second " + std::to_string(secondCode) +
                    " axis " + std::to_string(axis));
}
