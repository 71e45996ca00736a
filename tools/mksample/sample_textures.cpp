#include "sample_textures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace sample {
namespace {

constexpr uint32_t kSize = 128;

uint32_t Argb(int r, int g, int b) {
    const auto clamp = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    return 0xFF000000u | clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

// A value in [-1, 1] for the cell, the same every run.
float Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xFFFF) / 32767.5f - 1.0f;
}

// Smooth noise that wraps every 128 pixels: cells of `cell` pixels,
// blended between their corners.
float Smooth(uint32_t x, uint32_t y, uint32_t cell, uint32_t seed) {
    const uint32_t cells = kSize / cell;
    const uint32_t cx = x / cell;
    const uint32_t cy = y / cell;
    const float fx = float(x % cell) / float(cell);
    const float fy = float(y % cell) / float(cell);
    const auto at = [&](uint32_t i, uint32_t j) { return Hash(i % cells, j % cells, seed); };
    const float top = at(cx, cy) * (1 - fx) + at(cx + 1, cy) * fx;
    const float bottom = at(cx, cy + 1) * (1 - fx) + at(cx + 1, cy + 1) * fx;
    return top * (1 - fy) + bottom * fy;
}

// Blocks of `w` x `h` pixels, every other course shifted by half a block,
// in mortar `gap` pixels wide. `shade` gets each block's own number in [-1, 1].
bool InMortar(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t gap, uint32_t seed,
              float *shade) {
    const uint32_t course = y / h;
    const uint32_t shifted = (x + (course % 2 == 1 ? w / 2 : 0)) % kSize;
    *shade = Hash(shifted / w, course, seed);
    return y % h < gap || shifted % w < gap;
}

} // namespace

Image StoneImage() {
    Image image(kSize, kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            float block = 0.0f;
            const bool mortar = InMortar(x, y, 64, 32, 3, 11, &block);
            const float grain = Smooth(x, y, 8, 12) * 14.0f + Hash(x, y, 13) * 10.0f;
            const int v = mortar ? 60 + int(grain * 0.5f) : 128 + int(block * 22.0f + grain);
            image.At(x, y) = Argb(v, v - 2, v - 8);
        }
    }
    return image;
}

Image WoodImage() {
    Image image(kSize, kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            // Planks 32 wide along y; the grain runs along them.
            const uint32_t plank = x / 32;
            const float ring =
                std::sin(float(x % 32) * 0.55f + Smooth(x, y, 16, 21 + plank) * 3.0f);
            const float tone = Hash(plank, 0, 22) * 18.0f + ring * 14.0f + Hash(x, y, 23) * 6.0f;
            const bool seam = x % 32 < 2 || (y + plank * 40) % kSize < 2;
            const int r = seam ? 50 : 140 + int(tone);
            image.At(x, y) = Argb(r, r * 62 / 100, r * 32 / 100);
        }
    }
    return image;
}

Image MetalImage() {
    Image image(kSize, kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            // Brushed along x: noise stretched along the rows.
            const float brush = Hash(x / 16, y, 31) * 8.0f + Hash(x, y, 32) * 4.0f;
            int v = 150 + int(brush);
            // Plates of 64 with a dark joint and a rivet near each corner.
            if (x % 64 < 2 || y % 64 < 2)
                v = 70;
            const float dx = float(x % 64) - 8.0f;
            const float dy = float(y % 64) - 8.0f;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d < 3.5f)
                v = 210 - int(d * 20.0f);
            image.At(x, y) = Argb(v - 6, v, v + 8);
        }
    }
    return image;
}

Image TileImage() {
    Image image(kSize, kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            const bool grout = x % 32 < 2 || y % 32 < 2;
            const float tile = Hash(x / 32, y / 32, 41);
            const float glaze = Smooth(x, y, 16, 42) * 8.0f;
            const int v = grout ? 90 : 200 + int(tile * 16.0f + glaze);
            image.At(x, y) = Argb(v, v * 86 / 100, v * 62 / 100);
        }
    }
    return image;
}

Image BrickImage() {
    Image image(kSize, kSize);
    for (uint32_t y = 0; y < kSize; ++y) {
        for (uint32_t x = 0; x < kSize; ++x) {
            float brick = 0.0f;
            const bool mortar = InMortar(x, y, 32, 16, 2, 51, &brick);
            const float grain = Hash(x, y, 52) * 10.0f + Smooth(x, y, 8, 53) * 10.0f;
            if (mortar) {
                const int v = 170 + int(grain * 0.5f);
                image.At(x, y) = Argb(v, v, v - 10);
            } else {
                const int r = 150 + int(brick * 25.0f + grain);
                image.At(x, y) = Argb(r, r * 40 / 100, r * 30 / 100);
            }
        }
    }
    return image;
}

Image EndImage() {
    // Letters of 5 x 7 cells, a row a string, '#' filled.
    static const char *const kGlyphs[][7] = {
        {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}, // T
        {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}, // H
        {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}, // E
        {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}, // N
        {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}, // D
    };
    const int text[] = {0, 1, 2, -1, 2, 3, 4};
    constexpr uint32_t kWidth = 256;
    constexpr uint32_t kHeight = 64;
    constexpr uint32_t kCell = 6;
    Image image(kWidth, kHeight);
    for (uint32_t y = 0; y < kHeight; ++y) {
        for (uint32_t x = 0; x < kWidth; ++x) {
            const int v = 70 + int(Hash(x / 2, y / 2, 61) * 10.0f);
            image.At(x, y) = Argb(v, v / 5, v / 6);
        }
    }
    // Seven places of 6 cells (the letter and a gap), centred.
    const uint32_t left = (kWidth - 7 * 6 * kCell + kCell) / 2;
    const uint32_t top = (kHeight - 7 * kCell) / 2;
    for (uint32_t place = 0; place < 7; ++place) {
        if (text[place] < 0)
            continue;
        const auto &glyph = kGlyphs[text[place]];
        for (uint32_t row = 0; row < 7; ++row) {
            for (uint32_t col = 0; col < 5; ++col) {
                if (glyph[row][col] != '#')
                    continue;
                for (uint32_t dy = 0; dy < kCell; ++dy) {
                    for (uint32_t dx = 0; dx < kCell; ++dx) {
                        const uint32_t x = left + (place * 6 + col) * kCell + dx;
                        // The cube's faces take the picture bottom row first.
                        const uint32_t y = kHeight - 1 - (top + row * kCell + dy);
                        const int shine = dy < 2 ? 30 : 0; // a lit top edge
                        image.At(x, y) = Argb(225 + shine, 180 + shine, 60);
                    }
                }
            }
        }
    }
    return image;
}

} // namespace sample
