#include "core/actors/engine_startup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actors/characters/character_seams.h"
#include "core/actors/actor_services.h"
#include "core/actors/engine_host.h"
#include "core/actors/input_script.h"
#include "core/actors/time_record.h"
#include "core/actors/world_fixture.h"
#include "platform/graphics.h"
#include "platform/input.h"
#include "platform/os/clock_source.h"
#include "platform/timer.h"
#include "support/fake_display.h"
#include "support/frame_stats_line.h"
#include "support/sdl_events.h"
#include "support/temp_folder.h"

namespace {

// Records every call the start-up, the loop and the frame make; answers
// from its settings. Nothing real runs.
class RecordingHost : public EngineHost {
public:
    std::vector<std::string> log;
    std::deque<WindowMessage> queue;
    std::deque<double> frameTimes;
    bool windowOk = true, displayOk = true, libraryOk = true, servicesOk = true;
    bool globalsOk = true, sceneOk = true, menu = false, packOk = false, actorsOk = true;
    bool active = true, deviceOk = true, beginOk = true;
    int logoPolls = 0;  // polls that report the film running
    int f12 = 0;
    std::function<bool(int)> actionDown;
    std::function<void()> onProcessWorld;
    std::function<void(int)> onFrameStep;

    void Log(std::string s) { log.push_back(std::move(s)); }
    static std::string N(double v) {
        std::string s = std::to_string(v);
        while (s.size() > 1 && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
        return s;
    }

    bool OpenWindow(std::string* error) override {
        Log("OpenWindow");
        if (!windowOk) *error = "no video";
        return windowOk;
    }
    void SetWindowTitle(const std::string& t) override { Log("SetWindowTitle " + t); }
    bool HasMessage() override { return !queue.empty(); }
    bool NextMessage(WindowMessage* out) override {
        if (queue.empty()) return false;
        *out = queue.front();
        queue.pop_front();
        if (out->kind == MessageKind::Close) {
            WindowMessage quit;
            quit.kind = MessageKind::Quit;
            queue.push_front(quit);
        }
        return true;
    }
    bool QuitPending() override {
        for (auto& m : queue)
            if (m.kind == MessageKind::Close || m.kind == MessageKind::Quit) return true;
        return false;
    }
    bool WindowActive() override { return active; }
    void Sleep(uint32_t ms) override {
        Log("Sleep " + std::to_string(ms));
        if (log.size() > 200) queue.push_back(Close());
    }
    uint32_t TickCount() override { return 1234; }
    void RegisterTraceChannel(uint32_t mask, const char* name) override {
        Log("Trace " + std::to_string(mask) + " " + name);
    }
    bool OpenPackArchive() override { Log("OpenPackArchive"); return packOk; }
    void ClosePackArchive() override { Log("ClosePackArchive"); }
    void InitInput() override { Log("InitInput"); }
    void BindDefaultActions() override { Log("BindDefaultActions"); }
    void HandleInputMessage(const WindowMessage& m) override {
        Log("Message " + std::to_string(static_cast<int>(m.kind)));
    }
    void UpdateInput(float t, int c) override { Log("UpdateInput " + N(t) + " " + std::to_string(c)); }
    int ActionDown(int a, int s) override { return actionDown && actionDown(a) && s == 0 ? 1 : 0; }
    int DebugKeyState(uint32_t) override { return f12; }
    bool CreateEngineServices() override { Log("CreateEngineServices"); return servicesOk; }
    bool CreateDisplay(uint32_t w, uint32_t h, uint32_t d, uint32_t z, uint32_t f) override {
        Log("CreateDisplay " + std::to_string(w) + " " + std::to_string(h) + " " +
            std::to_string(d) + " " + std::to_string(z) + " " + std::to_string(f));
        return displayOk;
    }
    std::string GraphicsErrorText() override { return "no device"; }
    void SetBaseFolder(const std::string& f) override {
        Log("SetBaseFolder " + f);
        base = f;
    }
    uint32_t TextureFilterCaps() override { Log("TextureFilterCaps"); return 0; }
    void SetRenderState(uint32_t s, uint32_t v) override {
        Log("RenderState " + std::to_string(s) + " " + std::to_string(v));
    }
    void SetTextureStageState(uint32_t st, uint32_t t, uint32_t v) override {
        Log("Stage " + std::to_string(st) + " " + std::to_string(t) + " " + std::to_string(v));
    }
    void SetTextureQuality(uint32_t m, uint32_t d) override {
        Log("TextureQuality " + std::to_string(m) + " " + std::to_string(d));
    }
    void ClearScreen(uint32_t c) override { Log("ClearScreen " + std::to_string(c)); }
    void BeginFrame() override { Log("BeginFrame"); }
    void EndFrame() override { Log("EndFrame"); }
    void PresentFrame() override { Log("PresentFrame"); }
    bool SerializeLibrary() override { Log("SerializeLibrary"); return libraryOk; }
    std::string LibraryErrorText() override { return "Serialize File Open Error"; }
    std::string LibraryFilePath() override { return base + "\\DAZedirad.qvf"; }
    void SetFarClip(float d) override { Log("FarClip " + N(d)); }
    void SetNearClip(float d) override { Log("NearClip " + N(d)); }
    bool HandleLostDevice() override { Log("HandleLostDevice"); return deviceOk; }
    void PlayFullScreenVideo(const std::string& p) override { Log("PlayVideo " + p); }
    bool PollFullScreenVideo() override {
        Log("PollVideo");
        return logoPolls-- > 0;
    }
    void StopVideo() override { Log("StopVideo"); logoPolls = 0; }
    void LoadTextTable(const std::string& p) override { Log("LoadTextTable " + p); }
    bool InitActorSystem(const std::string& b, std::string* error) override {
        Log("InitActorSystem " + b);
        if (!actorsOk) *error = "cannot make the fixed actor \"Global\"";
        return actorsOk;
    }
    bool OpenActorFile(int32_t root, const std::string& name, std::string* error) override {
        Log("OpenFile " + std::to_string(root) + " " + name);
        bool ok = root == 1 ? globalsOk : sceneOk;
        if (!ok) *error = "Error - Loading Actors";
        return ok;
    }
    bool FindMenuActor() override { Log("FindMenu"); return menu; }
    void SetGlobalTime(float t) override { Log("SetGlobalTime " + N(t)); }
    void PrecalculateAll() override { Log("Precalculate"); }
    void StartGame() override { Log("StartGame"); }
    double GetDeltaTime() override {
        if (frameTimes.empty()) return 0.01;
        double t = frameTimes.front();
        frameTimes.pop_front();
        return t;
    }
    void UpdateRootTime() override {
        Log("UpdateRootTime");
        RootTimeRecord()->delta = FrameDelta * speed;
    }
    void ProcessWorld() override {
        Log("ProcessWorld");
        if (onProcessWorld) onProcessWorld();
    }
    void RunScheduledCommands() override { Log("RunScheduled"); }
    void CollisionPass(float t) override { Log("Collision " + N(t)); }
    bool UpdateCamera() override { Log("Camera"); return true; }
    void DrawVisibleGroups(float t) override { Log("DrawGroups " + N(t)); }
    void CameraFrame(float p[3], float f[3], float u[3]) override {
        for (int i = 0; i < 3; ++i) { p[i] = camera[i]; f[i] = 0; u[i] = 0; }
    }
    void SetListener(const float p[3], const float[3], const float[3], const float v[3]) override {
        Log("Listener " + N(p[0]) + " v " + N(v[0]));
    }
    bool BeginRender() override { Log("BeginRender"); return beginOk; }
    void DrawScene(float t) override { Log("DrawScene " + N(t)); }
    void Draw2D() override { Log("Draw2D"); }
    void EndRender() override { Log("EndRender"); }
    uint32_t ScreenWidth() override { return 800; }
    void QueueText(const std::string& t, float x, float y, uint32_t s) override {
        Log("QueueText " + t + " " + N(x) + " " + N(y) + " " + std::to_string(s));
    }
    void DrawTextNow(const std::string& t, float x, float y, uint32_t s) override {
        Log("DrawTextNow " + t + " " + N(x) + " " + N(y) + " " + std::to_string(s));
    }
    // A posted event comes back through the queue as a message of its kind.
    bool PostScriptedInput(const ScriptedInput& input) override {
        Log("Post " + std::to_string(input.line));
        WindowMessage m;
        m.kind = input.kind == ScriptedInputKind::Key ? MessageKind::KeyDown : MessageKind::Other;
        queue.push_back(m);
        return input.kind != ScriptedInputKind::Motion;  // the queue refuses motion
    }
    bool CaptureScreen(const std::string& file) override {
        Log("Capture " + file);
        return file != "refused.tga";
    }

    static WindowMessage Close() {
        WindowMessage m;
        m.kind = MessageKind::Close;
        return m;
    }

    float speed = 1.0f;
    float camera[3] = {0, 0, 0};
    std::string base;

    std::vector<std::string> With(const std::string& prefix) const {
        std::vector<std::string> out;
        for (auto& l : log)
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        return out;
    }
    size_t Index(const std::string& line) const {
        for (size_t i = 0; i < log.size(); ++i)
            if (log[i] == line) return i;
        return log.size();
    }
};

// Runs the start-up in a scratch working folder holding "init.txt".
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.Path());
        setenv("ENGINE_FRAME_LIMIT", "2", 1);
        unsetenv("ENGINE_FIXED_FRAME_TIME");
        unsetenv("ENGINE_RANDOM_SEED");
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        unsetenv("ENGINE_FRAME_LIMIT");
        unsetenv("ENGINE_FRAME_STATS");
    }
    void Init(const std::string& text) { folder_.Put("init.txt", text); }
    int Run(const std::string& line) { return Run(line, host); }
    int Run(const std::string& line, RecordingHost& h) {
        testing::internal::CaptureStderr();
        int code = RunEngine(line, h);
        err = testing::internal::GetCapturedStderr();
        return code;
    }

    TempFolder folder_;
    std::filesystem::path old_;
    RecordingHost host;
    std::string err;
};

TEST(InitFile, LinesWithCrLfMissingLinesEmpty) {
    TempFolder folder;
    folder.Put("a.txt", "game\r\nLevel1.qva\r\n\r\nDemo\r\n");
    InitFile init;
    ASSERT_TRUE(ReadInitFile(folder / "a.txt", &init));
    EXPECT_EQ(init.baseFolder, "game");
    EXPECT_EQ(init.startScene, "Level1.qva");
    EXPECT_EQ(init.globalsFile, "");
    EXPECT_EQ(init.title, "Demo");
    folder.Put("b.txt", "base\nscene");
    ASSERT_TRUE(ReadInitFile(folder / "b.txt", &init));
    EXPECT_EQ(init.baseFolder, "base");
    EXPECT_EQ(init.startScene, "scene");
    EXPECT_EQ(init.globalsFile, "");
    EXPECT_EQ(init.title, "");
    EXPECT_FALSE(ReadInitFile(folder / "missing.txt", &init));
}

TEST(FrameTime, Clamps) {
    auto a = ClampNormalFrameTime(0.06);
    EXPECT_FLOAT_EQ(a.time, 0.06f);
    EXPECT_FALSE(a.clipped);
    auto b = ClampNormalFrameTime(0.0600001);
    EXPECT_FLOAT_EQ(b.time, 0.06f);
    EXPECT_TRUE(b.clipped);
    auto c = ClampNormalFrameTime(0.2);
    EXPECT_FLOAT_EQ(c.time, 0.06f);
    EXPECT_TRUE(c.clipped);
    auto d = ClampNormalFrameTime(0.2000001);
    EXPECT_FLOAT_EQ(d.time, 0.008333334f);
    EXPECT_TRUE(d.skipped);
    EXPECT_FLOAT_EQ(ClampFrontEndFrameTime(0.2), 0.2f);
    EXPECT_FLOAT_EQ(ClampFrontEndFrameTime(0.2000001), 0.033333335f);
}

TEST_F(StartupTest, StepsInOrderWithOptionsApplied) {
    Init("game\r\nLevel1.qva\r\nG.qva\r\nDemo\r\n");
    EXPECT_EQ(Run("-w=1024 -s=0 -win=1 -d=16 -tf=0 -tq=16 -lt=0"), kExitFrameLimit);
    EXPECT_EQ(err, "frame limit reached\n");
    std::vector<std::string> order = {
        "OpenWindow", "Trace 16 Misc Heavy", "OpenPackArchive", "InitInput", "BindDefaultActions",
        "SetWindowTitle Demo", "CreateEngineServices", "CreateDisplay 1024 600 16 32 3",
        "SetBaseFolder game", "RenderState 26 1", "TextureFilterCaps", "Stage 0 17 2",
        "TextureQuality 2 4", "ClearScreen 0", "PlayVideo game\\Data\\logo_01.mpg",
        "LoadTextTable game\\Data\\text.txt", "InitActorSystem game", "SerializeLibrary",
        "FarClip 35000", "NearClip 1.5", "OpenFile 1 G.qva", "FindMenu", "OpenFile 2 Level1.qva",
        "SetGlobalTime 0", "Precalculate", "PollVideo", "StartGame", "HandleLostDevice",
        "UpdateInput 0.01 1"};
    size_t last = 0;
    for (const auto& step : order) {
        size_t at = host.Index(step);
        ASSERT_LT(at, host.log.size()) << step;
        EXPECT_GE(at, last) << step;
        last = at;
    }
    auto traces = host.With("Trace ");
    ASSERT_EQ(traces.size(), 23u);
    EXPECT_EQ(traces[8], "Trace 512 TimerCommand");
    EXPECT_EQ(traces[22], "Trace 536870912 _test");
    // The input layer's own default bindings, once.
    EXPECT_EQ(host.With("Bind"), std::vector<std::string>{"BindDefaultActions"});
    auto stages = host.With("Stage ");
    ASSERT_EQ(stages.size(), 24u);
    EXPECT_EQ(stages[22], "Stage 7 16 2");
    EXPECT_EQ(stages[23], "Stage 7 18 1");
    EXPECT_EQ(host.With("ClearScreen").size(), 2u);
    EXPECT_EQ(host.With("PresentFrame").size(), 2u);
}

TEST_F(StartupTest, OptionMappings) {
    struct Case {
        const char* line;
        const char* expect;
    } cases[] = {
        {"", "CreateDisplay 800 600 32 32 0"},
        {"-tf=1", "Stage 0 18 2"},
        {"", "Stage 0 17 3"},
        {"", "RenderState 26 0"},
        {"-tq=0 -lt=1", "TextureQuality 3 2"},
        {"-tq=32", "TextureQuality 0 1"},
        {"-s=0", "CreateDisplay 800 600 32 32 1"},
        {"-win=1 -h=768", "CreateDisplay 800 768 32 32 2"},
    };
    Init("game\nL.qva\n\nT\n");
    for (const auto& c : cases) {
        host.log.clear();
        Run(c.line);
        EXPECT_LT(host.Index(c.expect), host.log.size()) << c.line << " -> " << c.expect;
    }
    EXPECT_LT(host.Index("OpenFile 1 Globals.qva"), host.log.size());
}

TEST_F(StartupTest, MenuSkipsSceneAndStartGameButLogoPlays) {
    Init("game\nLevel1.qva\n\nT\n");
    host.menu = true;
    host.logoPolls = 2;
    EXPECT_EQ(Run(""), kExitFrameLimit);
    EXPECT_EQ(host.With("OpenFile 2").size(), 0u);
    EXPECT_EQ(host.With("StartGame").size(), 0u);
    EXPECT_EQ(host.With("PollVideo").size(), 3u);
    EXPECT_EQ(host.With("UpdateInput 0.0333 1").size(), 2u);
}

TEST_F(StartupTest, LogoStopsOnActionHeldAndCloseSkipsLoop) {
    Init("game\nLevel1.qva\n\nT\n");
    for (int held : {15, 16}) {
        RecordingHost h;
        h.logoPolls = 100;
        h.actionDown = [held](int action) { return action == held; };
        Run("", h);
        EXPECT_EQ(h.With("PollVideo").size(), 2u) << held;
        EXPECT_EQ(h.With("StopVideo").size(), 1u) << held;
    }

    RecordingHost closing;
    testing::internal::CaptureStderr();
    closing.logoPolls = 3;
    WindowMessage key;
    key.kind = MessageKind::KeyDown;
    closing.queue.push_back(key);
    closing.queue.push_back(RecordingHost::Close());
    EXPECT_EQ(RunEngine("", closing), 0);
    EXPECT_EQ(closing.With("Message 1").size(), 1u);  // handled during the logo
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(closing.With("BeginRender").size(), 0u);  // no frame ran
    EXPECT_EQ(closing.With("HandleLostDevice").size(), 0u);
}

// The real window, its messages and the input layer; the film is recorded,
// and the player presses Space while the first poll waits.
class SdlLogoHost : public RecordingHost {
public:
    bool pushed = false;
    bool OpenWindow(std::string* error) override {
        RecordingHost::OpenWindow(error);
        return EngineHost::OpenWindow(error);
    }
    bool HasMessage() override { return EngineHost::HasMessage(); }
    bool NextMessage(WindowMessage* out) override { return EngineHost::NextMessage(out); }
    bool QuitPending() override { return EngineHost::QuitPending(); }
    void InitInput() override { EngineHost::InitInput(); }
    void BindDefaultActions() override { EngineHost::BindDefaultActions(); }
    void HandleInputMessage(const WindowMessage& m) override {
        RecordingHost::HandleInputMessage(m);
        EngineHost::HandleInputMessage(m);
    }
    void UpdateInput(float t, int c) override {
        RecordingHost::UpdateInput(t, c);
        EngineHost::UpdateInput(t, c);
    }
    int ActionDown(int a, int s) override { return EngineHost::ActionDown(a, s); }
    bool PollFullScreenVideo() override {
        if (!pushed) pushed = PushSdlKey("Space", true);
        return RecordingHost::PollFullScreenVideo();
    }
};

TEST_F(StartupTest, SpaceThroughTheWindowStopsTheLogoWithinOnePoll) {
    Init("game\nLevel1.qva\n\nT\n");
    {
        SdlLogoHost sdl;
        sdl.logoPolls = 100;
        EXPECT_EQ(Run("", sdl), kExitFrameLimit) << err;
        ASSERT_TRUE(sdl.pushed);
        EXPECT_EQ(sdl.With("PollVideo").size(), 2u);
        ASSERT_EQ(sdl.With("StopVideo").size(), 1u);
        size_t key = sdl.Index("Message " + std::to_string(int(MessageKind::KeyDown)));
        EXPECT_LT(key, sdl.Index("UpdateInput 0.0333 1"));
        EXPECT_LT(sdl.Index("UpdateInput 0.0333 1"), sdl.Index("StopVideo"));
        EXPECT_EQ(ActionDown(15, 0), 1);  // still held
    }
    InitInput(nullptr);  // the window and its input backend are gone
}

TEST_F(StartupTest, FailuresPrintOneLineAndExitOne) {
    struct Case {
        std::function<void(RecordingHost&)> set;
        const char* line;
    } cases[] = {
        {[](RecordingHost& h) { h.windowOk = false; }, "window: no video\n"},
        {[](RecordingHost& h) { h.servicesOk = false; }, "library: Serialize File Open Error\n"},
        {[](RecordingHost& h) { h.displayOk = false; }, "display: no device\n"},
        {[](RecordingHost& h) { h.actorsOk = false; },
         "actor system: cannot make the fixed actor \"Global\"\n"},
        {[](RecordingHost& h) { h.libraryOk = false; },
         "library: game\\DAZedirad.qvf: Serialize File Open Error\n"},
        {[](RecordingHost& h) { h.globalsOk = false; },
         "Error Loading Global Globals.qva: Error - Loading Actors\n"},
        {[](RecordingHost& h) { h.sceneOk = false; },
         "Error Loading Scene Level1.qva: Error - Loading Actors\n"},
    };
    Init("game\nLevel1.qva\n\nT\n");
    for (const auto& c : cases) {
        RecordingHost h;
        c.set(h);
        EXPECT_EQ(Run("", h), kExitStartupFailed) << c.line;
        EXPECT_EQ(err, c.line);
        EXPECT_EQ(h.With("BeginRender").size(), 0u);
    }
    std::filesystem::remove(folder_ / "init.txt");
    host.packOk = true;
    EXPECT_EQ(Run(""), kExitStartupFailed);
    EXPECT_EQ(err, "init.txt: cannot open\n");
    EXPECT_EQ(host.With("ClosePackArchive").size(), 1u);
}

TEST_F(StartupTest, EnvironmentControls) {
    Init("game\nLevel1.qva\n\nT\n");
    setenv("ENGINE_FIXED_FRAME_TIME", "0.25", 1);
    setenv("ENGINE_FRAME_LIMIT", "3", 1);
    setenv("ENGINE_RANDOM_SEED", "77", 1);
    EXPECT_EQ(Run(""), kExitFrameLimit);
    EXPECT_EQ(host.With("UpdateInput 0.008333 1").size(), 3u);  // the clamp still applies
    unsetenv("ENGINE_FIXED_FRAME_TIME");
    unsetenv("ENGINE_RANDOM_SEED");
}

// A numeric control that is not wholly a number in its range ends the start-up
// before anything is done, as a usage error does.
TEST_F(StartupTest, NumericControlsThatDoNotParseEndTheStartUpWithExitTwo) {
    Init("game\nLevel1.qva\n\nT\n");
    const struct {
        const char* variable;
        const char* value;
        const char* line;
    } cases[] = {
        {"ENGINE_FRAME_LIMIT", "abc",
         "ENGINE_FRAME_LIMIT: \"abc\" is not a whole number from 0 to 18446744073709551615\n"},
        {"ENGINE_FRAME_LIMIT", "-1", nullptr},
        {"ENGINE_FRAME_LIMIT", "1e23", nullptr},
        {"ENGINE_FRAME_LIMIT", " 5", nullptr},
        {"ENGINE_FRAME_LIMIT", "18446744073709551616", nullptr},
        {"ENGINE_RANDOM_SEED", "4294967296",
         "ENGINE_RANDOM_SEED: \"4294967296\" is not a whole number from 0 to 4294967295\n"},
        {"ENGINE_RANDOM_SEED", "+7", nullptr},
        {"ENGINE_FIXED_FRAME_TIME", "0.1s",
         "ENGINE_FIXED_FRAME_TIME: \"0.1s\" is not a number of seconds from 0 to 60\n"},
        {"ENGINE_FIXED_FRAME_TIME", "-0.01", nullptr},
        {"ENGINE_FIXED_FRAME_TIME", "nan", nullptr},
        {"ENGINE_FIXED_FRAME_TIME", "1e300", nullptr},
    };
    for (const auto& c : cases) {
        setenv(c.variable, c.value, 1);
        RecordingHost h;
        int frames = 0;
        h.onProcessWorld = [&] {  // a refused value must not leave the loop endless
            if (++frames == 3) h.queue.push_back(RecordingHost::Close());
        };
        EXPECT_EQ(Run("", h), kExitBadControl) << c.variable << "=" << c.value;
        if (c.line != nullptr) {
            EXPECT_EQ(err, c.line);
        }
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind(std::string(c.variable) + ": \"" + c.value + "\" is not ", 0), 0u) << err;
        EXPECT_TRUE(h.log.empty());
        if (std::string(c.variable) == "ENGINE_FRAME_LIMIT") {
            setenv(c.variable, "2", 1);
        } else {
            unsetenv(c.variable);
        }
    }
    // The bounds themselves are taken.
    setenv("ENGINE_RANDOM_SEED", "4294967295", 1);
    setenv("ENGINE_FIXED_FRAME_TIME", "60", 1);
    EXPECT_EQ(Run(""), kExitFrameLimit) << err;
    unsetenv("ENGINE_RANDOM_SEED");
    unsetenv("ENGINE_FIXED_FRAME_TIME");
}

// Lines of the text files start-up reads say which file and what is wrong:
// a folder where a file belongs ends the start-up with one line; the library
// is named as the base folder spells it, in one separator style.
TEST_F(StartupTest, FailureLinesNameTheFileAndWhatIsWrong) {
    Init("../game\nLevel1.qva\n\nT\n");
    std::filesystem::create_directory(folder_ / "script");
    setenv("ENGINE_INPUT_SCRIPT", "script", 1);
    RecordingHost scripted;
    EXPECT_EQ(Run("", scripted), kExitStartupFailed);
    EXPECT_EQ(err, "ENGINE_INPUT_SCRIPT: script: is a folder\n");
    EXPECT_TRUE(scripted.log.empty());
    unsetenv("ENGINE_INPUT_SCRIPT");

    RecordingHost library;
    library.libraryOk = false;
    EXPECT_EQ(Run("", library), kExitStartupFailed);
    EXPECT_EQ(err, "library: ../game/DAZedirad.qvf: Serialize File Open Error\n");

    std::filesystem::remove(folder_ / "init.txt");
    std::filesystem::create_directory(folder_ / "init.txt");
    EXPECT_EQ(Run(""), kExitStartupFailed);
    EXPECT_EQ(err, "init.txt: is a folder\n");
    EXPECT_EQ(host.With("OpenFile").size(), 0u);
}

// The scripted input's events are queued and taken before their frame; its
// captures come after the frame's 2D drawing and before it is presented.
TEST_F(StartupTest, InputScriptQueuesBeforeTheFrameAndCapturesBeforePresent) {
    Init("game\nLevel1.qva\n\nT\n");
    folder_.Put("input.txt",
                "2 key down 65\n2 capture a.tga\n2 motion 3 4\n3 capture refused.tga\n"
                "4 key up 65\n");
    setenv("ENGINE_INPUT_SCRIPT", "input.txt", 1);
    setenv("ENGINE_FRAME_LIMIT", "3", 1);
    EXPECT_EQ(Run(""), kExitFrameLimit);
    std::vector<std::string> loop;
    for (const std::string& line : host.log) {
        for (const char* stage :
             {"Post", "Message", "UpdateInput", "Capture", "Draw2D", "EndRender"}) {
            if (line.rfind(stage, 0) == 0) loop.push_back(line);
        }
    }
    // Frames 1, 2 (its events taken first) and 3; frame 4's event never goes.
    const std::vector<std::string> expect = {
        "UpdateInput 0.01 1", "Draw2D", "EndRender",
        "Post 1", "Post 3", "Message 1", "Message 0",
        "UpdateInput 0.01 1", "Draw2D", "Capture a.tga", "EndRender",
        "UpdateInput 0.01 1", "Draw2D", "Capture refused.tga", "EndRender"};
    EXPECT_EQ(loop, expect);
    EXPECT_EQ(err, "ENGINE_INPUT_SCRIPT: 3: the window refused the event\n"
                   "ENGINE_INPUT_SCRIPT: 4: refused.tga not saved\n"
                   "frame limit reached\n");

    // A bad line or a missing file ends the start-up before the window opens.
    folder_.Put("input.txt", "2 key down 65\n2 key sideways 65\n");
    for (const char* file : {"input.txt", "missing.txt"}) {
        setenv("ENGINE_INPUT_SCRIPT", file, 1);
        RecordingHost bad;
        EXPECT_EQ(Run("", bad), kExitStartupFailed);
        EXPECT_TRUE(bad.log.empty());
        if (std::string(file) == "input.txt") {
            EXPECT_EQ(err, "ENGINE_INPUT_SCRIPT: 2: \"sideways\" is neither down nor up\n");
        } else {
            EXPECT_EQ(err, "ENGINE_INPUT_SCRIPT: missing.txt: cannot open\n");
        }
    }
    unsetenv("ENGINE_INPUT_SCRIPT");
}

// --- frame figures -------------------------------------------------------------

TEST(FrameStats, LineGivesCountFirstFrameMeanAndNearestRankP99) {
    using Clock = FrameStats::Clock;
    using std::chrono::milliseconds;
    Clock::time_point start{};
    FrameStats empty(start);
    EXPECT_EQ(empty.Line(), "frames 0 first-frame-ms 0.000 mean-ms 0.000 p99-ms 0.000");

    // Steps of 100, 99, ..., 1 ms; the first ends 500 ms after the start.
    FrameStats stats(start);
    Clock::time_point at = start + milliseconds(400);
    for (int ms = 100; ms >= 1; --ms) {
        stats.AddFrame(at, at + milliseconds(ms));
        at += milliseconds(ms + 5);
    }
    EXPECT_EQ(stats.Line(), "frames 100 first-frame-ms 500.000 mean-ms 50.500 p99-ms 99.000");

    FrameStats one(start);
    one.AddFrame(start + milliseconds(10), start + milliseconds(12));
    EXPECT_EQ(one.Line(), "frames 1 first-frame-ms 12.000 mean-ms 2.000 p99-ms 2.000");
}

TEST(FrameStats, ProcessStartIsInThePast) {
    std::optional<double> seconds = SecondsSinceProcessStart();
    ASSERT_TRUE(seconds.has_value());
    EXPECT_GE(*seconds, 0.0);
    EXPECT_LT(*seconds, 24 * 3600.0);  // a misread field gives the machine's up time or worse
}

TEST_F(StartupTest, FrameStatsLineEndsEveryWayOutOfTheLoop) {
    Init("game\nLevel1.qva\n\nT\n");
    FrameStatsFigures figures;
    setenv("ENGINE_FRAME_STATS", "1", 1);
    EXPECT_EQ(Run(""), kExitFrameLimit);
    ASSERT_EQ(err.rfind("frame limit reached\n", 0), 0u) << err;
    ASSERT_TRUE(ParseFrameStatsLine(err.substr(20), &figures)) << err;
    EXPECT_EQ(figures.frames, 2u);

    // The window closed (as "Exit Engine" closes it) after three frames.
    unsetenv("ENGINE_FRAME_LIMIT");
    RecordingHost closing;
    int frames = 0;
    closing.onProcessWorld = [&] {
        if (++frames == 3) closing.queue.push_back(RecordingHost::Close());
    };
    EXPECT_EQ(Run("", closing), 0);
    ASSERT_TRUE(ParseFrameStatsLine(err, &figures)) << err;
    EXPECT_EQ(figures.frames, 3u);

    // Only "1" turns it on.
    setenv("ENGINE_FRAME_LIMIT", "2", 1);
    setenv("ENGINE_FRAME_STATS", "0", 1);
    EXPECT_EQ(Run(""), kExitFrameLimit);
    EXPECT_EQ(err, "frame limit reached\n");
    unsetenv("ENGINE_FRAME_STATS");
}

// --- message loop --------------------------------------------------------------

TEST(MessageLoop, IdleTurnsSleepAndAskTheDevice) {
    RecordingHost host;
    FrameLoop frames(host);
    host.active = false;
    WindowMessage key;
    key.kind = MessageKind::KeyDown;
    host.queue.push_back(key);
    EXPECT_EQ(RunMessageLoop(host, frames, std::nullopt), 0);
    EXPECT_EQ(host.log[0], "Message 1");  // the waiting event is handled, not dropped
    EXPECT_EQ(host.log[1], "HandleLostDevice");
    EXPECT_EQ(host.log[2], "Sleep 10");
    EXPECT_EQ(host.With("BeginRender").size(), 0u);

    RecordingHost lost;
    FrameLoop lostFrames(lost);
    lost.deviceOk = false;
    EXPECT_EQ(RunMessageLoop(lost, lostFrames, std::nullopt), 0);
    EXPECT_EQ(lost.With("BeginRender").size(), 0u);
    EXPECT_EQ(lost.With("HandleLostDevice").size(), lost.With("Sleep 10").size());
}

// --- frame step on the real world ----------------------------------------------

class FrameStepTest : public ActorWorldTest {
protected:
    void SetUp() override {
        ActorWorldTest::SetUp();
        DebugTextFlag = 0;
    }
    void TearDown() override {
        DebugTextFlag = 0;
        ActorWorldTest::TearDown();
    }
    RecordingHost host;
    FrameLoop frames{host};
};

TEST_F(FrameStepTest, NormalFrameStagesInOrder) {
    uint32_t counter = FrameCounter;
    host.frameTimes = {0.2};
    host.camera[0] = 5.0f;
    frames.FrameStep();
    EXPECT_EQ(FrameCounter, counter + 1);
    EXPECT_FLOAT_EQ(FrameDelta, 0.06f);
    std::vector<std::string> expect = {
        "UpdateInput 0.06 1", "UpdateRootTime", "ProcessWorld", "RunScheduled",
        "Collision 0.06", "Camera", "DrawGroups 0.06", "Listener 5 v -5",
        "BeginRender", "DrawScene 0.06", "Draw2D", "EndRender"};
    EXPECT_EQ(host.log, expect);
    EXPECT_FLOAT_EQ(frames.listenerPrevious[0], 5.0f);
}

// Drawing only the captured frames: a step without a capture runs in full
// with the device's drawing skipped; a step with one draws; off, the loop
// leaves the device alone.
TEST_F(FrameStepTest, DrawingCapturedOnlySkipsTheStepsWithoutACapture) {
    ASSERT_EQ(CreateGraphics(), 1);
    testdisplay::UseFakeAdapter();
    ASSERT_TRUE(GetGraphics()->CreateWindowDevice(nullptr));
    gfx::Device* device = GetD3DDevice();
    ASSERT_NE(device, nullptr);
    frames.SetDrawCapturedOnly(true);
    frames.FrameStep();
    EXPECT_TRUE(device->DrawingSkipped());
    EXPECT_EQ(host.With("Draw2D").size(), 1u) << "the step still runs in full";
    ScriptedInput capture;
    capture.kind = ScriptedInputKind::Capture;
    capture.file = "a.tga";
    frames.CaptureNextFrame({&capture});
    frames.FrameStep();
    EXPECT_FALSE(device->DrawingSkipped());
    EXPECT_EQ(host.With("Capture a.tga").size(), 1u);
    frames.FrameStep();
    EXPECT_TRUE(device->DrawingSkipped());
    device->SetDrawingSkipped(false);
    frames.SetDrawCapturedOnly(false);
    frames.FrameStep();
    EXPECT_FALSE(device->DrawingSkipped());
    testdisplay::RestoreGlAdapter();
}

TEST_F(FrameStepTest, FailedBeginRenderEndsAfterTheWorld) {
    host.beginOk = false;
    frames.FrameStep();
    EXPECT_EQ(host.log.back(), "BeginRender");
    EXPECT_LT(host.Index("DrawGroups 0.01"), host.log.size());
}

TEST_F(FrameStepTest, F12TogglesOncePerPressAndFpsWindow) {
    DebugTextFlag = 1;
    host.f12 = 0x8000;
    for (int i = 0; i < 3; ++i) frames.FrameStep();
    EXPECT_EQ(frames.fpsDisplay, 1u);
    host.f12 = 0;
    frames.FrameStep();
    host.f12 = 1;
    frames.FrameStep();
    EXPECT_EQ(frames.fpsDisplay, 0u);
    host.f12 = 0;
    frames.FrameStep();
    host.f12 = 1;
    host.log.clear();
    frames.FrameStep();
    EXPECT_EQ(host.With("QueueText").front(), "QueueText FPS: 0.00 786 10 12");
    EXPECT_GT(host.Index("QueueText FPS: 0.00 786 10 12"), host.Index("Draw2D"));

    // 0.06 s frames: the window passes 1.0 s on the 17th and keeps 0.02 s.
    FrameLoop fps(host);
    for (int i = 0; i < 17; ++i) { host.frameTimes.push_back(0.06); fps.FrameStep(); }
    EXPECT_NEAR(fps.fpsFigure, 17.0f / 1.02f, 1e-3);
    EXPECT_NEAR(fps.fpsSeconds, 0.02f, 1e-5);
    EXPECT_EQ(fps.fpsFrames, 0.0f);
    // Half speed: the window adds the root record's delta.
    FrameLoop slow(host);
    host.speed = 0.5f;
    for (int i = 0; i < 4; ++i) { host.frameTimes.push_back(0.06); slow.FrameStep(); }
    EXPECT_NEAR(slow.fpsSeconds, 0.12f, 1e-5);
    // Speed 0: the window and the figure stay.
    host.speed = 0.0f;
    float figure = fps.fpsFigure;
    for (int i = 0; i < 20; ++i) { host.frameTimes.push_back(0.06); fps.FrameStep(); }
    EXPECT_NEAR(fps.fpsSeconds, 0.02f, 1e-5);
    EXPECT_EQ(fps.fpsFigure, figure);
}

TEST_F(FrameStepTest, ClippedMarkOnlyWithDebugText) {
    host.frameTimes = {0.1, 0.1};
    frames.FrameStep();
    EXPECT_TRUE(host.With("DrawTextNow").empty());
    DebugTextFlag = 1;
    frames.FrameStep();
    EXPECT_EQ(host.With("DrawTextNow"), std::vector<std::string>{"DrawTextNow * 790 10 0"});
    EXPECT_TRUE(host.With("QueueText").empty());  // FPS display off
    // The FPS display alone, without the debug-text flag, queues nothing.
    DebugTextFlag = 0;
    frames.fpsDisplay = 1;
    frames.FrameStep();
    EXPECT_TRUE(host.With("QueueText").empty());
}

TEST_F(FrameStepTest, FrontEndFrame) {
    Actor* menu = Make("menu");
    system->SetRunMode(1, menu, 0);
    system->frontEndCursor = 0;
    uint32_t counter = FrameCounter;
    host.frameTimes = {0.2, 0.25};
    frames.FrameStep();
    EXPECT_FLOAT_EQ(RootTimeRecord()->delta, 0.2f);
    frames.FrameStep();
    EXPECT_FLOAT_EQ(RootTimeRecord()->delta, 0.033333335f);
    EXPECT_EQ(FrameCounter, counter);
    std::vector<std::string> expect = {"UpdateInput 0.2 0", "ProcessWorld", "BeginRender",
                                       "Draw2D", "EndRender"};
    std::vector<std::string> first(host.log.begin(), host.log.begin() + 5);
    EXPECT_EQ(first, expect);

    // Frozen world: run flags 1 run the normal frame.
    system->SetRunMode(1, menu, 1);
    host.log.clear();
    frames.FrameStep();
    EXPECT_LT(host.Index("DrawScene 0.01"), host.log.size());
    EXPECT_EQ(FrameCounter, counter + 1);

    // No front-end actor: no processing at all.
    system->SetRunMode(1, nullptr, 0);
    host.log.clear();
    frames.FrameStep();
    EXPECT_TRUE(host.With("ProcessWorld").empty());
}

// A clock the test sets, in milliseconds.
struct ManualClock : ClockSource {
    int64_t ms = 0;
    bool HasCounter() override { return true; }
    int64_t Frequency() override { return 1000; }
    int64_t Counter() override { return ms; }
    uint32_t Milliseconds() override { return static_cast<uint32_t>(ms); }
};

TEST_F(FrameStepTest, LeavingTheFrontEndDiscardsTheTimeSpentThere) {
    ManualClock clock;
    DestroyFrameTimer();
    ASSERT_EQ(CreateFrameTimer(&clock), 1);
    FrameTimer* timer = GetFrameTimer();
    timer->Reset();
    Actor* menu = Make("menu");
    clock.ms = 2000;
    system->SetRunMode(1, menu, 0);  // entering keeps the time
    EXPECT_DOUBLE_EQ(timer->GetDeltaTime(), 2.0);
    clock.ms = 9000;
    system->SetRunMode(1, menu, 1);
    clock.ms = 9500;
    system->SetRunMode(0, nullptr, 0);
    clock.ms = 9516;
    EXPECT_NEAR(timer->GetDeltaTime(), 0.016, 1e-9);
    DestroyFrameTimer();
}

TEST_F(FrameStepTest, FrontEndActorDestroyedByTheWorldsProcessing) {
    Actor* menu = Make("menu");
    system->SetRunMode(1, menu, 0);
    host.onProcessWorld = [&] { DeleteActor(menu); };
    frames.FrameStep();  // ASan reports a use of the destroyed actor
    EXPECT_EQ(system->frontEndActor, nullptr);
    EXPECT_EQ(system->runMode, 0u);
    host.onProcessWorld = nullptr;
    host.log.clear();
    frames.FrameStep();
    EXPECT_LT(host.Index("UpdateRootTime"), host.log.size());  // a normal frame
}

}  // namespace
