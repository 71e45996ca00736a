// JPEG through libjpeg, read from memory. libjpeg's own error handler ends
// the process, so ours longjmps back instead; the setjmp lives in
// DecodeJpegRows, which owns no object with a destructor. A file that ends
// early is only a warning to libjpeg (it fills the rest with grey): here any
// warning counts as corrupt input.
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <csetjmp>
#include <new>
#include <vector>

#include "platform/os/gfx/types.h"
#include "platform/os/image/readers.h"

namespace image_detail {

namespace {

struct JpegErrors {
    jpeg_error_mgr mgr;  // first: libjpeg sees a jpeg_error_mgr*
    jmp_buf jump;
    int warnings;
};

void OnJpegError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    longjmp(errors->jump, 1);
}

void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) {
        reinterpret_cast<JpegErrors*>(cinfo->err)->warnings++;
    }
}

// Phase 1 (pixels == null): reads the header and starts decompression,
// giving the output size and components. Phase 2: reads every scanline into
// `pixels` (width x components bytes a row) through `row`. False when
// libjpeg reported an error.
bool DecodeJpegRows(jpeg_decompress_struct* cinfo, JpegErrors* errors, const uint8_t* data,
                    size_t size, uint8_t* pixels, uint32_t* width, uint32_t* height,
                    int* components) {
    if (setjmp(errors->jump) != 0) {
        return false;
    }
    if (pixels == nullptr) {
        jpeg_mem_src(cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
        jpeg_read_header(cinfo, TRUE);
        cinfo->out_color_space =
            cinfo->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_calc_output_dimensions(cinfo);
        *width = cinfo->output_width;
        *height = cinfo->output_height;
        *components = cinfo->output_components;
        return true;
    }
    jpeg_start_decompress(cinfo);
    const size_t rowBytes = size_t(cinfo->output_width) * cinfo->output_components;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = pixels + size_t(cinfo->output_scanline) * rowBytes;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) {
            return false;
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

}  // namespace

bool ReadJpeg(const uint8_t* data, size_t size, DecodedImage* out, const ImageLimits& limits) {
    jpeg_decompress_struct cinfo{};
    JpegErrors errors{};
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = OnJpegError;
    errors.mgr.emit_message = OnJpegMessage;
    jpeg_create_decompress(&cinfo);

    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    bool ok = DecodeJpegRows(&cinfo, &errors, data, size, nullptr, &width, &height, &components) &&
              errors.warnings == 0 && SizeAllowed(width, height, limits) &&
              (components == 1 || components == 3);
    std::vector<uint8_t> samples;
    if (ok) {
        try {
            samples.resize(size_t(width) * height * size_t(components));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (ok) {
        ok = DecodeJpegRows(&cinfo, &errors, data, size, samples.data(), &width, &height,
                            &components) &&
             errors.warnings == 0;
    }
    jpeg_destroy_decompress(&cinfo);
    if (!ok || !AllocateImage(out, width, height)) {
        return false;
    }
    const size_t total = size_t(width) * height;
    for (size_t i = 0; i < total; ++i) {
        if (components == 1) {
            const uint32_t l = samples[i];
            out->pixels[i] = Argb(255, l, l, l);
        } else {
            const uint8_t* s = samples.data() + i * 3;
            out->pixels[i] = Argb(255, s[0], s[1], s[2]);
        }
    }
    out->format = components == 1 ? gfx::Format::L8 : gfx::Format::X8R8G8B8;
    out->fileFormat = ImageFileFormat::Jpg;
    return true;
}

}  // namespace image_detail
