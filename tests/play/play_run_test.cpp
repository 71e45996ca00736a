// The play folder of the sample, run in this process with scripted keys:
// a click on the title's "New Game" (under the cursor's start) starts
// mission 1; there the player walks the hero forward with W for a second,
// opens the pause menu with Esc and quits with a click on "Quit", under the
// cursor's start too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "actors/characters/character_actor.h"
#include "base/math.h"
#include "core/actors/actor_system.h"
#include "core/actors/screen_capture.h"
#include "library/resource_library.h"
#include "support/fake_film.h"
#include "support/play_run_host.h"
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
// from 1.0 s to 2.0 s, Esc at 2.5 s, the click at 2.7 s.
TEST(PlayRun, WalksForwardAlongTheCameraAndQuitsFromThePauseMenu) {
    TempFolder folder;
    const toolrun::ToolRun made = toolrun::Run("mksample", {folder.Path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
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
    const toolrun::ToolRun made = toolrun::Run("mksample", {folder.Path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    fakefilm::FakeFilms films;
    CapturingHost host;
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

}  // namespace
