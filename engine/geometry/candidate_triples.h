// Candidates for a symbol: triples of found finder patterns, and pairs with a third pattern
// inferred in sixteen ways, handed one at a time to the symbol attempts.
#pragma once

#include <array>
#include <cstddef>
#include <span>
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

// Entries of the candidate table: an enabled flag, then three FinderList positions. Triples
// hold (k, j, i) with k < j < i; pairs hold (j, i) in the last two fields, the first position
// receiving a copy of j when the entry is loaded.
inline constexpr int kMaxCandidates = 220;
struct CandidateTable {
    std::array<std::array<int32_t, 4>, kMaxCandidates + 1> entries;  // the last entry is scratch
    int count;
};
const CandidateTable& candidateTable();

enum CandidateMode : int { kTripleMode = 0, kPairMode = 1 };

// The two angle limits of the triple test, as squared cosines: an angle whose cos^2 exceeds
// the acute limit (an angle below about 17.8 degrees) or, for an obtuse angle, the obtuse limit
// (above about 130.6 degrees) cannot be a symbol's corner. The driver sets them per request.
inline constexpr float kAcuteAngleLimit = 0.90631f;
inline constexpr float kObtuseAngleLimit = 0.422618f;
void setAngleThresholds(float acute, float obtuse);

// Fills the table with every triple of listed patterns that passes the triple test (sides
// within a factor of about 2.69, no angle too acute or too obtuse, module sizes within a
// factor of 3 in every shared scan direction), the three lowest-scored listed patterns first.
// Returns 1, or 0 (empty table) when fewer than 3 patterns are listed.
int buildTriples();

// The same for pairs of listed patterns with similar module sizes; 0 when fewer than 2.
int buildPairs();

// Advances cursor (start at -1) to the next enabled triple and loads it into the candidate.
// Returns 1, or -1 when the table is empty or exhausted.
int nextTriple(int& cursor);

// The state that carries over between pair variants: the aspect factor k that scales the
// inferred side, the rotation (c, s) of the diagonal variants, and the flag raised while an
// odd variant (one that assumes square modules) is tried.
struct PairVariantState {
    float aspectFactor;
    float cosine;
    float sine;
    int oddVariantFlag;
};
PairVariantState& pairVariantState();

// The bytes of the candidate, its slots, the table and the pair variant state, which later attempts and passes may read.
std::span<std::byte> candidateStateBytes();

// Advances the pair cursors (entry from 0, variant from -1) to the next variant, loads the
// pair into slots 1 and 2 and infers the third pattern's centre into slot 0. Returns 1 when a
// candidate is ready, 0 when this variant yields none (call again), -1 when no candidates are
// left. height and width are the searched picture's.
int nextPairVariant(int& entry, int& variant, const FinderList& list, const FinderTable& table, int height, int width);

// After a symbol was read from `entry`: disables every enabled entry that shares a pattern
// with it (itself included); pairs compare only their two positions.
void disableSharingTriples(int entry, CandidateMode mode = kTripleMode);

// Sets the FinderTable score of the entry's patterns to 0 so that no later candidate uses them.
void markPatternsUsed(int entry, CandidateMode mode = kTripleMode);

}  // namespace velmora
