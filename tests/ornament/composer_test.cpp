// The ornament composer: dot shapes, the redrawn symbol with its module mask, the placing of a
// picture and the symbol, and the saved file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "engine/velmora_engine.h"
#include "ornament/blend_types.h"
#include "ornament/canvas_grey.h"
#include "ornament/dot_shape.h"
#include "ornament/mixture_bounds.h"
#include "ornament/ornament_check.h"
#include "ornament/ornament_composer.h"
#include "ornament/ornament_file.h"
#include "ornament/symbol_drawing.h"
#include "ornament/symbol_levels.h"
#include "tests/codecs/full_disk.h"

namespace velmora {
namespace {

// Encodes text at level H, at the given version (0: the smallest that fits).
void encode(const char* text, int version = 0) {
    int v = version, mask = -1;
    ASSERT_EQ(QR_Encode_Matrix(3, &v, 1, &mask, text, 0, nullptr), 1);
}

// The pixels of the pattern's top-left s x s part that are dark, as a string of rows.
std::string dotPicture(int type, int s) {
    DotPattern pattern;
    DotShape(type, s, pattern);
    std::string out;
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) out += pattern[y][x] == kPatternDark ? '#' : '.';
        out += '/';
    }
    return out;
}

int darkOutsideModule(int type, int s) {
    DotPattern pattern;
    DotShape(type, s, pattern);
    int count = 0;
    for (int y = 0; y < kDotPatternSide; ++y)
        for (int x = 0; x < kDotPatternSide; ++x)
            if ((x >= s || y >= s) && pattern[y][x] == kPatternDark) ++count;
    return count;
}

TEST(DotShapeDraws, SmallSquaresAndDotsSitInTheMiddle) {
    EXPECT_EQ(dotPicture(kDotSmallSquare, 5), "...../.###./.###./.###./...../");
    EXPECT_EQ(dotPicture(kDotSmallSquare, 10),
              "........../........../..######../..######../..######../..######../..######../..######../"
              "........../........../");
    EXPECT_EQ(dotPicture(kDotSmallDot, 6), "....../....../..##../..##../....../....../");
    EXPECT_EQ(dotPicture(kDotSmallDot, 3), ".../.#./.../");
    EXPECT_EQ(dotPicture(kDotSquare, 3), "###/###/###/");
    EXPECT_EQ(dotPicture(17, 2), "##/##/") << "unknown types draw squares";
}

TEST(DotShapeDraws, TheSmallestScales) {
    for (int type = 0; type <= 4; ++type) EXPECT_EQ(dotPicture(type, 1), "#/") << type;
    EXPECT_EQ(dotPicture(kDotRound, 2), "##/##/");
    EXPECT_EQ(dotPicture(kDotSmallSquare, 2), "##/##/");
    EXPECT_EQ(dotPicture(kDotSmallDot, 2), "##/##/");
    EXPECT_EQ(dotPicture(kDotDiamond, 2), "#./#./") << "the diamond covers only its left column";
    EXPECT_EQ(dotPicture(kDotRound, 4), "####/####/####/####/");
}

TEST(DotShapeDraws, RoundAndDiamondShapes) {
    // Radius a quarter of ten about the middle (4.5, 4.5), points rounded half up: columns and
    // rows 2 to 7.
    EXPECT_EQ(dotPicture(kDotRound, 10),
              "........../........../...####.../..######../..######../..######../..######../...####.../"
              "........../........../");
    EXPECT_EQ(dotPicture(kDotDiamond, 5), "..#../.###./#####/.###./..#../");
    for (int type = 0; type <= 4; ++type)
        for (int s = 1; s <= 40; ++s) ASSERT_EQ(darkOutsideModule(type, s), 0) << type << " at " << s;
}

TEST(SymbolDrawing, VersionOneAtScaleFiveWithSmallSquares) {
    encode("Test\r\n");
    ASSERT_EQ(g_QrEncodedData.iEncoded_WH, 21);
    cv::Mat image, classes;
    ASSERT_TRUE(DrawSymbolImage(g_QrEncodedData, {5, kDotSquare, kDotSmallSquare, true}, image, classes));
    ASSERT_EQ(image.size(), cv::Size(115, 115));
    ASSERT_EQ(classes.size(), cv::Size(115, 115));
    for (int y = 0; y < 115; ++y)
        for (int x = 0; x < 115; ++x) {
            const int j = y / 5 - 1, k = x / 5 - 1, dy = y % 5, dx = x % 5;
            int expected = 255;
            if (j >= 0 && j < 21 && k >= 0 && k < 21 && g_QrEncodedData.byEncoded_Data[j][k] == 0) {
                const bool corner = (j <= 7 && k < 8) || (j >= 13 && k < 8) || (j <= 7 && k >= 13);
                expected = corner || (dx >= 1 && dx <= 3 && dy >= 1 && dy <= 3) ? 0 : 255;
            }
            ASSERT_EQ(image.at<uint8_t>(y, x), expected) << x << "," << y;
            const bool cornerSquare = (x < 45 && y < 45) || (x >= 70 && y < 45) || (x < 45 && y >= 70);
            int expectedClass = kClassOther;
            if (cornerSquare) expectedClass = kClassProtected;
            else if (j >= 0 && j < 21 && k >= 0 && k < 21 && dx >= 1 && dx <= 3 && dy >= 1 && dy <= 3)
                expectedClass = kClassDot;
            ASSERT_EQ(classes.at<uint8_t>(y, x), expectedClass) << x << "," << y;
        }
}

TEST(SymbolDrawing, AlignmentPatternsAreProtectedOnRequest) {
    encode("alignment", 7);
    ASSERT_EQ(g_QrEncodedData.iEncoded_WH, 45);
    cv::Mat image, classes, plainImage, plainClasses;
    ASSERT_TRUE(DrawSymbolImage(g_QrEncodedData, {3, kDotSquare, kDotRound, true}, image, classes));
    ASSERT_TRUE(DrawSymbolImage(g_QrEncodedData, {3, kDotSquare, kDotRound, false}, plainImage, plainClasses));
    auto moduleClass = [](const cv::Mat& m, int row, int column) { return m.at<uint8_t>((row + 1) * 3 + 1, (column + 1) * 3 + 1); };
    // Version 7: patterns at 6, 22 and 38, except the three that would meet the finder corners.
    const int centres[][2] = {{6, 22}, {22, 6}, {22, 22}, {22, 38}, {38, 22}, {38, 38}};
    for (const auto& c : centres)
        for (int dj = -2; dj <= 2; ++dj)
            for (int dk = -2; dk <= 2; ++dk) {
                EXPECT_EQ(moduleClass(classes, c[0] + dj, c[1] + dk), kClassProtected) << c[0] << "," << c[1];
                EXPECT_NE(moduleClass(plainClasses, c[0] + dj, c[1] + dk), kClassProtected) << c[0] << "," << c[1];
            }
    // Outside the patterns every module, light or dark, is marked by the data dot's shape.
    EXPECT_EQ(moduleClass(classes, 6, 30), kClassDot) << "timing pattern, light module";
    EXPECT_EQ(moduleClass(classes, 6, 31), kClassDot) << "timing pattern, dark module";
    // Protected dark modules are full squares, the others round dots (at scale 3 the same).
    cv::Mat bigImage, bigClasses;
    ASSERT_TRUE(DrawSymbolImage(g_QrEncodedData, {10, kDotSquare, kDotSmallDot, true}, bigImage, bigClasses));
    EXPECT_EQ(bigImage.at<uint8_t>(23 * 10, 23 * 10), 0) << "corner pixel of the dark middle of (22, 22)";
}

TEST(SymbolDrawing, RefusesRecordsWithoutASymbol) {
    C_QrEncodedData empty{};
    cv::Mat image, classes;
    EXPECT_FALSE(DrawSymbolImage(empty, {5, 0, 3, true}, image, classes));
    encode("x");
    EXPECT_FALSE(DrawSymbolImage(g_QrEncodedData, {41, 0, 3, true}, image, classes));
    EXPECT_FALSE(DrawSymbolImage(g_QrEncodedData, {0, 0, 3, true}, image, classes));
    EXPECT_TRUE(image.empty());
    OrnamentComposer composer;
    EXPECT_EQ(composer.Compose(empty, {}), -1);
}

cv::Mat solidPicture(int width, int height, cv::Vec3b colour) {
    return cv::Mat(height, width, CV_8UC3, cv::Scalar(colour[0], colour[1], colour[2]));
}

cv::Mat gradientPicture(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.at<cv::Vec3b>(y, x) = {static_cast<uint8_t>(40 + x * 150 / width), static_cast<uint8_t>(60 + y * 120 / height), 90};
    return picture;
}

cv::Mat greyCopy(const cv::Mat& picture) {
    cv::Mat grey(picture.rows, picture.cols, CV_8UC1);
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x) {
            const cv::Vec3b p = picture.at<cv::Vec3b>(y, x);
            grey.at<uint8_t>(y, x) = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
        }
    return grey;
}

TEST(ComposerPlaces, WithoutAPictureTheCanvasIsTheSymbolInBlackAndWhite) {
    encode("Test\r\n");
    OrnamentComposer composer;
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    ASSERT_EQ(composer.canvas().size(), cv::Size(115, 115));
    EXPECT_EQ(composer.lightLevel(), 255);
    EXPECT_EQ(composer.darkLevel(), 0);
    for (int y = 0; y < 115; ++y)
        for (int x = 0; x < 115; ++x) {
            const uint8_t v = composer.symbolImage().at<uint8_t>(y, x);
            ASSERT_EQ(composer.canvas().at<cv::Vec3b>(y, x), cv::Vec3b(v, v, v)) << x << "," << y;
        }
}

TEST(ComposerPlaces, SmallPictureCentredInTheSymbol) {
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Mat picture = gradientPicture(50, 50);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    EXPECT_TRUE(composer.recentred());
    EXPECT_FALSE(composer.bigPicture());
    EXPECT_TRUE(composer.framingApplies());
    EXPECT_EQ(composer.canvas().size(), cv::Size(115, 115));
    EXPECT_EQ(composer.pictureRect().left, 32);
    EXPECT_EQ(composer.pictureRect().top, 32);
    EXPECT_EQ(composer.movableRange().x, 65);
    EXPECT_EQ(composer.movableRange().y, 65);
    EXPECT_EQ(composer.symbolRect().left, 0);
    // The levels are the picture's brightest and darkest grey, 151 and 63, moved apart about
    // their middle as they lie closer than kMinLevelGap.
    double darkest, brightest;
    cv::minMaxLoc(greyCopy(picture), &darkest, &brightest);
    ASSERT_EQ(brightest, 151);
    ASSERT_EQ(darkest, 63);
    EXPECT_EQ(composer.lightLevel(), 107 + 64);
    EXPECT_EQ(composer.darkLevel(), 107 - 64);
}

TEST(ComposerPlaces, LargePictureUnderTheSymbol) {
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Mat picture = gradientPicture(300, 200);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    EXPECT_TRUE(composer.bigPicture());
    EXPECT_FALSE(composer.framingApplies());
    EXPECT_EQ(composer.canvas().size(), cv::Size(300, 200));
    EXPECT_EQ(composer.pictureRect().left, 0);
    EXPECT_EQ(composer.pictureRect().top, 0);
    EXPECT_EQ(composer.symbolRect().left, 92);
    EXPECT_EQ(composer.symbolRect().top, 42);
    EXPECT_EQ(composer.movableRange().x, 185);
    EXPECT_EQ(composer.movableRange().y, 85);
    // Around the symbol the picture is untouched.
    EXPECT_EQ(composer.canvas().at<cv::Vec3b>(10, 10), picture.at<cv::Vec3b>(10, 10));
    EXPECT_EQ(composer.canvas().at<cv::Vec3b>(190, 290), picture.at<cv::Vec3b>(190, 290));
}

TEST(ComposerPlaces, DotTypeKeepsThePlaceAndScaleCentresAgain) {
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Mat picture = gradientPicture(300, 200);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    OrnamentSettings settings;
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    composer.moveTo(10, 20);
    settings.style.dataDotType = kDotRound;
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    EXPECT_FALSE(composer.recentred());
    EXPECT_EQ(composer.symbolRect().left, 10);
    EXPECT_EQ(composer.symbolRect().top, 20);
    settings.style.scale = 6;  // 138 x 138
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    EXPECT_TRUE(composer.recentred());
    EXPECT_EQ(composer.symbolRect().left, 81);
    EXPECT_EQ(composer.symbolRect().top, 31);
    // A place beyond the range is held to it.
    composer.moveTo(1000, -5);
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    EXPECT_EQ(composer.symbolRect().left, 300 - 138);
    EXPECT_EQ(composer.symbolRect().top, 0);
    composer.requestRecentre();
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    EXPECT_EQ(composer.symbolRect().left, 81);
}

TEST(ComposerPlaces, DroppingAMovedPictureBringsTheSymbolBack) {
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Mat picture = gradientPicture(300, 200);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    composer.moveTo(185, 85);
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    composer.clearPicture();
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    EXPECT_EQ(composer.canvas().size(), cv::Size(115, 115));
    EXPECT_EQ(composer.symbolRect().left, 0);
    EXPECT_EQ(composer.symbolRect().top, 0);
    EXPECT_EQ(composer.canvas().at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(composer.canvas().at<cv::Vec3b>(7, 7), cv::Vec3b(0, 0, 0));
}

TEST(ComposerPlaces, CoverHidesTheFinderCornerUnderThePicture) {
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Vec3b colour{20, 200, 120};
    const cv::Mat picture = solidPicture(40, 40, colour);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    OrnamentSettings settings;
    settings.mixType = kMixCover;
    settings.framing.shape = kShapeNone;
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    composer.moveTo(0, 0);
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(composer.canvas().at<cv::Vec3b>(y, x), colour) << x << "," << y;
    EXPECT_NE(composer.canvas().at<cv::Vec3b>(42, 42), colour);
    EXPECT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    EXPECT_FALSE(composer.setPicture(picture, cv::Mat(3, 3, CV_8UC1))) << "sizes differ";
}

TEST(ComposerLevels, PicturesWithLittleContrastGetLevelsHeldApart) {
    const struct {
        int brightest, darkest, light, dark;
        bool heldApart;
    } cases[] = {
        {255, 0, 255, 0, false},   {180, 52, 180, 52, false},  {200, 200, 255, 127, true},
        {0, 0, 128, 0, true},      {140, 100, 184, 56, true},  {255, 250, 255, 127, true},
        {128, 128, 192, 64, true}, {-5, 300, 128, 0, true},
    };
    for (const auto& c : cases) {
        const SymbolLevels levels = symbolLevelsFor(c.brightest, c.darkest);
        EXPECT_EQ(levels.light, c.light) << c.brightest << "/" << c.darkest;
        EXPECT_EQ(levels.dark, c.dark) << c.brightest << "/" << c.darkest;
        EXPECT_EQ(levels.heldApart, c.heldApart) << c.brightest << "/" << c.darkest;
    }
}

// A one-colour picture, inside the symbol or under it, in either mix, once wiped the symbol to
// one grey; now it reads back.
TEST(ComposerLevels, OneColourPicturesStillScan) {
    encode("Test\r\n");
    for (const cv::Vec3b& colour : {cv::Vec3b{0, 0, 0}, cv::Vec3b{128, 128, 128}, cv::Vec3b{255, 255, 255},
                                   cv::Vec3b{40, 200, 230}})
        for (const int side : {40, 300})
            for (const int mix : {kMixCover, kMixMixture}) {
                OrnamentComposer composer;
                const cv::Mat picture = solidPicture(side, side, colour);
                ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
                OrnamentSettings settings;
                settings.mixType = mix;
                ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
                EXPECT_TRUE(composer.levelsHeldApart());
                EXPECT_GE(composer.lightLevel() - composer.darkLevel(), kMinLevelGap);
                EXPECT_TRUE(ornamentScans(composer, 5))
                    << "colour " << colour << " side " << side << " mix " << mix;
            }
    OrnamentComposer contrasty;
    cv::Mat picture = solidPicture(40, 40, {20, 20, 20});
    picture(cv::Rect(0, 0, 20, 40)).setTo(cv::Scalar(230, 230, 230));
    ASSERT_TRUE(contrasty.setPicture(picture, greyCopy(picture)));
    EXPECT_FALSE(contrasty.levelsHeldApart());
}

// A dark picture with some detail over the top-left finder in mixture: the threshold sees the
// picture, and the finder's light ring and the separator under it are lifted towards 1.3 T
// rather than left as dark as the picture.
TEST(ComposerMixture, ProtectedLightModulesAreRelitUnderADarkPicture) {
    encode("Test\r\n");
    cv::Mat picture(45, 45, CV_8UC3);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 45; ++x)
            picture.at<cv::Vec3b>(y, x) = {uint8_t(20 + x), uint8_t(30 + 20 * std::sin(std::hypot(x - 18, y - 27) / 4)),
                                           uint8_t(70 - y)};
    OrnamentComposer composer;
    const cv::Mat pictureGrey = greyCopy(picture);
    ASSERT_TRUE(composer.setPicture(picture, pictureGrey));
    OrnamentSettings settings;
    settings.framing.shape = kShapeNone;
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    composer.moveTo(0, 0);
    ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
    const int threshold = composer.threshold();
    EXPECT_GT(threshold, composer.darkLevel() + 10) << "the threshold sees the picture";
    const cv::Mat grey = CanvasGrey(composer.canvas());
    int ringPixels = 0, lifted = 0;
    // Modules (column, row) of the finder's light ring and of the separator, at scale 5 after the
    // one-module margin.
    for (const cv::Point module : {cv::Point(1, 1), cv::Point(3, 1), cv::Point(1, 5), cv::Point(5, 3), cv::Point(7, 3)})
        for (int dy = 0; dy < 5; ++dy)
            for (int dx = 0; dx < 5; ++dx) {
                const int x = (module.x + 1) * 5 + dx, y = (module.y + 1) * 5 + dy;
                ASSERT_EQ(composer.moduleClassMask().at<uint8_t>(y, x), kClassProtected);
                const int before = canvasGreyOf(picture.at<cv::Vec3b>(y, x)[0], picture.at<cv::Vec3b>(y, x)[1],
                                                picture.at<cv::Vec3b>(y, x)[2]);
                EXPECT_GE(grey.at<uint8_t>(y, x) + 2, before) << "module " << module << " pixel " << x << "," << y;
                ++ringPixels;
                lifted += grey.at<uint8_t>(y, x) >= before + 8;
            }
    EXPECT_GT(lifted, ringPixels * 3 / 4) << lifted << " of " << ringPixels << " lifted";
    EXPECT_TRUE(ornamentScans(composer, 5));
}

// The check reads what a camera would see; a picture that hides the symbol is caught, and the
// caller's last decode survives the check.
TEST(OrnamentReadBack, TellsAHiddenSymbolAndKeepsTheLastDecode) {
    encode("Test\r\n");
    g_QrDecodedData.nParsedNums = 3;
    g_QrDecodedData.nVersion[2] = 17;
    const struct {
        const char* what;
        int side;
        int mix;
        bool scans;
    } cases[] = {
        {"no picture", 0, kMixMixture, true},
        {"small picture in mixture", 30, kMixMixture, true},
        {"picture covering the symbol", 105, kMixCover, false},
        {"picture under the symbol", 400, kMixMixture, true},
    };
    for (const auto& c : cases) {
        OrnamentComposer composer;
        if (c.side > 0) {
            cv::Mat picture = solidPicture(c.side, c.side, {200, 120, 40});
            picture(cv::Rect(0, 0, c.side / 2, c.side)).setTo(cv::Scalar(10, 30, 60));
            ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
        }
        OrnamentSettings settings;
        settings.mixType = c.mix;
        settings.framing.shape = kShapeNone;
        ASSERT_EQ(composer.Compose(g_QrEncodedData, settings), 1);
        EXPECT_EQ(ornamentScans(composer, 5), c.scans) << c.what;
        EXPECT_EQ(g_QrDecodedData.nParsedNums, 3) << c.what;
        EXPECT_EQ(g_QrDecodedData.nVersion[2], 17) << c.what;
    }
}

// Reads the whole file.
std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(OrnamentFileSaves, TheFormatTheNameAsksFor) {
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Mat picture = gradientPicture(40, 30);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    const cv::Mat& canvas = composer.canvas();
    const std::string base = ::testing::TempDir() + "ornament_save_test";
    std::string error;

    ASSERT_TRUE(saveOrnamentPicture(canvas, base + ".PNG", error)) << error;
    std::vector<unsigned char> bytes = fileBytes(base + ".PNG");
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_EQ(cv::norm(cv::imread(base + ".PNG"), canvas, cv::NORM_INF), 0.0);

    ASSERT_TRUE(saveOrnamentPicture(canvas, base + ".jpeg", error)) << error;
    bytes = fileBytes(base + ".jpeg");
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);

    const std::string bmp = withDefaultExtension(base);
    EXPECT_EQ(bmp, base + ".bmp");
    ASSERT_TRUE(saveOrnamentPicture(canvas, bmp, error)) << error;
    bytes = fileBytes(bmp);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(bytes[28], 24) << "24 bits per pixel";
    EXPECT_EQ(cv::norm(cv::imread(bmp), canvas, cv::NORM_INF), 0.0);

    ASSERT_TRUE(saveOrnamentPicture(canvas, base + ".gif", error)) << error;
    bytes = fileBytes(base + ".gif");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 'B') << "other extensions get a bitmap";

    EXPECT_EQ(withDefaultExtension("/tmp/a.dir/name"), "/tmp/a.dir/name.bmp");
    EXPECT_EQ(withDefaultExtension("name.png"), "name.png");
    EXPECT_FALSE(saveOrnamentPicture(canvas, "/nonexistent-dir/x.png", error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos) << error;
    for (const char* ext : {".PNG", ".jpeg", ".bmp", ".gif"}) std::remove((base + ext).c_str());
}

TEST(OrnamentFileSaves, AFullDiskKeepsTheOrnamentSavedBefore) {
    test::FullDisk disk;
    if (!disk.ready()) GTEST_SKIP() << disk.reason();
    encode("Test\r\n");
    OrnamentComposer composer;
    const cv::Mat picture = gradientPicture(200, 200);
    ASSERT_TRUE(composer.setPicture(picture, greyCopy(picture)));
    ASSERT_EQ(composer.Compose(g_QrEncodedData, {}), 1);
    for (const char* name : {"ornament.png", "ornament.jpg", "ornament.bmp"}) {
        std::ofstream(disk.path(name), std::ios::binary) << "saved before";
    }
    ASSERT_TRUE(disk.fill());
    const std::vector<std::string> names = disk.names();
    for (const char* name : {"ornament.png", "ornament.jpg", "ornament.bmp"}) {
        std::string error;
        EXPECT_FALSE(saveOrnamentPicture(composer.canvas(), disk.path(name), error)) << name;
        EXPECT_EQ(error, disk.path(name) + ": No space left on device");
        const std::vector<unsigned char> bytes = fileBytes(disk.path(name));
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "saved before") << name;
        EXPECT_EQ(disk.names(), names) << name;
    }
}

}  // namespace
}  // namespace velmora
