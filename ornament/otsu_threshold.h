// Otsu's threshold of a grey rectangle: the level that best separates dark from light.
#pragma once

namespace cv {
class Mat;
}

namespace velmora {

// The threshold t of the width x height rectangle at (left, top) of an 8-bit grey picture: the
// first level whose split "level <= t" against "level > t" has the largest between-class
// variance. The part of the rectangle outside the picture is left out; an empty rectangle
// gives 128, and a rectangle of one grey level gives 1.
int OtsuThreshold(const cv::Mat& grey, int left, int top, int width, int height);

}  // namespace velmora
