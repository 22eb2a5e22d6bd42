#include "engine/codec/qr_decoder.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "engine/codec/format_version_words.h"
#include "engine/codec/function_modules.h"
#include "engine/codec/mask_patterns.h"
#include "engine/codec/reed_solomon.h"

namespace velmora {
namespace {

// Format copies further than this from every format word are not trusted. The format code's
// minimum distance is 7, so three errors are still corrected unambiguously.
constexpr int kMaxFormatDistance = 3;

struct ModulePosition {
    int x;
    int y;
};

// Column and row of format bit i (0..14) of the copy beside the top-left finder, stepping over
// the timing patterns.
ModulePosition firstCopyModule(int i) {
    if (i <= 5) return {8, i};
    if (i <= 7) return {8, i + 1};
    if (i == 8) return {7, 8};
    return {14 - i, 8};
}

// Column and row of format bit i of the copy split between the other two finders. A mirror
// image has this copy's run of eight modules in column 8 and its run of seven in row 8, the
// opposite of an upright symbol, so its row part ends one module earlier.
ModulePosition secondCopyModule(int i, int s, bool mirrored) {
    const int lastOfFirstRun = mirrored ? 6 : 7;
    if (i <= lastOfFirstRun) return {s - 1 - i, 8};
    return {8, s - 15 + i};
}

// Sets the function modules of a symbol of the version in grid (byte [x * 177 + y]) to 1; the
// rest are the data modules.
void markFunctionModules(int version, uint8_t* grid) {
    forEachFunctionModule(version, [grid](int x, int y, bool) { grid[x * kMatrixStride + y] = 1; });
}

// Every version's codeword layout has a place of its own in one static area, sized by the
// modules of each symbol (more than its codewords need), so that no read ever allocates.
constexpr std::array<int, kMaxVersion + 2> kLayoutStarts = [] {
    std::array<int, kMaxVersion + 2> starts{};
    for (int v = kMinVersion; v <= kMaxVersion; ++v) starts[v + 1] = starts[v] + symbolSizeOf(v) * symbolSizeOf(v) / 8;
    return starts;
}();

std::array<CodewordModules, kLayoutStarts[kMaxVersion + 1]> layoutArea;
std::array<std::once_flag, kMaxVersion + 1> layoutBuilt;

// Follows the placement path over the data modules of the version and records the modules of
// each codeword; the modules past the last codeword are remainder bits.
void buildLayout(int version, CodewordModules* layout) {
    std::array<uint8_t, kMatrixStride * kMatrixStride> function{};
    markFunctionModules(version, function.data());
    const int totalBits = VersionTable[version].totalCodewords * 8;
    int bit = 0;
    int x = 0;
    int y = 0;
    PlacementPath path(symbolSizeOf(version));
    while (bit < totalBits && path.next(x, y)) {
        if (function[x * kMatrixStride + y] != 0) continue;
        CodewordModules& codeword = layout[bit >> 3];
        const int i = bit & 7;
        codeword.x[i] = static_cast<uint8_t>(x);
        codeword.y[i] = static_cast<uint8_t>(y);
        for (int k = 0; k < 8; ++k) {
            if (maskCondition(k, y, x)) codeword.maskBits[k] |= static_cast<uint8_t>(0x80 >> i);
        }
        ++bit;
    }
}

// Codeword index of data codeword j of block b (blocks in all, the first shortBlocks of them
// holding shortData codewords): codeword j of every block was sent before codeword j + 1 of any
// block, and the extra codeword of the longer blocks comes last.
int dataCodewordIndex(int b, int j, int blocks, int shortBlocks, int shortData) {
    return (b >= shortBlocks && j == shortData) ? shortData * blocks + (b - shortBlocks) : j * blocks + b;
}

}  // namespace

const CodewordModules* codewordModulesOf(int version) {
    if (version < kMinVersion || version > kMaxVersion) return nullptr;
    CodewordModules* layout = &layoutArea[static_cast<std::size_t>(kLayoutStarts[version])];
    std::call_once(layoutBuilt[static_cast<std::size_t>(version)], buildLayout, version, layout);
    return layout;
}

CQR_Decoder& processDecoder() {
    static CQR_Decoder decoder;
    return decoder;
}

void CQR_Decoder::capTextLength(int limit) {
    if (textLength_ <= limit) return;
    textLength_ = std::max(limit, 0);
    text_[textLength_] = 0;
}

int CQR_Decoder::ReadSymbol(int size, int version) {
    // Anything else would walk outside the matrix or the tables.
    if (version < kMinVersion || version > kMaxVersion || size != symbolSizeOf(version)) return -1;
    size_ = size;
    version_ = version;
    for (int x = 0; x < size_; ++x) {
        std::memcpy(&sampled_[x * kMatrixStride], &matrix_[x * kMatrixStride], size_);
    }

    int candidates = ReadFormat(Orientation::Normal);
    if (candidates >= 0) {
        const int result = DecodeWithFormat(candidates, Orientation::Normal);
        if (result >= 0) return result;
    }

    candidates = ReadFormat(Orientation::Mirrored);
    if (candidates < 0) return candidates;
    return DecodeWithFormat(candidates, Orientation::Mirrored);
}

// Best distance of one format copy (0 the first copy, 1 the second) to the format words, with
// the level and mask of the closest word; the first word in table order wins a tie.
int CQR_Decoder::readFormatCopy(int copy, Orientation orientation, int& level, int& mask) const {
    const bool mirrored = orientation == Orientation::Mirrored;
    uint32_t word = 0;
    for (int i = 0; i < 15; ++i) {
        const ModulePosition p = copy == 0 ? firstCopyModule(i) : secondCopyModule(i, size_, mirrored);
        // The transposed symbol's copies run along the same modules in the opposite direction.
        if (module(p.x, p.y) != 0) word |= 1u << (mirrored ? 14 - i : i);
    }
    int best = 32;
    int bestIndex = 0;
    for (int index = 0; index < static_cast<int>(FormatWords.size()); ++index) {
        const int distance = hammingDistance(word, FormatWords[index]);
        if (distance < best) {
            best = distance;
            bestIndex = index;
            if (distance == 0) break;
        }
    }
    level = kLevelOfBits[bestIndex / 8];
    mask = bestIndex % 8;
    return best;
}

// -1 when neither copy is within reach of a format word; 0 with one candidate in level and
// mask; 1 when the copies disagree, the closer copy in level and mask and the other in level2
// and mask2.
int CQR_Decoder::ReadFormat(Orientation orientation) {
    int firstLevel = 0;
    int firstMask = 0;
    int secondLevel = 0;
    int secondMask = 0;
    const int firstDistance = readFormatCopy(0, orientation, firstLevel, firstMask);
    const int secondDistance = readFormatCopy(1, orientation, secondLevel, secondMask);
    const bool firstAccepted = firstDistance <= kMaxFormatDistance;
    const bool secondAccepted = secondDistance <= kMaxFormatDistance;
    if (!firstAccepted && !secondAccepted) return -1;

    if (!secondAccepted || (firstAccepted && firstLevel == secondLevel && firstMask == secondMask)) {
        level_ = firstLevel;
        mask_ = firstMask;
        return 0;
    }
    if (!firstAccepted) {
        level_ = secondLevel;
        mask_ = secondMask;
        return 0;
    }
    const bool secondCloser = secondDistance < firstDistance;
    level_ = secondCloser ? secondLevel : firstLevel;
    mask_ = secondCloser ? secondMask : firstMask;
    level2_ = secondCloser ? firstLevel : secondLevel;
    mask2_ = secondCloser ? firstMask : secondMask;
    return 1;
}

// Reads the symbol with the primary format candidate and, when ReadFormat found two, with the
// alternative; each attempt reads the codewords afresh from the sampled modules.
int CQR_Decoder::DecodeWithFormat(int candidates, Orientation orientation) {
    mirrored_ = orientation == Orientation::Mirrored ? 1 : 0;
    const int attempts = candidates == 1 ? 2 : 1;
    int result = -1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt == 1) {
            level_ = level2_;
            mask_ = mask2_;
        }
        result = CorrectBlocks(orientation);
        correctedCodewords_ = result;
        if (result < 0) continue;
        result = ParseSegments();
        if (result >= 0) return result;
    }
    return result;
}

// Codeword index of the symbol with the current mask removed, most significant bit first. A
// mirror image is read transposed: module (x, y) of the symbol is sample (y, x).
uint8_t CQR_Decoder::readCodeword(const CodewordModules& codeword, Orientation orientation) const {
    const int xStride = orientation == Orientation::Normal ? kMatrixStride : 1;
    const int yStride = orientation == Orientation::Normal ? 1 : kMatrixStride;
    const uint8_t* modules = matrix_.data();
    unsigned bits = 0;
    for (int i = 0; i < 8; ++i) {
        bits = (bits << 1) | (modules[codeword.x[i] * xStride + codeword.y[i] * yStride] != 0 ? 1u : 0u);
    }
    return static_cast<uint8_t>(bits ^ codeword.maskBits[static_cast<std::size_t>(mask_)]);
}

// Reads and repairs the blocks one after the other and puts their data codewords in block
// order; the total of repaired codewords, or the first block's failure, in which case the
// blocks after it are not read at all.
int CQR_Decoder::CorrectBlocks(Orientation orientation) {
    const VersionInfo& info = VersionTable[version_];
    const CodewordModules* layout = codewordModulesOf(version_);
    const BlockGroup& first = info.blockGroups[0][level_];
    const BlockGroup& second = info.blockGroups[1][level_];
    const int shortBlocks = first.blockCount;
    const int blocks = shortBlocks + second.blockCount;
    const int shortData = first.dataCodewordsPerBlock;
    const int dataTotal = info.dataCodewords[level_];
    dataBitCount_ = 8 * dataTotal;
    int offset = 0;
    int corrected = 0;
    for (int b = 0; b < blocks; ++b) {
        const BlockGroup& group = b < shortBlocks ? first : second;
        const int c = group.codewordsPerBlock;
        const int d = group.dataCodewordsPerBlock;
        const int e = c - d;
        for (int j = 0; j < d; ++j) {
            block_[j] = readCodeword(layout[dataCodewordIndex(b, j, blocks, shortBlocks, shortData)], orientation);
        }
        for (int j = 0; j < e; ++j) block_[d + j] = readCodeword(layout[dataTotal + j * blocks + b], orientation);
        const int result = RsCorrect(block_.data(), c, d, e / 2, 8, 0);
        if (result < 0) return result;
        std::copy(block_.begin(), block_.begin() + d, data_.begin() + offset);
        corrected += result;
        offset += d;
    }
    return corrected;
}

// Turns the corrected data codewords into the text and its length.
int CQR_Decoder::ParseSegments() {
    return velmora::ParseSegments(data_.data(), dataBitCount_, version_, text_.data(), textLength_, &textMeaning_);
}

}  // namespace velmora
