// The kind and size of a picture read from the first bytes of its file, so that a picture too
// large to hold is refused before any decoder allocates room for it.
#pragma once

#include <cstdint>
#include <span>

namespace velmora {

enum class PictureFamily { Unknown, Bmp, Jpeg, Png, Tiff, Jpeg2000File, Jpeg2000Stream, Pnm };

struct PictureHeader {
    PictureFamily family = PictureFamily::Unknown;
    // -1 when the header does not say (or could not be read far enough).
    int64_t width = -1;
    int64_t height = -1;
    // True when the file visibly ends before its picture data does (a JPEG without its end
    // marker after the first scan, a binary PNM shorter than its samples).
    bool truncated = false;
};

// Recognises the family by its signature and reads the size where the header gives it. Never
// reads outside file and never throws.
PictureHeader readPictureHeader(std::span<const uint8_t> file);

}  // namespace velmora
