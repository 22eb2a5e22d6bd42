// Merging a small picture into the symbol: the picture shows inside its shape, while the
// symbol's dots and protected patterns stay readable.
#pragma once

#include "ornament/blend_types.h"

namespace cv {
class Mat;
}

namespace velmora {

// The small picture's choices: its shape (PictureShape) and whether it gets a frame.
struct PictureFraming {
    int shape = kShapeRound;
    bool border = false;
};

// Blends picture (8-bit, three channels) with its grey copy pictureGrey into the canvas at rect,
// where the canvas holds the symbol drawn at the canvas's top left (canvas and module mask
// coordinates coincide). Inside the shape: cover puts the picture over everything; mixture
// shows the picture around the data dots, keeps the dots, and re-lights the picture over
// protected light and dark modules towards the light and dark levels unless it is already
// beyond 1.3 T resp. below 0.7 T. Then the frame, when asked for. The shape mask it built is
// left in *shapeMask when that is given. The picture and rect must have one size and rect must
// lie on the canvas; otherwise nothing is drawn.
void BlendSmallPicture(cv::Mat& canvas, const BlendScene& scene, const cv::Mat& picture, const cv::Mat& pictureGrey,
                       const PixelRect& rect, const PictureFraming& framing, cv::Mat* shapeMask = nullptr);

}  // namespace velmora
