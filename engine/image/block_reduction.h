// Reducing a grey picture by a whole factor: each sample of the copy is the mean of a
// factor x factor block, so that fine texture and sensor noise average out rather than alias
// as they would under point sampling.
#pragma once

#include "engine/image/raster.h"

namespace velmora {

// Fills destination (height / factor by width / factor of source, rounded down) with the block
// means of source, rounded to nearest. Returns 1, or -1 (nothing written) when a raster is
// absent, the factor is under 2, or destination has another size.
int reduceByBlocks(const Raster& source, Raster& destination, int factor);

}  // namespace velmora
