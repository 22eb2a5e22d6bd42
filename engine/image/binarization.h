// Grey to binary: Otsu thresholds per block, the five strategies derived from them, and the
// smoothing and resampling that prepare grey pictures.
//
// Binary samples are 1 for light (grey strictly above the block's threshold) and 0 for dark.
#pragma once

#include <array>
#include <cstdint>

#include "engine/image/raster.h"

namespace velmora {

inline constexpr int kThresholdRows = 5;
inline constexpr int kThresholdColumns = 6;
using ThresholdTable = std::array<std::array<float, kThresholdColumns>, kThresholdRows>;

// The Otsu threshold of every block of the last strategy-0 binarisation, by (block row, block
// column); strategies 1 to 4 derive their thresholds from these entries.
const ThresholdTable& thresholdTable();

// How one side of a picture is cut into blocks: count full blocks of `block` samples, then
// (when rest is not 0) one block of rest samples. A rest under a third of a block joins the
// last full block instead.
struct BlockCut {
    int count;
    int rest;
};
BlockCut cutIntoBlocks(int size, int block);

// Block side of the thirds layout for a picture side: round(size / 3).
constexpr int thirdsBlockSize(int size) { return (size + 1) / 3; }

// The threshold that strategy 1 to 4 derives from a stored Otsu threshold (strategy 0 and any
// unknown strategy are handled as the caller's binarisation says: 0 is the stored value
// itself, 5 and above behave as 1).
int derivedThreshold(int strategy, float stored);

// Binarises every block of the layout (block width bw, block height bh) with the strategy,
// writing every sample of binaryRows. Returns 0; returns -1 and writes nothing when a table
// is absent, a size is not positive, or the layout has more blocks than the threshold table.
int binarizeBlocks(int strategy, uint8_t* const* binaryRows, const uint8_t* const* greyRows, int width,
                   int height, int bw, int bh);

// The same with the thresholds stored in and derived from the caller's table rather than the
// process's (so that binarisations on another thread share nothing).
int binarizeBlocks(int strategy, uint8_t* const* binaryRows, const uint8_t* const* greyRows, int width,
                   int height, int bw, int bh, ThresholdTable& thresholds);

// Otsu threshold (0 to 254) of the window at (x0, y0): the first t that maximises the
// between-class variance of {<= t} and {> t}; 1 for a uniform window, 128 for an empty one.
int otsuThreshold(const uint8_t* const* greyRows, int x0, int y0, int windowWidth, int windowHeight);

// Mean of the window x window neighbourhood for every sample whose window lies inside the
// picture; other samples copy the source. Returns 1, or -1 (nothing written) on bad arguments:
// absent or empty rasters, different sizes, a mode other than 1, or a window that is not a
// positive odd number.
int smoothBox(const Raster* source, Raster* destination, int mode, int window);

// Bilinear resampling of source into destination of any size (mode 1 only). Returns 1, or -1
// (nothing written) when a raster is absent or empty or the mode is not 1.
int resampleBilinear(const Raster* source, Raster* destination, int mode);

}  // namespace velmora
