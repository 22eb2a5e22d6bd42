#include "engine/decode/symbol_marks.h"

#include <algorithm>
#include <array>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// Blue, green, red of the marks of symbols 1 to 4, and again for 5 to 8 and on.
constexpr std::array<std::array<double, 3>, 4> kMarkColours = {{{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 255, 255}}};

constexpr int kArm = 25;

}  // namespace

cv::Mat& markFoundSymbols(cv::Mat& image) {
    if (image.empty() || image.type() != CV_8UC3) return image;
    const int count = decodedCount();
    for (int k = 0; k < count; ++k) {
        for (int p = 0; p < 3; ++p) {
            const int x = static_cast<int>(decodedEntry(k).dXY_FP[static_cast<std::size_t>(p)]);
            const int y = static_cast<int>(decodedEntry(k).dXY_FP[4 + static_cast<std::size_t>(p)]);
            const std::array<double, 3>& bgr = kMarkColours[static_cast<std::size_t>(k % 4)];
            const cv::Scalar colour(bgr[0], bgr[1], bgr[2], 0);
            cv::line(image, {x, y - kArm}, {x, y + kArm}, colour, 1, cv::LINE_AA, 0);
            cv::line(image, {x - kArm, y}, {x + kArm, y}, colour, 1, cv::LINE_AA, 0);
        }
    }
    return image;
}

}  // namespace velmora
