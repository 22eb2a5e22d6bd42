// velmora-cli encode end to end: its picture files hold exactly our encoder's symbol and real
// readers get the text back from them.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <regex>
#include <string>
#include <vector>

#include "cli_run.h"
#include "peer_readers.h"

using namespace velmora::test;

namespace {

const std::string kChinese = "二维码可以存储中文汉字信息";
const std::string kJapanese = "日本語の文字を漢字モードで符号化します";

// The report of a run that must have succeeded with a file and nothing on standard output.
ReportedSymbol succeeded(const CliRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    return reportedSymbol(run.err);
}

cv::Mat grey(const std::filesystem::path& path) { return cv::imread(path.string(), cv::IMREAD_GRAYSCALE); }

}  // namespace

class EncodeWritesPictures : public CliTest {};

TEST_F(EncodeWritesPictures, PngAndBmpHoldTheSymbolAndReadBack) {
    for (const std::string text : {"Hello, world", "https://example.org/velmora?id=12345", "0123456789012345678"}) {
        for (const std::string name : {"symbol.png", "symbol.bmp"}) {
            const ReportedSymbol reported = succeeded(run({"encode", "-o", path(name), text}));
            EXPECT_EQ(reported.level, 3) << "level H by default";
            const cv::Mat picture = grey(path(name));
            EXPECT_EQ(pictureMismatches(picture, expectedSymbol(text, reported), 4), 0) << name << " of " << text;
            EXPECT_EQ(zbarTexts(picture), std::vector<std::string>{text}) << name;
            EXPECT_EQ(entries(), std::vector<std::string>{name}) << "nothing else is left behind";
            std::filesystem::remove(path(name));
        }
    }
}

TEST_F(EncodeWritesPictures, ParametersReachTheSymbol) {
    const std::string text(120, 'a');
    const ReportedSymbol fixed = succeeded(
        run({"encode", "--level", "m", "--version=7", "--mask", "3", "--size", "2", "-o", path("a.PNG"), text}));
    EXPECT_EQ(fixed.version, 7);
    EXPECT_EQ(fixed.mask, 3);
    EXPECT_EQ(fixed.level, 1);
    EXPECT_EQ(pictureMismatches(grey(path("a.PNG")), expectedSymbol(text, fixed), 2), 0);

    // A fixed version too small grows with --auto-extend to the smallest that fits.
    const ReportedSymbol smallest = succeeded(run({"encode", "-o", path("b.bmp"), text}));
    const ReportedSymbol grown = succeeded(run({"encode", "--version", "2", "--auto-extend", "-o", path("c.Bmp"), text}));
    EXPECT_GT(grown.version, 2);
    EXPECT_EQ(grown.version, smallest.version);
    EXPECT_EQ(zbarTexts(grey(path("c.Bmp"))), std::vector<std::string>{text});
}

TEST_F(EncodeWritesPictures, SvgHoldsOnePathPerDarkRun) {
    const std::string text = "svg runs 1234567890";
    const ReportedSymbol reported = succeeded(run({"encode", "--size", "3", "-o", path("s.SVG"), text}));
    const ExpectedSymbol expected = expectedSymbol(text, reported);
    const std::string svg = readFile(path("s.SVG"));
    const std::string side = std::to_string((expected.size + 8) * 3);
    EXPECT_NE(svg.find("<rect x=\"0\" y=\"0\" width=\"" + side + "\" height=\"" + side + "\" fill=\"#ffffff\"/>"),
              std::string::npos);

    // Paint the paths back into modules: each covers whole modules of one row.
    std::vector<uint8_t> light(expected.size * expected.size, 1);
    const std::regex pathPattern(R"re(<path d="M(\d+) (\d+)h(\d+)v3h-\3z"/>)re");
    int paths = 0;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), pathPattern); it != std::sregex_iterator(); ++it, ++paths) {
        const int x = std::stoi((*it)[1]), y = std::stoi((*it)[2]), width = std::stoi((*it)[3]);
        ASSERT_EQ(x % 3 + y % 3 + width % 3, 0);
        for (int k = 0; k < width / 3; ++k) light.at((y / 3 - 4) * expected.size + x / 3 - 4 + k) = 0;
    }
    int darkRuns = 0;
    for (int i = 0; i < expected.size * expected.size; ++i)
        darkRuns += !expected.light[i] && (i % expected.size == 0 || expected.light[i - 1]);
    EXPECT_EQ(paths, darkRuns);
    EXPECT_EQ(std::count(svg.begin(), svg.end(), '<'), paths + 6) << "xml, svg, rect, g, /g, /svg and the paths";
    EXPECT_EQ(light, expected.light);
}

class EncodeStoresLegacyCharsets : public CliTest {};

TEST_F(EncodeStoresLegacyCharsets, HanziAndKanjiAreCompactAndReadBack) {
    for (const auto& [text, charset] :
         std::vector<std::pair<std::string, std::string>>{{kChinese, "gb2312"}, {kJapanese, "shift_jis"}}) {
        const ReportedSymbol utf8 = succeeded(run({"encode", "-o", path("utf8.png"), text}));
        const ReportedSymbol legacy = succeeded(run({"encode", "--charset", charset, "-o", path("legacy.png"), text}));
        EXPECT_LT(legacy.version, utf8.version) << charset << ": double-byte modes need fewer bits";
        EXPECT_EQ(zxingRead(grey(path("legacy.png"))).text(), text) << charset;
        EXPECT_EQ(zxingRead(grey(path("utf8.png"))).text(), text);
    }
    // The same from standard input.
    succeeded(run({"encode", "--charset", "GB2312", "-o", path("in.bmp"), "-"}, kChinese + "\n"));
    EXPECT_EQ(zxingRead(grey(path("in.bmp"))).text(), kChinese);
}

TEST_F(EncodeStoresLegacyCharsets, ShiftJisMisfiledAsHanziIsRefused) {
    // Two half-width katakana look like one GB2312 pair to the encoder; a run of twelve is
    // long enough to stay in Hanzi mode instead of joining the byte segment before it.
    const CliRun refused = run({"encode", "--charset", "shift_jis", "-o", path("k.png"), "Test ﾃｽﾄﾃｽﾄﾃｽﾄﾃｽﾄ"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(linesOf(refused.err).size(), 1u) << refused.err;
    EXPECT_NE(refused.err.find("character 6 (\"ﾃ\")"), std::string::npos) << refused.err;
    EXPECT_TRUE(entries().empty());

    // Three alone cost less as bytes: a sound symbol, written with a warning about byte mode.
    const CliRun bytes = run({"encode", "--charset", "shift_jis", "-o", path("k.png"), "ﾃｽﾄ"});
    EXPECT_EQ(bytes.exitCode, 0) << bytes.err;
    EXPECT_NE(bytes.err.find("warning"), std::string::npos);
    EXPECT_EQ(zxingRead(grey(path("k.png"))).text(), "ﾃｽﾄ");
    EXPECT_EQ(run({"encode", "--charset", "gb2312", "-o", path("c.png"), kChinese}).err.find("warning"),
              std::string::npos);
}

class EncodeReadsStandardInput : public CliTest {};

TEST_F(EncodeReadsStandardInput, DropsOneFinalLineBreak) {
    for (const auto& [input, stored] : std::vector<std::pair<std::string, std::string>>{
             {"piped text\n", "piped text"}, {"two\n\n", "two\n"}, {"crlf\r\n", "crlf"}, {"a\nb", "a\nb"}}) {
        const ReportedSymbol reported = succeeded(run({"encode", "-o", path("in.png"), "-"}, input));
        const cv::Mat picture = grey(path("in.png"));
        EXPECT_EQ(pictureMismatches(picture, expectedSymbol(stored, reported), 4), 0) << input;
        EXPECT_EQ(zbarTexts(picture), std::vector<std::string>{stored});
    }
}

TEST_F(EncodeReadsStandardInput, TakesLegacyBytesAsTheyCome) {
    // With the default charset the bytes reach the encoder unchanged, as in the desktop app:
    // GB2312 bytes become Hanzi that a reader turns into the same text.
    const std::string gb2312 = "\xB6\xFE\xCE\xAC\xC2\xEB";  // 二维码
    const ReportedSymbol reported = succeeded(run({"encode", "-o", path("raw.png"), "-"}, gb2312));
    EXPECT_EQ(pictureMismatches(grey(path("raw.png")), expectedSymbol(gb2312, reported), 4), 0);
    EXPECT_EQ(zxingRead(grey(path("raw.png"))).text(), "二维码");
}
