// The texture object: the record that image loading and the video textures
// hand to texture items. The device texture first, then the source image's
// information and the description of level 0 (image files), then the video
// handle (video textures; null otherwise).
#pragma once

#include <cstdint>

#include "platform/os/gfx/device.h"

// What the source image file held.
struct ImageInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;
    uint32_t mipLevels = 0;
    uint32_t format = 0;
    uint32_t resourceType = 0;
    uint32_t fileFormat = 0;
};

struct TextureObject {
    gfx::Texture *texture = nullptr;
    ImageInfo imageInfo;
    gfx::SurfaceDesc levelDesc; // level 0 as created on the device
    void *video = nullptr;      // the film behind a video texture
};

// Width and height as created on the device (0 for null).
uint32_t GetTextureObjectWidth(const TextureObject *object);
uint32_t GetTextureObjectHeight(const TextureObject *object);
// AddRef on the device texture.
void AddRefTextureObject(TextureObject *object);
// Stops and frees the video (through the hook) when there is one, releases
// the device texture and frees the object. Null is ignored.
void DestroyTextureObject(TextureObject *object);
// Answers the object it is given.
TextureObject *GetTextureObject(TextureObject *object);

// Frees the video behind a texture object; the video module sets it.
using DestroyVideoHook = void (*)(TextureObject *object);
void SetDestroyVideoHook(DestroyVideoHook hook);
