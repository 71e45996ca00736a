#include "platform/os/gfx/types.h"

namespace gfx {

Matrix IdentityMatrix() {
    Matrix m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

uint32_t FormatBytesPerPixel(uint32_t format) {
    switch (format) {
    case Format::A8R8G8B8:
    case Format::X8R8G8B8:
    case Format::D24S8:
    case Format::D24X8:
    case Format::D24X4S4:
    case Format::D32:
    case Format::Index32:
        return 4;
    case Format::R8G8B8:
        return 3;
    case Format::R5G6B5:
    case Format::X1R5G5B5:
    case Format::A1R5G5B5:
    case Format::A4R4G4B4:
    case Format::A8R3G3B2:
    case Format::X4R4G4B4:
    case Format::A8L8:
    case Format::D16:
    case Format::D16Lockable:
    case Format::D15S1:
    case Format::Index16:
        return 2;
    case Format::R3G3B2:
    case Format::A8:
    case Format::L8:
    case Format::A4L4:
        return 1;
    default:
        return 0;
    }
}

bool IsCompressedFormat(uint32_t format) { return FormatBlockBytes(format) != 0; }

uint32_t FormatBlockBytes(uint32_t format) {
    switch (format) {
    case Format::Dxt1:
        return 8;
    case Format::Dxt2:
    case Format::Dxt3:
    case Format::Dxt4:
    case Format::Dxt5:
        return 16;
    default:
        return 0;
    }
}

bool IsTextureFormat(uint32_t format) {
    switch (format) {
    case Format::R8G8B8:
    case Format::A8R8G8B8:
    case Format::X8R8G8B8:
    case Format::R5G6B5:
    case Format::X1R5G5B5:
    case Format::A1R5G5B5:
    case Format::A4R4G4B4:
    case Format::L8:
    case Format::A8:
    case Format::A8L8:
    case Format::Dxt1:
    case Format::Dxt2:
    case Format::Dxt3:
    case Format::Dxt4:
    case Format::Dxt5:
        return true;
    default:
        return false;
    }
}

} // namespace gfx
