// Collision rows: the collision pass over 100 / 1,000 / 10,000 moving
// spheres (radius 10, no gravity) at one density, a plain sort-and-sweep on x
// of the same spheres for comparison, the pair walk over 1,000 / 3,000
// spheres crowded at one point beside the all-pairs walk, and one
// think of 10 / 100 / 1,000 AI Player 2 brains with their sight rays, in
// squads of ten each fighting its own target, or in one crowd. Every row
// builds its own world and reports its time per sphere or per brain.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "actors/characters/ai_player2_actor.h"
#include "actors/characters/character_actor.h"
#include "actors/world/collision.h"
#include "actors/world/collision_grid.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "app/class_list.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/command_ids.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/time_record.h"
#include "../scene_parts.h"

namespace {

constexpr float kRadius = 10.0f;

// A fresh actor world with the engine's classes and one draw group.
DrawGroupActor *FreshRoom(const Vector3 &min, const Vector3 &max) {
    ResetActorWorldForTests();
    InstallEngineClasses();
    if (InitActorSystem() == 0) {
        return nullptr;
    }
    auto *group = static_cast<DrawGroupActor *>(
        CreateActor(kDrawGroupClassId, "Room", nullptr, GetActorById(kSceneryRootId), -1, false));
    if (group != nullptr) {
        group->boxMin = min;
        group->boxMax = max;
    }
    return group;
}

float Coordinate() { return static_cast<float>(Rand() % 2000) - 1000.0f; }

// Where the spheres of a row start and how they move. A level ten times
// bigger holds ten times the spheres: the cube they are spread through grows
// with the count, 2,000 units on a side for 1,000 spheres, so that the
// density (and the number of neighbours a sphere has) stays the same at
// every size; the speeds (up to 50 units a second on each axis) do not grow.
struct SpherePlace {
    Vector3 at;
    Vector3 velocity;
};
std::vector<SpherePlace> PlaceSpheres(int count) {
    const float side = std::cbrt(static_cast<float>(count) / 1000.0f);
    std::vector<SpherePlace> places(static_cast<size_t>(count));
    SeedRand(1);
    for (SpherePlace &place : places) {
        place.at = {Coordinate() * side, Coordinate() * side, Coordinate() * side};
        place.velocity = {Coordinate() * 0.05f, Coordinate() * 0.05f, Coordinate() * 0.05f};
    }
    return places;
}

// The spheres of the collision bench, `count` of them; false when they could
// not all be placed.
bool BuildSpheres(int count) {
    const float half = 2000.0f * std::cbrt(static_cast<float>(count) / 1000.0f);
    DrawGroupActor *group = FreshRoom({-half, -half, -half}, {half, half, half});
    if (group == nullptr) {
        return false;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    for (const SpherePlace &place : PlaceSpheres(count)) {
        Actor *actor = CreateActor(0, "S", nullptr, scenery, -1, false);
        if (actor == nullptr) {
            return false;
        }
        actor->position = place.at;
        actor->deltaPosition = place.velocity;
        auto object = std::make_unique<ColObj>(actor);
        object->type = kKindSphere;
        object->flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjDynamic |
                        kColObjSolid;
        object->boxMin = {0.0f, 0.0f, 0.0f};
        object->boxMax = {kRadius, 0.0f, 0.0f};
        actor->colObjs.push_back(std::move(object));
        actor->simParams = std::make_unique<SimParams>();
        actor->simParams->SetFloat(9, 0.0f); // no gravity
        actor->flags |= kActorSimulated;
        actor->flags &= ~kActorStatic;
        actor->drawGroupId = group->drawGroupId;
        AddActorToDrawGroup(actor, 0);
    }
    return ActiveColliderList.Count() == static_cast<size_t>(count);
}

void PerItem(benchmark::State &state, const char *name, int64_t count) {
    state.counters[name] = benchmark::Counter(static_cast<double>(count),
                                              benchmark::Counter::kIsIterationInvariantRate |
                                                  benchmark::Counter::kInvert);
}

void BM_ScalingCollisionPass(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    if (!BuildSpheres(count)) {
        state.SkipWithError("the spheres could not be placed");
        return;
    }
    ActorSystem *system = GetActorSystem();
    RootTimeRecord()->delta = 1.0f / 60.0f;
    for (auto _ : state) {
        RunCollisionPass(system, 1.0f / 60.0f);
    }
    PerItem(state, "per sphere", count);
    ResetActorWorldForTests();
}
BENCHMARK(BM_ScalingCollisionPass)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The plain sort-and-sweep on x of the same spheres: the pairs whose boxes
// overlap, from boxes sorted by their low x.
void BM_ScalingSortAndSweep(benchmark::State &state) {
    const int count = static_cast<int>(state.range(0));
    struct Box {
        Vector3 lo;
        Vector3 hi;
    };
    std::vector<Box> spheres;
    for (const SpherePlace &place : PlaceSpheres(count)) {
        const Vector3 &c = place.at;
        spheres.push_back({{c.x - kRadius, c.y - kRadius, c.z - kRadius},
                           {c.x + kRadius, c.y + kRadius, c.z + kRadius}});
    }
    std::vector<Box> sorted;
    for (auto _ : state) {
        sorted = spheres;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Box &a, const Box &b) { return a.lo.x < b.lo.x; });
        int pairs = 0;
        for (size_t i = 0; i < sorted.size(); ++i) {
            for (size_t j = i + 1; j < sorted.size() && sorted[j].lo.x <= sorted[i].hi.x; ++j) {
                if (sorted[i].lo.y <= sorted[j].hi.y && sorted[j].lo.y <= sorted[i].hi.y &&
                    sorted[i].lo.z <= sorted[j].hi.z && sorted[j].lo.z <= sorted[i].hi.z) {
                    ++pairs;
                }
            }
        }
        benchmark::DoNotOptimize(pairs);
    }
    PerItem(state, "per sphere", count);
}
BENCHMARK(BM_ScalingSortAndSweep)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A dense cluster: `count` event spheres (radius 10, not simulated), the
// given share of them (in percent) at one point and the others spread as in
// the rows above; every pair of the cluster touches. One pair walk of the
// pass (contacts only, which event pairs skip at once), through the grid as
// the pass picks it and through the all-pairs walk, per sphere.
bool BuildCluster(int count, int percentAtOnePoint) {
    const float half = 2000.0f * std::cbrt(static_cast<float>(count) / 1000.0f);
    DrawGroupActor *group = FreshRoom({-half, -half, -half}, {half, half, half});
    if (group == nullptr) {
        return false;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    const std::vector<SpherePlace> places = PlaceSpheres(count);
    for (int i = 0; i < count; ++i) {
        Actor *actor = CreateActor(0, "S", nullptr, scenery, -1, false);
        if (actor == nullptr) {
            return false;
        }
        actor->position = i * 100 < count * percentAtOnePoint ? Vector3{0.0f, 0.0f, 0.0f}
                                                              : places[static_cast<size_t>(i)].at;
        auto object = std::make_unique<ColObj>(actor);
        object->type = kKindSphere;
        object->flags =
            kColObjActive | kColObjCausesEvents | kColObjTakesEvents | kColObjTakesAllEvents;
        object->boxMin = {0.0f, 0.0f, 0.0f};
        object->boxMax = {kRadius, 0.0f, 0.0f};
        actor->AddColObj(std::move(object));
        actor->flags &= ~kActorStatic;
        actor->drawGroupId = group->drawGroupId;
        actor->InvalidateTransform();
        UpdateShapeBounds(actor);
        AddActorToDrawGroup(actor, 0);
    }
    return ActiveColliderList.Count() == static_cast<size_t>(count);
}

void RunClusterWalk(benchmark::State &state, size_t gridMinimum) {
    const int count = static_cast<int>(state.range(0));
    if (!BuildCluster(count, static_cast<int>(state.range(1)))) {
        state.SkipWithError("the spheres could not be placed");
        return;
    }
    const size_t saved = SetCollisionGridMinimum(gridMinimum);
    for (auto _ : state) {
        CollidePairsOfList(ActiveColliderList, kCollideContacts);
    }
    SetCollisionGridMinimum(saved);
    PerItem(state, "per sphere", count);
    ResetActorWorldForTests();
}

void BM_ScalingCollisionCluster(benchmark::State &state) {
    RunClusterWalk(state, CollisionGridMinimum());
}
BENCHMARK(BM_ScalingCollisionCluster)
    ->Args({1000, 100})
    ->Args({3000, 100})
    ->Args({3000, 30})
    ->Unit(benchmark::kMicrosecond);

void BM_ScalingCollisionClusterAllPairs(benchmark::State &state) {
    RunClusterWalk(state, SIZE_MAX);
}
BENCHMARK(BM_ScalingCollisionClusterAllPairs)
    ->Args({1000, 100})
    ->Args({3000, 100})
    ->Args({3000, 30})
    ->Unit(benchmark::kMicrosecond);

using benchscene::Body;
using benchscene::StaticBox;

// A level made of squads: ten brains in a row, 40 units apart, fighting
// their own target 400 units ahead, one squad every 800 units on a square
// lattice; the floor and the two pillars of the AI Player 2 bench in the
// middle. A larger count makes a larger level of the same density.
// A brain on a body standing at `at`, fighting `target`.
AIPlayer2Actor *Brain(DrawGroupActor *group, const Vector3 &at, CharacterActor *target) {
    CharacterActor *character = Body(group, at);
    auto *brain =
        character == nullptr
            ? nullptr
            : dynamic_cast<AIPlayer2Actor *>(CreateActor(static_cast<int32_t>(kAIPlayer2ClassId),
                                                         "Brain", nullptr, character, -1, false));
    if (brain == nullptr) {
        return nullptr;
    }
    brain->HandleCommand(cmd::base::Precalculate, ParamBlock());
    brain->rayGroup = 0xFFFFFFFF;
    brain->rayReceive = 0x10000;
    brain->fightGroup = 1;
    SendCommandArgs(brain, cmd::ai_player2::SetAIPlayer2StateFight, static_cast<Actor *>(target));
    return brain;
}

std::vector<AIPlayer2Actor *> BuildBrains(int count) {
    std::vector<AIPlayer2Actor *> brains;
    const int squads = (count + 9) / 10;
    int side = 1;
    while (side * side < squads) {
        ++side;
    }
    const float half = 400.0f * static_cast<float>(side) + 200.0f;
    DrawGroupActor *group = FreshRoom({-half, -100.0f, -half}, {half, 600.0f, half});
    if (group == nullptr) {
        return brains;
    }
    StaticBox(group, {-half, -20.0f, -half}, {half, 0.0f, half});
    StaticBox(group, {-300.0f, 0.0f, 300.0f}, {-200.0f, 200.0f, 400.0f});
    StaticBox(group, {200.0f, 0.0f, 300.0f}, {300.0f, 200.0f, 400.0f});
    for (int s = 0; s < squads; ++s) {
        const float x = -half + 200.0f + 800.0f * static_cast<float>(s % side);
        const float z = -half + 200.0f + 800.0f * static_cast<float>(s / side);
        CharacterActor *target = Body(group, {x + 180.0f, 30.0f, z + 400.0f});
        if (target == nullptr) {
            return {};
        }
        target->characterGroup = 1;
        for (int i = 0; i < 10 && static_cast<int>(brains.size()) < count; ++i) {
            AIPlayer2Actor *brain = Brain(group, {x + 40.0f * float(i), 30.0f, z}, target);
            if (brain == nullptr) {
                return {};
            }
            brains.push_back(brain);
        }
    }
    return brains;
}

// One crowd: the brains stand 60 units apart on a square, all fighting one
// target 300 units in front of it, so that most sight rays pass other
// brains' bodies before they reach it. A larger count makes a larger crowd.
std::vector<AIPlayer2Actor *> BuildCrowd(int count) {
    std::vector<AIPlayer2Actor *> brains;
    int side = 1;
    while (side * side < count) {
        ++side;
    }
    const float half = 30.0f * static_cast<float>(side) + 500.0f;
    DrawGroupActor *group = FreshRoom({-half, -100.0f, -half}, {half, 600.0f, half});
    if (group == nullptr) {
        return brains;
    }
    StaticBox(group, {-half, -20.0f, -half}, {half, 0.0f, half});
    const float corner = -30.0f * static_cast<float>(side - 1);
    CharacterActor *target = Body(group, {0.0f, 30.0f, -corner + 300.0f});
    if (target == nullptr) {
        return brains;
    }
    target->characterGroup = 1;
    for (int i = 0; i < count; ++i) {
        const Vector3 at = {corner + 60.0f * static_cast<float>(i % side), 30.0f,
                            corner + 60.0f * static_cast<float>(i / side)};
        AIPlayer2Actor *brain = Brain(group, at, target);
        if (brain == nullptr) {
            return {};
        }
        brains.push_back(brain);
    }
    return brains;
}

// One think of every brain, per brain; `seeing` counts the brains whose
// sight ray reaches the target.
void RunThink(benchmark::State &state, const std::vector<AIPlayer2Actor *> &brains) {
    const int count = static_cast<int>(state.range(0));
    if (brains.size() != static_cast<size_t>(count)) {
        state.SkipWithError("the brains could not be placed");
        return;
    }
    FrameDelta = 1.0f / 60.0f;
    size_t seeing = 0;
    for (auto _ : state) {
        ++FrameCounter;
        UpdateTimeRecord(nullptr, RootTimeRecord());
        for (AIPlayer2Actor *brain : brains) {
            brain->sightCheckTimer = 0.5f;
            brain->generalTimer = 1.5f;
            brain->SetState(kAI2Fight);
            brain->Process();
        }
        seeing = 0;
        for (const AIPlayer2Actor *brain : brains) {
            seeing += brain->visibleTime > 0.0f ? 1 : 0;
        }
    }
    state.counters["seeing"] = static_cast<double>(seeing);
    PerItem(state, "per brain", count);
    ResetActorWorldForTests();
}

void BM_ScalingAIPlayer2Think(benchmark::State &state) {
    RunThink(state, BuildBrains(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ScalingAIPlayer2Think)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ScalingAIPlayer2Crowd(benchmark::State &state) {
    RunThink(state, BuildCrowd(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ScalingAIPlayer2Crowd)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
