// One frame of guard work for 64 patrolling guards: each guard's Process
// (time, death and catch checks, the patrol tick that faces, drives and
// steps its character along its nodes). The guards stand in an 8 x 8 grid,
// 200 units apart, in one room with a box floor, each with two Path Nodes
// and its own copy of one template character.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "actors/characters/character_actor.h"
#include "actors/characters/guard_actor.h"
#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "actors/world/path_node_actor.h"
#include "app/class_list.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/time_record.h"

namespace {

constexpr int kGuards = 64;

Actor *Make(int32_t classId, const char *name, Actor *parent, const Vector3 &at) {
    Actor *actor = CreateActor(classId, name, nullptr, parent, -1, false);
    if (actor != nullptr) {
        actor->position = at;
        actor->InvalidateTransform();
    }
    return actor;
}

std::vector<GuardActor *> BuildGuards() {
    std::vector<GuardActor *> guards;
    InstallEngineClasses();
    Actor *scenery = InitActorSystem() != 0 ? GetActorById(kSceneryRootId) : nullptr;
    auto *group = scenery == nullptr ? nullptr
                                     : static_cast<DrawGroupActor *>(Make(
                                           kDrawGroupClassId, "Room", scenery, {0, 0, 0}));
    Actor *floor = group == nullptr ? nullptr : Make(0, "Floor", scenery, {0, 0, 0});
    Actor *templ = floor == nullptr ? nullptr
                                    : Make(int32_t(kCharacterClassId), "Template", scenery,
                                           {5000, 30, 5000});
    if (templ == nullptr || Make(0, "Skin", templ, {0, 0, 0}) == nullptr) {
        return guards;
    }
    group->boxMin = {-1000.0f, -100.0f, -1000.0f};
    group->boxMax = {1000.0f, 500.0f, 1000.0f};
    ColObj box(floor);
    box.type = kKindBox;
    box.flags = kColObjActive | kColObjSolid;
    box.boxMin = {-900.0f, -20.0f, -900.0f};
    box.boxMax = {900.0f, 0.0f, 900.0f};
    floor->AddColObj(box);
    floor->drawGroupId = group->drawGroupId;
    UpdateShapeBounds(floor);
    AddActorToDrawGroup(floor, 0);
    for (int i = 0; i < kGuards; ++i) {
        const Vector3 at = {-700.0f + 200.0f * float(i % 8), 0.0f, -700.0f + 200.0f * float(i / 8)};
        auto *guard = dynamic_cast<GuardActor *>(Make(kGuardClassId, "Guard", scenery, at));
        Actor *a = guard == nullptr ? nullptr : Make(kPathNodeClassId, "A", guard, {0, 0, 80});
        if (a == nullptr || Make(kPathNodeClassId, "B", a, {80, 0, 0}) == nullptr) {
            return {};
        }
        guard->guardType = kGuardPath;
        guard->characterTemplateId = templ->actorId;
        if (guard->HandleCommand(cmd::base::Precalculate, ParamBlock()) == 0) {
            return {};
        }
        Actor *body = guard->character.target;
        body->drawGroupId = group->drawGroupId;
        AddActorToDrawGroup(body, 0);
        guards.push_back(guard);
    }
    return guards;
}

void BM_GuardFrame(benchmark::State &state) {
    // The world is made on the first run only.
    static const std::vector<GuardActor *> guards = BuildGuards();
    if (guards.size() != static_cast<size_t>(kGuards)) {
        state.SkipWithError("the guards could not be placed");
        return;
    }
    FrameDelta = 1.0f / 60.0f;
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(nullptr, RootTimeRecord());
        for (GuardActor *guard : guards) {
            guard->Process();
        }
    }
    state.counters["guards"] = kGuards;
    state.counters["patrolling"] = static_cast<double>(
        std::count_if(guards.begin(), guards.end(), [](const GuardActor *g) {
            return g->guardState == kGuardPatrol || g->guardState == kGuardPauseInPatrol;
        }));
}
BENCHMARK(BM_GuardFrame)->Unit(benchmark::kMicrosecond);

} // namespace
