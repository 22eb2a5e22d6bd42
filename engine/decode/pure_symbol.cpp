#include "engine/decode/pure_symbol.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/symbol_record.h"
#include "engine/image/binarization.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

constexpr int kSmallestSide = 21;
constexpr int kLargestSide = 177;
// A finder pattern drawn crisply samples true; a couple of wrong modules still count as one, a
// corner of data never comes that close.
constexpr int kMaxFinderMismatches = 2;
// The two sides of the square may differ by this fraction (a drawing scaled to a size that is
// not a whole multiple of its modules).
constexpr int kSideTolerancePercent = 2;

// The dark modules of the symbol as the picture shows them, byte [w * 177 + u] for picture
// module column u and row w; kept here so that a try allocates nothing.
struct PureSymbolState {
    std::array<uint8_t, kLargestSide * kLargestSide> modules{};
};
PureSymbolState state;

// The square the symbol's dark modules span, in pixels.
struct Extent {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A pixel is the symbol's dark when its grey is at or below the threshold, or above it for a
// light-on-dark symbol.
bool symbolDark(const Raster& grey, int x, int y, int threshold, bool inverse) {
    return (grey.rows[y][x] <= threshold) != inverse;
}

bool darkExtent(const Raster& grey, int threshold, bool inverse, Extent& extent) {
    int left = grey.width, right = -1, top = grey.height, bottom = -1;
    for (int y = 0; y < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x) {
            if (!symbolDark(grey, x, y, threshold, inverse)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (right < 0) return false;
    extent = {left, top, right - left + 1, bottom - top + 1};
    return true;
}

// The picture of module column u (row w) of an n-module symbol spanning the extent: the pixel
// under the module's centre.
int pixelColumn(const Extent& e, int u, int n) { return e.left + static_cast<int>((2 * u + 1) * static_cast<int64_t>(e.width) / (2 * n)); }
int pixelRow(const Extent& e, int w, int n) { return e.top + static_cast<int>((2 * w + 1) * static_cast<int64_t>(e.height) / (2 * n)); }

void sampleModules(const Raster& grey, const Extent& e, int n, int threshold, bool inverse) {
    for (int w = 0; w < n; ++w) {
        const int y = pixelRow(e, w, n);
        for (int u = 0; u < n; ++u) {
            state.modules[static_cast<std::size_t>(w * kLargestSide + u)] =
                symbolDark(grey, pixelColumn(e, u, n), y, threshold, inverse) ? 1 : 0;
        }
    }
}

bool moduleDark(int u, int w) { return state.modules[static_cast<std::size_t>(w * kLargestSide + u)] != 0; }

// Modules of the 7 x 7 region at (u0, w0) that differ from a finder pattern: dark outer ring,
// light ring, dark 3 x 3 centre.
int finderMismatchesAt(int u0, int w0) {
    int mismatches = 0;
    for (int w = 0; w < 7; ++w) {
        for (int u = 0; u < 7; ++u) {
            const int ring = std::max(std::abs(u - 3), std::abs(w - 3));
            mismatches += moduleDark(u0 + u, w0 + w) != (ring != 2) ? 1 : 0;
        }
    }
    return mismatches;
}

// Where module (c, r) of the symbol turned upright lies in the picture's module grid: a quarter
// turn brings the corner without a finder pattern to the bottom right.
struct ModulePlace {
    int u;
    int w;
};
ModulePlace placeOf(int turn, int c, int r, int n) {
    switch (turn) {
        case 0: return {c, r};
        case 1: return {n - 1 - r, c};
        case 2: return {n - 1 - c, n - 1 - r};
        default: return {r, n - 1 - c};
    }
}

// The quarter turn that puts the only corner without a finder pattern at the bottom right, or
// -1 when not exactly three corners hold one.
int uprightTurn(int n) {
    const std::array<bool, 4> finder = {finderMismatchesAt(0, 0) <= kMaxFinderMismatches,          // top left
                                        finderMismatchesAt(n - 7, 0) <= kMaxFinderMismatches,      // top right
                                        finderMismatchesAt(0, n - 7) <= kMaxFinderMismatches,      // bottom left
                                        finderMismatchesAt(n - 7, n - 7) <= kMaxFinderMismatches};  // bottom right
    if (std::count(finder.begin(), finder.end(), true) != 3) return -1;
    if (!finder[3]) return 0;
    if (!finder[2]) return 1;
    if (!finder[0]) return 2;
    return 3;
}

// Hands the upright modules to the reader: byte [c * 177 + r], 1 dark.
void fillReader(int turn, int n) {
    uint8_t* matrix = processDecoder().matrix();
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            const ModulePlace p = placeOf(turn, c, r, n);
            matrix[c * kLargestSide + r] = moduleDark(p.u, p.w) ? 1 : 0;
        }
    }
}

// Records the symbol the reader holds: corners at the outer edges of the extent and finder
// centres at their modules' centres, in the order of the upright frame whether the reader read
// it as sampled or mirrored, as the candidate loops record theirs.
void recordPure(const Extent& e, int turn, int n, int convertFlag) {
    auto centre = [&](int c, int r) {
        const ModulePlace p = placeOf(turn, c, r, n);
        const float sx = static_cast<float>(e.width) / static_cast<float>(n);
        const float sy = static_cast<float>(e.height) / static_cast<float>(n);
        return PointF{static_cast<float>(e.left) + (static_cast<float>(p.u) + 0.5f) * sx - 0.5f,
                      static_cast<float>(e.top) + (static_cast<float>(p.w) + 0.5f) * sy - 0.5f};
    };
    auto corner = [&](int c, int r) {
        const ModulePlace p = placeOf(turn, c, r, n);
        return PointF{static_cast<float>(e.left + (p.u == 0 ? 0 : e.width)),
                      static_cast<float>(e.top + (p.w == 0 ? 0 : e.height))};
    };
    const int last = n - 1, far = n - 4;
    const std::array<PointF, 4> corners = {corner(0, 0), corner(last, 0), corner(0, last), corner(last, last)};
    const std::array<PointF, 3> finders = {centre(3, 3), centre(far, 3), centre(3, far)};
    const PointF fourth = centre(far, far);
    DecodedEntry& entry = decodedEntry(0);
    for (std::size_t i = 0; i < 4; ++i) {
        entry.dXY_4Corners[i] = corners[i].x;
        entry.dXY_4Corners[4 + i] = corners[i].y;
    }
    entry.dXY_FP[3] = fourth.x;
    entry.dXY_FP[7] = fourth.y;
    recordSymbolWithFinders(0, finders, convertFlag);
}

// Every version whose modules are a pixel or more in the extent, smallest first.
bool readAtSomeVersion(const Raster& grey, const Extent& e, int threshold, bool inverse, int convertFlag) {
    for (int version = kMinVersion; version <= kMaxVersion; ++version) {
        const int n = symbolSizeOf(version);
        if (n > std::min(e.width, e.height)) break;
        sampleModules(grey, e, n, threshold, inverse);
        const int turn = uprightTurn(n);
        if (turn < 0) continue;
        fillReader(turn, n);
        processDecoder().setColourInverse(inverse ? 1 : 0);
        if (processDecoder().ReadSymbol(n, version) < 0) continue;
        recordPure(e, turn, n, convertFlag);
        return true;
    }
    return false;
}

}  // namespace

int readPureSymbol(const Raster& grey, int convertFlag) {
    if (decodedCount() != 0 || grey.rows == nullptr || budgetSpent()) return decodedCount();
    if (grey.width < kSmallestSide || grey.height < kSmallestSide) return 0;
    const int threshold = otsuThreshold(grey.rows, 0, 0, grey.width, grey.height);
    for (const bool inverse : {false, true}) {
        Extent e;
        if (!darkExtent(grey, threshold, inverse, e)) continue;
        const int longer = std::max(e.width, e.height), shorter = std::min(e.width, e.height);
        if (100 * (longer - shorter) > kSideTolerancePercent * longer) continue;
        if (shorter < kSmallestSide) continue;
        if (readAtSomeVersion(grey, e, threshold, inverse, convertFlag)) return 1;
    }
    return 0;
}

}  // namespace velmora
