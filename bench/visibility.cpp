// The per-frame visibility walk over 300 draw groups in a chain, each joined
// to the next by an open connector, with 3,000 listed members (10 a group):
// every group is reached, drawn, and its members updated, then the game
// actor. The first walk (start events, resource loading) runs before the
// timing.
#include <benchmark/benchmark.h>

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
#include "scene_parts.h"

namespace {

constexpr int kGroups = 300;
constexpr int kMembersPerGroup = 10;

bool BuildChain() { return benchscene::GroupChain(kGroups, kMembersPerGroup); }

void BM_VisibilityWalk(benchmark::State &state) {
    if (!BuildChain()) {
        state.SkipWithError("the chain could not be built");
        return;
    }
    ActorSystem *system = GetActorSystem();
    // Frame 1 starts every group and asks for its resources; frame 2's pump
    // loads them. The frames timed are the steady ones that follow.
    for (int frame = 0; frame < 2; ++frame) {
        FrameDelta = 1.0f / 60.0f;
        ++FrameCounter;
        UpdateTimeRecord(system, RootTimeRecord());
        RunScheduledCommands(system);
        DrawVisibleGroups(system, FrameDelta);
    }
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(system, RootTimeRecord());
        benchmark::DoNotOptimize(DrawVisibleGroups(system, FrameDelta));
    }
    state.counters["groups"] = static_cast<double>(system->visibilityCounters[0]) /
                               static_cast<double>(state.iterations() + 2);
    ResetActorWorldForTests();
}
BENCHMARK(BM_VisibilityWalk)->Unit(benchmark::kMicrosecond);

} // namespace
