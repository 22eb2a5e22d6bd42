// BMP, JPEG, PNG, TIFF, JPEG 2000 and PNM: decoded to the very image OpenCV's codecs give,
// then brought into the bitmap.
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "codecs/exif_orientation.h"
#include "codecs/picture_codecs.h"
#include "codecs/picture_decoders.h"
#include "codecs/picture_headers.h"

namespace velmora {
namespace {

// Alpha that is zero everywhere in a BMP is the unused fourth byte of 32-bit pixels, which
// many writers leave at zero; read as transparency it would blank the whole picture.
bool alphaIsUnused(const cv::Mat& image) {
    if (image.channels() != 4 || image.depth() != CV_8U) return false;
    cv::Mat alpha;
    cv::extractChannel(image, alpha, 3);
    return cv::countNonZero(alpha) == 0;
}

// 1, 3 or 4 channels of 8 or 16 bits, as Bitmap holds them.
cv::Mat toBitmapSamples(const cv::Mat& image) {
    if (image.depth() == CV_8U || image.depth() == CV_16U) return image;
    cv::Mat out;
    const bool floating = image.depth() == CV_32F || image.depth() == CV_64F || image.depth() == CV_16F;
    image.convertTo(out, CV_8U, floating ? 255.0 : 1.0);
    return out;
}

}  // namespace

void bitmapFromMat(const cv::Mat& source, Bitmap& out) {
    if (source.empty()) failPicture(PictureFailure::Malformed, "no picture was decoded");
    const cv::Mat image = toBitmapSamples(source);
    const int channels = image.channels();
    if (channels != 1 && channels != 3 && channels != 4) {
        failPicture(PictureFailure::Unsupported, std::to_string(channels) + " colour channels");
    }
    const int sampleBits = image.depth() == CV_16U ? 16 : 8;
    out.allocate(image.cols, image.rows, channels * sampleBits);
    if (channels == 1 && sampleBits == 8) out.setGreyPalette();
    const std::size_t rowBytes = static_cast<std::size_t>(image.cols) * image.elemSize();
    for (int y = 0; y < image.rows; ++y) std::memcpy(out.rowFromTop(y), image.ptr(y), rowBytes);
}

void decodeCommonPicture(std::span<const uint8_t> file, PictureType type, Bitmap& out) {
    const PictureHeader header = readPictureHeader(file);
    if (header.family == PictureFamily::Unknown) {
        failPicture(PictureFailure::Malformed, std::string("not a ") + pictureTypeName(type) + " file");
    }
    if (header.width >= 0 && header.height >= 0) checkPictureSize(header.width, header.height);
    if (header.truncated) failPicture(PictureFailure::Truncated, std::string(pictureTypeName(type)) + " data ends early");

    std::string why;
    cv::Mat image = decodePictureImage(file, why);
    if (image.empty()) {
        failPicture(PictureFailure::Malformed, std::string("the ") + pictureTypeName(type) + " data is damaged or truncated" +
                                                   (why.empty() ? "" : " (" + why + ")"));
    }
    if (header.family == PictureFamily::Bmp && alphaIsUnused(image)) {
        cv::Mat opaque;
        cv::cvtColor(image, opaque, cv::COLOR_BGRA2BGR);
        image = opaque;
    }
    // A photograph is shown, read and marked upright, so corners refer to what the user sees.
    if (header.family == PictureFamily::Jpeg) turnUpright(image, jpegExifOrientation(file));
    bitmapFromMat(image, out);
}

}  // namespace velmora
