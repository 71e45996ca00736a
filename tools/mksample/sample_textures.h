// The surfaces of the missions' rooms: pictures drawn from fixed seeds, so
// that two runs give the same bytes. Each is 128 x 128 and tiles.
#pragma once

#include "sample_game.h"

namespace sample {

Image StoneImage(); // grey blocks in courses of mortar, speckled
Image WoodImage();  // brown planks with grain and dark seams
Image MetalImage(); // brushed steel plates with rivets
Image TileImage();  // glazed sand-coloured tiles
Image BrickImage(); // red bricks in a running bond
// 256 x 64: "THE END" in gold block letters on a dark red cloth.
Image EndImage();

} // namespace sample
