#include "ornament/otsu_threshold.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <opencv2/core.hpp>

namespace velmora {
namespace {

constexpr int kEmptyThreshold = 128;

// Histogram of the rectangle, clipped to the picture; returns the number of pixels counted.
int64_t histogramOf(const cv::Mat& grey, int left, int top, int width, int height, std::array<int64_t, 256>& counts) {
    counts.fill(0);
    if (grey.empty() || grey.type() != CV_8UC1) return 0;
    const int x0 = std::max(left, 0), x1 = std::min(left + width, grey.cols);
    const int y0 = std::max(top, 0), y1 = std::min(top + height, grey.rows);
    if (x0 >= x1 || y0 >= y1) return 0;
    for (int y = y0; y < y1; ++y) {
        const uint8_t* row = grey.ptr<uint8_t>(y);
        for (int x = x0; x < x1; ++x) ++counts[row[x]];
    }
    return static_cast<int64_t>(x1 - x0) * (y1 - y0);
}

}  // namespace

int OtsuThreshold(const cv::Mat& grey, int left, int top, int width, int height) {
    std::array<int64_t, 256> counts;
    const int64_t n = histogramOf(grey, left, top, width, height, counts);
    if (n == 0) return kEmptyThreshold;

    double total = 0;
    for (int g = 0; g < 256; ++g) total += static_cast<double>(g) * static_cast<double>(counts[g]);

    int best = 1;
    double bestVariance = -1;
    int64_t below = 0;
    double belowSum = 0;
    for (int t = 0; t < 255; ++t) {
        below += counts[t];
        if (below == 0) continue;
        if (below == n) break;
        belowSum += static_cast<double>(t) * static_cast<double>(counts[t]);
        const double a = static_cast<double>(below), rest = static_cast<double>(n - below);
        const double meanBelow = belowSum / a;
        const double meanAbove = (total - belowSum) / rest;
        const double variance = a * rest * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (variance > bestVariance) {
            bestVariance = variance;
            best = t;
        }
    }
    return best;
}

}  // namespace velmora
