#include "codecs/bmp_writer.h"

#include "codecs/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace velmora {
namespace {

void putLe16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putLe32(std::vector<uint8_t>& out, uint32_t value) {
    putLe16(out, value & 0xFFFF);
    putLe16(out, value >> 16);
}

// File header and BITMAPINFOHEADER for a bottom-up bitmap.
void putHeaders(std::vector<uint8_t>& out, int width, int height, int bitsPerPixel, int paletteEntries,
                uint32_t imageBytes) {
    const uint32_t offset = 14 + 40 + 4 * paletteEntries;
    out.push_back('B');
    out.push_back('M');
    putLe32(out, offset + imageBytes);
    putLe32(out, 0);
    putLe32(out, offset);
    putLe32(out, 40);
    putLe32(out, static_cast<uint32_t>(width));
    putLe32(out, static_cast<uint32_t>(height));
    putLe16(out, 1);
    putLe16(out, static_cast<uint32_t>(bitsPerPixel));
    putLe32(out, 0);  // no compression
    putLe32(out, imageBytes);
    putLe32(out, 3780);  // 96 dots per inch
    putLe32(out, 3780);
    putLe32(out, static_cast<uint32_t>(paletteEntries));
    putLe32(out, 0);
}

bool checkSize(int width, int height, std::string& error) {
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        error = "picture size " + std::to_string(width) + " x " + std::to_string(height) + " cannot be written";
        return false;
    }
    return true;
}

}  // namespace

bool writeBmp1(const std::string& path, const uint8_t* pixels, int width, int height, int stride,
               std::string& error) {
    if (!checkSize(width, height, error)) return false;
    const int rowBytes = ((width + 31) / 32) * 4;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes) * height;
    std::vector<uint8_t> out;
    out.reserve(62 + imageBytes);
    putHeaders(out, width, height, 1, 2, imageBytes);
    putLe32(out, 0x00000000);  // entry 0: black
    putLe32(out, 0x00FFFFFF);  // entry 1: white
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        const size_t start = out.size();
        out.resize(start + rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            if (row[x] != 0) out[start + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    return writeFileWhole(path, out.data(), out.size(), error);
}

bool writeBmp24(const std::string& path, const uint8_t* bgr, int width, int height, int stride,
                std::string& error) {
    if (!checkSize(width, height, error)) return false;
    const int rowBytes = ((width * 3 + 3) / 4) * 4;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes) * height;
    std::vector<uint8_t> out;
    out.reserve(54 + imageBytes);
    putHeaders(out, width, height, 24, 0, imageBytes);
    for (int y = height - 1; y >= 0; --y) {
        const uint8_t* row = bgr + static_cast<size_t>(y) * stride;
        const size_t start = out.size();
        out.resize(start + rowBytes, 0);
        std::memcpy(&out[start], row, static_cast<size_t>(width) * 3);
    }
    return writeFileWhole(path, out.data(), out.size(), error);
}

}  // namespace velmora
