// Level files from untrusted bytes, opened as the game opens a level ("Open
// File" on "Scenery") in a fresh actor world, which then starts and runs for
// some frames: what the file left waiting (its saved scheduled commands, the
// events its scripts are bound to) comes due as it would in the game. The
// load must leave the system actors alone whether it fails or not (see
// actor_checks.h). A crash, a sanitizer's report, or an input that runs past
// libFuzzer's -timeout (a frame that never ends) is a finding.
//
// The input is served from memory under the level's name; every other file
// is opened for reading only, below a base folder that cannot hold one, so
// that a run writes nothing whatever the level's scripts save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "actor_checks.h"
#include "actors/world/file_actor.h"
#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "read_only_files.h"
#include "scene_run.h"
#include "support/scene_harness.h"

namespace {

// 8 frames of 1/60 s: an entry due within about 0.13 s of the start runs.
constexpr int kFrames = 8;
// The seeds are a few hundred bytes; a level the size of the sample's is
// beyond what a few frames of a fuzz run should take.
constexpr size_t kMaxInput = 16384;
constexpr const char *kLevel = "Level.qva";
// A base folder no file can be read from or made in.
constexpr const char *kNoFolder = "/dev/null/level-file-fuzz";

struct World {
    scene::SceneRunner runner{true};
    ServedFiles files;
    std::string levelPath; // the level's name as "Open File" opens it
};

World *g_world = nullptr;

[[noreturn]] void Fail(const std::string &what) {
    std::fprintf(stderr, "level file fuzz: %s\n", what.c_str());
    std::abort();
}

World &TheWorld() {
    if (g_world != nullptr) {
        return *g_world;
    }
    InstallEngineClasses();
    g_world = new World; // lives as long as the process
    World &world = *g_world;
    if (!world.runner.Ready()) {
        Fail("the scene runner is not ready");
    }
    fuzzscene::FreshWorld(kNoFolder);
    if (!DataFilePath(kLevel, &world.levelPath)) {
        Fail("the level has no path");
    }
    SetCurrentFileSystem(&world.files);
    return world;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    World &world = TheWorld();
    if (size > kMaxInput) {
        return 0;
    }
    fuzzscene::FreshWorld(kNoFolder);
    const fuzzcheck::SystemActors before = fuzzcheck::Capture();
    world.files.Serve(world.levelPath, data, size);
    const bool opened =
        SendCommandArgs(GetActorById(kSceneryRootId), cmd::file_io::OpenFile, kLevel) != 0;
    fuzzcheck::Check(before);
    fuzzcheck::CheckReadEnded();
    if (opened) {
        fuzzscene::StartAndRun(world.runner, kFrames);
    }
    world.files.Serve({}, nullptr, 0);
    return 0;
}
