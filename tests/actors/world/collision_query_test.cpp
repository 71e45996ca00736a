// The ray query: nearest sphere or box on a line, masks, the origin's group
// and its open neighbours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "collision_test_util.h"
#include "core/actors/subsystem_hooks.h"

namespace {

using namespace coltest;

class CollisionQueryTest : public CollisionWorld {
  protected:
    ColObj *Query(const Vector3 &from, const Vector3 &to, Vector3 *hit = nullptr,
                  Vector3 *normal = nullptr, uint32_t groups = 1) {
        const uint32_t masks[3] = {groups, groups, 0};
        return GetActorSystem()->CollisionQuery(from, to, masks, hit, normal);
    }
};

TEST_F(CollisionQueryTest, AnEndInsideASphereGivesItsNearSurfaceAndOutwardNormal) {
    Actor *ball = Make("ball", {100, 0, 0});
    ColObj &sphere = Sphere(ball, 10, kNormal);
    passive.Append(ball);
    Vector3 hit;
    Vector3 normal;
    EXPECT_EQ(Query({0, 0, 0}, {100, 0, 0}, &hit, &normal), &sphere);
    ExpectNear(hit, {90, 0, 0});
    ExpectNear(normal, {-1, 0, 0});

    // Behind the origin: never.
    EXPECT_EQ(Query({200, 0, 0}, {300, 0, 0}, &hit, &normal), nullptr);
    ExpectNear(hit, {300, 0, 0}, 0.0f);

    // Nothing hit: null, and the end is the hit point; no outputs asked: fine.
    EXPECT_EQ(Query({0, 50, 0}, {200, 50, 0}, &hit), nullptr);
    ExpectNear(hit, {200, 50, 0}, 0.0f);
    EXPECT_EQ(Query({0, 0, 0}, {100, 0, 0}), &sphere);

    // An excluding mask, and an inactive mover: never hit.
    sphere.excludeGroups = 1;
    EXPECT_EQ(Query({0, 0, 0}, {100, 0, 0}), nullptr);
    sphere.excludeGroups = 0;
    sphere.flags &= ~kColObjActive;
    EXPECT_EQ(Query({0, 0, 0}, {100, 0, 0}), nullptr);
}

TEST_F(CollisionQueryTest, TheNearestSphereOrBoxWinsAndMeshesAreSkipped) {
    Actor *wall = Make("wall", {200, 0, 0});
    ColObj &box = Box(wall, {-10, -50, -50}, {10, 50, 50}, kNormal);
    Actor *mesh = Make("mesh", {100, 0, 0});
    Box(mesh, {-10, -50, -50}, {10, 50, 50}, kNormal, kKindMeshTriangles);
    Actor *near = Make("near", {150, 0, 0});
    ColObj &sphere = Sphere(near, 5, kNormal);
    active.Append(wall);
    passive.Append(mesh);
    passive.Append(near);
    Vector3 hit;
    Vector3 normal;
    EXPECT_EQ(Query({0, 0, 0}, {500, 0, 0}, &hit, &normal), &sphere);
    ExpectNear(hit, {145, 0, 0});
    near->flags &= ~kActorCollisionEnabled; // skipped whole
    EXPECT_EQ(Query({0, 0, 0}, {500, 0, 0}, &hit, &normal), &box);
    ExpectNear(hit, {190, 0, 0});
    ExpectNear(normal, {-1, 0, 0});
    // A box around the origin is not in front of it.
    EXPECT_EQ(Query({200, 0, 0}, {500, 0, 0}), nullptr);
}

TEST_F(CollisionQueryTest, TheGridAnswersAsTestingEveryMoverAndFollowsEveryChange) {
    struct Answer {
        ColObj *object;
        Vector3 hit;
        Vector3 normal;
        bool operator==(const Answer &o) const { // bit for bit, NaN too
            return object == o.object && std::memcmp(&hit, &o.hit, sizeof(hit)) == 0 &&
                   std::memcmp(&normal, &o.normal, sizeof(normal)) == 0;
        }
    };
    std::mt19937 random(11);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    auto at = [&] { return Vector3{uniform(-500, 500), uniform(-500, 500), uniform(-500, 500)}; };
    std::vector<std::pair<Vector3, Vector3>> rays;
    for (int i = 0; i < 400; ++i) {
        const Vector3 from = at();
        rays.emplace_back(from, i % 3 == 0 ? Vector3{-from.x, -from.y, -from.z} : at());
    }
    rays.emplace_back(Vector3{1, 2, 3}, Vector3{1, 2, 3});
    rays.emplace_back(Vector3{-600, 0, 0}, Vector3{600, 0, 0});
    rays.emplace_back(Vector3{0, 0, 0}, Vector3{NAN, 0, 0});
    rays.emplace_back(Vector3{-1e30f, 0, 0}, Vector3{1e30f, 0, 0});
    auto answers = [&](size_t minimum) {
        const size_t saved = SetCollisionGridMinimum(minimum);
        std::vector<Answer> out;
        for (const auto &[from, to] : rays) {
            Answer a{nullptr, {0, 0, 0}, {0, 0, 0}};
            a.object = Query(from, to, &a.hit, &a.normal);
            out.push_back(a);
        }
        SetCollisionGridMinimum(saved);
        return out;
    };
    auto expectSame = [&](const char *when) {
        // The grid first: it must have seen the changes on its own.
        const std::vector<Answer> grid = answers(0);
        const std::vector<Answer> everyMover = answers(SIZE_MAX);
        size_t hits = 0;
        for (size_t i = 0; i < rays.size(); ++i) {
            EXPECT_TRUE(everyMover[i] == grid[i]) << when << ": ray " << i;
            hits += everyMover[i].object != nullptr ? 1 : 0;
        }
        EXPECT_GT(hits, 40u) << when;
    };

    // Spheres, world boxes, oriented boxes and meshes, active and passive.
    std::vector<Actor *> movers;
    for (int i = 0; i < 600; ++i) {
        Actor *actor = Make("m", at());
        QuaternionRotationYawPitchRoll(&actor->rotation, uniform(0, 3), uniform(0, 3), 0);
        actor->InvalidateTransform();
        const Vector3 half = {uniform(2, 30), uniform(2, 30), uniform(2, 30)};
        switch (random() % 5) {
        case 0:
        case 1:
            Sphere(actor, uniform(2, 40), kNormal);
            break;
        case 2:
            Box(actor, {-half.x, -half.y, -half.z}, half, kNormal, kKindWorldBox);
            break;
        case 3:
            Box(actor, {-half.x, -half.y, -half.z}, half, kNormal);
            break;
        default:
            Box(actor, {-half.x, -half.y, -half.z}, half, kNormal, kKindMeshTriangles);
            break;
        }
        (i % 2 == 0 ? active : passive).Append(actor);
        movers.push_back(actor);
    }
    expectSame("built");

    // Moved with their bounds updated, objects added, removed and switched
    // off, actors leaving a list and one mover listed twice.
    for (size_t i = 0; i < movers.size(); i += 7) {
        movers[i]->position = at();
        movers[i]->InvalidateTransform();
        UpdateTestBounds(movers[i]);
        rays.emplace_back(at(), movers[i]->position); // aimed at the new place
    }
    expectSame("moved");
    for (size_t i = 3; i < movers.size(); i += 11) {
        Sphere(movers[i], uniform(5, 50), kNormal, {uniform(-20, 20), 0, 0});
    }
    for (size_t i = 5; i < movers.size(); i += 13) {
        movers[i]->RemoveColObj(0);
    }
    for (size_t i = 1; i < movers.size(); i += 17) {
        if (!movers[i]->colObjs.empty()) {
            movers[i]->colObjs[0]->flags &= ~kColObjActive;
        }
    }
    for (size_t i = 2; i < movers.size(); i += 19) {
        active.UnlinkFirst(movers[i]);
        passive.UnlinkFirst(movers[i]);
    }
    passive.Append(movers[4]);
    expectSame("changed");

    // A crowd on a line, and equal spheres in both lists (the first in the
    // movers' order is hit): rays along it either way, across it and into
    // it end at the nearest.
    for (int i = 0; i < 60; ++i) {
        Actor *actor = Make("row", {-600.0f + 20.0f * static_cast<float>(i), 0, 0});
        if (i % 4 == 3) {
            Box(actor, {-6, -6, -6}, {6, 6, 6}, kNormal, kKindWorldBox);
        } else {
            Sphere(actor, 8.0f + static_cast<float>(i % 3), kNormal);
        }
        (i % 2 == 0 ? passive : active).Append(actor);
    }
    for (int i = 0; i < 8; ++i) {
        Actor *twin = Make("twin", {100, 0, 0});
        Sphere(twin, 15, kNormal);
        (i % 2 == 0 ? passive : active).Append(twin);
    }
    for (int i = 0; i < 40; ++i) {
        const float y = uniform(-8, 8);
        const float z = uniform(-8, 8);
        rays.emplace_back(Vector3{-700, y, z}, Vector3{700, y, z});
        rays.emplace_back(Vector3{700, y, z}, Vector3{-700, y, z});
        rays.emplace_back(Vector3{uniform(-600, 600), y, z}, Vector3{uniform(-600, 600), -y, -z});
        rays.emplace_back(Vector3{100, 300, 0}, Vector3{uniform(-600, 600), y, z});
        rays.emplace_back(Vector3{100, -40, 30}, Vector3{100, y, z});
    }
    // Two world boxes met at the same point, the later one in more cells.
    Actor *small = Make("small");
    ColObj &first = Box(small, {300, 695, 3}, {310, 705, 8}, kNormal, kKindWorldBox);
    active.Append(small);
    Actor *big = Make("big");
    Box(big, {300, 600, -100}, {400, 800, 100}, kNormal, kKindWorldBox);
    active.Append(big);
    rays.emplace_back(Vector3{-700, 700, 4}, Vector3{700, 700, 4});
    expectSame("a crowd on a line");
    EXPECT_EQ(Query({-700, 700, 4}, {700, 700, 4}), &first);

    // A sphere moved off the line is no longer hit through the grid.
    const size_t saved = SetCollisionGridMinimum(0);
    Actor *lone = Make("lone", {0, 900, 0});
    ColObj &sphere = Sphere(lone, 10, kNormal);
    active.Append(lone);
    EXPECT_EQ(Query({-50, 900, 0}, {50, 900, 0}), &sphere);
    lone->position = {0, 2000, 0};
    lone->InvalidateTransform();
    UpdateTestBounds(lone);
    EXPECT_EQ(Query({-50, 900, 0}, {50, 900, 0}), nullptr);
    EXPECT_EQ(Query({-50, 2000, 0}, {50, 2000, 0}), &sphere);
    SetCollisionGridMinimum(saved);
}

TEST_F(CollisionQueryTest, StaticsAreFoundInTheOriginsGroupAndThroughOpenConnectors) {
    groupBoxes[2] = {{-100, -100, -100}, {100, 100, 100}};
    groupBoxes[3] = {{100, -100, -100}, {300, 100, 100}};
    groupBoxes[4] = {{-300, -100, -100}, {-100, 100, 100}};
    Actor *here = Make("here");
    ColObj &local = StaticBox(here, 2, {50, -5, 40}, {60, 5, 60});
    Actor *there = Make("there");
    ColObj &far = StaticBox(there, 3, {200, -5, -5}, {210, 5, 5});

    EXPECT_EQ(Query({0, 0, 50}, {300, 0, 50}), &local);
    // No open connector: the group behind is never searched.
    EXPECT_EQ(Query({0, 0, 0}, {300, 0, 0}), nullptr);
    openConnectors = {{4, 2}, {2, 3}};
    EXPECT_EQ(Query({0, 0, 0}, {300, 0, 0}), &far);
    // Static objects count whatever their active bit.
    far.flags &= ~kColObjActive;
    EXPECT_EQ(Query({0, 0, 0}, {300, 0, 0}), &far);
    // From outside every group only movers are searched.
    EXPECT_EQ(Query({0, 500, 0}, {300, 0, 0}), nullptr);
}

TEST_F(CollisionQueryTest, WithoutTheWorldCodeTheQueryHitsNothing) {
    WorldHooks hooks = GetWorldHooks();
    WorldHooks none;
    InstallWorldHooks(none);
    Vector3 hit = {1, 2, 3};
    const uint32_t masks[3] = {1, 1, 0};
    EXPECT_EQ(GetActorSystem()->CollisionQuery({0, 0, 0}, {9, 9, 9}, masks, &hit, nullptr),
              nullptr);
    ExpectNear(hit, {9, 9, 9}, 0.0f);
    InstallWorldHooks(hooks);
}

} // namespace
