#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "engine/decode/decode_driver.h"
#include "engine/decode/symbol_marks.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"
#include "tests/geometry/test_symbols.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// A light picture of width x height with upright symbols drawn at the given places.
struct Placed {
    std::string text;
    int version;
    int scale;
    int x;
    int y;
};

cv::Mat pictureWith(int width, int height, const std::vector<Placed>& symbols, bool inverted = false) {
    cv::Mat picture(height, width, CV_8UC1, cv::Scalar(inverted ? 0 : 255));
    for (const Placed& s : symbols) {
        const cv::Mat modules = encodeModules(s.text, s.version);
        const int side = (modules.rows + 8) * s.scale;
        const cv::Matx33d shift(1, 0, s.x, 0, 1, s.y, 0, 0, 1);
        DrawnSymbol drawn = drawSymbol(modules, s.scale, shift, picture.size(), inverted);
        const cv::Rect area = cv::Rect(s.x, s.y, side, side) & cv::Rect(0, 0, width, height);
        drawn.grey(area).copyTo(picture(area));
    }
    return picture;
}

int decode(cv::Mat& grey, int wanted) {
    return QR_Decode_Matrix(0, grey.data, grey.cols, grey.rows, wanted, 1, nullptr);
}

std::string text(int k) { return std::string(g_QrDecodedData.sParseStr[k], g_QrDecodedData.nParseStrLen[k]); }

std::vector<std::string> texts(int count) {
    std::vector<std::string> out;
    for (int k = 0; k < count; ++k) out.push_back(text(k));
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(DriverClampsWantedCount, ZeroMeansOneAndNineMeansFour) {
    cv::Mat picture = pictureWith(400, 200, {{"LEFT", 1, 6, 10, 10}, {"RIGHT", 1, 6, 210, 10}});
    EXPECT_EQ(decode(picture, 0), 1);
    EXPECT_EQ(decode(picture, 9), 2);
    EXPECT_EQ(texts(2), (std::vector<std::string>{"LEFT", "RIGHT"}));
}

TEST(DriverStopsWhenSatisfied, FirstPassEndsTheRequest) {
    cv::Mat picture = pictureWith(400, 400, {{"one pass is enough", 2, 6, 40, 40}});
    ASSERT_EQ(decode(picture, 1), 1);
    EXPECT_EQ(lastRequestSummary().passes, 1);
    EXPECT_EQ(text(0), "one pass is enough");
    EXPECT_EQ(lastRequestSummary().enlargement, 0.0f);
    // Wanting more than the picture holds runs the whole schedule of sixteen passes.
    ASSERT_EQ(decode(picture, 2), 1);
    EXPECT_EQ(lastRequestSummary().passes, 16);
}

TEST(DriverSkipsRepeatedPasses, CrispPicturesSearchEachBinarisationOnceAndReadAlike) {
    // Every threshold binarises a blank picture alike: from the fourth pass of each picture size
    // on (the first is not recorded, the second is the first seen, the third is remembered),
    // every pass repeats one that found nothing.
    cv::Mat blank(200, 300, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(decode(blank, 4), 0);
    EXPECT_EQ(lastRequestSummary().passes, 32);
    EXPECT_EQ(lastRequestSummary().repeatedPasses, 26);

    // Black and white symbols: the passes that repeat are skipped, and nothing read is lost.
    cv::Mat picture = pictureWith(400, 200, {{"LEFT", 1, 6, 10, 10}, {"RIGHT", 2, 5, 210, 10}});
    ASSERT_EQ(decode(picture, 4), 2);
    EXPECT_EQ(texts(2), (std::vector<std::string>{"LEFT", "RIGHT"}));
    EXPECT_EQ(lastRequestSummary().passes, 16);
    EXPECT_GT(lastRequestSummary().repeatedPasses, 0);
}

TEST(DriverEnlargesSmallPictures, FactorFollowsTheShorterSide) {
    cv::Mat blank(200, 300, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(decode(blank, 1), 0);
    EXPECT_FLOAT_EQ(lastRequestSummary().enlargement, 1.6f);
    EXPECT_EQ(lastRequestSummary().passes, 32);

    cv::Mat square(100, 100, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(decode(square, 1), 0);
    EXPECT_FLOAT_EQ(lastRequestSummary().enlargement, 2.0f);

    cv::Mat wide(100, 320, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(decode(wide, 1), 0);
    EXPECT_EQ(lastRequestSummary().enlargement, 0.0f);
}

TEST(DriverRefusesTinyPictures, TwentyPixelsOrLess) {
    std::vector<uint8_t> pixels(21 * 21, 255);
    EXPECT_EQ(QR_Decode_Matrix(0, pixels.data(), 20, 21, 1, 1, nullptr), 0);
    EXPECT_EQ(lastRequestSummary().passes, 0);
    EXPECT_EQ(QR_Decode_Matrix(0, pixels.data(), 21, 21, 1, 1, nullptr), 0);
    EXPECT_GT(lastRequestSummary().passes, 0);
    EXPECT_EQ(QR_Decode_Matrix(0, nullptr, 100, 100, 1, 1, nullptr), 0);
    EXPECT_EQ(g_QrDecodedData.nParsedNums, 0);
}

TEST(DriverReadsEveryLayout, CallerMemoryIsNeverFreed) {
    cv::Mat picture = pictureWith(300, 300, {{"layouts", 3, 5, 50, 50}});
    std::vector<uint8_t*> rowTable(picture.rows);
    for (int y = 0; y < picture.rows; ++y) rowTable[y] = picture.ptr<uint8_t>(y);
    EXPECT_EQ(QR_Decode_Matrix(1, rowTable.data(), picture.cols, picture.rows, 1, 1, nullptr), 1);
    EXPECT_EQ(text(0), "layouts");

    Raster* view = viewImageAsRaster(&picture);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(QR_Decode_Matrix(2, view, picture.cols, picture.rows, 1, 1, nullptr), 1);
    EXPECT_EQ(view->rows[0], picture.ptr<uint8_t>(0));  // still the caller's, still usable
    releaseRasterView(view);

    EXPECT_EQ(QR_Decode_Matrix(7, picture.data, picture.cols, picture.rows, 1, 1, nullptr), 1);
}

TEST(DriverChecksCallersRaster, OnlyBytesOfTheStatedSizeAreRead) {
    cv::Mat picture = pictureWith(300, 300, {{"checked", 3, 5, 50, 50}});
    Raster* view = viewImageAsRaster(&picture);
    ASSERT_NE(view, nullptr);
    // Stated larger than the raster: reading it would run past every row.
    EXPECT_EQ(QR_Decode_Matrix(2, view, 600, picture.rows, 1, 1, nullptr), 0);
    EXPECT_EQ(QR_Decode_Matrix(2, view, picture.cols, 900, 1, 1, nullptr), 0);
    EXPECT_EQ(QR_Decode_Matrix(2, view, picture.cols - 1, picture.rows, 1, 1, nullptr), 0);
    // The same bytes claimed as 16-bit samples are not grey bytes.
    view->elementType = kRasterInt16;
    EXPECT_EQ(QR_Decode_Matrix(2, view, picture.cols, picture.rows, 1, 1, nullptr), 0);
    view->elementType = kRasterByte;
    uint8_t** rows = view->rows;
    view->rows = nullptr;
    EXPECT_EQ(QR_Decode_Matrix(2, view, picture.cols, picture.rows, 1, 1, nullptr), 0);
    view->rows = rows;
    EXPECT_EQ(QR_Decode_Matrix(2, view, picture.cols, picture.rows, 1, 1, nullptr), 1);
    releaseRasterView(view);
}

TEST(DriverReadsLightOnDark, InverseFlagIsSet) {
    cv::Mat picture = pictureWith(300, 300, {{"light on dark", 2, 5, 40, 40}}, true);
    ASSERT_EQ(decode(picture, 1), 1);
    EXPECT_EQ(text(0), "light on dark");
    EXPECT_EQ(g_QrDecodedData.nInverseColor[0], 1);
    cv::Mat normal = pictureWith(300, 300, {{"dark on light", 2, 5, 40, 40}});
    ASSERT_EQ(decode(normal, 1), 1);
    EXPECT_EQ(g_QrDecodedData.nInverseColor[0], 0);
}

TEST(DriverReadsEachSymbolOnce, FourSymbolsInOnePicture) {
    cv::Mat picture = pictureWith(
        520, 520, {{"first", 1, 6, 10, 10}, {"second", 2, 5, 270, 10}, {"third", 3, 4, 10, 270}, {"fourth", 1, 6, 270, 270}});
    ASSERT_EQ(decode(picture, 4), 4);
    EXPECT_EQ(texts(4), (std::vector<std::string>{"first", "fourth", "second", "third"}));
}

TEST(DriverEnlargesSmallPictures, SymbolsReadBeforeAreKeptAndNotReadAgain) {
    // A clear symbol and a tiny one in a picture below 320 pixels: the tiny one needs the
    // enlarged copy; the clear one must not come back a second time from it.
    cv::Mat picture = pictureWith(300, 200, {{"CLEAR", 1, 5, 5, 5}});
    cv::Mat small = pictureWith(60, 60, {{"TINY", 1, 2, 0, 0}});
    cv::Mat tiny;
    cv::resize(small, tiny, cv::Size(), 0.75, 0.75, cv::INTER_AREA);
    tiny.copyTo(picture(cv::Rect(200, 100, tiny.cols, tiny.rows)));
    const int count = decode(picture, 4);
    ASSERT_GE(count, 1);
    EXPECT_GT(lastRequestSummary().enlargement, 0.0f);
    int clear = 0;
    for (int k = 0; k < count; ++k) clear += text(k) == "CLEAR";
    EXPECT_EQ(clear, 1);
    // Coordinates of what the enlarged passes found are in the caller's pixels.
    for (int k = 0; k < count; ++k) {
        for (int p = 0; p < 4; ++p) {
            EXPECT_GE(g_QrDecodedData.dXY_4Corners[k][p], -2.0f);
            EXPECT_LE(g_QrDecodedData.dXY_4Corners[k][p], 302.0f);
            EXPECT_LE(g_QrDecodedData.dXY_4Corners[k][4 + p], 202.0f);
        }
    }
}

TEST(DriverReadsFiles, LoadFailureLeavesTheRecord) {
    cv::Mat picture = pictureWith(300, 300, {{"from a file", 2, 5, 40, 40}});
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "velmora_driver_test";
    std::filesystem::create_directories(dir);
    const std::string png = (dir / "symbol.png").string();
    ASSERT_TRUE(cv::imwrite(png, picture));
    ASSERT_EQ(QR_Decode_File(png.c_str(), 4, 1, nullptr), 1);
    EXPECT_EQ(text(0), "from a file");

    const C_QrDecodedData before = g_QrDecodedData;
    EXPECT_EQ(QR_Decode_File((dir / "missing.png").string().c_str(), 4, 1, nullptr), 0);
    EXPECT_EQ(QR_Decode_File((dir / "notes.txt").string().c_str(), 4, 1, nullptr), 0);
    EXPECT_EQ(std::memcmp(&before, &g_QrDecodedData, sizeof before), 0);
    std::filesystem::remove_all(dir);
}

TEST(FoundSymbolsAreMarked, CrossesInTheColourOfEachSymbol) {
    cv::Mat picture = pictureWith(400, 200, {{"LEFT", 1, 6, 10, 10}, {"RIGHT", 1, 6, 210, 10}});
    ASSERT_EQ(decode(picture, 4), 2);
    cv::Mat colour;
    cv::cvtColor(picture, colour, cv::COLOR_GRAY2BGR);
    markFoundSymbols(colour);
    // Anti-aliased lines: the colour of the symbol dominates along each arm.
    auto looksLike = [](cv::Vec3b pixel, cv::Vec3b colour) {
        for (int c = 0; c < 3; ++c) {
            if (colour[c] == 255 ? pixel[c] < 200 : pixel[c] > 60) return false;
        }
        return true;
    };
    for (int k = 0; k < 2; ++k) {
        const cv::Vec3b expected = k == 0 ? cv::Vec3b(0, 0, 255) : cv::Vec3b(0, 255, 0);
        for (int p = 0; p < 3; ++p) {
            const int x = static_cast<int>(g_QrDecodedData.dXY_FP[k][p]);
            const int y = static_cast<int>(g_QrDecodedData.dXY_FP[k][4 + p]);
            EXPECT_TRUE(looksLike(colour.at<cv::Vec3b>(y - 20, x), expected));
            EXPECT_TRUE(looksLike(colour.at<cv::Vec3b>(y, x + 20), expected));
            EXPECT_TRUE(looksLike(colour.at<cv::Vec3b>(y + 24, x), expected));
            EXPECT_FALSE(looksLike(colour.at<cv::Vec3b>(y + 30, x), expected));
        }
    }
    cv::Mat grey = picture.clone();
    markFoundSymbols(grey);
    EXPECT_EQ(cv::norm(grey, picture, cv::NORM_INF), 0.0);
}
