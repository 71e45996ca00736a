// Bitmap font: a glyph sheet texture and the texture rectangle of each
// character. This holds the font's data as the library file stores it for a
// prepared glyph sheet; building, measuring and drawing come with the text
// renderer.
#pragma once

#include <cstdint>
#include <vector>

// Texture coordinates of one glyph's cell on the sheet.
struct GlyphRecord {
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
};

class BitmapFont {
public:
    // The character list and the glyph map have one entry per byte value.
    static constexpr uint32_t kMaxGlyphs = 256;

    BitmapFont() = default;
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Frees the device state objects before a device reset.
    void ReleaseDeviceObjects();

    uint32_t sheetWidth = 0;
    uint32_t sheetHeight = 0;
    float sheetScale = 0.0f;
    float spacing = 0.0f;
    uint32_t glyphCount = 0;
    unsigned char characterList[kMaxGlyphs] = {};
    std::vector<GlyphRecord> glyphs; // glyphCount records
};
