// The hue, saturation, intensity colour model in which the ornament re-lights a pixel.
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

// Hue, saturation and intensity, each in [0, 1].
struct Hsi {
    double h = 0;
    double s = 0;
    double i = 0;
};

// The model of three bytes taken as red, green, blue. Equal components give hue 0 and
// saturation 0; black gives saturation 1.
Hsi RgbToHsi(uint8_t r, uint8_t g, uint8_t b);

// The three components in [0, 1] (not clamped: a saturation too high for the hue and intensity
// gives components outside) of a colour of the model, in the order red, green, blue.
std::array<double, 3> HsiToRgb(double h, double s, double i);

}  // namespace velmora
