// Candidates for a symbol: triples of found finder patterns, and pairs with a third pattern
// inferred in sixteen ways, handed one at a time to the symbol attempts.
#pragma once

#include <array>
#include <cstdint>

#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/point.h"

namespace velmora {

inline constexpr int kCandidateSlots = 3;

// Scan directions as the symbol frame numbers them: 0 rows, 1 diagonals (down and to the
// right), 2 columns, 3 anti-diagonals (down and to the left).
inline constexpr int kSlotDirections = 4;

// Per-slot measures of the candidate in progress: hit counts and mean module sizes by scan
// direction (0 means the direction gave no measure), and the module vectors that the symbol
// frame derives from the sizes.
struct SlotSizes {
    std::array<int32_t, kSlotDirections> counts;
    std::array<float, kSlotDirections> sizes;
    std::array<PointF, kSlotDirections> vectors;
};

// The three patterns of the candidate in progress: values[v][slot] is FinderValue v of the
// pattern in that slot; scores[slot] its score, which the driver clears before each step.
struct CandidateTriple {
    std::array<std::array<float, kCandidateSlots>, kFinderValues> values;
    std::array<float, kCandidateSlots> scores;
};

CandidateTriple& candidateTriple();
std::array<SlotSizes, kCandidateSlots>& slotSizes();

// Clears the candidate's values and scores (start of every finder search).
void clearCandidateTriple();

}  // namespace velmora
