// The front-end actor's mission flow on the game fixture: the start of a
// level, "Level Completed" with and without the save offer, the restarts,
// a taken progress block, the mission film's skip rule and missing scenes.
// Films are fake, waits are only recorded and the loads the world is asked
// for are recorded and called off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actors/characters/player_actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "game/game_sleep.h"
#include "game/inventory_actor.h"
#include "game/ui_system_actor.h"
#include "platform/input.h"
#include "support/fake_film.h"
#include "support/game_fixture.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kStandInClass = 50;
constexpr uint32_t kKeyJump = 0x20;
constexpr uint32_t kJump = 15;

// One "New Game 2" as the world received it.
struct Load {
    std::string globals, scene;
    uint32_t first, second;
    bool operator==(const Load &) const = default;
};
Load MissionLoad(const char *number, uint32_t first) {
    return {"data\\Globals1_XBox.qva", std::string("data\\Mission_") + number + "_Release.qva",
            first, 0};
}

// Spies on the world and keeps the blocks of "New Game 2".
class LoadSpy : public Actor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        // The notice: the command id, then (pointer-aligned) its block.
        const auto *sent = block.Read<const ParamBlock *>(alignof(ParamBlock *));
        if (commandId == 93 && block.ReadU32(0) == cmd::actor_system::NewGame2 && sent != nullptr) {
            loads.push_back({std::string(sent->Sub(0, 128).ReadString(0)),
                             std::string(sent->Sub(128, 128).ReadString(0)), sent->ReadU32(256),
                             sent->ReadU32(260)});
        }
        return 1;
    }
    std::vector<Load> loads;
};

std::vector<uint32_t> g_waits;
std::function<void(size_t)> g_onWait; // told the number of each wait
void RecordWait(uint32_t milliseconds) {
    g_waits.push_back(milliseconds);
    if (g_onWait) {
        g_onWait(g_waits.size());
    }
}

// The master player's stand-in character "Hero" with its hands and "Items",
// a "SoundMixer", a UI System "Menu" holding "SaveContinueMenu", and the
// mission scenes and films of missions 1, 3, 4 and 26.
class MissionFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        InventoryActor::Module() = {};
        g_waits.clear();
        previousSleep = SetGameSleep(&RecordWait);
        Actor *hero = builder.Make(kStandInClass, "Hero");
        for (const char *child : {"LeftHand", "RightHand", "Items"}) {
            builder.Make(0, child, hero);
        }
        dynamic_cast<PlayerActor *>(builder.Make(kPlayerClassId, "MASTERPLAYER"))
            ->controlledCharacter.Assign(hero);
        builder.Make(kStandInClass, "SoundMixer");
        builder.Make(kStandInClass, "SaveContinueMenu", builder.Make(kUiSystemClassId, "Menu"));
        for (const char *n : {"01", "03", "04", "26"}) {
            builder.folder.Put(std::string("Data/Mission_") + n + "_Release.qva", "x");
            builder.folder.Put(std::string("Data/Mission_") + n + ".mpg", "x");
        }
        builder.folder.Put("Data/StoneCourt.qva", "x");
        std::string error;
        ASSERT_TRUE(builder.Load(&error)) << error;
        this->hero = Find<game::Recorder>("Hero");
        mixer = Find<game::Recorder>("SoundMixer");
        menu = Find<UISystemActor>("Menu");
        offer = Find<game::Recorder>("SaveContinueMenu");
        inventory = dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId));
        ASSERT_TRUE(this->hero && mixer && menu && offer && inventory);
        GlobalActorSlots[1] = this->hero;
        AddCommandSpy(GetActorSystem(), &world);
        // The loads asked for never run: the scene stays.
        runner.preStep = [](uint32_t) { GetActorSystem()->loadPending = 0; };
        BindAction(kJump, kKeyJump, 0);
        spies.Watch(inventory);
        // The load's own "Start Game" began a fade; each test starts without.
        inventory->fadeActive = 0;
    }
    void TearDown() override {
        BindAction(kJump, 0, 0);
        GlobalActorSlots[1] = nullptr;
        SetGameSleep(previousSleep);
        g_onWait = nullptr;
    }
    template <class T> static T *Find(const char *name) {
        return dynamic_cast<T *>(scene::SceneBuilder::Find(name));
    }
    std::vector<Load> TakeLoads() { return std::exchange(world.loads, {}); }
    template <class F> int FramesUntil(F done) {
        int frames = 0;
        for (; !done() && frames < 200; ++frames) {
            runner.Step();
        }
        return frames;
    }
    std::tuple<uint32_t, float, float, float> Fade() const {
        return {inventory->fadeActive, inventory->fadeTimer, inventory->fadeLevel,
                inventory->fadeSpeed};
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass standIns{kStandInClass};
    game::ScriptedKeys keys{runner};
    fakefilm::FakeFilms films;
    LoadSpy world;
    scene::SpyLog spies;
    GameSleepFunction previousSleep = nullptr;
    game::Recorder *hero = nullptr;
    game::Recorder *mixer = nullptr;
    UISystemActor *menu = nullptr;
    game::Recorder *offer = nullptr;
    InventoryActor *inventory = nullptr;
};

std::string TextOf(const RecordedCommand &command) {
    return std::string(command.block.begin(),
                       std::find(command.block.begin(), command.block.end(), 0));
}

TEST_F(MissionFlow, StartGameResetsTimeFindsTheMasterShowsTheMapAndFadesUp) {
    InventoryActor::Module() = {.missionNumber = 4, .showMissionMap = 1};
    auto *map = dynamic_cast<game::Recorder *>(
        CreateActor(int32_t(kStandInClass), "MissionMap_04", nullptr, inventory, -1, true));
    RootTimeRecord()->effectiveMultiplier = 0.25f;
    PlayerInput.timeScale = 0.3f;
    SendCommandArgs(inventory, cmd::base::StartGame);
    EXPECT_EQ(std::tuple(RootTimeRecord()->effectiveMultiplier, PlayerInput.timeScale),
              std::tuple(1.0f, 1.0f));
    EXPECT_EQ(std::tuple(inventory->masterCharacter.target, inventory->leftHandActor.target,
                         inventory->itemsActor.target),
              std::tuple(hero, FindChildByName(hero, "LeftHand"), FindChildByName(hero, "Items")));
    ASSERT_EQ(std::tuple(map->Of(1661).size(), map->Of(211).size(), map->Of(212).size()),
              std::tuple(1u, 1u, 1u));
    EXPECT_EQ(TextOf(map->Of(1661)[0]), "MissionMap_04");
    EXPECT_EQ(std::tuple(inventory->gameState[0], inventory->hudVisible), std::tuple(4u, 1u));
    EXPECT_EQ(Fade(), std::tuple(1u, 3.0f, 1.0f, -1.0f / 3.0f));

    // Each start looks the master up again: another character, then none.
    auto *player = dynamic_cast<PlayerActor *>(FindActorByName("MASTERPLAYER", -1));
    Actor *other = CreateActor(int32_t(kStandInClass), "Other", nullptr, nullptr, -1, true);
    player->characterPath.clear();
    player->controlledCharacter.Assign(other);
    SendCommandArgs(inventory, cmd::base::StartGame);
    EXPECT_EQ(std::tuple(inventory->masterCharacter.target, inventory->itemsActor.target),
              std::tuple(other, nullptr));
    DeleteActor(player);
    SendCommandArgs(inventory, cmd::base::StartGame);
    EXPECT_EQ(inventory->masterCharacter.target, nullptr);
    EXPECT_EQ(map->Of(1661).size(), 1u); // the map shows once
}

TEST_F(MissionFlow, LevelCompletedOffersTheSaveThenStartsTheNextMission) {
    hero->log.clear();
    EXPECT_EQ(SendCommandArgs(inventory, cmd::inventory::LevelCompleted, 3u), 1);
    std::vector<std::pair<uint32_t, float>> stops, channels;
    for (const RecordedCommand &stop : mixer->Of(1416)) {
        stops.emplace_back(stop.Read<uint32_t>(0), stop.F32(4));
    }
    for (uint32_t channel = 1; channel <= 8; ++channel) {
        channels.emplace_back(channel, 1.8f);
    }
    EXPECT_EQ(stops, channels);
    EXPECT_EQ(std::tuple(mixer->Of(440).empty(), spies.Of(584).size()), std::tuple(false, 1u));
    EXPECT_EQ(std::tuple(inventory->gameState[0], inventory->fadeLevel, inventory->hudVisible),
              std::tuple(4u, 0.999999f, 0u));
    // The player character is put back: neutral, hands stopped, held.
    const std::vector<uint32_t> ids = hero->Ids();
    ASSERT_GE(ids.size(), 5u);
    EXPECT_EQ(std::vector<uint32_t>(ids.begin(), ids.begin() + 5),
              (std::vector<uint32_t>{1097, 879, 882, 885, 856}));
    EXPECT_EQ(std::tuple(TextOf(hero->Of(1097)[0]), hero->Of(856)[0].F32()),
              std::tuple("N_Neutral", 2000.0f));

    // The offer shows when the screen is black, 0.3 s later, and the menu
    // takes the frames: the fade stands still.
    hero->log.clear();
    EXPECT_NEAR(FramesUntil([&] { return !offer->Of(211).empty(); }), 18, 1);
    EXPECT_EQ(std::tuple(menu->active, GetActorSystem()->runMode), std::tuple(1u, 1u));
    EXPECT_EQ(hero->Of(879).size() + hero->Of(882).size() + hero->Of(885).size(), 3u);
    runner.Step(60);
    EXPECT_TRUE(films.opened.empty() && world.loads.empty());

    // The menu closes: 0.5 s on, the film and the load of mission 4.
    SendCommandArgs(menu, cmd::ui_system::UISystemDeactivate);
    EXPECT_NEAR(FramesUntil([&] { return !world.loads.empty(); }), 30, 1);
    EXPECT_EQ(TakeLoads(), (std::vector<Load>{MissionLoad("04", 1)}));
    ASSERT_EQ(films.opened.size(), 1u);
    EXPECT_NE(films.opened[0].find("Mission_04.mpg"), std::string::npos);
    EXPECT_EQ(g_waits, (std::vector<uint32_t>{50, 50, 200, 50}));
    EXPECT_EQ(std::tuple(InventoryActor::Module().missionNumber, inventory->pendingMission),
              std::tuple(4u, -1));

    // A taken block of mission 4 starts it after 0.3 s, without the offer.
    GameStateBlock saved{4};
    SaveExchangeBlock take{{}, 0, saved.data(), kGameStateBytes};
    EXPECT_EQ(inventory->HandleCommand(cmd::inventory::TakeGameState,
                                       ParamBlock(&take, sizeof(take))), 1);
    EXPECT_NEAR(FramesUntil([&] { return !world.loads.empty(); }), 18, 1);
    EXPECT_EQ(TakeLoads(), (std::vector<Load>{MissionLoad("04", 1)}));
    EXPECT_EQ(offer->Of(211).size(), 1u);
}

TEST_F(MissionFlow, IndexesWithoutTheOfferStartAtOnceAndRestartsReloadWithoutNewGame) {
    const struct {
        uint32_t command, value, missionBefore;
        const char *film;
        Load load;
    } starts[] = {
        {cmd::inventory::LevelCompleted, 0, 0, "Mission_01", MissionLoad("01", 1)},
        {cmd::inventory::LevelCompleted, 200, 0, "Mission_03", MissionLoad("03", 1)},
        {cmd::inventory::LevelCompleted, 25, 0, "Mission_26", MissionLoad("26", 1)},
        // Restarts: the same mission, mission number 0 counting as 1, and
        // from mission 5 on the start level instead.
        {cmd::inventory::InventoryHack, 5, 3, "Mission_03", MissionLoad("03", 0)},
        {cmd::inventory::InventoryHack, 5, 0, "Mission_01", MissionLoad("01", 0)},
        {cmd::inventory::InventoryHack, 255, 0, "Mission_01", MissionLoad("01", 0)},
        {cmd::inventory::InventoryHack, 255, 4, "Mission_04", MissionLoad("04", 0)},
        {cmd::inventory::InventoryHack,
         5,
         6,
         nullptr,
         {"data\\Globals1_XBox.qva", "data\\StoneCourt.qva", 0, 0}},
    };
    for (const auto &s : starts) {
        InventoryActor::Module().missionNumber = s.missionBefore;
        films.opened.clear();
        SendCommandArgs(inventory, s.command, s.value);
        EXPECT_EQ(TakeLoads(), (std::vector<Load>{s.load})) << s.command << " " << s.value;
        EXPECT_EQ(films.opened.size(), s.film != nullptr ? 1u : 0u) << s.value;
        if (s.film != nullptr && !films.opened.empty()) {
            EXPECT_NE(films.opened[0].find(s.film), std::string::npos) << s.value;
        }
        EXPECT_EQ(inventory->pendingMission, -1) << s.value;
    }
    EXPECT_TRUE(offer->Of(211).empty());

    // Mission 26 starts without the head-up display and shows no map.
    InventoryActor::Module().missionNumber = 26;
    InventoryActor::Module().showMissionMap = 1;
    auto *map = dynamic_cast<game::Recorder *>(
        CreateActor(int32_t(kStandInClass), "MissionMap_26", nullptr, inventory, -1, true));
    SendCommandArgs(inventory, cmd::base::StartGame);
    EXPECT_EQ(std::tuple(inventory->hudVisible, inventory->handItemTick,
                         inventory->lightSensorMaterial, map->Of(1661).empty()),
              std::tuple(0u, 0u, nullptr, true));
}

TEST_F(MissionFlow, OnlyAJumpDuringTheFilmSkipsIt) {
    fakefilm::FakeFilms second(25); // one second of film
    // Pressed and let go before the mission starts, in the same frame.
    keys.Key(kKeyJump, true);
    keys.Key(kKeyJump, false);
    int64_t before = second.micros;
    SendCommandArgs(inventory, cmd::inventory::LevelCompleted, 0u);
    EXPECT_GE(second.micros - before, 1000000);

    // Pressed while the film plays.
    g_onWait = [&](size_t wait) {
        if (wait == 3) {
            keys.Key(kKeyJump, true);
        }
    };
    g_waits.clear();
    before = second.micros;
    SendCommandArgs(inventory, cmd::inventory::LevelCompleted, 0u);
    EXPECT_LT(second.micros - before, 500000);
    EXPECT_EQ(TakeLoads().size(), 2u);
    keys.Key(kKeyJump, false);
}

TEST_F(MissionFlow, AMissingScenePlaysNoFilmButIsAskedForAllTheSame) {
    // The world, unable to read it, brings back the files it started with.
    const struct {
        uint32_t command, value, missionBefore;
        Load load;
        size_t stops; // 879 "CC RAction1 Stop" to the player's character
    } cases[] = {
        {cmd::inventory::LevelCompleted, 100, 0, MissionLoad("101", 1), 2},
        {cmd::inventory::InventoryHack, 255, 7, MissionLoad("07", 0), 1},
        {cmd::inventory::InventoryHack, 5, 2, MissionLoad("02", 0), 2},
        {cmd::inventory::InventoryHack, 5, 6,
         {"data\\Globals1_XBox.qva", "data\\StoneCourt.qva", 0, 0}, 1},
    };
    std::filesystem::remove(builder.folder / "Data/StoneCourt.qva");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.load.scene);
        InventoryActor::Module().missionNumber = c.missionBefore;
        inventory->fadeActive = 0;
        hero->log.clear();
        SendCommandArgs(inventory, c.command, c.value);
        EXPECT_EQ(TakeLoads(), std::vector<Load>{c.load});
        EXPECT_TRUE(films.opened.empty() && g_waits.empty());
        EXPECT_EQ(hero->Of(879).size(), c.stops);
        EXPECT_EQ(std::tuple(inventory->pendingMission, inventory->fadeActive), std::tuple(-1, 0u));
        EXPECT_EQ(InventoryActor::Module().missionNumber, c.missionBefore);
    }
}

TEST_F(MissionFlow, TheProgressAndTheScoreOutliveTheLevelLoads) {
    // Real loads: the globals file makes a new actor 16, mission 26's scene
    // (the one that shows no map) is this scene again.
    ASSERT_EQ(SaveActors(builder.folder / "Data/Globals1_XBox.qva", 16, 17, kSerializeSave), 1);
    std::filesystem::copy_file(builder.folder / "Data/Scene.qva",
                               builder.folder / "Data/Mission_26_Release.qva",
                               std::filesystem::copy_options::overwrite_existing);
    runner.preStep = nullptr;
    const auto runLoad = [this] {
        ASSERT_EQ(TakeLoads().size(), 1u);
        GlobalActorSlots[1] = nullptr; // set by hand, so not let go with the hero
        runner.Step();
        ASSERT_EQ(GetActorSystem()->loadPending, 0u);
        inventory = dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId));
        ASSERT_NE(inventory, nullptr);
    };
    const auto score = [this] {
        float value = 0.0f;
        inventory->HandleCommand(cmd::inventory::GetTotalScore, ParamBlock(&value, sizeof(value)));
        return value;
    };
    // A mission change.
    SendCommandArgs(inventory, cmd::inventory::AddTotalScore, 25.0f);
    SendCommandArgs(inventory, cmd::inventory::LevelCompleted, 25u);
    runLoad();
    EXPECT_EQ(std::tuple(inventory->gameState[0], inventory->gameState[1], score()),
              std::tuple(26u, 6u, 25.0f));
    // A load from a slot.
    inventory->gameState[0] = 9;
    GameStateBlock slot{26, 6};
    SaveExchangeBlock exchange{};
    exchange.state = slot.data();
    exchange.size = kGameStateBytes;
    ASSERT_EQ(inventory->HandleCommand(cmd::inventory::TakeGameState,
                                       ParamBlock(&exchange, sizeof(exchange))),
              1);
    FramesUntil([this] { return !world.loads.empty(); });
    runLoad();
    EXPECT_EQ(std::tuple(inventory->gameState[0], score()), std::tuple(26u, 25.0f));
}

} // namespace
