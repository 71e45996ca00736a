// Bitmap font: a glyph sheet texture and the texture rectangle of each
// character. A font is rasterised once into the sheet (Create) or uses a
// prepared sheet whose records the library file holds (Attach); each
// character is then drawn as a textured screen quad.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class EngineWindow;
namespace gfx {
class Device;
class Texture;
} // namespace gfx
namespace fonts {
struct GlyphExtent;
}

// Texture coordinates of one glyph's cell on the sheet.
struct GlyphRecord {
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
};

// Result of laying glyph cells out on a sheet of a given size.
struct GlyphSheetLayout {
    bool fits = true;
    std::vector<GlyphRecord> records;
    // Where each glyph's cell is drawn (its top-left corner), in texels.
    std::vector<int> drawX;
    std::vector<int> drawY;
};

// Lays the cells out in list order with spacing s: rows from (s, s), a new
// row when cx + x + 1 + s reaches the width. The layout fits when every
// cell's bottom and every glyph's right edge lies within the sheet.
GlyphSheetLayout LayOutGlyphSheet(const fonts::GlyphExtent *extents, uint32_t count, int spacing,
                                  uint32_t width, uint32_t height);

// Sheet size for the extents: from 64 x 64, the width doubling while it is
// smaller than the height and the height doubling otherwise, until the layout
// fits or a side passes maxSide.
void MeasureGlyphSheet(const fonts::GlyphExtent *extents, uint32_t count, int spacing,
                       uint32_t maxSide, uint32_t *width, uint32_t *height);

// Pixel height of a font of `size` points at 96 dots per inch times the
// sheet scale, rounded to nearest.
int FontPixelHeight(uint32_t size, float sheetScale);

class BitmapFont {
public:
    // The character list and the glyph map have one entry per byte value.
    static constexpr uint32_t kMaxGlyphs = 256;
    static constexpr uint32_t kVertexFormat = 0x144; // XYZRHW | DIFFUSE | TEX1
    static constexpr uint32_t kVertexStride = 28;
    static constexpr uint32_t kBatchCharacters = 50;

    BitmapFont() = default;
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Rasterises the face into a new sheet. Answers 1, or 0 when the font
    // file cannot be added. Without a character list the default one (the
    // printable ASCII characters and 14 Nordic and German letters) is used;
    // a list keeps its first 256 characters.
    int Create(const char* fontFile, const char* face, uint32_t size, uint32_t style,
               gfx::Device* device, const char* characterList, EngineWindow* window,
               float spacing);
    // Lays out and renders the sheet texture; answers 0 or a failure code.
    int32_t BuildSheet(gfx::Device* device, EngineWindow* window);
    // Uses a prepared sheet whose records were read with the font; 0 when
    // either is null.
    int Attach(gfx::Device* device, gfx::Texture* texture);
    int32_t CreateDeviceObjects();
    // Frees the device state objects before a device reset.
    void ReleaseDeviceObjects();
    // Width and height of the text in sheet texels (all lines, or only the
    // first). A null text measures 0 x 0; a null out answers a failure.
    int32_t Measure(const char* text, int* width, int* height, bool firstLineOnly) const;
    // Draws the text at (x, y) in screen pixels. Style 2 centres each line
    // on x, 4 right-aligns it, 0x10 and 0x20 move the block up by half or
    // all of its height, 0x80 filters the sheet linearly. Depth 0 draws
    // without the depth test.
    int32_t Draw(float x, float y, uint32_t color, const char* text, uint32_t style, float depth);
    void Release();

    // The glyph record drawn for a character (record 0 for characters not in
    // the list); null without records.
    const GlyphRecord* GlyphFor(unsigned char c) const;
    gfx::Texture* GetSheetTexture() const { return sheetTexture; }
    gfx::Device* GetDevice() const { return device; }
    bool DeviceObjectsReady() const { return deviceObjectsReady; }

    std::string faceName;
    uint32_t size = 0;
    uint32_t styleFlags = 0;
    gfx::Device* device = nullptr;
    gfx::Texture* sheetTexture = nullptr; // one reference held
    uint32_t sheetWidth = 0;
    uint32_t sheetHeight = 0;
    float sheetScale = 0.0f;
    float spacing = 0.0f;
    bool deviceObjectsReady = false;
    uint32_t glyphCount = 0;
    unsigned char characterList[kMaxGlyphs] = {};
    std::vector<GlyphRecord> glyphs; // glyphCount records
    int16_t glyphMap[kMaxGlyphs] = {}; // record index of each code
    std::string addedFontFile;
    uint32_t savedBlock = 0;
    uint32_t fontBlock = 0;

private:
    void BuildGlyphMap();
    bool DeviceAlive() const;
};
