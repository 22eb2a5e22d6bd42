#include "engine/geometry/version_information.h"

#include <array>

#include "engine/codec/format_version_words.h"
#include "engine/codec/version_table.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/perspective.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/image/state_bytes.h"

namespace velmora {
namespace {

// Version words further than this from every code are not trusted; two codes differ in at
// least eight bits.
constexpr int kMaxVersionDistance = 3;

int blockMatch = 0;

// Estimates are at most this far off.
constexpr std::array<int, 7> kCandidateOffsets = {0, 1, -1, 2, -2, 3, -3};

PointF cellPoint(int i, int j) {
    const AlignmentCell& c = alignmentGrid()[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    return {c.x, c.y};
}

PointF cellModule(int i, int j) {
    return alignmentCoordinates()[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

// Samples the modules of one block (rows firstRow..lastRow, columns firstColumn..lastColumn)
// into the view through the transform fitted to the four pairs. False when the fit or the
// resampling fails.
bool sampleBlock(const Raster& picture, Raster& view, const std::array<PointF, 4>& picturePoints,
                 const std::array<PointF, 4>& modulePoints, int firstRow, int lastRow, int firstColumn, int lastColumn) {
    PerspectiveCoefficients transform{};
    if (solvePerspective(picturePoints, modulePoints, transform) != 1) return false;
    return warpRaster(&picture, &view, transform, 0.0f, firstRow, lastRow, firstColumn, lastColumn) == 1;
}

// Reads both blocks as version g. Returns the match code for g (0 neither block names g), or
// -1 when a block cannot be sampled.
int readBlocksAs(int g, const Raster& picture, Raster& view, const uint8_t* const* rows, int height, int width,
                 int directions) {
    const int s = symbolSizeOf(g);
    const float finder = static_cast<float>(s - 4);
    setAlignmentCoordinates(g);
    locateVersionAlignment(rows, height, width, directions);
    const int n = alignmentPositionCount();
    const auto& corners = frameCorners();
    int match = 0;

    const std::array<PointF, 4> topRight = {cellPoint(0, n - 2), corners[kFrameB].point, cellPoint(1, n - 2),
                                            cellPoint(1, n - 1)};
    const std::array<PointF, 4> topRightModules = {cellModule(0, n - 2), PointF{finder, 3.0f}, cellModule(1, n - 2),
                                                   cellModule(1, n - 1)};
    if (!sampleBlock(picture, view, topRight, topRightModules, 0, 5, s - 11, s - 9)) return -1;
    if (decodeVersionBits(readVersionBitsTopRight(view, s)) == g) match = 1;

    const std::array<PointF, 4> bottomLeft = {cellPoint(n - 2, 0), cellPoint(n - 2, 1), corners[kFrameC].point,
                                              cellPoint(n - 1, 1)};
    const std::array<PointF, 4> bottomLeftModules = {cellModule(n - 2, 0), cellModule(n - 2, 1), PointF{3.0f, finder},
                                                     cellModule(n - 1, 1)};
    if (!sampleBlock(picture, view, bottomLeft, bottomLeftModules, s - 11, s - 9, 0, 5)) return -1;
    if (decodeVersionBits(readVersionBitsBottomLeft(view, s)) == g) match += 2;
    return match;
}

}  // namespace

int readVersionInformation(int estimate, const uint8_t* const* rows, int height, int width, int directions) {
    if (estimate <= 5) return estimate;
    Raster* view = moduleMatrixView();
    if (view == nullptr || rows == nullptr || height <= 0 || width <= 0) return 0;
    const Raster picture{kRasterByte, height, width, nullptr, const_cast<uint8_t**>(rows)};
    int match = 0;
    int answer = 0;
    for (int offset : kCandidateOffsets) {
        const int g = estimate + offset;
        if (g < 7 || g > kMaxVersion) continue;
        const int found = readBlocksAs(g, picture, *view, rows, height, width, directions);
        if (found < 0) return 0;
        if (found > 0) {
            match = found;
            answer = g;
            break;
        }
    }
    blockMatch = match;
    return match == 0 ? 6 : answer;
}

int versionBlockMatch() { return blockMatch; }

void setVersionBlockMatch(int match) { blockMatch = match; }
std::span<std::byte> versionInformationStateBytes() { return stateBytes(blockMatch); }

int decodeVersionBits(uint32_t word) {
    int best = 0;
    int bestDistance = 33;
    for (int i = 0; i < static_cast<int>(VersionWords.size()); ++i) {
        if (word == VersionWords[i]) return i + 7;
        const int distance = hammingDistance(word, VersionWords[i]);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i + 7;
        }
    }
    return bestDistance <= kMaxVersionDistance ? best : 0;
}

uint32_t readVersionBitsTopRight(const Raster& matrix, int s) {
    uint32_t word = 0;
    for (int row = 5; row >= 0; --row) {
        const uint8_t* samples = matrix.rows[row];
        for (int column = s - 9; column >= s - 11; --column) word = (word << 1) | (samples[column] == 0 ? 1u : 0u);
    }
    return word;
}

uint32_t readVersionBitsBottomLeft(const Raster& matrix, int s) {
    uint32_t word = 0;
    for (int column = 5; column >= 0; --column) {
        for (int row = s - 9; row >= s - 11; --row) word = (word << 1) | (matrix.rows[row][column] == 0 ? 1u : 0u);
    }
    return word;
}

}  // namespace velmora
