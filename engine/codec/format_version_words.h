// The BCH-protected format and version words of ISO/IEC 18004 (annexes C and D).
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

// Format information bits of each level, indexed L, M, Q, H: 01, 00, 11, 10.
inline constexpr int kLevelBits[4] = {1, 0, 3, 2};

// Level (0 L .. 3 H) carried by the two format level bits.
inline constexpr int kLevelOfBits[4] = {1, 0, 3, 2};

// Remainder of value * 2^degree(generator) divided by generator, over GF(2).
constexpr uint32_t bchRemainder(uint32_t value, uint32_t generator) {
    int degree = 0;
    while ((generator >> (degree + 1)) != 0) ++degree;
    uint32_t remainder = value << degree;
    for (int bit = 31; bit >= degree; --bit) {
        if (remainder & (1u << bit)) remainder ^= generator << (bit - degree);
    }
    return remainder;
}

// 15-bit masked format word for a level (0 L .. 3 H) and mask 0..7.
constexpr uint32_t formatWord(int level, int mask) {
    const uint32_t data = static_cast<uint32_t>(kLevelBits[level] * 8 + mask);
    return ((data << 10) | bchRemainder(data, 0x537)) ^ 0x5412;
}

// 18-bit version word for versions 7..40.
constexpr uint32_t versionWord(int version) {
    const uint32_t data = static_cast<uint32_t>(version);
    return (data << 12) | bchRemainder(data, 0x1F25);
}

// The 32 masked format words, indexed by levelBits * 8 + mask.
inline constexpr std::array<uint16_t, 32> FormatWords = [] {
    std::array<uint16_t, 32> words{};
    for (int index = 0; index < 32; ++index) {
        const int level = kLevelOfBits[index / 8];
        words[index] = static_cast<uint16_t>(formatWord(level, index % 8));
    }
    return words;
}();

// The 34 version words of versions 7..40, in version order.
inline constexpr std::array<uint32_t, 34> VersionWords = [] {
    std::array<uint32_t, 34> words{};
    for (int version = 7; version <= 40; ++version) words[version - 7] = versionWord(version);
    return words;
}();

// Number of bits in which two words differ, counted nibble by nibble.
constexpr int hammingDistance(uint32_t a, uint32_t b) {
    constexpr uint8_t kNibbleBitCount[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    int distance = 0;
    for (uint32_t difference = a ^ b; difference != 0; difference >>= 4) distance += kNibbleBitCount[difference & 0xF];
    return distance;
}

static_assert(FormatWords[0] == 0x5412 && FormatWords[8] == 0x77C4 && FormatWords[31] == 0x2BED);
static_assert(versionWord(7) == 0x07C94 && VersionWords[33] == 0x28C69);

}  // namespace velmora
