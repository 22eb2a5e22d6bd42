#include "engine/codec/gf256.h"

#include <algorithm>

namespace velmora {

uint8_t PolyEvalAscending(const uint8_t* coefficients, int count, uint8_t x, int m) {
    const int modulus = gfModulus(m);
    const int logX = GfLog[x];
    uint8_t sum = 0;
    for (int j = 0; j < count; ++j) {
        const uint8_t c = coefficients[j];
        if (c == 0) continue;
        const uint8_t power = GfExp[(j * logX) % modulus];
        sum ^= GfMul(c, power, m);
    }
    return sum;
}

uint8_t PolyEvalDescending(const uint8_t* coefficients, int count, uint8_t x, int m) {
    // Horner's rule from the highest power (byte 0) down.
    uint8_t sum = 0;
    for (int i = 0; i < count; ++i) sum = static_cast<uint8_t>(GfMul(sum, x, m) ^ coefficients[i]);
    return sum;
}

void PolyMul(uint8_t* out, int outLength, const uint8_t* a, int aCount, const uint8_t* b, int bCount,
             int m) {
    const int produced = std::min(outLength, aCount + bCount - 1);
    for (int i = 0; i < produced; ++i) {
        uint8_t sum = 0;
        const int jFirst = std::max(0, i - (bCount - 1));
        const int jLast = std::min(i, aCount - 1);
        for (int j = jFirst; j <= jLast; ++j) sum ^= GfMul(a[j], b[i - j], m);
        out[i] = sum;
    }
    std::fill(out + std::max(produced, 0), out + std::max(outLength, 0), uint8_t{0});
}

}  // namespace velmora
