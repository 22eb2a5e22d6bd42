// Text encodings: UTF-8 well-formedness and the conversions to and from GB2312 and Shift_JIS
// that let the encoder use its Hanzi and Kanji modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/text_encoding.h"

using namespace velmora;

TEST(Utf8Validity, AcceptsWellFormedText) {
    for (const std::string& text : std::vector<std::string>{"", "plain ASCII", "Grüße", "二维码", "日本語", "emoji \xF0\x9F\x98\x80",
                                   "\xF4\x8F\xBF\xBF" /* U+10FFFF */, "\xED\x9F\xBF" /* U+D7FF */,
                                   std::string("nul\0inside", 10)}) {
        EXPECT_TRUE(isValidUtf8(text)) << text;
        EXPECT_EQ(firstInvalidUtf8(text), std::string::npos);
    }
}

TEST(Utf8Validity, FindsTheFirstBrokenByte) {
    struct Case {
        std::string bytes;
        size_t offset;
    };
    for (const Case& c : {
             Case{"\x80", 0},                      // stray continuation byte
             Case{"ab\xE4\xB8", 2},                // sequence cut off by the end
             Case{"ab\xE4\xB8z", 2},               // sequence cut off by ASCII
             Case{"\xC0\xAF", 0},                  // overlong '/'
             Case{"x\xE0\x80\xAF", 1},             // overlong three-byte form
             Case{"\xF0\x8F\xBF\xBF", 0},          // overlong four-byte form
             Case{"ok\xED\xA0\x80", 2},            // surrogate U+D800
             Case{"\xF4\x90\x80\x80", 0},          // beyond U+10FFFF
             Case{"\xF5\x80\x80\x80", 0},          // lead byte that never occurs
             Case{"中\xFF", 3},                    // valid text, then a bad byte
             Case{"\xD6\xD0\xCE\xC4", 0},          // GB2312 bytes are not UTF-8
         }) {
        EXPECT_FALSE(isValidUtf8(c.bytes));
        EXPECT_EQ(firstInvalidUtf8(c.bytes), c.offset) << c.offset;
    }
}

TEST(LegacyCharsetConversion, HanziAndKanjiReachTheirCodePages) {
    const TextConversion gb = fromUtf8("中文 ok", "GB2312");
    ASSERT_TRUE(gb.ok) << gb.error;
    EXPECT_EQ(gb.text, "\xD6\xD0\xCE\xC4 ok");
    const TextConversion sjis = fromUtf8("漢字 ok", "SHIFT_JIS");
    ASSERT_TRUE(sjis.ok) << sjis.error;
    EXPECT_EQ(sjis.text, "\x8A\xBF\x8E\x9A ok");

    // And back, for every text the other direction produced.
    for (const std::string text : {"二维码可以存储中文汉字信息", "标点，符号。"}) {
        const TextConversion there = fromUtf8(text, "GB2312");
        ASSERT_TRUE(there.ok) << there.error;
        const TextConversion back = toUtf8(there.text, "GB2312");
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.text, text);
    }
    for (const std::string text : {"日本語の文字を漢字モードで符号化します", "ｶﾀｶﾅ and ASCII"}) {
        const TextConversion there = fromUtf8(text, "SHIFT_JIS");
        ASSERT_TRUE(there.ok) << there.error;
        const TextConversion back = toUtf8(there.text, "SHIFT_JIS");
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.text, text);
    }
}

TEST(LegacyCharsetConversion, NamesTheFirstCharacterThatDoesNotConvert) {
    const TextConversion euro = fromUtf8("price 5€ or 6€", "GB2312");
    EXPECT_FALSE(euro.ok);
    EXPECT_TRUE(euro.text.empty()) << "no partial text";
    EXPECT_EQ(euro.error, "\"€\" (U+20AC, character 8) cannot be written in GB2312");

    const TextConversion hangul = fromUtf8("日本한국", "SHIFT_JIS");
    EXPECT_FALSE(hangul.ok);
    EXPECT_NE(hangul.error.find("\"한\" (U+D55C, character 3)"), std::string::npos) << hangul.error;

    // A control character is named by its code point only, so the message stays printable.
    const TextConversion control = fromUtf8("a\xC2\x85z", "GB2312");
    EXPECT_FALSE(control.ok);
    EXPECT_NE(control.error.find("U+0085, character 2"), std::string::npos) << control.error;
    EXPECT_EQ(control.error.find("\xC2\x85"), std::string::npos);

    const TextConversion broken = fromUtf8("ok\xFF", "GB2312");
    EXPECT_FALSE(broken.ok);
    EXPECT_NE(broken.error.find("not valid UTF-8"), std::string::npos);
    EXPECT_NE(broken.error.find("0xFF at offset 2"), std::string::npos) << broken.error;
}

TEST(LegacyCharsetConversion, RejectsBytesOutsideTheCharset) {
    const TextConversion bad = toUtf8("ok\xD6\xD0\xFF\xFF", "GB2312");
    EXPECT_FALSE(bad.ok);
    EXPECT_TRUE(bad.text.empty());
    EXPECT_NE(bad.error.find("0xFF at offset 4"), std::string::npos) << bad.error;

    const TextConversion cut = toUtf8("ok\xD6", "GB2312");
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.error.find("end inside"), std::string::npos) << cut.error;

    const TextConversion unknown = fromUtf8("text", "NO-SUCH-CHARSET");
    EXPECT_FALSE(unknown.ok);
    EXPECT_NE(unknown.error.find("NO-SUCH-CHARSET"), std::string::npos);
}
