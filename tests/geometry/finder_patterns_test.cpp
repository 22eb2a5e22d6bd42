#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/decode/decode_inputs.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/finder_patterns.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using velmora::test::binaryOf;
using velmora::test::drawFinder;
using velmora::test::OwnedRaster;

namespace {

constexpr float kRatio = 2.2f, kCentre = 0.85f, kPair = 1.65f;

// Column-wise storage for one scan's hits.
struct Hits {
    std::vector<float> x, y, size;
    HitTable table;
    explicit Hits(int capacity) : x(capacity), y(capacity), size(capacity), table{x.data(), y.data(), size.data()} {}
};

// The light row of the edge case: 4 dark, 4 light, 12 dark, 4 light, 4 dark from column 10.
void drawRowPattern(OwnedRaster& raster, int y, int from = 10) {
    for (int x = 0; x < raster.width(); ++x) raster.at(y, x) = 1;
    const int runs[5] = {4, 4, 12, 4, 4};
    int x = from;
    for (int k = 0; k < 5; ++k) {
        for (int i = 0; i < runs[k]; ++i) raster.at(y, x++) = static_cast<uint8_t>(k % 2);
    }
}

OwnedRaster lightRaster(int height, int width) {
    OwnedRaster raster(height, width);
    for (int y = 0; y < height; ++y) std::fill(raster.rows()[y], raster.rows()[y] + width, uint8_t{1});
    return raster;
}

int search(const OwnedRaster& binary, int directions = 3) {
    return findFinderPatterns(binary.rows(), binary.height(), binary.width(), kRatio, kCentre, kPair, directions);
}

// Restores the search inputs that a test changed.
struct InputsGuard {
    ~InputsGuard() {
        setDecodedAreaMask(nullptr);
        clearFinderExclusionBoxes();
        setEnlargement(false, 1.0f);
    }
};

}  // namespace

TEST(FinderRunScan, RowHitSitsInTheMiddleOfTheCentreRun) {
    OwnedRaster raster = lightRaster(5, 50);
    drawRowPattern(raster, 2);
    Hits hits(200);
    int count = -1;
    ASSERT_EQ(scanRuns(0, count, &hits.table, 200, raster.rows(), 5, 50, kRatio, kCentre), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(hits.x[0], 23.5f);
    EXPECT_EQ(hits.y[0], 2.0f);
    EXPECT_EQ(hits.size[0], 4.0f);
    EXPECT_EQ(scanRuns(0, count, nullptr, 200, raster.rows(), 5, 50, kRatio, kCentre), -1);
}

TEST(FinderRunScan, HitsOnTheFirstRowOrColumnAreWrittenButNotCounted) {
    OwnedRaster raster = lightRaster(5, 50);
    drawRowPattern(raster, 0);
    Hits hits(200);
    int count = -1;
    scanRuns(0, count, &hits.table, 200, raster.rows(), 5, 50, kRatio, kCentre);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(hits.x[0], 23.5f);

    // The same run sequence down column 0.
    OwnedRaster tall = lightRaster(50, 5);
    OwnedRaster row = lightRaster(1, 50);
    drawRowPattern(row, 0);
    for (int y = 0; y < 50; ++y) tall.at(y, 0) = row.at(0, y);
    scanRunsCrossing(0, count, &hits.table, 200, tall.rows(), 50, 5, kRatio, kCentre);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(hits.y[0], 23.5f);
    for (int y = 0; y < 50; ++y) tall.at(y, 1) = row.at(0, y);
    scanRunsCrossing(0, count, &hits.table, 200, tall.rows(), 50, 5, kRatio, kCentre);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(hits.x[0], 1.0f);
}

TEST(FinderRunScan, LastDarkRunEndingTheLineIsEvaluated) {
    OwnedRaster raster = lightRaster(3, 38);
    drawRowPattern(raster, 1);  // the last dark run is columns 34 to 37, the end of the line
    Hits hits(200);
    int count = 0;
    scanRuns(0, count, &hits.table, 200, raster.rows(), 3, 38, kRatio, kCentre);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(hits.x[0], 23.5f);
}

TEST(FinderRunScan, MaskedPixelBreaksThePattern) {
    InputsGuard guard;
    OwnedRaster raster = lightRaster(5, 50);
    drawRowPattern(raster, 2);
    OwnedRaster mask(5, 50);
    for (int y = 0; y < 5; ++y) std::fill(mask.rows()[y], mask.rows()[y] + 50, uint8_t{0});
    mask.at(2, 24) = 1;  // inside the centre run
    setDecodedAreaMask(mask.raster);
    Hits hits(200);
    int count = -1;
    scanRuns(0, count, &hits.table, 200, raster.rows(), 5, 50, kRatio, kCentre);
    EXPECT_EQ(count, 0);
    mask.at(2, 24) = 0;
    mask.at(3, 24) = 1;  // a neighbouring line
    scanRuns(0, count, &hits.table, 200, raster.rows(), 5, 50, kRatio, kCentre);
    EXPECT_EQ(count, 1);
    // A mask of another size than the picture is not applied rather than read out of bounds.
    OwnedRaster small(3, 30);
    for (int y = 0; y < 3; ++y) std::fill(small.rows()[y], small.rows()[y] + 30, uint8_t{1});
    setDecodedAreaMask(small.raster);
    scanRuns(0, count, &hits.table, 200, raster.rows(), 5, 50, kRatio, kCentre);
    EXPECT_EQ(count, 1);
}

TEST(FinderRunScan, FullTableKeepsTheFirstHitsInLineOrder) {
    EXPECT_EQ(finderMaxHits(24, 1000), 200);
    EXPECT_EQ(finderMaxHits(1000, 24), 200);
    EXPECT_EQ(finderMaxHits(1000, 1000), 16000);
    EXPECT_EQ(finderMaxHits(600, 800), 7680);

    OwnedRaster raster = lightRaster(12, 50);
    for (int y = 1; y < 12; ++y) drawRowPattern(raster, y, 2 + y);
    Hits hits(5);
    int count = 0;
    scanRuns(0, count, &hits.table, 5, raster.rows(), 12, 50, kRatio, kCentre);
    EXPECT_EQ(count, 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(hits.y[k], static_cast<float>(k + 1));
        EXPECT_EQ(hits.x[k], 15.5f + static_cast<float>(k + 1));
    }
}

// Rows and columns cross the centre block on 3m lines. A diagonal line keeps the 1:1:3:1:1
// proportions only while it passes within 0.85 module of the block's corner-to-corner line.
TEST(FinderRunScan, CleanPatternGivesThreeModulesOfStraightHits) {
    const int m = 8;
    cv::Mat picture(120, 120, CV_8UC1, cv::Scalar(255));
    drawFinder(picture, 30, 31, m);
    OwnedRaster binary = binaryOf(picture);
    Hits hits(200);
    int rows = 0, columns = 0, diagonals = 0, antiDiagonals = 0;
    scanRuns(0, rows, &hits.table, 200, binary.rows(), 120, 120, kRatio, kCentre);
    scanRunsCrossing(0, columns, &hits.table, 200, binary.rows(), 120, 120, kRatio, kCentre);
    scanRuns(1, diagonals, &hits.table, 200, binary.rows(), 120, 120, kRatio, kCentre);
    EXPECT_NEAR(hits.x[diagonals / 2], 30 + 3.5 * m - 0.5, 1.0);
    EXPECT_NEAR(hits.y[diagonals / 2], 31 + 3.5 * m - 0.5, 1.0);
    EXPECT_NEAR(hits.size[0], m * std::sqrt(2.0), 1e-4);
    scanRunsCrossing(1, antiDiagonals, &hits.table, 200, binary.rows(), 120, 120, kRatio, kCentre);
    EXPECT_NEAR(hits.x[antiDiagonals / 2], 30 + 3.5 * m - 0.5, 1.0);
    EXPECT_EQ(rows, 3 * m);
    EXPECT_EQ(columns, 3 * m);
    EXPECT_EQ(diagonals, 13);  // offsets -6 to 6 of 8-pixel modules: |k| < 0.85 m
    EXPECT_EQ(antiDiagonals, 13);
}

// The column and anti-diagonal scans copy their lines out of the picture in transposed tiles;
// on a transposed (or mirrored) picture they must find exactly what the row (or diagonal) scan
// finds on the original. Random blobs of several sizes give hits all over the picture,
// including its edges and corners.
TEST(FinderRunScan, EveryFamilyAgreesWithItsMirrorImage) {
    std::mt19937 random(8);
    for (const auto& [height, width] : std::vector<std::pair<int, int>>{{97, 131}, {64, 48}, {150, 37}, {33, 300}, {211, 200}}) {
        cv::Mat picture(height, width, CV_8UC1, cv::Scalar(255));
        // Patterns on a jittered grid of 24-pixel cells, some cut by the picture's edges.
        for (int y = -6; y < height; y += 24) {
            for (int x = -6; x < width; x += 24) {
                drawFinder(picture, x + static_cast<int>(random() % 4), y + static_cast<int>(random() % 4),
                           1 + static_cast<int>(random() % 3));
            }
        }
        for (int k = 0; k < height * width / 300; ++k) picture.at<uint8_t>(random() % height, random() % width) ^= 255;
        cv::Mat transposed, mirrored;
        cv::transpose(picture, transposed);
        cv::flip(picture, mirrored, 1);
        OwnedRaster original = binaryOf(picture), across = binaryOf(transposed), flipped = binaryOf(mirrored);
        const int capacity = 100000;
        Hits rows(capacity), columns(capacity), diagonals(capacity), antiDiagonals(capacity);
        int rowCount = 0, columnCount = 0, diagonalCount = 0, antiCount = 0;
        scanRuns(0, rowCount, &rows.table, capacity, across.rows(), width, height, kRatio, kCentre);
        scanRunsCrossing(0, columnCount, &columns.table, capacity, original.rows(), height, width, kRatio, kCentre);
        scanRuns(1, diagonalCount, &diagonals.table, capacity, original.rows(), height, width, kRatio, kCentre);
        scanRunsCrossing(1, antiCount, &antiDiagonals.table, capacity, flipped.rows(), height, width, kRatio, kCentre);
        EXPECT_GT(columnCount, 10);
        EXPECT_GT(diagonalCount, 5);
        ASSERT_EQ(rowCount, columnCount);
        for (int i = 0; i < columnCount; ++i) {
            ASSERT_EQ(columns.x[i], rows.y[i]) << i;
            ASSERT_EQ(columns.y[i], rows.x[i]) << i;
            ASSERT_EQ(columns.size[i], rows.size[i]) << i;
        }
        ASSERT_EQ(diagonalCount, antiCount);
        for (int i = 0; i < diagonalCount; ++i) {
            ASSERT_EQ(antiDiagonals.x[i], static_cast<float>(width - 1) - diagonals.x[i]) << i;
            ASSERT_EQ(antiDiagonals.y[i], diagonals.y[i]) << i;
            ASSERT_EQ(antiDiagonals.size[i], diagonals.size[i]) << i;
        }
    }
}

// A mask that covers nothing changes nothing, on any family.
TEST(FinderRunScan, EmptyMaskChangesNothing) {
    InputsGuard guard;
    std::mt19937 random(4);
    const int height = 90, width = 120;
    cv::Mat picture(height, width, CV_8UC1, cv::Scalar(255));
    for (int k = 0; k < 30; ++k) drawFinder(picture, static_cast<int>(random() % width) - 10, static_cast<int>(random() % height) - 10, 1 + static_cast<int>(random() % 4));
    OwnedRaster binary = binaryOf(picture), mask(height, width);
    for (int y = 0; y < height; ++y) std::fill(mask.rows()[y], mask.rows()[y] + width, uint8_t{0});
    for (int variant = 0; variant < 4; ++variant) {
        Hits plain(5000), masked(5000);
        int plainCount = 0, maskedCount = 0;
        auto scan = [&](Hits& hits, int& count) {
            if (variant < 2) scanRuns(variant, count, &hits.table, 5000, binary.rows(), height, width, kRatio, kCentre);
            else scanRunsCrossing(variant - 2, count, &hits.table, 5000, binary.rows(), height, width, kRatio, kCentre);
        };
        setDecodedAreaMask(nullptr);
        scan(plain, plainCount);
        setDecodedAreaMask(mask.raster);
        scan(masked, maskedCount);
        EXPECT_GT(plainCount, 5) << variant;
        ASSERT_EQ(plainCount, maskedCount) << variant;
        for (int i = 0; i < plainCount; ++i) ASSERT_EQ(plain.x[i], masked.x[i]) << variant << " " << i;
    }
}

TEST(FinderSearch, BlankPictureLeavesTheTableEmpty) {
    OwnedRaster binary = lightRaster(80, 90);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 90; ++x) binary.at(y, x) = static_cast<uint8_t>((x / 3 + y / 5) % 2);  // no 1:1:3:1:1
    }
    candidateTriple().scores = {5, 5, 5};
    ASSERT_EQ(search(binary), 0);
    for (const auto& row : finderTable()) {
        for (float v : row) ASSERT_EQ(v, 0.0f);
    }
    EXPECT_EQ(finderList().count, 0);
    EXPECT_EQ(candidateTriple().scores[0], 0.0f);
}

TEST(FinderSearch, UprightPatternIsCentredAndScoresAboutTwelve) {
    const int m = 6;
    cv::Mat picture(140, 160, CV_8UC1, cv::Scalar(255));
    drawFinder(picture, 40, 50, m);
    OwnedRaster binary = binaryOf(picture);
    search(binary);
    ASSERT_EQ(finderList().count, 1);
    const auto& t = finderTable();
    EXPECT_NEAR(t[kFinderX][0], 40 + 3.5 * m - 0.5, 0.5);
    EXPECT_NEAR(t[kFinderY][0], 50 + 3.5 * m - 0.5, 0.5);
    EXPECT_GT(t[kFinderScore][0], 7.0f);
    EXPECT_LT(t[kFinderScore][0], 14.0f);
    EXPECT_NEAR(t[kFinderRowSize][0], m, 0.5);
    EXPECT_NEAR(t[kFinderColumnSize][0], m, 0.5);
    EXPECT_NEAR(t[kFinderDiagonalSize][0], m * std::sqrt(2.0), 1.0);
    EXPECT_GT(t[kFinderAntiDiagonalCount][0], 0.0f);
    EXPECT_EQ(finderBackup()[0][0], t[kFinderX][0]);
    EXPECT_EQ(finderBackup()[2][0], t[kFinderScore][0]);

    // Rows and columns only: the two straight terms, about 6.
    search(binary, 1);
    EXPECT_GT(finderTable()[kFinderScore][0], 5.0f);
    EXPECT_LT(finderTable()[kFinderScore][0], 7.0f);
    EXPECT_EQ(finderTable()[kFinderDiagonalCount][0], 0.0f);
}

TEST(FinderSelection, BestTwelveInOrderAndScoresOfFourteenLeaveAGap) {
    ClusterStatistics statistics{};
    const float scores[kFinderClusters] = {3, 14, 9, 1.49f, 9, 0, 2, 2, 2, 2, 2, 2, 2, 2, 13.99f, 1.5f, 5, 7, 0, 20};
    for (int c = 0; c < kFinderClusters; ++c) {
        statistics[c][kFinderScore] = scores[c];
        statistics[c][kFinderX] = static_cast<float>(c);
    }
    FinderTable table{};
    selectFinderPatterns(statistics, table);
    // Ranks: 20 and 14 are out of range (columns 0 and 1 empty), then 13.99, 9 (cluster 2),
    // 9 (cluster 4), 7, 5, 3 and the first four 2s.
    const float expectedX[12] = {0, 0, 14, 2, 4, 17, 16, 0, 6, 7, 8, 9};
    const float expectedScore[12] = {0, 0, 13.99f, 9, 9, 7, 5, 3, 2, 2, 2, 2};
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(table[kFinderX][k], expectedX[k]) << k;
        EXPECT_EQ(table[kFinderScore][k], expectedScore[k]) << k;
    }
    EXPECT_EQ(statistics[2][kFinderScore], 0.0f);
    EXPECT_EQ(statistics[10][kFinderScore], 2.0f);
    FinderList list{};
    listFinderPatterns(12, table, list);
    ASSERT_EQ(list.count, 10);
    EXPECT_EQ(list.columns[0], 2);
}

TEST(FinderSearch, ExclusionBoxesDropPatternsInCallerCoordinates) {
    InputsGuard guard;
    cv::Mat picture(140, 260, CV_8UC1, cv::Scalar(255));
    drawFinder(picture, 20, 40, 6);
    drawFinder(picture, 160, 40, 6);
    OwnedRaster binary = binaryOf(picture);
    search(binary);
    ASSERT_EQ(finderList().count, 2);
    const float leftX = 20 + 21 - 0.5f, y = 40 + 21 - 0.5f;

    clearFinderExclusionBoxes();
    appendFinderExclusionBox(leftX + 2.0f, y - 2.0f);
    search(binary);
    ASSERT_EQ(finderList().count, 1);
    EXPECT_GT(finderTable()[kFinderX][0], 150.0f);

    // In an enlarged search the box is compared with the centre scaled back by 1/f.
    clearFinderExclusionBoxes();
    appendFinderExclusionBox(leftX / 2.0f, y / 2.0f);
    search(binary);
    EXPECT_EQ(finderList().count, 2);
    setEnlargement(true, 2.0f);
    search(binary);
    ASSERT_EQ(finderList().count, 1);
    EXPECT_GT(finderTable()[kFinderX][0], 150.0f);
}

TEST(FinderSearch, ExclusionTableCountStopsAtNinetyNine) {
    InputsGuard guard;
    clearFinderExclusionBoxes();
    for (int i = 0; i < 150; ++i) appendFinderExclusionBox(static_cast<float>(i), 0.0f);
    EXPECT_EQ(finderExclusionBoxCount(), 99);
    EXPECT_EQ(finderExclusionBox(98).x0, 95.0f);
    EXPECT_EQ(finderExclusionBox(98).y1, 3.0f);
    EXPECT_TRUE(isInFinderExclusionBox(101.0f, 3.0f));
    EXPECT_FALSE(isInFinderExclusionBox(102.0f, 3.0f));
    EXPECT_FALSE(isInFinderExclusionBox(98.0f, 3.5f));
}

// More separate patterns than clusters: small clusters are purged while the search runs, and
// whatever reaches the table is a real pattern.
TEST(FinderSearch, ManyPatternsPurgeSmallClustersAndKeepTwelve) {
    const int m = 4;
    cv::Mat picture(6 * 40 + 20, 5 * 40 + 20, CV_8UC1, cv::Scalar(255));
    std::vector<cv::Point2f> centres;
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 5; ++c) {
            drawFinder(picture, 12 + 40 * c, 12 + 40 * r, m);
            centres.emplace_back(12 + 40 * c + 3.5f * m - 0.5f, 12 + 40 * r + 3.5f * m - 0.5f);
        }
    }
    OwnedRaster binary = binaryOf(picture);
    search(binary);
    ASSERT_EQ(finderList().count, 12);
    for (int k = 0; k < 12; ++k) {
        const int column = finderList().columns[k];
        const float x = finderTable()[kFinderX][column], y = finderTable()[kFinderY][column];
        const bool real = std::any_of(centres.begin(), centres.end(), [&](const cv::Point2f& p) {
            return std::fabs(p.x - x) <= 0.5f && std::fabs(p.y - y) <= 0.5f;
        });
        EXPECT_TRUE(real) << x << "," << y;
        if (k > 0) {
            EXPECT_LE(finderTable()[kFinderScore][column], finderTable()[kFinderScore][finderList().columns[k - 1]]);
        }
    }
}

TEST(FinderList, ListsScoredColumnsOfTheFirstN) {
    FinderTable table{};
    table[kFinderScore][0] = 9.0f;
    table[kFinderScore][1] = 1.49f;
    table[kFinderScore][2] = 1.5f;
    table[kFinderScore][5] = 3.0f;
    FinderList list{};
    listFinderPatterns(12, table, list);
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.columns[0], 0);
    EXPECT_EQ(list.columns[1], 2);
    EXPECT_EQ(list.columns[2], 5);
    listFinderPatterns(4, table, list);
    EXPECT_EQ(list.count, 2);
}

// The bucketed pairing must give exactly what testing every pair in turn gives.
TEST(FinderPairing, MatchesTheExhaustivePairing) {
    std::mt19937 random(17);
    for (int trial = 0; trial < 12; ++trial) {
        const bool diagonal = trial % 2 == 1;
        const int countA = 100 + trial * 40, countB = 90 + trial * 35;
        Hits a(countA), b(countB);
        std::uniform_real_distribution<float> position(0.0f, 300.0f), size(1.0f, 12.0f);
        for (int i = 0; i < countA; ++i) a.x[i] = position(random), a.y[i] = position(random), a.size[i] = size(random);
        for (int j = 0; j < countB; ++j) b.x[j] = position(random), b.y[j] = position(random), b.size[j] = size(random);
        // Some exact neighbours so that many pairs sit on the tolerance edges.
        for (int j = 0; j < countB / 3; ++j) b.x[j] = a.x[j] + a.size[j] * 1.65f, b.y[j] = a.y[j];

        std::vector<float> px(countA + countB), py(countA + countB), ps(countA + countB);
        std::vector<int32_t> pf(countA + countB);
        PairedHits got{px.data(), py.data(), ps.data(), pf.data(), 0};
        pairFinderHits(a.table, countA, b.table, countB, diagonal, kPair, got);

        std::vector<std::array<float, 4>> expected;
        std::vector<bool> liveA(countA, true), liveB(countB, true);
        for (int i = 0; i < countA; ++i) {
            for (int j = 0; j < countB; ++j) {
                float ta = kPair * a.size[i], tb = kPair * b.size[j];
                if (diagonal) {
                    ta = static_cast<float>(static_cast<double>(kPair) * 0.707 * a.size[i]);
                    tb = static_cast<float>(static_cast<double>(kPair) * 0.707 * b.size[j]);
                }
                const float ratio = ta / tb;
                if (ratio < 0.4 || ratio > 2.5) continue;
                const float tx = diagonal ? std::max(ta, tb) : ta, ty = diagonal ? std::max(ta, tb) : tb;
                if (std::fabs(a.x[i] - b.x[j]) > tx || std::fabs(a.y[i] - b.y[j]) > ty) continue;
                if (liveA[i]) expected.push_back({a.x[i], a.y[i], a.size[i], diagonal ? 2.0f : 0.0f}), liveA[i] = false;
                if (liveB[j]) expected.push_back({b.x[j], b.y[j], b.size[j], diagonal ? 3.0f : 1.0f}), liveB[j] = false;
            }
        }
        ASSERT_EQ(got.count, static_cast<int>(expected.size())) << trial;
        for (int k = 0; k < got.count; ++k) {
            ASSERT_EQ(got.x[k], expected[k][0]) << trial << " " << k;
            ASSERT_EQ(got.y[k], expected[k][1]);
            ASSERT_EQ(got.size[k], expected[k][2]);
            ASSERT_EQ(static_cast<float>(got.family[k]), expected[k][3]);
        }
    }
}
