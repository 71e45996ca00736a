#include "core/actors/screen_capture.h"

#include <algorithm>
#include <memory>
#include <new>

#include "base/file_system.h"
#include "platform/graphics.h"
#include "platform/os/gfx/device.h"

namespace {

std::unique_ptr<CaptureImage> g_capture;

struct Bgr {
    uint32_t b, g, r;
};

Bgr ReadPixel(const CaptureSource &source, uint32_t x, uint32_t y) {
    const uint8_t *row = source.bits + static_cast<size_t>(y) * static_cast<size_t>(source.pitch);
    switch (source.format) {
    case kCaptureFormatR5G6B5: {
        const uint32_t p = row[x * 2] | (row[x * 2 + 1] << 8);
        return {(p & 31) << 3, ((p >> 5) & 63) << 2, (p >> 8) & 0xF8};
    }
    case kCaptureFormatX1R5G5B5:
    case kCaptureFormatA1R5G5B5: {
        const uint32_t p = row[x * 2] | (row[x * 2 + 1] << 8);
        return {(p & 31) << 3, ((p >> 5) & 31) << 3, ((p >> 10) & 31) << 3};
    }
    default: {
        const uint8_t *px = row + static_cast<size_t>(x) * 4;
        return {px[0], px[1], px[2]};
    }
    }
}

uint32_t BytesPerSourcePixel(uint32_t format) {
    switch (format) {
    case kCaptureFormatR5G6B5:
    case kCaptureFormatX1R5G5B5:
    case kCaptureFormatA1R5G5B5:
        return 2;
    default:
        return 4;
    }
}

bool SizeAccepted(int32_t width, int32_t height) {
    return width >= 1 && height >= 1 && width <= kMaxCaptureSide && height <= kMaxCaptureSide;
}

// The capture image at the size, made anew (filled with 0xFF) unless the
// current one already has it.
CaptureImage *PrepareImage(int32_t width, int32_t height) {
    if (g_capture != nullptr && g_capture->GetWidth() == width &&
        g_capture->GetHeight() == height) {
        return g_capture.get();
    }
    g_capture.reset();
    auto image = std::make_unique<CaptureImage>();
    if (!image->Allocate(width, height, 32)) {
        return nullptr;
    }
    std::fill(image->Pixels().begin(), image->Pixels().end(), uint8_t{0xFF});
    g_capture = std::move(image);
    return g_capture.get();
}

void PutU16(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

} // namespace

int CaptureImage::Allocate(int32_t width, int32_t height, int32_t bitsPerPixel) {
    pixels_.clear();
    width_ = height_ = bitsPerPixel_ = rowBytes_ = bytesPerPixel_ = size_ = 0;
    if (!SizeAccepted(width, height) || bitsPerPixel < 8 || bitsPerPixel > 32) {
        return 0;
    }
    const int32_t rowBytes = width * bitsPerPixel / 8;
    const int32_t size = height * rowBytes;
    try {
        pixels_.assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    rowBytes_ = rowBytes;
    bytesPerPixel_ = bitsPerPixel / 8;
    size_ = size;
    return 1;
}

int CaptureImage::SaveTga(const std::string &fileName) const {
    // Operating-system files: the file system layer maps '\' and letter case,
    // and writes beside the target so that a failed write keeps the old file.
    FileHandle file(GetDefaultFileSystem());
    if (!file.Open(fileName, "wb")) {
        return 0;
    }
    uint8_t header[18] = {};
    header[2] = 2; // uncompressed true colour
    PutU16(header + 12, static_cast<uint32_t>(width_));
    PutU16(header + 14, static_cast<uint32_t>(height_));
    header[16] = static_cast<uint8_t>(bitsPerPixel_);
    bool ok = file.Write(header, sizeof(header)) == 1;
    for (int32_t row = height_ - 1; ok && row >= 0; --row) {
        const size_t bytes = static_cast<size_t>(rowBytes_);
        ok = file.Write(pixels_.data() + static_cast<size_t>(row) * bytes,
                        static_cast<uint32_t>(bytes)) == 1;
    }
    // A failed write marks the handle, so Close discards the new file.
    return file.Close() == 0 && ok ? 1 : 0;
}

CaptureImage *GetCaptureImage() { return g_capture.get(); }

int CaptureFromSource(const CaptureSource &source, int32_t width, int32_t height) {
    if (!SizeAccepted(width, height)) {
        return 0;
    }
    CaptureImage *image = PrepareImage(width, height);
    if (image == nullptr) {
        return 0;
    }
    const uint32_t ws = source.width;
    const uint32_t hs = source.height;
    // The 2 x 2 fetch needs two columns and two rows in the source.
    if (source.bits == nullptr || ws < 2 || hs < 2 || source.pitch <= 0 ||
        static_cast<uint64_t>(source.pitch) < uint64_t{ws} * BytesPerSourcePixel(source.format)) {
        return 0;
    }
    const uint64_t sx = (uint64_t{ws} * 32768) / static_cast<uint64_t>(width);
    const uint64_t sy = (uint64_t{hs} * 32768) / static_cast<uint64_t>(height);
    uint8_t *out = image->Pixels().data();
    const size_t rowBytes = static_cast<size_t>(image->GetRowBytes());
    for (int32_t y = 0; y < height; ++y) {
        const uint64_t v = static_cast<uint64_t>(y) * sy;
        const uint32_t py = static_cast<uint32_t>(std::min<uint64_t>(v >> 15, hs - 2));
        const uint32_t fy = static_cast<uint32_t>(v & 0x7FFF);
        uint8_t *dst = out + static_cast<size_t>(y) * rowBytes;
        for (int32_t x = 0; x < width; ++x, dst += 4) {
            const uint64_t u = static_cast<uint64_t>(x) * sx;
            const uint32_t px = static_cast<uint32_t>(std::min<uint64_t>(u >> 15, ws - 2));
            const uint32_t fx = static_cast<uint32_t>(u & 0x7FFF);
            const Bgr s00 = ReadPixel(source, px, py);
            const Bgr s10 = ReadPixel(source, px + 1, py);
            const Bgr s01 = ReadPixel(source, px, py + 1);
            const Bgr s11 = ReadPixel(source, px + 1, py + 1);
            const uint32_t c = (fx * fy) >> 15;
            const uint32_t w00 = 32768 - fx - fy + c;
            const uint32_t w10 = fx - c;
            const uint32_t w01 = fy - c;
            const uint32_t w11 = c;
            dst[0] = static_cast<uint8_t>(
                (w00 * s00.b + w10 * s10.b + w01 * s01.b + w11 * s11.b) >> 15);
            dst[1] = static_cast<uint8_t>(
                (w00 * s00.g + w10 * s10.g + w01 * s01.g + w11 * s11.g) >> 15);
            dst[2] = static_cast<uint8_t>(
                (w00 * s00.r + w10 * s10.r + w01 * s01.r + w11 * s11.r) >> 15);
        }
    }
    return 1;
}

int CaptureBackBuffer(int32_t width, int32_t height) {
    return CaptureBackBuffer(GetD3DDevice(), width, height);
}

int CaptureBackBuffer(gfx::Device *device, int32_t width, int32_t height) {
    if (!SizeAccepted(width, height) || PrepareImage(width, height) == nullptr) {
        return 0;
    }
    if (device == nullptr) {
        return 0;
    }
    gfx::Surface *surface = nullptr;
    if (gfx::Failed(device->GetBackBuffer(0, 0, &surface)) || surface == nullptr) {
        return 0;
    }
    int result = 0;
    gfx::SurfaceDesc desc;
    gfx::LockedRect locked;
    // The description is read after the lock, which fetches the pixels.
    if (!gfx::Failed(surface->LockRect(&locked, nullptr, gfx::Lock::ReadOnly)) &&
        !gfx::Failed(surface->GetDesc(&desc))) {
        CaptureSource source;
        source.format = desc.format;
        source.width = desc.width;
        source.height = desc.height;
        source.pitch = locked.pitch;
        source.bits = static_cast<const uint8_t *>(locked.bits);
        result = CaptureFromSource(source, width, height);
    }
    surface->UnlockRect();
    surface->Release();
    return result;
}

int SaveCapturedImage(const std::string &fileName) {
    return g_capture != nullptr ? g_capture->SaveTga(fileName) : 0;
}

void ResetCaptureImageForTests() { g_capture.reset(); }
