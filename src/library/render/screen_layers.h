// Screen layers of the resource library: the queue of textured screen quads,
// the queue of text lines and the two overlay quads, all in screen pixels and
// drawn after the 3D pass (the lines with a depth, the world's labels, then
// the quads, the other lines and the overlays).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FontItem;
class MaterialItem;

// One pre-transformed vertex: x, y, z, rhw, colour, u, v (28 bytes).
struct ScreenVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.99f;
    float rhw = 1.0f;
    uint32_t color = 0;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(ScreenVertex) == 28, "screen vertices are drawn from memory as they are");

// Four vertices in strip order (top-left, top-right, bottom-left,
// bottom-right) and the material; a null material leaves an overlay unset.
struct ScreenQuad {
    ScreenVertex vertices[4];
    MaterialItem *material = nullptr;
};

struct TextLine {
    float x = 0.0f;
    float y = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 0.0f;
    std::string text;
    bool hasText = false;
    uint32_t style = 0;
    float depth = 0.0f;
    FontItem *font = nullptr; // null: the default font
};

struct ScreenLayers {
    std::vector<ScreenQuad> quads;
    std::vector<TextLine> texts;
    ScreenQuad overlay1;
    ScreenQuad overlay2;
    FontItem *currentFont = nullptr;
};

// Texture coordinates of screen quads carry this offset.
inline constexpr float kTexCoordOffset = 0.000005f;

// Frees a queued line's text.
void DestroyTextLine(TextLine *line);

// Draws an untextured rectangle at once (the loading screen); colours in
// 0..1.
void DrawFilledRect(int left, int top, int right, int bottom, float red, float green, float blue,
                    float alpha);
