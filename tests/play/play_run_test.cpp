// The play folder of the sample, run in this process with scripted keys:
// a click on the title's "New Game" (under the cursor's start) starts
// mission 1; there the player walks the hero forward with W for a second,
// opens the pause menu with Esc, whose cursor starts on "Resume", moves the
// cursor down to "Quit" and quits with a click there; and the pause menu's
// questions before a save over a used slot and before a load.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "actors/characters/character_actor.h"
#include "base/math.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/screen_capture.h"
#include "game/ui_button_actor.h"
#include "game/ui_system_actor.h"
#include "game/ui_window_actor.h"
#include "library/render/screen_layers.h"
#include "library/resource_library.h"
#include "support/fake_display.h"
#include "support/fake_film.h"
#include "support/play_run_host.h"
#include "support/sample_copy.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

constexpr uint32_t kVkW = 'W';
constexpr uint32_t kVkLeftShift = 160;
constexpr uint32_t kVkEscape = 27;
constexpr uint32_t kLeftMouseButton = 256;
constexpr uint32_t kCmdGetMovement = 846;

std::string Movement(Actor *character) {
    char text[64] = {};
    if (character != nullptr) {
        character->HandleCommand(kCmdGetMovement, ParamBlock(text, sizeof(text)));
    }
    return std::string(text, strnlen(text, sizeof(text)));
}

// The click on "New Game" at 0.1 s; from the mission's first frame on: W
// from 1.0 s to 2.0 s, Esc at 2.5 s, the cursor 180 down at 2.6 s, the
// click at 2.7 s.
TEST(PlayRun, WalksForwardAlongTheCameraAndQuitsFromThePauseMenu) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    testdisplay::BlindDisplay blind; // positions and motions only, no pixels
    PlayRunHost host;
    Vector3 start = {0, 0, 0};
    Vector3 forward = {0, 0, 0};
    Vector3 end = {0, 0, 0};
    std::string held, after;
    bool found = false;
    uint32_t mission = 0; // the frame before the mission's first
    host.afterFrame = [&](uint32_t frame) {
        Actor *hero = FindActorByName("GA1_Player", 16);
        if (frame == 6 || frame == 8) {
            host.Button(kLeftMouseButton, frame == 6);
        }
        if (mission == 0) {
            mission = hero != nullptr ? frame - 1 : 0;
            return;
        }
        switch (frame - mission) {
        case 60:
            found = hero != nullptr;
            if (hero != nullptr) {
                start = hero->GetWorldPosition();
            }
            if (ResourceLibrary *library = GetLibrary()) {
                library->GetCameraForward(&forward);
            }
            host.Key(kVkW, true);
            break;
        case 100:
            held = Movement(hero);
            break;
        case 120:
            host.Key(kVkW, false);
            break;
        case 150:
            after = Movement(hero);
            if (hero != nullptr) {
                end = hero->GetWorldPosition();
            }
            host.Key(kVkEscape, true);
            break;
        case 152:
            host.Key(kVkEscape, false);
            break;
        case 156:
            // 281 pixels off the desktop's centre move the cursor 0.64 of
            // that, from (100, 70) onto "Quit" at (100, 250).
            host.Cursor(512, 384 + 281);
            break;
        case 162:
            host.Button(kLeftMouseButton, true);
            break;
        case 164:
            host.Button(kLeftMouseButton, false);
            break;
        default:
            break;
        }
    };
    const int code = host.Run(folder / "play", 900);
    EXPECT_EQ(code, 0) << "the run ends through \"Exit Engine\"";
    ASSERT_NE(mission, 0u) << "no mission started";
    EXPECT_LT(host.frames - mission, 170u);
    ASSERT_TRUE(found);
    EXPECT_EQ(held, "Forward");
    EXPECT_EQ(after, "Neutral");

    const float moved[2] = {end.x - start.x, end.z - start.z};
    const float length = std::sqrt(moved[0] * moved[0] + moved[1] * moved[1]);
    const float flat = std::sqrt(forward.x * forward.x + forward.z * forward.z);
    EXPECT_GE(length, 30.0f);
    ASSERT_GT(flat, 0.0f);
    ASSERT_GT(length, 0.0f);
    EXPECT_GT((moved[0] * forward.x + moved[1] * forward.z) / (length * flat), 0.9f)
        << "moved " << moved[0] << " " << moved[1] << ", camera " << forward.x << " "
        << forward.z;
}

// Keeps each frame's queued texts before they are drawn.
class TextKeepingHost : public PlayRunHost {
public:
    void Draw2D() override {
        if (ResourceLibrary *library = GetLibrary()) texts = library->GetScreenLayers().texts;
        PlayRunHost::Draw2D();
    }
    bool Drawn(const std::string &text) const {
        return std::any_of(texts.begin(), texts.end(), [&](const TextLine &line) { return line.text == text; });
    }
    std::vector<TextLine> texts;
};

// A save index of six slots: the mission to go on with and each slot's.
std::string SaveIndex(uint32_t last, std::vector<uint32_t> slots) {
    std::vector<uint32_t> words(16488 / 4, 0);
    words[0] = last;
    words[1] = 6;
    std::copy(slots.begin(), slots.end(), words.begin() + 2);
    std::string bytes("\x01\0\0\0\x68\x40\0\0", 8);
    for (uint32_t word : words) {
        for (int b = 0; b < 4; ++b) bytes.push_back(char((word >> (8 * b)) & 0xFF));
    }
    return bytes;
}

bool Focused(const char *name) { return FocusedWindow != nullptr && FocusedWindow->name == name; }

bool Hovered(const char *name) {
    auto *button = dynamic_cast<UIButtonActor *>(FindActorByName(name, int32_t(kUiButtonClassId)));
    return button != nullptr && button->hovered != 0;
}

// In mission 1, over a slot 1 saved at mission 2: the pause menu opens on
// "Resume"; "Save Game" and slot 1 ask before overwriting, with Yes and No
// drawn; No goes back to the slots and keeps the file; Yes saves mission 1
// over it and goes back to the page; "Load Game" and slot 1 ask to quit the
// running game, and Yes loads mission 1 from the slot.
TEST(PlayRun, ThePauseMenuAsksBeforeOverwritingOrQuittingAndGoesOnWithEachAnswer) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string before = SaveIndex(2, {2});
    folder.Put("game/SaveGames/SaveGame", before);

    fakefilm::FakeFilms films;
    testdisplay::BlindDisplay blind; // queued texts, focus and files only, no pixels
    TextKeepingHost host;
    // The menu's cursor moves 0.64 reference units for each pixel the mouse
    // is off the desktop's centre in a frame; a long way takes two steps.
    const auto goTo = [&](float x, float y) {
        auto *menu = dynamic_cast<UISystemActor *>(FindActorByName("PauseMenu", int32_t(kUiSystemClassId)));
        const auto pixels = [](float d) { return std::clamp(int(std::lround(d / 0.64f)), -380, 380); };
        if (menu != nullptr) host.Cursor(512 + pixels(x - menu->cursorX), 384 + pixels(y - menu->cursorY));
    };
    const auto click = [&] {
        host.Button(kLeftMouseButton, true);
        host.Button(kLeftMouseButton, false);
    };
    const auto slot1 = [&] { goTo(600, 100); };
    const auto yes = [&] { goTo(270, 430); };
    bool onResume = false, onQuit = true, asked = false, backToSlots = false, keptAfterNo = false;
    bool backToPage = false, askedToQuit = false;
    std::string overwritten, loaded;
    const auto question = [&](const char *text) {
        return Focused("YesNoDialog") && host.Drawn(text) && host.Drawn("Yes") && host.Drawn("No");
    };
    // One step every 12 frames.
    const std::vector<std::function<void()>> steps = {
        [&] { host.Key(kVkEscape, true); },
        [&] {
            host.Key(kVkEscape, false);
            onResume = Hovered("Resume");
            onQuit = Hovered("Quit");
            goTo(100, 150); // "Save Game"
        },
        click, slot1, slot1, click,
        [&] {
            asked = question("Overwrite the saved game?");
            goTo(410, 430); // "No"
        },
        [&] { goTo(410, 430); },
        click,
        [&] {
            backToSlots = Focused("SavedGameSlots") && !host.Drawn("Overwrite the saved game?");
            keptAfterNo = folder.Get("game/SaveGames/SaveGame") == before;
            slot1();
        },
        slot1, click, yes, yes, click, [] {}, // the message, then the save
        [&] {
            backToPage = Focused("Page") && !host.Drawn("1");
            overwritten = folder.Get("game/SaveGames/SaveGame");
            goTo(100, 190); // "Load Game"
        },
        click, slot1, slot1, click,
        [&] {
            askedToQuit = question("Quit the current game?");
            yes();
        },
        yes, click};
    uint32_t mission = 0, due = 0;
    size_t next = 0;
    host.afterFrame = [&](uint32_t frame) {
        if (frame == 6 || frame == 8) host.Button(kLeftMouseButton, frame == 6);
        const ActorSystem *world = GetActorSystem();
        if (mission == 0) {
            mission = FindActorByName("GA1_Player", 16) != nullptr ? frame : 0;
            due = frame + 90;
        } else if (next < steps.size() && frame >= due) {
            steps[next++]();
            due = frame + 12;
        } else if (next == steps.size() && loaded.empty() && world != nullptr && world->loadPending != 0) {
            loaded = world->secondFile;
        }
    };
    EXPECT_EQ(host.Run(folder / "play", 800), 3) << "the run goes on to the frame limit";
    ASSERT_EQ(next, steps.size());
    EXPECT_TRUE(onResume && !onQuit);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(backToSlots && keptAfterNo);
    EXPECT_TRUE(backToPage);
    EXPECT_EQ(overwritten, SaveIndex(1, {1})) << "slot 1 holds mission 1";
    EXPECT_TRUE(askedToQuit);
    EXPECT_NE(loaded.find("Mission_01_Release.qva"), std::string::npos) << loaded;
}

// The posture letter and movement of a character, as its motion's name.
std::string Posture(Actor *character) {
    const auto *body = dynamic_cast<CharacterActor *>(character);
    return body == nullptr ? "" : std::string(1, body->posture) + "_" + Movement(character);
}

// Captures the back buffer of the frame after the one it is asked in, after
// its 2D drawing.
class CapturingHost : public PlayRunHost {
public:
    void Draw2D() override {
        PlayRunHost::Draw2D();
        if (capture && CaptureBackBuffer(800, 600) == 1) {
            shots.push_back(GetCaptureImage()->Pixels());
            capture = false;
        }
    }
    bool capture = false;
    std::vector<std::vector<uint8_t>> shots;  // 800 x 600, 4 bytes a pixel (B, G, R, A), top first
};

// Where the hero shows in a capture: the purple of his tunic and trousers
// in any light (red and blue alike, green a fifth to a half of them), which
// neither the level's colours nor the flat magenta of the old figure have.
struct Coverage {
    int pixels = 0;
    int middle = 0;          // of the middle ninth of the screen (266 x 200 at 267, 200)
    double meanRow = 0.0;    // rows from the top
};
Coverage HeroCoverage(const std::vector<uint8_t>& shot) {
    Coverage c;
    double rows = 0.0;
    for (size_t pixel = 0; pixel * 4 + 3 < shot.size(); ++pixel) {
        const int b = shot[pixel * 4], g = shot[pixel * 4 + 1], r = shot[pixel * 4 + 2];
        if (r < 40 || std::abs(r - b) * 4 > r || g * 8 < r || g * 2 > r) continue;
        const int x = int(pixel % 800), y = int(pixel / 800);
        ++c.pixels;
        rows += y;
        c.middle += x >= 267 && x < 533 && y >= 200 && y < 400 ? 1 : 0;
    }
    c.meanRow = c.pixels > 0 ? rows / c.pixels : 0.0;
    return c;
}

// The hero seen by the follow camera in mission 1, standing after the fade
// in, walking (W) and running (W with left Shift): whole in each capture
// (a body's share of the screen, not a ring on the floor), low on the
// screen and not filling its middle.
TEST(PlayRun, FollowCameraShowsTheWholeHeroLowOnTheScreenStandingWalkingAndRunning) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    CapturingHost host;
    host.drawFrame = [&] { return host.capture; }; // the captured frames only
    std::vector<std::string> motions;
    uint32_t mission = 0;
    host.afterFrame = [&](uint32_t frame) {
        Actor *hero = FindActorByName("GA1_Player", 16);
        if (frame == 6 || frame == 8) {
            host.Button(kLeftMouseButton, frame == 6);
        }
        if (mission == 0) {
            mission = hero != nullptr ? frame - 1 : 0;
            return;
        }
        switch (frame - mission) {
        case 200:  // standing (idling), past the fade
        case 235:  // walking
        case 270:  // running, short of the exit 300 ahead of the start
            host.capture = true;
            break;
        case 201:
        case 236:
        case 271:
            motions.push_back(Posture(hero));
            break;
        case 210:
            host.Key(kVkW, true);
            break;
        case 240:
            host.Key(kVkLeftShift, true);
            break;
        case 275:
            host.Key(kVkLeftShift, false);
            host.Key(kVkW, false);
            break;
        default:
            break;
        }
    };
    const int code = host.Run(folder / "play", 450);
    ASSERT_NE(mission, 0u) << "no mission started";
    EXPECT_NE(code, 1);
    ASSERT_EQ(host.shots.size(), 3u);
    ASSERT_EQ(motions.size(), 3u);
    EXPECT_TRUE(motions[0] == "N_Neutral" || motions[0] == "N_Relax") << motions[0];
    EXPECT_EQ(motions[1], "N_Forward");
    EXPECT_EQ(motions[2], "R_Forward");
    const char *const names[3] = {"standing", "walking", "running"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        const Coverage c = HeroCoverage(host.shots[i]);
        EXPECT_GE(c.pixels, 2000) << "a body, not a ring on the floor";
        EXPECT_GT(c.meanRow, 330.0) << "below the middle";
        EXPECT_LT(c.middle, 266 * 200 / 5) << "a fifth of the middle ninth at most";
    }
}

// The hero, facing north as he starts, put with his back to RoomA's south
// wall, into its south-west corner and before the big sphere over the
// ball: the follow camera, pulled in, stays inside the room and out of the
// sphere, and still shows him.
TEST(PlayRun, FollowCameraPulledInByAWallACornerOrASphereStillShowsTheHero) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    const struct {
        const char *where;
        Vector3 at;
        bool sphereBehind;
    } spots[] = {{"back to the wall", {0.0f, 30.0f, -440.0f}, false},
                 {"in the corner", {-440.0f, 30.0f, -440.0f}, false},
                 {"before the sphere", {200.0f, 30.0f, 380.0f}, true}};
    constexpr uint32_t kSettle = 90;                 // frames for the camera to come to rest
    const Vector3 sphere = {200.0f, 100.0f, 300.0f}; // "GA32_Beacon", radius 50
    fakefilm::FakeFilms films;
    CapturingHost host;
    host.drawFrame = [&] { return host.capture; };
    std::vector<Vector3> eyes;
    uint32_t mission = 0;
    host.afterFrame = [&](uint32_t frame) {
        Actor *hero = FindActorByName("GA1_Player", 16);
        if (frame == 6 || frame == 8) {
            host.Button(kLeftMouseButton, frame == 6);
        }
        if (mission == 0) {
            mission = hero != nullptr ? frame : 0;
            return;
        }
        if (hero == nullptr || frame - mission < 200) {
            return; // past the fade
        }
        const uint32_t step = frame - mission - 200;
        if (step / kSettle >= std::size(spots)) {
            return;
        }
        if (step % kSettle == 0) {
            SendCommandArgs(hero, cmd::base::SetPosition, spots[step / kSettle].at);
            SendCommandArgs(hero, cmd::base::InvalidateOldPosition);
        } else if (step % kSettle == kSettle - 1) {
            host.capture = true;
            const Actor *camera = FindActorByName("Camera", 19);
            eyes.push_back(camera != nullptr ? camera->position : Vector3{0.0f, 0.0f, 0.0f});
        }
    };
    host.Run(folder / "play", 200 + 200 + std::size(spots) * kSettle + 10);
    ASSERT_EQ(host.shots.size(), std::size(spots));
    ASSERT_EQ(eyes.size(), std::size(spots));
    for (size_t i = 0; i < std::size(spots); ++i) {
        SCOPED_TRACE(spots[i].where);
        const Vector3 &eye = eyes[i];
        // Before RoomA's walls (their faces stand 480 out), and on the
        // hero's side of the sphere, at most grazing it.
        EXPECT_LT(std::max(std::fabs(eye.x), std::fabs(eye.z)), 480.0f)
            << "eye at " << eye.x << ", " << eye.z;
        if (spots[i].sphereBehind) {
            EXPECT_GT(Vec3Length(Vec3Sub(eye, sphere)), 45.0f) << "eye in the sphere";
            EXPECT_GT(eye.z, sphere.z) << "eye beyond the sphere";
        }
        EXPECT_GE(HeroCoverage(host.shots[i]).pixels, 2000) << "the hero out of view";
    }
}

// What a new player sees at mission 1's start and on its pause page: from
// the start, across the room, the key in the north-west corner shows in
// gold under its gold "KEY"; the hero shows his tunic in its own colour, not
// darkened by his own shadow but for a few pixels; and with "Save Game"
// open beside the page, the objective is drawn where no window lies, none
// of it over the slot list.
TEST(PlayRun, TheKeyShowsInGoldTheHeroInHisColoursAndTheObjectiveClearOfTheSlots) {
    TempFolder folder;
    const toolrun::ToolRun made = samplecopy::Make(folder.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    CapturingHost host;
    host.drawFrame = [&] { return host.capture; };
    uint32_t mission = 0;
    host.afterFrame = [&](uint32_t frame) {
        if (frame == 6 || frame == 8) host.Button(kLeftMouseButton, frame == 6);
        if (mission == 0) {
            mission = FindActorByName("GA1_Player", 16) != nullptr ? frame - 1 : 0;
            return;
        }
        const uint32_t at = frame - mission;
        if (at == 200 || at == 280) host.capture = true;
        if (at == 230 || at == 232) host.Key(kVkEscape, at == 230);
        if (at == 250) host.Cursor(512, 384 + 125); // from "Resume" down to "Save Game"
        if (at == 260 || at == 262) host.Button(kLeftMouseButton, at == 260);
    };
    host.Run(folder / "play", 300);
    ASSERT_NE(mission, 0u) << "no mission started";
    ASSERT_EQ(host.shots.size(), 2u);
    int gold = 0, tunic = 0, darkTunic = 0;
    for (size_t pixel = 0; pixel * 4 + 3 < host.shots[0].size(); ++pixel) {
        const int b = host.shots[0][pixel * 4], g = host.shots[0][pixel * 4 + 1],
                  r = host.shots[0][pixel * 4 + 2];
        gold += r >= 200 && g >= 140 && g <= 225 && b <= 120 && r - g >= 30 ? 1 : 0;
        // The tunic's purple, red and blue alike: lit, or a shadow's 0.4 of it.
        if (r >= 40 && std::abs(r - b) * 8 <= r && g * 5 >= r && g * 5 <= r * 2) {
            ++tunic;
            darkTunic += r < 120 ? 1 : 0;
        }
    }
    EXPECT_GE(gold, 60) << "the key and its word";
    EXPECT_GE(tunic, 500);
    EXPECT_LE(darkTunic * 20, tunic) << "the hero darkened by his own shadow";
    int objective = 0, overSlots = 0;
    for (size_t pixel = 0; pixel * 4 + 3 < host.shots[1].size(); ++pixel) {
        // The objective's light yellow, not the white of the other words.
        const int b = host.shots[1][pixel * 4], g = host.shots[1][pixel * 4 + 1],
                  r = host.shots[1][pixel * 4 + 2];
        if (r < 215 || g < 200 || b < 150 || r - b < 40)
            continue;
        const size_t x = pixel % 800, y = pixel / 800;
        ++objective;
        overSlots += x >= 485 && x < 715 && y >= 10 && y < 510 ? 1 : 0;
    }
    EXPECT_GE(objective, 200);
    EXPECT_EQ(overSlots, 0);
}

}  // namespace
