// Pictures of an encoded symbol: the module matrix drawn with its four-module quiet zone at a
// chosen module size, and the writers that save it as a 1-bit BMP, a grey PNG or an SVG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

inline constexpr int kQuietZoneModules = 4;
inline constexpr int kMinModuleSize = 1;
inline constexpr int kMaxModuleSize = 20;

// A square grey picture, side by side bytes, row by row: 255 light, 0 dark.
struct SymbolPixels {
    int side = 0;
    std::vector<uint8_t> pixels;
};

// The file formats a symbol picture can be saved in, chosen by the file name's extension.
enum class SymbolPictureFormat { Bmp, Png, Svg, Unknown };

// The format that the extension of path names, compared without regard to case; Unknown for
// any other extension or none.
SymbolPictureFormat symbolPictureFormatOf(const std::string& path);

// Draws the size x size modules of matrix (display order: byte [row * stride + column], nonzero
// light, 0 dark) with a light quiet zone of four modules on every side, each module a
// moduleSize x moduleSize block. Every pixel is written. Returns an empty picture when size is
// not positive or moduleSize is outside 1..20.
SymbolPixels renderSymbolPixels(const uint8_t* matrix, int stride, int size, int moduleSize);

// Calls visit(row, column, length) for each horizontal run of dark modules of the size x size
// matrix (display order, byte [row * stride + column], 0 dark), row by row, left to right: one
// shape per run leaves no hairline seams between modules in a vector drawing.
template <typename Visit>
void forEachDarkRun(const uint8_t* matrix, int stride, int size, Visit&& visit) {
    for (int row = 0; row < size; ++row) {
        const uint8_t* modules = matrix + static_cast<size_t>(row) * stride;
        for (int column = 0; column < size;) {
            if (modules[column] != 0) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < size && modules[column] == 0) ++column;
            visit(row, start, column - start);
        }
    }
}

// The SVG text of the symbol: a white rectangle over the whole picture, then one closed path per
// horizontal run of dark modules, in pixel coordinates that include the quiet zone. Empty for
// arguments no writer takes.
std::string symbolSvgText(const uint8_t* matrix, int stride, int size, int moduleSize);

// The three writers take the matrix as renderSymbolPixels does. Each file appears whole or not
// at all; on failure they return false with a one-line reason.
bool writeSymbolBmp(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                    std::string& error);
bool writeSymbolPng(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                    std::string& error);
// One <path> per horizontal run of dark modules over a white background rectangle, all
// coordinates in pixels of the picture with its quiet zone.
bool writeSymbolSvg(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                    std::string& error);

// Saves the symbol in the format that the path's extension names; refuses other extensions.
bool writeSymbolPicture(const std::string& path, const uint8_t* matrix, int stride, int size, int moduleSize,
                        std::string& error);

}  // namespace velmora
