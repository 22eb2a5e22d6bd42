#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/decode/symbol_frame.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/finder_patterns.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using velmora::test::OwnedRaster;

namespace {

// Replaces the search results with patterns at the given centres, each measured in all four
// families with module size `size` (diagonal sizes along the diagonal), listed in this order.
struct Pattern {
    float x, y, size;
};

void setPatterns(const std::vector<Pattern>& patterns) {
    // An empty search clears the table, the list and the backup.
    OwnedRaster blank(30, 30);
    for (int y = 0; y < 30; ++y) std::fill(blank.rows()[y], blank.rows()[y] + 30, uint8_t{1});
    findFinderPatterns(blank.rows(), 30, 30, 2.2f, 0.85f, 1.65f, 3);
    FinderTable& t = finderTable();
    for (std::size_t c = 0; c < patterns.size(); ++c) {
        const Pattern& p = patterns[c];
        t[kFinderX][c] = p.x;
        t[kFinderY][c] = p.y;
        t[kFinderScore][c] = 9.0f;
        t[kFinderRowSize][c] = t[kFinderColumnSize][c] = p.size;
        t[kFinderDiagonalSize][c] = t[kFinderAntiDiagonalSize][c] = p.size * 1.4142135f;
        t[kFinderRowCount][c] = t[kFinderColumnCount][c] = t[kFinderDiagonalCount][c] = t[kFinderAntiDiagonalCount][c] = 12;
    }
    listFinderPatterns(kFinderPatternsKept, t, finderList());
}

int tripleCount(const std::vector<Pattern>& patterns) {
    setPatterns(patterns);
    buildTriples();
    return candidateTable().count;
}

PointF slotCentre(int m) { return {candidateTriple().values[kFinderX][m], candidateTriple().values[kFinderY][m]}; }

}  // namespace

TEST(CandidateTriples, TriangleShapeDecides) {
    setAngleThresholds(kAcuteAngleLimit, kObtuseAngleLimit);
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {200, 0, 4}}), 0);                 // collinear
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {200, 30, 4}}), 0);                // 163 degrees at B
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {50, 86.60254f, 4}}), 1);          // equilateral
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {0, 100, 4}}), 1);                 // right isosceles
    // Squared sides 100^2 against the hypotenuse: 1 : 6.76 passes, 1 : 8.02 does not.
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {0, 240, 4}}), 1);
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {0, 265, 4}}), 0);
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {100, 0, 4}}), 0);                 // coincident
    // 135 degrees at A (cos^2 = 0.5 > 0.422618); 125 degrees passes (0.329).
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {-70.710678f, 70.710678f, 4}}), 0);
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {-57.357644f, 81.915204f, 4}}), 1);
    // 15 degrees at A (cos^2 = 0.933 > 0.90631) between sides of 100 and 110.
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}, {106.25f, 28.47f, 4}}), 0);
}

TEST(CandidateTriples, ModuleSizesWithinAFactorOfThree) {
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 12}, {0, 100, 4}}), 1);
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 12.1f}, {0, 100, 4}}), 0);
    setPatterns({{0, 0, 4}, {100, 0, 12.1f}});
    buildPairs();
    EXPECT_EQ(candidateTable().count, 0);
    // A family that measured only one of the two does not count.
    setPatterns({{0, 0, 4}, {100, 0, 13}, {0, 100, 4}});
    finderTable()[kFinderRowCount][1] = finderTable()[kFinderColumnCount][1] = 0;
    finderTable()[kFinderDiagonalCount][1] = finderTable()[kFinderAntiDiagonalCount][1] = 0;
    buildTriples();
    EXPECT_EQ(candidateTable().count, 1);
    EXPECT_EQ(tripleCount({{0, 0, 4}, {100, 0, 4}}), 0);
}

// A symbol of three patterns and a square of four (four triples) far away: a triple mixing
// the two has one short and two long sides and fails the side-ratio test.
TEST(CandidateTriples, ReadSymbolDisablesItsPatternsAndTheNextEntryFollows) {
    setPatterns({{0, 0, 4}, {100, 0, 4}, {0, 100, 4},
                 {1000, 1000, 4}, {1100, 1000, 4}, {1000, 1100, 4}, {1100, 1100, 4}});
    ASSERT_EQ(buildTriples(), 1);
    ASSERT_EQ(candidateTable().count, 5);
    // The three last listed patterns come first, the first three last.
    EXPECT_EQ(candidateTable().entries[0], (std::array<int32_t, 4>{1, 4, 5, 6}));
    EXPECT_EQ(candidateTable().entries[4], (std::array<int32_t, 4>{1, 0, 1, 2}));

    int cursor = -1;
    ASSERT_EQ(nextTriple(cursor), 1);
    EXPECT_EQ(cursor, 0);
    EXPECT_FLOAT_EQ(slotCentre(0).x, 1100.0f);
    EXPECT_FLOAT_EQ(slotCentre(1).y, 1100.0f);
    EXPECT_FLOAT_EQ(candidateTriple().scores[2], 9.0f);
    EXPECT_EQ(slotSizes()[1].counts[1], 12);
    EXPECT_FLOAT_EQ(slotSizes()[1].sizes[1], 4 * 1.4142135f);
    // Read: every other triple of the square shares a pattern with it.
    disableSharingTriples(cursor);
    markPatternsUsed(cursor);
    for (int e = 0; e < 4; ++e) EXPECT_EQ(candidateTable().entries[e][0], 0) << e;
    EXPECT_EQ(candidateTable().entries[4][0], 1);
    for (int c = 4; c < 7; ++c) EXPECT_EQ(finderTable()[kFinderScore][c], 0.0f);
    EXPECT_EQ(finderTable()[kFinderScore][3], 9.0f);
    ASSERT_EQ(nextTriple(cursor), 1);
    EXPECT_EQ(cursor, 4);
    EXPECT_FLOAT_EQ(slotCentre(1).x, 100.0f);
    EXPECT_EQ(nextTriple(cursor), -1);
}

// Pair entries are built without a first position; comparing it would tie every pair that
// was never loaded to every other.
TEST(CandidatePairs, SharingComparesOnlyThePairPositions) {
    setPatterns({{0, 0, 4}, {100, 0, 4}, {0, 100, 4}, {100, 100, 4}});
    ASSERT_EQ(buildPairs(), 1);
    ASSERT_EQ(candidateTable().count, 6);
    EXPECT_EQ(candidateTable().entries[0], (std::array<int32_t, 4>{1, -1, 2, 3}));
    EXPECT_EQ(candidateTable().entries[5], (std::array<int32_t, 4>{1, -1, 0, 1}));
    disableSharingTriples(0, kPairMode);
    markPatternsUsed(0, kPairMode);
    const int enabled[6] = {0, 0, 0, 0, 0, 1};  // (2,3) (1,3) (0,3) (1,2) (0,2) (0,1)
    for (int e = 0; e < 6; ++e) EXPECT_EQ(candidateTable().entries[e][0], enabled[e]) << e;
    EXPECT_EQ(finderTable()[kFinderScore][3], 0.0f);
    EXPECT_EQ(finderTable()[kFinderScore][1], 9.0f);
}

TEST(CandidatePairs, OddVariantsOnlyForAModeratelyOffSquareAspect) {
    setPatterns({{200, 200, 4}, {300, 200, 4}});
    ASSERT_EQ(buildPairs(), 1);
    for (float k : {1.0f, 1.25f, 0.7f, 1.005f}) {
        pairVariantState().aspectFactor = k;
        int entry = 0, variant = 0;
        EXPECT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), 0) << k;
        EXPECT_EQ(variant, 1);
        EXPECT_EQ(pairVariantState().oddVariantFlag, 0);
    }
    for (float k : {0.9f, 1.1f, 1.19f, 0.8f}) {
        pairVariantState().aspectFactor = k;
        int entry = 0, variant = 0;
        EXPECT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), 1) << k;
        EXPECT_EQ(pairVariantState().oddVariantFlag, 1);
        EXPECT_EQ(pairVariantState().aspectFactor, 1.0f);  // the square variants use k = 1
    }
}

// Variant 1: C = P1, O = P2, the third centre a right turn of O - C about C.
TEST(CandidatePairs, InferredCornersMayLieFourTenthsOfThePairOutside) {
    for (const auto& [x, expected] : std::vector<std::pair<float, int>>{{90, 1}, {55, 0}}) {
        setPatterns({{x, 300, 4}, {x, 400, 4}});
        buildPairs();
        pairVariantState().aspectFactor = 0.9f;
        int entry = 0, variant = 0;
        EXPECT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), expected) << x;
        EXPECT_FLOAT_EQ(slotCentre(0).x, x - 100.0f);
        EXPECT_FLOAT_EQ(slotCentre(0).y, 300.0f);
        EXPECT_FLOAT_EQ(slotCentre(1).x, x);
        EXPECT_FLOAT_EQ(slotCentre(2).y, 400.0f);
    }
    // Past the right and bottom edges the bound is strict.
    setPatterns({{580, 300, 4}, {580, 200, 4}});
    buildPairs();
    pairVariantState().aspectFactor = 0.9f;
    int entry = 0, variant = 0;
    EXPECT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), 0);  // x = 680: 6400 > 1600
    EXPECT_FLOAT_EQ(slotCentre(0).x, 680.0f);
}

TEST(CandidatePairs, DiagonalVariantsTurnByTwiceTheArctangentOfTheAspect) {
    setPatterns({{200, 200, 4}, {300, 300, 4}});
    finderTable()[kFinderColumnSize][0] = 5.0f;  // P1: rows 4, columns 5, so k = 1.25
    buildPairs();
    int entry = 0, variant = 7;
    ASSERT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), 1);
    ASSERT_EQ(variant, 8);
    EXPECT_FLOAT_EQ(pairVariantState().aspectFactor, 1.25f);
    const PointF m = {250, 250};
    const PointF t = slotCentre(0);
    const double turned = std::atan2(t.y - m.y, t.x - m.x) - std::atan2(300 - m.y, 300 - m.x);
    EXPECT_NEAR(turned, 2 * std::atan(1.25), 1e-5);
    EXPECT_NEAR(std::hypot(t.x - m.x, t.y - m.y), std::hypot(50.0, 50.0), 1e-3);
    // Variant 9 is the quarter turn: the pair and the inferred centre make half a square.
    pairVariantState().aspectFactor = 1.1f;
    ASSERT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), 1);
    EXPECT_FLOAT_EQ(slotCentre(0).x, 200.0f);
    EXPECT_FLOAT_EQ(slotCentre(0).y, 300.0f);
    // Variant 12 turns P1 instead of P2.
    variant = 11;
    ASSERT_EQ(nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600), 1);
    const PointF u = slotCentre(0);
    EXPECT_NEAR(std::atan2(u.y - m.y, u.x - m.x) - std::atan2(200 - m.y, 200 - m.x), 2 * std::atan(1.25), 1e-5);
}

TEST(CandidatePairs, CursorWalksSixteenVariantsPerEntryThenEnds) {
    setPatterns({{200, 200, 4}, {300, 200, 4}, {250, 300, 4}});
    buildPairs();
    ASSERT_EQ(candidateTable().count, 3);
    int entry = 0, variant = -1, calls = 0, last = 0;
    while ((last = nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600)) != -1) ++calls;
    EXPECT_EQ(calls, 48);
    disableSharingTriples(1, kPairMode);  // leaves the entry that shares no pattern with it
    entry = 0, variant = -1, calls = 0;
    while (nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600) != -1) ++calls;
    EXPECT_EQ(calls, 0);
}
