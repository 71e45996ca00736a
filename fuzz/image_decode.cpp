// Image files from untrusted bytes: every reader must fail cleanly or give
// an image of the size it reports, and a texture made from it (resampled,
// with its mip chain, in its own format) must come out whole.
#include <cstdint>
#include <cstdlib>

#include "platform/os/gfx/recording_device.h"
#include "platform/os/image/image.h"
#include "platform/texture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) {
        return 0;
    }
    // A small header must not make a large image.
    ImageLimits limits;
    limits.maxSide = 4096;
    limits.maxPixels = 1u << 18;
    DecodedImage image;
    if (!DecodeImage(data, size, &image, limits)) {
        return 0;
    }
    if (image.width == 0 || image.height == 0 ||
        image.pixels.size() != size_t(image.width) * image.height) {
        std::abort();
    }
    static gfx::RecordingDevice* device = [] {
        auto* d = new gfx::RecordingDevice(64, 64);
        d->SetMaxTextureSize(64);
        return d;
    }();
    TextureObject* texture = CreateTextureFromImageFile(*device, data, size, 0, 0, 0, 0, limits);
    if (texture == nullptr) {
        std::abort();  // a decodable image always makes a texture of its own format
    }
    DestroyTextureObject(texture);
    return 0;
}
