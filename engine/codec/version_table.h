// The constant tables shared by the encoder, the reader and the ornament: symbol capacities and
// block structure per version (ISO/IEC 18004, error correction characteristics and alignment
// pattern coordinates) and the widths of the character-count field.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kMinVersion = 1;
inline constexpr int kMaxVersion = 40;
inline constexpr int kMatrixStride = 177;  // modules per side of version 40

// Error-correction levels as numbered everywhere in the engine.
enum Level : int { LevelL = 0, LevelM = 1, LevelQ = 2, LevelH = 3 };

// Data segment modes, in the row order of CountWidths.
enum SegmentMode : int { ModeNumeric = 0, ModeAlphanumeric, ModeByte, ModeKanji, ModeHanzi, ModeCount };

struct BlockGroup {
    int32_t blockCount;
    int32_t codewordsPerBlock;
    int32_t dataCodewordsPerBlock;
};

struct VersionInfo {
    int32_t versionNumber;
    int32_t totalCodewords;
    int32_t dataCodewords[4];        // per level L, M, Q, H
    int32_t alignmentCount;          // coordinates other than 6
    int32_t alignmentPositions[6];   // ascending, unused slots 0
    BlockGroup blockGroups[2][4];    // [group][level]; group 1 blocks hold one more data codeword
};
static_assert(sizeof(VersionInfo) == 37 * sizeof(int32_t));

// Record 0 is all zero and never selected; record v describes version v.
extern const VersionInfo VersionTable[kMaxVersion + 1];

// Character-count field width in bits by mode and version class.
extern const int CountWidths[ModeCount][3];

// Version class: 0 for versions 1 to 9, 1 for 10 to 26, 2 for 27 to 40.
constexpr int versionClass(int version) { return version <= 9 ? 0 : (version <= 26 ? 1 : 2); }

constexpr int symbolSizeOf(int version) { return 4 * version + 17; }

}  // namespace velmora
