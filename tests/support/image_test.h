// Rendered-image tests: an offscreen GL device fixture, back-buffer
// read-back and pixel probes with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/gfx/device.h"
#include "platform/os/gfx/gl_device.h"

namespace imagetest {

// Sets the software-rendering variables (llvmpipe, offscreen video) unless
// they are set already. Call before the first window is made.
void UseSoftwareRendering();

struct Rgb {
    uint8_t r, g, b;
};

// A read-back image, rows top-down.
struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;
    std::vector<uint8_t> bgrx; // 4 bytes a pixel: blue, green, red, unused

    Rgb At(uint32_t x, uint32_t y) const;
    // Smallest rectangle holding every pixel that differs from `background`
    // by more than `tolerance` in any channel; empty (0, 0, 0, 0) when none.
    gfx::Rect CoveredRect(Rgb background, int tolerance = 0) const;
    // Writes a binary PPM (for looking at a failed test).
    bool SavePpm(const std::string &path) const;
};

// Reads the back buffer through GetBackBuffer and a read-only lock.
::testing::AssertionResult ReadBack(gfx::Device &device, Image *out);

// Each channel within `tolerance` of the expected colour.
::testing::AssertionResult PixelNear(const Image &image, uint32_t x, uint32_t y, Rgb expected,
                                     int tolerance = 2);
// Every pixel of the rectangle (right and bottom exclusive).
::testing::AssertionResult RegionNear(const Image &image, const gfx::Rect &rect, Rgb expected,
                                      int tolerance = 2);

// Vertex of a pre-transformed, coloured, textured draw (format 0x144 | 0x100,
// 28 bytes): x, y, z, rhw, colour, u, v.
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kScreenFvf = 0x144 | 0x100;

// Two-triangle strip of a screen rectangle.
void ScreenQuad(ScreenVertex out[4], float left, float top, float right, float bottom,
                uint32_t color, float z = 0.5f);

// Fixture with an offscreen GL device of Width() x Height() pixels.
class GlDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    virtual uint32_t Width() const { return 64; }
    virtual uint32_t Height() const { return 64; }
    gfx::GlDevice &Dev() { return *device_; }
    // Reads the back buffer into image_.
    void Capture();

    std::unique_ptr<gfx::GlDevice> device_;
    Image image_;
};

} // namespace imagetest
