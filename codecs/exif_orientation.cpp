#include "codecs/exif_orientation.h"

#include <cstring>
#include <opencv2/core.hpp>

#include "codecs/byte_reader.h"

namespace velmora {
namespace {

constexpr uint16_t kStartOfImage = 0xFFD8;
constexpr uint16_t kIntelOrder = 0x4949;     // "II": little-endian
constexpr uint16_t kMotorolaOrder = 0x4D4D;  // "MM": big-endian
constexpr uint16_t kTiffMagic = 42;
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;

// The orientation entry of the first directory of a TIFF block, or 1. Throws PictureError when
// the block ends before what it points to.
int orientationOfTiff(std::span<const uint8_t> bytes) {
    ByteReader tiff(bytes, "EXIF");
    const uint16_t order = tiff.u16be();
    if (order != kIntelOrder && order != kMotorolaOrder) return 1;
    const bool bigEndian = order == kMotorolaOrder;
    const auto u16 = [&tiff, bigEndian] { return bigEndian ? tiff.u16be() : tiff.u16le(); };
    const auto u32 = [&tiff, bigEndian] { return bigEndian ? tiff.u32be() : tiff.u32le(); };
    if (u16() != kTiffMagic) return 1;
    tiff.seek(u32());
    const uint16_t entries = u16();
    for (uint16_t k = 0; k < entries; ++k) {
        const uint16_t tag = u16(), type = u16();
        const uint32_t count = u32();
        // A single short sits in the first two bytes of the entry's four-byte value.
        const uint16_t value = u16();
        tiff.skip(2);
        if (tag != kOrientationTag) continue;
        return type == kShortType && count == 1 && value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

}  // namespace

int jpegExifOrientation(std::span<const uint8_t> file) {
    try {
        ByteReader jpeg(file, "JPEG");
        if (jpeg.u16be() != kStartOfImage) return 1;
        // The EXIF block is an application segment before the first scan.
        for (;;) {
            if (jpeg.u8() != 0xFF) return 1;
            uint8_t marker = jpeg.u8();
            while (marker == 0xFF) marker = jpeg.u8();  // fill bytes
            if (marker == kStartOfScan || marker == kEndOfImage) return 1;
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // markers without a length
            const uint16_t length = jpeg.u16be();
            if (length < 2) return 1;
            const std::span<const uint8_t> segment = jpeg.take(length - 2u);
            if (marker == kApp1 && segment.size() >= 6 && std::memcmp(segment.data(), "Exif\0\0", 6) == 0)
                return orientationOfTiff(segment.subspan(6));
        }
    } catch (const PictureError&) {
        // A block that ends early says nothing usable.
        return 1;
    }
}

void turnUpright(cv::Mat& image, int orientation) {
    if (image.empty() || orientation < 2 || orientation > 8) return;
    // 5 to 8 store the picture's columns as rows: transpose first, then mirror as 1 to 4 do.
    cv::Mat columnsAsRows;
    if (orientation >= 5) cv::transpose(image, columnsAsRows);
    const cv::Mat& source = orientation >= 5 ? columnsAsRows : image;
    cv::Mat upright;
    switch (orientation) {
    case 2: case 6: cv::flip(source, upright, 1); break;   // left to right
    case 3: case 7: cv::flip(source, upright, -1); break;  // half round
    case 4: case 8: cv::flip(source, upright, 0); break;   // top to bottom
    default: upright = columnsAsRows; break;               // 5: the transpose alone
    }
    image = upright;
}

}  // namespace velmora
