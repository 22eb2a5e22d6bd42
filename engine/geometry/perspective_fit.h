// A planar projective transform fitted by least squares to any number of point pairs, for
// correspondences that each carry some error (the traced corners of finder patterns), where the
// exact four-point fit would follow the error of each.
#pragma once

#include <span>

#include "engine/geometry/perspective.h"
#include "engine/geometry/point.h"

namespace velmora {

// Fits the transform (h8 = 1) that takes each source point nearest its destination in the
// algebraic sense, over at least four pairs. Returns 1, or -1 when the pairs are fewer than
// four, of unequal counts, or do not fix a transform; coefficients are then left as they were.
int fitPerspective(std::span<const PointF> source, std::span<const PointF> destination,
                   PerspectiveCoefficients& coefficients);

}  // namespace velmora
