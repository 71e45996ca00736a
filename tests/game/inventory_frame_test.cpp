// The front-end actor's frames: the ammunition selector on the game
// fixture's character, the screen fade and its film, the pause, and the
// head-up display as queued quads and texts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "actors/characters/character_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/time_record.h"
#include "game/inventory_actor.h"
#include "library/library_item.h"
#include "library/library_writer.h"
#include "library/resource_library.h"
#include "platform/input.h"
#include "support/fake_film.h"
#include "support/game_fixture.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kFirstSlot = 175;
constexpr uint32_t kIconSlot = 4; // the test library's "Default"
constexpr uint32_t kStandInClass = 50;
constexpr uint32_t kKeyPrev = 'P', kKeyNext = 'N', kKeyFire1 = 'F', kKeyFire2 = 'G';
constexpr uint32_t kKeyJump = 0x20;
constexpr std::pair<int, uint32_t> kBindings[] = {
    {22, kKeyPrev}, {21, kKeyNext}, {25, kKeyFire1}, {26, kKeyFire2}, {15, kKeyJump}};

// The master character: logs every command (its block as sent) and answers
// the queries the test sets.
class Hero : public CharacterActor {
  public:
    int HandleCommand(uint32_t commandId, ParamBlock block) override {
        const uint8_t *bytes = block.data();
        log.push_back({0, commandId, {bytes, bytes + (bytes ? block.size() : 0)}});
        if (auto answer = answers.find(commandId); answer != answers.end()) {
            if (block.mutableData() != nullptr && block.size() >= answer->second.size()) {
                std::memcpy(block.mutableData(), answer->second.data(), answer->second.size());
            }
            return 1;
        }
        return CharacterActor::HandleCommand(commandId, block);
    }
    std::vector<RecordedCommand> Of(uint32_t id) const {
        std::vector<RecordedCommand> found;
        for (const RecordedCommand &entry : log) {
            if (entry.id == id) {
                found.push_back(entry);
            }
        }
        return found;
    }
    template <class T> void Answer(uint32_t commandId, const T &value) {
        answers[commandId].resize(sizeof(T));
        std::memcpy(answers[commandId].data(), &value, sizeof(T));
    }
    std::map<uint32_t, std::vector<uint8_t>> answers;
    std::vector<RecordedCommand> log;
};
Actor *NewHero() { return new Hero(); }

class FrontEndFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        InventoryActor::Module() = {};
        InventoryActor::Hud() = {};
        ASSERT_TRUE(game::AddMaterials(*runner.library, kFirstSlot,
                                       {std::begin(game::kHudMaterialNames),
                                        std::end(game::kHudMaterialNames)}));
        game::MakeCharacter(builder, "Hero", {0, 30, 0});
        ASSERT_TRUE(builder.Load());
        hero = dynamic_cast<Hero *>(scene::SceneBuilder::Find("Hero"));
        inventory = dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId));
        ASSERT_TRUE(hero != nullptr && inventory != nullptr);
        inventory->HandleCommand(cmd::base::Precalculate, ParamBlock());
        // The level's own fade up is over.
        inventory->fadeActive = 0;
        inventory->fadeLevel = 0.0f;
        inventory->masterCharacter.Assign(hero);
        items = FindDescendantByName(hero, "Items");
        inventory->itemsActor.Assign(items);
        inventory->leftHandActor.Assign(FindDescendantByName(hero, "LeftHand"));
        inventory->rightHandActor.Assign(FindDescendantByName(hero, "RightHand"));
        hero->ammoPresent[0] = 1;
        for (auto [action, key] : kBindings) {
            BindAction(action, key, 0);
        }
    }
    void TearDown() override {
        for (auto [action, key] : kBindings) {
            BindAction(action, 0, 0);
        }
        GlobalActorSlots[1] = nullptr;
    }
    // A Game Object below the parent with an "Ammo" of the groups and
    // bullets.
    game::Recorder *Weapon(Actor *parent, const std::string &name, uint32_t groups,
                           uint32_t bullets = 6) {
        auto *weapon = dynamic_cast<game::Recorder *>(
            CreateActor(int32_t(kGameObjectClass), name, nullptr, parent, -1, true));
        auto *ammo = dynamic_cast<game::Recorder *>(
            CreateActor(int32_t(kGameObjectClass), "Ammo", nullptr, weapon, -1, true));
        ammo->Answer(738, groups);
        ammo->Answer(732, bullets);
        weapon->Answer(626, kIconSlot);
        weapon->Answer(628, kIconSlot);
        return weapon;
    }
    void Tap(uint32_t key) {
        keys.Key(key, true);
        runner.Step();
        keys.Key(key, false);
        runner.Step();
    }
    // Frames until the field leaves the value (at most `limit`).
    template <class F> int FramesWhile(F still, int limit = 400) {
        int frames = 0;
        while (still() && frames < limit) {
            runner.Step();
            ++frames;
        }
        return frames;
    }
    std::vector<const ScreenQuad *> Quads(const std::string &material) const {
        return runner.Quads(material);
    }
    const TextLine *Text(const std::string &text) const { return runner.Text(text); }

    static constexpr uint32_t kGameObjectClass = 12;
    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass characters{kCharacterClassId, &NewHero};
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::RecorderClass gameObjects{kGameObjectClass};
    game::RecorderClass standIns{kStandInClass};
    game::ScriptedKeys keys{runner};
    Hero *hero = nullptr;
    Actor *items = nullptr;
    InventoryActor *inventory = nullptr;
};

TEST_F(FrontEndFrames, SelectorOpensStepsHandsOverAndForgetsALeavingItem) {
    inventory->hudVisible = 1;
    // An empty list: open with nothing selected; "Fire 1" only closes.
    Tap(kKeyPrev);
    EXPECT_EQ(std::tuple(inventory->selectorOpen, inventory->selectedIndex), std::tuple(1u, -1));
    runner.Step(15);
    Tap(kKeyFire1);
    runner.Step(15);
    EXPECT_EQ(inventory->selectorOpen, 0u);
    EXPECT_TRUE(hero->Of(1072).empty() && hero->Of(1073).empty());

    // Only Game Objects whose ammunition the hero has are offered.
    Actor *guns[3];
    for (int i = 0; i < 3; ++i) {
        guns[i] = Weapon(items, "Gun" + std::to_string(i), 1u << 0);
    }
    Weapon(items, "Other", 1u << 3);
    CreateActor(int32_t(kGameObjectClass), "NoAmmo", nullptr, items, -1, true);
    const struct {
        uint32_t key;
        int32_t index;
    } steps[] = {{kKeyNext, 0}, {kKeyPrev, 2}, {kKeyNext, 0}, {kKeyNext, 1}};
    Tap(steps[0].key);
    runner.Step(15);
    for (const auto &s : steps) {
        if (&s != &steps[0]) {
            Tap(s.key);
        }
        EXPECT_EQ(std::tuple(inventory->ammoItemCount, inventory->selectedIndex),
                  std::tuple(3u, s.index));
    }
    // A shooter's "Fire 1" hands the selection to the left hand, another
    // type's to the right hand.
    const struct {
        uint32_t type, grab;
    } hands[] = {{kCharacterThirdPersonShooter, 1073}, {kCharacterThirdPerson, 1072}};
    for (const auto &h : hands) {
        hero->characterType = h.type;
        hero->log.clear();
        if (inventory->selectorOpen == 0) {
            Tap(kKeyNext);
            runner.Step(15);
        }
        const int32_t chosen = inventory->selectedIndex;
        Tap(kKeyFire1);
        ASSERT_EQ(hero->Of(h.grab).size(), 1u) << h.type;
        EXPECT_EQ(hero->Of(h.grab)[0].Read<Actor *>(0), guns[chosen]);
        EXPECT_EQ(inventory->selectedIndex, -1);
        runner.Step(15);
        EXPECT_EQ(inventory->selectorOpen, 0u);
    }
    // The selected item leaves "Items": the selection goes.
    Tap(kKeyNext);
    runner.Step(15);
    Tap(kKeyPrev);
    ASSERT_EQ(inventory->selectedIndex, 2);
    DeleteActor(guns[2]);
    runner.Step();
    EXPECT_EQ(std::tuple(inventory->ammoItemCount, inventory->selectedIndex), std::tuple(2u, -1));

    // The hands hear 1049 every frame while the tick is on.
    hero->log.clear();
    runner.Step(3);
    EXPECT_EQ(hero->Of(1049).size(), 3u);
    inventory->handItemTick = 0;
    runner.Step(3);
    EXPECT_EQ(hero->Of(1049).size(), 3u);

    // The character goes: nothing is offered or drawn for it any more.
    inventory->handItemTick = 1;
    DeleteActor(hero);
    runner.Step(2);
    EXPECT_EQ(inventory->ammoItemCount, 0u);
}

TEST_F(FrontEndFrames, FadesEndOnTimeTheirFilmPlaysAndThePauseEndsByTheClock) {
    SendCommandArgs(inventory, cmd::inventory::FadeDown, 0.5f);
    EXPECT_NEAR(FramesWhile([&] { return inventory->fadeActive != 0; }), 30, 1);
    EXPECT_EQ(inventory->fadeLevel, 1.0f);
    const ScreenQuad &overlay = runner.frameLayers.overlay2;
    ASSERT_NE(overlay.material, nullptr);
    EXPECT_EQ(std::tuple(overlay.material->name, overlay.vertices[3].x,
                         overlay.vertices[0].color >> 24),
              std::tuple("Black", float(inventory->fadeWidth), 255u));
    // No time: over at the next frame, at its end level.
    inventory->fadeLevel = 0.0f;
    SendCommandArgs(inventory, cmd::inventory::FadeDown, 0.0f);
    runner.Step();
    EXPECT_EQ(std::tuple(inventory->fadeActive, inventory->fadeLevel), std::tuple(0u, 1.0f));

    // The film plays when its fade ends; the player character's actions
    // stop and the screen fades up.
    fakefilm::FakeFilms films;
    builder.folder.Put("Data/Intro.mpg", "film");
    GlobalActorSlots[1] = hero;
    SendCommandArgs(inventory, cmd::inventory::FadeDownPlayMovie, std::string("Intro"), 0.2f);
    EXPECT_NEAR(FramesWhile([&] { return films.opened.empty(); }), 12, 1);
    EXPECT_EQ(films.opened.size(), 1u);
    EXPECT_FALSE(FullScreenVideoOpen());
    EXPECT_EQ(hero->Of(879).size() + hero->Of(882).size() + hero->Of(885).size(), 3u);
    EXPECT_EQ(std::tuple(inventory->fadeActive, inventory->fadeSpeed, inventory->pendingMovie),
              std::tuple(1u, -5.0f, ""));

    // The pause ends after its time, though the world's clocks stand still;
    // "Jump" ends it at once.
    ActorSystem *world = GetActorSystem();
    SendCommandArgs(inventory, cmd::inventory::InventoryPause, 2.0f);
    EXPECT_NEAR(FramesWhile([&] { return world->runMode != 0; }), 120, 1);
    SendCommandArgs(inventory, cmd::inventory::InventoryPause, 2.0f);
    // Meanwhile the selector's fade runs out on the frame time while its
    // opacity stands still with the clocks: it closes again.
    Tap(kKeyPrev);
    runner.Step(15);
    EXPECT_EQ(std::tuple(inventory->selectorOpen, inventory->selectorAlpha, world->runMode),
              std::tuple(0u, 0.0f, 1u));
    keys.Key(kKeyJump, true);
    runner.Step();
    EXPECT_EQ(world->runMode, 0u);
}

TEST_F(FrontEndFrames, APauseRunInFrontEndFramesCountsTheirOwnTime) {
    // The front end run as the front-end actor of front-end frames, the last
    // normal frame's time being that of the start (0.01 s): one second of
    // pause is one second of those frames (1/60 s each).
    ActorSystem *world = GetActorSystem();
    SendCommandArgs(inventory, cmd::inventory::InventoryPause, 1.0f);
    world->SetRunMode(1, inventory, 0);
    FrameDelta = kInitialFrameDelta;
    EXPECT_NEAR(FramesWhile([&] { return world->runMode != 0; }), 60, 1);
}

TEST_F(FrontEndFrames, HandsHearZeroAndTheSoulBlinkWaitsForHealthAbove100) {
    inventory->hudVisible = 1;
    hero->Answer(868, 0u);
    hero->log.clear();
    for (int i = 0; i < 16; ++i) {
        runner.Step();
        EXPECT_TRUE(Quads("SoulIcon02").empty()) << inventory->currentTime;
    }
    ASSERT_EQ(hero->Of(1049).size(), 16u);
    EXPECT_EQ(hero->Of(1049)[0].Read<uint32_t>(0), 0u);
}

// The colour of a queued vertex as 0..255 channels (alpha, red, green, blue).
std::array<int, 4> Channels(const ScreenQuad *quad) {
    const uint32_t c = quad->vertices[0].color;
    return {int(c >> 24), int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF)};
}

TEST_F(FrontEndFrames, HudClockPanelsGaugeSensorAndBar) {
    const float w = float(inventory->screenWidth);
    const float h = float(inventory->screenHeight);
    inventory->hudVisible = 1;
    auto *clock = dynamic_cast<game::Recorder *>(
        CreateActor(int32_t(kStandInClass), "MissionTime", nullptr, inventory, -1, true));
    inventory->missionTimeActor.Assign(clock);
    const struct {
        float seconds;
        const char *text;
        float green, alpha;
    } times[] = {{59.3f, "0:59", 0.0f, 0.8f}, {59.7f, "0:59", 1.0f, 1.0f}, {61.0f, "1:01", 1.0f, 1.0f}};
    for (const auto &t : times) {
        clock->Answer(252, t.seconds);
        runner.Step();
        const TextLine *line = Text(t.text);
        ASSERT_NE(line, nullptr) << t.seconds;
        EXPECT_EQ(std::tuple(line->x, line->y, line->style, line->green, line->alpha),
                  std::tuple(w - 90.0f, 20.0f, 8u, t.green, t.alpha));
    }

    // Hand panels: the count of the ammunition type and the bullets; a
    // count above 10000 shows the bullets alone; the left hand its bullets.
    Actor *pistol = Weapon(FindDescendantByName(hero, "RightHand"), "Pistol", 1u << 0, 7);
    Weapon(FindDescendantByName(hero, "LeftHand"), "Knife", 0, 3);
    for (auto [count, text] : {std::pair{12u, "12/7"}, {10001u, "7"}}) {
        hero->Answer(1042, std::array<uint32_t, 2>{1, count});
        runner.Step();
        const TextLine *line = Text(text);
        ASSERT_NE(line, nullptr) << text;
        // Centred above the middle of the panel's icon.
        EXPECT_EQ(std::tuple(line->x, line->y, line->style),
                  std::tuple(w - 122.0f + 48.0f, h - 120.0f - 12.0f, 18u));
    }
    ASSERT_NE(Text("3"), nullptr);
    // The left panel at its own anchor, 60 pixels left of the right one.
    EXPECT_EQ(std::tuple(Text("3")->x, Text("3")->y),
              std::tuple(w - 182.0f + 48.0f, h - 120.0f - 12.0f));
    // A shot flares for a quarter of a second.
    EXPECT_TRUE(Quads("AmmoFlare").empty());
    dynamic_cast<game::Recorder *>(FindChildByName(pistol, "Ammo"))->Answer(732, 6u);
    runner.Step(2);
    ASSERT_EQ(Quads("AmmoFlare").size(), 1u);
    const ScreenVertex *flare = Quads("AmmoFlare")[0]->vertices;
    EXPECT_EQ(std::tuple(flare[3].x - flare[0].x, flare[3].y - flare[0].y), std::tuple(64.0f, 64.0f));
    runner.Step(16);
    EXPECT_TRUE(Quads("AmmoFlare").empty());
    // Without ammunition groups the count is 0 and never asked.
    hero->log.clear();
    hero->answers.erase(1042);
    dynamic_cast<game::Recorder *>(FindChildByName(pistol, "Ammo"))->Answer(738, 0u);
    runner.Step();
    EXPECT_NE(Text("0/6"), nullptr);
    EXPECT_TRUE(hero->Of(1042).empty());

    // Soul gauge: the fill follows the amount, "SoulIcon02" blinks on odd
    // eighths of a second while the health is above 100; a rising amount
    // glows.
    hero->Answer(255, 0.5f); // the hero stands in for the soul amount
    inventory->soulAmountActor.Assign(hero);
    hero->Answer(868, 1u);
    int blinks = 0;
    for (int i = 0; i < 16; ++i) {
        runner.Step();
        const bool odd = int(std::floor(inventory->currentTime * 8.0f)) % 2 == 1;
        EXPECT_EQ(Quads("SoulIcon02").size(), odd ? 1u : 0u) << inventory->currentTime;
        blinks += odd ? 1 : 0;
    }
    EXPECT_GT(blinks, 0);
    const ScreenVertex *fill = Quads("SoulIconFill").at(0)->vertices;
    EXPECT_EQ(fill[3].y - fill[0].y, 35.0f);
    EXPECT_TRUE(Quads("whiteadd").empty());
    inventory->addGlowMaterial = runner.library->FindItemByName("whiteadd", ItemClass::Material);
    InventoryActor::Hud().lastSoulAmount = 0.25f;
    runner.Step();
    EXPECT_EQ(Quads("whiteadd").size(), 1u);

    // Endurance marks from green to red, the last one partly.
    const struct {
        float capacity;
        size_t marks;
        size_t probe;
        std::array<int, 4> colour;
    } bars[] = {{0.6f, 7, 0, {255, 134, 125, 114}}, {0.6f, 7, 6, {102, 187, 80, 44}},
                {0.2f, 13, 7, {255, 255, 51, 0}}};
    for (const auto &b : bars) {
        hero->Answer(1076, b.capacity);
        runner.Step();
        const auto marks = Quads("endurance_mark");
        ASSERT_EQ(marks.size(), b.marks) << b.capacity;
        EXPECT_EQ(marks[b.probe]->vertices[0].x, 138.0f + 4.0f * float(b.probe));
        const std::array<int, 4> got = Channels(marks[b.probe]);
        for (size_t c = 0; c < 4; ++c) {
            EXPECT_NEAR(got[c], b.colour[c], 1) << b.capacity << " mark " << b.probe << " " << c;
        }
    }

    // The light sensor: the colour goes back normalised; the shown colour
    // moves at most one unit a second.
    hero->Answer(354, Vector4{0.5f, 0.25f, 0.75f, 0.0f});
    hero->Answer(975, 0.5f); // the light value
    hero->log.clear();
    runner.Step();
    ASSERT_FALSE(hero->Of(975).empty());
    const RecordedCommand sent = hero->Of(975)[0];
    EXPECT_EQ(std::tuple(sent.F32(0), sent.F32(4), sent.F32(8)), std::tuple(1.0f, 0.5f, 1.5f));
    const Vector4 shown = InventoryActor::Hud().lightSensorColor;
    EXPECT_NEAR(std::sqrt(shown.x * shown.x + shown.y * shown.y + shown.z * shown.z), 1.0f / 60.0f,
                1e-4);
    const auto sensor = Quads("LightSensor");
    ASSERT_EQ(std::tuple(Quads("LightSensor2").size(), sensor.size()), std::tuple(1u, 1u));
    EXPECT_LT(Quads("LightSensor2")[0], sensor[0]);
    EXPECT_EQ(std::tuple(sensor[0]->vertices[0].x, sensor[0]->vertices[0].y,
                         sensor[0]->vertices[3].x - sensor[0]->vertices[0].x),
              std::tuple(20.0f, h - 120.0f, 111.0f));

    // Grain: alpha 0 draws nothing and keeps the offsets.
    EXPECT_EQ(Quads("FilmGrain").size(), 1u);
    const float u = InventoryActor::Hud().grainU;
    inventory->filmGrainColor.w = 0.0f;
    runner.Step(8);
    EXPECT_TRUE(Quads("FilmGrain").empty());
    EXPECT_EQ(InventoryActor::Hud().grainU, u);

    // Code 10 empties the display.
    SendCommandArgs(inventory, cmd::inventory::InventoryHack, 10u);
    runner.Step();
    EXPECT_TRUE(runner.frameLayers.texts.empty());
    EXPECT_TRUE(runner.frameLayers.quads.empty());
}

} // namespace
