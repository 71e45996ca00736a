// The play folder of the sample, run in this process with scripted keys:
// a click on the title's "New Game" (under the cursor's start) starts
// mission 1; there the player walks the hero forward with W for a second,
// opens the pause menu with Esc and quits with a click on "Quit", under the
// cursor's start too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "base/math.h"
#include "core/actors/actor_system.h"
#include "library/resource_library.h"
#include "support/fake_film.h"
#include "support/play_run_host.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"

namespace {

constexpr uint32_t kVkW = 'W';
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

}  // namespace
