// Samples 100 key tracks of 300 keys each (rotation, position and scale) at
// 1,000 times spread over the motion, as a skeleton pose does per bone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "base/math.h"
#include "library/key_track.h"

namespace {

constexpr int kTracks = 100;
constexpr int kKeys = 300;
constexpr int kTimes = 1000;
constexpr float kKeySpacing = 1.0f; // key times 0, 1, ..., 299

std::vector<KeyTrack> MakeTracks() {
    std::vector<KeyTrack> tracks(kTracks);
    for (int t = 0; t < kTracks; ++t) {
        KeyTrack& track = tracks[t];
        track.length = kKeys * kKeySpacing;
        for (int k = 0; k < kKeys; ++k) {
            float time = k * kKeySpacing;
            Quaternion q;
            QuaternionRotationYawPitchRoll(&q, 0.01f * static_cast<float>(k + t), 0.2f, 0.0f);
            track.AddRotationKey(time, q);
            track.AddPositionKey(time, {std::sin(0.1f * static_cast<float>(k)), 0.0f,
                                        static_cast<float>(t)});
            track.AddScaleKey(time, {1.0f, 1.0f, 1.0f});
        }
        track.MarkInterpolatedKeys();
    }
    return tracks;
}

std::vector<float> SampleTimes() {
    std::vector<float> times(kTimes);
    for (int i = 0; i < kTimes; ++i) {
        times[i] = static_cast<float>(i) * (kKeys * kKeySpacing) / kTimes;
    }
    return times;
}

void BM_SampleTracks(benchmark::State& state) {
    const std::vector<KeyTrack> tracks = MakeTracks();
    const std::vector<float> times = SampleTimes();
    for (auto _ : state) {
        for (float time : times) {
            for (const KeyTrack& track : tracks) {
                Quaternion q = track.SampleRotation(time);
                Vector3 p = track.SamplePosition(time);
                Vector3 s = track.SampleScale(time);
                benchmark::DoNotOptimize(q);
                benchmark::DoNotOptimize(p);
                benchmark::DoNotOptimize(s);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kTracks * kTimes);
}
BENCHMARK(BM_SampleTracks)->Unit(benchmark::kMillisecond);

} // namespace
