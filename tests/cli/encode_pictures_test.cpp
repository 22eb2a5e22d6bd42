// velmora-cli encode end to end: the picture files it writes hold exactly our encoder's symbol
// and real readers get the text back from them.
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

// Runs an encode that must succeed and returns what it reported.
ReportedSymbol encodeOk(const CliRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.out.empty()) << "a picture file was asked for, yet standard output got: " << run.out;
    return reportedSymbol(run.err);
}

}  // namespace

class EncodeWritesPictures : public CliTest {};

TEST_F(EncodeWritesPictures, PngAndBmpReadBackToTheText) {
    const std::vector<std::string> texts = {"Hello, world", "https://example.org/velmora?id=12345&lang=en",
                                            "012345678901234567890123", std::string(300, 'x') + " end"};
    for (const std::string& text : texts) {
        for (const std::string name : {"symbol.png", "symbol.bmp"}) {
            const CliRun result = run({"encode", "-o", path(name).string(), text});
            const ReportedSymbol reported = encodeOk(result);
            EXPECT_EQ(reported.level, 'H');
            const cv::Mat picture = cv::imread(path(name).string(), cv::IMREAD_GRAYSCALE);
            const ExpectedSymbol expected = expectedSymbol(text, 3, reported.version, reported.mask);
            ASSERT_EQ(expected.size, reported.size);
            EXPECT_EQ(pictureMismatches(picture, expected, 4), 0) << name << " of " << text;
            EXPECT_EQ(zbarTexts(picture), std::vector<std::string>{text}) << name;
            EXPECT_EQ(entries(), std::vector<std::string>{name}) << "only the picture is left behind";
            std::filesystem::remove(path(name));
        }
    }
}

TEST_F(EncodeWritesPictures, ParametersReachTheSymbol) {
    const std::string text = "velmora parameters";
    for (const std::string name : {"upper.PNG", "mixed.Bmp"}) {
        const CliRun result =
            run({"encode", "--level", "m", "--version=7", "--mask", "3", "--size", "2", "-o", path(name).string(), text});
        const ReportedSymbol reported = encodeOk(result);
        EXPECT_EQ(reported.version, 7);
        EXPECT_EQ(reported.mask, 3);
        EXPECT_EQ(reported.level, 'M');
        EXPECT_EQ(reported.size, 45);
        const cv::Mat picture = cv::imread(path(name).string(), cv::IMREAD_GRAYSCALE);
        EXPECT_EQ(picture.cols, (45 + 8) * 2);
        EXPECT_EQ(pictureMismatches(picture, expectedSymbol(text, 1, 7, 3), 2), 0) << name;
        EXPECT_EQ(zbarTexts(picture), std::vector<std::string>{text}) << name;
    }
}

TEST_F(EncodeWritesPictures, AutoExtendGrowsAFixedVersion) {
    const std::string text(120, 'a');
    const CliRun automatic = run({"encode", "-o", path("auto.png").string(), text});
    const CliRun extended = run({"encode", "--version", "2", "--auto-extend", "-o", path("grown.png").string(), text});
    const ReportedSymbol smallest = encodeOk(automatic);
    const ReportedSymbol grown = encodeOk(extended);
    EXPECT_GT(grown.version, 2);
    EXPECT_EQ(grown.version, smallest.version);
    EXPECT_EQ(zbarTexts(cv::imread(path("grown.png").string(), cv::IMREAD_GRAYSCALE)), std::vector<std::string>{text});

    // A fixed version larger than needed is kept, with or without --auto-extend.
    const ReportedSymbol kept = encodeOk(run({"encode", "--version", "30", "--auto-extend", "-o",
                                                     path("kept.svg").string(), text}));
    EXPECT_EQ(kept.version, 30);
}

TEST_F(EncodeWritesPictures, SvgHoldsOnePathPerDarkRun) {
    const std::string text = "svg runs 1234567890";
    const int moduleSize = 3;
    const ReportedSymbol reported =
        encodeOk(run({"encode", "--level", "Q", "--size", "3", "-o", path("symbol.SVG").string(), text}));
    const ExpectedSymbol expected = expectedSymbol(text, 2, reported.version, reported.mask);
    ASSERT_GT(expected.size, 0);
    const std::string svg = readFile(path("symbol.SVG"));
    const int side = (expected.size + 8) * moduleSize;

    std::smatch rect;
    ASSERT_TRUE(std::regex_search(svg, rect, std::regex(R"re(<rect x="0" y="0" width="(\d+)" height="(\d+)" fill="#ffffff"/>)re")));
    EXPECT_EQ(std::stoi(rect[1]), side);
    EXPECT_EQ(std::stoi(rect[2]), side);

    int darkRuns = 0;
    for (int r = 0; r < expected.size; ++r)
        for (int c = 0; c < expected.size; ++c)
            darkRuns += !expected.light[r * expected.size + c] && (c == 0 || expected.light[r * expected.size + c - 1]);

    // Paint the paths back into modules; every path must cover whole modules of one row.
    std::vector<uint8_t> light(expected.size * expected.size, 1);
    const std::regex pathPattern(R"re(<path d="M(\d+) (\d+)h(\d+)v(\d+)h-(\d+)z"/>)re");
    int paths = 0;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), pathPattern); it != std::sregex_iterator(); ++it) {
        const int x = std::stoi((*it)[1]), y = std::stoi((*it)[2]), width = std::stoi((*it)[3]);
        ASSERT_EQ(std::stoi((*it)[4]), moduleSize);
        ASSERT_EQ(std::stoi((*it)[5]), width);
        ASSERT_EQ(x % moduleSize + y % moduleSize + width % moduleSize, 0);
        const int row = y / moduleSize - 4, column = x / moduleSize - 4;
        ASSERT_TRUE(row >= 0 && column >= 0 && row < expected.size && column + width / moduleSize <= expected.size);
        for (int k = 0; k < width / moduleSize; ++k) light[row * expected.size + column + k] = 0;
        ++paths;
    }
    EXPECT_EQ(paths, darkRuns);
    EXPECT_EQ(static_cast<size_t>(std::count(svg.begin(), svg.end(), '<')) - 6, static_cast<size_t>(paths))
        << "nothing but the header, svg, rect, group and the paths";
    EXPECT_EQ(light, expected.light);
}

class EncodeStoresLegacyCharsets : public CliTest {};

TEST_F(EncodeStoresLegacyCharsets, HanziAndKanjiAreCompactAndReadBack) {
    struct Case {
        std::string text;
        std::string charset;
    };
    for (const Case& c : {Case{kChinese, "gb2312"}, Case{kJapanese, "shift_jis"}}) {
        const ReportedSymbol utf8 = encodeOk(run({"encode", "-o", path("utf8.png").string(), c.text}));
        const ReportedSymbol legacy =
            encodeOk(run({"encode", "--charset", c.charset, "-o", path("legacy.png").string(), c.text}));
        EXPECT_LT(legacy.version, utf8.version) << c.charset << ": double-byte modes hold the text in fewer bits";

        const ZXing::Result legacyRead = zxingRead(cv::imread(path("legacy.png").string(), cv::IMREAD_GRAYSCALE));
        ASSERT_TRUE(legacyRead.isValid()) << c.charset;
        EXPECT_EQ(legacyRead.text(), c.text) << c.charset;
        const ZXing::Result utf8Read = zxingRead(cv::imread(path("utf8.png").string(), cv::IMREAD_GRAYSCALE));
        EXPECT_EQ(utf8Read.text(), c.text);
    }
}

TEST_F(EncodeStoresLegacyCharsets, ConvertedTextComesFromStandardInputToo) {
    const CliRun result = run({"encode", "--charset", "GB2312", "-o", path("in.bmp").string(), "-"}, kChinese + "\n");
    encodeOk(result);
    const ZXing::Result read = zxingRead(cv::imread(path("in.bmp").string(), cv::IMREAD_GRAYSCALE));
    EXPECT_EQ(read.text(), kChinese);
}

TEST_F(EncodeStoresLegacyCharsets, HalfWidthKatakanaIsRefusedRatherThanMisread) {
    // Two half-width katakana in Shift_JIS look like one GB2312 pair to the encoder's classes;
    // a run of twelve is long enough to stay in Hanzi mode rather than join a byte segment.
    const CliRun result =
        run({"encode", "--charset", "shift_jis", "-o", path("kana.png").string(), "Test ﾃｽﾄﾃｽﾄﾃｽﾄﾃｽﾄ"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(linesOf(result.err).size(), 1u) << result.err;
    EXPECT_NE(result.err.find("character 6 (\"ﾃ\")"), std::string::npos) << result.err;
    EXPECT_TRUE(entries().empty());

    // Three alone cost less as bytes: that symbol is sound and is written.
    const CliRun bytes = run({"encode", "--charset", "shift_jis", "-o", path("three.png").string(), "ﾃｽﾄ"});
    EXPECT_EQ(bytes.exitCode, 0) << bytes.err;
    EXPECT_EQ(zxingRead(cv::imread(path("three.png").string(), cv::IMREAD_GRAYSCALE)).text(), "ﾃｽﾄ");
}

TEST_F(EncodeStoresLegacyCharsets, HanziMergedIntoBytesIsFlagged) {
    // Many ASCII characters around one Hanzi are cheaper as one byte segment, where the GB2312
    // bytes carry no hint of their charset: the user is told.
    const CliRun result = run({"encode", "--charset", "gb2312", "-o", path("mixed.png").string(), "hello world 中"});
    const ReportedSymbol reported = encodeOk(result);
    EXPECT_GT(reported.version, 0);
    EXPECT_NE(result.err.find("warning"), std::string::npos) << result.err;
    const CliRun plain = run({"encode", "--charset", "gb2312", "-o", path("plain.png").string(), kChinese});
    EXPECT_EQ(plain.err.find("warning"), std::string::npos) << plain.err;
}

class EncodeReadsStandardInput : public CliTest {};

TEST_F(EncodeReadsStandardInput, DropsOneFinalLineBreak) {
    struct Case {
        std::string input;
        std::string stored;
    };
    for (const Case& c : {Case{"piped text\n", "piped text"}, Case{"two\n\n", "two\n"}, Case{"crlf\r\n", "crlf"},
                          Case{"no break", "no break"}, Case{"lines\none\ntwo", "lines\none\ntwo"}}) {
        const CliRun result = run({"encode", "-o", path("stdin.png").string(), "-"}, c.input);
        const ReportedSymbol reported = encodeOk(result);
        const cv::Mat picture = cv::imread(path("stdin.png").string(), cv::IMREAD_GRAYSCALE);
        EXPECT_EQ(pictureMismatches(picture, expectedSymbol(c.stored, 3, reported.version, reported.mask), 4), 0)
            << c.input;
        EXPECT_EQ(zbarTexts(picture), std::vector<std::string>{c.stored});
    }
}

TEST_F(EncodeReadsStandardInput, TakesBytesAsTheyCome) {
    // Legacy bytes with the default charset go to the encoder unchanged, as the desktop app's
    // encoder takes them: GB2312 bytes become Hanzi that a reader turns into the same text.
    const std::string gb2312 = "\xB6\xFE\xCE\xAC\xC2\xEB";  // 二维码
    const CliRun result = run({"encode", "-o", path("raw.png").string(), "-"}, gb2312);
    const ReportedSymbol reported = encodeOk(result);
    const cv::Mat picture = cv::imread(path("raw.png").string(), cv::IMREAD_GRAYSCALE);
    EXPECT_EQ(pictureMismatches(picture, expectedSymbol(gb2312, 3, reported.version, reported.mask), 4), 0);
    EXPECT_EQ(zxingRead(picture).text(), "二维码");
}
