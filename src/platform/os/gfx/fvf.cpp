#include "platform/os/gfx/fvf.h"

#include "platform/os/gfx/types.h"

namespace gfx {

VertexLayout DecodeFvf(uint32_t fvf) {
    VertexLayout out;
    out.fvf = fvf;
    constexpr uint32_t kKnownLow = Fvf::PositionMask | Fvf::Normal | Fvf::PointSize | Fvf::Diffuse |
                                   Fvf::Specular | Fvf::TexCountMask;
    // Bits 0 and 12-15 mean nothing to this device.
    if ((fvf & 0xFFFFu & ~kKnownLow) != 0) {
        return out;
    }
    uint32_t offset = 0;
    out.position = fvf & Fvf::PositionMask;
    switch (out.position) {
    case 0:
        break;
    case Fvf::Xyz:
        out.positionFloats = 3;
        break;
    case Fvf::XyzRhw:
        out.positionFloats = 4;
        break;
    default: // Xyz plus 1 to 5 blend weights
        out.positionFloats = 3;
        out.weights = (out.position - Fvf::XyzB1) / 2 + 1;
        break;
    }
    offset += out.positionFloats * 4 + out.weights * 4;
    // The optional parts in vertex order: their bit, where the offset goes, bytes.
    struct Part {
        uint32_t bit;
        int32_t VertexLayout::*offset;
        uint32_t bytes;
    };
    static constexpr Part kParts[] = {
        {Fvf::Normal, &VertexLayout::normalOffset, 12},
        {Fvf::PointSize, &VertexLayout::pointSizeOffset, 4},
        {Fvf::Diffuse, &VertexLayout::diffuseOffset, 4},
        {Fvf::Specular, &VertexLayout::specularOffset, 4},
    };
    for (const Part &part : kParts) {
        if (fvf & part.bit) {
            out.*part.offset = int32_t(offset);
            offset += part.bytes;
        }
    }
    out.texSets = (fvf & Fvf::TexCountMask) >> Fvf::TexCountShift;
    if (out.texSets > 8) {
        return out;
    }
    for (uint32_t set = 0; set < 8; ++set) {
        const uint32_t code = (fvf >> (16 + 2 * set)) & 3u;
        if (set >= out.texSets) {
            if (code != 0) {
                return out;
            }
            continue;
        }
        static constexpr uint32_t kFloats[4] = {2, 3, 4, 1};
        out.texOffset[set] = int32_t(offset);
        out.texDims[set] = kFloats[code];
        offset += kFloats[code] * 4;
    }
    out.size = offset;
    out.valid = true;
    return out;
}

} // namespace gfx
