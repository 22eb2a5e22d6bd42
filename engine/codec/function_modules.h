// Where a symbol's function modules lie and what colour each has: the one description that the
// encoder draws and the reader leaves out of the data.
#pragma once

#include <cstdint>

#include "engine/codec/format_version_words.h"
#include "engine/codec/version_table.h"

namespace velmora {

// Rows of the finder (7 x 7) and alignment (5 x 5) patterns, the first column in the top bit.
inline constexpr uint8_t kFinderPattern[7] = {0x7F, 0x41, 0x5D, 0x5D, 0x5D, 0x41, 0x7F};
inline constexpr uint8_t kAlignmentPattern[5] = {0x1F, 0x11, 0x15, 0x11, 0x1F};

// True when (x, y) lies in the 8 x 8 area of a finder with its separator.
constexpr bool inFinderArea(int x, int y, int size) {
    return (x < 8 && y < 8) || (x >= size - 8 && y < 8) || (x < 8 && y >= size - 8);
}

// Calls visit(x, y, dark) for every function module of a symbol of the version (1..40), in the
// order the encoder places them: the finders, their separators, the format areas reserved light
// (the dark module among them), the version areas with their bits (version 7 up), the alignment
// patterns but those whose centre lies in a finder's area, and the timing patterns. A module
// that two of them share is visited twice, and the later colour holds: the timing patterns cross
// the format areas at (6, 8) and (8, 6).
template <typename Visit>
void forEachFunctionModule(int version, Visit&& visit) {
    const int s = symbolSizeOf(version);
    const int finderCorners[3][2] = {{0, 0}, {s - 7, 0}, {0, s - 7}};
    for (const auto& corner : finderCorners) {
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 7; ++column) {
                visit(corner[0] + column, corner[1] + row, ((kFinderPattern[row] >> (6 - column)) & 1) != 0);
            }
        }
    }
    for (int i = 0; i <= 7; ++i) {
        visit(7, i, false);
        visit(i, 7, false);
        visit(s - 8, i, false);
        visit(s - 8 + i, 7, false);
        visit(7, s - 8 + i, false);
        visit(i, s - 8, false);
    }
    for (int i = 0; i <= 8; ++i) {
        visit(i, 8, false);
        visit(8, i, false);
    }
    for (int i = 0; i < 8; ++i) {
        visit(8, s - 8 + i, false);
        visit(s - 8 + i, 8, false);
    }
    if (version >= 7) {
        const uint32_t word = versionWord(version);
        for (int k = 0; k < 18; ++k) {
            const bool dark = (word >> k) & 1;
            visit(k / 3, s - 11 + k % 3, dark);
            visit(s - 11 + k % 3, k / 3, dark);
        }
    }
    const VersionInfo& info = VersionTable[version];
    auto alignment = [&](int cx, int cy) {
        if (inFinderArea(cx, cy, s)) return;
        for (int row = 0; row < 5; ++row) {
            for (int column = 0; column < 5; ++column) {
                visit(cx - 2 + column, cy - 2 + row, ((kAlignmentPattern[row] >> (4 - column)) & 1) != 0);
            }
        }
    };
    for (int a = 0; a < info.alignmentCount; ++a) {
        const int p = info.alignmentPositions[a];
        alignment(p, 6);
        alignment(6, p);
        for (int b = 0; b < info.alignmentCount; ++b) alignment(p, info.alignmentPositions[b]);
    }
    for (int i = 8; i <= s - 9; ++i) {
        visit(i, 6, i % 2 == 0);
        visit(6, i, i % 2 == 0);
    }
}

}  // namespace velmora
