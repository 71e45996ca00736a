// Side-by-side timing for the engine-core benchmarks: each benchmark
// iteration runs a batch of the measured operation and then the same number
// of the reference operation, so that both see the same machine load. The
// reported time is the measured operation's (manual time); the counters give
// both figures per operation and their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace bench {

template <class Own, class Reference>
void SideBySide(benchmark::State &state, int64_t batch, Own own, Reference reference) {
    using Clock = std::chrono::steady_clock;
    double ownNs = 0.0;
    double referenceNs = 0.0;
    int64_t operations = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int64_t i = 0; i < batch; ++i) {
            own();
        }
        const Clock::time_point middle = Clock::now();
        for (int64_t i = 0; i < batch; ++i) {
            reference();
        }
        const Clock::time_point end = Clock::now();
        const double ownPart = std::chrono::duration<double, std::nano>(middle - start).count();
        ownNs += ownPart;
        referenceNs += std::chrono::duration<double, std::nano>(end - middle).count();
        operations += batch;
        state.SetIterationTime(ownPart * 1e-9);
    }
    if (operations == 0) {
        return;
    }
    state.SetItemsProcessed(operations);
    state.counters["own_ns"] = ownNs / static_cast<double>(operations);
    state.counters["ref_ns"] = referenceNs / static_cast<double>(operations);
    state.counters["ratio"] = referenceNs > 0.0 ? ownNs / referenceNs : 0.0;
}

} // namespace bench
