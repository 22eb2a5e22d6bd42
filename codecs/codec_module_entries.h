// The entries of the codec modules, as their loaders look them up by name. Nothing is thrown
// across them: each entry catches everything and says what failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cv {
class Mat;
}

// velmora_opencv_codecs.so, OpenCV's image codecs.
// cv::imdecode(data, cv::IMREAD_UNCHANGED) into out (empty when OpenCV cannot decode it); false
// with OpenCV's words in error when it threw.
using VelmoraOpenCvDecode = bool (*)(const uint8_t* data, std::size_t size, cv::Mat* out, std::string* error);
// cv::imencode(extension, picture, out, parameters); false with a reason in error.
using VelmoraOpenCvEncode = bool (*)(const char* extension, const cv::Mat* picture, const int* parameters,
                                     std::size_t parameterCount, std::vector<uint8_t>* out, std::string* error);
inline constexpr const char* kOpenCvCodecsModule = "velmora_opencv_codecs.so";
inline constexpr const char* kOpenCvDecodeEntry = "velmoraOpenCvDecode";
inline constexpr const char* kOpenCvEncodeEntry = "velmoraOpenCvEncode";

// velmora_wmf_codec.so, libwmf's drawing of a Windows metafile.
// The metafile drawn into a PNG file in png; false with the failure's kind (a PictureFailure)
// and reason when the file is refused or cannot be drawn.
using VelmoraRenderWmf = bool (*)(const uint8_t* data, std::size_t size, std::vector<uint8_t>* png, int* failure,
                                  std::string* reason);
inline constexpr const char* kWmfCodecModule = "velmora_wmf_codec.so";
inline constexpr const char* kRenderWmfEntry = "velmoraRenderWmf";
