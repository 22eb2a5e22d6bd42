// velmora-cli ornament as a user runs it: every dot type gives a real PNG that zbar reads back,
// a picture merged inside gives a real BMP that Velmora reads back, and bad options or pictures
// are refused with their name.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/cli/cli_run.h"
#include "tests/cli/peer_readers.h"

using namespace velmora::test;

namespace {

const std::string kText = "Ornament from the command line";

class OrnamentCli : public CliTest {
protected:
    // A picture to merge: bands of colour with a dark disc, as a small photograph would be.
    std::string pictureFile(int width, int height) {
        cv::Mat picture(height, width, CV_8UC3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uchar>(40 + x % 200), static_cast<uchar>(90 + y % 150), 200);
        cv::circle(picture, {width / 2, height / 2}, std::min(width, height) / 3, cv::Scalar(30, 20, 90), cv::FILLED);
        const std::string file = path("picture.png").string();
        cv::imwrite(file, picture);
        return file;
    }
};

}  // namespace

TEST_F(OrnamentCli, EveryDotTypeScansAsAPng) {
    for (const char* dots : {"square", "round", "diamond", "small-square", "small-dot"}) {
        const std::string file = path(std::string(dots) + ".png").string();
        const CliRun result = run({"ornament", "--dots", dots, "--scale", "8", "-o", file, kText});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(readFile(file).substr(0, 8), "\x89PNG\r\n\x1a\n") << dots;
        const cv::Mat grey = cv::imread(file, cv::IMREAD_GRAYSCALE);
        EXPECT_EQ(zbarTexts(grey), std::vector<std::string>{kText}) << dots;
    }
}

TEST_F(OrnamentCli, PictureInsideGivesABmpVelmoraReads) {
    const std::string picture = pictureFile(60, 60);
    const std::string file = path("inside").string();  // no extension: .bmp is added
    const CliRun result = run({"ornament", "--level", "H", "--picture", picture, "--mix", "mixture", "--shape",
                               "round", "--border", "-o", file, kText});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string bytes = readFile(file + ".bmp");
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24);  // bits per pixel
    const CliRun read = run({"decode", "--raw", file + ".bmp"});
    EXPECT_EQ(read.out, kText + "\n") << read.err;
    // The picture moved to the symbol's top-left corner area gives a different picture.
    const CliRun moved = run({"ornament", "--level", "H", "--picture", picture, "--at", "0,0", "-o",
                              path("moved.bmp").string(), kText});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_NE(readFile(path("moved.bmp")), bytes);
}

TEST_F(OrnamentCli, SymbolOverALargerPictureAsJpeg) {
    const std::string picture = pictureFile(600, 400);
    const std::string file = path("over.jpeg").string();
    const CliRun result = run({"ornament", "--picture", picture, "--scale", "6", "-o", file, kText});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(file).substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(cv::imread(file).size(), cv::Size(600, 400));
}

TEST_F(OrnamentCli, RefusalsNameTheOptionAndTheValue) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"--dots", "star", "-o", "x.png", "t"}, 2, "invalid value 'star' for --dots"},
        {{"--scale", "41", "-o", "x.png", "t"}, 2, "invalid value '41' for --scale"},
        {{"--mix=blend", "-o", "x.png", "t"}, 2, "invalid value 'blend' for --mix"},
        {{"--at", "3", "--picture", "p.png", "-o", "x.png", "t"}, 2, "invalid value '3' for --at"},
        {{"--size", "4", "-o", "x.png", "t"}, 2, "use --scale"},
        {{"--level", "X", "-o", "x.png", "t"}, 2, "invalid value 'X' for --level"},
        {{"t"}, 2, "no output file given"},
        {{"--picture", "missing.png", "-o", "x.png", "t"}, 1, "cannot load the picture missing.png"},
        {{"--at", "5,5", "-o", "x.png", "t"}, 2, "--at places a picture"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"ornament"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CliRun result = run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    const std::string picture = pictureFile(60, 60);
    const CliRun outside = run({"ornament", "--picture", picture, "--at", "900,0", "-o", path("x.png").string(), "t"});
    EXPECT_EQ(outside.exitCode, 2);
    EXPECT_NE(outside.err.find("lies outside"), std::string::npos) << outside.err;
    EXPECT_FALSE(std::filesystem::exists(path("x.png")));
}

// A one-colour picture gives levels held apart and an ornament that reads.
TEST_F(OrnamentCli, OneColourPicturesGiveAnOrnamentThatReads) {
    for (const int side : {40, 400}) {
        const std::string flat = path("flat" + std::to_string(side) + ".png").string();
        cv::imwrite(flat, cv::Mat(side, side, CV_8UC3, cv::Scalar(60, 200, 240)));
        const std::string file = path("flat" + std::to_string(side) + "-ornament.png").string();
        const CliRun result = run({"ornament", "--picture", flat, "--no-check", "-o", file, kText});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.err.find("too little contrast"), std::string::npos) << result.err;
        EXPECT_EQ(run({"decode", "--raw", file}).out, kText + "\n") << side;
    }
}

// A picture that hides the symbol is refused, and nothing written, unless the check is off.
TEST_F(OrnamentCli, AnOrnamentThatDoesNotReadIsNotWritten) {
    const std::string cover = path("cover.png").string();
    cv::Mat picture(120, 120, CV_8UC3, cv::Scalar(30, 140, 90));
    picture(cv::Rect(0, 0, 60, 120)).setTo(cv::Scalar(230, 240, 250));
    cv::imwrite(cover, picture);
    const std::string hidden = path("hidden.png").string();
    const CliRun refused =
        run({"ornament", "--picture", cover, "--mix", "cover", "--shape", "none", "-o", hidden, kText});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("does not scan"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--no-check"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(hidden));
    const CliRun unchecked =
        run({"ornament", "--picture", cover, "--mix", "cover", "--shape", "none", "--no-check", "-o", hidden, kText});
    EXPECT_EQ(unchecked.exitCode, 0) << unchecked.err;
    EXPECT_TRUE(std::filesystem::exists(hidden));
    EXPECT_EQ(run({"ornament", "--no-check=yes", "-o", hidden, kText}).exitCode, 2);
}
