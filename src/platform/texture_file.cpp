#include "platform/texture_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/file_system.h"
#include "platform/graphics.h"

uint32_t TextureSideFor(uint64_t requested, uint32_t fileSide, uint32_t maxSide) {
    const uint64_t want = requested == 0 ? fileSide : requested;
    uint64_t side = 1;
    while (side < want) {
        side <<= 1;
    }
    return uint32_t(std::min<uint64_t>(side, std::max<uint32_t>(maxSide, 1)));
}

namespace {

// Writes one level: the stored blocks when they fit it exactly, else the
// pixels converted.
bool FillLevel(gfx::Texture* texture, uint32_t level, const std::vector<uint32_t>& pixels,
               uint32_t width, uint32_t height, uint32_t format, const std::vector<uint8_t>* blocks) {
    gfx::LockedRect locked;
    if (gfx::Failed(texture->LockRect(level, &locked, nullptr, 0))) {
        return false;
    }
    const gfx::Texture::Level& l = texture->GetLevel(level);
    bool ok = true;
    if (blocks != nullptr && blocks->size() == size_t(l.pitch) * l.rows) {
        std::memcpy(locked.bits, blocks->data(), blocks->size());
    } else {
        ok = ConvertPixels(pixels.data(), width, height, format, static_cast<uint8_t*>(locked.bits),
                           size_t(locked.pitch));
    }
    texture->UnlockRect(level);
    return ok;
}

// The kind of image the first bytes announce, as the decoder tells them apart.
const char* ImageKind(const uint8_t* data, size_t size) {
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        return "PNG";
    }
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return "JPEG";
    }
    if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) {
        return "DDS";
    }
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        return "bitmap";
    }
    if (size >= 2 && data[0] == 'P' && (data[1] == '3' || data[1] == '6')) {
        return "PPM";
    }
    return "targa";
}

}  // namespace

TextureObject* CreateTextureFromImageFile(gfx::Device& device, const uint8_t* data, size_t size,
                                          uint32_t width, uint32_t height, uint32_t format,
                                          uint32_t mipLevels, const ImageLimits& limits) {
    DecodedImage image;
    if (!DecodeImage(data, size, &image, limits)) {
        ReportGraphicsError("the %s decoder refused it", ImageKind(data, size));
        return nullptr;
    }
    gfx::Caps caps;
    device.GetDeviceCaps(&caps);
    const uint32_t w = TextureSideFor(width, image.width, caps.maxTextureWidth);
    const uint32_t h = TextureSideFor(height, image.height, caps.maxTextureHeight);
    if (format == gfx::Format::Unknown) {
        format = image.format;
    }
    if (!CanConvertToFormat(format)) {
        ReportGraphicsError("texture format %u cannot be made", format);
        return nullptr;
    }
    const uint32_t chain = FullMipChain(w, h);
    const uint32_t levels = (mipLevels == 0 || mipLevels > chain) ? chain : mipLevels;

    gfx::Texture* texture = nullptr;
    if (gfx::Failed(device.CreateTexture(w, h, levels, 0, format, gfx::Pool::Managed, &texture))) {
        ReportGraphicsError("the device cannot make a %u x %u texture", w, h);
        return nullptr;
    }
    // Stored blocks go in unchanged while the size and format are the file's.
    const bool passBlocks = !image.blockLevels.empty() && format == image.format &&
                            w == image.width && h == image.height;
    std::vector<uint32_t> pixels = ResampleImage(image.pixels, image.width, image.height, w, h);
    uint32_t lw = w;
    uint32_t lh = h;
    bool ok = !pixels.empty();
    for (uint32_t i = 0; ok && i < texture->GetLevelCount(); ++i) {
        const std::vector<uint8_t>* blocks =
            passBlocks && i < image.blockLevels.size() ? &image.blockLevels[i] : nullptr;
        ok = FillLevel(texture, i, pixels, lw, lh, format, blocks);
        if (i + 1 < texture->GetLevelCount()) {
            pixels = HalveImage(pixels, lw, lh);
            lw = std::max(1u, lw / 2);
            lh = std::max(1u, lh / 2);
        }
    }
    auto* object = ok ? new (std::nothrow) TextureObject() : nullptr;
    if (object == nullptr) {
        texture->Release();
        ReportGraphicsError("the texture cannot be filled");
        return nullptr;
    }
    object->texture = texture;
    object->imageInfo.width = image.width;
    object->imageInfo.height = image.height;
    object->imageInfo.depth = 1;
    object->imageInfo.mipLevels = image.blockLevels.empty() ? 1 : uint32_t(image.blockLevels.size());
    object->imageInfo.format = image.format;
    object->imageInfo.resourceType = gfx::ResourceType::Texture;
    object->imageInfo.fileFormat = image.fileFormat;
    texture->GetLevelDesc(0, &object->levelDesc);
    return object;
}

TextureObject* Texture_CreateFromFile(const char* fileName, uint32_t width, uint32_t height,
                                      uint32_t format, uint32_t mipLevels) {
    gfx::Device* device = GetD3DDevice();
    if (device == nullptr || fileName == nullptr) {
        ReportGraphicsError("%s", device == nullptr ? "no graphics device" : "no file name");
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    {
        FileHandle file;
        if (!file.Open(fileName, "rb")) {
            ReportGraphicsError("the file cannot be opened");
            return nullptr;
        }
        const uint32_t size = file.Size();
        try {
            bytes.resize(size);
        } catch (const std::bad_alloc&) {
            ReportGraphicsError("no memory for %u bytes", size);
            return nullptr;
        }
        if (size == 0 || file.Read(bytes.data(), size) != 1) {
            ReportGraphicsError("%s", size == 0 ? "the file is empty" : "the file cannot be read");
            return nullptr;
        }
        file.Close();
    }
    return CreateTextureFromImageFile(*device, bytes.data(), bytes.size(), width, height, format,
                                      mipLevels);
}
