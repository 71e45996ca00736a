// The group filter, event permission, the event queue and the narrow phase
// of spheres, boxes and swept points.
#include <gtest/gtest.h>

#include <cstring>

#include "collision_test_util.h"
#include "core/actors/command_ids.h"
#include "core/actors/command_registry.h"
#include "core/actors/param_builder.h"

namespace {

using namespace coltest;

class NarrowPhaseTest : public CollisionWorld {};

TEST_F(NarrowPhaseTest, GroupMasksAndOwnersDecideWhetherTwoObjectsMeet) {
    Actor *a = Make("a");
    Actor *b = Make("b", {15, 0, 0});
    ColObj &sa = Sphere(a, 10, kDynamic);
    ColObj &sb = Sphere(b, 10, kNormal);

    sa.groups = sa.receiveGroups = sa.excludeGroups = 0;
    sb.groups = sb.receiveGroups = sb.excludeGroups = 0;
    EXPECT_FALSE(CollisionGroupFilter(sa, sb));
    sa.groups = 1;
    sb.receiveGroups = 1;
    EXPECT_TRUE(CollisionGroupFilter(sa, sb));
    sb.excludeGroups = 1; // excluded although received
    EXPECT_FALSE(CollisionGroupFilter(sa, sb));
    CollideColObjs(&sa, &sb, 3);
    EXPECT_TRUE(Contacts(a).empty());

    // Two objects of one owner never meet.
    ColObj &second = Sphere(a, 10, kNormal, {5, 0, 0});
    CollideColObjs(&sa, &second, 3);
    EXPECT_TRUE(Contacts(a).empty());
    EXPECT_TRUE(Queued().empty());

    const uint32_t query[3] = {2, 0, 0};
    sb.excludeGroups = 0;
    sb.receiveGroups = 2;
    EXPECT_TRUE(QueryGroupFilter(query, sb));
    sb.excludeGroups = 2;
    EXPECT_FALSE(QueryGroupFilter(query, sb));
}

TEST_F(NarrowPhaseTest, EventsFlowOnlyWhereTheBitsPermit) {
    Actor *normal = Make("normal");
    Actor *event = Make("event", {5, 0, 0});
    Actor *geometry = Make("geometry", {0, 5, 0});
    ColObj &n = Sphere(normal, 10, kNormal);
    ColObj &e = Sphere(event, 10, kEvent);
    ColObj &g = Sphere(geometry, 10, kGeometryEvent);

    CollideColObjs(&n, &e, 3); // a Normal object takes none and causes none
    EXPECT_TRUE(Queued().empty());

    CollideColObjs(&n, &g, 3);
    EXPECT_EQ(Queued(), std::vector<std::string>{"geometry 171"});
    EXPECT_TRUE(CollisionEventPermitted(g, n));
    EXPECT_FALSE(CollisionEventPermitted(n, g));

    // The event names the causing object first, the told one's own second.
    const auto records = GetCollisionEventQueue().Records();
    ASSERT_EQ(records[0].block.size(), 2 * sizeof(ColObj *));
    ColObj *pair[2];
    std::memcpy(pair, records[0].block.data(), sizeof(pair));
    EXPECT_EQ(std::vector<ColObj *>(pair, pair + 2), (std::vector<ColObj *>{&n, &g}));

    // Mode 2 skips a pair that is only an event pair.
    GetCollisionEventQueue().Clear();
    CollideColObjs(&e, &g, 2);
    EXPECT_TRUE(Queued().empty());
}

TEST_F(NarrowPhaseTest, TouchCommandsFollowTheEventToTheirTargets) {
    Actor *a = Make("a");
    Actor *b = Make("b", {5, 0, 0});
    ColObj &sa = Sphere(a, 10, kEvent);
    ColObj &sb = Sphere(b, 10, kEvent);
    uint32_t value = 1;
    sa.SetCollisionCommand(false, 139, ParamBlock(&value, sizeof(value)));
    sa.SetCollisionCommand(true, 140, ParamBlock());
    CollideColObjs(&sa, &sb, 1);
    EXPECT_EQ(Queued(), (std::vector<std::string>{"b 171", "b 139", "a 140", "a 171"}));

    // Copies take the commands; clearing one leaves the other.
    ColObj copy(sa);
    copy.SetCollisionCommand(true, 0, ParamBlock());
    EXPECT_TRUE(copy.commandToOther.has_value() && !copy.commandToOwn.has_value() &&
                sa.commandToOwn.has_value());
}

// A command whose parameters are of variable size is queued with the length
// its values take, and read back with exactly that length.
TEST_F(NarrowPhaseTest, AVariableSizeCommandIsQueuedAtItsMeasuredLength) {
    const uint32_t variable = 32; // "Set Name" takes a text
    ASSERT_LT(FindCommandInfo(variable)->nativeParamBytes, 0);
    ParamBlockBuilder builder;
    ASSERT_TRUE(builder.Build(variable, {ParamValue("Ball")}));
    const ParamBlock block = builder.block();
    const uint32_t size = CommandBlockSize(variable, block);
    ASSERT_GT(size, 0u);

    Actor *target = Make("target");
    CollisionEventQueue &queue = GetCollisionEventQueue();
    queue.Append(target, variable, block);
    queue.Append(target, cmd::base::CollisionEvent, ParamBlock());
    const auto records = queue.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].block.size(), size);
    EXPECT_EQ(records[1].block.size(), 16u);
    EXPECT_EQ(0, std::memcmp(records[0].block.data(), block.data(), size));

    // Delivery runs both in order: the target takes the name.
    EXPECT_EQ(queue.Deliver(), 2u);
    EXPECT_EQ(target->name, "Ball");
}

TEST_F(NarrowPhaseTest, TheQueueGrowsByItsCapacityUpToAThousandBytesAndSkipsGoneTargets) {
    CollisionEventQueue queue;
    Actor *target = Make("target");
    queue.Append(target, cmd::base::CollisionEvent, ParamBlock());
    const size_t record = queue.BytesWritten();
    EXPECT_EQ(queue.Capacity(), record); // the need, above 16
    queue.Append(target, cmd::base::CollisionEvent, ParamBlock());
    EXPECT_EQ(queue.Capacity(), 2 * record);
    while (queue.Capacity() < 4096) {
        queue.Append(target, cmd::base::CollisionEvent, ParamBlock());
    }
    const size_t before = queue.Capacity();
    while (queue.Capacity() == before) {
        queue.Append(target, cmd::base::CollisionEvent, ParamBlock());
    }
    EXPECT_EQ(queue.Capacity(), before + 1024);

    queue.Clear();
    Actor *gone = Make("gone");
    queue.Append(gone, cmd::base::CollisionEvent, ParamBlock());
    queue.Append(target, cmd::base::CollisionEvent, ParamBlock());
    ActorTable[static_cast<size_t>(gone->actorId)] = nullptr;
    EXPECT_EQ(queue.Deliver(), 1u);
    ActorTable[static_cast<size_t>(gone->actorId)] = gone;
}

TEST_F(NarrowPhaseTest, SpheresArePushedApartAlongTheLineOfCentres) {
    Actor *a = Make("a");
    Actor *b = Make("b", {15, 0, 0});
    ColObj &dynamic = Sphere(a, 10, kDynamic);
    ColObj &solid = Sphere(b, 10, kNormal);
    CollideColObjs(&dynamic, &solid, 2);
    ASSERT_EQ(Contacts(a).size(), 1u);
    ExpectNear(Contacts(a)[0].push, {-5 * 1.00001f, 0, 0}, 1e-5f);
    ExpectNear(Contacts(a)[0].normal, {-1, 0, 0}, 1e-6f);
    EXPECT_TRUE(ContactedList.Contains(a) && a->HasFlag(kActorContacted));
    EXPECT_TRUE(Queued().empty()); // mode 2 writes no events

    // The other way round B is the one moved, the other sense.
    a->simState->contacts.clear();
    dynamic.flags = kNormal;
    solid.flags = kDynamic;
    CollideColObjs(&dynamic, &solid, 2);
    ASSERT_EQ(Contacts(b).size(), 1u);
    ExpectNear(Contacts(b)[0].push, {5 * 1.00001f, 0, 0}, 1e-5f);

    // Equal centres: B along +x by the sum of the radii, A the other way.
    b->position = {0, 0, 0};
    b->InvalidateTransform();
    UpdateTestBounds(b);
    b->simState->contacts.clear();
    CollideColObjs(&dynamic, &solid, 2);
    ExpectNear(Contacts(b).at(0).push, {20, 0, 0}, 0.0f);
    solid.flags = kNormal;
    dynamic.flags = kDynamic;
    CollideColObjs(&dynamic, &solid, 2);
    ExpectNear(Contacts(a).at(0).push, {-20, 0, 0}, 0.0f);

    // Apart: nothing.
    Actor *far = Make("far", {21, 0, 0});
    ColObj &farSphere = Sphere(far, 10, kNormal);
    const size_t before = Contacts(a).size();
    CollideColObjs(&dynamic, &farSphere, 2);
    EXPECT_EQ(Contacts(a).size(), before);
}

TEST_F(NarrowPhaseTest, DynamicPairsShareThePushByWeight) {
    Actor *a = Make("a");
    Actor *b = Make("b", {15, 0, 0});
    ColObj &sa = Sphere(a, 10, kDynamic);
    ColObj &sb = Sphere(b, 10, kDynamic);
    a->simParams = std::make_unique<SimParams>();
    b->simParams = std::make_unique<SimParams>();
    b->simParams->SetFloat(1, 3.0f);
    CollideColObjs(&sa, &sb, 2);
    ASSERT_EQ(Contacts(a).size(), 1u);
    ASSERT_EQ(Contacts(b).size(), 1u);
    const float p = 5 * 1.00001f;
    ExpectNear(Contacts(a)[0].push, {-p * 0.75f, 0, 0}, 1e-5f);
    ExpectNear(Contacts(b)[0].push, {p * 0.25f, 0, 0}, 1e-5f);
    ExpectNear(Contacts(b)[0].normal, {1, 0, 0}, 1e-6f);
}

// Owners without simulation records weigh 1.0 and are not given records.
TEST_F(NarrowPhaseTest, OwnersWithoutSimulationRecordsShareEquallyAndGetNone) {
    Actor *a = Make("a");
    Actor *b = Make("b", {15, 0, 0});
    ColObj &sa = Sphere(a, 10, kDynamic);
    ColObj &sb = Sphere(b, 10, kDynamic);
    CollideColObjs(&sa, &sb, 2);
    ExpectNear(Contacts(a).at(0).push, {-2.5f * 1.00001f, 0, 0}, 1e-5f);
    ExpectNear(Contacts(b).at(0).push, {2.5f * 1.00001f, 0, 0}, 1e-5f);
    EXPECT_TRUE(!a->simParams && !b->simParams);
}

TEST_F(NarrowPhaseTest, SpheresMeetBoxesInTheBoxOwnersSpaceAndEqualShapesNever) {
    Actor *floor = Make("floor");
    floor->rotation = {0, 0.3826834f, 0, 0.9238795f}; // 45 degrees about y
    floor->InvalidateTransform();
    ColObj &box = Box(floor, {-100, -50, -100}, {100, 0, 100}, kNormal);
    Actor *ball = Make("ball", {0, 8, 0});
    ColObj &sphere = Sphere(ball, 10, kDynamic);
    CollideColObjs(&box, &sphere, 2);
    ASSERT_EQ(Contacts(ball).size(), 1u);
    EXPECT_NEAR(Contacts(ball)[0].push.x, 0.0f, 1e-4f);
    EXPECT_GT(Contacts(ball)[0].push.y, 1.99f);
    EXPECT_LT(Contacts(ball)[0].push.y, 2.1f);

    // Box against box, mesh kinds against each other: never.
    Actor *other = Make("other");
    ColObj &box2 = Box(other, {-10, -10, -10}, {10, 10, 10}, kDynamic);
    ColObj &mesh1 = Box(floor, {-10, -10, -10}, {10, 10, 10}, kNormal, kKindMeshTriangles);
    ColObj &mesh2 = Box(other, {-10, -10, -10}, {10, 10, 10}, kDynamic, kKindMeshTriangles);
    ColObj &world1 = Box(floor, {-10, -10, -10}, {10, 10, 10}, kNormal, kKindWorldBox);
    ball->simState->contacts.clear();
    CollideColObjs(&box, &box2, 3);
    CollideColObjs(&mesh1, &mesh2, 3);
    CollideColObjs(&world1, &box2, 3);
    CollideColObjs(&world1, &sphere, 3); // a world box is for queries only
    EXPECT_TRUE(Contacts(other).empty() && Contacts(ball).empty());
}

TEST_F(NarrowPhaseTest, ASweptPointIsSetBackOntoItsHitOnlyBetweenItsEnds) {
    Actor *target = Make("target");
    ColObj &sphere = Sphere(target, 10, kNormal);
    Actor *shot = Make("shot");
    auto point = std::make_unique<ColObj>(shot);
    point->type = kKindRayPoint;
    point->flags = kDynamic;
    ColObj &swept = shot->AddColObj(std::move(point));

    // From (-30, 0, 0) to (0, 0, 0): hits the surface at x = -10.
    swept.worldMin = {-30, 0, 0};
    swept.worldMax = {30, 0, 0};
    CollideColObjs(&swept, &sphere, 2);
    ASSERT_EQ(Contacts(shot).size(), 1u);
    ExpectNear(Contacts(shot)[0].push, {-10 * 1.00001f, 0, 0}, 1e-4f);
    ExpectNear(Contacts(shot)[0].normal, {-1, 0, 0}, 1e-5f);

    // Stopping short of the sphere, or starting past the hit: nothing.
    shot->simState->contacts.clear();
    swept.worldMax = {15, 0, 0};
    CollideColObjs(&swept, &sphere, 2);
    swept.worldMin = {-10, 0, 0};
    swept.worldMax = {10, 0, 0};
    CollideColObjs(&swept, &sphere, 2);
    EXPECT_TRUE(Contacts(shot).empty());

    // A swept sphere (radius not 0) is not a point.
    swept.worldMin = {-30, 0, 0};
    swept.worldMax = {30, 0, 0};
    swept.sweepRadius = 1.0f;
    CollideColObjs(&swept, &sphere, 2);
    EXPECT_TRUE(Contacts(shot).empty());

    // Through a box: set back onto its face.
    swept.sweepRadius = 0.0f;
    Actor *wall = Make("wall");
    ColObj &box = Box(wall, {-5, -5, -5}, {5, 5, 5}, kNormal);
    swept.worldMin = {0, 0, -20};
    swept.worldMax = {0, 0, 20};
    CollideColObjs(&box, &swept, 2);
    ASSERT_EQ(Contacts(shot).size(), 1u);
    ExpectNear(Contacts(shot)[0].push, {0, 0, -5 * 1.00001f}, 1e-4f); // ends at the origin
}

} // namespace
