// Fonts of the resource library: building a font item's bitmap font, making
// font items at run time, and measuring and drawing text at once.
#pragma once

#include <cstdint>

class FontItem;

// Registers the font item's Load (builds its font once) and Release (keeps
// the font, and the next Load builds it again), and the device set-up step
// that makes the default font.
void RegisterFontServices();

// The default font made by the device set-up; null before it.
FontItem *GetDefaultFont();

// Size of the text (all lines) in the font, loading the item first when it
// is not loaded. A null font or text measures 0 x 0.
void MeasureText(FontItem *font, const char *text, float *width, float *height);

// Draws the text at once with the font (the default font when null; nothing
// when there is none). Colour components in 0..1 are truncated to bytes;
// `centred` centres each line on x.
void DrawTextNow(float x, float y, float depth, float red, float green, float blue, float alpha,
                 const char *text, bool centred, FontItem *font);

// A colour component as a byte by truncation: 255 from 1.0 up, 0 from 0.0
// down and for NaN.
uint32_t TruncateColorChannel(float c);
