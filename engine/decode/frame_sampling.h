// Reading the module grid of a framed candidate out of the binary picture into the reader's
// module matrix: through one transform fitted to four reference points, or through one
// transform per cell of the alignment grid. The transforms stay for the corners of the symbol.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <cstdint>

#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/perspective.h"

namespace velmora {

// How the fourth reference point of a single-transform sampling is chosen.
enum SampleMode : int {
    kSampleParallelogram = 0,  // D0 = B + C - A, at the would-be fourth finder centre
    kSamplePerspective = 1,    // D0 moved by the module-size ratios at B and C
    kSampleAlignment = 2,      // the bottom-right-most alignment pattern found
    kSampleCorrected = 3,      // versions 2 to 6: the pattern found around the corrected prediction
};

// Samples the version's N x N grid (N = 4 version + 17) from the binary picture (1 light, 0
// dark) into the module matrix view and then into the reader's matrix (1 dark, [x * 177 + y]),
// through the transform fitted to A, B, C and the mode's fourth point. Returns 1, or -1 when the
// mode has no fourth point, the fit fails or the resampling fails.
int samplePerspective(const uint8_t* const* rows, int height, int width, int mode, int version);

// Fills the cell bounds of the alignment-grid sampling: the alignment coordinates of the
// version, with the outer grid lines moved out to the symbol's edges. Returns 1.
int prepareAlignmentGrid(int version);

// Versions 7 and above: samples each cell of the alignment grid through its own transform,
// fitted to the cell's four corner patterns (finder centres at the three finder corners).
// Returns 1, or -1 when no alignment pattern was found or a fit or resampling fails.
int sampleAlignmentGrid(const uint8_t* const* rows, int height, int width, int version);

// The transforms of the last sampling, picture to module: T0 (the whole symbol, or the
// top-left cell), T1 (top-right cell), T2 (bottom-left cell), T3 (bottom-right cell).
const std::array<PerspectiveCoefficients, 4>& frameTransforms();

// True when the last sampling went cell by cell (T0 to T3 all in use).
bool sampledByAlignmentGrid();

// The mode of the last single-transform sampling that succeeded; meaningful while
// sampledByAlignmentGrid() is false.
int lastSampleMode();

// The fourth point of the last parallelogram sampling, against which the perspective mode
// refuses to repeat it.
PointF savedFourthPoint();

// The bytes of the transforms, mode and saved fourth point of the last sampling, which later attempts and passes may read.
std::span<std::byte> samplingStateBytes();

// The cell bounds that prepareAlignmentGrid wrote: module points (x, y) per [row][column].
const AlignmentCoordinates& alignmentCellBounds();

}  // namespace velmora
