// The three-pixel frame around a small picture inside the symbol.
#pragma once

#include <array>
#include <cstdint>

#include "ornament/blend_types.h"

namespace cv {
class Mat;
}

namespace velmora {

// The frame's grey levels from the outside in: (light + T) / 2, light, (light + T) / 2.
std::array<uint8_t, 3> borderColours(int lightLevel, int threshold);

// Draws the frame of the picture at rect on the canvas (8-bit, three channels), following the
// shape (PictureShape) whose mask is shapeMask: rings at the disc's radius less 2, less 1 and
// the radius itself; arcs at the corner radius less 2, less 1 and itself, and along the straight
// edges the outer three columns and rows of the shape; or three nested rectangles. colours[k]
// is the k-th ring or band from the outside, put on all three bytes. Only points inside the
// picture (and the canvas) are drawn.
void DrawPictureBorder(cv::Mat& canvas, const PixelRect& rect, const cv::Mat& shapeMask, int shape,
                       const std::array<uint8_t, 3>& colours);

}  // namespace velmora
