// Per-frame costs of animated and colliding meshes: posing 60 bones with
// four active layers, skinning 5,000 vertices of four influences, and a
// sphere query against the merged boxes of 2,000 triangles (type 10).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "library/key_track.h"
#include "library/library_item.h"
#include "library/mesh_geometry.h"
#include "library/name_table.h"
#include "library/skeleton.h"
#include "platform/os/gfx/device.h"
#include "platform/os/gfx/recording_device.h"

namespace {

class QuietDevice : public gfx::RecordingDevice {
public:
    QuietDevice() : gfx::RecordingDevice(1, 1) {}

protected:
    void Record(const std::string&) override {}
};

Quaternion Turn(float x, float y, float z, float angle) {
    Quaternion q;
    QuaternionRotationAxis(&q, {x, y, z}, angle);
    return q;
}

void BM_ComputeBonePose60Bones4Layers(benchmark::State& state) {
    constexpr uint32_t kBones = 60;
    MeshItem mesh;
    mesh.loaded = 1;
    MotionItem motion;
    motion.loaded = 1;
    for (uint32_t i = 0; i < kBones; ++i) {
        auto bone = std::make_unique<Bone>();
        bone->parent = i == 0 ? -1 : static_cast<int32_t>((i - 1) / 2);
        bone->nameId = GetNameTable().FindOrAdd("BenchBone" + std::to_string(i));
        mesh.bones.push_back(std::move(bone));
        auto track = std::make_unique<KeyTrack>();
        track->nameId = mesh.bones.back()->nameId;
        for (int k = 0; k < 8; ++k) {
            track->AddRotationKey(float(k), Turn(0, 1, 0, 0.1f * float(k + i)));
            track->AddPositionKey(float(k), {float(k), float(i), 0.0f});
        }
        track->MarkInterpolatedKeys();
        motion.tracks.push_back(std::move(track));
    }
    Skeleton* skeleton = CreateSkeleton(&mesh);
    BoneMatrices* out = AllocBoneMatrices(&mesh);
    const Quaternion layerTurn = Turn(1, 0, 0, 0.3f);
    const Vector3 layerMove = {0.0f, 1.0f, 0.0f};
    for (uint32_t i = 0; i < kBones; ++i) {
        Bone* bone = GetSkeletonBone(skeleton, i);
        for (uint32_t n = 0; n < 4; ++n) {
            SetBoneLayerRotation(bone, &layerTurn, n);
            SetBoneLayerPosition(bone, &layerMove, n);
            SetBoneLayerMode(bone, n % 3, n);
            SetBoneLayerWeight(bone, 0.5f, n);
        }
    }
    float time = 0.0f;
    for (auto _ : state) {
        ComputeBonePose(skeleton, &motion, out, time);
        time = time > 7.0f ? 0.0f : time + 0.37f;
        benchmark::DoNotOptimize(out->matrices[kBones - 1].m[3][0]);
    }
    FreeBoneMatrices(out);
    DestroySkeleton(skeleton);
}

void BM_SkinMeshVertices5000x4(benchmark::State& state) {
    constexpr uint32_t kVertices = 5000;
    QuietDevice device;
    MeshItem mesh;
    mesh.loaded = 1;
    mesh.meshKind = 1;
    mesh.subsets.emplace_back();
    mesh.subsetSettings.resize(1);
    MeshSubset& s = mesh.subsets[0];
    gfx::VertexBuffer* vb = nullptr;
    device.CreateVertexBuffer(kVertices * 32, 0, 0x112, gfx::Pool::SystemMem, &vb);
    s.SetVertexBuffer(vb);
    s.fvf = 0x112;
    s.vertexSize = 32;
    s.vertexCount = kVertices;
    s.frameCount = 1;
    s.flagWord = 0;
    for (uint32_t v = 0; v < kVertices; ++v) {
        SkinVertex k{};
        k.position = {float(v % 100), float(v / 100), 1.0f};
        k.normal = {0.0f, 1.0f, 0.0f};
        k.influenceCount = 4;
        for (uint8_t b = 0; b < 4; ++b) {
            k.bones[b] = static_cast<uint8_t>((v + b * 7) % 60);
            k.weights[b] = 0.25f;
        }
        s.skin.push_back(k);
    }
    BoneMatrices matrices;
    for (int b = 0; b < 60; ++b) {
        Matrix m;
        MatrixRotationY(&m, 0.05f * float(b));
        m.m[3][1] = float(b);
        matrices.matrices.push_back(m);
    }
    const float sphere[4] = {0.0f, 0.0f, 0.0f, 500.0f};
    for (auto _ : state) {
        SkinMeshVertices(&mesh, &matrices, 0, sphere);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kVertices);
}

void BM_IntersectSphereWithMesh2000Triangles(benchmark::State& state) {
    // A 41 x 26 grid of vertices on a bumpy floor: 40 x 25 cells, 2,000
    // triangles.
    constexpr uint32_t kWide = 41;
    constexpr uint32_t kHigh = 26;
    QuietDevice device;
    MeshItem mesh;
    mesh.loaded = 1;
    mesh.subsets.emplace_back();
    mesh.subsetSettings.resize(1);
    mesh.subsetSettings[0].word0 = 10;
    MeshSubset& s = mesh.subsets[0];
    std::vector<uint8_t> vertices(size_t{kWide} * kHigh * 32, 0);
    for (uint32_t y = 0; y < kHigh; ++y) {
        for (uint32_t x = 0; x < kWide; ++x) {
            const Vector3 p = {float(x), float((x * 7 + y * 3) % 5) * 0.2f, float(y)};
            std::memcpy(vertices.data() + size_t{y * kWide + x} * 32, &p, sizeof p);
        }
    }
    std::vector<uint16_t> indices;
    for (uint32_t y = 0; y + 1 < kHigh; ++y) {
        for (uint32_t x = 0; x + 1 < kWide; ++x) {
            const auto i = static_cast<uint16_t>(y * kWide + x);
            const auto right = static_cast<uint16_t>(i + 1);
            const auto below = static_cast<uint16_t>(i + kWide);
            const auto across = static_cast<uint16_t>(below + 1);
            indices.insert(indices.end(), {i, below, right, right, below, across});
        }
    }
    gfx::VertexBuffer* vb = nullptr;
    gfx::IndexBuffer* ib = nullptr;
    device.CreateVertexBuffer(uint32_t(vertices.size()), 0, 0x112, gfx::Pool::SystemMem, &vb);
    device.CreateIndexBuffer(uint32_t(indices.size() * 2), 0, gfx::Format::Index16,
                             gfx::Pool::SystemMem, &ib);
    uint8_t* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices.data(), vertices.size());
    vb->Unlock();
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices.data(), indices.size() * 2);
    ib->Unlock();
    s.SetVertexBuffer(vb);
    s.SetIndexBuffer(ib);
    s.fvf = 0x112;
    s.vertexSize = 32;
    s.vertexCount = kWide * kHigh;
    s.triangleCount = uint32_t(indices.size() / 3);
    s.frameCount = 1;
    BuildSubsetCollisionData(&mesh, 0);
    state.counters["boxes"] = double(GetCollisionBoxList(&mesh, 0)->boxes.size());
    float x = 0.0f;
    for (auto _ : state) {
        Vector3 push;
        const int hit = IntersectSphereWithMesh(&mesh, 0, {x, 0.5f, 12.0f}, 0.6f, &push, nullptr);
        benchmark::DoNotOptimize(hit);
        benchmark::DoNotOptimize(push);
        x = x > 39.0f ? 0.0f : x + 0.73f;
    }
}

BENCHMARK(BM_ComputeBonePose60Bones4Layers);
BENCHMARK(BM_SkinMeshVertices5000x4);
BENCHMARK(BM_IntersectSphereWithMesh2000Triangles);

} // namespace
