// The entries of the OpenCV codecs module, as its loader looks them up by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cv {
class Mat;
}

// cv::imdecode(data, cv::IMREAD_UNCHANGED) into out (empty when OpenCV cannot decode it); false
// with OpenCV's words in error when it threw.
using VelmoraOpenCvDecode = bool (*)(const uint8_t* data, std::size_t size, cv::Mat* out, std::string* error);
// cv::imencode(extension, picture, out, parameters); false with a reason in error.
using VelmoraOpenCvEncode = bool (*)(const char* extension, const cv::Mat* picture, const int* parameters,
                                     std::size_t parameterCount, std::vector<uint8_t>* out, std::string* error);

inline constexpr const char* kOpenCvDecodeEntry = "velmoraOpenCvDecode";
inline constexpr const char* kOpenCvEncodeEntry = "velmoraOpenCvEncode";
