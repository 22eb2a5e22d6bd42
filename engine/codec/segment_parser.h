// The data segments of a corrected symbol turned back into bytes: numeric, alphanumeric, 8-bit
// byte and Kanji segments of ISO/IEC 18004 and the Hanzi segments (GB 2312 subset) of
// GB/T 18284.
#pragma once

#include <cstdint>

#include "engine/codec/version_table.h"

namespace velmora {

// Room for the longest text any symbol holds (7089 digits), its zero byte and two spare bytes.
inline constexpr int kTextBufferBytes = 7092;
// A segment may not start once this many bytes have been written.
inline constexpr int kTextLimit = 7089;
// Hanzi subset indicator of GB 2312.
inline constexpr int kHanziSubsetGb2312 = 1;

// Result codes of the parse besides success (1).
inline constexpr int kUnknownMode = -3;
inline constexpr int kSegmentTooLong = -4;
inline constexpr int kCountUnreadable = -5;
inline constexpr int kUnknownHanziSubset = -6;
inline constexpr int kEmptyText = -10;
inline constexpr int kTextFull = -14;  // a segment after kTextLimit bytes

// Mode indicator of an Extended Channel Interpretation designator, which names the character
// set of the segments after it.
inline constexpr uint32_t kEciIndicator = 7;

// What a symbol's segments say about the meaning of its bytes.
struct TextMeaning {
    uint8_t modes = 0;  // bit (1 << mode) for every segment mode used
    int eci = -1;       // the first ECI designator (0..999999), -1 when there is none
};

// The indicator the parser takes for a mode.
uint8_t modeIndicatorOf(SegmentMode mode);

// Parses the first dataBitCount bits of data (most significant bit of each byte first) as the
// segments of a symbol of the given version (1..40). The decoded bytes and a zero byte land in
// text, which must hold kTextBufferBytes; textLength receives their count, also after a failure
// (the bytes decoded until then). Returns 1 when the stream ends with a terminator or with fewer
// than four bits left, else one of the negative codes above; a stream that decodes to no byte
// gives kEmptyText. No stream can write past kTextBufferBytes. ECI designators (one, two or
// three bytes) are read and the segments after them go on as usual. When meaning is given it
// receives the modes and the ECI designator of the stream as far as it was read.
int ParseSegments(const uint8_t* data, int dataBitCount, int version, uint8_t* text, int& textLength,
                  TextMeaning* meaning = nullptr);

}  // namespace velmora
