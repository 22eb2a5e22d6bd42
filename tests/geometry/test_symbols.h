// Test pictures: symbols from our own encoder drawn through OpenCV, lone finder patterns, and
// the binarisation that a decode pass gives them.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/image/binarization.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"

namespace velmora::test {

// A byte raster owned for the length of a test.
struct OwnedRaster {
    Raster* raster = nullptr;
    OwnedRaster(int height, int width) : raster(createRaster(height, width, kRasterByte)) {}
    OwnedRaster(OwnedRaster&& other) noexcept : raster(other.raster) { other.raster = nullptr; }
    ~OwnedRaster() { destroyRaster(raster); }
    uint8_t& at(int y, int x) { return raster->rows[y][x]; }
    uint8_t** rows() const { return raster->rows; }
    int height() const { return raster->height; }
    int width() const { return raster->width; }
};

// The modules of an encoded symbol, N by N, 255 light and 0 dark.
inline cv::Mat encodeModules(const std::string& text, int version, int level = 1) {
    int v = version, mask = -1;
    if (QR_Encode_Matrix(level, &v, 1, &mask, text.c_str(), static_cast<int>(text.size()), nullptr) != 1) return {};
    const int n = g_QrEncodedData.iEncoded_WH;
    cv::Mat modules(n, n, CV_8UC1);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) modules.at<uint8_t>(r, c) = g_QrEncodedData.byEncoded_Data[r][c] ? 255 : 0;
    }
    return modules;
}

// A drawn symbol and its finder centres (pixel-centre coordinates): the corner (top-left),
// top-right and bottom-left patterns of the symbol's own frame.
struct DrawnSymbol {
    cv::Mat grey;
    std::array<cv::Point2f, 3> finders;
    float moduleSize;  // pixels per module before the transform
};

// Draws modules at `scale` pixels per module with a four-module quiet zone, maps the drawing
// through `transform` (3 by 3) into a picture of `size` with a light surround; light and dark
// swap when inverted.
inline DrawnSymbol drawSymbol(const cv::Mat& modules, int scale, const cv::Matx33d& transform, cv::Size size,
                              bool inverted = false) {
    const int n = modules.rows, quiet = 4, side = (n + 2 * quiet) * scale;
    cv::Mat upright(side, side, CV_8UC1, cv::Scalar(255)), placed;
    cv::resize(modules, placed, cv::Size(n * scale, n * scale), 0, 0, cv::INTER_NEAREST);
    placed.copyTo(upright(cv::Rect(quiet * scale, quiet * scale, n * scale, n * scale)));
    if (inverted) upright = 255 - upright;
    DrawnSymbol drawn;
    cv::warpPerspective(upright, drawn.grey, cv::Mat(transform), size, cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                        cv::Scalar(inverted ? 0 : 255));
    auto centre = [&](double c, double r) {
        const cv::Vec3d p = transform * cv::Vec3d((c + quiet + 0.5) * scale - 0.5, (r + quiet + 0.5) * scale - 0.5, 1.0);
        return cv::Point2f(static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2]));
    };
    drawn.finders = {centre(3, 3), centre(n - 4, 3), centre(3, n - 4)};
    drawn.moduleSize = static_cast<float>(scale);
    return drawn;
}

// Rotation by degrees about the centre of a square drawing of `side` pixels, moved to the
// centre of an output picture of `out` pixels, optionally mirrored left to right first.
inline cv::Matx33d rotationAbout(double degrees, int side, int out, bool mirrored = false) {
    const double c = (side - 1) / 2.0, o = (out - 1) / 2.0, a = degrees * CV_PI / 180.0;
    const cv::Matx33d toOrigin(1, 0, -c, 0, 1, -c, 0, 0, 1), mirror(mirrored ? -1 : 1, 0, 0, 0, 1, 0, 0, 0, 1);
    const cv::Matx33d turn(std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1);
    return cv::Matx33d(1, 0, o, 0, 1, o, 0, 0, 1) * turn * mirror * toOrigin;
}

// The binary picture of a strategy-0 whole-picture pass, inverted afterwards as the driver does
// for light-on-dark symbols.
inline OwnedRaster binarise(const cv::Mat& grey, bool invertAfterwards = false) {
    OwnedRaster binary(grey.rows, grey.cols);
    Raster* view = viewImageAsRaster(&grey);
    binarizeBlocks(0, binary.rows(), view->rows, grey.cols, grey.rows, grey.cols, grey.rows);
    releaseRasterView(view);
    for (int y = 0; invertAfterwards && y < grey.rows; ++y) {
        for (int x = 0; x < grey.cols; ++x) binary.at(y, x) = static_cast<uint8_t>(1 - binary.at(y, x));
    }
    return binary;
}

// A binary raster of a 0/255 picture drawn without interpolation.
inline OwnedRaster binaryOf(const cv::Mat& picture) {
    OwnedRaster binary(picture.rows, picture.cols);
    for (int y = 0; y < picture.rows; ++y) {
        for (int x = 0; x < picture.cols; ++x) binary.at(y, x) = picture.at<uint8_t>(y, x) > 127;
    }
    return binary;
}

// A lone finder pattern of `module` pixels per module, top-left corner at (x, y).
inline void drawFinder(cv::Mat& picture, int x, int y, int module) {
    const int inner = 3 * module, outer = 7 * module;
    cv::rectangle(picture, cv::Rect(x, y, outer, outer), cv::Scalar(0), cv::FILLED);
    cv::rectangle(picture, cv::Rect(x + module, y + module, outer - 2 * module, outer - 2 * module), cv::Scalar(255),
                  cv::FILLED);
    cv::rectangle(picture, cv::Rect(x + 2 * module, y + 2 * module, inner, inner), cv::Scalar(0), cv::FILLED);
}

}  // namespace velmora::test
