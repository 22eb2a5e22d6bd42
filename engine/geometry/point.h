// A point of the picture plane or the module plane, in single precision.
#pragma once

namespace velmora {

// Picture points: x to the right, y downward, the centre of pixel (x, y) at (x, y). Module
// points: the centre of module (column c, row r) at (c, r).
struct PointF {
    float x;
    float y;
};

}  // namespace velmora
