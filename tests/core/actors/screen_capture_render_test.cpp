// A screen capture of a real GL back buffer (llvmpipe, offscreen).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "core/actors/screen_capture.h"
#include "support/image_test.h"
#include "support/temp_folder.h"

namespace {

class ScreenCaptureRender : public imagetest::GlDeviceTest {
  protected:
    void TearDown() override {
        ResetCaptureImageForTests();
        GlDeviceTest::TearDown();
    }
};

TEST_F(ScreenCaptureRender, ClearedBackBufferReachesTheTga) {
    gfx::Device &d = Dev();
    ASSERT_EQ(d.Clear(0, nullptr, 7, 0xFF204080u, 1.0f, 0), gfx::Result::Ok);
    gfx::Rect top{0, 0, 64, 8};
    ASSERT_EQ(d.Clear(1, &top, gfx::ClearFlag::Target, 0xFFFF0000u, 1.0f, 0), gfx::Result::Ok);
    ASSERT_EQ(CaptureBackBuffer(&d, 16, 16), 1);
    TempFolder folder;
    ASSERT_EQ(SaveCapturedImage(folder / "shot.tga"), 1);
    std::ifstream in(folder / "shot.tga", std::ios::binary);
    const std::vector<uint8_t> tga{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
    ASSERT_EQ(tga.size(), 18u + 16u * 16u * 4u);
    // First stored row: the bottom of the screen, blue, green, red.
    EXPECT_EQ((std::tuple{tga[18], tga[19], tga[20]}), (std::tuple{0x80, 0x40, 0x20}));
    // Last stored row: the red band at the top.
    const size_t last = 18 + 15 * 16 * 4;
    EXPECT_EQ((std::tuple{tga[last], tga[last + 2]}), (std::tuple{0x00, 0xFF}));
}

} // namespace
