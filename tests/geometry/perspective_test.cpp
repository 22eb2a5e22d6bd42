#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/raster.h"
#include "engine/geometry/linear_solver.h"
#include "engine/geometry/perspective.h"
#include "engine/velmora_engine.h"

using namespace velmora;

namespace {

struct OwnedRaster {
    Raster* raster;
    OwnedRaster(int height, int width) : raster(createRaster(height, width, kRasterByte)) {}
    ~OwnedRaster() { destroyRaster(raster); }
    uint8_t& at(int y, int x) { return raster->rows[y][x]; }
};

std::vector<float> product(const std::vector<float>& a, const std::vector<float>& b, int n) {
    std::vector<float> c(static_cast<std::size_t>(n * n), 0.0f);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            for (int k = 0; k < n; ++k) c[i * n + j] += a[i * n + k] * b[k * n + j];
        }
    }
    return c;
}

std::vector<float> randomMatrix(std::mt19937& random, int n) {
    std::uniform_real_distribution<float> value(-4.0f, 4.0f);
    std::vector<float> a(static_cast<std::size_t>(n * n));
    for (auto& v : a) v = value(random);
    for (int i = 0; i < n; ++i) a[i * n + i] += 0.5f * n;  // keep it well away from singular
    return a;
}

}  // namespace

TEST(LinearSolver, SolvesSystemsThatNeedPivoting) {
    // A zero in the first pivot position forces row and column exchanges.
    const float a[9] = {0, 2, 1, 1, 0, 3, 4, 1, 0};
    const float x[3] = {1.5f, -2.0f, 0.25f};
    float b[3];
    for (int r = 0; r < 3; ++r) b[r] = a[r * 3] * x[0] + a[r * 3 + 1] * x[1] + a[r * 3 + 2] * x[2];
    float solution[3] = {};
    ASSERT_EQ(solveLinear(solution, a, b, 3), 1);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(solution[i], x[i], 1e-5f);

    std::mt19937 random(5);
    for (int n : {1, 2, 5, 8, 12}) {
        const auto m = randomMatrix(random, n);
        std::vector<float> expected(static_cast<std::size_t>(n)), rhs(static_cast<std::size_t>(n), 0.0f), got(static_cast<std::size_t>(n));
        for (auto& v : expected) v = std::uniform_real_distribution<float>(-3, 3)(random);
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) rhs[r] += m[r * n + c] * expected[c];
        }
        ASSERT_EQ(solveLinear(got.data(), m.data(), rhs.data(), n), 1) << n;
        for (int i = 0; i < n; ++i) EXPECT_NEAR(got[i], expected[i], 1e-3f) << n;
    }
}

TEST(LinearSolver, SingularSystemsFailAndLeaveTheSolution) {
    const float dependent[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1};
    const float zeros[9] = {};
    const float b[3] = {1, 2, 3};
    float x[3] = {7, 7, 7};
    EXPECT_EQ(solveLinear(x, dependent, b, 3), -1);
    EXPECT_EQ(solveLinear(x, zeros, b, 3), -1);
    EXPECT_EQ(solveLinear(x, zeros, b, 0), -1);
    EXPECT_EQ(x[0], 7.0f);
    float out[9] = {};
    EXPECT_EQ(invertMatrix(out, dependent, 3, 0), -1);
    EXPECT_EQ(invertMatrix(out, zeros, 3, 1), -1);
}

TEST(MatrixInverse, ProductWithTheInverseIsIdentity) {
    std::mt19937 random(9);
    for (int n : {1, 3, 4, 8, 10}) {
        const auto m = randomMatrix(random, n);
        std::vector<float> inverse(static_cast<std::size_t>(n * n));
        ASSERT_EQ(invertMatrix(inverse.data(), m.data(), n, 0), 1) << n;
        const auto identity = product(m, inverse, n);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) EXPECT_NEAR(identity[i * n + j], i == j ? 1.0f : 0.0f, 1e-4f) << n;
        }
    }
    // A permutation matrix is inverted only through the row and column exchanges.
    const float permutation[9] = {0, 0, 1, 1, 0, 0, 0, 1, 0};
    float inverse[9];
    ASSERT_EQ(invertMatrix(inverse, permutation, 3, 0), 1);
    const float transposed[9] = {0, 1, 0, 0, 0, 1, 1, 0, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(inverse[i], transposed[i]) << i;
}

TEST(MatrixInverse, NormaliseScalesTheLastElementToOne) {
    const float twice[9] = {2, 0, 0, 0, 2, 0, 0, 0, 2};
    float inverse[9];
    ASSERT_EQ(invertMatrix(inverse, twice, 3, 1), 1);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(inverse[i], i % 4 == 0 ? 1.0f : 0.0f);
    ASSERT_EQ(invertMatrix(inverse, twice, 3, 0), 1);
    EXPECT_EQ(inverse[8], 0.5f);
}

TEST(PerspectiveFit, UnitSquareToItselfIsIdentity) {
    const std::array<PointF, 4> square = {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
    PerspectiveCoefficients t{};
    ASSERT_EQ(solvePerspective(square, square, t), 1);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(t.h[i], (i == 0 || i == 4 || i == 8) ? 1.0f : 0.0f, 1e-7f) << i;
}

TEST(PerspectiveFit, ThreeCollinearPointsAreSingular) {
    const std::array<PointF, 4> collinear = {{{0, 0}, {5, 5}, {10, 10}, {3, 9}}};
    const std::array<PointF, 4> square = {{{0, 0}, {1, 0}, {0, 1}, {1, 1}}};
    PerspectiveCoefficients t;
    t.h.fill(42.0f);
    EXPECT_EQ(solvePerspective(collinear, square, t), -1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(t.h[i], 42.0f);
    EXPECT_EQ(t.h[8], 1.0f);
}

TEST(PerspectiveFit, AgreesWithOpenCvOnRandomQuadrilaterals) {
    std::mt19937 random(21);
    std::uniform_real_distribution<float> jitter(-30.0f, 30.0f);
    for (int trial = 0; trial < 50; ++trial) {
        std::array<PointF, 4> from = {{{100, 100}, {400, 100}, {100, 400}, {400, 400}}};
        std::array<PointF, 4> to = {{{3, 3}, {26, 3}, {3, 26}, {26, 26}}};
        for (auto& p : from) p = {p.x + jitter(random), p.y + jitter(random)};
        PerspectiveCoefficients t;
        ASSERT_EQ(solvePerspective(from, to, t), 1);
        std::vector<cv::Point2f> cvFrom, cvTo;
        for (int i = 0; i < 4; ++i) {
            cvFrom.emplace_back(from[i].x, from[i].y);
            cvTo.emplace_back(to[i].x, to[i].y);
        }
        const cv::Mat reference = cv::getPerspectiveTransform(cvFrom, cvTo);
        for (int i = 0; i < 4; ++i) {
            PointF mapped;
            ASSERT_EQ(mapPoint(from[i], mapped, t), 1);
            EXPECT_NEAR(mapped.x, to[i].x, 2e-3f);
            EXPECT_NEAR(mapped.y, to[i].y, 2e-3f);
        }
        for (int i = 0; i < 9; ++i) {
            const double expected = reference.at<double>(i / 3, i % 3);
            EXPECT_NEAR(t.h[i], expected, 1e-4 + 1e-3 * std::fabs(expected)) << trial << " h" << i;
        }
    }
}

TEST(PerspectiveMapping, PointAtInfinityFailsAndLeavesTheOutput) {
    PerspectiveCoefficients t{{1, 0, 0, 0, 1, 0, 1, 0, -2}};  // w = x - 2
    PointF out{-1, -1};
    EXPECT_EQ(mapPoint({2, 7}, out, t), -1);
    EXPECT_EQ(out.x, -1.0f);
    ASSERT_EQ(mapPoint({4, 6}, out, t), 1);
    EXPECT_EQ(out.x, 2.0f);
    EXPECT_EQ(out.y, 3.0f);
}

TEST(RasterWarp, IdentityCopiesAndOutsidePointsGetTheFill) {
    OwnedRaster source(6, 8), destination(6, 8);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) source.at(y, x) = static_cast<uint8_t>(10 * y + x);
    }
    const PerspectiveCoefficients identity{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    ASSERT_EQ(warpRaster(source.raster, destination.raster, identity, 0.0f, -5, 100, -5, 100), 1);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) ASSERT_EQ(destination.at(y, x), source.at(y, x)) << x << "," << y;
    }
    // Destination (c, r) reads source (c - 0.5, r): column 0 falls half a pixel outside.
    const PerspectiveCoefficients shift{{1, 0, 0.5f, 0, 1, 0, 0, 0, 1}};
    ASSERT_EQ(warpRaster(source.raster, destination.raster, shift, 77.9f, 0, 5, 0, 7), 1);
    EXPECT_EQ(destination.at(2, 0), 77);
    EXPECT_EQ(destination.at(2, 1), static_cast<uint8_t>(20 + 0.5 + 0.5));  // 20.5 rounds up
    EXPECT_EQ(destination.at(2, 7), static_cast<uint8_t>(26.5 + 0.5));
}

TEST(RasterWarp, LastRowIsReadWithTheRowAboveAndNeverBeyond) {
    OwnedRaster source(4, 4), destination(1, 1);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) source.at(y, x) = static_cast<uint8_t>(y == 3 ? 200 : 0);
    }
    // Destination (0, 0) reads source (3, 3): rows 2 and 3 with weight 0.9999 on row 3.
    const PerspectiveCoefficients toCorner{{1, 0, -3, 0, 1, -3, 0, 0, 1}};
    ASSERT_EQ(warpRaster(source.raster, destination.raster, toCorner, 0.0f, 0, 0, 0, 0), 1);
    EXPECT_EQ(destination.at(0, 0), 200);

    OwnedRaster line(1, 5), out(3, 5);
    for (int x = 0; x < 5; ++x) line.at(0, x) = static_cast<uint8_t>(40 * x);
    const PerspectiveCoefficients identity{{1, 0, 0, 0, 1, 0, 0, 0, 1}};
    ASSERT_EQ(warpRaster(line.raster, out.raster, identity, 9.0f, 0, 2, 0, 4), 1);
    EXPECT_EQ(out.at(0, 4), 160);
    EXPECT_EQ(out.at(1, 4), 9);

    const PerspectiveCoefficients singular{};
    EXPECT_EQ(warpRaster(source.raster, destination.raster, singular, 0.0f, 0, 0, 0, 0), -1);
    EXPECT_EQ(warpRaster(nullptr, destination.raster, identity, 0.0f, 0, 0, 0, 0), -1);
}

// A symbol from our encoder, drawn under a perspective, sampled back onto its module grid
// through the transform fitted to its four finder-style reference points.
TEST(RasterWarp, SamplesAnEncodedSymbolBackToItsModules) {
    int version = 3, mask = -1;
    ASSERT_EQ(QR_Encode_Matrix(1, &version, 0, &mask, "perspective sampling", 0, nullptr), 1);
    const int n = g_QrEncodedData.iEncoded_WH;
    const int scale = 8, quiet = 4;
    const int side = (n + 2 * quiet) * scale;
    cv::Mat upright(side, side, CV_8UC1, cv::Scalar(1));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (g_QrEncodedData.byEncoded_Data[r][c] == 0) {
                upright(cv::Rect((c + quiet) * scale, (r + quiet) * scale, scale, scale)).setTo(0);
            }
        }
    }
    const std::vector<cv::Point2f> square = {{0, 0}, {float(side), 0}, {0, float(side)}, {float(side), float(side)}};
    const std::vector<cv::Point2f> seen = {{20, 35}, {float(side) + 5, 10}, {40, float(side) + 30}, {float(side) + 60, float(side) + 50}};
    const cv::Mat h = cv::getPerspectiveTransform(square, seen);
    cv::Mat picture;
    cv::warpPerspective(upright * 255, picture, h, cv::Size(side + 80, side + 80), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar(255));

    OwnedRaster binary(picture.rows, picture.cols);
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) binary.at(y, x) = picture.at<uint8_t>(y, x) > 127;
    }
    // Module centre (c, r) of the upright drawing is pixel-centre point ((c + quiet + 0.5) s - 0.5).
    auto pictureOf = [&](float c, float r) {
        const std::vector<cv::Point2f> in = {{(c + quiet + 0.5f) * scale - 0.5f, (r + quiet + 0.5f) * scale - 0.5f}};
        std::vector<cv::Point2f> out;
        cv::perspectiveTransform(in, out, h);
        return PointF{out[0].x, out[0].y};
    };
    const float m = static_cast<float>(n - 4);
    const std::array<PointF, 4> inPicture = {pictureOf(3, 3), pictureOf(m, 3), pictureOf(3, m), pictureOf(m, m)};
    const std::array<PointF, 4> inModules = {{{3, 3}, {m, 3}, {3, m}, {m, m}}};
    PerspectiveCoefficients toModules;
    ASSERT_EQ(solvePerspective(inPicture, inModules, toModules), 1);
    OwnedRaster grid(n, n);
    ASSERT_EQ(warpRaster(binary.raster, grid.raster, toModules, 0.0f, 0, n - 1, 0, n - 1), 1);
    int wrong = 0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) wrong += grid.at(r, c) != g_QrEncodedData.byEncoded_Data[r][c];
    }
    EXPECT_EQ(wrong, 0);
}
