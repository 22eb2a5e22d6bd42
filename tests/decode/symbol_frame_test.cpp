#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/symbol_frame.h"

using namespace velmora;

namespace {

using Sizes = std::array<float, 4>;  // rows, diagonals, columns, anti-diagonals; 0 not measured

// Puts three centres into the candidate with module sizes by frame scan direction.
void setCandidate(PointF p0, PointF p1, PointF p2, Sizes s0 = {5, 7, 5, 7}, Sizes s1 = {5, 7, 5, 7},
                  Sizes s2 = {5, 7, 5, 7}) {
    const PointF p[3] = {p0, p1, p2};
    const Sizes s[3] = {s0, s1, s2};
    for (int m = 0; m < 3; ++m) {
        candidateTriple().values[kFinderX][m] = p[m].x;
        candidateTriple().values[kFinderY][m] = p[m].y;
        for (int d = 0; d < 4; ++d) {
            slotSizes()[m].sizes[d] = s[m][d];
            slotSizes()[m].counts[d] = s[m][d] != 0.0f ? 10 : 0;
        }
    }
}

void expectPoints(const FramePoints& p, std::array<PointF, 4> expected) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(p[i].x, expected[i].x) << "point " << i;
        EXPECT_FLOAT_EQ(p[i].y, expected[i].y) << "point " << i;
    }
}

}  // namespace

TEST(FrameOrientation, CornerOppositeTheLongestSideAndBTopRight) {
    FramePoints points{};
    for (const auto& [p0, p1, p2] : std::vector<std::array<PointF, 3>>{
             {{{0, 0}, {100, 0}, {0, 100}}}, {{{100, 0}, {0, 100}, {0, 0}}}, {{{0, 0}, {0, 100}, {100, 0}}}}) {
        setCandidate(p0, p1, p2);
        ASSERT_EQ(orientFinderTriple(points), 1);
        expectPoints(points, {{{0, 0}, {100, 0}, {0, 100}, {100, 100}}});
    }
    EXPECT_EQ(frameOrder(), (std::array<int, 3>{0, 2, 1}));  // the last case swapped B and C
    setCandidate({0, 0}, {100, 0}, {50, 200});  // the two long sides tie
    EXPECT_EQ(orientFinderTriple(points), -1);
}

TEST(FrameMeasure, SideRatioBoundsAndDirectionClasses) {
    FramePoints points{};
    for (const auto& [b, c, result] : std::vector<std::tuple<PointF, PointF, int>>{
             {{100, 0}, {0, 250}, 1}, {{100, 0}, {0, 260}, -1}, {{250, 0}, {0, 100}, 1}, {{260, 0}, {0, 100}, -1}}) {
        setCandidate({0, 0}, b, c);
        ASSERT_EQ(orientFinderTriple(points), 1);
        EXPECT_EQ(measureFrame(points), result) << b.x << " " << c.y;
    }
    EXPECT_FLOAT_EQ(frameCorners()[kFrameB].e1.x, -1.0f);
    EXPECT_FLOAT_EQ(frameCorners()[kFrameC].e2.y, -1.0f);
    // The limits cos 22.5 and cos 67.5 are doubles: 0.9238795f lies above its limit, the float
    // nearest 0.3826834 below its one.
    EXPECT_EQ(directionClassOf({0.9238795f, 0.3826834f}), kHorizontal);
    EXPECT_EQ(directionClassOf({std::nextafter(0.9238795f, 0.0f), 0.38f}), kFallingDiagonal);
    EXPECT_EQ(directionClassOf({0.3826834f, 0.9238795f}), kVertical);
    EXPECT_EQ(directionClassOf({std::nextafter(0.3826834f, 1.0f), 0.92f}), kFallingDiagonal);
    EXPECT_EQ(directionClassOf({0.7071f, -0.7071f}), kRisingDiagonal);
    EXPECT_EQ(directionClassOf({-0.7071f, 0.7071f}), kRisingDiagonal);
    EXPECT_EQ(directionClassOf({-0.7071f, -0.7071f}), kFallingDiagonal);
}

TEST(FrameModuleSizes, EachSideUsesTheScanThatCrossesItBest) {
    FramePoints points{};
    setCandidate({0, 0}, {100, 0}, {0, 100}, {4, 0, 6, 0}, {4.5f, 0, 6.5f, 0}, {3.5f, 0, 5.5f, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    const auto& c = frameCorners();
    EXPECT_EQ(std::make_tuple(c[kFrameA].m1, c[kFrameA].m2, c[kFrameB].m2, c[kFrameC].m1), std::make_tuple(4.0f, 6.0f, 6.5f, 3.5f));
    EXPECT_EQ(std::make_tuple(c[kFrameD].m1, c[kFrameD].m2, c[kFrameD].e1.x, c[kFrameD].e2.y), std::make_tuple(3.5f, 6.5f, -1.0f, -1.0f));
    // Without row measures a horizontal side falls back to the diagonal scan's projection.
    setCandidate({0, 0}, {100, 0}, {0, 100}, {0, 8, 6, 0}, {0, 8, 6, 0}, {0, 8, 6, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    EXPECT_NEAR(frameCorners()[kFrameA].m1, 8 * 0.70710678, 1e-5);
    setCandidate({0, 0}, {100, 0}, {0, 100}, {5, 0, 0, 0}, {5, 0, 0, 0}, {5, 0, 0, 0});
    EXPECT_EQ(buildSymbolFrame(points), -1);  // nothing measures the vertical side
}

TEST(FrameFourthCorner, OnlyTheFarOffRatioMovesTheCorner) {
    FramePoints points{};
    // p = C.m1 / A.m1 = 0.9 counts as 1; q = B.m2 / A.m2 = 1.3 moves D to D + (D - B) * 0.3.
    setCandidate({0, 0}, {100, 0}, {0, 100}, {5, 0, 5, 0}, {5, 0, 6.5f, 0}, {4.5f, 0, 5, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    ASSERT_EQ(correctFourthCorner(points), 1);
    expectPoints(points, {{{0, 0}, {100, 0}, {0, 100}, {100, 130}}});
    const auto& c = frameCorners();
    EXPECT_FLOAT_EQ(c[kFrameD].point.y, 130.0f);
    EXPECT_FLOAT_EQ(c[kFrameB].length2, 130.0f);
    EXPECT_FLOAT_EQ(c[kFrameC].m1, 4.5f * 100.0f / std::sqrt(10900.0f));
    EXPECT_FLOAT_EQ(c[kFrameD].m1, c[kFrameC].m1);
    setCandidate({0, 0}, {100, 0}, {0, 100}, {5, 0, 5, 0}, {5, 0, 5.9f, 0}, {4.1f, 0, 5, 0});
    ASSERT_EQ(buildSymbolFrame(points), 1);
    ASSERT_EQ(correctFourthCorner(points), 1);
    EXPECT_FLOAT_EQ(points[kFrameD].y, 100.0f);
}
