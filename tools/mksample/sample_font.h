// A font whose glyph sheet is prepared ahead: the sheet picture and the
// glyph section its library record carries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/bitmap_font.h"
#include "sample_game.h"

namespace sample {

struct PreparedFont {
    Image sheet; // white, alpha = coverage
    float spacing = 0.0f;
    uint32_t sheetWidth = 0;
    uint32_t sheetHeight = 0;
    float sheetScale = 0.0f;
    uint32_t glyphCount = 0;
    unsigned char characterList[BitmapFont::kMaxGlyphs] = {};
    std::vector<GlyphRecord> glyphs;
};

// Rasterises the face's default character list; false when the face cannot
// be opened or the sheet not made.
bool MakeFontSheet(const std::string& face, uint32_t size, PreparedFont& out);

// Copies the glyph section into a font item's bitmap font.
void PrepareFontRecord(const PreparedFont& prepared, BitmapFont& font);

} // namespace sample
