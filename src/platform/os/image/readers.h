// The readers behind DecodeImage (one per file kind) and the bounds they
// share. Internal to the image code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/le_bytes.h"
#include "platform/os/image/image.h"

namespace image_detail {

// Whether a width and height lie within the limits (each at least 1).
bool SizeAllowed(uint64_t width, uint64_t height, const ImageLimits& limits);

// Sizes the pixel buffer (opaque black) once the size is known to be allowed.
bool AllocateImage(DecodedImage* out, uint32_t width, uint32_t height);

bool ReadTga(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits);
bool ReadBmp(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits);
bool ReadPpm(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits);
bool ReadDds(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits);
bool ReadPng(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits);
bool ReadJpeg(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits);

// A little-endian 16-bit field of a byte block, widened (32-bit fields:
// ReadLe32).
inline uint32_t U16At(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A 5-bit channel widened to 8 bits.
inline uint32_t Widen5(uint32_t v) { return (v << 3) | (v >> 2); }

}  // namespace image_detail
