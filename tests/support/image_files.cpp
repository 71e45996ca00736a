#include "image_files.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <initializer_list>
#include <map>

namespace imagefiles {

namespace {

void Put8(std::string& s, uint32_t v) { s.push_back(char(v & 0xFF)); }
void Put16(std::string& s, uint32_t v) {
    Put8(s, v);
    Put8(s, v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v);
    Put16(s, v >> 16);
}
void Put8s(std::string& s, std::initializer_list<uint32_t> vs) {
    for (uint32_t v : vs) {
        Put8(s, v);
    }
}
void Put16s(std::string& s, std::initializer_list<uint32_t> vs) {
    for (uint32_t v : vs) {
        Put16(s, v);
    }
}
void Put32s(std::string& s, std::initializer_list<uint32_t> vs) {
    for (uint32_t v : vs) {
        Put32(s, v);
    }
}

uint32_t A(uint32_t p) { return p >> 24; }
uint32_t R(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t G(uint32_t p) { return (p >> 8) & 0xFF; }
uint32_t B(uint32_t p) { return p & 0xFF; }

std::vector<uint32_t> Distinct(const Pixels& pixels) {
    std::vector<uint32_t> out;
    std::map<uint32_t, size_t> seen;
    for (uint32_t p : pixels) {
        if (seen.emplace(p, out.size()).second) {
            out.push_back(p);
        }
    }
    return out;
}

size_t IndexOf(const std::vector<uint32_t>& palette, uint32_t p) {
    return size_t(std::find(palette.begin(), palette.end(), p) - palette.begin());
}

// A colour as a TGA true-colour value of `bits` bits.
void PutTgaColor(std::string& s, uint32_t p, uint32_t bits) {
    switch (bits) {
        case 15:
        case 16:
            Put16(s, ((A(p) >= 128 ? 1u : 0u) << 15) | ((R(p) >> 3) << 10) | ((G(p) >> 3) << 5) |
                         (B(p) >> 3));
            break;
        case 24:
            Put8s(s, {B(p), G(p), R(p)});
            break;
        default:
            Put8s(s, {B(p), G(p), R(p), A(p)});
    }
}

}  // namespace

std::string Tga(const Pixels& pixels, uint32_t width, uint32_t height, const TgaOptions& o) {
    const uint32_t base = o.type & 7u;
    const bool rle = (o.type & 8) != 0;
    std::vector<uint32_t> palette;
    if (base == 1) {
        palette = Distinct(pixels);
    }
    std::string s;
    Put8s(s, {0, base == 1 ? 1u : 0u, o.type});
    Put16s(s, {base == 1 ? o.mapFirst : 0u, uint32_t(palette.size())});
    Put8(s, base == 1 ? o.mapBits : 0);
    Put16s(s, {0, 0, width, height});
    Put8s(s, {o.bits, (o.topDown ? 0x20u : 0u) | (o.rightToLeft ? 0x10u : 0u) | o.attributeBits});
    for (uint32_t p : palette) {
        PutTgaColor(s, p, o.mapBits);
    }
    // Pixels in stored order, each as its bytes.
    std::vector<std::string> stored;
    for (uint32_t r = 0; r < height; ++r) {
        const uint32_t y = o.topDown ? r : height - 1 - r;
        for (uint32_t c = 0; c < width; ++c) {
            const uint32_t x = o.rightToLeft ? width - 1 - c : c;
            const uint32_t p = pixels[size_t(y) * width + x];
            std::string px;
            if (base == 1) {
                const uint32_t index = uint32_t(IndexOf(palette, p)) + o.mapFirst;
                o.bits == 8 ? Put8(px, index) : Put16(px, index);
            } else if (base == 3) {
                Put8(px, R(p));
                if (o.bits == 16) {
                    Put8(px, A(p));
                }
            } else {
                PutTgaColor(px, p, o.bits);
            }
            stored.push_back(px);
        }
    }
    if (!rle) {
        for (const std::string& px : stored) {
            s += px;
        }
        return s;
    }
    // Runs of equal pixels become run packets, the rest raw packets; packets ignore row ends.
    size_t i = 0;
    while (i < stored.size()) {
        size_t run = 1;
        while (i + run < stored.size() && run < 128 && stored[i + run] == stored[i]) {
            ++run;
        }
        if (run >= 2) {
            Put8(s, 0x80 | uint32_t(run - 1));
            s += stored[i];
            i += run;
            continue;
        }
        size_t raw = 1;
        while (i + raw < stored.size() && raw < 128 &&
               !(i + raw + 1 < stored.size() && stored[i + raw] == stored[i + raw + 1])) {
            ++raw;
        }
        Put8(s, uint32_t(raw - 1));
        for (size_t k = 0; k < raw; ++k) {
            s += stored[i + k];
        }
        i += raw;
    }
    return s;
}

std::string Bmp(const Pixels& pixels, uint32_t width, uint32_t height, uint32_t bpp, bool topDown,
                bool rle8) {
    std::vector<uint32_t> palette;
    if (bpp == 8) {
        palette = Distinct(pixels);
    }
    const bool bitfields = bpp == 32;
    const uint32_t infoSize = bitfields ? 108 : 40;
    std::string data;
    if (rle8) {
        for (uint32_t r = 0; r < height; ++r) {
            const uint32_t y = height - 1 - r;
            uint32_t x = 0;
            while (x < width) {
                const uint32_t index = uint32_t(IndexOf(palette, pixels[size_t(y) * width + x]));
                uint32_t run = 1;
                while (x + run < width && run < 255 &&
                       IndexOf(palette, pixels[size_t(y) * width + x + run]) == index) {
                    ++run;
                }
                Put8s(data, {run, index});
                x += run;
            }
            Put8s(data, {0, 0});
        }
        Put8s(data, {0, 1});
    } else {
        const size_t rowBytes = ((size_t(width) * bpp + 31) / 32) * 4;
        for (uint32_t r = 0; r < height; ++r) {
            const uint32_t y = topDown ? r : height - 1 - r;
            std::string row;
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t p = pixels[size_t(y) * width + x];
                if (bpp == 8) {
                    Put8(row, uint32_t(IndexOf(palette, p)));
                } else if (bpp == 24) {
                    Put8s(row, {B(p), G(p), R(p)});
                } else {
                    Put32(row, p);
                }
            }
            row.resize(rowBytes, '\0');
            data += row;
        }
    }
    const uint32_t paletteBytes = uint32_t(palette.size()) * 4;
    const uint32_t offBits = 14 + infoSize + paletteBytes;
    std::string s = "BM";
    Put32s(s, {offBits + uint32_t(data.size()), 0, offBits, infoSize, width,
               topDown ? uint32_t(-int32_t(height)) : height});
    Put16s(s, {1, bpp});
    Put32s(s, {rle8 ? 1u : (bitfields ? 3u : 0u), uint32_t(data.size()), 2835, 2835,
               uint32_t(palette.size()), 0});
    if (bitfields) {
        Put32s(s, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000});
        s.resize(14 + infoSize, '\0');
    }
    for (uint32_t p : palette) {
        Put32(s, p & 0xFFFFFF);
    }
    return s + data;
}

std::string Ppm(const Pixels& pixels, uint32_t width, uint32_t height, bool binary,
                uint32_t maxValue) {
    std::string s = binary ? "P6\n" : "P3\n";
    s += "# test image\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
         std::to_string(maxValue) + "\n";
    for (uint32_t p : pixels) {
        for (uint32_t c : {R(p), G(p), B(p)}) {
            const uint32_t v = (c * maxValue + 127) / 255;
            if (!binary) {
                s += std::to_string(v) + " ";
            } else if (maxValue < 256) {
                Put8(s, v);
            } else {
                Put8(s, v >> 8);
                Put8(s, v);
            }
        }
        if (!binary) {
            s += "\n";
        }
    }
    return s;
}

namespace {

std::string DdsHeader(uint32_t width, uint32_t height, uint32_t levels, uint32_t pfFlags,
                      uint32_t fourCc, uint32_t bits, uint32_t r, uint32_t g, uint32_t b,
                      uint32_t a) {
    std::string s = "DDS ";
    Put32s(s, {124, 0x1007 | (levels > 1 ? 0x20000u : 0u), height, width, 0, 0, levels});
    s.append(11 * 4, '\0');
    Put32s(s, {32, pfFlags, fourCc, bits, r, g, b, a, 0x1000});
    s.append(4 * 4, '\0');
    return s;
}

}  // namespace

std::string DdsBlocks(uint32_t fourCc, uint32_t width, uint32_t height,
                      const std::vector<std::string>& levels) {
    std::string s = DdsHeader(width, height, uint32_t(levels.size()), 0x4, fourCc, 0, 0, 0, 0, 0);
    for (const std::string& l : levels) {
        s += l;
    }
    return s;
}

std::string DdsArgb(const Pixels& pixels, uint32_t width, uint32_t height) {
    std::string s = DdsHeader(width, height, 1, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    for (uint32_t p : pixels) {
        Put32(s, p);
    }
    return s;
}

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}
void PngFlush(png_structp) {}

}  // namespace

std::string Png(const Pixels& pixels, uint32_t width, uint32_t height, PngKind kind) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        std::abort();
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    std::vector<uint8_t> bytes;
    size_t rowBytes = 0;
    std::vector<uint32_t> palette;
    switch (kind) {
        case PngKind::Rgba8:
        case PngKind::Rgb8: {
            const bool alpha = kind == PngKind::Rgba8;
            png_set_IHDR(png, info, width, height, 8,
                         alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            rowBytes = size_t(width) * (alpha ? 4 : 3);
            for (uint32_t p : pixels) {
                bytes.insert(bytes.end(), {uint8_t(R(p)), uint8_t(G(p)), uint8_t(B(p))});
                if (alpha) {
                    bytes.push_back(uint8_t(A(p)));
                }
            }
            break;
        }
        case PngKind::PaletteTrns: {
            palette = Distinct(pixels);
            png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            std::vector<png_color> colors;
            std::vector<png_byte> alphas;
            for (uint32_t p : palette) {
                colors.push_back({png_byte(R(p)), png_byte(G(p)), png_byte(B(p))});
                alphas.push_back(png_byte(A(p)));
            }
            png_set_PLTE(png, info, colors.data(), int(colors.size()));
            png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
            rowBytes = width;
            for (uint32_t p : pixels) {
                bytes.push_back(uint8_t(IndexOf(palette, p)));
            }
            break;
        }
        case PngKind::Grey16:
            png_set_IHDR(png, info, width, height, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            rowBytes = size_t(width) * 2;
            for (uint32_t p : pixels) {
                bytes.insert(bytes.end(), 2, uint8_t(R(p)));  // R * 257, big-endian
            }
            break;
    }
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
        png_write_row(png, bytes.data() + y * rowBytes);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string Jpeg(const Pixels& pixels, uint32_t width, uint32_t height, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    for (int i = 0; i < cinfo.num_components; ++i) {
        cinfo.comp_info[i].h_samp_factor = 1;
        cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(width) * 3);
    while (cinfo.next_scanline < height) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = pixels[size_t(cinfo.next_scanline) * width + x];
            row[x * 3] = uint8_t(R(p));
            row[x * 3 + 1] = uint8_t(G(p));
            row[x * 3 + 2] = uint8_t(B(p));
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

Pixels Pattern(uint32_t width, uint32_t height, uint32_t seed, bool withAlpha) {
    Pixels out(size_t(width) * height);
    uint32_t state = seed * 2654435761u + 1;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            // Blocks of equal pixels (runs for RLE) mixed with noise.
            const uint32_t noise = ((x / 3 + y / 2) % 3 == 0) ? state >> 8 : (x / 4) * 0x102030u;
            const uint32_t alpha = withAlpha ? ((state >> 24) | 0x10) : 0xFF;
            out[size_t(y) * width + x] = (alpha << 24) | (noise & 0xFFFFFF);
        }
    }
    return out;
}

}  // namespace imagefiles
