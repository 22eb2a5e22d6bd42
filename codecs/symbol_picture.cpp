#include "codecs/symbol_picture.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <opencv2/core.hpp>

#include "codecs/bmp_writer.h"
#include "codecs/picture_codecs.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

constexpr uint8_t kLightPixel = 255;
constexpr uint8_t kDarkPixel = 0;
constexpr int kLargestSymbol = 177;

// Checks the arguments every writer shares, so that no writer starts on a picture it cannot draw.
bool checkSymbolArguments(const uint8_t* matrix, int stride, int size, int moduleSize, std::string& error) {
    if (matrix == nullptr || size <= 0 || size > kLargestSymbol || stride < size) {
        error = "there is no symbol to write";
        return false;
    }
    if (moduleSize < kMinModuleSize || moduleSize > kMaxModuleSize) {
        error = "module size " + std::to_string(moduleSize) + " is outside 1 to 20";
        return false;
    }
    return true;
}

std::string svgText(const uint8_t* matrix, int stride, int size, int moduleSize) {
    const int side = (size + 2 * kQuietZoneModules) * moduleSize;
    const std::string sideText = std::to_string(side);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + sideText +
                      "\" height=\"" + sideText + "\" viewBox=\"0 0 " + sideText + " " + sideText +
                      "\" shape-rendering=\"crispEdges\">\n"
                      "<rect x=\"0\" y=\"0\" width=\"" + sideText + "\" height=\"" + sideText +
                      "\" fill=\"#ffffff\"/>\n<g fill=\"#000000\">\n";
    forEachDarkRun(matrix, stride, size, [&](int row, int start, int length) {
        const int x = (kQuietZoneModules + start) * moduleSize;
        const int y = (kQuietZoneModules + row) * moduleSize;
        const int width = length * moduleSize;
        svg += "<path d=\"M" + std::to_string(x) + " " + std::to_string(y) + "h" + std::to_string(width) + "v" +
               std::to_string(moduleSize) + "h-" + std::to_string(width) + "z\"/>\n";
    });
    svg += "</g>\n</svg>\n";
    return svg;
}

}  // namespace

std::string symbolSvgText(const uint8_t* matrix, int stride, int size, int moduleSize) {
    std::string unused;
    if (!checkSymbolArguments(matrix, stride, size, moduleSize, unused)) return {};
    return svgText(matrix, stride, size, moduleSize);
}

SymbolPictureFormat symbolPictureFormatOf(const std::string& path) {
    const std::string extension = lowerExtensionOf(path);
    if (extension == "bmp") return SymbolPictureFormat::Bmp;
    if (extension == "png") return SymbolPictureFormat::Png;
    if (extension == "svg") return SymbolPictureFormat::Svg;
    return SymbolPictureFormat::Unknown;
}

SymbolPixels renderSymbolPixels(const uint8_t* matrix, int stride, int size, int moduleSize) {
    SymbolPixels picture;
    std::string unused;
    if (!checkSymbolArguments(matrix, stride, size, moduleSize, unused)) return picture;
    picture.side = (size + 2 * kQuietZoneModules) * moduleSize;
    picture.pixels.assign(static_cast<size_t>(picture.side) * picture.side, kLightPixel);
    const int quiet = kQuietZoneModules * moduleSize;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            if (matrix[static_cast<size_t>(row) * stride + column] != 0) continue;
            for (int dy = 0; dy < moduleSize; ++dy) {
                uint8_t* line = &picture.pixels[static_cast<size_t>(quiet + row * moduleSize + dy) * picture.side];
                std::fill_n(line + quiet + column * moduleSize, moduleSize, kDarkPixel);
            }
        }
    }
    return picture;
}

bool writeSymbolBmp(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                    std::string& error) {
    if (!checkSymbolArguments(matrix, stride, size, moduleSize, error)) return false;
    const SymbolPixels picture = renderSymbolPixels(matrix, stride, size, moduleSize);
    return writeBmp1(path, picture.pixels.data(), picture.side, picture.side, picture.side, error);
}

bool writeSymbolPng(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                    std::string& error) {
    if (!checkSymbolArguments(matrix, stride, size, moduleSize, error)) return false;
    SymbolPixels picture = renderSymbolPixels(matrix, stride, size, moduleSize);
    const cv::Mat grey(picture.side, picture.side, CV_8UC1, picture.pixels.data());
    std::vector<uint8_t> png;
    // Encoded in memory so that the file itself can be written whole or not at all.
    std::string why;
    if (!encodePngImage(grey, png, why)) {
        error = path + ": the PNG encoder failed: " + why;
        return false;
    }
    return writeFileWhole(path, png.data(), png.size(), error);
}

bool writeSymbolSvg(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                    std::string& error) {
    if (!checkSymbolArguments(matrix, stride, size, moduleSize, error)) return false;
    const std::string svg = symbolSvgText(matrix, stride, size, moduleSize);
    return writeFileWhole(path, svg.data(), svg.size(), error);
}

bool writeSymbolPicture(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                        std::string& error) {
    switch (symbolPictureFormatOf(path)) {
    case SymbolPictureFormat::Bmp: return writeSymbolBmp(path, matrix, stride, size, moduleSize, error);
    case SymbolPictureFormat::Png: return writeSymbolPng(path, matrix, stride, size, moduleSize, error);
    case SymbolPictureFormat::Svg: return writeSymbolSvg(path, matrix, stride, size, moduleSize, error);
    case SymbolPictureFormat::Unknown: break;
    }
    error = path + ": unknown picture type; use a .bmp, .png or .svg file name";
    return false;
}

}  // namespace velmora
