#include "engine/codec/qr_decoder.h"

#include <algorithm>
#include <cstring>

#include "engine/codec/format_version_words.h"
#include "engine/codec/mask_patterns.h"
#include "engine/codec/reed_solomon.h"

namespace velmora {
namespace {

SymbolCornersHook symbolCornersHook = nullptr;

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

}  // namespace

void setSymbolCornersHook(SymbolCornersHook hook) { symbolCornersHook = hook; }

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
        if (result >= 0) {
            if (symbolCornersHook != nullptr) symbolCornersHook();
            return result;
        }
        loadMatrix(Orientation::Normal);
    }

    candidates = ReadFormat(Orientation::Mirrored);
    if (candidates < 0) return candidates;
    const int result = DecodeWithFormat(candidates, Orientation::Mirrored);
    if (result >= 0 && symbolCornersHook != nullptr) symbolCornersHook();
    return result;
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
// alternative; each attempt starts again from the sampled modules.
int CQR_Decoder::DecodeWithFormat(int candidates, Orientation orientation) {
    mirrored_ = orientation == Orientation::Mirrored ? 1 : 0;
    const int attempts = candidates == 1 ? 2 : 1;
    int result = -1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt == 1) {
            level_ = level2_;
            mask_ = mask2_;
            loadMatrix(orientation);
        } else if (orientation == Orientation::Mirrored) {
            loadMatrix(orientation);
        }
        Unmask(mask_);
        MarkFunctionModules();
        ReadCodewords();
        Deinterleave();
        result = CorrectBlocks();
        correctedCodewords_ = result;
        if (result < 0) continue;
        result = ParseSegments();
        if (result >= 0) return result;
    }
    return result;
}

// Fills the matrix from the sampled copy, transposed for a mirror image.
void CQR_Decoder::loadMatrix(Orientation orientation) {
    if (orientation == Orientation::Normal) {
        for (int x = 0; x < size_; ++x) {
            std::memcpy(&matrix_[x * kMatrixStride], &sampled_[x * kMatrixStride], size_);
        }
        return;
    }
    for (int x = 0; x < size_; ++x) {
        for (int y = 0; y < size_; ++y) module(x, y) = sampled_[y * kMatrixStride + x];
    }
}

// Every module becomes 0 or 1 with mask k removed; function modules are overwritten next.
void CQR_Decoder::Unmask(int k) {
    for (int x = 0; x < size_; ++x) {
        for (int y = 0; y < size_; ++y) {
            const bool dark = module(x, y) != 0;
            module(x, y) = (dark != maskCondition(k, y, x)) ? 1 : 0;
        }
    }
}

// Overwrites a width x height block of modules with the function marker.
void CQR_Decoder::markArea(int x0, int y0, int width, int height) {
    for (int x = x0; x < x0 + width; ++x) {
        for (int y = y0; y < y0 + height; ++y) module(x, y) = kFunctionMarker;
    }
}

// Marks exactly the modules the encoder reserves for patterns and format and version words, so
// that what is left are the data modules in placement order.
void CQR_Decoder::MarkFunctionModules() {
    const int s = size_;
    // Finders with their separators.
    markArea(0, 0, 8, 8);
    markArea(s - 8, 0, 8, 8);
    markArea(0, s - 8, 8, 8);
    // Alignment patterns; the last coordinate lies beside a finder on the timing rows.
    const VersionInfo& info = VersionTable[version_];
    for (int a = 0; a < info.alignmentCount; ++a) {
        const int p = info.alignmentPositions[a];
        if (a + 1 < info.alignmentCount) {
            markArea(6 - 2, p - 2, 5, 5);
            markArea(p - 2, 6 - 2, 5, 5);
        }
        for (int b = 0; b < info.alignmentCount; ++b) markArea(p - 2, info.alignmentPositions[b] - 2, 5, 5);
    }
    // Timing patterns.
    markArea(8, 6, s - 16, 1);
    markArea(6, 8, 1, s - 16);
    // Format areas, the dark module included.
    markArea(8, 0, 1, 9);
    markArea(0, 8, 9, 1);
    markArea(8, s - 8, 1, 8);
    markArea(s - 8, 8, 8, 1);
    if (version_ >= 7) {
        markArea(0, s - 11, 6, 3);
        markArea(s - 11, 0, 3, 6);
    }
}

// Collects the codewords along the placement path, most significant bit first; modules past
// the last codeword are remainder bits.
void CQR_Decoder::ReadCodewords() {
    const int total = VersionTable[version_].totalCodewords;
    std::fill(raw_.begin(), raw_.begin() + total, uint8_t{0});
    const int totalBits = total * 8;
    int bit = 0;
    int x = 0;
    int y = 0;
    PlacementPath path(size_);
    while (bit < totalBits && path.next(x, y)) {
        const uint8_t value = module(x, y);
        if (value == kFunctionMarker) continue;
        if (value != 0) raw_[bit >> 3] |= static_cast<uint8_t>(0x80 >> (bit & 7));
        ++bit;
    }
}

// Puts the data codewords back in block order: codeword j of every block was sent before
// codeword j + 1 of any block, and the extra codeword of the longer blocks comes last.
void CQR_Decoder::Deinterleave() {
    const VersionInfo& info = VersionTable[version_];
    const BlockGroup& first = info.blockGroups[0][level_];
    const BlockGroup& second = info.blockGroups[1][level_];
    const int shortBlocks = first.blockCount;
    const int blocks = shortBlocks + second.blockCount;
    const int shortData = first.dataCodewordsPerBlock;
    int out = 0;
    for (int b = 0; b < blocks; ++b) {
        const int d = b < shortBlocks ? shortData : second.dataCodewordsPerBlock;
        for (int j = 0; j < d; ++j) {
            const int index = (b >= shortBlocks && j == shortData) ? shortData * blocks + (b - shortBlocks)
                                                                   : j * blocks + b;
            data_[out++] = raw_[index];
        }
    }
    dataBitCount_ = 8 * info.dataCodewords[level_];
}

// Repairs every block in place; the total of repaired codewords, or the first block's failure.
int CQR_Decoder::CorrectBlocks() {
    const VersionInfo& info = VersionTable[version_];
    const BlockGroup& first = info.blockGroups[0][level_];
    const BlockGroup& second = info.blockGroups[1][level_];
    const int shortBlocks = first.blockCount;
    const int blocks = shortBlocks + second.blockCount;
    const int dataTotal = info.dataCodewords[level_];
    int offset = 0;
    int corrected = 0;
    for (int b = 0; b < blocks; ++b) {
        const BlockGroup& group = b < shortBlocks ? first : second;
        const int c = group.codewordsPerBlock;
        const int d = group.dataCodewordsPerBlock;
        const int e = c - d;
        std::copy(data_.begin() + offset, data_.begin() + offset + d, block_.begin());
        for (int j = 0; j < e; ++j) block_[d + j] = raw_[dataTotal + j * blocks + b];
        const int result = RsCorrect(block_.data(), c, d, e / 2, 8, 0);
        if (result < 0) return result;
        if (result > 0) std::copy(block_.begin(), block_.begin() + d, data_.begin() + offset);
        corrected += result;
        offset += d;
    }
    return corrected;
}

// Turns the corrected data codewords into the text and its length.
int CQR_Decoder::ParseSegments() {
    return velmora::ParseSegments(data_.data(), dataBitCount_, version_, text_.data(), textLength_);
}

}  // namespace velmora
