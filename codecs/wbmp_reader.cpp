// WBMP type 0: a black and white picture, rows top first, 1 bit per pixel, 1 white.
#include <algorithm>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

// A WBMP multi-byte integer: 7 bits per byte, most significant first, high bit set on every
// byte but the last. More than five bytes cannot be a picture size.
int64_t multiByteInteger(ByteReader& in) {
    int64_t value = 0;
    for (int i = 0; i < 5; ++i) {
        const uint8_t b = in.u8();
        value = value << 7 | (b & 0x7F);
        if ((b & 0x80) == 0) return value;
    }
    failPicture(PictureFailure::Malformed, "WBMP integer longer than five bytes");
}

}  // namespace

void decodeWbmp(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "WBMP");
    const int64_t type = multiByteInteger(in);
    if (type != 0) failPicture(PictureFailure::Unsupported, "WBMP type " + std::to_string(type));
    if (in.u8() != 0) failPicture(PictureFailure::Unsupported, "WBMP with extension headers");
    const int64_t width = multiByteInteger(in);
    const int64_t height = multiByteInteger(in);
    checkPictureSize(width, height);
    const std::size_t rowBytes = static_cast<std::size_t>((width + 7) / 8);
    const auto data = in.take(rowBytes * static_cast<uint64_t>(height));

    out.allocate(static_cast<int>(width), static_cast<int>(height), 1);
    const PaletteEntry blackWhite[2] = {PaletteEntry{0, 0, 0, 0}, PaletteEntry{255, 255, 255, 0}};
    out.setPalette(blackWhite);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = data.data() + y * rowBytes;
        std::copy(source, source + rowBytes, out.rowFromTop(y));
    }
}

}  // namespace velmora
