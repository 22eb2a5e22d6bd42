// Windows bitmap writers: 1-bit with a black-and-white palette, and 24-bit BGR.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Writes a 1-bit bitmap. pixels holds height rows of width bytes, stride bytes apart, top row
// first; 0 is black (palette entry 0) and any other value white (entry 1). The file appears
// whole or not at all. Returns false and a reason when it cannot be written.
bool writeBmp1(const std::string& path, const uint8_t* pixels, int width, int height, int stride,
               std::string& error);

// Writes a 24-bit bitmap from height rows of width BGR triples, stride bytes apart, top row first.
bool writeBmp24(const std::string& path, const uint8_t* bgr, int width, int height, int stride,
                std::string& error);

}  // namespace velmora
