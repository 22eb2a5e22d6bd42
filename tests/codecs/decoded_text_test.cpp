// How decoded bytes are shown: what the symbol says first, then what the bytes fit, then the
// user's language for bytes that fit both double-byte charsets.
#include <gtest/gtest.h>

#include <string>

#include "codecs/decoded_text.h"
#include "codecs/text_encoding.h"

using namespace velmora;

namespace {

std::string in(const std::string& utf8, const char* charset) {
    const TextConversion converted = fromUtf8(utf8, charset);
    EXPECT_TRUE(converted.ok) << converted.error;
    return converted.text;
}

ShownText shown(const std::string& bytes, int modes = 0, int eci = -1, LocaleLanguage language = LocaleLanguage::Other) {
    return showDecodedText(bytes, modes, eci, language);
}

}  // namespace

TEST(DecodedTextFollowsTheSymbol, Utf8StaysAsItIs) {
    const std::string text = "二维码 ✓ \xF0\x9F\x98\x80 line\r\nbreak";
    // Kanji segments of UTF-8 bytes, as qrencode -k writes typed UTF-8 text.
    EXPECT_EQ(shown(text, kKanjiSegments).text, text);
    EXPECT_EQ(shown(text, kHanziSegments, 26).text, text);
    EXPECT_EQ(shown(text).charset, "UTF-8");
}

TEST(DecodedTextFollowsTheSymbol, EciDesignatorNamesTheCharset) {
    EXPECT_EQ(shown(in("Grüße", "ISO-8859-1"), 0, 3).text, "Grüße");
    EXPECT_EQ(shown(in("Grüße", "ISO-8859-1"), 0, 3).charset, "ISO-8859-1");
    EXPECT_EQ(shown(in("Привет", "CP1251"), 0, 22).text, "Привет");
    EXPECT_EQ(shown(in("漢字とカナ", "SHIFT_JIS"), 0, 20).text, "漢字とカナ");
    // These ISO-8859-2 bytes are valid UTF-8 as well (one Chinese character): the designator wins.
    EXPECT_EQ(shown(in("čšž", "ISO-8859-2"), 0, 4).text, "čšž");
    EXPECT_EQ(shown(in("čšž", "ISO-8859-2")).text, "蹾");
    // ECI 20 wins over a guess that would read these bytes as GB 2312.
    const std::string bothFit = in("中文", "GB2312");
    EXPECT_EQ(shown(bothFit, 0, 20, LocaleLanguage::Chinese).charset, "Shift_JIS");
    // A designator for binary data or an unknown number leaves the bytes to the next rules.
    EXPECT_EQ(shown(in("漢字", "SHIFT_JIS"), 0, 899).text, "漢字");
    EXPECT_EQ(eciCharset(899), nullptr);
    EXPECT_EQ(eciCharset(14), nullptr);
}

TEST(DecodedTextFollowsTheSymbol, KanjiAndHanziSegmentsNameTheirCodePages) {
    EXPECT_EQ(shown(in("漢字モードのテスト", "SHIFT_JIS"), kKanjiSegments).text, "漢字モードのテスト");
    // These GB 2312 bytes are half-width katakana in Shift JIS; Hanzi segments settle it even
    // for a Japanese user.
    EXPECT_EQ(shown(in("中文", "GB2312"), kHanziSegments, -1, LocaleLanguage::Japanese).text, "中文");
    EXPECT_EQ(shown(in("二维码测试", "GB2312"), kHanziSegments).charset, "GB18030");
}

TEST(DecodedTextGuessesFromTheBytes, EachDoubleByteCharsetWhereOnlyItFits) {
    EXPECT_EQ(shown(in("二维码测试", "GB2312")).text, "二维码测试");
    EXPECT_EQ(shown(in("漢字モードのテスト", "SHIFT_JIS")).text, "漢字モードのテスト");
    // Shift JIS keeps ASCII as ASCII: a backslash is no yen sign.
    EXPECT_EQ(shown(in("C:\\テスト", "SHIFT_JIS")).text, "C:\\テスト");
}

TEST(DecodedTextGuessesFromTheBytes, TheLanguageBreaksATie) {
    const std::string bytes = in("中文", "GB2312");  // D6 D0 CE C4: four half-width katakana too
    EXPECT_EQ(shown(bytes, 0, -1, LocaleLanguage::Chinese).text, "中文");
    EXPECT_EQ(shown(bytes, 0, -1, LocaleLanguage::Japanese).text, "ﾖﾐﾎﾄ");
    // With neither language, a run of half-width katakana is taken for Chinese.
    EXPECT_EQ(shown(bytes).text, "中文");
    const std::string kana = in("ｱｲｳ漢字", "SHIFT_JIS");
    EXPECT_EQ(shown(kana).charset, "Shift_JIS");
}

TEST(DecodedTextGuessesFromTheBytes, LatinOneTakesWhatFitsNeither) {
    EXPECT_EQ(shown(in("café", "ISO-8859-1")).text, "café");
    EXPECT_EQ(shown(in("Grüße", "ISO-8859-1")).text, "Grüße");
    EXPECT_EQ(shown("\x80\xFF").charset, "ISO-8859-1");
    // A zero byte is a character like any other.
    EXPECT_EQ(shown(std::string("a\0\xE9", 3)).text, std::string("a\0é", 4));
}

TEST(DecodedTextGuessesFromTheBytes, LocaleLanguageFromTheEnvironment) {
    const char* saved = std::getenv("LC_ALL");
    const std::string keep = saved != nullptr ? saved : "";
    setenv("LC_ALL", "zh_CN.UTF-8", 1);
    EXPECT_EQ(localeLanguage(), LocaleLanguage::Chinese);
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(localeLanguage(), LocaleLanguage::Japanese);
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(localeLanguage(), LocaleLanguage::Other);
    if (saved != nullptr) {
        setenv("LC_ALL", keep.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}
