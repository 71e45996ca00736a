// Draw instances at 1k, 10k and 100k: queueing them into the sorted bucket
// and the pass that takes them out again, and destroying every instance of a
// level. No device: the pass skips the bucket's light, transform, material
// and draw steps, so that only the bucket bookkeeping is measured.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/math.h"
#include "library/library_item.h"
#include "library/render/render_front_end.h"
#include "library/resource_library.h"

namespace {

// The bucket that sorts far to near.
constexpr uint32_t kSortedBucket = 7;

// Seconds per item of the row, beside the time per iteration.
void ReportTimePerItem(benchmark::State &state, int64_t items) {
    state.counters["per_item"] = benchmark::Counter(
        double(items), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// n instances of one mesh in the sorted bucket, straight ahead of the camera
// at depths spread over the view.
struct DrawRow {
    ResourceLibrary library;
    MeshItem mesh;
    MaterialItem material;
    std::vector<Matrix> worlds;
    std::vector<DrawInstance *> instances;

    explicit DrawRow(size_t n) : worlds(n) {
        library.SetUpDrawBuckets();
        library.SetBucketSkipLights(kSortedBucket, 1);
        library.SetBucketSkipTransform(kSortedBucket, 1);
        library.SetBucketSkipMaterial(kSortedBucket, 1);
        library.SetBucketSkipDraw(kSortedBucket, 1);
        library.SetFarClip(35000.0f);
        library.SetNearClip(1.5f);
        library.SetCameraTransform({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
        mesh.loaded = 1;
        SubsetSettings settings;
        settings.sphereRadius = 1.0f;
        mesh.subsetSettings.push_back(settings);
        material.bucketMask = 1u << kSortedBucket;
        material.fog = 0;
        uint32_t seed = 12345u;
        for (Matrix &world : worlds) {
            seed = seed * 1664525u + 1013904223u;
            const float depth = 10.0f + float(seed >> 8) / float(1u << 24) * 30000.0f;
            MatrixTranslation(&world, 0.0f, 0.0f, depth);
        }
    }
    DrawRow(const DrawRow &) = delete;
    DrawRow &operator=(const DrawRow &) = delete;

    void CreateAll() {
        instances.clear();
        for (size_t i = 0; i < worlds.size(); ++i) {
            instances.push_back(
                library.CreateDrawInstance(&mesh, 0, &material, &worlds[i], uint32_t(i), 0.0f));
        }
    }
    void DestroyAll() {
        for (DrawInstance *instance : instances) {
            library.DestroyDrawInstance(instance);
        }
        instances.clear();
    }
    ~DrawRow() { DestroyAll(); }
};

void BM_DrawBucketQueue(benchmark::State &state) {
    DrawRow row(size_t(state.range(0)));
    row.CreateAll();
    for (auto _ : state) {
        for (DrawInstance *instance : row.instances) {
            row.library.QueueDrawInstance(instance, 0.0f, 1.0f);
        }
        // Takes every instance out of the bucket, in its order.
        row.library.DrawScene();
    }
    ReportTimePerItem(state, state.range(0));
}
BENCHMARK(BM_DrawBucketQueue)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DestroyEveryDrawInstance(benchmark::State &state) {
    DrawRow row(size_t(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        row.CreateAll();
        state.ResumeTiming();
        row.DestroyAll();
    }
    ReportTimePerItem(state, state.range(0));
}
BENCHMARK(BM_DestroyEveryDrawInstance)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

} // namespace
