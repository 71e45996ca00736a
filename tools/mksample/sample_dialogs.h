// The pictures of the save screen's slots: an empty slot and a slot saved at
// a mission, each with its words drawn in from the prepared font's sheet.
#pragma once

#include <cstdint>
#include <string>

#include "sample_font.h"
#include "sample_game.h"

namespace sample {

// The slot pictures' size, four times as wide as high.
inline constexpr uint32_t kSlotImageWidth = 256;
inline constexpr uint32_t kSlotImageHeight = 64;

// A slot picture: an opaque panel of `fill` inside a 4-texel border of
// `border`, with `words` in `ink` at twice the font's size, centred a little
// right of the middle (the slot's number stands at its left). Characters the sheet lacks take its
// first glyph.
Image SlotImage(const PreparedFont& font, const std::string& words, uint32_t fill, uint32_t border,
                uint32_t ink);

// Draws `words` in `ink` at `scale` times the font's size, centred on
// (centreX, centreY), over the picture's opaque pixels; what falls outside
// the picture is left out.
void DrawWords(const PreparedFont& font, Image& image, const std::string& words, int32_t centreX,
               int32_t centreY, uint32_t scale, uint32_t ink);

// The picture of an empty slot ("Empty", grey) and of a slot at the mission
// ("Mission N", white on blue in a light blue border).
Image EmptySlotImage(const PreparedFont& font);
Image MissionSlotImage(const PreparedFont& font, uint32_t mission);
// The slot of a game saved at the end.
Image EndSlotImage(const PreparedFont& font);

}  // namespace sample
