// One drawable part of a mesh: its vertex and index buffers, their layout,
// the bounds of its vertices and, for skinned meshes, one skin record per
// vertex. A subset owns everything it points to and is move-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/math.h"

namespace gfx {
class IndexBuffer;
class VertexBuffer;
} // namespace gfx

// Per-vertex skinning data: the rest position and normal and up to four
// bone influences. 56 bytes in files, read and written field by field.
struct SkinVertex {
    Vector3 position;
    uint8_t influenceCount; // 0..4
    uint8_t padding[3];
    float weights[4];
    uint8_t bones[4]; // indexes into the bone-matrix array
    Vector3 normal;
    float unused[2]; // stored, not read by skinning
};
static_assert(sizeof(SkinVertex) == 56);
static_assert(offsetof(SkinVertex, influenceCount) == 12 && offsetof(SkinVertex, weights) == 16 &&
              offsetof(SkinVertex, bones) == 32 && offsetof(SkinVertex, normal) == 36 &&
              offsetof(SkinVertex, unused) == 48);

inline constexpr uint32_t kSkinVertexBytes = 56;

// Decodes one 56-byte skin record; encodes one into 56 bytes.
SkinVertex DecodeSkinVertex(const uint8_t* bytes);
void EncodeSkinVertex(const SkinVertex& skin, uint8_t* bytes);

// Base of the per-subset data that run-time services attach to a subset
// (collision data and the like); the subset deletes it with itself.
struct SubsetWorkData {
    virtual ~SubsetWorkData() = default;
};

class MeshSubset {
public:
    MeshSubset() = default;
    ~MeshSubset();
    MeshSubset(MeshSubset&& other) noexcept;
    MeshSubset& operator=(MeshSubset&& other) noexcept;
    MeshSubset(const MeshSubset&) = delete;
    MeshSubset& operator=(const MeshSubset&) = delete;

    // Releases both buffers and frees the skin records and the work data;
    // the other fields stay.
    void ReleaseResources();
    // Takes over a new vertex or index buffer (one reference), releasing
    // the one held.
    void SetVertexBuffer(gfx::VertexBuffer* buffer);
    void SetIndexBuffer(gfx::IndexBuffer* buffer);

    gfx::VertexBuffer* vertexBuffer = nullptr; // null without vertices
    gfx::IndexBuffer* indexBuffer = nullptr;   // null without triangles
    uint32_t fvf = 0;
    uint32_t vertexSize = 0;    // bytes per vertex (the stride)
    uint32_t vertexCount = 0;   // vertices per frame
    uint32_t triangleCount = 0; // 16-bit indices, three per triangle
    uint32_t frameCount = 0;    // frames held one after another
    uint32_t subsetWord = 0;    // kept as read
    std::string name = "Subset 1";
    Vector3 boxMin = {0.0f, 0.0f, 0.0f};
    Vector3 boxMax = {0.0f, 0.0f, 0.0f};
    Vector3 sphereCentre = {0.0f, 0.0f, 0.0f};
    float sphereRadius = 0.0f;
    float outerRadius = 0.0f; // |sphere centre| + sphere radius
    uint32_t flagWord = 1;    // bounds still to be taken from a skinned pose
    std::unique_ptr<SubsetWorkData> work;
    std::vector<SkinVertex> skin; // one per vertex of a skinned subset, else empty
};
