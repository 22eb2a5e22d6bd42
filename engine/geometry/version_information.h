// Reading the version information blocks of symbols of version 7 and above, to confirm or
// correct the version estimated from the finder pattern distances.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/image/raster.h"

namespace velmora {

// Which version blocks agreed with the last answer of readVersionInformation: 0 none, 1 the
// top-right block, 2 the bottom-left block, 3 both. The alignment search reads it to choose its
// alternative prediction.
int versionBlockMatch();
void setVersionBlockMatch(int match);

// The bytes of that answer, which later attempts and passes may read.
std::span<std::byte> versionInformationStateBytes();

// Confirms or corrects an estimated version from the version blocks of the current symbol frame.
// Estimates of 5 or less come back unchanged. Otherwise the candidates e, e+1, e-1, e+2, e-2,
// e+3, e-3 within 7..40 are tried in turn: the alignment patterns next to each block are
// located for the candidate, each block is sampled into the module matrix view through a local
// transform and decoded, and the first candidate that one of its blocks names is the answer
// (the match code says which blocks named it). Returns that version; 6 when no block named its
// candidate (match code 0); 0 when a local transform cannot be fitted or applied (the match
// code is then left as it was). directions is passed on to the alignment search.
int readVersionInformation(int estimate, const uint8_t* const* rows, int height, int width, int directions);

// The version (7..40) whose version word is nearest to word, at most three bits away; 0 when
// every version word is further. An exact match wins at once, the lowest version wins a tie.
int decodeVersionBits(uint32_t word);

// The 18-bit word of the top-right block (rows 0..5, columns s-11..s-9) of a sampled symbol of
// side s held as light 1 / dark 0 samples in matrix rows; dark samples are 1 bits, most
// significant first from row 5, column s-9.
uint32_t readVersionBitsTopRight(const Raster& matrix, int s);

// The same for the bottom-left block (rows s-11..s-9, columns 0..5), from column 5, row s-9.
uint32_t readVersionBitsBottomLeft(const Raster& matrix, int s);

}  // namespace velmora
