// Binarisation against the mean of a small window around each sample: a window a few modules
// wide keeps each module's edge against its neighbours under blur, glare or a lamp's gradient,
// where a threshold over larger blocks lets the brighter side of a symbol wash out.
#pragma once

#include "engine/image/raster.h"

namespace velmora {

// Grey levels a sample must lie below its window's mean to count as dark: a flat area stays
// light instead of turning its noise into specks (each of which the outline search would trace).
inline constexpr int kMeanThresholdMargin = 4;

// The window for a picture: the shorter side divided by `parts`, odd, at least 5 samples.
int meanThresholdWindow(int width, int height, int parts);

// Binarises grey into binary (same size, 1 light, 0 dark): a sample is dark when it lies at least
// kMeanThresholdMargin below the mean of the window x window samples around it (the border
// repeated outward). Returns 1,
// or -1 (nothing written) when a raster is absent, the sizes differ, the window is even or under
// 3, or memory is short.
int binarizeAgainstLocalMean(const Raster& grey, Raster& binary, int window);

}  // namespace velmora
