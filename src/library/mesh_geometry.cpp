#include "library/mesh_geometry.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "library/library_item.h"
#include "library/mesh.h"
#include "library/resource_library.h"
#include "library/skeleton.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"
#include "platform/os/gfx/fvf.h"

namespace {

constexpr uint32_t kParticleFvfNormalColour = 0x152;
constexpr uint32_t kParticleFvfNormal = 0x112;
constexpr uint32_t kParticleFvfColour = 0x142;
constexpr uint32_t kTriangleBytes = 6; // three 16-bit indices
constexpr uint32_t kPositionBytes = 12;
// Skinned output vertices: position at byte 0, normal at byte 12.
constexpr uint32_t kSkinnedNormalOffset = 12;
constexpr float kNearEdge = 1e-7f;
constexpr float kOnEdgeWeight = 1e15f;
constexpr float kSurfaceBandBelow = 10.0f;
constexpr float kSurfaceGap = 0.0001f;
constexpr float kBoxStart = 1e9f;

int Report(const char* text) {
    if (ResourceLibrary* library = GetLibrary()) {
        library->ReportLibraryError("%s", text);
    }
    return 0;
}

// A whole-buffer lock, undone when it goes out of scope.
class BufferLock {
public:
    BufferLock(gfx::Buffer* buffer, uint32_t flags) : buffer_(buffer) {
        if (buffer_ == nullptr) {
            return;
        }
        locked_ = !gfx::Failed(buffer_->Lock(0, 0, &data_, flags));
    }
    ~BufferLock() {
        if (locked_) {
            buffer_->Unlock();
        }
    }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;

    bool Ok() const { return locked_ && data_ != nullptr; }
    uint8_t* Data() const { return data_; }
    uint32_t Length() const { return buffer_->GetLength(); }

private:
    gfx::Buffer* buffer_;
    uint8_t* data_ = nullptr;
    bool locked_ = false;
};

Vector3 ReadVector(const uint8_t* at) {
    Vector3 v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

void WriteVector(uint8_t* at, const Vector3& v) { std::memcpy(at, &v, sizeof v); }

float Component(const Vector3& v, int axis) { return axis == 0 ? v.x : (axis == 1 ? v.y : v.z); }
void SetComponent(Vector3* v, int axis, float value) {
    (axis == 0 ? v->x : (axis == 1 ? v->y : v->z)) = value;
}

// Offset of the vertex normal in a format, -1 when it has none that fits the
// stride.
int32_t NormalOffset(uint32_t fvf, uint32_t stride) {
    const gfx::VertexLayout layout = gfx::DecodeFvf(fvf);
    if (!layout.valid || layout.normalOffset < 0 ||
        static_cast<uint32_t>(layout.normalOffset) + kPositionBytes > stride) {
        return -1;
    }
    return layout.normalOffset;
}

// The locked vertices and indices of a subset, read at the subset's stride.
struct Geometry {
    const uint8_t* vertices = nullptr;
    uint32_t vertexCapacity = 0; // whole vertices the buffer holds
    uint32_t stride = 0;
    int32_t normalOffset = -1;
    const uint8_t* indices = nullptr;
    uint32_t triangles = 0; // the subset's count, within the buffer

    Vector3 Position(uint32_t v) const { return ReadVector(vertices + size_t{v} * stride); }

    // The corner indexes of triangle t; false when one lies past the
    // vertices.
    bool Corners(uint32_t t, uint32_t out[3]) const {
        for (int k = 0; k < 3; ++k) {
            uint16_t index;
            std::memcpy(&index, indices + size_t{t} * kTriangleBytes + 2 * k, sizeof index);
            if (index >= vertexCapacity) {
                return false;
            }
            out[k] = index;
        }
        return true;
    }
};

bool MakeGeometry(const MeshSubset& s, const BufferLock& vertices, const BufferLock& indices,
                  Geometry* out) {
    if (!vertices.Ok() || !indices.Ok() || s.vertexSize < kPositionBytes ||
        s.indexBuffer->IndexSize() != 2) {
        return false;
    }
    out->vertices = vertices.Data();
    out->stride = s.vertexSize;
    out->vertexCapacity = vertices.Length() / s.vertexSize;
    out->normalOffset = NormalOffset(s.fvf, s.vertexSize);
    out->indices = indices.Data();
    const uint32_t held = indices.Length() / kTriangleBytes;
    out->triangles = s.triangleCount < held ? s.triangleCount : held;
    return true;
}

// A subset's vertices and then (once those are locked) its indices, locked
// for as long as it lives and read as Geometry.
class LockedGeometry {
public:
    explicit LockedGeometry(const MeshSubset& s) : vertices_(s.vertexBuffer, 0) {
        if (vertices_.Ok()) {
            indices_.emplace(s.indexBuffer, 0);
            ok_ = MakeGeometry(s, vertices_, *indices_, &geometry_);
        }
    }

    bool Ok() const { return ok_; }
    const Geometry& Get() const { return geometry_; }

private:
    BufferLock vertices_;
    std::optional<BufferLock> indices_;
    Geometry geometry_;
    bool ok_ = false;
};

Vector3 FaceNormal(const Vector3 c[3]) {
    Vector3 n;
    Vec3Cross(&n, Vec3Sub(c[1], c[0]), Vec3Sub(c[2], c[1]));
    Vec3Normalize(&n, n);
    return n;
}

struct Axes {
    int a, h, b;
};

Axes AxesOf(uint32_t code) {
    switch (code & 3u) {
    case 0:
        return {0, 1, 2};
    case 1:
        return {2, 0, 1};
    default:
        return {1, 2, 0};
    }
}

// Whether the line through p along the height axis crosses the triangle
// from its front: inside the (a, b) bounds and on the inner side of every
// edge.
bool TrianglePasses(const Vector3 c[3], const Vector3& p, const Axes& axes) {
    const float pa = Component(p, axes.a);
    const float pb = Component(p, axes.b);
    float a[3], b[3];
    for (int k = 0; k < 3; ++k) {
        a[k] = Component(c[k], axes.a);
        b[k] = Component(c[k], axes.b);
    }
    if ((pa < a[0] && pa < a[1] && pa < a[2]) || (pa > a[0] && pa > a[1] && pa > a[2]) ||
        (pb < b[0] && pb < b[1] && pb < b[2]) || (pb > b[0] && pb > b[1] && pb > b[2])) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const float e = (b[j] - b[i]) * (pa - a[i]) - (a[j] - a[i]) * (pb - b[i]);
        if (!(e >= 0.0f)) {
            return false;
        }
    }
    return true;
}

// The surface height under p: the heights of the feet of p on the three
// edge lines, weighted by inverse distance (a foot on p counts 1e15).
float SurfaceHeight(const Vector3 c[3], const Vector3& p, const Axes& axes) {
    const float pa = Component(p, axes.a);
    const float pb = Component(p, axes.b);
    float sumWeights = 0.0f;
    float sumHeights = 0.0f;
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const float ai = Component(c[i], axes.a);
        const float bi = Component(c[i], axes.b);
        const float hi = Component(c[i], axes.h);
        const float da = Component(c[j], axes.a) - ai;
        const float db = Component(c[j], axes.b) - bi;
        const float dh = Component(c[j], axes.h) - hi;
        const float lengthSquared = da * da + db * db;
        if (lengthSquared == 0.0f) {
            continue; // an edge seen end-on has no foot
        }
        const float t = ((pa - ai) * da + (pb - bi) * db) / lengthSquared;
        const float fa = ai + t * da;
        const float fb = bi + t * db;
        const float d = std::sqrt((pa - fa) * (pa - fa) + (pb - fb) * (pb - fb));
        const float w = d < kNearEdge ? kOnEdgeWeight : 1.0f / d;
        sumWeights += w;
        sumHeights += w * (hi + t * dh);
    }
    if (sumWeights == 0.0f) {
        return Component(c[0], axes.h);
    }
    return sumHeights / sumWeights;
}

Vector3 SurfacePoint(const Vector3 c[3], const Vector3& p, const Axes& axes) {
    Vector3 out = p;
    SetComponent(&out, axes.h, SurfaceHeight(c, p, axes));
    return out;
}

MeshSubset* SubsetAt(MeshItem* mesh, uint32_t i) {
    return mesh != nullptr && i < mesh->subsets.size() ? &mesh->subsets[i] : nullptr;
}

const SubsetSettings* RecordAt(const MeshItem* mesh, uint32_t i) {
    return mesh != nullptr && i < mesh->subsetSettings.size() ? &mesh->subsetSettings[i] : nullptr;
}

// Vertex and triangle room of a subset's buffers.
uint32_t VertexCapacity(const MeshSubset& s) {
    return s.vertexBuffer != nullptr && s.vertexSize >= kPositionBytes
               ? s.vertexBuffer->GetLength() / s.vertexSize
               : 0;
}
uint32_t TriangleCapacity(const MeshSubset& s) {
    return s.indexBuffer != nullptr ? s.indexBuffer->GetLength() / kTriangleBytes : 0;
}

// --- skinning ----------------------------------------------------------------

// Skins one vertex; false when it names a bone past the matrices.
bool SkinVertexInto(const SkinVertex& s, const BoneMatrices& m, Vector3* p, Vector3* n) {
    const uint32_t count = s.influenceCount < 4 ? s.influenceCount : 4;
    const uint32_t used = count == 0 ? 1 : count;
    for (uint32_t k = 0; k < used; ++k) {
        if (s.bones[k] >= m.Count()) {
            return false;
        }
    }
    Vec3TransformCoord(p, s.position, m.matrices[s.bones[0]]);
    Vec3TransformNormal(n, s.normal, m.matrices[s.bones[0]]);
    if (count >= 1) {
        *p = Vec3Scale(*p, s.weights[0]);
        *n = Vec3Scale(*n, s.weights[0]);
        for (uint32_t k = 1; k < count; ++k) {
            Vector3 pk, nk;
            Vec3TransformCoord(&pk, s.position, m.matrices[s.bones[k]]);
            Vec3TransformNormal(&nk, s.normal, m.matrices[s.bones[k]]);
            *p = Vec3Add(*p, Vec3Scale(pk, s.weights[k]));
            *n = Vec3Add(*n, Vec3Scale(nk, s.weights[k]));
        }
    }
    return true;
}

// --- collision data ----------------------------------------------------------

template <typename T>
T* WorkAs(MeshSubset& s) {
    return dynamic_cast<T*>(s.work.get());
}

std::unique_ptr<SurfaceCollisionData> BuildSurface(MeshSubset& s) {
    if (s.triangleCount == 0) {
        return nullptr; // nothing to average a normal over
    }
    auto data = std::make_unique<SurfaceCollisionData>();
    const LockedGeometry locked(s);
    if (!locked.Ok()) {
        return data;
    }
    const Geometry& g = locked.Get();
    std::vector<Vector3> corners;
    corners.reserve(size_t{g.triangles} * 3);
    Vector3 sum = {0.0f, 0.0f, 0.0f};
    for (uint32_t t = 0; t < g.triangles; ++t) {
        uint32_t v[3];
        if (!g.Corners(t, v)) {
            continue;
        }
        Vector3 c[3];
        for (int k = 0; k < 3; ++k) {
            c[k] = g.Position(v[k]);
            corners.push_back(c[k]);
            if (g.normalOffset >= 0) {
                sum = Vec3Add(sum, ReadVector(g.vertices + size_t{v[k]} * g.stride +
                                              static_cast<uint32_t>(g.normalOffset)));
            }
        }
        if (g.normalOffset < 0) {
            sum = Vec3Add(sum, FaceNormal(c));
        }
    }
    if (corners.empty()) {
        return data;
    }
    if (g.normalOffset >= 0) {
        sum = Vec3Scale(sum, 1.0f / static_cast<float>(corners.size()));
    }
    data->meanNormal = sum;
    BasisFromDirection(&data->basis, sum, {1.0f, 0.0f, 0.0f});
    Matrix3Inverse(&data->inverseBasis, data->basis);
    for (Vector3& c : corners) {
        Vec3TransformByBasis(&c, c, data->inverseBasis);
    }
    data->corners = std::move(corners);
    return data;
}

std::unique_ptr<CollisionBoxList> BuildBoxes(MeshSubset& s, uint32_t type) {
    auto data = std::make_unique<CollisionBoxList>();
    const LockedGeometry locked(s);
    if (!locked.Ok()) {
        return data;
    }
    const Geometry& g = locked.Get();
    data->boxes.reserve(g.triangles);
    for (uint32_t t = 0; t < g.triangles; ++t) {
        uint32_t v[3];
        if (!g.Corners(t, v)) {
            continue;
        }
        AABox box = {{kBoxStart, kBoxStart, kBoxStart}, {-kBoxStart, -kBoxStart, -kBoxStart}};
        for (uint32_t index : v) {
            const Vector3 p = g.Position(index);
            Vec3Min(&box.min, box.min, p);
            Vec3Max(&box.max, box.max, p);
        }
        data->boxes.push_back(box);
    }
    const float percent = 5.0f * static_cast<float>(type) + 29.0f;
    MergeBoxList(&data->boxes, percent, 2);
    return data;
}

// The line query of the type-4 sphere test, over the corners in the
// surface frame, height axis Y.
bool RayAgainstCorners(const SurfaceCollisionData& data, const Vector3& p, float* height) {
    const Axes axes = AxesOf(0);
    const size_t triangles = data.corners.size() / 3;
    for (size_t t = 0; t < triangles; ++t) {
        const Vector3* c = &data.corners[t * 3];
        if (TrianglePasses(c, p, axes)) {
            *height = SurfaceHeight(c, p, axes);
            return true;
        }
    }
    return false;
}

} // namespace

MeshItem* CreateMeshFromArrays(const Vector3* positions, const Vector3* normals,
                               const uint32_t* colours, const float* uvs,
                               const uint16_t* indices, uint32_t vertexCount,
                               uint32_t triangleCount) {
    if (positions == nullptr || uvs == nullptr || indices == nullptr ||
        (normals == nullptr && colours == nullptr)) {
        Report("Error - Invalid Param!");
        return nullptr;
    }
    uint32_t fvf = kParticleFvfColour;
    uint32_t stride = 24;
    if (normals != nullptr) {
        fvf = colours != nullptr ? kParticleFvfNormalColour : kParticleFvfNormal;
        stride = colours != nullptr ? 36 : 32;
    }
    auto item = std::make_unique<MeshItem>();
    item->subsets.emplace_back();
    MeshSubset& s = item->subsets[0];
    s.flagWord = 0;
    item->loaded = 1;

    const uint32_t usage = gfx::Usage::Dynamic | gfx::Usage::SoftwareProcessing;
    gfx::Device* device = GetD3DDevice();
    const uint64_t vertexBytes = uint64_t{stride} * vertexCount;
    gfx::VertexBuffer* vb = nullptr;
    if (device == nullptr || vertexBytes == 0 || vertexBytes > 0xFFFFFFFFu ||
        gfx::Failed(device->CreateVertexBuffer(static_cast<uint32_t>(vertexBytes), usage, fvf,
                                               gfx::Pool::SystemMem, &vb)) ||
        vb == nullptr) {
        Report("Error Vertex Buffer");
        return nullptr;
    }
    s.SetVertexBuffer(vb);
    const uint64_t indexBytes = uint64_t{kTriangleBytes} * triangleCount;
    gfx::IndexBuffer* ib = nullptr;
    if (indexBytes == 0 || indexBytes > 0xFFFFFFFFu ||
        gfx::Failed(device->CreateIndexBuffer(static_cast<uint32_t>(indexBytes), usage,
                                              gfx::Format::Index16, gfx::Pool::SystemMem, &ib)) ||
        ib == nullptr) {
        Report("Error Index Buffer");
        return nullptr;
    }
    s.SetIndexBuffer(ib);
    {
        BufferLock indexLock(ib, gfx::Lock::Discard);
        if (!indexLock.Ok()) {
            Report("LockIndexBuffer");
            return nullptr;
        }
        BufferLock vertexLock(vb, gfx::Lock::Discard);
        if (!vertexLock.Ok()) {
            Report("LockVertexBuffer");
            return nullptr;
        }
        std::memcpy(indexLock.Data(), indices, indexBytes);
        uint8_t* out = vertexLock.Data();
        for (uint32_t v = 0; v < vertexCount; ++v) {
            WriteVector(out, positions[v]);
            out += kPositionBytes;
            if (normals != nullptr) {
                WriteVector(out, normals[v]);
                out += kPositionBytes;
            }
            if (colours != nullptr) {
                std::memcpy(out, &colours[v], 4);
                out += 4;
            }
            std::memcpy(out, &uvs[size_t{v} * 2], 8);
            out += 8;
        }
    }
    item->meshKind = 0;
    s.frameCount = 1;
    s.vertexCount = vertexCount;
    s.triangleCount = triangleCount;
    s.fvf = fvf;
    s.vertexSize = stride;

    AABox box;
    ComputeVertexBounds(&box, item.get(), 0, nullptr);
    float sphere[4];
    ComputeBoundingSphere(sphere, item.get(), 0);
    s.boxMin = box.min;
    s.boxMax = box.max;
    s.sphereCentre = {sphere[0], sphere[1], sphere[2]};
    s.sphereRadius = sphere[3];

    SubsetSettings record;
    record.word0 = 0;
    record.word1 = 4;
    record.secondTexture = kNoSlot;
    std::memcpy(record.boxMin, &box.min, sizeof record.boxMin);
    std::memcpy(record.boxMax, &box.max, sizeof record.boxMax);
    std::memcpy(record.sphereCentre, sphere, sizeof record.sphereCentre);
    record.sphereRadius = sphere[3];
    record.outerRadius = 0.0f;
    item->subsetSettings.assign(1, record);
    return item.release();
}

void UpdateMeshVertices(MeshItem* mesh, const Vector3* positions, const Vector3* normals,
                        const uint32_t* colours, const float* uvs, uint32_t vertexCount,
                        uint32_t triangleCount) {
    if (mesh == nullptr || mesh->subsets.empty()) {
        return;
    }
    MeshSubset& s = mesh->subsets[0];
    if (s.vertexBuffer == nullptr) {
        return;
    }
    if (triangleCount != kKeepCount) {
        const uint32_t room = TriangleCapacity(s);
        s.triangleCount = triangleCount < room ? triangleCount : room;
    }
    const uint32_t room = VertexCapacity(s);
    if (vertexCount != kKeepCount) {
        s.vertexCount = vertexCount < room ? vertexCount : room;
    }
    BufferLock lock(s.vertexBuffer, 0);
    if (!lock.Ok()) {
        return;
    }
    const gfx::VertexLayout layout = gfx::DecodeFvf(s.fvf);
    const auto fits = [&](int32_t offset, uint32_t bytes) {
        return layout.valid && offset >= 0 && static_cast<uint32_t>(offset) + bytes <= s.vertexSize;
    };
    const int32_t normalAt = fits(layout.normalOffset, 12) ? layout.normalOffset : -1;
    const int32_t colourAt = fits(layout.diffuseOffset, 4) ? layout.diffuseOffset : -1;
    const int32_t uvAt = layout.texSets > 0 && fits(layout.texOffset[0], 8) ? layout.texOffset[0]
                                                                            : -1;
    const uint32_t count = s.vertexCount < room ? s.vertexCount : room;
    for (uint32_t v = 0; v < count; ++v) {
        uint8_t* at = lock.Data() + size_t{v} * s.vertexSize;
        if (positions != nullptr) {
            WriteVector(at, positions[v]);
        }
        if (normals != nullptr && normalAt >= 0) {
            WriteVector(at + normalAt, normals[v]);
        }
        if (colours != nullptr && colourAt >= 0) {
            std::memcpy(at + colourAt, &colours[v], 4);
        }
        if (uvs != nullptr && uvAt >= 0) {
            std::memcpy(at + uvAt, &uvs[size_t{v} * 2], 8);
        }
    }
}

void SkinMeshVertices(MeshItem* mesh, const BoneMatrices* matrices, uint32_t /*unused*/,
                      const float* sphere) {
    if (mesh == nullptr || matrices == nullptr) {
        return;
    }
    if (mesh->loaded == 0) {
        mesh->Load();
    }
    if (mesh->meshKind != 1) {
        return;
    }
    for (uint32_t i = 0; i < mesh->subsets.size(); ++i) {
        MeshSubset& s = mesh->subsets[i];
        if (s.skin.empty()) {
            continue;
        }
        {
            BufferLock lock(s.vertexBuffer, 0);
            if (!lock.Ok()) {
                return;
            }
            const uint32_t stride = s.vertexSize;
            uint32_t count = s.vertexCount < s.skin.size() ? s.vertexCount
                                                           : static_cast<uint32_t>(s.skin.size());
            if (stride < kSkinnedNormalOffset + kPositionBytes) {
                count = 0;
            } else if (count > lock.Length() / stride) {
                count = lock.Length() / stride;
            }
            for (uint32_t j = 0; j < count; ++j) {
                Vector3 p, n;
                if (SkinVertexInto(s.skin[j], *matrices, &p, &n)) {
                    uint8_t* at = lock.Data() + size_t{j} * stride;
                    WriteVector(at, p);
                    WriteVector(at + kSkinnedNormalOffset, n);
                }
            }
        }
        SubsetSettings* record = i < mesh->subsetSettings.size() ? &mesh->subsetSettings[i]
                                                                 : nullptr;
        if (sphere != nullptr) {
            if (record != nullptr) {
                std::memcpy(record->sphereCentre, sphere, sizeof record->sphereCentre);
                record->sphereRadius = sphere[3];
            }
        } else if (s.flagWord != 0) {
            s.flagWord = 0;
            if (record != nullptr) {
                AABox box;
                ComputeVertexBounds(&box, mesh, i, nullptr);
                float bounds[4];
                ComputeBoundingSphere(bounds, mesh, i);
                std::memcpy(record->boxMin, &box.min, sizeof record->boxMin);
                std::memcpy(record->boxMax, &box.max, sizeof record->boxMax);
                std::memcpy(record->sphereCentre, bounds, sizeof record->sphereCentre);
                record->sphereRadius = bounds[3] + kSkinnedBoundsSlack;
            }
        }
    }
}

void ReleaseMesh(MeshItem* mesh) {
    if (mesh == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < mesh->subsets.size(); ++i) {
        FreeSubsetCollisionData(mesh, i);
    }
    if (ResourceLibrary* library = GetLibrary()) {
        library->DeleteItemIfUnused(mesh);
    } else if (mesh->used == 0) {
        delete mesh; // no library, so no table that could hold it
    }
}

float GetMeshFrameRate(const MeshItem* /*mesh*/) { return kMeshFrameRate; }

uint32_t GetMeshFrameCount(const MeshItem* mesh) {
    if (mesh == nullptr) {
        return 0;
    }
    return mesh->subsets.empty() ? mesh->meshWord : mesh->subsets[0].frameCount;
}

uint32_t GetSubsetCollisionCount(const MeshItem* mesh) {
    return mesh != nullptr ? static_cast<uint32_t>(mesh->subsetSettings.size()) : 0;
}

uint32_t GetSubsetCollisionType(const MeshItem* mesh, uint32_t i) {
    const SubsetSettings* r = RecordAt(mesh, i);
    return r != nullptr ? r->word0 : 0;
}

uint32_t GetSubsetCollisionParam(const MeshItem* mesh, uint32_t i) {
    const SubsetSettings* r = RecordAt(mesh, i);
    return r != nullptr ? r->word1 : 4;
}

void GetSubsetCollisionVector(float out[4], const MeshItem* mesh, uint32_t i) {
    if (out == nullptr) {
        return;
    }
    const SubsetSettings* r = RecordAt(mesh, i);
    if (r == nullptr) {
        out[0] = out[1] = out[2] = out[3] = 0.0f;
        return;
    }
    std::memcpy(out, r->sphereCentre, sizeof r->sphereCentre);
    out[3] = r->sphereRadius;
}

void SetSubsetCollisionVector(MeshItem* mesh, uint32_t i, const float sphere[4]) {
    if (mesh == nullptr || sphere == nullptr || i >= mesh->subsetSettings.size()) {
        return;
    }
    SubsetSettings& r = mesh->subsetSettings[i];
    std::memcpy(r.sphereCentre, sphere, sizeof r.sphereCentre);
    r.sphereRadius = sphere[3];
}

void GetSubsetCollisionExtents(AABox* out, const MeshItem* mesh, uint32_t i) {
    if (out == nullptr) {
        return;
    }
    const SubsetSettings* r = RecordAt(mesh, i);
    if (r == nullptr) {
        *out = AABox{};
        return;
    }
    out->min = {r->boxMin[0], r->boxMin[1], r->boxMin[2]};
    out->max = {r->boxMax[0], r->boxMax[1], r->boxMax[2]};
}

int IntersectRayWithMesh(MeshItem* mesh, uint32_t subset, uint32_t axisCode, const Vector3& point,
                         Vector3* outPoint, Vector3* outNormal, uint32_t* hint) {
    if (mesh == nullptr) {
        return 0;
    }
    if (subset == kKeepCount) {
        subset = 0;
    }
    if (mesh->loaded == 0) {
        mesh->Load();
    }
    MeshSubset* s = SubsetAt(mesh, subset);
    if (s == nullptr) {
        return 0;
    }
    const LockedGeometry locked(*s);
    if (!locked.Ok()) {
        return 0;
    }
    const Geometry& g = locked.Get();
    const Axes axes = AxesOf(axisCode);
    uint32_t v[3];
    Vector3 c[3];
    const auto passes = [&](uint32_t t) {
        if (!g.Corners(t, v)) {
            return false;
        }
        for (int k = 0; k < 3; ++k) {
            c[k] = g.Position(v[k]);
        }
        return TrianglePasses(c, point, axes);
    };
    bool hit = hint != nullptr && *hint < g.triangles && passes(*hint);
    for (uint32_t t = 0; !hit && t < g.triangles; ++t) {
        if (passes(t)) {
            hit = true;
            if (hint != nullptr) {
                *hint = t;
            }
        }
    }
    if (!hit) {
        return 0;
    }
    if (outNormal != nullptr) {
        *outNormal = g.normalOffset >= 0
                         ? ReadVector(g.vertices + size_t{v[2]} * g.stride +
                                      static_cast<uint32_t>(g.normalOffset))
                         : FaceNormal(c);
    }
    if (outPoint != nullptr) {
        *outPoint = SurfacePoint(c, point, axes);
    }
    return 1;
}

void BuildSubsetCollisionData(MeshItem* mesh, uint32_t subset) {
    if (mesh == nullptr || subset >= mesh->subsets.size() ||
        subset >= mesh->subsetSettings.size()) {
        return;
    }
    FreeSubsetCollisionData(mesh, subset);
    if (mesh->loaded == 0) {
        mesh->Load();
    }
    // Load may have replaced the subsets.
    MeshSubset* s = SubsetAt(mesh, subset);
    const SubsetSettings* r = RecordAt(mesh, subset);
    if (s == nullptr || r == nullptr) {
        return;
    }
    const uint32_t type = r->word0;
    if (type == kCollisionSurface) {
        s->work = BuildSurface(*s);
    } else if (type >= kCollisionBoxesFirst && type <= kCollisionBoxesLast) {
        s->work = BuildBoxes(*s, type);
    }
}

void FreeSubsetCollisionData(MeshItem* mesh, uint32_t subset) {
    MeshSubset* s = SubsetAt(mesh, subset);
    if (s == nullptr) {
        return;
    }
    if (WorkAs<SurfaceCollisionData>(*s) != nullptr || WorkAs<CollisionBoxList>(*s) != nullptr) {
        s->work.reset();
    }
}

const SurfaceCollisionData* GetSurfaceCollisionData(const MeshItem* mesh, uint32_t subset) {
    if (mesh == nullptr || subset >= mesh->subsets.size()) {
        return nullptr;
    }
    return dynamic_cast<const SurfaceCollisionData*>(mesh->subsets[subset].work.get());
}

const CollisionBoxList* GetCollisionBoxList(const MeshItem* mesh, uint32_t subset) {
    if (mesh == nullptr || subset >= mesh->subsets.size()) {
        return nullptr;
    }
    return dynamic_cast<const CollisionBoxList*>(mesh->subsets[subset].work.get());
}

int IntersectSphereWithMesh(MeshItem* mesh, uint32_t subset, const Vector3& centre, float radius,
                            Vector3* out, Vector3* outPoint) {
    Vector3 push = {0.0f, 0.0f, 0.0f};
    int contact = 0;
    const SubsetSettings* r = RecordAt(mesh, subset);
    if (SubsetAt(mesh, subset) != nullptr && r != nullptr) {
        if (GetSurfaceCollisionData(mesh, subset) == nullptr &&
            GetCollisionBoxList(mesh, subset) == nullptr) {
            BuildSubsetCollisionData(mesh, subset);
            r = RecordAt(mesh, subset); // a load may have remade the records
        }
        const uint32_t type = r != nullptr ? r->word0 : 0;
        const SurfaceCollisionData* surface = GetSurfaceCollisionData(mesh, subset);
        const CollisionBoxList* boxes = GetCollisionBoxList(mesh, subset);
        if (type == kCollisionSurface && surface != nullptr) {
            Vector3 local;
            Vec3TransformByBasis(&local, centre, surface->inverseBasis);
            float h = 0.0f;
            if (RayAgainstCorners(*surface, local, &h) &&
                h - kSurfaceBandBelow - radius <= local.y && local.y <= h + radius) {
                const Vector3 depth = {0.0f, local.y - (h + radius + kSurfaceGap), 0.0f};
                Vec3TransformByBasis(&push, depth, surface->basis);
                contact = 1;
            }
        } else if (type >= kCollisionBoxesFirst && type <= kCollisionBoxesLast &&
                   boxes != nullptr) {
            Vector3 c = centre;
            for (uint32_t pass = 0; pass < kMaxSpherePushPasses; ++pass) {
                Vector3 best = {kBoxStart, kBoxStart, kBoxStart};
                bool touched = false;
                for (const AABox& box : boxes->boxes) {
                    Vector3 separation;
                    if (SphereIntersectBox(box.min, box.max, c, radius, &separation, outPoint)) {
                        touched = true;
                        if (Vec3LengthSquared(separation) < Vec3LengthSquared(best)) {
                            best = separation;
                        }
                    }
                }
                if (!touched) {
                    break;
                }
                contact = 1;
                c = Vec3Add(c, best);
            }
            if (contact) {
                push = Vec3Sub(c, centre);
            }
        }
    }
    if (out != nullptr) {
        *out = push;
    }
    return contact;
}
