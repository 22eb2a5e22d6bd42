// The decoded picture that picture loading works on.
//
// A Bitmap holds its rows bottom row first, each row padded to a multiple of four bytes, in one
// of these layouts (bits per pixel):
//    1, 4, 8  palette indices, most significant bits leftmost; the palette has 2^bits entries
//    16       grey, one 16-bit sample per pixel (host byte order), no palette
//    24       blue, green, red
//    32       blue, green, red, alpha (not premultiplied; 255 opaque)
//    48       blue, green, red as 16-bit samples
//    64       blue, green, red, alpha as 16-bit samples
// A bitmap is valid when it holds pixels. Loading never throws: a failed load leaves the bitmap
// invalid with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/picture_error.h"
#include "codecs/picture_type.h"

namespace velmora {

struct PaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t unused = 0;
};

class Bitmap {
public:
    // Loads the file at path as a picture of the given type. Returns isValid(); on failure the
    // bitmap is empty and failure()/failureReason() say why.
    bool load(const std::string& path, PictureType type);
    // The same for a file already read into memory.
    bool loadFromMemory(std::span<const uint8_t> file, PictureType type);

    bool isValid() const { return !pixels_.empty(); }
    PictureFailure failure() const { return failure_; }
    // "truncated file: PCX data ends early"; empty when nothing failed.
    const std::string& failureReason() const { return failureReason_; }

    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    std::size_t stride() const { return stride_; }

    bool hasPalette() const { return !palette_.empty(); }
    std::span<const PaletteEntry> palette() const { return palette_; }
    // True for an 8-bit bitmap whose palette entry i holds red = green = blue = i for every i.
    bool hasGreyPalette() const;
    bool hasAlpha() const { return bitsPerPixel_ == 32 || bitsPerPixel_ == 64; }

    // Row y counted from the bottom of the picture; y must lie in 0..height-1.
    const uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    // Row y counted from the top, for decoders of top-down formats.
    uint8_t* rowFromTop(int y) { return row(height_ - 1 - y); }

    // Raises a bitmap of fewer than 24 bits per pixel to 24-bit blue, green, red. A 24-bit bitmap
    // is left as it is; a deeper one is never lowered here. Returns false when the bitmap is
    // invalid, deeper than 24 bits, or memory runs out (the bitmap is then unchanged).
    bool raiseTo24Bits();
    // Brings a bitmap deeper than 24 bits down to 24: alpha is composited over white and 16-bit
    // samples are rounded to 8 bits. Shallower bitmaps are left as they are. False only when the
    // bitmap is invalid or memory runs out.
    bool flattenTo24Bits();
    // Converts any bitmap to 8-bit grey with the identity grey palette; alpha is composited over
    // white first. Grey is 0.299 red + 0.587 green + 0.114 blue in the same fixed-point rounding
    // as OpenCV's cv::cvtColor. False when the bitmap is invalid or memory runs out.
    bool convertToGrey();

    // For decoders: makes an all-zero bitmap of the given size and layout, with an all-black
    // palette of 2^bits entries for indexed layouts. Throws PictureError for a size outside the
    // limits or an unknown layout.
    void allocate(int width, int height, int bitsPerPixel);
    // For decoders: sets the palette of an indexed bitmap; entries beyond the given ones are
    // black, and entries the layout cannot index are dropped.
    void setPalette(std::span<const PaletteEntry> entries);
    // For decoders: the identity grey palette (entry i = i, i, i) on an 8-bit bitmap.
    void setGreyPalette();
    // Empties the bitmap.
    void clear();

private:
    bool fail(PictureFailure kind, const std::string& detail);
    // Rewrites every row as 24-bit blue, green, red; false (and unchanged) when memory runs out.
    bool flattenOrRaise();

    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    std::size_t stride_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<PaletteEntry> palette_;
    PictureFailure failure_ = PictureFailure::None;
    std::string failureReason_;
};

// Bytes of one padded row of a bitmap of the given width and bits per pixel.
constexpr std::size_t bitmapStride(int width, int bitsPerPixel) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}

}  // namespace velmora
