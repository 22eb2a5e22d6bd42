#include "ornament/intensity_scaling.h"

#include <algorithm>
#include <array>

#include "ornament/hsi_colour.h"
#include "ornament/saturation_limits.h"

namespace velmora {
namespace {

// The index 0..255 of a model value in [0, 1], rounded half up.
int indexOf(double value) {
    return std::min(255, static_cast<int>(value * 255 + 0.5));
}

// A component in [0, 1] as a byte: clamped, else rounded half up.
uint8_t byteOf(double component) {
    const double value = component * 255;
    if (value >= 255) return 255;
    if (!(value > 0)) return 0;
    return static_cast<uint8_t>(value + 0.5);
}

}  // namespace

void ScaleIntensity(uint8_t* pixel, double factor) {
    Hsi colour = RgbToHsi(pixel[0], pixel[1], pixel[2]);
    colour.i *= factor;
    if (!(colour.i > 0)) colour.i = 0;
    else if (colour.i >= 1) colour.i = 1;

    const int hue = indexOf(colour.h);
    int saturation = indexOf(colour.s);
    const SaturationRange range = SaturationLimits(hue, indexOf(colour.i));
    saturation = saturation < range.lowest ? range.lowest : std::min<int>(saturation, range.highest);

    const std::array<double, 3> rgb = HsiToRgb(colour.h, saturation / 255.0, colour.i);
    for (int k = 0; k < 3; ++k) pixel[k] = byteOf(rgb[k]);
}

}  // namespace velmora
