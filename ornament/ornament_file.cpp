#include "ornament/ornament_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "codecs/bmp_writer.h"

namespace velmora {
namespace {

constexpr int kJpegQuality = 95;

// The letters after the last '.' of the file name part, lower case; empty without one.
std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool hasExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.find('.') != std::string::npos;
}

// Writes the bytes to a temporary file beside path and renames it into place.
bool writeWhole(const std::string& path, const std::vector<uchar>& bytes, std::string& error) {
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(written ? errno : savedErrno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool encodeAndWrite(const cv::Mat& picture, const std::string& path, const char* extension,
                    const std::vector<int>& parameters, std::string& error) {
    std::vector<uchar> bytes;
    try {
        if (!cv::imencode(extension, picture, bytes, parameters)) {
            error = path + ": the picture could not be encoded";
            return false;
        }
    } catch (const cv::Exception& failure) {
        error = path + ": the picture could not be encoded: " + failure.what();
        return false;
    }
    return writeWhole(path, bytes, error);
}

}  // namespace

std::string withDefaultExtension(const std::string& path) {
    return hasExtension(path) ? path : path + ".bmp";
}

OrnamentFileFormat ornamentFileFormatOf(const std::string& path) {
    const std::string extension = extensionOf(path);
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
    case OrnamentFileFormat::Png: return encodeAndWrite(picture, path, ".png", {}, error);
    case OrnamentFileFormat::Jpeg:
        return encodeAndWrite(picture, path, ".jpg", {cv::IMWRITE_JPEG_QUALITY, kJpegQuality}, error);
    case OrnamentFileFormat::Bmp: break;
    }
    return writeBmp24(path, picture.data, picture.cols, picture.rows, static_cast<int>(picture.step), error);
}

}  // namespace velmora
