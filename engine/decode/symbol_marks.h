// Marks on a shown picture where the last decode request found its symbols.
#pragma once

namespace cv {
class Mat;
}

namespace velmora {

// Draws an anti-aliased cross, 51 pixels each way, on the three finder centres of every symbol
// of the last request (at most four): red, green, blue and yellow for symbols 1 to 4. Only an
// 8-bit three-channel picture is drawn on; anything else is returned unchanged.
cv::Mat& markFoundSymbols(cv::Mat& image);

}  // namespace velmora
