// Writers of small image files for the image-reader tests and the fuzz seeds: TGA (every type, RLE
// packets running across rows), BMP, PPM, DDS, PNG and JPEG. Pixels are 0xAARRGGBB, rows top-down;
// files come back as byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagefiles {

using Pixels = std::vector<uint32_t>;

struct TgaOptions {
    uint8_t type = 2;        // 1, 2, 3, or 9, 10, 11 for RLE
    uint8_t bits = 32;       // stored bits (index bits 8 or 16 for type 1)
    uint8_t mapBits = 24;    // colour-map entry bits (type 1)
    uint16_t mapFirst = 0;   // index of the first map entry
    bool topDown = false;    // descriptor bit 5
    bool rightToLeft = false;  // descriptor bit 4
    uint8_t attributeBits = 0;  // descriptor bits 0-3
};

// Colour-mapped files carry the distinct colours of the image in order of first appearance.
std::string Tga(const Pixels& pixels, uint32_t width, uint32_t height, const TgaOptions& options);

// bpp 8 (palette of the distinct colours), 24, or 32 with bit fields and an
// alpha mask; rle8 only with bpp 8.
std::string Bmp(const Pixels& pixels, uint32_t width, uint32_t height, uint32_t bpp,
                bool topDown = false, bool rle8 = false);

std::string Ppm(const Pixels& pixels, uint32_t width, uint32_t height, bool binary = true,
                uint32_t maxValue = 255);

// DDS holding the given DXT blocks (fourCC "DXT1".."DXT5") as its levels.
std::string DdsBlocks(uint32_t fourCc, uint32_t width, uint32_t height,
                      const std::vector<std::string>& levels);
// DDS with 32-bit A8R8G8B8 pixels.
std::string DdsArgb(const Pixels& pixels, uint32_t width, uint32_t height);

enum class PngKind {
    Rgba8,
    PaletteTrns,  // palette of the distinct colours, their alpha in tRNS
    Grey16,       // grey from the red channel, stored 16-bit (v * 257)
    Rgb8,
};
std::string Png(const Pixels& pixels, uint32_t width, uint32_t height, PngKind kind);

// Baseline JPEG, no chroma subsampling.
std::string Jpeg(const Pixels& pixels, uint32_t width, uint32_t height, int quality = 95);

// Small patterned images.
Pixels Pattern(uint32_t width, uint32_t height, uint32_t seed, bool withAlpha);

}  // namespace imagefiles
