#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/finder_patterns.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;

namespace {

struct Pattern {
    float x, y, size;
};

// Replaces the search results (after an empty search, which also clears the backup) with
// patterns measured in all four families with module size `size`, listed in this order.
void setPatterns(const std::vector<Pattern>& patterns) {
    test::OwnedRaster blank(30, 30);
    for (int y = 0; y < 30; ++y) std::fill(blank.rows()[y], blank.rows()[y] + 30, uint8_t{1});
    findFinderPatterns(blank.rows(), 30, 30, 2.2f, 0.85f, 1.65f, 3);
    FinderTable& t = finderTable();
    for (std::size_t c = 0; c < patterns.size(); ++c) {
        t[kFinderX][c] = patterns[c].x;
        t[kFinderY][c] = patterns[c].y;
        t[kFinderScore][c] = 9.0f;
        for (int d = 0; d < 4; ++d) {
            t[kFinderRowSize + 2 * d][c] = patterns[c].size * (d >= 2 ? 1.4142135f : 1.0f);
            t[kFinderRowCount + 2 * d][c] = 12;
        }
    }
    listFinderPatterns(kFinderPatternsKept, t, finderList());
}

int triples(const std::vector<Pattern>& patterns) {
    setPatterns(patterns);
    buildTriples();
    return candidateTable().count;
}

PointF slot(int m) { return {candidateTriple().values[kFinderX][m], candidateTriple().values[kFinderY][m]}; }

int nextVariant(int& entry, int& variant) { return nextPairVariant(entry, variant, finderList(), finderTable(), 600, 600); }

}  // namespace

TEST(CandidateTriples, ShapeAndModuleSizesDecide) {
    setAngleThresholds(kAcuteAngleLimit, kObtuseAngleLimit);
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {200, 0, 4}}), 0);         // collinear
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {50, 86.60254f, 4}}), 1);  // equilateral
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {0, 100, 4}}), 1);         // right isosceles
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {0, 240, 4}}), 1);         // squared sides 1 : 6.76
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {0, 265, 4}}), 0);         // 1 : 8.02
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {-70.710678f, 70.710678f, 4}}), 0);  // 135 degrees
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {-57.357644f, 81.915204f, 4}}), 1);  // 125 degrees
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {106.25f, 28.47f, 4}}), 0);          // 15 degrees
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 12}, {0, 100, 4}}), 1);
    EXPECT_EQ(triples({{0, 0, 4}, {100, 0, 12.1f}, {0, 100, 4}}), 0);  // sizes beyond a factor 3
    setPatterns({{0, 0, 4}, {100, 0, 12.1f}});
    buildPairs();
    EXPECT_EQ(candidateTable().count, 0);
}

// A symbol of three patterns and a square of four far away: a triple mixing the two has one
// short and two long sides and fails the side-ratio test.
TEST(CandidateTriples, ReadSymbolDisablesItsPatternsAndTheNextEntryFollows) {
    ASSERT_EQ(triples({{0, 0, 4}, {100, 0, 4}, {0, 100, 4}, {1000, 1000, 4}, {1100, 1000, 4}, {1000, 1100, 4},
                       {1100, 1100, 4}}),
              5);
    EXPECT_EQ(candidateTable().entries[0], (std::array<int32_t, 4>{1, 4, 5, 6}));  // last listed first
    EXPECT_EQ(candidateTable().entries[4], (std::array<int32_t, 4>{1, 0, 1, 2}));
    int cursor = -1;
    ASSERT_EQ(nextTriple(cursor), 1);
    EXPECT_EQ(std::make_tuple(cursor, slot(0).x, slot(1).y), std::make_tuple(0, 1100.0f, 1100.0f));
    EXPECT_EQ(std::make_tuple(slotSizes()[1].counts[1], slotSizes()[1].sizes[1]), std::make_tuple(12, 4 * 1.4142135f));
    disableSharingTriples(cursor);
    markPatternsUsed(cursor);
    for (int e = 0; e < 5; ++e) EXPECT_EQ(candidateTable().entries[e][0], e == 4 ? 1 : 0) << e;
    for (int c = 3; c < 7; ++c) EXPECT_EQ(finderTable()[kFinderScore][c], c == 3 ? 9.0f : 0.0f) << c;
    ASSERT_EQ(nextTriple(cursor), 1);
    EXPECT_EQ(cursor, 4);
    EXPECT_EQ(nextTriple(cursor), -1);
}

// Pair entries are built without a first position; comparing it would tie every pair that was
// never loaded to every other.
TEST(CandidatePairs, SharingComparesOnlyThePairPositions) {
    setPatterns({{0, 0, 4}, {100, 0, 4}, {0, 100, 4}, {100, 100, 4}});
    ASSERT_EQ(buildPairs(), 1);
    ASSERT_EQ(candidateTable().count, 6);
    EXPECT_EQ(candidateTable().entries[0], (std::array<int32_t, 4>{1, -1, 2, 3}));
    disableSharingTriples(0, kPairMode);
    markPatternsUsed(0, kPairMode);
    for (int e = 0; e < 6; ++e) EXPECT_EQ(candidateTable().entries[e][0], e == 5 ? 1 : 0) << e;  // (0, 1) stays
    EXPECT_EQ(finderTable()[kFinderScore][3] + finderTable()[kFinderScore][1], 9.0f);
    int entry = 0, variant = -1, calls = 0;
    while (nextVariant(entry, variant) != -1) ++calls;
    EXPECT_EQ(calls, 16);  // sixteen variants of the one enabled pair
}

TEST(CandidatePairs, OddVariantsOnlyForAModeratelyOffSquareAspect) {
    setPatterns({{200, 200, 4}, {300, 200, 4}});
    buildPairs();
    for (float k : {1.0f, 1.25f, 0.7f, 1.005f, 0.9f, 1.19f, 0.8f}) {
        pairVariantState().aspectFactor = k;
        int entry = 0, variant = 0;
        const int expected = (k == 0.9f || k == 1.19f || k == 0.8f) ? 1 : 0;
        EXPECT_EQ(nextVariant(entry, variant), expected) << k;
        EXPECT_EQ(pairVariantState().oddVariantFlag, expected) << k;
    }
    EXPECT_EQ(pairVariantState().aspectFactor, 1.0f);  // the square variants use k = 1
}

// Variant 1: the third centre is O - C turned a right angle about C = P1 (k = 1).
TEST(CandidatePairs, InferredCornersMayLieFourTenthsOfThePairOutside) {
    for (const auto& [x, y, expected] : std::vector<std::tuple<float, float, int>>{{90, 400, 1}, {55, 400, 0}, {580, 200, 0}}) {
        setPatterns({{x, 300, 4}, {x, y, 4}});
        buildPairs();
        pairVariantState().aspectFactor = 0.9f;
        int entry = 0, variant = 0;
        EXPECT_EQ(nextVariant(entry, variant), expected) << x;  // 100 <= 1600; 2025 > 1600; 6400 >= 1600
        EXPECT_FLOAT_EQ(slot(0).x, x - (y - 300));
        EXPECT_FLOAT_EQ(slot(2).y, y);
    }
}

TEST(CandidatePairs, DiagonalVariantsTurnByTwiceTheArctangentOfTheAspect) {
    setPatterns({{200, 200, 4}, {300, 300, 4}});
    finderTable()[kFinderColumnSize][0] = 5.0f;  // P1: rows 4, columns 5, so k = 1.25
    buildPairs();
    int entry = 0, variant = 7;
    ASSERT_EQ(nextVariant(entry, variant), 1);
    EXPECT_FLOAT_EQ(pairVariantState().aspectFactor, 1.25f);
    auto turn = [](PointF from, PointF to) { return std::remainder(std::atan2(to.y - 250, to.x - 250) - std::atan2(from.y - 250, from.x - 250), 2 * M_PI); };
    EXPECT_NEAR(turn({300, 300}, slot(0)), std::remainder(2 * std::atan(1.25), 2 * M_PI), 1e-5);
    EXPECT_NEAR(std::hypot(slot(0).x - 250, slot(0).y - 250), std::hypot(50.0, 50.0), 1e-3);
    pairVariantState().aspectFactor = 1.1f;
    ASSERT_EQ(nextVariant(entry, variant), 1);  // variant 9: a quarter turn, half a square
    EXPECT_EQ(std::make_pair(slot(0).x, slot(0).y), std::make_pair(200.0f, 300.0f));
    variant = 11;
    ASSERT_EQ(nextVariant(entry, variant), 1);  // variant 12 turns P1 instead
    EXPECT_NEAR(turn({200, 200}, slot(0)), std::remainder(2 * std::atan(1.25), 2 * M_PI), 1e-5);
}
