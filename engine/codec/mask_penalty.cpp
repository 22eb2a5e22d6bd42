#include "engine/codec/mask_penalty.h"

#include <cstdlib>

namespace velmora {
namespace {

using Words = std::array<uint64_t, 3>;

// Bit i of the result is bit i + n of a (n in 0..63); zeros come in from the top.
Words shiftDown(const Words& a, int n) {
    if (n == 0) return a;
    return {(a[0] >> n) | (a[1] << (64 - n)), (a[1] >> n) | (a[2] << (64 - n)), a[2] >> n};
}

// Bit i of the result is bit i - n of a (n in 0..63); zeros come in from the bottom.
Words shiftUp(const Words& a, int n) {
    if (n == 0) return a;
    return {a[0] << n, (a[1] << n) | (a[0] >> (64 - n)), (a[2] << n) | (a[1] >> (64 - n))};
}

// Module i + offset of the line at bit i; modules outside the symbol read as 0 (light).
Words moduleAt(const Words& a, int offset) { return offset >= 0 ? shiftDown(a, offset) : shiftUp(a, -offset); }

// Bits 0 .. count - 1 set.
Words lowBits(int count) {
    Words m{};
    for (int w = 0; w < 3; ++w) {
        const int bits = count - 64 * w;
        m[w] = bits >= 64 ? ~uint64_t{0} : (bits <= 0 ? 0 : (uint64_t{1} << bits) - 1);
    }
    return m;
}

int popcount(const Words& a) { return std::popcount(a[0]) + std::popcount(a[1]) + std::popcount(a[2]); }

template <typename F>
Words combine(const Words& a, const Words& b, F f) {
    return {f(a[0], b[0]), f(a[1], b[1]), f(a[2], b[2])};
}

Words operator&(const Words& a, const Words& b) { return combine(a, b, [](uint64_t x, uint64_t y) { return x & y; }); }
Words operator|(const Words& a, const Words& b) { return combine(a, b, [](uint64_t x, uint64_t y) { return x | y; }); }
Words operator^(const Words& a, const Words& b) { return combine(a, b, [](uint64_t x, uint64_t y) { return x ^ y; }); }
Words operator~(const Words& a) { return {~a[0], ~a[1], ~a[2]}; }

// Runs of five or more and finder-like patterns of one line of s modules.
int linePenalty(const Words& line, int s) {
    // same bit i: modules i and i + 1 have one colour.
    const Words same = ~(line ^ moduleAt(line, 1)) & lowBits(s - 1);
    // A run of length L >= 5 shows as one start of five equal modules and L - 5 windows of six.
    const Words five = same & moduleAt(same, 1) & moduleAt(same, 2) & moduleAt(same, 3);
    const Words six = five & moduleAt(same, 4);
    const Words runStart = ~moduleAt(same, -1);
    int penalty = 3 * popcount(five & runStart) + popcount(six);

    const Words pattern = ~moduleAt(line, -1) & line & ~moduleAt(line, 1) & moduleAt(line, 2) & moduleAt(line, 3) &
                          moduleAt(line, 4) & ~moduleAt(line, 5) & moduleAt(line, 6) & ~moduleAt(line, 7) &
                          lowBits(s - 6);
    const Words lightBefore = ~moduleAt(line, -2) & ~moduleAt(line, -3) & ~moduleAt(line, -4);
    const Words lightAfter = ~moduleAt(line, 8) & ~moduleAt(line, 9) & ~moduleAt(line, 10);
    penalty += 40 * popcount(pattern & (lightBefore | lightAfter));
    return penalty;
}

}  // namespace

int maskPenalty(const SymbolBits& symbol) {
    const int s = symbol.size;
    int penalty = 0;
    int dark = 0;
    for (int i = 0; i < s; ++i) {
        penalty += linePenalty(symbol.rows[i].words, s);
        penalty += linePenalty(symbol.columns[i].words, s);
        dark += popcount(symbol.rows[i].words);
    }
    const Words inside = lowBits(s - 1);
    for (int y = 0; y + 1 < s; ++y) {
        const Words& a = symbol.rows[y].words;
        const Words& b = symbol.rows[y + 1].words;
        const Words block = ~(a ^ b) & ~(a ^ moduleAt(a, 1)) & ~(b ^ moduleAt(b, 1)) & inside;
        penalty += 3 * popcount(block);
    }
    const int percentLight = (s * s - dark) * 100 / (s * s);
    penalty += 10 * (std::abs(50 - percentLight) / 5);
    return penalty;
}

}  // namespace velmora
