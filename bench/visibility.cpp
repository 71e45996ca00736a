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

namespace {

constexpr int kGroups = 300;
constexpr int kMembersPerGroup = 10;

bool BuildChain() {
    InstallEngineClasses();
    if (InitActorSystem() == 0) {
        return false;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    std::vector<DrawGroupActor *> groups;
    for (int i = 0; i < kGroups; ++i) {
        auto *group = static_cast<DrawGroupActor *>(
            CreateActor(kDrawGroupClassId, "G" + std::to_string(i), nullptr, scenery, -1, false));
        if (group == nullptr) {
            return false;
        }
        const float x = 100.0f * static_cast<float>(i);
        group->boxMin = {x - 50.0f, -50.0f, -50.0f};
        group->boxMax = {x + 50.0f, 50.0f, 50.0f};
        groups.push_back(group);
    }
    for (int i = 0; i + 1 < kGroups; ++i) {
        auto *link = static_cast<DrawGroupConnectorActor *>(CreateActor(
            kDrawGroupConnectorClassId, "L" + std::to_string(i), nullptr, scenery, -1, false));
        if (link == nullptr) {
            return false;
        }
        link->groupIds = {static_cast<uint32_t>(groups[i]->drawGroupId),
                          static_cast<uint32_t>(groups[i + 1]->drawGroupId)};
        link->isOpen = 1;
        for (DrawGroupActor *group : {groups[i], groups[i + 1]}) {
            SendCommandArgs(group, cmd::draw_group::AddDrawgroupConnector,
                            static_cast<uint32_t>(link->actorId));
        }
    }
    for (DrawGroupActor *group : groups) {
        for (int m = 0; m < kMembersPerGroup; ++m) {
            Actor *member = CreateActor(0, "M", nullptr, scenery, -1, false);
            if (member == nullptr) {
                return false;
            }
            member->flags &= ~kActorStatic;
            member->drawGroupId = group->drawGroupId;
            AddActorToDrawGroup(member, 0);
        }
    }
    return true;
}

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
