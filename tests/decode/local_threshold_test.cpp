// The local threshold and the block reduction that the reach stages search with.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/image/block_reduction.h"
#include "engine/image/local_threshold.h"
#include "engine/image/mean_threshold.h"
#include "engine/image/raster.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// A raster view over a Mat's rows, released with the test.
struct View {
    Raster* raster;
    explicit View(cv::Mat& m) : raster(viewBufferAsRaster(m.data, m.rows, m.cols, static_cast<int>(m.step))) {}
    ~View() { releaseRasterView(raster); }
};

// A symbol under a lamp: the light falls from 255 at the spot to a twelfth of it at the far side.
cv::Mat symbolUnderLamp(const cv::Mat& modules, int scale) {
    const int side = (modules.rows + 8) * scale;
    cv::Mat picture = drawSymbol(modules, scale, cv::Matx33d::eye(), cv::Size(side, side)).grey;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double distance = std::hypot(x - side * 0.2, y - side * 0.3) / side;
            const double light = std::max(1.0 / 12, 1.0 - distance);
            picture.at<uint8_t>(y, x) = cv::saturate_cast<uint8_t>(picture.at<uint8_t>(y, x) * light);
        }
    }
    return picture;
}

}  // namespace

TEST(LocalThresholdFollowsTheLight, EveryModuleOfASymbolUnderALampKeepsItsColour) {
    const cv::Mat modules = encodeModules("under the lamp", 3);
    constexpr int kScale = 9;
    cv::Mat grey = symbolUnderLamp(modules, kScale);
    cv::Mat binary(grey.size(), CV_8UC1, cv::Scalar(7));
    View g(grey), b(binary);
    ASSERT_EQ(binarizeLocally(*g.raster, *b.raster), 1);

    // The one threshold of the whole picture loses modules in the dark far side.
    cv::Mat otsu;
    cv::threshold(grey, otsu, 0, 1, cv::THRESH_BINARY | cv::THRESH_OTSU);
    int otsuWrong = 0, localWrong = 0;
    for (int r = 0; r < modules.rows; ++r) {
        for (int c = 0; c < modules.cols; ++c) {
            const cv::Point centre((c + 4) * kScale + kScale / 2, (r + 4) * kScale + kScale / 2);
            const int light = modules.at<uint8_t>(r, c) != 0 ? 1 : 0;
            localWrong += binary.at<uint8_t>(centre) != light;
            otsuWrong += otsu.at<uint8_t>(centre) != light;
        }
    }
    EXPECT_EQ(localWrong, 0);
    EXPECT_GT(otsuWrong, 20);
}

TEST(LocalThresholdFollowsTheLight, WritesEverySampleOfRaggedSizesAndRefusesTinyOnes) {
    cv::RNG rng(5);
    for (const cv::Size size : {cv::Size(40, 40), cv::Size(45, 43), cv::Size(131, 67)}) {
        cv::Mat grey(size, CV_8UC1), binary(size, CV_8UC1, cv::Scalar(7));
        rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
        View g(grey), b(binary);
        ASSERT_EQ(binarizeLocally(*g.raster, *b.raster), 1) << size;
        EXPECT_EQ(cv::countNonZero(binary > 1), 0) << size << ": samples left unwritten";
    }
    // A flat light picture stays light, a flat dark one dark.
    for (const int level : {30, 220}) {
        cv::Mat grey(64, 64, CV_8UC1, cv::Scalar(level)), binary(64, 64, CV_8UC1);
        View g(grey), b(binary);
        ASSERT_EQ(binarizeLocally(*g.raster, *b.raster), 1);
        EXPECT_EQ(cv::countNonZero(binary), 64 * 64) << "flat " << level;
    }
    cv::Mat small(39, 80, CV_8UC1, cv::Scalar(0)), out(39, 80, CV_8UC1), other(40, 80, CV_8UC1);
    View s(small), o(out), w(other);
    EXPECT_EQ(binarizeLocally(*s.raster, *o.raster), -1);
    EXPECT_EQ(binarizeLocally(*s.raster, *w.raster), -1);
}

TEST(BlockReductionAverages, EachSampleIsTheRoundedMeanOfItsBlock) {
    cv::RNG rng(9);
    cv::Mat grey(61, 47, CV_8UC1);
    rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
    for (const int factor : {2, 3, 4}) {
        cv::Mat reduced(61 / factor, 47 / factor, CV_8UC1);
        View g(grey), r(reduced);
        ASSERT_EQ(reduceByBlocks(*g.raster, *r.raster, factor), 1);
        for (int y = 0; y < reduced.rows; ++y) {
            for (int x = 0; x < reduced.cols; ++x) {
                const double mean = cv::mean(grey(cv::Rect(x * factor, y * factor, factor, factor)))[0];
                ASSERT_EQ(reduced.at<uint8_t>(y, x), static_cast<int>(mean + 0.5)) << factor << " at " << x << "," << y;
            }
        }
    }
    cv::Mat wrong(30, 24, CV_8UC1);
    View g(grey), w(wrong);
    EXPECT_EQ(reduceByBlocks(*g.raster, *w.raster, 2), -1);
    EXPECT_EQ(reduceByBlocks(*g.raster, *w.raster, 1), -1);
}

TEST(MeanThresholdKeepsEdges, FlatNoiseStaysLightWhileAStepAndASymbolKeepTheirDark) {
    // A flat field with a little noise: no specks, so the outline search has nothing to trace.
    cv::Mat flat(120, 160, CV_8UC1), binary(120, 160, CV_8UC1);
    cv::randu(flat, 126, 131);
    View grey(flat), out(binary);
    ASSERT_EQ(binarizeAgainstLocalMean(*grey.raster, *out.raster, 21), 1);
    EXPECT_EQ(cv::countNonZero(binary), binary.rows * binary.cols);
    // A step from 150 to 130: the dark side's edge is dark, the light side stays light.
    cv::Mat step(120, 160, CV_8UC1, cv::Scalar(150));
    step.colRange(80, 160).setTo(130);
    View stepView(step);
    ASSERT_EQ(binarizeAgainstLocalMean(*stepView.raster, *out.raster, 21), 1);
    EXPECT_EQ(binary.at<uint8_t>(60, 82), 0);
    EXPECT_EQ(binary.at<uint8_t>(60, 77), 1);
    // A symbol under a lamp, its far side faint, against a window of three modules: the same
    // modules as its drawing.
    const cv::Mat modules = encodeModules("mean", 1);
    cv::Mat lamp = symbolUnderLamp(modules, 6), lampBinary(lamp.rows, lamp.cols, CV_8UC1);
    View lampView(lamp), lampOut(lampBinary);
    ASSERT_EQ(binarizeAgainstLocalMean(*lampView.raster, *lampOut.raster, 19), 1);
    int wrong = 0;
    for (int r = 0; r < modules.rows; ++r) {
        for (int c = 0; c < modules.cols; ++c) {
            const int x = (c + 4) * 6 + 3, y = (r + 4) * 6 + 3;
            wrong += (lampBinary.at<uint8_t>(y, x) != 0) != (modules.at<uint8_t>(r, c) != 0) ? 1 : 0;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(MeanThresholdKeepsEdges, WindowsAndRefusals) {
    EXPECT_EQ(meanThresholdWindow(640, 480, 24), 21);
    EXPECT_EQ(meanThresholdWindow(100, 60, 48), 5);
    cv::Mat a(30, 30, CV_8UC1, cv::Scalar(0)), b(30, 31, CV_8UC1);
    View va(a), vb(b);
    EXPECT_EQ(binarizeAgainstLocalMean(*va.raster, *vb.raster, 5), -1);   // sizes differ
    EXPECT_EQ(binarizeAgainstLocalMean(*va.raster, *va.raster, 4), -1);   // even window
}
