// The last try of a request that read nothing: the picture taken as one crisp, axis-aligned
// symbol that fills it, as computer-made pictures of a symbol often are (one or a few pixels per
// module, little or no quiet zone), which the finder search cannot resolve.
#pragma once

#include "engine/image/raster.h"

namespace velmora {

// Looks for one upright symbol (turned by a multiple of a quarter turn, mirrored or not) whose
// dark modules span a square of the grey picture, dark on light or light on dark, at any whole
// or fractional module size of one pixel or more. Three corners must hold finder patterns and
// the reader must read the modules, error correction included. A read is recorded as entry 0
// of the decode record with its finder centres, corners and attributes, and the count becomes
// 1. Returns the number of symbols read, 0 or 1. The request must hold no symbol yet.
int readPureSymbol(const Raster& grey, int convertFlag);

}  // namespace velmora
