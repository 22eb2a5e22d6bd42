#include "ornament/hsi_colour.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// The model's own rounded constants: a full turn, pi, and the sector bounds of 120 and 240
// degrees with the 60, 180 and 300 degree angles their cosines are taken against.
constexpr double kTurn = 6.28318;
constexpr double kPi = 3.14159;
constexpr double kSector1 = 2.0943933;
constexpr double kSector2 = 4.1887867;
constexpr double kAngle60 = 1.0471967;
constexpr double kAngle300 = 5.2359833;
// Keeps the square root away from zero for nearly grey colours.
constexpr double kHueGuard = 0.000001;

}  // namespace

Hsi RgbToHsi(uint8_t red, uint8_t green, uint8_t blue) {
    const double r = red / 255.0, g = green / 255.0, b = blue / 255.0;
    Hsi out;
    if (!(r == g && g == b)) {
        const double num = ((r - g) + (r - b)) / 2;
        const double den = std::sqrt((r - g) * (r - g) + (r - b) * (g - b) + kHueGuard);
        // The guard keeps the quotient within [-1, 1]; the clamp only protects acos from rounding.
        const double theta = std::acos(std::clamp(num / den, -1.0, 1.0));
        out.h = (b > g ? kTurn - theta : theta) / kTurn;
    }
    const double sum = r + g + b;
    out.s = sum == 0 ? 1.0 : 1.0 - 3.0 * std::min({r, g, b}) / sum;
    out.i = sum / 3.0;
    return out;
}

std::array<double, 3> HsiToRgb(double h, double s, double i) {
    const double d = h * 2 * kPi;
    double c1, c2, c3;
    if (d < kSector1) {
        c1 = i * (1 + s * std::cos(d) / std::cos(kAngle60 - d));
        c3 = i * (1 - s);
        c2 = 3 * i - (c1 + c3);
    } else if (d < kSector2) {
        const double e = d - kSector1;
        c2 = i * (1 + s * std::cos(e) / std::cos(kPi - d));
        c1 = i * (1 - s);
        c3 = 3 * i - (c2 + c1);
    } else {
        const double e = d - kSector2;
        c3 = i * (1 + s * std::cos(e) / std::cos(kAngle300 - d));
        c2 = i * (1 - s);
        c1 = 3 * i - (c3 + c2);
    }
    return {c1, c2, c3};
}

}  // namespace velmora
