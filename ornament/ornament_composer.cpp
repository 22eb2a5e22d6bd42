#include "ornament/ornament_composer.h"

#include <algorithm>
#include <exception>
#include <opencv2/core.hpp>

#include "ornament/canvas_grey.h"
#include "ornament/otsu_threshold.h"
#include "ornament/shape_mask.h"
#include "ornament/symbol_over_picture.h"

namespace velmora {
namespace {

// The item of width x height centred on the canvas, divisions rounding towards zero.
PixelRect centred(int canvasWidth, int canvasHeight, int width, int height) {
    return PixelRect::at((canvasWidth - width) / 2, (canvasHeight - height) / 2, width, height);
}

// Otsu's threshold over the symbol's rectangle of the canvas as it shows with the picture placed
// inside its shape. Over the bare symbol, with its two levels, the threshold falls on the dark
// level and knows nothing of the picture: protected light modules under a dark picture would
// never be re-lit.
int thresholdWithPicture(const cv::Mat& canvas, const cv::Mat& picture, const PixelRect& pictureRect,
                         const PixelRect& symbolRect, int shape) {
    cv::Mat placed = canvas.clone();
    const cv::Mat inside = ShapeMask(shape, picture.cols, picture.rows) == kInsideShape;
    picture.copyTo(placed(cv::Rect(pictureRect.left, pictureRect.top, picture.cols, picture.rows)), inside);
    return OtsuThreshold(CanvasGrey(placed), symbolRect.left, symbolRect.top, symbolRect.width(), symbolRect.height());
}

// Clears a flag however the scope is left.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

bool OrnamentComposer::setPicture(const cv::Mat& colour, const cv::Mat& grey) {
    if (colour.empty() || colour.type() != CV_8UC3 || grey.type() != CV_8UC1 || colour.size() != grey.size())
        return false;
    double darkest = 0, brightest = 0;
    cv::minMaxLoc(grey, &darkest, &brightest);
    picture_ = colour.clone();
    pictureGrey_ = grey.clone();
    pictureLevels_ = symbolLevelsFor(static_cast<int>(brightest), static_cast<int>(darkest));
    newPicture_ = true;
    return true;
}

void OrnamentComposer::clearPicture() {
    picture_.release();
    pictureGrey_.release();
    // The symbol may have been moved over the picture: its old place need not lie on the
    // smaller canvas that remains.
    recentre_ = true;
}

void OrnamentComposer::placeItems(int canvasWidth, int canvasHeight) {
    const cv::Size canvasSize(canvasWidth, canvasHeight), symbolSize = symbolImage_.size();
    // Places are kept only for the sizes they were made for.
    recentred_ = newPicture_ || recentre_ || canvasSize != placedCanvas_ || symbolSize != placedSymbol_;
    const PixelRect& movableItem = bigPicture_ ? symbolRect_ : pictureRect_;
    if (recentred_) {
        newPicture_ = recentre_ = false;
        placedCanvas_ = canvasSize;
        placedSymbol_ = symbolSize;
        pictureRect_ = centred(canvasWidth, canvasHeight, picture_.cols, picture_.rows);
        symbolRect_ = centred(canvasWidth, canvasHeight, symbolSize.width, symbolSize.height);
        range_ = {canvasWidth - movableItem.width(), canvasHeight - movableItem.height()};
        movable_ = {movableItem.left, movableItem.top};
    }
    movable_.x = std::clamp(movable_.x, 0, std::max(range_.x, 0));
    movable_.y = std::clamp(movable_.y, 0, std::max(range_.y, 0));
    PixelRect& moved = bigPicture_ ? symbolRect_ : pictureRect_;
    moved = PixelRect::at(movable_.x, movable_.y, moved.width(), moved.height());
}

void OrnamentComposer::drawLayers(const OrnamentSettings& settings) {
    BlendScene scene{&symbolImage_, &moduleClassMask_, &canvasGrey_, lightLevel_, darkLevel_, threshold_,
                     settings.mixType};
    if (bigPicture_) {
        picture_.copyTo(canvas_(cv::Rect(pictureRect_.left, pictureRect_.top, picture_.cols, picture_.rows)));
        canvasGrey_ = CanvasGrey(canvas_);
        BlendSymbolOverPicture(canvas_, scene, symbolRect_);
        threshold_ = scene.threshold;
        return;
    }
    PaintSymbolImage(canvas_, symbolImage_, symbolRect_, lightLevel_, darkLevel_);
    if (!hasPicture()) return;
    canvasGrey_ = CanvasGrey(canvas_);
    threshold_ = settings.mixType == kMixMixture
                     ? thresholdWithPicture(canvas_, picture_, pictureRect_, symbolRect_, settings.framing.shape)
                     : OtsuThreshold(canvasGrey_, symbolRect_.left, symbolRect_.top, symbolRect_.width(),
                                     symbolRect_.height());
    scene.threshold = threshold_;
    BlendSmallPicture(canvas_, scene, picture_, pictureGrey_, pictureRect_, settings.framing, &shapeMask_);
}

int OrnamentComposer::Compose(const C_QrEncodedData& symbol, const OrnamentSettings& settings) {
    if (busy_) return -1;
    const BusyScope busy(busy_);
    const cv::Mat previous = canvas_;
    try {
        cv::Mat symbolImage, classes;
        if (!DrawSymbolImage(symbol, settings.style, symbolImage, classes)) return -1;
        symbolImage_ = symbolImage;
        moduleClassMask_ = classes;

        int width = symbolImage_.cols, height = symbolImage_.rows;
        if (hasPicture()) {
            bigPicture_ = picture_.cols > width || picture_.rows > height;
            width = std::max(width, picture_.cols);
            height = std::max(height, picture_.rows);
            lightLevel_ = pictureLevels_.light;
            darkLevel_ = pictureLevels_.dark;
        } else {
            bigPicture_ = false;
            lightLevel_ = 255;
            darkLevel_ = 0;
        }
        placeItems(width, height);
        cv::Mat canvas(height, width, CV_8UC3, cv::Scalar::all(lightLevel_));
        canvas_ = canvas;
        drawLayers(settings);
        return 1;
    } catch (const std::exception&) {
        // cv::Exception and std::bad_alloc alike: the composition is given up.
        canvas_ = previous;
        return -1;
    }
}

}  // namespace velmora
