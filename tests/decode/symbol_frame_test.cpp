#include <gtest/gtest.h>

#include <cmath>

#include "engine/decode/symbol_frame.h"
#include "engine/geometry/candidate_triples.h"

using namespace velmora;

namespace {

// Puts three centres into the candidate with the given module sizes by frame scan direction
// (rows, diagonals, columns, anti-diagonals); a size of 0 means not measured.
void setCandidate(PointF p0, PointF p1, PointF p2, std::array<float, 4> s0 = {5, 7.07f, 5, 7.07f},
                  std::array<float, 4> s1 = {5, 7.07f, 5, 7.07f}, std::array<float, 4> s2 = {5, 7.07f, 5, 7.07f}) {
    CandidateTriple& t = candidateTriple();
    const PointF p[3] = {p0, p1, p2};
    const std::array<float, 4>* sizes[3] = {&s0, &s1, &s2};
    for (int m = 0; m < 3; ++m) {
        t.values[kFinderX][m] = p[m].x;
        t.values[kFinderY][m] = p[m].y;
        for (int d = 0; d < 4; ++d) {
            slotSizes()[m].sizes[d] = (*sizes[m])[d];
            slotSizes()[m].counts[d] = (*sizes[m])[d] != 0.0f ? 10 : 0;
        }
    }
}

void expectPoint(PointF got, float x, float y) {
    EXPECT_FLOAT_EQ(got.x, x);
    EXPECT_FLOAT_EQ(got.y, y);
}

}  // namespace

TEST(FrameOrientation, CornerIsOppositeTheLongestSide) {
    FramePoints points{};
    setCandidate({0, 0}, {100, 0}, {0, 100});
    ASSERT_EQ(orientFinderTriple(points), 1);
    expectPoint(points[kFrameA], 0, 0);
    expectPoint(points[kFrameB], 100, 0);
    expectPoint(points[kFrameC], 0, 100);
    expectPoint(points[kFrameD], 100, 100);
    EXPECT_EQ(frameOrder(), (std::array<int, 3>{0, 1, 2}));

    setCandidate({100, 0}, {0, 100}, {0, 0});
    ASSERT_EQ(orientFinderTriple(points), 1);
    expectPoint(points[kFrameA], 0, 0);
    expectPoint(points[kFrameB], 100, 0);
    expectPoint(points[kFrameC], 0, 100);
    EXPECT_EQ(frameOrder(), (std::array<int, 3>{2, 0, 1}));
}

TEST(FrameOrientation, SwapsSoThatBIsTopRight) {
    FramePoints points{};
    setCandidate({0, 0}, {0, 100}, {100, 0});
    ASSERT_EQ(orientFinderTriple(points), 1);
    expectPoint(points[kFrameB], 100, 0);
    expectPoint(points[kFrameC], 0, 100);
    EXPECT_EQ(frameOrder(), (std::array<int, 3>{0, 2, 1}));
    // Rotated by 180 degrees the same rule picks the symbol's own top-right pattern.
    setCandidate({200, 200}, {100, 200}, {200, 100});
    ASSERT_EQ(orientFinderTriple(points), 1);
    expectPoint(points[kFrameA], 200, 200);
    expectPoint(points[kFrameB], 100, 200);
    expectPoint(points[kFrameC], 200, 100);
    expectPoint(points[kFrameD], 100, 100);
}

TEST(FrameOrientation, NoStrictlyLongestSideFails) {
    FramePoints points{};
    setCandidate({0, 0}, {100, 0}, {50, 200});  // the two long sides tie
    EXPECT_EQ(orientFinderTriple(points), -1);
    setCandidate({0, 0}, {0, 0}, {0, 0});
    EXPECT_EQ(orientFinderTriple(points), -1);
}

TEST(FrameMeasure, SideRatioBoundsAreTwoAndAHalf) {
    FramePoints points{};
    struct Case {
        PointF b, c;
        int result;
    };
    for (const Case& k : {Case{{100, 0}, {0, 250}, 1}, Case{{100, 0}, {0, 260}, -1}, Case{{250, 0}, {0, 100}, 1},
                          Case{{260, 0}, {0, 100}, -1}}) {
        setCandidate({0, 0}, k.b, k.c);
        ASSERT_EQ(orientFinderTriple(points), 1);
        EXPECT_EQ(measureFrame(points), k.result) << k.b.x << " " << k.c.y;
    }
    const auto& corners = frameCorners();
    EXPECT_FLOAT_EQ(corners[kFrameA].length1, 260.0f);
    EXPECT_FLOAT_EQ(corners[kFrameA].e1.x, 1.0f);
    EXPECT_FLOAT_EQ(corners[kFrameB].e1.x, -1.0f);
    EXPECT_FLOAT_EQ(corners[kFrameB].e2.y, 1.0f);
    EXPECT_FLOAT_EQ(corners[kFrameC].e2.y, -1.0f);
    EXPECT_FLOAT_EQ(slotSizes()[0].vectors[1].x, 7.07f * 0.70710678f);
    EXPECT_FLOAT_EQ(slotSizes()[0].vectors[3].x, -7.07f * 0.70710678f);
}

TEST(FrameDirections, ClassBoundariesAtTwentyTwoAndAHalfDegrees) {
    EXPECT_EQ(directionClassOf({0.9238795f, 0.3826834f}), kHorizontal);
    EXPECT_EQ(directionClassOf({std::nextafter(0.9238795f, 0.0f), 0.3826835f}), kFallingDiagonal);
    EXPECT_EQ(directionClassOf({-0.9238795f, 0.3826834f}), kHorizontal);
    EXPECT_EQ(directionClassOf({0.70710678f, 0.70710678f}), kFallingDiagonal);
    EXPECT_EQ(directionClassOf({0.70710678f, -0.70710678f}), kRisingDiagonal);
    EXPECT_EQ(directionClassOf({-0.70710678f, 0.70710678f}), kRisingDiagonal);
    EXPECT_EQ(directionClassOf({-0.70710678f, -0.70710678f}), kFallingDiagonal);
    // The limits are doubles: the float nearest 0.3826834 lies just below it.
    EXPECT_EQ(directionClassOf({0.3826834f, 0.9238795f}), kVertical);
    EXPECT_EQ(directionClassOf({std::nextafter(0.3826834f, 1.0f), 0.9238795f}), kFallingDiagonal);
    EXPECT_EQ(directionClassOf({0.0f, -1.0f}), kVertical);
}

TEST(FrameModuleSizes, EachSideUsesTheScanThatCrossesItBest) {
    FramePoints points{};
    // Upright: side 1 is horizontal (row sizes), side 2 vertical (column sizes).
    setCandidate({0, 0}, {100, 0}, {0, 100}, {4, 0, 6, 0}, {4.5f, 0, 6.5f, 0}, {3.5f, 0, 5.5f, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    const auto& c = frameCorners();
    EXPECT_FLOAT_EQ(c[kFrameA].m1, 4.0f);
    EXPECT_FLOAT_EQ(c[kFrameA].m2, 6.0f);
    EXPECT_FLOAT_EQ(c[kFrameB].m2, 6.5f);
    EXPECT_FLOAT_EQ(c[kFrameC].m1, 3.5f);
    EXPECT_FLOAT_EQ(c[kFrameD].m1, 3.5f);
    EXPECT_FLOAT_EQ(c[kFrameD].m2, 6.5f);
    expectPoint(c[kFrameD].e1, -1.0f, 0.0f);
    expectPoint(c[kFrameD].e2, 0.0f, -1.0f);

    // Without row measures a horizontal side falls back to the diagonal scan, whose module
    // vector projects onto the side.
    setCandidate({0, 0}, {100, 0}, {0, 100}, {0, 8, 6, 0}, {0, 8, 6, 0}, {0, 8, 6, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    EXPECT_NEAR(frameCorners()[kFrameA].m1, 8 * 0.70710678, 1e-5);
    // No measure at all for the vertical side: columns, anti-diagonals and diagonals missing.
    setCandidate({0, 0}, {100, 0}, {0, 100}, {5, 0, 0, 0}, {5, 0, 0, 0}, {5, 0, 0, 0});
    EXPECT_EQ(buildSymbolFrame(points), -1);
}

TEST(FrameFourthCorner, OnlyTheFarOffRatioMovesTheCorner) {
    FramePoints points{};
    // p = C.m1 / A.m1 = 0.9 stays 1; q = B.m2 / A.m2 = 1.3 pushes D along B-D.
    setCandidate({0, 0}, {100, 0}, {0, 100}, {5, 0, 5, 0}, {5, 0, 6.5f, 0}, {4.5f, 0, 5, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    ASSERT_EQ(correctFourthCorner(points), 1);
    expectPoint(points[kFrameD], 100.0f, 130.0f);
    const auto& c = frameCorners();
    expectPoint(c[kFrameD].point, 100.0f, 130.0f);
    EXPECT_FLOAT_EQ(c[kFrameB].length2, 130.0f);
    EXPECT_FLOAT_EQ(c[kFrameC].length1, std::sqrt(100.0f * 100.0f + 30.0f * 30.0f));
    EXPECT_FLOAT_EQ(c[kFrameC].m1, 4.5f * 100.0f / std::sqrt(10900.0f));
    EXPECT_FLOAT_EQ(c[kFrameD].m1, c[kFrameC].m1);
    EXPECT_FLOAT_EQ(c[kFrameD].m2, 6.5f);

    // Both ratios within (0.8, 1.2): nothing moves.
    setCandidate({0, 0}, {100, 0}, {0, 100}, {5, 0, 5, 0}, {5, 0, 5.9f, 0}, {4.1f, 0, 5, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    ASSERT_EQ(correctFourthCorner(points), 1);
    expectPoint(points[kFrameD], 100.0f, 100.0f);
}
