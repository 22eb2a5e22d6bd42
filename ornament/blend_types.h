// The plain values that the ornament's drawing and blending steps share: rectangles on the
// canvas, the classes of the module mask and of the picture's shape, and the user's choices.
#pragma once

#include <cstdint>

namespace velmora {

// A rectangle of canvas pixels, both ends included; empty when right < left or bottom < top.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;

    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }

    // The rectangle of width x height pixels whose top-left pixel is (x, y).
    static PixelRect at(int x, int y, int width, int height) { return {x, y, x + width - 1, y + height - 1}; }
};

// Classes of the module mask, which says how each pixel of the symbol picture may be blended.
inline constexpr uint8_t kClassProtected = 85;  // finder corners and protected alignment patterns
inline constexpr uint8_t kClassOther = 128;     // module area outside the data dot
inline constexpr uint8_t kClassDot = 170;       // inside the data dot of a module

// Values of the shape mask, which says where a small picture shows.
inline constexpr uint8_t kOutsideShape = 128;
inline constexpr uint8_t kInsideShape = 170;

// How a picture and the symbol are merged.
enum MixType : int { kMixCover = 0, kMixMixture = 1 };

// The shape in which a small picture is shown.
enum PictureShape : int { kShapeRound = 0, kShapeRoundRect = 1, kShapeNone = 2 };

// The shape of one module's dot.
enum DotType : int { kDotSquare = 0, kDotRound = 1, kDotDiamond = 2, kDotSmallSquare = 3, kDotSmallDot = 4 };

// Degrees to radians, with the factor the round shapes have always been drawn with.
inline constexpr double kRadiansPerDegree = 0.017453;

}  // namespace velmora

namespace cv {
class Mat;
}

namespace velmora {

// What the blends read besides the canvas and the picture: the symbol picture with its module
// mask, the grey copy of the canvas, the composition's grey levels and threshold, and the mix.
struct BlendScene {
    const cv::Mat* symbolImage = nullptr;      // 8-bit: 255 light, 0 dark
    const cv::Mat* moduleClassMask = nullptr;  // 8-bit, the symbol picture's size: kClass*
    const cv::Mat* canvasGrey = nullptr;       // 8-bit, the canvas's size
    int lightLevel = 255;
    int darkLevel = 0;
    int threshold = 128;
    int mixType = kMixMixture;
};

}  // namespace velmora
