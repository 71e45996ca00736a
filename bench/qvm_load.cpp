// Loading a 50,000-vertex ".qvm" mesh from memory: the file read into
// system-memory buffers, the checks of every index, and the bounds.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "library/library_item.h"
#include "library/mesh.h"
#include "library/qvm_writer.h"
#include "library/resource_library.h"
#include "platform/os/gfx/recording_device.h"

namespace {

constexpr uint32_t kVertices = 50000;

class QuietDevice : public gfx::RecordingDevice {
public:
    QuietDevice() : gfx::RecordingDevice(1, 1) {}

protected:
    void Record(const std::string&) override {}
};

// A grid of 250 x 200 vertices, two triangles per cell.
std::vector<uint8_t> GridFile(uint32_t version, uint32_t kind) {
    constexpr uint32_t kWide = 250;
    constexpr uint32_t kHigh = kVertices / kWide;
    QvmWriter w(version, kind);
    if (kind == 1) {
        w.bones = {{"Root", kQvmNoParent, kBoneIdentity}, {"Child", 0, kBoneIdentity}};
    }
    QvmSubsetRecord s;
    s.vertexCount = kVertices;
    s.vertices.reserve(size_t{kVertices} * 32);
    for (uint32_t y = 0; y < kHigh; ++y) {
        for (uint32_t x = 0; x < kWide; ++x) {
            QvmWriter::AppendVertex(s.vertices, 32, {float(x), 0.0f, float(y)}, {0, 1, 0},
                                    x / float(kWide), y / float(kHigh));
            if (kind == 1) {
                SkinVertex k{};
                k.position = {float(x), 0.0f, float(y)};
                k.influenceCount = 2;
                k.weights[0] = k.weights[1] = 0.5f;
                k.bones[1] = 1;
                s.skin.push_back(k);
            }
        }
    }
    for (uint32_t y = 0; y + 1 < kHigh; ++y) {
        for (uint32_t x = 0; x + 1 < kWide; ++x) {
            const auto i = static_cast<uint16_t>(y * kWide + x);
            const auto right = static_cast<uint16_t>(i + 1);
            const auto below = static_cast<uint16_t>(i + kWide);
            const auto across = static_cast<uint16_t>(below + 1);
            s.indices.insert(s.indices.end(), {i, below, right, right, below, across});
        }
    }
    w.subsets.push_back(std::move(s));
    return w.WriteToMemory();
}

void LoadGrid(benchmark::State& state, uint32_t kind) {
    const std::vector<uint8_t> bytes = GridFile(2, kind);
    ResourceLibrary library;
    QuietDevice device;
    for (auto _ : state) {
        MeshItem item;
        Archive archive;
        archive.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
        if (ReadQvmMeshFrom(library, item, archive, "grid.qvm", &device) != 1) {
            state.SkipWithError(library.GetLastError());
            break;
        }
        benchmark::DoNotOptimize(item.subsets[0].outerRadius);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_LoadQvm50kVertices(benchmark::State& state) { LoadGrid(state, 0); }
void BM_LoadSkinnedQvm50kVertices(benchmark::State& state) { LoadGrid(state, 1); }

BENCHMARK(BM_LoadQvm50kVertices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSkinnedQvm50kVertices)->Unit(benchmark::kMillisecond);

} // namespace
