// velmora-cli decode as a user runs it: the report lines, the raw and JSON forms, the marked
// picture and the exit codes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "tests/cli/cli_run.h"

using namespace velmora::test;

namespace {

class DecodeCli : public CliTest {
protected:
    // Writes a PNG of the text encoded at the level and mask, via velmora-cli encode itself.
    std::string symbolFile(const std::string& name, const std::string& text, const std::string& level,
                           const std::string& mask) {
        const std::string file = path(name).string();
        const CliRun encoded = run({"encode", "--level", level, "--mask", mask, "--size", "5", "-o", file, text});
        EXPECT_EQ(encoded.exitCode, 0) << encoded.err;
        return file;
    }
};

}  // namespace

TEST_F(DecodeCli, ReportHasTheLinesOfTheLogBox) {
    const std::string file = symbolFile("report.png", "Hello report", "M", "5");
    const CliRun result = run({"decode", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lines = linesOf(result.out);
    ASSERT_EQ(lines.size(), 10u) << result.out;
    EXPECT_EQ(lines[0], "Parsed Information 1:");
    EXPECT_EQ(lines[1], std::string(73, '-'));
    EXPECT_EQ(lines[2].rfind("Position:(", 0), 0u);
    EXPECT_EQ(lines[3], "Color Normal, Direct");
    EXPECT_EQ(lines[4], "Version: 1   ");
    EXPECT_EQ(lines[5], "Error level:M, Mask:5   ");
    EXPECT_EQ(lines[6], "Content:");
    EXPECT_EQ(lines[7], "Hello report");
    EXPECT_EQ(lines[8], std::string(73, '-'));
    EXPECT_EQ(lines[9], "");
    // A quiet zone of four modules of five pixels: the top-left corner sits at (20, 20).
    EXPECT_EQ(lines[2].substr(0, 22), "Position:(20.0,20.0)-(");
}

TEST_F(DecodeCli, RawPrintsOnlyTheTexts) {
    const std::string a = symbolFile("a.png", "first text", "H", "auto");
    const std::string b = symbolFile("b.png", "second text", "L", "auto");
    const CliRun result = run({"decode", "--raw", a, b});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "first text\nsecond text\n");
}

TEST_F(DecodeCli, JsonHoldsEveryField) {
    const std::string file = symbolFile("json.png", "{\"quoted\"}", "Q", "3");
    const CliRun result = run({"decode", "--json", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* field : {"\"nParsedNums\":1", "\"nInverseColor\":0", "\"nMirror\":0", "\"nVersion\":1",
                              "\"nLevel\":2", "\"level\":\"Q\"", "\"nMaskingNo\":3", "\"nParseStrLen\":10",
                              "\"sParseStr\":\"{\\\"quoted\\\"}\"", "\"raw\":false", "\"dXY_FP\":[[",
                              "\"dXY_4Corners\":[["}) {
        EXPECT_NE(result.out.find(field), std::string::npos) << field << " in " << result.out;
    }
}

TEST_F(DecodeCli, ExitCodesTellFoundNothingFromNotLoaded) {
    const std::string good = symbolFile("good.png", "found", "H", "auto");
    const std::string blank = path("blank.png").string();
    ASSERT_TRUE(cv::imwrite(blank, cv::Mat(120, 120, CV_8UC1, cv::Scalar(255))));
    const std::string notPicture = path("notes.txt").string();
    writeFile(notPicture, "not a picture");

    EXPECT_EQ(run({"decode", good}).exitCode, 0);
    const CliRun nothing = run({"decode", good, blank});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_NE(nothing.err.find("Fail"), std::string::npos);
    const CliRun unloadable = run({"decode", good, blank, notPicture});
    EXPECT_EQ(unloadable.exitCode, 2);
    EXPECT_NE(unloadable.err.find("File Open Err"), std::string::npos);
    EXPECT_NE(unloadable.err.find("notes.txt"), std::string::npos);
    EXPECT_EQ(run({"decode"}).exitCode, 2);
    for (const char* count : {"0", "257", "1000", "-1", "4x"}) {
        EXPECT_EQ(run({"decode", "--max", count, good}).exitCode, 2) << count;
    }
    EXPECT_EQ(run({"decode", "--max", "256", good}).exitCode, 0);
    EXPECT_EQ(run({"decode", "--time-limit", "0", good}).exitCode, 0);
    EXPECT_EQ(run({"decode", "--time-limit", "-5", good}).exitCode, 2);
    EXPECT_EQ(run({"decode", "--time-limit", "soon", good}).exitCode, 2);
    EXPECT_EQ(run({"decode", "--json", "--raw", good}).exitCode, 2);
}

TEST_F(DecodeCli, MaxAboveFourReadsEverySymbolOfASheet) {
    // Six symbols side by side, each written by velmora-cli encode.
    std::vector<cv::Mat> symbols;
    for (int i = 0; i < 6; ++i) {
        symbols.push_back(cv::imread(symbolFile("s" + std::to_string(i) + ".png", "sheet " + std::to_string(i), "M", "auto"),
                                     cv::IMREAD_GRAYSCALE));
        ASSERT_FALSE(symbols.back().empty());
    }
    cv::Mat sheet;
    cv::hconcat(symbols, sheet);
    const std::string file = path("sheet.png").string();
    ASSERT_TRUE(cv::imwrite(file, sheet));
    auto lines = [](const std::string& out) { return std::count(out.begin(), out.end(), '\n'); };
    EXPECT_EQ(lines(run({"decode", "--raw", file}).out), 4);
    const CliRun all = run({"decode", "--raw", "--max", "64", file});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(lines(all.out), 6);
    for (int i = 0; i < 6; ++i) EXPECT_NE(all.out.find("sheet " + std::to_string(i) + "\n"), std::string::npos) << i;
}

TEST_F(DecodeCli, MarkWritesTheCrosses) {
    const std::string file = symbolFile("mark.png", "marked", "H", "auto");
    const std::string marked = path("marked.png").string();
    const CliRun result = run({"decode", "--mark", marked, file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const cv::Mat picture = cv::imread(marked, cv::IMREAD_COLOR);
    ASSERT_FALSE(picture.empty());
    int red = 0;
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) {
            const cv::Vec3b p = picture.at<cv::Vec3b>(y, x);
            red += p[2] > 200 && p[1] < 80 && p[0] < 80;
        }
    }
    // Three crosses of two 51-pixel strokes, less the clipped and overlapping pixels.
    EXPECT_GT(red, 200);
}

// Paths that are no picture file to read say what they are, whatever their names, and a FIFO is
// never waited on. On an idle machine the run answers in a fraction of a second; a program that
// waited on the FIFO would never answer, so the limit leaves room for a loaded machine.
TEST_F(DecodeCli, UnreadablePathsNameTheirProblemAtOnce) {
    std::filesystem::create_directory(path("scans"));
    std::filesystem::create_directory(path("folder.png"));
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(path("pipe.jpg").c_str(), 0600), 0);
    std::filesystem::create_symlink(path("loop.png"), path("loop.png"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {path("scans").string(), "is a directory"},
        {path("folder.png").string(), "is a directory"},
        {path("pipe").string(), "not a regular file"},
        {path("pipe.jpg").string(), "not a regular file"},
        {"/dev/null", "not a regular file"},
        {path("loop.png").string(), "too many levels of symbolic links"},
    };
    std::vector<std::string> arguments = {"decode", "--raw"};
    for (const auto& c : cases) arguments.push_back(c.first);
    const CliRun result = run(arguments, {}, {}, std::chrono::seconds(10));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    const auto lines = linesOf(result.err);
    ASSERT_EQ(lines.size(), cases.size()) << result.err;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(lines[i].rfind(cases[i].first + ": File Open Err: ", 0), 0u) << lines[i];
        EXPECT_TRUE(lines[i].ends_with(": " + cases[i].second)) << lines[i];
        EXPECT_EQ(lines[i].find("unknown file type"), std::string::npos) << lines[i];
    }
    // The JSON form carries the same reason.
    const CliRun json = run({"decode", "--json", path("pipe").string()}, {}, {}, std::chrono::seconds(10));
    EXPECT_NE(json.out.find("\"error\":\"cannot open the file: not a regular file\""), std::string::npos) << json.out;
}

TEST_F(DecodeCli, AFileWithoutReadPermissionSaysSo) {
    if (geteuid() == 0) GTEST_SKIP() << "running as root, which reads a file whatever its permissions say";
    const std::string file = symbolFile("locked.png", "locked", "H", "auto");
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    const CliRun result = run({"decode", file});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, file + ": File Open Err: cannot open the file: permission denied\n");
}
