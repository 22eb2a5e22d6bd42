#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/codec/gf256.h"
#include "engine/codec/reed_solomon.h"

using namespace velmora;

namespace {

std::vector<uint8_t> codeword(const std::vector<uint8_t>& data, int parity) {
    std::vector<uint8_t> block = data;
    const int n = static_cast<int>(data.size()) + parity;
    block.resize(n);
    const RsParityBytes p = RsParity(block.data(), n, static_cast<int>(data.size()));
    std::copy(p.begin(), p.begin() + parity, block.begin() + static_cast<std::ptrdiff_t>(data.size()));
    return block;
}

}  // namespace

TEST(GaloisField, TablesAndIdentities) {
    EXPECT_EQ(GfExp[0], 1);
    EXPECT_EQ(GfExp[8], 29);
    EXPECT_EQ(GfExp[255], 1);
    EXPECT_EQ(GfLog[0], 0);
    EXPECT_EQ(GfInv(1), 1);
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(GfMul(static_cast<uint8_t>(x), 0), 0);
        if (x != 0) {
            EXPECT_EQ(GfMul(static_cast<uint8_t>(x), GfInv(static_cast<uint8_t>(x))), 1) << x;
        }
    }
}

TEST(ReedSolomonParity, MatchesPublishedVectors) {
    const std::vector<uint8_t> data = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11,
                                       0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11};
    const auto block = codeword(data, 10);
    const std::vector<uint8_t> expected = {0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55};
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 16, block.end()), expected);

    const auto zeros = codeword(std::vector<uint8_t>(19, 0), 7);
    for (int i = 19; i < 26; ++i) EXPECT_EQ(zeros[i], 0);

    const uint8_t* g7 = RsGenerators(7);
    EXPECT_EQ(std::vector<uint8_t>(g7, g7 + 7), (std::vector<uint8_t>{87, 229, 146, 149, 238, 102, 21}));
}

TEST(ReedSolomonCorrection, CleanBlockIsLeftAlone) {
    std::mt19937 random(7);
    std::vector<uint8_t> data(19);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    auto block = codeword(data, 7);
    const auto original = block;
    EXPECT_EQ(RsCorrect(block.data(), 26, 19, 3), 0);
    EXPECT_EQ(block, original);
}

TEST(ReedSolomonCorrection, FirstByteOfShortBlock) {
    std::vector<uint8_t> data(19, 0x42);
    auto block = codeword(data, 7);
    const auto original = block;
    block[0] ^= 0x5A;
    EXPECT_EQ(RsCorrect(block.data(), 26, 19, 3), 1);
    EXPECT_EQ(block, original);
}

TEST(ReedSolomonCorrection, OddParityUsesOnlyEvenSyndromesButChecksAll) {
    // With 7 parity bytes only 6 syndromes locate errors; the seventh byte still takes part in
    // the final check, so a wrong seventh parity byte is found and corrected like any other.
    std::vector<uint8_t> data(19, 0x33);
    auto block = codeword(data, 7);
    const auto original = block;
    block[25] ^= 0x01;
    EXPECT_EQ(RsCorrect(block.data(), 26, 19, 3), 1);
    EXPECT_EQ(block, original);
}

// Every QR block shape: up to t errors are corrected and counted; t + 1 errors never come back
// as the original block with a success code.
TEST(ReedSolomonCorrection, CorrectsUpToCapacityForEveryBlockShape) {
    struct Shape { int n, k; };
    const Shape shapes[] = {{26, 19}, {26, 16}, {26, 13}, {26, 9}, {44, 28}, {70, 44}, {100, 80},
                            {134, 108}, {153, 123}, {146, 116}, {54, 24}, {46, 16}, {45, 15}, {25, 15}};
    std::mt19937 random(2026);
    for (const Shape& shape : shapes) {
        const int t = (shape.n - shape.k) / 2;
        for (int trial = 0; trial < 30; ++trial) {
            std::vector<uint8_t> data(shape.k);
            for (auto& b : data) b = static_cast<uint8_t>(random());
            const auto original = codeword(data, shape.n - shape.k);
            for (int errors = 1; errors <= t + 1; ++errors) {
                auto block = original;
                std::vector<int> positions(shape.n);
                for (int i = 0; i < shape.n; ++i) positions[i] = i;
                std::shuffle(positions.begin(), positions.end(), random);
                for (int e = 0; e < errors; ++e) block[positions[e]] ^= static_cast<uint8_t>(1 + random() % 255);
                const int result = RsCorrect(block.data(), shape.n, shape.k, t);
                if (errors <= t) {
                    ASSERT_EQ(result, errors) << shape.n << "/" << shape.k;
                    ASSERT_EQ(block, original);
                } else {
                    const bool restored = result >= 0 && block == original;
                    ASSERT_FALSE(restored) << shape.n << "/" << shape.k;
                }
            }
        }
    }
}

TEST(ReedSolomonCorrection, RejectsArgumentsBeyondItsTables) {
    std::vector<uint8_t> block(300, 0);
    EXPECT_EQ(RsCorrect(block.data(), 300, 200, 50), -1);
    EXPECT_EQ(RsCorrect(block.data(), 26, 30, 3), -1);
    EXPECT_EQ(RsCorrect(block.data(), 26, 19, -1), -1);
}

TEST(ReedSolomonSyndromes, MatchPlainEvaluationForEveryCount) {
    std::mt19937 random(11);
    for (const int n : {1, 2, 26, 100, 255}) {
        std::vector<uint8_t> block(n);
        for (auto& b : block) b = static_cast<uint8_t>(random() % 4 == 0 ? 0 : random());
        for (int count = 1; count <= kMaxParity; ++count) {
            std::vector<uint8_t> syndromes(count, 0xAA);
            RsSyndromes(block.data(), n, count, syndromes.data());
            for (int i = 0; i < count; ++i) {
                ASSERT_EQ(syndromes[i], PolyEvalDescending(block.data(), n, GfExp[i])) << n << " " << count << " " << i;
            }
        }
    }
}

// Blocks beyond repair fail with the code of the step that gives up and stay as they were
// (-4 after a correction keeps the changed bytes).
TEST(ReedSolomonCorrection, FailureCodesOfBlocksBeyondRepair) {
    std::mt19937 random(5);
    std::vector<uint8_t> data(16);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    const auto clean = codeword(data, 10);

    // One error at x^40, past the 26 bytes of the block: the syndromes point outside it.
    std::vector<uint8_t> far(31, 0);
    far[0] = 0x5C;
    const auto remainder = codeword(far, 10);
    auto outside = clean;
    for (int j = 0; j < 10; ++j) outside[16 + j] ^= remainder[31 + j];
    const auto outsideBefore = outside;
    EXPECT_EQ(RsCorrect(outside.data(), 26, 16, 5), -3);
    EXPECT_EQ(outside, outsideBefore);

    // With 7 parity bytes only 6 syndromes locate errors: an error pattern vanishing at alpha^0
    // .. alpha^5 but not at alpha^6 leaves them all zero, yet the block is no codeword.
    std::vector<uint8_t> pattern = {1};  // ascending coefficients of (x - alpha^0)...(x - alpha^5)
    for (int i = 0; i < 6; ++i) {
        std::vector<uint8_t> next(pattern.size() + 1, 0);
        for (std::size_t j = 0; j < pattern.size(); ++j) {
            next[j + 1] ^= pattern[j];
            next[j] ^= GfMul(pattern[j], GfExp[i]);
        }
        pattern = next;
    }
    auto odd = codeword(std::vector<uint8_t>(19, 0x42), 7);
    for (int j = 0; j < 7; ++j) odd[25 - j] ^= pattern[j];
    const auto oddBefore = odd;
    EXPECT_EQ(RsCorrect(odd.data(), 26, 19, 3), -4);
    EXPECT_EQ(odd, oddBefore);

    // A random block (found by search) whose locator has more roots than the five it may have.
    const std::vector<uint8_t> manyRoots = {0x02, 0x5E, 0x37, 0x0A, 0x37, 0x32, 0x3A, 0x0C, 0x42, 0x25, 0x70, 0x23, 0xD5,
                                            0x4B, 0xD5, 0x4E, 0x26, 0x3B, 0x66, 0x6C, 0x8E, 0xEB, 0x28, 0x91, 0x69, 0x3E};
    auto block = manyRoots;
    EXPECT_EQ(RsCorrect(block.data(), 26, 16, 5), -2);
    EXPECT_EQ(block, manyRoots);

    // Six errors in a block that can take five (found by search): one byte is changed, the
    // parity still does not match.
    const std::vector<uint8_t> sixErrors = {0xA1, 0x4B, 0x35, 0xD3, 0x3C, 0x84, 0x02, 0xE1, 0x3D, 0xAC, 0x5C, 0xF0, 0x96,
                                            0xCA, 0x41, 0xE9, 0x36, 0x27, 0x9A, 0xB3, 0x09, 0x99, 0x8D, 0x3B, 0x17, 0x26};
    block = sixErrors;
    EXPECT_EQ(RsCorrect(block.data(), 26, 16, 5), -4);
    int changed = 0;
    for (int i = 0; i < 26; ++i) changed += block[i] != sixErrors[i] ? 1 : 0;
    EXPECT_EQ(changed, 1);
}
