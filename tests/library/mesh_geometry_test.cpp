#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "library/mesh_geometry.h"
#include "library/skeleton.h"
#include "mesh_test_util.h"
#include "platform/os/gfx/device.h"

namespace {

using meshtest::Contents;
using meshtest::FloatAt;

void ExpectVecNear(const Vector3& a, const Vector3& b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

Vector3 VecAt(const std::vector<uint8_t>& bytes, size_t offset) {
    return {FloatAt(bytes, offset), FloatAt(bytes, offset + 4), FloatAt(bytes, offset + 8)};
}

// Owns a mesh item and lets it go through ReleaseMesh.
struct MeshPtr {
    explicit MeshPtr(MeshItem* m = nullptr) : mesh(m) {}
    ~MeshPtr() { ReleaseMesh(mesh); }
    MeshPtr(const MeshPtr&) = delete;
    MeshPtr& operator=(const MeshPtr&) = delete;
    MeshItem* operator->() const { return mesh; }
    MeshItem* get() const { return mesh; }
    MeshItem* mesh;
};

// A unit quad over x, z in [0, 1] with corner heights 0, 1, 2, 3: P0 (0, 0, 0), P1 (0, 1, 1), P2
// (1, 2, 1), P3 (1, 3, 0). Triangles (P0, P1, P3) and (P1, P2, P3) face the query along Y; the
// shared edge is x + z = 1.
struct Quad {
    std::vector<Vector3> positions = {{0, 0, 0}, {0, 1, 1}, {1, 2, 1}, {1, 3, 0}};
    std::vector<Vector3> normals = {{0, 1, 0}, {0.1f, 1, 0}, {0.2f, 1, 0}, {0.3f, 1, 0}};
    std::vector<uint32_t> colours = {0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u};
    std::vector<float> uvs = {0, 0, 0, 1, 1, 1, 1, 0};
    std::vector<uint16_t> indices = {0, 1, 3, 1, 2, 3};

    MeshItem* Make(bool withNormals, bool withColours) const {
        return CreateMeshFromArrays(positions.data(), withNormals ? normals.data() : nullptr,
                                    withColours ? colours.data() : nullptr, uvs.data(),
                                    indices.data(), 4, static_cast<uint32_t>(indices.size() / 3));
    }
};

class MeshGeometryTest : public meshtest::MeshFixture {
protected:
    std::vector<uint8_t> Vertices(MeshItem* mesh, uint32_t subset = 0) {
        return Contents(mesh->subsets[subset].vertexBuffer);
    }
};

TEST_F(MeshGeometryTest, MeshesFromArraysTakeTheLayoutOfTheArraysGiven) {
    const Quad q;
    struct Case {
        bool normals, colours;
        uint32_t fvf, stride;
    };
    for (const Case c : {Case{true, false, 0x112, 32}, Case{false, true, 0x142, 24},
                         Case{true, true, 0x152, 36}}) {
        MeshPtr mesh(q.Make(c.normals, c.colours));
        ASSERT_NE(mesh.get(), nullptr) << library_.GetLastError();
        ASSERT_EQ(mesh->subsets.size(), 1u);
        const MeshSubset& s = mesh->subsets[0];
        EXPECT_EQ(std::vector<uint32_t>({s.fvf, s.vertexSize, s.vertexBuffer->GetLength(),
                                         GetMeshFrameCount(mesh.get()), mesh->loaded}),
                  std::vector<uint32_t>({c.fvf, c.stride, 4 * c.stride, 1, 1}));
        EXPECT_EQ(s.vertexBuffer->GetUsage(), gfx::Usage::Dynamic | gfx::Usage::SoftwareProcessing);
        const auto bytes = Vertices(mesh.get());
        ExpectVecNear(VecAt(bytes, 2 * c.stride), {1, 2, 1}, 0.0f);
        size_t at = 2 * c.stride + 12;
        if (c.normals) {
            ExpectVecNear(VecAt(bytes, at), {0.2f, 1, 0}, 0.0f);
            at += 12;
        }
        if (c.colours) {
            uint32_t colour;
            std::memcpy(&colour, bytes.data() + at, 4);
            EXPECT_EQ(colour, 0xFF00FF00u);
            at += 4;
        }
        EXPECT_EQ(FloatAt(bytes, at), 1.0f);
        EXPECT_EQ(FloatAt(bytes, at + 4), 1.0f);
        EXPECT_EQ(meshtest::U16At(Contents(s.indexBuffer), 6), 1u);

        // One collision record with the positions' bounds.
        ASSERT_EQ(GetSubsetCollisionCount(mesh.get()), 1u);
        const SubsetSettings& r = mesh->subsetSettings[0];
        EXPECT_EQ(std::vector<uint32_t>({r.word0, r.word1, r.secondTexture}),
                  std::vector<uint32_t>({0, 4, 0xFFFFFFFFu}));
        AABox box;
        GetSubsetCollisionExtents(&box, mesh.get(), 0);
        ExpectVecNear(box.min, {0, 0, 0}, 0.0f);
        ExpectVecNear(box.max, {1, 3, 1}, 0.0f);
        float sphere[4];
        GetSubsetCollisionVector(sphere, mesh.get(), 0);
        ExpectVecNear({sphere[0], sphere[1], sphere[2]}, {0.5f, 1.5f, 0.5f});
        EXPECT_NEAR(sphere[3], 0.5f * std::sqrt(11.0f), 1e-5f);
    }
}

TEST_F(MeshGeometryTest, MeshesFromArraysRefuseMissingArraysAndEmptyBuffers) {
    const Quad q;
    const auto refused = [&](MeshItem* mesh, const char* text) {
        EXPECT_EQ(mesh, nullptr);
        EXPECT_STREQ(library_.GetLastError(), text);
        ReleaseMesh(mesh);
    };
    refused(CreateMeshFromArrays(q.positions.data(), q.normals.data(), nullptr, nullptr,
                                 q.indices.data(), 4, 2),
            "Error - Invalid Param!");
    refused(CreateMeshFromArrays(nullptr, q.normals.data(), nullptr, q.uvs.data(),
                                 q.indices.data(), 4, 2),
            "Error - Invalid Param!");
    // Neither normals nor colours: no layout fits.
    refused(CreateMeshFromArrays(q.positions.data(), nullptr, nullptr, q.uvs.data(),
                                 q.indices.data(), 4, 2),
            "Error - Invalid Param!");
    // The item made before a failing buffer goes with the failure (the leak
    // checker sees it otherwise).
    refused(CreateMeshFromArrays(q.positions.data(), q.normals.data(), nullptr, q.uvs.data(),
                                 q.indices.data(), 0, 2),
            "Error Vertex Buffer");
    refused(CreateMeshFromArrays(q.positions.data(), q.normals.data(), nullptr, q.uvs.data(),
                                 q.indices.data(), 4, 0),
            "Error Index Buffer");
}

TEST_F(MeshGeometryTest, UpdatingVerticesRewritesOnlyTheArraysGivenWithinTheBuffers) {
    const Quad q;
    MeshPtr mesh(q.Make(true, true));
    const auto before = Vertices(mesh.get());
    const std::vector<Vector3> moved = {{5, 5, 5}, {6, 6, 6}, {7, 7, 7}, {8, 8, 8}};
    UpdateMeshVertices(mesh.get(), moved.data(), nullptr, nullptr, nullptr, kKeepCount,
                       kKeepCount);
    const auto after = Vertices(mesh.get());
    EXPECT_EQ(mesh->subsets[0].vertexCount * 10 + mesh->subsets[0].triangleCount, 42u);
    for (uint32_t v = 0; v < 4; ++v) {
        ExpectVecNear(VecAt(after, v * 36), moved[v], 0.0f);
        EXPECT_EQ(std::memcmp(after.data() + v * 36 + 12, before.data() + v * 36 + 12, 24), 0);
    }
    const std::vector<float> uvs = {9, 9, 9, 9, 9, 9, 9, 9};
    UpdateMeshVertices(mesh.get(), nullptr, nullptr, nullptr, uvs.data(), 2, 1);
    EXPECT_EQ(mesh->subsets[0].vertexCount * 10 + mesh->subsets[0].triangleCount, 21u);
    const auto rewritten = Vertices(mesh.get());
    EXPECT_EQ(FloatAt(rewritten, 36 + 28), 9.0f);
    EXPECT_EQ(FloatAt(rewritten, 2 * 36 + 28), 1.0f); // past the new count
    // Counts never rise above what the buffers hold.
    UpdateMeshVertices(mesh.get(), nullptr, nullptr, nullptr, nullptr, 1000, 1000);
    EXPECT_EQ(mesh->subsets[0].vertexCount * 10 + mesh->subsets[0].triangleCount, 42u);
    UpdateMeshVertices(nullptr, moved.data(), nullptr, nullptr, nullptr, 4, 2);
    MeshItem bare;
    UpdateMeshVertices(&bare, moved.data(), nullptr, nullptr, nullptr, 4, 2);
}

TEST_F(MeshGeometryTest, NullMeshesAndIndexesOutOfRangeGetNeutralAnswers) {
    EXPECT_EQ(GetMeshFrameRate(nullptr), 30.0f);
    EXPECT_EQ(std::vector<uint32_t>({GetMeshFrameCount(nullptr), GetSubsetCollisionCount(nullptr),
                                     GetSubsetCollisionParam(nullptr, 0),
                                     GetSubsetCollisionType(nullptr, 0)}),
              std::vector<uint32_t>({0, 0, 4, 0}));
    MeshItem own;
    own.meshWord = 12;
    EXPECT_EQ(GetMeshFrameCount(&own), 12u);

    const Quad q;
    MeshPtr mesh(q.Make(true, false));
    mesh->subsetSettings[0].word0 = 10;
    mesh->subsetSettings[0].word1 = 17;
    EXPECT_EQ(std::vector<uint32_t>({GetSubsetCollisionType(mesh.get(), 0),
                                     GetSubsetCollisionParam(mesh.get(), 0),
                                     GetSubsetCollisionType(mesh.get(), 1),
                                     GetSubsetCollisionParam(mesh.get(), 1)}),
              std::vector<uint32_t>({10, 17, 0, 4}));
    float sphere[4] = {9, 9, 9, 9};
    GetSubsetCollisionVector(sphere, mesh.get(), 1);
    EXPECT_EQ(sphere[3], 0.0f);
    AABox box = {{9, 9, 9}, {9, 9, 9}};
    GetSubsetCollisionExtents(&box, mesh.get(), 5);
    EXPECT_EQ(box.max.y, 0.0f);
    const float stored[4] = {1, 2, 3, 4};
    SetSubsetCollisionVector(mesh.get(), 1, stored);
    EXPECT_EQ(mesh->subsetSettings.size(), 1u);
    SetSubsetCollisionVector(mesh.get(), 0, stored);
    GetSubsetCollisionVector(sphere, mesh.get(), 0);
    EXPECT_EQ(std::vector<float>({sphere[2], sphere[3]}), std::vector<float>({3.0f, 4.0f}));

    Vector3 out = {9, 9, 9};
    EXPECT_EQ(IntersectRayWithMesh(mesh.get(), 1, 0, {0.2f, 0, 0.2f}, &out, nullptr, nullptr), 0);
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 1, {0, 0, 0}, 1.0f, &out, nullptr), 0);
    ExpectVecNear(out, {0, 0, 0}, 0.0f);
    BuildSubsetCollisionData(mesh.get(), 3);
    FreeSubsetCollisionData(mesh.get(), 3);
    EXPECT_EQ(IntersectRayWithMesh(nullptr, 0, 0, {0, 0, 0}, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(IntersectSphereWithMesh(nullptr, 0, {0, 0, 0}, 1.0f, &out, nullptr), 0);
}

TEST_F(MeshGeometryTest, ReleaseDeletesPrivateMeshesButNeverATableItem) {
    auto* tableMesh = new MeshItem();
    tableMesh->name = "Shared";
    Store({{5, tableMesh}});
    MeshItem* stored = TableMesh(5);
    ASSERT_NE(stored, nullptr);
    stored->used = 0;
    ReleaseMesh(stored);
    EXPECT_EQ(TableMesh(5), stored); // still there, still usable
    EXPECT_EQ(stored->name, "Shared");
    delete tableMesh;

    // A private mesh with collision data goes whole (the leak checker watches).
    const Quad q;
    MeshItem* mesh = q.Make(true, false);
    mesh->subsetSettings[0].word0 = 9;
    BuildSubsetCollisionData(mesh, 0);
    ASSERT_NE(GetCollisionBoxList(mesh, 0), nullptr);
    ReleaseMesh(mesh);
    ReleaseMesh(nullptr);
}

// --- line queries --------------------------------------------------------------

TEST_F(MeshGeometryTest, RayQueriesFindTheFirstPassingTriangleAndTheSurfaceHeight) {
    const Quad q;
    MeshPtr mesh(q.Make(true, false));
    Vector3 point, normal;
    uint32_t hint = 77;
    // Inside triangle 1 only.
    ASSERT_EQ(IntersectRayWithMesh(mesh.get(), 0, 0, {0.8f, 50, 0.8f}, &point, &normal, &hint), 1);
    EXPECT_EQ(std::vector<float>({float(hint), point.x, point.z}),
              std::vector<float>({1, 0.8f, 0.8f}));
    ExpectVecNear(normal, {0.3f, 1, 0}, 0.0f); // the third corner's (P3)

    // On the shared edge both pass: the lower index wins, or the hinted one.
    hint = 99;
    ASSERT_EQ(IntersectRayWithMesh(mesh.get(), 0, 0, {0.5f, 0, 0.5f}, &point, nullptr, &hint), 1);
    EXPECT_EQ(hint, 0u);
    hint = 1;
    ASSERT_EQ(IntersectRayWithMesh(mesh.get(), 0, 0, {0.5f, 0, 0.5f}, &point, &normal, &hint), 1);
    EXPECT_EQ(hint, 1u);
    EXPECT_NEAR(point.y, 2.0f, 1e-4f); // halfway between P1 (1) and P3 (3)

    // On a corner: that corner's height.
    ASSERT_EQ(IntersectRayWithMesh(mesh.get(), kKeepCount, 0, {0, 0, 1}, &point, nullptr, nullptr),
              1);
    EXPECT_NEAR(point.y, 1.0f, 1e-5f);
    // Outside the quad, and a point on the (a, b) plane with no height.
    EXPECT_EQ(IntersectRayWithMesh(mesh.get(), 0, 0, {1.5f, 0, 0.5f}, &point, nullptr, nullptr), 0);

    // The other winding never passes.
    Quad flipped;
    flipped.indices = {0, 3, 1, 1, 3, 2};
    MeshPtr back(flipped.Make(true, false));
    EXPECT_EQ(IntersectRayWithMesh(back.get(), 0, 0, {0.2f, 0, 0.2f}, &point, nullptr, nullptr), 0);
    EXPECT_EQ(IntersectRayWithMesh(back.get(), 0, 0, {0.8f, 0, 0.8f}, &point, nullptr, nullptr), 0);
}

TEST_F(MeshGeometryTest, RayQueriesAlongOtherAxesSeeTheSameTriangles) {
    const Quad q;
    MeshPtr upright(q.Make(true, false));
    Vector3 expected;
    ASSERT_EQ(IntersectRayWithMesh(upright.get(), 0, 0, {0.8f, 0, 0.7f}, &expected, nullptr,
                                   nullptr),
              1);
    // Code 1: height X, plane axes Z and Y; codes 2 and 3: height Z, plane
    // axes Y and X. The quad turned to match gives the same height.
    Quad alongX = q;
    Quad alongZ = q;
    for (size_t i = 0; i < q.positions.size(); ++i) {
        const Vector3& p = q.positions[i];
        alongX.positions[i] = {p.y, p.z, p.x};
        alongZ.positions[i] = {p.z, p.x, p.y};
    }
    MeshPtr meshX(alongX.Make(true, false));
    MeshPtr meshZ(alongZ.Make(true, false));
    Vector3 point;
    ASSERT_EQ(IntersectRayWithMesh(meshX.get(), 0, 1, {-40, 0.7f, 0.8f}, &point, nullptr, nullptr),
              1);
    EXPECT_EQ(std::vector<float>({point.x, point.y}), std::vector<float>({expected.y, 0.7f}));
    for (uint32_t code : {2u, 3u}) {
        ASSERT_EQ(IntersectRayWithMesh(meshZ.get(), 0, code, {0.7f, 0.8f, 40}, &point, nullptr,
                                       nullptr),
                  1);
        EXPECT_EQ(std::vector<float>({point.z, point.x}), std::vector<float>({expected.y, 0.7f}));
    }
}

TEST_F(MeshGeometryTest, RayQueriesReadVerticesAtTheSubsetsStride) {
    const Quad q;
    MeshPtr wide(q.Make(true, false));
    MeshPtr narrow(q.Make(false, true)); // 24-byte vertices without normals
    for (const Vector3 p : {Vector3{0.2f, 0, 0.3f}, Vector3{0.7f, 0, 0.9f}, Vector3{1, 0, 0}}) {
        Vector3 a, b, normal;
        uint32_t ha = 50, hb = 50;
        ASSERT_EQ(IntersectRayWithMesh(wide.get(), 0, 0, p, &a, nullptr, &ha), 1);
        ASSERT_EQ(IntersectRayWithMesh(narrow.get(), 0, 0, p, &b, &normal, &hb), 1);
        EXPECT_EQ(std::vector<float>({float(ha), a.y}), std::vector<float>({float(hb), b.y}));
        // No stored normal: the face normal, unit length.
        EXPECT_NEAR(Vec3Length(normal), 1.0f, 1e-5f);
    }
}

TEST_F(MeshGeometryTest, TrianglesPastTheVerticesAndSubsetsWithoutBuffersAreSkipped) {
    Quad q;
    q.indices = {0, 1, 40, 1, 2, 3}; // triangle 0 names a vertex that is not there
    MeshPtr mesh(q.Make(true, false));
    Vector3 point;
    uint32_t hint = 0;
    EXPECT_EQ(IntersectRayWithMesh(mesh.get(), 0, 0, {0.2f, 0, 0.2f}, &point, nullptr, &hint), 0);
    EXPECT_EQ(IntersectRayWithMesh(mesh.get(), 0, 0, {0.8f, 0, 0.8f}, &point, nullptr, &hint), 1);
    EXPECT_EQ(hint, 1u);
    for (uint32_t type : {4u, 10u}) {
        mesh->subsetSettings[0].word0 = type;
        BuildSubsetCollisionData(mesh.get(), 0);
    }
    EXPECT_EQ(GetCollisionBoxList(mesh.get(), 0)->boxes.size(), 1u);

    // A subset without triangles has no index buffer.
    MeshPtr empty(Quad().Make(true, false));
    empty->subsets[0].SetIndexBuffer(nullptr);
    empty->subsets[0].triangleCount = 0;
    EXPECT_EQ(IntersectRayWithMesh(empty.get(), 0, 0, {0.2f, 0, 0.2f}, &point, nullptr, nullptr),
              0);
    Vector3 push = {9, 9, 9};
    empty->subsetSettings[0].word0 = 4;
    BuildSubsetCollisionData(empty.get(), 0);
    EXPECT_EQ(GetSurfaceCollisionData(empty.get(), 0), nullptr);
    EXPECT_EQ(IntersectSphereWithMesh(empty.get(), 0, {0.2f, 0, 0.2f}, 1.0f, &push, nullptr), 0);
    ExpectVecNear(push, {0, 0, 0}, 0.0f);
    empty->subsetSettings[0].word0 = 12;
    BuildSubsetCollisionData(empty.get(), 0);
    ASSERT_NE(GetCollisionBoxList(empty.get(), 0), nullptr);
    EXPECT_TRUE(GetCollisionBoxList(empty.get(), 0)->boxes.empty());
    EXPECT_EQ(IntersectSphereWithMesh(empty.get(), 0, {0.2f, 0, 0.2f}, 1.0f, &push, nullptr), 0);
}

// --- sphere queries ------------------------------------------------------------

// A flat square at height 2 over x, z in [-5, 5], both windings, whose
// stored normals make the surface frame's height axis the world's Y.
MeshItem* SurfaceMesh() {
    const std::vector<Vector3> positions = {{-5, 2, -5}, {-5, 2, 5}, {5, 2, 5}, {5, 2, -5}};
    const std::vector<Vector3> normals(4, Vector3{0, 0, 1});
    const std::vector<float> uvs(8, 0.0f);
    const std::vector<uint16_t> indices = {0, 1, 3, 1, 2, 3, 0, 3, 1, 1, 3, 2};
    MeshItem* mesh = CreateMeshFromArrays(positions.data(), normals.data(), nullptr, uvs.data(),
                                          indices.data(), 4, 4);
    mesh->subsetSettings[0].word0 = 4;
    return mesh;
}

TEST_F(MeshGeometryTest, SurfaceSpheresTouchWithinTheBandUnderAndOverTheSurface) {
    MeshPtr mesh(SurfaceMesh());
    const float r = 1.0f;
    Vector3 push;
    // Ten units plus the radius below the surface: still touching.
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {1, 2 - 10 - r, 1}, r, &push, nullptr), 1);
    ExpectVecNear(push, {0, (2 - 10 - r) - (2 + r + 0.0001f), 0}, 1e-4f);
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {1, 2 - 10 - r - 0.01f, 1}, r, &push, nullptr),
              0);
    ExpectVecNear(push, {0, 0, 0}, 0.0f);
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {1, 2 + r, 1}, r, &push, nullptr), 1);
    EXPECT_NEAR(push.y, -0.0001f, 1e-5f);
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {1, 2 + r + 0.01f, 1}, r, &push, nullptr), 0);
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {6, 2, 1}, r, &push, nullptr), 0);
    const SurfaceCollisionData* data = GetSurfaceCollisionData(mesh.get(), 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->corners.size(), 12u);
    ExpectVecNear(data->meanNormal, {0, 0, 1});
}

TEST_F(MeshGeometryTest, SurfaceDataWithoutStoredNormalsUsesTheFaceNormals) {
    const std::vector<Vector3> positions = {{-5, 2, -5}, {-5, 2, 5}, {5, 2, 5}};
    const std::vector<uint32_t> colours(3, 0);
    const std::vector<float> uvs(6, 0.0f);
    const std::vector<uint16_t> indices = {0, 1, 2};
    MeshPtr mesh(CreateMeshFromArrays(positions.data(), nullptr, colours.data(), uvs.data(),
                                      indices.data(), 3, 1));
    mesh->subsetSettings[0].word0 = 4;
    BuildSubsetCollisionData(mesh.get(), 0);
    const SurfaceCollisionData* data = GetSurfaceCollisionData(mesh.get(), 0);
    ASSERT_NE(data, nullptr);
    EXPECT_NEAR(std::fabs(data->meanNormal.y), 1.0f, 1e-5f);
    EXPECT_EQ(data->meanNormal.x, 0.0f);
}

// Triangles each spanning one box: min corner, max corner, and a third on the box.
MeshItem* BoxMesh(const std::vector<AABox>& boxes, uint32_t type) {
    std::vector<Vector3> positions;
    std::vector<uint16_t> indices;
    for (const AABox& b : boxes) {
        const auto base = static_cast<uint16_t>(positions.size());
        positions.insert(positions.end(), {b.min, b.max, {b.max.x, b.min.y, b.min.z}});
        indices.insert(indices.end(), {base, static_cast<uint16_t>(base + 1),
                                       static_cast<uint16_t>(base + 2)});
    }
    const std::vector<Vector3> normals(positions.size(), Vector3{0, 1, 0});
    const std::vector<float> uvs(positions.size() * 2, 0.0f);
    MeshItem* mesh = CreateMeshFromArrays(positions.data(), normals.data(), nullptr, uvs.data(),
                                          indices.data(), static_cast<uint32_t>(positions.size()),
                                          static_cast<uint32_t>(boxes.size()));
    mesh->subsetSettings[0].word0 = type;
    return mesh;
}

// Gives the subset a box list as it stands, without merging.
void SetBoxes(MeshItem* mesh, const std::vector<AABox>& boxes) {
    auto data = std::make_unique<CollisionBoxList>();
    data->boxes = boxes;
    mesh->subsets[0].work = std::move(data);
}

TEST_F(MeshGeometryTest, BoxSpheresStopWhenFreeAndKeepTheEarlierBoxOnATie) {
    Vector3 push = {9, 9, 9};
    MeshPtr mesh(BoxMesh({{{-1, -1, -1}, {1, 1, 1}}}, 13));
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {0, 5, 0}, 1.0f, &push, nullptr), 0);
    ExpectVecNear(push, {0, 0, 0}, 0.0f);
    ASSERT_NE(GetCollisionBoxList(mesh.get(), 0), nullptr);

    // Both plates hold the centre and push it equally far, one along x, one
    // along z; either push alone frees the sphere of both.
    const AABox alongX = {{-0.01f, -0.5f, -0.01005f}, {0.01f, 0.5f, 0.01005f}};
    const AABox alongZ = {{-0.01005f, -0.5f, -0.01f}, {0.01005f, 0.5f, 0.01f}};
    const float p = (0.01f + 0.1f) * 1.001f;
    SetBoxes(mesh.get(), {alongX, alongZ});
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {0, 0, 0}, 0.1f, &push, nullptr), 1);
    ExpectVecNear(push, {p, 0, 0});
    SetBoxes(mesh.get(), {alongZ, alongX});
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {0, 0, 0}, 0.1f, &push, nullptr), 1);
    ExpectVecNear(push, {0, 0, p});
}

TEST_F(MeshGeometryTest, BoxSpheresThatKeepTouchingStopAfterAHundredPasses) {
    // Inside a huge box every push goes deeper and the sphere never gets free.
    const float big = 1e37f;
    const AABox box = {{0, -big, -big}, {2 * big, big, big}};
    MeshPtr mesh(BoxMesh({box}, 8));
    const Vector3 start = {1, 0, 0};
    Vector3 push;
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, start, 0.5f, &push, nullptr), 1);
    const auto after = [&](int passes) {
        Vector3 c = start;
        for (int pass = 0; pass < passes; ++pass) {
            Vector3 separation;
            EXPECT_EQ(SphereIntersectBox(box.min, box.max, c, 0.5f, &separation, nullptr), 1);
            if (Vec3LengthSquared(separation) >= 3e18f) {
                separation = {1e9f, 1e9f, 1e9f}; // no push beats the start value
            }
            c = {c.x + separation.x, c.y + separation.y, c.z + separation.z};
        }
        return c.x - start.x;
    };
    EXPECT_EQ(push.x, after(100));
    EXPECT_NE(push.x, after(99));
    EXPECT_NE(push.x, after(101));
}

TEST_F(MeshGeometryTest, CollisionDataIsBuiltOnceAndOutlivesVertexChangesUntilRebuilt) {
    const AABox box = {{-1, -1, -1}, {1, 1, 1}};
    MeshPtr mesh(BoxMesh({box}, 10));
    Vector3 push;
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {0, 1.5f, 0}, 1.0f, &push, nullptr), 1);
    const CollisionBoxList* built = GetCollisionBoxList(mesh.get(), 0);
    const std::vector<Vector3> far = {{100, 100, 100}, {101, 101, 101}, {101, 100, 100}};
    UpdateMeshVertices(mesh.get(), far.data(), nullptr, nullptr, nullptr, kKeepCount, kKeepCount);
    ASSERT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {0, 1.5f, 0}, 1.0f, &push, nullptr), 1);
    EXPECT_EQ(GetCollisionBoxList(mesh.get(), 0), built);
    BuildSubsetCollisionData(mesh.get(), 0);
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {0, 1.5f, 0}, 1.0f, &push, nullptr), 0);
    FreeSubsetCollisionData(mesh.get(), 0);
    EXPECT_EQ(GetCollisionBoxList(mesh.get(), 0), nullptr);
    // Types without query data answer 0.
    mesh->subsetSettings[0].word0 = 5;
    EXPECT_EQ(IntersectSphereWithMesh(mesh.get(), 0, {100, 100, 100}, 1.0f, &push, nullptr), 0);
}

// --- skinning ------------------------------------------------------------------

// A skinned mesh of three 32-byte vertices with the given skin records.
MeshItem* SkinnedMesh(const std::vector<SkinVertex>& skin) {
    const std::vector<Vector3> positions(skin.size(), Vector3{0, 0, 0});
    const std::vector<Vector3> normals(skin.size(), Vector3{0, 0, 0});
    std::vector<float> uvs;
    for (size_t i = 0; i < skin.size(); ++i) {
        uvs.insert(uvs.end(), {0.25f * i, 0.5f});
    }
    const std::vector<uint16_t> indices = {0, 1, 2};
    MeshItem* mesh = CreateMeshFromArrays(positions.data(), normals.data(), nullptr, uvs.data(),
                                          indices.data(), static_cast<uint32_t>(skin.size()), 1);
    mesh->meshKind = 1;
    mesh->subsets[0].skin = skin;
    mesh->subsets[0].flagWord = 1;
    return mesh;
}

SkinVertex Influenced(Vector3 position, std::initializer_list<std::pair<uint8_t, float>> bones,
                      uint8_t count) {
    SkinVertex s{};
    s.position = position;
    s.normal = {0, 1, 0};
    s.influenceCount = count;
    int k = 0;
    for (const auto& [bone, weight] : bones) {
        s.bones[k] = bone;
        s.weights[k] = weight;
        ++k;
    }
    return s;
}

BoneMatrices Translations(std::initializer_list<Vector3> offsets) {
    BoneMatrices m;
    for (const Vector3& t : offsets) {
        Matrix x;
        MatrixTranslation(&x, t.x, t.y, t.z);
        m.matrices.push_back(x);
    }
    return m;
}

TEST_F(MeshGeometryTest, SkinningWeighsTheBonesOfEachVertex) {
    MeshPtr mesh(SkinnedMesh({
        Influenced({1, 0, 0}, {{1, 0.3f}}, 0),            // count 0: bone 1 at full weight
        Influenced({1, 0, 0}, {{0, 0.5f}, {1, 0.5f}}, 2), // average
        Influenced({1, 0, 0}, {{2, 0.6f}}, 1),            // scaled
    }));
    BoneMatrices m = Translations({{10, 0, 0}, {0, 10, 0}, {0, 0, 10}});
    MatrixScaling(&m.matrices[2], 2, 2, 2);
    const auto before = Vertices(mesh.get());
    SkinMeshVertices(mesh.get(), &m, 0, nullptr);
    const auto after = Vertices(mesh.get());
    ExpectVecNear(VecAt(after, 0), {1, 10, 0});
    ExpectVecNear(VecAt(after, 32), {6, 5, 0});
    ExpectVecNear(VecAt(after, 64), {1.2f, 0, 0});
    ExpectVecNear(VecAt(after, 64 + 12), {0, 1.2f, 0}); // not renormalised
    for (uint32_t v = 0; v < 3; ++v) {
        EXPECT_EQ(std::memcmp(after.data() + v * 32 + 24, before.data() + v * 32 + 24, 8), 0);
    }
}

TEST_F(MeshGeometryTest, SkinnedBoundsAreTakenOnceUnlessASphereIsGiven) {
    MeshPtr mesh(SkinnedMesh({Influenced({0, 0, 0}, {{0, 1}}, 1),
                              Influenced({2, 0, 0}, {{0, 1}}, 1),
                              Influenced({0, 2, 0}, {{0, 1}}, 1)}));
    BoneMatrices m = Translations({{0, 0, 0}});
    const float given[4] = {7, 8, 9, 10};
    SkinMeshVertices(mesh.get(), &m, 0, given);
    float sphere[4];
    GetSubsetCollisionVector(sphere, mesh.get(), 0);
    EXPECT_EQ(std::vector<float>({sphere[0], sphere[3], float(mesh->subsets[0].flagWord)}),
              std::vector<float>({7.0f, 10.0f, 1.0f}));

    SkinMeshVertices(mesh.get(), &m, 0, nullptr);
    GetSubsetCollisionVector(sphere, mesh.get(), 0);
    ExpectVecNear({sphere[0], sphere[1], sphere[2]}, {1, 1, 0});
    EXPECT_NEAR(sphere[3], std::sqrt(2.0f) + 50.0f, 1e-4f);
    AABox box;
    GetSubsetCollisionExtents(&box, mesh.get(), 0);
    ExpectVecNear(box.max, {2, 2, 0});
    EXPECT_EQ(mesh->subsets[0].flagWord, 0u);

    // Later poses keep the first bounds.
    BoneMatrices moved = Translations({{100, 0, 0}});
    SkinMeshVertices(mesh.get(), &moved, 0, nullptr);
    GetSubsetCollisionExtents(&box, mesh.get(), 0);
    ExpectVecNear(box.max, {2, 2, 0});
    EXPECT_NEAR(VecAt(Vertices(mesh.get()), 0).x, 100.0f, 1e-5f);
}

TEST_F(MeshGeometryTest, SkinningLeavesWhatItCannotReachAlone) {
    MeshPtr mesh(SkinnedMesh({Influenced({1, 0, 0}, {{0, 1}}, 1),
                              Influenced({1, 0, 0}, {{0, 0.5f}, {7, 0.5f}}, 2),
                              Influenced({1, 0, 0}, {{5, 1}}, 0)}));
    const auto before = Vertices(mesh.get());
    SkinMeshVertices(mesh.get(), nullptr, 0, nullptr);
    EXPECT_EQ(Vertices(mesh.get()), before);
    EXPECT_EQ(mesh->subsets[0].flagWord, 1u);

    // A five-matrix array: vertices naming bones 5 and 7 stay as they were.
    BoneMatrices m = Translations({{0, 3, 0}, {}, {}, {}, {}});
    SkinMeshVertices(mesh.get(), &m, 0, nullptr);
    const auto after = Vertices(mesh.get());
    ExpectVecNear(VecAt(after, 0), {1, 3, 0});
    EXPECT_EQ(std::memcmp(after.data() + 32, before.data() + 32, 64), 0);

    // A skinned subset without skin records is skipped; an unskinned mesh is not touched.
    MeshPtr bare(SkinnedMesh({Influenced({1, 0, 0}, {{0, 1}}, 1)}));
    bare->subsets[0].skin.clear();
    const auto bareBefore = Vertices(bare.get());
    SkinMeshVertices(bare.get(), &m, 0, nullptr);
    EXPECT_EQ(Vertices(bare.get()), bareBefore);
    bare->subsets[0].skin = {Influenced({1, 0, 0}, {{0, 1}}, 1)};
    bare->meshKind = 0;
    SkinMeshVertices(bare.get(), &m, 0, nullptr);
    EXPECT_EQ(Vertices(bare.get()), bareBefore);
    SkinMeshVertices(nullptr, &m, 0, nullptr);
}

} // namespace
