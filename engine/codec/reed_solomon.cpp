#include "engine/codec/reed_solomon.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/codec/gf256.h"

namespace velmora {
namespace {

constexpr bool isGeneratorDefined(int n) {
    if (n == 7 || n == 10 || n == 13 || (n >= 15 && n <= 18)) return true;
    return n >= 20 && n <= kMaxParity && n % 2 == 0;
}

using GeneratorTable = std::array<std::array<uint8_t, kMaxParity>, kMaxParity + 1>;

// g(x) = (x - alpha^0)(x - alpha^1)...(x - alpha^(n-1)), built by repeated multiplication and
// stored as exponents of its coefficients after the leading 1.
constexpr GeneratorTable makeGenerators() {
    GeneratorTable table{};
    for (int n = 1; n <= kMaxParity; ++n) {
        if (!isGeneratorDefined(n)) continue;
        std::array<uint8_t, kMaxParity + 1> poly{};  // poly[0] is the leading coefficient
        poly[0] = 1;
        for (int i = 0; i < n; ++i) {
            const uint8_t root = GfExp[i];
            for (int j = i + 1; j >= 1; --j) {
                uint8_t product = 0;
                if (poly[j - 1] != 0) product = GfExp[(GfLog[poly[j - 1]] + GfLog[root]) % 255];
                poly[j] = static_cast<uint8_t>(poly[j] ^ product);
            }
        }
        for (int k = 0; k < n; ++k) table[n][k] = GfLog[poly[k + 1]];
    }
    return table;
}

// Built once when the program starts (the published vectors are checked by the tests).
const GeneratorTable kGenerators = makeGenerators();

// Limits of the decoder's tables.
constexpr int kMaxSyndromes = 153;
constexpr int kMaxRows = 155;
constexpr int kMaxCoefficients = 154;
constexpr int kMaxRoots = 76;

struct LocatorRow {
    std::array<uint8_t, kMaxCoefficients> sigma;
    int degree;
    uint8_t discrepancy;
};

// The one working area of the process; every call clears what it uses.
struct WorkingArea {
    std::array<uint8_t, kMaxParity> remainder;
    std::array<uint8_t, kMaxSyndromes> syndromes;
    std::array<LocatorRow, kMaxRows> rows;
    std::array<uint8_t, kMaxSyndromes> evaluator;
    std::array<uint8_t, kMaxSyndromes> derivative;
    std::array<uint8_t, kMaxRoots> roots;
    std::array<int, kMaxRoots> positions;
};

WorkingArea work;

// Row mu + 1 from row mu, with rho the earlier row chosen by the Berlekamp rule.
// Returns false when the product would need more coefficients than a row holds.
bool stepLocator(int mu, int m) {
    const LocatorRow& current = work.rows[mu + 1];
    LocatorRow& next = work.rows[mu + 2];
    next.sigma.fill(0);
    if (current.discrepancy == 0) {
        next.sigma = current.sigma;
        next.degree = current.degree;
        return true;
    }
    // Earlier row (mu = -1 included) with non-zero discrepancy and largest rho - l(rho);
    // the latest such row wins a tie.
    int rho = -1;
    int best = 0;
    bool found = false;
    for (int r = -1; r < mu; ++r) {
        const LocatorRow& row = work.rows[r + 1];
        if (row.discrepancy == 0) continue;
        const int value = r - row.degree;
        if (!found || value >= best) {
            best = value;
            rho = r;
            found = true;
        }
    }
    const LocatorRow& earlier = work.rows[rho + 1];
    const int shift = mu - rho;
    const int shiftedCount = shift + earlier.degree + 1;
    if (shiftedCount > kMaxCoefficients) return false;
    const int count = std::max(current.degree + 1, shiftedCount);
    const uint8_t factor = GfMul(current.discrepancy, GfInv(earlier.discrepancy, m), m);
    for (int i = 0; i < count; ++i) {
        uint8_t value = current.sigma[i];
        if (i >= shift) value ^= GfMul(factor, earlier.sigma[i - shift], m);
        next.sigma[i] = value;
    }
    // The locator's degree is the Berlekamp length, not the highest non-zero coefficient: when
    // the leading coefficient cancels, the shorter count would steer the choice of later rows
    // wrongly and a block within the correction capacity would fail to decode.
    next.degree = std::max(current.degree, shift + earlier.degree);
    return true;
}

}  // namespace

const uint8_t* RsGenerators(int n) { return kGenerators[n].data(); }

const uint8_t* RsParity(const uint8_t* block, int n, int k, int m) {
    (void)m;  // the tables hold GF(2^8)
    const int p = n - k;
    uint8_t* r = work.remainder.data();
    if (p <= 0 || p > kMaxParity) return r;
    const uint8_t* g = kGenerators[p].data();
    std::fill(r, r + p, uint8_t{0});
    for (int i = 0; i < k; ++i) {
        const uint8_t f = block[i] ^ r[0];
        if (f == 0) {
            std::memmove(r, r + 1, p - 1);
            r[p - 1] = 0;
            continue;
        }
        const int logF = GfLog[f];
        for (int j = 0; j < p - 1; ++j) r[j] = r[j + 1] ^ GfExpDoubled[g[j] + logF];
        r[p - 1] = GfExpDoubled[g[p - 1] + logF];
    }
    return r;
}

int RsVerify(const uint8_t* block, int n, int k, int m) {
    const uint8_t* parity = RsParity(block, n, k, m);
    for (int i = 0; i < n - k; ++i) {
        if (parity[i] != block[k + i]) return -4;
    }
    return 0;
}

int RsCorrect(uint8_t* block, int n, int k, int t, int m, int firstRoot) {
    const int modulus = gfModulus(m);
    // Arguments outside the working area's limits cannot come from a QR block.
    if (n > kMaxBlock || k < 0 || k > n || n - k > kMaxParity || t < 0 || 2 * t > kMaxSyndromes) {
        return -1;
    }
    // A block that is already a codeword has only zero syndromes, no roots and passes the final
    // check: the answer is 0 without computing any syndrome.
    if (RsVerify(block, n, k, m) == 0) return 0;
    const int s = std::min(n - k, 2 * t);
    if (s == 0) return -4;

    uint8_t* S = work.syndromes.data();
    bool allZero = true;
    for (int i = 0; i < s; ++i) {
        S[i] = PolyEvalDescending(block, n, GfExp[(i + firstRoot) % modulus], m);
        allZero = allZero && S[i] == 0;
    }
    // No syndrome: sigma stays 1 and there are no roots; only the final check remains.
    if (allZero) return RsVerify(block, n, k, m);

    // Berlekamp's iteration in its tabular form; row index is mu + 1.
    LocatorRow& first = work.rows[0];
    first.sigma.fill(0);
    first.sigma[0] = 1;
    first.degree = 0;
    first.discrepancy = 1;
    LocatorRow& second = work.rows[1];
    second.sigma.fill(0);
    second.sigma[0] = 1;
    second.degree = 0;
    second.discrepancy = S[0];
    for (int mu = 0; mu < s; ++mu) {
        if (!stepLocator(mu, m)) return -1;
        LocatorRow& next = work.rows[mu + 2];
        next.discrepancy = 0;
        if (mu + 1 < s) {
            uint8_t d = S[mu + 1];
            for (int i = 1; i <= next.degree && mu + 1 - i >= 0; ++i) {
                d ^= GfMul(next.sigma[i], S[mu + 1 - i], m);
            }
            next.discrepancy = d;
        }
    }
    const LocatorRow& locator = work.rows[s + 1];
    const uint8_t* sigma = locator.sigma.data();
    const int l = locator.degree;

    // Chien search over every non-zero field element alpha^e, in order. Term j of sigma(alpha^e)
    // is sigma_j alpha^(j e): each step multiplies it by alpha^j, an addition of logs.
    std::array<int, kMaxCoefficients> termLog{};
    for (int j = 0; j <= l; ++j) termLog[static_cast<std::size_t>(j)] = sigma[j] != 0 ? GfLog[sigma[j]] : -1;
    int rootCount = 0;
    for (int e = 0; e < modulus; ++e) {
        uint8_t sum = 0;
        for (int j = 0; j <= l; ++j) {
            int& exponent = termLog[static_cast<std::size_t>(j)];
            if (exponent < 0) continue;
            sum ^= GfExp[exponent];
            exponent += j;
            if (exponent >= modulus) exponent -= modulus;
        }
        if (sum != 0) continue;
        if (rootCount == t) return -2;
        work.roots[rootCount++] = GfExp[e];
    }
    for (int i = 0; i < rootCount; ++i) {
        const int position = n - 1 - GfLog[GfInv(work.roots[i], m)];
        if (position < 0 || position >= n) return -3;
        work.positions[i] = position;
    }

    // Forney: Omega = S(x) sigma(x) mod x^2t, sigma' its formal derivative.
    uint8_t* omega = work.evaluator.data();
    PolyMul(omega, 2 * t, S, s, sigma, l + 1, m);
    uint8_t* derivative = work.derivative.data();
    for (int i = 1; i <= l; ++i) derivative[i - 1] = (i % 2 == 1) ? sigma[i] : 0;
    for (int i = 0; i < rootCount; ++i) {
        const uint8_t r = work.roots[i];
        uint8_t value = GfMul(PolyEvalAscending(omega, 2 * t, r, m),
                              GfInv(PolyEvalAscending(derivative, l, r, m), m), m);
        if (firstRoot == 0) value = GfMul(value, GfInv(r, m), m);
        block[work.positions[i]] ^= value;
    }

    if (RsVerify(block, n, k, m) != 0) return -4;
    return rootCount;
}

}  // namespace velmora
