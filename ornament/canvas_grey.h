// The grey copy of the ornament canvas that the blends compare against their threshold.
#pragma once

#include <cstdint>

namespace cv {
class Mat;
}

namespace velmora {

// The grey level of one blue, green, red pixel: trunc(0.299 R + 0.587 G + 0.114 B) with the
// double-precision weights, whose sum is just below 1, so a neutral grey v >= 1 gives v - 1.
uint8_t canvasGreyOf(uint8_t blue, uint8_t green, uint8_t red);

// A grey picture of the canvas's size (8-bit, one channel) from an 8-bit three-channel canvas
// stored blue, green, red. An empty canvas gives an empty picture.
cv::Mat CanvasGrey(const cv::Mat& canvas);

}  // namespace velmora
