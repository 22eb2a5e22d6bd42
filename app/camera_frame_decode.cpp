#include "app/camera_frame_decode.h"

#include <opencv2/imgproc.hpp>

#include "engine/image/raster.h"
#include "engine/velmora_engine.h"

namespace velmora {

int decodeFrameSymbols(const cv::Mat& frame, int wanted) {
    if (frame.empty() || frame.depth() != CV_8U) return 0;
    cv::Mat grey;
    switch (frame.channels()) {
        case 1: grey = frame; break;
        case 3: cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY); break;
        default: return 0;
    }
    Raster* view = viewImageAsRaster(&grey);
    if (view == nullptr) return 0;
    const int count = QR_Decode_Matrix(2, view, grey.cols, grey.rows, wanted, 1, nullptr);
    releaseRasterView(view);
    return count;
}

}  // namespace velmora
