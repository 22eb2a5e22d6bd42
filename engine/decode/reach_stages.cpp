#include "engine/decode/reach_stages.h"

#include "engine/decode/finder_outline_stage.h"
#include "engine/decode/reduced_copy_stage.h"
#include "engine/decode/stage_search.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/image/block_reduction.h"
#include "engine/velmora_engine.h"

namespace velmora {
namespace {

// Runs one stage and counts the symbols it added.
template <typename Stage>
void runCounted(ReachStage stage, ReachReads& reads, Stage&& run) {
    if (!requestOpen()) return;
    const int before = g_QrDecodedData.nParsedNums;
    run();
    reads[stage] += g_QrDecodedData.nParsedNums - before;
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

}  // namespace

void runReachStages(const Raster& grey, Raster*& mask, ReachReads& reads) {
    setEnlargement(false, 1.0f);
    if (!requestOpen() || !fitDecodedAreaMask(mask, grey.height, grey.width)) return;
    runCounted(kLocalThresholdStage, reads, [&] { searchLocalThreshold(grey); });
    runCounted(kReducedCopyStage, reads, [&] { searchReducedCopies(grey, mask); });
    setEnlargement(false, 1.0f);
    runCounted(kFinderOutlineStage, reads, [&] { searchOutlinesAtEverySize(grey); });
    setEnlargement(false, 1.0f);
}

}  // namespace velmora
