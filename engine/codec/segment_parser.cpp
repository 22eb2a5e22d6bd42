#include "engine/codec/segment_parser.h"

#include <algorithm>
#include <array>

#include "engine/codec/qr_encode.h"

namespace velmora {
namespace {

// The densest stream is one numeric segment of a version 40-L symbol: four mode bits, a 14-bit
// count and ten bits for every three digits. Nothing else produces more bytes per bit, so no
// stream of at most kMaxDataBits bits writes past the buffer.
static_assert(3 * (kMaxDataBits - 4 - 14) / 10 == kTextLimit);
static_assert(kTextLimit + 1 <= kTextBufferBytes);

// The mode indicators the parser recognises, by mode.
constexpr std::array<uint8_t, ModeCount> ModeIndicators = {1, 2, 4, 8, 13};

// Alphanumeric values 0..44 as characters; 44 and every larger value give ':'.
constexpr char kAlphanumericCharacters[45] = {
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E',
    'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T',
    'U', 'V', 'W', 'X', 'Y', 'Z', ' ', '$', '%', '*', '+', '-', '.', '/', ':'};

// Reads a stream most significant bit first. A read past the end leaves the reader failed for
// good and yields 0.
class BitReader {
public:
    BitReader(const uint8_t* data, int bitCount) : data_(data), bitCount_(bitCount) {}

    // The next width bits as an unsigned value, or 0 once the stream cannot supply them.
    uint32_t read(int width) {
        if (!has(width)) {
            position_ = -1;
            return 0;
        }
        uint32_t value = 0;
        for (int i = 0; i < width; ++i, ++position_) {
            value = (value << 1) | ((data_[position_ >> 3] >> (7 - (position_ & 7))) & 1u);
        }
        return value;
    }

    // True while at least bits more bits remain and no read has failed.
    bool has(int bits) const { return position_ >= 0 && position_ + bits <= bitCount_; }
    bool failed() const { return position_ < 0; }

private:
    const uint8_t* data_;
    int bitCount_;
    int position_ = 0;
};

// Collects the decoded bytes.
struct TextWriter {
    uint8_t* text;
    int length = 0;
    void put(uint32_t byte) { text[length++] = static_cast<uint8_t>(byte); }
};

// Each segment reader starts after the mode indicator and returns 1 or a failure code.

int readNumeric(BitReader& bits, TextWriter& out, int countWidth) {
    const uint32_t count = bits.read(countWidth);
    if (bits.failed()) return kCountUnreadable;
    constexpr int kTailBits[3] = {0, 4, 7};
    if (!bits.has(static_cast<int>(10 * (count / 3)) + kTailBits[count % 3])) return kSegmentTooLong;
    // Groups above 999 (or 99, 9) are not rejected: they give whatever the divisions give.
    for (uint32_t i = 0; i < count / 3; ++i) {
        const uint32_t v = bits.read(10);
        out.put('0' + v / 100);
        out.put('0' + (v % 100) / 10);
        out.put('0' + v % 10);
    }
    if (count % 3 == 2) {
        const uint32_t v = bits.read(7);
        out.put('0' + v / 10);
        out.put('0' + v % 10);
    } else if (count % 3 == 1) {
        out.put('0' + bits.read(4));
    }
    return 1;
}

char alphanumericCharacter(uint32_t value) { return kAlphanumericCharacters[std::min<uint32_t>(value, 44)]; }

int readAlphanumeric(BitReader& bits, TextWriter& out, int countWidth) {
    const uint32_t count = bits.read(countWidth);
    if (bits.failed()) return kCountUnreadable;
    if (!bits.has(static_cast<int>(11 * (count / 2) + 6 * (count % 2)))) return kSegmentTooLong;
    for (uint32_t i = 0; i < count / 2; ++i) {
        const uint32_t v = bits.read(11);
        out.put(static_cast<uint8_t>(alphanumericCharacter(v / 45)));
        out.put(static_cast<uint8_t>(alphanumericCharacter(v % 45)));
    }
    if (count % 2 == 1) out.put(static_cast<uint8_t>(alphanumericCharacter(bits.read(6))));
    return 1;
}

int readBytes(BitReader& bits, TextWriter& out, int countWidth) {
    const uint32_t count = bits.read(countWidth);
    if (bits.failed()) return kCountUnreadable;
    if (!bits.has(static_cast<int>(8 * count))) return kSegmentTooLong;
    for (uint32_t i = 0; i < count; ++i) out.put(bits.read(8));
    return 1;
}

// Kanji characters come back as Shift JIS pairs: rows below 0x1F start at 0x8140, the rest at
// 0xC140 (the gap 0xA000..0xDFFF holds no double-byte characters).
int readKanji(BitReader& bits, TextWriter& out, int countWidth) {
    const uint32_t count = bits.read(countWidth);
    if (bits.failed()) return kCountUnreadable;
    if (!bits.has(static_cast<int>(13 * count))) return kSegmentTooLong;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t v = bits.read(13);
        uint32_t word = (v / 0xC0) * 256 + v % 0xC0;
        word += word < 0x1F00 ? 0x8140 : 0xC140;
        out.put(word >> 8);
        out.put(word & 0xFF);
    }
    return 1;
}

// Hanzi characters come back as GB 2312 pairs: rows 0..9 start at 0xA1A1, the rest at 0xA6A1
// (the rows 0xAA..0xAF between them are unassigned).
int readHanzi(BitReader& bits, TextWriter& out, int countWidth) {
    const uint32_t subset = bits.read(4);
    if (bits.failed()) return kCountUnreadable;
    if (subset != kHanziSubsetGb2312) return kUnknownHanziSubset;
    const uint32_t count = bits.read(countWidth);
    if (bits.failed()) return kCountUnreadable;
    if (!bits.has(static_cast<int>(13 * count))) return kSegmentTooLong;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t v = bits.read(13);
        const uint32_t high = v / 0x60;
        out.put(high <= 9 ? high + 0xA1 : high + 0xA6);
        out.put(v % 0x60 + 0xA1);
    }
    return 1;
}

// An ECI designator after its indicator: one byte 0xxxxxxx, two bytes 10xxxxxx xxxxxxxx or
// three bytes 110xxxxx xxxxxxxx xxxxxxxx (ISO/IEC 18004, 7.4.2). -1 when the stream ends inside
// it or its first byte starts with 111.
int readEciDesignator(BitReader& bits) {
    const uint32_t first = bits.read(8);
    if (bits.failed()) return -1;
    if ((first & 0x80) == 0) return static_cast<int>(first);
    if ((first & 0xC0) == 0x80) {
        const uint32_t second = bits.read(8);
        return bits.failed() ? -1 : static_cast<int>(((first & 0x3F) << 8) | second);
    }
    if ((first & 0xE0) == 0xC0) {
        const uint32_t rest = bits.read(16);
        return bits.failed() ? -1 : static_cast<int>(((first & 0x1F) << 16) | rest);
    }
    return -1;
}

// The mode whose indicator is given, or ModeCount when none has it.
SegmentMode modeOfIndicator(uint32_t indicator) {
    for (int mode = 0; mode < ModeCount; ++mode) {
        if (ModeIndicators[mode] == indicator) return static_cast<SegmentMode>(mode);
    }
    return ModeCount;
}

int readSegment(SegmentMode mode, BitReader& bits, TextWriter& out, int versionClass) {
    const int countWidth = CountWidths[mode][versionClass];
    switch (mode) {
    case ModeNumeric: return readNumeric(bits, out, countWidth);
    case ModeAlphanumeric: return readAlphanumeric(bits, out, countWidth);
    case ModeByte: return readBytes(bits, out, countWidth);
    case ModeKanji: return readKanji(bits, out, countWidth);
    case ModeHanzi: return readHanzi(bits, out, countWidth);
    default: return kUnknownMode;
    }
}

}  // namespace


uint8_t modeIndicatorOf(SegmentMode mode) { return ModeIndicators[mode]; }

int ParseSegments(const uint8_t* data, int dataBitCount, int version, uint8_t* text, int& textLength,
                  TextMeaning* meaning) {
    // Longer streams do not exist; refusing to look further keeps the text buffer bound above.
    BitReader bits(data, std::clamp(dataBitCount, 0, kMaxDataBits));
    TextWriter out{text};
    TextMeaning found;
    const int versionClassOfSymbol = versionClass(std::clamp(version, kMinVersion, kMaxVersion));
    int result = 1;
    while (true) {
        const uint32_t indicator = bits.read(4);
        // Fewer than four bits left, or the terminator: the stream is complete.
        if (bits.failed() || indicator == 0) break;
        // The number of segments is not limited: encoders that split text at every change of
        // character class (libqrencode, for mixed Kanji and Latin text) write hundreds of them,
        // and the text buffer is bounded by the data bits alone.
        if (out.length >= kTextLimit) {
            result = kTextFull;
            break;
        }
        const SegmentMode mode = modeOfIndicator(indicator);
        if (mode == ModeCount && indicator == kEciIndicator) {
            const int designator = readEciDesignator(bits);
            if (designator < 0) {
                result = kCountUnreadable;
                break;
            }
            if (found.eci < 0) found.eci = designator;
            continue;
        }
        if (mode == ModeCount) {
            result = kUnknownMode;
            break;
        }
        found.modes |= static_cast<uint8_t>(1u << mode);
        result = readSegment(mode, bits, out, versionClassOfSymbol);
        if (result < 0) break;
    }
    text[out.length] = 0;
    textLength = out.length;
    if (meaning != nullptr) *meaning = found;
    if (result >= 0 && out.length == 0) result = kEmptyText;
    return result;
}

}  // namespace velmora
