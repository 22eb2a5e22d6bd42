#include "ornament/angle_steps.h"

#include <cmath>

#include "ornament/blend_types.h"

namespace velmora {
namespace {

AngleSteps buildSteps(int stepsPerDegree) {
    AngleSteps steps;
    steps.stepsPerDegree = stepsPerDegree;
    const int count = 360 * stepsPerDegree + 1;
    steps.cos.resize(count);
    steps.sin.resize(count);
    for (int k = 0; k < count; ++k) {
        // The angle as its decimal value, not as a sum of rounded steps.
        const double radians = static_cast<double>(k) / stepsPerDegree * kRadiansPerDegree;
        steps.cos[k] = std::cos(radians);
        steps.sin[k] = std::sin(radians);
    }
    return steps;
}

}  // namespace

const AngleSteps& angleSteps(int stepsPerDegree) {
    static const AngleSteps fifths = buildSteps(5);
    static const AngleSteps tenths = buildSteps(10);
    static const AngleSteps twentieths = buildSteps(20);
    static const AngleSteps hundredths = buildSteps(100);
    static const AngleSteps whole = buildSteps(1);
    switch (stepsPerDegree) {
    case 5: return fifths;
    case 10: return tenths;
    case 20: return twentieths;
    case 100: return hundredths;
    default: return whole;
    }
}

}  // namespace velmora
