// The frame of a candidate symbol: which finder is the corner, which ways the two sides run,
// how long they are, the module size along each side at each pattern, and the fourth corner.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "engine/geometry/point.h"

namespace velmora {

// Direction class of a unit vector: 0 horizontal, 1 along y = -x (up-right or down-left),
// 2 vertical, 3 along y = x (down-right or up-left).
enum DirectionClass : int { kHorizontal = 0, kRisingDiagonal = 1, kVertical = 2, kFallingDiagonal = 3 };

// One corner of the frame. A, B and C are finder centres, D the fourth corner. e1 runs along
// side 1 (A-B, or C-D at C and D), e2 along side 2 (A-C, or B-D at B and D), each pointing to
// the other end of its side; m1 and m2 are pixels per module along them.
struct FrameCorner {
    PointF point;
    PointF e1;
    PointF e2;
    float m1;
    float m2;
    int class1;
    int class2;
    float length1;
    float length2;
};

enum FrameRole : int { kFrameA = 0, kFrameB = 1, kFrameC = 2, kFrameD = 3 };
using FramePoints = std::array<PointF, 4>;

// The frame of the current candidate, rewritten for every candidate.
std::array<FrameCorner, 4>& frameCorners();
// Candidate slots of A, B and C.
const std::array<int, 3>& frameOrder();
// The frame's four points A, B, C, D as the steps below leave them.
FramePoints& framePoints();

// The bytes of the corners, order and points of the last frame, which later attempts and passes may read.
std::span<std::byte> frameStateBytes();

// Chooses A (the pattern opposite the strictly longest side), B and C such that
// (B - A) x (C - A) > 0 (with y down, B is top-right and C bottom-left of an upright symbol),
// and D = B - A + C. Returns 1, or -1 when no side is strictly longest.
int orientFinderTriple(FramePoints& points);

// Sets the slots' module vectors, the corners' points, unit side vectors and side lengths.
// Returns 1, or -1 for a side of length 0 or a side ratio A-B : A-C above 2.5 or below 0.4.
int measureFrame(const FramePoints& points);

// The direction classes of e1 and e2 at A, B and C. Returns 1.
int classifyEdgeDirections();
int directionClassOf(PointF unit);

// Module sizes m1 and m2 at A, B and C from the best scan direction for each side's class,
// then all of D. Returns 1, or -1 when a side has no usable measure or measures 0.
int measureModuleSizes();

// Moves D by the module-size ratios p = C.m1 / A.m1 and q = B.m2 / A.m2 (a ratio within
// (0.8, 1.2) counts as 1) to follow a perspective; nothing changes when both are within.
// Returns 1, or -1 for a side of length or module size 0.
int correctFourthCorner(FramePoints& points);

// The four steps from orientFinderTriple to measureModuleSizes, stopping at the first failure.
int buildSymbolFrame(FramePoints& points);

}  // namespace velmora
