#include "image_test.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace imagetest {

void UseSoftwareRendering() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

Rgb Image::At(uint32_t x, uint32_t y) const {
    if (x >= width || y >= height) {
        return Rgb{0, 0, 0};
    }
    const uint8_t *p = &bgrx[(size_t(y) * width + x) * 4];
    return Rgb{p[2], p[1], p[0]};
}

namespace {

int Diff(Rgb a, Rgb b) {
    return std::max({std::abs(int(a.r) - int(b.r)), std::abs(int(a.g) - int(b.g)),
                     std::abs(int(a.b) - int(b.b))});
}

std::string Describe(Rgb c) {
    char text[48];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", c.r, c.g, c.b);
    return text;
}

} // namespace

gfx::Rect Image::CoveredRect(Rgb background, int tolerance) const {
    gfx::Rect r{0, 0, 0, 0};
    bool any = false;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (Diff(At(x, y), background) <= tolerance) {
                continue;
            }
            if (!any) {
                r = gfx::Rect{int32_t(x), int32_t(y), int32_t(x) + 1, int32_t(y) + 1};
                any = true;
            } else {
                r.left = std::min(r.left, int32_t(x));
                r.top = std::min(r.top, int32_t(y));
                r.right = std::max(r.right, int32_t(x) + 1);
                r.bottom = std::max(r.bottom, int32_t(y) + 1);
            }
        }
    }
    return r;
}

bool Image::SavePpm(const std::string &path) const {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    std::fprintf(f, "P6\n%u %u\n255\n", width, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const Rgb c = At(x, y);
            const uint8_t px[3] = {c.r, c.g, c.b};
            std::fwrite(px, 1, 3, f);
        }
    }
    return std::fclose(f) == 0;
}

::testing::AssertionResult ReadBack(gfx::Device &device, Image *out) {
    gfx::Surface *surface = nullptr;
    int32_t r = device.GetBackBuffer(0, 0, &surface);
    if (gfx::Failed(r) || surface == nullptr) {
        return ::testing::AssertionFailure() << "GetBackBuffer failed: " << r;
    }
    gfx::SurfaceDesc desc;
    gfx::LockedRect locked;
    r = surface->LockRect(&locked, nullptr, gfx::Lock::ReadOnly);
    if (gfx::Failed(r)) {
        surface->Release();
        return ::testing::AssertionFailure() << "LockRect failed: " << r;
    }
    surface->GetDesc(&desc);
    out->width = desc.width;
    out->height = desc.height;
    out->format = desc.format;
    out->bgrx.resize(size_t(desc.width) * desc.height * 4);
    for (uint32_t y = 0; y < desc.height; ++y) {
        std::memcpy(&out->bgrx[size_t(y) * desc.width * 4],
                    static_cast<const uint8_t *>(locked.bits) + size_t(y) * size_t(locked.pitch),
                    size_t(desc.width) * 4);
    }
    surface->UnlockRect();
    surface->Release();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PixelNear(const Image &image, uint32_t x, uint32_t y, Rgb expected,
                                     int tolerance) {
    if (x >= image.width || y >= image.height) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") outside "
                                             << image.width << " x " << image.height;
    }
    const Rgb got = image.At(x, y);
    if (Diff(got, expected) > tolerance) {
        return ::testing::AssertionFailure()
               << "pixel (" << x << ", " << y << ") is " << Describe(got) << ", expected "
               << Describe(expected) << " +-" << tolerance;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RegionNear(const Image &image, const gfx::Rect &rect, Rgb expected,
                                      int tolerance) {
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        for (int32_t x = rect.left; x < rect.right; ++x) {
            ::testing::AssertionResult r =
                PixelNear(image, uint32_t(x), uint32_t(y), expected, tolerance);
            if (!r) {
                return r;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

void ScreenQuad(ScreenVertex out[4], float left, float top, float right, float bottom,
                uint32_t color, float z) {
    out[0] = ScreenVertex{left, top, z, 1.0f, color, 0.0f, 0.0f};
    out[1] = ScreenVertex{right, top, z, 1.0f, color, 1.0f, 0.0f};
    out[2] = ScreenVertex{left, bottom, z, 1.0f, color, 0.0f, 1.0f};
    out[3] = ScreenVertex{right, bottom, z, 1.0f, color, 1.0f, 1.0f};
}

void GlDeviceTest::SetUp() {
    UseSoftwareRendering();
    std::string error;
    device_ = gfx::GlDevice::CreateOffscreen(Width(), Height(), &error);
    ASSERT_TRUE(device_ != nullptr) << "no offscreen GL device: " << error;
}

void GlDeviceTest::TearDown() { device_.reset(); }

void GlDeviceTest::Capture() { ASSERT_TRUE(ReadBack(*device_, &image_)); }

} // namespace imagetest
