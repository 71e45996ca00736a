#include "sample_dialogs.h"

#include <algorithm>
#include <cmath>

namespace sample {
namespace {

constexpr uint32_t kBorder = 4;
constexpr uint32_t kScale = 2;

// Blends ink over an opaque pixel by the coverage (0-255).
uint32_t Over(uint32_t under, uint32_t ink, uint32_t coverage) {
    uint32_t out = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        const uint32_t a = (under >> shift) & 0xFF;
        const uint32_t b = (ink >> shift) & 0xFF;
        out |= ((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
    }
    return out;
}

// The glyph's texel rectangle on the sheet.
struct Cell {
    uint32_t left, top, width, height;
};

Cell CellOf(const PreparedFont& font, unsigned char c) {
    size_t index = 0;
    for (uint32_t i = 0; i < font.glyphCount && i < font.glyphs.size(); ++i) {
        if (font.characterList[i] == c) {
            index = i;
            break;
        }
    }
    if (index >= font.glyphs.size()) return {0, 0, 0, 0};
    const GlyphRecord& g = font.glyphs[index];
    const auto texel = [](float at, uint32_t size) {
        return uint32_t(std::clamp(std::lround(at * float(size)), 0L, long(size)));
    };
    const uint32_t left = texel(g.left, font.sheet.width);
    const uint32_t top = texel(g.top, font.sheet.height);
    const uint32_t right = std::max(texel(g.right, font.sheet.width), left);
    const uint32_t bottom = std::max(texel(g.bottom, font.sheet.height), top);
    return {left, top, right - left, bottom - top};
}

// Draws the words centred on (centreX, centreY), leaving out what falls
// within `edge` texels of the picture's sides. The sheet's cells hold the
// spacing on both sides of a glyph, as the font's own drawing steps over it.
void DrawWordsInside(const PreparedFont& font, Image& image, const std::string& words,
                     int32_t centreX, int32_t centreY, uint32_t scale, uint32_t ink,
                     int32_t edge) {
    const uint32_t spacing = uint32_t(std::max(font.spacing, 0.0f));
    const auto advance = [&](const Cell& cell) {
        return (cell.width > 2 * spacing ? cell.width - 2 * spacing : 0) * scale;
    };
    uint32_t width = 0;
    uint32_t height = 0;
    for (unsigned char c : words) {
        const Cell cell = CellOf(font, c);
        width += advance(cell);
        height = std::max(height, cell.height * scale);
    }
    int32_t x = centreX - int32_t(width / 2);
    const int32_t y = centreY - int32_t(height / 2);
    for (unsigned char c : words) {
        const Cell cell = CellOf(font, c);
        for (uint32_t v = 0; v < cell.height * scale; ++v) {
            for (uint32_t u = 0; u < cell.width * scale; ++u) {
                const int32_t px = x + int32_t(u) - int32_t(spacing * scale);
                const int32_t py = y + int32_t(v);
                if (px < edge || py < edge || px + edge >= int32_t(image.width) ||
                    py + edge >= int32_t(image.height)) {
                    continue;
                }
                const uint32_t texel = font.sheet.At(cell.left + u / scale, cell.top + v / scale);
                uint32_t& pixel = image.At(uint32_t(px), uint32_t(py));
                pixel = Over(pixel, ink, texel >> 24);
            }
        }
        x += int32_t(advance(cell));
    }
}

}  // namespace

Image SlotImage(const PreparedFont& font, const std::string& words, uint32_t fill, uint32_t border,
                uint32_t ink) {
    Image image(kSlotImageWidth, kSlotImageHeight, fill | 0xFF000000u);
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            if (x < kBorder || y < kBorder || x + kBorder >= image.width ||
                y + kBorder >= image.height) {
                image.At(x, y) = border | 0xFF000000u;
            }
        }
    }
    DrawWordsInside(font, image, words, int32_t(image.width * 7 / 12), int32_t(image.height / 2),
                    kScale, ink, int32_t(kBorder));
    return image;
}

void DrawWords(const PreparedFont& font, Image& image, const std::string& words, int32_t centreX,
               int32_t centreY, uint32_t scale, uint32_t ink) {
    DrawWordsInside(font, image, words, centreX, centreY, scale, ink, 0);
}

Image EmptySlotImage(const PreparedFont& font) {
    return SlotImage(font, "Empty", 0x282828u, 0x606060u, 0x909090u);
}

Image MissionSlotImage(const PreparedFont& font, uint32_t mission) {
    return SlotImage(font, "Mission " + std::to_string(mission), 0x1C3C78u, 0xA0C8FFu, 0xFFFFFFu);
}

Image EndSlotImage(const PreparedFont& font) {
    return SlotImage(font, "The end", 0x3C1C50u, 0xE0B0FFu, 0xFFFFFFu);
}

}  // namespace sample
