// The data segment parser on bit streams that our encoder writes, and on streams it never
// writes (other modes, broken counts, values out of range).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codec/qr_encode.h"
#include "engine/codec/segment_parser.h"

using namespace velmora;

namespace {

using Bytes = std::vector<uint8_t>;

// Builds a bit stream most significant bit first.
class Stream {
public:
    Stream& put(uint32_t value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ % 8));
            ++bits_;
        }
        return *this;
    }
    int bits() const { return bits_; }
    const uint8_t* data() const { return bytes_.empty() ? &empty_ : bytes_.data(); }

private:
    Bytes bytes_;
    int bits_ = 0;
    uint8_t empty_ = 0;
};

struct Parsed {
    int result = 0;
    Bytes text;
    bool terminated = false;  // a zero byte follows the text
};

Parsed parse(const uint8_t* data, int bitCount, int version) {
    static std::array<uint8_t, kTextBufferBytes> buffer;
    buffer.fill(0xCC);
    int length = -1;
    Parsed parsed;
    parsed.result = ParseSegments(data, bitCount, version, buffer.data(), length);
    if (length < 0 || length >= kTextBufferBytes) return parsed;
    parsed.text.assign(buffer.begin(), buffer.begin() + length);
    parsed.terminated = buffer[length] == 0;
    return parsed;
}

Parsed parse(const Stream& stream, int version = 1, int bitCount = -1) {
    return parse(stream.data(), bitCount < 0 ? stream.bits() : bitCount, version);
}

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SegmentParser : public testing::Test {};

TEST_F(SegmentParser, ModeIndicatorsAreTheStandardOnes) {
    EXPECT_EQ(modeIndicatorOf(ModeNumeric), 1);
    EXPECT_EQ(modeIndicatorOf(ModeAlphanumeric), 2);
    EXPECT_EQ(modeIndicatorOf(ModeByte), 4);
    EXPECT_EQ(modeIndicatorOf(ModeKanji), 8);
    EXPECT_EQ(modeIndicatorOf(ModeHanzi), 13);
}

TEST_F(SegmentParser, StreamEndingExactlyAtTheLastBit) {
    Stream s;
    s.put(1, 4).put(3, 10).put(123, 10);
    const Parsed p = parse(s);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes("123"));
    EXPECT_TRUE(p.terminated);
}

TEST_F(SegmentParser, ThreeBitsLeftOverAreIgnored) {
    Stream s;
    s.put(2, 4).put(2, 9).put(10 * 45 + 11, 11).put(0b111, 3);
    const Parsed p = parse(s);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes("AB"));
}

// Parses with the meaning the stream gives its bytes.
Parsed parseMeaning(const Stream& stream, TextMeaning& meaning) {
    static std::array<uint8_t, kTextBufferBytes> buffer;
    int length = -1;
    Parsed parsed;
    parsed.result = ParseSegments(stream.data(), stream.bits(), 1, buffer.data(), length, &meaning);
    if (length >= 0) parsed.text.assign(buffer.begin(), buffer.begin() + length);
    return parsed;
}

TEST_F(SegmentParser, EciDesignatorsOfEveryLengthAreReadAndPassedOver) {
    // One byte 0xxxxxxx, two bytes 10xxxxxx xxxxxxxx, three bytes 110xxxxx and two more.
    const struct {
        uint32_t bits;
        int width;
        int designator;
    } designators[] = {{26, 8, 26}, {0x8000 | 899, 16, 899}, {0xC00000 | 811799, 24, 811799}, {0x7F, 8, 127}};
    for (const auto& d : designators) {
        Stream s;
        s.put(7, 4).put(d.bits, d.width).put(4, 4).put(2, 8).put('o', 8).put('k', 8).put(0, 4);
        TextMeaning meaning;
        const Parsed p = parseMeaning(s, meaning);
        EXPECT_EQ(p.result, 1) << d.designator;
        EXPECT_EQ(p.text, bytes("ok")) << d.designator;
        EXPECT_EQ(meaning.eci, d.designator);
        EXPECT_EQ(meaning.modes, 1u << ModeByte);
    }
}

TEST_F(SegmentParser, MeaningNamesTheModesAndTheFirstDesignator) {
    Stream s;
    s.put(1, 4).put(1, 10).put(7, 4).put(7, 4).put(20, 8).put(8, 4).put(1, 8).put(0x0AAA, 13).put(7, 4).put(3, 8)
        .put(4, 4).put(1, 8).put('x', 8);
    TextMeaning meaning;
    const Parsed p = parseMeaning(s, meaning);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(meaning.eci, 20);
    EXPECT_EQ(meaning.modes, (1u << ModeNumeric) | (1u << ModeKanji) | (1u << ModeByte));

    Stream plain;
    plain.put(2, 4).put(2, 9).put(461, 11);
    parseMeaning(plain, meaning);
    EXPECT_EQ(meaning.eci, -1);
    EXPECT_EQ(meaning.modes, 1u << ModeAlphanumeric);
}

TEST_F(SegmentParser, BrokenEciDesignatorsFail) {
    // 111xxxxx starts no designator; a designator cut short by the end of the stream.
    Stream reserved;
    reserved.put(4, 4).put(1, 8).put('a', 8).put(7, 4).put(0xE0, 8).put(0, 16);
    const Parsed p = parse(reserved);
    EXPECT_LT(p.result, 0);
    EXPECT_EQ(p.text, bytes("a"));
    Stream cut;
    cut.put(7, 4).put(0x80, 8).put(1, 4);
    EXPECT_LT(parse(cut).result, 0);
}

TEST_F(SegmentParser, EveryIndicatorOutsideTheFiveModesIsRefused) {
    for (const uint32_t indicator : {3u, 5u, 6u, 9u, 10u, 11u, 12u, 14u, 15u}) {
        Stream s;
        s.put(indicator, 4).put(0, 20);
        EXPECT_EQ(parse(s).result, -3) << indicator;
    }
}

TEST_F(SegmentParser, TerminatorFirstIsAnEmptyText) {
    Stream s;
    s.put(0, 4).put(0, 4).put(0xEC, 8).put(0x11, 8);
    const Parsed p = parse(s);
    EXPECT_EQ(p.result, -10);
    EXPECT_TRUE(p.text.empty());
    EXPECT_TRUE(p.terminated);
    EXPECT_EQ(parse(s, 1, 0).result, -10);
    EXPECT_EQ(parse(s, 1, 3).result, -10);
}

TEST_F(SegmentParser, LargestTextOfAnySymbol) {
    const std::string digits(kTextLimit, '9');
    int version = 40;
    int mask = 0;
    std::array<uint8_t, kMatrixStride * kMatrixStride> matrix{};
    int size = 0;
    ASSERT_EQ(processEncoder().EncodeSymbol(LevelL, version, 0, mask, matrix.data(), size, digits.data(), kTextLimit), 1);
    ASSERT_EQ(processEncoder().bitCount(), kMaxDataBits);
    const Parsed p = parse(processEncoder().dataBits(), kMaxDataBits, 40);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes(digits));
    EXPECT_TRUE(p.terminated);
}

TEST_F(SegmentParser, DoubleByteCharactersMapBackToTheirCodePages) {
    Stream hanzi;
    hanzi.put(13, 4).put(1, 4).put(3, 8).put(960, 13).put(0, 13).put(9 * 0x60 + 0x5D, 13);
    Parsed p = parse(hanzi);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, (Bytes{0xB0, 0xA1, 0xA1, 0xA1, 0xAA, 0xFE}));

    Stream kanji;
    kanji.put(8, 4).put(3, 8).put(0, 13).put(5952, 13).put(0x1E * 0xC0 + 0xBC, 13);
    p = parse(kanji);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, (Bytes{0x81, 0x40, 0xE0, 0x40, 0x9F, 0xFC}));
}

TEST_F(SegmentParser, OnlyTheGb2312HanziSubset) {
    Stream other;
    other.put(13, 4).put(2, 4).put(1, 8).put(960, 13);
    EXPECT_EQ(parse(other).result, -6);
    Stream cut;
    cut.put(13, 4).put(0, 2);
    EXPECT_EQ(parse(cut).result, -5);
}

TEST_F(SegmentParser, EmptyByteSegmentContinues) {
    Stream s;
    s.put(4, 4).put(0, 8).put(1, 4).put(1, 10).put(7, 4);
    const Parsed p = parse(s);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes("7"));
}

TEST_F(SegmentParser, CountOrDataCutShort) {
    Stream count;
    count.put(4, 4).put(0, 5);
    EXPECT_EQ(parse(count).result, -5);

    // The short segment writes nothing; what came before stays.
    Stream data;
    data.put(1, 4).put(2, 10).put(42, 7).put(4, 4).put(3, 8).put('a', 8).put('b', 8);
    const Parsed p = parse(data);
    EXPECT_EQ(p.result, -4);
    EXPECT_EQ(p.text, bytes("42"));
    EXPECT_TRUE(p.terminated);

    // A numeric tail group needs its full width.
    Stream tail;
    tail.put(1, 4).put(4, 10).put(123, 10).put(1, 3);
    EXPECT_EQ(parse(tail).result, -4);
}

TEST_F(SegmentParser, ValuesBeyondTheirRangeAreNotRefused) {
    Stream numeric;
    numeric.put(1, 4).put(6, 10).put(1000, 10).put(1023, 10);
    Parsed p = parse(numeric);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes(":00:23"));

    Stream tails;
    tails.put(1, 4).put(2, 10).put(127, 7).put(1, 4).put(1, 10).put(15, 4);
    p = parse(tails);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes("<7?"));

    Stream alphanumeric;
    alphanumeric.put(2, 4).put(3, 9).put(2047, 11).put(63, 6);
    p = parse(alphanumeric);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, bytes(":M:"));
}

TEST_F(SegmentParser, SegmentCountIsNotLimited) {
    // Valid symbols from other encoders carry hundreds of segments; all of them are read.
    Stream s;
    Bytes expected;
    for (int i = 0; i < 600; ++i) {
        s.put(4, 4).put(1, 8).put('a' + i % 26, 8);
        s.put(1, 4).put(1, 10).put(i % 10, 4);
        expected.push_back(static_cast<uint8_t>('a' + i % 26));
        expected.push_back(static_cast<uint8_t>('0' + i % 10));
    }
    const Parsed p = parse(s);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, expected);
}

}  // namespace
