// Decoding of flexible vertex formats into attribute offsets.
#pragma once

#include <cstdint>

namespace gfx {

struct VertexLayout {
    bool valid = false; // every bit of the format is understood
    uint32_t fvf = 0;
    uint32_t size = 0;           // bytes of one vertex
    uint32_t position = 0;       // Fvf::Xyz, Fvf::XyzRhw, ... (the position bits) or 0
    uint32_t positionFloats = 0; // 3, or 4 for XyzRhw
    uint32_t weights = 0;        // blend weights after the position (skipped)
    int32_t normalOffset = -1;
    int32_t pointSizeOffset = -1;
    int32_t diffuseOffset = -1;
    int32_t specularOffset = -1;
    uint32_t texSets = 0;
    int32_t texOffset[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    uint32_t texDims[8] = {}; // floats of each set
};

// Decodes a format. Unknown bits, more than eight texture sets or size codes
// given for sets the format does not have make the layout invalid.
VertexLayout DecodeFvf(uint32_t fvf);

} // namespace gfx
