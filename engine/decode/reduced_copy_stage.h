// A large photograph searched again reduced: a symbol that fills much of a 12-megapixel picture
// has modules tens of pixels wide, blurred and grainy at that size, which the block means of a
// reduced copy bring back to the crisp few pixels a module the finder search reads best.
#pragma once

#include <vector>

#include "engine/image/raster.h"

namespace velmora {

// A picture whose longer side exceeds this is reduced to about this size.
inline constexpr int kReducedSide = 1024;
// A picture whose longer side exceeds this is also reduced by half.
inline constexpr int kHalvedAbove = 640;

// The whole factors a picture is reduced by, coarsest first: the one that brings its longer
// side to kReducedSide or less, then 2 when that is not it and the picture is large enough.
std::vector<int> reductionFactors(int width, int height);

// Searches each reduced copy of grey with the whole-picture and the local threshold, with the
// request's enlargement set to the reduction so that what is read is recorded in the caller's
// coordinates. mask is fitted to each copy (see runReachStages). Leaves the enlargement at none.
void searchReducedCopies(const Raster& grey, Raster*& mask);

}  // namespace velmora
