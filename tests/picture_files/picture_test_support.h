// Shared helpers of the picture file suites: pictures drawn from our own encoder, a scratch
// folder, ImageMagick as a writer of the formats OpenCV does not write, and tiny writers for
// PGX, SKA and WMF, which no installed tool writes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace velmora::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path(const std::string& name) const { return (root_ / name).string(); }

private:
    std::filesystem::path root_;
};

// The symbol our encoder makes of text, drawn 8-bit grey (0 dark, 255 light) with its four-module
// quiet zone, moduleSize pixels per module.
cv::Mat symbolPicture(const std::string& text, int moduleSize);
// The same symbol in two colours: dark modules navy, light ones pale yellow.
cv::Mat colouredSymbol(const std::string& text, int moduleSize);
// A BGR picture in which every pixel differs from its neighbours in every channel.
cv::Mat colourGradient(int width, int height);
// A BGR picture of exactly 64 colours in 4 x 4 blocks, for palette formats.
cv::Mat paletteColours(int width, int height);

// Runs ImageMagick's convert with the given arguments; false when it fails.
bool convert(const std::string& arguments);
// True when convert can be run at all.
bool haveConvert();

std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

struct Loaded {
    int result = 0;
    cv::Mat image;
    std::string reason;
};
// loadPictureFile in colour (colour true) or grey.
Loaded load(const std::string& path, bool colour);

// Largest absolute difference of two images of equal size and type; -1 when they differ in
// size or type.
int maxDifference(const cv::Mat& a, const cv::Mat& b);
// Grey as OpenCV makes it from BGR.
cv::Mat greyOf(const cv::Mat& bgr);

// PGX: grey samples of the given depth (1..16), byte order and signedness, from values that
// are already in range for that depth, one per pixel (row by row).
std::vector<uint8_t> pgxFile(int width, int height, int depth, bool bigEndian, bool isSigned,
                             const std::vector<int>& samples);
// WBMP type 0 of a grey picture narrower and lower than 128 pixels (nonzero white).
std::vector<uint8_t> wbmpFile(const cv::Mat& grey);
// SKA: the 9-byte header, 256 palette entries and the picture's indices top row first.
std::vector<uint8_t> skaFile(const cv::Mat& indices, const std::vector<cv::Vec3b>& paletteBgr);
// A placeable WMF that fills the picture white and draws each dark pixel of a grey picture as a
// black rectangle of unitsPerPixel logical units, with 96 units to the inch.
std::vector<uint8_t> wmfFile(const cv::Mat& grey, int unitsPerPixel);

}  // namespace velmora::test
