// Sampling the module grid: the reference points of each mode, the refusal to repeat the
// parallelogram, the cell bounds of the alignment grid, and what lands in the reader's matrix.
#include <gtest/gtest.h>

#include <array>

#include "engine/decode/frame_sampling.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/symbol_frame.h"
#include "tests/attempts/attempt_pictures.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// True when the reader's matrix holds the encoded symbol: dark 1 at [x][y] where the encoder's
// display matrix is dark at [y][x] (at [x][y] for a mirror image, which samples transposed).
testing::AssertionResult readerHoldsModules(const EncodedSymbol& symbol, bool mirrored = false) {
    const uint8_t* matrix = processDecoder().matrix();
    const int n = symbol.modules.rows;
    int wrong = 0;
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            const bool dark = (mirrored ? symbol.modules.at<uint8_t>(x, y) : symbol.modules.at<uint8_t>(y, x)) == 0;
            if ((matrix[x * 177 + y] != 0) != dark) ++wrong;
        }
    }
    if (wrong == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << wrong << " modules differ";
}

// A frame of three corners 100 pixels apart with one module per pixel, for the mode tests.
void setSquareFrame(float p, float q) {
    auto& c = frameCorners();
    c[kFrameA] = {{20, 20}, {1, 0}, {0, 1}, 1.0f, 1.0f, 0, 2, 100, 100};
    c[kFrameB] = {{120, 20}, {-1, 0}, {0, 1}, 1.0f, q, 0, 2, 100, 100};
    c[kFrameC] = {{20, 120}, {1, 0}, {0, -1}, p, 1.0f, 0, 2, 100, 100};
}

TEST(FrameSamplingFillsReaderMatrix, VersionOneThroughTheFinders) {
    const EncodedSymbol symbol = encodeSymbol("SAMPLE", 1, 2);
    const PlacedSymbol placed = placeRotated(symbol, 5, 0.0, false);
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width());
    ASSERT_TRUE(frameTrueTriple(binary, placed));
    setAlignmentCoordinates(1);
    for (int mode : {kSampleParallelogram, kSamplePerspective}) {
        std::fill(processDecoder().matrix(), processDecoder().matrix() + 177 * 177, uint8_t{7});
        ASSERT_EQ(samplePerspective(binary.rows(), binary.height(), binary.width(), mode, 1), 1) << "mode " << mode;
        EXPECT_TRUE(readerHoldsModules(symbol)) << "mode " << mode;
        EXPECT_EQ(processDecoder().matrix()[21 * 177], 7) << "column 21 stays untouched";
        // The view keeps the picture's light 1 at [y][x].
        EXPECT_EQ(moduleMatrixView()->rows[0][7], symbol.modules.at<uint8_t>(0, 7) != 0 ? 1 : 0);
        EXPECT_EQ(moduleMatrixView()->rows[8][0], symbol.modules.at<uint8_t>(8, 0) != 0 ? 1 : 0);
        EXPECT_FALSE(sampledByAlignmentGrid());
    }
    // Version 1 has no alignment pattern to anchor a fourth point.
    EXPECT_EQ(samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleAlignment, 1), -1);
    EXPECT_EQ(samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleCorrected, 1), -1);
}

TEST(FrameSamplingRefusesRepeats, PerspectiveModeMovesTheFourthPointByMoreThanAPixel) {
    OwnedRaster blank(160, 160);
    for (int y = 0; y < 160; ++y) std::fill(blank.rows()[y], blank.rows()[y] + 160, uint8_t{1});
    RequestSetUp request(160, 160);
    setSquareFrame(1.0f, 1.0f);
    ASSERT_EQ(samplePerspective(blank.rows(), 160, 160, kSampleParallelogram, 7), 1);
    EXPECT_FLOAT_EQ(savedFourthPoint().x, 120.0f);
    EXPECT_FLOAT_EQ(savedFourthPoint().y, 120.0f);
    // D1 - D0 = (100 (p - 1), 100 (q - 1)).
    setSquareFrame(1.006f, 1.009f);
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSamplePerspective, 7), -1) << "moves 0.6 and 0.9";
    setSquareFrame(1.011f, 1.0f);
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSamplePerspective, 7), 1) << "moves 1.1 in x";
    // Below version 7 the perspective mode always runs.
    setSquareFrame(1.0f, 1.0f);
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSamplePerspective, 6), 1);
}

TEST(FrameSamplingRefusesRepeats, CorrectedModeNeedsAPatternOfItsOwn) {
    OwnedRaster blank(160, 160);
    for (int y = 0; y < 160; ++y) std::fill(blank.rows()[y], blank.rows()[y] + 160, uint8_t{1});
    RequestSetUp request(160, 160);
    setSquareFrame(1.0f, 1.0f);
    setAlignmentCoordinates(3);
    alignmentGrid()[1][1] = {110.0f, 110.0f, 2.0f};
    extraAlignmentCell() = {110.0f, 110.0f, 2.0f};
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSampleAlignment, 3), 1);
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSampleCorrected, 3), -1) << "same centre as cell (1, 1)";
    extraAlignmentCell() = {111.0f, 110.0f, 2.0f};
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSampleCorrected, 3), 1);
    extraAlignmentCell().score = 1.49f;
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSampleCorrected, 3), -1) << "not found";
    alignmentGrid()[1][1].score = 0.0f;
    EXPECT_EQ(samplePerspective(blank.rows(), 160, 160, kSampleAlignment, 3), -1) << "not found";
}

TEST(AlignmentGridSampling, VersionSevenCellBounds) {
    setAlignmentCoordinates(7);
    ASSERT_EQ(prepareAlignmentGrid(7), 1);
    const AlignmentCoordinates& bounds = alignmentCellBounds();
    constexpr std::array<float, 3> kExpected = {0.0f, 22.0f, 44.0f};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(bounds[i][j].x, kExpected[j]) << i << ", " << j;
            EXPECT_EQ(bounds[i][j].y, kExpected[i]) << i << ", " << j;
        }
    }
    setAlignmentCoordinates(4);
    ASSERT_EQ(prepareAlignmentGrid(4), 1);
    EXPECT_EQ(bounds[0][1].x, 32.0f);
    EXPECT_EQ(bounds[0][1].y, 0.0f);
    EXPECT_EQ(bounds[1][1].x, 32.0f);
    EXPECT_EQ(bounds[1][1].y, 32.0f);
}

TEST(AlignmentGridSampling, EachCellThroughItsOwnTransform) {
    for (int v : {7, 16, 25}) {
        const EncodedSymbol symbol = encodeSymbol(textFor(v), v);
        const PlacedSymbol placed =
            v == 7 ? placeInPerspective(symbol, 5, {0.0f, 0.03f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.03f})
                   : placeRotated(symbol, 4 + v % 2, 10.0 * v, v == 25);
        OwnedRaster binary = binarise(placed.grey);
        RequestSetUp request(binary.height(), binary.width());
        ASSERT_TRUE(frameTrueTriple(binary, placed));
        setAlignmentCoordinates(v);
        locateAlignmentPatterns(v, binary.rows(), binary.height(), binary.width(), 3);
        ASSERT_EQ(prepareAlignmentGrid(v), 1);
        ASSERT_EQ(sampleAlignmentGrid(binary.rows(), binary.height(), binary.width(), v), 1) << "version " << v;
        EXPECT_TRUE(sampledByAlignmentGrid());
        EXPECT_TRUE(readerHoldsModules(symbol, placed.mirrored)) << "version " << v;
        const int n = alignmentPositionCount();
        const float m = static_cast<float>(4 * v + 13);
        EXPECT_EQ(alignmentCoordinates()[0][n - 1].x, m) << "finder B pinned";
        EXPECT_EQ(alignmentCoordinates()[n - 1][0].y, m) << "finder C pinned";
        EXPECT_EQ(alignmentGrid()[0][0].x, frameCorners()[kFrameA].point.x);
        const auto& t = frameTransforms();
        for (int a = 0; a < 4; ++a) {
            for (int b = a + 1; b < 4; ++b) EXPECT_NE(t[a].h, t[b].h) << "transforms " << a << " and " << b;
        }
    }
}

TEST(AlignmentGridSampling, RefusedWithoutAnyAlignmentPattern) {
    const EncodedSymbol symbol = encodeSymbol(textFor(8), 8);
    const PlacedSymbol placed = placeRotated(symbol, 4, 0.0, false);
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width());
    ASSERT_TRUE(frameTrueTriple(binary, placed));
    setAlignmentCoordinates(8);
    for (auto& row : alignmentGrid()) {
        for (auto& cell : row) cell.score = 0.0f;
    }
    ASSERT_EQ(prepareAlignmentGrid(8), 1);
    EXPECT_EQ(sampleAlignmentGrid(binary.rows(), binary.height(), binary.width(), 8), -1);
}

}  // namespace
