// Where the codeword bits lie in a symbol, worked out from the symbol's layout on its own, so that
// the reader's codeword tables and the damage suites have something independent to go by.
#pragma once

#include <cstdlib>
#include <utility>
#include <vector>

#include "engine/codec/mask_patterns.h"
#include "engine/codec/version_table.h"

namespace velmora::test {

// Whether module (x, y) of a symbol of the version belongs to a finder with its separator, the
// format areas (dark module included), the timing patterns, the version areas or an alignment
// pattern.
inline bool isFunctionModule(int version, int x, int y) {
    const int s = symbolSizeOf(version);
    // Finder, separator and the format modules beside it, per corner.
    if (x <= 8 && y <= 8) return true;
    if (x >= s - 8 && y <= 8) return true;
    if (x <= 8 && y >= s - 8) return true;
    if (x == 6 || y == 6) return true;
    if (version >= 7) {
        if (x < 6 && y >= s - 11 && y < s - 8) return true;
        if (y < 6 && x >= s - 11 && x < s - 8) return true;
    }
    // Alignment centres on every pair of coordinates (6 included), except the three that fall
    // on a finder.
    const VersionInfo& info = VersionTable[version];
    if (info.alignmentCount == 0) return false;
    std::vector<int> centres = {6};
    for (int a = 0; a < info.alignmentCount; ++a) centres.push_back(info.alignmentPositions[a]);
    const int last = centres.back();
    for (const int cx : centres) {
        for (const int cy : centres) {
            if ((cx == 6 && cy == 6) || (cx == 6 && cy == last) || (cx == last && cy == 6)) continue;
            if (std::abs(x - cx) <= 2 && std::abs(y - cy) <= 2) return true;
        }
    }
    return false;
}

// Column and row of every data module in placement order, remainder bits included.
inline std::vector<std::pair<int, int>> dataModulesInPlacementOrder(int version) {
    std::vector<std::pair<int, int>> positions;
    PlacementPath path(symbolSizeOf(version));
    int x = 0;
    int y = 0;
    while (path.next(x, y)) {
        if (!isFunctionModule(version, x, y)) positions.emplace_back(x, y);
    }
    return positions;
}

}  // namespace velmora::test
