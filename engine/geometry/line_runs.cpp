#include "engine/geometry/line_runs.h"

#include <array>
#include <bit>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {

int colourChanges(const uint8_t* line, int length, int32_t* out) {
    int count = 0;
    int i = 1;
#if defined(__SSE2__)
    // Sixteen neighbouring pairs at a time: compare each sample's darkness with the one before.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        const __m128i here = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i)), zero);
        const __m128i before = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i - 1)), zero);
        unsigned changed = static_cast<unsigned>(_mm_movemask_epi8(_mm_xor_si128(here, before)));
        while (changed != 0) {
            out[count++] = i + std::countr_zero(changed);
            changed &= changed - 1;
        }
    }
    // The last few pairs through one more load that ends at the line's end, its pairs before i
    // already counted.
    if (i < length && length >= 17) {
        const int from = length - 16;
        const __m128i here = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from)), zero);
        const __m128i before = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + from - 1)), zero);
        unsigned changed = static_cast<unsigned>(_mm_movemask_epi8(_mm_xor_si128(here, before))) >> (i - from);
        while (changed != 0) {
            out[count++] = i + std::countr_zero(changed);
            changed &= changed - 1;
        }
        return count;
    }
#endif
    for (; i < length; ++i) {
        if ((line[i] != 0) != (line[i - 1] != 0)) out[count++] = i;
    }
    return count;
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
        for (int k = 0; k < count; ++k) list.push_back(static_cast<uint16_t>(changes[k]));
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

LineChangeList lineChangesOf(int family, int line) {
    const auto& list = record.changes[static_cast<std::size_t>(family)];
    const auto& starts = record.lineStarts[static_cast<std::size_t>(family)];
    const uint16_t* base = list.data();
    return {base + starts[static_cast<std::size_t>(line)], base + starts[static_cast<std::size_t>(line) + 1]};
}

}  // namespace velmora
