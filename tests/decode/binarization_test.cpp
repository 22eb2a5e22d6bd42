#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/image/bilinear.h"
#include "engine/image/binarization.h"
#include "engine/image/raster.h"

using namespace velmora;

namespace {

// A byte raster owned for the length of a test, filled from a Mat or a constant.
struct Owned {
    Raster* r;
    Owned(int height, int width, int value = 0) : r(createRaster(height, width, kRasterByte)) {
        for (int y = 0; y < height; ++y) std::fill(r->rows[y], r->rows[y] + width, static_cast<uint8_t>(value));
    }
    explicit Owned(const cv::Mat& grey) : Owned(grey.rows, grey.cols) {
        for (int y = 0; y < grey.rows; ++y) std::copy(grey.ptr(y), grey.ptr(y) + grey.cols, r->rows[y]);
    }
    ~Owned() { destroyRaster(r); }
    uint8_t& at(int y, int x) { return r->rows[y][x]; }
};

int binarize(int strategy, Owned& binary, Owned& grey, int bw, int bh) {
    return binarizeBlocks(strategy, binary.r->rows, grey.r->rows, grey.r->width, grey.r->height, bw, bh);
}

}  // namespace

TEST(BinarizationThresholds, UniformBlockGetsOneAndOtsuMatchesOpenCv) {
    for (int value : {0, 1, 2, 255}) {
        Owned grey(12, 15, value), binary(12, 15);
        ASSERT_EQ(binarize(0, binary, grey, 15, 12), 0);
        EXPECT_EQ(thresholdTable()[0][0], 1.0f);
        EXPECT_EQ(binary.at(11, 14), value > 1 ? 1 : 0) << value;
    }
    std::mt19937 random(11);
    for (int trial = 0; trial < 20; ++trial) {
        cv::Mat grey(120, 160, CV_8UC1), ignored;
        const int dark = 20 + static_cast<int>(random() % 60), light = 150 + static_cast<int>(random() % 80);
        for (int i = 0; i < grey.rows * grey.cols; ++i) {
            const int base = (i / 9 + i / 1120 + static_cast<int>(random() % 3)) % 2 ? light : dark;
            grey.data[i] = cv::saturate_cast<uint8_t>(base + static_cast<int>(random() % 41) - 20);
        }
        Owned raster(grey);
        const double expected = cv::threshold(grey, ignored, 0, 1, cv::THRESH_BINARY | cv::THRESH_OTSU);
        EXPECT_EQ(otsuThreshold(raster.r->rows, 0, 0, grey.cols, grey.rows), static_cast<int>(expected)) << trial;
    }
}

// Block k of a stripe picture holds only the grey values 70k + 10 and 70k + 60: any other cut
// mixes two stripes into one histogram and moves a threshold.
TEST(BinarizationLayout, ThirdsOfOneHundredAndOneHundredAndOne) {
    EXPECT_EQ(thirdsBlockSize(100), 33);
    EXPECT_EQ(thirdsBlockSize(101), 34);
    EXPECT_EQ(cutIntoBlocks(10, 40).count, 0);  // no full block to absorb a rest into
    EXPECT_EQ(cutIntoBlocks(10, 40).rest, 10);
    for (const auto& [width, starts] : std::vector<std::pair<int, std::vector<int>>>{{100, {0, 33, 66}}, {101, {0, 34, 68}}}) {
        cv::Mat picture(30, width, CV_8UC1);
        for (int x = 0; x < width; ++x) {
            const int k = x >= starts[2] ? 2 : (x >= starts[1] ? 1 : 0);
            for (int y = 0; y < 30; ++y) picture.at<uint8_t>(y, x) = static_cast<uint8_t>(70 * k + 10 + 50 * (y % 2));
        }
        Owned grey(picture), binary(30, width);
        ASSERT_EQ(binarize(0, binary, grey, thirdsBlockSize(width), thirdsBlockSize(30)), 0);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(thresholdTable()[2][k], 70.0f * k + 10) << width << " block " << k;
        for (int x = 0; x < width; ++x) ASSERT_EQ(binary.at(7, x), 1) << x;
    }
}

TEST(BinarizationStrategies, DerivedThresholdsAreTheTruncatedProducts) {
    EXPECT_EQ(derivedThreshold(3, 200.0f), 300);
    EXPECT_EQ(derivedThreshold(4, 200.0f), 119);
    EXPECT_EQ(derivedThreshold(4, 7.0f), 4);
    // The defining products: a single-precision threshold times a double factor (1.5 single),
    // formed in extended precision and truncated.
    for (int s = 0; s <= 255; ++s) {
        const long double stored = static_cast<float>(s);
        ASSERT_EQ(derivedThreshold(1, static_cast<float>(s)), static_cast<int>(stored * 0.9)) << s;
        ASSERT_EQ(derivedThreshold(2, static_cast<float>(s)), static_cast<int>(stored * 1.11)) << s;
        ASSERT_EQ(derivedThreshold(3, static_cast<float>(s)), static_cast<int>(stored * 1.5f)) << s;
        ASSERT_EQ(derivedThreshold(4, static_cast<float>(s)), static_cast<int>(stored * 0.6)) << s;
    }
    // Through the table: stored 200, then strategy 3 darkens white and 4 splits 119 from 120.
    Owned grey(20, 40, 200), binary(20, 40);
    for (int y = 0; y < 20; ++y) std::fill(grey.r->rows[y] + 20, grey.r->rows[y] + 40, uint8_t{250});
    binarize(0, binary, grey, 40, 20);
    EXPECT_EQ(binary.at(0, 19) + 2 * binary.at(0, 20), 2);
    binarize(3, binary, grey, 40, 20);
    EXPECT_EQ(binary.at(5, 39), 0);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) grey.at(y, x) = x % 2 ? 120 : 119;
    }
    binarize(4, binary, grey, 40, 20);
    EXPECT_EQ(binary.at(3, 0) + 2 * binary.at(3, 1), 2);
    // More blocks than the table holds is refused before anything is written.
    Owned wide(10, 70), untouched(10, 70, 7);
    EXPECT_EQ(binarizeBlocks(0, untouched.r->rows, wide.r->rows, 70, 10, 10, 10), -1);
    EXPECT_EQ(untouched.at(9, 69), 7);
}

TEST(GreySmoothing, BoxMeanInsideRingKeptBadArgumentsRefused) {
    cv::Mat picture(23, 37, CV_8UC1);
    cv::randu(picture, 0, 256);
    Owned source(picture), smoothed(23, 37, 42), smaller(22, 37);
    EXPECT_EQ(smoothBox(source.r, smoothed.r, 2, 3), -1);
    EXPECT_EQ(smoothBox(source.r, smoothed.r, 1, 4), -1);
    EXPECT_EQ(smoothBox(smaller.r, smoothed.r, 1, 3), -1);
    EXPECT_EQ(smoothed.at(5, 5), 42);
    ASSERT_EQ(smoothBox(source.r, smoothed.r, 1, 3), 1);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) {
            if (y == 0 || x == 0 || y == 22 || x == 36) {
                ASSERT_EQ(smoothed.at(y, x), picture.at<uint8_t>(y, x));
                continue;
            }
            const int sum = static_cast<int>(cv::sum(picture(cv::Rect(x - 1, y - 1, 3, 3)))[0]);
            ASSERT_EQ(smoothed.at(y, x), static_cast<int>(sum / 9.0 + 0.5)) << x << "," << y;
        }
    }
}

// Every odd window rounds the mean the same way, the three by three of the smoothed passes
// included, on small and on bright pictures.
TEST(GreySmoothing, EveryWindowRoundsTheMeanAlike) {
    for (const int window : {1, 3, 5, 7}) {
        for (const cv::Size size : {cv::Size(3, 3), cv::Size(41, 19)}) {
            cv::Mat picture(size, CV_8UC1);
            cv::randu(picture, 200, 256);
            Owned source(picture), smoothed(size.height, size.width);
            ASSERT_EQ(smoothBox(source.r, smoothed.r, 1, window), 1);
            const int half = window / 2;
            for (int y = 0; y < size.height; ++y) {
                for (int x = 0; x < size.width; ++x) {
                    int expected = picture.at<uint8_t>(y, x);
                    if (y >= half && y < size.height - half && x >= half && x < size.width - half) {
                        const double sum = cv::sum(picture(cv::Rect(x - half, y - half, window, window)))[0];
                        expected = static_cast<int>(sum / (window * window) + 0.5);
                    }
                    ASSERT_EQ(smoothed.at(y, x), expected) << window << ": " << x << "," << y;
                }
            }
        }
    }
}

TEST(GreyResampling, LastSampleReadsTheRowAndColumnBefore) {
    Owned source(100, 100), doubled(200, 200);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) source.at(y, x) = static_cast<uint8_t>(2 * x + (y == 99 ? 50 : 0));
    }
    ASSERT_EQ(resampleBilinear(source.r, doubled.r, 1), 1);
    // Column 199 reads 99.5, clamped to 99 and nudged to 98.9999: 196 + 2 * 0.9999 + 0.5.
    EXPECT_EQ(doubled.at(0, 199), 198);
    EXPECT_EQ(doubled.at(0, 1), 1);
    EXPECT_EQ(doubled.at(197, 0), 25);  // halfway between rows 98 and 99
    EXPECT_EQ(doubled.at(199, 0), 50);  // no row 100 read (AddressSanitizer)
    // A 0/1 mask stays 0/1, and a one-pixel side is read without a second sample.
    Owned line(1, 5, 1), tall(3, 9);
    ASSERT_EQ(resampleBilinear(line.r, tall.r, 1), 1);
    EXPECT_EQ(tall.at(2, 8), 1);
    EXPECT_EQ(resampleBilinear(line.r, tall.r, 0), -1);
}

// The bilinear value in long double at every destination sample, positions as the resampler
// places them: clamped into the source, and nudged off the last sample.
int referenceResample(Owned& source, int i, int j, int dh, int dw) {
    auto axis = [](int k, int sourceSize, int destinationSize, int& lower, float& fraction) {
        const float scale = static_cast<float>(static_cast<long double>(sourceSize) / destinationSize);
        float f = std::clamp(static_cast<float>(static_cast<long double>(k) * scale), 0.0f,
                             static_cast<float>(sourceSize - 1));
        lower = static_cast<int>(f);
        if (lower == sourceSize - 1) {
            f = static_cast<float>(static_cast<long double>(f) - 0.0001);
            lower = static_cast<int>(f);
        }
        fraction = f - static_cast<float>(lower);
    };
    int row = 0, column = 0;
    float fy = 0.0f, fx = 0.0f;
    axis(i, source.r->height, dh, row, fy);
    axis(j, source.r->width, dw, column, fx);
    auto at = [&](int y, int x) { return static_cast<long double>(source.at(y, x)); };
    return static_cast<int>(bilinearValue<long double>(at(row, column), at(row, column + 1), at(row + 1, column),
                                                       at(row + 1, column + 1), fx, fy));
}

// Enlarged and reduced copies of random pictures, sides odd and even: every sample as the long
// double formula gives it.
TEST(GreyResampling, EverySampleAsTheLongDoubleFormula) {
    std::mt19937 random(17);
    const std::vector<std::array<int, 4>> sizes = {
        {240, 240, 480, 480}, {177, 177, 354, 354}, {200, 300, 320, 480}, {37, 53, 74, 83}, {150, 101, 301, 199},
        {120, 90, 61, 45}, {64, 64, 127, 128}};
    for (const auto& [sh, sw, dh, dw] : sizes) {
        Owned source(sh, sw), copy(dh, dw);
        for (int y = 0; y < sh; ++y) {
            for (int x = 0; x < sw; ++x) source.at(y, x) = static_cast<uint8_t>(random() % 256);
        }
        ASSERT_EQ(resampleBilinear(source.r, copy.r, 1), 1);
        for (int i = 0; i < dh; ++i) {
            for (int j = 0; j < dw; ++j) {
                ASSERT_EQ(copy.at(i, j), referenceResample(source, i, j, dh, dw)) << sh << "x" << sw << " to " << dh
                                                                                  << "x" << dw << " at " << i << "," << j;
            }
        }
    }
}

// Sixteen samples are thresholded at a time: every grey value against thresholds across the
// whole range, on a row whose length leaves a remainder, must give 1 exactly where grey > t.
TEST(BinarizationThresholds, EveryGreyValueAgainstThresholdsAcrossTheRange) {
    constexpr int kWidth = 256 + 7;
    Owned grey(1, kWidth), binary(1, kWidth);
    for (int x = 0; x < kWidth; ++x) grey.at(0, x) = static_cast<uint8_t>((x * 37) % 256);
    for (int stored = 0; stored <= 254; ++stored) {
        // The Otsu threshold of a picture of the values s and 255 is s: it becomes the stored
        // threshold that the derived strategies scale.
        Owned twoValued(1, 2), ignored(1, 2);
        twoValued.at(0, 0) = static_cast<uint8_t>(stored);
        twoValued.at(0, 1) = 255;
        ASSERT_EQ(binarize(0, ignored, twoValued, 2, 1), 0);
        ASSERT_EQ(thresholdTable()[0][0], static_cast<float>(stored));
        for (int strategy = 1; strategy <= 4; ++strategy) {
            ASSERT_EQ(binarize(strategy, binary, grey, kWidth, 1), 0);
            const int t = derivedThreshold(strategy, static_cast<float>(stored));
            for (int x = 0; x < kWidth; ++x) {
                ASSERT_EQ(binary.at(0, x), grey.at(0, x) > t ? 1 : 0) << "x " << x << " t " << t;
            }
        }
    }
}
