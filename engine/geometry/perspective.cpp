#include "engine/geometry/perspective.h"

#include <algorithm>
#include <cstdint>

#include <emmintrin.h>

#include "engine/geometry/linear_solver.h"

namespace velmora {

// Two equations per pair in the unknowns h0..h7 with h8 fixed to 1:
// h0 x + h1 y + h2 - h6 x u - h7 y u = u and h3 x + h4 y + h5 - h6 x v - h7 y v = v.
int solvePerspective(const std::array<PointF, 4>& source, const std::array<PointF, 4>& destination,
                     PerspectiveCoefficients& coefficients) {
    std::array<float, 64> a{};
    std::array<float, 8> b{};
    for (int i = 0; i < 4; ++i) {
        const float x = source[i].x, y = source[i].y;
        const float u = destination[i].x, v = destination[i].y;
        float* even = &a[static_cast<std::size_t>(16 * i)];
        float* odd = even + 8;
        even[0] = x, even[1] = y, even[2] = 1.0f, even[6] = -x * u, even[7] = -y * u;
        odd[3] = x, odd[4] = y, odd[5] = 1.0f, odd[6] = -x * v, odd[7] = -y * v;
        b[static_cast<std::size_t>(2 * i)] = u;
        b[static_cast<std::size_t>(2 * i + 1)] = v;
    }
    const int result = solveLinear(coefficients.h.data(), a.data(), b.data(), 8);
    coefficients.h[8] = 1.0f;
    return result;
}

int mapPoint(PointF point, PointF& out, const PerspectiveCoefficients& coefficients) {
    const auto& h = coefficients.h;
    const float w = h[6] * point.x + h[7] * point.y + h[8];
    if (w == 0.0f) return -1;
    out.x = (h[0] * point.x + h[1] * point.y + h[2]) / w;
    out.y = (h[3] * point.x + h[4] * point.y + h[5]) / w;
    return 1;
}

void mapRowOfFour(const PerspectiveCoefficients& coefficients, float x0, float y, MappedPoints& out) {
    const auto& h = coefficients.h;
    const __m128 x = _mm_add_ps(_mm_set1_ps(x0), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
    // Each sum in mapPoint's order: (h0 x + h1 y) + h2.
    auto row = [&](int k) {
        return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(h[static_cast<std::size_t>(k)]), x),
                                     _mm_set1_ps(h[static_cast<std::size_t>(k + 1)] * y)),
                          _mm_set1_ps(h[static_cast<std::size_t>(k + 2)]));
    };
    const __m128 w = row(6);
    _mm_store_ps(out.w, w);
    _mm_store_ps(out.x, _mm_div_ps(row(0), w));
    _mm_store_ps(out.y, _mm_div_ps(row(3), w));
}

namespace {

bool isUsableByteRaster(const Raster* raster) {
    return raster != nullptr && raster->rows != nullptr && raster->height >= 1 && raster->width >= 1 &&
           rasterElementSize(raster->elementType) == 1;
}

// Lower sample index and fraction along one axis of the source, nudged off the last sample so
// that the upper neighbour exists; a side of one sample uses that sample twice.
struct AxisPosition {
    int lower;
    int upper;
    float fraction;
};

AxisPosition axisPosition(float s, int size) {
    int lower = static_cast<int>(s);
    if (lower == size - 1) {
        s = static_cast<float>(s - 0.0001);
        lower = static_cast<int>(s);
    }
    return {lower, std::min(lower + 1, size - 1), s - static_cast<float>(lower)};
}

}  // namespace

int warpRaster(const Raster* source, Raster* destination, const PerspectiveCoefficients& coefficients, float fill,
               int firstRow, int lastRow, int firstColumn, int lastColumn) {
    if (!isUsableByteRaster(source) || !isUsableByteRaster(destination)) return -1;
    PerspectiveCoefficients inverse;
    if (invertMatrix(inverse.h.data(), coefficients.h.data(), 3, 0) != 1) return -1;

    firstRow = std::max(firstRow, 0);
    firstColumn = std::max(firstColumn, 0);
    lastRow = std::min(lastRow, destination->height - 1);
    lastColumn = std::min(lastColumn, destination->width - 1);
    const float maxX = static_cast<float>(source->width - 1);
    const float maxY = static_cast<float>(source->height - 1);
    const uint8_t fillValue = static_cast<uint8_t>(static_cast<int>(fill));

    MappedPoints points;
    for (int r = firstRow; r <= lastRow; ++r) {
        uint8_t* out = destination->rows[r];
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const int lane = (c - firstColumn) % 4;
            if (lane == 0) mapRowOfFour(inverse, static_cast<float>(c), static_cast<float>(r), points);
            if (points.w[lane] == 0.0f) return -1;
            const PointF s{points.x[lane], points.y[lane]};
            // Written so that a point that is not a number counts as outside.
            if (!(s.x >= 0.0f && s.x <= maxX && s.y >= 0.0f && s.y <= maxY)) {
                out[c] = fillValue;
                continue;
            }
            const AxisPosition row = axisPosition(s.y, source->height);
            const AxisPosition column = axisPosition(s.x, source->width);
            const float p00 = source->rows[row.lower][column.lower];
            const float p01 = source->rows[row.lower][column.upper];
            const float p10 = source->rows[row.upper][column.lower];
            const float p11 = source->rows[row.upper][column.upper];
            const float fy = row.fraction, fx = column.fraction;
            const float value = p00 + 0.5f + (p10 - p00) * fy + (p01 - p00) * fx + (p00 + p11 - p10 - p01) * fx * fy;
            out[c] = static_cast<uint8_t>(static_cast<int>(value));
        }
    }
    return 1;
}

}  // namespace velmora
