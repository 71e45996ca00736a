#include <gtest/gtest.h>

#include "platform/os/gfx/fvf.h"
#include "platform/os/gfx/types.h"

namespace {

using gfx::DecodeFvf;

TEST(FvfTest, SizesAndOffsetsOfTheEngineFormats) {
    // Screen quads: XYZRHW | DIFFUSE | TEX1.
    gfx::VertexLayout l = DecodeFvf(0x144);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.size, 28u);
    EXPECT_EQ(l.positionFloats, 4u);
    EXPECT_EQ(l.diffuseOffset, 16);
    EXPECT_EQ(l.texSets, 1u);
    EXPECT_EQ(l.texOffset[0], 20);
    EXPECT_EQ(l.texDims[0], 2u);

    // Mesh vertices: XYZ | NORMAL | TEX1.
    l = DecodeFvf(0x112);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.size, 32u);
    EXPECT_EQ(l.normalOffset, 12);
    EXPECT_EQ(l.diffuseOffset, -1);
    EXPECT_EQ(l.texOffset[0], 24);

    EXPECT_EQ(DecodeFvf(0x152).size, 36u);
    EXPECT_EQ(DecodeFvf(0x142).size, 24u);
    EXPECT_EQ(DecodeFvf(gfx::Fvf::Xyz).size, 12u);
    EXPECT_EQ(DecodeFvf(gfx::Fvf::XyzRhw | gfx::Fvf::Diffuse).size, 20u);
}

TEST(FvfTest, WeightsPointSizeSpecularAndTextureSetSizes) {
    // XYZB3 (3 weights), point size, specular.
    gfx::VertexLayout l = DecodeFvf(0x00A | 0x020 | 0x040 | 0x080);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.weights, 3u);
    EXPECT_EQ(l.pointSizeOffset, 24);
    EXPECT_EQ(l.diffuseOffset, 28);
    EXPECT_EQ(l.specularOffset, 32);
    EXPECT_EQ(l.size, 36u);
    EXPECT_EQ(DecodeFvf(0x00E).weights, 5u);
    EXPECT_EQ(DecodeFvf(0x006).size, 16u);

    // Four sets: two floats, three, four, one.
    const uint32_t sets = 0x400 | (1u << 18) | (2u << 20) | (3u << 22);
    l = DecodeFvf(gfx::Fvf::Xyz | sets);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(l.texDims[0], 2u);
    EXPECT_EQ(l.texDims[1], 3u);
    EXPECT_EQ(l.texDims[2], 4u);
    EXPECT_EQ(l.texDims[3], 1u);
    EXPECT_EQ(l.texOffset[3], 12 + 4 * (2 + 3 + 4));
    EXPECT_EQ(l.size, 12u + 4 * 10);
}

TEST(FvfTest, UnknownBitsAreRefused) {
    EXPECT_FALSE(DecodeFvf(0x001).valid);
    EXPECT_FALSE(DecodeFvf(0x1002).valid);
    EXPECT_FALSE(DecodeFvf(0x8002).valid);
    EXPECT_FALSE(DecodeFvf(0x902).valid);              // nine texture sets
    EXPECT_FALSE(DecodeFvf(0x102 | (1u << 18)).valid); // size code of an absent set
    EXPECT_TRUE(DecodeFvf(0).valid);                   // no format at all
    EXPECT_EQ(DecodeFvf(0).position, 0u);
}

} // namespace
