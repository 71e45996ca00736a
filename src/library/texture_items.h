// Loaders of texture, material and light items, the texture rules of the
// library (size divisor, format mode) and the ambient colour.
#pragma once

#include <cstdint>
#include <string>

struct TextureObject;

// Registers the Load and Release of texture, material and light items in the
// loader table. CreateEngineServices runs it; tests may run it again.
void RegisterTextureItemLoaders();

// Video textures (".avi", ".mpg") come from the video module through this
// hook: the texture object of a film, or null. Without a hook such items do
// not load.
using OpenVideoTextureHook = TextureObject* (*)(const char* path);
void SetOpenVideoTextureHook(OpenVideoTextureHook hook);

// What LoadTextureFile asks of the image loader for a record.
struct TextureRequest {
    uint32_t width = 0;   // 0: the file's
    uint32_t height = 0;  // 0: the file's
    uint32_t format = 0;  // 0: the file's own
};

// The size and format rules: kind below 3 (or a divisor above 4) divides the
// record's size, each side at least 4; a divisor of 0 counts as 1. Kind 4
// keeps the file's format; otherwise the format mode decides (1: R5G6B5, the
// file's own for ".tga"; 2: R5G6B5, A4R4G4B4 for ".tga"; 3: DXT1, DXT2 for
// ".tga"; other modes: the file's own). The extension is compared without
// regard to case.
TextureRequest ChooseTextureRequest(uint32_t kind, uint32_t recordWidth, uint32_t recordHeight,
                                    uint32_t formatMode, uint32_t divisor,
                                    const std::string& extension);

// Colour components packed as 0xAARRGGBB: each clamped to 0..1 (NaN as 0),
// then truncated x 255.
uint32_t PackAmbientColor(float r, float g, float b, float a);
