// One normal frame of the sample game's mission level: the globals and the
// level that the play folder starts, loaded as the engine's start-up loads
// them, with every actor class installed, on the recording device (the draw
// calls are recorded, not drawn) at a fixed 1/60 s a frame. The world runs a
// second before timing starts, so that the player's copy stands in the level
// and the scripts, motions and textures in view are loaded.
#include <benchmark/benchmark.h>

#include <string>

#include "app/class_list.h"
#include "base/random.h"
#include "core/actors/actor_system.h"
#include "core/actors/engine_host.h"
#include "core/actors/engine_startup.h"
#include "core/actors/time_record.h"
#include "library/resource_library.h"
#include "platform/graphics.h"
#include "platform/os/gfx/recording_device.h"
#include "support/fake_display.h"

namespace {

// The mission's scene and its globals, in the sample's Data folder.
constexpr struct {
    const char *level;
    const char *globals;
} kMissionFiles = {"Mission_01_Release.qva", "Globals1_XBox.qva"};

constexpr double kFrameTime = 1.0 / 60.0;
constexpr int kWarmUpFrames = 60;

// The engine's services without input or sound.
struct BenchHost : EngineHost {
    void UpdateInput(float, int) override {}
    int DebugKeyState(uint32_t) override { return 0; }
    void SetListener(const float *, const float *, const float *, const float *) override {}
};

struct SampleWorld {
    BenchHost host;
    FrameLoop frames{host};
    gfx::RecordingDevice *device = nullptr;
    std::string error;

    // As the engine ends: the tree lives on, the actors outside it go.
    ~SampleWorld() { DeleteDetachedActors(); }

    // Start-up as the engine runs it for the play folder; false with the
    // reason in `error` when a step fails.
    bool Start() {
        const std::string base = std::string(ENGINE_SAMPLE_DIR) + "/game";
        InstallEngineClasses();
        SeedRand(1);
        if (!host.CreateEngineServices()) {
            error = "library: " + host.LibraryErrorText();
            return false;
        }
        testdisplay::UseFakeAdapter({}, 800, 600);
        if (!GetGraphics()->CreateWindowDevice(nullptr)) {
            error = "display: " + host.GraphicsErrorText();
            return false;
        }
        device = dynamic_cast<gfx::RecordingDevice *>(GetD3DDevice());
        host.SetBaseFolder(base);
        host.LoadTextTable(base + "\\Data\\text.txt");
        if (!host.InitActorSystem(base, &error)) {
            return false;
        }
        if (!host.SerializeLibrary()) {
            error = "library: " + host.LibraryErrorText();
            return false;
        }
        host.SetFarClip(35000.0f);
        host.SetNearClip(1.5f);
        if (!host.OpenActorFile(kGlobalRootId, kMissionFiles.globals, &error) ||
            !host.OpenActorFile(kSceneryRootId, kMissionFiles.level, &error)) {
            return false;
        }
        host.SetGlobalTime(0.0f);
        host.PrecalculateAll();
        host.StartGame();
        frames.SetFixedFrameTime(kFrameTime);
        for (int i = 0; i < kWarmUpFrames; ++i) {
            frames.FrameStep();
        }
        return device != nullptr;
    }
};

void BM_SampleMissionFrame(benchmark::State &state) {
    // The world is made on the first run only and lives on from run to run.
    static SampleWorld world;
    static const bool started = world.Start();
    if (!started) {
        state.SkipWithError(world.error.empty() ? "no recording device" : world.error.c_str());
        return;
    }
    const uint32_t firstFrame = FrameCounter;
    size_t draws = 0;
    for (auto _ : state) {
        world.device->ClearDraws();
        world.device->ClearLog();
        world.frames.FrameStep();
        draws = world.device->GetDraws().size();
    }
    state.counters["draws"] = static_cast<double>(draws);
    // 1 when every frame was a normal one (the front-end frame counts none).
    state.counters["normal"] = static_cast<double>(FrameCounter - firstFrame) /
                               static_cast<double>(state.iterations());
}
BENCHMARK(BM_SampleMissionFrame)->Unit(benchmark::kMillisecond);

} // namespace
