#include "ornament/dot_shape.h"

#include <algorithm>
#include <cmath>

#include "ornament/angle_steps.h"
#include "ornament/blend_types.h"

namespace velmora {
namespace {

void fillSquare(DotPattern& pattern, int x0, int y0, int side) {
    for (int y = y0; y < y0 + side; ++y)
        for (int x = x0; x < x0 + side; ++x) pattern[y][x] = kPatternDark;
}

// A disc of points stepped 0.1 pixel in radius and 0.1 degree in angle, each rounded to the
// nearest pixel; the radius is a quarter of the module at multiples of 5 and at 6, else 0.3.
void drawRound(DotPattern& pattern, int s) {
    if (s <= 4) return fillSquare(pattern, 0, 0, s);
    const double c = (s - 1) / 2.0;
    const double radius = (s % 5 == 0 || s == 6) ? 0.25 * s : 0.3 * s;
    const AngleSteps& angles = angleSteps(10);
    for (int r10 = 0; r10 / 10.0 <= radius; ++r10) {
        const double r = r10 / 10.0;
        for (int a = 0; a < 3600; ++a) {
            const int x = static_cast<int>(r * angles.cos[a] + c + 0.5);
            const int y = static_cast<int>(r * angles.sin[a] + c + 0.5);
            if (x >= 0 && x < s && y >= 0 && y < s) pattern[y][x] = kPatternDark;
        }
    }
}

// Row y of the diamond at distance d from its middle row: from trunc(c - d) to floor(c + d).
void diamondRow(DotPattern& pattern, int y, double c, int d) {
    const int from = static_cast<int>(c - d);
    const int to = static_cast<int>(std::floor(c + d));
    for (int x = std::max(from, 0); x <= to && x < kDotPatternSide; ++x) pattern[y][x] = kPatternDark;
}

void drawDiamond(DotPattern& pattern, int s) {
    const double c = (s - 1) / 2.0;
    const int half = s / 2;
    for (int n = 0; n < half; ++n) diamondRow(pattern, n, c, n);
    for (int n = 0; s - 1 - n >= half; ++n) diamondRow(pattern, s - 1 - n, c, n);
}

// A centred square of side L, grown by one where the rest would not split evenly.
void drawCentredSquare(DotPattern& pattern, int s, int side) {
    if ((s - side) % 2 != 0) ++side;
    fillSquare(pattern, (s - side) / 2, (s - side) / 2, side);
}

}  // namespace

void DotShape(int type, int s, DotPattern& pattern) {
    for (auto& row : pattern) row.fill(kPatternLight);
    s = std::clamp(s, 1, kDotPatternSide);
    switch (type) {
    case kDotRound: return drawRound(pattern, s);
    case kDotDiamond: return drawDiamond(pattern, s);
    case kDotSmallSquare:
        if (s <= 2) return fillSquare(pattern, 0, 0, s);
        return drawCentredSquare(pattern, s, s / 2);
    case kDotSmallDot:
        if (s <= 2) return fillSquare(pattern, 0, 0, s);
        return drawCentredSquare(pattern, s, s == 3 ? 1 : 2);
    default: return fillSquare(pattern, 0, 0, s);
    }
}

}  // namespace velmora
