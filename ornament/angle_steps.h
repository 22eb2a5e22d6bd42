// Cosines and sines of the fixed angle steps with which the round shapes are drawn.
#pragma once

#include <vector>

namespace velmora {

// cos and sin of the angles k / stepsPerDegree degrees, k = 0 .. 360 * stepsPerDegree, each
// taken as k / stepsPerDegree * 0.017453 radians.
struct AngleSteps {
    int stepsPerDegree = 1;
    std::vector<double> cos;
    std::vector<double> sin;
};

// The table for 10, 20 or 100 steps per degree (0.1, 0.05 and 0.01 degree) or 5 (0.2 degree),
// built once on first use; any other count gets a table of one step per degree.
const AngleSteps& angleSteps(int stepsPerDegree);

}  // namespace velmora
