#include "engine/geometry/line_runs.h"

#include <algorithm>
#include <array>
#include <bit>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {

namespace {

// The positions i, 1 <= i < length, where the class of sample i differs from that of sample i - 1,
// with Class giving a sample's class both one at a time and sixteen at a time.
template <typename Class>
int classChanges(const uint8_t* line, int length, int32_t* out) {
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
            out[count++] = base + std::countr_zero(changed);
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
        if (Class::of(line[i]) != Class::of(line[i - 1])) out[count++] = i;
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

// The record of one picture: per family, every line's changes back to back and where each line
// starts.
struct LineChangeRecord {
    bool allowed = false;
    bool recording = false;
    const uint8_t* const* rows = nullptr;
    int height = 0;
    int width = 0;
    std::array<std::vector<uint16_t>, 4> changes;
    std::array<std::vector<uint32_t>, 4> lineStarts;
    std::array<bool, 4> complete{};

    void forget() {
        recording = false;
        rows = nullptr;
        complete.fill(false);
    }
};

LineChangeRecord record;

// Positions are kept in 16 bits.
constexpr int kLongestIndexedLine = 65535;

}  // namespace

void allowLineChangeRecording(bool allowed) {
    record.allowed = allowed;
    if (!allowed) record.forget();
}

void beginLineChanges(const uint8_t* const* rows, int height, int width, bool masked) {
    record.forget();
    if (!record.allowed || masked || rows == nullptr || height <= 0 || width <= 0 || height > kLongestIndexedLine ||
        width > kLongestIndexedLine) {
        return;
    }
    record.recording = true;
    record.rows = rows;
    record.height = height;
    record.width = width;
    for (int f = 0; f < 4; ++f) {
        record.changes[static_cast<std::size_t>(f)].clear();
        record.lineStarts[static_cast<std::size_t>(f)].assign(1, 0);
    }
}

void recordLineChanges(int family, const int32_t* changes, int count) {
    if (!record.recording) return;
    auto& list = record.changes[static_cast<std::size_t>(family)];
    try {
        list.insert(list.end(), changes, changes + std::max(count, 0));
        record.lineStarts[static_cast<std::size_t>(family)].push_back(static_cast<uint32_t>(list.size()));
    } catch (const std::bad_alloc&) {
        record.forget();
    }
}

void endLineChanges(int family, int lines) {
    if (!record.recording) return;
    record.complete[static_cast<std::size_t>(family)] =
        record.lineStarts[static_cast<std::size_t>(family)].size() == static_cast<std::size_t>(lines) + 1;
}

bool lineChangesReady(const uint8_t* const* rows, int height, int width) {
    return record.recording && record.rows == rows && record.height == height && record.width == width &&
           record.complete[0] && record.complete[1] && record.complete[2] && record.complete[3];
}

LineChangeFamily lineChangesOfFamily(int family) {
    return {record.changes[static_cast<std::size_t>(family)].data(),
            record.lineStarts[static_cast<std::size_t>(family)].data()};
}

}  // namespace velmora
