// The ray query: nearest sphere or box on a line, masks, the origin's group
// and its open neighbours.
#include <gtest/gtest.h>

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
