// Draw-group rows over a chain of 30 / 300 / 3,000 draw groups, each joined
// to the next by an open connector and listing ten members, the camera in the
// first: the first frame after the level is made (every group drawn for the
// first time, so each asks for its resources and starts drawing), and the
// steady visibility walk of the frames after it. Both report their time per
// group.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_group_connector_actor.h"
#include "actors/world/draw_groups.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/scheduled_command.h"
#include "core/actors/time_record.h"
#include "../scene_parts.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMembersPerGroup = 10;

// A fresh world holding the chain; false when it could not be made.
bool BuildChain(int count) {
    ResetActorWorldForTests();
    return benchscene::GroupChain(count, kMembersPerGroup);
}

// One frame: the clock, the scheduled commands that are due, the walk. Kept
// out of line, so that a profile tells the warm-up frames from the walks.
[[gnu::noinline]] int Frame(ActorSystem *system) {
    FrameDelta = 1.0f / 60.0f;
    ++FrameCounter;
    UpdateTimeRecord(system, RootTimeRecord());
    RunScheduledCommands(system);
    return DrawVisibleGroups(system, FrameDelta);
}

void PerGroup(benchmark::State &state, double seconds, int groups) {
    const double items = static_cast<double>(state.iterations()) * groups;
    state.counters["ns_per_group"] = items > 0.0 ? seconds * 1e9 / items : 0.0;
}

void BM_ScalingFirstFrameAfterLoad(benchmark::State &state) {
    const auto count = static_cast<int>(state.range(0));
    double total = 0.0;
    for (auto _ : state) {
        if (!BuildChain(count)) {
            state.SkipWithError("the chain could not be built");
            return;
        }
        ActorSystem *system = GetActorSystem();
        const uint32_t drawnBefore = system->visibilityCounters[0];
        const Clock::time_point start = Clock::now();
        const int walked = Frame(system);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (walked != 1 ||
            system->visibilityCounters[0] - drawnBefore != static_cast<uint32_t>(count)) {
            state.SkipWithError("the first frame did not reach every group");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    PerGroup(state, total, count);
    ResetActorWorldForTests();
}
BENCHMARK(BM_ScalingFirstFrameAfterLoad)
    ->Arg(30)
    ->Arg(300)
    ->Arg(3000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ScalingVisibilityWalk(benchmark::State &state) {
    const auto count = static_cast<int>(state.range(0));
    if (!BuildChain(count)) {
        state.SkipWithError("the chain could not be built");
        return;
    }
    ActorSystem *system = GetActorSystem();
    // Frame 1 starts every group and asks for its resources; frame 2's pump
    // loads them. The frames timed are the steady ones that follow.
    Frame(system);
    Frame(system);
    const uint32_t drawnBefore = system->visibilityCounters[0];
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(system, RootTimeRecord());
        benchmark::DoNotOptimize(DrawVisibleGroups(system, FrameDelta));
    }
    const double walks = static_cast<double>(state.iterations());
    state.counters["groups"] =
        walks > 0.0 ? (system->visibilityCounters[0] - drawnBefore) / walks : 0.0;
    state.counters["per_group"] = benchmark::Counter(static_cast<double>(count),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
    ResetActorWorldForTests();
}
BENCHMARK(BM_ScalingVisibilityWalk)->Arg(30)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);

} // namespace
