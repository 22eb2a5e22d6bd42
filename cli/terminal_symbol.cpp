#include "cli/terminal_symbol.h"

#include "codecs/symbol_picture.h"

namespace velmora::cli {
namespace {

// Glyphs indexed by (upper light) * 2 + (lower light).
constexpr const char* kHalfBlocks[4] = {
    " ",             // both dark
    "\xE2\x96\x84",  // U+2584 lower half block: only the lower module light
    "\xE2\x96\x80",  // U+2580 upper half block: only the upper module light
    "\xE2\x96\x88",  // U+2588 full block: both light
};

}  // namespace

std::string renderTerminalSymbol(const uint8_t* matrix, int stride, int size) {
    const int side = size + 2 * kQuietZoneModules;
    // Light for the quiet zone, the matrix value inside it, and dark below the last row so
    // that an odd row count leaves the lower half of the last line empty.
    const auto light = [&](int row, int column) {
        if (row >= side) return false;
        const int r = row - kQuietZoneModules;
        const int c = column - kQuietZoneModules;
        if (r < 0 || c < 0 || r >= size || c >= size) return true;
        return matrix[static_cast<size_t>(r) * stride + c] != 0;
    };
    std::string text;
    for (int row = 0; row < side; row += 2) {
        for (int column = 0; column < side; ++column)
            text += kHalfBlocks[(light(row, column) ? 2 : 0) + (light(row + 1, column) ? 1 : 0)];
        text += '\n';
    }
    return text;
}

}  // namespace velmora::cli
