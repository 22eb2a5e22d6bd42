// SKA, a plain 8-bit format. The layout we read:
//    width    16-bit little-endian
//    height   16-bit little-endian
//    BppExp   1 byte, bits per pixel = 2^BppExp; only 3 (8 bits per pixel) exists
//    4 bytes  unused
//    palette  256 entries of blue, green, red, unused
//    pixels   width x height palette indices, top row first, no row padding
#include <algorithm>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {

void decodeSka(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "SKA");
    const int width = in.u16le();
    const int height = in.u16le();
    const int bppExponent = in.u8();
    in.skip(4);
    if (bppExponent != 3) failPicture(PictureFailure::Unsupported, "SKA with BppExp " + std::to_string(bppExponent));
    checkPictureSize(width, height);
    PaletteEntry palette[256];
    for (PaletteEntry& e : palette) {
        const auto bgr = in.take(4);
        e = PaletteEntry{bgr[0], bgr[1], bgr[2], 0};
    }
    const auto pixels = in.take(static_cast<uint64_t>(width) * height);

    out.allocate(width, height, 8);
    out.setPalette(palette);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = pixels.data() + static_cast<std::size_t>(y) * width;
        std::copy(source, source + width, out.rowFromTop(y));
    }
}

}  // namespace velmora
