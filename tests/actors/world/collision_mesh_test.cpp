// Spheres against meshes: the ground height test with its cache, and the
// sphere against mesh triangles in the mesh owner's space.
#include <gtest/gtest.h>

#include <cmath>

#include "collision_test_util.h"
#include "library/library_item.h"
#include "library/mesh_geometry.h"
#include "support/scene_harness.h"

namespace {

using namespace coltest;

// A flat square at height 0 over x, z in [-500, 500], both windings.
MeshItem *FlatMesh(uint32_t type) {
    const std::vector<Vector3> positions = {
        {-500, 0, -500}, {-500, 0, 500}, {500, 0, 500}, {500, 0, -500}};
    const std::vector<Vector3> normals(4, Vector3{0, 0, 1});
    const std::vector<float> uvs(8, 0.0f);
    const std::vector<uint16_t> indices = {0, 1, 3, 1, 2, 3, 0, 3, 1, 1, 3, 2};
    MeshItem *mesh = CreateMeshFromArrays(positions.data(), normals.data(), nullptr, uvs.data(),
                                          indices.data(), 4, 4);
    if (mesh != nullptr) {
        mesh->subsetSettings[0].word0 = type;
    }
    return mesh;
}

// An actor whose collision objects of the mesh kinds use the given mesh.
class MeshHolder : public Actor {
  public:
    MeshItem *CollisionMesh() const override { return mesh; }
    MeshItem *mesh = nullptr;
};

class MeshCollisionTest : public CollisionWorld {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runner.Ready());
        CollisionWorld::SetUp();
        ground.mesh = FlatMesh(4);
        ASSERT_NE(ground.mesh, nullptr);
        ground.name = "ground";
        floor = &AddMeshObject(ground, kKindGround);
    }
    void TearDown() override {
        CollisionWorld::TearDown();
        ground.colObjs.clear();
        ReleaseMesh(ground.mesh);
    }
    ColObj &AddMeshObject(MeshHolder &holder, uint32_t kind) {
        auto object = std::make_unique<ColObj>(&holder);
        object->type = kind;
        object->flags = kNormal;
        object->reference = 0;
        object->worldMin = {-1e6f, -1e6f, -1e6f};
        object->worldMax = {1e6f, 1e6f, 1e6f};
        holder.colObjs.push_back(std::move(object));
        return *holder.colObjs.back();
    }
    // The push the ball at height y receives from the ground; none: a zero
    // vector and false.
    std::pair<bool, Vector3> GroundPush(float y, const Vector3 &velocity = {0, 0, 0}) {
        ball->position = {10, y, 20};
        ball->deltaPosition = velocity;
        ball->InvalidateTransform();
        UpdateTestBounds(ball);
        if (ball->simState) {
            ball->simState->contacts.clear();
        }
        CollideColObjs(sphere, floor, 2);
        const auto contacts = Contacts(ball);
        return contacts.empty() ? std::pair(false, Vector3{0, 0, 0})
                                : std::pair(true, contacts[0].push);
    }

    scene::SceneRunner runner;
    MeshHolder ground;
    ColObj *floor = nullptr;
    Actor *ball = nullptr;
    ColObj *sphere = nullptr;
};

TEST_F(MeshCollisionTest, TheGroundHoldsASphereUpToFortyCentimetresDeep) {
    ball = Make("ball");
    sphere = &Sphere(ball, 10, kDynamic);
    ASSERT_EQ(CollisionWorldScale(), 100.0f);

    auto [touching, push] = GroundPush(5);
    ASSERT_TRUE(touching);
    ExpectNear(push, {0, 5.0001f, 0}, 1e-5f); // rests 0.0001 above
    EXPECT_FALSE(GroundPush(10.5f).first);     // floats above
    EXPECT_TRUE(GroundPush(9.9f).first);

    // Deeper than 0.4 s: six units straight up, or back against the motion.
    ExpectNear(GroundPush(-40).second, {0, 6, 0}, 1e-5f);
    ExpectNear(GroundPush(-40, {1.4f, -1.0f, 0}).second, {0, 6, 0}, 1e-5f);
    ExpectNear(GroundPush(-40, {3, 0, -4}).second, {-3.6f, 0, 4.8f}, 1e-5f);
    EXPECT_FALSE(GroundPush(-51).first); // lies deep below: passes
    EXPECT_TRUE(GroundPush(-49).first);

    // An owner without a mesh has no ground.
    MeshItem *mesh = ground.mesh;
    ground.mesh = nullptr;
    EXPECT_FALSE(GroundPush(5).first);
    ground.mesh = mesh;
}

// A sphere whose radius is not finite meets no ground, at rest or moving,
// though the ground's push and point for it would be finite.
TEST_F(MeshCollisionTest, ASphereWhoseRadiusIsNotFiniteMeetsNoGround) {
    for (const float radius : {NAN, INFINITY, -INFINITY}) {
        ball = Make("ball");
        sphere = &Sphere(ball, radius, kDynamic);
        for (const Vector3 &velocity : {Vector3{0, 0, 0}, Vector3{3, 0, -4}}) {
            for (const float y : {5.0f, -40.0f}) {
                EXPECT_FALSE(GroundPush(y, velocity).first) << radius << " at " << y;
            }
        }
    }
}

TEST_F(MeshCollisionTest, TheGroundCacheKeepsAHintPerGroundObject) {
    ball = Make("ball");
    sphere = &Sphere(ball, 10, kDynamic);
    ColObj &second = AddMeshObject(ground, kKindGround);
    ColObj &third = AddMeshObject(ground, kKindGround2);
    sphere->groundCache = std::make_unique<GroundCache>();
    GroundCache &cache = *sphere->groundCache;
    cache[0] = {&second, 0x40000000, 1};
    cache[1] = {floor, 0x3FFFFFFF, 1};
    cache[2] = {nullptr, 0x3FFFFFFE, 9};

    // A match: its age is renewed, the others age by one; the hint is kept
    // or updated by the mesh query.
    ASSERT_TRUE(GroundPush(5).first);
    EXPECT_EQ(std::vector<uint32_t>({cache[0].age, cache[1].age, cache[2].age}),
              std::vector<uint32_t>({0x3FFFFFFF, 0x40000000, 0x3FFFFFFD}));
    EXPECT_EQ(cache[1].other, floor);
    EXPECT_LT(cache[1].hint, 4u);

    // A miss takes over the entry of the largest age (the first of equals),
    // with hint 0 before the query.
    cache[0].age = 0x40000000;
    CollideColObjs(sphere, &third, 2);
    EXPECT_EQ(std::vector<ColObj *>({cache[0].other, cache[1].other, cache[2].other}),
              std::vector<ColObj *>({&third, floor, nullptr}));
    EXPECT_EQ(cache[0].age, 0x40000000u);
    EXPECT_LT(cache[0].hint, 4u);

    // Copies of the sphere start without a cache.
    ColObj copy(*sphere);
    EXPECT_EQ(copy.groundCache, nullptr);
}

TEST_F(MeshCollisionTest, SpheresMeetMeshTrianglesInTheOwnersSpace) {
    MeshHolder room;
    room.name = "room";
    room.mesh = FlatMesh(4);
    ASSERT_NE(room.mesh, nullptr);
    room.position = {1000, 50, 0};
    room.rotation = {0, 0.70710677f, 0, 0.70710677f}; // a quarter turn about y
    room.InvalidateTransform();
    ColObj &walls = AddMeshObject(room, kKindMeshTriangles);
    walls.worldMin = {500, 0, -500};
    walls.worldMax = {1500, 100, 500};

    ball = Make("ball", {1000, 55, 0});
    sphere = &Sphere(ball, 10, kDynamic);
    CollideColObjs(&walls, sphere, 2);
    ASSERT_EQ(Contacts(ball).size(), 1u);
    ExpectNear(Contacts(ball)[0].push, {0, 5.0001f, 0}, 1e-3f);
    ExpectNear(Contacts(ball)[0].normal, {0, 1, 0}, 1e-4f);
    EXPECT_NEAR(Contacts(ball)[0].point.y, 50.0f, 1e-3f);

    // Outside the object's world bounds: no test at all.
    ball->simState->contacts.clear();
    walls.worldMax = {1500, 40, 500};
    CollideColObjs(&walls, sphere, 2);
    EXPECT_TRUE(Contacts(ball).empty());
    room.colObjs.clear();
    ReleaseMesh(room.mesh);
}

} // namespace
