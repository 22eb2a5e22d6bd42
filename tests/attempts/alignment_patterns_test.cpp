// Locating alignment patterns around a framed candidate: the coordinates of each version, the
// predictions cell by cell, the window search with its run scanner and exclusion boxes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/line_runs.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/geometry/version_information.h"
#include "tests/attempts/attempt_pictures.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// Runs of the given lengths, starting light (1), as one line of samples.
std::vector<uint8_t> lineOfRuns(std::initializer_list<int> runs) {
    std::vector<uint8_t> line;
    uint8_t value = 1;
    for (int run : runs) {
        line.insert(line.end(), static_cast<std::size_t>(run), value);
        value = static_cast<uint8_t>(1 - value);
    }
    return line;
}

float distanceTo(const AlignmentCell& cell, cv::Point2f p) { return std::hypot(cell.x - p.x, cell.y - p.y); }

// The picture point of module coordinates (x, y) of the frame; a mirror image is framed
// transposed.
cv::Point2f framePoint(const PlacedSymbol& placed, float x, float y) {
    return placed.mirrored ? placed.moduleToPicture(y, x) : placed.moduleToPicture(x, y);
}

// Every alignment cell found within tol pixels of its true centre; the finder cells hold score 0
// and a position three modules in from their finder.
testing::AssertionResult gridMatchesSymbol(const PlacedSymbol& placed, float tol) {
    const int n = alignmentPositionCount();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const PointF m = alignmentCoordinates()[i][j];
            const AlignmentCell& cell = alignmentGrid()[i][j];
            const bool finderCell = (i == 0 && j == 0) || (i == 0 && j == n - 1) || (i == n - 1 && j == 0);
            const float error = distanceTo(cell, framePoint(placed, m.x, m.y));
            if (finderCell && (cell.score != 0.0f || error > placed.scale)) {
                return testing::AssertionFailure() << "finder cell " << i << ", " << j << " score " << cell.score
                                                   << " off by " << error;
            }
            if (!finderCell && (cell.score < kAlignmentFoundScore || error > tol)) {
                return testing::AssertionFailure() << "cell " << i << ", " << j << " score " << cell.score
                                                   << " off by " << error;
            }
        }
    }
    return testing::AssertionSuccess();
}

TEST(AlignmentPatternsAreFound, EveryPredictionOrderOnTurnedSymbols) {
    constexpr std::array<std::array<int, 3>, 3> kCases = {{{7, 5, 20}, {14, 4, 200}, {27, 4, 95}}};
    for (const auto& [v, scale, degrees] : kCases) {
        const PlacedSymbol placed = placeRotated(encodeSymbol(textFor(v), v), scale, degrees, v == 14);
        OwnedRaster binary = binarise(placed.grey);
        RequestSetUp request(binary.height(), binary.width());
        ASSERT_TRUE(frameTrueTriple(binary, placed)) << "version " << v;
        setAlignmentCoordinates(v);
        for (int match = 0; match <= 3; ++match) {
            setVersionBlockMatch(match);
            for (auto& row : alignmentGrid()) {
                for (auto& cell : row) cell = {0.0f, 0.0f, 0.0f};
            }
            locateAlignmentPatterns(v, binary.rows(), binary.height(), binary.width(), 3);
            EXPECT_TRUE(gridMatchesSymbol(placed, 1.0f)) << "version " << v << " match code " << match;
            EXPECT_GE(alignmentFoundCount(), 1);
        }
    }
}

// The grid cells and found count of one alignment location, for comparing two runs exactly.
std::vector<float> locatedGrid(int version, OwnedRaster& binary) {
    for (auto& row : alignmentGrid()) {
        for (auto& cell : row) cell = {0.0f, 0.0f, 0.0f};
    }
    locateAlignmentPatterns(version, binary.rows(), binary.height(), binary.width(), 3);
    std::vector<float> out{static_cast<float>(alignmentFoundCount())};
    for (const auto& row : alignmentGrid()) {
        for (const auto& cell : row) out.insert(out.end(), {cell.x, cell.y, cell.score});
    }
    return out;
}

// In a decode pass the windows are sliced out of the line changes the finder search recorded;
// elsewhere they are read from the pixels. Both must find exactly the same, on the picture and
// on its inverse (the record is kept through the inversion).
TEST(AlignmentPatternsAreFound, RecordedLineChangesGiveWhatThePixelsGive) {
    struct Case {
        int version, scale;
        double degrees;
        bool perspective;
    };
    for (const Case& c : {Case{7, 5, 20.0, false}, Case{14, 4, 200.0, false}, Case{27, 3, 95.0, false},
                          Case{10, 5, 0.0, true}, Case{32, 4, 0.0, true}}) {
        const EncodedSymbol symbol = encodeSymbol(textFor(c.version), c.version);
        const PlacedSymbol placed =
            c.perspective ? placeInPerspective(symbol, c.scale, {0.0f, 0.02f, 0.0f, 0.03f, 0.01f, 0.03f, 0.0f, 0.0f})
                          : placeRotated(symbol, c.scale, c.degrees, c.version == 14);
        OwnedRaster binary = binarise(placed.grey);
        RequestSetUp request(binary.height(), binary.width());
        allowLineChangeRecording(true);
        ASSERT_TRUE(frameTrueTriple(binary, placed)) << "version " << c.version;
        ASSERT_TRUE(lineChangesReady(binary.rows(), binary.height(), binary.width()));
        setAlignmentCoordinates(c.version);
        setVersionBlockMatch(c.version >= 7 ? 3 : 0);
        const std::vector<float> recorded = locatedGrid(c.version, binary);
        for (int y = 0; y < binary.height(); ++y) {
            for (int x = 0; x < binary.width(); ++x) binary.at(y, x) = static_cast<uint8_t>(1 - binary.at(y, x));
        }
        const std::vector<float> recordedInverse = locatedGrid(c.version, binary);
        allowLineChangeRecording(false);
        ASSERT_FALSE(lineChangesReady(binary.rows(), binary.height(), binary.width()));
        EXPECT_EQ(locatedGrid(c.version, binary), recordedInverse) << "version " << c.version;
        for (int y = 0; y < binary.height(); ++y) {
            for (int x = 0; x < binary.width(); ++x) binary.at(y, x) = static_cast<uint8_t>(1 - binary.at(y, x));
        }
        EXPECT_EQ(locatedGrid(c.version, binary), recorded) << "version " << c.version;
        EXPECT_GE(recorded[0], 1.0f) << "version " << c.version;
    }
}

TEST(AlignmentPatternsAreFound, SmallVersionsAndTheCorrectedPrediction) {
    for (int v = 2; v <= 6; ++v) {
        const PlacedSymbol placed =
            placeInPerspective(encodeSymbol(textFor(v), v), 6, {0.0f, 0.0f, 0.0f, 0.03f, 0.0f, 0.03f, 0.0f, 0.0f});
        OwnedRaster binary = binarise(placed.grey);
        RequestSetUp request(binary.height(), binary.width());
        ASSERT_TRUE(frameTrueTriple(binary, placed)) << "version " << v;
        setAlignmentCoordinates(v);
        locateAlignmentPatterns(v, binary.rows(), binary.height(), binary.width(), 3);
        const float last = static_cast<float>(4 * v + 10);
        const cv::Point2f truth = placed.moduleToPicture(last, last);
        EXPECT_GE(alignmentGrid()[1][1].score, kAlignmentFoundScore) << "version " << v;
        EXPECT_LE(distanceTo(alignmentGrid()[1][1], truth), 1.0f) << "version " << v;
        EXPECT_GE(extraAlignmentCell().score, kAlignmentFoundScore) << "version " << v;
        EXPECT_LE(distanceTo(extraAlignmentCell(), truth), 1.0f) << "version " << v;
    }
}

TEST(AlignmentPatternsAreFound, MissingPatternLeavesItsPredictionForTheNextCells) {
    EncodedSymbol symbol = encodeSymbol(textFor(14), 14);
    // Paint over the alignment pattern at module (26, 26).
    symbol.modules(cv::Rect(24, 24, 5, 5)).setTo(255);
    const PlacedSymbol placed = placeRotated(symbol, 5, 0.0, false);
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width());
    ASSERT_TRUE(frameTrueTriple(binary, placed));
    setAlignmentCoordinates(14);
    setVersionBlockMatch(0);
    for (auto& row : alignmentGrid()) {
        for (auto& cell : row) cell = {0.0f, 0.0f, 0.0f};
    }
    locateAlignmentPatterns(14, binary.rows(), binary.height(), binary.width(), 3);
    const AlignmentCell& missing = alignmentGrid()[1][1];
    EXPECT_EQ(missing.score, 0.0f);
    EXPECT_LE(distanceTo(missing, placed.moduleToPicture(26, 26)), 2.5f) << "the parallelogram prediction stays";
    for (auto [i, j] : std::array<std::pair<int, int>, 4>{{{1, 2}, {2, 1}, {2, 2}, {3, 3}}}) {
        const PointF m = alignmentCoordinates()[i][j];
        EXPECT_GE(alignmentGrid()[i][j].score, kAlignmentFoundScore) << i << ", " << j;
        EXPECT_LE(distanceTo(alignmentGrid()[i][j], placed.moduleToPicture(m.x, m.y)), 1.0f) << i << ", " << j;
    }
}

TEST(AlignmentWindowSearch, WindowCutToThePicture) {
    // An alignment pattern of 4-pixel modules flush with the left edge, centre (9.5, 99.5), with
    // a frame that expects 4-pixel modules along rows and columns.
    cv::Mat picture(200, 200, CV_8UC1, cv::Scalar(255));
    cv::rectangle(picture, cv::Rect(0, 90, 20, 20), cv::Scalar(0), cv::FILLED);
    cv::rectangle(picture, cv::Rect(4, 94, 12, 12), cv::Scalar(255), cv::FILLED);
    cv::rectangle(picture, cv::Rect(8, 98, 4, 4), cv::Scalar(0), cv::FILLED);
    OwnedRaster binary = binaryOf(picture);
    RequestSetUp request(200, 200);
    CandidateTriple& t = candidateTriple();
    t.values[kFinderX] = {100.0f, 180.0f, 100.0f};
    t.values[kFinderY] = {20.0f, 20.0f, 100.0f};
    for (int d = 0; d < 4; ++d) {
        const bool straight = d == 0 || d == 2;
        for (SlotSizes& s : slotSizes()) {
            s.counts[static_cast<std::size_t>(d)] = straight ? 12 : 0;
            s.sizes[static_cast<std::size_t>(d)] = straight ? 4.0f : 0.0f;
        }
    }
    ASSERT_EQ(buildSymbolFrame(framePoints()), 1);
    AlignmentCell cell{-2.0f, 100.0f, 0.0f};
    searchAlignment(cell, -2, 100, binary.rows(), 200, 200, kFrameA, 3);
    EXPECT_NEAR(cell.x, 9.5f, 0.5f);
    EXPECT_NEAR(cell.y, 99.5f, 0.5f);
    EXPECT_GE(cell.score, kAlignmentFoundScore);
}

// The window search keeps out of symbols read before: a pattern whose centre lies in a finder
// exclusion box (in the caller's coordinates, also when the picture was enlarged) is not taken.
TEST(AlignmentWindowSearch, ExclusionBoxesInCallerCoordinates) {
    for (float f : {1.0f, 2.0f}) {
        const PlacedSymbol placed = placeRotated(encodeSymbol(textFor(7), 7), 4, 0.0, false);
        cv::Mat grey;
        cv::resize(placed.grey, grey, cv::Size(), f, f, cv::INTER_NEAREST);
        OwnedRaster binary = binarise(grey);
        RequestSetUp request(binary.height(), binary.width(), 1, false, f);
        findFinderPatterns(binary.rows(), binary.height(), binary.width(), 2.2f, 0.85f, 1.65f, 3);
        ASSERT_EQ(buildTriples(), 1);
        int cursor = -1;
        ASSERT_EQ(nextTriple(cursor), 1);
        ASSERT_EQ(buildSymbolFrame(framePoints()), 1);
        const cv::Point2f caller = placed.moduleToPicture(22, 22);
        const cv::Point2f searched = caller * f + cv::Point2f(0.5f * (f - 1.0f), 0.5f * (f - 1.0f));
        const int px = static_cast<int>(searched.x), py = static_cast<int>(searched.y);

        AlignmentCell cell{0.0f, 0.0f, 0.0f};
        searchAlignment(cell, px, py, binary.rows(), binary.height(), binary.width(), kFrameA, 3);
        ASSERT_LE(distanceTo(cell, searched), 1.0f) << "factor " << f;
        if (f != 1.0f) {
            // A box around the enlarged position, read as caller coordinates, is elsewhere.
            appendFinderExclusionBox(searched.x, searched.y);
            cell = {0.0f, 0.0f, 0.0f};
            searchAlignment(cell, px, py, binary.rows(), binary.height(), binary.width(), kFrameA, 3);
            EXPECT_LE(distanceTo(cell, searched), 1.0f) << "factor " << f;
        }
        appendFinderExclusionBox(caller.x, caller.y);
        cell = {7.0f, 8.0f, 0.0f};
        searchAlignment(cell, px, py, binary.rows(), binary.height(), binary.width(), kFrameA, 3);
        // Nothing is taken inside the box; a look-alike elsewhere in the window may be.
        EXPECT_GT(distanceTo(cell, searched), 3.0f * f) << "factor " << f;
    }
}

// The centre-module walk sample by sample with its float tests, the oracle for the scanner,
// which walks from one colour change to the next.
std::vector<std::array<int, 2>> walkCentreRuns(const std::vector<uint8_t>& line, float module, float bound) {
    auto ratio = [&](int prev, int run) {
        const float q = static_cast<float>(prev) / static_cast<float>(run);
        return 1.0f / bound < q && q < bound;
    };
    auto size = [&](int prev, int run) {
        const float s = static_cast<float>(prev + run) / 2.0f / module;
        return 1.0f / 2.1f < s && s < 2.1f;
    };
    std::vector<std::array<int, 2>> found;
    int value = line[0], run = 0, prev = 0, start = 0, end = 0;
    bool candidate = false;
    for (int i = 0; i < static_cast<int>(line.size()); ++i) {
        const int v = line[static_cast<std::size_t>(i)];
        if (v == value) {
            ++run;
            continue;
        }
        bool keep = false;
        if (!candidate) {
            if (v == 1 && ratio(prev, run) && size(prev, run)) {
                candidate = true;
                start = i - run;
                end = i;
            }
        } else if (!ratio(prev, run)) {
            candidate = false;
        } else if (size(prev, run)) {
            found.push_back({start, end});
            candidate = false;
        } else {
            keep = true;
        }
        value = v;
        if (keep) {
            ++run;
        } else {
            prev = run;
            run = 1;
        }
    }
    return found;
}

TEST(AlignmentRunScanner, RunByRunWalkMatchesTheSampleBySampleWalk) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 500; ++trial) {
        const float module = 1.0f + static_cast<float>(random() % 40) * 0.5f;
        std::vector<uint8_t> line;
        uint8_t colour = static_cast<uint8_t>(random() % 2);
        const int length = 5 + static_cast<int>(random() % 400);
        while (static_cast<int>(line.size()) < length) {
            const int run = std::max(1, static_cast<int>(module * (0.3f + static_cast<float>(random() % 100) / 40.0f)));
            line.insert(line.end(), static_cast<std::size_t>(run), colour);
            colour ^= 1;
        }
        line.resize(static_cast<std::size_t>(length));
        for (float bound : {2.5f, 1.5f}) {
            std::array<std::array<int, 2>, 64> runs{};
            const int count = alignmentCentreRuns(line.data(), length, module, bound, runs.data(), 64);
            const auto expected = walkCentreRuns(line, module, bound);
            ASSERT_EQ(count, static_cast<int>(expected.size())) << "trial " << trial;
            for (int k = 0; k < std::min(count, 64); ++k) {
                ASSERT_EQ(runs[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)]) << "trial " << trial;
            }
        }
    }
}

TEST(AlignmentRunScanner, CentreModuleBetweenLightRuns) {
    std::array<std::array<int, 2>, 4> runs{};
    const std::vector<uint8_t> clean = lineOfRuns({6, 3, 3, 3, 3, 3, 6});
    ASSERT_EQ(alignmentCentreRuns(clean.data(), static_cast<int>(clean.size()), 3.0f, 2.5f, runs.data(), 4), 2);
    // Each dark run between two light runs that end within the line: the last dark run's
    // light neighbour runs to the end of the line and never closes.
    EXPECT_EQ(runs[0], (std::array<int, 2>{6, 9}));
    EXPECT_EQ(runs[1], (std::array<int, 2>{12, 15}));
    // Runs of twice the expected size are not the pattern.
    const std::vector<uint8_t> large = lineOfRuns({12, 6, 6, 6, 12});
    EXPECT_EQ(alignmentCentreRuns(large.data(), static_cast<int>(large.size()), 2.0f, 2.5f, runs.data(), 4), 0);
    // The second pass insists on even runs.
    const std::vector<uint8_t> skewed = lineOfRuns({6, 3, 5, 3, 6});
    EXPECT_EQ(alignmentCentreRuns(skewed.data(), static_cast<int>(skewed.size()), 3.0f, 2.5f, runs.data(), 4), 1);
    EXPECT_EQ(alignmentCentreRuns(skewed.data(), static_cast<int>(skewed.size()), 3.0f, 1.5f, runs.data(), 4), 0);
}

TEST(AlignmentRunScanner, TooLongLightRunCountsOnIntoTheNext) {
    std::array<std::array<int, 2>, 4> runs{};
    // Light 3, dark 5 starts a candidate; the light run of 8 after it is in proportion (5 / 8)
    // but too long for 3-sample modules, so it merges with the dark 4 that follows and the
    // candidate is dropped at the next transition. The dark 4 between light 8 and light 4 is
    // therefore not a centre of its own here.
    const std::vector<uint8_t> merged = lineOfRuns({3, 5, 8, 4, 4, 2});
    EXPECT_EQ(alignmentCentreRuns(merged.data(), static_cast<int>(merged.size()), 3.0f, 2.5f, runs.data(), 4), 0);
    // Without the candidate before it, the same dark 4 is one.
    const std::vector<uint8_t> alone = lineOfRuns({8, 4, 4, 2});
    ASSERT_EQ(alignmentCentreRuns(alone.data(), static_cast<int>(alone.size()), 3.0f, 2.5f, runs.data(), 4), 1);
    EXPECT_EQ(runs[0], (std::array<int, 2>{8, 12}));
}

}  // namespace
