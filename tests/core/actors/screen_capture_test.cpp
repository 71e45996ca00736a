// Screen captures: scaling and format expansion from synthetic surfaces,
// reuse of the image, and the TGA layout.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <tuple>
#include <fstream>
#include <iterator>
#include <vector>

#include "../../support/temp_folder.h"
#include "core/actors/screen_capture.h"
#include "platform/os/gfx/recording_device.h"

namespace {

class ScreenCapture : public ::testing::Test {
  protected:
    void TearDown() override { ResetCaptureImageForTests(); }

    // A 32-bit surface whose pixel (x, y) is blue x, green y, red x + y.
    static std::vector<uint8_t> Gradient(uint32_t w, uint32_t h) {
        std::vector<uint8_t> bits(size_t{w} * h * 4);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                uint8_t *p = &bits[(size_t{y} * w + x) * 4];
                p[0] = static_cast<uint8_t>(x);
                p[1] = static_cast<uint8_t>(y);
                p[2] = static_cast<uint8_t>(x + y);
                p[3] = 0x11;
            }
        }
        return bits;
    }

    static std::vector<uint8_t> ReadFile(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(ScreenCapture, BackBufferThumbnailWritesAnExactTga) {
    gfx::RecordingDevice device(800, 600);
    gfx::Rect bottom = {0, 560, 800, 600}; // the thumbnail's last row samples 587-588
    device.Clear(0, nullptr, 1, 0xFF102030, 1.0f, 0);
    device.Clear(1, &bottom, 1, 0xFFA0B0C0, 1.0f, 0);
    ASSERT_EQ(CaptureBackBuffer(&device, 64, 48), 1);
    TempFolder folder;
    ASSERT_EQ(SaveCapturedImage(folder / "shot.tga"), 1);
    const std::vector<uint8_t> tga = ReadFile(folder / "shot.tga");
    ASSERT_EQ(tga.size(), 12306u);
    const std::vector<uint8_t> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 0, 48, 0, 32, 0};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), tga.begin()));
    // The first stored row is the screen's bottom row (with a new image's
    // alpha); the last the top.
    EXPECT_EQ(std::vector<uint8_t>(tga.begin() + 18, tga.begin() + 22),
              (std::vector<uint8_t>{0xC0, 0xB0, 0xA0, 0xFF}));
    const size_t top = 18 + 47 * 64 * 4;
    EXPECT_EQ(std::vector<uint8_t>(tga.begin() + top, tga.begin() + top + 3),
              (std::vector<uint8_t>{0x30, 0x20, 0x10}));
}

TEST_F(ScreenCapture, SameSizeReusesTheImageOtherSizeMakesANewOne) {
    std::vector<uint8_t> bits = Gradient(8, 8);
    ASSERT_EQ(CaptureFromSource({22, 8, 8, 32, bits.data()}, 4, 4), 1);
    CaptureImage *first = GetCaptureImage();
    first->Pixels()[3] = 0x42; // an alpha byte
    ASSERT_EQ(CaptureFromSource({22, 8, 8, 32, bits.data()}, 4, 4), 1);
    EXPECT_EQ(GetCaptureImage(), first);
    EXPECT_EQ(first->Pixels()[3], 0x42); // reused image keeps its alpha
    ASSERT_EQ(CaptureFromSource({22, 8, 8, 32, bits.data()}, 5, 4), 1);
    CaptureImage *second = GetCaptureImage();
    EXPECT_EQ((std::vector<int>{second->GetWidth(), second->GetRowBytes(), second->GetSize()}),
              (std::vector<int>{5, 20, 80}));
    for (size_t i = 3; i < second->Pixels().size(); i += 4)
        ASSERT_EQ(second->Pixels()[i], 0xFF);
}

TEST_F(ScreenCapture, FullWidthCopiesColumnsExceptTheLast) {
    std::vector<uint8_t> bits = Gradient(8, 4);
    ASSERT_EQ(CaptureFromSource({22, 8, 4, 32, bits.data()}, 8, 4), 1);
    const std::vector<uint8_t> &out = GetCaptureImage()->Pixels();
    for (uint32_t y = 0; y < 3; ++y) {
        for (uint32_t x = 0; x < 8; ++x) {
            const uint32_t sx = x < 7 ? x : 6; // clamped to width - 2
            const uint8_t *p = &out[(size_t{y} * 8 + x) * 4];
            EXPECT_EQ(p[0], sx) << x << "," << y;
            EXPECT_EQ(std::tuple(p[1], p[2]), std::tuple(y, sx + y));
        }
    }
    // The last row repeats the one above it.
    EXPECT_EQ(out[(3 * 8 + 1) * 4 + 1], 2);
}

TEST_F(ScreenCapture, HalfSizeBlendsBilinearly) {
    // Source 4 x 2 captured at 2 x 1: u = 0 and 2 (fx = 0), v = 0.
    std::vector<uint8_t> bits = Gradient(4, 2);
    ASSERT_EQ(CaptureFromSource({22, 4, 2, 16, bits.data()}, 2, 1), 1);
    EXPECT_EQ(GetCaptureImage()->Pixels()[4], 2);
    // 3 x 2 at 2 x 1: sx = 1.5 -> the second pixel sits halfway between 1 and 2.
    std::vector<uint8_t> three = Gradient(3, 2);
    ASSERT_EQ(CaptureFromSource({22, 3, 2, 12, three.data()}, 2, 1), 1);
    EXPECT_EQ(GetCaptureImage()->Pixels()[4], 1); // (1 + 2) / 2, truncated
}

TEST_F(ScreenCapture, SixteenBitFormatsExpand) {
    // One pixel value repeated over 2 x 2.
    auto capture = [](uint32_t format, uint16_t value) {
        uint8_t bits[8];
        for (int i = 0; i < 4; ++i) {
            bits[i * 2] = static_cast<uint8_t>(value & 0xFF);
            bits[i * 2 + 1] = static_cast<uint8_t>(value >> 8);
        }
        EXPECT_EQ(CaptureFromSource({format, 2, 2, 4, bits}, 1, 1), 1);
        const std::vector<uint8_t> &p = GetCaptureImage()->Pixels();
        return std::vector<uint8_t>{p[0], p[1], p[2]};
    };
    // 565: blue 5 bits << 3, green 6 bits << 2, red = (p >> 8) & 0xF8.
    EXPECT_EQ(capture(kCaptureFormatR5G6B5, 0xFFFF), (std::vector<uint8_t>{0xF8, 0xFC, 0xF8}));
    EXPECT_EQ(capture(kCaptureFormatR5G6B5, (0x11 << 11) | (0x2A << 5) | 0x03),
              (std::vector<uint8_t>{0x18, 0xA8, 0x88}));
    // 555 and 1555: each 5-bit channel << 3, the top bit ignored.
    const uint16_t p555 = (0x11 << 10) | (0x0A << 5) | 0x03;
    EXPECT_EQ(capture(kCaptureFormatX1R5G5B5, p555), (std::vector<uint8_t>{0x18, 0x50, 0x88}));
    EXPECT_EQ(capture(kCaptureFormatA1R5G5B5, 0x8000 | p555),
              (std::vector<uint8_t>{0x18, 0x50, 0x88}));
}

TEST_F(ScreenCapture, RefusedSizesAndSourcesKeepThePreviousImage) {
    std::vector<uint8_t> bits = Gradient(4, 4);
    ASSERT_EQ(CaptureFromSource({22, 4, 4, 16, bits.data()}, 2, 2), 1);
    const std::vector<uint8_t> before = GetCaptureImage()->Pixels();
    EXPECT_EQ(CaptureFromSource({22, 4, 4, 16, bits.data()}, 0, 2), 0);
    EXPECT_EQ(CaptureFromSource({22, 4, 4, 16, bits.data()}, 2, 4097), 0);
    EXPECT_EQ(CaptureFromSource({22, 1, 4, 4, bits.data()}, 2, 2), 0);  // too narrow
    EXPECT_EQ(CaptureFromSource({22, 4, 4, 8, bits.data()}, 2, 2), 0);  // short pitch
    EXPECT_EQ(CaptureFromSource({22, 4, 4, 16, nullptr}, 2, 2), 0);
    ASSERT_NE(GetCaptureImage(), nullptr);
    EXPECT_EQ(GetCaptureImage()->Pixels(), before);
    EXPECT_EQ(CaptureBackBuffer(nullptr, 2, 2), 0); // no device: pixels kept
    EXPECT_EQ(GetCaptureImage()->Pixels(), before);
}

TEST_F(ScreenCapture, SavingWithoutImageOrFolderFails) {
    TempFolder folder;
    EXPECT_EQ(SaveCapturedImage(folder / "none.tga"), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "none.tga"));
    std::vector<uint8_t> bits = Gradient(4, 4);
    ASSERT_EQ(CaptureFromSource({22, 4, 4, 16, bits.data()}, 2, 2), 1);
    EXPECT_EQ(SaveCapturedImage(folder / "missing/x.tga"), 0);
    // Backslashes are the engine's separators.
    std::filesystem::create_directories(folder / "Shots");
    EXPECT_EQ(SaveCapturedImage(folder.Path() + "\\shots\\a.tga"), 1);
    EXPECT_EQ(std::filesystem::file_size(folder / "Shots/a.tga"), 18u + 16u);
}

TEST_F(ScreenCapture, WriteFailingHalfWayKeepsThePreviousCapture) {
    TempFolder folder;
    std::vector<uint8_t> bits = Gradient(4, 4);
    ASSERT_EQ(CaptureFromSource({22, 4, 4, 16, bits.data()}, 2, 2), 1);
    ASSERT_EQ(SaveCapturedImage(folder / "shot.tga"), 1);
    const std::vector<uint8_t> previous = ReadFile(folder / "shot.tga");
    ASSERT_EQ(previous.size(), 18u + 16u);

    // 64 x 64 x 4 bytes do not fit under a 4 KiB file size limit: the writes
    // fail part of the way through (EFBIG, the signal ignored).
    ASSERT_EQ(CaptureFromSource({22, 4, 4, 16, bits.data()}, 64, 64), 1);
    struct rlimit oldLimit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = oldLimit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const int saved = SaveCapturedImage(folder / "shot.tga");
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(saved, 0);
    EXPECT_EQ(ReadFile(folder / "shot.tga"), previous);
    // Nothing but the capture is left in the folder.
    size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

} // namespace
