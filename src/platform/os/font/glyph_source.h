// Glyph rasterising for the bitmap fonts: a font face opened at a pixel
// height answers the cell size of each byte character and draws its coverage
// into an 8-bit image. The system source matches faces through fontconfig and
// renders them with FreeType; tests put a source of their own in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fonts {

// What a font is asked for. The pixel height is the em height.
struct FontRequest {
    std::string face;
    int pixelHeight = 0;
    bool bold = false;
    bool italic = false;
    bool antialiased = false;
};

// Size of a character's cell: its advance in whole pixels and the line
// height (ascent + descent).
struct GlyphExtent {
    int cx = 0;
    int cy = 0;
};

class GlyphSource {
  public:
    virtual ~GlyphSource() = default;
    // The cell of a byte character (code page 1252).
    virtual GlyphExtent Extent(unsigned char code) = 0;
    // Draws the character's coverage (0 = none, 255 = full) with its cell's
    // top-left corner at (x, y) into a width x height image of one byte per
    // pixel, rows top-down; pixels outside the image are dropped. Coverage
    // already there is kept where it is larger.
    virtual void Render(unsigned char code, int x, int y, uint8_t *pixels, int width,
                        int height) = 0;
};

using GlyphSourceFactory = std::function<std::unique_ptr<GlyphSource>(const FontRequest &)>;

// Opens the request with the system fonts; null when no face can be had.
std::unique_ptr<GlyphSource> OpenSystemFont(const FontRequest &request);

// The factory the bitmap fonts open their faces with (the system one unless
// tests replace it); an empty factory restores the system one.
void SetGlyphSourceFactory(GlyphSourceFactory factory);
std::unique_ptr<GlyphSource> OpenGlyphSource(const FontRequest &request);

// Font files added by name: a face named like an added file's family is
// taken from that file before the system fonts are asked. Adding fails when
// the file cannot be opened as a font.
bool AddFontFile(const std::string &path);
void RemoveFontFile(const std::string &path);

// Which file and face index a request resolves to, and whether bold or
// italic has to be synthesised; false when nothing matches.
struct ResolvedFace {
    std::string file;
    int index = 0;
    std::string family;
    bool emboldened = false;
    bool slanted = false;
};
bool ResolveFace(const FontRequest &request, ResolvedFace *out);

// Replaces the fontconfig configuration by the one the file describes (tests);
// an empty path returns to the default configuration. False when the file
// cannot be loaded.
bool UseFontConfigFile(const std::string &path);

// Unicode code point of a code page 1252 byte; 0 for the five unassigned
// codes (0x81, 0x8D, 0x8F, 0x90, 0x9D).
uint32_t CodePage1252ToUnicode(unsigned char code);

} // namespace fonts
