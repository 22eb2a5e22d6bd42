// Symbols with one finder pattern damaged away from its centre lines: the finder search still
// finds it, and the reader must take it for what it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/velmora_engine.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// The modules of a finder's 7 x 7 area off its centre row and column, row by row.
std::vector<std::pair<int, int>> offLineModules() {
    std::vector<std::pair<int, int>> modules;
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 7; ++c) {
            if (r != 3 && c != 3) modules.emplace_back(r, c);
        }
    }
    return modules;
}

// The largest distance, in modules and per coordinate, from a recorded corner of entry 0 to the
// nearest true corner of an upright symbol of n modules drawn at `scale` with its quiet zone.
float worstCornerError(int n, int scale) {
    const float near = 4.0f * scale, far = near + static_cast<float>(n * scale);
    const std::array<std::array<float, 2>, 4> corners = {{{near, near}, {far, near}, {near, far}, {far, far}}};
    float worst = 0.0f;
    for (int i = 0; i < 4; ++i) {
        float best = 1e9f;
        for (const auto& c : corners) {
            const float dx = std::fabs(g_QrDecodedData.dXY_4Corners[0][i] - c[0]);
            const float dy = std::fabs(g_QrDecodedData.dXY_4Corners[0][4 + i] - c[1]);
            best = std::min(best, std::max(dx, dy));
        }
        worst = std::max(worst, best);
    }
    return worst / static_cast<float>(scale);
}

}  // namespace

namespace {

constexpr int kScale = 8;
constexpr float kCornerTolerance = 0.5f;

// Flips the first 0 to 24 modules of `order` in each finder of a symbol of the version and reads it.
void readWithFlips(int version, const std::vector<std::pair<int, int>>& order, const std::string& how) {
    const std::string text = "damaged finder, version " + std::to_string(version);
    const cv::Mat intact = encodeModules(text, version);
    ASSERT_FALSE(intact.empty());
    const int n = intact.rows;
    for (int finder = 0; finder < 3; ++finder) {
        const int row0 = finder == 2 ? n - 7 : 0, column0 = finder == 1 ? n - 7 : 0;
        for (int flipped = 0; flipped <= 24; ++flipped) {
            cv::Mat modules = intact.clone();
            for (int i = 0; i < flipped; ++i) {
                uint8_t& m = modules.at<uint8_t>(row0 + order[i].first, column0 + order[i].second);
                m = static_cast<uint8_t>(255 - m);
            }
            const int side = (n + 8) * kScale;
            DrawnSymbol drawn = drawSymbol(modules, kScale, cv::Matx33d::eye(), cv::Size(side, side));
            const std::string what = how + ", version " + std::to_string(version) + " finder " +
                                     std::to_string(finder) + " flipped " + std::to_string(flipped);
            ASSERT_EQ(QR_Decode_Matrix(0, drawn.grey.data, drawn.grey.cols, drawn.grey.rows, 1, 1, nullptr), 1) << what;
            EXPECT_EQ(std::string(g_QrDecodedData.sParseStr[0], g_QrDecodedData.nParseStrLen[0]), text) << what;
            EXPECT_LE(worstCornerError(n, kScale), kCornerTolerance) << what;
        }
    }
}

}  // namespace

// 0 to 24 of the 36 off-line modules of one finder flipped, for each of the three finders: the
// symbol is read with its text, through its own three finders, and every corner lies within
// half a module of the true one. A read left to a pair candidate puts the damaged finder's
// corner 0.6 to 1 module off; a damaged finder's centre taken from the scan lines alone may lie
// a third of a module off, which moved the corner beside it 0.52 modules.
TEST(ReaderReadsDamagedFinders, OffLineModulesFlipped) {
    for (int version : {1, 2, 5, 7, 10}) readWithFlips(version, offLineModules(), "row by row");
}

TEST(ReaderReadsDamagedFinders, OffLineModulesFlippedInRandomOrders) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 4; ++round) {
        std::vector<std::pair<int, int>> order = offLineModules();
        std::shuffle(order.begin(), order.end(), random);
        for (int version : {1, 3, 7}) readWithFlips(version, order, "order " + std::to_string(round));
    }
}
