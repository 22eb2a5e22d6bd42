// How a file's type is chosen, how bitmaps of every depth become the colour or grey image asked
// for, and how transparency and 16-bit samples are brought to 8-bit pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "codecs/bitmap.h"
#include "codecs/bmp_writer.h"
#include "engine/image/picture_loading.h"
#include "picture_test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

const std::string kText = "https://example.org/velmora?depth=all";

cv::Mat bgrOf(const cv::Mat& grey) {
    cv::Mat bgr;
    cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
    return bgr;
}

// The colour an 8-bit sample takes over white through alpha, rounded.
uint8_t overWhite(double sample, double alpha, double full) {
    const double shown = (sample * alpha + full * (full - alpha)) / full;
    return static_cast<uint8_t>(std::lround(shown * 255.0 / full));
}

TEST(LoaderChoosesTypeByExtension, UsesUpToThreeLettersAfterTheLastDot) {
    EXPECT_EQ(pictureTypeOfPath("code.png"), PictureType::Png);
    EXPECT_EQ(pictureTypeOfPath("PHOTO.JPEG"), PictureType::Jpeg);
    EXPECT_EQ(pictureTypeOfPath("scan.tiff"), PictureType::Tiff);
    EXPECT_EQ(pictureTypeOfPath("phone.wbmp"), PictureType::Wbmp);
    EXPECT_EQ(pictureTypeOfPath("a.b/picture.Jp2"), PictureType::Jpeg2000File);
    EXPECT_EQ(pictureTypeOfPath("stream.j2c"), PictureType::Jpeg2000Stream);
    EXPECT_EQ(pictureTypeOfPath("pointer.CUR"), PictureType::Icon);
    EXPECT_EQ(pictureTypeOfPath("old.ska"), PictureType::Ska);
    EXPECT_EQ(pictureTypeOfPath("notes.txt"), std::nullopt);
    EXPECT_EQ(pictureTypeOfPath("no-extension"), std::nullopt);
    // Only the letters count, even when the last '.' is a folder's.
    EXPECT_EQ(pictureTypeOfPath("folder.png/picture"), PictureType::Png);
    EXPECT_EQ(pictureTypeOfPath("folder.v2/picture"), std::nullopt);
    EXPECT_EQ(pictureTypeOfPath("trailing."), std::nullopt);
    EXPECT_EQ(pictureTypeOfPath("short.pn"), std::nullopt);
}

TEST(LoaderChoosesTypeByExtension, LoadsByTheLastDotOfThePath) {
    ScratchFolder folder;
    const cv::Mat symbol = symbolPicture(kText, 2);
    std::filesystem::create_directory(folder.path("pictures.v2"));
    ASSERT_TRUE(cv::imwrite(folder.path("pictures.v2/code.png"), symbol));
    const Loaded loaded = load(folder.path("pictures.v2/code.png"), false);
    ASSERT_EQ(loaded.result, 1) << loaded.reason;
    EXPECT_EQ(maxDifference(loaded.image, symbol), 0);

    ASSERT_TRUE(cv::imwrite(folder.path("PHOTO.jpg"), bgrOf(symbol)));
    std::filesystem::rename(folder.path("PHOTO.jpg"), folder.path("PHOTO.JPEG"));
    std::filesystem::copy_file(folder.path("PHOTO.JPEG"), folder.path("photo.jpeg"));
    ASSERT_TRUE(cv::imwrite(folder.path("scan.tif"), symbol));
    std::filesystem::rename(folder.path("scan.tif"), folder.path("scan.tiff"));
    ASSERT_TRUE(cv::imwrite(folder.path("symbol.jp2"), symbol));
    for (const char* name : {"PHOTO.JPEG", "photo.jpeg", "scan.tiff", "symbol.jp2"}) {
        const Loaded colour = load(folder.path(name), true);
        EXPECT_EQ(colour.result, 1) << name << ": " << colour.reason;
        EXPECT_EQ(colour.image.size(), symbol.size()) << name;
    }
}

TEST(LoaderChoosesTypeByExtension, UnknownLettersFailWithNoImage) {
    ScratchFolder folder;
    ASSERT_TRUE(cv::imwrite(folder.path("code.png"), symbolPicture(kText, 1)));
    std::filesystem::copy_file(folder.path("code.png"), folder.path("code.txt"));
    std::filesystem::copy_file(folder.path("code.png"), folder.path("code"));
    for (const char* name : {"code.txt", "code"}) {
        cv::Mat image(5, 5, CV_8UC3);  // whatever the caller held before is dropped
        std::string reason;
        EXPECT_EQ(loadPictureFile(folder.path(name), image, kLoadColour, &reason), -1) << name;
        EXPECT_TRUE(image.empty()) << name;
        EXPECT_NE(reason.find("unknown file type"), std::string::npos) << reason;
    }
}

TEST(LoaderChoosesTypeByExtension, ContentOfAnotherTypeIsRefusedWithAReason) {
    ScratchFolder folder;
    const cv::Mat symbol = symbolPicture(kText, 1);
    ASSERT_TRUE(cv::imwrite(folder.path("code.png"), symbol));
    // OpenCV recognises its own kinds by content, so a PNG named .bmp still loads...
    std::filesystem::copy_file(folder.path("code.png"), folder.path("misnamed.bmp"));
    const Loaded misnamed = load(folder.path("misnamed.bmp"), false);
    EXPECT_EQ(misnamed.result, 1) << misnamed.reason;
    // ...while our own readers know their own layouts only.
    for (const char* name : {"code.pcx", "code.gif", "code.ras", "code.ska", "code.wmf"}) {
        std::filesystem::copy_file(folder.path("code.png"), folder.path(name));
        const Loaded loaded = load(folder.path(name), true);
        EXPECT_EQ(loaded.result, -1) << name;
        EXPECT_TRUE(loaded.image.empty());
        EXPECT_FALSE(loaded.reason.empty()) << name;
    }
}

TEST(LoaderConvertsDepth, OneBitBitmapBecomesBlackAndWhiteGrey) {
    ScratchFolder folder;
    const cv::Mat symbol = symbolPicture(kText, 3);
    std::string error;
    ASSERT_TRUE(writeBmp1(folder.path("symbol.bmp"), symbol.data, symbol.cols, symbol.rows,
                          static_cast<int>(symbol.step), error))
        << error;
    const Loaded grey = load(folder.path("symbol.bmp"), false);
    ASSERT_EQ(grey.result, 1) << grey.reason;
    EXPECT_EQ(maxDifference(grey.image, symbol), 0);
    EXPECT_EQ(cv::countNonZero(grey.image == 0) + cv::countNonZero(grey.image == 255), symbol.rows * symbol.cols);
    const Loaded colour = load(folder.path("symbol.bmp"), true);
    ASSERT_EQ(colour.result, 1) << colour.reason;
    EXPECT_EQ(maxDifference(colour.image, bgrOf(symbol)), 0);
}

TEST(LoaderConvertsDepth, EightBitGreyIsCopiedUnchanged) {
    ScratchFolder folder;
    cv::Mat levels(40, 256, CV_8UC1);
    for (int y = 0; y < levels.rows; ++y) {
        for (int x = 0; x < levels.cols; ++x) levels.at<uint8_t>(y, x) = static_cast<uint8_t>((x + y * 3) % 256);
    }
    ASSERT_TRUE(cv::imwrite(folder.path("levels.bmp"), levels));
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.load(folder.path("levels.bmp"), PictureType::Bmp)) << bitmap.failureReason();
    EXPECT_EQ(bitmap.bitsPerPixel(), 8);
    EXPECT_TRUE(bitmap.hasGreyPalette());
    const Loaded grey = load(folder.path("levels.bmp"), false);
    ASSERT_EQ(grey.result, 1) << grey.reason;
    EXPECT_EQ(maxDifference(grey.image, levels), 0);
}

TEST(LoaderConvertsDepth, PaletteBitmapsAreRaisedToColour) {
    if (!haveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    ScratchFolder folder;
    const cv::Mat coloured = colouredSymbol(kText, 2);
    struct Case {
        cv::Mat picture;
        const char* options;
        int bits;
    };
    for (const Case& c : {Case{coloured, "-type palette -colors 2", 1}, Case{paletteColours(48, 32), "-type palette", 8}}) {
        const std::string source = folder.path("source.png");
        const std::string target = folder.path("palette" + std::to_string(c.bits) + ".bmp");
        cv::imwrite(source, c.picture);
        ASSERT_TRUE(convert(source + " " + c.options + " BMP3:" + target));
        const std::vector<uint8_t> file = readFile(target);
        ASSERT_GT(file.size(), 30u);
        EXPECT_EQ(file[28], c.bits) << "ImageMagick wrote another depth";
        const Loaded colour = load(target, true);
        ASSERT_EQ(colour.result, 1) << colour.reason;
        EXPECT_EQ(maxDifference(colour.image, c.picture), 0) << c.bits << "-bit";
    }
    // Sixteen colours make a 4-bit bitmap.
    cv::Mat four(32, 48, CV_8UC3);
    for (int y = 0; y < four.rows; ++y) {
        for (int x = 0; x < four.cols; ++x) {
            const int i = (x / 3 + y / 2) % 16;
            four.at<cv::Vec3b>(y, x) = cv::Vec3b(uint8_t(i * 16), uint8_t(255 - i * 8), uint8_t(i % 4 * 60));
        }
    }
    cv::imwrite(folder.path("four.png"), four);
    ASSERT_TRUE(convert(folder.path("four.png") + " -type palette BMP3:" + folder.path("four.bmp")));
    EXPECT_EQ(readFile(folder.path("four.bmp"))[28], 4);
    const Loaded colour = load(folder.path("four.bmp"), true);
    ASSERT_EQ(colour.result, 1) << colour.reason;
    EXPECT_EQ(maxDifference(colour.image, four), 0);
}

TEST(LoaderConvertsDepth, BitmapRaisesIndexedPicturesAndNeverLowersDeepOnes) {
    ScratchFolder folder;
    const cv::Mat symbol = symbolPicture(kText, 1);
    // WBMP is read as a 1-bit bitmap with a black and white palette.
    ASSERT_LT(symbol.cols, 128);
    writeFile(folder.path("mono.wbmp"), wbmpFile(symbol));
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.load(folder.path("mono.wbmp"), PictureType::Wbmp)) << bitmap.failureReason();
    EXPECT_EQ(bitmap.bitsPerPixel(), 1);
    ASSERT_EQ(bitmap.palette().size(), 2u);
    EXPECT_FALSE(bitmap.hasGreyPalette());
    ASSERT_TRUE(bitmap.raiseTo24Bits());
    EXPECT_EQ(bitmap.bitsPerPixel(), 24);
    EXPECT_FALSE(bitmap.hasPalette());
    // Bottom row first: bitmap row 0 is the picture's last row.
    const uint8_t* bottom = bitmap.row(0);
    for (int x = 0; x < symbol.cols; ++x) EXPECT_EQ(bottom[3 * x], symbol.at<uint8_t>(symbol.rows - 1, x));

    cv::Mat translucent(8, 8, CV_8UC4, cv::Scalar(10, 20, 30, 128));
    ASSERT_TRUE(cv::imwrite(folder.path("translucent.png"), translucent));
    ASSERT_TRUE(bitmap.load(folder.path("translucent.png"), PictureType::Png)) << bitmap.failureReason();
    EXPECT_EQ(bitmap.bitsPerPixel(), 32);
    EXPECT_FALSE(bitmap.raiseTo24Bits());
    EXPECT_EQ(bitmap.bitsPerPixel(), 32);
    ASSERT_TRUE(bitmap.flattenTo24Bits());
    EXPECT_EQ(bitmap.bitsPerPixel(), 24);
    EXPECT_EQ(bitmap.row(3)[0], overWhite(10, 128, 255));
}

// A symbol drawn dark on a transparent background: its transparent pixels hold black, so
// ignoring alpha would show black on black.
TEST(LoaderFlattensDeepBitmaps, TransparentBackgroundShowsWhite) {
    ScratchFolder folder;
    const cv::Mat symbol = symbolPicture(kText, 2);
    cv::Mat rgba(symbol.size(), CV_8UC4, cv::Scalar(0, 0, 0, 0));
    rgba.setTo(cv::Scalar(0, 0, 0, 255), symbol == 0);
    ASSERT_TRUE(cv::imwrite(folder.path("transparent.png"), rgba));
    const Loaded colour = load(folder.path("transparent.png"), true);
    ASSERT_EQ(colour.result, 1) << colour.reason;
    EXPECT_EQ(maxDifference(colour.image, bgrOf(symbol)), 0);
    const Loaded grey = load(folder.path("transparent.png"), false);
    ASSERT_EQ(grey.result, 1) << grey.reason;
    EXPECT_EQ(maxDifference(grey.image, symbol), 0);
}

TEST(LoaderFlattensDeepBitmaps, PartialAlphaIsCompositedOverWhite) {
    ScratchFolder folder;
    const cv::Mat gradient = colourGradient(64, 48);
    cv::Mat rgba(gradient.size(), CV_8UC4);
    cv::Mat expected(gradient.size(), CV_8UC3);
    for (int y = 0; y < rgba.rows; ++y) {
        for (int x = 0; x < rgba.cols; ++x) {
            const cv::Vec3b c = gradient.at<cv::Vec3b>(y, x);
            const int alpha = (x * 4 + y) % 256;
            rgba.at<cv::Vec4b>(y, x) = cv::Vec4b(c[0], c[1], c[2], static_cast<uint8_t>(alpha));
            for (int k = 0; k < 3; ++k) expected.at<cv::Vec3b>(y, x)[k] = overWhite(c[k], alpha, 255);
        }
    }
    ASSERT_TRUE(cv::imwrite(folder.path("alpha.png"), rgba));
    const Loaded colour = load(folder.path("alpha.png"), true);
    ASSERT_EQ(colour.result, 1) << colour.reason;
    EXPECT_EQ(maxDifference(colour.image, expected), 0);
    const Loaded grey = load(folder.path("alpha.png"), false);
    ASSERT_EQ(grey.result, 1) << grey.reason;
    EXPECT_EQ(maxDifference(grey.image, greyOf(expected)), 0);

    if (!haveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    ASSERT_TRUE(convert(folder.path("alpha.png") + " -orient TopLeft " + folder.path("alpha.tga")));
    const Loaded targa = load(folder.path("alpha.tga"), true);
    ASSERT_EQ(targa.result, 1) << targa.reason;
    EXPECT_EQ(maxDifference(targa.image, expected), 0);
}

TEST(LoaderFlattensDeepBitmaps, SixteenBitSamplesRoundToEightBits) {
    ScratchFolder folder;
    cv::Mat deep(30, 70, CV_16UC4);
    cv::Mat expectedOpaque(deep.size(), CV_8UC3);
    cv::Mat expectedAlpha(deep.size(), CV_8UC3);
    for (int y = 0; y < deep.rows; ++y) {
        for (int x = 0; x < deep.cols; ++x) {
            const cv::Vec4w v(static_cast<uint16_t>(x * 937 + y * 11), static_cast<uint16_t>(65535 - x * 900),
                              static_cast<uint16_t>(y * 2100 + 129), static_cast<uint16_t>(x * 930 + 500));
            deep.at<cv::Vec4w>(y, x) = v;
            for (int k = 0; k < 3; ++k) {
                expectedOpaque.at<cv::Vec3b>(y, x)[k] = static_cast<uint8_t>(std::lround(v[k] / 257.0));
                expectedAlpha.at<cv::Vec3b>(y, x)[k] = overWhite(v[k], v[3], 65535);
            }
        }
    }
    cv::Mat deepColour;
    cv::cvtColor(deep, deepColour, cv::COLOR_BGRA2BGR);
    ASSERT_TRUE(cv::imwrite(folder.path("deep.png"), deepColour));
    ASSERT_TRUE(cv::imwrite(folder.path("deep-alpha.png"), deep));
    std::vector<cv::Mat> planes;
    cv::split(deep, planes);
    ASSERT_TRUE(cv::imwrite(folder.path("deep-grey.png"), planes[1]));
    cv::Mat expectedGrey;
    planes[1].convertTo(expectedGrey, CV_8U, 1 / 257.0);

    const Loaded colour = load(folder.path("deep.png"), true);
    ASSERT_EQ(colour.result, 1) << colour.reason;
    EXPECT_EQ(maxDifference(colour.image, expectedOpaque), 0);
    const Loaded alpha = load(folder.path("deep-alpha.png"), true);
    ASSERT_EQ(alpha.result, 1) << alpha.reason;
    EXPECT_LE(maxDifference(alpha.image, expectedAlpha), 1);
    const Loaded greyAlpha = load(folder.path("deep-alpha.png"), false);
    ASSERT_EQ(greyAlpha.result, 1) << greyAlpha.reason;
    EXPECT_EQ(maxDifference(greyAlpha.image, greyOf(alpha.image)), 0);
    const Loaded grey = load(folder.path("deep-grey.png"), false);
    ASSERT_EQ(grey.result, 1) << grey.reason;
    EXPECT_EQ(maxDifference(grey.image, expectedGrey), 0);
    const Loaded greyInColour = load(folder.path("deep-grey.png"), true);
    ASSERT_EQ(greyInColour.result, 1) << greyInColour.reason;
    EXPECT_EQ(maxDifference(greyInColour.image, bgrOf(expectedGrey)), 0);
}

// Many writers leave the fourth byte of 32-bit BMP pixels at zero; it is not transparency.
TEST(LoaderFlattensDeepBitmaps, ZeroAlphaOfThirtyTwoBitBmpIsOpaque) {
    ScratchFolder folder;
    const cv::Mat gradient = colourGradient(20, 10);
    std::vector<uint8_t> bmp = {'B', 'M'};
    auto put32 = [&bmp](uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t imageBytes = 20 * 10 * 4;
    put32(54 + imageBytes);
    put32(0);
    put32(54);
    put32(40);
    put32(20);
    put32(10);
    put32(1 | 32 << 16);  // planes, bits per pixel
    put32(0);             // no compression
    put32(imageBytes);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int y = gradient.rows - 1; y >= 0; --y) {
        for (int x = 0; x < gradient.cols; ++x) {
            const cv::Vec3b c = gradient.at<cv::Vec3b>(y, x);
            bmp.insert(bmp.end(), {c[0], c[1], c[2], 0});
        }
    }
    writeFile(folder.path("zero-alpha.bmp"), bmp);
    const Loaded colour = load(folder.path("zero-alpha.bmp"), true);
    ASSERT_EQ(colour.result, 1) << colour.reason;
    EXPECT_EQ(maxDifference(colour.image, gradient), 0);
}

}  // namespace
