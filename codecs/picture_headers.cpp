#include "codecs/picture_headers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "codecs/byte_reader.h"

namespace velmora {
namespace {

bool startsWith(std::span<const uint8_t> file, std::string_view signature) {
    return file.size() >= signature.size() && std::memcmp(file.data(), signature.data(), signature.size()) == 0;
}

void readPngSize(std::span<const uint8_t> file, PictureHeader& header) {
    ByteReader in(file, "PNG");
    in.seek(12);
    if (in.u32be() != 0x49484452u) return;  // "IHDR" must come first
    header.width = in.u32be();
    header.height = in.u32be();
}

void readBmpSize(std::span<const uint8_t> file, PictureHeader& header) {
    ByteReader in(file, "BMP");
    in.seek(14);
    const uint32_t infoSize = in.u32le();
    if (infoSize == 12) {
        header.width = in.u16le();
        header.height = in.u16le();
    } else {
        header.width = static_cast<int32_t>(in.u32le());
        const int64_t height = static_cast<int32_t>(in.u32le());
        header.height = height < 0 ? -height : height;
    }
}

constexpr bool isStartOfFrame(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the marker segments up to the first scan; the picture is whole only if an end-of-image
// marker follows that scan (entropy-coded data stuffs every 0xFF, so the pair cannot occur by
// chance inside it).
void readJpegSize(std::span<const uint8_t> file, PictureHeader& header) {
    ByteReader in(file, "JPEG");
    in.seek(2);
    while (true) {
        if (in.u8() != 0xFF) return;
        uint8_t marker = in.u8();
        while (marker == 0xFF) marker = in.u8();
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD9) return;
        const uint16_t length = in.u16be();
        if (length < 2) return;
        if (marker == 0xDA) {
            const auto rest = file.subspan(in.position());
            const uint8_t end[2] = {0xFF, 0xD9};
            header.truncated = std::search(rest.begin(), rest.end(), end, end + 2) == rest.end();
            return;
        }
        if (isStartOfFrame(marker) && header.width < 0) {
            in.skip(1);
            const uint16_t height = in.u16be();
            header.width = in.u16be();
            if (height > 0) header.height = height;  // 0 means the height follows the first scan
            in.skip(length - 7);
        } else {
            in.skip(length - 2);
        }
    }
}

// The next unsigned decimal number of a PNM header, past white space and '#' comments; -1 when
// there is none.
int64_t pnmNumber(ByteReader& in) {
    while (!in.atEnd()) {
        const uint8_t c = in.u8();
        if (c == '#') {
            while (!in.atEnd() && in.u8() != '\n') {
            }
        } else if (std::isdigit(c)) {
            int64_t value = c - '0';
            while (!in.atEnd()) {
                const uint8_t d = in.u8();
                if (!std::isdigit(d)) return value;
                value = std::min<int64_t>(value * 10 + (d - '0'), int64_t{1} << 40);
            }
            return value;
        } else if (!std::isspace(c)) {
            return -1;
        }
    }
    return -1;
}

void readPnmSize(std::span<const uint8_t> file, PictureHeader& header) {
    const char kind = static_cast<char>(file[1]);
    if (kind == '7') return;  // PAM: OpenCV checks its header itself
    ByteReader in(file, "PNM");
    in.seek(2);
    header.width = pnmNumber(in);
    header.height = pnmNumber(in);
    if (header.width <= 0 || header.height <= 0 || kind < '4') return;
    int64_t rowBytes = (header.width + 7) / 8;
    if (kind != '4') {
        const int64_t maxValue = pnmNumber(in);
        if (maxValue <= 0) return;
        rowBytes = header.width * (kind == '6' ? 3 : 1) * (maxValue > 255 ? 2 : 1);
    }
    // The number ended at the single white space character that precedes the samples.
    header.truncated = static_cast<int64_t>(in.remaining()) < rowBytes * header.height;
}

// The first image file directory of a classic or big TIFF: ImageWidth (256) and ImageLength
// (257), stored as SHORT, LONG or LONG8.
void readTiffSize(std::span<const uint8_t> file, PictureHeader& header) {
    ByteReader in(file, "TIFF");
    const bool big = file[0] == 'M';
    auto u16 = [&] { return big ? in.u16be() : in.u16le(); };
    auto u32 = [&] { return big ? in.u32be() : in.u32le(); };
    auto u64 = [&] { return big ? in.u64be() : in.u64le(); };
    in.seek(2);
    const uint16_t version = u16();
    const bool bigTiff = version == 43;
    if (bigTiff) {
        in.skip(4);
        in.seek(u64());
    } else {
        in.seek(u32());
    }
    const uint64_t entries = bigTiff ? u64() : u16();
    for (uint64_t i = 0; i < entries && in.remaining() > 0; ++i) {
        const uint16_t tag = u16();
        const uint16_t type = u16();
        const uint64_t count = bigTiff ? u64() : u32();
        const std::size_t valueAt = in.position();
        int64_t value = -1;
        if (count == 1 && type == 3) value = u16();
        if (count == 1 && type == 4) value = u32();
        if (count == 1 && type == 16 && bigTiff) value = static_cast<int64_t>(std::min<uint64_t>(u64(), 1u << 31));
        in.seek(valueAt + (bigTiff ? 8 : 4));
        if (tag == 256) header.width = value;
        if (tag == 257) header.height = value;
    }
}

// The image size of a code stream: Xsiz - XOsiz by Ysiz - YOsiz from its SIZ segment.
void readJ2kSize(ByteReader& in, PictureHeader& header) {
    if (in.u16be() != 0xFF4F || in.u16be() != 0xFF51) return;
    in.skip(4);  // Lsiz, Rsiz
    const int64_t xsiz = in.u32be();
    const int64_t ysiz = in.u32be();
    const int64_t xosiz = in.u32be();
    const int64_t yosiz = in.u32be();
    header.width = xsiz - xosiz;
    header.height = ysiz - yosiz;
}

// Top-level boxes of a JP2 file up to its code stream, whose SIZ segment holds the size.
void readJp2Size(std::span<const uint8_t> file, PictureHeader& header) {
    ByteReader in(file, "JPEG 2000");
    while (in.remaining() >= 8) {
        const std::size_t start = in.position();
        uint64_t length = in.u32be();
        const uint32_t type = in.u32be();
        if (length == 1) length = in.u64be();
        if (type == 0x6A703263u) {  // "jp2c"
            readJ2kSize(in, header);
            return;
        }
        if (length < 8) return;  // 0 runs to the end of the file, and so must be the code stream
        in.seek(start + length);
    }
}

}  // namespace

PictureHeader readPictureHeader(std::span<const uint8_t> file) {
    PictureHeader header;
    if (startsWith(file, "\x89PNG\r\n\x1A\n")) header.family = PictureFamily::Png;
    else if (startsWith(file, "BM")) header.family = PictureFamily::Bmp;
    else if (startsWith(file, "\xFF\xD8\xFF")) header.family = PictureFamily::Jpeg;
    else if (startsWith(file, std::string_view("II*\0", 4)) || startsWith(file, std::string_view("MM\0*", 4)) ||
             startsWith(file, std::string_view("II+\0", 4)) || startsWith(file, std::string_view("MM\0+", 4)))
        header.family = PictureFamily::Tiff;
    else if (startsWith(file, std::string_view("\0\0\0\x0CjP  \r\n\x87\n", 12)))
        header.family = PictureFamily::Jpeg2000File;
    else if (startsWith(file, "\xFF\x4F\xFF\x51")) header.family = PictureFamily::Jpeg2000Stream;
    else if (file.size() >= 3 && file[0] == 'P' && file[1] >= '1' && file[1] <= '7' && std::isspace(file[2]))
        header.family = PictureFamily::Pnm;
    try {
        switch (header.family) {
            case PictureFamily::Png: readPngSize(file, header); break;
            case PictureFamily::Bmp: readBmpSize(file, header); break;
            case PictureFamily::Jpeg: readJpegSize(file, header); break;
            case PictureFamily::Tiff: readTiffSize(file, header); break;
            case PictureFamily::Jpeg2000File: readJp2Size(file, header); break;
            case PictureFamily::Jpeg2000Stream: {
                ByteReader in(file, "JPEG 2000");
                readJ2kSize(in, header);
                break;
            }
            case PictureFamily::Pnm: readPnmSize(file, header); break;
            case PictureFamily::Unknown: break;
        }
    } catch (const PictureError&) {
        // A header cut short: the size stays unknown unless it was read already, and the
        // decoder reports the damage.
        header.truncated = true;
    }
    return header;
}

}  // namespace velmora
