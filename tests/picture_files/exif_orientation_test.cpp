// Photographs whose EXIF block says how to turn them load upright, in colour and in grey, and
// the reader's corners refer to the upright picture. The stored pixels are made here from the
// tag's meaning (where the stored first row and first column lie in the upright picture), and
// OpenCV's own EXIF handling in cv::imread serves as a second opinion.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "codecs/exif_orientation.h"
#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"
#include "picture_test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// The upright pixel that stored row r, column c shows, for an upright picture width x height.
cv::Point uprightOf(int orientation, int r, int c, int width, int height) {
    switch (orientation) {
    case 2: return {width - 1 - c, r};
    case 3: return {width - 1 - c, height - 1 - r};
    case 4: return {c, height - 1 - r};
    case 5: return {r, c};
    case 6: return {width - 1 - r, c};
    case 7: return {width - 1 - r, height - 1 - c};
    case 8: return {r, height - 1 - c};
    default: return {c, r};
    }
}

// The pixels a camera would store for the upright picture under the given orientation.
cv::Mat storedPixels(const cv::Mat& upright, int orientation) {
    const bool sideways = orientation >= 5;
    cv::Mat stored(sideways ? upright.cols : upright.rows, sideways ? upright.rows : upright.cols, upright.type());
    for (int r = 0; r < stored.rows; ++r)
        for (int c = 0; c < stored.cols; ++c)
            stored.at<cv::Vec3b>(r, c) =
                upright.at<cv::Vec3b>(uprightOf(orientation, r, c, upright.cols, upright.rows));
    return stored;
}

void put16(std::vector<uint8_t>& out, uint16_t v, bool big) {
    out.push_back(big ? v >> 8 : v & 0xFF);
    out.push_back(big ? v & 0xFF : v >> 8);
}

void put32(std::vector<uint8_t>& out, uint32_t v, bool big) {
    put16(out, big ? v >> 16 : v & 0xFFFF, big);
    put16(out, big ? v & 0xFFFF : v >> 16, big);
}

// An EXIF block (without its "Exif\0\0" opening) whose first directory holds an entry for tag
// with the given type and value, after a harmless entry before it.
std::vector<uint8_t> tiffBlock(bool big, uint16_t tag, uint16_t type, uint16_t value) {
    std::vector<uint8_t> tiff = {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')};
    put16(tiff, 42, big);
    put32(tiff, 8, big);
    put16(tiff, 2, big);
    put16(tiff, 0x010F, big);  // Make, ASCII, 4 bytes held in the entry
    put16(tiff, 2, big);
    put32(tiff, 4, big);
    tiff.insert(tiff.end(), {'V', 'l', 'm', 0});
    put16(tiff, tag, big);
    put16(tiff, type, big);
    put32(tiff, 1, big);
    put16(tiff, value, big);
    put16(tiff, 0, big);
    put32(tiff, 0, big);
    return tiff;
}

// The JPEG with an APP1 segment holding block after "Exif\0\0" inserted behind its SOI marker.
std::vector<uint8_t> withExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& block) {
    const std::size_t length = block.size() + 8;
    std::vector<uint8_t> segment = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length & 0xFF), 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), block.begin(), block.end());
    std::vector<uint8_t> out = jpeg;
    out.insert(out.begin() + 2, segment.begin(), segment.end());
    return out;
}

std::vector<uint8_t> jpegOf(const cv::Mat& picture) {
    std::vector<uint8_t> bytes;
    cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_QUALITY, 95});
    return bytes;
}

double meanDifference(const cv::Mat& a, const cv::Mat& b) {
    return cv::norm(a, b, cv::NORM_L1) / static_cast<double>(a.total() * a.channels());
}

constexpr int kModule = 4;
const cv::Point kSymbolAt(24, 40);  // top-left of the symbol's quiet zone in the upright picture

TEST(ExifOrientation, EveryOrientationLoadsAndReadsUpright) {
    const cv::Mat symbol = colouredSymbol("Held upright 2026", kModule);
    cv::Mat upright(symbol.rows + 60, symbol.cols + 150, CV_8UC3, cv::Scalar(190, 245, 250));
    symbol.copyTo(upright(cv::Rect(kSymbolAt, symbol.size())));
    const int modules = symbol.cols / kModule - 8;
    const float left = float(kSymbolAt.x + 4 * kModule), top = float(kSymbolAt.y + 4 * kModule);
    const float right = left + modules * kModule, bottom = top + modules * kModule;
    const float cornerX[4] = {left, right, left, right}, cornerY[4] = {top, top, bottom, bottom};

    ScratchFolder folder;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const bool bigEndian = orientation % 2 == 0;
        SCOPED_TRACE("orientation " + std::to_string(orientation) + (bigEndian ? " MM" : " II"));
        const std::vector<uint8_t> file = withExif(jpegOf(storedPixels(upright, orientation)),
                                                   tiffBlock(bigEndian, 0x0112, 3, uint16_t(orientation)));
        EXPECT_EQ(jpegExifOrientation(file), orientation);
        const std::string path = folder.path("photo" + std::to_string(orientation) + ".JPG");
        writeFile(path, file);

        const Loaded colour = load(path, true);
        ASSERT_EQ(colour.result, 1) << colour.reason;
        ASSERT_EQ(colour.image.size(), upright.size());
        EXPECT_LT(meanDifference(colour.image, upright), 3.0);
        EXPECT_EQ(maxDifference(colour.image, cv::imread(path, cv::IMREAD_COLOR)), 0);
        const Loaded grey = load(path, false);
        ASSERT_EQ(grey.result, 1) << grey.reason;
        EXPECT_LE(maxDifference(grey.image, greyOf(colour.image)), 1);

        ASSERT_EQ(QR_Decode_File(path.c_str(), 1, 0, nullptr), 1);
        EXPECT_EQ(g_QrDecodedData.nMirror[0], 0);
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(g_QrDecodedData.dXY_4Corners[0][k], cornerX[k], 2.0f) << "corner " << k;
            EXPECT_NEAR(g_QrDecodedData.dXY_4Corners[0][4 + k], cornerY[k], 2.0f) << "corner " << k;
        }
    }
}

// Blocks that are damaged, or say nothing usable, leave the picture as stored.
TEST(ExifOrientation, DamagedOrMissingTagsLeaveThePictureAsStored) {
    const std::vector<uint8_t> jpeg = jpegOf(colourGradient(40, 30));
    std::vector<uint8_t> cutShort = tiffBlock(false, 0x0112, 3, 6);
    cutShort.resize(20);
    std::vector<uint8_t> farDirectory = tiffBlock(true, 0x0112, 3, 6);
    farDirectory[4] = 0x7F;
    std::vector<uint8_t> manyEntries = tiffBlock(false, 0x0112, 3, 6);
    manyEntries[8] = 0xFF;
    manyEntries[9] = 0xFF;
    manyEntries[22] = 0x13;  // the orientation entry's tag no longer matches
    std::vector<uint8_t> notTiff = tiffBlock(false, 0x0112, 3, 6);
    notTiff[0] = 'X';
    const struct {
        const char* what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"no EXIF block", jpeg},
        {"value 0", withExif(jpeg, tiffBlock(false, 0x0112, 3, 0))},
        {"value 9", withExif(jpeg, tiffBlock(true, 0x0112, 3, 9))},
        {"wrong type", withExif(jpeg, tiffBlock(false, 0x0112, 4, 6))},
        {"other tag", withExif(jpeg, tiffBlock(false, 0x0110, 3, 6))},
        {"block cut short", withExif(jpeg, cutShort)},
        {"directory beyond the block", withExif(jpeg, farDirectory)},
        {"entries beyond the block", withExif(jpeg, manyEntries)},
        {"not TIFF", withExif(jpeg, notTiff)},
        {"segment longer than the file", std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE1, 0x40, 0x00, 'E', 'x'}},
        {"not a JPEG", std::vector<uint8_t>{'B', 'M', 0, 0}},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(jpegExifOrientation(c.file), 1);
        if (c.file.size() < 100) continue;
        writeFile(folder.path("photo.jpg"), c.file);
        const Loaded colour = load(folder.path("photo.jpg"), true);
        ASSERT_EQ(colour.result, 1) << colour.reason;
        EXPECT_EQ(colour.image.size(), cv::Size(40, 30));
    }
}

}  // namespace
