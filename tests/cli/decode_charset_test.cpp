// velmora-cli decode shows texts as the symbols that peers write mean them: Kanji segments from
// qrencode, ECI designators from segno, byte-mode texts in a legacy code page; the raw bytes stay
// available, and -0 ends each text with a NUL byte.
#include <cstdlib>

#include "codecs/text_encoding.h"
#include "tests/cli/cli_run.h"

using namespace velmora::test;

namespace {

const std::vector<std::vector<std::string>> kLocales = {{"LC_ALL=C.UTF-8"}, {"LC_ALL=en_US.UTF-8"}};

std::string inCharset(const std::string& utf8, const char* charset) {
    const velmora::TextConversion converted = velmora::fromUtf8(utf8, charset);
    EXPECT_TRUE(converted.ok) << converted.error;
    return converted.text;
}

std::string hex(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", c);
        out += pair;
    }
    return out;
}

bool toolAvailable(const std::string& check) { return std::system((check + " >/dev/null 2>&1").c_str()) == 0; }

class DecodeCharsets : public CliTest {
protected:
    // A picture by qrencode of the bytes, read from a file so that any byte reaches it.
    std::string qrencode(const std::string& name, const std::string& bytes, const std::string& options) {
        if (!toolAvailable("command -v qrencode")) return {};
        const std::string input = path(name + ".txt").string(), file = path(name + ".png").string();
        writeFile(input, bytes);
        EXPECT_EQ(std::system(("qrencode " + options + " -s 5 -o '" + file + "' < '" + input + "'").c_str()), 0);
        return file;
    }

    // A picture by segno of the text in byte mode with the charset's ECI designator.
    std::string segno(const std::string& name, const std::string& text, const std::string& charset) {
        if (!toolAvailable("/usr/bin/python3 -c 'import segno'")) return {};
        const std::string input = path(name + ".txt").string(), file = path(name + ".png").string();
        writeFile(input, text);
        const std::string script = "import segno,sys; t=open(sys.argv[1],encoding='utf-8').read(); "
                                   "segno.make(t, eci=True, encoding=sys.argv[2], mode='byte', error='m', "
                                   "micro=False).save(sys.argv[3], scale=5)";
        EXPECT_EQ(std::system(("/usr/bin/python3 -c \"" + script + "\" '" + input + "' " + charset + " '" + file + "'")
                                  .c_str()),
                  0);
        return file;
    }

    // The text decode --raw prints in each locale, the charset --json names, and the raw bytes
    // as --no-utf8 --json has them.
    void expectShown(const std::string& file, const std::string& text, const std::string& bytes,
                     const std::string& charset) {
        if (file.empty()) GTEST_SKIP() << "the peer that writes this symbol is not installed";
        for (const auto& locale : kLocales) {
            const CliRun raw = run({"decode", "--raw", file}, {}, locale);
            EXPECT_EQ(raw.exitCode, 0) << raw.err;
            EXPECT_EQ(raw.out, text + "\n") << locale[0];
            const CliRun report = run({"decode", file}, {}, locale);
            EXPECT_EQ(linesOf(report.out).at(7), text) << locale[0];
        }
        const CliRun json = run({"decode", "--json", "--no-utf8", file});
        if (!velmora::isValidUtf8(bytes)) {
            EXPECT_NE(json.out.find("\"sParseStr\":\"" + hex(bytes) + "\",\"raw\":true"), std::string::npos) << json.out;
        }
        EXPECT_NE(json.out.find("\"charset\":\"" + charset + "\""), std::string::npos) << json.out;
    }
};

}  // namespace

TEST_F(DecodeCharsets, KanjiSegmentsOfQrencodeAreShiftJis) {
    const std::string bytes = inCharset("漢字モードのテスト", "SHIFT_JIS");
    expectShown(qrencode("kanji", bytes, "-k"), "漢字モードのテスト", bytes, "Shift_JIS");
}

TEST_F(DecodeCharsets, HanziSegmentsOfOurEncoderAreGb2312) {
    const std::string file = path("hanzi.png").string();
    ASSERT_EQ(run({"encode", "--charset", "gb2312", "-o", file, "二维码测试"}).exitCode, 0);
    expectShown(file, "二维码测试", inCharset("二维码测试", "GB2312"), "GB18030");
}

TEST_F(DecodeCharsets, ByteModeLegacyTextsWithoutEci) {
    const std::string japanese = inCharset("テスト漢字", "SHIFT_JIS");
    expectShown(qrencode("sjis8", japanese, "-8"), "テスト漢字", japanese, "Shift_JIS");
    const std::string chinese = inCharset("二维码测试", "GB2312");
    expectShown(qrencode("gb8", chinese, "-8"), "二维码测试", chinese, "GB18030");
    const std::string latin = inCharset("Grüße", "ISO-8859-1");
    expectShown(qrencode("latin8", latin, "-8"), "Grüße", latin, "ISO-8859-1");
    expectShown(qrencode("utf8", "二维码 ✓", "-8"), "二维码 ✓", "二维码 ✓", "UTF-8");
}

TEST_F(DecodeCharsets, EciDesignatorsOfSegno) {
    expectShown(segno("eci26", "二维码 UTF-8 ✓", "utf-8"), "二维码 UTF-8 ✓", "二维码 UTF-8 ✓", "UTF-8");
    expectShown(segno("eci20", "漢字とカナ", "shift_jis"), "漢字とカナ", inCharset("漢字とカナ", "SHIFT_JIS"), "Shift_JIS");
    // ISO-8859-2 bytes that are valid UTF-8 too: only the designator tells them apart.
    expectShown(segno("eci4", "čšž", "iso-8859-2"), "čšž", inCharset("čšž", "ISO-8859-2"), "ISO-8859-2");
    const CliRun json = run({"decode", "--json", path("eci4.png").string()});
    EXPECT_NE(json.out.find("\"nEci\":4,\"charset\":\"ISO-8859-2\",\"text\":\"čšž\""), std::string::npos) << json.out;
}

TEST_F(DecodeCharsets, NulEndsEachTextUnderMinusZero) {
    const std::string lines = path("lines.png").string(), zero = path("zero.png").string();
    ASSERT_EQ(run({"encode", "-o", lines, "-"}, "first\r\nsecond\r\n\r\n").exitCode, 0);
    ASSERT_EQ(run({"encode", "-o", zero, "-"}, std::string("x\0y", 3)).exitCode, 0);
    const CliRun result = run({"decode", "-0", lines, zero});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, std::string("first\r\nsecond\r\n\0x\0y\0", 20));
    EXPECT_EQ(run({"decode", "--raw", "--null", zero}).out, std::string("x\0y\0", 4));
    EXPECT_EQ(run({"decode", "--json", "-0", zero}).exitCode, 2);
}
