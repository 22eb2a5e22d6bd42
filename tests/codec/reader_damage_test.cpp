// Damaged symbols: codewords the blocks can repair, codewords they cannot, and damaged or
// contradictory format information.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "engine/codec/format_version_words.h"
#include "engine/codec/mask_patterns.h"
#include "engine/codec/qr_decoder.h"
#include "engine/codec/qr_encode.h"
#include "engine/codec/version_table.h"
#include "tests/codec/reader_test_support.h"

using namespace velmora;

namespace {

using Bytes = std::vector<uint8_t>;
using Position = std::pair<int, int>;  // column, row

// A symbol of our encoder in the reader's orientation: byte [x * 177 + y], 1 dark.
struct ReaderSymbol {
    int version = 0;
    int level = 0;
    int mask = 0;
    int size = 0;
    Bytes text;
    Bytes modules = Bytes(kMatrixStride * kMatrixStride, 0);

    uint8_t& at(int x, int y) { return modules[x * kMatrixStride + y]; }
};

ReaderSymbol encodeSymbol(const Bytes& text, int level, int version, int mask) {
    ReaderSymbol symbol;
    symbol.text = text;
    symbol.level = level;
    symbol.version = version;
    symbol.mask = mask;
    Bytes display(kMatrixStride * kMatrixStride);
    const int ok = processEncoder().EncodeSymbol(level, symbol.version, 0, symbol.mask, display.data(), symbol.size,
                                                 reinterpret_cast<const char*>(text.data()),
                                                 static_cast<int>(text.size()));
    EXPECT_EQ(ok, 1);
    for (int x = 0; x < symbol.size; ++x) {
        for (int y = 0; y < symbol.size; ++y) symbol.at(x, y) = 1 - display[y * kMatrixStride + x];
    }
    return symbol;
}

// Reads the modules as they are, or transposed (a mirror image); returns the reader's code.
int readModules(const ReaderSymbol& symbol, bool transposed = false) {
    uint8_t* matrix = processDecoder().matrix();
    for (int x = 0; x < symbol.size; ++x) {
        for (int y = 0; y < symbol.size; ++y) {
            const uint8_t value = symbol.modules[x * kMatrixStride + y];
            matrix[transposed ? y * kMatrixStride + x : x * kMatrixStride + y] = value;
        }
    }
    return processDecoder().ReadSymbol(symbol.size, symbol.version);
}

Bytes readText() {
    return Bytes(processDecoder().text(), processDecoder().text() + processDecoder().textLength());
}

// The modules of every codeword bit in placement order; the undamaged symbol must read.
std::vector<Position> dataModules(const ReaderSymbol& symbol) {
    EXPECT_EQ(readModules(symbol), 1);
    return test::dataModulesInPlacementOrder(symbol.version);
}

Bytes textOfLength(int length, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes text(length);
    for (auto& byte : text) byte = static_cast<uint8_t>(random());
    return text;
}

// Block layout of a symbol: B blocks; the data codewords of row j of all blocks come before row
// j + 1 in the codeword sequence, the parity rows after all data.
struct Layout {
    int blocks;
    int shortData;
    int dataTotal;
    int parity;
};

Layout layoutOf(int version, int level) {
    const VersionInfo& info = VersionTable[version];
    const BlockGroup& first = info.blockGroups[0][level];
    return {first.blockCount + info.blockGroups[1][level].blockCount, first.dataCodewordsPerBlock,
            info.dataCodewords[level], first.codewordsPerBlock - first.dataCodewordsPerBlock};
}

// Sequence index of codeword `row` of block b, where rows 0..shortData-1 are data rows shared by
// every block and the following rows are parity rows.
int sequenceIndex(const Layout& layout, int row, int b) {
    if (row < layout.shortData) return row * layout.blocks + b;
    return layout.dataTotal + (row - layout.shortData) * layout.blocks + b;
}

void damageCodeword(ReaderSymbol& symbol, const std::vector<Position>& modules, int index, uint8_t flips) {
    for (int bit = 0; bit < 8; ++bit) {
        if ((flips >> (7 - bit)) & 1) {
            const Position& p = modules[index * 8 + bit];
            symbol.at(p.first, p.second) ^= 1;
        }
    }
}

struct Case {
    int version;
    int level;
};

const Case kCases[] = {{1, LevelL}, {1, LevelH}, {2, LevelM}, {3, LevelQ}, {5, LevelQ},  {7, LevelH},
                       {9, LevelM}, {10, LevelL}, {14, LevelH}, {21, LevelQ}, {27, LevelM}, {33, LevelH},
                       {40, LevelL}, {40, LevelM}, {40, LevelQ}, {40, LevelH}};

// Damages `errors` distinct rows of every block (or only of block `onlyBlock`).
void damageRows(ReaderSymbol& symbol, const std::vector<Position>& modules, int errors, int onlyBlock,
                std::mt19937& random) {
    const Layout layout = layoutOf(symbol.version, symbol.level);
    std::vector<int> rows(layout.shortData + layout.parity);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) rows[i] = i;
    std::shuffle(rows.begin(), rows.end(), random);
    for (int b = 0; b < layout.blocks; ++b) {
        if (onlyBlock >= 0 && b != onlyBlock) continue;
        for (int e = 0; e < errors; ++e) {
            const auto flips = static_cast<uint8_t>(1 + random() % 255);
            damageCodeword(symbol, modules, sequenceIndex(layout, rows[e], b), flips);
        }
    }
}

TEST(ReaderCorrectsBlocks, UpToCapacityInEveryBlock) {
    std::mt19937 random(2024);
    for (const Case& c : kCases) {
        for (const bool transposed : {false, true}) {
            const int capacity = VersionTable[c.version].dataCodewords[c.level] - 4;
            ReaderSymbol symbol = encodeSymbol(textOfLength(capacity, c.version * 4 + c.level), c.level, c.version,
                                               c.version % 8);
            const std::vector<Position> modules = dataModules(symbol);
            const Layout layout = layoutOf(c.version, c.level);
            const int t = layout.parity / 2;
            damageRows(symbol, modules, t, -1, random);
            SCOPED_TRACE(testing::Message() << "version " << c.version << " level " << c.level << " t " << t);
            ASSERT_EQ(readModules(symbol, transposed), 1);
            EXPECT_EQ(readText(), symbol.text);
            EXPECT_EQ(processDecoder().correctedCodewords(), t * layout.blocks);
            EXPECT_EQ(processDecoder().mirrored(), transposed ? 1 : 0);
        }
    }
}

TEST(ReaderCorrectsBlocks, OneMoreThanCapacityNeverReadsWrongText) {
    std::mt19937 random(77);
    for (const Case& c : kCases) {
        const Layout layout = layoutOf(c.version, c.level);
        const int t = layout.parity / 2;
        for (int trial = 0; trial < 6; ++trial) {
            ReaderSymbol symbol = encodeSymbol(textOfLength(4 + trial % 3, trial), c.level, c.version, trial);
            const std::vector<Position> modules = dataModules(symbol);
            // Trials alternate between one overloaded block and every block overloaded.
            const int onlyBlock = trial % 2 == 0 ? static_cast<int>(random() % layout.blocks) : -1;
            damageRows(symbol, modules, t + 1, onlyBlock, random);
            SCOPED_TRACE(testing::Message() << "version " << c.version << " level " << c.level << " trial " << trial);
            EXPECT_LT(readModules(symbol, trial % 3 == 0), 0);
        }
    }
}

TEST(ReaderCorrectsBlocks, WrongVersionFails) {
    for (const Case& c : kCases) {
        const ReaderSymbol symbol = encodeSymbol(textOfLength(5, 9), c.level, c.version, 2);
        for (const int wrong : {c.version - 1, c.version + 1}) {
            if (wrong < kMinVersion || wrong > kMaxVersion) continue;
            ReaderSymbol misread = symbol;
            misread.version = wrong;
            misread.size = symbolSizeOf(wrong);
            EXPECT_LT(readModules(misread), 0) << c.version << " read as " << wrong;
        }
    }
}

TEST(ReaderCorrectsBlocks, AnyNonZeroSampleIsDark) {
    ReaderSymbol symbol = encodeSymbol({'s', 'a', 'm', 'p', 'l', 'e', 'd'}, LevelM, 6, 4);
    for (auto& module : symbol.modules) module = module ? 255 : 0;
    ASSERT_EQ(readModules(symbol), 1);
    EXPECT_EQ(readText(), symbol.text);
}

TEST(ReaderCorrectsBlocks, RefusesSizesThatDoNotMatchTheVersion) {
    ReaderSymbol symbol = encodeSymbol({'1', '2', '3'}, LevelL, 1, 0);
    ASSERT_EQ(readModules(symbol), 1);
    EXPECT_EQ(processDecoder().ReadSymbol(21, 0), -1);
    EXPECT_EQ(processDecoder().ReadSymbol(181, 41), -1);
    EXPECT_EQ(processDecoder().ReadSymbol(25, 1), -1);
    EXPECT_EQ(processDecoder().ReadSymbol(-3, -5), -1);
}

// Format copies, in the standard's layout: bit i of the copy beside the top-left finder, and bit
// i of the copy split below the top-right and beside the bottom-left finder.
Position firstCopy(int i) {
    constexpr Position kPositions[15] = {{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}, {8, 7}, {8, 8},
                                         {7, 8}, {5, 8}, {4, 8}, {3, 8}, {2, 8}, {1, 8}, {0, 8}};
    return kPositions[i];
}
Position secondCopy(int i, int s) { return i < 8 ? Position{s - 1 - i, 8} : Position{8, s - 15 + i}; }

void writeCopy(ReaderSymbol& symbol, int copy, uint32_t word) {
    for (int i = 0; i < 15; ++i) {
        const Position p = copy == 0 ? firstCopy(i) : secondCopy(i, symbol.size);
        symbol.at(p.first, p.second) = (word >> i) & 1;
    }
}

uint32_t readCopy(const Bytes& modules, int size, int copy, bool transposed) {
    uint32_t word = 0;
    for (int i = 0; i < 15; ++i) {
        const Position p = copy == 0 ? firstCopy(i) : secondCopy(i, size);
        const int index = transposed ? p.second * kMatrixStride + p.first : p.first * kMatrixStride + p.second;
        word |= static_cast<uint32_t>(modules[index] & 1) << i;
    }
    return word;
}

int nearestFormatDistance(uint32_t word) {
    int best = 15;
    for (const uint16_t w : FormatWords) best = std::min(best, std::popcount(word ^ w));
    return best;
}

uint32_t trueWord(const ReaderSymbol& symbol) { return formatWord(symbol.level, symbol.mask); }

uint32_t flipBits(uint32_t word, int count, std::mt19937& random) {
    uint32_t flips = 0;
    while (std::popcount(flips) < count) flips |= 1u << (random() % 15);
    return word ^ flips;
}

TEST(ReaderRecoversFormat, ThreeWrongModulesInACopy) {
    std::mt19937 random(3);
    for (int trial = 0; trial < 40; ++trial) {
        const int version = 1 + trial;
        ReaderSymbol symbol = encodeSymbol(textOfLength(5, trial), trial % 4, version, trial % 8);
        writeCopy(symbol, 0, flipBits(trueWord(symbol), 3, random));
        if (trial % 2 == 1) writeCopy(symbol, 1, flipBits(trueWord(symbol), 3, random));
        const bool transposed = trial % 3 == 0;
        ASSERT_EQ(readModules(symbol, transposed), 1) << "version " << version;
        EXPECT_EQ(readText(), symbol.text);
        EXPECT_EQ(processDecoder().level(), symbol.level);
        EXPECT_EQ(processDecoder().mask(), symbol.mask);
        EXPECT_EQ(processDecoder().mirrored(), transposed ? 1 : 0);
    }
}

TEST(ReaderRecoversFormat, OneCopyBeyondRepairLeavesTheOther) {
    std::mt19937 random(4);
    for (int copy = 0; copy < 2; ++copy) {
        ReaderSymbol symbol = encodeSymbol(textOfLength(20, copy), LevelQ, 4, 6);
        // Seven wrong bits may land on another format word; the other copy still decides.
        writeCopy(symbol, copy, flipBits(trueWord(symbol), 7, random));
        ASSERT_EQ(readModules(symbol), 1);
        EXPECT_EQ(readText(), symbol.text);
        EXPECT_EQ(processDecoder().mask(), 6);
    }
}

TEST(ReaderRecoversFormat, FourWrongModulesInBothCopiesFail) {
    std::mt19937 random(5);
    int checked = 0;
    for (int trial = 0; checked < 12 && trial < 5000; ++trial) {
        ReaderSymbol symbol = encodeSymbol(textOfLength(5, trial), trial % 4, 1 + trial % 12, trial % 8);
        writeCopy(symbol, 0, flipBits(trueWord(symbol), 4, random));
        writeCopy(symbol, 1, flipBits(trueWord(symbol), 4, random));
        // Four errors can also land within three of another word, in either reading direction;
        // only damage that is out of reach of every word must fail.
        bool outOfReach = true;
        for (const bool transposed : {false, true}) {
            for (int copy = 0; copy < 2; ++copy) {
                outOfReach = outOfReach &&
                             nearestFormatDistance(readCopy(symbol.modules, symbol.size, copy, transposed)) >= 4;
            }
        }
        if (!outOfReach) continue;
        ++checked;
        EXPECT_EQ(readModules(symbol), -1);
        EXPECT_EQ(readModules(symbol, true), -1);
    }
    EXPECT_EQ(checked, 12);
}

TEST(ReaderRecoversFormat, CloserWrongCandidateFallsBackToTheOther) {
    std::mt19937 random(6);
    for (int trial = 0; trial < 16; ++trial) {
        const int level = trial % 4;
        const int mask = (trial * 3) % 8;
        ReaderSymbol symbol = encodeSymbol(textOfLength(30, trial), level, 5 + trial, mask);
        const uint32_t wrong = formatWord((level + 1 + trial / 8) % 4, (mask + 1 + trial) % 8);
        // The wrong word sits exactly in one copy; the right word, two modules off, in the other.
        const int wrongCopy = trial % 2;
        writeCopy(symbol, wrongCopy, wrong);
        writeCopy(symbol, 1 - wrongCopy, flipBits(trueWord(symbol), 2, random));
        const bool transposed = trial % 4 >= 2;
        ASSERT_EQ(readModules(symbol, transposed), 1) << "trial " << trial;
        EXPECT_EQ(readText(), symbol.text);
        EXPECT_EQ(processDecoder().level(), level);
        EXPECT_EQ(processDecoder().mask(), mask);
    }
}

}  // namespace
