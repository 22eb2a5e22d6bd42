// The candidate loops and what they record: skipped candidates, the version estimate's limits,
// the pair loop, several symbols in one picture, texts and their conversion, corners in an
// enlarged pass, and the mask over a symbol read.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "engine/decode/decoded_symbols.h"
#include "engine/decode/frame_sampling.h"
#include "engine/decode/symbol_record.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/symbol_frame.h"
#include "tests/attempts/attempt_pictures.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// A frame whose side estimates are h and w versions: sides 4v + 10 modules of one pixel, so
// that nothing but the lengths decides.
void setEstimateFrame(float h, float w) {
    auto& c = frameCorners();
    const float l1 = 4.0f * h + 10.0f, l2 = 4.0f * w + 10.0f;
    c[kFrameA] = {{30, 30}, {1, 0}, {0, 1}, 1.0f, 1.0f, 0, 2, l1, l2};
    c[kFrameB] = {{30 + l1, 30}, {-1, 0}, {0, 1}, 1.0f, 1.0f, 0, 2, l1, l2};
    c[kFrameC] = {{30, 30 + l2}, {1, 0}, {0, -1}, 1.0f, 1.0f, 0, 2, l1, l2};
    c[kFrameD] = {{30 + l1, 30 + l2}, {-1, 0}, {0, -1}, 1.0f, 1.0f, 0, 2, l1, l2};
}

OwnedRaster blankPicture(int side) {
    OwnedRaster blank(side, side);
    for (int y = 0; y < side; ++y) std::fill(blank.rows()[y], blank.rows()[y] + side, uint8_t{1});
    return blank;
}

// Puts the loops into pair mode (or triple mode) without candidates: an empty search first.
void enterMode(OwnedRaster& blank, bool pairs) {
    findFinderPatterns(blank.rows(), blank.height(), blank.width(), 2.2f, 0.85f, 1.65f, 3);
    if (pairs) {
        tryFinderPairs(blank.rows(), blank.height(), blank.width(), 0);
    } else {
        tryFinderTriples(blank.rows(), blank.height(), blank.width(), 0);
    }
}

int estimate(OwnedRaster& picture, int& version) {
    return estimateVersion(version, picture.rows(), picture.height(), picture.width(), frameCorners());
}

// Reads every symbol of a grey picture with the triple loop, wanting `wanted`.
int readTriples(const cv::Mat& grey, int wanted, int convert = 0) {
    OwnedRaster binary = binarise(grey);
    RequestSetUp request(binary.height(), binary.width(), wanted, convert != 0);
    return searchAndTryTriples(request, binary, convert);
}

// The recorded texts of entries 0 to count - 1.
std::vector<std::string> recordedTexts() {
    std::vector<std::string> texts;
    for (int k = 0; k < decodedCount(); ++k) texts.push_back(recordedText(k));
    return texts;
}

// Symbols of the given texts side by side, upright at 4 pixels per module, in one picture.
cv::Mat pictureOfSymbols(const std::vector<EncodedSymbol>& symbols, int columns) {
    std::vector<cv::Mat> drawn;
    int cell = 0;
    for (const EncodedSymbol& s : symbols) {
        drawn.push_back(placeRotated(s, 4, 0.0, false, 0).grey);
        cell = std::max(cell, drawn.back().rows);
    }
    const int rows = (static_cast<int>(symbols.size()) + columns - 1) / columns;
    cv::Mat picture(rows * cell + 20, columns * cell + 20, CV_8UC1, cv::Scalar(255));
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const int r = static_cast<int>(i) / columns, c = static_cast<int>(i) % columns;
        drawn[i].copyTo(picture(cv::Rect(10 + c * cell, 10 + r * cell, drawn[i].cols, drawn[i].rows)));
    }
    return picture;
}

TEST(CandidateLoopsSkip, PatternScoredBelowOneAndAHalf) {
    const PlacedSymbol placed = placeRotated(encodeSymbol("SCORES", 3), 5, 0.0, false);
    OwnedRaster binary = binarise(placed.grey);
    for (float score : {1.49f, 1.5f}) {
        RequestSetUp request(binary.height(), binary.width());
        findFinderPatterns(binary.rows(), binary.height(), binary.width(), 2.2f, 0.85f, 1.65f, 3);
        ASSERT_EQ(finderList().count, 3);
        finderTable()[kFinderScore][static_cast<std::size_t>(finderList().columns[2])] = score;
        request.restartClock();
        EXPECT_EQ(tryFinderTriples(binary.rows(), binary.height(), binary.width(), 0), score < 1.5f ? 0 : 1)
            << "score " << score;
    }
}

TEST(VersionEstimateLimits, SidesMustAgree) {
    OwnedRaster blank = blankPicture(300);
    RequestSetUp request(300, 300);
    enterMode(blank, false);
    int v = 0;
    setEstimateFrame(3.2f, 7.3f);
    EXPECT_EQ(estimate(blank, v), -1) << "3.2 and 7.3 are more than 4 apart";
    setEstimateFrame(2.6f, 3.3f);
    EXPECT_EQ(estimate(blank, v), 1);
    EXPECT_EQ(v, 3) << "trunc(2.95 + 0.5)";
    setEstimateFrame(0.6f, 0.8f);
    EXPECT_EQ(estimate(blank, v), -1) << "below 0.7";
    setEstimateFrame(2.0f, 2.0f);
    frameCorners()[kFrameB].m1 = 3.1f;
    EXPECT_EQ(estimate(blank, v), -1) << "module sizes more than three times apart";
}

TEST(VersionEstimateLimits, EnlargedPassStopsAtFourteen) {
    OwnedRaster blank = blankPicture(300);
    RequestSetUp request(300, 300, 1, false, 2.0f);
    enterMode(blank, false);
    int v = 0;
    setEstimateFrame(15.0f, 15.0f);
    EXPECT_EQ(estimate(blank, v), -1);
    setEstimateFrame(14.0f, 14.0f);
    EXPECT_NE(estimate(blank, v), -1) << "an estimate of 14 goes on to the samplings";
}

TEST(VersionEstimateLimits, OddPairVariantsOnlyForSmallVersions) {
    OwnedRaster blank = blankPicture(300);
    RequestSetUp request(300, 300);
    enterMode(blank, true);
    ASSERT_EQ(pairMode(), 1);
    int v = 0;
    pairVariantState().oddVariantFlag = 1;
    setEstimateFrame(8.0f, 8.0f);
    EXPECT_EQ(estimate(blank, v), -1);
    EXPECT_EQ(pairVariantState().oddVariantFlag, 0) << "the flag is cleared";
    pairVariantState().oddVariantFlag = 1;
    setEstimateFrame(7.0f, 7.0f);
    EXPECT_NE(estimate(blank, v), -1);
    EXPECT_EQ(pairVariantState().oddVariantFlag, 1);
}

// A flag left over from the last odd variant of an earlier pair loop belongs to no candidate of
// the triple loop and must not turn its symbols away.
TEST(VersionEstimateLimits, LeftOverOddFlagIgnoredByTheTripleLoop) {
    const PlacedSymbol placed = placeRotated(encodeSymbol(textFor(10), 10), 4, 30.0, false);
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width());
    pairVariantState().oddVariantFlag = 1;
    EXPECT_EQ(searchAndTryTriples(request, binary), 1);
    EXPECT_EQ(recordedText(0), placed.symbol.text);
}

TEST(PairLoopReads, SymbolWithAFinderPaintedOver) {
    for (bool topRight : {true, false}) {
        for (double degrees : {0.0, 30.0}) {
            EncodedSymbol symbol = encodeSymbol(textFor(degrees == 0.0 ? 3 : 8), 0, 2);
            const int n = symbol.modules.rows;
            symbol.modules(topRight ? cv::Rect(n - 7, 0, 7, 7) : cv::Rect(0, n - 7, 7, 7)).setTo(255);
            const PlacedSymbol placed = placeRotated(symbol, 5, degrees, false);
            OwnedRaster binary = binarise(placed.grey);
            RequestSetUp request(binary.height(), binary.width());
            ASSERT_EQ(searchAndTryTriples(request, binary), 0) << "two finders make no triple";
            listFinderPatterns(4, finderTable(), finderList());
            request.restartClock();
            ASSERT_EQ(tryFinderPairs(binary.rows(), binary.height(), binary.width(), 0), 1)
                << (topRight ? "top-right" : "bottom-left") << " painted, " << degrees << " degrees";
            EXPECT_EQ(recordedText(0), symbol.text);
            EXPECT_EQ(decodedEntry(0).nVersion, symbol.version);
            EXPECT_EQ(decodedEntry(0).nLevel, 2);
        }
    }
}

TEST(SeveralSymbolsInOnePicture, EachReadOnce) {
    for (int count : {2, 4}) {
        std::vector<EncodedSymbol> symbols;
        std::vector<std::string> texts;
        for (int i = 0; i < count; ++i) {
            symbols.push_back(encodeSymbol("SYMBOL " + std::to_string(i), 2 + 3 * i));
            texts.push_back(symbols.back().text);
        }
        const cv::Mat picture = pictureOfSymbols(symbols, 2);
        OwnedRaster binary = binarise(picture);
        RequestSetUp request(binary.height(), binary.width(), 4);
        ASSERT_EQ(searchAndTryTriples(request, binary), count);
        std::vector<std::string> read = recordedTexts();
        std::sort(read.begin(), read.end());
        EXPECT_EQ(read, texts);
        EXPECT_EQ(finderExclusionBoxCount(), 3 * count);

        // Another pass over the same picture reads nothing again: the mask breaks the finders'
        // lines, and without the mask the boxes drop their clusters.
        EXPECT_EQ(searchAndTryTriples(request, binary), count) << "mask";
        EXPECT_EQ(finderList().count, 0);
        setDecodedAreaMask(nullptr);
        EXPECT_EQ(searchAndTryTriples(request, binary), count) << "boxes";
    }
}

TEST(SeveralSymbolsInOnePicture, WantedCountStopsTheLoop) {
    const cv::Mat picture = pictureOfSymbols({encodeSymbol("FIRST", 2), encodeSymbol("SECOND", 3)}, 2);
    OwnedRaster binary = binarise(picture);
    RequestSetUp request(binary.height(), binary.width(), 1);
    EXPECT_EQ(searchAndTryTriples(request, binary), 1);
    EXPECT_EQ(decodedCount(), 1);
    EXPECT_EQ(finderExclusionBoxCount(), 3);
}

TEST(RecordedTexts, ConversionFromUtf8) {
    struct Case {
        std::string bytes;
        const char* what;
    };
    const std::array<Case, 5> kCases = {{{"abc", "plain ASCII"},
                                         {"\xE4\xB8\xAD\xE6\x96\x87 text", "UTF-8 of three-byte sequences"},
                                         {"\xFF\xFE bytes", "not UTF-8"},
                                         {"\xF0\x9F\x98\x80 smile", "a four-byte sequence"},
                                         {std::string("ab\0cd", 5), "a zero byte inside"}}};
    ASSERT_EQ(systemCodePage(), "UTF-8") << "the test environment's locale";
    for (const Case& c : kCases) {
        for (int convert : {1, 0}) {
            const PlacedSymbol placed = placeRotated(encodeSymbol(c.bytes, 0, 1), 4, 0.0, false);
            ASSERT_EQ(readTriples(placed.grey, 1, convert), 1) << c.what;
            EXPECT_EQ(recordedText(0), c.bytes) << c.what << (convert ? " converted" : " as read");
            EXPECT_EQ(decodedEntry(0).sParseStr[c.bytes.size()], '\0');
        }
    }
}

TEST(RecordedTexts, MalformedUtf8IsNotConverted) {
    for (const std::string bytes : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", ""}) {
        EXPECT_EQ(textInSystemCodePage(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size())), "");
    }
}

TEST(RecordedTexts, LongestTextFillsTheSlot) {
    const std::string digits = [] {
        std::string s;
        for (int i = 0; i < 7089; ++i) s += static_cast<char>('0' + (i * 7 + i / 10) % 10);
        return s;
    }();
    const EncodedSymbol symbol = encodeSymbol(digits, 40, 0);
    ASSERT_EQ(symbol.version, 40);
    const PlacedSymbol placed = placeRotated(symbol, 3, 0.0, false);
    ASSERT_EQ(readTriples(placed.grey, 1, 1), 1);
    EXPECT_EQ(decodedEntry(0).nParseStrLen, 7089);
    EXPECT_EQ(decodedEntry(0).sParseStr[7089], '\0');
    EXPECT_EQ(recordedText(0), digits);
}

TEST(SymbolGeometryRecorded, EnlargedPassInCallerCoordinates) {
    const PlacedSymbol placed = placeRotated(encodeSymbol(textFor(4), 4), 3, 30.0, false);
    cv::Mat enlarged;
    cv::resize(placed.grey, enlarged, cv::Size(), 2.0, 2.0, cv::INTER_LINEAR);
    OwnedRaster binary = binarise(enlarged);
    RequestSetUp request(binary.height(), binary.width(), 1, false, 2.0f);
    ASSERT_EQ(searchAndTryTriples(request, binary), 1);
    // A picture enlarged twofold puts caller point p at 2p + 0.5.
    const std::array<cv::Point2f, 3> finders = placed.frameFinders();
    for (int j = 0; j < 3; ++j) {
        const float x = decodedEntry(0).dXY_FP[j] + 0.25f, y = decodedEntry(0).dXY_FP[4 + j] + 0.25f;
        EXPECT_LE(std::hypot(x - finders[j].x, y - finders[j].y), 1.0f) << "finder " << j;
        const ExclusionBox& box = finderExclusionBox(j);
        EXPECT_FLOAT_EQ(box.x0 + 3.0f, decodedEntry(0).dXY_FP[j]);
        EXPECT_FLOAT_EQ(box.y1 - 3.0f, decodedEntry(0).dXY_FP[4 + j]);
    }
    const std::array<float, 4> errors = cornerErrors(0, placed.frameCorners());
    for (int i = 0; i < 4; ++i) EXPECT_LE(errors[i], 1.0f) << "corner " << i;
    const cv::Point2f fourth = placed.moduleToPicture(placed.n() - 4, placed.n() - 4);
    EXPECT_LE(std::hypot(decodedEntry(0).dXY_FP[3] + 0.25f - fourth.x, decodedEntry(0).dXY_FP[7] + 0.25f - fourth.y),
              1.0f);
}

TEST(SymbolGeometryRecorded, MaskCoversTheSymbolAndNothingFarOutside) {
    const PlacedSymbol placed = placeRotated(encodeSymbol(textFor(6), 6), 4, 30.0, true);
    OwnedRaster binary = binarise(placed.grey);
    // A second symbol is wanted, so the first one is masked for the candidates still to come.
    RequestSetUp request(binary.height(), binary.width(), 2);
    ASSERT_EQ(searchAndTryTriples(request, binary), 1);
    const Raster* mask = request.mask();
    const int n = placed.n();
    auto covered = [&](double c, double r) {
        const cv::Point2f p = placed.moduleToPicture(c, r);
        return mask->rows[static_cast<int>(std::lround(p.y))][static_cast<int>(std::lround(p.x))] != 0;
    };
    for (int r = 1; r <= n - 2; ++r) {
        for (int c = 1; c <= n - 2; ++c) ASSERT_TRUE(covered(c, r)) << "module " << c << ", " << r;
    }
    for (int k = -3; k <= n + 2; ++k) {
        for (const auto& [c, r] : std::array<std::pair<int, int>, 4>{{{k, -3}, {k, n + 2}, {-3, k}, {n + 2, k}}}) {
            EXPECT_FALSE(covered(c, r)) << "module " << c << ", " << r;
        }
    }
}

// Reads the placed symbol through the parallelogram sampling of its own frame, as an attempt
// does first, and leaves that read's corners in entry 0.
testing::AssertionResult readThroughParallelogram(OwnedRaster& binary, const PlacedSymbol& placed) {
    if (!frameTrueTriple(binary, placed)) return testing::AssertionFailure() << "no frame";
    const int v = placed.symbol.version;
    if (samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleParallelogram, v) != 1) {
        return testing::AssertionFailure() << "not sampled";
    }
    if (processDecoder().ReadSymbol(4 * v + 17, v) < 0) return testing::AssertionFailure() << "not read";
    if (computeSymbolCorners() != 1) return testing::AssertionFailure() << "no corners";
    return testing::AssertionSuccess();
}

// The corners and the fourth finder point of entry k.
std::array<float, 10> entryGeometry(int k) {
    const DecodedEntry& d = decodedEntry(k);
    return {d.dXY_4Corners[0], d.dXY_4Corners[1], d.dXY_4Corners[2], d.dXY_4Corners[3],
            d.dXY_4Corners[4], d.dXY_4Corners[5], d.dXY_4Corners[6], d.dXY_4Corners[7],
            d.dXY_FP[3],       d.dXY_FP[7]};
}

TEST(SymbolGeometryRecorded, FarCornerAnchoredOnTheAlignmentPatternItselfOnly) {
    const std::array<float, 8> tilt = keystone(1, 0.02f);
    auto placedWith = [&](auto&& change) {
        EncodedSymbol symbol = encodeSymbol(textFor(4), 4, 3);
        change(symbol.modules, symbol.modules.rows);
        return placeTurnedInPerspective(symbol, 6, 30.0, false, tilt);
    };
    auto farCornerError = [](const PlacedSymbol& placed) { return cornerErrors(0, placed.frameCorners())[3]; };

    // The pattern in its place: the parallelogram's far corner is modules off, the anchored one
    // within a pixel, and so is the fourth finder point.
    {
        const PlacedSymbol placed = placedWith([](cv::Mat&, int) {});
        OwnedRaster binary = binarise(placed.grey);
        RequestSetUp request(binary.height(), binary.width());
        ASSERT_TRUE(readThroughParallelogram(binary, placed));
        EXPECT_GT(farCornerError(placed), 3.0f) << "the parallelogram misses the perspective";
        ASSERT_EQ(anchorCornersOnAlignment(binary.rows(), binary.height(), binary.width()), 1);
        const std::array<float, 4> errors = cornerErrors(0, placed.frameCorners());
        for (int i = 0; i < 4; ++i) EXPECT_LE(errors[i], 1.0f) << "corner " << i;
        const int m = placed.n() - 4;
        const cv::Point2f fourth = placed.moduleToPicture(m, m);
        EXPECT_LE(std::hypot(decodedEntry(0).dXY_FP[3] - fourth.x, decodedEntry(0).dXY_FP[7] - fourth.y), 1.0f);
    }
    // The pattern painted over, so that only dark modules of the data lie near its place, and
    // again with a look-alike drawn three modules to its left: the corners stay as the read left
    // them.
    for (bool lookAlike : {false, true}) {
        const PlacedSymbol placed = placedWith([&](cv::Mat& modules, int n) {
            modules(cv::Rect(n - 9, n - 9, 5, 5)).setTo(255);
            if (!lookAlike) return;
            modules(cv::Rect(n - 12, n - 9, 5, 5)).setTo(0);
            modules(cv::Rect(n - 11, n - 8, 3, 3)).setTo(255);
            modules.at<uint8_t>(n - 7, n - 10) = 0;
        });
        OwnedRaster binary = binarise(placed.grey);
        RequestSetUp request(binary.height(), binary.width());
        ASSERT_TRUE(readThroughParallelogram(binary, placed)) << (lookAlike ? "look-alike" : "painted over");
        const std::array<float, 10> before = entryGeometry(0);
        if (lookAlike) {
            // The window search around the far pattern's place does find the look-alike.
            const int n = placed.n();
            const cv::Point2f place = placed.moduleToPicture(n - 7, n - 7);
            const cv::Point2f other = placed.moduleToPicture(n - 10, n - 7);
            AlignmentCell cell{place.x, place.y, 0.0f};
            searchAlignment(cell, static_cast<int>(place.x), static_cast<int>(place.y), binary.rows(), binary.height(),
                            binary.width(), kFrameA, 3);
            ASSERT_GE(cell.score, 1.5f);
            ASSERT_LE(std::hypot(cell.x - other.x, cell.y - other.y), 1.5f);
        }
        EXPECT_EQ(anchorCornersOnAlignment(binary.rows(), binary.height(), binary.width()), 0);
        EXPECT_EQ(entryGeometry(0), before) << (lookAlike ? "look-alike" : "painted over");
    }
}

// Reads the binary picture through the alignment grid of the frame at the given finder centres,
// as an attempt does for versions 7 and above, after `change` has had its way with the grid the
// search found (n cells per side), and leaves that read's corners in entry 0.
template <typename Change>
testing::AssertionResult readThroughGrid(OwnedRaster& binary, const std::array<cv::Point2f, 3>& finders, int v,
                                         Change&& change) {
    if (!frameTripleAt(binary, finders)) return testing::AssertionFailure() << "no frame";
    setAlignmentCoordinates(v);
    locateAlignmentPatterns(v, binary.rows(), binary.height(), binary.width(), 3);
    change(alignmentGrid(), alignmentPositionCount());
    prepareAlignmentGrid(v);
    if (sampleAlignmentGrid(binary.rows(), binary.height(), binary.width(), v) != 1) {
        return testing::AssertionFailure() << "not sampled";
    }
    if (processDecoder().ReadSymbol(4 * v + 17, v) < 0) return testing::AssertionFailure() << "not read";
    if (computeSymbolCorners() != 1) return testing::AssertionFailure() << "no corners";
    return testing::AssertionSuccess();
}

AlignmentCell& bottomRightCell(AlignmentGrid& grid, int n) {
    return grid[static_cast<std::size_t>(n - 1)][static_cast<std::size_t>(n - 1)];
}

// Every corner and the fourth finder point of entry 0 within a pixel of where they belong.
void expectCornersWithinAPixel(const std::array<cv::Point2f, 4>& corners, cv::Point2f fourth, const std::string& what) {
    const std::array<float, 4> errors = cornerErrors(0, corners);
    for (int i = 0; i < 4; ++i) EXPECT_LE(errors[i], 1.0f) << what << ": corner " << i;
    EXPECT_LE(std::hypot(decodedEntry(0).dXY_FP[3] - fourth.x, decodedEntry(0).dXY_FP[7] - fourth.y), 1.0f)
        << what << ": fourth finder point";
}

TEST(SymbolGeometryRecorded, GridFarCornerTakenOffALookAlikeCentre) {
    const int v = 14, scale = 4;
    const EncodedSymbol symbol = encodeSymbol(textFor(v), v);
    const PlacedSymbol placed = placeTurnedInPerspective(symbol, scale, 60.0, false, keystone(2, 0.03f));
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width());
    const int size = placed.n();
    const cv::Point2f fourth = placed.moduleToPicture(size - 4, size - 4);
    const cv::Point2f pattern = placed.moduleToPicture(size - 7, size - 7);

    // The grid as the search found it, the bottom-right pattern in its place: the corners stay as
    // the grid's transforms give them, and those are right.
    ASSERT_TRUE(readThroughGrid(binary, placed.frameFinders(), v, [&](AlignmentGrid& grid, int n) {
        const AlignmentCell& far = bottomRightCell(grid, n);
        EXPECT_LE(std::hypot(far.x - pattern.x, far.y - pattern.y), 1.0f) << "the search missed the pattern";
    }));
    const std::array<float, 10> asRead = entryGeometry(0);
    EXPECT_EQ(anchorCornersOnAlignment(binary.rows(), binary.height(), binary.width()), 0);
    EXPECT_EQ(entryGeometry(0), asRead);
    expectCornersWithinAPixel(placed.frameCorners(), fourth, "pattern in its place");

    // The bottom-right centre three modules left of the pattern, where a look-alike in the data
    // lies: the symbol still reads, and the far corner through the grid follows the look-alike.
    auto lookAlike = [&](AlignmentGrid& grid, int n) {
        AlignmentCell& far = bottomRightCell(grid, n);
        const cv::Point2f p = placed.moduleToPicture(size - 10, size - 7);
        far.x = p.x;
        far.y = p.y;
    };
    ASSERT_TRUE(readThroughGrid(binary, placed.frameFinders(), v, lookAlike));
    EXPECT_GT(cornerErrors(0, placed.frameCorners())[3], 2.0f * scale) << "the look-alike does not move the corner";
    EXPECT_EQ(anchorCornersOnAlignment(binary.rows(), binary.height(), binary.width()), 1);
    expectCornersWithinAPixel(placed.frameCorners(), fourth, "pattern found again");

    // The same read, with the pattern painted over in the picture searched after it: nothing is
    // found where the other patterns put it, and the corners come from their flat view itself.
    EncodedSymbol painted = symbol;
    painted.modules(cv::Rect(size - 9, size - 9, 5, 5)).setTo(255);
    OwnedRaster withoutPattern =
        binarise(placeTurnedInPerspective(painted, scale, 60.0, false, keystone(2, 0.03f)).grey);
    AlignmentCell searched{pattern.x, pattern.y, 0.0f};
    searchAlignment(searched, static_cast<int>(pattern.x), static_cast<int>(pattern.y), withoutPattern.rows(),
                    withoutPattern.height(), withoutPattern.width(), kFrameA, 3);
    ASSERT_TRUE(searched.score < 1.5f || std::hypot(searched.x - pattern.x, searched.y - pattern.y) > 1.5f * scale)
        << "a pattern is still found in its place";
    ASSERT_TRUE(readThroughGrid(binary, placed.frameFinders(), v, lookAlike));
    EXPECT_EQ(anchorCornersOnAlignment(withoutPattern.rows(), withoutPattern.height(), withoutPattern.width()), 1);
    expectCornersWithinAPixel(placed.frameCorners(), fourth, "pattern painted over");
}

// The placed symbol's picture sagging like a sheet held at its edges: picture row y shows the
// drawing at row y + amplitude sin(pi x / width), times sin(pi y / height) when it sags both
// ways. No perspective maps the drawing onto it.
struct SaggingPicture {
    cv::Mat grey;
    float amplitude = 0.0f;
    bool bothWays = false;

    float sag(float x, float y) const {
        const float across = std::sin(static_cast<float>(CV_PI) * x / static_cast<float>(grey.cols));
        return amplitude * (bothWays ? across * std::sin(static_cast<float>(CV_PI) * y / static_cast<float>(grey.rows))
                                     : across);
    }
    // Where a point of the drawing lands (pixel centres).
    cv::Point2f land(cv::Point2f p) const {
        float y = p.y;
        for (int i = 0; i < 30; ++i) y = p.y - sag(p.x, y);
        return {p.x, y};
    }
};

SaggingPicture sagging(const PlacedSymbol& placed, float modules, bool bothWays) {
    SaggingPicture s;
    s.amplitude = modules * static_cast<float>(placed.scale);
    s.bothWays = bothWays;
    s.grey = placed.grey;
    cv::Mat mapX(placed.grey.size(), CV_32F), mapY(placed.grey.size(), CV_32F);
    for (int y = 0; y < placed.grey.rows; ++y) {
        for (int x = 0; x < placed.grey.cols; ++x) {
            mapX.at<float>(y, x) = static_cast<float>(x);
            mapY.at<float>(y, x) = static_cast<float>(y) + s.sag(static_cast<float>(x), static_cast<float>(y));
        }
    }
    cv::remap(placed.grey, s.grey, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));
    return s;
}

// A sagging symbol read through its grid, every pattern found in its place: no flat view explains
// the patterns to half a module, and one fitted to a few of them would put the bottom-right
// pattern out of reach of its place. The grid's own corners stay.
TEST(SymbolGeometryRecorded, GridFarCornerKeptInASaggingSymbol) {
    struct Case {
        int version;
        float sagModules;
        bool bothWays;
    };
    constexpr std::array<Case, 3> kCases = {{{7, 2.0f, false}, {10, 3.0f, false}, {14, 3.0f, true}}};
    for (const Case& c : kCases) {
        const std::string what = "version " + std::to_string(c.version) + " sagging " +
                                 std::to_string(static_cast<int>(c.sagModules)) + " modules";
        const PlacedSymbol placed = placeTurnedInPerspective(encodeSymbol(textFor(c.version), c.version), 4, 0.0, false,
                                                             keystone(2, 0.03f));
        const SaggingPicture picture = sagging(placed, c.sagModules, c.bothWays);
        OwnedRaster binary = binarise(picture.grey);
        RequestSetUp request(binary.height(), binary.width());
        std::array<cv::Point2f, 3> finders = placed.frameFinders();
        for (cv::Point2f& f : finders) f = picture.land(f);
        ASSERT_TRUE(readThroughGrid(binary, finders, c.version, [&](AlignmentGrid& grid, int n) {
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    if ((i == 0 || i == n - 1) && (j == 0 || j == n - 1) && !(i == n - 1 && j == n - 1)) continue;
                    const AlignmentCell& cell = grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                    const PointF m = alignmentCoordinates()[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                    const cv::Point2f t = picture.land(placed.moduleToPicture(m.x, m.y));
                    EXPECT_TRUE(cell.score >= 1.5f && std::hypot(cell.x - t.x, cell.y - t.y) <= 1.5f * static_cast<float>(placed.scale))
                        << what << ": cell " << i << ", " << j << " not found in its place";
                }
            }
        })) << what;
        const std::array<float, 10> asRead = entryGeometry(0);
        EXPECT_EQ(anchorCornersOnAlignment(binary.rows(), binary.height(), binary.width()), 0) << what;
        EXPECT_EQ(entryGeometry(0), asRead) << what;
        // The grid follows the sag to within half a module.
        std::array<cv::Point2f, 4> corners = placed.frameCorners();
        for (cv::Point2f& p : corners) p = picture.land(p - cv::Point2f(0.5f, 0.5f)) + cv::Point2f(0.5f, 0.5f);
        EXPECT_LE(cornerErrors(0, corners)[3], 0.5f * static_cast<float>(placed.scale)) << what;
    }
}

TEST(SymbolGeometryRecorded, CornersWorkedOutOnlyWhileTheLoopsRun) {
    const PlacedSymbol placed = placeRotated(encodeSymbol("HOOK", 2), 4, 0.0, false);
    OwnedRaster binary = binarise(placed.grey);
    RequestSetUp request(binary.height(), binary.width(), 2);
    ASSERT_EQ(searchAndTryTriples(request, binary), 1);
    // The reader reads the symbol again on its own: entry 1 must not receive its corners.
    decodedEntry(1).dXY_4Corners[0] = -7.0f;
    decodedEntry(1).dXY_FP[3] = -7.0f;
    ASSERT_EQ(samplePerspective(binary.rows(), binary.height(), binary.width(), kSampleParallelogram, 2), 1);
    ASSERT_GE(processDecoder().ReadSymbol(25, 2), 0);
    EXPECT_EQ(decodedEntry(1).dXY_4Corners[0], -7.0f);
    EXPECT_EQ(decodedEntry(1).dXY_FP[3], -7.0f);
}

}  // namespace
