#include "engine/decode/symbol_marks.h"

#include <algorithm>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// Blue, green, red of the marks of symbols 1 to 4, and again for 5 to 8 and on.
const cv::Scalar kMarkColours[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {0, 255, 255, 0}};

constexpr int kArm = 25;

}  // namespace

cv::Mat& markFoundSymbols(cv::Mat& image) {
    if (image.empty() || image.type() != CV_8UC3) return image;
    const int count = decodedCount();
    for (int k = 0; k < count; ++k) {
        for (int p = 0; p < 3; ++p) {
            const int x = static_cast<int>(decodedEntry(k).dXY_FP[static_cast<std::size_t>(p)]);
            const int y = static_cast<int>(decodedEntry(k).dXY_FP[4 + static_cast<std::size_t>(p)]);
            const cv::Scalar& colour = kMarkColours[k % 4];
            cv::line(image, {x, y - kArm}, {x, y + kArm}, colour, 1, cv::LINE_AA, 0);
            cv::line(image, {x - kArm, y}, {x + kArm, y}, colour, 1, cv::LINE_AA, 0);
        }
    }
    return image;
}

}  // namespace velmora
