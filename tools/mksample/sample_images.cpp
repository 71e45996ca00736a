// Pictures of the sample's textures and the image encoders.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// libjpeg's header needs FILE and size_t declared first.
#include <jpeglib.h>

#include "base/random.h"
#include "core/actors/screen_capture.h"
#include "sample_game.h"

namespace sample {

// --- encoders ---------------------------------------------------------------

bool EncodeTga(const Scratch& scratch, const Image& image, std::vector<uint8_t>& bytes) {
    CaptureImage capture;
    if (capture.Allocate(int32_t(image.width), int32_t(image.height), 32) == 0) {
        return false;
    }
    uint8_t* out = capture.Pixels().data();
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t* row = out + size_t(y) * size_t(capture.GetRowBytes());
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t c = image.At(x, y);
            row[x * 4 + 0] = uint8_t(c);
            row[x * 4 + 1] = uint8_t(c >> 8);
            row[x * 4 + 2] = uint8_t(c >> 16);
            row[x * 4 + 3] = uint8_t(c >> 24);
        }
    }
    const std::string name = "image.tga";
    return capture.SaveTga(scratch.Path(name)) != 0 && scratch.Take(name, bytes);
}

namespace {

void PutPixel(std::vector<uint8_t>& out, uint32_t c) {
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
    out.push_back(uint8_t(c >> 16));
    out.push_back(uint8_t(c >> 24));
}

} // namespace

// Type 10, 32 bits, 8 alpha bits, bottom row first; packets stay within a
// row and hold at most 128 pixels.
std::vector<uint8_t> EncodeRleTga(const Image& image) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 10;
    out[12] = uint8_t(image.width);
    out[13] = uint8_t(image.width >> 8);
    out[14] = uint8_t(image.height);
    out[15] = uint8_t(image.height >> 8);
    out[16] = 32;
    out[17] = 8;
    for (uint32_t r = 0; r < image.height; ++r) {
        const uint32_t y = image.height - 1 - r;
        uint32_t x = 0;
        while (x < image.width) {
            uint32_t run = 1;
            while (x + run < image.width && run < 128 && image.At(x + run, y) == image.At(x, y)) {
                ++run;
            }
            if (run >= 2) {
                out.push_back(uint8_t(0x80 | (run - 1)));
                PutPixel(out, image.At(x, y));
                x += run;
                continue;
            }
            // Raw packet: up to the next pair of equal pixels.
            uint32_t count = 1;
            while (x + count < image.width && count < 128 &&
                   !(x + count + 1 < image.width &&
                     image.At(x + count, y) == image.At(x + count + 1, y))) {
                ++count;
            }
            out.push_back(uint8_t(count - 1));
            for (uint32_t i = 0; i < count; ++i) {
                PutPixel(out, image.At(x + i, y));
            }
            x += count;
        }
    }
    return out;
}

bool DecodeRleTga(const std::vector<uint8_t>& bytes, Image& image) {
    if (bytes.size() < 18 || bytes[2] != 10 || bytes[16] != 32) {
        return false;
    }
    const uint32_t w = bytes[12] | (uint32_t(bytes[13]) << 8);
    const uint32_t h = bytes[14] | (uint32_t(bytes[15]) << 8);
    image = Image(w, h, 0);
    size_t pos = 18 + bytes[0];
    auto pixel = [&](uint32_t& c) {
        if (pos + 4 > bytes.size()) {
            return false;
        }
        c = bytes[pos] | (uint32_t(bytes[pos + 1]) << 8) | (uint32_t(bytes[pos + 2]) << 16) |
            (uint32_t(bytes[pos + 3]) << 24);
        pos += 4;
        return true;
    };
    size_t i = 0;
    const size_t total = size_t(w) * h;
    while (i < total) {
        if (pos >= bytes.size()) {
            return false;
        }
        const uint8_t head = bytes[pos++];
        const size_t count = (head & 0x7F) + 1u;
        if (i + count > total) {
            return false;
        }
        uint32_t c = 0;
        for (size_t k = 0; k < count; ++k) {
            if ((k == 0 || (head & 0x80) == 0) && !pixel(c)) {
                return false;
            }
            const size_t at = i + k;
            const uint32_t y = h - 1 - uint32_t(at / w);
            image.At(uint32_t(at % w), y) = c;
        }
        i += count;
    }
    return pos == bytes.size();
}

namespace {

void PngAppend(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void PngFlush(png_structp) {}

} // namespace

// 8-bit RGBA, no time or text chunks.
std::vector<uint8_t> EncodePng(const Image& image) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    std::vector<uint8_t> row(size_t(image.width) * 4);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, PngAppend, PngFlush);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t c = image.At(x, y);
            row[x * 4 + 0] = uint8_t(c >> 16);
            row[x * 4 + 1] = uint8_t(c >> 8);
            row[x * 4 + 2] = uint8_t(c);
            row[x * 4 + 3] = uint8_t(c >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void JpegExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

} // namespace

// Baseline, RGB, no thumbnail; the alpha channel is dropped.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality) {
    jpeg_compress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> row(size_t(image.width) * 3);
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = image.width;
    cinfo.image_height = image.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t c = image.At(x, cinfo.next_scanline);
            row[x * 3 + 0] = uint8_t(c >> 16);
            row[x * 3 + 1] = uint8_t(c >> 8);
            row[x * 3 + 2] = uint8_t(c);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// --- pictures -----------------------------------------------------------------

namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

Image Checker(uint32_t side, uint32_t cell, uint32_t light, uint32_t dark) {
    Image image(side, side);
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            image.At(x, y) = ((x / cell + y / cell) % 2 == 0) ? light : dark;
        }
    }
    return image;
}

} // namespace

Image WhiteImage() { return Image(64, 64, 0xFFFFFFFFu); }

Image CheckerImage() { return Checker(256, 32, 0xFFE0E0E0u, 0xFF404040u); }

Image GradImage() {
    Image image(128, 128);
    for (uint32_t y = 0; y < 128; ++y) {
        for (uint32_t x = 0; x < 128; ++x) {
            image.At(x, y) = Argb(x * 2 + x / 64, 0x30, 0x60, 0xC0);
        }
    }
    return image;
}

Image NoiseImage() {
    Image image(256, 256);
    SeedRand(12345);
    for (uint32_t& c : image.pixels) {
        const uint32_t v = uint32_t(Rand()) & 0xFF;
        c = Argb(255, v, v, v);
    }
    return image;
}

Image RingImage() {
    Image image(128, 128, 0);
    for (uint32_t y = 0; y < 128; ++y) {
        for (uint32_t x = 0; x < 128; ++x) {
            const double dx = double(x) + 0.5 - 64.0;
            const double dy = double(y) + 0.5 - 64.0;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d < 48.0) {
                image.At(x, y) = Argb(255, 0xF0, 0xC0, 0x20);
            } else if (d < 60.0) {
                image.At(x, y) = Argb(255, 0xFF, 0xFF, 0xFF);
            }
        }
    }
    return image;
}

Image EnvmapImage() {
    Image image(128, 128);
    for (uint32_t y = 0; y < 128; ++y) {
        for (uint32_t x = 0; x < 128; ++x) {
            image.At(x, y) = y < 64 ? Argb(255, 0x60 + y, 0x90 + y, 0xFF)
                                    : Argb(255, 0x50 + (y - 64), 0x40 + (y - 64) / 2, 0x20);
        }
    }
    return image;
}

Image BadgeImage() { return Checker(32, 8, 0xFFFF2020u, 0xFF2020FFu); }

Image ButtonImage() {
    Image image(128, 32, 0xFF3050A0u);
    for (uint32_t y = 0; y < 32; ++y) {
        for (uint32_t x = 0; x < 128; ++x) {
            if (x < 2 || y < 2 || x >= 126 || y >= 30) {
                image.At(x, y) = 0xFFFFFFFFu;
            }
        }
    }
    return image;
}

Image CursorImage() { return Image(16, 16, 0xFFFFA000u); }

Image FramedImage(uint32_t width, uint32_t height, uint32_t border, uint32_t color) {
    Image image(width, height, color);
    for (uint32_t y = border; y + border < height; ++y) {
        for (uint32_t x = border; x + border < width; ++x) {
            image.At(x, y) = 0;
        }
    }
    return image;
}

Image Raw4Image() {
    Image image(64, 64);
    for (uint32_t y = 0; y < 64; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            image.At(x, y) = Argb(255, x * 4, y * 4, 0x80);
        }
    }
    return image;
}

uint32_t FilmFrameColor(int k) {
    static const uint32_t kColors[10] = {0xC02020, 0x20C020, 0x2020C0, 0xC0C020, 0x20C0C0,
                                         0xC020C0, 0xE08020, 0x808080, 0xF0F0F0, 0x402010};
    return kColors[((k % 10) + 10) % 10];
}

} // namespace sample
