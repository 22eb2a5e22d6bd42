#include "engine/decode/reduced_copy_stage.h"

#include <algorithm>

#include "engine/decode/stage_search.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/image/block_reduction.h"

namespace velmora {

std::vector<int> reductionFactors(int width, int height) {
    const int longer = std::max(width, height);
    std::vector<int> factors;
    const int coarsest = (longer + kReducedSide - 1) / kReducedSide;
    if (coarsest >= 2) factors.push_back(coarsest);
    if (coarsest != 2 && longer > kHalvedAbove) factors.push_back(2);
    return factors;
}

void searchReducedCopies(const Raster& grey, Raster*& mask) {
    for (const int factor : reductionFactors(grey.width, grey.height)) {
        if (!requestOpen()) break;
        StageRaster reduced(grey.height / factor, grey.width / factor);
        if (reduced.get() == nullptr || reduceByBlocks(grey, *reduced.get(), factor) != 1) continue;
        setEnlargement(true, 1.0f / static_cast<float>(factor));
        if (!fitDecodedAreaMask(mask, reduced.get()->height, reduced.get()->width)) break;
        searchWholeThreshold(*reduced.get());
        if (requestOpen()) searchLocalThreshold(*reduced.get());
    }
    setEnlargement(false, 1.0f);
}

}  // namespace velmora
