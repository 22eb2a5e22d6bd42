// Loading a picture file into an OpenCV image, in colour for showing and marking or in grey for
// reading symbols.
#pragma once

#include <optional>
#include <string>

#include "codecs/picture_error.h"
#include "codecs/picture_type.h"

namespace cv {
class Mat;
}

namespace velmora {

inline constexpr int kLoadGrey = 0;
inline constexpr int kLoadColour = 1;

// The file type named by the letters after the last '.' of path: at most three of them, compared
// without regard to case, so "photo.JPEG" is JPEG and "scan.tiff" TIFF. Empty for a path
// without '.' or with letters no type uses.
std::optional<PictureType> pictureTypeOfPath(const std::string& path);

// Loads the picture at path, choosing the decoder by pictureTypeOfPath. colourMode kLoadColour
// gives an 8-bit three-channel blue, green, red image, kLoadGrey an 8-bit one-channel grey
// image; row 0 is the top row. Pictures with transparency are shown over white and 16-bit
// samples rounded to 8 bits, in both modes. A path that is no regular file it may read (a folder,
// a FIFO, a device, a link that loops, a file it has no permission for) is refused whatever its
// name says, and nothing that could wait is ever opened. Returns 1 with the image in out;
// returns -1 with out empty when the file cannot be read, its type is unknown or it cannot be
// decoded, and then puts the reason ("truncated file: ...", "cannot open the file: is a
// directory") in *reason when reason is given, and its kind in *failure when failure is given,
// for callers that word the reason themselves. Never throws.
int loadPictureFile(const std::string& path, cv::Mat& out, int colourMode, std::string* reason = nullptr,
                    PictureFailure* failure = nullptr);

}  // namespace velmora
