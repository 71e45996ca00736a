// Saving and loading through the Save Game of an open menu, in a loaded
// scene run frame by frame with the front-end actor of the engine: the slot
// list of each mode, the dialog drawn before the blocking save, the saved
// index, the load handed to the front end and the mission it starts once
// the menu has closed; and a failed write, a damaged index and a second
// slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "base/file_system.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "game/game_sleep.h"
#include "game/inventory_actor.h"
#include "game/save_game_actor.h"
#include "game/ui_button_actor.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "library/save_device.h"
#include "support/fake_film.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kBlockStartFromParent = 1;
constexpr int kSlots = 6;

std::vector<uint32_t> g_sleeps;
void RecordSleep(uint32_t ms) { g_sleeps.push_back(ms); }

// The slot pictures beside the scene library.
bool AddSlotMaterials(ResourceLibrary &library) {
    MaterialItem empty, used;
    empty.name = "Menu_SaveSlot";
    used.name = "Menu_SaveSlot_04";
    LibraryWriter writer;
    writer.AddItem(40, empty);
    writer.AddItem(41, used);
    return scene::AddToLibrary(library, writer.WriteToMemory());
}

std::string SlotName(int n) {
    char name[24];
    std::snprintf(name, sizeof(name), "SaveSlot_%02d", n);
    return name;
}

// What one slot shows: picture, its alpha, and whether it can be chosen.
struct Slot {
    std::string picture;
    float alpha;
    bool selectable;
    bool operator==(const Slot &) const = default;
};
void PrintTo(const Slot &s, std::ostream *os) {
    *os << s.picture << " " << s.alpha << (s.selectable ? " selectable" : " static");
}

class SaveLoadScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        ASSERT_TRUE(AddSlotMaterials(*runner.library));
        InventoryActor::Module() = {};
        InitSaveDevice(0);
        ResetSaveIndexBuffer();
        std::filesystem::create_directories(builder.folder / "SaveGames");
        builder.folder.Put("Data/Mission_04.mpg", "film");
        previousSleep = SetGameSleep(&RecordSleep);
        g_sleeps.clear();
        Build();
    }
    void TearDown() override {
        SetGameSleep(previousSleep);
        SetReplaceFaultForTests(ReplaceStep::None);
    }
    Actor *Make(uint32_t classId, const std::string &name, Actor *parent, float x, float y,
                bool withParent = true) {
        Actor *actor = builder.Make(int32_t(classId), name, parent);
        SendCommandArgs(actor, kUiCmdSetPosition, Vector3{x, y, 0.0f});
        if (!withParent) {
            actor->actionFlags |= kBlockStartFromParent;
        }
        return actor;
    }
    // An open menu "Menu" (640 x 480) with a static "Resume" and the Save
    // Game "SaveGame": six slots with pictures, the device window and the
    // three dialogs. "On Post Load Game" closes the menu.
    void Build() {
        Actor *menu = builder.Make(int32_t(kUiSystemClassId), "Menu");
        SendCommandArgs(menu, cmd::ui_system::SetUISystemRefWidth, 640.0f);
        SendCommandArgs(menu, cmd::ui_system::SetUISystemRefHeight, 480.0f);
        SendCommandArgs(menu, cmd::ui_system::SetUiSystemActive, 1u);
        SendCommandArgs(Make(kUiButtonClassId, "Resume", menu, 0, 0),
                        cmd::ui_button::SetUIButtonStatic, 1u);
        Actor *saver = Make(kSaveGameClassId, "SaveGame", menu, 0, 0);
        Actor *slots = Make(kUiWindowClassId, "SavedGameSlots", saver, 0, 0);
        Make(kUiTextClassId, "Info", slots, 20, 20);
        for (int n = 1; n <= kSlots; ++n) {
            Actor *slot = Make(kUiButtonClassId, SlotName(n), slots, 20.0f + 100.0f * float(n - 1), 100);
            Make(kUiSpriteClassId, "Img", slot, 0, 0);
        }
        Make(kUiButtonClassId, "Back", slots, 20, 400, false);
        Actor *device = Make(kUiWindowClassId, "Device", saver, 0, 0, false);
        Make(kUiButtonClassId, "Back", device, 20, 400, false);
        for (const char *name : {"InfoDialog", "InfoOkDialog", "YesNoDialog"}) {
            Make(kUiTextClassId, "Text", Make(kUiWindowClassId, name, saver, 200, 200, false), 0,
                 0);
        }
        std::string error;
        ASSERT_TRUE(scene::SceneBuilder::AddScript(saver, cmd::save_game::OnPostLoadGame,
                                                   "/Scenery/Menu.UI_System_Deactivate();", &error))
            << error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        // The scene files of missions 3 and 4 beside it (never loaded here):
        // a game is saved only at a mission that can be loaded again.
        for (const char *scene : {"Data/Mission_03_Release.qva", "Data/Mission_04_Release.qva"}) {
            std::filesystem::copy_file(builder.folder / "Data/Scene.qva", builder.folder / scene);
        }
        saver_ = dynamic_cast<SaveGameActor *>(scene::SceneBuilder::Find("SaveGame"));
        inventory = dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId));
        ASSERT_TRUE(saver_ != nullptr && inventory != nullptr);
        inventory->gameState[0] = 4;
        spies.Watch(saver_);
        spies.Watch(GetActorSystem());
        // The loads asked for are noted, never run.
        runner.preStep = [](uint32_t) { GetActorSystem()->loadPending = 0; };
        runner.Step();
    }

    void Send(uint32_t commandId) { saver_->HandleCommand(commandId, ParamBlock()); }
    // Opens the slot list in the mode.
    void Open(bool save) {
        Send(save ? cmd::save_game::SaveGameSetStateSave : cmd::save_game::SaveGameSetStateLoad);
        Send(kUiCmdActionStart);
    }
    // Chooses the 1-based slot and runs frames until the save or load has
    // run; the frames drawn before it ran that showed the message.
    int Choose(uint32_t slot, const char *message = "SAVING_GAME") {
        SendCommandArgs(saver_, cmd::save_game::SaveGameSelectGameListItem, slot);
        int drawn = 0;
        for (int i = 0; i < 30 && (saver_->savePending != 0 || saver_->loadPending != 0); ++i) {
            runner.Step();
            if (saver_->savePending != 0 || saver_->loadPending != 0) {
                drawn += Drawn(message) && Drawn("DONT_TURN_OFF_COMPUTER") ? 1 : 0;
            }
        }
        return drawn;
    }
    bool Drawn(const std::string &text) const {
        const auto &texts = runner.frameLayers.texts;
        return std::any_of(texts.begin(), texts.end(), [&](const TextLine &line) {
            return line.text.find(text) != std::string::npos;
        });
    }
    static Slot Look(int n) {
        Actor *button = scene::SceneBuilder::Find(SlotName(n));
        auto *image = dynamic_cast<UISpriteActor *>(FindDescendantByName(button, "Img"));
        return {image->material != nullptr ? image->material->name : "", image->color.w,
                static_cast<UIButtonActor *>(button)->isStatic == 0};
    }
    static std::string TextOf(const char *dialog) {
        auto *text = dynamic_cast<UITextActor *>(
            FindDescendantByName(scene::SceneBuilder::Find(dialog), "Text"));
        return text != nullptr && (text->state & kActorEnabled) != 0 &&
                       (scene::SceneBuilder::Find(dialog)->state & kActorEnabled) != 0
                   ? text->text
                   : "";
    }
    std::string SaveFile() const { return builder.folder.Get("SaveGames/SaveGame"); }
    static std::string Index(std::initializer_list<std::pair<uint32_t, uint32_t>> words) {
        GameStateBlock index{};
        for (auto [word, value] : words) {
            index[word] = value;
        }
        std::string bytes("\x01\0\0\0\x68\x40\0\0", 8);
        for (uint32_t w : index) {
            for (int b = 0; b < 4; ++b) {
                bytes.push_back(char((w >> (8 * b)) & 0xFF));
            }
        }
        return bytes;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    fakefilm::FakeFilms films;
    scene::SpyLog spies;
    GameSleepFunction previousSleep = nullptr;
    SaveGameActor *saver_ = nullptr;
    InventoryActor *inventory = nullptr;
};

TEST_F(SaveLoadScene, SavesSlotTwoThenLoadsItIntoMissionFour) {
    // Save mode: six empty slots, all selectable.
    Open(true);
    for (int n = 1; n <= kSlots; ++n) {
        EXPECT_EQ(Look(n), (Slot{"Menu_SaveSlot", 0.7f, true})) << n;
    }
    // The message is drawn before the save blocks; then the index alone.
    EXPECT_GE(Choose(2), 1);
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(builder.folder / "SaveGames")) {
        files.push_back(entry.path().filename());
    }
    EXPECT_EQ(files, std::vector<std::string>{"SaveGame"});
    EXPECT_EQ(SaveFile().size(), 16496u);
    EXPECT_EQ(SaveFile(), Index({{0, 4}, {1, 6}, {3, 4}}));
    EXPECT_EQ(spies.Count("SaveGame", cmd::save_game::OnPostSaveGame), 1u);
    EXPECT_EQ(g_sleeps, std::vector<uint32_t>{2000});

    // Load mode: slot 2 shows mission 4 and can be chosen, the rest not.
    inventory->gameState[0] = 9;
    Open(false);
    for (int n = 1; n <= kSlots; ++n) {
        EXPECT_EQ(Look(n), (n == 2 ? Slot{"Menu_SaveSlot_04", 0.9f, true}
                                   : Slot{"Menu_SaveSlot", 0.7f, false}))
            << n;
    }
    runner.Step();
    const auto &quads = runner.frameLayers.quads;
    EXPECT_TRUE(std::any_of(quads.begin(), quads.end(), [](const ScreenQuad &q) {
        return q.material != nullptr && q.material->name == "Menu_SaveSlot_04" &&
               (q.vertices[0].color >> 24) == uint32_t(0.9f * 255.0f + 0.5f);
    }));
    // "Resume" is static: no question, the load runs and the front end
    // takes mission 4; its script closes the menu, whose frames were
    // front-end frames till then.
    EXPECT_EQ(GetActorSystem()->runMode, 1u);
    EXPECT_GE(Choose(2, "LOADING_GAME"), 1);
    EXPECT_EQ(std::tuple(inventory->gameState[0], inventory->gameState[1]), std::tuple(4u, 6u));
    EXPECT_EQ(spies.Count("SaveGame", cmd::save_game::OnPostLoadGame), 1u);
    EXPECT_EQ(g_sleeps, (std::vector<uint32_t>{2000, 2000}));
    EXPECT_EQ(std::pair(dynamic_cast<UISystemActor *>(scene::SceneBuilder::Find("Menu"))->active,
                        GetActorSystem()->runMode),
              std::pair(0u, 0u));
    // 0.3 s of normal frames later: the film, then the load of mission 4.
    EXPECT_TRUE(films.opened.empty());
    int frames = 0;
    for (; frames < 60 && spies.Of(cmd::actor_system::NewGame2).empty(); ++frames) {
        runner.Step();
    }
    EXPECT_NEAR(frames, 18, 1);
    ASSERT_EQ(films.opened.size(), 1u);
    EXPECT_NE(films.opened[0].find("Mission_04.mpg"), std::string::npos);
    const ActorSystem &world = *GetActorSystem();
    const std::string base = world.baseFolder + "\\";
    EXPECT_EQ(std::pair(world.firstFile, world.secondFile),
              std::pair(base + "data\\Globals1_XBox.qva", base + "data\\Mission_04_Release.qva"));
}

TEST_F(SaveLoadScene, AnotherSlotAFailedWriteAndADamagedIndex) {
    Open(true);
    Choose(2);
    // Slot 3 keeps slot 2.
    inventory->gameState[0] = 3;
    Open(true);
    Choose(3);
    const std::string both = Index({{0, 3}, {1, 6}, {3, 4}, {4, 3}});
    EXPECT_EQ(SaveFile(), both);
    // A write that fails leaves the index as it was and says so.
    SetReplaceFaultForTests(ReplaceStep::Rename);
    Open(true);
    Choose(1);
    SetReplaceFaultForTests(ReplaceStep::None);
    EXPECT_EQ(SaveFile(), both);
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_SAVE_GAME");
    EXPECT_EQ(spies.Count("SaveGame", cmd::save_game::OnPostSaveGame), 2u);
    // An index cut short cannot be loaded; nothing of it is shown.
    std::filesystem::resize_file(builder.folder / "SaveGames/SaveGame", 100);
    const GameStateBlock before = SaveIndexBuffer();
    Open(false);
    EXPECT_EQ(TextOf("InfoOkDialog"), "UNABLE_TO_LOAD_GAME");
    EXPECT_EQ(SaveIndexBuffer(), before);
    for (int n = 1; n <= kSlots; ++n) {
        EXPECT_EQ(Look(n), (Slot{"Menu_SaveSlot", 0.7f, false})) << n;
    }
}

} // namespace
