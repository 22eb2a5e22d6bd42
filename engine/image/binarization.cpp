#include "engine/image/binarization.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/image/bilinear.h"
#include "engine/image/simd.h"

namespace velmora {
namespace {

// Thresholds of the last strategy-0 pass; the derived strategies read them back.
struct BinarizationState {
    ThresholdTable thresholds{};
};

BinarizationState state;

bool isByteRaster(const Raster* raster) {
    return raster != nullptr && raster->rows != nullptr && raster->height > 0 && raster->width > 0 &&
           rasterElementSize(raster->elementType) == 1;
}

// Writes 1 where grey > t and 0 elsewhere over one block; a t of 255 or more makes it dark.
void applyThreshold(uint8_t* const* binaryRows, const uint8_t* const* greyRows, int x0, int y0, int w, int h,
                    int t) {
    for (int y = y0; y < y0 + h; ++y) {
        const uint8_t* grey = greyRows[y] + x0;
        uint8_t* binary = binaryRows[y] + x0;
        if (t >= 255) {
            std::fill(binary, binary + w, uint8_t{0});
            continue;
        }
        int x = 0;
#if VELMORA_SSE2
        // grey - t, saturated at 0, is non-zero exactly where grey > t; its minimum with 1 is
        // the binary sample.
        const __m128i threshold = _mm_set1_epi8(static_cast<char>(t)), one = _mm_set1_epi8(1);
        for (; x + 16 <= w; x += 16) {
            const __m128i above = _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + x)), threshold);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(binary + x), _mm_min_epu8(above, one));
        }
#endif
        for (; x < w; ++x) binary[x] = static_cast<uint8_t>(grey[x] > t);
    }
}

// Histogram of the window, counted in four interleaved tables so that runs of equal samples do
// not serialise on one counter.
void windowHistogram(const uint8_t* const* greyRows, int x0, int y0, int w, int h, uint32_t (&histogram)[256]) {
    uint32_t partial[4][256] = {};
    for (int y = y0; y < y0 + h; ++y) {
        const uint8_t* row = greyRows[y] + x0;
        int x = 0;
        for (; x + 4 <= w; x += 4) {
            ++partial[0][row[x]];
            ++partial[1][row[x + 1]];
            ++partial[2][row[x + 2]];
            ++partial[3][row[x + 3]];
        }
        for (; x < w; ++x) ++partial[0][row[x]];
    }
    for (int v = 0; v < 256; ++v) histogram[v] = partial[0][v] + partial[1][v] + partial[2][v] + partial[3][v];
}

}  // namespace

const ThresholdTable& thresholdTable() { return state.thresholds; }

BlockCut cutIntoBlocks(int size, int block) {
    BlockCut cut{size / block, size % block};
    // A thin rest joins the last full block; with no full block there is nothing to join.
    if (cut.rest != 0 && cut.count > 0 && static_cast<double>(block) / 3.0 > cut.rest) {
        cut.count -= 1;
        cut.rest += block;
    }
    return cut;
}

// The stored thresholds are whole numbers from 0 to 254, so the truncated products are exact
// integer quotients: 0.9 and 1.11 as doubles lie just above the decimal values and 1.5 is
// exact, while 0.6 lies just below, so a multiple of 5 lands one below three fifths of it.
int derivedThreshold(int strategy, float stored) {
    const int s = static_cast<int>(stored);
    switch (strategy) {
        case 0: return s;
        case 2: return 111 * s / 100;
        case 3: return 3 * s / 2;
        case 4: return s >= 1 ? (3 * s - 1) / 5 : 0;
        default: return 9 * s / 10;
    }
}

int binarizeBlocks(int strategy, uint8_t* const* binaryRows, const uint8_t* const* greyRows, int width, int height,
                   int bw, int bh) {
    return binarizeBlocks(strategy, binaryRows, greyRows, width, height, bw, bh, state.thresholds);
}

int binarizeBlocks(int strategy, uint8_t* const* binaryRows, const uint8_t* const* greyRows, int width, int height,
                   int bw, int bh, ThresholdTable& thresholds) {
    if (binaryRows == nullptr || greyRows == nullptr || width <= 0 || height <= 0 || bw <= 0 || bh <= 0) return -1;
    const BlockCut columns = cutIntoBlocks(width, bw);
    const BlockCut rows = cutIntoBlocks(height, bh);
    const int columnBlocks = columns.count + (columns.rest != 0 ? 1 : 0);
    const int rowBlocks = rows.count + (rows.rest != 0 ? 1 : 0);
    if (columnBlocks > kThresholdColumns || rowBlocks > kThresholdRows) return -1;

    for (int r = 0; r < rowBlocks; ++r) {
        const int y0 = r * bh;
        const int h = r < rows.count ? bh : rows.rest;
        for (int c = 0; c < columnBlocks; ++c) {
            const int x0 = c * bw;
            const int w = c < columns.count ? bw : columns.rest;
            int t;
            if (strategy == 0) {
                t = otsuThreshold(greyRows, x0, y0, w, h);
                thresholds[r][c] = static_cast<float>(t);
            } else {
                t = derivedThreshold(strategy, thresholds[r][c]);
            }
            applyThreshold(binaryRows, greyRows, x0, y0, w, h, t);
        }
    }
    return 0;
}

// The sums are single-precision values updated with products formed in extended precision;
// the products are formed wide because a count times a grey value overflows 32 bits on large
// pictures.
int otsuThreshold(const uint8_t* const* greyRows, int x0, int y0, int windowWidth, int windowHeight) {
    const int64_t n = static_cast<int64_t>(windowWidth) * windowHeight;
    if (n <= 0 || greyRows == nullptr) return 128;
    uint32_t histogram[256];
    windowHistogram(greyRows, x0, y0, windowWidth, windowHeight, histogram);

    float total = 0.0f;
    for (int v = 0; v < 256; ++v) {
        total = static_cast<float>(static_cast<long double>(total) + static_cast<long double>(v) * histogram[v]);
    }
    float best = -1.0f;
    float sumB = 0.0f;
    int64_t wB = 0;
    int result = 1;
    for (int t = 0; t < 255; ++t) {
        // An empty bin repeats the step before it (or another empty start), which cannot beat
        // the best so far.
        if (histogram[t] == 0) continue;
        wB += histogram[t];
        if (wB == 0) continue;
        const int64_t wF = n - wB;
        if (wF == 0) break;
        sumB = static_cast<float>(static_cast<long double>(sumB) + static_cast<long double>(t) * histogram[t]);
        const float mB = static_cast<float>(static_cast<long double>(sumB) / wB);
        const float mF = static_cast<float>((static_cast<long double>(total) - sumB) / wF);
        const long double gap = static_cast<long double>(mB) - mF;
        const float between = static_cast<float>(static_cast<long double>(wB) * wF * gap * gap);
        if (between > best) {
            best = between;
            result = t;
        }
    }
    return result;
}

namespace {

// The 3 x 3 mean that every smoothed pass uses, with the general rounding below written for a
// window of nine: a sum of nine samples fits 16 bits, and the constant divisor lets the compiler
// multiply instead of divide, so the rows vectorise.
void smoothBox3(const Raster& source, Raster& destination) {
    const int height = destination.height;
    const int width = destination.width;
    std::vector<uint16_t> columnSums(static_cast<std::size_t>(width));
    uint16_t* sums = columnSums.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = source.rows[y];
        uint8_t* dst = destination.rows[y];
        if (y < 1 || y >= height - 1 || width <= 2) {
            std::copy(src, src + width, dst);
            continue;
        }
        const uint8_t* up = source.rows[y - 1];
        const uint8_t* down = source.rows[y + 1];
        for (int x = 0; x < width; ++x) sums[x] = static_cast<uint16_t>(up[x] + src[x] + down[x]);
        dst[0] = src[0];
        for (int x = 1; x < width - 1; ++x) {
            const uint32_t sum = static_cast<uint32_t>(sums[x - 1]) + sums[x] + sums[x + 1];
            dst[x] = static_cast<uint8_t>((2 * sum + 9) / 18);
        }
        dst[width - 1] = src[width - 1];
    }
}

}  // namespace

// Running column sums over the window rows keep the cost per sample constant.
int smoothBox(const Raster* source, Raster* destination, int mode, int window) {
    if (!isByteRaster(source) || !isByteRaster(destination)) return -1;
    if (source->height != destination->height || source->width != destination->width) return -1;
    if (mode != 1 || window < 1 || window % 2 == 0) return -1;
    if (window == 3) {
        smoothBox3(*source, *destination);
        return 1;
    }
    const int height = destination->height;
    const int width = destination->width;
    const int half = window / 2;
    const int64_t area = static_cast<int64_t>(window) * window;

    std::vector<int64_t> columnSums(static_cast<std::size_t>(width), 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = source->rows[y];
        uint8_t* dst = destination->rows[y];
        const bool inside = y >= half && y < height - half;
        if (!inside || width <= 2 * half) {
            std::copy(src, src + width, dst);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            int64_t sum = 0;
            for (int k = y - half; k <= y + half; ++k) sum += source->rows[k][x];
            columnSums[static_cast<std::size_t>(x)] = sum;
        }
        int64_t sum = 0;
        for (int x = 0; x < window; ++x) sum += columnSums[static_cast<std::size_t>(x)];
        for (int x = 0; x < width; ++x) {
            if (x < half || x >= width - half) {
                dst[x] = src[x];
                continue;
            }
            if (x > half) sum += columnSums[static_cast<std::size_t>(x + half)] - columnSums[static_cast<std::size_t>(x - half - 1)];
            dst[x] = static_cast<uint8_t>((2 * sum + area) / (2 * area));
        }
    }
    return 1;
}

namespace {

// Position along one axis: clamped into the source, and nudged off the last sample so that
// the right neighbour exists. A source of one sample has no neighbour: both are that sample.
struct AxisSample {
    int lower;
    int upper;
    float fraction;
};

// A fraction as a whole number of 2^-24 steps, or -1 when it has finer bits. Fractions of
// positions from 1 on are multiples of 2^-23; only positions below 1 can be finer.
constexpr float kFractionSteps = 16777216.0f;  // 2^24
int64_t fractionSteps(float fraction) {
    const float scaled = fraction * kFractionSteps;
    return scaled == std::floor(scaled) ? static_cast<int64_t>(scaled) : -1;
}

AxisSample axisSample(int j, float scale, int sourceSize) {
    float f = static_cast<float>(static_cast<long double>(j) * scale);
    f = std::clamp(f, 0.0f, static_cast<float>(sourceSize - 1));
    if (sourceSize == 1) return {0, 0, 0.0f};
    int lower = static_cast<int>(f);
    if (lower == sourceSize - 1) {
        f = static_cast<float>(static_cast<long double>(f) - 0.0001);
        lower = static_cast<int>(f);
    }
    return {lower, lower + 1, f - static_cast<float>(lower)};
}

}  // namespace

int resampleBilinear(const Raster* source, Raster* destination, int mode) {
    if (!isByteRaster(source) || !isByteRaster(destination) || mode != 1) return -1;
    const int sw = source->width, sh = source->height;
    const int dw = destination->width, dh = destination->height;
    const float sx = static_cast<float>(static_cast<long double>(sw) / dw);
    const float sy = static_cast<float>(static_cast<long double>(sh) / dh);

    std::vector<AxisSample> columns(static_cast<std::size_t>(dw));
    std::vector<int64_t> columnSteps(static_cast<std::size_t>(dw));
    bool columnsInSteps = true;
    for (int j = 0; j < dw; ++j) {
        columns[static_cast<std::size_t>(j)] = axisSample(j, sx, sw);
        columnSteps[static_cast<std::size_t>(j)] = fractionSteps(columns[static_cast<std::size_t>(j)].fraction);
        columnsInSteps = columnsInSteps && columnSteps[static_cast<std::size_t>(j)] >= 0;
    }
    for (int i = 0; i < dh; ++i) {
        const AxisSample ry = axisSample(i, sy, sh);
        const uint8_t* top = source->rows[ry.lower];
        const uint8_t* bottom = source->rows[ry.upper];
        uint8_t* out = destination->rows[i];
        const int64_t rowSteps = fractionSteps(ry.fraction);
        if (columnsInSteps && rowSteps >= 0) {
            // The long double formula is exact here (its products and sums need at most 57 of
            // its 64 bits), so the same sum in units of 2^-48 gives the same value, and the
            // same whole part for this positive value.
            for (int j = 0; j < dw; ++j) {
                const AxisSample& cx = columns[static_cast<std::size_t>(j)];
                const int64_t fx = columnSteps[static_cast<std::size_t>(j)];
                const int64_t p00 = top[cx.lower], p01 = top[cx.upper], p10 = bottom[cx.lower], p11 = bottom[cx.upper];
                constexpr int64_t kStep = int64_t{1} << 24;
                const int64_t value = (p00 * kStep * kStep + kStep * kStep / 2) + (p10 - p00) * rowSteps * kStep +
                                      (p01 - p00) * fx * kStep + (p00 + p11 - p10 - p01) * fx * rowSteps;
                out[j] = static_cast<uint8_t>(static_cast<int>(value >> 48));
            }
            continue;
        }
        const long double dy = ry.fraction;
        for (int j = 0; j < dw; ++j) {
            const AxisSample& cx = columns[static_cast<std::size_t>(j)];
            const long double value = bilinearValue<long double>(top[cx.lower], top[cx.upper], bottom[cx.lower],
                                                                 bottom[cx.upper], cx.fraction, dy);
            out[j] = static_cast<uint8_t>(static_cast<int>(value));
        }
    }
    return 1;
}

}  // namespace velmora
