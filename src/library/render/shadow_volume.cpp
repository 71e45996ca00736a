// Volume building, volume buffers and the darkening quad.
#include "library/render/shadow_volume.h"

#include <cstring>
#include <algorithm>
#include <memory>
#include <new>

#include "library/library_item.h"
#include "library/mesh_subset.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"

namespace {

gfx::VertexBuffer *g_shadowQuad = nullptr;

struct QuadVertex {
    float x, y, z, rhw;
    uint32_t color;
};
constexpr uint32_t kQuadFvf = gfx::Fvf::XyzRhw | gfx::Fvf::Diffuse;
constexpr uint32_t kQuadStride = 20;
static_assert(sizeof(QuadVertex) == kQuadStride);

uint8_t *Put(uint8_t *at, const Vector3 &p) {
    std::memcpy(at, &p.x, 4);
    std::memcpy(at + 4, &p.y, 4);
    std::memcpy(at + 8, &p.z, 4);
    return at + 12;
}

// Position of vertex i of a buffer of `length` bytes at `stride`; false when
// it lies outside.
bool ReadPosition(const uint8_t *vertices, uint64_t length, uint32_t stride, uint32_t i,
                  Vector3 *out) {
    const uint64_t at = uint64_t(i) * stride;
    if (at + 12 > length) {
        return false;
    }
    std::memcpy(&out->x, vertices + at, 4);
    std::memcpy(&out->y, vertices + at + 4, 4);
    std::memcpy(&out->z, vertices + at + 8, 4);
    return true;
}

// The silhouette's edge list as AddShadowEdge keeps it (an edge met twice
// leaves, the last edge moving into its place), with a slot table that finds
// an undirected edge's place at once instead of walking the list: the same
// list, in the same order, at a cost that grows with the triangles and not
// with their square.
class SilhouetteEdges {
  public:
    // Room for `most` additions; false when the memory is not there.
    bool Reserve(uint32_t most) {
        uint64_t slots = 16;
        while (slots < uint64_t(most) * 2) {
            slots *= 2;
        }
        edges_.reset(new (std::nothrow) ShadowEdge[size_t(most) + 1]);
        places_.reset(new (std::nothrow) uint32_t[size_t(most) + 1]);
        slots_.reset(new (std::nothrow) uint32_t[size_t(slots)]());
        mask_ = uint32_t(slots - 1);
        count_ = 0;
        return edges_ && places_ && slots_;
    }

    void Toggle(uint16_t a, uint16_t b) {
        const uint32_t key = Key(a, b);
        uint32_t slot = Hash(key) & mask_;
        // Slots hold 0 (never used), kGone (an edge that left) or 1 + the
        // edge's place in the list.
        while (slots_[slot] != 0) {
            const uint32_t held = slots_[slot];
            if (held != kGone && Key(edges_[held - 1].a, edges_[held - 1].b) == key) {
                const uint32_t place = held - 1;
                const uint32_t last = count_ - 1;
                slots_[slot] = kGone;
                if (place != last) {
                    edges_[place] = edges_[last];
                    places_[place] = places_[last];
                    slots_[places_[place]] = place + 1;
                }
                count_ = last;
                return;
            }
            slot = (slot + 1) & mask_;
        }
        edges_[count_] = {a, b};
        places_[count_] = slot;
        slots_[slot] = ++count_;
    }

    const ShadowEdge *Edges() const { return edges_.get(); }
    uint32_t Count() const { return count_; }

  private:
    static constexpr uint32_t kGone = 0xFFFFFFFFu;
    static uint32_t Key(uint16_t a, uint16_t b) {
        return a < b ? (uint32_t(a) << 16 | b) : (uint32_t(b) << 16 | a);
    }
    static uint32_t Hash(uint32_t key) { return (key * 0x9E3779B1u) >> 7; }

    std::unique_ptr<ShadowEdge[]> edges_;
    std::unique_ptr<uint32_t[]> places_; // each edge's slot
    std::unique_ptr<uint32_t[]> slots_;
    uint32_t mask_ = 0;
    uint32_t count_ = 0;
};

void ReleaseBuffer(gfx::VertexBuffer **buffer) {
    if (*buffer != nullptr) {
        (*buffer)->Release();
        *buffer = nullptr;
    }
}

} // namespace

void AddShadowEdge(ShadowEdge *edges, uint32_t *count, uint16_t a, uint16_t b) {
    const uint32_t n = *count;
    for (uint32_t i = 0; i < n; ++i) {
        if ((edges[i].a == a && edges[i].b == b) || (edges[i].a == b && edges[i].b == a)) {
            if (n > 1) {
                edges[i] = edges[n - 1];
            }
            *count = n - 1;
            return;
        }
    }
    edges[n] = {a, b};
    *count = n + 1;
}

// --- volume ------------------------------------------------------------------------

int32_t ShadowVolume::CreateBuffers(gfx::Device *device, uint32_t triangles) {
    if (device == nullptr || triangles == 0) {
        return gfx::Result::Fail;
    }
    if (sideBuffer != nullptr && capBuffer != nullptr && capacity >= triangles &&
        sideBuffer->GetDevice() == device && capBuffer->GetDevice() == device) {
        return gfx::Result::Ok;
    }
    ReleaseBuffers();
    const uint64_t sideBytes = uint64_t(triangles) * 3 * kShadowEdgeBytes;
    const uint64_t capBytes = uint64_t(triangles) * kShadowCapBytes;
    if (sideBytes > 0xFFFFFFFFu) {
        return gfx::Result::Fail;
    }
    if (gfx::Failed(device->CreateVertexBuffer(uint32_t(sideBytes), gfx::Usage::WriteOnly, 0,
                                               gfx::Pool::Default, &sideBuffer)) ||
        gfx::Failed(device->CreateVertexBuffer(uint32_t(capBytes), gfx::Usage::WriteOnly, 0,
                                               gfx::Pool::Default, &capBuffer))) {
        ReleaseBuffers();
        return gfx::Result::Fail;
    }
    capacity = triangles;
    return gfx::Result::Ok;
}

void ShadowVolume::ReleaseBuffers() {
    ReleaseBuffer(&sideBuffer);
    ReleaseBuffer(&capBuffer);
    capacity = 0;
}

int32_t ShadowVolume::BuildFromMesh(gfx::Device *device, MeshItem *mesh, const Vector3 &light) {
    sideTriangles = 0;
    capTriangles = 0;
    if (mesh == nullptr || !mesh->loaded || mesh->subsets.empty()) {
        return gfx::Result::Fail;
    }
    const MeshSubset &subset = mesh->subsets[0];
    const uint32_t triangles = subset.triangleCount;
    if (triangles == 0 || subset.vertexBuffer == nullptr || subset.indexBuffer == nullptr ||
        subset.vertexSize < 12) {
        return gfx::Result::Fail;
    }
    if (gfx::Failed(CreateBuffers(device, triangles))) {
        return gfx::Result::Fail;
    }

    // The facade keeps both buffers in memory: read-only locks cost nothing.
    uint8_t *vertexBytes = nullptr;
    uint8_t *indexBytes = nullptr;
    if (gfx::Failed(subset.vertexBuffer->Lock(0, 0, &vertexBytes, gfx::Lock::ReadOnly))) {
        return gfx::Result::Fail;
    }
    if (gfx::Failed(subset.indexBuffer->Lock(0, 0, &indexBytes, gfx::Lock::ReadOnly))) {
        subset.vertexBuffer->Unlock();
        return gfx::Result::Fail;
    }
    auto unlockMesh = [&] {
        subset.indexBuffer->Unlock();
        subset.vertexBuffer->Unlock();
    };
    const uint64_t vertexLength = subset.vertexBuffer->GetLength();
    const uint32_t stride = subset.vertexSize;
    const uint64_t indexCount = subset.indexBuffer->GetLength() / 2;
    const uint32_t usable =
        uint32_t(std::min<uint64_t>(triangles, indexCount / 3)); // whole triangles present

    uint8_t *caps = nullptr;
    if (gfx::Failed(capBuffer->Lock(0, 0, &caps, 0))) {
        unlockMesh();
        return gfx::Result::Fail;
    }
    SilhouetteEdges silhouette;
    if (!silhouette.Reserve(usable * 3)) {
        capBuffer->Unlock();
        unlockMesh();
        return gfx::Result::OutOfMemory;
    }
    uint8_t *capAt = caps;
    for (uint32_t t = 0; t < usable; ++t) {
        uint16_t index[3];
        std::memcpy(index, indexBytes + size_t(t) * 6, 6);
        Vector3 p0, p1, p2;
        if (!ReadPosition(vertexBytes, vertexLength, stride, index[0], &p0) ||
            !ReadPosition(vertexBytes, vertexLength, stride, index[1], &p1) ||
            !ReadPosition(vertexBytes, vertexLength, stride, index[2], &p2)) {
            continue;
        }
        Vector3 n;
        Vec3Cross(&n, Vec3Sub(p1, p0), Vec3Sub(p2, p1));
        if (Vec3Dot(Vec3Sub(light, p0), n) >= 0.0f) {
            silhouette.Toggle(index[0], index[1]);
            silhouette.Toggle(index[1], index[2]);
            silhouette.Toggle(index[2], index[0]);
            capAt = Put(Put(Put(capAt, p0), p2), p1);
        } else {
            capAt =
                Put(Put(Put(capAt, Vec3Sub(p0, light)), Vec3Sub(p2, light)), Vec3Sub(p1, light));
        }
        ++capTriangles;
    }
    capBuffer->Unlock();

    uint8_t *sides = nullptr;
    if (gfx::Failed(sideBuffer->Lock(0, 0, &sides, 0))) {
        unlockMesh();
        return gfx::Result::Fail;
    }
    uint8_t *sideAt = sides;
    const ShadowEdge *edges = silhouette.Edges();
    for (uint32_t e = 0; e < silhouette.Count(); ++e) {
        Vector3 a{}, b{};
        ReadPosition(vertexBytes, vertexLength, stride, edges[e].a, &a);
        ReadPosition(vertexBytes, vertexLength, stride, edges[e].b, &b);
        const Vector3 aFar = Vec3Sub(a, light);
        const Vector3 bFar = Vec3Sub(b, light);
        sideAt = Put(Put(Put(sideAt, a), b), aFar);
        sideAt = Put(Put(Put(sideAt, b), bFar), aFar);
        sideTriangles += 2;
    }
    sideBuffer->Unlock();
    unlockMesh();
    return gfx::Result::Ok;
}

void ShadowVolume::Draw(gfx::Device *device, bool capsOnly) const {
    if (device == nullptr) {
        return;
    }
    device->SetVertexShader(gfx::Fvf::Xyz);
    if (capBuffer != nullptr && capTriangles != 0) {
        device->SetStreamSource(0, capBuffer, 12);
        device->DrawPrimitive(gfx::Primitive::TriangleList, 0, capTriangles);
    }
    if (!capsOnly && sideBuffer != nullptr && sideTriangles != 0) {
        device->SetStreamSource(0, sideBuffer, 12);
        device->DrawPrimitive(gfx::Primitive::TriangleList, 0, sideTriangles);
    }
}

bool ShadowLightPoint(const Matrix &world, Vector3 *out) {
    Matrix inverse;
    if (MatrixInverse(&inverse, world) == nullptr) {
        return false;
    }
    const Vector3 point = {world.m[3][0] + kShadowLightOffset.x,
                           world.m[3][1] + kShadowLightOffset.y,
                           world.m[3][2] + kShadowLightOffset.z};
    Vec3TransformCoord(out, point, inverse);
    return true;
}

bool ShadowCameraFarEnough(const Vector3 &position, const Vector3 &camera) {
    const Vector3 d = {position.x - camera.x - 0.5f * kShadowLightOffset.x,
                       position.y - camera.y - 0.5f * kShadowLightOffset.y,
                       position.z - camera.z - 0.5f * kShadowLightOffset.z};
    return Vec3Length(d) > kShadowCameraExclusion;
}

// --- the darkening quad -----------------------------------------------------------------

void ReleaseShadowQuad() { ReleaseBuffer(&g_shadowQuad); }

void CreateShadowQuad() {
    ReleaseShadowQuad();
    gfx::Device *device = GetD3DDevice();
    if (device == nullptr) {
        return;
    }
    gfx::Viewport viewport;
    device->GetViewport(&viewport);
    const float w = float(viewport.width);
    const float h = float(viewport.height);
    const QuadVertex corners[4] = {{0.0f, 0.0f, 0.0f, 1.0f, kShadowQuadColor},
                                   {w, 0.0f, 0.0f, 1.0f, kShadowQuadColor},
                                   {0.0f, h, 0.0f, 1.0f, kShadowQuadColor},
                                   {w, h, 0.0f, 1.0f, kShadowQuadColor}};
    gfx::VertexBuffer *quad = nullptr;
    if (gfx::Failed(device->CreateVertexBuffer(sizeof(corners), gfx::Usage::WriteOnly, kQuadFvf,
                                               gfx::Pool::Managed, &quad))) {
        return;
    }
    uint8_t *bytes = nullptr;
    if (gfx::Failed(quad->Lock(0, 0, &bytes, 0))) {
        quad->Release();
        return;
    }
    uint8_t *at = bytes;
    for (const QuadVertex &v : corners) {
        std::memcpy(at, &v.x, 4);
        std::memcpy(at + 4, &v.y, 4);
        std::memcpy(at + 8, &v.z, 4);
        std::memcpy(at + 12, &v.rhw, 4);
        std::memcpy(at + 16, &v.color, 4);
        at += kQuadStride;
    }
    quad->Unlock();
    g_shadowQuad = quad;
}

void DrawShadowQuad() {
    gfx::Device *device = GetD3DDevice();
    // A quad of a device that is gone draws nothing.
    if (device == nullptr || g_shadowQuad == nullptr || g_shadowQuad->GetDevice() != device) {
        return;
    }
    device->SetRenderState(gfx::RenderState::StencilRef, 1);
    device->SetRenderState(gfx::RenderState::StencilFunc, gfx::Cmp::LessEqual);
    device->SetRenderState(gfx::RenderState::StencilPass, gfx::StencilOp::Keep);
    device->SetRenderState(gfx::RenderState::StencilFail, gfx::StencilOp::Keep);

    // Black at the quad's own alpha, whatever the last material left on
    // stage 0; its settings are put back afterwards.
    namespace StageState = gfx::StageState;
    const uint32_t kept[] = {StageState::ColorOp, StageState::ColorArg1, StageState::AlphaOp,
                             StageState::AlphaArg1};
    uint32_t saved[4] = {};
    for (int i = 0; i < 4; ++i) {
        device->GetTextureStageState(0, kept[i], &saved[i]);
    }
    device->SetTextureStageState(0, StageState::ColorOp, gfx::TextureOp::SelectArg1);
    device->SetTextureStageState(0, StageState::ColorArg1, gfx::TextureArg::Diffuse);
    device->SetTextureStageState(0, StageState::AlphaOp, gfx::TextureOp::SelectArg1);
    device->SetTextureStageState(0, StageState::AlphaArg1, gfx::TextureArg::Diffuse);

    device->SetVertexShader(kQuadFvf);
    device->SetStreamSource(0, g_shadowQuad, kQuadStride);
    device->DrawPrimitive(gfx::Primitive::TriangleStrip, 0, 2);

    for (int i = 0; i < 4; ++i) {
        device->SetTextureStageState(0, kept[i], saved[i]);
    }
}
