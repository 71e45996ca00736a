// What the geometry draw of a draw instance reads of a mesh subset, and the
// frame arithmetic of vertex-animated subsets.
#pragma once

#include <cstdint>

class MeshItem;
namespace gfx {
class IndexBuffer;
class VertexBuffer;
} // namespace gfx

struct SubsetDrawRecord {
    gfx::VertexBuffer *vertexBuffer = nullptr;
    gfx::IndexBuffer *indexBuffer = nullptr;
    uint32_t fvf = 0;
    uint32_t stride = 0;
    uint32_t verticesPerFrame = 0; // V
    uint32_t triangleCount = 0;
    uint32_t frameCount = 0; // F
    uint32_t subsetWord = 0; // subsets of several frames draw only when 0
};

// The mesh's render record of the subset; false when the index is not below
// the mesh's subset count.
bool ReadSubsetDrawRecord(const MeshItem &mesh, uint32_t subset, SubsetDrawRecord *out);

// Base vertex of the frame: (trunc(frame) mod F) x V. A NaN, infinite or
// negative frame counts as 0. False when F is 0 or the product does not fit
// in 32 bits (nothing is drawn then).
bool SubsetBaseVertex(const SubsetDrawRecord &record, float frame, uint32_t *out);
