#include "engine/geometry/perspective.h"

#include <algorithm>
#include <cstdint>

#include "engine/geometry/linear_solver.h"
#include "engine/image/bilinear.h"
#include "engine/image/simd.h"

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
#if VELMORA_SSE2
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
#else
    for (int lane = 0; lane < 4; ++lane) {
        const float x = x0 + static_cast<float>(lane);
        // Each sum in mapPoint's order: (h0 x + h1 y) + h2.
        auto row = [&](int k) {
            return h[static_cast<std::size_t>(k)] * x + h[static_cast<std::size_t>(k + 1)] * y + h[static_cast<std::size_t>(k + 2)];
        };
        out.w[lane] = row(6);
        out.x[lane] = row(0) / out.w[lane];
        out.y[lane] = row(3) / out.w[lane];
    }
#endif
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

namespace {

// The bilinear value of the source at a point inside it, rounded, as warpRaster defines it.
uint8_t sampleAt(const Raster& source, PointF s) {
    const AxisPosition row = axisPosition(s.y, source.height);
    const AxisPosition column = axisPosition(s.x, source.width);
    const float p00 = source.rows[row.lower][column.lower];
    const float p01 = source.rows[row.lower][column.upper];
    const float p10 = source.rows[row.upper][column.lower];
    const float p11 = source.rows[row.upper][column.upper];
    const float value = bilinearValue(p00, p01, p10, p11, column.fraction, row.fraction);
    return static_cast<uint8_t>(static_cast<int>(value));
}

#if VELMORA_SSE2
// Four mapped points at once when all of them lie inside the source and off its last row and
// column (so that neither axis needs the nudge of axisPosition): the very operations of sampleAt,
// lane by lane, into out[0..3]. False, with nothing written, for any other four.
bool sampleFourInside(const Raster& source, const MappedPoints& points, float maxX, float maxY, uint8_t* out) {
    const __m128 x = _mm_load_ps(points.x), y = _mm_load_ps(points.y), zero = _mm_setzero_ps();
    const __m128 inside = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(x, zero), _mm_cmple_ps(x, _mm_set1_ps(maxX))),
                                     _mm_and_ps(_mm_cmpge_ps(y, zero), _mm_cmple_ps(y, _mm_set1_ps(maxY))));
    if (_mm_movemask_ps(inside) != 0xF) return false;
    const __m128i lowerX = _mm_cvttps_epi32(x), lowerY = _mm_cvttps_epi32(y);
    const __m128i lastX = _mm_cmpeq_epi32(lowerX, _mm_set1_epi32(source.width - 1));
    const __m128i lastY = _mm_cmpeq_epi32(lowerY, _mm_set1_epi32(source.height - 1));
    if (_mm_movemask_epi8(_mm_or_si128(lastX, lastY)) != 0) return false;
    const __m128 fx = _mm_sub_ps(x, _mm_cvtepi32_ps(lowerX)), fy = _mm_sub_ps(y, _mm_cvtepi32_ps(lowerY));
    alignas(16) int32_t columns[4], rows[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(columns), lowerX);
    _mm_store_si128(reinterpret_cast<__m128i*>(rows), lowerY);
    alignas(16) float q00[4], q01[4], q10[4], q11[4];
    for (int k = 0; k < 4; ++k) {
        const uint8_t* top = source.rows[rows[k]] + columns[k];
        const uint8_t* bottom = source.rows[rows[k] + 1] + columns[k];
        q00[k] = top[0];
        q01[k] = top[1];
        q10[k] = bottom[0];
        q11[k] = bottom[1];
    }
    const __m128 p00 = _mm_load_ps(q00), p01 = _mm_load_ps(q01), p10 = _mm_load_ps(q10), p11 = _mm_load_ps(q11);
    __m128 value = _mm_add_ps(p00, _mm_set1_ps(0.5f));
    value = _mm_add_ps(value, _mm_mul_ps(_mm_sub_ps(p10, p00), fy));
    value = _mm_add_ps(value, _mm_mul_ps(_mm_sub_ps(p01, p00), fx));
    const __m128 cross = _mm_sub_ps(_mm_sub_ps(_mm_add_ps(p00, p11), p10), p01);
    value = _mm_add_ps(value, _mm_mul_ps(_mm_mul_ps(cross, fx), fy));
    alignas(16) int32_t rounded[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(rounded), _mm_cvttps_epi32(value));
    for (int k = 0; k < 4; ++k) out[k] = static_cast<uint8_t>(rounded[k]);
    return true;
}
#endif

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
        for (int c = firstColumn; c <= lastColumn; c += 4) {
            mapRowOfFour(inverse, static_cast<float>(c), static_cast<float>(r), points);
            const int lanes = std::min(4, lastColumn - c + 1);
#if VELMORA_SSE2
            if (lanes == 4 && _mm_movemask_ps(_mm_cmpeq_ps(_mm_load_ps(points.w), _mm_setzero_ps())) == 0 &&
                sampleFourInside(*source, points, maxX, maxY, out + c)) {
                continue;
            }
#endif
            for (int lane = 0; lane < lanes; ++lane) {
                if (points.w[lane] == 0.0f) return -1;
                const PointF s{points.x[lane], points.y[lane]};
                // Written so that a point that is not a number counts as outside.
                out[c + lane] = s.x >= 0.0f && s.x <= maxX && s.y >= 0.0f && s.y <= maxY ? sampleAt(*source, s) : fillValue;
            }
        }
    }
    return 1;
}

}  // namespace velmora
