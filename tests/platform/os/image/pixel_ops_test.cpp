// Resampling, mip levels, format conversion and the DXT block coder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/os/gfx/types.h"
#include "platform/os/image/image.h"

namespace {

namespace Format = gfx::Format;

int Channel(uint32_t p, int shift) { return int((p >> shift) & 0xFF); }

// Largest difference of any channel (alpha included) between two images.
int WorstChannel(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift : {0, 8, 16, 24}) {
            worst = std::max(worst, std::abs(Channel(a[i], shift) - Channel(b[i], shift)));
        }
    }
    return worst;
}

std::vector<uint32_t> RoundTrip(const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h,
                                uint32_t format) {
    const uint32_t blockBytes = gfx::FormatBlockBytes(format);
    const size_t pitch = size_t((w + 3) / 4) * blockBytes;
    std::vector<uint8_t> blocks(pitch * ((h + 3) / 4));
    EXPECT_TRUE(ConvertPixels(pixels.data(), w, h, format, blocks.data(), pitch));
    std::vector<uint32_t> back;
    EXPECT_TRUE(DecodeBlocks(blocks.data(), blocks.size(), w, h, format, &back));
    return back;
}

TEST(DxtTest, GradientRoundTripsWithinEightLevels) {
    const uint32_t w = 64, h = 64;
    std::vector<uint32_t> gradient(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            gradient[size_t(y) * w + x] =
                0xFF000000u | ((x * 4) << 16) | ((255 - x * 2 - y) << 8) | (64 + y * 2);
        }
    }
    for (uint32_t format : {Format::Dxt1, Format::Dxt3, Format::Dxt5}) {
        EXPECT_LE(WorstChannel(RoundTrip(gradient, w, h, format), gradient), 8)
            << "format " << std::hex << format;
    }
}

TEST(DxtTest, Dxt1TexelsBelowHalfAlphaBecomeTransparent) {
    std::vector<uint32_t> block(16, 0xFF3060C0u);
    block[5] = (102u << 24) | 0x3060C0u;  // alpha 0.4
    block[6] = (128u << 24) | 0x3060C0u;  // alpha 0.5 stays
    const std::vector<uint32_t> back = RoundTrip(block, 4, 4, Format::Dxt1);
    EXPECT_EQ(std::vector<uint32_t>({back[5] >> 24, back[6] >> 24, back[0] >> 24}),
              std::vector<uint32_t>({0, 255, 255}));
    EXPECT_LE(std::abs(Channel(back[0], 16) - 0x30), 4);
    // A block without opaque texels is all transparent.
    const std::vector<uint32_t> clear(16, 0x10FFFFFFu);
    for (uint32_t p : RoundTrip(clear, 4, 4, Format::Dxt1)) {
        EXPECT_EQ(p >> 24, 0u);
    }
}

TEST(DxtTest, Dxt2StoresColoursPremultipliedByAlpha) {
    const std::vector<uint32_t> red(16, 0x80FF0000u);  // red at alpha 0.5
    const std::vector<uint32_t> back = RoundTrip(red, 4, 4, Format::Dxt2);
    for (uint32_t p : back) {
        EXPECT_NEAR(Channel(p, 16), 128, 4);
        EXPECT_NEAR(Channel(p, 8), 0, 2);
        EXPECT_NEAR(Channel(p, 0), 0, 2);
        EXPECT_NEAR(Channel(p, 24), 128, 17);  // 4-bit alpha
    }
    // DXT3 of the same keeps the colour as it is.
    EXPECT_NEAR(Channel(RoundTrip(red, 4, 4, Format::Dxt3)[0], 16), 255, 4);
}

TEST(DxtTest, LevelsSmallerThanABlockFillOneWholeBlock) {
    const std::vector<uint32_t> two = {0xFFFF0000u, 0xFF0000FFu};
    uint8_t block[8] = {};
    ASSERT_TRUE(ConvertPixels(two.data(), 2, 1, Format::Dxt1, block, 8));
    std::vector<uint32_t> back;
    ASSERT_TRUE(DecodeBlocks(block, 8, 2, 1, Format::Dxt1, &back));
    EXPECT_LE(WorstChannel(back, two), 8);
    EXPECT_FALSE(DecodeBlocks(block, 7, 2, 1, Format::Dxt1, &back));
}

TEST(ConvertTest, ChannelsRoundToNearest) {
    const uint32_t pixels[4] = {0xFF808080u, 0x80FF0000u, 0x7F404040u, 0xFF00FF00u};
    uint8_t out[16];
    ASSERT_TRUE(ConvertPixels(pixels, 4, 1, Format::R5G6B5, out, 8));
    EXPECT_EQ(out[0] | (out[1] << 8), (16 << 11) | (32 << 5) | 16);
    EXPECT_EQ(out[6] | (out[7] << 8), 63 << 5);
    ASSERT_TRUE(ConvertPixels(pixels, 4, 1, Format::A4R4G4B4, out, 8));
    EXPECT_EQ(out[2] | (out[3] << 8), 0x8F00);
    ASSERT_TRUE(ConvertPixels(pixels, 4, 1, Format::A1R5G5B5, out, 8));
    EXPECT_EQ(out[2] | (out[3] << 8), 0x8000 | (31 << 10));
    EXPECT_EQ(out[4] | (out[5] << 8), (8 << 10) | (8 << 5) | 8);  // alpha 0x7F: clear
    ASSERT_TRUE(ConvertPixels(pixels, 4, 1, Format::L8, out, 4));
    EXPECT_EQ(out[0] * 256 + out[2], 0x8040);
    ASSERT_TRUE(ConvertPixels(pixels, 4, 1, Format::X8R8G8B8, out, 16));
    EXPECT_EQ(out[11], 0xFF);  // alpha 0x7F stored as 0xFF
    EXPECT_FALSE(ConvertPixels(pixels, 4, 1, Format::D16, out, 8));
}

TEST(MipTest, BoxFilterAveragesAndChainsEndAtOnePixel) {
    const std::vector<uint32_t> checker = {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u};
    const std::vector<uint32_t> grey = HalveImage(checker, 2, 2);
    ASSERT_EQ(grey.size(), 1u);
    EXPECT_TRUE(Channel(grey[0], 0) == 127 || Channel(grey[0], 0) == 128);
    EXPECT_EQ(grey[0] >> 24, 0xFFu);
    // A side of 1 averages pairs along the other.
    const std::vector<uint32_t> row = {0xFF000000u, 0xFF0000FEu, 0xFF000010u, 0xFF000030u};
    EXPECT_EQ(HalveImage(row, 4, 1), (std::vector<uint32_t>{0xFF00007Fu, 0xFF000020u}));
    EXPECT_EQ(std::vector<uint32_t>({FullMipChain(64, 64), FullMipChain(128, 4), FullMipChain(1, 1)}),
              std::vector<uint32_t>({7, 8, 1}));
}

TEST(ResampleTest, ConstantStaysConstantAndEnlargingInterpolates) {
    const std::vector<uint32_t> flat(100 * 60, 0x80336699u);
    const std::vector<uint32_t> big = ResampleImage(flat, 100, 60, 128, 64);
    ASSERT_EQ(big.size(), 128u * 64);
    for (uint32_t p : big) {
        ASSERT_EQ(p, 0x80336699u);
    }
    const std::vector<uint32_t> ramp = ResampleImage({0xFF000000u, 0xFF0000FFu}, 2, 1, 4, 1);
    ASSERT_EQ(ramp.size(), 4u);
    EXPECT_TRUE(ramp[0] == 0xFF000000u && ramp[3] == 0xFF0000FFu);
    EXPECT_TRUE(0 < Channel(ramp[1], 0) && Channel(ramp[1], 0) < Channel(ramp[2], 0));
    // Halving by resampling averages neighbours.
    const std::vector<uint32_t> pair = ResampleImage({0xFF000000u, 0xFF0000FEu}, 2, 1, 1, 1);
    EXPECT_EQ(pair, (std::vector<uint32_t>{0xFF00007Fu}));
}

}  // namespace
