#include "engine/codec/gf256.h"

#include <algorithm>

namespace velmora {

uint8_t PolyEvalAscending(const uint8_t* coefficients, int count, uint8_t x, int m) {
    const int modulus = gfModulus(m);
    const int logX = GfLog[x];
    uint8_t sum = 0;
    // The exponent of x^j kept below the modulus step by step rather than divided each time.
    for (int j = 0, power = 0; j < count; ++j) {
        const uint8_t c = coefficients[j];
        if (c != 0) {
            int e = GfLog[c] + power;
            if (e >= modulus) e -= modulus;
            sum ^= GfExp[e];
        }
        power += logX;
        if (power >= modulus) power -= modulus;
    }
    return sum;
}

uint8_t PolyEvalDescending(const uint8_t* coefficients, int count, uint8_t x, int m) {
    // Horner's rule from the highest power (byte 0) down, multiplying in the log domain: the
    // syndromes of every block of every read come through here.
    if (x == 0) return count > 0 ? coefficients[count - 1] : 0;
    (void)m;  // the doubled table holds GF(2^8)
    const int logX = GfLog[x];
    uint8_t sum = 0;
    for (int i = 0; i < count; ++i) {
        if (sum != 0) sum = GfExpDoubled[GfLog[sum] + logX];
        sum ^= coefficients[i];
    }
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
