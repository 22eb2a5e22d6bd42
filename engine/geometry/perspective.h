// Planar projective transforms between the picture and the module grid: fitting one to four
// point pairs, mapping points through it, and resampling a raster through it.
#pragma once

#include <array>

#include "engine/geometry/point.h"
#include "engine/image/raster.h"

namespace velmora {

// h0..h8 of a 3 by 3 matrix, row by row: (x, y) maps to ((h0 x + h1 y + h2) / w,
// (h3 x + h4 y + h5) / w) with w = h6 x + h7 y + h8. A fitted transform has h8 = 1.
struct PerspectiveCoefficients {
    std::array<float, 9> h;
};

// Fits the transform that takes source[i] to destination[i] for the four pairs. Returns 1, or
// -1 when the pairs do not fix a transform (three collinear points); then h0..h7 keep their
// values. h8 is set to 1 either way.
int solvePerspective(const std::array<PointF, 4>& source, const std::array<PointF, 4>& destination,
                     PerspectiveCoefficients& coefficients);

// Maps point through the transform into out. Returns 1, or -1 (out untouched) when the point
// lies on the transform's line at infinity (w exactly 0).
int mapPoint(PointF point, PointF& out, const PerspectiveCoefficients& coefficients);

// Four neighbouring points of one row, (x0 + l, y) for l = 0..3, mapped with exactly the float
// operations of mapPoint, four at a time: x[l] and y[l] receive the mapped point and w[l] its
// denominator (where w[l] is 0, mapPoint fails and x[l], y[l] mean nothing).
struct MappedPoints {
    alignas(16) float x[4];
    alignas(16) float y[4];
    alignas(16) float w[4];
};
void mapRowOfFour(const PerspectiveCoefficients& coefficients, float x0, float y, MappedPoints& out);

// Fills destination rows firstRow..lastRow, columns firstColumn..lastColumn (inclusive, clamped
// to the destination) by bilinear sampling of source at the points that the transform (source
// to destination) maps onto them, rounded to the nearest integer; points outside the source get
// the fill value. Returns 1; -1 when a raster is absent, empty or not of bytes, or the
// transform cannot be inverted; or the negative result of a failed point mapping.
int warpRaster(const Raster* source, Raster* destination, const PerspectiveCoefficients& coefficients, float fill,
               int firstRow, int lastRow, int firstColumn, int lastColumn);

}  // namespace velmora
