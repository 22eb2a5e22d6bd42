#include "engine/decode/reach_stages.h"

#include <algorithm>

#include "engine/decode/decode_request.h"

#include "engine/decode/finder_outline_stage.h"
#include "engine/decode/reduced_copy_stage.h"
#include "engine/decode/stage_search.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/image/block_reduction.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// The longest side the many-symbols stage searches.
constexpr int kManySymbolsSide = 2048;

// Runs one stage and counts the symbols it added.
template <typename Stage>
void runCounted(ReachStage stage, ReachReads& reads, Stage&& run) {
    if (!requestOpen()) return;
    const int before = decodedCount();
    run();
    reads[stage] += decodedCount() - before;
}

// The finder-outline stage at each of its sizes, whole first.
void searchOutlinesAtEverySize(const Raster& grey) {
    for (const int factor : outlineSearchFactors(grey.width, grey.height)) {
        if (!requestOpen()) return;
        if (factor == 1) {
            searchFinderOutlines(grey, 1);
            continue;
        }
        StageRaster reduced(grey.height / factor, grey.width / factor);
        if (reduced.get() != nullptr && reduceByBlocks(grey, *reduced.get(), factor) == 1) {
            searchFinderOutlines(*reduced.get(), factor);
        }
    }
}

// The sheet searched whole when its longer side is at most 2048, else reduced by the whole
// factor that brings it there: a sheet's symbols are each a small part of the picture.
void searchManySymbols(const Raster& grey) {
    const int factor = (std::max(grey.width, grey.height) + kManySymbolsSide - 1) / kManySymbolsSide;
    if (factor <= 1) {
        searchManyFinderOutlines(grey, 1);
        return;
    }
    StageRaster reduced(grey.height / factor, grey.width / factor);
    if (reduced.get() != nullptr && reduceByBlocks(grey, *reduced.get(), factor) == 1) {
        searchManyFinderOutlines(*reduced.get(), factor);
    }
}

}  // namespace

void runReachStages(const Raster& grey, Raster*& mask, ReachReads& reads, int wantedInAll) {
    setEnlargement(false, 1.0f);
    if (requestOpen()) {
        if (!fitDecodedAreaMask(mask, grey.height, grey.width)) return;
        runCounted(kLocalThresholdStage, reads, [&] { searchLocalThreshold(grey); });
        runCounted(kReducedCopyStage, reads, [&] { searchReducedCopies(grey, mask); });
        setEnlargement(false, 1.0f);
        runCounted(kFinderOutlineStage, reads, [&] { searchOutlinesAtEverySize(grey); });
        setEnlargement(false, 1.0f);
    }
    // The symbols beyond the schedule's are told apart by their finder boxes alone.
    if (wantedInAll <= wantedCount()) return;
    widenDecodeRequest(wantedInAll);
    runCounted(kManySymbolsStage, reads, [&] { searchManySymbols(grey); });
}

}  // namespace velmora
