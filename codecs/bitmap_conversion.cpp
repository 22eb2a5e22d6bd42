// Raising, flattening and greying of bitmaps.
#include <array>
#include <cstring>
#include <new>

#include "codecs/bitmap.h"

namespace velmora {
namespace {

// OpenCV's fixed-point weights for blue, green and red to grey (0.114, 0.587, 0.299 in units of
// 2^-15), so that a picture loaded grey matches the same picture loaded in colour and converted
// with cv::cvtColor. They add up to 2^15, so grey stays grey.
constexpr int kGreyShift = 15;
constexpr int kBlueWeight = 3735;
constexpr int kGreenWeight = 19235;
constexpr int kRedWeight = 9798;

constexpr uint8_t greyOf(int blue, int green, int red) {
    return static_cast<uint8_t>(
        (blue * kBlueWeight + green * kGreenWeight + red * kRedWeight + (1 << (kGreyShift - 1))) >> kGreyShift);
}

// An 8-bit sample seen through alpha over a white background, rounded.
constexpr uint8_t overWhite8(unsigned sample, unsigned alpha) {
    return static_cast<uint8_t>((sample * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// A 16-bit sample rounded to 8 bits (the nearest of value / 257).
constexpr uint8_t to8Bits(uint32_t sample) { return static_cast<uint8_t>((sample * 255u + 32767u) / 65535u); }

// A 16-bit sample seen through a 16-bit alpha over white, rounded to 8 bits.
constexpr uint8_t overWhite16(uint64_t sample, uint64_t alpha) {
    return to8Bits(static_cast<uint32_t>((sample * alpha + 65535u * (65535u - alpha) + 32767u) / 65535u));
}

// The palette index of pixel x in a row of 1, 4 or 8 bits per pixel.
inline unsigned indexAt(const uint8_t* row, int x, int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4: return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
        default: return row[x];
    }
}

inline uint16_t sample16(const uint8_t* row, int index) {
    uint16_t value;
    std::memcpy(&value, row + 2 * index, 2);
    return value;
}

// One row of any layout as 24-bit blue, green, red (alpha over white, 16-bit samples rounded).
void rowTo24(const uint8_t* in, uint8_t* out, int width, int bitsPerPixel, const std::vector<PaletteEntry>& palette) {
    for (int x = 0; x < width; ++x) {
        uint8_t* px = out + 3 * x;
        switch (bitsPerPixel) {
            case 1:
            case 4:
            case 8: {
                const PaletteEntry& e = palette[indexAt(in, x, bitsPerPixel)];
                px[0] = e.blue;
                px[1] = e.green;
                px[2] = e.red;
                break;
            }
            case 16: px[0] = px[1] = px[2] = to8Bits(sample16(in, x)); break;
            case 24: std::memcpy(px, in + 3 * x, 3); break;
            case 32: {
                const uint8_t* p = in + 4 * x;
                for (int c = 0; c < 3; ++c) px[c] = overWhite8(p[c], p[3]);
                break;
            }
            case 48:
                for (int c = 0; c < 3; ++c) px[c] = to8Bits(sample16(in, 3 * x + c));
                break;
            case 64: {
                const uint16_t alpha = sample16(in, 4 * x + 3);
                for (int c = 0; c < 3; ++c) px[c] = overWhite16(sample16(in, 4 * x + c), alpha);
                break;
            }
        }
    }
}

}  // namespace

bool Bitmap::raiseTo24Bits() {
    if (!isValid() || bitsPerPixel_ > 24) return false;
    if (bitsPerPixel_ == 24) return true;
    return flattenOrRaise();
}

bool Bitmap::flattenTo24Bits() {
    if (!isValid()) return false;
    if (bitsPerPixel_ <= 24) return true;
    return flattenOrRaise();
}

bool Bitmap::flattenOrRaise() {
    try {
        const std::size_t stride = bitmapStride(width_, 24);
        std::vector<uint8_t> pixels(stride * static_cast<std::size_t>(height_));
        for (int y = 0; y < height_; ++y) rowTo24(row(y), pixels.data() + y * stride, width_, bitsPerPixel_, palette_);
        pixels_.swap(pixels);
        stride_ = stride;
        bitsPerPixel_ = 24;
        palette_.clear();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool Bitmap::convertToGrey() {
    if (!isValid()) return false;
    if (hasGreyPalette()) return true;
    try {
        const std::size_t stride = bitmapStride(width_, 8);
        std::vector<uint8_t> pixels(stride * static_cast<std::size_t>(height_));
        if (bitsPerPixel_ <= 8) {
            std::array<uint8_t, 256> greyOfIndex{};
            for (std::size_t i = 0; i < palette_.size(); ++i) {
                greyOfIndex[i] = greyOf(palette_[i].blue, palette_[i].green, palette_[i].red);
            }
            for (int y = 0; y < height_; ++y) {
                uint8_t* out = pixels.data() + y * stride;
                for (int x = 0; x < width_; ++x) out[x] = greyOfIndex[indexAt(row(y), x, bitsPerPixel_)];
            }
        } else if (bitsPerPixel_ == 16) {
            for (int y = 0; y < height_; ++y) {
                uint8_t* out = pixels.data() + y * stride;
                for (int x = 0; x < width_; ++x) out[x] = to8Bits(sample16(row(y), x));
            }
        } else {
            std::vector<uint8_t> colour(static_cast<std::size_t>(width_) * 3);
            for (int y = 0; y < height_; ++y) {
                rowTo24(row(y), colour.data(), width_, bitsPerPixel_, palette_);
                uint8_t* out = pixels.data() + y * stride;
                for (int x = 0; x < width_; ++x) out[x] = greyOf(colour[3 * x], colour[3 * x + 1], colour[3 * x + 2]);
            }
        }
        std::vector<PaletteEntry> grey(256);
        pixels_.swap(pixels);
        palette_.swap(grey);
        stride_ = stride;
        bitsPerPixel_ = 8;
        setGreyPalette();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace velmora
