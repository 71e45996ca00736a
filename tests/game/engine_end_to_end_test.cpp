// The engine program from start to end on a folder made by mksample: it boots headless, plays the
// logo, runs the demo's scripts (which show the film texture, capture the screen and save the game)
// and exits; the save is read back with qvadump. Variants: a menu actor, a missing scene, no
// init.txt, the data served from a pack archive, sound written by OpenAL's wave driver, a real
// window under Xvfb and no sound device at all.
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <vector>

#include "base/math.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "library/key_track.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/motion.h"
#include "library/render/font_services.h"
#include "library/resource_library.h"
#include "library/skeleton.h"
#include "support/frame_stats_line.h"
#include "support/sample_copy.h"
#include "support/temp_folder.h"
#include "support/tool_run.h"
#include "support/wave_check.h"

namespace {

namespace fs = std::filesystem;

using ProgramRun = toolrun::ToolRun;
using toolrun::Quote;

std::string Program(const std::string& relative) {
    std::string path = ENGINE_TEST_BINARY_DIR "/";
    path += relative;
    return path;
}

// The engine program as a command line's last words before its options,
// with the GL drivers its leak check needs.
std::string EngineProgram() {
    return toolrun::GlDrivers() + Quote(Program("engine"));
}

// Runs a shell command line in `folder`, capturing both output streams.
ProgramRun RunIn(const std::string& folder, const std::string& commandLine) {
    TempFolder capture;
    std::string command = "cd " + Quote(folder) + " && " + commandLine + " >" +
                          Quote(capture / "out") + " 2>" + Quote(capture / "err");
    ProgramRun run;
    int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = capture.Get("out");
    run.err = capture.Get("err");
    return run;
}

// The engine as the end-to-end runs start it: headless, windowed, silent,
// with a fixed frame time, a fixed random seed, films and pauses that wait
// for no real time and a frame limit; `env` ("NAME=value ...") adds further
// settings.
ProgramRun RunEngine(const std::string& folder, int frameLimit = 600,
                     const std::string& env = "") {
    return RunIn(folder, env + (env.empty() ? "" : " ") +
                         "SDL_VIDEODRIVER=offscreen ENGINE_FIXED_FRAME_TIME=0.016666668 "
                         "ENGINE_RANDOM_SEED=1 ENGINE_SKIP_WAITS=1 "
                         "ENGINE_FRAME_LIMIT=" + std::to_string(frameLimit) + " " +
                             EngineProgram() + " -win=1 -s=0");
}

// A virtual X display around the engine. xvfb-run's own helpers (Xvfb,
// xauth, mktemp, rm) run without the GL drivers the engine takes for its
// leak check (EngineProgram): loaded into each of them they only slow them
// down and can make the clean-up of xvfb-run's temporary folder fail under
// load.
const std::string kXvfbRun = "xvfb-run -a -s '-screen 0 1024x768x24' env ";

// The device that draws nothing, for runs judged by their saves, logs and
// exit codes alone.
const std::string kBlind = "ENGINE_BLIND_DEVICE=1";
// Only the frames that the input script captures are drawn.
const std::string kDrawCaptured = "ENGINE_DRAW_CAPTURED_ONLY=1";

bool MakeSample(const std::string& folder) {
    ProgramRun run = samplecopy::Make(folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.exitCode == 0;
}

std::string Dump(const std::string& file) {
    ProgramRun run = toolrun::Run("qvadump", {file});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
}

// The dump lines of the first actor whose own line holds `key`: its own line and its fields,
// without its children.
std::vector<std::string> ActorLinesWith(const std::string& dump, const std::string& key) {
    std::vector<std::string> lines;
    std::istringstream in(dump);
    std::string line;
    size_t indent = std::string::npos;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos) continue;
        bool actorLine = line.compare(start, 3, "id=") == 0 || line.compare(start, 7, "orphan ") == 0;
        if (indent == std::string::npos) {
            if (actorLine && line.find(key) != std::string::npos) {
                indent = start;
                lines.push_back(line.substr(start));
            }
            continue;
        }
        if (actorLine || start <= indent) break;
        lines.push_back(line.substr(start));
    }
    return lines;
}

// The dump lines of the actor named `name`: its own line and its fields, without its children.
std::vector<std::string> ActorLines(const std::string& dump, const std::string& name) {
    return ActorLinesWith(dump, " name=\"" + name + "\" ");
}

bool HasLineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

// A dumped transform: "transform pos x y z scale x y z rot x y z w".
struct DumpedPose {
    bool found = false;
    Vector3 position{};
    Quaternion rotation{};
};
DumpedPose TransformOf(const std::vector<std::string>& lines) {
    DumpedPose pose;
    Vector3 scale{};
    for (const std::string& line : lines) {
        if (std::sscanf(line.c_str(), "transform pos %f %f %f scale %f %f %f rot %f %f %f %f",
                        &pose.position.x, &pose.position.y, &pose.position.z, &scale.x, &scale.y,
                        &scale.z, &pose.rotation.x, &pose.rotation.y, &pose.rotation.z,
                        &pose.rotation.w) == 10) {
            pose.found = true;
        }
    }
    return pose;
}

// The first number after `label ` on the first line starting with `prefix`.
float NumberAfter(const std::vector<std::string>& lines, const std::string& prefix,
                  const std::string& label) {
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t at = line.find(" " + label + " ");
        if (at != std::string::npos) return std::stof(line.substr(at + label.size() + 2));
    }
    return -1.0f;
}

void ExpectPose(const DumpedPose& got, const Vector3& position, const Quaternion& rotation) {
    ASSERT_TRUE(got.found);
    EXPECT_NEAR(got.position.x, position.x, 1e-3f);
    EXPECT_NEAR(got.position.y, position.y, 1e-3f);
    EXPECT_NEAR(got.position.z, position.z, 1e-3f);
    // q and -q are the same turn.
    const float dot = got.rotation.x * rotation.x + got.rotation.y * rotation.y +
                      got.rotation.z * rotation.z + got.rotation.w * rotation.w;
    const float sign = dot < 0.0f ? -1.0f : 1.0f;
    EXPECT_NEAR(got.rotation.x, sign * rotation.x, 1e-3f);
    EXPECT_NEAR(got.rotation.y, sign * rotation.y, 1e-3f);
    EXPECT_NEAR(got.rotation.z, sign * rotation.z, 1e-3f);
    EXPECT_NEAR(got.rotation.w, sign * rotation.w, 1e-3f);
}

// A pixel of an 800 x 600 capture (32-bit TGA), counted from the top left:
// red, green, blue.
struct Rgb {
    int r = 0, g = 0, b = 0;
};
Rgb CapturePixel(const std::string& tga, int x, int y) {
    if (tga.size() < 18 + 800u * 600u * 4u) return {-1000, -1000, -1000};
    const bool topFirst = (static_cast<uint8_t>(tga[17]) & 0x20) != 0;
    const int row = topFirst ? y : 599 - y;
    const size_t at = 18 + (static_cast<size_t>(row) * 800 + static_cast<size_t>(x)) * 4;
    return {static_cast<uint8_t>(tga[at + 2]), static_cast<uint8_t>(tga[at + 1]),
            static_cast<uint8_t>(tga[at])};
}

// The largest channel difference from the fog colour (0.25, 0.5, 0.75).
int FromFog(const Rgb& c) {
    return std::max({std::abs(c.r - 0x40), std::abs(c.g - 0x80), std::abs(c.b - 0xBF)});
}

// Where a world point lands on the 800 x 600 screen in the view of the
// sample camera "GA29_Cam": the eye at (0, 120, -450) looking along +z (the
// identity rotation), with the start-up projection, which its field of view
// keeps (vertical 1.5707964, near 1.5, far 35000).
const Vector3 kSampleCameraEye = {0.0f, 120.0f, -450.0f};
std::pair<int, int> ProjectSampleView(const Vector3& world) {
    const Vector3 p = {world.x - kSampleCameraEye.x, world.y - kSampleCameraEye.y,
                       world.z - kSampleCameraEye.z};
    Matrix projection;
    MatrixPerspectiveFov(&projection, 1.5707964f, 4.0f / 3.0f, 1.5f, 35000.0f);
    const auto& m = projection.m;
    const float cx = p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0];
    const float cy = p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1];
    const float cw = p.x * m[0][3] + p.y * m[1][3] + p.z * m[2][3] + m[3][3];
    return {static_cast<int>((cx / cw + 1.0f) * 400.0f), static_cast<int>((1.0f - cy / cw) * 300.0f)};
}

// A point of CrateC in RoomC that the sample camera sees beside CrateUV
// (x -250 is the edge of its face nearest the camera), clear of the door's
// lintel and leaf.
const Vector3 kCrateCEdge = {-262.0f, 62.0f, 1000.0f};

// The demo's capture, seen by the sample camera: the fog colour (the clear
// colour) where nothing is drawn; the crates of RoomA and RoomB (CrateUV
// inside the UVAnimation) drawn; CrateC not, as the door is still closed.
void ExpectDemoCapture(const std::string& tga) {
    ASSERT_EQ(tga.size(), 1920018u);
    EXPECT_LE(FromFog(CapturePixel(tga, 0, 0)), 1);
    EXPECT_LE(FromFog(CapturePixel(tga, 799, 0)), 1);
    const std::pair<const char*, Vector3> drawn[] = {{"CrateA", {0.0f, 50.0f, 300.0f}},
                                                     {"CrateB", {550.0f, 50.0f, 450.0f}},
                                                     {"CrateUV", {-200.0f, 50.0f, 300.0f}}};
    for (const auto& [name, centre] : drawn) {
        const auto [x, y] = ProjectSampleView(centre);
        ASSERT_TRUE(x >= 0 && x < 800 && y >= 0 && y < 600) << name;
        EXPECT_GT(FromFog(CapturePixel(tga, x, y)), 16) << name << " at " << x << ", " << y;
    }
    const auto [x, y] = ProjectSampleView(kCrateCEdge);
    ASSERT_TRUE(x >= 0 && x < 800 && y >= 0 && y < 600) << "CrateC";
    EXPECT_LE(FromFog(CapturePixel(tga, x, y)), 1) << "CrateC at " << x << ", " << y;
}

// The mean colour of the 9 x 9 pixels around a world point's place on the
// capture.
Rgb PatchMean(const std::string& tga, const Vector3& world) {
    const auto [cx, cy] = ProjectSampleView(world);
    Rgb sum;
    for (int y = cy - 4; y <= cy + 4; ++y) {
        for (int x = cx - 4; x <= cx + 4; ++x) {
            const Rgb c = CapturePixel(tga, std::clamp(x, 0, 799), std::clamp(y, 0, 599));
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
        }
    }
    return {sum.r / 81, sum.g / 81, sum.b / 81};
}

// The lamp, the sounds and the sensor of RoomA in a run with sound: the lamp
// lights "LitNear" (80 units away) and not its twin "LitFar"; after the
// logo's first 2 s the mix holds the hum's 220 Hz and the ambient loop's
// 880 Hz; the save keeps the lamp on, the loop on channel 1 and the sensor's
// default masks.
void ExpectLampSoundsAndSensor(const std::string& capture, const wavecheck::WaveData& wave,
                               const std::string& dump) {
    const Rgb lit = PatchMean(capture, {-198.82f, 60.0f, 30.0f});
    const Rgb unlit = PatchMean(capture, {198.82f, 60.0f, 30.0f});
    EXPECT_GE(lit.r - unlit.r, 24);
    EXPECT_GE(lit.g - unlit.g, 24);
    EXPECT_GE(lit.b - unlit.b, 24);

    wavecheck::WaveData late = wave;
    const size_t skip = static_cast<size_t>(wave.sampleRate) * 2;
    ASSERT_GT(wave.mono.size(), skip);
    late.mono.erase(late.mono.begin(), late.mono.begin() + static_cast<std::ptrdiff_t>(skip));
    EXPECT_NEAR(wavecheck::DominantFrequency(late, 150.0, 260.0, 2.0), 220.0, 220.0 * 0.02)
        << "the hum";
    EXPECT_NEAR(wavecheck::DominantFrequency(late, 800.0, 1000.0, 2.0), 880.0, 880.0 * 0.02)
        << "the ambient loop";

    const std::vector<std::string> lamp = ActorLines(dump, "GA30_Lamp");
    int state = 0;
    for (const std::string& line : lamp) {
        if (line.rfind("state ", 0) == 0) state = std::stoi(line.substr(6));
    }
    EXPECT_NE(state & 2, 0) << dump;
    const std::vector<std::string> ambience = ActorLines(dump, "Ambience");
    EXPECT_TRUE(HasLineStarting(ambience, "ambiententry 0 name \"beep\" ")) << dump;
    EXPECT_EQ(NumberAfter(ambience, "ambiententry 0 ", "state"), 1.0f);
    EXPECT_EQ(NumberAfter(ambience, "ambiententry 0 ", "looping"), 1.0f);
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "Eye"), "light sensor ray 0x1 0x1 0x4041000"))
        << dump;
}

class EngineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.Path().empty());
        ASSERT_TRUE(MakeSample(folder.Path()));
    }
    std::string Path(const std::string& relative) const { return folder / relative; }

    TempFolder folder;
};

TEST_F(EngineEndToEnd, DemoMovesItsActorSavesAndExits) {
    ProgramRun run = RunEngine(folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_TRUE(fs::exists(Path("game/demo.sav")));

    const std::string dump = Dump(Path("game/demo.sav"));
    std::vector<std::string> mover = ActorLines(dump, "Mover");
    ASSERT_FALSE(mover.empty()) << dump;
    EXPECT_EQ(mover[0], "id=10 class=0 name=\"Mover\" parent=1 classname=\"Base\"");
    EXPECT_TRUE(HasLineStarting(mover, "transform pos 1 2 3 ")) << dump;
    EXPECT_TRUE(HasLineStarting(mover, "script 0 \"boot\" event 154 ")) << dump;
    EXPECT_TRUE(HasLineStarting(mover,
                                "script 1 \"done\" event 214 \"Action Start Post\" source "
                                "\"sys.Load_Resource(\\\"film\\\"); "
                                "sys.Play_Texture_Movie(\\\"film\\\"); "
                                "sys.Capture_BackBuffer((800, 600)); "
                                "sys.Capture_Save(\\\"shot.tga\\\"); "
                                "sys.Save_Game(\\\"demo.sav\\\"); sys.Exit_Engine();\""))
        << dump;
    EXPECT_FALSE(HasLineStarting(mover, "sched ")) << dump;

    std::vector<std::string> floor = ActorLines(dump, "Floor");
    ASSERT_FALSE(floor.empty()) << dump;
    EXPECT_EQ(floor[0], "id=3000 class=0 name=\"Floor\" parent=2 classname=\"Base\"");
    EXPECT_TRUE(HasLineStarting(floor, "colobj 0 \"floor box\" ")) << dump;
    EXPECT_TRUE(HasLineStarting(floor, "sched 0 command 63 \"Set Position\" ")) << dump;
    std::vector<std::string> post = ActorLines(dump, "Post");
    ASSERT_FALSE(post.empty()) << dump;
    EXPECT_EQ(post[0], "id=3001 class=0 name=\"Post\" parent=2 classname=\"Base\"");

    std::vector<std::string> player = ActorLines(dump, "MASTERPLAYER");
    ASSERT_FALSE(player.empty()) << dump;
    EXPECT_EQ(player[0].substr(0, player[0].find(" classname=")),
              "id=8003 class=9 name=\"MASTERPLAYER\" parent=2");
    // Without a "PlayerCharacter" the game's Player drives nothing.
    EXPECT_TRUE(HasLineStarting(player, "player type 0 charactertype 0 control 0 path \"\""))
        << dump;

    // The sample camera was current and stays so in the save; without a
    // "PlayerCharacter" the game made no camera of its own.
    std::vector<std::string> camera = ActorLines(dump, "GA29_Cam");
    ASSERT_FALSE(camera.empty()) << dump;
    EXPECT_NE(camera[0].find(" class=19 "), std::string::npos) << camera[0];
    EXPECT_TRUE(HasLineStarting(camera, "transform pos 0 120 -450 ")) << dump;
    EXPECT_TRUE(HasLineStarting(camera, "camera type 0 active 1 height 30 ")) << dump;
    EXPECT_TRUE(ActorLines(dump, "Camera").empty()) << dump;

    // The camera stands in RoomA; RoomB is seen through the open portal,
    // RoomC lies behind the closed one: only the first two probes moved.
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "ProbeA"), "transform pos 7 7 7 ")) << dump;
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "ProbeB"), "transform pos 7 7 7 ")) << dump;
    // The ball fell from 70 onto FloorA, bounced and came to rest there
    // under "Scenery", and its rest script moved GA28_Rest.
    std::vector<std::string> ball = ActorLines(dump, "Ball");
    ASSERT_FALSE(ball.empty()) << dump;
    EXPECT_NE(ball[0].find(" class=43 "), std::string::npos) << ball[0];
    EXPECT_NE(ball[0].find(" parent=2 "), std::string::npos) << ball[0];
    EXPECT_TRUE(HasLineStarting(ball, "sim style 5 ")) << dump;
    float ballY = -1.0f;
    for (const std::string& line : ball) {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        if (std::sscanf(line.c_str(), "transform pos %f %f %f ", &x, &y, &z) == 3) ballY = y;
    }
    EXPECT_GE(ballY, 50.0f) << dump;
    EXPECT_LE(ballY, 51.0f) << dump;
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "GA28_Rest"), "transform pos 7 7 7 ")) << dump;

    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "Portal AB"),
                                "connector radius 25 type 0 isopen 1 forceopen 1 loadpoint 0 "
                                "groups 2 2 3"))
        << dump;
    // A second in, the runner is still on its way to "T": the door, its
    // leaf and its connector are closed and RoomC was never reached.
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "Door Connector"),
                                "connector radius 25 type 1 isopen 0 forceopen 0 loadpoint 0 "
                                "groups 2 2 4"))
        << dump;
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "GA5_Door"), "door type 0 state 0 ")) << dump;
    ExpectPose(TransformOf(ActorLines(dump, "Door_1")), {0.0f, 100.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "ProbeC"), "transform pos 0 0 0 ")) << dump;

    // The globals' Environment took the place of the start-up one; the
    // UVAnimation keeps its child; the Reference hangs below its room.
    std::vector<std::string> environment = ActorLines(dump, "Environment");
    ASSERT_FALSE(environment.empty()) << dump;
    EXPECT_EQ(environment[0], "id=14 class=7 name=\"Environment\" parent=1 classname=\"Environment\"");
    EXPECT_TRUE(HasLineStarting(environment, "environment ambient 0.3 0.3 0.3 1 gravity 9.81 wind 0 0 0 "
                                             "airres 1 fog 1 "))
        << dump;
    EXPECT_NE(dump.find("      id=3016 class=41 name=\"UVHolder\" parent=3002 classname=\"UVAnimation\"\n"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("        id=3017 class=3 name=\"CrateUV\" parent=3016 classname=\"Object\"\n"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("      id=3018 class=37 name=\"RefA\" parent=3002 classname=\"Reference\"\n"),
              std::string::npos)
        << dump;


    // The timer started on "Start Game" on the Time Instance: about one
    // second into its loop, after the key at 0.5 s hid the beacon.
    std::vector<std::string> clock = ActorLines(dump, "Clock");
    ASSERT_FALSE(clock.empty()) << dump;
    float clockTime = -1.0f;
    for (const std::string& line : clock) {
        const size_t at = line.find(" mode 1 multiplier 1 time ");
        if (line.rfind("timer type 1 ", 0) == 0 && at != std::string::npos) {
            clockTime = std::stof(line.substr(at + 26));
        }
    }
    EXPECT_NEAR(clockTime, 1.0f, 0.05f) << dump;
    EXPECT_TRUE(HasLineStarting(clock, "key 0 event ")) << dump;
    std::vector<std::string> beacon = ActorLines(dump, "GA32_Beacon");
    ASSERT_FALSE(beacon.empty()) << dump;
    unsigned beaconState = 0xFFFFFFFFu;
    for (const std::string& line : beacon) {
        std::sscanf(line.c_str(), "state %u ", &beaconState);
    }
    EXPECT_EQ(beaconState & 2u, 0u) << dump;
    // "Props" chose one of its two files, whose actor came first of the
    // level's free ids; "SP" spawned its crate on "Start Game" under a
    // marker or itself, and its script renamed the copy.
    std::vector<std::string> props = ActorLines(dump, "Props");
    ASSERT_FALSE(props.empty()) << dump;
    EXPECT_TRUE(HasLineStarting(props, "file spare 0 files 2 nofile 0 loaded 1 ")) << dump;
    const size_t propsAt = dump.find("name=\"Props\"");
    const size_t chosen = dump.find("        id=8000 class=0 name=\"Prop", propsAt);
    EXPECT_NE(chosen, std::string::npos) << dump;
    EXPECT_NE(dump.find("parent=3027 classname=\"Base\"", chosen), std::string::npos) << dump;
    std::vector<std::string> spawned = ActorLines(dump, "Spawned");
    ASSERT_FALSE(spawned.empty()) << dump;
    bool underMarker = false;
    for (const char* parent : {" parent=3028 ", " parent=3029 ", " parent=3030 "}) {
        underMarker = underMarker || spawned[0].find(parent) != std::string::npos;
    }
    EXPECT_TRUE(underMarker) << spawned[0];
    EXPECT_EQ(dump.find("name=\"Spawned\"", dump.find("name=\"Spawned\"") + 1), std::string::npos)
        << "one copy only";
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "SP"),
                                "spawnpoint type 2 usebox 0 box 50 0 50 records 1 nonspawn 0 "
                                "onstart 1 "))
        << dump;

    ExpectDemoCapture(folder.Get("game/shot.tga"));
}

// The worm "Figure" plays "N_Neutral" while it is drawn and its bone actors follow; the
// "Rig" plays the same motion on its crates. About a second in, the save holds both clocks,
// each within a few frames of the end of the motion's one-second loop, and the poses the
// sample's own files give for them.
TEST_F(EngineEndToEnd, DemoSavesTheWormAndTheRigInTheirPoses) {
    ProgramRun run = RunEngine(folder.Path(), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string dump = Dump(Path("game/demo.sav"));
    const std::vector<std::string> figure = ActorLines(dump, "Figure");
    ASSERT_FALSE(figure.empty()) << dump;
    EXPECT_TRUE(HasLineStarting(figure, "layer 0 mask 255 motion 0 requested \"N_Neutral\" "))
        << dump;
    // Just before the loop's end or just after its restart.
    const auto nearLoopEnd = [](float t) { return t < 0.05f || (t > 0.95f && t <= 1.0f); };
    const float figureTime = NumberAfter(figure, "layer 0 ", "time");
    EXPECT_TRUE(nearLoopEnd(figureTime)) << figureTime << "\n" << dump;
    const std::vector<std::string> rig = ActorLines(dump, "Rig");
    ASSERT_FALSE(rig.empty()) << dump;
    EXPECT_TRUE(HasLineStarting(rig, "animation motion \"N_Neutral\" style 3 playonstart 1 "))
        << dump;
    const float rigTime = NumberAfter(rig, "animation ", "time");
    EXPECT_TRUE(nearLoopEnd(rigTime)) << rigTime << "\n" << dump;

    // The sample's files read as the engine reads them (the loaders work on
    // the process's library).
    ResourceLibrary library;
    struct Restore {
        ResourceLibrary* previous;
        ~Restore() { ReplaceLibraryForTests(previous); }
    } restore{ReplaceLibraryForTests(&library)};
    RegisterMeshLoader();
    RegisterMotionLoader();
    library.SetBaseFolder(Path("game").c_str());
    ASSERT_EQ(library.ReadLibraryFile(Path("game/DAZedirad.qvf").c_str(), 1), 1)
        << library.GetLastError();
    auto* worm = dynamic_cast<MeshItem*>(library.FindItemByName("worm", ItemClass::Mesh));
    auto* neutral = dynamic_cast<MotionItem*>(library.FindItemByName("N_Neutral", ItemClass::Motion));
    ASSERT_NE(worm, nullptr);
    ASSERT_NE(neutral, nullptr);
    Skeleton* skeleton = CreateSkeleton(worm);
    BoneMatrices* matrices = AllocBoneMatrices(worm);
    ASSERT_NE(skeleton, nullptr);
    ComputeBonePose(skeleton, neutral, matrices, figureTime);
    Matrix bone;
    ASSERT_EQ(GetBoneMatrix(FindBoneByName(skeleton, "Head"), &bone), 1);
    Quaternion boneTurn;
    QuaternionFromMatrix(&boneTurn, bone);
    ExpectPose(TransformOf(ActorLinesWith(dump, "name=\"Head\" parent=3034 ")),
               {bone.m[3][0], bone.m[3][1], bone.m[3][2]}, boneTurn);
    FreeBoneMatrices(matrices);
    DestroySkeleton(skeleton);

    KeyTrack* head = FindMotionTrack(neutral, "Head");
    ASSERT_NE(head, nullptr);
    Vector3 at{};
    Quaternion turn{};
    SampleTrackPosition(&at, head, rigTime);
    SampleTrackRotation(&turn, head, rigTime);
    ExpectPose(TransformOf(ActorLinesWith(dump, "name=\"Head\" parent=3044 ")), at, turn);
}

// The moving content of RoomA about a second in: "Spin" has turned half a
// revolution about y, "Walker" has gone 100 units from "Route" towards N1,
// and "Pillar" started its near level, the cylinder "Lev_1", while the cube
// "Lev_2" stays hidden.
TEST_F(EngineEndToEnd, DemoSavesTheMovingContent) {
    ProgramRun run = RunEngine(folder.Path(), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string dump = Dump(Path("game/demo.sav"));
    const float frame = 1.0f / 60.0f;
    const DumpedPose spin = TransformOf(ActorLines(dump, "Spin"));
    ASSERT_TRUE(spin.found) << dump;
    EXPECT_NEAR(spin.position.x, 300.0f, 1e-3f);
    EXPECT_NEAR(spin.position.y, 200.0f, 1e-3f);
    const float yaw = 2.0f * std::atan2(std::fabs(spin.rotation.y), std::fabs(spin.rotation.w));
    EXPECT_NEAR(yaw, 3.1415927f, 3.1415927f * frame + 1e-3f) << dump;
    EXPECT_NEAR(spin.rotation.x, 0.0f, 1e-4f);
    EXPECT_NEAR(spin.rotation.z, 0.0f, 1e-4f);

    const DumpedPose walker = TransformOf(ActorLines(dump, "Walker"));
    ASSERT_TRUE(walker.found) << dump;
    EXPECT_NEAR(walker.position.x, 100.0f, 100.0f * frame + 1e-2f) << dump;
    EXPECT_NEAR(walker.position.y, 0.0f, 1e-3f);
    EXPECT_NEAR(walker.position.z, 0.0f, 1e-3f);

    const auto stateOf = [&](const char *name) {
        unsigned state = 0xFFFFFFFFu;
        for (const std::string &line : ActorLines(dump, name)) {
            std::sscanf(line.c_str(), "state %u ", &state);
        }
        return state;
    };
    EXPECT_EQ(stateOf("Lev_1") & 2u, 2u) << dump;
    EXPECT_EQ(stateOf("Lev_2") & 2u, 0u) << dump;
}

TEST_F(EngineEndToEnd, DemoNeedsAboutOneSecondOfFrames) {
    // The save comes 1.0 s after the start: some 61 frames of 1/60 s.
    ProgramRun run = RunEngine(folder.Path(), 58, kBlind);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "frame limit reached\n");
    EXPECT_FALSE(fs::exists(Path("game/demo.sav")));

    run = RunEngine(folder.Path(), 64, kBlind);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(Path("game/demo.sav")));
}

TEST_F(EngineEndToEnd, FrameStatsLineOnATenFrameRunAndOnExitEngine) {
    const std::string engine = kBlind + " SDL_VIDEODRIVER=offscreen ENGINE_FIXED_FRAME_TIME=0.016666668 "
                               "ENGINE_SKIP_WAITS=1 ENGINE_FRAME_STATS=1 " + EngineProgram() + " -win=1 -s=0";
    ProgramRun run = RunIn(folder.Path(), "ENGINE_FRAME_LIMIT=10 " + engine);
    EXPECT_EQ(run.exitCode, 3);
    ASSERT_EQ(run.err.rfind("frame limit reached\n", 0), 0u) << run.err;
    FrameStatsFigures figures;
    ASSERT_TRUE(ParseFrameStatsLine(run.err.substr(20), &figures)) << run.err;
    EXPECT_EQ(figures.frames, 10u);
    // The first frame counts the whole start-up (window, logo, loads), so it
    // cannot be shorter than a frame step; a misread process start would put
    // it hours away.
    EXPECT_GT(figures.meanMs, 0.0);
    EXPECT_GE(figures.p99Ms, figures.meanMs);
    EXPECT_GT(figures.firstFrameMs, 0.0);
    EXPECT_LT(figures.firstFrameMs, 600000.0);

    // The demo ends itself with "Exit Engine" after some 61 frames.
    run = RunIn(folder.Path(), "ENGINE_FRAME_LIMIT=600 " + engine);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(ParseFrameStatsLine(run.err, &figures)) << run.err;
    EXPECT_GT(figures.frames, 58u);
    EXPECT_LT(figures.frames, 600u);
}

TEST_F(EngineEndToEnd, MenuActorSkipsTheSceneAndTheGameStart) {
    // The globals again, with an actor named "Menu" beside "Mover".
    ASSERT_NE(InitActorSystem(), 0);
    const std::string globals = Path("game/Data/Globals.qva");
    ASSERT_EQ(LoadActors(globals, kSerializeLoad), 1) << GetActorSystem()->errorText;
    ASSERT_NE(CreateActor(0, "Menu", nullptr, GetActorById(kGlobalRootId), 11, true), nullptr);
    ASSERT_EQ(SaveActors(globals, 10, 12, kSerializeSave), 1);
    // A scene that would fail to load shows that none is loaded.
    ASSERT_TRUE(fs::remove(Path("game/Data/Level1.qva")));

    ProgramRun run = RunEngine(folder.Path(), 600, kBlind);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(run.err, "frame limit reached\n");
    // No "Start Game": the boot script never ran, so nothing was saved.
    EXPECT_FALSE(fs::exists(Path("game/demo.sav")));
}

TEST_F(EngineEndToEnd, StartUpFailuresPrintOneLineAndExitOne) {
    ASSERT_TRUE(fs::remove(Path("game/Data/Level1.qva")));
    ProgramRun run = RunEngine(folder.Path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Error Loading Scene Level1.qva: Error - Loading Actors\n");

    ASSERT_TRUE(fs::remove(Path("init.txt")));
    run = RunEngine(folder.Path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "init.txt: cannot open\n");
    EXPECT_FALSE(fs::exists(Path("game/demo.sav")));
}

TEST_F(EngineEndToEnd, TruncatedSceneFailsWithoutLeavingActorsBehind) {
    // Cut inside a record: the actors read so far are freed by the failed load
    // (a sanitizer build reports anything left at exit on stderr).
    const std::string scene = folder.Get("game/Data/Level1.qva");
    ASSERT_GT(scene.size(), 64u);
    folder.Put("game/Data/Level1.qva", scene.substr(0, scene.size() / 2));
    ProgramRun run = RunEngine(folder.Path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Error Loading Scene Level1.qva: Serialize Error\n");
}

// With the same random seed the files chosen and the places spawned at
// repeat: two runs write the same save, one drawn on GL and one on the
// device that draws nothing (whose capture is black).
TEST_F(EngineEndToEnd, TwoRunsGiveTheSameSave) {
    TempFolder other;
    ASSERT_TRUE(MakeSample(other.Path()));
    ProgramRun run = RunEngine(folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = RunEngine(other.Path(), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string first = folder.Get("game/demo.sav");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, other.Get("game/demo.sav"));
    const auto lit = [](const std::string& tga) {
        int count = 0;
        for (int y = 0; y < 600; y += 4) {
            for (int x = 0; x < 800; x += 4) {
                const Rgb c = CapturePixel(tga, x, y);
                count += c.r != 0 || c.g != 0 || c.b != 0 ? 1 : 0;
            }
        }
        return count;
    };
    const std::string blind = other.Get("game/shot.tga");
    ASSERT_EQ(blind.size(), 1920018u);
    EXPECT_EQ(lit(blind), 0);
    EXPECT_GT(lit(folder.Get("game/shot.tga")), 1000);
}

TEST_F(EngineEndToEnd, PackedFolderGivesTheSameSave) {
    TempFolder loose;
    ASSERT_TRUE(MakeSample(loose.Path()));
    ProgramRun run = RunEngine(loose.Path(), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string expected = Dump(loose / "game/demo.sav");

    run = RunIn(folder.Path(), Quote(Program("tools/packtool")) + " create pack.csa game");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(fs::remove(Path("game/DAZedirad.qvf")));
    ASSERT_GT(fs::remove_all(Path("game/Data")), 0u);
    ASSERT_TRUE(fs::remove(Path("game/SaveGames"))); // saved games stay loose files
    ASSERT_TRUE(fs::is_empty(Path("game")));
    const std::string archive = folder.Get("pack.csa");

    run = RunEngine(folder.Path(), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The save is a loose file beside the archive, never inside it.
    ASSERT_TRUE(fs::exists(Path("game/demo.sav")));
    EXPECT_EQ(folder.Get("pack.csa"), archive);
    EXPECT_EQ(Dump(Path("game/demo.sav")), expected);
}

// A damaged archive is told in one line that names it and says what is wrong
// with it, and is not used: with the game folder beside it the game runs from
// the folder; without one the start-up ends where the library is missing.
TEST_F(EngineEndToEnd, DamagedArchiveIsNamedWithWhatIsWrong) {
    const std::string header = std::string("MORV") + std::string(12, '\0');
    // One entry of 10 bytes at offset 156, in a file that ends at byte 160.
    std::string entry = std::string("\x9C\0\0\0\x0A\0\0\0", 8) + "game\\init.txt";
    entry.resize(136, '\0');
    const struct {
        std::string bytes;
        const char* line;
    } cases[] = {
        {"MORV", "pack.csa: too short for an archive header (4 bytes)\n"},
        {"VROM" + std::string(16, '\0'),
         "pack.csa: not an archive (it does not start with \"MORV\")\n"},
        {header + std::string("\x02\0\0\0", 4) + std::string(136, 'n'),
         "pack.csa: the directory of 2 entries does not fit in the file\n"},
        {header + std::string("\x01\0\0\0", 4) + entry + "abcd",
         "pack.csa: entry \"game\\init.txt\" (bytes 156 to 166) lies past the end of the file "
         "(160 bytes)\n"},
    };
    for (const auto& c : cases) {
        folder.Put("pack.csa", c.bytes);
        fs::remove(Path("game/demo.sav"));
        ProgramRun run = RunEngine(folder.Path(), 600, kBlind);
        EXPECT_EQ(run.exitCode, 0) << c.line;
        EXPECT_EQ(run.err, c.line);
        EXPECT_TRUE(fs::exists(Path("game/demo.sav"))) << c.line;
    }
    ASSERT_GT(fs::remove_all(Path("game")), 0u);
    for (const auto& c : {cases[0], cases[3]}) {
        folder.Put("pack.csa", c.bytes);
        ProgramRun run = RunEngine(folder.Path());
        EXPECT_EQ(run.exitCode, 1) << c.line;
        EXPECT_EQ(run.err, std::string(c.line) + "library: game\\DAZedirad.qvf: Serialize File Open Error\n");
    }
}

// Whether the sample camera's ray through the pixel's centre passes within
// `radius` of the world point: the pixel lies inside the sphere's outline.
bool InsideSphereOutline(int x, int y, const Vector3& centre, float radius) {
    Matrix projection;
    MatrixPerspectiveFov(&projection, 1.5707964f, 4.0f / 3.0f, 1.5f, 35000.0f);
    const Vector3 ray = {((static_cast<float>(x) + 0.5f) / 400.0f - 1.0f) / projection.m[0][0],
                         (1.0f - (static_cast<float>(y) + 0.5f) / 300.0f) / projection.m[1][1],
                         1.0f};
    const Vector3 to = {centre.x - kSampleCameraEye.x, centre.y - kSampleCameraEye.y,
                        centre.z - kSampleCameraEye.z};
    const float along = (to.x * ray.x + to.y * ray.y + to.z * ray.z) /
                        (ray.x * ray.x + ray.y * ray.y + ray.z * ray.z);
    const float dx = to.x - ray.x * along, dy = to.y - ray.y * along, dz = to.z - ray.z * along;
    return dx * dx + dy * dy + dz * dz <= radius * radius;
}

// The "Campfire" burns in front of the camera: its capture differs from that
// of the same level with the fire hidden only where the fire can be, and two
// runs draw the same flames.
TEST_F(EngineEndToEnd, CampfireChangesTheCaptureOnlyAroundItself) {
    ProgramRun run = RunEngine(folder.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string burning = folder.Get("game/shot.tga");
    ASSERT_EQ(burning.size(), 1920018u);

    TempFolder again;
    ASSERT_TRUE(MakeSample(again.Path()));
    run = RunEngine(again.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(again.Get("game/shot.tga") == burning);

    // The level again, with the fire hidden, read and written on the
    // sample's library.
    {
        ResourceLibrary library;
        struct Restore {
            ResourceLibrary* previous;
            ~Restore() { ReplaceLibraryForTests(previous); }
        } restore{ReplaceLibraryForTests(&library)};
        ASSERT_EQ(library.ReadLibraryFile((again / "game/DAZedirad.qvf").c_str(), 1), 1)
            << library.GetLastError();
        ASSERT_NE(InitActorSystem(), 0);
        const std::string level = again / "game/Data/Level1.qva";
        ASSERT_EQ(LoadActors(level, kSerializeLoad), 1) << GetActorSystem()->errorText;
        Actor* fire = GetActorById(3070);
        ASSERT_NE(fire, nullptr);
        ASSERT_EQ(fire->name, "Campfire");
        SendCommandArgs(fire, 456, false);
        EXPECT_EQ(SaveActors(level, 3000, 3092, kSerializeSave), 1); // the level's whole id span
        ResetActorWorldForTests(); // the level goes before its library
    }
    std::filesystem::remove(again / "game/shot.tga");
    run = RunEngine(again.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string hidden = again.Get("game/shot.tga");
    ASSERT_EQ(hidden.size(), burning.size());

    const Vector3 emitter = {-100.0f, 0.0f, -150.0f};
    int changed = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const Rgb a = CapturePixel(burning, x, y);
            const Rgb b = CapturePixel(hidden, x, y);
            if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
            ++changed;
            EXPECT_TRUE(InsideSphereOutline(x, y, emitter, 100.0f)) << x << ", " << y;
        }
    }
    EXPECT_GT(changed, 50);
}

// --- the sample with sound, a screen capture and the logo's tone ----------------

// The sample as its end-to-end runs start it: fixed frame time, frame limit
// 600, windowed, the files' own texture formats, sound on.
ProgramRun RunSample(const std::string& folder, const std::string& environment,
                     const std::string& options = "", const std::string& wrapper = "") {
    return RunIn(folder, environment + " ENGINE_FIXED_FRAME_TIME=0.016666668 ENGINE_RANDOM_SEED=1 "
                                       "ENGINE_FRAME_LIMIT=600 " +
                             wrapper + EngineProgram() + " -win=1 -tq=32 " + options);
}

TEST_F(EngineEndToEnd, SampleWithSoundCapturesTheSceneAndPlaysTheLogoTone) {
    TempFolder sound;
    const std::string wavePath = sound / "mix.wav";
    const std::string waveDriver = wavecheck::WaveDriverEnvironment(sound.Path(), wavePath);
    ASSERT_FALSE(waveDriver.empty());
    ProgramRun run = RunSample(folder.Path(), "SDL_VIDEODRIVER=offscreen " + waveDriver);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string capture = folder.Get("game/shot.tga");
    ExpectDemoCapture(capture);

    const std::string dump = Dump(Path("game/demo.sav"));
    std::vector<std::string> mover = ActorLines(dump, "Mover");
    ASSERT_FALSE(mover.empty()) << dump;
    EXPECT_TRUE(HasLineStarting(mover, "transform pos 1 2 3 ")) << dump;
    EXPECT_TRUE(HasLineStarting(mover, "script 0 \"boot\" event 154 ")) << dump;
    EXPECT_TRUE(HasLineStarting(mover, "script 1 \"done\" event 214 ")) << dump;
    std::vector<std::string> player = ActorLines(dump, "MASTERPLAYER");
    ASSERT_FALSE(player.empty()) << dump;
    EXPECT_EQ(player[0].substr(0, player[0].find(" parent=")), "id=8003 class=9 name=\"MASTERPLAYER\"");
    EXPECT_TRUE(HasLineStarting(player, "player type 0 charactertype 0 control 0 path \"\""))
        << dump;

    wavecheck::WaveData wave;
    std::string error;
    ASSERT_TRUE(wavecheck::ReadWaveFile(wavePath, &wave, &error)) << error;
    EXPECT_EQ(wave.bitsPerSample, 16u);
    EXPECT_NEAR(wavecheck::DominantFrequency(wave, 100.0, 2000.0), 440.0, 440.0 * 0.02)
        << "the logo's tone";
    ExpectLampSoundsAndSensor(capture, wave, dump);

    // Sound off: the same run (the logo without its real-time wait), and the
    // driver writes nothing.
    TempFolder silent;
    ASSERT_TRUE(MakeSample(silent.Path()));
    run = RunSample(silent.Path(),
                    "SDL_VIDEODRIVER=offscreen ENGINE_SKIP_WAITS=1 " +
                        wavecheck::WaveDriverEnvironment(sound.Path(), silent / "mix.wav"),
                    "-s=0");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(silent / "mix.wav"));
    EXPECT_TRUE(silent.Get("game/shot.tga") == capture);

    // No OpenAL backend to open: the engine runs silent, to the same end.
    TempFolder none;
    ASSERT_TRUE(MakeSample(none.Path()));
    run = RunSample(none.Path(),
                    "SDL_VIDEODRIVER=offscreen ENGINE_SKIP_WAITS=1 ALSOFT_DRIVERS=no-such-backend");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(none.Get("game/shot.tga") == capture);
    EXPECT_TRUE(fs::exists(none / "game/demo.sav"));
}

// ALSA reading a configuration without a default device fails to open on any
// machine; the sound libraries' lines about it reach stderr only with
// ENGINE_VERBOSE=1, and the engine runs silent either way.
TEST_F(EngineEndToEnd, SoundLibraryLinesOnlyWithEngineVerbose) {
    TempFolder alsa;
    alsa.Put("asound.conf", "");
    const std::string environment = kBlind + " SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=alsa "
                                    "ALSA_CONFIG_PATH=" + Quote(alsa / "asound.conf");
    ProgramRun run = RunIn(folder.Path(), environment + " ENGINE_FIXED_FRAME_TIME=0.016666668 "
                                                        "ENGINE_SKIP_WAITS=1 ENGINE_FRAME_LIMIT=30 " +
                                              EngineProgram() + " -win=1 -tq=32");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "frame limit reached\n");

    run = RunIn(folder.Path(), environment + " ENGINE_VERBOSE=1 ENGINE_FIXED_FRAME_TIME=0.016666668 "
                                             "ENGINE_SKIP_WAITS=1 ENGINE_FRAME_LIMIT=30 " +
                                   EngineProgram() + " -win=1 -tq=32");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("ALSA lib "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("AL lib: (EE)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("frame limit reached\n"), std::string::npos) << run.err;
}

TEST_F(EngineEndToEnd, SampleInARealWindowGivesTheSameCapture) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xvfb-run is not installed";
    }
    TempFolder offscreen;
    ASSERT_TRUE(MakeSample(offscreen.Path()));
    ProgramRun run = RunSample(offscreen.Path(), "SDL_VIDEODRIVER=offscreen ENGINE_SKIP_WAITS=1", "-s=0");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    run = RunSample(folder.Path(), "SDL_VIDEODRIVER=x11 ENGINE_SKIP_WAITS=1", "-s=0",
                    kXvfbRun);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string capture = folder.Get("game/shot.tga");
    ExpectDemoCapture(capture);
    EXPECT_TRUE(capture == offscreen.Get("game/shot.tga"));
}

}  // namespace

namespace {

// The character check: "Start Game" copies the globals' "PlayerCharacter"
// into the level as "GA1_Player" on "PlayerStart0" with its children and
// gives it a camera; the Driver makes it jump (hurt by 10 as it leaves the
// ground) and saves a second later, when it stands on FloorA again.
TEST_F(EngineEndToEnd, CharacterCheckPutsThePlayerOnItsStart) {
    ProgramRun run = RunEngine(Path("e2e/character"), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(fs::exists(Path("game/character.sav")));
    EXPECT_TRUE(fs::exists(Path("game/character.tga")));
    const std::string dump = Dump(Path("game/character.sav"));

    std::vector<std::string> player = ActorLines(dump, "GA1_Player");
    ASSERT_FALSE(player.empty()) << dump;
    EXPECT_NE(player[0].find(" class=16 "), std::string::npos) << player[0];
    EXPECT_NE(player[0].find(" parent=2 "), std::string::npos) << player[0];
    const DumpedPose pose = TransformOf(player);
    ASSERT_TRUE(pose.found) << dump;
    // Simulated from its start: at most below it, and carried a little along
    // its look while in the jump posture. The start faces yaw pi, so the body
    // turns its z axis to -z and the look, that axis turned by pi, is +z.
    EXPECT_NEAR(pose.position.x, -300.0f, 5.0f);
    EXPECT_NEAR(pose.position.z, -290.0f, 5.0f);
    EXPECT_LE(pose.position.y, 30.0f);
    EXPECT_TRUE(HasLineStarting(player, "character type 3 icon 0 health 89 ")) << dump;
    const std::string id = player[0].substr(3, player[0].find(' ') - 3);
    for (const char* child : {"Skin", "Items", "LeftHand", "RightHand"}) {
        EXPECT_NE(dump.find(std::string(" name=\"") + child + "\" parent=" + id + " "),
                  std::string::npos)
            << child;
    }
    std::vector<std::string> aim = ActorLines(dump, "AimSpot");
    ASSERT_FALSE(aim.empty()) << dump;
    EXPECT_NE(aim[0].find(" class=48 "), std::string::npos) << aim[0];
    std::vector<std::string> camera = ActorLines(dump, "Camera");
    ASSERT_FALSE(camera.empty()) << dump;
    EXPECT_NE(camera[0].find(" class=19 "), std::string::npos) << camera[0];
    // The game's Player drives the copy, named from beside it.
    std::vector<std::string> master = ActorLines(dump, "MASTERPLAYER");
    ASSERT_FALSE(master.empty()) << dump;
    EXPECT_TRUE(HasLineStarting(master, "player type 0 charactertype 3 control 0 path "
                                        "\"../GA1_Player\""))
        << dump;
}

// The pixels of an 800 x 600 capture in the purple of the hero's tunic and
// trousers, lit or in shade: red and blue alike, green a fifth to a half of
// them.
int CountHero(const std::string& tga) {
    int count = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            const Rgb c = CapturePixel(tga, x, y);
            count += c.r >= 40 && std::abs(c.r - c.b) * 4 <= c.r && c.g * 8 >= c.r && c.g * 2 <= c.r;
        }
    }
    return count;
}

// With the controller running: the player jumps 0.1 s in, is hurt by 10 as it
// leaves the ground, lands on FloorA below its start and is seen whole, in
// the hero's purple.
TEST_F(EngineEndToEnd, CharacterCheckJumpsIsHurtAndStandsOnTheFloor) {
    ProgramRun run = RunEngine(Path("e2e/character"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string dump = Dump(Path("game/character.sav"));
    std::vector<std::string> player = ActorLines(dump, "GA1_Player");
    ASSERT_FALSE(player.empty()) << dump;
    EXPECT_TRUE(HasLineStarting(player, "character type 3 icon 0 health 89 ")) << dump;
    const DumpedPose pose = TransformOf(player);
    ASSERT_TRUE(pose.found) << dump;
    EXPECT_NEAR(pose.position.x, -300.0f, 5.0f);
    EXPECT_NEAR(pose.position.z, -290.0f, 5.0f);
    EXPECT_GT(pose.position.y, 0.0f);
    EXPECT_LT(pose.position.y, 30.0f);
    const std::string id = player[0].substr(3, player[0].find(' ') - 3);
    EXPECT_NE(dump.find(" name=\"Skin\" parent=" + id + " classname=\"SkinObject\""),
              std::string::npos);
    EXPECT_GE(CountHero(folder.Get("game/character.tga")), 1000);
}

}  // namespace

namespace {

// The guard check: "Precalculate" copies the globals' "GuardTemplate" under
// "Scenery" 40 above the guard; the copy walks to "A" (300 ahead), where the
// node time starts a pause, whose event saves and ends the engine.
TEST_F(EngineEndToEnd, GuardCheckWalksToItsFirstNodeAndPauses) {
    ProgramRun run = RunEngine(Path("e2e/guard"), 900, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(fs::exists(Path("game/guard.sav")));
    const std::string dump = Dump(Path("game/guard.sav"));
    std::vector<std::string> copy = ActorLinesWith(dump, " name=\"GuardTemplate\" parent=2 ");
    ASSERT_FALSE(copy.empty()) << dump;
    const DumpedPose pose = TransformOf(copy);
    ASSERT_TRUE(pose.found) << dump;
    EXPECT_LT(std::hypot(pose.position.x, pose.position.z), 40.0f) << copy[1];
    std::vector<std::string> guard = ActorLines(dump, "Guard");
    ASSERT_FALSE(guard.empty()) << dump;
    std::string line;
    for (const std::string& l : guard) {
        if (l.rfind("guard ", 0) == 0) line = l;
    }
    EXPECT_NE(line.find(" type 1 "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - 9), " state 10") << line;
}

}  // namespace

namespace {

// The weapon check: "Shooter" fires "Pistol" once a second; six bullets
// leave six impacts on "Target" and six shells in "Scenery", and the seventh
// pull finds the clip empty with no stock to reload from.
TEST_F(EngineEndToEnd, WeaponCheckLeavesSixImpactsAndSixShells) {
    ProgramRun run = RunEngine(Path("e2e/weapons"), 900, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(fs::exists(Path("game/weapon.sav")));
    const std::string dump = Dump(Path("game/weapon.sav"));
    const std::string target = ActorLinesWith(dump, " name=\"Target\" ").front();
    const std::string targetId = target.substr(target.find("id=") + 3, target.find(' ', target.find("id=")) - target.find("id=") - 3);
    size_t impacts = 0;
    size_t shells = 0;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);) {
        impacts += line.find(" name=\"Impact\" parent=" + targetId + " ") != std::string::npos;
        shells += line.find(" name=\"Shell\" parent=2 ") != std::string::npos;
    }
    EXPECT_EQ(std::tuple(impacts, shells), std::tuple(6u, 6u)) << dump;
}

}  // namespace

namespace {

// The level's own run: "Shots" captures the view at 2.0 s, before the runner
// steps into "T" (3.73 s), and at 6.5 s, with the door open (fully at about
// 4.8 s, closing from about 7.8 s), and saves at 9.5 s, after the door
// closed again behind the runner.
TEST_F(EngineEndToEnd, LevelRunOpensTheDoorForTheRunnerAndClosesItBehindHim) {
    ProgramRun run = RunEngine(Path("e2e/level"), 700);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string closed = folder.Get("game/closed.tga");
    const std::string open = folder.Get("game/open.tga");
    ASSERT_EQ(closed.size(), 1920018u);
    ASSERT_EQ(open.size(), 1920018u);
    // RoomC, and CrateC in it, is drawn only while the connector is open.
    const Rgb shut = PatchMean(closed, kCrateCEdge);
    const Rgb seen = PatchMean(open, kCrateCEdge);
    EXPECT_GT(std::max({std::abs(seen.r - shut.r), std::abs(seen.g - shut.g),
                        std::abs(seen.b - shut.b)}),
              16);

    const std::string dump = Dump(Path("game/level.sav"));
    EXPECT_EQ(dump, toolrun::ReadFile(toolrun::DataPath("mksample/level.sav.txt")));
    // The points the golden must keep: the door shut, its leaf back at its
    // saved rotation, the runner some 515 units past N3 and the lamp on.
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "GA5_Door"), "door type 0 state 0 ")) << dump;
    ExpectPose(TransformOf(ActorLines(dump, "Door_1")), {0.0f, 100.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "ProbeC"), "transform pos 7 7 7 ")) << dump;
    const DumpedPose runner = TransformOf(ActorLines(dump, "Runner"));
    ASSERT_TRUE(runner.found) << dump;
    EXPECT_NEAR(runner.position.z - 680.0f, 515.0f, 5.0f) << dump;

    TempFolder again;
    ASSERT_TRUE(MakeSample(again.Path()));
    run = RunEngine(again / "e2e/level", 700);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(again.Get("game/closed.tga") == closed);
    EXPECT_TRUE(again.Get("game/open.tga") == open);
    EXPECT_TRUE(again.Get("game/level.sav") == folder.Get("game/level.sav"));
}

// What "./play.sh" runs: the play folder in a real window, sound on; the
// sample never ends itself.
TEST_F(EngineEndToEnd, PlayFolderRunsInAWindowUntilTheFrameLimit) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xvfb-run is not installed";
    }
    // xvfb-run -a can lose the race for a display number to another server
    // starting at the same moment, or trip over its temporary folder while
    // other servers come and go: try again then.
    ProgramRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
        run = RunIn(Path("play"), "SDL_VIDEODRIVER=x11 ENGINE_FRAME_LIMIT=1200 " + kXvfbRun +
                                      EngineProgram() + " -win=1");
        if (run.err.find("Xvfb failed to start") == std::string::npos &&
            run.err.find("xvfb-run: error") == std::string::npos) {
            break;
        }
    }
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "frame limit reached\n");
}

}  // namespace

namespace {

// The menu check: a second into the game the menu "MenuCheck" takes over the
// frames and starts "Page"; "Resume", under the cursor's start, lights its
// highlight, sets "Status" and starts "Dialog"; over the next two frames the
// buttons under the cursor start "Final" and capture the frame before. Front-end
// frames draw no 3D scene.
TEST_F(EngineEndToEnd, MenuCheckShowsTheCursorTheHighlightAndTheStatus) {
    ProgramRun run = RunEngine(Path("e2e/menu"), 300);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string capture = folder.Get("game/menu.tga");
    ASSERT_EQ(capture.size(), 1920018u);
    const auto is = [&](int x, int y, Rgb want) {
        const Rgb c = CapturePixel(capture, x, y);
        return std::abs(c.r - want.r) <= 8 && std::abs(c.g - want.g) <= 8 &&
               std::abs(c.b - want.b) <= 8;
    };
    const Rgb cursor{255, 160, 0};
    const Rgb highlight{0, 255, 0};
    const Rgb clear{0, 0, 0};
    // The cursor image's 16 x 16 from (92, 62), over the highlight's
    // 120 x 40 about (100, 70).
    for (auto [x, y] : {std::pair{92, 62}, {107, 62}, {92, 77}, {107, 77}}) {
        EXPECT_TRUE(is(x, y, cursor)) << x << ", " << y;
    }
    for (auto [x, y] : {std::pair{41, 51}, {158, 88}, {91, 70}, {100, 79}}) {
        EXPECT_TRUE(is(x, y, highlight)) << x << ", " << y;
    }
    for (auto [x, y] : {std::pair{38, 70}, {100, 48}, {700, 500}, {10, 590}, {790, 10}}) {
        EXPECT_TRUE(is(x, y, clear)) << x << ", " << y;
    }

    // "Status" at (400, 300) in the library's "Sheet" font: lit inside its
    // measured box, dark to its right.
    ResourceLibrary library;
    struct Restore {
        ResourceLibrary* previous;
        ~Restore() { ReplaceLibraryForTests(previous); }
    } restore{ReplaceLibraryForTests(&library)};
    RegisterFontServices();
    library.SetBaseFolder(Path("game").c_str());
    ASSERT_EQ(library.ReadLibraryFile(Path("game/DAZedirad.qvf").c_str(), 1), 1)
        << library.GetLastError();
    auto* font = dynamic_cast<FontItem*>(library.FindItemByName("Sheet", ItemClass::Font));
    ASSERT_NE(font, nullptr);
    float width = 0.0f;
    float height = 0.0f;
    MeasureText(font, "Resume", &width, &height);
    ASSERT_GT(width, 10.0f);
    int inside = 0;
    int beside = 0;
    for (int y = 300; y < 300 + int(height); ++y) {
        for (int x = 400; x < 400 + 2 * int(width); ++x) {
            const Rgb c = CapturePixel(capture, x, y);
            const bool lit = c.r + c.g + c.b > 3 * 96;
            (x < 400 + int(width) ? inside : beside) += lit ? 1 : 0;
        }
    }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(beside, 0);
}

// The pixels of an 800 x 600 capture in [x0, x1) x [y0, y1) within 8 of
// the colour 0xRRGGBB in every channel.
int CountNear(const std::string& tga, uint32_t color, int x0 = 0, int y0 = 0, int x1 = 800,
              int y1 = 600) {
    const Rgb want = {int(color >> 16 & 0xFF), int(color >> 8 & 0xFF), int(color & 0xFF)};
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const Rgb c = CapturePixel(tga, x, y);
            count += std::max({std::abs(c.r - want.r), std::abs(c.g - want.g),
                               std::abs(c.b - want.b)}) <= 8
                         ? 1
                         : 0;
        }
    }
    return count;
}

// The words of a save index after its 8-byte header, little-endian.
std::vector<uint32_t> IndexWords(const std::string& file) {
    std::vector<uint32_t> words;
    for (size_t at = 8; at + 4 <= file.size(); at += 4) {
        words.push_back(uint32_t(uint8_t(file[at])) | uint32_t(uint8_t(file[at + 1])) << 8 |
                        uint32_t(uint8_t(file[at + 2])) << 16 | uint32_t(uint8_t(file[at + 3])) << 24);
    }
    return words;
}

// The sample played through by scripted input: a new game, mission 1 with
// its head-up display and its route by the key and the door to the exit,
// the exit's save offer saving to slot 1, mission 2
// and Quit from the pause menu; then a second start loads slot 1 from the
// title into mission 2 and leaves the saved game as it was.
TEST_F(EngineEndToEnd, SamplePlaysThroughSavesAndLoadsMission2) {
    const std::string play = Path("play");
    const std::string save = Path("game/SaveGames/SaveGame");
    constexpr uint32_t kSoulIcon = 0x2060E0;   // its picture's frame
    constexpr uint32_t kFog = 0x4080BF;  // the sky over mission 2's yard
    // The soul gauge's icon, 128 x 96 at (20, H - 120).
    const auto inSoulIcon = [&](const std::string& tga) {
        return CountNear(tga, kSoulIcon, 20, 480, 148, 576);
    };

    ProgramRun run = RunEngine(play, 3600,
                               kDrawCaptured + " ENGINE_INPUT_SCRIPT=" +
                                   Quote(toolrun::DataPath("play/new_game.txt")));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string mission1 = folder.Get("game/mission1.tga");
    EXPECT_GT(inSoulIcon(mission1), 1000);
    EXPECT_GE(CountHero(mission1), 1000);
    const std::string saved = folder.Get("game/SaveGames/SaveGame");
    ASSERT_EQ(saved.size(), 16496u);
    std::vector<uint32_t> want(16488 / 4, 0);
    want[0] = 2;  // the mission to go on with
    want[1] = 6;  // slots
    want[2] = 2;  // slot 1: mission 2
    EXPECT_EQ(IndexWords(saved), want);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(Path("game/SaveGames"))) {
        files.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(files, std::vector<std::string>{"SaveGame"}) << "no temporary file is left";

    run = RunEngine(play, 1500,
                    kDrawCaptured + " ENGINE_INPUT_SCRIPT=" +
                        Quote(toolrun::DataPath("play/load_game.txt")));
    EXPECT_EQ(run.exitCode, 3) << run.err;  // the frame limit
    const std::string mission2 = folder.Get("game/mission2.tga");
    EXPECT_GT(inSoulIcon(mission2), 1000);
    // The yard's walls and floor cover much more than the sky leaves.
    EXPECT_GE(800 * 600 - CountNear(mission2, kFog), 200000);
    EXPECT_EQ(folder.Get("game/SaveGames/SaveGame"), saved);
}

// The scripted input: held F7 to F10 turn the debug text on and F12 then
// shows the frame rate at the top right, which the script's second capture
// shows and its first, before F12, does not; the click goes in as well. A
// bad line ends the start-up with its message.
TEST_F(EngineEndToEnd, InputScriptPressesKeysAndCapturesTheScreen) {
    folder.Put("input.txt",
               "# the debug chord, then F12\n"
               "5 key down 0x76\n5 key down 0x77\n5 key down 0x78\n5 key down 0x79\n"
               "8 key down 0x7B\n10 key up 0x7B\n"
               "20 button down 1\n21 button up 1\n"
               "7 capture before.tga\n"
               "100 capture shots\\fps.tga  # in a folder of the base folder\n");
    fs::create_directory(Path("game/shots"));
    ProgramRun run = RunEngine(Path("e2e/character"), 600,
                               kDrawCaptured + " ENGINE_INPUT_SCRIPT=" + Quote(Path("input.txt")));
    ASSERT_EQ(run.exitCode, 0) << run.err;  // the character check's own end
    EXPECT_EQ(run.err, "");
    const std::string before = folder.Get("game/before.tga");
    const std::string fps = folder.Get("game/shots/fps.tga");
    ASSERT_EQ(before.size(), 1920018u);
    ASSERT_EQ(fps.size(), 1920018u);
    // Only the second has the grey text left of (786, 10), above the
    // mission clock, over the blue sky.
    const auto grey = [](const std::string& tga) {
        int count = 0;
        for (int y = 5; y < 20; ++y) {
            for (int x = 650; x < 800; ++x) {
                const Rgb c = CapturePixel(tga, x, y);
                count += c.r > 100 && std::abs(c.r - c.g) <= 8 && std::abs(c.g - c.b) <= 8;
            }
        }
        return count;
    };
    EXPECT_EQ(grey(before), 0);
    EXPECT_GT(grey(fps), 20);
    int drawn = 0;
    for (int y = 0; y < 600; y += 10) {
        for (int x = 0; x < 800; x += 10) drawn += FromFog(CapturePixel(fps, x, y)) > 16 ? 1 : 0;
    }
    EXPECT_GT(drawn, 100);

    folder.Put("bad.txt", "5 key down 0x76\n\n9 button down 4\n");
    run = RunEngine(Path("e2e/character"), 600, "ENGINE_INPUT_SCRIPT=" + Quote(Path("bad.txt")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ENGINE_INPUT_SCRIPT: 3: \"4\" is not button 1, 2 or 3\n");
}

// The play folder as a player starts it: a click at frame 10 on the title's
// "New Game", under the cursor's start (100, 70), plays mission 1's film and
// loads the mission, which fades in onto the head-up display; at frame 390
// the soul icon's frame (16 of its picture's 128 pixels, at (20, 480), 128 x
// 96) shows its colour. The sample never ends itself.
TEST_F(EngineEndToEnd, PlayFolderClickStartsMissionOneOntoTheHud) {
    folder.Put("input.txt", "10 button down 1\n11 button up 1\n390 capture hud.tga\n");
    ProgramRun run = RunEngine(Path("play"), 400,
                               kDrawCaptured + " ENGINE_INPUT_SCRIPT=" + Quote(Path("input.txt")));
    EXPECT_EQ(run.exitCode, 3) << run.err;
    const std::string capture = folder.Get("game/hud.tga");
    ASSERT_EQ(capture.size(), 1920018u);
    const Rgb soulIcon{0x20, 0x60, 0xE0};
    for (auto [x, y] : {std::pair{28, 486}, {28, 528}, {140, 486}, {140, 528}, {84, 486},
                        {84, 570}}) {
        const Rgb c = CapturePixel(capture, x, y);
        EXPECT_TRUE(std::abs(c.r - soulIcon.r) <= 8 && std::abs(c.g - soulIcon.g) <= 8 &&
                    std::abs(c.b - soulIcon.b) <= 8)
            << x << ", " << y << ": " << c.r << " " << c.g << " " << c.b;
    }
}

// The AI check: the Lookout sees the Intruder across the arena and fights,
// then takes to the shelter that the pillar hides from the Intruder; the
// probes of the brain's events show how far it came when the Driver saves.
TEST_F(EngineEndToEnd, AICheckFightsThenHeadsForTheHiddenShelter) {
    ProgramRun run = RunEngine(Path("e2e/ai2"), 900, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string dump = Dump(Path("game/ai2.sav"));
    for (const char* probe : {"GA40_FightProbe", "GA41_GoShelterProbe", "GA42_ShelterProbe"}) {
        const DumpedPose pose = TransformOf(ActorLines(dump, probe));
        ASSERT_TRUE(pose.found) << probe << dump;
        EXPECT_EQ(std::tuple(pose.position.x, pose.position.y, pose.position.z),
                  std::tuple(1.0f, 0.0f, 0.0f))
            << probe;
    }
    // It starts at (0, 30, 0); the hidden shelter stands at (-300, 30, -100),
    // the open one at (300, 30, -100). The brain changes motion only when a
    // loop ends, so the run that brought it within 100 of the shelter carries
    // it on to the end of its one-second loop: at most 300 further.
    const DumpedPose lookout = TransformOf(ActorLines(dump, "Lookout"));
    ASSERT_TRUE(lookout.found) << dump;
    const auto from = [&](float x, float z) {
        return std::hypot(lookout.position.x - x, lookout.position.z - z);
    };
    EXPECT_LT(from(-300.0f, -100.0f), 100.0f + 300.0f)
        << lookout.position.x << ", " << lookout.position.z;
    EXPECT_LT(from(-300.0f, -100.0f), from(300.0f, -100.0f))
        << lookout.position.x << ", " << lookout.position.z;
    EXPECT_TRUE(HasLineStarting(ActorLines(dump, "Brain"),
                                "aiplayer2 gotogroup 0x00000000 fightgroup 0x00000001 prefight 0 "
                                "raygroup 0xffffffff rayreceive 0x00010000 rayexclude 0x00000000"))
        << dump;
}

// The AI Player check: the follower sees the Leader, follows it (both
// probes of its events moved) and is still following, well along x, when
// the Driver saves.
TEST_F(EngineEndToEnd, AIPlayerCheckFollowsTheLeader) {
    ProgramRun run = RunEngine(Path("e2e/ai1"), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string dump = Dump(Path("game/ai1.sav"));
    for (const char* probe : {"GA40_StartFollowProbe", "GA41_IdleToFollowProbe"}) {
        const DumpedPose pose = TransformOf(ActorLines(dump, probe));
        ASSERT_TRUE(pose.found) << probe << dump;
        EXPECT_EQ(std::tuple(pose.position.x, pose.position.y, pose.position.z),
                  std::tuple(1.0f, 0.0f, 0.0f))
            << probe;
    }
    const DumpedPose follower = TransformOf(ActorLines(dump, "Follower"));
    ASSERT_TRUE(follower.found) << dump;
    EXPECT_GT(follower.position.x, 200.0f);
    bool following = false;
    for (const std::string& line : ActorLines(dump, "Brain")) {
        following = following || (line.find("aiplayer type") != std::string::npos &&
                                  line.find(" state 4 ") != std::string::npos);
    }
    EXPECT_TRUE(following) << dump;
}

}  // namespace

namespace {

// The aim check: "Aim" (no smoothing) turns "Head" at once towards the
// center point of "Target", and "Runner", standing in the event box of
// "Crate", has the crate hand over its power-up and go.
TEST_F(EngineEndToEnd, AimCheckFacesTheTargetAndEmptiesTheCrate) {
    ProgramRun run = RunEngine(Path("e2e/aim"), 600, kBlind);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string dump = Dump(Path("game/aim.sav"));

    // As the scene file sets them: the aim's place, the target's and its chest.
    const std::string scene = Dump(Path("game/Data/Aim.qva"));
    const DumpedPose aim = TransformOf(ActorLines(scene, "Aim"));
    const std::vector<std::string> target = ActorLines(scene, "Target");
    const DumpedPose feet = TransformOf(target);
    Vector3 chest{};
    for (const std::string& line : target) {
        if (line.rfind("colobj 1 \"Chest\" ", 0) != 0) continue;
        const size_t at = line.find(" min ");
        if (at != std::string::npos) {
            std::sscanf(line.c_str() + at, " min %f %f %f", &chest.x, &chest.y, &chest.z);
        }
    }
    ASSERT_TRUE(aim.found && feet.found && chest.y > 0.0f) << scene;
    const Vector3 d = {feet.position.x + chest.x - aim.position.x,
                       feet.position.y + chest.y - aim.position.y,
                       feet.position.z + chest.z - aim.position.z};
    Quaternion aroundX, aroundY, want;
    QuaternionRotationAxis(&aroundX, Vector3{1.0f, 0.0f, 0.0f}, -Vec3Pitch(d));
    QuaternionRotationAxis(&aroundY, Vector3{0.0f, 1.0f, 0.0f}, Vec3Yaw(d));
    QuaternionMultiply(&want, aroundX, aroundY);
    const DumpedPose head = TransformOf(ActorLines(dump, "Head"));
    ASSERT_TRUE(head.found) << dump;
    EXPECT_NEAR(head.rotation.x, want.x, 1e-4f);
    EXPECT_NEAR(head.rotation.y, want.y, 1e-4f);
    EXPECT_NEAR(head.rotation.z, want.z, 1e-4f);
    EXPECT_NEAR(head.rotation.w, want.w, 1e-4f);

    EXPECT_TRUE(ActorLines(dump, "Crate").empty()) << dump;
    EXPECT_TRUE(ActorLines(dump, "PowerUp").empty()) << dump;
}

}  // namespace
