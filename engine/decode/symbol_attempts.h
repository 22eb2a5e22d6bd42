// Turning one binary picture's candidates into read symbols: the triple loop and the pair
// loop, the attempt on one candidate (version estimate, samplings, reads), and what happens to
// a symbol once it is read (its record, corners and the mask over its area).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/decode/symbol_record.h"
#include "engine/geometry/symbol_frame.h"

namespace velmora {

// Tries every accepted triple of the current finder search until the request's wanted count is
// reached or its time budget is spent. rows is the binary picture of the pass (1 light, 0
// dark), height by width. convertFlag non-zero converts each text from UTF-8 into the system
// code page. Returns the number of symbols in the decode record afterwards.
int tryFinderTriples(const uint8_t* const* rows, int height, int width, int convertFlag);

// The same over the accepted pairs, each with its third pattern inferred in sixteen ways.
int tryFinderPairs(const uint8_t* const* rows, int height, int width, int convertFlag);

// One candidate (the current candidate triple): builds its frame, chooses a version, samples
// and reads. Returns 1 when a symbol was read (the reader then holds it), -1 or -2 when not.
int attemptSymbol(const uint8_t* const* rows, int height, int width);

// The bytes of the loop mode and working version of the last attempt.
std::span<std::byte> attemptStateBytes();

// The version of the framed candidate from its finder distances, confirmed for large symbols
// by a first read or the version blocks. Returns 2 when that first read already succeeded, 1
// when version still has to be read in every way, 0 when the plain samplings were already tried
// for it, -1 when the candidate is rejected.
int estimateVersion(int& version, const uint8_t* const* rows, int height, int width,
                    const std::array<FrameCorner, 4>& frame);

// 1 while the pair loop runs, else 0.
int pairMode();

}  // namespace velmora
