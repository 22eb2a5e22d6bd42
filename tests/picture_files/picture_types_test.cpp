// Every supported type, written by OpenCV, by ImageMagick or by a tiny writer here, loads in
// colour and in grey with the pixels it was written with.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/image/picture_loading.h"
#include "picture_test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

const std::string kText = "Velmora picture files 0123456789";

class PictureTypes : public ::testing::Test {
protected:
    // Loads path in both modes: colour must match expected (BGR) and grey the grey of expected,
    // each within tolerance.
    void expectLoads(const std::string& path, const cv::Mat& expected, int tolerance = 0) {
        const cv::Mat expectedBgr = expected.channels() == 1 ? bgrOf(expected) : expected;
        const Loaded colour = load(path, true);
        ASSERT_EQ(colour.result, 1) << path << ": " << colour.reason;
        EXPECT_EQ(colour.image.type(), CV_8UC3);
        EXPECT_LE(maxDifference(colour.image, expectedBgr), tolerance) << path << " in colour";
        EXPECT_GE(maxDifference(colour.image, expectedBgr), 0) << path << " size " << colour.image.size();
        const Loaded grey = load(path, false);
        ASSERT_EQ(grey.result, 1) << path << ": " << grey.reason;
        EXPECT_EQ(grey.image.type(), CV_8UC1);
        const int greyDifference = maxDifference(grey.image, greyOf(expectedBgr));
        EXPECT_GE(greyDifference, 0) << path << " size " << grey.image.size();
        EXPECT_LE(greyDifference, tolerance) << path << " in grey";
    }

    // Writes source as a lossless PNG, converts it with ImageMagick into the file name (which may
    // start with ImageMagick's "FORMAT:" prefix) and returns the file's path.
    std::string magick(const cv::Mat& source, const std::string& options, const std::string& name) {
        const std::size_t colon = name.find(':');
        const std::string prefix = colon == std::string::npos ? "" : name.substr(0, colon + 1);
        const std::string target = folder.path(name.substr(prefix.size()));
        const std::string png = target + ".source.png";
        cv::imwrite(png, source);
        EXPECT_TRUE(convert(png + " " + options + " " + prefix + target)) << "convert " << options << " " << name;
        return target;
    }

    static cv::Mat bgrOf(const cv::Mat& grey) {
        cv::Mat bgr;
        cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
        return bgr;
    }

    ScratchFolder folder;
};

#define REQUIRE_CONVERT() \
    if (!haveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed"

TEST_F(PictureTypes, OpenCvWrittenFilesLoadExactly) {
    const cv::Mat gradient = colourGradient(67, 45);
    const cv::Mat symbol = symbolPicture(kText, 3);
    for (const char* name : {"gradient.bmp", "gradient.png", "gradient.tif", "gradient.ppm", "gradient.pnm"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(cv::imwrite(folder.path(name), gradient));
        expectLoads(folder.path(name), gradient);
    }
    for (const char* name : {"symbol.bmp", "symbol.png", "symbol.tif", "symbol.pgm"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(cv::imwrite(folder.path(name), symbol));
        expectLoads(folder.path(name), symbol);
    }
}

TEST_F(PictureTypes, JpegLoadsAsOpenCvDecodesIt) {
    const cv::Mat gradient = colourGradient(80, 60);
    ASSERT_TRUE(cv::imwrite(folder.path("photo.jpg"), gradient, {cv::IMWRITE_JPEG_QUALITY, 95}));
    const std::vector<uint8_t> jpeg = readFile(folder.path("photo.jpg"));
    const cv::Mat decoded = cv::imread(folder.path("photo.jpg"), cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
    // The gradient's red channel is noise on purpose, which JPEG smooths away; blue and green survive.
    std::vector<cv::Mat> channels, originals;
    cv::split(decoded, channels);
    cv::split(gradient, originals);
    EXPECT_LT(cv::norm(channels[0], originals[0], cv::NORM_L1) / gradient.total(), 8.0);
    for (const char* name : {"photo.jpg", "photo.jpe", "photo.jfif"}) {
        SCOPED_TRACE(name);
        writeFile(folder.path(name), jpeg);
        expectLoads(folder.path(name), decoded);
    }
}

TEST_F(PictureTypes, Jpeg2000FilesAndCodeStreamsLoad) {
    REQUIRE_CONVERT();
    const cv::Mat gradient = colourGradient(64, 40);
    ASSERT_TRUE(cv::imwrite(folder.path("opencv.jp2"), gradient));
    expectLoads(folder.path("opencv.jp2"), gradient);
    // ImageMagick writes the file form for .jp2 and a bare code stream when asked for J2K.
    for (const std::string name : {"magick.jp2", "magick.j2k", "magick.jpc", "magick.j2c"}) {
        SCOPED_TRACE(name);
        const std::string prefix = name.ends_with("jp2") ? "JP2:" : "J2K:";
        const std::string source = folder.path(name + ".png");
        cv::imwrite(source, gradient);
        ASSERT_TRUE(convert(source + " -quality 0 " + prefix + folder.path(name)));
        expectLoads(folder.path(name), cv::imread(folder.path(name), cv::IMREAD_COLOR));
        const Loaded colour = load(folder.path(name), true);
        EXPECT_LE(maxDifference(colour.image, gradient), 2) << "lossless JPEG 2000 differs from its source";
    }
}

TEST_F(PictureTypes, PcxLoadsInEveryDepth) {
    REQUIRE_CONVERT();
    const cv::Mat gradient = colourGradient(61, 33);
    expectLoads(magick(gradient, "", "truecolour.pcx"), gradient);
    const cv::Mat palette = paletteColours(50, 37);
    expectLoads(magick(palette, "-type palette", "palette.pcx"), palette);
    const cv::Mat coloured = colouredSymbol(kText, 2);
    expectLoads(magick(coloured, "-type palette", "symbol.pcx"), coloured);
}

// ImageMagick writes only 8-bit and 24-bit PCX; the 1-bit and the 16-colour planar layouts are
// written here byte for byte.
std::vector<uint8_t> pcxHeader(int width, int height, int bitsPerPlane, int planes, int bytesPerLine,
                               const std::vector<cv::Vec3b>& palette16) {
    std::vector<uint8_t> h(128, 0);
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 1;
    h[3] = static_cast<uint8_t>(bitsPerPlane);
    h[8] = static_cast<uint8_t>(width - 1);
    h[9] = static_cast<uint8_t>((width - 1) >> 8);
    h[10] = static_cast<uint8_t>(height - 1);
    h[11] = static_cast<uint8_t>((height - 1) >> 8);
    for (std::size_t i = 0; i < palette16.size() && i < 16; ++i) {
        h[16 + 3 * i] = palette16[i][2];
        h[17 + 3 * i] = palette16[i][1];
        h[18 + 3 * i] = palette16[i][0];
    }
    h[65] = static_cast<uint8_t>(planes);
    h[66] = static_cast<uint8_t>(bytesPerLine);
    h[67] = static_cast<uint8_t>(bytesPerLine >> 8);
    return h;
}

void appendRunLength(std::vector<uint8_t>& out, const std::vector<uint8_t>& line) {
    for (std::size_t i = 0; i < line.size();) {
        std::size_t run = 1;
        while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || (line[i] & 0xC0) == 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(line[i]);
        i += run;
    }
}

TEST_F(PictureTypes, PcxMonochromeAndPlanarLoad) {
    const cv::Mat symbol = symbolPicture(kText, 2);
    const int bytesPerLine = (symbol.cols + 15) / 16 * 2;
    std::vector<uint8_t> mono = pcxHeader(symbol.cols, symbol.rows, 1, 1, bytesPerLine, {});
    for (int y = 0; y < symbol.rows; ++y) {
        std::vector<uint8_t> line(bytesPerLine, 0);
        for (int x = 0; x < symbol.cols; ++x) {
            if (symbol.at<uint8_t>(y, x)) line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        appendRunLength(mono, line);
    }
    writeFile(folder.path("mono.pcx"), mono);
    expectLoads(folder.path("mono.pcx"), symbol);

    // Sixteen colours in four bit planes, plane 0 the lowest bit of each index.
    std::vector<cv::Vec3b> colours;
    for (int i = 0; i < 16; ++i) colours.emplace_back(uint8_t(i * 17), uint8_t(255 - i * 16), uint8_t(i * 5 % 256));
    const int width = 37, height = 23, planeBytes = (width + 15) / 16 * 2;
    std::vector<uint8_t> planar = pcxHeader(width, height, 1, 4, planeBytes, colours);
    cv::Mat expected(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> line(4 * planeBytes, 0);
        for (int x = 0; x < width; ++x) {
            const int index = (x / 3 + y) % 16;
            expected.at<cv::Vec3b>(y, x) = colours[index];
            for (int p = 0; p < 4; ++p) {
                if (index >> p & 1) line[p * planeBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        appendRunLength(planar, line);
    }
    writeFile(folder.path("planar.pcx"), planar);
    expectLoads(folder.path("planar.pcx"), expected);
}

// ImageMagick 6 stores rows in the order it holds them and only declares an origin: with
// -orient TopLeft that makes a true top-origin file, and without it (bottom-left declared) a
// source flipped beforehand makes a true bottom-origin file.
TEST_F(PictureTypes, TargaLoadsEveryKindAndOrigin) {
    REQUIRE_CONVERT();
    auto flipped = [](const cv::Mat& picture) {
        cv::Mat out;
        cv::flip(picture, out, 0);
        return out;
    };
    const cv::Mat gradient = colourGradient(59, 31);
    expectLoads(magick(flipped(gradient), "-compress none", "plain.tga"), gradient);
    expectLoads(magick(flipped(gradient), "-compress RLE", "rle.tga"), gradient);
    expectLoads(magick(gradient, "-compress none -orient TopLeft", "top.tga"), gradient);
    expectLoads(magick(gradient, "-compress RLE -orient TopLeft", "top-rle.tga"), gradient);
    const cv::Mat palette = paletteColours(40, 28);
    expectLoads(magick(flipped(palette), "-type palette", "mapped.tga"), palette);
    expectLoads(magick(palette, "-type palette -compress RLE -orient TopLeft", "mapped-rle.tga"), palette);
    const cv::Mat symbol = symbolPicture(kText, 2);
    expectLoads(magick(flipped(symbol), "-type grayscale", "grey.tga"), symbol);
    expectLoads(magick(symbol, "-type grayscale -compress RLE -orient TopLeft", "grey-rle.tga"), symbol);

    // The descriptor's right-to-left bit mirrors the picture.
    std::vector<uint8_t> mirrored = readFile(folder.path("plain.tga"));
    mirrored[17] |= 0x10;
    writeFile(folder.path("mirrored.tga"), mirrored);
    cv::Mat mirror;
    cv::flip(gradient, mirror, 1);
    expectLoads(folder.path("mirrored.tga"), mirror);
}

TEST_F(PictureTypes, SunRasterLoadsPlainAndByteEncoded) {
    REQUIRE_CONVERT();
    const cv::Mat gradient = colourGradient(45, 29);
    expectLoads(magick(gradient, "", "colour.ras"), gradient);
    const cv::Mat palette = paletteColours(45, 29);
    const std::string mapped = magick(palette, "-type palette", "mapped.ras");
    expectLoads(mapped, palette);

    // The same 8-bit picture byte-encoded: runs as 0x80, count - 1, value; 0x80 itself as 0x80 0.
    std::vector<uint8_t> file = readFile(mapped);
    ASSERT_GT(file.size(), 32u);
    const std::size_t mapLength = file[28] << 24 | file[29] << 16 | file[30] << 8 | file[31];
    std::vector<uint8_t> encoded(file.begin(), file.begin() + 32 + mapLength);
    encoded[23] = 2;
    for (std::size_t i = 32 + mapLength; i < file.size();) {
        std::size_t run = 1;
        while (i + run < file.size() && run < 256 && file[i + run] == file[i]) ++run;
        if (run >= 3 || file[i] == 0x80) {
            if (run == 1) {
                encoded.insert(encoded.end(), {0x80, 0x00});
            } else {
                encoded.insert(encoded.end(), {0x80, static_cast<uint8_t>(run - 1), file[i]});
            }
        } else {
            encoded.insert(encoded.end(), file.begin() + static_cast<long>(i), file.begin() + static_cast<long>(i + run));
        }
        i += run;
    }
    ASSERT_LT(encoded.size(), file.size());
    writeFile(folder.path("encoded.ras"), encoded);
    expectLoads(folder.path("encoded.ras"), palette);
}

TEST_F(PictureTypes, WbmpLoadsBlackAndWhite) {
    REQUIRE_CONVERT();
    const cv::Mat symbol = symbolPicture(kText, 1);
    expectLoads(magick(symbol, "", "symbol.wbmp"), symbol);
    EXPECT_EQ(readFile(folder.path("symbol.wbmp"))[0], 0) << "ImageMagick wrote no WBMP";
    // 300 pixels wide needs a two-byte width.
    const cv::Mat wide = symbolPicture(kText, 9);
    ASSERT_GT(wide.cols, 127);
    expectLoads(magick(wide, "", "WBMP:wide.wbm"), wide);
}

TEST_F(PictureTypes, IconAndCursorLoadTheirLargestPicture) {
    REQUIRE_CONVERT();
    const cv::Mat symbol = colouredSymbol(kText, 1);
    expectLoads(magick(symbol, "", "single.ico"), symbol);
    cv::Mat square;
    cv::resize(colouredSymbol(kText, 8), square, cv::Size(256, 256), 0, 0, cv::INTER_NEAREST);
    // 256 x 256 entries are stored as PNG; the smaller ones as bitmaps with masks.
    const std::string several = magick(square, "-define icon:auto-resize=16,256,48", "several.ico");
    expectLoads(several, square);
    std::vector<uint8_t> cursor = readFile(several);
    cursor[2] = 2;
    writeFile(folder.path("several.cur"), cursor);
    expectLoads(folder.path("several.cur"), square);
    const cv::Mat small = colouredSymbol(kText, 1);
    std::vector<uint8_t> smallCursor = readFile(magick(small, "-define icon:auto-resize=16,48", "small.ico"));
    smallCursor[2] = 2;
    writeFile(folder.path("small.cur"), smallCursor);
    const Loaded loaded = load(folder.path("small.cur"), true);
    ASSERT_EQ(loaded.result, 1) << loaded.reason;
    EXPECT_EQ(loaded.image.size(), cv::Size(48, 48));
}

TEST_F(PictureTypes, GifLoadsItsFirstFrame) {
    REQUIRE_CONVERT();
    const cv::Mat coloured = colouredSymbol(kText, 2);
    expectLoads(magick(coloured, "", "symbol.gif"), coloured);
    expectLoads(magick(coloured, "-interlace GIF", "interlaced.gif"), coloured);
    const cv::Mat palette = paletteColours(70, 50);
    expectLoads(magick(palette, "", "palette.gif"), palette);
    // A second, different frame is not shown.
    const std::string first = folder.path("first.png");
    const std::string second = folder.path("second.png");
    cv::imwrite(first, coloured);
    cv::imwrite(second, 255 - coloured);
    ASSERT_TRUE(convert(first + " " + second + " " + folder.path("animated.gif")));
    expectLoads(folder.path("animated.gif"), coloured);
    // A logical screen too small for the frame leaves the frame alone.
    std::vector<uint8_t> noScreen = readFile(folder.path("symbol.gif"));
    std::fill(noScreen.begin() + 6, noScreen.begin() + 10, 0);
    writeFile(folder.path("no-screen.gif"), noScreen);
    expectLoads(folder.path("no-screen.gif"), coloured);
    // So does a screen thousands of times the frame's area (found by fuzzing: 232 bytes that
    // took 14 s and 1 GB to fill with background).
    std::vector<uint8_t> vastScreen = readFile(folder.path("symbol.gif"));
    vastScreen[6] = 0x26, vastScreen[7] = 0x3A, vastScreen[8] = 0x2F, vastScreen[9] = 0x2F;  // 14886 x 12079
    writeFile(folder.path("vast-screen.gif"), vastScreen);
    expectLoads(folder.path("vast-screen.gif"), coloured);
}

TEST_F(PictureTypes, GifTransparencyShowsWhite) {
    REQUIRE_CONVERT();
    const cv::Mat coloured = colouredSymbol(kText, 2);
    // The pale light modules become transparent and must show as white, not as black.
    const std::string path = magick(coloured, "-transparent 'rgb(250,245,190)'", "transparent.gif");
    cv::Mat expected = coloured.clone();
    expected.setTo(cv::Scalar(255, 255, 255), symbolPicture(kText, 2) != 0);
    expectLoads(path, expected);
}

TEST_F(PictureTypes, PgxScalesEveryDepthToEightBits) {
    const int width = 23, height = 17;
    struct Case {
        int depth;
        bool bigEndian;
        bool isSigned;
    };
    for (const Case c : {Case{8, true, false}, Case{8, false, true}, Case{1, true, false}, Case{4, false, false},
                         Case{12, true, false}, Case{12, false, true}, Case{16, true, false}, Case{16, false, true}}) {
        SCOPED_TRACE("depth " + std::to_string(c.depth) + (c.isSigned ? " signed" : "") + (c.bigEndian ? " ML" : " LM"));
        const int levels = 1 << c.depth;
        std::vector<int> samples;
        cv::Mat expected(height, width, CV_8UC1);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int level = ((x * 37 + y * 101) * (levels / 64 + 1) + x) % levels;
                samples.push_back(c.isSigned ? level - levels / 2 : level);
                expected.at<uint8_t>(y, x) = static_cast<uint8_t>(std::lround(level * 255.0 / (levels - 1)));
            }
        }
        const std::string path = folder.path("grey.pgx");
        writeFile(path, pgxFile(width, height, c.depth, c.bigEndian, c.isSigned, samples));
        expectLoads(path, expected);
    }
}

TEST_F(PictureTypes, SkaLoadsThroughItsPalette) {
    const cv::Mat symbol = symbolPicture(kText, 2);
    std::vector<cv::Vec3b> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = cv::Vec3b(uint8_t(i), uint8_t(255 - i), uint8_t(i * 3));
    cv::Mat indices(symbol.rows, symbol.cols + 3, CV_8UC1);
    cv::Mat expected(indices.size(), CV_8UC3);
    for (int y = 0; y < indices.rows; ++y) {
        for (int x = 0; x < indices.cols; ++x) {
            const uint8_t index = x < symbol.cols ? symbol.at<uint8_t>(y, x) / 2 + 10 : static_cast<uint8_t>(y);
            indices.at<uint8_t>(y, x) = index;
            expected.at<cv::Vec3b>(y, x) = palette[index];
        }
    }
    writeFile(folder.path("picture.ska"), skaFile(indices, palette));
    expectLoads(folder.path("picture.ska"), expected);
}

TEST_F(PictureTypes, WmfDrawsTheSymbolItHolds) {
    const cv::Mat symbol = symbolPicture(kText, 1);
    constexpr int kUnits = 4;
    writeFile(folder.path("symbol.wmf"), wmfFile(symbol, kUnits));
    for (const bool colour : {true, false}) {
        const Loaded loaded = load(folder.path("symbol.wmf"), colour);
        ASSERT_EQ(loaded.result, 1) << loaded.reason;
        ASSERT_EQ(loaded.image.size(), cv::Size(symbol.cols * kUnits, symbol.rows * kUnits));
        cv::Mat grey = loaded.image;
        if (colour) cv::cvtColor(loaded.image, grey, cv::COLOR_BGR2GRAY);
        int wrong = 0;
        for (int y = 0; y < symbol.rows; ++y) {
            for (int x = 0; x < symbol.cols; ++x) {
                const uint8_t centre = grey.at<uint8_t>(y * kUnits + kUnits / 2, x * kUnits + kUnits / 2);
                wrong += (centre < 128) != (symbol.at<uint8_t>(y, x) == 0);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(PictureTypes, EmfIsRefusedAsUnsupported) {
    const std::string path = folder.path("drawing.emf");
    std::vector<uint8_t> emf(108, 0);
    emf[0] = 1;      // EMR_HEADER
    emf[4] = 108;    // record size
    emf[40] = ' ';   // " EMF" signature at 40
    emf[41] = 'E';
    emf[42] = 'M';
    emf[43] = 'F';
    writeFile(path, emf);
    const Loaded loaded = load(path, true);
    EXPECT_EQ(loaded.result, -1);
    EXPECT_TRUE(loaded.image.empty());
    EXPECT_NE(loaded.reason.find("unsupported format"), std::string::npos) << loaded.reason;
}

}  // namespace
