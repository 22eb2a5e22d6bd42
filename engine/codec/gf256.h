// Arithmetic in GF(2^8) over the QR Code polynomial x^8 + x^4 + x^3 + x^2 + 1 (0x11D).
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

namespace gf_detail {
constexpr std::array<uint8_t, 256> makeExpTable() {
    std::array<uint8_t, 256> exp{};
    unsigned value = 1;
    for (int i = 0; i < 255; ++i) {
        exp[i] = static_cast<uint8_t>(value);
        value <<= 1;
        if (value & 0x100) value ^= 0x11D;
    }
    exp[255] = 1;  // alpha^255 = 1, so that an exponent of 255 is valid
    return exp;
}

constexpr std::array<uint8_t, 256> makeLogTable() {
    const auto exp = makeExpTable();
    std::array<uint8_t, 256> log{};  // log[0] stays 0: callers test for zero first
    for (int i = 0; i < 255; ++i) log[exp[i]] = static_cast<uint8_t>(i);
    return log;
}
}  // namespace gf_detail

// GfExp[i] = alpha^i for i = 0..254, GfExp[255] = 1.
inline constexpr std::array<uint8_t, 256> GfExp = gf_detail::makeExpTable();
// GfLog[GfExp[i]] = i; GfLog[0] = 0 although log 0 is undefined.
inline constexpr std::array<uint8_t, 256> GfLog = gf_detail::makeLogTable();

// alpha^i for i = 0..509: a sum of two logarithms indexes it without reduction modulo 255.
inline constexpr std::array<uint8_t, 510> GfExpDoubled = [] {
    std::array<uint8_t, 510> exp{};
    for (int i = 0; i < 510; ++i) exp[i] = GfExp[i % 255];
    return exp;
}();

static_assert(GfExp[8] == 29 && GfExp[11] == 232 && GfLog[2] == 1 && GfLog[3] == 25 && GfLog[7] == 198);

// The routines take the field's bit count m as the codec always has; only m = 8 has tables.
constexpr int gfModulus(int m) { return (1 << m) - 1; }

// Product of a and b; 0 when either is 0.
inline uint8_t GfMul(uint8_t a, uint8_t b, int m = 8) {
    if (a == 0 || b == 0) return 0;
    // The doubled table spares GF(2^8) the division.
    if (m == 8) return GfExpDoubled[GfLog[a] + GfLog[b]];
    return GfExp[(GfLog[a] + GfLog[b]) % gfModulus(m)];
}

// Multiplicative inverse; a must not be 0 (GfInv(1) = 1 through GfExp[255]).
inline uint8_t GfInv(uint8_t a, int m = 8) { return GfExp[gfModulus(m) - GfLog[a]]; }

// c[0] + c[1]x + ... + c[count-1]x^(count-1), powers of x taken through the log table.
uint8_t PolyEvalAscending(const uint8_t* coefficients, int count, uint8_t x, int m = 8);

// c[count-1] + c[count-2]x + ... + c[0]x^(count-1): the block convention, byte 0 highest.
uint8_t PolyEvalDescending(const uint8_t* coefficients, int count, uint8_t x, int m = 8);

// out[i] = sum of a[j]b[l] over j + l = i, for i < min(outLength, aCount + bCount - 1);
// the rest of out up to outLength is cleared.
void PolyMul(uint8_t* out, int outLength, const uint8_t* a, int aCount, const uint8_t* b, int bCount,
             int m = 8);

}  // namespace velmora
