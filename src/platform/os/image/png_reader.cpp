// PNG through libpng, read from memory. libpng reports errors by longjmp:
// the setjmp lives in DecodePngRows, which owns no object with a destructor;
// every buffer it writes belongs to its caller.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "platform/os/gfx/types.h"
#include "platform/os/image/readers.h"

namespace image_detail {

namespace {

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (src->size - src->pos < length) {
        png_error(png, "truncated");
    }
    std::memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// What the header says, read before the pixels are sized.
struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool alpha = false;  // alpha channel or tRNS
    bool grey = false;
};

// Phase 1 (rows == null): reads the header into *header and sets up the
// expansions to 8-bit RGBA. Phase 2: reads the pixels into `rows`. Returns
// false when libpng reported an error. Only plain data lives here.
bool DecodePngRows(png_structp png, png_infop info, const ImageLimits* limits, PngHeader* header,
                   png_bytep* rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    if (rows == nullptr) {
        png_set_user_limits(png, limits->maxSide, limits->maxSide);
        png_read_info(png, info);
        png_uint_32 w = 0, h = 0;
        int depth = 0, colorType = 0;
        png_get_IHDR(png, info, &w, &h, &depth, &colorType, nullptr, nullptr, nullptr);
        header->width = w;
        header->height = h;
        header->alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 ||
                        png_get_valid(png, info, PNG_INFO_tRNS) != 0;
        header->grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_palette_to_rgb(png);
        }
        if (header->grey && depth < 8) {
            png_set_expand_gray_1_2_4_to_8(png);
        }
        if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
            png_set_tRNS_to_alpha(png);
        }
        if (depth == 16) {
            png_set_scale_16(png);
        }
        if (header->grey) {
            png_set_gray_to_rgb(png);
        }
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        png_set_bgr(png);  // bytes B, G, R, A: the little-endian 0xAARRGGBB
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        return true;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool ReadPng(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    PngSource source{data, size, 0};
    png_set_read_fn(png, &source, ReadFromMemory);

    PngHeader header;
    bool ok = DecodePngRows(png, info, &limits, &header, nullptr) &&
              SizeAllowed(header.width, header.height, limits) &&
              png_get_rowbytes(png, info) == size_t(header.width) * 4;
    std::vector<png_bytep> rows;
    if (ok) {
        ok = AllocateImage(out, header.width, header.height);
    }
    if (ok) {
        try {
            rows.resize(header.height);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (ok) {
        for (png_uint_32 y = 0; y < header.height; ++y) {
            rows[y] = reinterpret_cast<png_bytep>(out->pixels.data() + size_t(y) * header.width);
        }
        ok = DecodePngRows(png, info, &limits, &header, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        return false;
    }
    // The bytes B, G, R, A of each pixel read as one little-endian word.
    for (uint32_t& p : out->pixels) {
        const auto* b = reinterpret_cast<const uint8_t*>(&p);
        p = Argb(b[3], b[2], b[1], b[0]);
    }
    if (header.alpha) {
        out->format = gfx::Format::A8R8G8B8;
    } else {
        out->format = header.grey ? gfx::Format::L8 : gfx::Format::X8R8G8B8;
    }
    out->fileFormat = ImageFileFormat::Png;
    return true;
}

}  // namespace image_detail
