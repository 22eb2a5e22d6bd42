// Placing the symbol over a picture larger than itself, and drawing it plainly.
#pragma once

#include "ornament/blend_types.h"

namespace cv {
class Mat;
}

namespace velmora {

// Draws the symbol picture opaquely into the canvas at rect: light pixels (above 128) become
// the light level and dark ones the dark level, on all three bytes. Nothing is drawn unless
// rect has the symbol picture's size and lies on the canvas.
void PaintSymbolImage(cv::Mat& canvas, const cv::Mat& symbolImage, const PixelRect& rect, int lightLevel,
                      int darkLevel);

// Puts the symbol over the picture already on the canvas, at rect. Cover draws it opaquely.
// Mixture sets scene.threshold to Otsu's threshold T of the canvas's grey copy under the symbol
// and then: the picture shows around the data dots; a dot is painted at the light or dark level
// unless the picture under it is already beyond 1.3 T resp. below 0.7 T; the picture over
// protected modules is re-lit towards the light or dark level where it lacks that contrast.
void BlendSymbolOverPicture(cv::Mat& canvas, BlendScene& scene, const PixelRect& rect);

}  // namespace velmora
