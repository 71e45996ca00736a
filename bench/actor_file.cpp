// Loading an actor file of 10,000 actors with "Open File" into "Scenery",
// side by side with reading the same file's bytes and computing their CRC-32
// (zlib). The file is written by the engine's own writer: a tree no deeper
// than 8 under ten top actors, every actor named and placed, a tenth of them
// with a script.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_file.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/script/script_compiler.h"
#include "side_by_side.h"

namespace {

namespace fs = std::filesystem;

constexpr int kActors = 10000;
constexpr int kTopActors = 10;
constexpr int kBranching = 4;
constexpr int kMaxDepth = 8;
constexpr int32_t kFirstId = 10000;
constexpr const char *kFileName = "bench.qva";

struct World {
    fs::path folder;
    std::string filePath;
    Actor *scenery = nullptr;
    bool ok = false;

    World() {
        InstallEngineClasses();
        if (InitActorSystem() == 0) {
            std::fprintf(stderr, "bench_actor_file: no actor system\n");
            return;
        }
        char pattern[] = "/tmp/bench_actor_file.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::fprintf(stderr, "bench_actor_file: no scratch folder\n");
            return;
        }
        folder = pattern;
        std::error_code error;
        fs::create_directories(folder / "Data", error);
        GetActorSystem()->baseFolder = folder.string();
        filePath = (folder / "Data" / kFileName).string();
        scenery = GetActorById(static_cast<uint32_t>(kSceneryRootId));
        ok = scenery != nullptr && Write();
    }
    ~World() {
        std::error_code error;
        if (!folder.empty()) {
            fs::remove_all(folder, error);
        }
    }

    // The tree: actors 0-9 under "Scenery", actor i >= 10 under actor
    // (i - 10) / 4, which keeps every branch within the depth limit.
    bool Write() {
        std::vector<Actor *> made;
        std::vector<int> depth;
        for (int i = 0; i < kActors; ++i) {
            Actor *parent = scenery;
            int level = 1;
            if (i >= kTopActors) {
                const int p = (i - kTopActors) / kBranching;
                parent = made[static_cast<size_t>(p)];
                level = depth[static_cast<size_t>(p)] + 1;
            }
            if (level > kMaxDepth) {
                std::fprintf(stderr, "bench_actor_file: the tree is too deep\n");
                return false;
            }
            Actor *actor = CreateActor(0, "Actor" + std::to_string(i), nullptr, parent,
                                       kFirstId + i, true);
            if (actor == nullptr) {
                std::fprintf(stderr, "bench_actor_file: actor %d could not be made\n", i);
                return false;
            }
            const float f = static_cast<float>(i);
            actor->position = {f, f * 0.5f, -f};
            actor->rotation = {0.0f, 0.38268343f, 0.0f, 0.9238795f};
            actor->scale = {1.0f, 2.0f, 1.0f};
            actor->InvalidateTransform();
            if (i % 10 == 0 && !AddScript(actor)) {
                return false;
            }
            made.push_back(actor);
            depth.push_back(level);
        }
        if (SaveActors(filePath, kFirstId, kFirstId + kActors, kSerializeSave) == 0) {
            std::fprintf(stderr, "bench_actor_file: %s\n", GetActorSystem()->errorText);
            return false;
        }
        return true;
    }

    static bool AddScript(Actor *actor) {
        auto record = std::make_unique<ScriptRecord>();
        record->name = "start";
        record->source = "this.Set_Position((1,2,3)); this.Set_Enabled(1);";
        record->owner = actor;
        std::string error;
        size_t position = 0;
        if (CompileScript(record.get(), actor, &error, &position) == 0) {
            std::fprintf(stderr, "bench_actor_file: %s at %zu\n", error.c_str(), position);
            return false;
        }
        actor->scripts.push_back(std::move(record));
        return true;
    }

    bool Open() { return SendCommandArgs(scenery, cmd::file_io::OpenFile, kFileName) != 0; }

    // The file's bytes read in one piece, then their CRC-32.
    uint32_t ReadAndChecksum() const {
        std::FILE *file = std::fopen(filePath.c_str(), "rb");
        if (file == nullptr) {
            return 0;
        }
        std::vector<unsigned char> bytes;
        if (std::fseek(file, 0, SEEK_END) == 0) {
            const long size = std::ftell(file);
            if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
                bytes.resize(static_cast<size_t>(size));
                bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
            }
        }
        std::fclose(file);
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, bytes.data(), static_cast<uInt>(bytes.size()));
        return static_cast<uint32_t>(crc);
    }
};

World &TheWorld() {
    static World world;
    return world;
}

void BM_OpenFile_vs_ReadAndCrc32(benchmark::State &state) {
    World &world = TheWorld();
    if (!world.ok) {
        state.SkipWithError("the actor file could not be written");
        return;
    }
    bool opened = true;
    bench::SideBySide(
        state, 1, [&] { opened = world.Open() && opened; },
        [&] { benchmark::DoNotOptimize(world.ReadAndChecksum()); });
    if (!opened) {
        state.SkipWithError(GetActorSystem()->errorText);
        return;
    }
    if (world.scenery->children.size() != kTopActors || GetActorById(kFirstId + kActors - 1) ==
                                                             nullptr) {
        state.SkipWithError("the file did not load its actors");
        return;
    }
    const double seconds = state.counters["own_ns"] * 1e-9;
    state.counters["actors_per_s"] = seconds > 0.0 ? kActors / seconds : 0.0;
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(world.filePath));
}
BENCHMARK(BM_OpenFile_vs_ReadAndCrc32)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
