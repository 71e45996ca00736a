#include "game/save_game_actor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/file_system.h"
#include "base/text_table.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/create_source.h"
#include "core/actors/time_record.h"
#include "game/game_sleep.h"
#include "game/ui_button_actor.h"
#include "game/ui_element.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "library/resource_library.h"
#include "library/save_device.h"

namespace {

constexpr uint32_t kGameActorId = 16;
constexpr uint32_t kFirstSlotWord = 2;
constexpr uint32_t kEnoughFreeBytes = 65536;
constexpr uint32_t kMemoryUnit = 2;
constexpr const char *kIndexName = "SaveGame";
const Vector4 kEmptyColor = {1.0f, 1.0f, 1.0f, 0.7f};
const Vector4 kUsedColor = {1.0f, 1.0f, 1.0f, 0.9f};
// What a used slot without its picture says, as the game actor names a
// progress block.
constexpr const char *kMissionWords = "Mission %u";

// clang-format off
const UiSheetRow kSheet[] = {
    {"Save Game Properties", PropertyKind::PageTitle, 0, 0},
    {"Type:|Type0|0|", PropertyKind::Enumeration, cmd::save_game::SetSaveGameType, cmd::save_game::GetSaveGameType},
};
// clang-format on

SaveDeviceLink g_libraryLink;
SaveDeviceLink *g_link = &g_libraryLink;

GameStateBlock g_index = FreshGameState();

SaveDeviceLink &Device() { return *g_link; }

Actor *Resolve(int32_t id) {
    return id >= kFirstUserActorId ? ActorTableEntry(id) : nullptr;
}

void Tell(Actor *actor, uint32_t commandId) {
    if (actor != nullptr) {
        actor->HandleCommand(commandId, ParamBlock());
    }
}

void TellId(int32_t id, uint32_t commandId) { Tell(Resolve(id), commandId); }

// Whether the mission's scene file in the base folder opens through the
// file layer (mission 201 plays mission 3's scene).
bool MissionSceneExists(uint32_t mission) {
    const uint32_t scene = mission == 201 ? 3 : mission;
    ResourceLibrary *library = GetLibrary();
    if (scene == 0 || scene > 99 || library == nullptr) {
        return false;
    }
    char name[64];
    std::snprintf(name, sizeof(name), "\\data\\Mission_%02u_Release.qva", unsigned(scene));
    FileHandle file;
    return file.Open(library->GetBaseFolder() + name, "rb");
}

bool LibraryHasMaterial(const char *name) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr && library->FindItemByName(name, ItemClass::Material) != nullptr;
}

// The index on the device into out: 1 when read whole, 0 when a "SaveGame"
// is there but cannot be opened or read whole (the listing leaves out what
// it cannot open), -1 when there is none.
int ReadIndex(uint32_t device, GameStateBlock &out) {
    uint32_t count = 0;
    uint32_t index = 0;
    if (Device().ListFiles(device, &count) == 0 || count == 0 ||
        Device().FindFile(device, kIndexName, &index) == 0) {
        return Device().HasFile(device, kIndexName) != 0 ? 0 : -1;
    }
    return Device().ReadFile(device, index, out.data(), kGameStateBytes) != 0 ? 1 : 0;
}

} // namespace

// --- the device link ---------------------------------------------------------

uint32_t SaveDeviceLink::IsAvailable(uint32_t device) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->IsSaveDeviceAvailable(device) : 0;
}

uint32_t SaveDeviceLink::Mount(uint32_t device) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->MountSaveDevice(device) : 0;
}

uint32_t SaveDeviceLink::GetState(uint32_t device) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->GetSaveDeviceState(device) : 0;
}

uint32_t SaveDeviceLink::IsInserted(uint32_t device, uint32_t *out) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->IsSaveDeviceInserted(device, out) : 0;
}

uint32_t SaveDeviceLink::GetName(uint32_t device, char *buffer, uint32_t size) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->GetSaveDeviceName(device, buffer, size) : 0;
}

uint32_t SaveDeviceLink::GetSpace(uint32_t device, uint32_t *free, uint32_t *total) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->GetSaveDeviceSpace(device, free, total) : 0;
}

uint32_t SaveDeviceLink::WriteFile(uint32_t device, const char *name, const void *data,
                                   uint32_t size) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->WriteSavedGameFile(device, name, data, size, 0, 0) : 0;
}

uint32_t SaveDeviceLink::ListFiles(uint32_t device, uint32_t *count) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->ListSavedGameFiles(device, count) : 0;
}

uint32_t SaveDeviceLink::ReadFile(uint32_t device, uint32_t index, void *buffer, uint32_t size) {
    ResourceLibrary *library = GetLibrary();
    return library != nullptr ? library->ReadSavedGameFile(device, index, buffer, size) : 0;
}

uint32_t SaveDeviceLink::FindFile(uint32_t device, const char *name, uint32_t *index) {
    return SaveDevice::FindFile(device, name, index);
}

uint32_t SaveDeviceLink::HasFile(uint32_t device, const char *name) {
    return SaveDevice::HasFile(device, name);
}

SaveDeviceLink *SetSaveDeviceLink(SaveDeviceLink *link) {
    SaveDeviceLink *previous = g_link;
    g_link = link != nullptr ? link : &g_libraryLink;
    return previous;
}

GameStateBlock &SaveIndexBuffer() { return g_index; }
void ResetSaveIndexBuffer() { g_index = FreshGameState(); }

std::string FormatRemovedMessage(const std::string &format, const std::string &device,
                                 const std::string &operation) {
    std::string out;
    int used = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (used < 2 && format.compare(i, 2, "%s") == 0) {
            out += used == 0 ? device : operation;
            ++used;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

// --- the actor ---------------------------------------------------------------

SaveGameActor::SaveGameActor() { classId = kSaveGameClassId; }

void SaveGameActor::RegisterClass() { RegisterUiClass(kSaveGameClassId, kSheet); }

Actor *SaveGameActor::InParentTree(const char *name) {
    return parent != nullptr ? FindDescendantByName(parent, name) : nullptr;
}

std::string SaveGameActor::DeviceName() const {
    if (deviceIndex < 0 || size_t(deviceIndex) >= devices.size()) {
        return {};
    }
    return devices[size_t(deviceIndex)];
}

void SaveGameActor::Precalculate() {
    slots.clear();
    if (Actor *window = FindDescendantByName(this, "SavedGameSlots")) {
        slotsWindow = window->actorId;
        std::vector<Actor *> buttons;
        for (uint32_t n = 1; n <= kMaxSlots; ++n) {
            char name[16];
            std::snprintf(name, sizeof(name), "SaveSlot_%02u", unsigned(n));
            Actor *button = FindDescendantByName(window, name);
            if (button == nullptr) {
                break;
            }
            SlotEntry entry;
            entry.button = button->actorId;
            entry.image = IdOf(FindDescendantByName(button, "Img"));
            entry.caption = IdOf(FindDescendantByName(button, "Text"));
            slots.push_back(entry);
        }
    } else {
        slotsWindow = -1;
    }
    deviceWindow = IdOf(FindDescendantByName(this, "Device"));
    auto dialog = [this](const char *name, int32_t &dialogId, int32_t &textId) {
        Actor *found = FindDescendantByName(this, name);
        dialogId = IdOf(found);
        textId = IdOf(FindDescendantByName(found, "Text"));
    };
    dialog("InfoDialog", infoDialog, infoText);
    dialog("InfoOkDialog", infoOkDialog, infoOkText);
    dialog("YesNoDialog", yesNoDialog, yesNoText);
    char name[64] = {};
    Device().GetName(0, name, sizeof(name));
    devices.assign(1, name);
    deviceIndex = 0;
    // Set up while the world brings back the files it started with, in
    // place of a level it could not read: the menu that shows says so.
    const ActorSystem *world = GetActorSystem();
    if (world != nullptr && world->loadingStartFiles != 0 && InActiveMenu()) {
        ShowInfo("UNABLE_TO_LOAD_GAME");
    }
}

bool SaveGameActor::InActiveMenu() const {
    for (const Actor *up = parent; up != nullptr; up = up->parent) {
        if (const auto *menu = dynamic_cast<const UISystemActor *>(up)) {
            return menu->active != 0;
        }
    }
    return false;
}

void SaveGameActor::ShowMessage(int32_t dialog, int32_t text, const char *key) {
    Actor *dialogActor = Resolve(dialog);
    Actor *textActor = Resolve(text);
    if (dialogActor == nullptr || textActor == nullptr) {
        return;
    }
    SendCommandArgs(textActor, cmd::ui_text::SetUITextText, std::string(key));
    Tell(dialogActor, kUiCmdActionStart);
}

void SaveGameActor::ShowInfo(const char *key) { ShowMessage(infoOkDialog, infoOkText, key); }

void SaveGameActor::ShowRemoved(const char *operation) {
    const std::string text =
        FormatRemovedMessage(Translate("MU_REMOVED_DURING_USE"), DeviceName(), Translate(operation));
    ShowMessage(infoOkDialog, infoOkText, text.c_str());
}

void SaveGameActor::ShowDeviceMenu() {
    TellId(infoDialog, kUiCmdActionStop);
    TellId(infoOkDialog, kUiCmdActionStop);
    TellId(yesNoDialog, kUiCmdActionStop);
    TellId(slotsWindow, kUiCmdActionStop);
    delay = 0.0f;
    savePending = 0;
    loadPending = 0;
    Actor *device = Resolve(deviceWindow);
    Tell(device, kUiCmdActionStart);
    if (saveMode == 0) {
        Tell(FindDescendantByName(device, "Back"), kUiCmdActionStart);
    }
}

int SaveGameActor::Refuse(const char *key) {
    ShowDeviceMenu();
    ShowInfo(key);
    return 0;
}

int SaveGameActor::RefuseSlot(const char *key) {
    TellId(infoDialog, kUiCmdActionStop);
    delay = 0.0f;
    savePending = 0;
    loadPending = 0;
    // The list first, so that the message over it takes the focus.
    TellId(slotsWindow, kUiCmdActionStart);
    ShowInfo(key);
    return 0;
}

void SaveGameActor::ActionStart() {
    active = 1;
    Device().IsAvailable(0);
    deviceIndex = 1;
    SendCommandArgs(this, cmd::save_game::SaveGameSelectDevice, 1u);
}

int32_t SaveGameActor::DeviceIndexOf(uint32_t number) const {
    // Numbers below 1 choose the first device, numbers past the list its last.
    const uint32_t last = devices.empty() ? 0 : uint32_t(devices.size()) - 1;
    return int32_t(std::min(number > 0 ? number - 1 : 0, last));
}

void SaveGameActor::SelectDevice(uint32_t number) {
    deviceIndex = DeviceIndexOf(number);
    const uint32_t device = uint32_t(deviceIndex);
    uint32_t state = 0;
    if (saveMode == 0) {
        uint32_t count = 0;
        const uint32_t listed = Device().ListFiles(device, &count);
        state = Device().GetState(device);
        if (listed == 0 && state == 0) {
            ShowDeviceMenu();
            return;
        }
    } else {
        state = Device().GetState(device);
        if (state == 0) {
            ShowDeviceMenu();
            return;
        }
    }
    if (state == 1) {
        ShowInfo("THIS_MU_IS_FULL");
    } else if (state == 2) {
        ShowInfo("THIS_MU_IS_UNUSABLE");
    } else {
        ShowSlots();
        TellId(deviceWindow, kUiCmdActionStop);
    }
}

void SaveGameActor::StartSave() {
    savePending = 1;
    delay = kStartDelay;
    Actor *text = Resolve(infoText);
    if (Resolve(infoDialog) != nullptr && text != nullptr) {
        SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("SAVING_GAME"));
        SendCommandArgs(text, cmd::ui_text::UITextNewlineAddText,
                        std::string("DONT_TURN_OFF_COMPUTER"));
        TellId(infoDialog, kUiCmdActionStart);
    }
}

void SaveGameActor::StartLoad() {
    loadPending = 1;
    delay = kStartDelay;
    Actor *text = Resolve(infoText);
    if (Resolve(infoDialog) == nullptr || text == nullptr) {
        return;
    }
    uint32_t inserted = 0;
    if (Device().IsInserted(uint32_t(std::max(deviceIndex, 0)), &inserted) == 0) {
        ShowDeviceMenu();
        return;
    }
    SendCommandArgs(text, cmd::ui_text::SetUITextText, std::string("LOADING_GAME"));
    SendCommandArgs(text, cmd::ui_text::UITextNewlineAddText,
                    std::string("DONT_TURN_OFF_COMPUTER"));
    TellId(infoDialog, kUiCmdActionStart);
}

void SaveGameActor::SelectSlot(uint32_t number) {
    slotIndex = -1;
    savePending = 0;
    loadPending = 0;
    const uint32_t device = uint32_t(std::max(deviceIndex, 0));
    uint32_t inserted = 0;
    if (Device().IsInserted(device, &inserted) == 0) {
        ShowDeviceMenu();
        return;
    }
    // A slot the list does not hold would read or write past the index.
    if (number == 0 || number > slots.size()) {
        Refuse(saveMode != 0 ? "UNABLE_TO_SAVE_GAME" : "UNABLE_TO_LOAD_GAME");
        return;
    }
    slotIndex = int32_t(number - 1);
    const bool askable = Resolve(yesNoDialog) != nullptr && Resolve(yesNoText) != nullptr;
    if (saveMode == 0) {
        if (!askable) {
            return;
        }
        Actor *resume = InParentTree("Resume");
        uint32_t isStatic = 0;
        if (resume != nullptr) {
            uint32_t word = 0;
            resume->HandleCommand(cmd::ui_button::GetUIButtonStatic,
                                  ParamBlock(&word, sizeof(word)));
            isStatic = word;
        }
        if (resume != nullptr && isStatic != 0) {
            StartLoad();
        } else {
            ShowMessage(yesNoDialog, yesNoText, "QUIT_CURRENT_GAME");
            quitQuestion = 1;
        }
        return;
    }
    overwriteQuestion = 0;
    if (Resolve(slotsWindow) != nullptr && slots[size_t(slotIndex)].empty == 0 && askable) {
        ShowMessage(yesNoDialog, yesNoText, "OVERWRITE_SAVED_GAME");
        overwriteQuestion = 1;
        return;
    }
    uint32_t free = 0;
    uint32_t total = 0;
    Device().GetSpace(device, &free, &total);
    if (free < kEnoughFreeBytes) {
        ShowInfo(inserted == kMemoryUnit ? "MU_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME"
                                         : "HARD_DISK_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME");
        return;
    }
    StartSave();
}

void SaveGameActor::YesNo(uint32_t answer) {
    const uint32_t device = uint32_t(std::max(deviceIndex, 0));
    if (overwriteQuestion != 0) {
        if (answer == 1) {
            uint32_t inserted = 0;
            const uint32_t present = Device().IsInserted(device, &inserted);
            Device().IsAvailable(device);
            if (present == 0 || Device().Mount(device) == 0) {
                ShowDeviceMenu();
                ShowRemoved("SAVE");
                return;
            }
            StartSave();
        }
        overwriteQuestion = 0;
    } else if (quitQuestion != 0) {
        if (answer == 1) {
            StartLoad();
        }
        quitQuestion = 0;
    }
}

void SaveGameActor::Back() {
    TellId(deviceWindow, kUiCmdActionStop);
    TellId(slotsWindow, kUiCmdActionStop);
    Tell(InParentTree(saveMode == 0 ? "MainMenu" : "SaveContinueMenu"), kUiCmdActionStart);
}

int SaveGameActor::ShowSlots() {
    const uint32_t device = uint32_t(std::max(deviceIndex, 0));
    uint32_t count = 0;
    Device().ListFiles(device, &count);
    Actor *window = Resolve(slotsWindow);
    if (window == nullptr) {
        return 1;
    }
    Tell(window, kUiCmdActionStart);
    SendCommandArgs(FindDescendantByName(window, "Info"), cmd::ui_text::SetUITextText,
                    std::string(saveMode == 0 ? "LOAD_GAME_MENU" : "SAVE_GAME_MENU"));
    Tell(FindDescendantByName(window, "Back"),
         saveMode == 0 ? kUiCmdActionStart : kUiCmdActionStop);
    Tell(FindDescendantByName(window, "Continue"),
         saveMode == 0 ? kUiCmdActionStop : kUiCmdActionStart);
    for (SlotEntry &slot : slots) {
        slot.empty = 1;
        slot.mission = 0;
        Actor *image = Resolve(slot.image);
        SendCommandArgs(image, kUiCmdSetResource, std::string("Menu_SaveSlot"));
        SendCommandArgs(image, cmd::ui_text::SetUISpriteColor, kEmptyColor);
        SendCommandArgs(Resolve(slot.button), cmd::ui_button::SetUIButtonStatic,
                        saveMode == 0 ? 1u : 0u);
        SendCommandArgs(Resolve(slot.caption), cmd::ui_text::SetUITextText, std::string());
    }
    int found = -1;
    if (count != 0 || Device().HasFile(device, kIndexName) != 0) {
        // Only the index is read; other files of the folder are left alone.
        GameStateBlock read = g_index;
        found = ReadIndex(device, read);
        Device().IsAvailable(device);
        if (Device().Mount(device) == 0) {
            ShowDeviceMenu();
            ShowRemoved("LOAD");
            return 0;
        }
        if (found == 0) {
            return Refuse("UNABLE_TO_LOAD_GAME");
        }
        if (found == 1) {
            g_index = read;
        }
    }
    uint32_t words = g_index[1];
    if (words > slots.size()) {
        // A saved index with more slot words than the menu has slots: none
        // of them is shown. One not saved yet takes the menu's count.
        if (found == 1) {
            return Refuse(saveMode != 0 ? "UNABLE_TO_SAVE_GAME" : "UNABLE_TO_LOAD_GAME");
        }
        words = uint32_t(slots.size());
    }
    for (uint32_t i = 0; i < words; ++i) {
        const uint32_t mission = g_index[kFirstSlotWord + i];
        if (mission == 0) {
            continue;
        }
        SlotEntry &slot = slots[i];
        slot.empty = 0;
        slot.mission = mission;
        char name[32];
        std::snprintf(name, sizeof(name), "Menu_SaveSlot_%02u", unsigned(mission));
        Actor *image = Resolve(slot.image);
        SendCommandArgs(image, kUiCmdSetResource, std::string(name));
        SendCommandArgs(image, cmd::ui_text::SetUISpriteColor, kUsedColor);
        if (!LibraryHasMaterial(name) && Resolve(slot.caption) != nullptr) {
            // No picture of the mission: the empty one goes and the slot
            // says it in words.
            char said[32];
            std::snprintf(said, sizeof(said), kMissionWords, unsigned(mission));
            SendCommandArgs(image, cmd::ui_sprite::SetUISpriteMaterialID, int32_t(-1));
            SendCommandArgs(Resolve(slot.caption), cmd::ui_text::SetUITextText, std::string(said));
        }
        if (saveMode == 0) {
            SendCommandArgs(Resolve(slot.button), cmd::ui_button::SetUIButtonStatic, 0u);
        }
    }
    Tell(window, kUiCmdActionStart);
    return 1;
}

int SaveGameActor::Save() {
    Actor *game = ActorTableEntry(kGameActorId);
    if (deviceIndex < 0 || slotIndex < 0 || game == nullptr) {
        return 0;
    }
    if (size_t(slotIndex) >= slots.size()) {
        return Refuse("UNABLE_TO_SAVE_GAME");
    }
    SaveExchangeBlock exchange{};
    game->HandleCommand(cmd::inventory::GiveGameState, ParamBlock(&exchange, sizeof(exchange)));
    if (exchange.state == nullptr) {
        return 0;
    }
    const uint32_t mission = exchange.state[0];
    // A save the game could never load again is refused: one without a
    // mission, or of a mission whose scene is not there.
    if (!MissionSceneExists(mission)) {
        return RefuseSlot("UNABLE_TO_SAVE_GAME");
    }
    const uint32_t device = uint32_t(deviceIndex);
    // The index as it is on the device now; one that is there but cannot
    // be read whole is kept for recovery rather than overwritten.
    GameStateBlock index{};
    const int found = ReadIndex(device, index);
    if (found == 0) {
        return Refuse("UNABLE_TO_SAVE_GAME");
    }
    if (found < 0) {
        // A first index has as many slot words as the menu has slots.
        index = FreshGameState();
        index[1] = uint32_t(slots.size());
    }
    // The game's count of slot words, as far as this menu can show them,
    // never hides slots the index already holds.
    const uint32_t words =
        std::max(index[1], std::min(exchange.state[1], uint32_t(slots.size())));
    // Nor is one the slot list could never show: past the slot words.
    if (uint32_t(slotIndex) >= words) {
        return RefuseSlot("UNABLE_TO_SAVE_GAME");
    }
    index[kFirstSlotWord + uint32_t(slotIndex)] = mission;
    index[0] = mission;
    index[1] = words;
    const uint32_t written = Device().WriteFile(device, kIndexName, index.data(), kGameStateBytes);
    if (Device().Mount(device) == 0) {
        ShowDeviceMenu();
        ShowRemoved("SAVE");
        return 0;
    }
    if (written == 0) {
        TellId(infoDialog, kUiCmdActionStop);
        return Refuse("UNABLE_TO_SAVE_GAME");
    }
    g_index = index;
    HandleCommand(cmd::save_game::OnPostSaveGame, ParamBlock());
    GameSleep(kWaitMilliseconds);
    TellId(infoDialog, kUiCmdActionStop);
    return 1;
}

int SaveGameActor::Load() {
    if (deviceIndex < 0 || slotIndex < 0) {
        return 0;
    }
    if (size_t(slotIndex) >= slots.size()) {
        return Refuse("UNABLE_TO_LOAD_GAME");
    }
    const uint32_t mission = slots[size_t(slotIndex)].mission;
    if (!MissionSceneExists(mission)) {
        return RefuseSlot("UNABLE_TO_LOAD_GAME");
    }
    const uint32_t device = uint32_t(deviceIndex);
    GameSleep(kWaitMilliseconds);
    Device().IsAvailable(device);
    if (Device().Mount(device) == 0) {
        ShowDeviceMenu();
        ShowRemoved("LOAD");
        return 0;
    }
    if (Actor *game = ActorTableEntry(kGameActorId)) {
        GameStateBlock block{};
        block[0] = mission;
        block[1] = 6;
        SaveExchangeBlock exchange{};
        exchange.state = block.data();
        exchange.size = kGameStateBytes;
        if (game->HandleCommand(cmd::inventory::TakeGameState,
                                ParamBlock(&exchange, sizeof(exchange))) == 1) {
            HandleCommand(cmd::save_game::OnPostLoadGame, ParamBlock());
            TellId(infoDialog, kUiCmdActionStop);
        }
    } else {
        TellId(infoDialog, kUiCmdActionStop);
    }
    return 1;
}

int SaveGameActor::HandleCommand(uint32_t commandId, ParamBlock block) {
    switch (commandId) {
    case kUiCmdActionStart: {
        const int result = Actor::HandleCommand(commandId, block);
        ActionStart();
        return result;
    }
    case kUiCmdActionStop:
        active = 0;
        break;
    case kUiCmdPrecalculate:
        Precalculate();
        break;
    case cmd::base::Create: {
        if (auto *source = CreateSource(*this, block)) {
            static_cast<SaveGameFields &>(*this) = *source;
        }
        break;
    }
    case cmd::save_game::SetSaveGameType:
        type = block.ReadU32(0);
        break;
    case cmd::save_game::GetSaveGameType:
        block.WriteU32(0, type);
        break;
    case cmd::save_game::SaveGameSetStateLoad:
        saveMode = 0;
        break;
    case cmd::save_game::SaveGameSetStateSave:
        saveMode = 1;
        break;
    case cmd::save_game::SaveGameHiliteDevice:
        deviceIndex = DeviceIndexOf(block.ReadU32(0));
        break;
    case cmd::save_game::SaveGameSelectDevice:
        SelectDevice(block.ReadU32(0));
        break;
    case cmd::save_game::SaveGameSelectGameListItem:
        SelectSlot(block.ReadU32(0));
        break;
    case cmd::save_game::SaveGameYesNoRespons:
        YesNo(block.ReadU32(0));
        break;
    case cmd::save_game::SaveGameBack:
        Back();
        break;
    default:
        break;
    }
    return Actor::HandleCommand(commandId, block);
}

void SaveGameActor::Update() {
    if (IsOperational() && active != 0 && (savePending != 0 || loadPending != 0)) {
        // The events of a save or a load run scripts: a deletion they cause
        // waits until this delivery is over.
        ActorDeliveryScope delivery;
        TimeRecord *clock = RootTimeRecord();
        RefreshTimeRecord(clock);
        const float step = clock != nullptr ? clock->delta : 0.0f;
        if (savePending != 0) {
            delay -= step;
            if (delay < 0.0f) {
                savePending = 0;
                Save();
            }
        }
        if (loadPending != 0) {
            delay -= step;
            if (delay < 0.0f) {
                loadPending = 0;
                Load();
            }
        }
    }
    if (IsOperational()) {
        Actor::Update();
    }
}

int SaveGameActor::Serialize(Archive &archive, uint32_t mode) {
    if (Actor::Serialize(archive, mode) == 0 || archive.Failed()) {
        return 0;
    }
    if (archive.Version() < 1) {
        return 1;
    }
    archive.SerializeWord(&type);
    for (int i = 0; i < 3; ++i) {
        archive.SerializeU32(0);
    }
    return archive.Failed() ? 0 : 1;
}

void SaveGameActor::DumpClassFields(std::vector<std::string> &lines) const {
    lines.push_back("savegame type " + std::to_string(type));
}
