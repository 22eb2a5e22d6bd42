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
    const uint8_t* p = RsParity(block.data(), n, static_cast<int>(data.size()));
    std::copy(p, p + parity, block.begin() + data.size());
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
