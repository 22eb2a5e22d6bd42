// What the reach stages share: a raster that lives for one stage, the decoded-area mask fitted
// to the picture a stage searches, and the two binarisations a stage searches a grey picture
// with.
#pragma once

#include "engine/image/raster.h"

namespace velmora {

// True while the request wants more symbols and has budget left.
bool requestOpen();

// A byte raster released when it goes out of scope; null when memory was short.
class StageRaster {
public:
    StageRaster(int height, int width);
    ~StageRaster();
    StageRaster(const StageRaster&) = delete;
    StageRaster& operator=(const StageRaster&) = delete;
    Raster* get() const { return raster_; }

private:
    Raster* raster_;
};

// Makes mask height by width, carrying over the areas already read, and sets it as the
// request's mask. False when memory is short: the request then has no mask, and no stage may
// search, since it could read a symbol twice.
bool fitDecodedAreaMask(Raster*& mask, int height, int width);

// Binarises grey against the light around each block and searches it as a pass is searched.
void searchLocalThreshold(const Raster& grey);

// Binarises grey with the Otsu threshold of the whole picture and searches it likewise.
void searchWholeThreshold(const Raster& grey);

}  // namespace velmora
