// The sample's missions, run in this process on the play folder with fake
// films: "New Game" on the title plays mission 1's film and loads it with
// the missions' globals; the screen fades in over 3 s onto the head-up
// display (queued and captured); the player put on the exit gets the save
// offer, and "Continue" plays mission 2's film and loads mission 2, whose
// yard shows. Then each mission's walls hold a hero walking into them, and
// mission 1's guard patrols, hunts and catches. Last, the whole game plays
// in one run, from the title back to it and to loading the saved game, and
// mission 1 collides the same on every load of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/characters/game_object_actor.h"
#include "actors/characters/guard_actor.h"
#include "actors/presentation/mesh_object_actor.h"
#include "actors/world/door_actor.h"
#include "actors/world/spawn_point_actor.h"
#include "actors/world/timer_actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/actor_system_commands.h"
#include "core/actors/command_ids.h"
#include "core/actors/loading_screen.h"
#include "core/actors/screen_capture.h"
#include "game/inventory_actor.h"
#include "game/ui_map_input_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_text_actor.h"
#include "game/ui_window_actor.h"
#include "library/library_item.h"
#include "library/render/screen_layers.h"
#include "library/resource_library.h"
#include "platform/input.h"
#include "support/fake_display.h"
#include "support/fake_film.h"
#include "support/play_run_host.h"
#include "support/process_reset.h"
#include "support/sample_copy.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

constexpr uint32_t kLeftMouseButton = 256;
constexpr float kScreenHeight = 600.0f;

// Keeps each frame's 2D queues and overlay before they are drawn.
class QueueKeepingHost : public PlayRunHost {
public:
    void Draw2D() override {
        if (ResourceLibrary* library = GetLibrary()) {
            quads = library->GetScreenLayers().quads;
            texts = library->GetScreenLayers().texts;
            overlay = library->GetScreenLayers().overlay2;
        }
        PlayRunHost::Draw2D();
        if (capture && CaptureBackBuffer(800, 600) == 1) {
            captured = GetCaptureImage()->Pixels();
            capture = false;
        }
    }
    // Colours 0xRRGGBB within 8 of each other in every channel.
    static bool Near(uint32_t got, uint32_t want) {
        for (int shift : {0, 8, 16}) {
            if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 8) return false;
        }
        return true;
    }
    // A captured frame's colour at a pixel; rows top first.
    static uint32_t ColorAt(const std::vector<uint8_t>& captured, size_t pixel) {
        const size_t at = pixel * 4;
        return at + 2 < captured.size()
                   ? uint32_t(captured[at + 2]) << 16 | uint32_t(captured[at + 1]) << 8 | captured[at]
                   : 0xFFFFFFFFu;
    }
    static int CountNear(const std::vector<uint8_t>& captured, uint32_t color) {
        int count = 0;
        for (size_t pixel = 0; pixel < captured.size() / 4; ++pixel) {
            count += Near(ColorAt(captured, pixel), color) ? 1 : 0;
        }
        return count;
    }

    const ScreenQuad* Quad(const std::string& material) const {
        for (const ScreenQuad& quad : quads) {
            if (quad.material != nullptr && quad.material->name == material) return &quad;
        }
        return nullptr;
    }
    const TextLine* TextAt(float x, float y) const {
        for (const TextLine& line : texts) {
            if (line.x == x && line.y == y) return &line;
        }
        return nullptr;
    }
    // The fade's alpha this frame; 0 without an overlay.
    float OverlayAlpha() const {
        return overlay.material == nullptr ? 0.0f : float(overlay.vertices[0].color >> 24) / 255.0f;
    }

    std::vector<ScreenQuad> quads;
    std::vector<TextLine> texts;
    ScreenQuad overlay;
    bool capture = false;  // the next frame's back buffer, after its 2D drawing
    std::vector<uint8_t> captured;
};

// The level load the world holds after a frame, when one waits.
struct Load {
    std::string globals;
    std::string scene;
    uint32_t flag = 0;
    uint32_t frame = 0;
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool OpenedFilm(const fakefilm::FakeFilms& films, const std::string& name) {
    for (const std::string& path : films.opened) {
        if (path.find(name) != std::string::npos) return true;
    }
    return false;
}

TEST(MissionRun, NewGameFadesInOntoTheHudAndTheExitLeadsThroughTheSaveOfferToMission2) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    QueueKeepingHost host;
    host.drawFrame = [&] { return host.capture; }; // the captured frames only
    std::vector<Load> loads;
    bool film1BeforeLoad = false;
    bool film2BeforeLoad = false;
    uint32_t mission1 = 0;  // the first frame with the player
    uint32_t faded = 0;     // the first mission frame without the fade
    float firstAlpha = 0.0f;
    ScreenQuad soulIcon;
    ScreenQuad soulFill;
    TextLine health;
    TextLine clockText;
    bool hudSeen = false;
    uint32_t offered = 0;   // the frame the save offer opened
    std::vector<uint8_t> hudShot;
    std::string forwardKeys;
    std::string floor2;
    std::string floorMesh;
    uint32_t mission2 = 0;  // the first frame of mission 2
    host.afterFrame = [&](uint32_t frame) {
        if (frame == 6 || frame == 8) host.Button(kLeftMouseButton, frame == 6);
        const ActorSystem* world = GetActorSystem();
        if (world != nullptr && world->loadPending != 0 &&
            (loads.empty() || loads.back().scene != world->secondFile)) {
            loads.push_back({world->firstFile, world->secondFile, world->loadFlag, frame});
            (loads.size() == 1 ? film1BeforeLoad : film2BeforeLoad) =
                OpenedFilm(films, loads.size() == 1 ? "Mission_01" : "Mission_02");
        }
        Actor* hero = FindActorByName("GA1_Player", 16);
        auto* inventory = dynamic_cast<InventoryActor*>(GetActorById(kInventoryActorId));
        if (mission1 == 0) {
            if (hero != nullptr && loads.size() == 1) {
                mission1 = frame;
            }
            return;
        }
        // The load's own frame ran no game actor.
        if (frame == mission1 + 1) {
            firstAlpha = host.OverlayAlpha();
            Actor* row = FindActorByName("Map_Forward", int32_t(kUiMapInputClassId));
            if (auto* text = dynamic_cast<UITextActor*>(row != nullptr ? FindChildByName(row, "Text") : nullptr)) {
                forwardKeys = text->text;
            }
        }
        if (faded == 0 && host.OverlayAlpha() == 0.0f && inventory != nullptr &&
            inventory->fadeLevel == 0.0f && inventory->fadeActive == 0) {
            faded = frame;
        }
        if (frame == mission1 + 199) host.capture = true;
        if (frame == mission1 + 200 && hero != nullptr) {
            hudShot = host.captured;
            const ScreenQuad* icon = host.Quad("SoulIcon");
            const ScreenQuad* fill = host.Quad("SoulIconFill");
            const TextLine *shownHealth =
                host.TextAt(20.0f + 152.0f, kScreenHeight - 120.0f + 48.0f);
            const TextLine* shownClock = host.TextAt(800.0f - 90.0f, 20.0f);
            hudSeen = icon != nullptr && fill != nullptr && shownHealth != nullptr && shownClock != nullptr;
            if (hudSeen) {
                soulIcon = *icon;
                soulFill = *fill;
                health = *shownHealth;
                clockText = *shownClock;
            }
            // On the exit.
            Actor* exit = FindActorByName("Exit", 31);
            if (exit != nullptr) SendCommandArgs(hero, cmd::base::SetPosition,
                                                 exit->GetWorldPosition());
        }
        auto* menu = dynamic_cast<UISystemActor*>(FindActorByName("Menu", int32_t(kUiSystemClassId)));
        if (offered == 0 && menu != nullptr && menu->active != 0) {
            offered = frame;
            host.Button(kLeftMouseButton, true);  // "Continue", under the cursor's start
        }
        if (offered != 0 && frame == offered + 2) host.Button(kLeftMouseButton, false);
        if (loads.size() == 2 && floor2.empty()) {
            if (auto* mesh = dynamic_cast<MeshObjectActor*>(FindActorByName("FloorMesh", 3))) {
                floor2 = mesh->subMeshes.empty() || mesh->subMeshes[0].material == nullptr
                             ? "?"
                             : mesh->subMeshes[0].material->name;
                floorMesh = mesh->mesh != nullptr ? mesh->mesh->name : "?";
                mission2 = frame;
            }
        }
        if (mission2 != 0 && frame == mission2 + 239) host.capture = true;
    };
    const int code = host.Run(folder / "play", 900);
    EXPECT_EQ(code, 3) << "the sample runs until the frame limit";

    ASSERT_GE(loads.size(), 1u) << "\"New Game\" loads nothing";
    EXPECT_TRUE(film1BeforeLoad);
    EXPECT_TRUE(EndsWith(loads[0].globals, "Globals1_XBox.qva")) << loads[0].globals;
    EXPECT_TRUE(EndsWith(loads[0].scene, "Mission_01_Release.qva")) << loads[0].scene;
    EXPECT_EQ(loads[0].flag, 1u);

    ASSERT_NE(mission1, 0u) << "mission 1 has no player";
    // The options' row for "Forward" names both keys start-up bound, in
    // the text table's words, as the action map holds them.
    EXPECT_EQ(forwardKeys, "Up / W");
    // Black at the start, clear within 3 s.
    EXPECT_GT(firstAlpha, 0.9f);
    ASSERT_NE(faded, 0u) << "the fade never ended";
    EXPECT_LE(faded - mission1, 181u);

    // The soul gauge at (20, H - 120): the icon 128 x 96 over a 60 % fill
    // of 70; the health beside it, the mission clock counting down from 5:00.
    ASSERT_TRUE(hudSeen);
    EXPECT_EQ(soulIcon.vertices[0].x, 20.0f);
    EXPECT_EQ(soulIcon.vertices[0].y, kScreenHeight - 120.0f);
    EXPECT_EQ(soulIcon.vertices[3].x - soulIcon.vertices[0].x, 128.0f);
    EXPECT_EQ(soulIcon.vertices[3].y - soulIcon.vertices[0].y, 96.0f);
    EXPECT_EQ(soulFill.vertices[3].y - soulFill.vertices[0].y, 42.0f);
    EXPECT_EQ(health.text, "99");
    // The icon's frame, 16 of its picture's 128 pixels wide, shows its colour.
    for (auto [x, y] : {std::pair{28, 486}, {140, 486}, {84, 570}}) {
        const uint32_t got = QueueKeepingHost::ColorAt(hudShot, size_t(y) * 800 + size_t(x));
        EXPECT_TRUE(QueueKeepingHost::Near(got, 0x2060E0)) << x << ", " << y << ": " << std::hex << got;
    }
    EXPECT_EQ(clockText.style, 8u);
    EXPECT_EQ(clockText.text, "4:56") << "about 3.3 s of 300 gone";

    // The exit offers the save; "Continue" goes on to mission 2.
    ASSERT_NE(offered, 0u) << "no save offer";
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_GE(loads[1].frame, offered + 2 + 30) << "half a second after the menu closed";
    EXPECT_TRUE(film2BeforeLoad);
    EXPECT_TRUE(EndsWith(loads[1].globals, "Globals1_XBox.qva")) << loads[1].globals;
    EXPECT_TRUE(EndsWith(loads[1].scene, "Mission_02_Release.qva")) << loads[1].scene;
    EXPECT_EQ(loads[1].flag, 1u);
    EXPECT_EQ(floor2, "Tile");
    EXPECT_EQ(floorMesh, "floor");
    // Faded in, mission 2 shows its yard: its walls and floor cover much
    // more than the sky's fog colour leaves.
    ASSERT_EQ(host.captured.size(), size_t(800 * 600 * 4));
    EXPECT_GE(800 * 600 - QueueKeepingHost::CountNear(host.captured, 0x4080BF), 200000);
}

// --- the missions' walls and the guard: each run loads its mission from the
// title -----------------------------------------------------------------------

constexpr uint32_t kMoveKeys[4] = {'W', 'D', 'S', 'A'};
constexpr uint32_t kPastTheFade = 200;

// The title's first frames are up by then: the mission loads with the play
// globals as the game actor loads it after its film.
constexpr uint32_t kLoadFrame = 3;
void LoadMission(uint32_t frame, const std::string& scene) {
    if (frame == kLoadFrame) {
        SendCommandArgs(GetActorSystem(), cmd::actor_system::NewGame2,
                        std::string("data\\Globals1_XBox.qva"),
                        "data\\" + scene, true, false);
    }
}

void PutHero(Actor* hero, const Vector3& at) {
    SendCommandArgs(hero, cmd::base::SetPosition, at);
    SendCommandArgs(hero, cmd::base::InvalidateOldPosition);
}

// A place 30 units before a wall (the hero's sphere reaches 23) and the box
// the hero must keep to there: its room, bounded by that wall.
struct Spot {
    float x, z;
    float minX, maxX, minZ, maxZ;
};

// A second of each move key at every spot carries an unchecked hero 55
// units or more: past the 20 units of any wall beyond the 30 before it.
struct WallWalk {
    int failures = 0;
    std::string firstFailure;
    float lowestHealth = 1.0e9f;
    size_t spotsWalked = 0;
    // The shortest of the farthest walks from each spot: the keys moved it.
    float shortestReach = 1.0e9f;
    size_t shortestAt = 0;
    std::string reaches;
};

WallWalk WalkIntoTheWalls(const std::string& scene, const std::vector<Spot>& spots) {
    TempFolder folder;
    WallWalk walk;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    if (made.exitCode != 0) {
        walk.firstFailure = made.err;
        ++walk.failures;
        return walk;
    }
    constexpr uint32_t kPhase = 70;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0;  // the first frame with the hero
    std::vector<float> reach(spots.size(), 0.0f);
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, scene);
        auto* hero = dynamic_cast<CharacterActor*>(FindActorByName("GA1_Player", 16));
        if (first == 0) {
            first = hero != nullptr ? frame : 0;
            return;
        }
        if (hero == nullptr || frame < first + kPastTheFade) return;
        const uint32_t step = frame - first - kPastTheFade;
        const size_t index = step / (4 * kPhase);
        if (index >= spots.size()) return;
        const Spot& spot = spots[index];
        const uint32_t key = kMoveKeys[(step / kPhase) % 4];
        if (step % (4 * kPhase) == 0) {
            PutHero(hero, {spot.x, 30.0f, spot.z});
            walk.spotsWalked = index + 1;
        } else {
            const Vector3 at = hero->GetWorldPosition();
            if (at.x < spot.minX || at.x > spot.maxX || at.z < spot.minZ || at.z > spot.maxZ ||
                at.y < -50.0f) {
                if (walk.failures++ == 0) {
                    walk.firstFailure = "spot " + std::to_string(index) + " (" + std::to_string(spot.x) +
                                        ", " + std::to_string(spot.z) + "), key " + std::string(1, char(key)) + ": at (" +
                                        std::to_string(at.x) + ", " + std::to_string(at.y) + ", " +
                                        std::to_string(at.z) + ")";
                }
            }
            walk.lowestHealth = std::min(walk.lowestHealth, hero->health);
            reach[index] = std::max(reach[index], std::hypot(at.x - spot.x, at.z - spot.z));
        }
        if (step % kPhase == 0) host.Key(key, true);
        if (step % kPhase == kPhase - 5) host.Key(key, false);
    };
    host.Run(folder / "play", 900 + kPastTheFade + spots.size() * 4 * kPhase);
    for (size_t i = 0; i < reach.size(); ++i) {
        walk.reaches += " " + std::to_string(int(reach[i]));
        if (reach[i] < walk.shortestReach) {
            walk.shortestReach = reach[i];
            walk.shortestAt = i;
        }
    }
    return walk;
}

TEST(MissionWalls, WalkingIntoEveryWallOfMission1KeepsTheHeroInItsRoom) {
    const float a[4] = {-500.0f, 500.0f, -500.0f, 500.0f};
    const float b[4] = {500.0f, 1500.0f, -500.0f, 500.0f};
    const float c[4] = {-500.0f, 500.0f, 500.0f, 1500.0f};
    const auto at = [](float x, float z, const float* room) {
        return Spot{x, z, room[0], room[1], room[2], room[3]};
    };
    const std::vector<Spot> spots = {
        // RoomA's four walls; the locked door holds the doorway shut.
        at(-450.0f, 0.0f, a), at(0.0f, -450.0f, a), at(450.0f, 300.0f, a), at(300.0f, 450.0f, a),
        at(0.0f, 430.0f, a),
        // RoomB's outer walls and the dungeon cell's.
        at(1000.0f, -450.0f, b), at(1000.0f, 450.0f, b), at(1450.0f, 0.0f, b),
        at(1350.0f, -450.0f, b), at(1450.0f, -360.0f, b),
        // RoomC's outer walls (by its south wall the camera would stand in
        // RoomA, whose closed door hides RoomC, and nothing there moves).
        at(-450.0f, 1000.0f, c), at(450.0f, 1000.0f, c), at(0.0f, 1450.0f, c)};
    const WallWalk walk = WalkIntoTheWalls("Mission_01_Release.qva", spots);
    EXPECT_EQ(walk.spotsWalked, spots.size());
    EXPECT_EQ(walk.failures, 0) << walk.firstFailure;
    EXPECT_GT(walk.lowestHealth, 0.0f);
    EXPECT_GE(walk.shortestReach, 55.0f) << "at spot " << walk.shortestAt << ":" << walk.reaches;
}

TEST(MissionWalls, WalkingIntoEveryWallOfMission2KeepsTheHeroInTheYard) {
    const float south[4] = {-800.0f, 800.0f, -800.0f, 0.0f};
    const float north[4] = {-800.0f, 800.0f, 0.0f, 800.0f};
    const auto at = [](float x, float z, const float* half) {
        return Spot{x, z, half[0], half[1], half[2], half[3]};
    };
    // The yard's walls on both sides of the middle wall, and that wall from
    // both sides.
    const std::vector<Spot> spots = {at(-750.0f, -400.0f, south), at(750.0f, -400.0f, south),
                                     at(0.0f, -750.0f, south),    at(-300.0f, -40.0f, south),
                                     at(-750.0f, 400.0f, north),  at(750.0f, 600.0f, north),
                                     at(0.0f, 750.0f, north),     at(-300.0f, 40.0f, north)};
    const WallWalk walk = WalkIntoTheWalls("Mission_02_Release.qva", spots);
    EXPECT_EQ(walk.spotsWalked, spots.size());
    EXPECT_EQ(walk.failures, 0) << walk.firstFailure;
    EXPECT_GT(walk.lowestHealth, 0.0f);
    EXPECT_GE(walk.shortestReach, 55.0f) << "at spot " << walk.shortestAt << ":" << walk.reaches;
}

// Left alone for a minute the guard walks its round in RoomB; then the hero
// is put before it again and again: it hunts, strikes, and its third catch
// sends the hero to "DungeonSpawn".
TEST(MissionGuard, PatrolsItsRoomHuntsTheHeroAndTheThirdCatchSendsItToTheDungeon) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    constexpr uint32_t kAlone = 60 * 60;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0;
    bool bound = false;
    int strays = 0;
    std::string stray;
    float lowestGuardHealth = 1.0e9f;
    bool hunted = false;
    uint32_t mostCatches = 0;
    bool jailed = false;
    float healthJailed = 0.0f;
    uint32_t lastPut = 0;
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, "Mission_01_Release.qva");
        auto* hero = dynamic_cast<CharacterActor*>(FindActorByName("GA1_Player", 16));
        auto* guard = dynamic_cast<GuardActor*>(FindActorByName("Guard", int32_t(kGuardClassId)));
        auto* body = guard != nullptr ? dynamic_cast<CharacterActor*>(guard->character.target) : nullptr;
        if (first == 0) {
            first = hero != nullptr ? frame : 0;
            return;
        }
        if (hero == nullptr || body == nullptr || jailed) return;
        bound = true;
        const Vector3 g = body->GetWorldPosition();
        if (frame < first + kAlone) {
            if (g.x < 520.0f || g.x > 1480.0f || g.z < -220.0f || g.z > 480.0f || g.y < -50.0f) {
                if (strays++ == 0) {
                    stray = "frame " + std::to_string(frame - first) + ": (" + std::to_string(g.x) + ", " +
                            std::to_string(g.y) + ", " + std::to_string(g.z) + ")";
                }
            }
            lowestGuardHealth = std::min(lowestGuardHealth, body->health);
            return;
        }
        hunted = hunted || guard->guardState == kGuardHunt;
        mostCatches = std::max(mostCatches, hero->catchCount);
        Actor* dungeon = FindActorByName("DungeonSpawn", int32_t(kSpawnPointClassId));
        if (dungeon != nullptr) {
            const Vector3 d = dungeon->GetWorldPosition();
            const Vector3 h = hero->GetWorldPosition();
            jailed = std::hypot(h.x - d.x, h.z - d.z) < 60.0f;
        }
        if (jailed) {
            healthJailed = hero->health;
            SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
            return;
        }
        // While it patrols, the hero steps in 150 units before it, once
        // every four seconds, kept out of the cell.
        const bool watching = guard->guardState == kGuardPatrol || guard->guardState == kGuardPauseInPatrol;
        if (watching && frame >= lastPut + 240) {
            const Matrix& world = body->GetWorldMatrix();
            const float x = std::clamp(g.x - 150.0f * world.m[2][0], 560.0f, 1440.0f);
            const float z = std::clamp(g.z - 150.0f * world.m[2][2], -180.0f, 440.0f);
            PutHero(hero, {x, 30.0f, z});
            lastPut = frame;
        }
    };
    host.Run(folder / "play", kAlone + 300 + 70 * 60);
    ASSERT_TRUE(bound) << "no guard with its character";
    EXPECT_EQ(strays, 0) << stray;
    EXPECT_GT(lowestGuardHealth, 0.0f);
    EXPECT_TRUE(hunted);
    EXPECT_TRUE(jailed) << "most catches " << mostCatches;
    // Each catch costs the hero (99) 30: alive after three, a fourth kills.
    EXPECT_NEAR(healthJailed, 9.0f, 0.5f);
}

// The door to RoomC holds until the key is taken; then the hero
// coming to it raises it, and the doorway lets the hero through. At the
// doorway each move key is held for two seconds in turn, the hero kept on the
// doorway's middle line: the farthest it gets along z tells whether it passed.
TEST(MissionDoor, OnlyTheKeyOpensTheWayIntoRoomC) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    constexpr uint32_t kTry = 4 * 120;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0;
    float lockedReach = 0.0f;  // the farthest z before the key
    float openReach = 0.0f;    // and after
    uint32_t stateBefore = 99;
    uint32_t stateAfter = 99;
    bool keyTaken = false;
    bool blocksGone = false;
    std::string checkered;  // the scenery's meshes that wear the checker texture
    const std::function<void(Actor*, int32_t)> findCheckers = [&](Actor* actor, int32_t checker) {
        if (auto* object = dynamic_cast<MeshObjectActor*>(actor)) {
            for (const SubMeshRecord& sub : object->subMeshes) {
                if (sub.material == nullptr) continue;
                const std::vector<uint32_t>& textures = sub.material->textureIds;
                if (std::count(textures.begin(), textures.end(), uint32_t(checker)) != 0)
                    checkered += " \"" + actor->name + "\"";
            }
        }
        for (Actor* child : actor->children) findCheckers(child, checker);
    };
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, "Mission_01_Release.qva");
        auto* hero = dynamic_cast<CharacterActor*>(FindActorByName("GA1_Player", 16));
        if (first == 0) {
            first = hero != nullptr ? frame : 0;
            if (ResourceLibrary* library = GetLibrary(); first != 0 && library != nullptr) {
                findCheckers(GetActorById(kSceneryRootId),
                             ResourceLibrary::GetItemIndex(
                                 library->FindItemByName("checker", ItemClass::Texture)));
            }
            return;
        }
        auto* door = dynamic_cast<DoorActor*>(FindActorByName("GA5_Door", int32_t(kDoorClassId)));
        auto* key = dynamic_cast<GameObjectActor*>(FindActorByName("Key", int32_t(kGameObjectClassId)));
        if (hero == nullptr || door == nullptr || frame < first + kPastTheFade) return;
        const uint32_t step = frame - first - kPastTheFade;
        const bool locked = step < kTry;
        const uint32_t phase = locked ? step : step - kTry - 120;
        if (step == kTry && key != nullptr) {
            // What the hero's reach does when it takes an item in the scene.
            stateBefore = door->doorState;
            PutHero(hero, {-350.0f, 30.0f, 350.0f});
            uint32_t owner = uint32_t(hero->actorId);
            key->HandleCommand(620, ParamBlock(&owner, sizeof(owner)));
            return;
        }
        if (step == kTry + 60) keyTaken = key == nullptr || key->itemState != kItemInScene;
        if (!locked && step < kTry + 120) return;
        if (phase >= kTry) return;
        if (phase % 120 == 0) {
            PutHero(hero, {0.0f, 30.0f, 440.0f});
            host.Key(kMoveKeys[(phase / 120) % 4], true);
        }
        if (phase % 120 == 115) host.Key(kMoveKeys[(phase / 120) % 4], false);
        const Vector3 at = hero->GetWorldPosition();
        SendCommandArgs(hero, cmd::base::SetPosition, Vector3{0.0f, at.y, at.z});
        (locked ? lockedReach : openReach) = std::max(locked ? lockedReach : openReach, at.z);
        if (!locked) {
            stateAfter = door->doorState;
            blocksGone = FindActorByName("DoorBlockA", 0) == nullptr;
        }
    };
    host.Run(folder / "play", 900 + kPastTheFade + 2 * kTry + 120);
    EXPECT_EQ(stateBefore, kDoorClosed);
    EXPECT_LT(lockedReach, 470.0f) << "through the locked doorway";
    EXPECT_TRUE(keyTaken);
    EXPECT_NE(stateAfter, kDoorClosed);
    EXPECT_TRUE(blocksGone);
    EXPECT_GT(openReach, 530.0f) << "not through the open doorway";
    EXPECT_EQ(checkered, "") << "wear the checker";
}

// The level load the world is about to make, when one waits: "<globals> | <scene>".
std::string PendingLoad() {
    const ActorSystem* world = GetActorSystem();
    return world != nullptr && world->loadPending != 0 ? world->firstFile + " | " + world->secondFile
                                                       : std::string();
}

// Moves the cursor of the menu with the name, when it is active, towards
// (x, y): 0.64 units for each pixel the mouse is off the desktop's centre
// in a frame, so that a long way takes two frames.
void MoveMenuCursor(PlayRunHost &host, const char *name, float x, float y) {
    auto *menu = dynamic_cast<UISystemActor *>(FindActorByName(name, int32_t(kUiSystemClassId)));
    const auto pixels = [](float d) { return std::clamp(int(std::lround(d / 0.64f)), -380, 380); };
    if (menu != nullptr && menu->active != 0) {
        host.Cursor(512 + pixels(x - menu->cursorX), 384 + pixels(y - menu->cursorY));
    }
}

bool Focused(const char *name) { return FocusedWindow != nullptr && FocusedWindow->name == name; }

// A dead hero lies still for three seconds; then the death menu offers to
// try again or to load: "Load Game" shows the slots, whose "Back" returns
// to the offer, and "Try Again" starts the mission again with a live hero.
TEST(MissionEnds, AHeroThatDiesStartsTheMissionAgain) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0;
    uint32_t died = 0;
    uint32_t reloaded = 0;
    uint32_t offered = 0;
    bool slotsShown = false, backToOffer = false;
    std::string load;
    float healthAfter = 0.0f;
    const auto click = [&] {
        host.Button(kLeftMouseButton, true);
        host.Button(kLeftMouseButton, false);
    };
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, "Mission_01_Release.qva");
        auto *offer =
            dynamic_cast<UISystemActor *>(FindActorByName("DeathMenu", int32_t(kUiSystemClassId)));
        if (died != 0 && offered == 0 && offer != nullptr && offer->active != 0)
            offered = frame;
        // Every 12 frames: "Load Game", the slots' "Back", "Try Again".
        const uint32_t step =
            offered != 0 && (frame - offered) % 12 == 0 ? (frame - offered) / 12 : 99;
        if (step == 0 || step == 1)
            MoveMenuCursor(host, "DeathMenu", 100, 110);
        if (step == 3)
            slotsShown = Focused("SavedGameSlots");
        if (step == 3 || step == 4)
            MoveMenuCursor(host, "DeathMenu", 600, 470);
        if (step == 6)
            backToOffer = Focused("Died");
        if (step == 6 || step == 7)
            MoveMenuCursor(host, "DeathMenu", 100, 70);
        if (step == 2 || step == 5 || step == 8)
            click();
        auto* hero = dynamic_cast<CharacterActor*>(FindActorByName("GA1_Player", 16));
        if (first == 0) {
            first = hero != nullptr ? frame : 0;
            return;
        }
        if (died == 0 && hero != nullptr && frame == first + kPastTheFade) {
            SendCommandArgs(hero, 964u, 1000.0f);  // "Hurt"
            died = hero->health <= 0.0f ? frame : 0;
            return;
        }
        if (died != 0 && reloaded == 0 && !PendingLoad().empty()) {
            reloaded = frame;
            load = PendingLoad();
        }
        if (reloaded != 0 && hero != nullptr && frame > reloaded + 5) {
            healthAfter = hero->health;
            SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
        }
    };
    host.Run(folder / "play", 900);
    ASSERT_NE(died, 0u) << "the hero did not die";
    ASSERT_NE(offered, 0u) << "no offer after the death";
    EXPECT_GE(offered - died, 175u);
    EXPECT_LE(offered - died, 190u);
    EXPECT_TRUE(slotsShown);
    EXPECT_TRUE(backToOffer);
    ASSERT_NE(reloaded, 0u) << "nothing was loaded after the death";
    EXPECT_GT(reloaded, offered + 8 * 12);
    EXPECT_TRUE(EndsWith(load, "Mission_01_Release.qva")) << load;
    EXPECT_NE(load.find("Globals1_XBox.qva"), std::string::npos) << load;
    EXPECT_GT(healthAfter, 0.0f);
}

// The pause menu's options: the row under the pointer lights up, a click
// on it says it waits for a key in place of the binding, and the key
// pressed comes back as a word of the text table.
TEST(MissionMenus, AnOptionsRowLightsUpAsksForAKeyAndNamesItInWords) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0;
    const auto shown = [](const char *name) {
        Actor *row = FindActorByName("Map_Forward", int32_t(kUiMapInputClassId));
        Actor *found = row != nullptr ? FindDescendantByName(row, name) : nullptr;
        return found != nullptr && (found->state & kActorEnabled) != 0;
    };
    bool litBefore = true, lit = false, asking = false, bindingHidden = false, asked = true;
    std::string words;
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, "Mission_01_Release.qva");
        if (first == 0) {
            first = FindActorByName("GA1_Player", 16) != nullptr ? frame : 0;
            return;
        }
        const uint32_t s = first + kPastTheFade;
        if (frame == s || frame == s + 2) host.Key(0x1B, frame == s); // Esc
        if (frame == s + 12 || frame == s + 13) MoveMenuCursor(host, "PauseMenu", 100, 110);
        if (frame == s + 24 || frame == s + 70) {
            if (frame == s + 24) litBefore = shown("Rim");
            host.Button(kLeftMouseButton, true); // "Options", then the row
            host.Button(kLeftMouseButton, false);
        }
        if (frame == s + 36 || frame == s + 37) MoveMenuCursor(host, "PauseMenu", 430, 110);
        if (frame == s + 48) lit = shown("Rim") && !shown("Ask");
        if (frame == s + 82) {
            asking = shown("Ask");
            bindingHidden = !shown("Text");
        }
        if (frame == s + 82 || frame == s + 84) host.Key(0x09, frame == s + 82); // Tab
        if (frame == s + 100) {
            asked = shown("Ask") || !shown("Text");
            Actor *row = FindActorByName("Map_Forward", int32_t(kUiMapInputClassId));
            if (auto *text = dynamic_cast<UITextActor *>(row != nullptr ? FindChildByName(row, "Text") : nullptr))
                words = text->text;
            SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
        }
    };
    host.Run(folder / "play", 900);
    ASSERT_NE(first, 0u);
    EXPECT_FALSE(litBefore) << "a row is lit before the pointer comes to it";
    EXPECT_TRUE(lit) << "the row under the pointer is not lit";
    EXPECT_TRUE(asking && bindingHidden) << "the clicked row does not ask for its key";
    EXPECT_FALSE(asked) << "the row still asks once its key came";
    EXPECT_EQ(words, "Tab / Up");
}

// Mission 2's exit offers no save: the end film plays at once and the end
// loads, without the head-up display, and hands back to the title.
TEST(MissionEnds, Mission2sExitLeadsThroughTheEndBackToTheTitle) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    fakefilm::FakeFilms films;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0;
    bool offered = false;
    std::vector<std::string> loads;
    std::vector<uint32_t> loadFrames;
    bool endFilm = false;
    bool endHud = true;
    bool endClock = true;
    bool titleMenu = false;
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, "Mission_02_Release.qva");
        const std::string load = PendingLoad();
        if (!load.empty() && (loads.empty() || loads.back() != load)) {
            loads.push_back(load);
            loadFrames.push_back(frame);
            endFilm = endFilm || OpenedFilm(films, "Mission_26");
        }
        Actor* hero = FindActorByName("GA1_Player", 16);
        if (first == 0) {
            first = hero != nullptr ? frame : 0;
            return;
        }
        if (frame == first + kPastTheFade && hero != nullptr) {
            if (Actor* exit = FindActorByName("Exit", 31)) PutHero(hero, exit->GetWorldPosition());
        }
        auto* menu = dynamic_cast<UISystemActor*>(FindActorByName("Menu", int32_t(kUiSystemClassId)));
        offered = offered || (loads.size() == 1 && menu != nullptr && menu->active != 0);
        if (loads.size() == 2 && frame == loadFrames[1] + 60) {
            auto* inventory = dynamic_cast<InventoryActor*>(GetActorById(kInventoryActorId));
            endHud = inventory == nullptr || inventory->hudVisible != 0;
            auto* clock = dynamic_cast<TimerActor*>(FindActorByName("MissionTime", 11));
            endClock = inventory == nullptr || inventory->missionClockShown != 0 ||
                       clock == nullptr || clock->Mode() == kTimerRunning;
        }
        if (loads.size() == 3 && frame > loadFrames[2] + 5) {
            titleMenu = menu != nullptr && menu->active != 0 &&
                        FindActorByName("MainMenu", int32_t(kUiWindowClassId)) != nullptr;
            SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
        }
    };
    host.Run(folder / "play", 1500);
    EXPECT_FALSE(offered) << "a save offer after the last mission";
    ASSERT_GE(loads.size(), 3u);
    EXPECT_TRUE(EndsWith(loads[1], "Mission_26_Release.qva")) << loads[1];
    EXPECT_TRUE(endFilm);
    EXPECT_FALSE(endHud) << "the end shows the head-up display";
    EXPECT_FALSE(endClock) << "the end shows or runs the mission clock";
    // Eight seconds of the end.
    EXPECT_GE(loadFrames[2] - loadFrames[1], 8u * 60u);
    EXPECT_NE(loads[2].find("Title.qva |"), std::string::npos) << loads[2];
    EXPECT_TRUE(titleMenu);
}

// The mission clock's end fails the mission: the death menu comes up,
// titled "Time is up", and "Try Again" starts the mission again.
TEST(MissionEnds, TheClockRunningOutOffersToTryAgain) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    testdisplay::BlindDisplay blind; // positions only, no pixels
    PlayRunHost host;
    uint32_t first = 0, offered = 0;
    std::string title, load;
    host.afterFrame = [&](uint32_t frame) {
        LoadMission(frame, "Mission_01_Release.qva");
        Actor *hero = FindActorByName("GA1_Player", 16);
        if (first == 0) {
            first = hero != nullptr ? frame : 0;
            return;
        }
        if (frame == first + kPastTheFade) {
            // A second left.
            Actor *clock = FindActorByName("MissionTime", 11);
            SendCommandArgs(clock, cmd::timer::StopTimer);
            SendCommandArgs(clock, cmd::base::SetCurrentTime, 1.0f);
            SendCommandArgs(clock, cmd::timer::StartTimer);
        }
        auto *menu =
            dynamic_cast<UISystemActor *>(FindActorByName("DeathMenu", int32_t(kUiSystemClassId)));
        if (offered == 0 && menu != nullptr && menu->active != 0) {
            offered = frame;
            Actor *died = FindActorByName("Died", int32_t(kUiWindowClassId));
            if (auto *text = dynamic_cast<UITextActor *>(died != nullptr ? FindChildByName(died, "Title") : nullptr))
                title = text->text;
            host.Button(kLeftMouseButton, true); // "Try Again", under the cursor's start
        }
        if (offered != 0 && frame == offered + 2) host.Button(kLeftMouseButton, false);
        if (offered != 0 && load.empty()) load = PendingLoad();
        if (!load.empty()) SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
    };
    host.Run(folder / "play", 700);
    ASSERT_NE(offered, 0u) << "nothing happened at the clock's end";
    EXPECT_LE(offered - first, kPastTheFade + 70);
    EXPECT_EQ(title, "Time is up");
    EXPECT_TRUE(EndsWith(load, "Mission_01_Release.qva")) << load;
}

// "New Game" with mission 1's scene missing, or cut short: the world
// brings back the title, whose message says the game could not be loaded;
// its "OK" gives the title's buttons back.
TEST(MissionEnds, AMissionThatCannotBeLoadedBringsBackTheTitleWithAMessage) {
    for (const bool missing : {true, false}) {
        // Each run starts from the process as the test found it.
        if (!missing) ResetProcessForTests();
        SCOPED_TRACE(missing ? "missing" : "cut short");
        TempFolder folder;
        const toolrun::ToolRun made = samplecopy::Make(folder.Path());
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const std::string scene = folder / "game/Data/Mission_01_Release.qva";
        if (missing) {
            std::filesystem::remove(scene);
        } else {
            std::filesystem::resize_file(scene, std::filesystem::file_size(scene) / 2);
        }
        fakefilm::FakeFilms films;
        testdisplay::BlindDisplay blind; // the menus' state only, no pixels
        PlayRunHost host;
        uint32_t loaded = 0; // the first frame after the load
        std::string message;
        bool hero = false, okFocused = false, titleBack = false;
        host.afterFrame = [&](uint32_t frame) {
            if (frame == 6 || frame == 8) host.Button(kLeftMouseButton, frame == 6); // "New Game"
            if (loaded == 0) {
                loaded = frame > 8 && FindActorByName("New Game", -1) != nullptr &&
                                 Focused("InfoOkDialog")
                             ? frame
                             : 0;
                if (loaded == 0) return;
                hero = FindActorByName("GA1_Player", 16) != nullptr;
                auto* text = dynamic_cast<UITextActor*>(
                    FindChildByName(FindActorByName("InfoOkDialog", -1), "Text"));
                message = text != nullptr ? text->text : "";
                okFocused = true;
            }
            if (frame == loaded + 1 || frame == loaded + 2) MoveMenuCursor(host, "Menu", 340, 430);
            if (frame == loaded + 3 || frame == loaded + 4)
                host.Button(kLeftMouseButton, frame == loaded + 3);
            if (frame == loaded + 6) {
                titleBack = Focused("MainMenu");
                SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
            }
        };
        host.Run(folder / "play", 600);
        EXPECT_TRUE(okFocused) << "no message on the title";
        EXPECT_EQ(message, "Unable to load the game");
        EXPECT_FALSE(hero);
        EXPECT_TRUE(titleBack) << "\"OK\" does not give the title back";
        EXPECT_FALSE(OpenedFilm(films, "Mission_01") && missing) << "a film for no mission";
    }
}

}  // namespace

namespace {

// Keeps a picture of every frame it is asked to and of every loading-screen
// frame, each taken before it is shown.
class PictureHost : public QueueKeepingHost {
  public:
    void Draw2D() override {
        QueueKeepingHost::Draw2D();
        if (every && CaptureBackBuffer(800, 600) == 1)
            pictures.push_back(GetCaptureImage()->Pixels());
    }
    bool every = false;
    std::vector<std::vector<uint8_t>> pictures;
};

class LoadingPictures : public LoadingScreenRenderer {
  public:
    LoadingPictures() : inner_(SetLoadingScreenRenderer(this)) {}
    ~LoadingPictures() override { SetLoadingScreenRenderer(inner_); }
    int32_t GetScreenWidth() override { return inner_->GetScreenWidth(); }
    int32_t GetScreenHeight() override { return inner_->GetScreenHeight(); }
    void QueueRect(float x, float y, float width, float height, const Color &color,
                   LibraryItem *material) override {
        inner_->QueueRect(x, y, width, height, color, material);
    }
    void QueueText(const std::string &text, float x, float y, const Color &color,
                   uint32_t style) override {
        inner_->QueueText(text, x, y, color, style);
    }
    int BeginRender(uint32_t clear, uint32_t flags) override {
        return inner_->BeginRender(clear, flags);
    }
    void DrawQueuedQuads() override { inner_->DrawQueuedQuads(); }
    void DrawQueuedText() override { inner_->DrawQueuedText(); }
    void DrawFilledRect(const ScreenRect &rect, const Color &color) override {
        inner_->DrawFilledRect(rect, color);
    }
    void EndRender(uint32_t present) override {
        if (CaptureBackBuffer(800, 600) == 1)
            pictures.push_back(GetCaptureImage()->Pixels());
        inner_->EndRender(present);
    }
    std::vector<std::vector<uint8_t>> pictures;

  private:
    LoadingScreenRenderer *inner_;
};

// Pixels of a picture brighter than dim grey in some channel, and pixels of
// the fog's blue.
int BrightPixels(const std::vector<uint8_t> &picture) {
    int count = 0;
    for (size_t at = 0; at + 3 < picture.size(); at += 4) {
        count += std::max({picture[at], picture[at + 1], picture[at + 2]}) > 60 ? 1 : 0;
    }
    return count;
}

// From the frame after the click on "New Game" to the fade from black,
// every frame shown is black: no frame of the title after the film, none of
// the fog's blue before the game actor's black. The loading screen shows one gradient without a
// seam. At full health the soul gauge stays steady.
TEST(MissionRun, NewGameGoesBlackThroughASeamlessLoadingScreenIntoTheFade) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    PictureHost host;
    LoadingPictures loading;
    uint32_t mission1 = 0;
    std::vector<uint32_t> frames; // the frame of each picture
    int blinks = 0;
    // Up to the mission's start every frame is drawn (the loading screen's
    // among them), after it only those kept; the blinks are counted in the
    // queues.
    host.drawFrame = [&] { return mission1 == 0 || host.every; };
    host.afterFrame = [&](uint32_t frame) {
        if (frame == 6 || frame == 8)
            host.Button(kLeftMouseButton, frame == 6);
        if (host.every)
            frames.push_back(frame);
        // From the frame after the click's on.
        host.every = frame >= 8 && (mission1 == 0 || frame < mission1 + 3);
        Actor *hero = FindActorByName("GA1_Player", 16);
        if (mission1 == 0 && hero != nullptr)
            mission1 = frame;
        if (mission1 != 0 && host.Quad("SoulIcon02") != nullptr)
            ++blinks;
    };
    host.Run(folder / "play", 300);

    ASSERT_NE(mission1, 0u) << "mission 1 never started";
    ASSERT_EQ(frames.size(), host.pictures.size());
    ASSERT_GE(frames.size(), 3u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_LT(BrightPixels(host.pictures[i]), 50)
            << "frame " << frames[i] << " of " << mission1;
        EXPECT_LT(QueueKeepingHost::CountNear(host.pictures[i], 0x4080BF), 50)
            << "fog in frame " << frames[i];
    }
    ASSERT_FALSE(loading.pictures.empty()) << "no loading screen";
    const std::vector<uint8_t> &shown = loading.pictures.back();
    ASSERT_EQ(shown.size(), size_t(800) * 600 * 4);
    const uint8_t *line = shown.data() + 300 * 800 * 4;
    int step = 0;
    for (size_t x = 4; x < 796; ++x) {
        for (size_t c = 0; c < 3; ++c)
            step = std::max(step, std::abs(int(line[x * 4 + c]) - int(line[x * 4 - 4 + c])));
    }
    EXPECT_LE(step, 8) << "a seam across the loading screen";
    // Over the clear colour the alpha ramp still shades the row.
    EXPECT_GE(std::abs(int(line[795 * 4]) - int(line[4 * 4])), 20);
    EXPECT_EQ(blinks, 0) << "the soul gauge blinks at full health";
}

} // namespace

namespace {

// Enabled descendants of the actor with the name.
int Shown(Actor *actor, const std::string &name) {
    int count = 0;
    if (actor == nullptr)
        return 0;
    for (Actor *child : actor->children) {
        if (child == nullptr)
            continue;
        count += child->name == name && (child->state & kActorEnabled) != 0 ? 1 : 0;
        count += Shown(child, name);
    }
    return count;
}

// In mission 1 the hero holds its pistol: E fires it, showing one gun in
// the hand and the flash at its muzzle for the fire phase; Page Down (the
// wheel's "Next") opens the selector on the rifle and a click takes it in
// hand, its stock and clip on the panel.
TEST(MissionRun, TheGunFlashesAndHitsAndTheSelectorHandsOverTheRifle) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    testdisplay::BlindDisplay blind; // the hand's actors and the queued 2D only, no pixels
    QueueKeepingHost host;
    uint32_t mission1 = 0;
    int gun = 0, flash = 0, selector = 0;
    std::string held, panel, before;
    host.afterFrame = [&](uint32_t frame) {
        if (frame == 6 || frame == 8)
            host.Button(kLeftMouseButton, frame == 6);
        Actor *hero = FindActorByName("GA1_Player", 16);
        if (mission1 == 0) {
            mission1 = hero != nullptr ? frame : 0;
            return;
        }
        Actor *hand = hero != nullptr ? FindDescendantByName(hero, "RightHand") : nullptr;
        const uint32_t at = frame - mission1;
        if (at == 199)
            before = host.TextAt(800.0f - 122.0f + 48.0f, kScreenHeight - 132.0f) != nullptr
                         ? host.TextAt(800.0f - 122.0f + 48.0f, kScreenHeight - 132.0f)->text
                         : "";
        if (at == 200 || at == 202)
            host.Key('E', at == 200);
        if (at >= 200 && at < 215) {
            gun = std::max(gun, Shown(hand, "Gun"));
            flash = std::max(flash, Shown(hand, "Flash"));
        }
        if (at == 270 || at == 272)
            host.Key(0x22, at == 270); // Page Down: "Next"
        if (at == 300)
            selector = host.Quad("RifleIcon") != nullptr ? 1 : 0;
        if (at == 302 || at == 304)
            host.Button(kLeftMouseButton, at == 302);
        if (at == 340) {
            held = hand != nullptr && !hand->children.empty() ? hand->children.front()->name : "";
            const TextLine *count = host.TextAt(800.0f - 122.0f + 48.0f, kScreenHeight - 132.0f);
            panel = count != nullptr && host.Quad("RifleIcon") != nullptr ? count->text : "";
        }
    };
    host.Run(folder / "play", 400);

    ASSERT_NE(mission1, 0u) << "mission 1 never started";
    EXPECT_EQ(before, "12/6") << "the pistol's stock and clip";
    EXPECT_EQ(gun, 1) << "one gun shown in the hand at a time";
    EXPECT_EQ(flash, 1) << "no muzzle flash";
    EXPECT_EQ(selector, 1) << "the selector does not offer the rifle";
    EXPECT_EQ(held, "Rifle");
    EXPECT_EQ(panel, "10/5");
}

} // namespace

namespace {

// A box of pixels, edges included; a capture's pixels of one kind within one.
struct Box {
    int left = 800, top = 600, right = -1, bottom = -1;
    bool Empty() const { return right < left; }
    bool Meets(const Box &other) const {
        return !Empty() && !other.Empty() && left <= other.right && other.left <= right &&
               top <= other.bottom && other.top <= bottom;
    }
};
template <typename Wanted>
Box BoundsOf(const std::vector<uint8_t> &shot, const Box &within, Wanted wanted) {
    Box found;
    for (int y = within.top; y <= within.bottom; ++y) {
        for (int x = within.left; x <= within.right; ++x) {
            if (!wanted(QueueKeepingHost::ColorAt(shot, size_t(y) * 800 + size_t(x))))
                continue;
            found = {std::min(found.left, x), std::min(found.top, y), std::max(found.right, x),
                     std::max(found.bottom, y)};
        }
    }
    return found;
}

uint32_t WordAt(const std::string &bytes, size_t at) {
    uint32_t word = 0;
    for (size_t b = 0; b < 4 && at + b < bytes.size(); ++b)
        word |= uint32_t(uint8_t(bytes[at + b])) << (8 * b);
    return word;
}

// The whole game in one run, from the title: "New Game" (under the cursor's
// start, which leaves the label readable); in mission 1 Esc, "Options", I
// for "Forward" and back to the game, then the key, the door it opens and
// the exit; the save offer saved to slot 1, then "Continue"; mission 2 to
// its exit; the end with its curtain, back to the title; there "Load Game"
// and slot 1 load the saved mission 2. The key chosen in "Options" holds
// through every load. The hero is put where each step happens; the other
// tests walk them.
TEST(MissionRun, TheWholeGamePlaysFromTheTitleThroughBothMissionsAndTheEndBackToLoadingTheSave) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    QueueKeepingHost host;
    host.drawFrame = [&] { return host.capture; }; // the captured frame only
    std::vector<std::string> loads; // the scene of each level load, in turn
    const auto hero = [] {
        return dynamic_cast<CharacterActor *>(FindActorByName("GA1_Player", 16));
    };
    const auto menu = [] {
        auto *found =
            dynamic_cast<UISystemActor *>(FindActorByName("Menu", int32_t(kUiSystemClassId)));
        return found != nullptr && found->active != 0 ? found : nullptr;
    };
    // A long way takes two frames: each stage that moves the cursor runs twice.
    const auto goTo = [&](float x, float y) { MoveMenuCursor(host, "Menu", x, y); };
    const auto goToPause = [&](float x, float y) { MoveMenuCursor(host, "PauseMenu", x, y); };
    // "Forward": its row in "Options" (where there is one) and its codes.
    const auto forward = [] {
        Actor *row = FindActorByName("Map_Forward", int32_t(kUiMapInputClassId));
        auto *text = dynamic_cast<UITextActor *>(row != nullptr ? FindChildByName(row, "Text")
                                                               : nullptr);
        return (text != nullptr ? text->text : std::string("-")) + " " +
               std::to_string(GetActionBinding(9, 0)) + " " + std::to_string(GetActionBinding(9, 1));
    };
    std::vector<std::string> forwardSeen; // after the remap and after each later load
    uint32_t optionsShown = 0;
    const auto click = [&] {
        host.Button(kLeftMouseButton, true);
        host.Button(kLeftMouseButton, false);
    };
    const auto always = [] { return true; };
    uint32_t frame = 0, mission = 0;
    bool cursorClear = false, keyTaken = false, doorOpen = false, lookoutInRoomB = false;
    bool curtain = false, titleAgain = false;
    std::string saved;
    struct Stage {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    const std::vector<Stage> stages = {
        {always, [&] { host.capture = true; }},
        {always,
         [&] {
             // The cursor's square and the label in the first button's row.
             const Box row = {0, 55, 400, 85};
             const Box square = BoundsOf(host.captured, row, [](uint32_t c) {
                 return QueueKeepingHost::Near(c, 0xFFA000);
             });
             const Box label = BoundsOf(host.captured, row, [](uint32_t c) {
                 return ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 200 && (c & 0xFF) > 200;
             });
             cursorClear = !square.Empty() && !label.Empty() && !square.Meets(label);
             host.Button(kLeftMouseButton, true);
         }},
        {always, [&] { host.Button(kLeftMouseButton, false); }},
        // Mission 1: onto the key, before the door, through it.
        {[&] { return loads.size() == 1 && hero() != nullptr; },
         [&] {
             mission = frame;
             if (Actor *key = FindActorByName("Key", int32_t(kGameObjectClassId))) {
                 const Vector3 at = key->GetWorldPosition();
                 PutHero(hero(), {at.x, 30.0f, at.z});
             }
         }},
        {[&] {
             auto *key = dynamic_cast<GameObjectActor *>(
                 FindActorByName("Key", int32_t(kGameObjectClassId)));
             return keyTaken = key == nullptr || key->itemState != kItemInScene;
         },
         [&] {
             PutHero(hero(), {0.0f, 30.0f, 380.0f});
         }},
        {[&] { return doorOpen = FindActorByName("DoorBlockA", 0) == nullptr; },
         [&] {
             PutHero(hero(), {0.0f, 30.0f, 700.0f});
         }},
        // Past the fade: Esc, "Options", a click on the row of "Forward", I,
        // "Back" and "Resume".
        {[&] { return frame >= mission + kPastTheFade; }, [&] { host.Key(0x1B, true); }},
        {always, [&] { host.Key(0x1B, false); }},
        {[&] { return Focused("Page"); }, [&] { goToPause(100, 110); }},
        {always, [&] { goToPause(100, 110); }},
        {always, click},
        {[&] { return Focused("Options"); },
         [&] {
             optionsShown = frame;
             goToPause(430, 110);
         }},
        {always, [&] { goToPause(430, 110); }},
        // A row takes a click half a second after it showed.
        {[&] { return frame >= optionsShown + 36; }, click},
        {always, [&] { host.Key('I', true); }},
        {always,
         [&] {
             host.Key('I', false);
             forwardSeen.push_back(forward());
             goToPause(100, 110);
         }},
        {always, [&] { goToPause(100, 110); }},
        {always, click},
        {[&] { return Focused("Page"); }, [&] { goToPause(100, 70); }},
        {always, [&] { goToPause(100, 70); }},
        {always, click},
        {always,
         [&] {
             // The Lookout keeps to RoomB, alive, out of the dungeon cell.
             if (auto *lookout = dynamic_cast<CharacterActor *>(FindActorByName("Lookout", 16))) {
                 const Vector3 at = lookout->GetWorldPosition();
                 lookoutInRoomB = lookout->health > 0.0f && at.x > 520.0f && at.x < 1480.0f &&
                                  at.z > -480.0f && at.z < 480.0f &&
                                  !(at.x > 1180.0f && at.z < -200.0f);
             }
             if (Actor *exit = FindActorByName("Exit", 31))
                 PutHero(hero(), exit->GetWorldPosition());
         }},
        // The offer: "Save", slot 1, and "Continue" once the offer is back.
        {[&] { return menu() != nullptr && Focused("SaveContinueMenu"); }, [&] { goTo(100, 110); }},
        {always, click},
        {[&] { return Focused("SavedGameSlots"); }, [&] { goTo(600, 100); }},
        {always, [&] { goTo(600, 100); }},
        {always, click},
        {[&] { return Focused("SaveContinueMenu"); },
         [&] {
             saved = folder.Get("game/SaveGames/SaveGame");
             goTo(100, 70);
         }},
        {always, [&] { goTo(100, 70); }},
        {always, click},
        // Mission 2: onto its exit, which leads to the end at once.
        {[&] { return loads.size() == 2 && hero() != nullptr; },
         [&] {
             mission = frame;
             forwardSeen.push_back(forward());
         }},
        // Its exit answers during the fade.
        {[&] { return frame >= mission + 30; },
         [&] {
             if (Actor *exit = FindActorByName("Exit", 31))
                 PutHero(hero(), exit->GetWorldPosition());
         }},
        // The end's curtain, then the title: "Load Game" and slot 1.
        {[&] { return loads.size() == 3 && FindActorByName("Curtain_0", 3) != nullptr; },
         [&] {
             auto *mesh = dynamic_cast<MeshObjectActor *>(FindActorByName("Curtain_0", 3));
             curtain = mesh != nullptr && !mesh->subMeshes.empty() &&
                       mesh->subMeshes[0].material != nullptr &&
                       mesh->subMeshes[0].material->name == "TheEnd";
         }},
        {[&] { return loads.size() == 4 && menu() != nullptr && Focused("MainMenu"); },
         [&] {
             titleAgain = true;
             forwardSeen.push_back(forward());
             goTo(100, 110);
         }},
        {always, [&] { goTo(100, 110); }},
        {always, click},
        {[&] { return Focused("SavedGameSlots"); }, [&] { goTo(600, 100); }},
        {always, [&] { goTo(600, 100); }},
        {always, click},
        {[&] { return loads.size() == 5 && PendingLoad().empty() && hero() != nullptr; },
         [&] {
             forwardSeen.push_back(forward());
             SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
         }},
    };
    size_t next = 0;
    uint32_t due = 3;
    host.afterFrame = [&](uint32_t ran) {
        frame = ran;
        const ActorSystem *world = GetActorSystem();
        if (world != nullptr && world->loadPending != 0 &&
            (loads.empty() || loads.back() != world->secondFile)) {
            loads.push_back(world->secondFile);
        }
        if (next < stages.size() && frame >= due && stages[next].ready()) {
            stages[next++].act();
            due = frame + 12;
        }
    };
    const int code = host.Run(folder / "play", 3000);
    EXPECT_EQ(code, 0) << "the run ends through \"Exit Engine\", stopped at stage " << next;
    EXPECT_TRUE(cursorClear) << "the cursor covers \"New Game\"";
    EXPECT_TRUE(keyTaken && doorOpen);
    EXPECT_TRUE(lookoutInRoomB);
    // The index: mission 2 to go on with, slot 1 holding mission 2.
    EXPECT_EQ(saved.size(), 16496u);
    EXPECT_EQ(WordAt(saved, 8), 2u);
    EXPECT_EQ(WordAt(saved, 16), 2u);
    EXPECT_TRUE(curtain) << "no \"THE END\"";
    EXPECT_TRUE(titleAgain);
    ASSERT_EQ(loads.size(), 5u);
    const char *const scenes[5] = {"Mission_01_Release.qva", "Mission_02_Release.qva",
                                   "Mission_26_Release.qva", "TitleStage.qva",
                                   "Mission_02_Release.qva"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_TRUE(EndsWith(loads[i], scenes[i])) << i << ": " << loads[i];
    EXPECT_TRUE(OpenedFilm(films, "Mission_26")) << "no end film";
    // I and the Up arrow move forward from the remap on: in mission 2, on
    // the title (which has no row) and in the loaded game.
    EXPECT_EQ(forwardSeen, (std::vector<std::string>{"I / Up 73 99", "I / Up 73 99",
                                                     "- 73 99", "I / Up 73 99"}));
}

// Every Mesh Object of the world with its collision objects' kinds and
// boxes, a line each, in id order.
std::vector<std::string> MeshCollision() {
    std::vector<std::string> lines;
    for (Actor *actor : ActorTable) {
        if (const auto *mesh = dynamic_cast<const MeshObjectActor *>(actor)) {
            std::ostringstream line;
            line << mesh->actorId << " " << mesh->name << ":";
            for (const auto &o : mesh->colObjs)
                line << " " << o->type << " " << o->boxMin.x << "," << o->boxMin.y << "," << o->boxMin.z
                     << ".." << o->boxMax.x << "," << o->boxMax.y << "," << o->boxMax.z;
            lines.push_back(line.str());
        }
    }
    return lines;
}

// Mission 1 loads the same every time in a run: its Mesh Objects collide
// as they did after "New Game" when "Try Again" starts it after a death,
// when the death menu's "Load Game" loads a game saved in it from the
// pause menu, and when "New Game" starts it again after the end.
TEST(MissionRun, Mission1CollidesAsAtFirstWhenTriedAgainLoadedAndStartedAnew) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    testdisplay::BlindDisplay blind;
    PlayRunHost host;
    std::vector<std::string> loads; // the scene of each level load, in turn
    std::vector<std::vector<std::string>> seen; // the Mesh Objects after each load of mission 1
    uint32_t frame = 0, since = 0;
    const auto hero = [] { return FindActorByName("GA1_Player", 16); };
    const auto active = [](const char *name) {
        auto *menu = dynamic_cast<UISystemActor *>(FindActorByName(name, int32_t(kUiSystemClassId)));
        return menu != nullptr && menu->active != 0;
    };
    // Mission 1 after the load with the number, once the hero stands in it.
    const auto mission1 = [&](size_t load) {
        return loads.size() == load && EndsWith(loads.back(), "Mission_01_Release.qva") &&
               PendingLoad().empty() && hero() != nullptr;
    };
    const auto die = [&] { SendCommandArgs(hero(), 964u, 1000.0f); }; // "Hurt"
    const auto toExit = [&] {
        if (Actor *exit = FindActorByName("Exit", 31))
            PutHero(hero(), exit->GetWorldPosition());
    };
    const auto click = [&] {
        host.Button(kLeftMouseButton, true);
        host.Button(kLeftMouseButton, false);
    };
    struct Stage {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    const auto always = [] { return true; };
    std::vector<Stage> stages = {{always, click}}; // "New Game", under the cursor's start
    // Two frames to the place in the menu with the name, then a click.
    const auto press = [&](std::function<bool()> ready, const char *menu, float x, float y) {
        const auto go = [&host, menu, x, y] { MoveMenuCursor(host, menu, x, y); };
        stages.insert(stages.end(), {{std::move(ready), go}, {always, go}, {always, click}});
    };
    const auto focused = [](const char *name) { return [name] { return Focused(name); }; };
    const auto dead = [&] { return active("DeathMenu") && Focused("Died"); };
    // Past the fade, saved from the pause menu into slot 1; "Resume".
    stages.push_back({[&] { return mission1(1); }, [&] { seen.push_back(MeshCollision()), since = frame; }});
    stages.push_back({[&] { return frame >= since + kPastTheFade; }, [&] { host.Key(0x1B, true); }});
    stages.push_back({always, [&] { host.Key(0x1B, false); }});
    press(focused("Page"), "PauseMenu", 100, 150);
    press(focused("SavedGameSlots"), "PauseMenu", 600, 100);
    press([&] { return Focused("Page") && WordAt(folder.Get("game/SaveGames/SaveGame"), 16) == 1; },
          "PauseMenu", 100, 70);
    // Death and "Try Again"; death again, "Load Game", slot 1 and "Yes".
    stages.push_back({[&] { return !active("PauseMenu"); }, die});
    press(dead, "DeathMenu", 100, 70);
    stages.push_back({[&] { return mission1(2); }, [&] { seen.push_back(MeshCollision()), die(); }});
    press(dead, "DeathMenu", 100, 110);
    press(focused("SavedGameSlots"), "DeathMenu", 600, 100);
    press(focused("YesNoDialog"), "DeathMenu", 270, 430);
    // On through both exits and the end to the title, and "New Game".
    stages.push_back({[&] { return mission1(3); }, [&] { seen.push_back(MeshCollision()), toExit(); }});
    press([&] { return active("Menu") && Focused("SaveContinueMenu"); }, "Menu", 100, 70);
    stages.push_back({[&] { return loads.size() == 4 && PendingLoad().empty() && hero() != nullptr; }, toExit});
    press([&] { return loads.size() == 6 && active("Menu") && Focused("MainMenu"); }, "Menu", 100, 70);
    stages.push_back({[&] { return mission1(7); },
                      [&] {
                          seen.push_back(MeshCollision());
                          SendCommandArgs(GetActorSystem(), cmd::actor_system::ExitEngine);
                      }});
    size_t next = 0;
    uint32_t due = 3;
    bool wasLoading = false;
    host.afterFrame = [&](uint32_t ran) {
        frame = ran;
        // A load waits some frames: each is counted once.
        const ActorSystem *world = GetActorSystem();
        const bool loading = world != nullptr && world->loadPending != 0;
        if (loading && !wasLoading)
            loads.push_back(world->secondFile);
        wasLoading = loading;
        if (next < stages.size() && frame >= due && stages[next].ready()) {
            stages[next++].act();
            due = frame + 12;
        }
    };
    EXPECT_EQ(host.Run(folder / "play", 4000), 0) << "stopped at stage " << next;
    ASSERT_EQ(seen.size(), 4u) << "stopped at stage " << next;
    ASSERT_GT(seen[0].size(), 40u);
    const char *const again[3] = {"\"Try Again\"", "\"Load Game\"", "\"New Game\" after the end"};
    for (size_t i = 1; i < 4; ++i) {
        ASSERT_EQ(seen[i].size(), seen[0].size()) << again[i - 1];
        for (size_t k = 0; k < seen[0].size(); ++k)
            EXPECT_EQ(seen[i][k], seen[0][k]) << again[i - 1];
    }
}

} // namespace
