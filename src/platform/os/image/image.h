// Image files in memory: readers for the texture file formats, and what the
// texture loading does with their pixels (resampling, mip chains, conversion
// to the device's pixel formats, block compression).
//
// Every reader gives a top-down image of 32-bit pixels 0xAARRGGBB plus the
// file's own pixel format (a gfx::Format number). Readers are told apart by
// the file's content; TGA, which has no signature, is tried last. Every
// reader bounds what it reads by the bytes it was given and by the limits
// below: bad input fails, never reads or writes past a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// File kinds, numbered as the texture information reports them.
namespace ImageFileFormat {
constexpr uint32_t Bmp = 0;
constexpr uint32_t Jpg = 1;
constexpr uint32_t Tga = 2;
constexpr uint32_t Png = 3;
constexpr uint32_t Dds = 4;
constexpr uint32_t Ppm = 5;
}  // namespace ImageFileFormat

struct ImageLimits {
    // Largest width or height accepted (the smallest is 1).
    uint32_t maxSide = 16384;
    // Largest width x height accepted.
    uint64_t maxPixels = uint64_t(16384) * 16384;
};

struct DecodedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows top-down, width x height
    uint32_t format = 0;           // the file's own pixel format
    uint32_t fileFormat = 0;       // ImageFileFormat
    // Block-compressed files (DDS with DXT1-5): the stored levels as they
    // are in the file, level 0 first; `pixels` holds level 0 decoded.
    std::vector<std::vector<uint8_t>> blockLevels;
};

// Reads an image file held in memory. False for anything it cannot read in
// full (unknown or corrupt data, sizes outside the limits).
bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* out,
                 const ImageLimits& limits = {});

// --- pixel operations -------------------------------------------------------------

// Scales an image with a triangle filter (bilinear when enlarging, a tent as
// wide as the scale when reducing). Sizes of 0 give an empty result.
std::vector<uint32_t> ResampleImage(const std::vector<uint32_t>& pixels, uint32_t width,
                                    uint32_t height, uint32_t newWidth, uint32_t newHeight);

// The next mip level: each pixel the rounded mean of a 2 x 2 box (2 x 1 or
// 1 x 2 once a side is 1). Sides halve, each at least 1.
std::vector<uint32_t> HalveImage(const std::vector<uint32_t>& pixels, uint32_t width,
                                 uint32_t height);

// Levels of a full chain down to 1 x 1.
uint32_t FullMipChain(uint32_t width, uint32_t height);

// Whether ConvertPixels can write the format.
bool CanConvertToFormat(uint32_t format);

// Writes pixels in a device format, rounding to nearest without dithering.
// `pitch` is the distance between rows (rows of 4 x 4 blocks for DXT
// formats). False for a format it cannot write.
bool ConvertPixels(const uint32_t* pixels, uint32_t width, uint32_t height, uint32_t format,
                   uint8_t* out, size_t pitch);

// Decodes a level of DXT1-5 blocks back to 0xAARRGGBB pixels (DXT2 and DXT4
// as stored: the premultiplied colours as they are). False for another
// format or too few bytes.
bool DecodeBlocks(const uint8_t* blocks, size_t size, uint32_t width, uint32_t height,
                  uint32_t format, std::vector<uint32_t>* out);
