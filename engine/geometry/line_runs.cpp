#include "engine/geometry/line_runs.h"

#include <bit>

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

}  // namespace velmora
