#include "engine/decode/reach_stages.h"

#include "engine/decode/reduced_copy_stage.h"
#include "engine/decode/stage_search.h"
#include "engine/geometry/decode_inputs.h"
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

}  // namespace

void runReachStages(const Raster& grey, Raster*& mask, ReachReads& reads) {
    setEnlargement(false, 1.0f);
    if (!requestOpen() || !fitDecodedAreaMask(mask, grey.height, grey.width)) return;
    runCounted(kLocalThresholdStage, reads, [&] { searchLocalThreshold(grey); });
    runCounted(kReducedCopyStage, reads, [&] { searchReducedCopies(grey, mask); });
    setEnlargement(false, 1.0f);
}

}  // namespace velmora
