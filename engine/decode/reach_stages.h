// The looks a request takes after its schedule when it still has fewer symbols than wanted:
// binarisations and picture sizes the schedule does not try, which read what phone photographs
// hold under uneven light or at sizes far from the schedule's. Each stage only adds symbols:
// the decoded-area mask and the finder boxes keep those already read out of its search.
#pragma once

#include <array>

#include "engine/image/raster.h"

namespace velmora {

// The stages in the order they run.
enum ReachStage : int {
    kLocalThresholdStage,  // the picture against a threshold that follows the light
    kReducedCopyStage,     // a large picture reduced by whole factors, thresholded both ways
    kFinderOutlineStage,   // symbols framed by the outlines of their finder patterns
    kManySymbolsStage,     // beyond four wanted: every symbol of a sheet by its nearest patterns
    kReachStageCount
};
inline constexpr std::array<const char*, kReachStageCount> kReachStageNames = {"local threshold", "reduced copy",
                                                                                "finder outlines", "many symbols"};

// A request for more than this many symbols runs its schedule and the other stages for this
// many, then searches for the rest in the many-symbols stage.
inline constexpr int kScheduledSymbols = 4;

// Symbols each stage added to a request.
using ReachReads = std::array<int, kReachStageCount>;

// Runs the reach stages in order on the caller's grey picture until the request is satisfied
// or its budget spent, counting in reads what each added. mask is the request's decoded-area
// mask, of the size the last search used and owned by the caller; a stage that searches another
// size puts a mask of that size in its place (carrying over the areas already read) and sets it
// as the request's mask. The request's enlargement is left at none. When wantedInAll is above
// the request's wanted count, the request is then widened to it for the many-symbols stage.
void runReachStages(const Raster& grey, Raster*& mask, ReachReads& reads, int wantedInAll);

}  // namespace velmora
