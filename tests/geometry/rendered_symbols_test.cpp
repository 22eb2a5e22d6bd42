// The image side end to end on symbols from our own encoder, drawn by OpenCV: binarised as a
// first decode pass does, searched for finder patterns, turned into candidates and framed.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/symbol_frame.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using namespace velmora::test;

namespace {

constexpr float kRatio = 2.2f, kCentre = 0.85f, kPair = 1.65f;

// The listed FinderList position whose centre lies within tolerance of p, or -1.
int listedNear(cv::Point2f p, float tolerance) {
    const FinderList& list = finderList();
    const FinderTable& t = finderTable();
    for (int k = 0; k < list.count; ++k) {
        const int c = list.columns[k];
        if (std::hypot(t[kFinderX][c] - p.x, t[kFinderY][c] - p.y) <= tolerance) return k;
    }
    return -1;
}

// Pixels per module near point p of a drawing mapped through h (scale pixels per module
// before the mapping): the square root of the local area magnification.
float localModuleSize(const cv::Matx33d& h, cv::Point2f p, float scale) {
    const cv::Matx33d inverse = h.inv();
    auto map = [&](const cv::Matx33d& m, double x, double y) {
        const cv::Vec3d v = m * cv::Vec3d(x, y, 1.0);
        return cv::Point2d(v[0] / v[2], v[1] / v[2]);
    };
    const cv::Point2d q = map(inverse, p.x, p.y);
    const cv::Point2d o = map(h, q.x, q.y), dx = map(h, q.x + 1, q.y), dy = map(h, q.x, q.y + 1);
    const double area = std::fabs((dx.x - o.x) * (dy.y - o.y) - (dx.y - o.y) * (dy.x - o.x));
    return static_cast<float>(scale * std::sqrt(area));
}

// Searches the picture as a decode pass does and checks the three finder centres, the
// candidate triple holding them and its frame. Returns a description of the first failure.
std::string checkSymbol(const DrawnSymbol& drawn, const cv::Matx33d& h, bool mirrored, bool inverted) {
    OwnedRaster binary = binarise(drawn.grey, inverted);
    findFinderPatterns(binary.rows(), binary.height(), binary.width(), kRatio, kCentre, kPair, 3);
    std::array<int, 3> positions{};
    for (int f = 0; f < 3; ++f) {
        const float halfModule = 0.5f * localModuleSize(h, drawn.finders[f], drawn.moduleSize);
        positions[f] = listedNear(drawn.finders[f], halfModule);
        if (positions[f] < 0) return "finder " + std::to_string(f) + " not listed within half a module";
    }
    buildTriples();
    const CandidateTable& table = candidateTable();
    int entry = -1;
    for (int e = 0; e < table.count && entry < 0; ++e) {
        std::array<int, 3> held = {table.entries[e][1], table.entries[e][2], table.entries[e][3]};
        std::array<int, 3> wanted = positions;
        std::sort(held.begin(), held.end());
        std::sort(wanted.begin(), wanted.end());
        if (held == wanted) entry = e;
    }
    if (entry < 0) return "the true triple is not a candidate";
    int cursor = entry - 1;
    if (nextTriple(cursor) != 1 || cursor != entry) return "the true triple does not load";
    FramePoints points{};
    if (buildSymbolFrame(points) != 1) return "no frame";
    const float tolerance = 0.5f * localModuleSize(h, drawn.finders[0], drawn.moduleSize);
    // A mirrored symbol is read transposed: its top-right pattern comes out as C.
    const cv::Point2f b = drawn.finders[mirrored ? 2 : 1], c = drawn.finders[mirrored ? 1 : 2];
    auto near = [&](PointF p, cv::Point2f q) { return std::hypot(p.x - q.x, p.y - q.y) <= tolerance; };
    if (!near(points[kFrameA], drawn.finders[0])) return "A is not the corner pattern";
    if (!near(points[kFrameB], b)) return "B is not the top-right pattern";
    if (!near(points[kFrameC], c)) return "C is not the bottom-left pattern";
    return {};
}

struct Rendering {
    int scale;
    int version;
};

class FinderSearchOnRenderedSymbols : public testing::TestWithParam<Rendering> {};

}  // namespace

// Every 15 degrees, plain and mirrored. At 3 pixels per module turned by 45 degrees a pattern's
// diagonal lines come 4.5 per module size or more, past the density bound that keeps clusters of
// several patterns out, so those four angles are left out at that size.
TEST_P(FinderSearchOnRenderedSymbols, RotatedAndMirrored) {
    const Rendering r = GetParam();
    const cv::Mat modules = encodeModules("Velmora rendered symbol " + std::to_string(r.version), r.version);
    ASSERT_FALSE(modules.empty());
    const int side = (modules.rows + 8) * r.scale;
    const int out = side * 3 / 2 + (side * 3 / 2 - side) % 2;
    for (int degrees = 0; degrees < 360; degrees += 15) {
        if (r.scale == 3 && degrees % 90 == 45) continue;
        for (bool mirrored : {false, true}) {
            const cv::Matx33d h = rotationAbout(degrees, side, out, mirrored);
            const DrawnSymbol drawn = drawSymbol(modules, r.scale, h, cv::Size(out, out));
            EXPECT_EQ(checkSymbol(drawn, h, mirrored, false), "")
                << r.scale << " px, version " << r.version << ", " << degrees << " degrees" << (mirrored ? ", mirrored" : "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ModuleSizes, FinderSearchOnRenderedSymbols,
                         testing::Values(Rendering{2, 2}, Rendering{3, 3}, Rendering{4, 1}, Rendering{5, 7},
                                         Rendering{6, 4}, Rendering{8, 2}, Rendering{12, 5}),
                         [](const testing::TestParamInfo<Rendering>& info) {
                             return std::to_string(info.param.scale) + "px";
                         });

// Light modules on a dark ground, found after the binary picture is inverted.
TEST(FinderSearchOnRenderedPictures, InvertedSymbols) {
    const cv::Mat modules = encodeModules("light on dark", 2);
    for (int scale : {3, 5, 9}) {
        const int side = (modules.rows + 8) * scale;
        const int out = side * 3 / 2 + (side * 3 / 2 - side) % 2;
        for (int degrees = 0; degrees < 360; degrees += 30) {
            const cv::Matx33d h = rotationAbout(degrees + 10, side, out);
            const DrawnSymbol drawn = drawSymbol(modules, scale, h, cv::Size(out, out), true);
            EXPECT_EQ(checkSymbol(drawn, h, false, true), "") << scale << " px, " << degrees + 10 << " degrees";
        }
    }
}

// Corners pulled in or out by up to a tenth of the side: a photograph at a moderate angle.
TEST(FinderSearchOnRenderedPictures, ModeratePerspective) {
    std::mt19937 random(2024);
    const cv::Mat modules = encodeModules("seen at an angle", 3);
    for (int scale : {4, 6, 10}) {
        const float side = static_cast<float>((modules.rows + 8) * scale);
        std::uniform_real_distribution<float> pull(-0.1f * side, 0.1f * side);
        for (int trial = 0; trial < 12; ++trial) {
            const float margin = 0.3f * side;
            const std::vector<cv::Point2f> square = {{0, 0}, {side, 0}, {0, side}, {side, side}};
            std::vector<cv::Point2f> seen;
            for (const auto& p : square) seen.emplace_back(p.x + margin + pull(random), p.y + margin + pull(random));
            const cv::Matx33d h = cv::getPerspectiveTransform(square, seen);
            const int out = static_cast<int>(side + 2 * margin);
            const DrawnSymbol drawn = drawSymbol(modules, scale, h, cv::Size(out, out), trial % 4 == 3);
            EXPECT_EQ(checkSymbol(drawn, h, false, trial % 4 == 3), "") << scale << " px, trial " << trial;
        }
    }
}

// Pair mode on a symbol with its bottom-left pattern painted over infers that pattern; with all
// three present and the third marked used, no variant proposes the found pattern again.
TEST(FinderSearchOnRenderedPictures, PairsInferTheMissingPatternOnly) {
    const int scale = 6;
    for (bool painted : {true, false}) {
        cv::Mat modules = encodeModules("one finder short", 2);
        const int n = modules.rows, side = (n + 8) * scale, out = side * 3 / 2;
        if (painted) modules(cv::Rect(0, n - 8, 8, 8)).setTo(255);
        for (int degrees : {0, 20, 45, 70, 135, 200}) {
            const DrawnSymbol drawn = drawSymbol(modules, scale, rotationAbout(degrees, side, out), cv::Size(out, out));
            OwnedRaster binary = binarise(drawn.grey);
            findFinderPatterns(binary.rows(), out, out, kRatio, kCentre, kPair, 3);
            ASSERT_GE(listedNear(drawn.finders[0], 3.0f), 0) << degrees;
            ASSERT_GE(listedNear(drawn.finders[1], 3.0f), 0) << degrees;
            const int third = listedNear(drawn.finders[2], 3.0f);
            ASSERT_EQ(third < 0, painted) << degrees;
            if (!painted) finderTable()[kFinderScore][finderList().columns[third]] = 0.0f;  // used
            listFinderPatterns(4, finderTable(), finderList());
            ASSERT_EQ(buildPairs(), 1);
            int entry = 0, variant = -1, result = 0, ready = 0;
            float best = 1e9f;
            while ((result = nextPairVariant(entry, variant, finderList(), finderTable(), out, out)) != -1) {
                if (result != 1) continue;
                ++ready;
                const PointF t = {candidateTriple().values[kFinderX][0], candidateTriple().values[kFinderY][0]};
                best = std::min(best, std::max(std::fabs(t.x - drawn.finders[2].x), std::fabs(t.y - drawn.finders[2].y)));
            }
            EXPECT_GT(ready, 0) << degrees;
            if (painted) EXPECT_LE(best, 0.5f * scale) << degrees;
            else EXPECT_GT(best, 3.0f) << degrees;
        }
    }
}
