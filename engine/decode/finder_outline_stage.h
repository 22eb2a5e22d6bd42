// The reach stage that frames symbols by the outlines of their finder patterns: every three
// outlined patterns that could be a symbol's corners give the symbol's plane through the twelve
// outer corners of the three patterns, which holds under a strong perspective where the
// schedule's frame, built from the pattern centres and a guessed fourth point, does not.
#pragma once

#include <vector>

#include "engine/geometry/finder_contours.h"
#include "engine/geometry/perspective.h"
#include "engine/image/raster.h"

namespace velmora {

// The plane of a would-be symbol of n x n modules whose finder patterns are a (the corner), b
// (along the first side) and c (along the second side): module points to picture points,
// fitted to the corners of the three patterns and, when given, the picture point of the
// bottom-right alignment pattern's centre (module n - 7, n - 7). False when the three cannot be
// a symbol's corners or the fit fails.
bool frameByOutlines(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c, int n,
                     PerspectiveCoefficients& moduleToPicture, const PointF* alignment = nullptr);

// Whether three patterns could be a symbol's corners a (the corner), b and c: module sizes and
// the two sides from a alike, the sides far enough from parallel.
bool couldBeCorners(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c);

// The version the distances between the three patterns suggest (possibly out of range).
int versionByOutlines(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c);

// Searches the grey picture, reduced by factor (1 for none) from the caller's, for symbols framed
// by outlined finder patterns, under the whole picture's Otsu threshold, the threshold that
// follows the light over blocks and the mean of a window a few modules wide, dark on light and
// light on dark, until the request is satisfied or its
// budget spent. Reads are recorded in the caller's coordinates; patterns of symbols already
// read are passed over.
void searchFinderOutlines(const Raster& grey, int factor);

// Searches as searchFinderOutlines does for a sheet of many symbols: three patterns are tried
// together only when each of the other two is among the nearest patterns of the corner one, the
// most compact first, and each pattern in one symbol at most.
void searchManyFinderOutlines(const Raster& grey, int factor);

// The sizes the stage searches a picture at, as factors of reduction: whole (when its longer
// side is at most 2048), then the whole factor that brings the longer side to 1024 or less. A
// copy in between costs most of the stage's time on a large photograph (outlines are traced over
// every pixel) and read nothing more in the photographs we measure.
std::vector<int> outlineSearchFactors(int width, int height);

}  // namespace velmora
