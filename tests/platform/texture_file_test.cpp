// Textures from image files on a recording device: sizes, levels, formats,
// stored DXT blocks, and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/gfx/recording_device.h"
#include "platform/texture_file.h"
#include "support/image_files.h"

namespace {

namespace Format = gfx::Format;

class TextureFileTest : public ::testing::Test {
protected:
    TextureObject* Make(const std::string& file, uint32_t w, uint32_t h, uint32_t format,
                        uint32_t levels) {
        held_.push_back(
            CreateTextureFromImageFile(device_, reinterpret_cast<const uint8_t*>(file.data()),
                                       file.size(), w, h, format, levels));
        return held_.back();
    }
    std::string Tga(uint32_t w, uint32_t h) {
        return imagefiles::Tga(imagefiles::Pattern(w, h, 1, true), w, h, {});
    }

    void TearDown() override {
        for (TextureObject* t : held_) {
            DestroyTextureObject(t);
        }
    }

    gfx::RecordingDevice device_;
    std::vector<TextureObject*> held_;
};

TEST(TextureSideTest, PowersOfTwoCappedWithoutWrapping) {
    const uint32_t cases[][4] = {{0, 100, 2048, 128},      {0, 64, 2048, 64},
                                 {5, 100, 2048, 8},        {1, 100, 2048, 1},
                                 {4096, 1, 2048, 2048},    {0xFFFFFFFFu, 1, 2048, 2048},
                                 {0x80000001u, 1, 0x80000000u, 0x80000000u}};
    for (const auto& c : cases) {
        EXPECT_EQ(TextureSideFor(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1];
    }
}

TEST_F(TextureFileTest, LevelCountsFollowTheChain) {
    for (auto [asked, made] : {std::pair{0u, 7u}, {20u, 7u}, {3u, 3u}}) {
        TextureObject* t = Make(Tga(64, 64), 0, 0, 0, asked);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->texture->GetLevelCount(), made) << asked;
    }
}

TEST_F(TextureFileTest, OddSizesBecomePowersOfTwoAndTheInformationKeepsTheFile) {
    TextureObject* t = Make(Tga(100, 60), 0, 0, 0, 1);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::vector<uint32_t>({GetTextureObjectWidth(t), GetTextureObjectHeight(t),
                                     t->imageInfo.width, t->imageInfo.height, t->levelDesc.format}),
              std::vector<uint32_t>({128, 64, 100, 60, Format::A8R8G8B8}));
    EXPECT_EQ(t->imageInfo.fileFormat, ImageFileFormat::Tga);

    device_.SetMaxTextureSize(256);
    TextureObject* capped = Make(Tga(8, 8), 0xFFFFFFFFu, 16, 0, 1);
    ASSERT_NE(capped, nullptr);
    EXPECT_EQ(GetTextureObjectWidth(capped) * 1000 + GetTextureObjectHeight(capped), 256016u);
}

TEST_F(TextureFileTest, SecondLevelOfACheckerIsGrey) {
    const imagefiles::Pixels checker = {0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u};
    TextureObject* t = Make(imagefiles::Tga(checker, 2, 2, {}), 0, 0, 0, 0);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->texture->GetLevelCount(), 2u);
    const gfx::Texture::Level& top = t->texture->GetLevel(0);
    EXPECT_EQ(top.bytes[0], 0);  // blue of the black texel
    EXPECT_EQ(top.bytes[4], 0xFF);
    const gfx::Texture::Level& level = t->texture->GetLevel(1);
    ASSERT_EQ(level.bytes.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(level.bytes[i] == 127 || level.bytes[i] == 128) << int(level.bytes[i]);
    }
}

TEST_F(TextureFileTest, StoredDxt1BlocksReachTheTextureUnchanged) {
    std::string level0(4 * 8, '\0'), level1(8, '\0'), level2(8, '\0');
    for (size_t i = 0; i < level0.size(); ++i) {
        level0[i] = char(i * 29 + 3);
    }
    level1 = level0.substr(8, 8);
    level2 = level0.substr(24, 8);
    const std::string dds = imagefiles::DdsBlocks(Format::Dxt1, 8, 8, {level0, level1, level2});
    TextureObject* t = Make(dds, 0, 0, 0, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->texture->GetFormat(), Format::Dxt1);
    ASSERT_EQ(t->texture->GetLevelCount(), 4u);
    auto bytes = [&](uint32_t i) {
        const auto& b = t->texture->GetLevel(i).bytes;
        return std::string(b.begin(), b.end());
    };
    EXPECT_EQ(bytes(0) + bytes(1) + bytes(2), level0 + level1 + level2);
    EXPECT_EQ(bytes(3).size(), 8u);  // 1 x 1: one whole block, made from level 2
    EXPECT_EQ(t->imageInfo.mipLevels, 3u);
}

TEST_F(TextureFileTest, RequestedFormatsAreMadeAndOthersRefused) {
    for (uint32_t format : {Format::R5G6B5, Format::A4R4G4B4, Format::Dxt1, Format::Dxt2,
                            Format::X8R8G8B8, Format::L8}) {
        TextureObject* t = Make(Tga(16, 8), 0, 0, format, 0);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->texture->GetFormat(), format);
        EXPECT_EQ(t->texture->GetLevelCount(), 5u);
    }
    EXPECT_EQ(Make(Tga(16, 8), 0, 0, Format::D16, 0), nullptr);
    EXPECT_EQ(Make("not an image at all", 0, 0, 0, 0), nullptr);
    EXPECT_EQ(Make("", 0, 0, 0, 0), nullptr);
}

}  // namespace
