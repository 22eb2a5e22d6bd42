// Saving the composed ornament picture in the format its file name asks for.
#pragma once

#include <string>

namespace cv {
class Mat;
}

namespace velmora {

enum class OrnamentFileFormat { Bmp, Png, Jpeg };

// The name with ".bmp" appended when its file name part has no extension.
std::string withDefaultExtension(const std::string& path);

// The name as the save dialog leaves it, for the format chosen there: kept when its extension is
// one of the ornament's (".bmp", ".png", ".jpg", ".jpeg", in any case), else with the chosen
// format's extension appended, so that "logo" and "logo.v2" saved as PNG become "logo.png" and
// "logo.v2.png".
std::string withFormatExtension(const std::string& path, OrnamentFileFormat chosen);

// The format the extension of path names, without regard to case: ".png" PNG, ".jpg" and
// ".jpeg" JPEG, anything else a 24-bit Windows bitmap.
OrnamentFileFormat ornamentFileFormatOf(const std::string& path);

// Writes an 8-bit three-channel picture (blue, green, red) to path in the format of its
// extension. The file appears whole or not at all; on failure returns false with a reason
// that names the file.
bool saveOrnamentPicture(const cv::Mat& picture, const std::string& path, std::string& error);

}  // namespace velmora
