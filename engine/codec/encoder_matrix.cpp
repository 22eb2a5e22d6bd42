// The second half of the encoder: error correction, interleaving, module placement, masking
// and the format and version information.
//
// Each byte of the working grid (at x * 177 + y) carries flags:
//   0x20 function module (finder, separator, timing, alignment, format or version area)
//   0x10 the function module is dark
//   0x02 the data bit placed here, before masking
//   0x01 the data bit after masking
// A module is dark when (value & 0x11) != 0.
#include <algorithm>
#include <cstdlib>

#include "engine/codec/format_version_words.h"
#include "engine/codec/mask_patterns.h"
#include "engine/codec/qr_encode.h"
#include "engine/codec/reed_solomon.h"

namespace velmora {
namespace {

constexpr uint8_t kFunction = 0x20;
constexpr uint8_t kFunctionDark = 0x10;
constexpr uint8_t kDataBit = 0x02;
constexpr uint8_t kMaskedBit = 0x01;

// Pattern bitmaps, one byte per row, most significant used bit leftmost; a set bit is dark.
constexpr uint8_t kFinderPattern[7] = {0x7F, 0x41, 0x5D, 0x5D, 0x5D, 0x41, 0x7F};
constexpr uint8_t kAlignmentPattern[5] = {0x1F, 0x11, 0x15, 0x11, 0x1F};

inline int at(int x, int y) { return x * kMatrixStride + y; }

// Penalty of one row or column for runs of five or more and for finder-like patterns.
int linePenalty(const uint8_t* line, int s) {
    int penalty = 0;
    int position = 0;
    while (position < s - 4) {
        int end = position + 1;
        while (end < s && line[end] == line[position]) ++end;
        const int run = end - position;
        if (run >= 5) penalty += run - 2;
        position = end;
    }
    auto lightOrOutside = [line, s](int i) { return i < 0 || i >= s || line[i] == 0; };
    for (int j = 0; j + 7 <= s; ++j) {
        if (!(line[j] && !line[j + 1] && line[j + 2] && line[j + 3] && line[j + 4] && !line[j + 5] &&
              line[j + 6]))
            continue;
        if (!lightOrOutside(j - 1) || !lightOrOutside(j + 7)) continue;
        const bool lightBefore = lightOrOutside(j - 2) && lightOrOutside(j - 3) && lightOrOutside(j - 4);
        const bool lightAfter = lightOrOutside(j + 8) && lightOrOutside(j + 9) && lightOrOutside(j + 10);
        if (lightBefore || lightAfter) penalty += 40;
    }
    return penalty;
}

}  // namespace

void CQR_Encode::setFunctionModule(int x, int y, bool dark) {
    grid_[at(x, y)] = dark ? (kFunction | kFunctionDark) : kFunction;
}

void CQR_Encode::BuildMatrix() {
    InterleaveBlocks();
    grid_.fill(0);
    PlaceFunctionPatterns();
    PlaceCodewords();
    if (mask_ < 0) {
        int best = 0;
        int bestPenalty = 0;
        for (int k = 0; k < 8; ++k) {
            ApplyMask(k);
            WriteFormatInfo(k);
            const int penalty = MaskPenalty();
            if (k == 0 || penalty < bestPenalty) {
                best = k;
                bestPenalty = penalty;
            }
        }
        mask_ = best;
    }
    ApplyMask(mask_);
    WriteFormatInfo(mask_);
}

void CQR_Encode::InterleaveBlocks() {
    const VersionInfo& info = VersionTable[version_];
    const BlockGroup& g1 = info.blockGroups[0][level_];
    const BlockGroup& g2 = info.blockGroups[1][level_];
    const int b1 = g1.blockCount;
    const int blocks = b1 + g2.blockCount;
    const int d1 = g1.dataCodewordsPerBlock;
    const int dataTotal = info.dataCodewords[level_];
    const int parity = g1.codewordsPerBlock - d1;

    codewordCount_ = info.totalCodewords;
    std::fill(codewords_.begin(), codewords_.begin() + codewordCount_, uint8_t{0});
    int source = 0;
    for (int b = 0; b < blocks; ++b) {
        const int d = b < b1 ? d1 : g2.dataCodewordsPerBlock;
        blockWork_.fill(0);
        for (int j = 0; j < d; ++j) {
            const uint8_t codeword = dataBits_[source++];
            blockWork_[j] = codeword;
            // The extra codeword of a longer block follows all the shorter columns.
            const int index = (b >= b1 && j == d1) ? d1 * blocks + (b - b1) : j * blocks + b;
            codewords_[index] = codeword;
        }
        const uint8_t* parityBytes = RsParity(blockWork_.data(), d + parity, d);
        for (int j = 0; j < parity; ++j) codewords_[dataTotal + j * blocks + b] = parityBytes[j];
    }
}

void CQR_Encode::PlaceFunctionPatterns() {
    const int s = symbolSize_;
    const int finderCorners[3][2] = {{0, 0}, {s - 7, 0}, {0, s - 7}};
    for (const auto& corner : finderCorners) {
        for (int row = 0; row < 7; ++row) {
            for (int column = 0; column < 7; ++column) {
                const bool dark = (kFinderPattern[row] >> (6 - column)) & 1;
                setFunctionModule(corner[0] + column, corner[1] + row, dark);
            }
        }
    }
    for (int i = 0; i <= 7; ++i) {
        setFunctionModule(7, i, false);
        setFunctionModule(i, 7, false);
        setFunctionModule(s - 8, i, false);
        setFunctionModule(s - 8 + i, 7, false);
        setFunctionModule(7, s - 8 + i, false);
        setFunctionModule(i, s - 8, false);
    }
    // Format areas, reserved light until the format information is written.
    for (int i = 0; i <= 8; ++i) {
        setFunctionModule(i, 8, false);
        setFunctionModule(8, i, false);
    }
    for (int i = 0; i < 8; ++i) {
        setFunctionModule(8, s - 8 + i, false);
        setFunctionModule(s - 8 + i, 8, false);
    }
    if (version_ >= 7) {
        const uint32_t word = versionWord(version_);
        for (int k = 0; k < 18; ++k) {
            const bool dark = (word >> k) & 1;
            setFunctionModule(k / 3, s - 11 + k % 3, dark);
            setFunctionModule(s - 11 + k % 3, k / 3, dark);
        }
    }
    // Alignment patterns; centres already inside a function pattern are skipped.
    const VersionInfo& info = VersionTable[version_];
    auto placeAlignment = [this](int cx, int cy) {
        if (grid_[at(cx, cy)] & kFunction) return;
        for (int row = 0; row < 5; ++row) {
            for (int column = 0; column < 5; ++column) {
                const bool dark = (kAlignmentPattern[row] >> (4 - column)) & 1;
                setFunctionModule(cx - 2 + column, cy - 2 + row, dark);
            }
        }
    };
    for (int a = 0; a < info.alignmentCount; ++a) {
        const int p = info.alignmentPositions[a];
        placeAlignment(p, 6);
        placeAlignment(6, p);
        for (int b = 0; b < info.alignmentCount; ++b) placeAlignment(p, info.alignmentPositions[b]);
    }
    for (int i = 8; i <= s - 9; ++i) {
        const bool dark = i % 2 == 0;
        setFunctionModule(i, 6, dark);
        setFunctionModule(6, i, dark);
    }
}

void CQR_Encode::PlaceCodewords() {
    const int totalBits = codewordCount_ * 8;
    int bit = 0;
    PlacementPath path(symbolSize_);
    int x = 0;
    int y = 0;
    while (path.next(x, y)) {
        uint8_t& module = grid_[at(x, y)];
        if (module & kFunction) continue;
        if (bit < totalBits) {
            const bool one = (codewords_[bit >> 3] >> (7 - (bit & 7))) & 1;
            module = one ? kDataBit : 0;
            ++bit;
        } else {
            module = 0;  // remainder bit
        }
    }
}

void CQR_Encode::ApplyMask(int k) {
    const int s = symbolSize_;
    for (int x = 0; x < s; ++x) {
        uint8_t* column = &grid_[at(x, 0)];
        for (int y = 0; y < s; ++y) {
            const uint8_t module = column[y];
            if (module & kFunction) continue;
            const uint8_t bit = ((module & kDataBit) ? 1 : 0) ^ (maskCondition(k, y, x) ? 1 : 0);
            column[y] = static_cast<uint8_t>((module & ~kMaskedBit) | bit);
        }
    }
}

void CQR_Encode::WriteFormatInfo(int k) {
    const int s = symbolSize_;
    const uint32_t word = formatWord(level_, k);
    for (int b = 0; b < 15; ++b) {
        const bool dark = (word >> b) & 1;
        if (b <= 5) {
            setFunctionModule(8, b, dark);
        } else if (b == 6) {
            setFunctionModule(8, 7, dark);
        } else if (b == 7) {
            setFunctionModule(8, 8, dark);
        } else if (b == 8) {
            setFunctionModule(7, 8, dark);
        } else {
            setFunctionModule(14 - b, 8, dark);
        }
        if (b <= 7) {
            setFunctionModule(s - 1 - b, 8, dark);
        } else {
            setFunctionModule(8, s - 15 + b, dark);
        }
    }
    setFunctionModule(8, s - 8, true);
}

int CQR_Encode::MaskPenalty() {
    const int s = symbolSize_;
    int light = 0;
    for (int x = 0; x < s; ++x) {
        const uint8_t* column = &grid_[at(x, 0)];
        for (int y = 0; y < s; ++y) {
            const uint8_t dark = (column[y] & 0x11) ? 1 : 0;
            darkColumns_[x * s + y] = dark;
            darkRows_[y * s + x] = dark;
            light += 1 - dark;
        }
    }
    int penalty = 0;
    for (int i = 0; i < s; ++i) {
        penalty += linePenalty(&darkRows_[i * s], s);
        penalty += linePenalty(&darkColumns_[i * s], s);
    }
    for (int y = 0; y + 1 < s; ++y) {
        const uint8_t* row = &darkRows_[y * s];
        const uint8_t* below = row + s;
        for (int x = 0; x + 1 < s; ++x) {
            const uint8_t c = row[x];
            if (row[x + 1] == c && below[x] == c && below[x + 1] == c) penalty += 3;
        }
    }
    const int percentLight = light * 100 / (s * s);
    penalty += 10 * (std::abs(50 - percentLight) / 5);
    return penalty;
}

void CQR_Encode::writeMatrix(uint8_t* matrix) const {
    const int s = symbolSize_;
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) {
            const bool dark = (grid_[at(x, y)] & 0x11) != 0;
            matrix[y * kMatrixStride + x] = dark ? 0 : 1;
        }
    }
}

}  // namespace velmora
