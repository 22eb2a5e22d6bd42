// Turning an OpenCV picture into a bitmap the windows can show: the one bridge between the
// engine's images and Qt, used by the symbol view, the camera preview and the ornament window.
#pragma once

#include <QImage>

namespace cv {
class Mat;
}

namespace velmora {

// Copies an 8-bit picture of one or three channels (blue, green, red) into *bitmap as a 24-bit
// picture of the same size, 3 bytes a pixel in blue, green, red order, top row first; grey is
// spread to the three colours. A Mat that views part of a larger picture copies only that part.
// Returns false and leaves *bitmap alone when the picture is empty or not of that kind, or when
// bitmap is null.
bool CopyImageToBitmap(const cv::Mat& image, QImage* bitmap);

}  // namespace velmora
