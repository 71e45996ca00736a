#include "platform/os/gfx/recording_device.h"

#include <cstring>

namespace gfx {

RecordingDevice::RecordingDevice(uint32_t width, uint32_t height)
    : RecordingDevice(PresentParameters{}, width, height) {}

RecordingDevice::RecordingDevice(const PresentParameters &params, uint32_t width, uint32_t height)
    : width_(width), height_(height), backBuffer_(size_t(width) * height * 4, 0) {
    for (size_t i = 3; i < backBuffer_.size(); i += 4) {
        backBuffer_[i] = 0xFF;
    }
    InitializeDevice(params, width, height, 2048);
    GetGammaRamp(&appliedGamma_);
    logging_ = true;
}

RecordingDevice::~RecordingDevice() {
    logging_ = false;
    ShutdownDevice();
}

uint32_t RecordingDevice::Pixel(uint32_t x, uint32_t y) const {
    if (x >= width_ || y >= height_) {
        return 0;
    }
    const uint8_t *p = &backBuffer_[(size_t(y) * width_ + x) * 4];
    return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

int32_t RecordingDevice::DoClear(const Rect &area, uint32_t flags, uint32_t color, float z,
                                 uint32_t stencil) {
    (void)z;
    (void)stencil;
    if ((flags & ClearFlag::Target) == 0) {
        return Result::Ok;
    }
    if (area.left >= area.right || area.top >= area.bottom) {
        return Result::Ok;
    }
    // The first row pixel by pixel, the others copied from it.
    const uint8_t pixel[4] = {uint8_t(color), uint8_t(color >> 8), uint8_t(color >> 16), 0xFF};
    const size_t rowBytes = size_t(area.right - area.left) * 4;
    uint8_t *first = &backBuffer_[(size_t(area.top) * width_ + size_t(area.left)) * 4];
    for (size_t i = 0; i < rowBytes; i += 4) {
        std::memcpy(first + i, pixel, 4);
    }
    for (int32_t y = area.top + 1; y < area.bottom; ++y) {
        std::memcpy(&backBuffer_[(size_t(y) * width_ + size_t(area.left)) * 4], first, rowBytes);
    }
    return Result::Ok;
}

int32_t RecordingDevice::DoDraw(const DrawCall &call) {
    RecordedDraw d;
    d.primitive = call.primitive;
    d.primitiveCount = call.primitiveCount;
    d.fvf = call.layout.fvf;
    d.stride = call.stride;
    d.indexed = call.indices != nullptr;
    const uint32_t vertexCount = d.indexed ? call.maxIndex + 1 : call.vertexCount;
    d.vertices.assign(call.vertices, call.vertices + size_t(vertexCount) * call.stride);
    if (d.indexed) {
        d.indices.resize(call.vertexCount);
        for (uint32_t i = 0; i < call.vertexCount; ++i) {
            if (call.index32) {
                std::memcpy(&d.indices[i], call.indices + 4 * size_t(i), 4);
            } else {
                uint16_t v;
                std::memcpy(&v, call.indices + 2 * size_t(i), 2);
                d.indices[i] = v;
            }
        }
    }
    for (uint32_t s = 0; s < kStageCount; ++s) {
        d.textures[s] = GetState().textures[s];
    }
    draws_.push_back(std::move(d));
    return Result::Ok;
}

int32_t RecordingDevice::DoPresent() {
    ++presents_;
    return Result::Ok;
}

int32_t RecordingDevice::DoReadBack(std::vector<uint8_t> *pixels, uint32_t *width,
                                    uint32_t *height) {
    *pixels = backBuffer_;
    *width = width_;
    *height = height_;
    return Result::Ok;
}

void RecordingDevice::DoSetGamma(const GammaRamp &ramp) { appliedGamma_ = ramp; }

int32_t RecordingDevice::DoReset(const PresentParameters &params, uint32_t *backWidth,
                                 uint32_t *backHeight) {
    (void)params;
    *backWidth = width_;
    *backHeight = height_;
    return Result::Ok;
}

} // namespace gfx
