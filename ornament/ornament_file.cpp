#include "ornament/ornament_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <opencv2/core.hpp>
#include <vector>

#include "codecs/bmp_writer.h"
#include "codecs/picture_codecs.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

constexpr int kJpegQuality = 95;

bool hasExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.find('.') != std::string::npos;
}

bool encodeAndWrite(const cv::Mat& picture, const std::string& path, const char* extension, int jpegQuality,
                    std::string& error) {
    std::vector<uint8_t> bytes;
    std::string why;
    const bool encoded = jpegQuality > 0 ? encodeJpegImage(picture, jpegQuality, bytes, why)
                                         : encodePictureImage(extension, picture, {}, bytes, why);
    if (!encoded) {
        error = path + ": the picture could not be encoded" + (why.empty() ? "" : ": " + why);
        return false;
    }
    return writeFileWhole(path, bytes.data(), bytes.size(), error);
}

}  // namespace

std::string withDefaultExtension(const std::string& path) {
    return hasExtension(path) ? path : path + ".bmp";
}

std::string withFormatExtension(const std::string& path, OrnamentFileFormat chosen) {
    const std::string extension = lowerExtensionOf(path);
    if (extension == "bmp" || extension == "png" || extension == "jpg" || extension == "jpeg") return path;
    switch (chosen) {
    case OrnamentFileFormat::Png: return path + ".png";
    case OrnamentFileFormat::Jpeg: return path + ".jpg";
    case OrnamentFileFormat::Bmp: break;
    }
    return path + ".bmp";
}

OrnamentFileFormat ornamentFileFormatOf(const std::string& path) {
    const std::string extension = lowerExtensionOf(path);
    if (extension == "png") return OrnamentFileFormat::Png;
    if (extension == "jpg" || extension == "jpeg") return OrnamentFileFormat::Jpeg;
    return OrnamentFileFormat::Bmp;
}

bool saveOrnamentPicture(const cv::Mat& picture, const std::string& path, std::string& error) {
    if (picture.empty() || picture.type() != CV_8UC3) {
        error = path + ": there is no picture to save";
        return false;
    }
    switch (ornamentFileFormatOf(path)) {
    case OrnamentFileFormat::Png: return encodeAndWrite(picture, path, ".png", 0, error);
    case OrnamentFileFormat::Jpeg: return encodeAndWrite(picture, path, ".jpg", kJpegQuality, error);
    case OrnamentFileFormat::Bmp: break;
    }
    return writeBmp24(path, picture.data, picture.cols, picture.rows, static_cast<int>(picture.step), error);
}

}  // namespace velmora
