// The symbol drawn in a terminal with Unicode half blocks, two module rows per text line.
#pragma once

#include <cstdint>
#include <string>

namespace velmora::cli {

// Draws the size x size modules of matrix (display order: byte [row * stride + column],
// nonzero light, 0 dark) with the four-module quiet zone, as UTF-8 lines ending in '\n'.
// As with qrencode -t UTF8, light modules are drawn with block glyphs and dark modules left as
// blanks, so that on a terminal with light text on a dark background the symbol appears dark on
// light. Each line is size + 8 characters wide; a last line with one module row draws it in its
// upper half.
std::string renderTerminalSymbol(const uint8_t* matrix, int stride, int size);

}  // namespace velmora::cli
