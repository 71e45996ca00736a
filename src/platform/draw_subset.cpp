#include "platform/draw_subset.h"

#include <cmath>

#include "library/library_item.h"

bool ReadSubsetDrawRecord(const MeshItem &mesh, uint32_t subset, SubsetDrawRecord *out) {
    (void)mesh;
    (void)subset;
    (void)out;
    return false;
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
