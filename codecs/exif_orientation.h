// The orientation tag of a JPEG's EXIF block, and the turn that shows its pixels upright.
//
// Phone cameras store the sensor's pixels as they come and write in the EXIF block how the
// picture is to be turned; a photograph taken upright in portrait is stored on its side.
#pragma once

#include <cstdint>
#include <span>

namespace cv {
class Mat;
}

namespace velmora {

// The orientation (1 to 8, TIFF numbering: 1 stored upright, 6 turned a quarter clockwise to
// show, ...) that the first EXIF block of a JPEG file gives. 1 when the file has none, or
// when the block is damaged or holds a value outside 1..8. Reads nothing outside file.
int jpegExifOrientation(std::span<const uint8_t> file);

// Turns and mirrors image, stored with the given orientation, into the upright picture.
// Orientations outside 2..8 leave it as it is.
void turnUpright(cv::Mat& image, int orientation);

}  // namespace velmora
