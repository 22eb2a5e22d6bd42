// Velmora's QR Code writer: the bytes of a text in, the symbol's modules out.
//
//     #include <velmora/writer.h>
//
//     if (auto symbol = velmora::writeSymbol("https://example.org"))
//         for (int y = 0; y < symbol->size; ++y) ... symbol->dark(x, y) ...
//
// Any number of threads may write at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "velmora/reader.h"

namespace velmora {

struct WriteOptions {
    char level = 'M';        // 'L', 'M', 'Q' or 'H'
    int version = 0;         // 1 to 40, or 0 for the smallest that holds the text
    bool growVersion = true;  // a version too small for the text grows to the smallest that holds it
    int mask = -1;           // 0 to 7, or -1 for the one the standard's penalty rules choose
};

// A symbol's modules, size by size, row by row from the top, without the quiet zone.
struct SymbolMatrix {
    int size = 0;                  // modules per side: 17 + 4 * version
    int version = 0;
    char level = 'M';
    int mask = 0;
    std::vector<uint8_t> modules;  // size * size bytes, 1 for a dark module, 0 for a light one

    bool dark(int x, int y) const { return modules[static_cast<std::size_t>(y) * size + x] != 0; }
};

// The symbol that holds the bytes at the level asked for. The bytes are encoded as they are:
// numeric, alphanumeric and byte segments as they fit best, and Kanji or Hanzi segments for
// Shift JIS or GB 2312 pairs in bytes that are not UTF-8. Empty when the text is empty, fits no
// version, fits not the version asked for (with growVersion off), or an option is out of range.
VELMORA_EXPORT std::optional<SymbolMatrix> writeSymbol(std::string_view bytes, const WriteOptions& options = {});

}  // namespace velmora
