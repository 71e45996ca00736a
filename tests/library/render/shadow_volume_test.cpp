// Shadow volumes: edge toggling, silhouettes and extrusion of meshes, the
// buffers' sizes, the light point, the camera distance and the quad.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "library/library_item.h"
#include "library/mesh_subset.h"
#include "library/render/render_test_util.h"
#include "library/render/shadow_volume.h"
#include "platform/os/gfx/recording_device.h"

namespace {

struct Tri {
    Vector3 p[3];
};

bool Near(const Vector3 &a, const Vector3 &b) {
    return std::abs(a.x - b.x) < 1e-5f && std::abs(a.y - b.y) < 1e-5f &&
           std::abs(a.z - b.z) < 1e-5f;
}

::testing::AssertionResult SameTris(const std::vector<Tri> &got, const std::vector<Tri> &want) {
    if (got.size() != want.size()) {
        return ::testing::AssertionFailure() << got.size() << " triangles, wanted " << want.size();
    }
    for (size_t t = 0; t < got.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            if (!Near(got[t].p[k], want[t].p[k])) {
                const Vector3 &g = got[t].p[k];
                return ::testing::AssertionFailure() << "triangle " << t << " corner " << k
                                                     << " is (" << g.x << ", " << g.y << ", "
                                                     << g.z << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<Tri> ReadTris(gfx::VertexBuffer *buffer, uint32_t count) {
    std::vector<Tri> out(count);
    if (count != 0) {
        std::memcpy(out.data(), buffer->Data(), size_t(count) * sizeof(Tri));
    }
    return out;
}

// The unit cube's corners: index x + 2y + 4z.
Vector3 Corner(uint16_t i) { return {float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)}; }

// Its twelve triangles, (p1 - p0) x (p2 - p1) pointing out: top, bottom,
// front (z 0), back, left (x 0), right.
const std::vector<uint16_t> kCubeIndices = {2, 6, 7, 2, 7, 3, 0, 5, 4, 0, 1, 5, 0, 2, 3, 0, 3, 1,
                                            4, 5, 7, 4, 7, 6, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};

class ShadowVolumeTest : public ::testing::Test {
  protected:
    // A loaded mesh item of one subset at the given stride (position first,
    // the rest of each vertex filled with 0xCD).
    void MakeMesh(MeshItem *mesh, const std::vector<Vector3> &positions,
                  const std::vector<uint16_t> &indices, uint32_t stride, uint32_t fvf) {
        mesh->subsets.clear();
        std::vector<uint8_t> vertices(positions.size() * stride, 0xCD);
        for (size_t i = 0; i < positions.size(); ++i) {
            std::memcpy(&vertices[i * stride], &positions[i], 12);
        }
        ASSERT_TRUE(rendertest::AddSubset(*mesh, device_, fvf, stride, vertices, 1, indices));
        mesh->loaded = 1;
    }
    void MakeCube(MeshItem *mesh, uint32_t stride = 32, uint32_t fvf = 0x112) {
        std::vector<Vector3> corners;
        for (uint16_t i = 0; i < 8; ++i) {
            corners.push_back(Corner(i));
        }
        MakeMesh(mesh, corners, kCubeIndices, stride, fvf);
    }

    void TearDown() override {
        volume_.ReleaseBuffers();
        for (MeshItem *m : {&mesh_, &other_}) {
            m->subsets.clear();
        }
    }

    gfx::RecordingDevice device_{64, 64};
    MeshItem mesh_;
    MeshItem other_;
    ShadowVolume volume_;
};

TEST(ShadowEdgeTest, TwinsCancelAndTheLastEdgeFillsTheHole) {
    ShadowEdge edges[4] = {};
    uint32_t count = 0;
    AddShadowEdge(edges, &count, 1, 2);
    ASSERT_EQ(count, 1u);
    AddShadowEdge(edges, &count, 2, 1); // the only edge, reversed
    EXPECT_EQ(count, 0u);

    AddShadowEdge(edges, &count, 1, 2);
    AddShadowEdge(edges, &count, 3, 4);
    AddShadowEdge(edges, &count, 5, 6);
    AddShadowEdge(edges, &count, 3, 4); // same direction cancels too
    ASSERT_EQ(count, 2u);
    EXPECT_EQ((std::tuple{edges[0].a, edges[1].a, edges[1].b}), (std::tuple{1, 5, 6}));
    AddShadowEdge(edges, &count, 6, 5); // the last one: nothing moves
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(edges[0].b, 2);
}

TEST_F(ShadowVolumeTest, OneLitTriangleGivesThreeEdgesSixSidesOneCap) {
    MakeMesh(&mesh_, {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}}, {0, 1, 2}, 32, 0x112);
    const Vector3 light = {0.0f, 5.0f, 0.0f};
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, light), gfx::Result::Ok);
    EXPECT_EQ((std::tuple{volume_.capTriangles, volume_.sideTriangles}), (std::tuple{1u, 6u}));
    EXPECT_TRUE(SameTris(ReadTris(volume_.capBuffer, 1), {{{{0, 0, 0}, {1, 0, 1}, {0, 0, 1}}}}));

    // Light in the triangle's plane: still counts as facing it.
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, {5.0f, 0.0f, -3.0f}), gfx::Result::Ok);
    EXPECT_EQ(volume_.sideTriangles, 6u);
    EXPECT_TRUE(SameTris(ReadTris(volume_.capBuffer, 1), {{{{0, 0, 0}, {1, 0, 1}, {0, 0, 1}}}}));

    // Light below: a far cap, no silhouette.
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, {0.0f, -2.0f, 0.0f}), gfx::Result::Ok);
    EXPECT_EQ(volume_.sideTriangles, 0u);
    EXPECT_TRUE(SameTris(ReadTris(volume_.capBuffer, 1), {{{{0, 2, 0}, {1, 2, 1}, {0, 2, 1}}}}));
}

TEST_F(ShadowVolumeTest, CubeLitFromAboveExtrudesTheTopOutline) {
    MakeCube(&mesh_);
    const Vector3 L = {0.5f, 10.0f, 0.5f};
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Ok);
    ASSERT_EQ(volume_.capTriangles, 12u);
    ASSERT_EQ(volume_.sideTriangles, 8u);

    // Buffers sized for the worst case.
    EXPECT_EQ(volume_.sideBuffer->GetLength(), 12u * 3 * 72);
    EXPECT_EQ(volume_.capBuffer->GetLength(), 12u * 36);

    const std::vector<Tri> caps = ReadTris(volume_.capBuffer, 12);
    // The two top triangles stay in place, turned round.
    EXPECT_TRUE(SameTris({caps[0], caps[1]}, {{{{0, 1, 0}, {1, 1, 1}, {0, 1, 1}}},
                                              {{{0, 1, 0}, {1, 1, 0}, {1, 1, 1}}}}));
    // The others are pushed away from the light: bottom (0, 5, 4) and the
    // right face's (1, 7, 5).
    EXPECT_TRUE(SameTris({caps[2], caps[11]},
                         {{{{-0.5f, -10, -0.5f}, {-0.5f, -10, 0.5f}, {0.5f, -10, 0.5f}}},
                          {{{0.5f, -10, -0.5f}, {0.5f, -10, 0.5f}, {0.5f, -9, 0.5f}}}}));

    // The top's outline (2, 6), (6, 7), (7, 3), (3, 2), each as (A, B, A - L)
    // and (B, B - L, A - L).
    const Vector3 c2 = {0, 1, 0}, c3 = {1, 1, 0}, c6 = {0, 1, 1}, c7 = {1, 1, 1};
    const Vector3 f2 = {-0.5f, -9, -0.5f}, f3 = {0.5f, -9, -0.5f}, f6 = {-0.5f, -9, 0.5f},
                  f7 = {0.5f, -9, 0.5f};
    EXPECT_TRUE(SameTris(ReadTris(volume_.sideBuffer, 8), {{{c2, c6, f2}},
                                                           {{c6, f6, f2}},
                                                           {{c6, c7, f6}},
                                                           {{c7, f7, f6}},
                                                           {{c7, c3, f7}},
                                                           {{c3, f3, f7}},
                                                           {{c3, c2, f3}},
                                                           {{c2, f2, f3}}}));
}

TEST_F(ShadowVolumeTest, PositionsAreReadAtTheSubsetsStride) {
    const Vector3 L = {0.5f, 10.0f, 0.5f};
    MakeCube(&mesh_, 32, 0x112);
    MakeCube(&other_, 24, 0x142);
    ShadowVolume narrow;
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Ok);
    ASSERT_EQ(narrow.BuildFromMesh(&device_, &other_, L), gfx::Result::Ok);
    EXPECT_EQ(narrow.sideTriangles, volume_.sideTriangles);
    EXPECT_TRUE(SameTris(ReadTris(narrow.sideBuffer, narrow.sideTriangles),
                         ReadTris(volume_.sideBuffer, volume_.sideTriangles)));
    EXPECT_TRUE(SameTris(ReadTris(narrow.capBuffer, 12), ReadTris(volume_.capBuffer, 12)));

    // A position-only mesh (stride 12) reads as well.
    MakeCube(&other_, 12, gfx::Fvf::Xyz);
    ASSERT_EQ(narrow.BuildFromMesh(&device_, &other_, L), gfx::Result::Ok);
    EXPECT_TRUE(SameTris(ReadTris(narrow.sideBuffer, narrow.sideTriangles),
                         ReadTris(volume_.sideBuffer, volume_.sideTriangles)));
}

TEST_F(ShadowVolumeTest, BuffersFollowTheMeshAtBuildTime) {
    const Vector3 L = {0.5f, 10.0f, 0.5f};
    // Nothing to build from: not loaded, no subsets, no triangles.
    EXPECT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Fail);
    mesh_.loaded = 1;
    EXPECT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Fail);
    MakeCube(&mesh_);
    mesh_.loaded = 0;
    EXPECT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Fail);
    EXPECT_EQ((std::tuple{volume_.sideBuffer, volume_.capTriangles}), (std::tuple{nullptr, 0u}));

    // A one-triangle mesh first, then the cube in its place: the buffers grow.
    MakeMesh(&mesh_, {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}}, {0, 1, 2}, 32, 0x112);
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Ok);
    EXPECT_EQ(volume_.capBuffer->GetLength(), 36u);
    MakeCube(&mesh_);
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Ok);
    EXPECT_EQ(volume_.capBuffer->GetLength(), 12u * 36);
    EXPECT_EQ(volume_.sideBuffer->GetLength(), 12u * 216);
    EXPECT_EQ(volume_.capTriangles, 12u);
    gfx::VertexBuffer *kept = volume_.sideBuffer;

    // Back to the small mesh: the large buffers are kept.
    MakeMesh(&mesh_, {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}}, {0, 1, 2}, 32, 0x112);
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Ok);
    EXPECT_EQ((std::tuple{volume_.sideBuffer, volume_.capTriangles}), (std::tuple{kept, 1u}));

    volume_.ReleaseBuffers();
    EXPECT_EQ(
        (std::tuple{volume_.sideBuffer, volume_.capBuffer, volume_.CreateBuffers(&device_, 0)}),
        (std::tuple{nullptr, nullptr, gfx::Result::Fail}));
    EXPECT_EQ(volume_.CreateBuffers(nullptr, 5), gfx::Result::Fail);
}

TEST_F(ShadowVolumeTest, DrawsCapsThenSidesAsPositions) {
    MakeCube(&mesh_);
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, {0.5f, 10.0f, 0.5f}), gfx::Result::Ok);
    device_.ClearDraws();
    volume_.Draw(&device_, false);
    ASSERT_EQ(device_.GetDraws().size(), 2u);
    EXPECT_EQ(device_.GetDraws()[0].primitiveCount, 12u);
    EXPECT_EQ(device_.GetDraws()[1].primitiveCount, 8u);
    for (const gfx::RecordedDraw &d : device_.GetDraws()) {
        EXPECT_EQ((std::tuple{d.fvf, d.stride, d.primitive}),
                  (std::tuple{gfx::Fvf::Xyz, 12u, gfx::Primitive::TriangleList}));
    }
    device_.ClearDraws();
    volume_.Draw(&device_, true);
    ASSERT_EQ(device_.GetDraws().size(), 1u);
    EXPECT_EQ(device_.GetDraws()[0].primitiveCount, 12u);
}

TEST(ShadowLightTest, LightPointAndCameraDistance) {
    Matrix world;
    MatrixTranslation(&world, 10.0f, 20.0f, 30.0f);
    Vector3 L;
    ASSERT_TRUE(ShadowLightPoint(world, &L));
    EXPECT_TRUE(Near(L, {60.0f, 300.0f, -60.0f}));

    Matrix scaled;
    MatrixScaling(&scaled, 2.0f, 2.0f, 2.0f);
    ASSERT_TRUE(ShadowLightPoint(scaled, &L));
    EXPECT_TRUE(Near(L, {30.0f, 150.0f, -30.0f}));

    // A matrix scaled by 0 has no inverse: no light point at all.
    Matrix flat;
    MatrixScaling(&flat, 0.0f, 0.0f, 0.0f);
    flat.m[3][1] = 5.0f;
    EXPECT_FALSE(ShadowLightPoint(flat, &L));

    // Measured from the position minus (30, 150, -30).
    const Vector3 camera = {0.0f, 0.0f, 0.0f};
    EXPECT_FALSE(ShadowCameraFarEnough({230.0f, 150.0f, -30.0f}, camera));
    EXPECT_TRUE(ShadowCameraFarEnough({230.01f, 150.0f, -30.0f}, camera));
    EXPECT_FALSE(ShadowCameraFarEnough({30.0f, 150.0f, -30.0f}, camera));
    EXPECT_TRUE(ShadowCameraFarEnough({30.0f, 150.0f, -30.0f}, {0.0f, 0.0f, 250.0f}));
}

} // namespace

namespace {

// A bumpy 40 x 40 grid (3,200 triangles, shared edges, some triangles facing
// away from the light): the sides come out exactly as toggling every lit
// triangle's edges through AddShadowEdge lists them, edge for edge and in
// the same order.
TEST_F(ShadowVolumeTest, LargeMeshGivesTheSidesOfThePairwiseEdgeList) {
    constexpr uint16_t kSide = 41;
    std::vector<Vector3> positions;
    for (uint16_t z = 0; z < kSide; ++z) {
        for (uint16_t x = 0; x < kSide; ++x) {
            positions.push_back({float(x), std::sin(float(x) * 0.7f) * std::cos(float(z) * 0.5f) * 3.0f,
                                 float(z)});
        }
    }
    std::vector<uint16_t> indices;
    for (uint16_t z = 0; z + 1 < kSide; ++z) {
        for (uint16_t x = 0; x + 1 < kSide; ++x) {
            const uint16_t i = uint16_t(z * kSide + x);
            for (uint16_t v : {i, uint16_t(i + kSide), uint16_t(i + kSide + 1), i,
                               uint16_t(i + kSide + 1), uint16_t(i + 1)}) {
                indices.push_back(v);
            }
        }
    }
    MakeMesh(&mesh_, positions, indices, 12, 0x002);
    const Vector3 L = {13.0f, 6.0f, 27.0f};
    ASSERT_EQ(volume_.BuildFromMesh(&device_, &mesh_, L), gfx::Result::Ok);

    std::vector<ShadowEdge> edges(indices.size() + 1);
    uint32_t count = 0;
    for (size_t t = 0; t < indices.size(); t += 3) {
        const Vector3 &p0 = positions[indices[t]], &p1 = positions[indices[t + 1]],
                      &p2 = positions[indices[t + 2]];
        const Vector3 u = {p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
        const Vector3 v = {p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
        const Vector3 n = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
        if ((L.x - p0.x) * n.x + (L.y - p0.y) * n.y + (L.z - p0.z) * n.z >= 0.0f) {
            AddShadowEdge(edges.data(), &count, indices[t], indices[t + 1]);
            AddShadowEdge(edges.data(), &count, indices[t + 1], indices[t + 2]);
            AddShadowEdge(edges.data(), &count, indices[t + 2], indices[t]);
        }
    }
    ASSERT_GT(count, 40u);
    ASSERT_EQ(volume_.sideTriangles, count * 2);
    std::vector<Tri> want;
    for (uint32_t e = 0; e < count; ++e) {
        const Vector3 a = positions[edges[e].a], b = positions[edges[e].b];
        const Vector3 aFar = {a.x - L.x, a.y - L.y, a.z - L.z};
        const Vector3 bFar = {b.x - L.x, b.y - L.y, b.z - L.z};
        want.push_back({{a, b, aFar}});
        want.push_back({{b, bFar, aFar}});
    }
    EXPECT_TRUE(SameTris(ReadTris(volume_.sideBuffer, count * 2), want));
}

} // namespace
