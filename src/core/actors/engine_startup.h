// The engine's start-up, message loop and frame step.
//
// RunEngine is the whole program after main: it parses the command line,
// starts every service in a fixed order through an EngineHost, loads the
// globals and the start scene, plays the logo and runs the message loop,
// which runs one frame whenever no message waits. It answers the process's
// exit code.
//
// Test-only controls (environment): ENGINE_FIXED_FRAME_TIME=<seconds> makes
// every frame time that value; ENGINE_FRAME_LIMIT=<n> ends the loop after n
// frames with exit code 3; ENGINE_RANDOM_SEED=<n> replaces the tick as the
// random seed; ENGINE_FRAME_STATS=1 prints the loop's frame figures on stderr
// when it ends; ENGINE_INPUT_SCRIPT=<file> plays the scripted input of that
// file (core/actors/input_script.h) into the frames, and a file that cannot
// be read or holds a bad line ends the start-up with exit code 1;
// ENGINE_SKIP_WAITS=1 runs the full-screen films (the logo's too) and the
// front end's pauses on a clock that their own waits move, without waiting
// for real time (every picture is still shown). A number
// that does not parse whole, or lies outside its range, ends the start-up
// with one line and exit code 2 before anything else is done.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/actors/input_script.h"

class EngineHost;
class Actor;

// The four lines of "init.txt".
struct InitFile {
    std::string baseFolder;
    std::string startScene;
    std::string globalsFile;
    std::string title;
};

// Reads the file through the operating system (path mapping applies); CR of
// CR LF is dropped, missing lines are empty. False when it does not read
// whole, with the reason ("cannot open", "is a folder", "read error: ...").
bool ReadInitFile(const std::string& path, InitFile* out, std::string* reason = nullptr);

// Device flags from the options: bit 0 sound off, bit 1 windowed.
inline constexpr uint32_t kDeviceSoundOff = 1;
inline constexpr uint32_t kDeviceWindowed = 2;

// Exit codes.
inline constexpr int kExitStartupFailed = 1;
inline constexpr int kExitBadControl = 2;
inline constexpr int kExitFrameLimit = 3;

// The largest ENGINE_FIXED_FRAME_TIME taken, in seconds.
inline constexpr double kMaxFixedFrameTime = 60.0;

// The test-only environment controls, read once by RunEngine.
struct EngineTestControls {
    std::optional<double> fixedFrameTime;
    std::optional<uint64_t> frameLimit;
    std::optional<uint32_t> randomSeed;
    bool frameStats = false;
    // ENGINE_DRAW_CAPTURED_ONLY=1: the message loop's frames draw only when
    // the input script captures them.
    bool drawCapturedOnly = false;
    // ENGINE_SKIP_WAITS=1: films and pauses wait for no real time.
    bool skipWaits = false;
    std::optional<InputScript> inputScript;
    // "ENGINE_INPUT_SCRIPT: <line>: <reason>" (or "<file>: <reason>") when
    // the script is bad.
    std::string inputScriptError;
    // "<variable>: \"<text>\" is not ..." for the first numeric control
    // whose value is refused.
    std::string controlError;
};
EngineTestControls ReadEngineTestControls();

// Frame time clamps.
inline constexpr float kClippedFrameTime = 0.06f;
inline constexpr float kSkipFrameLimit = 0.2f;
inline constexpr float kSkippedFrameTime = 0.008333334f;
inline constexpr float kFrontEndLongFrameTime = 0.033333335f;

struct ClampedFrameTime {
    float time = 0.0f;
    bool clipped = false;
    bool skipped = false;
};
ClampedFrameTime ClampNormalFrameTime(double seconds);
float ClampFrontEndFrameTime(double seconds);

// The frame step and its process-wide state (FPS display and window, the
// listener's previous position, the F12 state).
class FrameLoop {
public:
    explicit FrameLoop(EngineHost& host) : host_(host) {}

    // One frame: the front-end frame for run mode 1 with run flags 0, else
    // the normal frame. Answers 1.
    int FrameStep();

    // A fixed answer for every frame time (test control).
    void SetFixedFrameTime(std::optional<double> seconds) { fixedFrameTime_ = seconds; }
    // Captures the next frame step takes after its 2D drawing, before it
    // presents (test control); a step that does not draw drops them.
    void CaptureNextFrame(std::vector<const ScriptedInput*> captures) {
        captures_ = std::move(captures);
    }
    // Steps that take no capture leave the device's clears and draws undone
    // (test control: the pixels of other frames are never looked at).
    void SetDrawCapturedOnly(bool on) { drawCapturedOnly_ = on; }

    uint32_t fpsDisplay = 0;
    float fpsSeconds = 0.0f;
    float fpsFrames = 0.0f;
    float fpsFigure = 0.0f;
    float listenerPrevious[3] = {0.0f, 0.0f, 0.0f};
    uint32_t f12Previous = 0;

private:
    double FrameTime();
    void NormalFrame();
    void FrontEndFrame();
    void TakeCaptures();

    EngineHost& host_;
    std::optional<double> fixedFrameTime_;
    std::vector<const ScriptedInput*> captures_;
    bool drawCapturedOnly_ = false;
};

// Seconds since the process started (the kernel's start time, to its clock
// tick); nullopt when the system does not tell.
std::optional<double> SecondsSinceProcessStart();

// The frame figures of one loop: how long each frame step took, and when the
// first frame ended counted from the process's start.
class FrameStats {
public:
    using Clock = std::chrono::steady_clock;

    // `processStart` is the process's start on the steady clock.
    explicit FrameStats(Clock::time_point processStart) : processStart_(processStart) {}

    void AddFrame(Clock::time_point begin, Clock::time_point end);

    // "frames N first-frame-ms F mean-ms M p99-ms P" (p99 by nearest rank;
    // every figure 0 without frames).
    std::string Line() const;

private:
    Clock::time_point processStart_;
    double firstFrameMs_ = 0.0;
    std::vector<double> stepMs_;
};

// The window's message loop: one message per turn, a frame only when none
// waits. Answers the exit code. Each frame is timed into `stats` when given.
// With a `script`, each frame's scripted events go into the window's queue
// before it runs (the loop takes them first) and its captures to the frame.
int RunMessageLoop(EngineHost& host, FrameLoop& frames, std::optional<uint64_t> frameLimit,
                   FrameStats* stats = nullptr, const InputScript* script = nullptr);

// Start-up, logo, message loop. `commandLine` is the program's arguments
// joined with single blanks.
int RunEngine(const std::string& commandLine, EngineHost& host);

// The 23 debug trace channels, registered in this order.
struct TraceChannel {
    uint32_t mask;
    const char* name;
};
extern const TraceChannel kTraceChannels[23];
