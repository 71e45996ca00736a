// Textures made from image files: the file is read whole through a file
// handle, decoded, scaled to the texture's size, given its mip levels in
// the chosen pixel format and put into a managed device texture.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os/image/image.h"
#include "platform/texture_object.h"

// The side of a texture made for a requested side: 0 asks for the file's
// side; every side is raised to the next power of two and capped at the
// device maximum (worked in 64 bits: no request wraps to 0).
uint32_t TextureSideFor(uint64_t requested, uint32_t fileSide, uint32_t maxSide);

// A texture object from an image file on the current graphics device:
// width and height 0 take the file's size, format 0 the file's own format,
// mip levels 0 (or more than the chain has) the full chain. Null on any
// failure (no device, no file, a file that cannot be decoded, a format that
// cannot be made), with the reason in the graphics error text once a device
// exists.
TextureObject* Texture_CreateFromFile(const char* fileName, uint32_t width, uint32_t height,
                                      uint32_t format, uint32_t mipLevels);

// The same from a file already in memory, on the given device.
TextureObject* CreateTextureFromImageFile(gfx::Device& device, const uint8_t* data, size_t size,
                                          uint32_t width, uint32_t height, uint32_t format,
                                          uint32_t mipLevels, const ImageLimits& limits = {});
