#include "ornament/small_picture_blend.h"

#include <algorithm>
#include <cstring>
#include <opencv2/core.hpp>

#include "ornament/intensity_scaling.h"
#include "ornament/mixture_bounds.h"
#include "ornament/picture_border.h"
#include "ornament/shape_mask.h"

namespace velmora {
namespace {

void paintGrey(uint8_t* pixel, int grey) {
    pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(grey);
}

// Over a protected light module: the picture as it is when lighter than 1.3 T, else lifted to
// the light level (or to 1.3 T when the light level reaches that already).
void relightOverLight(uint8_t* pixel, const uint8_t* source, int p, const BlendScene& scene) {
    const long double bound = lightBound(scene.threshold);
    if (p > bound) return static_cast<void>(std::memcpy(pixel, source, 3));
    if (scene.lightLevel < bound) {
        if (p == 0) return paintGrey(pixel, scene.lightLevel);
        std::memcpy(pixel, source, 3);
        return ScaleIntensity(pixel, static_cast<double>(scene.lightLevel) / p);
    }
    if (p == 0) return paintGrey(pixel, static_cast<int>(std::min<long double>(bound, 255)));
    std::memcpy(pixel, source, 3);
    ScaleIntensity(pixel, static_cast<double>(bound / p));
}

// Over a protected dark module: the picture as it is when darker than 0.7 T, else lowered to
// the dark level (or to 0.7 T when the dark level lies above that).
void relightOverDark(uint8_t* pixel, const uint8_t* source, int p, const BlendScene& scene) {
    const long double bound = darkBound(scene.threshold);
    if (p < bound) return static_cast<void>(std::memcpy(pixel, source, 3));
    if (scene.darkLevel > bound) {
        if (p == 0) return paintGrey(pixel, scene.darkLevel);
        std::memcpy(pixel, source, 3);
        return ScaleIntensity(pixel, static_cast<double>(scene.darkLevel) / p);
    }
    if (p == 0) return paintGrey(pixel, static_cast<int>(bound));
    std::memcpy(pixel, source, 3);
    ScaleIntensity(pixel, static_cast<double>(bound / p));
}

uint8_t classAt(const cv::Mat& mask, int x, int y) {
    if (x >= mask.cols || y >= mask.rows) return kClassOther;
    return mask.at<uint8_t>(y, x);
}

void mixPixel(uint8_t* pixel, const uint8_t* source, int x, int y, int p, const BlendScene& scene) {
    switch (classAt(*scene.moduleClassMask, x, y)) {
    case kClassDot: return;
    case kClassProtected:
        if (scene.canvasGrey->at<uint8_t>(y, x) > scene.darkLevel) return relightOverLight(pixel, source, p, scene);
        return relightOverDark(pixel, source, p, scene);
    default: std::memcpy(pixel, source, 3); return;
    }
}

bool fits(const cv::Mat& canvas, const BlendScene& scene, const cv::Mat& picture, const cv::Mat& pictureGrey,
          const PixelRect& rect) {
    if (canvas.type() != CV_8UC3 || picture.type() != CV_8UC3 || pictureGrey.type() != CV_8UC1) return false;
    if (picture.size() != pictureGrey.size() || picture.cols != rect.width() || picture.rows != rect.height())
        return false;
    if (rect.left < 0 || rect.top < 0 || rect.right >= canvas.cols || rect.bottom >= canvas.rows) return false;
    if (scene.mixType != kMixMixture) return true;
    return scene.moduleClassMask != nullptr && scene.canvasGrey != nullptr &&
           scene.canvasGrey->size() == canvas.size() && scene.moduleClassMask->type() == CV_8UC1;
}

}  // namespace

void BlendSmallPicture(cv::Mat& canvas, const BlendScene& scene, const cv::Mat& picture, const cv::Mat& pictureGrey,
                       const PixelRect& rect, const PictureFraming& framing, cv::Mat* shapeMask) {
    if (picture.empty() || !fits(canvas, scene, picture, pictureGrey, rect)) return;
    const cv::Mat shape = ShapeMask(framing.shape, rect.width(), rect.height());
    for (int py = 0; py < rect.height(); ++py) {
        const int y = rect.top + py;
        const uint8_t* inside = shape.ptr<uint8_t>(py);
        const uint8_t* source = picture.ptr<uint8_t>(py);
        const uint8_t* grey = pictureGrey.ptr<uint8_t>(py);
        uint8_t* row = canvas.ptr<uint8_t>(y);
        for (int px = 0; px < rect.width(); ++px) {
            if (inside[px] != kInsideShape) continue;
            const int x = rect.left + px;
            if (scene.mixType == kMixCover) std::memcpy(row + 3 * x, source + 3 * px, 3);
            else mixPixel(row + 3 * x, source + 3 * px, x, y, grey[px], scene);
        }
    }
    if (framing.border)
        DrawPictureBorder(canvas, rect, shape, framing.shape, borderColours(scene.lightLevel, scene.threshold));
    if (shapeMask != nullptr) *shapeMask = shape;
}

}  // namespace velmora
