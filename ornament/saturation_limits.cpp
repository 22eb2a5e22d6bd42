#include "ornament/saturation_limits.h"

#include <algorithm>
#include <array>
#include <memory>

#include "ornament/hsi_colour.h"

namespace velmora {
namespace {

constexpr int kHighestIndex = 254;

using LimitTable = std::array<std::array<uint8_t, 256>, 256>;  // [hue][intensity] highest

bool inGamut(int hue, int saturation, int intensity) {
    const std::array<double, 3> rgb = HsiToRgb(hue / 255.0, saturation / 255.0, intensity / 255.0);
    return std::all_of(rgb.begin(), rgb.end(), [](double c) { return c >= 0.0 && c <= 1.0; });
}

// Each component is linear in the saturation and equals the intensity at saturation 0, so the
// saturations in gamut form one run from 0 up: a bisection finds its end.
uint8_t highestSaturation(int hue, int intensity) {
    if (inGamut(hue, kHighestIndex, intensity)) return kHighestIndex;
    int inside = 0, outside = kHighestIndex;
    while (outside - inside > 1) {
        const int middle = (inside + outside) / 2;
        (inGamut(hue, middle, intensity) ? inside : outside) = middle;
    }
    return static_cast<uint8_t>(inside);
}

std::unique_ptr<LimitTable> buildLimits() {
    auto table = std::make_unique<LimitTable>();
    for (int hue = 0; hue < 256; ++hue)
        for (int intensity = 0; intensity < 256; ++intensity)
            (*table)[hue][intensity] = hue == 255 ? 0 : highestSaturation(hue, intensity);
    return table;
}

const LimitTable& limits() {
    static const std::unique_ptr<LimitTable> table = buildLimits();
    return *table;
}

}  // namespace

SaturationRange SaturationLimits(int hue, int intensity) {
    return {0, limits()[std::clamp(hue, 0, 255)][std::clamp(intensity, 0, 255)]};
}

}  // namespace velmora
