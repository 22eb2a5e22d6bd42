// Reading the symbols in one camera frame.
#pragma once

namespace cv {
class Mat;
}

namespace velmora {

// Converts an 8-bit colour frame (blue, green, red) or grey frame to grey and reads up to wanted
// symbols (the reader clamps it to 1..4) with UTF-8 texts converted to the locale's code page.
// Returns the number read, 0 for an empty frame or one of another kind; the results are in the
// engine's process-wide decode record. The frame itself is not changed.
int decodeFrameSymbols(const cv::Mat& frame, int wanted);

}  // namespace velmora
