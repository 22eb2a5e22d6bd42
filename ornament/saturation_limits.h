// The highest saturation the colour model can show at each hue and intensity.
#pragma once

#include <cstdint>

namespace velmora {

// Allowed saturation indices (0..255) at one hue and intensity index.
struct SaturationRange {
    uint8_t lowest = 0;
    uint8_t highest = 0;
};

// The range at hue index hue and intensity index intensity (each 0..255, clamped). The lowest is
// always 0. For hues up to 254 the highest is the largest s in 0..254 for which
// HsiToRgb(hue / 255, s / 255, intensity / 255) stays within [0, 1]; hue 255 allows only 0.
// The whole table is computed once, on first use, and is constant after.
SaturationRange SaturationLimits(int hue, int intensity);

}  // namespace velmora
