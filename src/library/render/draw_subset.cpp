#include "library/render/draw_subset.h"

#include <cmath>

#include "library/library_item.h"
#include "library/mesh_subset.h"

bool ReadSubsetDrawRecord(const MeshItem &mesh, uint32_t subset, SubsetDrawRecord *out) {
    if (subset >= mesh.subsets.size()) {
        return false;
    }
    const MeshSubset &s = mesh.subsets[subset];
    out->vertexBuffer = s.vertexBuffer;
    out->indexBuffer = s.indexBuffer;
    out->fvf = s.fvf;
    out->stride = s.vertexSize;
    out->verticesPerFrame = s.vertexCount;
    out->triangleCount = s.triangleCount;
    out->frameCount = s.frameCount;
    out->subsetWord = s.subsetWord;
    return true;
}

bool SubsetBaseVertex(const SubsetDrawRecord &record, float frame, uint32_t *out) {
    if (record.frameCount == 0) {
        return false;
    }
    double f = frame;
    if (!std::isfinite(f) || f < 0.0) {
        f = 0.0;
    }
    const double index = std::fmod(std::trunc(f), double(record.frameCount));
    const uint64_t base = uint64_t(index) * uint64_t(record.verticesPerFrame);
    if (base > 0xFFFFFFFFull) {
        return false;
    }
    *out = uint32_t(base);
    return true;
}
