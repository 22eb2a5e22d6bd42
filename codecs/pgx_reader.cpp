// PGX, the grey test format of JPEG 2000: a one-line text header
//    PG ML|LM [+|-]depth width height
// (ML big-endian, LM little-endian samples; - signed) and then width x height samples, top row
// first, one byte each up to 8 bits of depth and two bytes up to 16. Samples are scaled to 8 bits.
#include <algorithm>
#include <cctype>
#include <string>

#include "codecs/byte_reader.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

struct PgxHeader {
    bool bigEndian = true;
    bool isSigned = false;
    int depth = 0;
    int64_t width = 0;
    int64_t height = 0;
};

void skipBlanks(ByteReader& in) {
    while (!in.atEnd()) {
        const auto next = in.take(1)[0];
        if (next != ' ' && next != '\t') {
            in.seek(in.position() - 1);
            return;
        }
    }
}

// A decimal number of at most nine digits after optional blanks.
int64_t headerNumber(ByteReader& in) {
    skipBlanks(in);
    int64_t value = 0;
    int digits = 0;
    while (!in.atEnd() && digits < 10) {
        const uint8_t c = in.u8();
        if (!std::isdigit(c)) {
            in.seek(in.position() - 1);
            break;
        }
        value = value * 10 + (c - '0');
        ++digits;
    }
    if (digits == 0 && in.atEnd()) in.truncated();
    if (digits == 0 || digits > 9) failPicture(PictureFailure::Malformed, "PGX header number");
    return value;
}

PgxHeader readHeader(ByteReader& in) {
    PgxHeader h;
    if (in.u8() != 'P' || in.u8() != 'G') failPicture(PictureFailure::Malformed, "not a PGX file");
    skipBlanks(in);
    const uint8_t first = in.u8();
    const uint8_t second = in.u8();
    if (first == 'M' && second == 'L') h.bigEndian = true;
    else if (first == 'L' && second == 'M') h.bigEndian = false;
    else failPicture(PictureFailure::Malformed, "PGX byte order must be ML or LM");
    skipBlanks(in);
    const uint8_t sign = in.u8();
    if (sign == '-' || sign == '+') h.isSigned = sign == '-';
    else in.seek(in.position() - 1);
    const int64_t depth = headerNumber(in);
    h.width = headerNumber(in);
    h.height = headerNumber(in);
    skipBlanks(in);
    uint8_t end = in.u8();
    if (end == '\r') end = in.u8();
    if (end != '\n') failPicture(PictureFailure::Malformed, "PGX header line does not end");
    if (depth < 1 || depth > 16) failPicture(PictureFailure::Unsupported, "PGX depth " + std::to_string(depth));
    h.depth = static_cast<int>(depth);
    checkPictureSize(h.width, h.height);
    return h;
}

}  // namespace

void decodePgx(std::span<const uint8_t> file, Bitmap& out) {
    ByteReader in(file, "PGX");
    const PgxHeader h = readHeader(in);
    const int sampleBytes = h.depth <= 8 ? 1 : 2;
    const auto samples = in.take(static_cast<uint64_t>(h.width * h.height * sampleBytes));
    const int64_t maxValue = (int64_t{1} << h.depth) - 1;
    const int64_t offset = h.isSigned ? int64_t{1} << (h.depth - 1) : 0;

    out.allocate(static_cast<int>(h.width), static_cast<int>(h.height), 8);
    out.setGreyPalette();
    const uint8_t* p = samples.data();
    for (int y = 0; y < h.height; ++y) {
        uint8_t* row = out.rowFromTop(y);
        for (int x = 0; x < h.width; ++x, p += sampleBytes) {
            int64_t v;
            if (sampleBytes == 1) {
                v = h.isSigned ? static_cast<int8_t>(p[0]) : p[0];
            } else {
                const auto raw = static_cast<uint16_t>(h.bigEndian ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
                v = h.isSigned ? static_cast<int16_t>(raw) : raw;
            }
            v = std::clamp<int64_t>(v + offset, 0, maxValue);
            row[x] = static_cast<uint8_t>((v * 255 + maxValue / 2) / maxValue);
        }
    }
}

}  // namespace velmora
