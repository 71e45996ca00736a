// The collision pass over 1,000 moving spheres (radius 10, simulated, no
// gravity) in one draw group, spread through a 2,000-unit cube so that a
// few touch, against a plain loop that tests the same spheres pairwise by
// centre distance. Goal: 2 ms a frame for the pass.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "actors/world/collision.h"
#include "actors/world/draw_group_actor.h"
#include "actors/world/draw_groups.h"
#include "app/class_list.h"
#include "base/random.h"
#include "core/actors/actor_services.h"
#include "core/actors/actor_system.h"
#include "core/actors/draw_group_hooks.h"
#include "core/actors/time_record.h"

namespace {

constexpr int kSpheres = 1000;
constexpr float kRadius = 10.0f;

std::vector<Actor *> BuildSpheres() {
    std::vector<Actor *> spheres;
    InstallEngineClasses();
    if (InitActorSystem() == 0) {
        return spheres;
    }
    Actor *scenery = GetActorById(kSceneryRootId);
    auto *group = static_cast<DrawGroupActor *>(
        CreateActor(kDrawGroupClassId, "Room", nullptr, scenery, -1, false));
    if (group == nullptr) {
        return spheres;
    }
    group->boxMin = {-2000.0f, -2000.0f, -2000.0f};
    group->boxMax = {2000.0f, 2000.0f, 2000.0f};
    SeedRand(1);
    auto coordinate = [] { return static_cast<float>(Rand() % 2000) - 1000.0f; };
    for (int i = 0; i < kSpheres; ++i) {
        Actor *actor = CreateActor(0, "S", nullptr, scenery, -1, false);
        if (actor == nullptr) {
            return {};
        }
        actor->position = {coordinate(), coordinate(), coordinate()};
        actor->deltaPosition = {coordinate() * 0.05f, coordinate() * 0.05f, coordinate() * 0.05f};
        auto object = std::make_unique<ColObj>(actor);
        object->type = kKindSphere;
        object->flags = kColObjActive | kColObjCausesEvents | kColObjTakesEvents |
                        kColObjDynamic | kColObjSolid;
        object->boxMin = {0.0f, 0.0f, 0.0f};
        object->boxMax = {kRadius, 0.0f, 0.0f};
        actor->colObjs.push_back(std::move(object));
        actor->simParams = std::make_unique<SimParams>();
        actor->simParams->SetFloat(9, 0.0f); // no gravity
        actor->flags |= kActorSimulated;
        actor->flags &= ~kActorStatic;
        actor->drawGroupId = group->drawGroupId;
        AddActorToDrawGroup(actor, 0);
        spheres.push_back(actor);
    }
    return spheres;
}

void BM_CollisionPass(benchmark::State &state) {
    // Built once: the benchmark may run this function more than once.
    static const std::vector<Actor *> spheres = BuildSpheres();
    if (spheres.empty() || ActiveColliderList.Count() != kSpheres) {
        state.SkipWithError("the spheres could not be placed");
        return;
    }
    ActorSystem *system = GetActorSystem();
    RootTimeRecord()->delta = 1.0f / 60.0f;
    for (auto _ : state) {
        RunCollisionPass(system, 1.0f / 60.0f);
    }
    state.counters["spheres"] = kSpheres;
}
BENCHMARK(BM_CollisionPass)->Unit(benchmark::kMillisecond);

// The plain loop: every pair of centres against the sum of the radii.
void BM_PlainSphereLoop(benchmark::State &state) {
    std::vector<Vector3> centres;
    SeedRand(1);
    auto coordinate = [] { return static_cast<float>(Rand() % 2000) - 1000.0f; };
    for (int i = 0; i < kSpheres; ++i) {
        centres.push_back({coordinate(), coordinate(), coordinate()});
        coordinate(); // the velocity draws of the pass's spheres
        coordinate();
        coordinate();
    }
    for (auto _ : state) {
        int touching = 0;
        for (size_t i = 0; i < centres.size(); ++i) {
            for (size_t j = i + 1; j < centres.size(); ++j) {
                const Vector3 d = {centres[j].x - centres[i].x, centres[j].y - centres[i].y,
                                   centres[j].z - centres[i].z};
                if (d.x * d.x + d.y * d.y + d.z * d.z < 4.0f * kRadius * kRadius) {
                    ++touching;
                }
            }
        }
        benchmark::DoNotOptimize(touching);
    }
}
BENCHMARK(BM_PlainSphereLoop)->Unit(benchmark::kMillisecond);

} // namespace
