// Per-frame cost of one shadow volume: building it from a 2,000-triangle
// mesh, closed (a sphere: half its edges cancel in the silhouette list)
// and open (a grid facing the light: every triangle is lit and the list
// holds its whole outline at the end).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "library/library_item.h"
#include "library/mesh_subset.h"
#include "library/render/shadow_volume.h"
#include "platform/os/gfx/recording_device.h"

namespace {

class QuietDevice : public gfx::RecordingDevice {
  public:
    QuietDevice() : gfx::RecordingDevice(1, 1) {}

  protected:
    void Record(const std::string &) override {}
};

// One subset of 32-byte vertices (position first) and 16-bit indices.
bool FillMesh(MeshItem *mesh, gfx::Device &device, const std::vector<Vector3> &positions,
              const std::vector<uint16_t> &indices) {
    std::vector<uint8_t> vertices(positions.size() * 32, 0);
    for (size_t i = 0; i < positions.size(); ++i) {
        std::memcpy(&vertices[i * 32], &positions[i], 12);
    }
    gfx::VertexBuffer *vb = nullptr;
    gfx::IndexBuffer *ib = nullptr;
    if (gfx::Failed(device.CreateVertexBuffer(uint32_t(vertices.size()), 0, 0x112,
                                              gfx::Pool::Managed, &vb)) ||
        gfx::Failed(device.CreateIndexBuffer(uint32_t(indices.size() * 2), 0,
                                             gfx::Format::Index16, gfx::Pool::Managed, &ib))) {
        return false;
    }
    uint8_t *at = nullptr;
    vb->Lock(0, 0, &at, 0);
    std::memcpy(at, vertices.data(), vertices.size());
    vb->Unlock();
    ib->Lock(0, 0, &at, 0);
    std::memcpy(at, indices.data(), indices.size() * 2);
    ib->Unlock();
    mesh->subsets.emplace_back();
    MeshSubset &s = mesh->subsets.back();
    s.SetVertexBuffer(vb);
    s.SetIndexBuffer(ib);
    s.fvf = 0x112;
    s.vertexSize = 32;
    s.vertexCount = uint32_t(positions.size());
    s.triangleCount = uint32_t(indices.size() / 3);
    s.frameCount = 1;
    mesh->loaded = 1;
    return true;
}

// A sphere of radius 10: 40 slices, 26 stacks, 2 x 40 x 25 = 2,000
// triangles turned outwards.
void Sphere(std::vector<Vector3> *positions, std::vector<uint16_t> *indices) {
    constexpr int kSlices = 40;
    constexpr int kStacks = 26;
    positions->push_back({0.0f, 10.0f, 0.0f});
    for (int st = 1; st < kStacks; ++st) {
        const float phi = 3.14159265f * float(st) / kStacks;
        for (int sl = 0; sl < kSlices; ++sl) {
            const float theta = 6.28318531f * float(sl) / kSlices;
            positions->push_back({10.0f * std::sin(phi) * std::cos(theta), 10.0f * std::cos(phi),
                                  10.0f * std::sin(phi) * std::sin(theta)});
        }
    }
    const auto bottom = uint16_t(positions->size());
    positions->push_back({0.0f, -10.0f, 0.0f});
    auto ring = [](int st, int sl) { return uint16_t(1 + (st - 1) * kSlices + sl % kSlices); };
    for (int sl = 0; sl < kSlices; ++sl) {
        indices->insert(indices->end(), {0, ring(1, sl + 1), ring(1, sl)});
        indices->insert(indices->end(),
                        {bottom, ring(kStacks - 1, sl), ring(kStacks - 1, sl + 1)});
    }
    for (int st = 1; st < kStacks - 1; ++st) {
        for (int sl = 0; sl < kSlices; ++sl) {
            const uint16_t a = ring(st, sl), b = ring(st, sl + 1), c = ring(st + 1, sl),
                           d = ring(st + 1, sl + 1);
            indices->insert(indices->end(), {a, b, c, b, d, c});
        }
    }
}

// A 40 x 25 grid of squares in the plane y 0: 2,000 triangles.
void Grid(std::vector<Vector3> *positions, std::vector<uint16_t> *indices) {
    constexpr int kW = 40;
    constexpr int kH = 25;
    for (int z = 0; z <= kH; ++z) {
        for (int x = 0; x <= kW; ++x) {
            positions->push_back({float(x), 0.0f, float(z)});
        }
    }
    for (int z = 0; z < kH; ++z) {
        for (int x = 0; x < kW; ++x) {
            const auto a = uint16_t(z * (kW + 1) + x);
            const auto b = uint16_t(a + 1);
            const auto c = uint16_t(a + kW + 1);
            const auto d = uint16_t(c + 1);
            indices->insert(indices->end(), {a, c, b, b, c, d});
        }
    }
}

void Run(benchmark::State &state, bool sphere) {
    QuietDevice device;
    MeshItem mesh;
    std::vector<Vector3> positions;
    std::vector<uint16_t> indices;
    if (sphere) {
        Sphere(&positions, &indices);
    } else {
        Grid(&positions, &indices);
    }
    if (indices.size() != 6000 || !FillMesh(&mesh, device, positions, indices)) {
        state.SkipWithError("mesh not made");
        return;
    }
    ShadowVolume volume;
    const Vector3 light = kShadowLightOffset;
    for (auto _ : state) {
        volume.BuildFromMesh(&device, &mesh, light);
        benchmark::DoNotOptimize(volume.sideTriangles);
    }
    state.counters["sides"] = double(volume.sideTriangles);
    state.counters["caps"] = double(volume.capTriangles);
    state.SetItemsProcessed(int64_t(state.iterations()) * 2000);
    volume.ReleaseBuffers();
    mesh.subsets.clear();
}

void BM_BuildFromMesh2000TrianglesClosed(benchmark::State &state) { Run(state, true); }
void BM_BuildFromMesh2000TrianglesOpenGrid(benchmark::State &state) { Run(state, false); }

} // namespace

BENCHMARK(BM_BuildFromMesh2000TrianglesClosed);
BENCHMARK(BM_BuildFromMesh2000TrianglesOpenGrid);
