// PCX: run-length encoded planes, 1 to 8 bits per plane, indexed or true colour.
#include <array>
#include <vector>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kTrailingPaletteBytes = 769;  // 0x0C, then 256 red, green, blue triples
// One run-length pair of two bytes stands for at most 63 bytes.
constexpr int64_t kMaxExpansion = 63;

struct PcxHeader {
    int version = 0;
    bool encoded = false;
    int bitsPerPlane = 0;
    int width = 0;
    int height = 0;
    int planes = 0;
    int bytesPerLine = 0;
    std::array<PaletteEntry, 16> palette{};
};

PcxHeader readHeader(ByteReader& in) {
    PcxHeader h;
    if (in.u8() != 0x0A) failPicture(PictureFailure::Malformed, "not a PCX file");
    h.version = in.u8();
    const int encoding = in.u8();
    if (encoding > 1) failPicture(PictureFailure::Unsupported, "PCX encoding " + std::to_string(encoding));
    h.encoded = encoding == 1;
    h.bitsPerPlane = in.u8();
    const int xmin = in.u16le(), ymin = in.u16le(), xmax = in.u16le(), ymax = in.u16le();
    in.skip(4);  // resolution
    for (PaletteEntry& e : h.palette) {
        const auto rgb = in.take(3);
        e = PaletteEntry{rgb[2], rgb[1], rgb[0], 0};
    }
    in.skip(1);
    h.planes = in.u8();
    h.bytesPerLine = in.u16le();
    in.seek(kHeaderBytes);
    checkPictureSize(int64_t{xmax} - xmin + 1, int64_t{ymax} - ymin + 1);
    h.width = xmax - xmin + 1;
    h.height = ymax - ymin + 1;
    return h;
}

bool isIndexedLayout(const PcxHeader& h) {
    return (h.planes == 1 && (h.bitsPerPlane == 1 || h.bitsPerPlane == 2 || h.bitsPerPlane == 4 || h.bitsPerPlane == 8)) ||
           (h.bitsPerPlane == 1 && h.planes >= 2 && h.planes <= 4);
}

bool isTrueColourLayout(const PcxHeader& h) { return h.bitsPerPlane == 8 && (h.planes == 3 || h.planes == 4); }

// The picture's scan lines, all planes of a line after each other, undone from run-length
// pairs (which may run on from one line to the next).
std::vector<uint8_t> readScanLines(ByteReader& in, const PcxHeader& h) {
    const int64_t total = int64_t{h.height} * h.planes * h.bytesPerLine;
    const int64_t available = static_cast<int64_t>(in.remaining());
    if (total > (h.encoded ? available * kMaxExpansion : available)) in.truncated();
    if (!h.encoded) {
        const auto raw = in.take(static_cast<uint64_t>(total));
        return std::vector<uint8_t>(raw.begin(), raw.end());
    }
    std::vector<uint8_t> lines(static_cast<std::size_t>(total));
    std::size_t filled = 0;
    while (filled < lines.size()) {
        uint8_t value = in.u8();
        std::size_t count = 1;
        if ((value & 0xC0) == 0xC0) {
            count = value & 0x3F;
            value = in.u8();
        }
        for (; count > 0 && filled < lines.size(); --count) lines[filled++] = value;
    }
    return lines;
}

// The 256-colour palette that follows the picture data of 8-bit files from version 5 on;
// older 8-bit files are grey.
std::array<PaletteEntry, 256> trailingPalette(std::span<const uint8_t> file, std::size_t dataEnd, int version) {
    std::array<PaletteEntry, 256> palette{};
    if (version < 5) {
        for (int i = 0; i < 256; ++i) palette[i] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
        return palette;
    }
    if (file.size() < dataEnd + kTrailingPaletteBytes || file[file.size() - kTrailingPaletteBytes] != 0x0C) {
        failPicture(PictureFailure::Truncated, "PCX palette missing after the picture data");
    }
    const uint8_t* rgb = file.data() + file.size() - kTrailingPaletteBytes + 1;
    for (int i = 0; i < 256; ++i) palette[i] = PaletteEntry{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
    return palette;
}

// A pixel's palette index: the bits of each plane at x, plane 0 the lowest.
unsigned indexAt(const uint8_t* line, int x, const PcxHeader& h) {
    if (h.planes == 1) {
        const int bit = x * h.bitsPerPlane;
        const int shift = 8 - h.bitsPerPlane - bit % 8;
        return (line[bit / 8] >> shift) & ((1u << h.bitsPerPlane) - 1);
    }
    unsigned index = 0;
    for (int p = 0; p < h.planes; ++p) index |= ((line[p * h.bytesPerLine + x / 8] >> (7 - x % 8)) & 1u) << p;
    return index;
}

void decodeIndexed(std::span<const uint8_t> file, ByteReader& in, const PcxHeader& h, Bitmap& out) {
    const std::vector<uint8_t> lines = readScanLines(in, h);
    const int depth = h.bitsPerPlane * h.planes;
    if (depth == 8) {
        out.allocate(h.width, h.height, 8);
        out.setPalette(trailingPalette(file, in.position(), h.version));
    } else {
        out.allocate(h.width, h.height, depth == 1 ? 1 : 8);
        // Monochrome files often leave both entries of their header palette black.
        const bool plainMonochrome = depth == 1 && h.palette[0].red == h.palette[1].red &&
                                     h.palette[0].green == h.palette[1].green && h.palette[0].blue == h.palette[1].blue;
        if (plainMonochrome) {
            const PaletteEntry blackWhite[2] = {PaletteEntry{0, 0, 0, 0}, PaletteEntry{255, 255, 255, 0}};
            out.setPalette(blackWhite);
        } else {
            out.setPalette(h.palette);
        }
    }
    const std::size_t lineBytes = static_cast<std::size_t>(h.planes) * h.bytesPerLine;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* line = lines.data() + y * lineBytes;
        uint8_t* row = out.rowFromTop(y);
        if (depth == 1) {
            std::copy(line, line + (h.width + 7) / 8, row);
        } else {
            for (int x = 0; x < h.width; ++x) row[x] = static_cast<uint8_t>(indexAt(line, x, h));
        }
    }
}

void decodeTrueColour(ByteReader& in, const PcxHeader& h, Bitmap& out) {
    const std::vector<uint8_t> lines = readScanLines(in, h);
    out.allocate(h.width, h.height, 8 * h.planes);
    const std::size_t lineBytes = static_cast<std::size_t>(h.planes) * h.bytesPerLine;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* line = lines.data() + y * lineBytes;
        uint8_t* row = out.rowFromTop(y);
        for (int x = 0; x < h.width; ++x) {
            uint8_t* px = row + h.planes * x;
            px[0] = line[2 * h.bytesPerLine + x];  // the planes run red, green, blue, alpha
            px[1] = line[h.bytesPerLine + x];
            px[2] = line[x];
            if (h.planes == 4) px[3] = line[3 * h.bytesPerLine + x];
        }
    }
}

}  // namespace

void decodePcx(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "PCX");
    const PcxHeader h = readHeader(in);
    const bool indexed = isIndexedLayout(h);
    if (!indexed && !isTrueColourLayout(h)) {
        failPicture(PictureFailure::Unsupported, "PCX with " + std::to_string(h.planes) + " planes of " +
                                                     std::to_string(h.bitsPerPlane) + " bits");
    }
    if (int64_t{h.bytesPerLine} * 8 < int64_t{h.width} * h.bitsPerPlane) {
        failPicture(PictureFailure::Malformed, "PCX lines shorter than the picture is wide");
    }
    if (indexed) {
        decodeIndexed(file, in, h, out);
    } else {
        decodeTrueColour(in, h, out);
    }
}

}  // namespace velmora
