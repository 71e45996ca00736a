#include <gtest/gtest.h>

#include <string>

#include "platform/os/gfx/fvf.h"
#include "platform/os/gfx/types.h"

namespace {

using gfx::DecodeFvf;

// The layout as "size/weights n ps d s tex offset:floats ..." (-1: absent),
// or "invalid".
std::string Layout(uint32_t fvf) {
    const gfx::VertexLayout l = DecodeFvf(fvf);
    if (!l.valid) {
        return "invalid";
    }
    std::string out = std::to_string(l.size) + "/" + std::to_string(l.weights) + " " +
                      std::to_string(l.normalOffset) + " " + std::to_string(l.pointSizeOffset) +
                      " " + std::to_string(l.diffuseOffset) + " " +
                      std::to_string(l.specularOffset) + " tex";
    for (uint32_t i = 0; i < l.texSets; ++i) {
        out += " " + std::to_string(l.texOffset[i]) + ":" + std::to_string(l.texDims[i]);
    }
    return out;
}

TEST(FvfTest, LayoutsOfTheEngineFormatsWeightsSpecularAndTextureSets) {
    const std::pair<uint32_t, const char *> cases[] = {
        {0x144, "28/0 -1 -1 16 -1 tex 20:2"}, // screen quads: XYZRHW | DIFFUSE | TEX1
        {0x112, "32/0 12 -1 -1 -1 tex 24:2"}, // mesh vertices: XYZ | NORMAL | TEX1
        {0x152, "36/0 12 -1 24 -1 tex 28:2"},
        {0x142, "24/0 -1 -1 12 -1 tex 16:2"},
        {gfx::Fvf::Xyz, "12/0 -1 -1 -1 -1 tex"},
        {gfx::Fvf::XyzRhw | gfx::Fvf::Diffuse, "20/0 -1 -1 16 -1 tex"},
        {0x00A | 0x020 | 0x040 | 0x080, "36/3 -1 24 28 32 tex"}, // XYZB3, point size, specular
        {0x00E, "32/5 -1 -1 -1 -1 tex"},
        {0x006, "16/1 -1 -1 -1 -1 tex"},
        // Four sets of two, three, four and one floats.
        {gfx::Fvf::Xyz | 0x400 | (1u << 18) | (2u << 20) | (3u << 22),
         "52/0 -1 -1 -1 -1 tex 12:2 20:3 32:4 48:1"},
        {0, "0/0 -1 -1 -1 -1 tex"}, // no format at all
        {0x001, "invalid"},
        {0x1002, "invalid"},
        {0x8002, "invalid"},
        {0x902, "invalid"},              // nine texture sets
        {0x102 | (1u << 18), "invalid"}, // size code of an absent set
    };
    for (const auto &[fvf, layout] : cases) {
        EXPECT_EQ(Layout(fvf), layout) << std::hex << fvf;
    }
    EXPECT_EQ(DecodeFvf(0x144).positionFloats, 4u);
    EXPECT_EQ(DecodeFvf(0).position, 0u);
}

} // namespace
