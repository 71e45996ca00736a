// Actor rows: making 1k / 10k / 100k actors with automatic ids (-1) under
// "Scenery", and unloading a level of 1k / 10k / 100k actors that all hang
// directly under "Scenery" ("Unload File"). Each iteration starts from a fresh
// actor world, made outside the timing; the time reported is the timed part
// alone, with its time per actor.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "app/class_list.h"
#include "core/actors/actor.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kFirstId = 10000;

// A fresh world with the engine's classes; null when it cannot be made.
Actor *FreshScenery() {
    ResetActorWorldForTests();
    InstallEngineClasses();
    if (InitActorSystem() == 0) {
        return nullptr;
    }
    return GetActorById(static_cast<uint32_t>(kSceneryRootId));
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void PerActor(benchmark::State &state, double seconds, int actors) {
    const double items = static_cast<double>(state.iterations()) * actors;
    state.counters["ns_per_actor"] = items > 0.0 ? seconds * 1e9 / items : 0.0;
}

void BM_ScalingCreateAutomaticIds(benchmark::State &state) {
    const auto actors = static_cast<int>(state.range(0));
    double total = 0.0;
    for (auto _ : state) {
        Actor *scenery = FreshScenery();
        if (scenery == nullptr) {
            state.SkipWithError("no actor world");
            return;
        }
        bool made = true;
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < actors; ++i) {
            made = CreateActor(0, "A", nullptr, scenery, -1, true) != nullptr && made;
        }
        const double seconds = Seconds(start, Clock::now());
        if (!made || scenery->children.size() != static_cast<size_t>(actors)) {
            state.SkipWithError("the actors were not all made");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    PerActor(state, total, actors);
    ResetActorWorldForTests();
}
BENCHMARK(BM_ScalingCreateAutomaticIds)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ScalingUnloadFlatLevel(benchmark::State &state) {
    const auto actors = static_cast<int>(state.range(0));
    double total = 0.0;
    for (auto _ : state) {
        Actor *scenery = FreshScenery();
        if (scenery == nullptr) {
            state.SkipWithError("no actor world");
            return;
        }
        for (int i = 0; i < actors; ++i) {
            if (CreateActor(0, "A" + std::to_string(i), nullptr, scenery, kFirstId + i, true) ==
                nullptr) {
                state.SkipWithError("the level could not be made");
                return;
            }
        }
        const Clock::time_point start = Clock::now();
        SendCommand(static_cast<uint32_t>(kSceneryRootId), cmd::file_io::UnloadFile, ParamBlock());
        const double seconds = Seconds(start, Clock::now());
        if (!scenery->children.empty() || GetActorById(kFirstId) != nullptr) {
            state.SkipWithError("the level was not unloaded");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    PerActor(state, total, actors);
    ResetActorWorldForTests();
}
BENCHMARK(BM_ScalingUnloadFlatLevel)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
