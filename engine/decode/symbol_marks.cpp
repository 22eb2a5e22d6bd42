#include "engine/decode/symbol_marks.h"

#include <algorithm>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/velmora_engine.h"

namespace velmora {
namespace {

// Blue, green, red of the marks of symbols 1 to 4.
const cv::Scalar kMarkColours[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {0, 255, 255, 0}};

constexpr int kArm = 25;

}  // namespace

cv::Mat& markFoundSymbols(cv::Mat& image) {
    if (image.empty() || image.type() != CV_8UC3) return image;
    const int count = std::min(4, static_cast<int>(g_QrDecodedData.nParsedNums));
    for (int k = 0; k < count; ++k) {
        for (int p = 0; p < 3; ++p) {
            const int x = static_cast<int>(g_QrDecodedData.dXY_FP[k][p]);
            const int y = static_cast<int>(g_QrDecodedData.dXY_FP[k][4 + p]);
            cv::line(image, {x, y - kArm}, {x, y + kArm}, kMarkColours[k], 1, cv::LINE_AA, 0);
            cv::line(image, {x - kArm, y}, {x + kArm, y}, kMarkColours[k], 1, cv::LINE_AA, 0);
        }
    }
    return image;
}

}  // namespace velmora
