#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/binarization.h"
#include "engine/decode/raster.h"

using namespace velmora;

namespace {

// Owns a Raster for the length of a test.
struct OwnedRaster {
    Raster* raster;
    OwnedRaster(int height, int width) : raster(createRaster(height, width, kRasterByte)) {}
    ~OwnedRaster() { destroyRaster(raster); }
    uint8_t& at(int y, int x) { return raster->rows[y][x]; }
    uint8_t** rows() const { return raster->rows; }
};

// Fills a grey raster from a Mat of the same size.
void fill(OwnedRaster& target, const cv::Mat& grey) {
    for (int y = 0; y < grey.rows; ++y) {
        for (int x = 0; x < grey.cols; ++x) target.at(y, x) = grey.at<uint8_t>(y, x);
    }
}

// A picture of vertical stripes whose columns from starts[k] on alternate between 100k + 10
// and 100k + 60 by row, so that block k has the two-valued histogram {100k + 10, 100k + 60}.
cv::Mat stripes(int width, int height, const std::vector<int>& starts) {
    cv::Mat grey(height, width, CV_8UC1);
    for (int x = 0; x < width; ++x) {
        int k = 0;
        while (k + 1 < static_cast<int>(starts.size()) && x >= starts[k + 1]) ++k;
        for (int y = 0; y < height; ++y) grey.at<uint8_t>(y, x) = static_cast<uint8_t>(70 * k + 10 + 50 * (y % 2));
    }
    return grey;
}

}  // namespace

TEST(BinarizationThresholds, UniformBlockGetsThresholdOne) {
    for (int value : {0, 1, 2, 128, 255}) {
        OwnedRaster grey(12, 15), binary(12, 15);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 15; ++x) grey.at(y, x) = static_cast<uint8_t>(value);
        }
        EXPECT_EQ(otsuThreshold(grey.rows(), 0, 0, 15, 12), 1);
        ASSERT_EQ(binarizeBlocks(0, binary.rows(), grey.rows(), 15, 12, 15, 12), 0);
        EXPECT_EQ(binary.at(11, 14), value > 1 ? 1 : 0) << "grey " << value;
        EXPECT_EQ(thresholdTable()[0][0], 1.0f);
    }
    OwnedRaster grey(2, 2);
    EXPECT_EQ(otsuThreshold(grey.rows(), 0, 0, 0, 2), 128);
}

// Two grey values a < b split at a, the first of the equal maxima; and natural pictures agree
// with OpenCV's Otsu, which uses the same dark <= t < light convention.
TEST(BinarizationThresholds, OtsuMatchesOpenCv) {
    OwnedRaster two(4, 4);
    for (int i = 0; i < 16; ++i) two.at(i / 4, i % 4) = i % 3 == 0 ? 90 : 170;
    EXPECT_EQ(otsuThreshold(two.rows(), 0, 0, 4, 4), 90);

    std::mt19937 random(11);
    for (int trial = 0; trial < 20; ++trial) {
        cv::Mat grey(120, 160, CV_8UC1);
        const int dark = 20 + static_cast<int>(random() % 60), light = 150 + static_cast<int>(random() % 80);
        for (int y = 0; y < grey.rows; ++y) {
            for (int x = 0; x < grey.cols; ++x) {
                const int base = ((x / 9 + y / 7 + static_cast<int>(random() % 3)) % 2) ? light : dark;
                grey.at<uint8_t>(y, x) = cv::saturate_cast<uint8_t>(base + static_cast<int>(random() % 41) - 20);
            }
        }
        OwnedRaster raster(grey.rows, grey.cols);
        fill(raster, grey);
        cv::Mat ignored;
        const double expected = cv::threshold(grey, ignored, 0, 1, cv::THRESH_BINARY | cv::THRESH_OTSU);
        EXPECT_EQ(otsuThreshold(raster.rows(), 0, 0, grey.cols, grey.rows), static_cast<int>(expected)) << trial;
    }
}

TEST(BinarizationLayout, ThinRestJoinsTheLastBlock) {
    EXPECT_EQ(thirdsBlockSize(100), 33);
    EXPECT_EQ(thirdsBlockSize(101), 34);
    EXPECT_EQ(thirdsBlockSize(102), 34);
    const BlockCut hundred = cutIntoBlocks(100, 33);
    EXPECT_EQ(hundred.count, 2);
    EXPECT_EQ(hundred.rest, 34);
    const BlockCut hundredOne = cutIntoBlocks(101, 34);
    EXPECT_EQ(hundredOne.count, 2);
    EXPECT_EQ(hundredOne.rest, 33);
    const BlockCut whole = cutIntoBlocks(640, 640);
    EXPECT_EQ(whole.count, 1);
    EXPECT_EQ(whole.rest, 0);
    // A block much larger than the side has no full block to absorb its rest.
    const BlockCut oversized = cutIntoBlocks(10, 40);
    EXPECT_EQ(oversized.count, 0);
    EXPECT_EQ(oversized.rest, 10);
}

// Each block sees exactly its own stripe: any other cut mixes two stripes into one histogram
// and moves that block's threshold.
TEST(BinarizationLayout, ThirdsLayoutCutsAtTheExpectedColumns) {
    struct Case {
        int width;
        std::vector<int> starts;
    };
    for (const Case& c : {Case{100, {0, 33, 66}}, Case{101, {0, 34, 68}}}) {
        const int height = 30;
        const cv::Mat grey = stripes(c.width, height, c.starts);
        OwnedRaster raster(height, c.width), binary(height, c.width);
        fill(raster, grey);
        ASSERT_EQ(binarizeBlocks(0, binary.rows(), raster.rows(), c.width, height, thirdsBlockSize(c.width),
                                 thirdsBlockSize(height)),
                  0);
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k) EXPECT_EQ(thresholdTable()[r][k], 70.0f * k + 10) << c.width << " " << r << k;
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < c.width; ++x) ASSERT_EQ(binary.at(y, x), y % 2) << x << "," << y;
        }
    }
}

TEST(BinarizationStrategies, DerivedThresholdsTruncateTheProducts) {
    EXPECT_EQ(derivedThreshold(3, 200.0f), 300);
    EXPECT_EQ(derivedThreshold(4, 200.0f), 119);
    EXPECT_EQ(derivedThreshold(4, 7.0f), 4);
    EXPECT_EQ(derivedThreshold(4, 0.0f), 0);
    EXPECT_EQ(derivedThreshold(1, 10.0f), 9);
    EXPECT_EQ(derivedThreshold(2, 100.0f), 111);
    EXPECT_EQ(derivedThreshold(9, 10.0f), 9);
    // The defining products: a single-precision threshold times a double factor (1.5 single),
    // formed in extended precision and truncated.
    for (int s = 0; s <= 255; ++s) {
        const long double stored = static_cast<float>(s);
        EXPECT_EQ(derivedThreshold(1, static_cast<float>(s)), static_cast<int>(stored * 0.9)) << s;
        EXPECT_EQ(derivedThreshold(2, static_cast<float>(s)), static_cast<int>(stored * 1.11)) << s;
        EXPECT_EQ(derivedThreshold(3, static_cast<float>(s)), static_cast<int>(stored * 1.5f)) << s;
        EXPECT_EQ(derivedThreshold(4, static_cast<float>(s)), static_cast<int>(stored * 0.6)) << s;
    }
}

TEST(BinarizationStrategies, DerivedStrategiesReadTheStoredThreshold) {
    const int width = 40, height = 20;
    OwnedRaster grey(height, width), binary(height, width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) grey.at(y, x) = x < 20 ? 200 : 250;
    }
    binarizeBlocks(0, binary.rows(), grey.rows(), width, height, width, height);
    EXPECT_EQ(thresholdTable()[0][0], 200.0f);
    EXPECT_EQ(binary.at(0, 19), 0);
    EXPECT_EQ(binary.at(0, 20), 1);

    // Strategy 3: threshold 300, so even white is dark.
    binarizeBlocks(3, binary.rows(), grey.rows(), width, height, width, height);
    for (int x = 0; x < width; ++x) EXPECT_EQ(binary.at(5, x), 0);

    // Strategy 4: threshold 119 splits 119 from 120.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) grey.at(y, x) = x % 2 ? 120 : 119;
    }
    binarizeBlocks(4, binary.rows(), grey.rows(), width, height, width, height);
    EXPECT_EQ(binary.at(3, 0), 0);
    EXPECT_EQ(binary.at(3, 1), 1);
    EXPECT_EQ(thresholdTable()[0][0], 200.0f);
}

TEST(BinarizationStrategies, RefusesLayoutsBeyondTheThresholdTable) {
    OwnedRaster grey(10, 70), binary(10, 70);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 70; ++x) binary.at(y, x) = 7;
    }
    EXPECT_EQ(binarizeBlocks(0, binary.rows(), grey.rows(), 70, 10, 10, 10), -1);  // seven block columns
    EXPECT_EQ(binarizeBlocks(0, binary.rows(), grey.rows(), 70, 10, 0, 10), -1);
    EXPECT_EQ(binary.at(9, 69), 7);
}

TEST(GreySmoothing, MatchesBoxMeanInsideAndKeepsTheRing) {
    std::mt19937 random(3);
    const int width = 37, height = 23;
    cv::Mat grey(height, width, CV_8UC1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) grey.at<uint8_t>(y, x) = static_cast<uint8_t>(random());
    }
    OwnedRaster source(height, width), smoothed(height, width);
    fill(source, grey);
    ASSERT_EQ(smoothBox(source.raster, smoothed.raster, 1, 3), 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (y == 0 || x == 0 || y == height - 1 || x == width - 1) {
                ASSERT_EQ(smoothed.at(y, x), grey.at<uint8_t>(y, x));
                continue;
            }
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) sum += grey.at<uint8_t>(y + dy, x + dx);
            }
            ASSERT_EQ(smoothed.at(y, x), static_cast<int>(sum / 9.0 + 0.5)) << x << "," << y;
        }
    }
}

TEST(GreySmoothing, RefusesBadArgumentsBeforeWriting) {
    OwnedRaster source(8, 8), destination(8, 8), smaller(7, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) destination.at(y, x) = 42;
    }
    EXPECT_EQ(smoothBox(source.raster, destination.raster, 2, 3), -1);
    EXPECT_EQ(smoothBox(source.raster, destination.raster, 1, 4), -1);
    EXPECT_EQ(smoothBox(source.raster, destination.raster, 1, 0), -1);
    EXPECT_EQ(smoothBox(nullptr, destination.raster, 1, 3), -1);
    EXPECT_EQ(smoothBox(smaller.raster, destination.raster, 1, 3), -1);
    EXPECT_EQ(destination.at(4, 4), 42);
}

TEST(GreyResampling, LastSampleInterpolatesFromTheRowAndColumnBefore) {
    OwnedRaster source(100, 100), doubled(200, 200);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) source.at(y, x) = static_cast<uint8_t>(2 * x + (y == 99 ? 50 : 0));
    }
    ASSERT_EQ(resampleBilinear(source.raster, doubled.raster, 1), 1);
    // Column 199 reads 99.5, clamped to 99 and nudged to 98.9999: 196 + 2 * 0.9999 + 0.5.
    EXPECT_EQ(doubled.at(0, 199), 198);
    EXPECT_EQ(doubled.at(0, 198), 198);  // exactly source column 99
    EXPECT_EQ(doubled.at(0, 1), 1);      // 0.5 between columns 0 and 1: 0 + 1 + 0.5
    // Rows 98 and 99, row 99 being 50 higher: halfway at destination row 197, and weight
    // 0.9999 on row 99 at row 199, read without touching a row 100 (AddressSanitizer).
    EXPECT_EQ(doubled.at(197, 0), 25);
    EXPECT_EQ(doubled.at(199, 0), 50);
}

TEST(GreyResampling, KeepsABinaryMaskBinaryAndHandlesOnePixelSides) {
    OwnedRaster mask(30, 40), enlarged(60, 80);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) mask.at(y, x) = (x > 10 && x < 25 && y > 5) ? 1 : 0;
    }
    ASSERT_EQ(resampleBilinear(mask.raster, enlarged.raster, 1), 1);
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 80; ++x) ASSERT_LE(enlarged.at(y, x), 1);
    }
    EXPECT_EQ(enlarged.at(30, 40), 1);
    EXPECT_EQ(enlarged.at(30, 10), 0);

    OwnedRaster line(1, 5), tall(3, 9);
    for (int x = 0; x < 5; ++x) line.at(0, x) = static_cast<uint8_t>(10 * x);
    ASSERT_EQ(resampleBilinear(line.raster, tall.raster, 1), 1);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(tall.at(y, 2), tall.at(0, 2));

    EXPECT_EQ(resampleBilinear(line.raster, tall.raster, 0), -1);
    EXPECT_EQ(resampleBilinear(nullptr, tall.raster, 1), -1);
}
