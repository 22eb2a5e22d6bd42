// Velmora's QR Code reader: pixels in, the symbols they show out.
//
//     #include <velmora/reader.h>
//
//     velmora::ImageView image(pixels, width, height, velmora::PixelFormat::Grey8);
//     for (const velmora::Symbol& symbol : velmora::readSymbols(image))
//         std::cout << symbol.text << '\n';
//
// Any number of threads may call readSymbols at once: each gets what it would get alone (the
// reads are served one after another for now), and nothing a call needs outlives it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#if defined(__GNUC__)
#define VELMORA_EXPORT __attribute__((visibility("default")))
#else
#define VELMORA_EXPORT
#endif

namespace velmora {

// How the samples of one pixel lie in memory, each sample a byte.
enum class PixelFormat { Grey8, RGB8, BGR8, RGBA8 };

// Bytes per pixel of a format: 1, 3, 3 or 4.
VELMORA_EXPORT int bytesPerPixel(PixelFormat format);

// A picture the caller owns, seen without copying: height rows of width pixels, row r starting
// rowStride bytes after row r - 1 (0: the rows lie one after another without padding).
class VELMORA_EXPORT ImageView {
public:
    ImageView(const uint8_t* data, int width, int height, PixelFormat format, int rowStride = 0);

    const uint8_t* data() const { return data_; }
    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    int rowStride() const { return rowStride_; }
    const uint8_t* row(int y) const { return data_ + static_cast<std::ptrdiff_t>(y) * rowStride_; }

    // True when the view describes pixels a reader can walk: data given, sides above 0, and a
    // stride that holds a row.
    bool valid() const;

private:
    const uint8_t* data_;
    int width_;
    int height_;
    PixelFormat format_;
    int rowStride_;
};

struct ReadOptions {
    int maxSymbols = 4;     // symbols to look for, 1 to 256 (values outside are taken to the nearest)
    int timeLimitMs = 4000;  // the read stops after this many milliseconds; 0 for no limit
};

// A point in the picture's pixels; (0, 0) is the top-left corner of the top-left pixel.
struct Point {
    float x = 0;
    float y = 0;
};

struct Symbol {
    std::string text;            // UTF-8: as the symbol means its bytes (its ECI, its segments, else a guess)
    std::vector<uint8_t> bytes;  // as stored in the symbol
    std::string charset;         // what the bytes were read as: "UTF-8", "Shift_JIS", "GB18030", "ISO-8859-1", ...
    int eci = -1;                // the first ECI designator, -1 when there is none
    // The symbol's outer corners going round it: top-left, top-right, bottom-right, bottom-left
    // in the symbol's own frame (where its finder patterns sit: top-left, top-right, bottom-left).
    std::array<Point, 4> corners{};
    int version = 0;   // 1 to 40
    char level = 'L';  // 'L', 'M', 'Q' or 'H'
    int mask = 0;      // 0 to 7
    bool inverted = false;  // light modules on a dark ground
    bool mirrored = false;  // read from its mirror image
};

// Reads the symbols the picture shows, at most options.maxSymbols of them, in the order they
// were found. An invalid view, or one of 20 pixels or less on a side, gives none. Never throws
// but std::bad_alloc.
VELMORA_EXPORT std::vector<Symbol> readSymbols(const ImageView& image, const ReadOptions& options = {});

}  // namespace velmora
