// The bounds around the threshold T that decide whether a pixel is already dark or light enough
// to be read, and the grey level protected light modules are lifted to.
#pragma once

namespace velmora {

// Single-precision factors just below 0.7 and just above 1.3. Compared with integer grey
// levels they act as the exact tenths would; truncated, 0.7 T falls one short of seven tenths
// of T when T is a multiple of 10 (T = 100 gives 69).
inline constexpr float kDarkFactor = 0x1.666666p-1f;   // 0.69999999
inline constexpr float kLightFactor = 0x1.4ccccep+0f;  // 1.30000007
// The double just below 0.3: a light level that is a multiple of 10 gives one less than three
// tenths (250 gives 74).
inline constexpr double kLiftFactor = 0.3;

// 0.7 T, formed in extended precision.
inline long double darkBound(int threshold) {
    return static_cast<long double>(kDarkFactor) * threshold;
}

// 1.3 T, formed in extended precision.
inline long double lightBound(long double threshold) {
    return static_cast<long double>(kLightFactor) * threshold;
}

// trunc(0.3 level), formed in extended precision.
inline int liftLevel(int level) {
    return static_cast<int>(static_cast<long double>(kLiftFactor) * level);
}

}  // namespace velmora
