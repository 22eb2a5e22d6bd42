// Finder patterns found as outlines rather than as runs: a dark square inside a light square
// inside a dark square, traced as nested contours of the binary picture. A run of 1:1:3:1:1
// needs all five runs on the line, so a pattern that touches a dark border, leans far in
// perspective or is blurred at one edge gives the run scan nothing; its outlines still nest.
// Each pattern comes with its four outer corners, from which a symbol's whole plane follows.
#pragma once

#include <array>
#include <vector>

#include "engine/geometry/point.h"
#include "engine/image/raster.h"

namespace velmora {

// One finder pattern: the centre of its middle square, the corners of one of its squares (in
// the order the outline runs, not yet matched to the symbol's sides), the side of that square
// in modules (7 for the outer edge, 5 for the inner edge of the dark ring) and the module size.
struct FinderOutline {
    PointF centre;
    std::array<PointF, 4> corners;
    float side;
    float moduleSize;
};

// Finder patterns of both colours, from one tracing of the picture.
struct FinderOutlines {
    std::vector<FinderOutline> dark;   // dark on light
    std::vector<FinderOutline> light;  // light on dark
};

// The finder patterns of the binary picture (0 dark, non-zero light). A pattern's middle square and the square of the other colour
// around it must each be outlined by four straight sides, with areas near 9 : 25 modules; the
// corners are those of the outer square when it is outlined alike (49 modules), else those of
// the ring's inner edge (a pattern that runs into a dark border), at the edges between pixels.
// Empty when the picture is absent or memory is short.
FinderOutlines findFinderOutlines(const Raster& binary);

}  // namespace velmora
