// The decoders behind Bitmap::load, one per file kind. Each reads a whole file held in memory
// into the bitmap and throws PictureError when it cannot; none reads outside the given bytes.
#pragma once

#include <cstdint>
#include <span>

#include "codecs/bitmap.h"
#include "codecs/picture_type.h"

namespace cv {
class Mat;
}

namespace velmora {

// BMP, JPEG, PNG, TIFF, JPEG 2000 and PNM, to the pixels OpenCV's image codecs give.
void decodeCommonPicture(std::span<const uint8_t> file, PictureType type, Bitmap& out);
void decodeGif(std::span<const uint8_t> file, Bitmap& out);
void decodeIcon(std::span<const uint8_t> file, Bitmap& out);
void decodePcx(std::span<const uint8_t> file, Bitmap& out);
void decodeTarga(std::span<const uint8_t> file, Bitmap& out);
void decodeWbmp(std::span<const uint8_t> file, Bitmap& out);
void decodePgx(std::span<const uint8_t> file, Bitmap& out);
void decodeSka(std::span<const uint8_t> file, Bitmap& out);
void decodeSunRaster(std::span<const uint8_t> file, Bitmap& out);
void decodeWmf(std::span<const uint8_t> file, Bitmap& out);

// Copies an 8-bit or 16-bit OpenCV image of 1, 3 or 4 channels (grey, BGR, BGRA) into the
// bitmap in the matching layout; other sample types are brought to 8 bits first (floating point
// taken as 0..1). Throws for an empty image, other channel counts or a size outside the limits.
void bitmapFromMat(const cv::Mat& image, Bitmap& out);

}  // namespace velmora
