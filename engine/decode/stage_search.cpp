#include "engine/decode/stage_search.h"

#include "engine/decode/decode_request.h"
#include "engine/decode/pass_search.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/image/binarization.h"
#include "engine/image/local_threshold.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {

bool requestOpen() { return decodedCount() < wantedCount() && !budgetSpent(); }

StageRaster::StageRaster(int height, int width) : raster_(createRaster(height, width, kRasterByte)) {}

StageRaster::~StageRaster() { destroyRaster(raster_); }

bool fitDecodedAreaMask(Raster*& mask, int height, int width) {
    if (mask != nullptr && mask->height == height && mask->width == width) return true;
    Raster* fitted = createRaster(height, width, kRasterByte);
    if (fitted != nullptr) {
        if (mask != nullptr && decodedCount() > 0) {
            resampleBilinear(mask, fitted, 1);
        } else {
            clearRaster(*fitted);
        }
    }
    destroyRaster(mask);
    mask = fitted;
    setDecodedAreaMask(mask);
    noteDecodedAreaChanged();
    return mask != nullptr;
}

void searchLocalThreshold(const Raster& grey) {
    StageRaster binary(grey.height, grey.width);
    if (binary.get() == nullptr || binarizeLocally(grey, *binary.get()) != 1) return;
    searchBinaryPicture(*binary.get());
}

void searchWholeThreshold(const Raster& grey) {
    StageRaster binary(grey.height, grey.width);
    if (binary.get() == nullptr) return;
    // A table of the stage's own: the schedule's thresholds stay as its passes left them.
    ThresholdTable thresholds{};
    if (binarizeBlocks(0, binary.get()->rows, grey.rows, grey.width, grey.height, grey.width, grey.height,
                       thresholds) != 0) {
        return;
    }
    searchBinaryPicture(*binary.get());
}

}  // namespace velmora
