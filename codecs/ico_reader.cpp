// Icons and cursors: the largest picture of the directory, stored either as a PNG or as a
// device-independent bitmap followed by its 1-bit transparency mask.
#include <cstring>
#include <vector>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

struct IconEntry {
    int64_t area = 0;
    int bitCount = 0;
    uint32_t bytes = 0;
    uint32_t offset = 0;
};

// The entry with the most pixels, then the most bits per pixel (cursors keep their hot spot
// where icons keep their depth, so only icons break ties on depth).
IconEntry largestEntry(ByteReader& in, bool isCursor) {
    const uint16_t count = in.u16le();
    if (count == 0) failPicture(PictureFailure::Malformed, "the icon directory is empty");
    IconEntry best;
    for (int i = 0; i < count; ++i) {
        const int width = in.u8();
        const int height = in.u8();
        in.skip(4);  // colour count, reserved, planes or hot spot x
        const uint16_t bitCount = in.u16le();
        IconEntry entry;
        entry.area = int64_t{width ? width : 256} * (height ? height : 256);
        entry.bitCount = isCursor ? 0 : bitCount;
        entry.bytes = in.u32le();
        entry.offset = in.u32le();
        if (i == 0 || entry.area > best.area || (entry.area == best.area && entry.bitCount > best.bitCount)) {
            best = entry;
        }
    }
    return best;
}

// The colour of pixel x of a bottom-up DIB row of 1, 4, 8 or 24 bits.
PaletteEntry dibColour(const uint8_t* row, int x, int bitCount, const std::vector<PaletteEntry>& palette) {
    switch (bitCount) {
        case 1: return palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return palette[(x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4];
        case 8: return palette[row[x]];
        default: return PaletteEntry{row[3 * x], row[3 * x + 1], row[3 * x + 2], 255};
    }
}

// A DIB icon picture as 32-bit blue, green, red, alpha. The mask makes pixels transparent
// unless the picture carries its own alpha (32-bit pictures with any non-zero alpha).
void decodeIconDib(std::span<const uint8_t> data, Bitmap& out) {
    ByteReader in(data, "ICO");
    const uint32_t headerSize = in.u32le();
    if (headerSize < 40) failPicture(PictureFailure::Unsupported, "icon bitmap header of " + std::to_string(headerSize) + " bytes");
    const int32_t width = static_cast<int32_t>(in.u32le());
    const int32_t doubleHeight = static_cast<int32_t>(in.u32le());
    in.skip(2);  // planes
    const uint16_t bitCount = in.u16le();
    const uint32_t compression = in.u32le();
    in.skip(12);  // image size, resolution
    const uint32_t coloursUsed = in.u32le();
    if (doubleHeight <= 0 || doubleHeight % 2 != 0) failPicture(PictureFailure::Malformed, "icon bitmap height");
    const int height = doubleHeight / 2;
    checkPictureSize(width, height);
    if (compression != 0) failPicture(PictureFailure::Unsupported, "compressed icon bitmap");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) {
        failPicture(PictureFailure::Unsupported, std::to_string(bitCount) + "-bit icon bitmap");
    }

    in.seek(headerSize);
    std::vector<PaletteEntry> palette(256);
    if (bitCount <= 8) {
        const uint32_t entries = coloursUsed ? coloursUsed : 1u << bitCount;
        if (entries > (1u << bitCount)) failPicture(PictureFailure::Malformed, "icon palette too long");
        for (uint32_t i = 0; i < entries; ++i) {
            const auto e = in.take(4);
            palette[i] = PaletteEntry{e[0], e[1], e[2], 0};
        }
    }
    const std::size_t colourStride = bitmapStride(width, bitCount);
    const std::size_t maskStride = bitmapStride(width, 1);
    const auto colour = in.take(colourStride * static_cast<std::size_t>(height));
    // Pictures with their own alpha need no mask, and some writers leave it out.
    const bool maskPresent = in.remaining() >= maskStride * static_cast<std::size_t>(height);
    if (!maskPresent && bitCount != 32) in.truncated();
    const auto mask = maskPresent ? in.take(maskStride * static_cast<std::size_t>(height)) : std::span<const uint8_t>{};

    bool ownAlpha = false;
    if (bitCount == 32) {
        for (std::size_t i = 3; i < colour.size() && !ownAlpha; i += 4) ownAlpha = colour[i] != 0;
    }
    out.allocate(width, height, 32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* colourRow = colour.data() + y * colourStride;
        uint8_t* target = out.row(y);
        for (int x = 0; x < width; ++x) {
            uint8_t* px = target + 4 * x;
            if (bitCount == 32) {
                std::memcpy(px, colourRow + 4 * x, 4);
            } else {
                const PaletteEntry c = dibColour(colourRow, x, bitCount, palette);
                px[0] = c.blue;
                px[1] = c.green;
                px[2] = c.red;
            }
            if (!ownAlpha) {
                const bool transparent = maskPresent && ((mask[y * maskStride + (x >> 3)] >> (7 - (x & 7))) & 1);
                px[3] = transparent ? 0 : 255;
            }
        }
    }
}

}  // namespace

void decodeIcon(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "ICO");
    const uint16_t reserved = in.u16le();
    const uint16_t kind = in.u16le();
    if (reserved != 0 || (kind != 1 && kind != 2)) failPicture(PictureFailure::Malformed, "not an icon or cursor file");
    const IconEntry entry = largestEntry(in, kind == 2);
    in.seek(entry.offset);
    const auto data = in.take(entry.bytes);
    static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0) {
        decodeCommonPicture(data, PictureType::Png, out);
    } else {
        decodeIconDib(data, out);
    }
}

}  // namespace velmora
