// Reed-Solomon parity and correction over GF(2^8) for QR Code blocks.
//
// A block holds data bytes first, then parity bytes; byte 0 is the coefficient of the highest
// power. All routines share one process-wide working area, so calls must not overlap.
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

// Largest parity count any QR block uses, and the largest block.
inline constexpr int kMaxParity = 68;
inline constexpr int kMaxBlock = 255;

// Generator of n parity bytes in exponent form without its leading coefficient: entry k is the
// exponent of the coefficient of x^(n-1-k). Defined for n = 7, 10, 13, 15..18, 20..30 even and
// every even n from 32 to 68 (ISO/IEC 18004, generator polynomials annex); other rows are empty.
const uint8_t* RsGenerators(int n);

// The n - k parity bytes of block[0..k-1], parity byte 0 first (all zero when n - k is not
// between 1 and kMaxParity).
using RsParityBytes = std::array<uint8_t, kMaxParity>;
RsParityBytes RsParity(const uint8_t* block, int n, int k, int m = 8);

// 0 when block[k..n-1] is the parity of block[0..k-1], else -4.
int RsVerify(const uint8_t* block, int n, int k, int m = 8);

// syndromes[i] = the block's value at alpha^i (byte 0 the highest power) for i < count, where
// count is at most kMaxParity. Touches no shared state.
void RsSyndromes(const uint8_t* block, int n, int count, uint8_t* syndromes);

// Corrects block in place allowing t symbol errors. Returns the number of corrected bytes, or
// -1 (locator would outgrow its table), -2 (more roots than t), -3 (root outside the block) or
// -4 (parity still wrong after correction; the block keeps the changes).
int RsCorrect(uint8_t* block, int n, int k, int t, int m = 8, int firstRoot = 0);

}  // namespace velmora
