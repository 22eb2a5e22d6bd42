// readSymbols: every pixel layout reads alike, strides are honoured, corners go round the
// symbol, and more than four symbols come back when more are asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tests/api/api_pictures.h"
#include "velmora/reader.h"

namespace velmora {
namespace {

using test::drawText;

std::vector<Symbol> readMat(const cv::Mat& picture, PixelFormat format, int maxSymbols = 4) {
    ReadOptions options;
    options.maxSymbols = maxSymbols;
    options.timeLimitMs = 0;
    return readSymbols(ImageView(picture.data, picture.cols, picture.rows, format, static_cast<int>(picture.step)),
                       options);
}

TEST(ReaderReadsViews, EveryPixelFormatAndStrideGivesTheSameSymbol) {
    const cv::Mat grey = drawText("velmora: one text, four layouts", 4);
    // A padded copy: each row 13 bytes longer than its pixels.
    cv::Mat padded(grey.rows, grey.cols + 13, CV_8UC1, cv::Scalar(0));
    grey.copyTo(padded(cv::Rect(0, 0, grey.cols, grey.rows)));
    const cv::Mat paddedView = padded(cv::Rect(0, 0, grey.cols, grey.rows));
    cv::Mat bgr, rgb, rgba;
    cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
    cv::cvtColor(grey, rgb, cv::COLOR_GRAY2RGB);
    cv::cvtColor(grey, rgba, cv::COLOR_GRAY2RGBA);
    struct Case {
        const char* name;
        const cv::Mat& picture;
        PixelFormat format;
    };
    for (const Case& c : {Case{"grey", grey, PixelFormat::Grey8}, Case{"padded grey", paddedView, PixelFormat::Grey8},
                          Case{"bgr", bgr, PixelFormat::BGR8}, Case{"rgb", rgb, PixelFormat::RGB8},
                          Case{"rgba", rgba, PixelFormat::RGBA8}}) {
        const std::vector<Symbol> symbols = readMat(c.picture, c.format);
        ASSERT_EQ(symbols.size(), 1u) << c.name;
        EXPECT_EQ(symbols[0].text, "velmora: one text, four layouts") << c.name;
        EXPECT_EQ(std::string(symbols[0].bytes.begin(), symbols[0].bytes.end()), symbols[0].text) << c.name;
        EXPECT_EQ(symbols[0].level, 'M') << c.name;
        EXPECT_EQ(symbols[0].charset, "UTF-8") << c.name;
        EXPECT_FALSE(symbols[0].inverted) << c.name;
        EXPECT_FALSE(symbols[0].mirrored) << c.name;
    }
}

TEST(ReaderReadsViews, ColourWeightsAreThoseOfAPictureReadInGrey) {
    // A symbol whose dark modules are pure blue on yellow: grey weights decide what is dark.
    const cv::Mat grey = drawText("blue on yellow", 4);
    cv::Mat bgr(grey.size(), CV_8UC3);
    bgr.setTo(cv::Scalar(0, 255, 255));
    bgr.setTo(cv::Scalar(255, 0, 0), grey == 0);
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    const auto fromBgr = readMat(bgr, PixelFormat::BGR8);
    const auto fromRgb = readMat(rgb, PixelFormat::RGB8);
    ASSERT_EQ(fromBgr.size(), 1u);
    ASSERT_EQ(fromRgb.size(), 1u);
    EXPECT_EQ(fromRgb[0].text, "blue on yellow");
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(fromBgr[0].corners[i].x, fromRgb[0].corners[i].x);
        EXPECT_EQ(fromBgr[0].corners[i].y, fromRgb[0].corners[i].y);
    }
}

TEST(ReaderReadsViews, CornersGoRoundTheSymbolInItsOwnFrame) {
    const int module = 5;
    const cv::Mat upright = drawText("corners", module);
    const float near = 4.0f * module;
    const float far = static_cast<float>(upright.cols) - near;
    // Turned a quarter clockwise, the symbol's top-left corner lies at the picture's top right.
    cv::Mat turned;
    cv::rotate(upright, turned, cv::ROTATE_90_CLOCKWISE);
    struct Case {
        const char* name;
        const cv::Mat& picture;
        std::array<Point, 4> expected;
    };
    for (const Case& c : {Case{"upright", upright, {{{near, near}, {far, near}, {far, far}, {near, far}}}},
                          Case{"turned", turned, {{{far, near}, {far, far}, {near, far}, {near, near}}}}}) {
        const auto symbols = readMat(c.picture, PixelFormat::Grey8);
        ASSERT_EQ(symbols.size(), 1u) << c.name;
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(symbols[0].corners[i].x, c.expected[i].x, 1.0) << c.name << " corner " << i;
            EXPECT_NEAR(symbols[0].corners[i].y, c.expected[i].y, 1.0) << c.name << " corner " << i;
        }
    }
}

TEST(ReaderReadsViews, RefusesWhatIsNoPicture) {
    const cv::Mat grey = drawText("refused", 3);
    EXPECT_TRUE(readSymbols(ImageView(nullptr, 100, 100, PixelFormat::Grey8)).empty());
    EXPECT_TRUE(readSymbols(ImageView(grey.data, 0, grey.rows, PixelFormat::Grey8)).empty());
    // A stride shorter than a row of pixels.
    EXPECT_TRUE(readSymbols(ImageView(grey.data, grey.cols, grey.rows, PixelFormat::RGB8, grey.cols)).empty());
    EXPECT_TRUE(readSymbols(ImageView(grey.data, 20, 20, PixelFormat::Grey8)).empty());
}

// Symbols in a grid of columns by rows cells, each its own text.
cv::Mat gridOfSymbols(int columns, int rows, std::vector<std::string>& texts) {
    const int module = 3;
    const int cell = drawText("cell 00 00", module).cols;
    cv::Mat sheet(rows * cell, columns * cell, CV_8UC1, cv::Scalar(255));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const std::string text = "cell " + std::to_string(10 + r) + " " + std::to_string(10 + c);
            texts.push_back(text);
            drawText(text, module).copyTo(sheet(cv::Rect(c * cell, r * cell, cell, cell)));
        }
    }
    return sheet;
}

TEST(ReaderReadsMany, GivesEverySymbolOfASheetWhenMoreThanFourAreWanted) {
    std::vector<std::string> texts;
    const cv::Mat sheet = gridOfSymbols(4, 3, texts);
    struct Case {
        int wanted;
        std::size_t expected;
    };
    for (const Case& c : {Case{1, 1}, Case{4, 4}, Case{5, 5}, Case{12, 12}, Case{64, 12}, Case{1000, 12}}) {
        const auto symbols = readMat(sheet, PixelFormat::Grey8, c.wanted);
        ASSERT_EQ(symbols.size(), c.expected) << c.wanted << " wanted";
        std::set<std::string> read;
        for (const Symbol& s : symbols) {
            EXPECT_NE(std::find(texts.begin(), texts.end(), s.text), texts.end()) << s.text;
            read.insert(s.text);
        }
        EXPECT_EQ(read.size(), symbols.size()) << "a symbol read twice with " << c.wanted << " wanted";
    }
}

}  // namespace
}  // namespace velmora
