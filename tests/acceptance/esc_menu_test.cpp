// The pause menu on Esc over a started level: the globals hold the key actor
// "/Global/Inventory/Esc", whose "Action Start Pre" script activates
// "PauseMenu" (a UI System with its "Cursor" and a page whose "Resume"
// deactivates it). Esc waits for the Player's first second, stops the
// character and opens the menu; the menu's frames leave the world standing;
// the cursor follows the stick to "Resume", a click there closes the menu;
// without the key actor Esc ends the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "actors/characters/player_actor.h"
#include "core/actors/actor_path.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/actors/engine_startup.h"
#include "core/actors/subsystem_hooks.h"
#include "core/actors/time_record.h"
#include "game/ui_button_actor.h"
#include "game/ui_element.h"
#include "game/ui_sprite_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_window_actor.h"
#include "platform/input.h"
#include "platform/os/window.h"
#include "support/game_fixture.h"
#include "support/sample_game_folder.h"
#include "support/scene_harness.h"

namespace {

using Ids = std::vector<uint32_t>;
constexpr uint32_t kCmdActionStartPre = 208;
constexpr InputCode kEsc = 0x1B;
constexpr uint32_t kLeftButton = 256;
// The globals file holds the front end and the test's actors after it.
constexpr int32_t kFirstGlobalId = kInventoryActorId + 1;

// The world's collision pass and 3D pass, counted on their way through the
// hooks.
struct PassCounts {
    static inline WorldHooks installed;
    static inline int collisions = 0;
    static inline int drawings = 0;
    static int Collide(ActorSystem *system, float step) {
        ++collisions;
        return installed.collisionPass != nullptr ? installed.collisionPass(system, step) : 1;
    }
    static int Draw(ActorSystem *system, float step) {
        ++drawings;
        return installed.drawVisibleGroups != nullptr ? installed.drawVisibleGroups(system, step)
                                                      : 1;
    }
};

class EscMenuScene : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        ASSERT_TRUE(UseSampleGame(builder)); // beside the sample's library
        // The globals, loaded before the level: the key actor below the
        // front end, the menu below "Global".
        int32_t next = kFirstGlobalId;
        auto make = [&next](uint32_t classId, const char *name, Actor *parent) {
            return CreateActor(int32_t(classId), name, nullptr, parent, next++, true);
        };
        Actor *key = make(0, "Esc", GetActorById(kInventoryActorId));
        Actor *menu = make(kUiSystemClassId, "PauseMenu", GetActorById(kGlobalRootId));
        SendCommandArgs(make(kUiSpriteClassId, "Cursor", menu), cmd::ui_sprite::SetUISpriteMaterial,
                        std::string("Cursor"));
        Actor *page = make(kUiWindowClassId, "Page", menu);
        Actor *resume = make(kUiButtonClassId, "Resume", page);
        SendCommandArgs(resume, kUiCmdSetPosition, Vector3{400, 300, 0});
        std::string error;
        for (auto [actor, event, source] :
             {std::tuple{key, kCmdActionStartPre, "/Global/PauseMenu.UI_System_Activate();"},
              {menu, cmd::ui_system::UISystemActivate, "/Global/PauseMenu/Page.Action_Start();"},
              {resume, cmd::ui_button::OnUIButtonUp,
               "/Global/PauseMenu.UI_System_Deactivate();"}}) {
            ASSERT_TRUE(scene::SceneBuilder::AddScript(actor, event, source, &error)) << error;
        }
        ASSERT_TRUE(builder.LoadGlobals(kInventoryActorId, next, "Globals.qva", &error)) << error;
        ASSERT_NE(game::PlayerLevel(builder), nullptr);
        ASSERT_TRUE(builder.Load(&error)) << error;
        hero = scene::SceneBuilder::Find("GA1_Player");
        player = dynamic_cast<PlayerActor *>(scene::SceneBuilder::Find("MASTERPLAYER"));
        system = dynamic_cast<UISystemActor *>(FindActorByPath("/Global/PauseMenu", nullptr));
        esc = FindActorByPath("/Global/Inventory/Esc", nullptr);
        ASSERT_TRUE(hero != nullptr && player != nullptr && system != nullptr && esc != nullptr);
        spies.Watch(hero);
        spies.Watch(esc);
        spies.Watch(scene::SceneBuilder::Find("Resume"));

        // The stick steers the menu's cursor.
        keys.backend.AddJoystick();
        runner.UseInput(&keys.backend);
        BindDefaultActions();
        BindAction(1, kJoystickAxis0, 0);
        BindAction(2, kJoystickAxis0 + 1, 0);
        GetActorSystemHooks().requestClose = [this] { ++closes; };
        PassCounts::installed = GetWorldHooks();
        WorldHooks counted = PassCounts::installed;
        counted.collisionPass = &PassCounts::Collide;
        counted.drawVisibleGroups = &PassCounts::Draw;
        InstallWorldHooks(counted);
    }
    void TearDown() override {
        InstallWorldHooks(PassCounts::installed);
        ResetActorSystemHooks();
        GetActorSystem()->runMode = GetActorSystem()->runFlags = 0;
    }

    // Esc down for one frame and up in the next: the notices of the frame
    // it went down in.
    std::vector<scene::SpyNotice> TapEsc() {
        spies.Take();
        keys.Key(InputCodeToVirtualKey(kEsc), true);
        runner.Step();
        std::vector<scene::SpyNotice> heard = spies.Take();
        keys.Key(InputCodeToVirtualKey(kEsc), false);
        runner.Step();
        return heard;
    }
    // The character's stops and the key actor's start among notices.
    static Ids Stops(const std::vector<scene::SpyNotice> &notices) {
        Ids ids;
        for (const scene::SpyNotice &notice : notices) {
            if ((notice.actor == "GA1_Player" &&
                 (notice.command == 879 || notice.command == 882 || notice.command == 885)) ||
                (notice.actor == "Esc" && notice.command == kCmdActionStartPre)) {
                ids.push_back(notice.command);
            }
        }
        return ids;
    }
    // Axis values x and y (the stick's second axis reads pushed up as
    // positive, the cursor's y grows downwards).
    void Stick(float x, float y) {
        keys.backend.Joystick(0).axes[0] = int32_t(x * 4096.0f);
        keys.backend.Joystick(0).axes[1] = int32_t(-y * 4096.0f);
    }
    void Click(bool down) {
        keys.backend.SetKey(1, down);
        WindowMessage message;
        message.kind = down ? MessageKind::ButtonDown : MessageKind::ButtonUp;
        message.button = kLeftButton;
        HandleInputMessage(message);
        runner.Step();
    }
    // The frame's world figures that a menu frame leaves alone.
    static auto World(const PlayerActor *player) {
        return std::tuple(FrameCounter, RootTimeRecord()->time, player->runTime,
                          PassCounts::collisions, PassCounts::drawings);
    }

    scene::SceneRunner runner;
    scene::SceneBuilder builder;
    game::RecorderClass skins{game::kSkinClassId, &game::NewScriptedSkin};
    game::ScriptedKeys keys{runner};
    scene::SpyLog spies;
    Actor *hero = nullptr;
    Actor *esc = nullptr;
    PlayerActor *player = nullptr;
    UISystemActor *system = nullptr;
    int closes = 0;
};

TEST_F(EscMenuScene, EscOpensTheMenuWhichStopsTheWorldAndResumeClosesIt) {
    ASSERT_EQ(GlobalActorSlots[1], hero);
    // In the Player's first second Esc does nothing.
    runner.Step(40);
    ASSERT_LT(player->runTime, 1.0f);
    EXPECT_EQ(Stops(TapEsc()), Ids{});
    EXPECT_EQ(std::tuple(system->active, GetActorSystem()->runMode, closes), std::tuple(0u, 0u, 0));

    // Later it stops the character and starts the key actor, whose script
    // opens the menu.
    runner.Step(30);
    ASSERT_GT(player->runTime, 1.0f);
    spies.Take();
    keys.Key(InputCodeToVirtualKey(kEsc), true);
    runner.Step();
    EXPECT_EQ(Stops(spies.Take()), (Ids{879, 882, 885, kCmdActionStartPre}));
    ASSERT_EQ(
        std::tuple(system->active, GetActorSystem()->runMode, GetActorSystem()->frontEndActor),
        std::tuple(1u, 1u, static_cast<Actor *>(system)));
    EXPECT_EQ(FocusedWindow, FindDescendantByName(system, "Page"));

    // The next frame is the menu's: no world time, frame count, scheduled
    // work, collision or 3D pass.
    const auto before = World(player);
    keys.Key(InputCodeToVirtualKey(kEsc), false);
    runner.Step();
    EXPECT_EQ(World(player), before);
    EXPECT_EQ(std::tuple(system->cursorX, system->cursorY), std::tuple(100.0f, 70.0f));

    // The cursor moves 20 reference units a frame with the stick, stops at
    // the reference size and at 0, and its sprite sits 8 up and left.
    Actor *cursor = FindDescendantByName(system, "Cursor");
    ASSERT_NE(cursor, nullptr);
    const struct {
        float x, y;
        int frames;
        float endX, endY;
    } moves[] = {{-1, 0, 6, 0, 70},
                 {1, -1, 45, 800, 0},
                 {-1, 1, 30, 200, 600},
                 {1, 1, 10, 400, 600},
                 {0, -1, 15, 400, 300}};
    spies.Take();
    for (const auto &m : moves) {
        Stick(m.x, m.y);
        for (int i = 0; i < m.frames; ++i) {
            const float x = system->cursorX, y = system->cursorY;
            runner.Step();
            EXPECT_EQ(std::tuple(system->cursorX, system->cursorY),
                      std::tuple(std::clamp(x + 20.0f * m.x, 0.0f, 800.0f),
                                 std::clamp(y + 20.0f * m.y, 0.0f, 600.0f)));
            EXPECT_EQ(std::tuple(cursor->position.x, cursor->position.y),
                      std::tuple(system->cursorX - 8.0f, system->cursorY - 8.0f));
        }
        EXPECT_EQ(std::tuple(system->cursorX, system->cursorY), std::tuple(m.endX, m.endY));
    }
    EXPECT_EQ(World(player), before) << "the world stood still under the menu";
    // The sprite is drawn there in screen pixels, with the sample's "Cursor".
    const auto drawn = runner.Quads("Cursor");
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(std::tuple(drawn[0]->vertices[0].x, drawn[0]->vertices[0].y),
              std::tuple(392.0f * system->scale.x, 292.0f * system->scale.y));

    // The last move came over "Resume" (its rectangle about its centre, in
    // screen pixels); a click there: Over, Down, Up, and the menu is gone.
    Stick(0, 0);
    Click(true);
    Click(false);
    Ids events;
    for (const scene::SpyNotice &notice : spies.Take()) {
        if (notice.actor == "Resume" && notice.command >= cmd::ui_button::OnUIButtonUp &&
            notice.command <= cmd::ui_button::OnUIButtonOut) {
            events.push_back(notice.command);
        }
    }
    EXPECT_EQ(events,
              (Ids{cmd::ui_button::OnUIButtonOver, cmd::ui_button::OnUIButtonDown,
                   cmd::ui_button::OnUIButtonUp}));
    EXPECT_EQ(
        std::tuple(system->active, GetActorSystem()->runMode, FocusedWindow, PreviousFocusedWindow),
        std::tuple(0u, 0u, nullptr, nullptr));
    runner.Step();
    EXPECT_EQ(FrameCounter, std::get<0>(before) + 1);
    EXPECT_EQ(std::tuple(FrameDelta, RootTimeRecord()->delta),
              std::tuple(float(1.0 / 60.0), float(1.0 / 60.0)));
    EXPECT_EQ(closes, 0);

    // Without the key actor Esc ends the engine: "Exit Engine" to the
    // actor system.
    DeleteActor(esc);
    spies.Watch(GetActorSystem());
    runner.Step();
    const std::vector<scene::SpyNotice> heard = TapEsc();
    EXPECT_EQ(Stops(heard), Ids{});
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(),
                            [](const scene::SpyNotice &notice) { return notice.command == 372; }),
              1);
    EXPECT_EQ(std::tuple(closes, system->active), std::tuple(1, 0u));
}

} // namespace
