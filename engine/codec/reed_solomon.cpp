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
    // Coefficients from this index on are zero (the area starts out zero).
    int extent;

    // Takes the first count coefficients from values and clears the rest.
    void assign(const uint8_t* values, int count) {
        std::copy(values, values + count, sigma.begin());
        for (int i = count; i < extent; ++i) sigma[static_cast<std::size_t>(i)] = 0;
        extent = count;
    }
};

// Products x alpha^i for i below kMaxParity (rounded up to whole groups of eight): one lookup per
// byte and syndrome.
constexpr int kSyndromeGroup = 8;
constexpr int kPowerRows = (kMaxParity + kSyndromeGroup - 1) / kSyndromeGroup * kSyndromeGroup;
using PowerProducts = std::array<std::array<uint8_t, 256>, kPowerRows>;

constexpr PowerProducts makePowerProducts() {
    PowerProducts table{};
    for (int i = 0; i < kPowerRows; ++i) {
        for (int x = 1; x < 256; ++x) table[i][x] = GfExp[(GfLog[x] + i) % 255];
    }
    return table;
}

constexpr PowerProducts kPowerProducts = makePowerProducts();

// The working area of one correction, on the caller's stack; every call clears what it uses.
struct WorkingArea {
    std::array<uint8_t, kMaxParity> checks;
    std::array<uint8_t, kMaxSyndromes> syndromes;
    std::array<LocatorRow, kMaxRows> rows;
    std::array<uint8_t, kMaxSyndromes> evaluator;
    std::array<uint8_t, kMaxSyndromes> derivative;
    std::array<uint8_t, kMaxRoots> roots;
    std::array<int, kMaxRoots> positions;
};

// Row mu + 1 from row mu, with rho the earlier row chosen by the Berlekamp rule.
// Returns false when the product would need more coefficients than a row holds.
bool stepLocator(WorkingArea& work, int mu, int m) {
    const LocatorRow& current = work.rows[mu + 1];
    LocatorRow& next = work.rows[mu + 2];
    if (current.discrepancy == 0) {
        next.assign(current.sigma.data(), current.extent);
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
    std::array<uint8_t, kMaxCoefficients> product;
    for (int i = 0; i < count; ++i) {
        uint8_t value = current.sigma[i];
        if (i >= shift) value ^= GfMul(factor, earlier.sigma[i - shift], m);
        product[static_cast<std::size_t>(i)] = value;
    }
    next.assign(product.data(), count);
    // The locator's degree is the Berlekamp length, not the highest non-zero coefficient: when
    // the leading coefficient cancels, the shorter count would steer the choice of later rows
    // wrongly and a block within the correction capacity would fail to decode.
    next.degree = std::max(current.degree, shift + earlier.degree);
    return true;
}

bool allZero(const uint8_t* values, int count) {
    return std::all_of(values, values + count, [](uint8_t v) { return v == 0; });
}

// Evaluates a polynomial at alpha^e for e = first, first + 1, ... in turn. Term j of p(alpha^e)
// is p_j alpha^(j e), so each step adds j to the exponent of every non-zero term.
class PowerSteps {
public:
    PowerSteps(const uint8_t* coefficients, int degree, int first) {
        for (int j = 0; j <= degree; ++j) {
            if (coefficients[j] == 0) continue;
            exponents_[static_cast<std::size_t>(count_)] = (GfLog[coefficients[j]] + j * first) % 255;
            steps_[static_cast<std::size_t>(count_)] = j;
            ++count_;
        }
    }

    // The value at the current power, then one power on.
    uint8_t next() {
        uint8_t sum = 0;
        for (int i = 0; i < count_; ++i) {
            int& exponent = exponents_[static_cast<std::size_t>(i)];
            sum ^= GfExp[exponent];
            exponent += steps_[static_cast<std::size_t>(i)];
            if (exponent >= 255) exponent -= 255;
        }
        return sum;
    }

private:
    int count_ = 0;
    std::array<int, kMaxCoefficients> exponents_;
    std::array<int, kMaxCoefficients> steps_;
};

// The roots alpha^e of sigma for e = first..last in order, appended to work.roots from index
// count until limit roots are held; returns the new count, with stop the first e not examined.
int collectRoots(WorkingArea& work, const uint8_t* sigma, int degree, int first, int last, int count, int limit,
                 int& stop) {
    PowerSteps steps(sigma, degree, first);
    int e = first;
    for (; e <= last && count < limit; ++e) {
        if (steps.next() == 0) work.roots[static_cast<std::size_t>(count++)] = GfExp[e];
    }
    stop = e;
    return count;
}

// Remainder of a (degree at most top, changed in place) after division by the polynomial of
// degree d whose coefficients below the leading one have the logs divisorLog (-1 for zero) once
// divided by the leading one.
void reduce(uint8_t* a, int top, const int* divisorLog, int d) {
    for (int degree = top; degree >= d; --degree) {
        const uint8_t c = a[degree];
        if (c == 0) continue;
        a[degree] = 0;
        const int logC = GfLog[c];
        uint8_t* low = a + degree - d;
        for (int i = 0; i < d; ++i) {
            if (divisorLog[i] >= 0) low[i] ^= GfExpDoubled[logC + divisorLog[i]];
        }
    }
}

// Logs of p[0..d-1] / p[d], -1 for the zero coefficients.
void monicLogs(const uint8_t* p, int d, int* logs) {
    const int leadLog = GfLog[p[d]];
    for (int i = 0; i < d; ++i) logs[i] = p[i] != 0 ? (GfLog[p[i]] + 255 - leadLog) % 255 : -1;
}

int degreeOf(const uint8_t* p, int top) {
    while (top >= 0 && p[top] == 0) --top;
    return top;
}

// Number of distinct non-zero roots of p (degree d, ascending coefficients): the degree of
// gcd(p, x^256 - x), whose roots are the field's elements, each once. x^256 mod p comes from
// eight squarings of x; in characteristic 2 squaring a polynomial squares each coefficient.
int distinctRootCount(const uint8_t* p, int d) {
    if (d <= 0) return 0;
    std::array<int, kMaxCoefficients> divisorLog;
    monicLogs(p, d, divisorLog.data());
    // x mod p, then its 2^8-th power.
    std::array<uint8_t, 2 * kMaxCoefficients> x;
    std::fill(x.begin(), x.begin() + std::max(d, 2), uint8_t{0});
    x[1] = 1;
    reduce(x.data(), 1, divisorLog.data(), d);
    std::array<uint8_t, 2 * kMaxCoefficients> power;
    std::copy(x.begin(), x.begin() + d, power.begin());
    for (int round = 0; round < 8; ++round) {
        for (int i = d - 1; i >= 0; --i) {
            const uint8_t c = power[static_cast<std::size_t>(i)];
            power[static_cast<std::size_t>(2 * i)] = c != 0 ? GfExpDoubled[2 * GfLog[c]] : 0;
            power[static_cast<std::size_t>(2 * i + 1)] = 0;
        }
        reduce(power.data(), 2 * d - 2, divisorLog.data(), d);
    }
    // Euclid on p and x^256 - x mod p.
    std::array<uint8_t, kMaxCoefficients> first;
    std::array<uint8_t, kMaxCoefficients> second;
    uint8_t* a = first.data();
    uint8_t* b = second.data();
    std::copy(p, p + d + 1, a);
    for (int i = 0; i < d; ++i) b[i] = power[static_cast<std::size_t>(i)] ^ x[static_cast<std::size_t>(i)];
    int da = d;
    int db = degreeOf(b, d - 1);
    while (db >= 0) {
        monicLogs(b, db, divisorLog.data());
        // a mod b is a mod (b / its leading coefficient).
        reduce(a, da, divisorLog.data(), db);
        da = degreeOf(a, db - 1);
        std::swap(a, b);
        std::swap(da, db);
    }
    return da;
}

}  // namespace

void RsSyndromes(const uint8_t* block, int n, int count, uint8_t* syndromes) {
    // Horner's rule from byte 0, the highest power, for eight syndromes at a time: their chains
    // of lookups are independent and overlap. The last group may compute a few unused ones.
    for (int i = 0; i < count; i += kSyndromeGroup) {
        const auto* t = &kPowerProducts[static_cast<std::size_t>(i)];
        uint8_t s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
        for (int j = 0; j < n; ++j) {
            const uint8_t b = block[j];
            s0 = t[0][s0] ^ b;
            s1 = t[1][s1] ^ b;
            s2 = t[2][s2] ^ b;
            s3 = t[3][s3] ^ b;
            s4 = t[4][s4] ^ b;
            s5 = t[5][s5] ^ b;
            s6 = t[6][s6] ^ b;
            s7 = t[7][s7] ^ b;
        }
        const uint8_t values[kSyndromeGroup] = {s0, s1, s2, s3, s4, s5, s6, s7};
        std::copy(values, values + std::min(kSyndromeGroup, count - i), syndromes + i);
    }
}

const uint8_t* RsGenerators(int n) { return kGenerators[n].data(); }

RsParityBytes RsParity(const uint8_t* block, int n, int k, int m) {
    (void)m;  // the tables hold GF(2^8)
    const int p = n - k;
    RsParityBytes remainder{};
    uint8_t* r = remainder.data();
    if (p <= 0 || p > kMaxParity) return remainder;
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
    return remainder;
}

int RsVerify(const uint8_t* block, int n, int k, int m) {
    const RsParityBytes parity = RsParity(block, n, k, m);
    for (int i = 0; i < n - k; ++i) {
        if (parity[i] != block[k + i]) return -4;
    }
    return 0;
}

int RsCorrect(uint8_t* block, int n, int k, int t, int m, int firstRoot) {
    WorkingArea work{};
    const int modulus = gfModulus(m);
    // Arguments outside the working area's limits cannot come from a QR block.
    if (n > kMaxBlock || k < 0 || k > n || n - k > kMaxParity || t < 0 || 2 * t > kMaxSyndromes) {
        return -1;
    }
    // In GF(2^8) a block is a codeword exactly when it vanishes at the generator's roots alpha^0
    // .. alpha^(n-k-1): these checks decide without re-encoding, and with the roots counted from
    // alpha^0 their first ones are the syndromes as well.
    const int parity = n - k;
    const bool field = m == 8;
    const bool checked = field && firstRoot == 0;
    uint8_t* checks = work.checks.data();
    if (checked) {
        RsSyndromes(block, n, parity, checks);
        if (allZero(checks, parity)) return 0;
    } else if (RsVerify(block, n, k, m) == 0) {
        return 0;
    }
    // From here on the block is known not to be a codeword.
    const int s = std::min(parity, 2 * t);
    if (s == 0) return -4;

    uint8_t* S = work.syndromes.data();
    if (checked) {
        std::copy(checks, checks + s, S);
    } else {
        for (int i = 0; i < s; ++i) S[i] = PolyEvalDescending(block, n, GfExp[(i + firstRoot) % modulus], m);
    }
    // No syndrome: sigma stays 1, there are no roots and the block stays as it is.
    if (allZero(S, s)) return -4;
    // Berlekamp's iteration in its tabular form; row index is mu + 1.
    const uint8_t one = 1;
    LocatorRow& first = work.rows[0];
    first.assign(&one, 1);
    first.degree = 0;
    first.discrepancy = 1;
    LocatorRow& second = work.rows[1];
    second.assign(&one, 1);
    second.degree = 0;
    second.discrepancy = S[0];
    for (int mu = 0; mu < s; ++mu) {
        if (!stepLocator(work, mu, m)) return -1;
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

    // Chien search over the non-zero field elements alpha^e. Root alpha^e stands for position
    // e + n - 256 of the block (alpha^0 for position n - 1): roots with e from 1 to 255 - n lie
    // outside it. The outcome is -2 when there are more than t roots, else -3 when one lies
    // outside, else the corrections at the roots taken in order of e.
    int rootCount = 0;
    if (field) {
        // Knowing how many roots there are, only the positions of the block need searching.
        const int degree = degreeOf(sigma, l);
        const int roots = distinctRootCount(sigma, degree);
        if (roots > t) return -2;
        int stop = 0;
        rootCount = collectRoots(work, sigma, degree, 0, 0, 0, roots, stop);
        rootCount = collectRoots(work, sigma, degree, 256 - n, 254, rootCount, roots, stop);
        if (rootCount < roots) return -3;
    } else {
        std::array<int, kMaxCoefficients> termLog{};
        for (int j = 0; j <= l; ++j) termLog[static_cast<std::size_t>(j)] = sigma[j] != 0 ? GfLog[sigma[j]] : -1;
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
        // The checks follow the change: value x^(n-1-position) adds value alpha^(i(n-1-position))
        // to check i.
        if (checked && value != 0) {
            const int power = n - 1 - work.positions[i];
            for (int c = 0, exponent = GfLog[value]; c < parity; ++c) {
                checks[c] ^= GfExp[exponent];
                exponent += power;
                if (exponent >= 255) exponent -= 255;
            }
        }
    }

    if (checked ? !allZero(checks, parity) : RsVerify(block, n, k, m) != 0) return -4;
    return rootCount;
}

}  // namespace velmora
