#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/line_runs.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using velmora::test::binaryOf;
using velmora::test::drawFinder;
using velmora::test::OwnedRaster;

namespace {

constexpr float kRatio = 2.2f, kCentre = 0.85f, kPair = 1.65f;

struct Hits {
    std::vector<float> x, y, size;
    HitTable table;
    explicit Hits(int capacity) : x(capacity), y(capacity), size(capacity), table{x.data(), y.data(), size.data()} {}
};

// A light picture; `row` draws 4 dark, 4 light, 12 dark, 4 light, 4 dark from column `from`.
OwnedRaster lightRaster(int height, int width) {
    OwnedRaster raster(height, width);
    for (int y = 0; y < height; ++y) std::fill(raster.rows()[y], raster.rows()[y] + width, uint8_t{1});
    return raster;
}
void drawRowPattern(OwnedRaster& raster, int y, int from = 10) {
    const int runs[5] = {4, 4, 12, 4, 4};
    for (int k = 0, x = from; k < 5; ++k) {
        for (int i = 0; i < runs[k]; ++i) raster.at(y, x++) = static_cast<uint8_t>(k % 2);
    }
}

int scan(int family, Hits& hits, const OwnedRaster& r, int capacity = 200) {
    int count = -1;
    if (family < 2) scanRuns(family, count, &hits.table, capacity, r.rows(), r.height(), r.width(), kRatio, kCentre);
    else scanRunsCrossing(family - 2, count, &hits.table, capacity, r.rows(), r.height(), r.width(), kRatio, kCentre);
    return count;
}

void search(const OwnedRaster& binary, int directions = 3) {
    findFinderPatterns(binary.rows(), binary.height(), binary.width(), kRatio, kCentre, kPair, directions);
}

struct InputsGuard {
    ~InputsGuard() {
        setDecodedAreaMask(nullptr);
        clearFinderExclusionBoxes();
        setEnlargement(false, 1.0f);
    }
};

}  // namespace

TEST(FinderRunScan, HitsSitInTheMiddleOfTheCentreRun) {
    OwnedRaster raster = lightRaster(5, 50);
    drawRowPattern(raster, 2);
    Hits hits(200);
    ASSERT_EQ(scan(0, hits, raster), 1);
    EXPECT_EQ(std::make_tuple(hits.x[0], hits.y[0], hits.size[0]), std::make_tuple(23.5f, 2.0f, 4.0f));
    int none = 0;
    EXPECT_EQ(scanRuns(0, none, nullptr, 200, raster.rows(), 5, 50, kRatio, kCentre), -1);
    // On row 0 the hit is written but not counted.
    OwnedRaster top = lightRaster(3, 50);
    drawRowPattern(top, 0);
    EXPECT_EQ(scan(0, hits, top), 0);
    EXPECT_EQ(hits.x[0], 23.5f);
    // The last dark run ends the line (columns 34 to 37 of 38): still evaluated.
    OwnedRaster end = lightRaster(3, 38);
    drawRowPattern(end, 1);
    EXPECT_EQ(scan(0, hits, end), 1);
    // A full table keeps the first maxHits - 1 hits in line order.
    EXPECT_EQ(finderMaxHits(24, 1000), 200);
    EXPECT_EQ(finderMaxHits(1000, 1000), 16000);
    OwnedRaster many = lightRaster(12, 50);
    for (int y = 1; y < 12; ++y) drawRowPattern(many, y, 2 + y);
    ASSERT_EQ(scan(0, hits, many, 5), 4);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(hits.x[k], 16.5f + static_cast<float>(k)) << k;
}

TEST(FinderRunScan, MaskedPixelsBreakLines) {
    InputsGuard guard;
    OwnedRaster raster = lightRaster(5, 50), mask(5, 50), small(3, 30);
    drawRowPattern(raster, 2);
    for (int y = 0; y < 5; ++y) std::fill(mask.rows()[y], mask.rows()[y] + 50, uint8_t{0});
    Hits hits(200);
    setDecodedAreaMask(mask.raster);
    EXPECT_EQ(scan(0, hits, raster), 1);
    mask.at(2, 24) = 1;  // inside the centre run
    // What the search worked out from the mask stands until the change is noted.
    EXPECT_EQ(scan(0, hits, raster), 1);
    noteDecodedAreaChanged();
    EXPECT_EQ(scan(0, hits, raster), 0);
    // A mask of another size than the picture is not applied rather than read out of bounds.
    setDecodedAreaMask(small.raster);
    EXPECT_EQ(scan(0, hits, raster), 1);
}

// Within a pass the search on the inverted picture scans the mask-crossing lines merged by the
// search before it, dark and light swapped: its hits in every family are those of a search that
// merges them afresh.
TEST(FinderRunScan, InvertedPictureScansAsAFreshMerge) {
    InputsGuard guard;
    std::mt19937 random(3);
    OwnedRaster raster = lightRaster(90, 110), mask(90, 110);
    for (int y = 0; y < 90; ++y) {
        for (int x = 0; x < 110; ++x) {
            raster.at(y, x) = static_cast<uint8_t>(random() % 5 != 0);
            mask.at(y, x) = static_cast<uint8_t>(y >= 30 && y < 55 && x >= 40 && x < 80);
        }
    }
    for (int y = 5; y < 85; y += 3) drawRowPattern(raster, y, (y * 7) % 70);
    setDecodedAreaMask(mask.raster);
    allowLineChangeRecording(true);
    std::vector<Hits> normal, replayed, fresh;
    for (int family = 0; family < 4; ++family) {
        normal.emplace_back(2000);
        scan(family, normal.back(), raster, 2000);
    }
    for (int y = 0; y < 90; ++y) {
        for (int x = 0; x < 110; ++x) raster.at(y, x) = static_cast<uint8_t>(1 - raster.at(y, x));
    }
    std::vector<int> replayedCounts, freshCounts;
    for (int family = 0; family < 4; ++family) {
        replayed.emplace_back(2000);
        replayedCounts.push_back(scan(family, replayed.back(), raster, 2000));
    }
    noteDecodedAreaChanged();
    for (int family = 0; family < 4; ++family) {
        fresh.emplace_back(2000);
        freshCounts.push_back(scan(family, fresh.back(), raster, 2000));
    }
    allowLineChangeRecording(false);
    EXPECT_EQ(replayedCounts, freshCounts);
    for (int family = 0; family < 4; ++family) {
        const auto n = static_cast<std::size_t>(freshCounts[static_cast<std::size_t>(family)]);
        EXPECT_GT(n, 0u) << family;
        const Hits& a = replayed[static_cast<std::size_t>(family)];
        const Hits& b = fresh[static_cast<std::size_t>(family)];
        for (std::size_t k = 0; k < n; ++k) {
            ASSERT_EQ(std::make_tuple(a.x[k], a.y[k], a.size[k]), std::make_tuple(b.x[k], b.y[k], b.size[k]))
                << "family " << family << " hit " << k;
        }
    }
}

namespace {

// The 1:1:3:1:1 walk of one row sample by sample, as the search describes it, with its float
// tests: the oracle for the scanner, which walks from one colour change to the next with the
// tests turned into integer ranges.
std::vector<std::tuple<float, float, float>> walkRow(const uint8_t* line, int length, int y,
                                                    const uint8_t* masked = nullptr) {
    const float low = 1.0f / kRatio, sideMax = (kRatio + 1.0f) / 2.0f, sideMin = 1.0f / sideMax;
    const float centreMin = 3.0f - kCentre, centreMax = 3.0f + kCentre;
    auto neighbours = [&](int prev, int run) {
        const float q = static_cast<float>(prev) / static_cast<float>(run);
        return low < q && q < kRatio;
    };
    auto side = [&](int run, float m) {
        const float q = static_cast<float>(run) / m;
        return sideMin < q && q < sideMax;
    };
    std::vector<std::tuple<float, float, float>> hits;
    int value = line[0], run = 0, prev = 0, state = 0, start = 0, end = 0;
    float m = 0.0f;
    auto evaluate = [&]() {
        if (side(run, m) && neighbours(prev, run)) hits.emplace_back((start + end) / 2.0f - 0.5f, static_cast<float>(y), m);
        state = 0;
    };
    auto restart = [&](int i, int v) {
        if (v == 0 && neighbours(prev, run)) {
            state = 1;
            m = static_cast<float>(prev + run) / 2.0f;
            start = i;
        } else {
            state = 0;
        }
    };
    for (int i = 0; i < length; ++i) {
        const int v = line[i];
        if (masked != nullptr && masked[i] != 0) {
            if (state < 3) {
                state = 0;
                run = prev = 0;
            } else {
                evaluate();
                prev = run;
                run = 1;
            }
            continue;
        }
        if (v == value) {
            ++run;
            if (state == 3 && i == length - 1) evaluate();
            continue;
        }
        if (state == 0) {
            restart(i, v);
        } else if (state == 1) {
            const float r = static_cast<float>(run);
            if (centreMin * m < r && r < centreMax * m) {
                state = 2;
                end = i;
            } else {
                restart(i, v);
            }
        } else if (state == 2) {
            if (side(run, m)) state = 3;
            else restart(i, v);
        } else {
            evaluate();
        }
        prev = run;
        run = 1;
        value = v;
    }
    return hits;
}

// The row scan of the picture against the walk of each row, hit by hit (a hit on row or column 0
// is not counted).
testing::AssertionResult rowScanMatchesWalk(const OwnedRaster& raster, const OwnedRaster& mask) {
    const int capacity = 4000;
    Hits hits(capacity);
    const int count = scan(0, hits, raster, capacity);
    std::vector<std::tuple<float, float, float>> expected;
    for (int y = 0; y < raster.height(); ++y) {
        for (const auto& hit : walkRow(raster.rows()[y], raster.width(), y, mask.rows()[y])) {
            if (std::get<0>(hit) != 0.0f && std::get<1>(hit) != 0.0f) expected.push_back(hit);
        }
    }
    if (count != static_cast<int>(expected.size())) {
        return testing::AssertionFailure() << count << " hits, the walk finds " << expected.size();
    }
    for (int k = 0; k < count; ++k) {
        if (std::make_tuple(hits.x[k], hits.y[k], hits.size[k]) != expected[static_cast<std::size_t>(k)]) {
            return testing::AssertionFailure() << "hit " << k << " differs";
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace

// Random rows of runs around finder proportions, at module sizes from 1 to 60 samples, so that
// runs fall on both sides of every ratio and size bound; half of them partly masked.
TEST(FinderRunScan, RunByRunWalkMatchesTheSampleBySampleWalk) {
    std::mt19937 random(21);
    for (int trial = 0; trial < 300; ++trial) {
        const int width = 40 + static_cast<int>(random() % 1500);
        const float module = 1.0f + static_cast<float>(random() % 60);
        OwnedRaster raster(7, width);
        for (int y = 0; y < 7; ++y) {
            uint8_t colour = static_cast<uint8_t>(random() % 2);
            for (int x = 0; x < width;) {
                const float share = (random() % 3 == 0 ? 3.0f : 1.0f) * (0.5f + static_cast<float>(random() % 100) / 100.0f);
                const int run = std::max(1, static_cast<int>(module * share));
                for (int k = 0; k < run && x < width; ++k) raster.at(y, x++) = colour;
                colour ^= 1;
            }
        }
        // Every other trial masks a few stretches of the rows, from one sample to a module's worth.
        InputsGuard guard;
        OwnedRaster mask(7, width);
        for (int y = 0; y < 7; ++y) std::fill(mask.rows()[y], mask.rows()[y] + width, uint8_t{0});
        if (trial % 2 == 1) {
            for (int cut = 0; cut < 12; ++cut) {
                const int y = static_cast<int>(random() % 7), x = static_cast<int>(random() % static_cast<unsigned>(width));
                const int span = 1 + static_cast<int>(random() % static_cast<unsigned>(module + 1.0f));
                for (int k = x; k < std::min(width, x + span); ++k) mask.at(y, k) = 1;
            }
            setDecodedAreaMask(mask.raster);
        }
        ASSERT_TRUE(rowScanMatchesWalk(raster, mask)) << "trial " << trial;
    }
}

// Short rows of nothing but finder proportions at 1 to 4 samples per module, cut anywhere, with
// masks of one to three samples anywhere: patterns end at the line's end and masks fall inside
// and right after their last dark run.
TEST(FinderRunScan, RunByRunWalkMatchesAtLineEndsAndMaskEdges) {
    {
        // A mask of two samples right after the first sample of a pattern's last dark run ends
        // that pattern and drops both runs: the three dark samples after it and the light four
        // open the next pattern, with m = 3.5.
        InputsGuard guard;
        const int runs[] = {10, 4, 4, 12, 4, 6, 4, 12, 4, 4, 10};
        OwnedRaster raster = lightRaster(3, 74), mask(3, 74);
        for (int y = 0; y < 3; ++y) std::fill(mask.rows()[y], mask.rows()[y] + 74, uint8_t{0});
        for (int k = 0, x = 0; k < 11; ++k) {
            for (int i = 0; i < runs[k]; ++i) raster.at(1, x++) = static_cast<uint8_t>(k % 2 == 0);
        }
        mask.at(1, 35) = mask.at(1, 36) = 1;
        setDecodedAreaMask(mask.raster);
        Hits hits(200);
        ASSERT_EQ(scan(0, hits, raster), 1);
        EXPECT_EQ(std::make_tuple(hits.x[0], hits.y[0], hits.size[0]), std::make_tuple(49.5f, 1.0f, 3.5f));
    }
    std::mt19937 random(34);
    const int proportions[5] = {1, 1, 3, 1, 1};
    for (int trial = 0; trial < 3000; ++trial) {
        const int module = 1 + static_cast<int>(random() % 4);
        std::vector<uint8_t> row;
        uint8_t colour = 1;
        for (int k = 0; row.size() < 80; ++k) {
            const int jitter = static_cast<int>(random() % 3) - 1;
            const int run = std::max(1, proportions[k % 5] * module + (random() % 3 == 0 ? jitter : 0));
            row.insert(row.end(), static_cast<std::size_t>(run), colour);
            colour ^= 1;
        }
        const int width = 20 + static_cast<int>(random() % 60);
        OwnedRaster raster(3, width), mask(3, width);
        for (int y = 0; y < 3; ++y) {
            std::copy(row.begin(), row.begin() + width, raster.rows()[y]);
            std::fill(mask.rows()[y], mask.rows()[y] + width, uint8_t{0});
        }
        InputsGuard guard;
        if (trial % 3 != 0) {
            for (int cut = 0; cut < 1 + trial % 3; ++cut) {
                const int x = static_cast<int>(random() % static_cast<unsigned>(width));
                for (int k = x; k < std::min(width, x + 1 + static_cast<int>(random() % 3)); ++k) mask.at(1, k) = 1;
            }
            setDecodedAreaMask(mask.raster);
        }
        ASSERT_TRUE(rowScanMatchesWalk(raster, mask)) << "trial " << trial;
    }
}

// Rows and columns cross the centre block on 3m lines; a diagonal line keeps the 1:1:3:1:1
// proportions only within 0.85 module of the block's corner-to-corner line.
TEST(FinderRunScan, CleanPatternHitCountsPerFamily) {
    cv::Mat picture(120, 120, CV_8UC1, cv::Scalar(255));
    drawFinder(picture, 30, 31, 8);
    OwnedRaster binary = binaryOf(picture);
    Hits hits(200);
    const int expected[4] = {24, 13, 24, 13};  // rows, diagonals, columns, anti-diagonals
    for (int family = 0; family < 4; ++family) {
        const int count = scan(family, hits, binary);
        EXPECT_EQ(count, expected[family]) << family;
        EXPECT_NEAR(hits.x[count / 2], 30 + 27.5, 1.0) << family;
        EXPECT_NEAR(hits.y[count / 2], 31 + 27.5, 1.0) << family;
    }
    EXPECT_NEAR(hits.size[0], 8 * std::sqrt(2.0), 1e-4);
}

namespace {

// The hits of one scan and their count.
struct ScannedHits {
    const Hits& hits;
    int count;
};

// The rows of a transposed picture give the columns of the original with x and y swapped, and
// the anti-diagonals of a mirrored picture give its diagonals with x mirrored, hit for hit.
testing::AssertionResult mirrorImagesAgree(ScannedHits rows, ScannedHits columns, ScannedHits diagonals,
                                           ScannedHits antiDiagonals, int width) {
    if (rows.count != columns.count) {
        return testing::AssertionFailure() << rows.count << " row hits, " << columns.count << " column hits";
    }
    for (int i = 0; i < columns.count; ++i) {
        if (std::make_pair(columns.hits.x[i], columns.hits.y[i]) != std::make_pair(rows.hits.y[i], rows.hits.x[i])) {
            return testing::AssertionFailure() << "column hit " << i << " differs";
        }
    }
    if (diagonals.count != antiDiagonals.count) {
        return testing::AssertionFailure() << diagonals.count << " diagonal hits, " << antiDiagonals.count
                                           << " anti-diagonal hits";
    }
    for (int i = 0; i < diagonals.count; ++i) {
        if (std::make_pair(antiDiagonals.hits.x[i], antiDiagonals.hits.y[i]) !=
            std::make_pair(width - 1 - diagonals.hits.x[i], diagonals.hits.y[i])) {
            return testing::AssertionFailure() << "diagonal hit " << i << " differs";
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace

// The columns and anti-diagonals are copied out of the picture in transposed tiles: on a
// transposed (or mirrored) picture they must give exactly what the row (or diagonal) scan gives
// on the original, and an all-clear mask must change nothing.
TEST(FinderRunScan, EveryFamilyAgreesWithItsMirrorImage) {
    InputsGuard guard;
    std::mt19937 random(8);
    for (const auto& [height, width] : std::vector<std::pair<int, int>>{{97, 131}, {150, 37}, {33, 300}, {211, 200}}) {
        cv::Mat picture(height, width, CV_8UC1, cv::Scalar(255)), transposed, mirrored;
        for (int y = -6; y < height; y += 24) {
            for (int x = -6; x < width; x += 24) drawFinder(picture, x + int(random() % 4), y + int(random() % 4), 1 + int(random() % 3));
        }
        for (int k = 0; k < height * width / 300; ++k) picture.at<uint8_t>(random() % height, random() % width) ^= 255;
        cv::transpose(picture, transposed);
        cv::flip(picture, mirrored, 1);
        OwnedRaster original = binaryOf(picture), across = binaryOf(transposed), flipped = binaryOf(mirrored);
        OwnedRaster clear(height, width);
        for (int y = 0; y < height; ++y) std::fill(clear.rows()[y], clear.rows()[y] + width, uint8_t{0});
        Hits rows(9999), columns(9999), diagonals(9999), antiDiagonals(9999), masked(9999);
        const int rowCount = scan(0, rows, across, 9999), columnCount = scan(2, columns, original, 9999);
        const int diagonalCount = scan(1, diagonals, original, 9999), antiCount = scan(3, antiDiagonals, flipped, 9999);
        EXPECT_GT(columnCount, 10);
        EXPECT_GT(diagonalCount, 5);
        ASSERT_TRUE(mirrorImagesAgree({rows, rowCount}, {columns, columnCount}, {diagonals, diagonalCount},
                                      {antiDiagonals, antiCount}, width));
        setDecodedAreaMask(clear.raster);
        ASSERT_EQ(scan(3, masked, flipped, 9999), antiCount);
        for (int i = 0; i < antiCount; ++i) ASSERT_EQ(masked.x[i], antiDiagonals.x[i]);
        setDecodedAreaMask(nullptr);
    }
}

// Lines that miss the mask's covered box are scanned as unmasked lines, the others merge the
// mask: with a small covered block, columns must still give what the rows of the transposed
// picture and mask give, and diagonals what the anti-diagonals of the mirrored ones give.
TEST(FinderRunScan, MaskedFamiliesAgreeWithTheirMirrorImages) {
    InputsGuard guard;
    std::mt19937 random(12);
    for (const auto& [height, width] : std::vector<std::pair<int, int>>{{97, 131}, {150, 37}, {211, 200}}) {
        // Finders of one-sample modules packed edge to edge, so that a masked sample anywhere
        // cuts patterns along every family.
        cv::Mat picture(height, width, CV_8UC1, cv::Scalar(255));
        for (int y = -3; y < height; y += 8) {
            for (int x = -3; x < width; x += 8) drawFinder(picture, x + int(random() % 2), y + int(random() % 2), 1);
        }
        // Blocks of different places and shapes: the lines that just miss or just meet their box
        // differ from block to block.
        std::vector<cv::Rect> blocks = {cv::Rect(17, 17, 12, 12), cv::Rect(width - 9, 3, 5, height / 2),
                                        cv::Rect(2, height - 11, width / 3, 4)};
        for (int k = 0; k < 16; ++k) {
            const int w = 1 + static_cast<int>(random() % 20), h = 1 + static_cast<int>(random() % 20);
            blocks.emplace_back(static_cast<int>(random() % static_cast<unsigned>(width - w)),
                                static_cast<int>(random() % static_cast<unsigned>(height - h)), w, h);
        }
        for (const cv::Rect& block : blocks) {
            cv::Mat cover(height, width, CV_8UC1, cv::Scalar(0)), pictureT, coverT, pictureM, coverM;
            cover(block) = 1;
            cv::transpose(picture, pictureT);
            cv::transpose(cover, coverT);
            cv::flip(picture, pictureM, 1);
            cv::flip(cover, coverM, 1);
            auto maskOf = [](const cv::Mat& m) {
                OwnedRaster r(m.rows, m.cols);
                for (int y = 0; y < m.rows; ++y) std::copy(m.ptr(y), m.ptr(y) + m.cols, r.rows()[y]);
                return r;
            };
            OwnedRaster original = binaryOf(picture), across = binaryOf(pictureT), flipped = binaryOf(pictureM);
            OwnedRaster mask = maskOf(cover), maskT = maskOf(coverT), maskM = maskOf(coverM);
            Hits rows(9999), columns(9999), diagonals(9999), antiDiagonals(9999), unmasked(9999);
            setDecodedAreaMask(maskT.raster);
            const int rowCount = scan(0, rows, across, 9999);
            setDecodedAreaMask(mask.raster);
            const int columnCount = scan(2, columns, original, 9999), diagonalCount = scan(1, diagonals, original, 9999);
            setDecodedAreaMask(maskM.raster);
            const int antiCount = scan(3, antiDiagonals, flipped, 9999);
            setDecodedAreaMask(nullptr);
            if (block == blocks.front()) {
                const int unmaskedCount = scan(2, unmasked, original, 9999);
                bool hidden = unmaskedCount != columnCount;
                for (int i = 0; i < std::min(unmaskedCount, columnCount) && !hidden; ++i) {
                    hidden = unmasked.x[i] != columns.x[i] || unmasked.y[i] != columns.y[i];
                }
                EXPECT_TRUE(hidden) << "the covered block hides or cuts some hits";
            }
            EXPECT_GT(columnCount, 10);
            ASSERT_TRUE(mirrorImagesAgree({rows, rowCount}, {columns, columnCount}, {diagonals, diagonalCount},
                                          {antiDiagonals, antiCount}, width));
        }
    }
}

// The pairing takes shortcuts (buckets for scattered hits, one stretch of B for hits that come
// line by line, one size judgement when each table holds one size): it must give exactly what
// testing every pair in turn gives.
TEST(FinderPairing, MatchesTheExhaustivePairing) {
    std::mt19937 random(17);
    for (int trial = 0; trial < 32; ++trial) {
        const bool diagonal = trial % 2 == 1;
        const int layout = trial / 8;  // 0 scattered, 1 B in line order, 2 and 3 also one size per table
        const int countA = 100 + (trial % 8) * 60, countB = 90 + (trial % 8) * 50;
        Hits a(countA), b(countB);
        std::uniform_real_distribution<float> position(0.0f, 300.0f), size(1.0f, 12.0f);
        for (int i = 0; i < countA; ++i) a.x[i] = position(random), a.y[i] = position(random), a.size[i] = size(random);
        for (int j = 0; j < countB; ++j) b.x[j] = position(random), b.y[j] = position(random), b.size[j] = size(random);
        for (int j = 0; j < countB / 3; ++j) b.x[j] = a.x[j] + a.size[j] * 1.65f, b.y[j] = a.y[j];  // on the edge
        if (layout >= 2) {
            // One size per table; in layout 3 the two sizes lie more than 2.5 apart.
            std::fill(a.size.begin(), a.size.end(), 6.0f);
            std::fill(b.size.begin(), b.size.end(), layout == 2 ? 4.0f : 2.3f);
        }
        if (layout >= 1) {
            // Columns (or anti-diagonals) come in line order: x (or x + y) never falls.
            std::vector<int> order(countB);
            for (int j = 0; j < countB; ++j) order[j] = j;
            auto key = [&](int j) { return diagonal ? b.x[j] + b.y[j] : b.x[j]; };
            std::stable_sort(order.begin(), order.end(), [&](int p, int q) { return key(p) < key(q); });
            Hits sorted(countB);
            for (int j = 0; j < countB; ++j) sorted.x[j] = b.x[order[j]], sorted.y[j] = b.y[order[j]], sorted.size[j] = b.size[order[j]];
            b.x = sorted.x, b.y = sorted.y, b.size = sorted.size;
            b.table = {b.x.data(), b.y.data(), b.size.data()};
        }
        std::vector<float> px(countA + countB), py(countA + countB), ps(countA + countB);
        std::vector<int32_t> pf(countA + countB);
        PairedHits got{px.data(), py.data(), ps.data(), pf.data(), 0};
        pairFinderHits(a.table, countA, b.table, countB, diagonal, kPair, got);

        std::vector<std::pair<float, int>> expected;  // x and family, in emission order
        std::vector<bool> liveA(countA, true), liveB(countB, true);
        for (int i = 0; i < countA; ++i) {
            for (int j = 0; j < countB; ++j) {
                const double f = diagonal ? 0.707 * kPair : kPair;
                const float ta = diagonal ? float(f * a.size[i]) : kPair * a.size[i];
                const float tb = diagonal ? float(f * b.size[j]) : kPair * b.size[j];
                if (ta / tb < 0.4 || ta / tb > 2.5) continue;
                const float tx = diagonal ? std::max(ta, tb) : ta, ty = diagonal ? std::max(ta, tb) : tb;
                if (std::fabs(a.x[i] - b.x[j]) > tx || std::fabs(a.y[i] - b.y[j]) > ty) continue;
                if (liveA[i]) expected.emplace_back(a.x[i], diagonal ? 2 : 0), liveA[i] = false;
                if (liveB[j]) expected.emplace_back(b.x[j], diagonal ? 3 : 1), liveB[j] = false;
            }
        }
        ASSERT_EQ(got.count, static_cast<int>(expected.size())) << trial;
        for (int k = 0; k < got.count; ++k) ASSERT_EQ(std::make_pair(got.x[k], int(got.family[k])), expected[k]) << trial << " " << k;
    }
}

TEST(FinderSearch, UprightPatternIsCentredScoredAndBackedUp) {
    OwnedRaster blank = lightRaster(80, 90);
    candidateTriple().scores = {5, 5, 5};
    search(blank);
    EXPECT_EQ(finderList().count, 0);
    EXPECT_EQ(finderTable()[kFinderX][0], 0.0f);
    EXPECT_EQ(candidateTriple().scores[0], 0.0f);

    cv::Mat picture(140, 160, CV_8UC1, cv::Scalar(255));
    drawFinder(picture, 40, 50, 6);
    OwnedRaster binary = binaryOf(picture);
    search(binary);
    ASSERT_EQ(finderList().count, 1);
    const auto& t = finderTable();
    EXPECT_NEAR(t[kFinderX][0], 40 + 20.5, 0.5);
    EXPECT_NEAR(t[kFinderY][0], 50 + 20.5, 0.5);
    EXPECT_GT(t[kFinderScore][0], 7.0f);  // 3 + 3 from rows and columns, about 1.2 per diagonal family
    EXPECT_NEAR(t[kFinderRowSize][0], 6, 0.5);
    EXPECT_NEAR(t[kFinderDiagonalSize][0], 6 * std::sqrt(2.0), 1.0);
    EXPECT_EQ(finderBackup()[2][0], t[kFinderScore][0]);
    search(binary, 1);
    EXPECT_NEAR(finderTable()[kFinderScore][0], 6.0f, 1.0f);
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
    // Ranks: 20 and 14 are out (columns 0 and 1 stay empty), then 13.99, 9 (cluster 2), 9 (4),
    // 7, 5, 3 and the first four 2s.
    const float expectedX[12] = {0, 0, 14, 2, 4, 17, 16, 0, 6, 7, 8, 9};
    const float expectedScore[12] = {0, 0, 13.99f, 9, 9, 7, 5, 3, 2, 2, 2, 2};
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(table[kFinderX][k], expectedX[k]) << k;
        EXPECT_EQ(table[kFinderScore][k], expectedScore[k]) << k;
    }
    FinderList list{};
    listFinderPatterns(12, table, list);
    EXPECT_EQ(list.count, 10);
    EXPECT_EQ(list.columns[0], 2);
    listFinderPatterns(4, table, list);
    EXPECT_EQ(list.count, 2);
}

TEST(FinderSearch, ExclusionBoxesDropPatternsInCallerCoordinates) {
    InputsGuard guard;
    cv::Mat picture(140, 260, CV_8UC1, cv::Scalar(255));
    drawFinder(picture, 20, 40, 6);
    drawFinder(picture, 160, 40, 6);
    OwnedRaster binary = binaryOf(picture);
    const float leftX = 40.5f, y = 60.5f;
    appendFinderExclusionBox(leftX + 2.0f, y - 2.0f);
    search(binary);
    ASSERT_EQ(finderList().count, 1);
    EXPECT_GT(finderTable()[kFinderX][0], 150.0f);
    // In an enlarged search the centre is scaled back by 1/f before the comparison.
    clearFinderExclusionBoxes();
    appendFinderExclusionBox(leftX / 2.0f, y / 2.0f);
    search(binary);
    EXPECT_EQ(finderList().count, 2);
    setEnlargement(true, 2.0f);
    search(binary);
    EXPECT_EQ(finderList().count, 1);
    // The count stops one below the table; later boxes only overwrite the spare slot.
    clearFinderExclusionBoxes();
    const int full = kMaxExclusionBoxes - 1;
    for (int i = 0; i < full + 50; ++i) appendFinderExclusionBox(static_cast<float>(i), 0.0f);
    EXPECT_EQ(finderExclusionBoxCount(), full);
    EXPECT_TRUE(isInFinderExclusionBox(static_cast<float>(full + 2), 3.0f));
    EXPECT_FALSE(isInFinderExclusionBox(static_cast<float>(full + 3), 3.0f));
}

// Thirty separate patterns, more than there are clusters: small clusters are purged while the
// search runs, and what reaches the table are real patterns in descending order of score.
TEST(FinderSearch, ManyPatternsPurgeSmallClustersAndKeepTwelve) {
    cv::Mat picture(260, 220, CV_8UC1, cv::Scalar(255));
    std::vector<cv::Point2f> centres;
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 5; ++c) {
            drawFinder(picture, 12 + 40 * c, 12 + 40 * r, 4);
            centres.emplace_back(12 + 40 * c + 13.5f, 12 + 40 * r + 13.5f);
        }
    }
    search(binaryOf(picture));
    ASSERT_EQ(finderList().count, 12);
    for (int k = 0; k < 12; ++k) {
        const float x = finderTable()[kFinderX][k], y = finderTable()[kFinderY][k];
        EXPECT_TRUE(std::any_of(centres.begin(), centres.end(), [&](const cv::Point2f& p) {
            return std::fabs(p.x - x) <= 0.5f && std::fabs(p.y - y) <= 0.5f;
        })) << x << "," << y;
        if (k > 0) {
            EXPECT_LE(finderTable()[kFinderScore][k], finderTable()[kFinderScore][k - 1]);
        }
    }
}

// A picture with a side above 65535 samples has no record of its line changes: its lines are read
// from the pixels. Its left end must give what the same left end, cut off as a picture of its
// own (which is recorded), gives, with the mask and without.
TEST(FinderRunScan, PicturesTooWideToRecordScanLikeRecordedOnes) {
    InputsGuard guard;
    std::mt19937 random(14);
    const int height = 40, wide = 65600, cut = 3000, reach = cut - 2 * height;
    cv::Mat picture(height, wide, CV_8UC1, cv::Scalar(255));
    for (int x = -3; x < wide; x += 9) drawFinder(picture, x + int(random() % 3), int(random() % 30) - 3, 1 + int(random() % 2));
    cv::Mat cover(height, wide, CV_8UC1, cv::Scalar(0));
    for (int k = 0; k < 40; ++k) cover(cv::Rect(static_cast<int>(random() % (cut - 30)), static_cast<int>(random() % 30), 1 + int(random() % 25), 1 + int(random() % 10))) = 1;
    const cv::Mat left = picture(cv::Rect(0, 0, cut, height)).clone(), leftCover = cover(cv::Rect(0, 0, cut, height)).clone();
    auto rasterOf = [](const cv::Mat& m) {
        OwnedRaster r(m.rows, m.cols);
        for (int y = 0; y < m.rows; ++y) std::copy(m.ptr(y), m.ptr(y) + m.cols, r.rows()[y]);
        return r;
    };
    OwnedRaster whole = binaryOf(picture), part = binaryOf(left), mask = rasterOf(cover), partMask = rasterOf(leftCover);
    // The hits of a family that lie well inside the left end, in the order found.
    auto hitsWithin = [&](int family, const OwnedRaster& raster) {
        Hits hits(200000);
        const int count = scan(family, hits, raster, 200000);
        std::vector<std::tuple<float, float, float>> kept;
        for (int i = 0; i < count; ++i) {
            if (hits.x[i] < reach) kept.emplace_back(hits.x[i], hits.y[i], hits.size[i]);
        }
        return kept;
    };
    for (bool masked : {false, true}) {
        for (int family = 0; family < 4; ++family) {
            setDecodedAreaMask(masked ? mask.raster : nullptr);
            const auto fromPixels = hitsWithin(family, whole);
            setDecodedAreaMask(masked ? partMask.raster : nullptr);
            const auto fromRecord = hitsWithin(family, part);
            EXPECT_GT(fromRecord.size(), 100u) << family;
            EXPECT_EQ(fromPixels, fromRecord) << "family " << family << (masked ? " masked" : "");
        }
    }
}
