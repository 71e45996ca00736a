// The head-up display over a started level: the player character (type 3,
// health 99) holds a loaded pistol, a mission clock runs from 30 s and the
// soul amount stands at half. The level's fade, the soul gauge, the clock
// and the hand panel are read from the screen queues of every frame, none
// of their texts over a picture or another text; then a shot flares, running wears the endurance
// bar down and "Inventory Hack" 10 takes the display away.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/characters/game_object_actor.h"
#include "actors/world/timer_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "game/inventory_actor.h"
#include "library/library_item.h"
#include "library/resource_library.h"
#include "platform/input.h"
#include "support/game_fixture.h"
#include "support/sample_game_folder.h"
#include "support/scene_harness.h"

namespace {

constexpr uint32_t kCmdSetItemType = 602;
constexpr uint32_t kCmdSetItemState = 612;
constexpr uint32_t kCmdSetIcon2 = 627;
constexpr uint32_t kCmdSetAmmoBullets = 731;
constexpr uint32_t kCmdSetAmmoGroups = 737;
constexpr InputCode kW = 0x57, kE = 0x45, kLeftShift = 0x92;
constexpr uint32_t kIconSlot = 4; // the sample's "Default"

// A Timer at the id that starts with the level at `start` and runs at
// `speed`.
Actor *Clock(Actor *parent, const char *name, int32_t id, float total, float start, float speed) {
    Actor *timer = CreateActor(int32_t(kTimerClassId), name, nullptr, parent, id, true);
    SendCommandArgs(timer, cmd::base::SetTotalTime, total);
    SendCommandArgs(timer, cmd::timer::SetTimerStartTime, start);
    SendCommandArgs(timer, cmd::timer::SetTimerMultiplier, speed);
    return timer;
}

// The sample's pistol, in the hand, with six bullets of ammunition type 1.
void Pistol(scene::SceneBuilder &builder, Actor *hand) {
    Actor *pistol = builder.Make(int32_t(kGameObjectClassId), "Pistol", hand);
    SendCommandArgs(pistol, kCmdSetItemType, uint32_t(kItemWeapon));
    while (!pistol->children.empty()) {
        DeleteActor(pistol->children.back());
    }
    SendCommandArgs(pistol, kCmdSetItemState, uint32_t(kItemInHand));
    SendCommandArgs(pistol, kCmdSetIcon2, kIconSlot);
    for (const char *phase : {"Loaded", "Fire", "ClipUnload"}) {
        builder.Make(0, phase, pistol);
    }
    SendCommandArgs(builder.Make(0, "FlashPos", pistol), cmd::base::SetPosition,
                    Vector3{0, 15, -40});
    Actor *ammo = builder.Make(int32_t(kGameObjectClassId), "Ammo", pistol);
    SendCommandArgs(ammo, kCmdSetItemType, uint32_t(kItemAmmo));
    while (!ammo->children.empty()) {
        DeleteActor(ammo->children.back());
    }
    SendCommandArgs(ammo, kCmdSetAmmoGroups, 1u);
    SendCommandArgs(ammo, kCmdSetAmmoBullets, 6u);
}

struct Rect {
    float x, y, width, height;
};
Rect Bounds(const ScreenQuad &quad) {
    return {quad.vertices[0].x, quad.vertices[0].y, quad.vertices[3].x - quad.vertices[0].x,
            quad.vertices[3].y - quad.vertices[0].y};
}
float Alpha(const ScreenQuad &quad) { return float(quad.vertices[0].color >> 24) / 255.0f; }

// A text's box as the game font draws it: at most 10 pixels a character and
// 18 high; style bit 2 centres it on x, bit 0x10 on y.
Rect TextBox(const TextLine &line) {
    const float width = 10.0f * float(line.text.size()), height = 18.0f;
    return {(line.style & 2) != 0 ? line.x - width / 2.0f : line.x,
            (line.style & 0x10) != 0 ? line.y - height / 2.0f : line.y, width, height};
}
bool Overlap(const Rect &a, const Rect &b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

class HudScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        // Beside the sample's library, with the display's materials added.
        ASSERT_TRUE(UseSampleGame(builder));
        ASSERT_TRUE(game::AddMaterials(
            *runner.library, 175,
            {std::begin(game::kHudMaterialNames), std::end(game::kHudMaterialNames)}));
        // The globals: the front end with its clock, and the soul amount
        // where the Player and the gauge look for it.
        const int32_t first = kInventoryActorId;
        Clock(GetActorById(first), "MissionTime", first + 1, 600.0f, 30.0f, 1.0f);
        Actor *soul =
            CreateActor(0, "ScriptSoul", nullptr, GetActorById(kGlobalRootId), first + 2, true);
        Clock(soul, "Amount", first + 3, 10.0f, 5.0f, 0.0f);
        std::string error;
        ASSERT_TRUE(builder.LoadGlobals(first, first + 4, "Globals.qva", &error)) << error;

        CharacterActor *character = game::PlayerLevel(builder);
        ASSERT_NE(character, nullptr);
        Pistol(builder, FindDescendantByName(character, "RightHand"));
        ASSERT_TRUE(builder.Load(&error)) << error;
        inventory = dynamic_cast<InventoryActor *>(GetActorById(kInventoryActorId));
        ASSERT_NE(inventory, nullptr);
        hero = scene::SceneBuilder::Find("GA1_Player");
        ASSERT_NE(hero, nullptr);
        BindDefaultActions();
    }
    void TearDown() override { GetActorSystem()->runMode = GetActorSystem()->runFlags = 0; }

    void Hold(InputCode code, bool down) { keys.Key(InputCodeToVirtualKey(code), down); }

    // The HUD pieces every frame of the level shows: the health, the soul
    // gauge half full, the clock (red in the first half of each second
    // below a minute) and the pistol's panel with "count/bullets".
    void ExpectHud(const std::string &bullets) {
        const float w = float(inventory->screenWidth), h = float(inventory->screenHeight);
        const std::string frame = "frame " + std::to_string(FrameCounter);
        const TextLine *health = runner.Text("99");
        ASSERT_NE(health, nullptr) << frame;
        EXPECT_EQ(health->style, 18u);
        const auto icon = runner.Quads("SoulIcon");
        const auto fill = runner.Quads("SoulIconFill");
        ASSERT_EQ(std::tuple(icon.size(), fill.size()), std::tuple(1u, 1u)) << frame;
        const Rect iconAt = Bounds(*icon[0]), fillAt = Bounds(*fill[0]);
        EXPECT_EQ(std::tuple(iconAt.x, iconAt.y, iconAt.width, iconAt.height),
                  std::tuple(20.0f, h - 120.0f, 128.0f, 96.0f));
        EXPECT_NEAR(fillAt.height, 35.0f, 1e-3) << frame;
        EXPECT_GE(fillAt.y, h - 120.0f);
        EXPECT_LE(fillAt.y + fillAt.height, h - 120.0f + 96.0f);

        float seconds = 0.0f;
        Actor *clock = FindDescendantByName(inventory, "MissionTime");
        ASSERT_NE(clock, nullptr);
        clock->HandleCommand(cmd::base::GetCurrentTime, ParamBlock(&seconds, sizeof(seconds)));
        char shown[16];
        std::snprintf(shown, sizeof(shown), "%d:%02d", int(seconds) / 60, int(seconds) % 60);
        const TextLine *time = runner.Text(shown);
        ASSERT_NE(time, nullptr) << frame << " " << seconds;
        EXPECT_EQ(std::tuple(time->x, time->y, time->style), std::tuple(w - 90.0f, 20.0f, 8u));
        const int hundredths = int((seconds - std::floor(seconds)) * 100.0f);
        if (std::abs(hundredths - 50) > 2 && hundredths > 2 && hundredths < 98) {
            const bool red = hundredths < 50;
            EXPECT_EQ(std::tuple(time->red, time->green, time->blue),
                      std::tuple(1.0f, red ? 0.0f : 1.0f, red ? 0.0f : 1.0f))
                << frame << " " << seconds;
            (red ? redFrames : whiteFrames)++;
        }

        const TextLine *count = runner.Text(bullets);
        ASSERT_NE(count, nullptr) << frame << " " << bullets;
        EXPECT_EQ(std::tuple(count->x, count->y, count->style),
                  std::tuple(w - 122.0f + 48.0f, h - 120.0f - 12.0f, 18u));
        const auto panelIcon = runner.Quads("Default");
        ASSERT_EQ(panelIcon.size(), 1u) << frame;
        const Rect panelAt = Bounds(*panelIcon[0]);
        EXPECT_EQ(std::tuple(panelAt.x, panelAt.y, panelAt.width, panelAt.height),
                  std::tuple(w - 122.0f, h - 120.0f, 96.0f, 96.0f));
        ExpectNothingOverlaps(iconAt, panelAt);
    }

    // Every text clear of every picture (but a full-screen layer) and of the
    // other texts, inside the screen; the soul gauge clear of the hand's
    // panel.
    void ExpectNothingOverlaps(const Rect &gauge, const Rect &panel) {
        const std::string frame = "frame " + std::to_string(FrameCounter);
        const auto &texts = runner.frameLayers.texts;
        for (size_t i = 0; i < texts.size(); ++i) {
            const Rect box = TextBox(texts[i]);
            EXPECT_TRUE(box.x >= 0.0f && box.y >= 0.0f &&
                        box.x + box.width <= float(inventory->screenWidth) &&
                        box.y + box.height <= float(inventory->screenHeight))
                << frame << " \"" << texts[i].text << "\" off the screen";
            for (const ScreenQuad &quad : runner.frameLayers.quads) {
                // The film grain covers the whole screen by design.
                const Rect at = Bounds(quad);
                if (at.width >= float(inventory->screenWidth) &&
                    at.height >= float(inventory->screenHeight)) {
                    continue;
                }
                EXPECT_FALSE(Overlap(box, at))
                    << frame << " \"" << texts[i].text << "\" over "
                    << (quad.material != nullptr ? quad.material->name : "?");
            }
            for (size_t j = i + 1; j < texts.size(); ++j) {
                EXPECT_FALSE(Overlap(box, TextBox(texts[j])))
                    << frame << " \"" << texts[i].text << "\" over \"" << texts[j].text << "\"";
            }
        }
        EXPECT_FALSE(Overlap(gauge, panel)) << frame;
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::ScriptedKeys keys{runner};
    InventoryActor *inventory = nullptr;
    Actor *hero = nullptr;
    int redFrames = 0, whiteFrames = 0;
};

TEST_F(HudScene, FadeGaugeClockPanelShotRunAndHackTen) {
    // The level's fade: black at alpha 1 falling to 0 over 3 s, every frame
    // with the display under it.
    std::vector<float> fade;
    for (int frame = 1; frame <= 200; ++frame) {
        runner.Step();
        const ScreenQuad &overlay = runner.frameLayers.overlay2;
        fade.push_back(overlay.material != nullptr && overlay.material->name == "Black"
                           ? Alpha(overlay)
                           : -1.0f);
        ExpectHud("0/6");
        if (HasFailure()) {
            return;
        }
    }
    EXPECT_GE(fade.front(), 0.99f);
    for (size_t i = 1; i < 170; ++i) {
        EXPECT_LE(fade[i], fade[i - 1]) << "frame " << i + 1;
    }
    EXPECT_NEAR(fade[89], 0.5f, 0.02f) << "half way at 1.5 s";
    EXPECT_LE(fade[181], 0.0f) << "gone after 3 s";
    EXPECT_GT(fade[175], 0.0f);
    EXPECT_GT(redFrames, 40);
    EXPECT_GT(whiteFrames, 40);

    // E fires one bullet: the panel counts 5 and flares for a quarter of a
    // second.
    Hold(kE, true);
    runner.Step();
    Hold(kE, false);
    int flared = 0;
    for (int frame = 0; frame < 40; ++frame) {
        runner.Step();
        flared += runner.Quads("AmmoFlare").empty() ? 0 : 1;
        if (const auto flare = runner.Quads("AmmoFlare"); !flare.empty()) {
            const Rect at = Bounds(*flare[0]);
            EXPECT_EQ(std::tuple(at.width, at.height), std::tuple(64.0f, 64.0f));
        }
    }
    ExpectHud("0/5");
    EXPECT_NEAR(flared, 15, 1);

    // Running with left Shift and W spends endurance: the bar grows, its
    // marks lined up at 138 + 4i along the bottom.
    const size_t rested = runner.Quads("endurance_mark").size();
    Hold(kLeftShift, true);
    Hold(kW, true);
    runner.Step(180);
    Hold(kW, false);
    Hold(kLeftShift, false);
    runner.Step();
    const float h = float(inventory->screenHeight);
    const auto marks = runner.Quads("endurance_mark");
    ASSERT_GT(marks.size(), rested) << "the bar after running";
    for (size_t i = 0; i < marks.size(); ++i) {
        const Rect at = Bounds(*marks[i]);
        EXPECT_EQ(std::tuple(at.x, at.y), std::tuple(138.0f + 4.0f * float(i), h - 25.0f)) << i;
    }
    EXPECT_FALSE(runner.Quads("LightSensor").empty());

    // Code 10: no HUD, no clock, no sensor, no bar.
    SendCommandArgs(inventory, cmd::inventory::InventoryHack, 10u);
    runner.Step();
    EXPECT_TRUE(runner.frameLayers.texts.empty());
    for (const char *gone : {"SoulIcon", "SoulIconFill", "Default", "LightSensor", "LightSensor2",
                             "endurance_mark", "endurance_back"}) {
        EXPECT_TRUE(runner.Quads(gone).empty()) << gone;
    }
}

} // namespace
