// Shared pieces of the rendered fixed-function tests: vertex layouts,
// solid textures, state shorthands and the reference transform.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/math.h"
#include "support/image_test.h"

namespace fftest {

// Position, normal, one texture set (0x112, 32 bytes).
struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
constexpr uint32_t kLitFvf = 0x112;

// Position, normal, colour, one texture set (0x152, 36 bytes).
struct LitColorVertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kLitColorFvf = 0x152;

// Position, colour, one texture set (0x142, 24 bytes).
struct ColorVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
constexpr uint32_t kColorFvf = 0x142;

inline uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

inline gfx::ColorValue Grey(float v, float a = 1.0f) { return gfx::ColorValue{v, v, v, a}; }

// Fills level `level` of t with fn(x, y) as 0xAARRGGBB.
template <class F> void FillLevel(gfx::Texture *t, uint32_t level, F fn) {
    gfx::SurfaceDesc desc;
    t->GetLevelDesc(level, &desc);
    gfx::LockedRect lr;
    ASSERT_EQ(t->LockRect(level, &lr, nullptr, 0), gfx::Result::Ok);
    for (uint32_t y = 0; y < desc.height; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(lr.bits) + y * lr.pitch);
        for (uint32_t x = 0; x < desc.width; ++x) {
            row[x] = fn(x, y);
        }
    }
    EXPECT_EQ(t->UnlockRect(level), gfx::Result::Ok);
}

// A one-level A8R8G8B8 texture of w x h texels fn(x, y). The caller releases it.
template <class F> gfx::Texture *PatternTexture(gfx::Device &d, uint32_t w, uint32_t h, F fn) {
    gfx::Texture *t = nullptr;
    EXPECT_EQ(d.CreateTexture(w, h, 1, 0, gfx::Format::A8R8G8B8, gfx::Pool::Managed, &t),
              gfx::Result::Ok);
    if (t != nullptr) {
        FillLevel(t, 0, fn);
    }
    return t;
}

inline gfx::Texture *SolidTexture(gfx::Device &d, uint32_t argb, uint32_t size = 4) {
    return PatternTexture(d, size, size, [argb](uint32_t, uint32_t) { return argb; });
}

// Draws a screen rectangle of one colour in the current vertex format.
inline int32_t DrawQuad(gfx::Device &d, float left, float top, float right, float bottom,
                        uint32_t color, float z = 0.5f) {
    imagetest::ScreenVertex v[4];
    imagetest::ScreenQuad(v, left, top, right, bottom, color, z);
    return d.DrawPrimitiveUP(gfx::Primitive::TriangleStrip, 2, v, 28);
}

inline Matrix Perspective(float fovY, float aspect, float zNear, float zFar) {
    Matrix m;
    MatrixPerspectiveFov(&m, fovY, aspect, zNear, zFar);
    return m;
}

inline Matrix Translation(float x, float y, float z) {
    Matrix m;
    MatrixTranslation(&m, x, y, z);
    return m;
}

// Where Direct3D puts a model-space point: clip = p x world x view x
// projection, then x = X + (1 + x/w) W / 2, y = Y + (1 - y/w) H / 2 and the
// depth z/w.
struct ScreenPoint {
    float x, y, depth;
};
inline ScreenPoint Project(const Vector3 &p, const Matrix &world, const Matrix &view,
                           const Matrix &projection, float width, float height) {
    Matrix m;
    MatrixMultiply(&m, world, view);
    MatrixMultiply(&m, m, projection);
    float clip[4];
    for (int j = 0; j < 4; ++j) {
        clip[j] = p.x * m.m[0][j] + p.y * m.m[1][j] + p.z * m.m[2][j] + m.m[3][j];
    }
    return ScreenPoint{(1.0f + clip[0] / clip[3]) * width / 2.0f,
                       (1.0f - clip[1] / clip[3]) * height / 2.0f, clip[2] / clip[3]};
}

// Expected 8-bit value of a 0..1 intensity.
inline int Byte(float v) { return int(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); }

} // namespace fftest
