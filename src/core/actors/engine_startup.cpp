#include "core/actors/engine_startup.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>

#include "base/file_system.h"
#include "base/random.h"
#include "core/actors/actor_system.h"
#include "core/actors/engine_host.h"
#include "core/actors/subsystem_hooks.h"
#include "core/options.h"
#include "core/script/script_interpreter.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"
#include "platform/video.h"


const TraceChannel kTraceChannels[23] = {
    {0x10, "Misc Heavy"},        {0x20, "Init"},
    {0x40, "Scr Parse/exe"},     {0x80, "Script"},
    {0x100, "ScriptMoreInfo"},   {0x400, "Memtracker"},
    {0x800, "NextFrame"},        {0x1000, "RenderCore"},
    {0x200, "TimerCommand"},     {0x2000, "ActorSystem"},
    {0x4000, "Delete"},          {0x8000, "DrawGroups"},
    {0x10000, "NullActor"},      {0x20000, "LoadResources"},
    {0x40000, "Process"},        {0x80000, "FileObjLoad"},
    {0x100000, "SetMotion"},     {0x200000, "Weapon"},
    {0x800000, "TriggerEnter"},  {0x1000000, "SkinLayer"},
    {0x2000000, "CreatePreloadScript"},
    {0x10000000, "_ZARedev::Sub"},
    {0x20000000, "_test"},
};

namespace {

constexpr uint32_t kRenderStateDither = 26;
constexpr uint32_t kStageMinFilter = 17;
constexpr uint32_t kStageMagFilter = 16;
constexpr uint32_t kStageMipFilter = 18;
constexpr uint32_t kFilterPoint = 1;
constexpr uint32_t kFilterLinear = 2;
constexpr uint32_t kFilterAnisotropic = 3;
constexpr uint32_t kVirtualKeyF12 = 0x7B;

void StripCr(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

bool ParseUnsigned(const char* text, uint64_t* out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') return false;
    *out = value;
    return true;
}

// What the readers below make of a numeric test control: nothing when the
// variable is unset or empty, the number when the whole text is one in
// [0, limit], else the line that refuses it.
struct ControlValue {
    std::optional<uint64_t> whole;
    std::optional<double> real;
    std::string refusal;
};

ControlValue ReadWholeControl(const char* name, uint64_t limit) {
    ControlValue result;
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return result;
    uint64_t value = 0;
    const char* end = text + std::strlen(text);
    auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value > limit) {
        result.refusal = std::string(name) + ": \"" + text + "\" is not a whole number from 0 to " +
                         std::to_string(limit);
    } else {
        result.whole = value;
    }
    return result;
}

ControlValue ReadSecondsControl(const char* name, double limit) {
    ControlValue result;
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return result;
    double value = 0.0;
    const char* end = text + std::strlen(text);
    auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value < 0.0 ||
        value > limit) {
        std::ostringstream line;
        line.imbue(std::locale::classic());
        line << name << ": \"" << text << "\" is not a number of seconds from 0 to " << limit;
        result.refusal = line.str();
    } else {
        result.real = value;
    }
    return result;
}

// "FPS: %.2f" without the locale's decimal mark.
std::string FormatFps(float figure) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(2);
    out << "FPS: " << figure;
    return out.str();
}

int Fail(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    return kExitStartupFailed;
}

}  // namespace

bool ReadInitFile(const std::string& path, InitFile* out, std::string* reason) {
    std::string ignored;
    std::string& why = reason != nullptr ? *reason : ignored;
    const std::string resolved = ResolvePath(path, false);
    std::string bytes;
    if (resolved.empty()) {
        why = ResolveFolderPath(path).empty() ? "cannot open" : "is a folder";
        return false;
    }
    if (!ReadWholeFile(resolved, &bytes, &why)) return false;
    std::string* fields[4] = {&out->baseFolder, &out->startScene, &out->globalsFile, &out->title};
    size_t at = 0;
    for (std::string* field : fields) {
        field->clear();
        if (at >= bytes.size()) continue;
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        field->assign(bytes, at, end - at);
        StripCr(*field);
        at = end + 1;
    }
    return true;
}

EngineTestControls ReadEngineTestControls() {
    EngineTestControls controls;
    // Seconds above the frame clamps all run alike; the bound keeps the
    // figure a float can hold.
    ControlValue fixed = ReadSecondsControl("ENGINE_FIXED_FRAME_TIME", kMaxFixedFrameTime);
    ControlValue limit =
        ReadWholeControl("ENGINE_FRAME_LIMIT", std::numeric_limits<uint64_t>::max());
    ControlValue seed = ReadWholeControl("ENGINE_RANDOM_SEED", std::numeric_limits<uint32_t>::max());
    for (const ControlValue* value : {&fixed, &limit, &seed}) {
        if (!value->refusal.empty() && controls.controlError.empty()) {
            controls.controlError = value->refusal;
        }
    }
    controls.fixedFrameTime = fixed.real;
    controls.frameLimit = limit.whole;
    if (seed.whole) controls.randomSeed = static_cast<uint32_t>(*seed.whole);
    const char* stats = std::getenv("ENGINE_FRAME_STATS");
    controls.frameStats = stats != nullptr && std::string(stats) == "1";
    const char* captured = std::getenv("ENGINE_DRAW_CAPTURED_ONLY");
    controls.drawCapturedOnly = captured != nullptr && std::string(captured) == "1";
    const char* skipWaits = std::getenv("ENGINE_SKIP_WAITS");
    controls.skipWaits = skipWaits != nullptr && std::string(skipWaits) == "1";
    const char* script = std::getenv("ENGINE_INPUT_SCRIPT");
    if (script != nullptr && *script != '\0') {
        std::string text;
        std::string error;
        InputScript parsed;
        if (!ReadWholeFile(script, &text, &error)) {
            controls.inputScriptError = std::string("ENGINE_INPUT_SCRIPT: ") + script + ": " + error;
        } else if (!ParseInputScript(text, &parsed, &error)) {
            controls.inputScriptError = "ENGINE_INPUT_SCRIPT: " + error;
        } else {
            controls.inputScript = std::move(parsed);
        }
    }
    return controls;
}

ClampedFrameTime ClampNormalFrameTime(double seconds) {
    ClampedFrameTime result;
    float time = static_cast<float>(seconds);
    if (time <= kClippedFrameTime) {
        result.time = time;
    } else if (time <= kSkipFrameLimit) {
        result.time = kClippedFrameTime;
        result.clipped = true;
    } else {
        result.time = kSkippedFrameTime;
        result.skipped = true;
    }
    return result;
}

float ClampFrontEndFrameTime(double seconds) {
    float time = static_cast<float>(seconds);
    return time > kSkipFrameLimit ? kFrontEndLongFrameTime : time;
}

// --- frame step --------------------------------------------------------------

double FrameLoop::FrameTime() {
    double measured = host_.GetDeltaTime();
    return fixedFrameTime_ ? *fixedFrameTime_ : measured;
}

int FrameLoop::FrameStep() {
    BeginScriptRunFrame();
    gfx::Device* device = drawCapturedOnly_ ? GetD3DDevice() : nullptr;
    if (device != nullptr) device->SetDrawingSkipped(captures_.empty());
    ActorSystem* system = GetActorSystem();
    if (system != nullptr && system->runMode == 1 && system->runFlags == 0) {
        FrontEndFrame();
    } else {
        NormalFrame();
    }
    captures_.clear();
    return 1;
}

void FrameLoop::TakeCaptures() {
    for (const ScriptedInput* capture : captures_) {
        if (!host_.CaptureScreen(capture->file)) {
            std::fprintf(stderr, "ENGINE_INPUT_SCRIPT: %u: %s not saved\n", capture->line,
                         capture->file.c_str());
        }
    }
}

void FrameLoop::FrontEndFrame() {
    ActorSystem* system = GetActorSystem();
    float time = ClampFrontEndFrameTime(FrameTime());
    RootTimeRecord()->delta = time;
    host_.UpdateInput(time, static_cast<int>(system->frontEndCursor));
    // The network pump: the engine opens no connection.
    if (system->frontEndActor != nullptr) {
        host_.ProcessWorld();
        // A level load inside the world's processing may have destroyed the
        // front-end actor; its destruction clears the pointer.
        Actor* frontEnd = system->frontEndActor;
        if (frontEnd != nullptr) {
            frontEnd->Process();
            frontEnd = system->frontEndActor;
            if (frontEnd != nullptr) frontEnd->Update();
        }
    }
    if (!host_.BeginRender()) return;
    host_.Draw2D();
    TakeCaptures();
    host_.EndRender();
}

void FrameLoop::NormalFrame() {
    ClampedFrameTime frame = ClampNormalFrameTime(FrameTime());
    host_.UpdateInput(frame.time, 1);
    FrameDelta = frame.time;
    ++FrameCounter;
    host_.UpdateRootTime();
    float step = RootTimeRecord()->delta;
    host_.ProcessWorld();
    host_.RunScheduledCommands();
    host_.CollisionPass(step);
    host_.UpdateCamera();
    host_.DrawVisibleGroups(step);

    float position[3] = {};
    float forward[3] = {};
    float up[3] = {};
    host_.CameraFrame(position, forward, up);
    float velocity[3];
    for (int i = 0; i < 3; ++i) velocity[i] = listenerPrevious[i] - position[i];
    host_.SetListener(position, forward, up, velocity);
    for (int i = 0; i < 3; ++i) listenerPrevious[i] = position[i];

    if (!host_.BeginRender()) return;
    host_.DrawScene(step);
    host_.Draw2D();

    uint32_t f12 = host_.DebugKeyState(kVirtualKeyF12) != 0 ? 1u : 0u;
    if (f12 != 0 && f12Previous == 0) fpsDisplay ^= 1u;
    f12Previous = f12;

    fpsSeconds += step;
    fpsFrames += 1.0f;
    if (fpsSeconds > 1.0f) {
        fpsFigure = fpsFrames / fpsSeconds;
        fpsFrames = 0.0f;
        fpsSeconds -= 1.0f;
    }
    if (fpsDisplay != 0 && DebugTextFlag != 0) {
        host_.QueueText(FormatFps(fpsFigure), static_cast<float>(host_.ScreenWidth()) - 14.0f,
                        10.0f, 12);
    }
    if (frame.clipped && DebugTextFlag != 0) host_.DrawTextNow("*", 790.0f, 10.0f, 0);
    TakeCaptures();
    host_.EndRender();
}

// --- frame figures -------------------------------------------------------------

std::optional<double> SecondsSinceProcessStart() {
    std::ifstream in("/proc/self/stat");
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    // The command name in parentheses may hold blanks; the fields after it
    // start with the state (field 3); the start time is field 22.
    size_t close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 22; ++index) {
        if (!(fields >> field)) return std::nullopt;
    }
    uint64_t ticks = 0;
    long perSecond = sysconf(_SC_CLK_TCK);
    if (!ParseUnsigned(field.c_str(), &ticks) || perSecond <= 0) return std::nullopt;
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) return std::nullopt;
    double seconds = static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9 -
                     static_cast<double>(ticks) / static_cast<double>(perSecond);
    return std::max(seconds, 0.0);
}

void FrameStats::AddFrame(Clock::time_point begin, Clock::time_point end) {
    if (stepMs_.empty()) {
        firstFrameMs_ = std::chrono::duration<double, std::milli>(end - processStart_).count();
    }
    stepMs_.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
}

std::string FrameStats::Line() const {
    double mean = 0.0;
    double p99 = 0.0;
    if (!stepMs_.empty()) {
        for (double ms : stepMs_) mean += ms;
        mean /= static_cast<double>(stepMs_.size());
        std::vector<double> sorted = stepMs_;
        std::sort(sorted.begin(), sorted.end());
        size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(sorted.size())));
        p99 = sorted[std::max<size_t>(rank, 1) - 1];
    }
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(3);
    out << "frames " << stepMs_.size() << " first-frame-ms " << firstFrameMs_ << " mean-ms "
        << mean << " p99-ms " << p99;
    return out.str();
}

// --- message loop ------------------------------------------------------------

namespace {

// Posts the scripted events of `frame` from `*next` on and hands its captures
// to the frame loop.
void QueueScriptedFrame(EngineHost& host, FrameLoop& frames, const InputScript& script,
                        uint64_t frame, size_t* next) {
    std::vector<const ScriptedInput*> captures;
    for (; *next < script.events.size() && script.events[*next].frame <= frame; ++*next) {
        const ScriptedInput& event = script.events[*next];
        if (event.kind == ScriptedInputKind::Capture) {
            captures.push_back(&event);
        } else if (!host.PostScriptedInput(event)) {
            std::fprintf(stderr, "ENGINE_INPUT_SCRIPT: %u: the window refused the event\n",
                         event.line);
        }
    }
    frames.CaptureNextFrame(std::move(captures));
}

}  // namespace

int RunMessageLoop(EngineHost& host, FrameLoop& frames, std::optional<uint64_t> frameLimit,
                   FrameStats* stats, const InputScript* script) {
    uint64_t framesRun = 0;
    size_t nextScripted = 0;
    WindowMessage message;
    while (true) {
        if (host.HasMessage()) {
            if (!host.NextMessage(&message)) continue;
            host.HandleInputMessage(message);
            if (message.kind == MessageKind::Quit) return message.exitCode;
            continue;
        }
        if (!host.HandleLostDevice()) {
            host.Sleep(10);
        } else if (!host.WindowActive()) {
            host.Sleep(10);
        } else {
            if (frameLimit && framesRun >= *frameLimit) {
                std::fprintf(stderr, "frame limit reached\n");
                return kExitFrameLimit;
            }
            if (script != nullptr && nextScripted < script->events.size() &&
                script->events[nextScripted].frame <= framesRun + 1) {
                QueueScriptedFrame(host, frames, *script, framesRun + 1, &nextScripted);
                continue;  // the queued events are taken before the frame runs
            }
            FrameStats::Clock::time_point begin = FrameStats::Clock::now();
            frames.FrameStep();
            if (stats != nullptr) stats->AddFrame(begin, FrameStats::Clock::now());
            ++framesRun;
        }
    }
}

// --- start-up ----------------------------------------------------------------

namespace {

// Handles every waiting message as the loop does; true when a close or quit
// was among them (it stays pending for the loop).
void PumpDuringLogo(EngineHost& host) {
    while (host.HasMessage() && !host.QuitPending()) {
        WindowMessage message;
        if (!host.NextMessage(&message)) break;
        host.HandleInputMessage(message);
    }
}

}  // namespace

int RunEngine(const std::string& commandLine, EngineHost& host) {
    EngineTestControls controls = ReadEngineTestControls();
    if (!controls.controlError.empty()) {
        std::fprintf(stderr, "%s\n", controls.controlError.c_str());
        return kExitBadControl;
    }
    if (!controls.inputScriptError.empty()) return Fail(controls.inputScriptError);
    // The process's start on the steady clock, for the first frame's figure;
    // without the kernel's figure the count starts here.
    FrameStats stats(FrameStats::Clock::now() -
                     std::chrono::duration_cast<FrameStats::Clock::duration>(
                         std::chrono::duration<double>(SecondsSinceProcessStart().value_or(0.0))));

    // 1-2: options and device flags.
    OptionParser options(commandLine);
    AddEngineOptions(options);
    options.Parse();
    int tq = OptionToInt(options.GetOptionValue(kOptTq));
    int tf = OptionToInt(options.GetOptionValue(kOptTf));
    int lt = OptionToInt(options.GetOptionValue(kOptLt));
    int sound = OptionToInt(options.GetOptionValue(kOptS));
    int windowed = OptionToInt(options.GetOptionValue(kOptWin));
    uint32_t width = static_cast<uint32_t>(OptionToInt(options.GetOptionValue(kOptW)));
    uint32_t height = static_cast<uint32_t>(OptionToInt(options.GetOptionValue(kOptH)));
    uint32_t depth = static_cast<uint32_t>(OptionToInt(options.GetOptionValue(kOptD)));
    uint32_t flags = 0;
    if (sound == 0) flags |= kDeviceSoundOff;
    if (windowed != 0) flags |= kDeviceWindowed;

    // 3-5: the window.
    std::string reason;
    if (!host.OpenWindow(&reason)) return Fail("window: " + reason);

    // 6-8: trace channels, archive, input.
    for (const TraceChannel& channel : kTraceChannels) {
        host.RegisterTraceChannel(channel.mask, channel.name);
    }
    bool packOpen = host.OpenPackArchive();
    // No archive is no error. A damaged one is not used: the files come
    // from the folders, and the start-up fails later only when they do not
    // hold what it reads.
    if (!packOpen && !host.PackArchiveErrorText().empty()) {
        std::fprintf(stderr, "pack.csa: %s\n", host.PackArchiveErrorText().c_str());
    }
    host.InitInput();
    host.BindDefaultActions();

    // 9: "init.txt" from the working folder, never from the archive.
    InitFile init;
    if (!ReadInitFile("init.txt", &init, &reason)) {
        if (packOpen) host.ClosePackArchive();
        return Fail("init.txt: " + reason);
    }
    host.SetWindowTitle(init.title);
    std::string dataFolder = init.baseFolder + "\\Data";

    // 10-16: services, display and device settings.
    int result = 0;
    do {
        if (!host.CreateEngineServices()) {
            result = Fail("library: " + host.LibraryErrorText());
            break;
        }
        if (!host.CreateDisplay(width, height, depth, 32, flags)) {
            result = Fail("display: " + host.GraphicsErrorText());
            break;
        }
        host.SetBaseFolder(init.baseFolder);
        host.SetRenderState(kRenderStateDither, depth == 16 ? 1 : 0);
        (void)host.TextureFilterCaps();
        uint32_t minMag = tf == 2 ? kFilterAnisotropic : kFilterLinear;
        uint32_t mip = tf == 0 ? kFilterPoint : kFilterLinear;
        for (uint32_t stage = 0; stage < 8; ++stage) {
            host.SetTextureStageState(stage, kStageMinFilter, minMag);
            host.SetTextureStageState(stage, kStageMagFilter, minMag);
            host.SetTextureStageState(stage, kStageMipFilter, mip);
        }
        uint32_t formatMode = tq == 16 ? 2 : (tq == 0 ? 3 : 0);
        uint32_t divisor = lt == 0 ? 4 : (lt == 1 ? 2 : 1);
        host.SetTextureQuality(formatMode, divisor);
        for (int i = 0; i < 2; ++i) {
            host.ClearScreen(0);
            host.BeginFrame();
            host.EndFrame();
            host.PresentFrame();
        }

        // 17-21: logo, texts, world, library file, random seed and clip planes.
        if (controls.skipWaits) UseSkippedWaitsVideoClock();
        host.PlayFullScreenVideo(dataFolder + "\\logo_01.mpg");
        host.LoadTextTable(dataFolder + "\\text.txt");
        if (!host.InitActorSystem(init.baseFolder, &reason)) {
            result = Fail("actor system: " + reason);
            break;
        }
        if (!host.SerializeLibrary()) {
            result = Fail("library: " + PathForDisplay(host.LibraryFilePath()) + ": " +
                          host.LibraryErrorText());
            break;
        }
        SeedRand(controls.randomSeed ? *controls.randomSeed : host.TickCount());
        host.SetFarClip(35000.0f);
        host.SetNearClip(1.5f);

        // 22-24: globals, then the start scene unless a "Menu" actor exists.
        if (init.globalsFile.empty()) init.globalsFile = "Globals.qva";
        std::string error;
        if (!host.OpenActorFile(kGlobalRootId, init.globalsFile, &error)) {
            result = Fail("Error Loading Global " + init.globalsFile + ": " + error);
            break;
        }
        bool menu = host.FindMenuActor();
        if (!menu && !host.OpenActorFile(kSceneryRootId, init.startScene, &error)) {
            result = Fail("Error Loading Scene " + init.startScene + ": " + error);
            break;
        }
        if (ActorSystem* system = GetActorSystem()) {
            system->startGlobalsFile = init.globalsFile;
            system->startSceneFile = menu ? std::string() : init.startScene;
        }

        // 25-27: global time, precalculation, logo loop, "Start Game".
        host.SetGlobalTime(0.0f);
        host.PrecalculateAll();
        while (host.PollFullScreenVideo()) {
            PumpDuringLogo(host);
            host.UpdateInput(0.0333f, 1);
            if (host.ActionDown(16, 0) != 0 || host.ActionDown(15, 0) != 0) host.StopVideo();
        }
        PumpDuringLogo(host);
        if (!menu) host.StartGame();

        // 28: the message loop.
        FrameLoop frames(host);
        frames.SetFixedFrameTime(controls.fixedFrameTime);
        frames.SetDrawCapturedOnly(controls.drawCapturedOnly);
        result = RunMessageLoop(host, frames, controls.frameLimit,
                                controls.frameStats ? &stats : nullptr,
                                controls.inputScript ? &*controls.inputScript : nullptr);
        if (controls.frameStats) std::fprintf(stderr, "%s\n", stats.Line().c_str());
    } while (false);

    if (packOpen) host.ClosePackArchive();
    // The tree lives until the process ends; actors outside it would be lost
    // with the table.
    DeleteDetachedActors();
    return result;
}
