// Re-lighting one colour pixel: its intensity scaled in the hue, saturation, intensity model.
#pragma once

#include <cstdint>

namespace velmora {

// Multiplies the intensity of the pixel's three bytes by factor (the result held to [0, 1]),
// keeps the hue, limits the saturation to what the model can show at the new intensity, and
// writes the bytes back in place. The bytes serve as red, green, blue in storage order.
// A factor of 0 gives black; a grey pixel stays grey.
void ScaleIntensity(uint8_t* pixel, double factor);

}  // namespace velmora
