// Binarisation against a threshold that follows the light across the picture: each block of
// 8 x 8 samples is compared with the mean of the block "black points" in the 5 x 5 blocks
// around it, as zxing's hybrid binariser does. A lamp's spot, a shadow or light falling off
// across a photograph moves the threshold with it, where one threshold per picture or per
// third sees only half of a symbol.
#pragma once

#include <cstdint>

#include "engine/image/raster.h"

namespace velmora {

// Side of the blocks whose statistics set the local threshold.
inline constexpr int kLocalBlockSide = 8;

// A block whose samples span no more than this is flat: its black point is taken from its
// neighbours, so that a flat light area inside a symbol stays light.
inline constexpr int kLocalFlatRange = 24;

// Binarises grey (height by width bytes) into binary of the same size, 1 light and 0 dark:
// a sample is dark when it is at or below the mean black point of the 5 x 5 blocks around its
// block (blocks near the border use the nearest full neighbourhood). Returns 1, or -1 (nothing
// written) when a raster is absent or the sizes differ or a side is under five blocks.
int binarizeLocally(const Raster& grey, Raster& binary);

}  // namespace velmora
