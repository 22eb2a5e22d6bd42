#include "ornament/symbol_over_picture.h"

#include <opencv2/core.hpp>

#include "ornament/intensity_scaling.h"
#include "ornament/mixture_bounds.h"
#include "ornament/otsu_threshold.h"

namespace velmora {
namespace {

constexpr uint8_t kLightAbove = 128;

void paintGrey(uint8_t* pixel, int grey) {
    pixel[0] = pixel[1] = pixel[2] = static_cast<uint8_t>(grey);
}

bool placed(const cv::Mat& canvas, const cv::Mat& symbolImage, const PixelRect& rect) {
    return canvas.type() == CV_8UC3 && symbolImage.type() == CV_8UC1 && symbolImage.cols == rect.width() &&
           symbolImage.rows == rect.height() && rect.left >= 0 && rect.top >= 0 && rect.right < canvas.cols &&
           rect.bottom < canvas.rows;
}

// A data dot (v the symbol pixel) over the picture whose grey is c.
void mixDot(uint8_t* pixel, int v, int c, const BlendScene& scene) {
    if (v != 0) {
        if (!(c > lightBound(scene.threshold))) paintGrey(pixel, scene.lightLevel);
    } else if (!(c < darkBound(scene.threshold))) {
        paintGrey(pixel, scene.darkLevel);
    }
}

// A protected light module: lifted towards 1.3 times the larger of T and 0.3 of the light level.
void liftLight(uint8_t* pixel, int c, const BlendScene& scene) {
    if (c > lightBound(scene.threshold)) return;
    const int lifted = liftLevel(scene.lightLevel);
    const long double target = lightBound(lifted > scene.threshold ? lifted : scene.threshold);
    if (scene.lightLevel < target) {
        if (c == 0) return paintGrey(pixel, scene.lightLevel);
        return ScaleIntensity(pixel, static_cast<double>(scene.lightLevel) / c);
    }
    if (c == 0) return paintGrey(pixel, target >= 255 ? 255 : static_cast<int>(target));
    ScaleIntensity(pixel, static_cast<double>(target / c));
}

// A protected dark module: lowered towards the dark level, or to 0.7 T when that is darker.
void lowerDark(uint8_t* pixel, int c, const BlendScene& scene) {
    const long double bound = darkBound(scene.threshold);
    if (c < bound) return;
    if (scene.darkLevel > bound) {
        if (c == 0) return paintGrey(pixel, scene.darkLevel);
        return ScaleIntensity(pixel, static_cast<double>(scene.darkLevel) / c);
    }
    if (c == 0) return paintGrey(pixel, static_cast<int>(bound));
    ScaleIntensity(pixel, static_cast<double>(bound / c));
}

void mixSymbol(cv::Mat& canvas, const BlendScene& scene, const PixelRect& rect) {
    const cv::Mat& symbol = *scene.symbolImage;
    const cv::Mat& classes = *scene.moduleClassMask;
    const cv::Mat& grey = *scene.canvasGrey;
    for (int sy = 0; sy < symbol.rows; ++sy) {
        const int y = rect.top + sy;
        const uint8_t* symbolRow = symbol.ptr<uint8_t>(sy);
        const uint8_t* classRow = classes.ptr<uint8_t>(sy);
        const uint8_t* greyRow = grey.ptr<uint8_t>(y);
        uint8_t* row = canvas.ptr<uint8_t>(y);
        for (int sx = 0; sx < symbol.cols; ++sx) {
            const int x = rect.left + sx;
            uint8_t* pixel = row + 3 * x;
            const int v = symbolRow[sx], c = greyRow[x];
            switch (classRow[sx]) {
            case kClassDot: mixDot(pixel, v, c, scene); break;
            case kClassProtected:
                if (v > kLightAbove) liftLight(pixel, c, scene);
                else lowerDark(pixel, c, scene);
                break;
            default: break;
            }
        }
    }
}

}  // namespace

void PaintSymbolImage(cv::Mat& canvas, const cv::Mat& symbolImage, const PixelRect& rect, int lightLevel,
                      int darkLevel) {
    if (!placed(canvas, symbolImage, rect)) return;
    for (int sy = 0; sy < symbolImage.rows; ++sy) {
        const uint8_t* in = symbolImage.ptr<uint8_t>(sy);
        uint8_t* out = canvas.ptr<uint8_t>(rect.top + sy) + 3 * rect.left;
        for (int sx = 0; sx < symbolImage.cols; ++sx, out += 3)
            paintGrey(out, in[sx] > kLightAbove ? lightLevel : darkLevel);
    }
}

void BlendSymbolOverPicture(cv::Mat& canvas, BlendScene& scene, const PixelRect& rect) {
    if (scene.symbolImage == nullptr || !placed(canvas, *scene.symbolImage, rect)) return;
    if (scene.mixType != kMixMixture) {
        PaintSymbolImage(canvas, *scene.symbolImage, rect, scene.lightLevel, scene.darkLevel);
        return;
    }
    if (scene.canvasGrey == nullptr || scene.canvasGrey->size() != canvas.size() || scene.moduleClassMask == nullptr ||
        scene.moduleClassMask->size() != scene.symbolImage->size())
        return;
    scene.threshold = OtsuThreshold(*scene.canvasGrey, rect.left, rect.top, rect.width(), rect.height());
    mixSymbol(canvas, scene, rect);
}

}  // namespace velmora
