// DecodeImage and the readers of our own: TGA, BMP, PPM and DDS.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/os/gfx/types.h"
#include "platform/os/image/image.h"
#include "platform/os/image/readers.h"

namespace image_detail {

bool SizeAllowed(uint64_t width, uint64_t height, const ImageLimits& limits) {
    return width >= 1 && height >= 1 && width <= limits.maxSide && height <= limits.maxSide &&
           width * height <= limits.maxPixels;
}

bool AllocateImage(DecodedImage* out, uint32_t width, uint32_t height) {
    try {
        out->pixels.assign(size_t(width) * height, 0xFF000000u);
    } catch (const std::bad_alloc&) {
        return false;
    }
    out->width = width;
    out->height = height;
    return true;
}

namespace {

// --- TGA ----------------------------------------------------------------------------

constexpr size_t kTgaHeader = 18;

// How the pixels of a TGA file are stored.
struct TgaLayout {
    uint32_t type = 0;        // 1, 2, 3 and their RLE forms 9, 10, 11
    uint32_t bits = 0;        // bits of a stored pixel (or colour-map index)
    uint32_t bytes = 0;       // bytes of a stored pixel
    bool alphaBit = false;    // 16-bit pixels: the top bit is alpha
    std::vector<uint32_t> palette;
    uint32_t firstEntry = 0;  // index of palette[0]
};

// One 15/16/24/32-bit true-colour value (little-endian bytes) as 0xAARRGGBB.
uint32_t TgaColor(const uint8_t* p, uint32_t bits, bool alphaBit) {
    switch (bits) {
        case 15:
        case 16: {
            uint32_t v = U16At(p);
            uint32_t a = (!alphaBit || (v & 0x8000) != 0) ? 255 : 0;
            return Argb(a, Widen5((v >> 10) & 31), Widen5((v >> 5) & 31), Widen5(v & 31));
        }
        case 24:
            return Argb(255, p[2], p[1], p[0]);
        default:
            return Argb(p[3], p[2], p[1], p[0]);
    }
}

// Turns one stored pixel into a colour; false for a colour-map index outside
// the map.
bool TgaPixel(const TgaLayout& t, const uint8_t* p, uint32_t* out) {
    switch (t.type) {
        case 1: {
            uint32_t index = t.bits == 8 ? p[0] : U16At(p);
            if (index < t.firstEntry || index - t.firstEntry >= t.palette.size()) {
                return false;
            }
            *out = t.palette[index - t.firstEntry];
            return true;
        }
        case 3: {
            uint32_t l = p[0];
            uint32_t a = t.bits == 16 ? p[1] : 255;
            *out = Argb(a, l, l, l);
            return true;
        }
        default:
            *out = TgaColor(p, t.bits, t.alphaBit);
            return true;
    }
}

}  // namespace

bool ReadTga(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    if (size < kTgaHeader) {
        return false;
    }
    const uint32_t idLength = data[0];
    const uint32_t mapType = data[1];
    const uint32_t imageType = data[2];
    const uint32_t mapFirst = U16At(data + 3);
    const uint32_t mapLength = U16At(data + 5);
    const uint32_t mapBits = data[7];
    const uint32_t width = U16At(data + 12);
    const uint32_t height = U16At(data + 14);
    const uint32_t bits = data[16];
    const uint32_t descriptor = data[17];

    TgaLayout t;
    t.type = imageType & 7;
    const bool rle = (imageType & 8) != 0;
    if ((imageType & ~0xBu) != 0 || t.type == 0 || mapType > 1) {
        return false;
    }
    t.bits = bits;
    switch (t.type) {
        case 1:
            if (mapType != 1 || (bits != 8 && bits != 16) || mapLength == 0) {
                return false;
            }
            break;
        case 2:
            if (bits != 15 && bits != 16 && bits != 24 && bits != 32) {
                return false;
            }
            break;
        case 3:
            if (bits != 8 && bits != 16) {
                return false;
            }
            break;
        default:
            return false;
    }
    t.bytes = (bits + 7) / 8;
    // 16-bit colours carry alpha in their top bit when the descriptor says
    // the pixels have an attribute bit; 15-bit ones never do.
    t.alphaBit = bits == 16 && (descriptor & 0x0F) != 0;
    if (!SizeAllowed(width, height, limits)) {
        return false;
    }

    size_t pos = kTgaHeader + idLength;
    if (mapType == 1) {
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) {
            return false;
        }
        const size_t entryBytes = (mapBits + 7) / 8;
        const size_t mapBytes = entryBytes * mapLength;
        if (pos > size || size - pos < mapBytes) {
            return false;
        }
        if (t.type == 1) {
            t.firstEntry = mapFirst;
            t.palette.resize(mapLength);
            const bool mapAlpha = mapBits == 16 && (descriptor & 0x0F) != 0;
            for (uint32_t i = 0; i < mapLength; ++i) {
                t.palette[i] = TgaColor(data + pos + i * entryBytes, mapBits, mapAlpha);
            }
        }
        pos += mapBytes;
    }
    if (pos > size) {
        return false;
    }
    const size_t total = size_t(width) * height;
    const size_t left = size - pos;
    // Data too short for the image fails before the image is made: raw data
    // holds every pixel; a packet holds at most 128 pixels in 1 + bytes.
    if (!rle && left / t.bytes < total) {
        return false;
    }
    if (rle && left / (1 + t.bytes) < (total + 127) / 128) {
        return false;
    }

    std::vector<uint32_t> stored;
    try {
        stored.resize(total);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const uint8_t* p = data + pos;
    const uint8_t* end = data + size;
    if (!rle) {
        for (size_t i = 0; i < total; ++i, p += t.bytes) {
            if (!TgaPixel(t, p, &stored[i])) {
                return false;
            }
        }
    } else {
        // Packets may run across rows but not past the last pixel.
        size_t i = 0;
        while (i < total) {
            if (p >= end) {
                return false;
            }
            const uint32_t header = *p++;
            const size_t count = (header & 0x7F) + 1;
            if (count > total - i) {
                return false;
            }
            if ((header & 0x80) != 0) {
                uint32_t color = 0;
                if (size_t(end - p) < t.bytes || !TgaPixel(t, p, &color)) {
                    return false;
                }
                p += t.bytes;
                std::fill_n(stored.begin() + std::ptrdiff_t(i), count, color);
            } else {
                if (size_t(end - p) / t.bytes < count) {
                    return false;
                }
                for (size_t k = 0; k < count; ++k, p += t.bytes) {
                    if (!TgaPixel(t, p, &stored[i + k])) {
                        return false;
                    }
                }
            }
            i += count;
        }
    }

    if (!AllocateImage(out, width, height)) {
        return false;
    }
    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    for (uint32_t r = 0; r < height; ++r) {
        const uint32_t y = topDown ? r : height - 1 - r;
        const uint32_t* src = stored.data() + size_t(r) * width;
        uint32_t* dst = out->pixels.data() + size_t(y) * width;
        if (rightToLeft) {
            std::reverse_copy(src, src + width, dst);
        } else {
            std::copy(src, src + width, dst);
        }
    }

    const uint32_t colorBits = t.type == 1 ? mapBits : bits;
    if (t.type == 3) {
        out->format = bits == 16 ? gfx::Format::A8L8 : gfx::Format::L8;
    } else if (colorBits == 32) {
        out->format = gfx::Format::A8R8G8B8;
    } else if (colorBits == 24) {
        out->format = gfx::Format::X8R8G8B8;
    } else {
        out->format = gfx::Format::A1R5G5B5;
    }
    out->fileFormat = ImageFileFormat::Tga;
    return true;
}

namespace {

// --- bit masks (BMP and DDS) ----------------------------------------------------------

// A channel given by a bit mask: its shift and its largest value.
struct MaskChannel {
    uint32_t shift = 0;
    uint32_t max = 0;  // 0: the channel is absent

    explicit MaskChannel(uint32_t mask) {
        if (mask == 0) {
            return;
        }
        while ((mask & 1) == 0) {
            mask >>= 1;
            ++shift;
        }
        max = mask;  // contiguous masks; stray high bits only widen the range
    }
    // The channel of a value, scaled to 0..255 (rounded); `absent` without one.
    uint32_t Get(uint32_t value, uint32_t absent) const {
        if (max == 0) {
            return absent;
        }
        uint64_t v = (value >> shift) & max;
        return uint32_t((v * 255 + max / 2) / max);
    }
};

struct Masks {
    MaskChannel r, g, b, a;
    Masks(uint32_t rm, uint32_t gm, uint32_t bm, uint32_t am) : r(rm), g(gm), b(bm), a(am) {}
    uint32_t Color(uint32_t v) const {
        return Argb(a.Get(v, 255), r.Get(v, 0), g.Get(v, 0), b.Get(v, 0));
    }
};

uint32_t PixelValue(const uint8_t* p, uint32_t bytes) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < bytes; ++i) {
        v |= uint32_t(p[i]) << (8 * i);
    }
    return v;
}

// --- BMP ------------------------------------------------------------------------------

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

// Expands RLE4 and RLE8 data into palette indices (bottom-up rows). Pixels that
// land past the width or above the last row are dropped: encoders commonly run
// over a row's padding. Only data that ends inside a run or escape fails.
bool ExpandBmpRle(const uint8_t* p, const uint8_t* end, uint32_t width, uint32_t height,
                  bool four, std::vector<uint8_t>* indices, std::vector<uint8_t>* written) {
    uint32_t x = 0;  // held at most at width
    uint32_t y = 0;  // row in file order (bottom first), held at most at height
    auto put = [&](uint32_t index) {
        if (x >= width || y >= height) {
            return;
        }
        size_t at = size_t(y) * width + x;
        (*indices)[at] = uint8_t(index);
        (*written)[at] = 1;
        ++x;
    };
    while (true) {
        if (end - p < 2) {
            return false;
        }
        const uint32_t count = p[0];
        const uint32_t value = p[1];
        p += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i) {
                put(four ? ((i & 1) == 0 ? value >> 4 : value & 15) : value);
            }
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            y = std::min(y + 1, height);
            continue;
        }
        if (value == 1) {  // end of bitmap
            return true;
        }
        if (value == 2) {  // move right and up
            if (end - p < 2) {
                return false;
            }
            x = std::min(x + p[0], width);
            y = std::min(y + p[1], height);
            p += 2;
            continue;
        }
        // Absolute run of `value` indices, padded to a 16-bit boundary.
        const size_t bytes = four ? (value + 1) / 2 : value;
        const size_t padded = (bytes + 1) & ~size_t(1);
        if (size_t(end - p) < padded) {
            return false;
        }
        for (uint32_t i = 0; i < value; ++i) {
            put(four ? ((i & 1) == 0 ? p[i / 2] >> 4 : p[i / 2] & 15) : p[i]);
        }
        p += padded;
    }
}

}  // namespace

bool ReadBmp(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const uint32_t offBits = ReadLe32(data + 10);
    const uint8_t* info = data + 14;
    const uint32_t infoSize = ReadLe32(info);
    if (infoSize < 12 || infoSize > size - 14) {
        return false;
    }
    int64_t width = 0;
    int64_t height = 0;
    uint32_t bpp = 0;
    uint32_t compression = kBiRgb;
    uint32_t colorsUsed = 0;
    uint32_t rMask = 0, gMask = 0, bMask = 0, aMask = 0;
    size_t paletteEntryBytes = 4;
    size_t pos = 14 + size_t(infoSize);
    if (infoSize == 12) {
        width = U16At(info + 4);
        height = int16_t(U16At(info + 6));
        bpp = U16At(info + 10);
        paletteEntryBytes = 3;
    } else {
        if (infoSize < 40) {
            return false;
        }
        width = int32_t(ReadLe32(info + 4));
        height = int32_t(ReadLe32(info + 8));
        bpp = U16At(info + 14);
        compression = ReadLe32(info + 16);
        colorsUsed = ReadLe32(info + 32);
        if (compression == kBiBitfields) {
            if (infoSize >= 52) {
                rMask = ReadLe32(info + 40);
                gMask = ReadLe32(info + 44);
                bMask = ReadLe32(info + 48);
            } else {
                // The three masks follow a 40-byte header.
                if (size - pos < 12) {
                    return false;
                }
                rMask = ReadLe32(data + pos);
                gMask = ReadLe32(data + pos + 4);
                bMask = ReadLe32(data + pos + 8);
                pos += 12;
            }
            if (infoSize >= 56) {
                aMask = ReadLe32(info + 52);
            }
        }
    }
    const bool topDown = height < 0;
    if (topDown) {
        height = -height;
    }
    if (width <= 0 || !SizeAllowed(uint64_t(width), uint64_t(height), limits)) {
        return false;
    }
    const uint32_t w = uint32_t(width);
    const uint32_t h = uint32_t(height);

    switch (compression) {
        case kBiRgb:
            if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
                return false;
            }
            break;
        case kBiRle8:
        case kBiRle4:
            if (bpp != (compression == kBiRle8 ? 8u : 4u) || topDown) {
                return false;
            }
            break;
        case kBiBitfields:
            if ((bpp != 16 && bpp != 32) || (rMask | gMask | bMask) == 0) {
                return false;
            }
            break;
        default:
            return false;
    }

    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        const uint32_t maxColors = 1u << bpp;
        uint32_t count = colorsUsed == 0 ? maxColors : colorsUsed;
        if (count > maxColors) {
            return false;
        }
        if (size - pos < count * paletteEntryBytes) {
            return false;
        }
        palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = data + pos + i * paletteEntryBytes;
            palette[i] = Argb(255, e[2], e[1], e[0]);
        }
        pos += count * paletteEntryBytes;
    }
    // The pixels start where the file header says, when that lies in the file.
    if (offBits >= 14 && offBits < size) {
        pos = offBits;
    }
    if (pos >= size) {
        return false;
    }
    const uint8_t* p = data + pos;
    const uint8_t* end = data + size;

    if (compression == kBiRle8 || compression == kBiRle4) {
        std::vector<uint8_t> indices;
        std::vector<uint8_t> written;
        try {
            indices.assign(size_t(w) * h, 0);
            written.assign(size_t(w) * h, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (!ExpandBmpRle(p, end, w, h, compression == kBiRle4, &indices, &written)) {
            return false;
        }
        if (!AllocateImage(out, w, h)) {
            return false;
        }
        for (uint32_t r = 0; r < h; ++r) {
            for (uint32_t x = 0; x < w; ++x) {
                size_t at = size_t(r) * w + x;
                uint32_t color = 0xFF000000u;  // pixels the data skipped
                if (written[at] != 0) {
                    if (indices[at] >= palette.size()) {
                        return false;
                    }
                    color = palette[indices[at]];
                }
                out->pixels[size_t(h - 1 - r) * w + x] = color;
            }
        }
        out->format = gfx::Format::X8R8G8B8;
        out->fileFormat = ImageFileFormat::Bmp;
        return true;
    }

    const size_t rowBytes = ((size_t(w) * bpp + 31) / 32) * 4;
    if (size_t(end - p) / rowBytes < h) {
        return false;
    }
    if (bpp == 16 && compression == kBiRgb) {
        rMask = 0x7C00;
        gMask = 0x03E0;
        bMask = 0x001F;
    } else if (bpp >= 24 && compression == kBiRgb) {
        rMask = 0xFF0000;
        gMask = 0x00FF00;
        bMask = 0x0000FF;
        aMask = 0;
    }
    const Masks masks(rMask, gMask, bMask, aMask);
    if (!AllocateImage(out, w, h)) {
        return false;
    }
    for (uint32_t r = 0; r < h; ++r) {
        const uint8_t* row = p + size_t(r) * rowBytes;
        uint32_t* dst = out->pixels.data() + size_t(topDown ? r : h - 1 - r) * w;
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t color = 0;
            if (bpp <= 8) {
                const size_t bit = size_t(x) * bpp;
                const uint32_t index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                if (index >= palette.size()) {
                    return false;
                }
                color = palette[index];
            } else {
                color = masks.Color(PixelValue(row + size_t(x) * (bpp / 8), bpp / 8));
            }
            dst[x] = color;
        }
    }
    out->format = aMask != 0 ? gfx::Format::A8R8G8B8 : gfx::Format::X8R8G8B8;
    out->fileFormat = ImageFileFormat::Bmp;
    return true;
}

// --- PPM --------------------------------------------------------------------------------

namespace {

// Whitespace and '#' comments before a header number.
void SkipPpmSpace(const uint8_t*& p, const uint8_t* end) {
    while (p < end) {
        if (*p == '#') {
            while (p < end && *p != '\n' && *p != '\r') {
                ++p;
            }
        } else if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' ||
                   *p == '\f') {
            ++p;
        } else {
            return;
        }
    }
}

bool ReadPpmNumber(const uint8_t*& p, const uint8_t* end, uint64_t* out) {
    SkipPpmSpace(p, end);
    if (p >= end || *p < '0' || *p > '9') {
        return false;
    }
    uint64_t v = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        v = v * 10 + uint64_t(*p - '0');
        if (v > 0xFFFFFFFFu) {
            return false;
        }
        ++p;
    }
    *out = v;
    return true;
}

}  // namespace

bool ReadPpm(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    if (size < 3 || data[0] != 'P' || (data[1] != '3' && data[1] != '6')) {
        return false;
    }
    const bool ascii = data[1] == '3';
    const uint8_t* p = data + 2;
    const uint8_t* end = data + size;
    uint64_t width = 0, height = 0, maxVal = 0;
    if (!ReadPpmNumber(p, end, &width) || !ReadPpmNumber(p, end, &height) ||
        !ReadPpmNumber(p, end, &maxVal)) {
        return false;
    }
    if (maxVal == 0 || maxVal > 65535 || !SizeAllowed(width, height, limits)) {
        return false;
    }
    const size_t total = size_t(width) * size_t(height);
    const size_t sampleBytes = maxVal < 256 ? 1 : 2;
    if (!ascii) {
        // One whitespace character ends the header.
        if (p >= end) {
            return false;
        }
        ++p;
        if (size_t(end - p) / (3 * sampleBytes) < total) {
            return false;
        }
    } else if (size_t(end - p) / 6 < total) {
        // Each ASCII sample takes a digit and a separator at least.
        return false;
    }
    if (!AllocateImage(out, uint32_t(width), uint32_t(height))) {
        return false;
    }
    auto scale = [maxVal](uint64_t v) { return uint32_t((v * 255 + maxVal / 2) / maxVal); };
    for (size_t i = 0; i < total; ++i) {
        uint64_t c[3];
        for (uint64_t& v : c) {
            if (ascii) {
                if (!ReadPpmNumber(p, end, &v)) {
                    return false;
                }
            } else {
                v = sampleBytes == 1 ? p[0] : (uint64_t(p[0]) << 8) | p[1];
                p += sampleBytes;
            }
            if (v > maxVal) {
                return false;
            }
        }
        out->pixels[i] = Argb(255, scale(c[0]), scale(c[1]), scale(c[2]));
    }
    out->format = gfx::Format::X8R8G8B8;
    out->fileFormat = ImageFileFormat::Ppm;
    return true;
}

// --- DDS ------------------------------------------------------------------------------------

namespace {

constexpr uint32_t kDdsMagic = 0x20534444u;  // "DDS "
constexpr size_t kDdsHeader = 4 + 124;
constexpr uint32_t kDdsdMipMapCount = 0x20000;
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfAlpha = 0x2;
constexpr uint32_t kDdpfFourCc = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdpfLuminance = 0x20000;
constexpr uint32_t kDdsCaps2CubeMap = 0x200;
constexpr uint32_t kDdsCaps2Volume = 0x200000;

// The own format of uncompressed pixels by their masks.
uint32_t DdsMaskFormat(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                       bool luminance) {
    if (luminance && a == 0) {
        return gfx::Format::L8;
    }
    if (bits == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F && a == 0) {
        return gfx::Format::R5G6B5;
    }
    if (bits == 16 && r == 0x7C00 && g == 0x03E0 && b == 0x001F) {
        return a == 0x8000 ? gfx::Format::A1R5G5B5 : gfx::Format::X1R5G5B5;
    }
    if (bits == 16 && r == 0x0F00 && g == 0x00F0 && b == 0x000F && a == 0xF000) {
        return gfx::Format::A4R4G4B4;
    }
    if (r == 0 && g == 0 && b == 0 && a != 0) {
        return gfx::Format::A8;
    }
    return a != 0 ? gfx::Format::A8R8G8B8 : gfx::Format::X8R8G8B8;
}

}  // namespace

bool ReadDds(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    if (size < kDdsHeader || ReadLe32(data) != kDdsMagic || ReadLe32(data + 4) != 124) {
        return false;
    }
    const uint8_t* h = data + 4;
    const uint32_t flags = ReadLe32(h + 4);
    const uint32_t height = ReadLe32(h + 8);
    const uint32_t width = ReadLe32(h + 12);
    const uint32_t mipCount = ReadLe32(h + 24);
    const uint8_t* pf = h + 72;
    const uint32_t pfFlags = ReadLe32(pf + 4);
    const uint32_t fourCc = ReadLe32(pf + 8);
    const uint32_t bits = ReadLe32(pf + 12);
    const uint32_t rMask = ReadLe32(pf + 16);
    const uint32_t gMask = ReadLe32(pf + 20);
    const uint32_t bMask = ReadLe32(pf + 24);
    uint32_t aMask = ReadLe32(pf + 28);
    const uint32_t caps2 = ReadLe32(h + 108);
    if ((caps2 & (kDdsCaps2CubeMap | kDdsCaps2Volume)) != 0 ||
        !SizeAllowed(width, height, limits)) {
        return false;
    }
    const uint8_t* p = data + kDdsHeader;
    const size_t left = size - kDdsHeader;

    if ((pfFlags & kDdpfFourCc) != 0) {
        const uint32_t format = fourCc;
        const uint32_t blockBytes = gfx::FormatBlockBytes(format);
        if (blockBytes == 0) {
            return false;
        }
        uint32_t levels = 1;
        if ((flags & kDdsdMipMapCount) != 0 && mipCount > 1) {
            levels = std::min(mipCount, FullMipChain(width, height));
        }
        std::vector<std::vector<uint8_t>> stored;
        size_t pos = 0;
        for (uint32_t i = 0; i < levels; ++i) {
            const uint64_t lw = std::max(1u, width >> i);
            const uint64_t lh = std::max(1u, height >> i);
            const uint64_t bytes = ((lw + 3) / 4) * ((lh + 3) / 4) * blockBytes;
            if (left - pos < bytes) {
                return false;
            }
            stored.emplace_back(p + pos, p + pos + bytes);
            pos += size_t(bytes);
        }
        DecodedImage image;
        if (!DecodeBlocks(stored[0].data(), stored[0].size(), width, height, format,
                          &image.pixels)) {
            return false;
        }
        image.width = width;
        image.height = height;
        image.format = format;
        image.fileFormat = ImageFileFormat::Dds;
        image.blockLevels = std::move(stored);
        *out = std::move(image);
        return true;
    }

    if ((pfFlags & (kDdpfRgb | kDdpfLuminance | kDdpfAlpha)) == 0 ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        return false;
    }
    if ((pfFlags & (kDdpfAlphaPixels | kDdpfAlpha)) == 0) {
        aMask = 0;
    }
    const bool luminance = (pfFlags & kDdpfLuminance) != 0;
    const uint32_t bytes = bits / 8;
    if (left / bytes / width < height) {
        return false;
    }
    if (!AllocateImage(out, width, height)) {
        return false;
    }
    const Masks masks(rMask, gMask, bMask, aMask);
    const MaskChannel lum(rMask);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        const uint32_t v = PixelValue(p + i * bytes, bytes);
        if (luminance) {
            const uint32_t l = lum.Get(v, 0);
            out->pixels[i] = Argb(masks.a.Get(v, 255), l, l, l);
        } else {
            out->pixels[i] = masks.Color(v);
        }
    }
    out->format = DdsMaskFormat(bits, rMask, gMask, bMask, aMask, luminance);
    out->fileFormat = ImageFileFormat::Dds;
    return true;
}

}  // namespace image_detail

// --- entry point ---------------------------------------------------------------------------

bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    using namespace image_detail;
    if (data == nullptr || out == nullptr) {
        return false;
    }
    DecodedImage image;
    bool ok = false;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        ok = ReadPng(data, size, &image, limits);
    } else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        ok = ReadJpeg(data, size, &image, limits);
    } else if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) {
        ok = ReadDds(data, size, &image, limits);
    } else if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        ok = ReadBmp(data, size, &image, limits);
    } else if (size >= 2 && data[0] == 'P' && (data[1] == '3' || data[1] == '6')) {
        ok = ReadPpm(data, size, &image, limits);
    } else {
        ok = ReadTga(data, size, &image, limits);
    }
    if (!ok) {
        return false;
    }
    *out = std::move(image);
    return true;
}
