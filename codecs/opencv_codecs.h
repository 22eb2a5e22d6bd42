// OpenCV's image codecs in their own module, loaded the first time a picture needs them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cv {
class Mat;
}

namespace velmora {

// cv::imdecode(file, cv::IMREAD_UNCHANGED): empty when OpenCV cannot decode the file, with its
// words in why when it said any. Throws PictureError (Unsupported) when the module is missing.
cv::Mat decodeWithOpenCvModule(std::span<const uint8_t> file, std::string& why);

// cv::imencode(extension, picture, out, parameters); false with a reason in error, also when the
// module is missing.
bool encodeWithOpenCvModule(const std::string& extension, const cv::Mat& picture, const std::vector<int>& parameters,
                            std::vector<uint8_t>& out, std::string& error);

// True when the module can be loaded (it is, by this call), else false with the reason in why.
bool openCvCodecsModuleLoads(std::string& why);

}  // namespace velmora
