// The Save Game dialog and its save and load flows, against the save device
// over the scene's scratch folder, with a scripted device where the device's
// answers matter and a recorded sleep.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/text_table.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "game/save_game_actor.h"
#include "game/ui_button_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "game/game_sleep.h"
#include "library/library_writer.h"
#include "library/save_device.h"
#include "support/record_file.h"
#include "ui_scene.h"

namespace {

using uitest::UiScene;

constexpr uint32_t kImageClass = 12;
constexpr uint32_t kBlockStartFromParent = 1;

// The device's own answers unless a test scripts them.
class ScriptedDevice : public SaveDeviceLink {
  public:
    uint32_t GetState(uint32_t device) override {
        return state >= 0 ? uint32_t(state) : SaveDeviceLink::GetState(device);
    }
    uint32_t GetSpace(uint32_t device, uint32_t *free, uint32_t *total) override {
        SaveDeviceLink::GetSpace(device, free, total);
        if (space >= 0) {
            *free = uint32_t(space);
        }
        return 1;
    }
    uint32_t IsInserted(uint32_t device, uint32_t *out) override {
        SaveDeviceLink::IsInserted(device, out);
        if (inserted >= 0) {
            *out = uint32_t(inserted);
        }
        return 1;
    }
    uint32_t Mount(uint32_t device) override {
        return mount >= 0 ? uint32_t(mount) : SaveDeviceLink::Mount(device);
    }
    int state = -1, space = -1, inserted = -1, mount = -1;
};

// Actor 16 of the tests: gives its block on 582, keeps a copy of what 581
// hands it and answers with `answer`.
class GameDouble : public Actor {
  public:
    // A running game's block: mission 1, six slot words.
    GameDouble() {
        classId = 10;
        state[0] = 1;
        state[1] = 6;
    }
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        if (commandId == cmd::inventory::GiveGameState) {
            block.Write(offsetof(SaveExchangeBlock, state), state.data());
            return 1;
        }
        if (commandId == cmd::inventory::TakeGameState) {
            const auto *from = block.Read<const uint32_t *>(offsetof(SaveExchangeBlock, state));
            taken.assign(from, from + kGameStateWords);
            takenSize = block.ReadU32(offsetof(SaveExchangeBlock, size));
            return int(answer);
        }
        return Actor::HandleCommand(commandId, block);
    }
    GameStateBlock state{};
    std::vector<uint32_t> taken;
    uint32_t takenSize = 0;
    uint32_t answer = 1;
};

std::vector<uint32_t> g_sleeps;
void RecordSleep(uint32_t ms) { g_sleeps.push_back(ms); }

// While alive, this thread obeys file permissions even as the superuser:
// the capabilities that override them are out of its effective set (and
// back afterwards). Nothing changes where they cannot be dropped.
class DropFileOverride {
  public:
    DropFileOverride() {
        if (syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
        dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = syscall(SYS_capset, &header_, dropped) == 0;
    }
    ~DropFileOverride() {
        if (active_) {
            syscall(SYS_capset, &header_, saved_);
        }
    }
    DropFileOverride(const DropFileOverride &) = delete;
    DropFileOverride &operator=(const DropFileOverride &) = delete;

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool active_ = false;
};

class SaveGameTest : public UiScene {
  protected:
    void SetUp() override {
        UiScene::SetUp();
        InitSaveDevice(0);
        std::filesystem::create_directories(builder.folder / "SaveGames");
        // The scenes of the missions the tests save and load.
        for (const char *n : {"01", "03", "04", "05", "09"}) {
            builder.folder.Put(std::string("Data/Mission_") + n + "_Release.qva", "scene");
        }
        ResetSaveIndexBuffer();
        previousLink = SetSaveDeviceLink(&device);
        previousSleep = SetGameSleep(&RecordSleep);
        g_sleeps.clear();
    }
    void TearDown() override {
        SetSaveDeviceLink(previousLink);
        SetGameSleep(previousSleep);
        SetReplaceFaultForTests(ReplaceStep::None);
        SetSaveDeviceUnopenableForTests(nullptr);
    }
    // A menu with "Resume" and the two menus 1711 goes back to, around a
    // Save Game with its dialogs, device window and the slots numbered so;
    // with `captions` each slot's image holds a "Text".
    void Build(std::vector<int> numbers, bool resumeStatic = true, bool captions = false,
               bool menuActive = false) {
        Actor *menu = Menu(menuActive);
        Actor *resume = Make(kUiButtonClassId, "Resume", menu, {});
        SendCommandArgs(resume, cmd::ui_button::SetUIButtonStatic, resumeStatic ? 1u : 0u);
        Make(kUiWindowClassId, "MainMenu", menu, {});
        Make(kUiWindowClassId, "SaveContinueMenu", menu, {});
        Actor *saver = Make(kSaveGameClassId, "Saver", menu, {});
        Actor *slotsWindow = Make(kUiWindowClassId, "SavedGameSlots", saver, {});
        Make(kUiTextClassId, "Info", slotsWindow, {});
        // What the Save Game shows and hides itself is not started with
        // its parent.
        Make(kUiButtonClassId, "Back", slotsWindow, {})->actionFlags |= kBlockStartFromParent;
        Make(kUiButtonClassId, "Continue", slotsWindow, {})->actionFlags |= kBlockStartFromParent;
        for (int n : numbers) {
            char name[24];
            std::snprintf(name, sizeof(name), "SaveSlot_%02d", n);
            Actor *slot = Make(kUiButtonClassId, name, slotsWindow, {});
            Actor *image = builder.Make(int32_t(kImageClass), "Img", slot);
            if (captions) {
                Make(kUiTextClassId, "Text", image, {});
            }
        }
        Actor *deviceWindow = Make(kUiWindowClassId, "Device", saver, {});
        deviceWindow->actionFlags |= kBlockStartFromParent;
        Make(kUiButtonClassId, "Back", deviceWindow, {})->actionFlags |= kBlockStartFromParent;
        for (const char *name : {"InfoDialog", "InfoOkDialog", "YesNoDialog"}) {
            Actor *dialog = Make(kUiWindowClassId, name, saver, {});
            dialog->actionFlags |= kBlockStartFromParent;
            Make(kUiTextClassId, "Text", dialog, {});
        }
        Load();
        game = static_cast<GameDouble *>(
            CreateActor(10, "Inventory", nullptr, nullptr, 16, true));
        saver_ = Find<SaveGameActor>("Saver");
        ASSERT_NE(saver_, nullptr);
        spies.Watch(saver_);
    }
    // The index file with the words set (others 0), written by the device.
    void PutIndex(std::initializer_list<std::pair<uint32_t, uint32_t>> words) {
        GameStateBlock index{};
        for (auto [word, value] : words) {
            index[word] = value;
        }
        ASSERT_EQ(SaveDevice::WriteFile(0, "SaveGame", index.data(), kGameStateBytes, 0, 0), 1u);
    }
    GameStateBlock IndexOnDisk() {
        GameStateBlock index{};
        std::ifstream in(builder.folder / "SaveGames/SaveGame", std::ios::binary);
        in.seekg(8);
        in.read(reinterpret_cast<char *>(index.data()), kGameStateBytes);
        return index;
    }
    // Sends the command with a word (or none) to the Save Game.
    void Send(uint32_t commandId) { saver_->HandleCommand(commandId, ParamBlock()); }
    void Send(uint32_t commandId, uint32_t value) { SendCommandArgs(saver_, commandId, value); }
    // Opens the screen in the mode and picks the 1-based slot.
    void Pick(bool save, uint32_t slot) {
        Send(save ? cmd::save_game::SaveGameSetStateSave : cmd::save_game::SaveGameSetStateLoad);
        Send(kUiCmdActionStart);
        Send(cmd::save_game::SaveGameSelectGameListItem, slot);
    }
    static std::string TextOf(const char *dialog) {
        return static_cast<UITextActor *>(FindDescendantByName(Find<Actor>(dialog), "Text"))->text;
    }
    static bool Shown(Actor *actor) { return (actor->state & kActorEnabled) != 0; }
    static bool Shown(const char *name) { return Shown(Find<Actor>(name)); }
    static game::Recorder *Image(int slot) {
        char name[24];
        std::snprintf(name, sizeof(name), "SaveSlot_%02d", slot);
        return static_cast<game::Recorder *>(FindDescendantByName(Find<Actor>(name), "Img"));
    }
    // The last resource and alpha given to the slot's image.
    static std::pair<std::string, float> Look(int slot) {
        game::Recorder *image = Image(slot);
        const auto resources = image->Of(kUiCmdSetResource);
        const auto colors = image->Of(cmd::ui_text::SetUISpriteColor);
        if (resources.empty() || colors.empty()) {
            return {"", 0.0f};
        }
        return {reinterpret_cast<const char *>(resources.back().block.data()), colors.back().F32(12)};
    }
    static uint32_t IsStatic(int slot) {
        char name[24];
        std::snprintf(name, sizeof(name), "SaveSlot_%02d", slot);
        return Find<UIButtonActor>(name)->isStatic;
    }
    // Frames until the pending save or load ran.
    void RunPending() {
        for (int i = 0; i < 20 && (saver_->savePending != 0 || saver_->loadPending != 0); ++i) {
            saver_->Update();
            runner.Step();
        }
    }

    game::RecorderClass images{kImageClass};
    game::RecorderClass games{10, [] { return static_cast<Actor *>(new GameDouble()); }};
    ScriptedDevice device;
    SaveDeviceLink *previousLink = nullptr;
    GameSleepFunction previousSleep = nullptr;
    scene::SpyLog spies;
    GameDouble *game = nullptr;
    SaveGameActor *saver_ = nullptr;
};

TEST_F(SaveGameTest, ClassSheetAndRecord) {
    Build({1});
    const ActorClassDescriptor &descriptor = NameClassDescriptor(kSaveGameClassId);
    EXPECT_EQ(descriptor.name, "Save Game");
    ASSERT_EQ(descriptor.items.size(), 2u);
    EXPECT_EQ(descriptor.items[0].label, "Save Game Properties");
    EXPECT_EQ(descriptor.items[1].label, "Type:|Type0|0|");

    Send(cmd::save_game::SetSaveGameType, 3);
    auto *copy = static_cast<SaveGameActor *>(builder.Make(int32_t(kSaveGameClassId), "Copy"));
    EXPECT_EQ(RoundTrip(*saver_, *copy, 70), 1);
    EXPECT_EQ(copy->type, 3u);
    // The record ends with the type and three zero words.
    const std::string path = builder.folder / "whole.bin";
    ASSERT_TRUE(recordfile::Write(*saver_, path, 70));
    const std::string bytes = builder.folder.Get("whole.bin");
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(bytes.substr(bytes.size() - 16), std::string("\x03\0\0\0", 4) + std::string(12, '\0'));
    // A record cut inside the base part stops the read before the type.
    std::filesystem::resize_file(path, 24);
    auto *cut = static_cast<SaveGameActor *>(builder.Make(int32_t(kSaveGameClassId), "Cut"));
    EXPECT_EQ(recordfile::Read(*cut, path, 70), 0);
    EXPECT_EQ(cut->type, 0u);
}

TEST_F(SaveGameTest, SlotListStopsAtTheFirstGapAndAtTwenty) {
    Build({1, 2, 3, 4, 6});
    EXPECT_EQ(saver_->slots.size(), 4u);
    EXPECT_EQ(saver_->devices, std::vector<std::string>{"Hard Disc"});
    // Device numbers past the one device choose it all the same.
    Send(cmd::save_game::SaveGameHiliteDevice, 7);
    EXPECT_EQ(saver_->deviceIndex, 0);
}

TEST_F(SaveGameTest, SlotListHoldsAtMostTwenty) {
    std::vector<int> numbers;
    for (int n = 1; n <= 25; ++n) {
        numbers.push_back(n);
    }
    Build(numbers);
    EXPECT_EQ(saver_->slots.size(), 20u);
}

TEST_F(SaveGameTest, ActionStartShowsTheSlotListForTheMode) {
    Build({1, 2, 3, 4, 5, 6});
    Actor *slotsWindow = Find<Actor>("SavedGameSlots");
    Actor *back = FindDescendantByName(slotsWindow, "Back");
    Actor *next = FindDescendantByName(slotsWindow, "Continue");
    for (bool save : {false, true}) {
        Send(save ? cmd::save_game::SaveGameSetStateSave : cmd::save_game::SaveGameSetStateLoad);
        EXPECT_EQ(saver_->HandleCommand(kUiCmdActionStart, ParamBlock()),
                  saver_->Actor::HandleCommand(kUiCmdActionStart, ParamBlock()));
        EXPECT_EQ(saver_->active, 1u);
        EXPECT_TRUE(Shown(slotsWindow));
        EXPECT_FALSE(Shown("Device"));
        EXPECT_EQ(Find<UITextActor>("Info")->text, save ? "SAVE_GAME_MENU" : "LOAD_GAME_MENU");
        EXPECT_EQ(Shown(back), !save);
        EXPECT_EQ(Shown(next), save);
    }
    // Without a file every slot is empty; in load mode none can be chosen.
    for (int slot = 1; slot <= 6; ++slot) {
        EXPECT_EQ(Look(slot), (std::pair<std::string, float>{"Menu_SaveSlot", 0.7f}));
        EXPECT_EQ(IsStatic(slot), 0u);
    }
    Send(cmd::save_game::SaveGameSetStateLoad);
    Send(kUiCmdActionStart);
    EXPECT_EQ(IsStatic(6), 1u);
}

TEST_F(SaveGameTest, UsedSlotsAndAnIndexWithTooManySlotWords) {
    PutIndex({{0, 4}, {1, 6}, {3, 4}});
    Build({1, 2, 3, 4, 5, 6});
    Send(cmd::save_game::SaveGameSetStateLoad);
    Send(kUiCmdActionStart);
    EXPECT_EQ(Look(2), (std::pair<std::string, float>{"Menu_SaveSlot_04", 0.9f}));
    EXPECT_EQ(std::pair(IsStatic(1), IsStatic(2)), std::pair(1u, 0u));
    EXPECT_EQ(saver_->slots[1].mission, 4u);

    PutIndex({{0, 4}, {1, 7}, {3, 4}});
    Send(kUiCmdActionStart);
    EXPECT_EQ(Look(2).first, "Menu_SaveSlot");
    EXPECT_EQ(saver_->slots[1].empty, 1u);
}

TEST_F(SaveGameTest, SavingSlotThreeKeepsTheOthers) {
    PutIndex({{0, 2}, {1, 6}, {2, 1}, {3, 2}});
    Build({1, 2, 3, 4, 5, 6});
    game->state[0] = 5;
    game->state[1] = 6;
    game->state[9] = 77; // not part of the index
    Pick(true, 3);
    EXPECT_EQ(saver_->savePending, 1u);
    // The message is up, and drawn, before the blocking save.
    EXPECT_EQ(TextOf("InfoDialog"), "SAVING_GAME\nDONT_TURN_OFF_COMPUTER");
    EXPECT_TRUE(Shown("InfoDialog"));
    EXPECT_EQ(IndexOnDisk()[4], 0u);
    // Saved meanwhile by someone else: the save builds on the index as it is.
    PutIndex({{0, 2}, {1, 6}, {2, 1}, {3, 2}, {7, 3}});
    RunPending();
    GameStateBlock expected{};
    expected[0] = 5;
    expected[1] = 6;
    expected[2] = 1;
    expected[3] = 2;
    expected[4] = 5;
    expected[7] = 3;
    EXPECT_EQ(IndexOnDisk(), expected);
    EXPECT_EQ(SaveIndexBuffer(), expected);
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 1u);
    EXPECT_EQ(g_sleeps, std::vector<uint32_t>{2000});
    EXPECT_FALSE(Shown("InfoDialog"));
}

TEST_F(SaveGameTest, OccupiedSlotAsksBeforeOverwriting) {
    PutIndex({{0, 4}, {1, 6}, {2, 4}});
    Build({1, 2, 3, 4, 5, 6});
    game->state = {9, 6};
    Pick(true, 1);
    EXPECT_EQ(TextOf("YesNoDialog"), "OVERWRITE_SAVED_GAME");
    EXPECT_EQ(saver_->savePending, 0u);
    Send(cmd::save_game::SaveGameYesNoRespons, 0);
    EXPECT_EQ(std::pair(saver_->overwriteQuestion, saver_->savePending), std::pair(0u, 0u));
    Pick(true, 1);
    Send(cmd::save_game::SaveGameYesNoRespons, 1);
    RunPending();
    EXPECT_EQ(IndexOnDisk()[2], 9u);
}

TEST_F(SaveGameTest, LoadWhileAGameRunsAsksToQuitFirst) {
    PutIndex({{0, 4}, {1, 6}, {3, 4}});
    Build({1, 2, 3, 4, 5, 6}, false);
    Pick(false, 2);
    EXPECT_EQ(TextOf("YesNoDialog"), "QUIT_CURRENT_GAME");
    EXPECT_EQ(saver_->loadPending, 0u);
    Send(cmd::save_game::SaveGameYesNoRespons, 1);
    EXPECT_EQ(TextOf("InfoDialog"), "LOADING_GAME\nDONT_TURN_OFF_COMPUTER");
    RunPending();
    ASSERT_EQ(game->taken.size(), size_t(kGameStateWords));
    std::vector<uint32_t> expected(kGameStateWords, 0);
    expected[0] = 4;
    expected[1] = 6;
    EXPECT_EQ(game->taken, expected);
    EXPECT_EQ(game->takenSize, kGameStateBytes);
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostLoadGame), 1u);
    EXPECT_FALSE(Shown("InfoDialog"));
}

TEST_F(SaveGameTest, RefusedLoadsRaiseNothing) {
    // Slot 1 holds mission 7 (no scene), slot 2 mission 201 (mission 3's).
    PutIndex({{0, 4}, {1, 6}, {2, 7}, {3, 201}});
    Build({1, 2, 3, 4, 5, 6});
    Pick(false, 50);
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
    EXPECT_TRUE(Shown("Device"));
    Pick(false, 1);
    RunPending();
    EXPECT_TRUE(game->taken.empty());
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
    // An answer other than 1 leaves the dialog up and raises nothing.
    game->answer = 0;
    Pick(false, 2);
    RunPending();
    EXPECT_EQ(game->taken.at(0), 201u);
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostLoadGame), 0u);
    EXPECT_TRUE(Shown("InfoDialog"));
}

TEST_F(SaveGameTest, ScriptedDeviceAnswers) {
    Build({1, 2, 3, 4, 5, 6});
    struct Case {
        int state, space, inserted, mount;
        bool save;
        const char *message;
    };
    const Case cases[] = {
        {-1, 65535, -1, -1, true, "HARD_DISK_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME"},
        {-1, 65535, 2, -1, true, "MU_NOT_ENOUGH_FREE_BLOCKS_FOR_SAVE_GAME"},
        {1, -1, -1, -1, true, "THIS_MU_IS_FULL"},
        {2, -1, -1, -1, false, "THIS_MU_IS_UNUSABLE"},
        {-1, -1, -1, 0, true, "MU_REMOVED_DURING_USE"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        device.state = c.state;
        device.space = c.space;
        device.inserted = c.inserted;
        device.mount = c.mount;
        SendCommandArgs(Find<Actor>("InfoOkDialog"), kUiCmdActionStop);
        if (c.state >= 0) {
            Send(c.save ? cmd::save_game::SaveGameSetStateSave
                        : cmd::save_game::SaveGameSetStateLoad);
            Send(kUiCmdActionStart);
        } else {
            Pick(c.save, 1);
            RunPending();
        }
        EXPECT_TRUE(Shown("InfoOkDialog"));
        EXPECT_EQ(TextOf("InfoOkDialog"), c.message);
    }
    // State 0 goes back to the device menu, with "Back" in load mode.
    device = ScriptedDevice();
    device.state = 0;
    Send(cmd::save_game::SaveGameSetStateSave);
    Send(cmd::save_game::SaveGameSelectDevice, 1);
    EXPECT_TRUE(Shown("Device"));
    EXPECT_FALSE(Shown("SavedGameSlots"));
}

TEST_F(SaveGameTest, RemovedDeviceMessageTakesNameAndOperation) {
    ASSERT_TRUE(CreateTextTable());
    TextTable::Instance()->Parse("0\nMU_REMOVED_DURING_USE }\n%s %n %s %d }\nSAVE }\nsaving }\n");
    Build({1});
    device.mount = 0;
    Pick(true, 1);
    RunPending();
    EXPECT_EQ(TextOf("InfoOkDialog"), "Hard Disc %n saving %d");
    EXPECT_EQ(FormatRemovedMessage("%s%s%s%%", "A", "B"), "AB%s%%");
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 0u);
}

TEST_F(SaveGameTest, BackShowsTheMenuOfTheMode) {
    Build({1});
    for (const char *name : {"MainMenu", "SaveContinueMenu"}) {
        SendCommandArgs(Find<Actor>(name), kUiCmdActionStop);
    }
    Send(cmd::save_game::SaveGameSetStateLoad);
    Send(cmd::save_game::SaveGameBack);
    EXPECT_TRUE(Shown("MainMenu"));
    EXPECT_FALSE(Shown("SaveContinueMenu"));
    Send(cmd::save_game::SaveGameSetStateSave);
    Send(cmd::save_game::SaveGameBack);
    EXPECT_TRUE(Shown("SaveContinueMenu"));
}

TEST_F(SaveGameTest, FailedWriteKeepsTheIndex) {
    PutIndex({{0, 4}, {1, 6}, {2, 4}});
    Build({1, 2, 3, 4, 5, 6});
    game->state = {5, 6};
    Pick(true, 2);
    const GameStateBlock before = SaveIndexBuffer();
    SetReplaceFaultForTests(ReplaceStep::Rename);
    RunPending();
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_SAVE_GAME");
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 0u);
    EXPECT_EQ(SaveIndexBuffer(), before);
    EXPECT_EQ(IndexOnDisk()[3], 0u);
}

TEST_F(SaveGameTest, DamagedIndexBlocksLoadingAndSaving) {
    PutIndex({{0, 4}, {1, 6}, {2, 4}});
    Build({1, 2, 3, 4, 5, 6});
    std::filesystem::resize_file(builder.folder / "SaveGames/SaveGame", 100);
    const GameStateBlock before = SaveIndexBuffer();
    Send(cmd::save_game::SaveGameSetStateLoad);
    Send(kUiCmdActionStart);
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
    EXPECT_EQ(SaveIndexBuffer(), before);
    game->state = {5, 6};
    Pick(true, 2);
    RunPending();
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_SAVE_GAME");
    EXPECT_EQ(std::filesystem::file_size(builder.folder / "SaveGames/SaveGame"), 100u);
}

TEST_F(SaveGameTest, AnIndexThatCannotBeOpenedBlocksTheSave) {
    const std::string path = builder.folder / "SaveGames/SaveGame";
    PutIndex({{0, 4}, {1, 6}, {3, 4}, {4, 3}, {5, 4}, {6, 3}, {7, 4}});
    const std::string before = builder.folder.Get("SaveGames/SaveGame");
    Build({1, 2, 3, 4, 5, 6});
    game->state = {5, 6};
    // Left out of the listing by the device's hook, then by its permissions.
    for (bool hook : {true, false}) {
        SCOPED_TRACE(hook ? "hook" : "permissions");
        DropFileOverride dropped;
        if (hook) {
            SetSaveDeviceUnopenableForTests("SaveGame");
        } else {
            SetSaveDeviceUnopenableForTests(nullptr);
            std::filesystem::permissions(path, std::filesystem::perms::none);
            if (std::ifstream(path).is_open()) {
                GTEST_SKIP() << "this process reads files without read permission";
            }
        }
        SaveDevice::WriteFile(0, "Other", "x", 1, 0, 0); // the listing is made again
        Pick(true, 1);
        EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
        RunPending();
        EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_SAVE_GAME");
        EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 0u);
        std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write);
        EXPECT_EQ(builder.folder.Get("SaveGames/SaveGame"), before);
    }
}

TEST_F(SaveGameTest, SavesTheSlotListCouldNeverShowAreRefused) {
    // An index with more slot words than the menu has slots: the menu says
    // so in both modes instead of showing every slot empty.
    PutIndex({{0, 4}, {1, 9}, {2, 4}});
    Build({1, 2, 3, 4, 5, 6, 7, 8});
    for (bool save : {false, true}) {
        SendCommandArgs(Find<Actor>("InfoOkDialog"), kUiCmdActionStop);
        Send(save ? cmd::save_game::SaveGameSetStateSave : cmd::save_game::SaveGameSetStateLoad);
        Send(kUiCmdActionStart);
        EXPECT_TRUE(Shown("InfoOkDialog"));
        EXPECT_EQ(TextOf("InfoOkDialog"), save ? "UNABLE_TO_SAVE_GAME" : "UNABLE_TO_LOAD_GAME");
        EXPECT_FALSE(Shown("SavedGameSlots"));
    }
    // Six slot words: slot 7 is past them, and a block without a mission
    // leaves every slot empty.
    PutIndex({{0, 4}, {1, 6}, {2, 4}});
    const std::string before = builder.folder.Get("SaveGames/SaveGame");
    for (const GameStateBlock &block : {GameStateBlock{5, 6}, GameStateBlock{0, 6}}) {
        SendCommandArgs(Find<Actor>("InfoOkDialog"), kUiCmdActionStop);
        game->state = block;
        Pick(true, block[0] != 0 ? 7 : 2);
        RunPending();
        EXPECT_TRUE(Shown("InfoOkDialog"));
        EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_SAVE_GAME");
    }
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 0u);
    EXPECT_EQ(builder.folder.Get("SaveGames/SaveGame"), before);
    // Slot 6 of the same menu saves.
    game->state = {5, 6};
    Pick(true, 6);
    RunPending();
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 1u);
    EXPECT_EQ(IndexOnDisk()[7], 5u);
}

TEST_F(SaveGameTest, AFourSlotMenuSavesListsAndLoads) {
    // No index yet: the menu's four slots are the slot words.
    Build({1, 2, 3, 4});
    game->state = {5, 6};
    Pick(true, 4);
    RunPending();
    EXPECT_EQ(TextOf("InfoOkDialog"), "");
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 1u);
    EXPECT_EQ(std::pair(IndexOnDisk()[1], IndexOnDisk()[5]), std::pair(4u, 5u));
    Send(cmd::save_game::SaveGameSetStateLoad);
    Send(kUiCmdActionStart);
    EXPECT_TRUE(Shown("SavedGameSlots"));
    EXPECT_EQ(std::pair(IsStatic(3), IsStatic(4)), std::pair(1u, 0u));
    Pick(false, 4);
    RunPending();
    ASSERT_FALSE(game->taken.empty());
    EXPECT_EQ(game->taken[0], 5u);
    // An index saved with six slot words is more than these four can show.
    PutIndex({{0, 5}, {1, 6}, {5, 5}});
    Send(kUiCmdActionStart);
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
    EXPECT_FALSE(Shown("SavedGameSlots"));
}

TEST_F(SaveGameTest, ARefusedSlotLeavesTheListUnderItsMessage) {
    // Slot 1 holds mission 7, whose scene is not there.
    PutIndex({{0, 7}, {1, 6}, {2, 7}});
    Build({1, 2, 3, 4, 5, 6});
    const auto listUnderMessage = [](const char *key) {
        EXPECT_EQ(TextOf("InfoOkDialog"), key);
        EXPECT_TRUE(Shown("InfoOkDialog") && Shown("SavedGameSlots"));
        EXPECT_FALSE(Shown("Device") || Shown("InfoDialog"));
        EXPECT_EQ(FocusedWindow, Find<Actor>("InfoOkDialog"));
    };
    Pick(false, 1);
    RunPending();
    listUnderMessage("UNABLE_TO_LOAD_GAME");
    // "OK" closes the message: the slots take the pointer again.
    SendCommandArgs(Find<Actor>("InfoOkDialog"), kUiCmdActionStop);
    EXPECT_EQ(FocusedWindow, Find<Actor>("SavedGameSlots"));
    // A save of that mission could not be loaded again either.
    game->state = {7, 6};
    const std::string before = builder.folder.Get("SaveGames/SaveGame");
    Pick(true, 2);
    RunPending();
    listUnderMessage("UNABLE_TO_SAVE_GAME");
    EXPECT_EQ(builder.folder.Get("SaveGames/SaveGame"), before);
    EXPECT_EQ(spies.Count("Saver", cmd::save_game::OnPostSaveGame), 0u);
}

TEST_F(SaveGameTest, AUsedSlotWithoutItsPictureSaysItsMission) {
    MaterialItem picture;
    picture.name = "Menu_SaveSlot_04";
    LibraryWriter writer;
    writer.AddItem(41, picture);
    ASSERT_TRUE(scene::AddToLibrary(*runner.library, writer.WriteToMemory()));
    PutIndex({{0, 4}, {1, 3}, {2, 4}, {3, 7}});
    Build({1, 2, 3}, true, true);
    // Three slot words for three slots.
    const auto caption = [](int slot) {
        char name[24];
        std::snprintf(name, sizeof(name), "SaveSlot_%02d", slot);
        return static_cast<UITextActor *>(FindDescendantByName(Find<Actor>(name), "Text"))->text;
    };
    Send(cmd::save_game::SaveGameSetStateLoad);
    Send(kUiCmdActionStart);
    EXPECT_EQ(std::pair(Look(1), caption(1)),
              std::pair(std::pair<std::string, float>{"Menu_SaveSlot_04", 0.9f}, std::string()));
    // Mission 7 has no picture: the empty one goes, under the words.
    const auto dropped = [](int slot) {
        const auto ids = Image(slot)->Of(cmd::ui_sprite::SetUISpriteMaterialID);
        return !ids.empty() && ids.back().Read<int32_t>() == -1;
    };
    EXPECT_EQ(std::pair(Look(2), caption(2)),
              std::pair(std::pair<std::string, float>{"Menu_SaveSlot_07", 0.9f},
                        std::string("Mission 7")));
    EXPECT_TRUE(dropped(2));
    EXPECT_FALSE(dropped(1));
    EXPECT_EQ(std::pair(Look(3), caption(3)),
              std::pair(std::pair<std::string, float>{"Menu_SaveSlot", 0.7f}, std::string()));
    // Emptied, the slot loses its words.
    PutIndex({{0, 4}, {1, 3}, {2, 4}});
    Send(kUiCmdActionStart);
    EXPECT_EQ(std::pair(Look(2), caption(2)),
              std::pair(std::pair<std::string, float>{"Menu_SaveSlot", 0.7f}, std::string()));
}

TEST_F(SaveGameTest, SetUpWhileTheStartFilesComeBackItSaysTheLoadFailed) {
    // The world loads the files it started with in place of a level it
    // could not read: the Save Game of the menu that shows tells it.
    ActorSystem *world = GetActorSystem();
    world->loadingStartFiles = 1;
    Build({1}, true, false, true);
    world->loadingStartFiles = 0;
    EXPECT_TRUE(Shown("InfoOkDialog"));
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
    EXPECT_EQ(FocusedWindow, Find<Actor>("InfoOkDialog"));
    // Set up again in an ordinary load, or in a menu that is not shown, it
    // says nothing.
    static_cast<UITextActor *>(FindDescendantByName(Find<Actor>("InfoOkDialog"), "Text"))->text =
        "";
    saver_->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    SendCommandArgs(Find<Actor>("Menu"), cmd::ui_system::UISystemDeactivate);
    world->loadingStartFiles = 1;
    saver_->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    world->loadingStartFiles = 0;
    EXPECT_EQ(TextOf("InfoOkDialog"), "");
}

} // namespace
