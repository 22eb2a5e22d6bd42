#include "codecs/exif_orientation.h"

#include <cstring>
#include <opencv2/core.hpp>

namespace velmora {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;

// Byte-order-aware reads inside one TIFF block; every read is checked against its end.
class TiffBlock {
public:
    explicit TiffBlock(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    // Reads the "II"/"MM" byte order and the magic 42; false when the block is not TIFF.
    bool readHeader() {
        if (bytes_.size() < 8) return false;
        if (bytes_[0] == 'I' && bytes_[1] == 'I') bigEndian_ = false;
        else if (bytes_[0] == 'M' && bytes_[1] == 'M') bigEndian_ = true;
        else return false;
        uint16_t magic = 0;
        return read16(2, magic) && magic == 42;
    }

    bool read16(std::size_t at, uint16_t& value) const {
        if (at > bytes_.size() || bytes_.size() - at < 2) return false;
        value = bigEndian_ ? uint16_t(bytes_[at] << 8 | bytes_[at + 1]) : uint16_t(bytes_[at + 1] << 8 | bytes_[at]);
        return true;
    }

    bool read32(std::size_t at, uint32_t& value) const {
        uint16_t first = 0, second = 0;
        if (!read16(at, first) || !read16(at + 2, second)) return false;
        value = bigEndian_ ? uint32_t(first) << 16 | second : uint32_t(second) << 16 | first;
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    bool bigEndian_ = false;
};

// The orientation entry of the first directory of a TIFF block, or 1.
int orientationOfTiff(std::span<const uint8_t> bytes) {
    TiffBlock tiff(bytes);
    uint32_t directory = 0;
    uint16_t entries = 0;
    if (!tiff.readHeader() || !tiff.read32(4, directory) || !tiff.read16(directory, entries)) return 1;
    for (uint32_t k = 0; k < entries; ++k) {
        const std::size_t entry = std::size_t(directory) + 2 + 12 * std::size_t(k);
        uint16_t tag = 0, type = 0, value = 0;
        uint32_t count = 0;
        if (!tiff.read16(entry, tag) || !tiff.read16(entry + 2, type) || !tiff.read32(entry + 4, count)) return 1;
        if (tag != kOrientationTag) continue;
        if (type != kShortType || count != 1 || !tiff.read16(entry + 8, value)) return 1;
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

}  // namespace

int jpegExifOrientation(std::span<const uint8_t> file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return 1;
    std::size_t at = 2;
    // The EXIF block is an application segment before the first scan.
    while (at + 4 <= file.size()) {
        if (file[at] != 0xFF) return 1;
        const uint8_t marker = file[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage) return 1;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
            at += 2;
            continue;
        }
        const std::size_t length = std::size_t(file[at + 2]) << 8 | file[at + 3];
        if (length < 2 || length > file.size() - at - 2) return 1;
        const std::span<const uint8_t> segment = file.subspan(at + 4, length - 2);
        if (marker == kApp1 && segment.size() >= 6 && std::memcmp(segment.data(), "Exif\0\0", 6) == 0)
            return orientationOfTiff(segment.subspan(6));
        at += 2 + length;
    }
    return 1;
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
