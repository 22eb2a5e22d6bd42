// The ornament composer: the symbol redrawn with shaped dots and merged with a picture the user
// adds, either a small picture inside the symbol or a large one under it.
#pragma once

#include <opencv2/core/mat.hpp>

#include "engine/velmora_engine.h"
#include "ornament/blend_types.h"
#include "ornament/small_picture_blend.h"
#include "ornament/symbol_drawing.h"
#include "ornament/symbol_levels.h"

namespace velmora {

// Everything the user chooses besides the picture and its place.
struct OrnamentSettings {
    SymbolStyle style;
    int mixType = kMixMixture;
    PictureFraming framing;
};

// A position on the canvas.
struct PixelPoint {
    int x = 0;
    int y = 0;
};

// Composes one ornament picture at a time from the last encoded symbol. The picture, the levels,
// the place of the movable item and the layers live between compositions; every composition
// redraws the canvas from scratch.
class OrnamentComposer {
public:
    // Adds a picture in colour (8-bit, three channels) with its grey copy of the same size; its
    // brightest and darkest grey become the light and dark levels (held at least kMinLevelGap
    // apart, see symbolLevelsFor), and the next composition centres it. Returns false and keeps
    // the state as it was for pictures that do not fit that.
    bool setPicture(const cv::Mat& colour, const cv::Mat& grey);
    // Drops the picture; the next composition has none and places the symbol anew.
    void clearPicture();
    bool hasPicture() const { return !picture_.empty(); }

    // Asks the next composition to centre both items again.
    void requestRecentre() { recentre_ = true; }
    // Puts the movable item's top-left at (x, y); the composition holds it to its range.
    void moveTo(int x, int y) { movable_ = {x, y}; }

    // Composes the symbol of the record with the settings. Returns 1, or -1 when called again
    // while composing or when it fails (no valid symbol, no memory), leaving the canvas as it was.
    int Compose(const C_QrEncodedData& symbol, const OrnamentSettings& settings);

    // The composed 24-bit picture: blue, green, red.
    const cv::Mat& canvas() const { return canvas_; }
    // True when the last composition centred the items, so the position controls take the new
    // range and place.
    bool recentred() const { return recentred_; }
    // The symbol moves over a picture larger than itself, else the picture moves in the symbol.
    bool bigPicture() const { return bigPicture_; }
    // Shape and frame apply only to a small picture.
    bool framingApplies() const { return hasPicture() && !bigPicture_; }
    // The movable item's top-left and the largest values it may take.
    PixelPoint movablePosition() const { return movable_; }
    PixelPoint movableRange() const { return range_; }
    const PixelRect& pictureRect() const { return pictureRect_; }
    const PixelRect& symbolRect() const { return symbolRect_; }
    // True when the picture has too little contrast of its own and the levels were moved apart.
    bool levelsHeldApart() const { return hasPicture() && pictureLevels_.heldApart; }
    int lightLevel() const { return lightLevel_; }
    int darkLevel() const { return darkLevel_; }
    int threshold() const { return threshold_; }
    const cv::Mat& symbolImage() const { return symbolImage_; }
    const cv::Mat& moduleClassMask() const { return moduleClassMask_; }

private:
    void placeItems(int canvasWidth, int canvasHeight);
    void drawLayers(const OrnamentSettings& settings);

    bool busy_ = false;
    bool newPicture_ = false;
    bool recentre_ = true;
    bool recentred_ = false;
    bool bigPicture_ = false;
    cv::Mat picture_, pictureGrey_;
    SymbolLevels pictureLevels_;
    int lightLevel_ = 255, darkLevel_ = 0, threshold_ = 128;
    PixelRect pictureRect_, symbolRect_;
    PixelPoint movable_, range_;
    cv::Size placedCanvas_, placedSymbol_;
    cv::Mat symbolImage_, moduleClassMask_, canvasGrey_, shapeMask_, canvas_;
};

}  // namespace velmora
