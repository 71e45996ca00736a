// "Open File" of an actor file of 1k, 10k and 100k actors into "Scenery",
// side by side with reading the same file's bytes and computing their CRC-32
// (zlib). The file is written by the engine's own writer: a tree no deeper
// than 8 under ten top actors, every actor named and placed, a tenth of them
// with a script. Each size makes its world anew and takes it down again.
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
#include "../side_by_side.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTopActors = 10;
constexpr int kBranching = 4;
constexpr int32_t kFirstId = 10000;
constexpr const char *kFileName = "scaling.qva";

bool AddScript(Actor *actor) {
    auto record = std::make_unique<ScriptRecord>();
    record->name = "start";
    record->source = "this.Set_Position((1,2,3)); this.Set_Enabled(1);";
    record->owner = actor;
    std::string error;
    size_t position = 0;
    if (CompileScript(record.get(), actor, &error, &position) == 0) {
        return false;
    }
    actor->scripts.push_back(std::move(record));
    return true;
}

class FileRow {
  public:
    explicit FileRow(int actors) : actors_(actors) {
        ResetActorWorldForTests();
        InstallEngineClasses();
        if (InitActorSystem() == 0) {
            return;
        }
        char pattern[] = "/tmp/bench_scaling_file.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        folder_ = pattern;
        std::error_code error;
        fs::create_directories(folder_ / "Data", error);
        GetActorSystem()->baseFolder = folder_.string();
        path_ = (folder_ / "Data" / kFileName).string();
        scenery_ = GetActorById(static_cast<uint32_t>(kSceneryRootId));
        ok_ = scenery_ != nullptr && Write() && ReadBytes();
    }
    ~FileRow() {
        std::error_code error;
        if (!folder_.empty()) {
            fs::remove_all(folder_, error);
        }
        ResetActorWorldForTests();
    }
    FileRow(const FileRow &) = delete;
    FileRow &operator=(const FileRow &) = delete;

    bool Ok() const { return ok_; }
    bool Open() { return SendCommandArgs(scenery_, cmd::file_io::OpenFile, kFileName) != 0; }
    bool Loaded() const {
        return scenery_->children.size() == kTopActors &&
               GetActorById(static_cast<uint32_t>(kFirstId + actors_ - 1)) != nullptr;
    }

    // The file's bytes read in one piece, then their CRC-32.
    uint32_t ReadAndChecksum() {
        if (!ReadBytes()) {
            return 0;
        }
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, bytes_.data(), static_cast<uInt>(bytes_.size()));
        return static_cast<uint32_t>(crc);
    }

  private:
    // Actor i >= 10 hangs under actor (i - 10) / 4.
    bool Write() {
        std::vector<Actor *> made;
        for (int i = 0; i < actors_; ++i) {
            Actor *parent = i < kTopActors ? scenery_ : made[static_cast<size_t>((i - kTopActors) /
                                                                                 kBranching)];
            Actor *actor = CreateActor(0, "Actor" + std::to_string(i), nullptr, parent,
                                       kFirstId + i, true);
            if (actor == nullptr) {
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
        }
        return SaveActors(path_, kFirstId, kFirstId + actors_, kSerializeSave) != 0;
    }

    bool ReadBytes() {
        std::FILE *file = std::fopen(path_.c_str(), "rb");
        if (file == nullptr) {
            return false;
        }
        bool read = false;
        if (std::fseek(file, 0, SEEK_END) == 0) {
            const long size = std::ftell(file);
            if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
                bytes_.resize(static_cast<size_t>(size));
                read = std::fread(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
            }
        }
        std::fclose(file);
        return read;
    }

    int actors_;
    fs::path folder_;
    std::string path_;
    Actor *scenery_ = nullptr;
    std::vector<unsigned char> bytes_;
    bool ok_ = false;
};

void BM_Scaling_OpenFile_vs_ReadAndCrc32(benchmark::State &state) {
    const auto actors = static_cast<int>(state.range(0));
    FileRow row(actors);
    if (!row.Ok()) {
        state.SkipWithError("the actor file could not be written");
        return;
    }
    bool opened = true;
    bench::SideBySide(
        state, 1, [&] { opened = row.Open() && opened; },
        [&] { benchmark::DoNotOptimize(row.ReadAndChecksum()); });
    if (!opened || !row.Loaded()) {
        state.SkipWithError("the file did not load its actors");
        return;
    }
    // Time per actor: the measured operation's, and the reference's.
    state.counters["own_ns_per_item"] = state.counters["own_ns"] / actors;
    state.counters["ref_ns_per_item"] = state.counters["ref_ns"] / actors;
}
BENCHMARK(BM_Scaling_OpenFile_vs_ReadAndCrc32)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
