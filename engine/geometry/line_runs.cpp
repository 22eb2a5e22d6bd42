#include "engine/geometry/line_runs.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {

namespace {

// The positions i, 1 <= i < length, where the class of sample i differs from that of sample i - 1,
// with Class giving a sample's class both one at a time and sixteen at a time.
template <typename Class, typename Out>
int classChanges(const uint8_t* line, int length, Out* out) {
    int count = 0;
    int i = 1;
#if defined(__SSE2__)
    auto changedAt = [&](int from) {
        const __m128i here = Class::of16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from)));
        const __m128i before = Class::of16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from - 1)));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, before))) ^ 0xFFFFu;
    };
    auto emit = [&](int base, unsigned changed) {
        while (changed != 0) {
            out[count++] = static_cast<Out>(base + std::countr_zero(changed));
            changed &= changed - 1;
        }
    };
    for (; i + 16 <= length; i += 16) emit(i, changedAt(i));
    // The last few pairs through one more load that ends at the line's end, its pairs before i
    // already counted.
    if (i < length && length >= 17) {
        const int from = length - 16;
        emit(i, changedAt(from) >> (i - from));
        return count;
    }
#endif
    for (; i < length; ++i) {
        if (Class::of(line[i]) != Class::of(line[i - 1])) out[count++] = static_cast<Out>(i);
    }
    return count;
}

// Dark (0) or light (anything else).
struct Colour {
    static int of(uint8_t v) { return v != 0; }
#if defined(__SSE2__)
    static __m128i of16(__m128i v) { return _mm_cmpeq_epi8(v, _mm_setzero_si128()); }
#endif
};

// Dark (0), light (1) or masked (2 and above, whatever the colour beneath).
struct MaskedColour {
    static int of(uint8_t v) { return std::min<int>(v, 2); }
#if defined(__SSE2__)
    static __m128i of16(__m128i v) { return _mm_min_epu8(v, _mm_set1_epi8(2)); }
#endif
};

}  // namespace

int colourChanges(const uint8_t* line, int length, int32_t* out) { return classChanges<Colour>(line, length, out); }

int maskedColourChanges(const uint8_t* line, int length, int32_t* out) {
    return classChanges<MaskedColour>(line, length, out);
}

namespace {

// Positions are kept in 16 bits, line starts in 32.
constexpr int kLongestIndexedLine = 65535;

// One family's lines: line L holds changes[lineStarts[L]] up to changes[lineEnds[L]].
struct FamilyRecord {
    std::unique_ptr<uint16_t[]> changes;  // left uninitialised: only what a sweep writes is read
    std::size_t capacity = 0;
    std::vector<uint32_t> lineStarts;
    std::vector<uint32_t> lineEnds;

    // Room for count changes; false when memory is short.
    bool reserve(std::size_t count) {
        if (capacity >= count) return true;
        changes.reset(new (std::nothrow) uint16_t[count]);
        capacity = changes ? count : 0;
        return changes != nullptr;
    }
    // Appends a change at position p to line L (changes of a line arrive in order).
    void add(int L, int p) { changes[lineEnds[static_cast<std::size_t>(L)]++] = static_cast<uint16_t>(p); }
};

// The changes of every line of one picture, four families of them.
struct PictureChanges {
    std::array<FamilyRecord, 4> families;

    // Each line of the stepped families gets room for a change at every sample: columns one after
    // the other, diagonals and anti-diagonals (whose lines have the same lengths) in line order.
    bool reserveLines(int height, int width) {
        const std::size_t area = static_cast<std::size_t>(height) * static_cast<std::size_t>(width);
        if (area > 0xFFFFFFFFu) return false;
        try {
            for (FamilyRecord& f : families) {
                if (!f.reserve(area)) return false;
            }
            families[0].lineStarts.resize(static_cast<std::size_t>(height));
            families[0].lineEnds.resize(static_cast<std::size_t>(height));
            FamilyRecord& columns = families[1];
            columns.lineStarts.resize(static_cast<std::size_t>(width));
            for (int x = 0; x < width; ++x) {
                columns.lineStarts[static_cast<std::size_t>(x)] = static_cast<uint32_t>(x) * static_cast<uint32_t>(height);
            }
            columns.lineEnds = columns.lineStarts;
            const int diagonals = height + width - 1;
            std::vector<uint32_t>& starts = families[2].lineStarts;
            starts.resize(static_cast<std::size_t>(diagonals));
            uint32_t next = 0;
            for (int L = 0; L < diagonals; ++L) {
                starts[static_cast<std::size_t>(L)] = next;
                const int row = std::max(0, L + 1 - width);
                next += static_cast<uint32_t>(std::min(height - row, std::min(L + 1, width)));
            }
            families[2].lineEnds = starts;
            families[3].lineStarts = starts;
            families[3].lineEnds = starts;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // The changes of row y along itself, appended to the rows' record from next on (returned:
    // the new end), and against row y - 1 (above) along the stepped families: pixel (y, x)
    // against the pixel above it, above and to the left, and above and to the right. Only
    // pixels from column `from` to `to` can change.
    uint32_t sweepRow(const uint8_t* above, const uint8_t* row, int y, int width, int from, int to, uint32_t next) {
        uint16_t* rowChanges = families[0].changes.get();
        FamilyRecord& columns = families[1];
        FamilyRecord& diagonals = families[2];
        FamilyRecord& antiDiagonals = families[3];
        auto changeAt = [&](int x, bool dark) {
            if (x > 0 && (row[x - 1] == 0) != dark) rowChanges[next++] = static_cast<uint16_t>(x);
            if ((above[x] == 0) != dark) columns.add(x, y);
            if (x > 0 && (above[x - 1] == 0) != dark) diagonals.add(width - 1 - x + y, std::min(y, x));
            if (x + 1 < width && (above[x + 1] == 0) != dark) antiDiagonals.add(x + y, std::min(y, width - 1 - x));
        };
        int x = from;
#if defined(__SSE2__)
        if (width >= 18) {
            if (x == 0) changeAt(x++, row[0] == 0);
            const __m128i zero = _mm_setzero_si128();
            auto darkAt = [&](const uint8_t* p) {
                return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), zero);
            };
            auto bits = [](__m128i a, __m128i b) { return static_cast<unsigned>(_mm_movemask_epi8(_mm_xor_si128(a, b))); };
            // Sixteen at a time while all of them and their neighbours lie in the row: a block
            // that reaches past `to` finds no change there.
            for (; x + 17 <= width && x <= to; x += 16) {
                const __m128i dark = darkAt(row + x);
                for (unsigned m = bits(dark, darkAt(row + x - 1)); m != 0; m &= m - 1) {
                    rowChanges[next++] = static_cast<uint16_t>(x + std::countr_zero(m));
                }
                for (unsigned m = bits(dark, darkAt(above + x)); m != 0; m &= m - 1) {
                    columns.add(x + std::countr_zero(m), y);
                }
                for (unsigned m = bits(dark, darkAt(above + x - 1)); m != 0; m &= m - 1) {
                    const int at = x + std::countr_zero(m);
                    diagonals.add(width - 1 - at + y, std::min(y, at));
                }
                for (unsigned m = bits(dark, darkAt(above + x + 1)); m != 0; m &= m - 1) {
                    const int at = x + std::countr_zero(m);
                    antiDiagonals.add(at + y, std::min(y, width - 1 - at));
                }
            }
        }
#endif
        for (; x <= to; ++x) changeAt(x, row[x] == 0);
        return next;
    }

    // Records the picture, of whose rows only first to last may hold a change of colour along
    // them or against the row above, and only at columns from `from` to `to` (the rest is left
    // unread). False when it cannot be recorded.
    bool sweep(const uint8_t* const* rows, int height, int width, int first, int last, int from, int to) {
        if (rows == nullptr || height <= 0 || width <= 0 || height > kLongestIndexedLine ||
            width > kLongestIndexedLine || !reserveLines(height, width)) {
            return false;
        }
        FamilyRecord& rowsRecord = families[0];
        uint32_t next = 0;
        for (int y = 0; y < height; ++y) {
            rowsRecord.lineStarts[static_cast<std::size_t>(y)] = next;
            if (y == 0 && first == 0) {
                next += static_cast<uint32_t>(classChanges<Colour>(rows[0], width, rowsRecord.changes.get()));
            } else if (y >= first && y <= last) {
                next = sweepRow(rows[y - 1], rows[y], y, width, from, to, next);
            }
            rowsRecord.lineEnds[static_cast<std::size_t>(y)] = next;
        }
        return true;
    }

    LineChangeFamily family(int f) const {
        const FamilyRecord& r = families[static_cast<std::size_t>(f)];
        return {r.changes.get(), r.lineStarts.data(), r.lineEnds.data()};
    }
};

// The record of the picture a decode pass searches, and the picture recorded.
struct LineChangeRecord {
    bool allowed = false;
    const uint8_t* const* rows = nullptr;  // the picture recorded, or null
    int height = 0;
    int width = 0;
    PictureChanges changes;

    void forget() { rows = nullptr; }
};

LineChangeRecord record;

// The record of the decoded-area mask, made anew for every masked search.
PictureChanges maskRecord;

}  // namespace

void allowLineChangeRecording(bool allowed) {
    record.allowed = allowed;
    record.forget();
}

bool recordLineChanges(const uint8_t* const* rows, int height, int width) {
    if (record.allowed && record.rows == rows && rows != nullptr && record.height == height && record.width == width) {
        return true;
    }
    record.forget();
    if (!record.changes.sweep(rows, height, width, 0, height - 1, 0, width - 1)) return false;
    record.rows = rows;
    record.height = height;
    record.width = width;
    return true;
}

bool lineChangesReady(const uint8_t* const* rows, int height, int width) {
    return record.allowed && rows != nullptr && record.rows == rows && record.height == height && record.width == width;
}

LineChangeFamily lineChangesOfFamily(int family) { return record.changes.family(family); }

bool recordMaskChanges(const uint8_t* const* maskRows, int height, int width, int top, int bottom, int left,
                       int right) {
    // Uncovered pixels next to the covered ones still change against them.
    return maskRecord.sweep(maskRows, height, width, std::max(top, 0), std::min(bottom + 1, height - 1),
                            std::max(left - 1, 0), std::min(right + 1, width - 1));
}

LineChangeFamily maskChangesOfFamily(int family) { return maskRecord.family(family); }

LineChangeList changesBetween(LineChangeList line, int low, int high) {
    const uint16_t* p = line.begin;
    std::ptrdiff_t atMostLow = 0, belowHigh = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i lowBound = _mm_set1_epi16(static_cast<short>(static_cast<uint16_t>(low)));
    const __m128i highBound = _mm_set1_epi16(static_cast<short>(static_cast<uint16_t>(high - 1)));
    // The entries of eight at or below a bound: v <= bound exactly where the unsigned saturating
    // difference is 0, and in an ascending list those entries come first.
    auto atMost = [&](__m128i v, __m128i bound) {
        const unsigned below = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(v, bound), zero)));
        return std::countr_zero(~below) / 2;
    };
    for (; p + 8 <= line.end; p += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        atMostLow += atMost(v, lowBound);
        belowHigh += atMost(v, highBound);
        if (p[7] >= high) return {line.begin + atMostLow, line.begin + belowHigh};
    }
#endif
    for (; p != line.end && *p < high; ++p) {
        atMostLow += *p <= low;
        ++belowHigh;
    }
    return {line.begin + atMostLow, line.begin + belowHigh};
}

}  // namespace velmora
