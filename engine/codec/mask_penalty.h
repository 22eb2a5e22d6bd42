// The mask penalty rules of ISO/IEC 18004 (section 7.8.3) over symbols held as bit lines, so
// that the encoder can score all eight masks of a large symbol quickly.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "engine/codec/version_table.h"

namespace velmora {

// One row or column of up to 177 modules: bit i is module i, 1 dark. Bits past the symbol's
// side are always 0, which the rules read as light modules outside the symbol.
struct ModuleLine {
    std::array<uint64_t, 3> words{};

    void set(int i, bool dark) {
        const uint64_t bit = uint64_t{1} << (i & 63);
        words[i >> 6] = dark ? (words[i >> 6] | bit) : (words[i >> 6] & ~bit);
    }
    bool test(int i) const { return (words[i >> 6] >> (i & 63)) & 1; }
};

// A symbol as dark bits, row by row and column by column.
struct SymbolBits {
    int size = 0;
    std::array<ModuleLine, kMatrixStride> rows;
    std::array<ModuleLine, kMatrixStride> columns;

    void set(int x, int y, bool dark) {
        rows[y].set(x, dark);
        columns[x].set(y, dark);
    }
};

// Penalty of the whole symbol: runs of five or more (length - 2 each), 2 x 2 blocks of one
// colour (3 each), dark 1:1:3:1:1 patterns with light on both sides and four light modules or
// the edge before or after (40 each), and the balance of dark and light (10 per 5 % off 50 %).
int maskPenalty(const SymbolBits& symbol);

}  // namespace velmora
