// The search of one binary picture: the finder search and the candidate loops on the picture,
// then on the picture inverted for light-on-dark symbols. The schedule's passes and the reach
// stages after them search their pictures through it.
#pragma once

#include "engine/decode/pass_preparation.h"
#include "engine/decode/repeated_passes.h"
#include "engine/image/raster.h"

namespace velmora {

// The tolerances of the finder search: the ratio of neighbouring runs, the centre run's
// deviation from 3 modules, and the distance of crossing hits in module sizes.
struct FinderTolerances {
    float ratioBound;
    float centreTolerance;
    float pairTolerance;
};

// The tolerances of every pass of the schedule.
inline constexpr FinderTolerances kScheduleTolerances{2.2f, 0.85f, 1.65f};

// What searching a pass did.
enum class PassSearch { Searched, Skipped, NoPicture };

// Searches the pass's binary picture (which it inverts in place when it gets that far), reading
// its prepared line changes when it has them. With a record of repeats, a pass that repeats an
// earlier one skips its search. Stops when the request is satisfied or its budget spent.
PassSearch searchPass(PreparedPass& pass, RepeatedPasses* repeats);

// The same for a binary picture of the caller's, without line changes prepared or a record of
// repeats.
void searchBinaryPicture(Raster& binary, const FinderTolerances& tolerances = kScheduleTolerances);

}  // namespace velmora
