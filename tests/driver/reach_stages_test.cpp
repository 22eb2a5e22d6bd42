// The stages after the schedule: what they add, in the caller's coordinates, and never a symbol
// twice.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decode_driver.h"
#include "engine/decode/reduced_copy_stage.h"
#include "engine/velmora_engine.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using namespace velmora::test;

namespace {
int decode(cv::Mat& grey, int wanted) { return QR_Decode_Matrix(0, grey.data, grey.cols, grey.rows, wanted, 1, nullptr); }

std::string text(int k) { return std::string(g_QrDecodedData.sParseStr[k], g_QrDecodedData.nParseStrLen[k]); }

// An upright symbol of `text` at `scale` pixels a module, its quiet zone's corner at (x, y), on a
// light picture.
cv::Mat pictureWith(const std::string& content, int version, int scale, cv::Size size, cv::Point at) {
    const cv::Mat modules = encodeModules(content, version);
    const cv::Matx33d shift(1, 0, at.x, 0, 1, at.y, 0, 0, 1);
    return drawSymbol(modules, scale, shift, size).grey;
}

// Multiplies the picture by a light that falls from 1 at `spot` to `floor` at `reach` pixels.
void light(cv::Mat& picture, cv::Point spot, double reach, double floor) {
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            const double fall = std::max(floor, 1.0 - std::hypot(x - spot.x, y - spot.y) / reach);
            picture.at<uint8_t>(y, x) = cv::saturate_cast<uint8_t>(picture.at<uint8_t>(y, x) * fall);
        }
    }
}

}  // namespace

TEST(ReachStagesReadUnevenLight, ASymbolInTheLampsFalloffIsReadByTheLocalThreshold) {
    cv::Mat picture = pictureWith("lamp light", 2, 6, cv::Size(640, 480), cv::Point(200, 100));
    light(picture, cv::Point(230, 130), 160.0, 0.1);
    ASSERT_EQ(decode(picture, 1), 1);
    EXPECT_EQ(text(0), "lamp light");
    EXPECT_EQ(lastRequestSummary().reachReads[kLocalThresholdStage], 1);
}

TEST(ReachStagesReadEachSymbolOnce, MoreWantedThanThePictureHolds) {
    // A small picture (the enlargement retry runs too), one at full size and one large enough
    // for both reduced copies: each stage searches with the symbol masked.
    for (const cv::Size size : {cv::Size(300, 240), cv::Size(900, 700), cv::Size(2400, 1800)}) {
        const int scale = std::max(3, size.width / 150);
        cv::Mat picture = pictureWith("only once", 1, scale, size, cv::Point(size.width / 5, size.height / 6));
        EXPECT_EQ(decode(picture, 4), 1) << size;
        EXPECT_EQ(text(0), "only once") << size;
    }
}

TEST(ReachStagesReadReducedCopies, FactorsBringTheLongerSideToAboutAThousandPixels) {
    EXPECT_EQ(reductionFactors(640, 480), std::vector<int>{});
    EXPECT_EQ(reductionFactors(1024, 768), std::vector<int>{2});
    EXPECT_EQ(reductionFactors(1025, 768), std::vector<int>{2});
    EXPECT_EQ(reductionFactors(3024, 4032), (std::vector<int>{4, 2}));
    EXPECT_EQ(reductionFactors(1512, 2016), std::vector<int>{2});
}
