// Which codec a picture file goes to: libpng and libjpeg-turbo for PNG and JPEG, OpenCV's
// module for everything else.
#include "codecs/picture_codecs.h"

#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "codecs/opencv_codecs.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

bool startsWith(std::span<const uint8_t> file, const char* signature) {
    const std::size_t length = std::strlen(signature);
    return file.size() >= length && std::memcmp(file.data(), signature, length) == 0;
}

constexpr int kOpenCvJpegQuality = 95;

// The JPEG quality the parameters ask for, or -1 when they ask for anything else too.
int jpegQualityOf(const std::vector<int>& parameters) {
    int quality = kOpenCvJpegQuality;
    for (std::size_t i = 0; i + 1 < parameters.size(); i += 2) {
        if (parameters[i] != cv::IMWRITE_JPEG_QUALITY) return -1;
        quality = parameters[i + 1];
    }
    return parameters.size() % 2 == 0 ? quality : -1;
}

}  // namespace

cv::Mat decodePictureImage(std::span<const uint8_t> file, std::string& why) {
    // The signatures OpenCV recognises these two by.
    if (startsWith(file, "\x89PNG\r\n\x1A\n")) return decodePngImage(file, why);
    if (startsWith(file, "\xFF\xD8\xFF")) return decodeJpegImage(file, why);
    return decodeWithOpenCvModule(file, why);
}

bool encodePictureImage(const std::string& extension, const cv::Mat& picture, const std::vector<int>& parameters,
                        std::vector<uint8_t>& out, std::string& error) {
    std::string lower = extension;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool eightBits = !picture.empty() && picture.depth() == CV_8U;
    const int channels = picture.channels();
    if (lower == ".png" && eightBits && parameters.empty() && (channels == 1 || channels == 3 || channels == 4)) {
        return encodePngImage(picture, out, error);
    }
    const int quality = jpegQualityOf(parameters);
    if ((lower == ".jpg" || lower == ".jpeg" || lower == ".jpe") && eightBits && quality >= 0 &&
        (channels == 1 || channels == 3)) {
        return encodeJpegImage(picture, quality, out, error);
    }
    return encodeWithOpenCvModule(extension, picture, parameters, out, error);
}

bool writePictureImage(const std::string& path, const cv::Mat& picture, std::string& error) {
    const std::string extension = lowerExtensionOf(path);
    if (extension.empty()) {
        error = path + ": the file name has no extension to choose a picture type by";
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string why;
    if (!encodePictureImage("." + extension, picture, {}, bytes, why)) {
        error = path + ": the picture could not be encoded" + (why.empty() ? "" : ": " + why);
        return false;
    }
    return writeFileWhole(path, bytes.data(), bytes.size(), error);
}

}  // namespace velmora
