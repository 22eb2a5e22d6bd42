#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include <opencv2/core.hpp>

#include "engine/geometry/linear_solver.h"
#include "engine/geometry/perspective.h"
#include "engine/image/raster.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using velmora::test::OwnedRaster;

namespace {

std::vector<float> wellConditioned(std::mt19937& random, int n) {
    std::vector<float> a(static_cast<std::size_t>(n * n));
    for (auto& v : a) v = std::uniform_real_distribution<float>(-4.0f, 4.0f)(random);
    for (int i = 0; i < n; ++i) a[i * n + i] += 0.5f * n;
    return a;
}

}  // namespace

// Sizes up to 8 are worked on the stack, larger ones on the heap; a zero first pivot and a
// permutation force row and column exchanges.
TEST(LinearSolver, SolvesAndInvertsWithCompletePivoting) {
    std::mt19937 random(5);
    for (int n : {1, 3, 8, 12}) {
        const auto a = wellConditioned(random, n);
        std::vector<float> x(n), b(n, 0.0f), got(n), inverse(n * n);
        for (auto& v : x) v = std::uniform_real_distribution<float>(-3, 3)(random);
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) b[r] += a[r * n + c] * x[c];
        }
        ASSERT_EQ(solveLinear(got.data(), a.data(), b.data(), n), 1);
        for (int i = 0; i < n; ++i) EXPECT_NEAR(got[i], x[i], 1e-3f) << n;
        ASSERT_EQ(invertMatrix(inverse.data(), a.data(), n, 0), 1);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                float sum = 0.0f;
                for (int k = 0; k < n; ++k) sum += a[i * n + k] * inverse[k * n + j];
                EXPECT_NEAR(sum, i == j ? 1.0f : 0.0f, 1e-4f) << n;
            }
        }
    }
    const float zeroPivot[9] = {0, 2, 1, 1, 0, 3, 4, 1, 0}, b[3] = {2.5f, 1.0f, 4.0f};
    float x[3];
    ASSERT_EQ(solveLinear(x, zeroPivot, b, 3), 1);
    for (int r = 0; r < 3; ++r) EXPECT_NEAR(zeroPivot[3 * r] * x[0] + zeroPivot[3 * r + 1] * x[1] + zeroPivot[3 * r + 2] * x[2], b[r], 1e-5f);
    const float permutation[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0}, transposed[9] = {0, 1, 0, 0, 0, 1, 1, 0, 0};
    float inverse[9];
    ASSERT_EQ(invertMatrix(inverse, permutation, 3, 0), 1);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(inverse[i], transposed[i]);
    const float twice[9] = {2, 0, 0, 0, 2, 0, 0, 0, 2};
    ASSERT_EQ(invertMatrix(inverse, twice, 3, 1), 1);  // 0.5 I, normalised by 0.5
    for (int i = 0; i < 9; ++i) EXPECT_EQ(inverse[i], i % 4 == 0 ? 1.0f : 0.0f);
}

TEST(LinearSolver, SingularSystemsFailAndLeaveTheOutput) {
    const float dependent[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1}, zeros[9] = {}, b[3] = {1, 2, 3};
    float x[3] = {7, 7, 7}, out[9] = {};
    EXPECT_EQ(solveLinear(x, dependent, b, 3), -1);
    EXPECT_EQ(solveLinear(x, zeros, b, 3), -1);
    EXPECT_EQ(x[0], 7.0f);
    EXPECT_EQ(invertMatrix(out, dependent, 3, 0), -1);
    EXPECT_EQ(invertMatrix(out, zeros, 3, 1), -1);
}

TEST(PerspectiveFit, UnitSquareCollinearPointsAndInfinity) {
    const std::array<PointF, 4> square = {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
    PerspectiveCoefficients t{};
    ASSERT_EQ(solvePerspective(square, square, t), 1);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(t.h[i], i % 4 == 0 ? 1.0f : 0.0f, 1e-7f) << i;
    t.h.fill(42.0f);
    EXPECT_EQ(solvePerspective({{{0, 0}, {5, 5}, {10, 10}, {3, 9}}}, square, t), -1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(t.h[i], 42.0f);
    EXPECT_EQ(t.h[8], 1.0f);
    const PerspectiveCoefficients w{{1, 0, 0, 0, 1, 0, 1, 0, -2}};  // w = x - 2
    PointF out{-1, -1};
    EXPECT_EQ(mapPoint({2, 7}, out, w), -1);
    EXPECT_EQ(out.x, -1.0f);
    ASSERT_EQ(mapPoint({4, 6}, out, w), 1);
    EXPECT_EQ(out.y, 3.0f);
}

TEST(RasterWarp, FillOutsideRoundingAndTheLastRowNudge) {
    OwnedRaster source(6, 8), destination(6, 8);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) source.at(y, x) = static_cast<uint8_t>(10 * y + x);
    }
    const PerspectiveCoefficients identity{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    ASSERT_EQ(warpRaster(source.raster, destination.raster, identity, 0.0f, -5, 100, -5, 100), 1);  // clamped
    EXPECT_EQ(destination.at(5, 7), 57);
    // Destination (c, r) reads source (c - 0.5, r): column 0 lies half a pixel outside.
    const PerspectiveCoefficients shift{{1, 0, 0.5f, 0, 1, 0, 0, 0, 1}};
    ASSERT_EQ(warpRaster(source.raster, destination.raster, shift, 77.9f, 0, 5, 0, 7), 1);
    EXPECT_EQ(destination.at(2, 0), 77);
    EXPECT_EQ(destination.at(2, 1), 21);  // 20.5 rounds up
    // (0, 0) reads source (7, 5), the last row and column: rows 4 and 5, weight 0.9999 on 5.
    const PerspectiveCoefficients corner{{1, 0, -7, 0, 1, -5, 0, 0, 1}};
    ASSERT_EQ(warpRaster(source.raster, destination.raster, corner, 0.0f, 0, 0, 0, 0), 1);
    EXPECT_EQ(destination.at(0, 0), 57);
    OwnedRaster line(1, 5), out(3, 5);  // a source one row high has no second row to read
    for (int x = 0; x < 5; ++x) line.at(0, x) = static_cast<uint8_t>(40 * x);
    ASSERT_EQ(warpRaster(line.raster, out.raster, identity, 9.0f, 0, 2, 0, 4), 1);
    EXPECT_EQ(out.at(0, 4), 160);
    EXPECT_EQ(out.at(1, 4), 9);
    EXPECT_EQ(warpRaster(source.raster, destination.raster, PerspectiveCoefficients{}, 0.0f, 0, 0, 0, 0), -1);
}

// A symbol from our encoder drawn under a perspective, sampled back onto its module grid through
// the transform fitted to the centres of the four corner-most finder-style modules.
TEST(RasterWarp, SamplesAPerspectiveSymbolBackToItsModules) {
    const cv::Mat modules = test::encodeModules("perspective sampling", 3);
    const int n = modules.rows, scale = 8;
    const float side = static_cast<float>((n + 8) * scale), m = static_cast<float>(n - 4);
    const cv::Matx33d h = cv::getPerspectiveTransform(
        std::vector<cv::Point2f>{{0, 0}, {side, 0}, {0, side}, {side, side}},
        std::vector<cv::Point2f>{{20, 35}, {side + 5, 10}, {40, side + 30}, {side + 60, side + 50}});
    const test::DrawnSymbol drawn = test::drawSymbol(modules, scale, h, cv::Size(int(side) + 80, int(side) + 80));
    OwnedRaster binary = test::binaryOf(drawn.grey);
    auto pictureOf = [&](float c, float r) {
        const cv::Vec3d p = h * cv::Vec3d((c + 4.5) * scale - 0.5, (r + 4.5) * scale - 0.5, 1.0);
        return PointF{static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2])};
    };
    PerspectiveCoefficients toModules;
    ASSERT_EQ(solvePerspective({pictureOf(3, 3), pictureOf(m, 3), pictureOf(3, m), pictureOf(m, m)},
                               {{{3, 3}, {m, 3}, {3, m}, {m, m}}}, toModules),
              1);
    OwnedRaster grid(n, n);
    ASSERT_EQ(warpRaster(binary.raster, grid.raster, toModules, 0.0f, 0, n - 1, 0, n - 1), 1);
    int wrong = 0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) wrong += grid.at(r, c) != (modules.at<uint8_t>(r, c) != 0);
    }
    EXPECT_EQ(wrong, 0);
}

// The warp and the decoded-area marking map four points at a time; every point must land
// exactly where mapPoint puts it, or the sampled modules and the marked pixels would shift.
TEST(PerspectiveFit, FourPointsAtATimeMapExactlyAsOneAtATime) {
    std::mt19937 random(17);
    std::uniform_real_distribution<float> coefficient(-3.0f, 3.0f), small(-0.01f, 0.01f);
    for (int trial = 0; trial < 2000; ++trial) {
        PerspectiveCoefficients h{};
        for (int k = 0; k < 6; ++k) h.h[static_cast<std::size_t>(k)] = coefficient(random);
        h.h[6] = small(random);
        h.h[7] = small(random);
        h.h[8] = trial % 50 == 0 ? 0.0f : 1.0f;
        const float x0 = static_cast<float>(random() % 400), y = static_cast<float>(random() % 400);
        MappedPoints four;
        mapRowOfFour(h, x0, y, four);
        for (int l = 0; l < 4; ++l) {
            PointF one{};
            const int mapped = mapPoint({x0 + static_cast<float>(l), y}, one, h);
            ASSERT_EQ(mapped == 1, four.w[l] != 0.0f) << "trial " << trial;
            if (mapped != 1) continue;
            ASSERT_EQ(four.x[l], one.x) << "trial " << trial << ", lane " << l;
            ASSERT_EQ(four.y[l], one.y) << "trial " << trial << ", lane " << l;
        }
    }
}

// The warp samples four destination pixels at a time when they all fall inside the source; every
// pixel must come out as the plain bilinear sample at the point mapPoint gives, including points
// on the source's last row or column (nudged) and points outside (filled).
TEST(RasterWarp, FourSamplesAtATimeMatchThePlainBilinearSample) {
    std::mt19937 random(23);
    OwnedRaster source(29, 37), destination(31, 41);
    for (int y = 0; y < 29; ++y) {
        for (int x = 0; x < 37; ++x) source.at(y, x) = static_cast<uint8_t>(random() % 256);
    }
    auto plainSample = [&](PointF s) -> int {
        if (!(s.x >= 0.0f && s.x <= 36.0f && s.y >= 0.0f && s.y <= 28.0f)) return 200;
        auto axis = [](float v, int size, int& lower, int& upper, float& fraction) {
            lower = static_cast<int>(v);
            if (lower == size - 1) {
                v = static_cast<float>(v - 0.0001);
                lower = static_cast<int>(v);
            }
            upper = std::min(lower + 1, size - 1);
            fraction = v - static_cast<float>(lower);
        };
        int r0, r1, c0, c1;
        float fy, fx;
        axis(s.y, 29, r0, r1, fy);
        axis(s.x, 37, c0, c1, fx);
        const float p00 = source.at(r0, c0), p01 = source.at(r0, c1), p10 = source.at(r1, c0), p11 = source.at(r1, c1);
        return static_cast<int>(p00 + 0.5f + (p10 - p00) * fy + (p01 - p00) * fx + (p00 + p11 - p10 - p01) * fx * fy);
    };
    std::uniform_real_distribution<float> scale(0.6f, 1.2f), angle(-0.4f, 0.4f), shift(-6.0f, 6.0f), tilt(-0.002f, 0.002f);
    for (int trial = 0; trial < 300; ++trial) {
        PerspectiveCoefficients h{};
        if (trial % 3 == 0) {
            // Whole-pixel shifts land on sample positions, the source's last row and column among them.
            h = PerspectiveCoefficients{{1, 0, static_cast<float>(random() % 9) - 4.0f, 0, 1,
                                         static_cast<float>(random() % 9) - 4.0f, 0, 0, 1}};
        } else {
            const float s = scale(random), a = angle(random);
            h = PerspectiveCoefficients{{s * std::cos(a), -s * std::sin(a), shift(random), s * std::sin(a),
                                         s * std::cos(a), shift(random), tilt(random), tilt(random), 1.0f}};
        }
        ASSERT_EQ(warpRaster(source.raster, destination.raster, h, 200.0f, 0, 30, 0, 40), 1);
        PerspectiveCoefficients inverse;
        ASSERT_EQ(invertMatrix(inverse.h.data(), h.h.data(), 3, 0), 1);
        for (int r = 0; r < 31; ++r) {
            for (int c = 0; c < 41; ++c) {
                PointF s{};
                ASSERT_EQ(mapPoint({static_cast<float>(c), static_cast<float>(r)}, s, inverse), 1);
                ASSERT_EQ(destination.at(r, c), plainSample(s)) << "trial " << trial << " at " << c << "," << r;
            }
        }
    }
}
