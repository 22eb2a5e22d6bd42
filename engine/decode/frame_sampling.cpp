#include "engine/decode/frame_sampling.h"

#include <algorithm>
#include <cstddef>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/image/state_bytes.h"

namespace velmora {
namespace {

// What the last sampling leaves for the symbol's corners and for the next sampling.
struct SamplingState {
    std::array<PerspectiveCoefficients, 4> transforms{};
    bool byGrid = false;
    int mode = kSampleParallelogram;
    PointF savedFourth{};
    AlignmentCoordinates cellBounds{};
};

SamplingState sampling;

// A fourth point of mode 1 closer than this to the parallelogram's (in both coordinates) would
// only repeat that sampling.
constexpr float kRepeatDistance = 1.0f;

// A header over the caller's picture rows, read only.
Raster pictureOf(const uint8_t* const* rows, int height, int width) {
    return Raster{kRasterByte, height, width, nullptr, const_cast<uint8_t**>(rows)};
}

// Cells of the alignment grid, its module coordinates and the cell bounds, by row and column.
const AlignmentCell& gridCell(int i, int j) {
    return alignmentGrid()[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

PointF& coordinateOf(int i, int j) {
    return alignmentCoordinates()[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

PointF& boundOf(int i, int j) { return sampling.cellBounds[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }

// An alignment pattern was found in the cell.
bool found(const AlignmentCell& cell) { return cell.score >= kAlignmentFoundScore; }

// The bottom-right alignment pattern of a version 7 and above, or the nearest found one to it
// along the rows from the bottom and the columns from the right (never row 0 or column 0).
bool lowestRightmostFound(int n, int& row, int& column) {
    if (found(gridCell(n - 1, n - 1))) {
        row = column = n - 1;
        return true;
    }
    for (int i = n - 1; i >= 1; --i) {
        for (int j = n - 1; j >= 1; --j) {
            if (!found(gridCell(i, j))) continue;
            row = i;
            column = j;
            return true;
        }
    }
    return false;
}

// The fourth reference pair of the alignment modes; false when there is none.
bool alignmentReference(int mode, int version, PointF& picture, PointF& module) {
    if (version < 2) return false;
    const int n = alignmentPositionCount();
    if (version <= 6) {
        const AlignmentCell& centre = gridCell(1, 1);
        const AlignmentCell& extra = extraAlignmentCell();
        const AlignmentCell& chosen = mode == kSampleAlignment ? centre : extra;
        if (!found(chosen)) return false;
        // The corrected search found the same pattern: nothing new to try.
        if (mode == kSampleCorrected && extra.x == centre.x && extra.y == centre.y) return false;
        picture = {chosen.x, chosen.y};
        module = coordinateOf(1, 1);
        return true;
    }
    int row = 0, column = 0;
    if (n < 2 || !lowestRightmostFound(n, row, column)) return false;
    picture = {gridCell(row, column).x, gridCell(row, column).y};
    module = coordinateOf(row, column);
    return true;
}

// Module rows y0..y1 and columns x0..x1 of the view go into the reader's matrix, light 1 in the
// view becoming 0 (light) there.
void copyIntoReader(const Raster& view, int x0, int x1, int y0, int y1) {
    uint8_t* matrix = processDecoder().matrix();
    for (int y = y0; y <= y1; ++y) {
        const uint8_t* samples = view.rows[y];
        for (int x = x0; x <= x1; ++x) matrix[x * kMatrixStride + y] = samples[x] == 0 ? 1 : 0;
    }
}

// Warps module rows y0..y1, columns x0..x1 through the transform into the view and the reader.
bool sampleRectangle(const uint8_t* const* rows, int height, int width, const PerspectiveCoefficients& transform,
                     int x0, int x1, int y0, int y1) {
    Raster* view = moduleMatrixView();
    if (view == nullptr || rows == nullptr || height <= 0 || width <= 0) return false;
    const Raster picture = pictureOf(rows, height, width);
    if (warpRaster(&picture, view, transform, 0.0f, y0, y1, x0, x1) != 1) return false;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, view->width - 1);
    y1 = std::min(y1, view->height - 1);
    copyIntoReader(*view, x0, x1, y0, y1);
    return true;
}

}  // namespace

const std::array<PerspectiveCoefficients, 4>& frameTransforms() { return sampling.transforms; }
bool sampledByAlignmentGrid() { return sampling.byGrid; }
int lastSampleMode() { return sampling.mode; }
PointF savedFourthPoint() { return sampling.savedFourth; }
std::span<std::byte> samplingStateBytes() { return stateBytes(sampling); }
const AlignmentCoordinates& alignmentCellBounds() { return sampling.cellBounds; }

int samplePerspective(const uint8_t* const* rows, int height, int width, int mode, int version) {
    sampling.byGrid = false;
    if (version < kMinVersion || version > kMaxVersion) return -1;
    const int n = symbolSizeOf(version);
    const float m = static_cast<float>(n - 4);
    const auto& corners = frameCorners();
    const PointF a = corners[kFrameA].point, b = corners[kFrameB].point, c = corners[kFrameC].point;
    // The fourth point recomputed from the finder centres: a fourth corner that the version
    // estimate moved for a perspective is not used here.
    const PointF d0 = {b.x + c.x - a.x, b.y + c.y - a.y};
    PointF fourth = d0;
    PointF fourthModule = {m, m};
    switch (mode) {
        case kSampleParallelogram: sampling.savedFourth = d0; break;
        case kSamplePerspective: {
            const float p = corners[kFrameC].m1 / corners[kFrameA].m1;
            const float q = corners[kFrameB].m2 / corners[kFrameA].m2;
            fourth = {(c.x + (d0.x - c.x) * p) + (b.x + (d0.x - b.x) * q) - d0.x,
                      (c.y + (d0.y - c.y) * p) + (b.y + (d0.y - b.y) * q) - d0.y};
            const PointF saved = sampling.savedFourth;
            if (version >= 7 && saved.x - kRepeatDistance <= fourth.x && fourth.x <= saved.x + kRepeatDistance &&
                saved.y - kRepeatDistance <= fourth.y && fourth.y <= saved.y + kRepeatDistance) {
                return -1;
            }
            break;
        }
        case kSampleAlignment:
        case kSampleCorrected:
            if (!alignmentReference(mode, version, fourth, fourthModule)) return -1;
            break;
        default: return -1;
    }
    const std::array<PointF, 4> picturePoints = {a, b, c, fourth};
    const std::array<PointF, 4> modulePoints = {PointF{3.0f, 3.0f}, PointF{m, 3.0f}, PointF{3.0f, m}, fourthModule};
    if (solvePerspective(picturePoints, modulePoints, sampling.transforms[0]) != 1) return -1;
    if (!sampleRectangle(rows, height, width, sampling.transforms[0], 0, n - 1, 0, n - 1)) return -1;
    sampling.mode = mode;
    return 1;
}

int prepareAlignmentGrid(int version) {
    const float last = static_cast<float>(symbolSizeOf(version) - 1);
    if (version >= 7) {
        const int n = alignmentPositionCount();
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) boundOf(i, j) = coordinateOf(i, j);
        }
        for (int k = 0; k < n; ++k) {
            boundOf(0, k).y = 0.0f;
            boundOf(n - 1, k).y = last;
            boundOf(k, 0).x = 0.0f;
            boundOf(k, n - 1).x = last;
        }
        return 1;
    }
    boundOf(0, 0) = {0.0f, 0.0f};
    boundOf(0, 1) = {last, 0.0f};
    boundOf(1, 0) = {0.0f, last};
    boundOf(1, 1) = {last, last};
    return 1;
}

int sampleAlignmentGrid(const uint8_t* const* rows, int height, int width, int version) {
    if (version < 2 || version > kMaxVersion) return -1;
    const int n = alignmentPositionCount();
    bool anyFound = false;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) anyFound = anyFound || found(gridCell(i, j));
    }
    if (!anyFound) return -1;
    sampling.byGrid = true;

    const float m = static_cast<float>(symbolSizeOf(version) - 4);
    const auto& corners = frameCorners();
    AlignmentGrid& grid = alignmentGrid();
    auto pinFinder = [&](int i, int j, PointF module, PointF picture) {
        coordinateOf(i, j) = module;
        grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)].x = picture.x;
        grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)].y = picture.y;
    };
    pinFinder(0, 0, {3.0f, 3.0f}, corners[kFrameA].point);
    pinFinder(0, n - 1, {m, 3.0f}, corners[kFrameB].point);
    pinFinder(n - 1, 0, {3.0f, m}, corners[kFrameC].point);

    auto picturePoint = [&](int i, int j) { return PointF{gridCell(i, j).x, gridCell(i, j).y}; };
    for (int r = 0; r <= n - 2; ++r) {
        for (int c = 0; c <= n - 2; ++c) {
            const std::array<PointF, 4> picturePoints = {picturePoint(r, c), picturePoint(r, c + 1),
                                                         picturePoint(r + 1, c), picturePoint(r + 1, c + 1)};
            const std::array<PointF, 4> modulePoints = {coordinateOf(r, c), coordinateOf(r, c + 1),
                                                        coordinateOf(r + 1, c), coordinateOf(r + 1, c + 1)};
            PerspectiveCoefficients transform{};
            if (solvePerspective(picturePoints, modulePoints, transform) != 1) return -1;
            const int x0 = static_cast<int>(boundOf(r, c).x), y0 = static_cast<int>(boundOf(r, c).y);
            const int x1 = static_cast<int>(boundOf(r + 1, c + 1).x), y1 = static_cast<int>(boundOf(r + 1, c + 1).y);
            if (!sampleRectangle(rows, height, width, transform, x0, x1, y0, y1)) return -1;
            if (r == 0 && c == 0) sampling.transforms[0] = transform;
            if (r == 0 && c == n - 2) sampling.transforms[1] = transform;
            if (r == n - 2 && c == 0) sampling.transforms[2] = transform;
            if (r == n - 2 && c == n - 2) sampling.transforms[3] = transform;
        }
    }
    return 1;
}

}  // namespace velmora
