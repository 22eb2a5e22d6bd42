// Targa: colour-mapped, true-colour and grey pictures, plain or run-length encoded, stored from
// either the bottom or the top row and from either side.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

// One run-length packet of 1 + pixel bytes stands for at most 128 pixels.
constexpr int64_t kMaxPixelsPerPacketByte = 128;

enum class TgaKind { ColourMapped, TrueColour, Grey };

struct TgaHeader {
    TgaKind kind = TgaKind::TrueColour;
    bool encoded = false;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    int width = 0;
    int height = 0;
    int pixelBits = 0;
    int alphaBits = 0;
    bool rightToLeft = false;
    bool topFirst = false;
};

TgaHeader readHeader(ByteReader& in) {
    TgaHeader h;
    const int idLength = in.u8();
    const int mapType = in.u8();
    const int imageType = in.u8();
    switch (imageType & ~8) {
        case 1: h.kind = TgaKind::ColourMapped; break;
        case 2: h.kind = TgaKind::TrueColour; break;
        case 3: h.kind = TgaKind::Grey; break;
        default: failPicture(PictureFailure::Unsupported, "Targa image type " + std::to_string(imageType));
    }
    if (imageType > 11 || mapType > 1) failPicture(PictureFailure::Unsupported, "Targa image type " + std::to_string(imageType));
    h.encoded = (imageType & 8) != 0;
    h.mapFirst = in.u16le();
    h.mapLength = in.u16le();
    h.mapEntryBits = in.u8();
    in.skip(4);  // origin
    h.width = in.u16le();
    h.height = in.u16le();
    h.pixelBits = in.u8();
    const int descriptor = in.u8();
    h.alphaBits = descriptor & 0x0F;
    h.rightToLeft = (descriptor & 0x10) != 0;
    h.topFirst = (descriptor & 0x20) != 0;
    in.skip(idLength);
    if (h.kind == TgaKind::ColourMapped && mapType != 1) failPicture(PictureFailure::Malformed, "Targa colour map missing");
    checkPictureSize(h.width, h.height);
    return h;
}

// A 15/16, 24 or 32-bit Targa colour at p; 16-bit colours are 5 bits each of red, green, blue.
PaletteEntry colourAt(const uint8_t* p, int bits) {
    if (bits == 15 || bits == 16) {
        const unsigned v = p[0] | p[1] << 8;
        auto widen = [](unsigned five) { return static_cast<uint8_t>((five << 3) | (five >> 2)); };
        return PaletteEntry{widen(v & 31), widen((v >> 5) & 31), widen((v >> 10) & 31), 255};
    }
    return PaletteEntry{p[0], p[1], p[2], bits == 32 ? p[3] : uint8_t{255}};
}

std::array<PaletteEntry, 256> readColourMap(ByteReader& in, const TgaHeader& h) {
    std::array<PaletteEntry, 256> map{};
    const int entryBits = h.mapEntryBits;
    if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) {
        failPicture(PictureFailure::Unsupported, "Targa colour map of " + std::to_string(entryBits) + "-bit entries");
    }
    const int entryBytes = (entryBits + 7) / 8;
    for (int i = 0; i < h.mapLength; ++i) {
        const auto e = in.take(entryBytes);
        if (h.mapFirst + i < 256) map[h.mapFirst + i] = colourAt(e.data(), entryBits);
    }
    return map;
}

// The pixel bytes in file order, run-length packets undone.
std::vector<uint8_t> readPixels(ByteReader& in, const TgaHeader& h, int pixelBytes) {
    const int64_t pixels = int64_t{h.width} * h.height;
    const int64_t available = static_cast<int64_t>(in.remaining());
    if (!h.encoded) {
        const auto raw = in.take(static_cast<uint64_t>(pixels * pixelBytes));
        return std::vector<uint8_t>(raw.begin(), raw.end());
    }
    if (pixels > available * kMaxPixelsPerPacketByte) in.truncated();
    std::vector<uint8_t> out(static_cast<std::size_t>(pixels * pixelBytes));
    std::size_t filled = 0;
    while (filled < out.size()) {
        const uint8_t packet = in.u8();
        const std::size_t count = (packet & 0x7F) + 1u;
        const std::size_t room = (out.size() - filled) / pixelBytes;
        if (packet & 0x80) {
            const auto value = in.take(pixelBytes);
            for (std::size_t i = 0; i < count && i < room; ++i, filled += pixelBytes) {
                std::memcpy(out.data() + filled, value.data(), pixelBytes);
            }
        } else {
            const auto values = in.take(count * pixelBytes);
            const std::size_t copied = std::min(count, room) * pixelBytes;
            std::memcpy(out.data() + filled, values.data(), copied);
            filled += copied;
        }
    }
    return out;
}

// The layout the pixels are kept in: palette indices and grey stay 8-bit; colours become 24-bit,
// or 32-bit when the file declares alpha and uses it.
int bitmapDepth(const TgaHeader& h, const std::vector<uint8_t>& pixels, const std::array<PaletteEntry, 256>& map) {
    if (h.kind == TgaKind::Grey) return h.pixelBits == 16 ? 32 : 8;
    if (h.alphaBits == 0) return h.kind == TgaKind::ColourMapped ? 8 : 24;
    if (h.kind == TgaKind::ColourMapped) {
        if (h.mapEntryBits != 32) return 8;
        const bool anyAlpha = std::any_of(map.begin(), map.end(), [](const PaletteEntry& e) { return e.unused != 0; });
        return anyAlpha ? 32 : 8;
    }
    if (h.pixelBits != 32) return 24;
    // Alpha that is zero everywhere is an unused byte, not a transparent picture.
    for (std::size_t i = 3; i < pixels.size(); i += 4) {
        if (pixels[i] != 0) return 32;
    }
    return 24;
}

}  // namespace

void decodeTarga(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "Targa");
    const TgaHeader h = readHeader(in);
    const bool validDepth = (h.kind == TgaKind::ColourMapped && h.pixelBits == 8) ||
                            (h.kind == TgaKind::Grey && (h.pixelBits == 8 || h.pixelBits == 16)) ||
                            (h.kind == TgaKind::TrueColour &&
                             (h.pixelBits == 15 || h.pixelBits == 16 || h.pixelBits == 24 || h.pixelBits == 32));
    if (!validDepth) failPicture(PictureFailure::Unsupported, "Targa with " + std::to_string(h.pixelBits) + " bits per pixel");
    std::array<PaletteEntry, 256> map{};
    if (h.mapLength > 0) {
        if (h.kind == TgaKind::ColourMapped) {
            map = readColourMap(in, h);
        } else {
            in.skip(static_cast<uint64_t>(h.mapLength) * ((h.mapEntryBits + 7) / 8));
        }
    }
    const int pixelBytes = (h.pixelBits + 7) / 8;
    const std::vector<uint8_t> pixels = readPixels(in, h, pixelBytes);
    const int depth = bitmapDepth(h, pixels, map);

    out.allocate(h.width, h.height, depth);
    if (depth == 8) {
        if (h.kind == TgaKind::Grey) {
            out.setGreyPalette();
        } else {
            out.setPalette(map);
        }
    }
    for (int r = 0; r < h.height; ++r) {
        const uint8_t* source = pixels.data() + static_cast<std::size_t>(r) * h.width * pixelBytes;
        uint8_t* row = h.topFirst ? out.rowFromTop(r) : out.row(r);
        for (int i = 0; i < h.width; ++i) {
            const int x = h.rightToLeft ? h.width - 1 - i : i;
            const uint8_t* p = source + static_cast<std::size_t>(i) * pixelBytes;
            if (depth == 8) {
                row[x] = p[0];
                continue;
            }
            PaletteEntry c;
            if (h.kind == TgaKind::Grey) c = PaletteEntry{p[0], p[0], p[0], p[1]};
            else if (h.kind == TgaKind::ColourMapped) c = map[p[0]];
            else c = colourAt(p, h.pixelBits);
            uint8_t* px = row + static_cast<std::size_t>(x) * (depth / 8);
            px[0] = c.blue;
            px[1] = c.green;
            px[2] = c.red;
            if (depth == 32) px[3] = c.unused;
        }
    }
}

}  // namespace velmora
