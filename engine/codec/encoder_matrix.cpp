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
#include "engine/codec/function_modules.h"
#include "engine/codec/mask_patterns.h"
#include "engine/codec/qr_encode.h"
#include "engine/codec/reed_solomon.h"

namespace velmora {
namespace {

constexpr uint8_t kFunction = 0x20;
constexpr uint8_t kFunctionDark = 0x10;
constexpr uint8_t kDataBit = 0x02;
constexpr uint8_t kMaskedBit = 0x01;

inline int at(int x, int y) { return x * kMatrixStride + y; }

// The eight mask patterns as bit lines over the largest symbol: bit set where mask k inverts.
using MaskBitTables = std::array<SymbolBits, 8>;

const MaskBitTables& maskBitTables() {
    static const MaskBitTables tables = [] {
        MaskBitTables t{};
        for (int k = 0; k < 8; ++k) {
            t[k].size = kMatrixStride;
            for (int x = 0; x < kMatrixStride; ++x) {
                for (int y = 0; y < kMatrixStride; ++y) t[k].set(x, y, maskCondition(k, y, x));
            }
        }
        return t;
    }();
    return tables;
}

// Calls place(x, y, dark) for the 31 modules of the format information of a word: both copies
// and the dark module.
template <typename Place>
void forEachFormatModule(int s, uint32_t word, Place place) {
    for (int b = 0; b < 15; ++b) {
        const bool dark = (word >> b) & 1;
        if (b <= 5) {
            place(8, b, dark);
        } else if (b == 6) {
            place(8, 7, dark);
        } else if (b == 7) {
            place(8, 8, dark);
        } else if (b == 8) {
            place(7, 8, dark);
        } else {
            place(14 - b, 8, dark);
        }
        if (b <= 7) {
            place(s - 1 - b, 8, dark);
        } else {
            place(8, s - 15 + b, dark);
        }
    }
    place(8, s - 8, true);
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
        // Each trial scores the symbol as mask k and its format information would leave it.
        prepareMaskTrials();
        int best = 0;
        int bestPenalty = 0;
        for (int k = 0; k < 8; ++k) {
            composeMaskTrial(k);
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
        const RsParityBytes parityBytes = RsParity(blockWork_.data(), d + parity, d);
        for (int j = 0; j < parity; ++j) codewords_[dataTotal + j * blocks + b] = parityBytes[j];
    }
}

void CQR_Encode::PlaceFunctionPatterns() {
    forEachFunctionModule(version_, [this](int x, int y, bool dark) { setFunctionModule(x, y, dark); });
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
    forEachFormatModule(symbolSize_, formatWord(level_, k),
                        [this](int x, int y, bool dark) { setFunctionModule(x, y, dark); });
}

void CQR_Encode::prepareMaskTrials() {
    const int s = symbolSize_;
    unmasked_ = SymbolBits{};
    maskable_ = SymbolBits{};
    unmasked_.size = maskable_.size = s;
    for (int x = 0; x < s; ++x) {
        for (int y = 0; y < s; ++y) {
            const uint8_t module = grid_[at(x, y)];
            const bool function = module & kFunction;
            unmasked_.set(x, y, function ? (module & kFunctionDark) : (module & kDataBit));
            maskable_.set(x, y, !function);
        }
    }
}

void CQR_Encode::composeMaskTrial(int k) {
    const int s = symbolSize_;
    const SymbolBits& pattern = maskBitTables()[k];
    trial_.size = s;
    for (int i = 0; i < s; ++i) {
        for (int w = 0; w < 3; ++w) {
            trial_.rows[i].words[w] =
                unmasked_.rows[i].words[w] ^ (pattern.rows[i].words[w] & maskable_.rows[i].words[w]);
            trial_.columns[i].words[w] =
                unmasked_.columns[i].words[w] ^ (pattern.columns[i].words[w] & maskable_.columns[i].words[w]);
        }
    }
    forEachFormatModule(s, formatWord(level_, k), [this](int x, int y, bool dark) { trial_.set(x, y, dark); });
}

int CQR_Encode::MaskPenalty() { return maskPenalty(trial_); }

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
