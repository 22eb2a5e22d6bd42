#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "encoder_test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

struct SegmentView {
    SegmentMode mode;
    int length;
    bool operator==(const SegmentView&) const = default;
};

std::vector<SegmentView> segments() {
    const CQR_Encode& encoder = processEncoder();
    std::vector<SegmentView> out;
    for (int i = 0; i < encoder.segmentCount(); ++i) out.push_back({encoder.segmentMode(i), encoder.segmentLength(i)});
    return out;
}

std::string digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + i % 10);
    return s;
}

}  // namespace

TEST(EncoderBuildsBitStream, NumericTextAtLevelM) {
    Encoded e = encode("12345", LevelM);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeNumeric, 5}}));
    EXPECT_EQ(streamBits(31), "0001" "0000000101" "0001111011" "0101101");
}

TEST(EncoderBuildsBitStream, PublishedExampleCodewordsAndMask) {
    Encoded e = encode("01234567", LevelM);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(e.mask, 2);
    EXPECT_EQ(streamBits(48), "0001" "0000001000" "0000001100" "0101011001" "1000011" "0000" "000");
    EXPECT_EQ(dataCodewords(16), (std::vector<uint8_t>{0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11,
                                                        0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11}));
    const CQR_Encode& encoder = processEncoder();
    const std::vector<uint8_t> final(encoder.codewords(), encoder.codewords() + encoder.codewordCount());
    EXPECT_EQ(final, (std::vector<uint8_t>{0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC,
                                           0x11, 0xEC, 0x11, 0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55}));
}

TEST(EncoderBuildsBitStream, PadsWithAlternatingPadCodewords) {
    ASSERT_EQ(encode("1", LevelL).result, 1);
    // 4 + 10 + 4 bits, 4 terminator bits, fill to 24 bits, then EC 11 ... up to 19 codewords.
    const auto codewords = dataCodewords(19);
    for (int i = 3; i < 19; ++i) EXPECT_EQ(codewords[i], (i % 2 == 1) ? 0xEC : 0x11) << i;
}

TEST(EncoderMergesSegments, ShortDigitRunJoinsAlphanumeric) {
    ASSERT_EQ(encode("AC-42", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeAlphanumeric, 5}}));
}

TEST(EncoderMergesSegments, LongDigitRunStaysNumeric) {
    ASSERT_EQ(encode("ABC0123456789012", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeAlphanumeric, 3}, {ModeNumeric, 13}}));
}

TEST(EncoderMergesSegments, NeighboursJoinIntoBytesWhenShorter) {
    ASSERT_EQ(encode("a1", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeByte, 2}}));
    ASSERT_EQ(encode("hello 1 world", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeByte, 13}}));
}

TEST(EncoderClassifiesDoubleByte, GbPairIsHanziWithValue960) {
    ASSERT_EQ(encode("\xB0\xA1", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeHanzi, 2}}));
    EXPECT_EQ(streamBits(29), "1101" "0001" "00000001" "0001111000000");
}

TEST(EncoderClassifiesDoubleByte, ShiftJisPairIsKanji) {
    // 0x935F ("点") is outside GB 2312's lead range 0xA1-0xFA and a Shift JIS pair.
    ASSERT_EQ(encode("\x93\x5F", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeKanji, 2}}));
    // 0x935F - 0x8140 = 0x121F: 0x12 * 0xC0 + 0x1F = 3487.
    EXPECT_EQ(streamBits(25), "1000" "00000001" "0110110011111");
}

TEST(EncoderClassifiesDoubleByte, LoneLeadByteIsAByte) {
    ASSERT_EQ(encode("\xB0", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeByte, 1}}));
    ASSERT_EQ(encode("AB\xB0", LevelM).result, 1);
    EXPECT_EQ(segments().back().mode, ModeByte);
}

TEST(EncoderClassifiesDoubleByte, MultiByteUtf8NeverFormsHanziOrKanji) {
    // "中文" in UTF-8 is E4 B8 AD E6 96 87: E4 B8 would pass the Hanzi test, E6 96 the Kanji test.
    ASSERT_EQ(encode("\xE4\xB8\xAD\xE6\x96\x87", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeByte, 6}}));
    // The same characters in GB 2312 do become Hanzi.
    ASSERT_EQ(encode("\xD6\xD0\xCE\xC4", LevelM).result, 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeHanzi, 4}}));
    // Invalid UTF-8 (a cut-off sequence) keeps the double-byte classes.
    ASSERT_EQ(encode("\xB0\xA1\xE4\xB8", LevelM).result, 1);
    EXPECT_EQ(segments().front().mode, ModeHanzi);
}

TEST(EncoderClassifiesDoubleByte, Utf8Validation) {
    auto check = [](const std::string& s) {
        return isMultiByteUtf8(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()));
    };
    EXPECT_TRUE(check("caf\xC3\xA9"));
    EXPECT_TRUE(check("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(check("plain ascii"));
    EXPECT_FALSE(check("\xC0\xAF"));          // overlong
    EXPECT_FALSE(check("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(check("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(check("\xE4\xB8"));          // cut off
}

TEST(EncoderChoosesVersion, TerminatorShortensAtCapacity) {
    // 34 digits at M fill version 1 exactly (14 + 110 + 4 = 128 bits): no terminator.
    Encoded e = encode(digits(34), LevelM);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(encode(digits(35), LevelM).version, 2);
    // 16 letters at Q take 101 of 104 bits: three terminator bits, no pad codeword.
    e = encode("ABCDEFGHIJKLMNOP", LevelQ);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 1);
    EXPECT_EQ(dataCodewords(13)[12] & 0x07, 0);
}

TEST(EncoderChoosesVersion, RequestedVersionAndAutoExtend) {
    const std::string text(110, 'x');  // needs version 7 at level M
    EXPECT_EQ(encode(text, LevelM).version, 7);
    int version = 5;
    int mask = -1;
    EXPECT_EQ(QR_Encode_Matrix(LevelM, &version, 0, &mask, text.data(), 110, nullptr), 0);
    EXPECT_EQ(version, 5);
    EXPECT_EQ(mask, -1);
    EXPECT_EQ(QR_Encode_Matrix(LevelM, &version, 1, &mask, text.data(), 110, nullptr), 1);
    EXPECT_EQ(version, 7);
    EXPECT_GE(mask, 0);

    Encoded e = encode("short", LevelH, 30);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 30);
    EXPECT_EQ(e.size, 137);
}

TEST(EncoderChoosesVersion, ClassChangesCountWidths) {
    // 300 bytes do not fit versions 1-9; in versions 10-26 the byte count field is 16 bits.
    ASSERT_EQ(encode(std::string(300, 'x'), LevelL).result, 1);
    EXPECT_GE(processEncoder().bitCount(), 4 + 16 + 8 * 300);
    EXPECT_EQ(streamBits(20), "0100" "0000000100101100");
}

TEST(EncoderChoosesVersion, LargestTexts) {
    Encoded e = encode(digits(7089), LevelL);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 40);
    EXPECT_EQ(encode(digits(7090), LevelL).result, 0);
    EXPECT_EQ(encode(std::string(2953, 'x'), LevelL).version, 40);
    EXPECT_EQ(encode(std::string(2954, 'x'), LevelL).result, 0);
    EXPECT_EQ(encode(std::string(1852, 'x'), LevelH).result, 0);
}

TEST(EncoderChoosesVersion, LongAlternationDoesNotOverflowTheSegmentList) {
    std::string text;
    while (text.size() < 7089) text += "A1";
    text.resize(7089);
    EXPECT_EQ(encode(text, LevelL).result, 0);
    text.resize(4000);
    Encoded e = encode(text, LevelL);
    ASSERT_EQ(e.result, 1);
    EXPECT_EQ(e.version, 39);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeAlphanumeric, 4000}}));
}

TEST(EncoderRefusesBadInput, NothingIsWrittenBack) {
    ASSERT_EQ(encode("first", LevelL).result, 1);
    const C_QrEncodedData before = g_QrEncodedData;
    int version = 3;
    int mask = 4;
    EXPECT_EQ(QR_Encode_Matrix(LevelL, &version, 0, &mask, "", 0, nullptr), 0);
    EXPECT_EQ(QR_Encode_Matrix(4, &version, 0, &mask, "x", 1, nullptr), 0);
    EXPECT_EQ(QR_Encode_Matrix(-1, &version, 0, &mask, "x", 1, nullptr), 0);
    int badVersion = 41;
    EXPECT_EQ(QR_Encode_Matrix(LevelL, &badVersion, 0, &mask, "x", 1, nullptr), 0);
    int badMask = 8;
    EXPECT_EQ(QR_Encode_Matrix(LevelL, &version, 0, &badMask, "x", 1, nullptr), 0);
    EXPECT_EQ(QR_Encode_Matrix(LevelL, nullptr, 0, &mask, "x", 1, nullptr), 0);
    EXPECT_EQ(QR_Encode_Matrix(LevelL, &version, 0, nullptr, "x", 1, nullptr), 0);
    EXPECT_EQ(QR_Encode_Matrix(LevelL, &version, 0, &mask, nullptr, 1, nullptr), 0);
    EXPECT_EQ(version, 3);
    EXPECT_EQ(mask, 4);
    EXPECT_EQ(std::memcmp(&before, &g_QrEncodedData, sizeof before), 0);
}

TEST(EncoderRefusesBadInput, ZeroLengthMeansZeroTerminated) {
    int version = 0;
    int mask = -1;
    const char text[] = "ABC\0DEF";
    ASSERT_EQ(QR_Encode_Matrix(LevelM, &version, 0, &mask, text, 0, nullptr), 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeAlphanumeric, 3}}));
    ASSERT_EQ(QR_Encode_Matrix(LevelM, &version, 0, &mask, text, 7, nullptr), 1);
    EXPECT_EQ(segments(), (std::vector<SegmentView>{{ModeByte, 7}}));
}
