// Symbols framed by the outlines of their finder patterns: the plane from three patterns'
// corners, and the reads the stage adds where the run scan finds no patterns.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decode_driver.h"
#include "engine/decode/finder_outline_stage.h"
#include "engine/velmora_engine.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using namespace velmora::test;

namespace {

std::string text(int k) { return std::string(g_QrDecodedData.sParseStr[k], g_QrDecodedData.nParseStrLen[k]); }

cv::Point2f mapped(const cv::Matx33d& t, double x, double y) {
    const cv::Vec3d p = t * cv::Vec3d(x, y, 1.0);
    return {static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2])};
}

// The outline of a finder whose top-left module's outer corner is module (c, r), drawn at scale
// pixels a module with the quiet zone of drawSymbol, mapped through t.
FinderOutline outlineAt(const cv::Matx33d& t, int c, int r, int scale, int turn) {
    const int quiet = 4;
    auto corner = [&](int dc, int dr) {
        const cv::Point2f p = mapped(t, (c + dc + quiet) * scale - 0.5, (r + dr + quiet) * scale - 0.5);
        return PointF{p.x, p.y};
    };
    const std::array<PointF, 4> square = {corner(0, 0), corner(7, 0), corner(7, 7), corner(0, 7)};
    FinderOutline f{};
    for (std::size_t i = 0; i < 4; ++i) f.corners[i] = square[(i + static_cast<std::size_t>(turn)) % 4];
    const cv::Point2f centre = mapped(t, (c + 3.5 + quiet) * scale - 0.5, (r + 3.5 + quiet) * scale - 0.5);
    f.centre = {centre.x, centre.y};
    f.side = 7.0f;
    f.moduleSize = static_cast<float>(scale);
    return f;
}

// A picture whose left edge is a dark band that runs into the symbol's left finder patterns:
// across them the run scan sees no 1:1:3:1:1, only their outlines stay.
cv::Mat againstDarkBand(const std::string& content, bool inverted) {
    const cv::Mat modules = encodeModules(content, 3);
    const int scale = 8;
    cv::Mat grey = drawSymbol(modules, scale, cv::Matx33d::eye(), cv::Size(296, 296)).grey;
    // The quiet zone on the left goes dark up to the finders' outer edge.
    grey(cv::Rect(0, 0, 4 * scale, grey.rows)).setTo(0);
    if (inverted) grey = 255 - grey;
    return grey;
}

}  // namespace

TEST(FinderOutlinesFrameASymbol, ThePlaneMapsModuleCentresUnderPerspective) {
    // A strong tilt: the symbol's far side is a third shorter than its near side.
    const int scale = 6, n = 29;
    const double side = (n + 8) * scale;
    const std::array<cv::Point2f, 4> from = {cv::Point2f(0, 0), cv::Point2f(side, 0), cv::Point2f(side, side),
                                             cv::Point2f(0, side)};
    const std::array<cv::Point2f, 4> to = {cv::Point2f(40, 30), cv::Point2f(260, 70), cv::Point2f(250, 210),
                                           cv::Point2f(30, 300)};
    const cv::Matx33d t = cv::getPerspectiveTransform(from.data(), to.data());
    // Each pattern's outline starts at a different corner: the plane may not depend on it.
    const FinderOutline a = outlineAt(t, 0, 0, scale, 0), b = outlineAt(t, n - 7, 0, scale, 1),
                        c = outlineAt(t, 0, n - 7, scale, 3);
    EXPECT_EQ(versionByOutlines(a, b, c), 3);
    PerspectiveCoefficients plane{};
    ASSERT_TRUE(frameByOutlines(a, b, c, n, plane));
    for (const auto& [col, row] : {std::pair{0, 0}, std::pair{n - 1, 0}, std::pair{0, n - 1}, std::pair{n - 1, n - 1},
                                   std::pair{14, 14}, std::pair{n - 7, n - 7}}) {
        PointF p{};
        ASSERT_EQ(mapPoint({static_cast<float>(col), static_cast<float>(row)}, p, plane), 1);
        const cv::Point2f truth = mapped(t, (col + 4.5) * scale - 0.5, (row + 4.5) * scale - 0.5);
        EXPECT_NEAR(p.x, truth.x, 0.05) << col << "," << row;
        EXPECT_NEAR(p.y, truth.y, 0.05) << col << "," << row;
    }
}

TEST(FinderOutlinesFrameASymbol, PatternsKnownByTheirCentresAloneStillFixAnAffinePlane) {
    // Turned and sheared, without perspective: centres alone (the run scan's patterns) fix it.
    const int scale = 5, n = 33;
    const cv::Matx33d t(0.9, -0.45, 120.0, 0.5, 0.95, 20.0, 0.0, 0.0, 1.0);
    const FinderOutline outlined[3] = {outlineAt(t, 0, 0, scale, 2), outlineAt(t, n - 7, 0, scale, 0),
                                       outlineAt(t, 0, n - 7, scale, 1)};
    for (const std::array<bool, 3> centreOnly : {std::array{false, true, false}, std::array{true, false, true},
                                                 std::array{true, true, true}}) {
        FinderOutline f[3] = {outlined[0], outlined[1], outlined[2]};
        for (int i = 0; i < 3; ++i) {
            if (centreOnly[static_cast<std::size_t>(i)]) f[i].side = 0.0f;
        }
        PerspectiveCoefficients plane{};
        ASSERT_TRUE(frameByOutlines(f[0], f[1], f[2], n, plane));
        for (const auto& [col, row] : {std::pair{0, 0}, std::pair{n - 1, n - 1}, std::pair{16, 5}}) {
            PointF p{};
            ASSERT_EQ(mapPoint({static_cast<float>(col), static_cast<float>(row)}, p, plane), 1);
            const cv::Point2f truth = mapped(t, (col + 4.5) * scale - 0.5, (row + 4.5) * scale - 0.5);
            EXPECT_NEAR(p.x, truth.x, 0.05) << col << "," << row << " centre-only " << centreOnly[0] << centreOnly[1];
            EXPECT_NEAR(p.y, truth.y, 0.05) << col << "," << row;
        }
    }
}

TEST(FinderOutlinesFrameASymbol, ThreePatternsThatCannotBeCornersGiveNoPlane) {
    const cv::Matx33d flat = cv::Matx33d::eye();
    const FinderOutline a = outlineAt(flat, 0, 0, 6, 0), b = outlineAt(flat, 22, 0, 6, 0), c = outlineAt(flat, 0, 22, 6, 0);
    FinderOutline small = c, inLine = c, far = c;
    small.moduleSize = 1.5f;                                // module sizes a factor of four apart
    inLine.centre = {a.centre.x + 2.0f * (b.centre.x - a.centre.x), a.centre.y + 1.0f};  // on the first side's line
    far.centre = {c.centre.x, c.centre.y * 3.0f};          // sides a factor of three apart
    PerspectiveCoefficients plane{};
    EXPECT_TRUE(frameByOutlines(a, b, c, 29, plane));
    for (const FinderOutline& third : {small, inLine, far}) EXPECT_FALSE(frameByOutlines(a, b, third, 29, plane));
}

TEST(FinderOutlineStageReads, ASymbolWhoseFindersRunIntoADarkBand) {
    for (const bool inverted : {false, true}) {
        cv::Mat picture = againstDarkBand("band on the left", inverted);
        ASSERT_EQ(QR_Decode_Matrix(0, picture.data, picture.cols, picture.rows, 1, 1, nullptr), 1) << inverted;
        EXPECT_EQ(text(0), "band on the left");
        EXPECT_EQ(g_QrDecodedData.nInverseColor[0], inverted ? 1 : 0);
        EXPECT_EQ(lastRequestSummary().reachReads[kFinderOutlineStage], 1);
        // Outer corners at the symbol's edges: modules 4 to 33 of 8 pixels.
        const float lo = 4 * 8 - 0.5f, hi = 33 * 8 - 0.5f;
        const std::array<float, 4> xs = {lo, hi, lo, hi}, ys = {lo, lo, hi, hi};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(g_QrDecodedData.dXY_4Corners[0][i], xs[i], 1.5f) << i;
            EXPECT_NEAR(g_QrDecodedData.dXY_4Corners[0][4 + i], ys[i], 1.5f) << i;
        }
    }
}

TEST(FinderOutlineStageReads, ASymbolWithItsCornerPatternLostToGlare) {
    // The corner pattern washed out, the other two against the band: two outlines across the
    // diagonal give the third.
    for (const bool inverted : {false, true}) {
        cv::Mat picture = againstDarkBand("glare on the corner", inverted);
        picture(cv::Rect(4 * 8, 4 * 8, 7 * 8, 7 * 8)).setTo(inverted ? 0 : 255);
        ASSERT_EQ(QR_Decode_Matrix(0, picture.data, picture.cols, picture.rows, 1, 1, nullptr), 1) << inverted;
        EXPECT_EQ(text(0), "glare on the corner");
        EXPECT_EQ(lastRequestSummary().reachReads[kFinderOutlineStage], 1);
        EXPECT_NEAR(g_QrDecodedData.dXY_FP[0][0], (4 + 3.5) * 8 - 0.5, 1.5);
        EXPECT_NEAR(g_QrDecodedData.dXY_FP[0][4], (4 + 3.5) * 8 - 0.5, 1.5);
    }
}

TEST(FinderOutlineStageReads, EachSymbolOnceWhenMoreAreWanted) {
    // Two symbols side by side against bands: each is read once, and the stage stops there.
    cv::Mat left = againstDarkBand("first of two", false), right = againstDarkBand("second of two", false);
    cv::Mat picture;
    cv::hconcat(left, right, picture);
    ASSERT_EQ(QR_Decode_Matrix(0, picture.data, picture.cols, picture.rows, 4, 1, nullptr), 2);
    const std::set<std::string> read = {text(0), text(1)};
    EXPECT_EQ(read, (std::set<std::string>{"first of two", "second of two"}));
}

TEST(FinderOutlineStageReads, SizesWholeThenReducedCopies) {
    EXPECT_EQ(outlineSearchFactors(640, 480), std::vector<int>{1});
    EXPECT_EQ(outlineSearchFactors(2048, 1536), (std::vector<int>{1, 2}));
    EXPECT_EQ(outlineSearchFactors(3024, 4032), std::vector<int>{4});
}
