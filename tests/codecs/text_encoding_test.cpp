// Text encodings: UTF-8 well-formedness and the conversions to and from GB2312 and Shift_JIS.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/text_encoding.h"

using namespace velmora;

TEST(Utf8Validity, FindsTheFirstBrokenByte) {
    for (const std::string& text : std::vector<std::string>{"", "Grüße", "二维码", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
                                                             "\xED\x9F\xBF", std::string("nul\0in", 6)})
        EXPECT_TRUE(isValidUtf8(text)) << text;
    struct Case {
        std::string bytes;
        size_t offset;
    };
    for (const Case& c : {Case{"\x80", 0},              // stray continuation byte
                          Case{"ab\xE4\xB8", 2},        // cut off by the end
                          Case{"ab\xE4\xB8z", 2},       // cut off by ASCII
                          Case{"\xC0\xAF", 0},          // overlong '/'
                          Case{"x\xE0\x80\xAF", 1},     // overlong three-byte form
                          Case{"ok\xED\xA0\x80", 2},    // surrogate
                          Case{"\xF4\x90\x80\x80", 0},  // beyond U+10FFFF
                          Case{"中\xFF", 3}, Case{"\xD6\xD0\xCE\xC4", 0}}) {
        EXPECT_FALSE(isValidUtf8(c.bytes));
        EXPECT_EQ(firstInvalidUtf8(c.bytes), c.offset);
    }
}

TEST(LegacyCharsetConversion, HanziAndKanjiReachTheirCodePagesAndBack) {
    EXPECT_EQ(fromUtf8("中文 ok", "GB2312").text, "\xD6\xD0\xCE\xC4 ok");
    EXPECT_EQ(fromUtf8("漢字 ok", "SHIFT_JIS").text, "\x8A\xBF\x8E\x9A ok");
    for (const auto& [text, charset] : std::vector<std::pair<std::string, std::string>>{
             {"二维码存储中文，标点。", "GB2312"}, {"日本語のテキスト ｶﾀｶﾅ", "SHIFT_JIS"}}) {
        const TextConversion there = fromUtf8(text, charset);
        ASSERT_TRUE(there.ok) << there.error;
        const TextConversion back = toUtf8(there.text, charset);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.text, text);
    }
}

TEST(LegacyCharsetConversion, NamesTheFirstCharacterThatDoesNotConvert) {
    const TextConversion euro = fromUtf8("price 5€ or 6€", "GB2312");
    EXPECT_FALSE(euro.ok);
    EXPECT_TRUE(euro.text.empty());
    EXPECT_EQ(euro.error, "\"€\" (U+20AC, character 8) cannot be written in GB2312");
    EXPECT_NE(fromUtf8("日本한국", "SHIFT_JIS").error.find("\"한\" (U+D55C, character 3)"), std::string::npos);
    // A control character is named by its code point only, so the message stays printable.
    const TextConversion control = fromUtf8("a\xC2\x85z", "GB2312");
    EXPECT_NE(control.error.find("(U+0085, character 2)"), std::string::npos) << control.error;
    EXPECT_EQ(control.error.find("\xC2\x85"), std::string::npos);
    EXPECT_NE(fromUtf8("ok\xFF", "GB2312").error.find("not valid UTF-8 (byte 0xFF at offset 2)"), std::string::npos);
}

TEST(LegacyCharsetConversion, RejectsBytesOutsideTheCharset) {
    const TextConversion bad = toUtf8("ok\xD6\xD0\xFF\xFF", "GB2312");
    EXPECT_FALSE(bad.ok);
    EXPECT_TRUE(bad.text.empty());
    EXPECT_NE(bad.error.find("0xFF at offset 4"), std::string::npos) << bad.error;
    EXPECT_NE(toUtf8("ok\xD6", "GB2312").error.find("end inside"), std::string::npos);
    EXPECT_NE(fromUtf8("text", "NO-SUCH-CHARSET").error.find("NO-SUCH-CHARSET"), std::string::npos);
}
