#include "engine/geometry/line_runs.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "engine/image/simd.h"

namespace velmora {

namespace {

// The positions i, 1 <= i < length, where the class of sample i differs from that of sample i - 1,
// with Class giving a sample's class both one at a time and sixteen at a time.
template <typename Class, typename Out>
int classChanges(const uint8_t* line, int length, Out* out) {
    int count = 0;
    int i = 1;
#if VELMORA_SSE2
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
#if VELMORA_SSE2
    static __m128i of16(__m128i v) { return _mm_cmpeq_epi8(v, _mm_setzero_si128()); }
#endif
};

// Dark (0), light (1) or masked (2 and above, whatever the colour beneath).
struct MaskedColour {
    static int of(uint8_t v) { return std::min<int>(v, 2); }
#if VELMORA_SSE2
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
    // Appends the change at pixel (y, x) to the line of `family` through it.
    void addAt(int family, int y, int x, int width) {
        const LinePlace place = linePlaceOf(family, y, x, width);
        add(place.line, place.offset);
    }
};

// The changes of every line of one picture, four families of them.
struct PictureChanges {
    std::array<FamilyRecord, 4> families;

    // Room for the changes of every line: the rows one after the other as they come, and for each
    // line of the stepped families (columns, then diagonals and anti-diagonals, whose lines have
    // the same lengths) a region of its own. Unless `full`, a region holds an eighth of its line
    // and 16 more, which real pictures stay well within; a line with more changes writes on into
    // the regions after it, up to its own length past its start (the last region has that much
    // spare), and the sweep is then made again with full regions.
    bool reserveLines(int height, int width, bool full) {
        try {
            auto room = [full](int length) { return full ? length : std::min(length, length / 8 + 16); };
            auto regions = [&](std::vector<uint32_t>& starts, int lines, auto lengthOf) {
                starts.resize(static_cast<std::size_t>(lines) + 1);
                uint64_t next = 0;
                for (int L = 0; L < lines; ++L) {
                    starts[static_cast<std::size_t>(L)] = static_cast<uint32_t>(next);
                    next += static_cast<uint64_t>(room(lengthOf(L)));
                }
                starts[static_cast<std::size_t>(lines)] = static_cast<uint32_t>(next);
                return next + static_cast<uint64_t>(std::max(height, width));
            };
            const uint64_t area = static_cast<uint64_t>(height) * static_cast<uint64_t>(width);
            const uint64_t columnRoom = regions(families[1].lineStarts, width, [&](int) { return height; });
            const uint64_t diagonalRoom = regions(families[2].lineStarts, height + width - 1,
                                                  [&](int L) { return lineOf(2, L, height, width).length; });
            if (std::max({area, columnRoom, diagonalRoom}) > 0xFFFFFFFFu) return false;
            families[3].lineStarts = families[2].lineStarts;
            const std::array<uint64_t, 4> needed = {area, columnRoom, diagonalRoom, diagonalRoom};
            for (int f = 0; f < 4; ++f) {
                if (!families[static_cast<std::size_t>(f)].reserve(static_cast<std::size_t>(needed[static_cast<std::size_t>(f)]))) return false;
            }
            families[0].lineStarts.resize(static_cast<std::size_t>(height));
            families[0].lineEnds.resize(static_cast<std::size_t>(height));
            for (int f = 1; f < 4; ++f) {
                FamilyRecord& r = families[static_cast<std::size_t>(f)];
                r.lineEnds.assign(r.lineStarts.begin(), r.lineStarts.end() - 1);
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // True when some line of the stepped families has run past its region.
    bool overran() const {
        for (int f = 1; f < 4; ++f) {
            const FamilyRecord& r = families[static_cast<std::size_t>(f)];
            for (std::size_t L = 0; L < r.lineEnds.size(); ++L) {
                if (r.lineEnds[L] > r.lineStarts[L + 1]) return true;
            }
        }
        return false;
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
            if ((above[x] == 0) != dark) columns.addAt(1, y, x, width);
            if (x > 0 && (above[x - 1] == 0) != dark) diagonals.addAt(2, y, x, width);
            if (x + 1 < width && (above[x + 1] == 0) != dark) antiDiagonals.addAt(3, y, x, width);
        };
        int x = from;
#if VELMORA_SSE2
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
                    columns.addAt(1, y, x + std::countr_zero(m), width);
                }
                for (unsigned m = bits(dark, darkAt(above + x - 1)); m != 0; m &= m - 1) {
                    diagonals.addAt(2, y, x + std::countr_zero(m), width);
                }
                for (unsigned m = bits(dark, darkAt(above + x + 1)); m != 0; m &= m - 1) {
                    antiDiagonals.addAt(3, y, x + std::countr_zero(m), width);
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
    // A raised stop gives the sweep up (false) between two rows.
    bool sweep(const uint8_t* const* rows, int height, int width, int first, int last, int from, int to,
               const std::atomic<bool>* stop = nullptr) {
        if (rows == nullptr || height <= 0 || width <= 0 || height > kLongestIndexedLine ||
            width > kLongestIndexedLine) {
            return false;
        }
        for (bool full : {false, true}) {
            if (!reserveLines(height, width, full)) return false;
            if (!sweepLines(rows, height, first, last, width, from, to, stop)) return false;
            if (!overran()) return true;
        }
        return false;
    }

    // One sweep into the regions reserved; false when stopped.
    bool sweepLines(const uint8_t* const* rows, int height, int first, int last, int width, int from, int to,
                    const std::atomic<bool>* stop) {
        FamilyRecord& rowsRecord = families[0];
        uint32_t next = 0;
        for (int y = 0; y < height; ++y) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed)) return false;
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
    uint64_t generation = 0;

    void forget() {
        rows = nullptr;
        ++generation;
    }
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

struct PreparedLineChanges::Storage {
    PictureChanges changes;
};

PreparedLineChanges::PreparedLineChanges() : storage_(std::make_unique<Storage>()) {}
PreparedLineChanges::~PreparedLineChanges() = default;

bool PreparedLineChanges::sweep(const uint8_t* const* rows, int height, int width, const std::atomic<bool>& stop) {
    rows_ = nullptr;
    if (!storage_->changes.sweep(rows, height, width, 0, height - 1, 0, width - 1, &stop)) return false;
    rows_ = rows;
    height_ = height;
    width_ = width;
    return true;
}

void PreparedLineChanges::releaseStorage() {
    // An empty record allocates nothing.
    storage_->changes = PictureChanges{};
    rows_ = nullptr;
}

bool adoptLineChanges(PreparedLineChanges& prepared) {
    if (!record.allowed || prepared.rows_ == nullptr) return false;
    record.forget();
    std::swap(record.changes, prepared.storage_->changes);
    record.rows = prepared.rows_;
    record.height = prepared.height_;
    record.width = prepared.width_;
    prepared.rows_ = nullptr;
    return true;
}

uint64_t lineRecordGeneration() { return record.generation; }

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
#if VELMORA_SSE2
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
