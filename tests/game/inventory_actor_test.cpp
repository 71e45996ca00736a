// The front-end actor 16: its sheet, answers, progress exchange, pause,
// score, fades, flash quad, volume options, front-end codes, HUD set-up and
// record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/class_descriptor.h"
#include "core/actors/command_ids.h"
#include "game/inventory_actor.h"
#include "game/ui_text_actor.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "platform/os/gfx/recording_device.h"
#include "ui_scene.h"

namespace {

using uitest::UiScene;

constexpr uint32_t kFlashTextureSlot = 110;
constexpr uint32_t kBlackSlot = 111;
constexpr uint32_t kProbeClass = 12;
constexpr uint32_t kPlayerClass = 9;

// The texture of the flash (64 high) and the fade's material "Black" on it.
bool AddFrontEndItems(ResourceLibrary &library) {
    TextureItem texture;
    texture.name = "flash";
    texture.width = 32;
    texture.height = 64;
    MaterialItem black;
    black.name = "Black";
    black.textureIds = {kFlashTextureSlot};
    LibraryWriter writer;
    writer.AddItem(kFlashTextureSlot, texture);
    writer.AddItem(kBlackSlot, black);
    const std::vector<uint8_t> bytes = writer.WriteToMemory();
    Archive archive;
    archive.OpenMemory(bytes.data(), uint32_t(bytes.size()));
    return !bytes.empty() && library.ReadLibraryArchive(archive, 1, {}) != 0;
}

struct Fade {
    uint32_t active;
    float timer, level, speed;
    bool operator==(const Fade &) const = default;
};

class InventoryTest : public UiScene {
  protected:
    void SetUp() override {
        UiScene::SetUp();
        InventoryActor::Module() = {};
        ASSERT_TRUE(AddFrontEndItems(*runner.library));
        inventory = dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId));
        ASSERT_NE(inventory, nullptr);
    }
    Fade FadeState() const {
        return {inventory->fadeActive, inventory->fadeTimer, inventory->fadeLevel,
                inventory->fadeSpeed};
    }
    SaveExchangeBlock Given() {
        SaveExchangeBlock given{};
        inventory->HandleCommand(cmd::inventory::GiveGameState, ParamBlock(&given, sizeof(given)));
        return given;
    }
    // The volume option with its "Text" below the menu.
    void VolumeOption(const char *name) {
        Actor *option = builder.Make(0, name, Menu(false));
        builder.Make(int32_t(kUiTextClassId), "Text", option);
    }
    static std::string Shown(const char *option) {
        char text[64] = {};
        Actor *shown = FindDescendantByName(FindActorByName(option, -1), "Text");
        shown->HandleCommand(cmd::ui_text::GetUITextText, ParamBlock(text, sizeof(text)));
        return text;
    }

    // The mission indexes "Level Completed" was sent with, one per "On
    // Level Completed" it raised (the save offer ends the command before
    // spies hear of it; the index waits in `pendingMission`).
    std::vector<int32_t> LevelsCompleted() const {
        std::vector<int32_t> values;
        for (const scene::SpyNotice &notice : spies.notices) {
            if (notice.command == 584) {
                values.push_back(inventory->pendingMission);
            }
        }
        return values;
    }

    InventoryActor *inventory = nullptr;
    scene::SpyLog spies;
};

TEST(InventoryDescriptor, OnePageTitleAndItsLineage) {
    ASSERT_TRUE(InitActorSystem());
    const ActorClassDescriptor &d = ClassDescriptorTable[kInventoryClassId];
    EXPECT_EQ(std::tuple(d.name, d.description), std::tuple("Inventory", "Inventory"));
    EXPECT_EQ(d.lineage, (std::vector<uint32_t>{0, kInventoryClassId}));
    ASSERT_EQ(d.items.size(), 1u);
    EXPECT_EQ(std::tuple(d.items[0].label, int(d.items[0].kind), d.items[0].setCommand,
                         d.items[0].getCommand, d.items[0].displayScale),
              std::tuple("Inventory Properties", 13, 0u, 0u, 1.0f));
    EXPECT_NE(dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId)), nullptr);
    ResetActorWorldForTests();
}

TEST_F(InventoryTest, VisibleOnlyWithTheSelectorOpenAboveHalfAndTheMasterCharacter) {
    const struct {
        uint32_t open;
        float alpha;
        uint32_t visible;
    } cases[] = {{0, 1.0f, 0}, {1, 0.5f, 0}, {1, 0.51f, 1}};
    for (const auto &c : cases) {
        inventory->selectorOpen = c.open;
        inventory->selectorAlpha = c.alpha;
        uint32_t answer = 7;
        inventory->HandleCommand(cmd::mesh_object::GetVisible, ParamBlock(&answer, 4));
        EXPECT_EQ(answer, c.visible) << c.alpha;
    }
    // 547 reaches only the base: the block comes back as sent.
    uint32_t unserved = 7;
    inventory->HandleCommand(547, ParamBlock(&unserved, 4));
    EXPECT_EQ(unserved, 7u);

    // 562 asks the master player for its character now; without one the
    // block stays.
    game::RecorderClass players{kPlayerClass};
    Actor *hero = builder.Make(0, "Hero");
    uint32_t id = 7;
    inventory->HandleCommand(cmd::inventory::GetMasterCharacter, ParamBlock(&id, 4));
    EXPECT_EQ(id, 7u);
    auto *player = dynamic_cast<game::Recorder *>(
        CreateActor(int32_t(kPlayerClass), "MASTERPLAYER", nullptr, nullptr, -1, false));
    player->Answer(539, hero);
    inventory->HandleCommand(cmd::inventory::GetMasterCharacter, ParamBlock(&id, 4));
    EXPECT_EQ(id, uint32_t(hero->actorId));
    DeleteActor(player);
}

TEST_F(InventoryTest, ProgressBlockIsGivenAndTakenWhole) {
    SaveExchangeBlock given = Given();
    EXPECT_EQ(std::tuple(std::string(given.name), given.mission, given.size),
              std::tuple("Mission 0", 0u, kGameStateBytes));
    ASSERT_EQ(given.state, inventory->gameState.data());
    EXPECT_EQ(std::tuple(given.state[0], given.state[1]), std::tuple(0u, 6u));

    spies.Watch(inventory);
    GameStateBlock saved{};
    for (size_t i = 0; i < saved.size(); ++i) {
        saved[i] = uint32_t(i * 3 + 1);
    }
    saved[0] = 4;
    SaveExchangeBlock take{};
    take.state = saved.data();
    take.size = kGameStateBytes;
    EXPECT_EQ(inventory->HandleCommand(cmd::inventory::TakeGameState,
                                       ParamBlock(&take, sizeof(take))), 1);
    EXPECT_EQ(inventory->gameState, saved);
    EXPECT_EQ(LevelsCompleted(), (std::vector<int32_t>{3}));
    EXPECT_EQ(FadeState(), (Fade{1, 0.3f, 0.999999f, 1.0f / 0.3f}));

    // A null block, or one of another size, is refused and changes nothing.
    inventory->fadeActive = 0;
    const GameStateBlock before = inventory->gameState;
    saved[5] = 0;
    SaveExchangeBlock refused[] = {take, take, take};
    refused[0].state = nullptr;
    refused[1].size = kGameStateBytes - 4;
    refused[2].size = kGameStateBytes + 4;
    for (SaveExchangeBlock &block : refused) {
        EXPECT_EQ(inventory->HandleCommand(cmd::inventory::TakeGameState,
                                           ParamBlock(&block, sizeof(block))), 0);
    }
    EXPECT_EQ(inventory->HandleCommand(cmd::inventory::TakeGameState, ParamBlock(&take, 100)), 0);
    EXPECT_EQ(inventory->gameState, before);
    EXPECT_EQ(LevelsCompleted().size(), 1u);
    EXPECT_EQ(inventory->fadeActive, 0u);
}

TEST_F(InventoryTest, PauseScoreAndGrainColour) {
    ActorSystem *world = GetActorSystem();
    SendCommandArgs(inventory, cmd::inventory::InventoryPause, 0.0f);
    EXPECT_EQ(world->runMode, 0u);
    SendCommandArgs(inventory, cmd::inventory::InventoryPause, 2.0f);
    EXPECT_EQ(std::tuple(world->runMode, world->frontEndActor, world->runFlags),
              std::tuple(1u, static_cast<Actor *>(inventory), 1u));
    EXPECT_EQ(inventory->pauseTime, 2.0f);
    world->SetRunMode(0, nullptr, 0);
    // A pause without end (or without a length) holds nothing.
    for (const float endless : {INFINITY, NAN, -INFINITY}) {
        SendCommandArgs(inventory, cmd::inventory::InventoryPause, endless);
        EXPECT_EQ(std::tuple(world->runMode, inventory->pauseTime), std::tuple(0u, 2.0f)) << endless;
    }

    SendCommandArgs(inventory, cmd::inventory::SetTotalScore, 10.0f);
    SendCommandArgs(inventory, cmd::inventory::AddTotalScore, 5.5f);
    SendCommandArgs(inventory, cmd::inventory::SubTotalScore, 1.5f);
    // The score is the process's: a new actor 16 keeps it.
    inventory = dynamic_cast<InventoryActor *>(CreateActor(
        int32_t(kInventoryClassId), "Inventory", nullptr, GetActorById(kGlobalRootId),
        kInventoryActorId, true));
    ASSERT_NE(inventory, nullptr);
    float score = 0.0f;
    inventory->HandleCommand(cmd::inventory::GetTotalScore, ParamBlock(&score, 4));
    EXPECT_EQ(score, 14.0f);
    SendCommandArgs(inventory, cmd::inventory::ClearTotalScore);
    inventory->HandleCommand(cmd::inventory::GetTotalScore, ParamBlock(&score, 4));
    EXPECT_EQ(score, 0.0f);

    SendCommandArgs(inventory, cmd::inventory::SetFilmGrainColor, Vector4{0.1f, 0.2f, 0.3f, 0.0f});
    EXPECT_EQ(inventory->filmGrainColor.z, 0.3f);
    EXPECT_EQ(inventory->filmGrainColor.w, 0.0f);
}

TEST_F(InventoryTest, FadesStartOnceAndNoTimeEndsAtOnce) {
    const float nan = std::nanf("");
    const struct {
        uint32_t command;
        float seconds;
        Fade after;
    } cases[] = {
        {cmd::inventory::FadeDown, 2.0f, {1, 2.0f, 0.0f, 0.5f}},
        {cmd::inventory::FadeUp, 0.5f, {1, 0.5f, 1.0f, -2.0f}},
        {cmd::inventory::FadeDown, 0.0f, {1, 0.0f, 1.0f, 0.0f}},
        {cmd::inventory::FadeDown, nan, {1, 0.0f, 1.0f, 0.0f}},
        {cmd::inventory::FadeUp, -1.0f, {1, 0.0f, 0.0f, 0.0f}},
        {cmd::inventory::FadeUp, nan, {1, 0.0f, 0.0f, 0.0f}},
    };
    for (const auto &c : cases) {
        inventory->fadeActive = 0;
        SendCommandArgs(inventory, c.command, c.seconds);
        EXPECT_EQ(FadeState(), c.after) << c.command << " " << c.seconds;
    }
    // A running fade ignores another request.
    SendCommandArgs(inventory, cmd::inventory::FadeDown, 4.0f);
    EXPECT_EQ(FadeState(), (Fade{1, 0.0f, 0.0f, 0.0f}));

    // The movie's fade drops a running one; a short one is black at once.
    SendCommandArgs(inventory, cmd::inventory::FadeDownPlayMovie, std::string("intro"), 2.0f);
    EXPECT_EQ(FadeState(), (Fade{1, 2.0f, 0.0f, 0.5f}));
    EXPECT_EQ(std::tuple(inventory->pendingMovie, inventory->pendingMovieFadeUp),
              std::tuple("intro", 2.0f));
    SendCommandArgs(inventory, cmd::inventory::FadeDownPlayMovie, std::string("outro"), 0.01f);
    EXPECT_EQ(FadeState(), (Fade{1, 0.01f, 1.0f, 1.0f / 0.01f}));
    inventory->HandleCommand(cmd::inventory::FadeDownPlayMovie, ParamBlock());
    EXPECT_EQ(inventory->pendingMovie, "outro");
}

TEST_F(InventoryTest, FlashQuadIsCentredAndFadesWithItsGrowth) {
    const struct {
        uint32_t ignored;
        float alpha, growth;
        uint32_t material;
    } flash = {1, 1.0f, 0.5f, kBlackSlot};
    inventory->screenCentreX = 400;
    inventory->screenCentreY = 300;
    inventory->HandleCommand(cmd::inventory::Unnamed_563,
                             ParamBlock(const_cast<void *>(static_cast<const void *>(&flash)),
                                        sizeof(flash)));
    const std::vector<ScreenQuad> &quads = runner.library->GetScreenLayers().quads;
    ASSERT_EQ(quads.size(), 1u);
    const ScreenVertex &first = quads[0].vertices[0];
    const ScreenVertex &last = quads[0].vertices[3];
    EXPECT_EQ(std::tuple(first.x, first.y, last.x - first.x, last.y - first.y),
              std::tuple(352.0f, 252.0f, 96.0f, 96.0f));
    EXPECT_NEAR(double(first.color >> 24), 0.95 * 255.0, 1.0);
    runner.library->GetScreenLayers().quads.clear(); // its material goes with the test
}

TEST_F(InventoryTest, VolumeOptionsStepShowAndSetTheirCategories) {
    game::RecorderClass probes{kProbeClass};
    VolumeOption("MusicVolume");
    VolumeOption("SoundEffectVolume");
    builder.Make(int32_t(kProbeClass), "Probe");
    Load();
    auto *probe = Find<game::Recorder>("Probe");
    inventory->musicVolumeLabel = "Music";
    inventory->effectsVolumeLabel = "Effects";
    SendCommandArgs(inventory, cmd::inventory::InventoryHack, 53u);
    EXPECT_EQ(Shown("MusicVolume"), "Music: 5");

    const struct {
        uint32_t step, show, category;
        const char *option, *text;
    } options[] = {{52, 53, 1, "MusicVolume", "Music: "},
                   {54, 55, 0, "SoundEffectVolume", "Effects: "}};
    for (const auto &o : options) {
        for (int i = 1; i <= 5; ++i) {
            SendCommandArgs(inventory, cmd::inventory::InventoryHack, o.step);
            EXPECT_EQ(Shown(o.option), o.text + std::to_string(i));
            EXPECT_FLOAT_EQ(runner.library->GetSoundCategoryVolume(o.category), 0.5f + 0.1f * i);
        }
        EXPECT_EQ(probe->Of(439).size(), o.category == 1 ? 5u : 10u);
    }
    EXPECT_EQ(InventoryActor::Module().musicVolumeStep, 4u);

    // Without the option's actors nothing changes, the step neither.
    DeleteActor(FindActorByName("SoundEffectVolume", -1));
    SendCommandArgs(inventory, cmd::inventory::InventoryHack, 54u);
    EXPECT_EQ(InventoryActor::Module().effectsVolumeStep, 4u);
    EXPECT_EQ(probe->Of(439).size(), 10u);
}

TEST_F(InventoryTest, CodesSwitchTheHudAndRetryTheMissionWithAFade) {
    const struct {
        uint32_t code;
        uint32_t InventoryActor::*field;
        uint32_t value;
    } flags[] = {
        {10, &InventoryActor::missionClockShown, 0}, {11, &InventoryActor::missionClockShown, 1},
        {12, &InventoryActor::soulGaugeShown, 0},    {13, &InventoryActor::soulGaugeShown, 1},
    };
    inventory->hudVisible = 1;
    inventory->lightSensorShown = 1;
    inventory->enduranceBarShown = 1;
    for (const auto &f : flags) {
        SendCommandArgs(inventory, cmd::inventory::InventoryHack, f.code);
        EXPECT_EQ(inventory->*f.field, f.value) << f.code;
    }
    EXPECT_EQ(std::tuple(inventory->hudVisible, inventory->lightSensorShown,
                         inventory->enduranceBarShown),
              std::tuple(0u, 0u, 0u));

    spies.Watch(inventory);
    InventoryActor::Module().missionNumber = 3;
    InventoryActor::Module().offerSaveAfterFade = 1;
    inventory->fadeActive = 1;
    SendCommandArgs(inventory, cmd::inventory::InventoryHack, 6u);
    EXPECT_EQ(LevelsCompleted(), (std::vector<int32_t>{2}));
    EXPECT_EQ(FadeState(), (Fade{1, 0.3f, 0.999999f, 1.0f / 0.3f}));
    EXPECT_EQ(InventoryActor::Module().offerSaveAfterFade, 0u);
}

TEST_F(InventoryTest, PrecalculateFollowsTheScreenFindsItemsAndSubscribesOnce) {
    gfx::Viewport viewport;
    viewport.width = 512;
    viewport.height = 384;
    ASSERT_EQ(runner.device->SetViewport(viewport), 0);
    inventory->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    const ScheduledCommand *subscription = inventory->processEntry;
    ASSERT_NE(subscription, nullptr);
    EXPECT_EQ(subscription->layer, 2);
    inventory->HandleCommand(kUiCmdPrecalculate, ParamBlock());
    EXPECT_EQ(inventory->processEntry, subscription);
    EXPECT_FLOAT_EQ(inventory->scale.x, 0.64f);
    EXPECT_FLOAT_EQ(inventory->scale.y, 0.64f);
    EXPECT_EQ(std::tuple(inventory->screenCentreX, inventory->screenCentreY, inventory->fadeWidth),
              std::tuple(256u, 192u, 512u));
    EXPECT_EQ(inventory->blackMaterial, runner.library->GetItemById(kBlackSlot));
    EXPECT_EQ(std::tuple(inventory->filmGrainMaterial, inventory->gameFont,
                         inventory->enduranceBarShown),
              std::tuple(nullptr, nullptr, 0u));
    EXPECT_EQ(inventory->musicVolumeLabel, "MUSIC_VOLUME");
    EXPECT_EQ(std::tuple(inventory->missionTimeActor.target, inventory->soulAmountActor.target),
              std::tuple(nullptr, nullptr));
}

TEST_F(InventoryTest, RecordHoldsSpareWordsOnly) {
    const auto afterBase = [&](uint32_t version) {
        const std::string path = builder.folder / "base.bin";
        Archive out;
        EXPECT_TRUE(out.Open(path, "wb"));
        out.SetVersion(version);
        inventory->Actor::Serialize(out, kSerializeSave);
        out.Close();
        return RecordSize(*inventory, version) - std::filesystem::file_size(path);
    };
    EXPECT_EQ(afterBase(34), 16u);
    EXPECT_EQ(afterBase(35), 44u);
    InventoryActor into;
    EXPECT_EQ(RoundTrip(*inventory, into, kActorFileVersion), 1);
    EXPECT_EQ(CutRoundTrip(*inventory), 0);
}

} // namespace
