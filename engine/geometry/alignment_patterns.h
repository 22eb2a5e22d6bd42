// Alignment patterns of a framed candidate: where each alignment position of a version lies in
// the picture, predicted cell by cell and corrected by what the window search around each
// prediction finds.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <cstdint>

#include "engine/geometry/point.h"

namespace velmora {

// Alignment positions per side of version 40; every grid has room for this many.
inline constexpr int kMaxAlignmentPositions = 7;

// A cell of an alignment grid: picture position and score. A score of at least 1.5 means an
// alignment pattern was found there; otherwise the position is a prediction.
struct AlignmentCell {
    float x;
    float y;
    float score;
};

inline constexpr float kAlignmentFoundScore = 1.5f;

// [row][column] of the grid; the rows and columns beyond n are left alone.
using AlignmentGrid = std::array<std::array<AlignmentCell, kMaxAlignmentPositions>, kMaxAlignmentPositions>;
// Module coordinates (x the column's position, y the row's) of each grid cell.
using AlignmentCoordinates = std::array<std::array<PointF, kMaxAlignmentPositions>, kMaxAlignmentPositions>;

// Sets n and the module coordinates of every cell for the version: 6 followed by the version's
// alignment positions (ISO/IEC 18004, annex E) in both directions. Versions below 2 get n = 2
// and nothing else.
void setAlignmentCoordinates(int version);

// n, the alignment positions per side of the version last set.
int alignmentPositionCount();

// The cells' module coordinates. The alignment-grid sampling writes the finder centres into the
// three finder corners.
AlignmentCoordinates& alignmentCoordinates();

// The picture positions and scores of the version last located. Cells (0, 0), (0, n - 1) and
// (n - 1, 0) sit next to the finders: score 0, position three modules inward from the finder.
AlignmentGrid& alignmentGrid();

// Versions 2 to 6: the search around the perspective-corrected prediction of the one alignment
// pattern, kept apart from cell (1, 1).
AlignmentCell& extraAlignmentCell();

// Searches that found a pattern since the count was last cleared (a cell searched twice may
// count twice).
int alignmentFoundCount();
void clearAlignmentFoundCount();

// The bytes of the grids, coordinates and counter of the last search, which later attempts and passes may read.
std::span<std::byte> alignmentStateBytes();

// Predicts and searches every alignment position of the version around the current symbol
// frame, each prediction using the patterns already found. For versions 7 and above a second
// prediction, ordered by the version blocks that matched, replaces the first when it finds more
// patterns. directions: 1 straight scans, 2 diagonal scans, 3 both. Requires
// setAlignmentCoordinates for the same version.
void locateAlignmentPatterns(int version, const uint8_t* const* rows, int height, int width, int directions);

// Searches the window around the predicted pixel (px, py), shaped by the frame corner of role
// (0 A, 1 B, 2 C; anything else counts as 0), twice: with the run ratio bound 2.5, then 1.5.
// When a pass finds candidates, the one nearest the prediction gives the cell its position and
// score and the found count grows by one; otherwise the cell stays as it is.
void searchAlignment(AlignmentCell& cell, int px, int py, const uint8_t* const* rows, int height, int width, int role,
                     int directions);

// The dark runs of one line of samples (1 light, 0 dark) that could be an alignment pattern's
// centre module: light, dark, light runs whose neighbours are within ratioBound of each other
// and whose means are within a factor 2.1 of lineModule (samples per module along the line).
// When the runs are in proportion but the light run after a centre is too long or too short,
// the candidate is kept and that run counts on into the next one, so that the transition after
// it decides. Writes up to capacity runs as (first sample, first sample after) and returns how
// many were found.
int alignmentCentreRuns(const uint8_t* samples, int length, float lineModule, float ratioBound,
                        std::array<int, 2>* runs, int capacity);

// Predicts, then searches, the six cells next to the two version blocks: (0, n-2), (1, n-2),
// (1, n-1) from the top-right finder and (n-2, 0), (n-2, 1), (n-1, 1) from the bottom-left one.
void locateVersionAlignment(const uint8_t* const* rows, int height, int width, int directions);

}  // namespace velmora
