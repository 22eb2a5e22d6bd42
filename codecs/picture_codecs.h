// Decoding and encoding the picture files that Velmora once handed to OpenCV's image codecs.
//
// PNG and JPEG go through libpng and libjpeg-turbo directly, with the same transformations
// OpenCV asks of those libraries, so a picture gives the very pixels it always gave. The rarer
// kinds (BMP, TIFF, JPEG 2000, PNM, and writing anything but PNG and JPEG) go through OpenCV's
// codecs, which live in a module of their own loaded the first time a picture needs it: linked
// into the program they would load some 140 libraries, GDAL among them, at every start.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cv {
class Mat;
}

namespace velmora {

// The image cv::imdecode(file, cv::IMREAD_UNCHANGED) gives for a BMP, JPEG, PNG, TIFF, JPEG 2000
// or PNM file: 8 or 16 bits, 1, 3 or 4 channels (grey, BGR, BGRA), row 0 on top, no EXIF turn.
// An empty image when the file cannot be decoded, with the decoder's words in why where it has
// any. Throws PictureError only when the OpenCV module a rare kind needs cannot be loaded, and
// for a picture beyond the size limits.
cv::Mat decodePictureImage(std::span<const uint8_t> file, std::string& why);

// PNG and JPEG alone, for callers that must never load the module. The same contract as above.
cv::Mat decodePngImage(std::span<const uint8_t> file, std::string& why);
cv::Mat decodeJpegImage(std::span<const uint8_t> file, std::string& why);

// The PNG and JPEG encoders alone: an 8-bit picture of 1, 3 or 4 channels (PNG) or of 1 or 3
// (JPEG), encoded as cv::imencode does; false with libpng's or libjpeg's words in error.
bool encodePngImage(const cv::Mat& picture, std::vector<uint8_t>& out, std::string& error);
bool encodeJpegImage(const cv::Mat& picture, int quality, std::vector<uint8_t>& out, std::string& error);

// The file cv::imencode(extension, picture, bytes, parameters) writes: ".png" and ".jpg" (".jpeg",
// ".jpe") of 8-bit grey or BGR pictures byte for byte as OpenCV writes them, with its defaults
// (PNG at zlib's fastest level with the Sub filter, JPEG at quality 95 unless parameters hold
// cv::IMWRITE_JPEG_QUALITY); every other extension or picture through OpenCV's module. False
// with a reason in error when the picture cannot be encoded.
bool encodePictureImage(const std::string& extension, const cv::Mat& picture, const std::vector<int>& parameters,
                        std::vector<uint8_t>& out, std::string& error);

// Encodes the picture for the extension of path (as cv::imwrite chooses) and writes the file
// whole or not at all. False with a reason naming path in error.
bool writePictureImage(const std::string& path, const cv::Mat& picture, std::string& error);

}  // namespace velmora
