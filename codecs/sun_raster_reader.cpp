// Sun raster: 1, 8, 24 and 32-bit pictures, plain or byte-encoded, with an optional colour map.
// OpenCV's own reader refuses the RGB-ordered and byte-encoded kinds, which are what most
// writers produce, so the whole format is read here.
#include <algorithm>
#include <vector>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

constexpr uint32_t kMagic = 0x59A66A95u;
enum : uint32_t { kOld = 0, kStandard = 1, kByteEncoded = 2, kRgbOrder = 3 };
enum : uint32_t { kNoMap = 0, kEqualRgbMap = 1, kRawMap = 2 };
// A three-byte escape stands for at most 256 bytes.
constexpr int64_t kMaxExpansion = 86;

struct SunHeader {
    int width = 0;
    int height = 0;
    int depth = 0;
    uint32_t type = 0;
    uint32_t mapType = 0;
    uint32_t mapLength = 0;
};

SunHeader readHeader(ByteReader& in) {
    if (in.u32be() != kMagic) failPicture(PictureFailure::Malformed, "not a Sun raster file");
    const int64_t width = in.u32be();
    const int64_t height = in.u32be();
    SunHeader h;
    h.depth = static_cast<int>(std::min<uint32_t>(in.u32be(), 64));
    in.skip(4);  // data length, often zero
    h.type = in.u32be();
    h.mapType = in.u32be();
    h.mapLength = in.u32be();
    if (h.type > kRgbOrder) failPicture(PictureFailure::Unsupported, "Sun raster type " + std::to_string(h.type));
    if (h.depth != 1 && h.depth != 8 && h.depth != 24 && h.depth != 32) {
        failPicture(PictureFailure::Unsupported, "Sun raster of depth " + std::to_string(h.depth));
    }
    if (h.mapType > kRawMap) failPicture(PictureFailure::Unsupported, "Sun raster map type " + std::to_string(h.mapType));
    checkPictureSize(width, height);
    h.width = static_cast<int>(width);
    h.height = static_cast<int>(height);
    return h;
}

// The colour map as palette entries; 1-bit pictures without one are black on white (bit set
// black), 8-bit ones grey.
std::vector<PaletteEntry> readMap(ByteReader& in, const SunHeader& h) {
    std::vector<PaletteEntry> palette;
    const auto map = in.take(h.mapLength);
    if (h.mapType == kEqualRgbMap && h.mapLength >= 3) {
        const std::size_t n = std::min<std::size_t>(h.mapLength / 3, 256);
        const std::size_t stride = h.mapLength / 3;
        for (std::size_t i = 0; i < n; ++i) palette.push_back(PaletteEntry{map[2 * stride + i], map[stride + i], map[i], 0});
    } else if (h.depth == 1) {
        palette = {PaletteEntry{255, 255, 255, 0}, PaletteEntry{0, 0, 0, 0}};
    } else {
        for (int i = 0; i < 256; ++i) palette.push_back(PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0});
    }
    return palette;
}

// The rows of the picture (each padded to 16 bits), byte encoding undone.
std::vector<uint8_t> readRows(ByteReader& in, const SunHeader& h, std::size_t rowBytes) {
    const int64_t total = static_cast<int64_t>(rowBytes) * h.height;
    if (h.type != kByteEncoded) {
        const auto raw = in.take(static_cast<uint64_t>(total));
        return std::vector<uint8_t>(raw.begin(), raw.end());
    }
    if (total > static_cast<int64_t>(in.remaining()) * kMaxExpansion) in.truncated();
    std::vector<uint8_t> rows(static_cast<std::size_t>(total));
    std::size_t filled = 0;
    while (filled < rows.size()) {
        const uint8_t b = in.u8();
        if (b != 0x80) {
            rows[filled++] = b;
            continue;
        }
        const std::size_t count = in.u8();
        if (count == 0) {
            rows[filled++] = 0x80;
            continue;
        }
        const uint8_t value = in.u8();
        for (std::size_t i = 0; i <= count && filled < rows.size(); ++i) rows[filled++] = value;
    }
    return rows;
}

}  // namespace

void decodeSunRaster(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "Sun raster");
    const SunHeader h = readHeader(in);
    const std::vector<PaletteEntry> palette = readMap(in, h);
    const std::size_t rowBytes = (static_cast<std::size_t>(h.width) * h.depth + 15) / 16 * 2;
    const std::vector<uint8_t> rows = readRows(in, h, rowBytes);

    bool alphaUsed = false;
    if (h.depth == 32) {
        for (int y = 0; y < h.height && !alphaUsed; ++y) {
            for (int x = 0; x < h.width && !alphaUsed; ++x) alphaUsed = rows[y * rowBytes + 4 * x] != 0;
        }
    }
    const int depth = h.depth == 32 ? (alphaUsed ? 32 : 24) : h.depth;
    out.allocate(h.width, h.height, depth);
    if (depth <= 8) out.setPalette(palette);
    const bool rgbOrder = h.type == kRgbOrder;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* source = rows.data() + y * rowBytes;
        uint8_t* row = out.rowFromTop(y);
        if (depth <= 8) {
            std::copy(source, source + (static_cast<std::size_t>(h.width) * depth + 7) / 8, row);
            continue;
        }
        const int sourceBytes = h.depth / 8;
        const int colour = h.depth == 32 ? 1 : 0;  // 32-bit pixels carry a leading pad or alpha byte
        for (int x = 0; x < h.width; ++x) {
            const uint8_t* p = source + x * sourceBytes;
            uint8_t* px = row + x * (depth / 8);
            px[0] = rgbOrder ? p[colour + 2] : p[colour];
            px[1] = p[colour + 1];
            px[2] = rgbOrder ? p[colour] : p[colour + 2];
            if (depth == 32) px[3] = p[0];
        }
    }
}

}  // namespace velmora
