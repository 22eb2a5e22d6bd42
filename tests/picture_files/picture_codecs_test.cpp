// The picture codecs against OpenCV's own: every PNG and JPEG decodes to exactly the image
// cv::imdecode(IMREAD_UNCHANGED) gives (type, size and every byte), damaged files fail where
// OpenCV fails, and PNG and JPEG files are written byte for byte as cv::imencode writes them.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "codecs/opencv_codecs.h"
#include "codecs/picture_codecs.h"
#include "picture_test_support.h"

using namespace velmora::test;

namespace {

// OpenCV's image, or an empty one where it throws instead.
cv::Mat openCvDecode(const std::vector<uint8_t>& file) {
    try {
        return cv::imdecode(file, cv::IMREAD_UNCHANGED);
    } catch (const cv::Exception&) {
        return {};
    }
}

bool sameBytes(const cv::Mat& a, const cv::Mat& b) {
    if (a.type() != b.type() || a.size() != b.size()) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(a.cols) * a.elemSize();
    for (int y = 0; y < a.rows; ++y) {
        if (std::memcmp(a.ptr(y), b.ptr(y), rowBytes) != 0) return false;
    }
    return true;
}

// Decodes file both ways; true when both fail or both give the same image.
::testing::AssertionResult decodesAsOpenCvDoes(const std::vector<uint8_t>& file) {
    std::string why;
    const cv::Mat ours = velmora::decodePictureImage(file, why);
    const cv::Mat theirs = openCvDecode(file);
    if (ours.empty() != theirs.empty()) {
        return ::testing::AssertionFailure() << (ours.empty() ? "only OpenCV decodes it (ours: " + why + ")"
                                                              : std::string("only ours decodes it"));
    }
    if (!ours.empty() && !sameBytes(ours, theirs)) {
        return ::testing::AssertionFailure() << "type " << ours.type() << " " << ours.cols << "x" << ours.rows
                                             << " against OpenCV's type " << theirs.type() << " " << theirs.cols << "x"
                                             << theirs.rows << ", or pixels differ";
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::filesystem::path> sharedPictures() {
    std::vector<std::filesystem::path> pictures;
    for (const char* folder : {VELMORA_SAMPLES_DIR, VELMORA_BOOFCV_DIR}) {
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
            std::string extension = entry.path().extension().string();
            for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (entry.is_regular_file() && (extension == ".png" || extension == ".jpg" || extension == ".jpeg")) {
                pictures.push_back(entry.path());
            }
        }
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

TEST(PictureCodecsMatchOpenCv, SharedPhotographsAndScansDecodeToTheSameImage) {
    const std::vector<std::filesystem::path> pictures = sharedPictures();
    if (pictures.empty()) GTEST_SKIP() << "no shared pictures in " << VELMORA_SAMPLES_DIR << " or " << VELMORA_BOOFCV_DIR;
    int same = 0;
    for (const auto& picture : pictures) {
        const std::vector<uint8_t> file = readFile(picture.string());
        const bool matched = decodesAsOpenCvDoes(file);
        EXPECT_TRUE(matched) << picture;
        same += matched ? 1 : 0;
    }
    std::cout << same << " of " << pictures.size() << " shared pictures decode to OpenCV's image byte for byte\n";
}

// A PNG of random samples in the given layout, written by libpng itself so that every layout
// the format has can be made: palettes of every depth, tRNS in every colour type, interlacing.
struct PngLayout {
    int colourType;
    int bitDepth;
    bool transparency;
    bool interlaced;
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> pngOfLayout(const PngLayout& layout, int width, int height, unsigned seed) {
    std::vector<uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &file, appendBytes, nullptr);
    png_set_IHDR(png, info, width, height, layout.bitDepth, layout.colourType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::mt19937 random(seed);
    const int maxSample = (1 << layout.bitDepth) - 1;
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i <= maxSample; ++i) {
            palette.push_back({static_cast<png_byte>(random()), static_cast<png_byte>(random()),
                               static_cast<png_byte>(random())});
            alphas.push_back(static_cast<png_byte>(random()));
        }
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (layout.transparency) {
        png_color_16 colour{};
        colour.gray = colour.red = static_cast<png_uint_16>(maxSample / 3);
        colour.green = colour.blue = static_cast<png_uint_16>(maxSample / 2);
        png_set_tRNS(png, info, alphas.empty() ? nullptr : alphas.data(), static_cast<int>(alphas.size()),
                     alphas.empty() ? &colour : nullptr);
    }
    png_set_gAMA(png, info, 0.6);  // a gamma that nothing is to apply
    png_write_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height), std::vector<png_byte>(rowBytes));
    std::vector<png_bytep> rowPointers;
    for (auto& row : rows) {
        for (auto& byte : row) byte = static_cast<png_byte>(random());
        // A few runs of the transparent colour, so that tRNS makes some pixels clear.
        if (layout.transparency && layout.bitDepth == 8 && layout.colourType == PNG_COLOR_TYPE_GRAY) {
            std::fill_n(row.begin(), rowBytes / 4, static_cast<png_byte>(maxSample / 3));
        }
        rowPointers.push_back(row.data());
    }
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return file;
}

TEST(PictureCodecsMatchOpenCv, EveryPngLayoutDecodesToTheSameImage) {
    const std::vector<PngLayout> layouts = {
        {PNG_COLOR_TYPE_GRAY, 1, false, false},      {PNG_COLOR_TYPE_GRAY, 2, false, false},
        {PNG_COLOR_TYPE_GRAY, 4, false, false},      {PNG_COLOR_TYPE_GRAY, 8, false, false},
        {PNG_COLOR_TYPE_GRAY, 16, false, false},     {PNG_COLOR_TYPE_GRAY, 1, true, false},
        {PNG_COLOR_TYPE_GRAY, 8, true, false},       {PNG_COLOR_TYPE_GRAY, 16, true, false},
        {PNG_COLOR_TYPE_RGB, 8, false, false},       {PNG_COLOR_TYPE_RGB, 16, false, false},
        {PNG_COLOR_TYPE_RGB, 8, true, false},        {PNG_COLOR_TYPE_RGB, 16, true, false},
        {PNG_COLOR_TYPE_PALETTE, 1, false, false},   {PNG_COLOR_TYPE_PALETTE, 2, false, false},
        {PNG_COLOR_TYPE_PALETTE, 4, false, false},   {PNG_COLOR_TYPE_PALETTE, 8, false, false},
        {PNG_COLOR_TYPE_PALETTE, 2, true, false},    {PNG_COLOR_TYPE_PALETTE, 8, true, false},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false}, {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false},
        {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},  {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false},
        {PNG_COLOR_TYPE_GRAY, 4, false, true},       {PNG_COLOR_TYPE_GRAY, 16, true, true},
        {PNG_COLOR_TYPE_RGB, 16, false, true},       {PNG_COLOR_TYPE_PALETTE, 4, true, true},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, true}, {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true},
    };
    unsigned seed = 1;
    for (const PngLayout& layout : layouts) {
        const std::vector<uint8_t> file = pngOfLayout(layout, 37, 23, seed++);
        ASSERT_FALSE(file.empty());
        EXPECT_TRUE(decodesAsOpenCvDoes(file)) << "colour type " << layout.colourType << ", " << layout.bitDepth
                                               << " bits" << (layout.transparency ? ", tRNS" : "")
                                               << (layout.interlaced ? ", interlaced" : "");
    }
}

TEST(PictureCodecsMatchOpenCv, EveryKindOfJpegDecodesToTheSameImage) {
    const cv::Mat colour = colourGradient(101, 67);
    const cv::Mat grey = greyOf(colour);
    struct Kind {
        const char* name;
        const cv::Mat& picture;
        std::vector<int> parameters;
    };
    const std::vector<Kind> kinds = {
        {"grey", grey, {cv::IMWRITE_JPEG_QUALITY, 90}},
        {"colour", colour, {cv::IMWRITE_JPEG_QUALITY, 75}},
        {"progressive", colour, {cv::IMWRITE_JPEG_PROGRESSIVE, 1}},
        {"restart markers", colour, {cv::IMWRITE_JPEG_RST_INTERVAL, 3}},
        {"optimised tables", grey, {cv::IMWRITE_JPEG_OPTIMIZE, 1}},
    };
    ScratchFolder folder;
    for (const Kind& kind : kinds) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(cv::imencode(".jpg", kind.picture, file, kind.parameters)) << kind.name;
        EXPECT_TRUE(decodesAsOpenCvDoes(file)) << kind.name;
        if (kind.picture.channels() == 1) continue;
        writeFile(folder.path("source.jpg"), file);
        // What other writers make: CMYK (Adobe's inverted samples), full and 4:2:2 chroma, YCCK.
        if (!haveConvert()) continue;
        for (const char* options : {"-colorspace CMYK", "-sampling-factor 1x1", "-sampling-factor 2x1",
                                    "-colorspace CMYK -interlace JPEG", "-interlace JPEG -sampling-factor 1x1"}) {
            ASSERT_TRUE(convert(folder.path("source.jpg") + " " + options + " " + folder.path("other.jpg")));
            EXPECT_TRUE(decodesAsOpenCvDoes(readFile(folder.path("other.jpg")))) << kind.name << ", " << options;
        }
    }
}

TEST(PictureCodecsMatchOpenCv, DamagedFilesFailOrDecodeAsOpenCvDoes) {
    const cv::Mat colour = colourGradient(64, 48);
    std::vector<uint8_t> png;
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(cv::imencode(".png", colour, png));
    ASSERT_TRUE(cv::imencode(".jpg", colour, jpeg));
    std::mt19937 random(7);
    for (const std::vector<uint8_t>* whole : {&png, &jpeg}) {
        const char* kind = whole == &png ? "PNG" : "JPEG";
        for (int tenth = 1; tenth < 10; ++tenth) {
            // Bytes of the data overwritten: what libpng and libjpeg make of them is the same.
            std::vector<uint8_t> damaged = *whole;
            for (int i = 0; i < tenth; ++i) damaged[40 + random() % (damaged.size() - 42)] = static_cast<uint8_t>(random());
            EXPECT_TRUE(decodesAsOpenCvDoes(damaged)) << kind << " with " << tenth << " bytes changed";
            // Cut short: refused. OpenCV refuses the PNG too, but calls the JPEG decoded with the
            // rows it never read left as the memory held them.
            const std::vector<uint8_t> cut(whole->begin(), whole->begin() + whole->size() * tenth / 10);
            std::string why;
            EXPECT_TRUE(velmora::decodePictureImage(cut, why).empty()) << kind << " cut at " << tenth << "/10";
            EXPECT_FALSE(why.empty()) << kind << " cut at " << tenth << "/10";
        }
    }
}

TEST(PictureCodecsMatchOpenCv, RarerKindsGoThroughOpenCvsModule) {
    std::string why;
    ASSERT_TRUE(velmora::openCvCodecsModuleLoads(why)) << why;
    // JPEG 2000 needs 32 pixels a side for its five levels of detail.
    cv::Mat deep;
    colourGradient(64, 48).convertTo(deep, CV_16U, 257.0);
    const cv::Mat colour = colourGradient(64, 48);
    for (const auto& [extension, picture] : std::vector<std::pair<std::string, cv::Mat>>{
             {".tif", deep}, {".tif", colour}, {".bmp", colour}, {".ppm", colour}, {".pgm", greyOf(colour)},
             {".jp2", colour}}) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(velmora::encodePictureImage(extension, picture, {}, file, why)) << extension << ": " << why;
        std::vector<uint8_t> openCvFile;
        ASSERT_TRUE(cv::imencode(extension, picture, openCvFile));
        EXPECT_EQ(file, openCvFile) << extension;
        EXPECT_TRUE(decodesAsOpenCvDoes(file)) << extension;
    }
}

TEST(PictureCodecsMatchOpenCv, PngAndJpegFilesAreWrittenByteForByte) {
    const cv::Mat colour = colourGradient(83, 61);
    cv::Mat withAlpha;
    cv::cvtColor(colour, withAlpha, cv::COLOR_BGR2BGRA);
    withAlpha.forEach<cv::Vec4b>([](cv::Vec4b& pixel, const int* at) { pixel[3] = static_cast<uint8_t>(at[0] * 4 + at[1]); });
    const cv::Mat grey = greyOf(colour);
    const cv::Mat symbol = symbolPicture("Velmora", 3);
    for (const cv::Mat& picture : {colour, withAlpha, grey, symbol}) {
        std::vector<uint8_t> ours;
        std::vector<uint8_t> theirs;
        std::string why;
        ASSERT_TRUE(velmora::encodePngImage(picture, ours, why)) << why;
        ASSERT_TRUE(cv::imencode(".png", picture, theirs));
        EXPECT_EQ(ours, theirs) << "PNG of " << picture.channels() << " channels";
        if (picture.channels() == 4) continue;
        for (int quality : {95, 50, 100}) {
            ASSERT_TRUE(velmora::encodeJpegImage(picture, quality, ours, why)) << why;
            ASSERT_TRUE(cv::imencode(".jpg", picture, theirs, {cv::IMWRITE_JPEG_QUALITY, quality}));
            EXPECT_EQ(ours, theirs) << "JPEG of " << picture.channels() << " channels at quality " << quality;
        }
    }
}

}  // namespace
