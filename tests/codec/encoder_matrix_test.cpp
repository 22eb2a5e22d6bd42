#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "encoder_test_support.h"
#include "engine/codec/format_version_words.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// Reads the 15-bit format word from the first or second copy of the last symbol.
uint32_t formatCopy(int copy) {
    const int s = g_QrEncodedData.iEncoded_WH;
    uint32_t word = 0;
    for (int b = 0; b < 15; ++b) {
        int x;
        int y;
        if (copy == 0) {
            if (b <= 5) { x = 8; y = b; }
            else if (b == 6) { x = 8; y = 7; }
            else if (b == 7) { x = 8; y = 8; }
            else if (b == 8) { x = 7; y = 8; }
            else { x = 14 - b; y = 8; }
        } else if (b <= 7) {
            x = s - 1 - b;
            y = 8;
        } else {
            x = 8;
            y = s - 15 + b;
        }
        if (dark(x, y)) word |= 1u << b;
    }
    return word;
}

void expectFinderAt(int left, int top) {
    for (int dy = 0; dy < 7; ++dy) {
        for (int dx = 0; dx < 7; ++dx) {
            const bool ring = dx == 0 || dx == 6 || dy == 0 || dy == 6;
            const bool core = dx >= 2 && dx <= 4 && dy >= 2 && dy <= 4;
            EXPECT_EQ(dark(left + dx, top + dy), ring || core) << left + dx << "," << top + dy;
        }
    }
}

void expectAlignmentAt(int cx, int cy) {
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const bool ring = dx == -2 || dx == 2 || dy == -2 || dy == 2;
            EXPECT_EQ(dark(cx + dx, cy + dy), ring || (dx == 0 && dy == 0)) << cx + dx << "," << cy + dy;
        }
    }
}

}  // namespace

TEST(EncoderPlacesFunctionPatterns, FindersTimingAndDarkModuleInEverySymbol) {
    for (int version = 1; version <= 40; ++version) {
        for (int level = 0; level < 4; ++level) {
            Encoded e = encode("Velmora", level, version);
            ASSERT_EQ(e.result, 1);
            const int s = e.size;
            ASSERT_EQ(s, 4 * version + 17);
            EXPECT_TRUE(dark(8, s - 8));
            EXPECT_TRUE(dark(0, 0) && dark(s - 1, 0) && dark(0, s - 1));
            for (int i = 8; i <= s - 9; ++i) {
                ASSERT_EQ(dark(i, 6), i % 2 == 0) << version;
                ASSERT_EQ(dark(6, i), i % 2 == 0) << version;
            }
            // Separators around the three finders stay light.
            for (int i = 0; i <= 7; ++i) {
                ASSERT_FALSE(dark(7, i) || dark(i, 7) || dark(s - 8, i) || dark(s - 8 + i, 7) || dark(7, s - 8 + i) ||
                             dark(i, s - 8));
            }
        }
    }
}

TEST(EncoderPlacesFunctionPatterns, Version2HasOneAlignmentPattern) {
    ASSERT_EQ(encode("Velmora", LevelH, 2).result, 1);
    expectAlignmentAt(18, 18);
    expectFinderAt(0, 0);
    expectFinderAt(18, 0);
    expectFinderAt(0, 18);
}

TEST(EncoderPlacesFunctionPatterns, Version7AlignmentAndVersionBlocks) {
    Encoded e = encode("Velmora", LevelQ, 7);
    ASSERT_EQ(e.result, 1);
    const int s = e.size;
    for (auto [cx, cy] : {std::pair{6, 22}, {22, 6}, {22, 22}, {22, 38}, {38, 22}, {38, 38}}) expectAlignmentAt(cx, cy);
    for (int k = 0; k < 18; ++k) {
        const bool bit = (0x07C94 >> k) & 1;
        EXPECT_EQ(dark(k / 3, s - 11 + k % 3), bit) << k;
        EXPECT_EQ(dark(s - 11 + k % 3, k / 3), bit) << k;
    }
}

TEST(EncoderPlacesFunctionPatterns, VersionBlocksOfEveryLargeVersion) {
    for (int version = 7; version <= 40; ++version) {
        Encoded e = encode("V", LevelL, version);
        ASSERT_EQ(e.result, 1);
        uint32_t lower = 0;
        uint32_t upper = 0;
        for (int k = 0; k < 18; ++k) {
            if (dark(k / 3, e.size - 11 + k % 3)) lower |= 1u << k;
            if (dark(e.size - 11 + k % 3, k / 3)) upper |= 1u << k;
        }
        EXPECT_EQ(lower, versionWord(version));
        EXPECT_EQ(upper, versionWord(version));
        EXPECT_EQ(versionWord(version) >> 12, static_cast<uint32_t>(version));
    }
}

TEST(EncoderWritesFormatInformation, BothCopiesCarryLevelAndMask) {
    EXPECT_EQ(formatWord(LevelM, 0), 0x5412u);
    EXPECT_EQ(formatWord(LevelL, 0), 0x77C4u);
    for (int level = 0; level < 4; ++level) {
        for (int mask = 0; mask < 8; ++mask) {
            Encoded e = encode("FORMAT", level, 0, mask);
            ASSERT_EQ(e.result, 1);
            EXPECT_EQ(e.mask, mask);
            EXPECT_EQ(formatCopy(0), formatWord(level, mask)) << level << " " << mask;
            EXPECT_EQ(formatCopy(1), formatWord(level, mask)) << level << " " << mask;
        }
    }
}

TEST(EncoderChoosesMask, AutomaticChoiceIsWrittenIntoTheFormat) {
    Encoded e = encode("01234567", LevelM);
    ASSERT_EQ(e.mask, 2);
    EXPECT_EQ(formatCopy(0), formatWord(LevelM, 2));
    // A forced mask gives the same symbol as the automatic choice when they agree.
    const C_QrEncodedData automatic = g_QrEncodedData;
    ASSERT_EQ(encode("01234567", LevelM, 0, 2).result, 1);
    EXPECT_EQ(std::memcmp(&automatic, &g_QrEncodedData, sizeof automatic), 0);
}
