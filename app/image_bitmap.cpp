#include "app/image_bitmap.h"

#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace velmora {

bool CopyImageToBitmap(const cv::Mat& image, QImage* bitmap) {
    if (bitmap == nullptr || image.empty() || image.depth() != CV_8U) return false;
    if (image.channels() != 1 && image.channels() != 3) return false;

    cv::Mat colour;
    if (image.channels() == 1) {
        cv::cvtColor(image, colour, cv::COLOR_GRAY2BGR);
    } else {
        colour = image;
    }
    QImage copy(colour.cols, colour.rows, QImage::Format_BGR888);
    if (copy.isNull()) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(colour.cols) * 3;
    for (int y = 0; y < colour.rows; ++y) std::memcpy(copy.scanLine(y), colour.ptr<uchar>(y), rowBytes);
    *bitmap = std::move(copy);
    return true;
}

}  // namespace velmora
