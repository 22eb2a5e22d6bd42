// The dot a module is drawn with at a given scale.
#pragma once

#include <array>
#include <cstdint>

namespace velmora {

inline constexpr int kDotPatternSide = 40;  // the largest scale
inline constexpr uint8_t kPatternLight = 255;
inline constexpr uint8_t kPatternDark = 0;

// A 40 x 40 pattern, [y][x]; a module of scale s uses its top-left s x s part.
using DotPattern = std::array<std::array<uint8_t, kDotPatternSide>, kDotPatternSide>;

// Fills the pattern with 255 and draws the dot of the given type (DotType; any unknown value is
// a full square) with 0 into its top-left s x s part. s is held to 1..40.
void DotShape(int type, int s, DotPattern& pattern);

}  // namespace velmora
