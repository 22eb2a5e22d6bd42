#include "engine/image/mean_threshold.h"

#include <algorithm>
#include <new>

#include <opencv2/imgproc.hpp>

namespace velmora {

int meanThresholdWindow(int width, int height, int parts) {
    return std::max(5, std::min(width, height) / std::max(1, parts) | 1);
}

int binarizeAgainstLocalMean(const Raster& grey, Raster& binary, int window) {
    if (grey.rows == nullptr || binary.rows == nullptr || grey.height != binary.height || grey.width != binary.width ||
        window < 3 || window % 2 == 0 || grey.height < 1 || grey.width < 1) {
        return -1;
    }
    try {
        cv::Mat in(grey.height, grey.width, CV_8UC1), out;
        for (int y = 0; y < grey.height; ++y) std::copy_n(grey.rows[y], grey.width, in.ptr<uint8_t>(y));
        cv::adaptiveThreshold(in, out, 1, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY, window, kMeanThresholdMargin);
        for (int y = 0; y < grey.height; ++y) std::copy_n(out.ptr<uint8_t>(y), grey.width, binary.rows[y]);
    } catch (const std::bad_alloc&) {
        return -1;
    } catch (const cv::Exception&) {
        return -1;
    }
    return 1;
}

}  // namespace velmora
