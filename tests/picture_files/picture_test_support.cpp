#include "picture_test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"

namespace velmora::test {

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-pictures-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
    root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

cv::Mat symbolPicture(const std::string& text, int moduleSize) {
    int version = 0;
    int mask = -1;
    if (QR_Encode_Matrix(1, &version, 0, &mask, text.data(), static_cast<int>(text.size()), nullptr) != 1) {
        throw std::runtime_error("the encoder refused " + text);
    }
    const int size = g_QrEncodedData.iEncoded_WH;
    const int side = (size + 8) * moduleSize;
    cv::Mat picture(side, side, CV_8UC1, cv::Scalar(255));
    for (int row = 0; row < size; ++row) {
        for (int col = 0; col < size; ++col) {
            if (g_QrEncodedData.byEncoded_Data[row][col] != 0) continue;
            picture(cv::Rect((col + 4) * moduleSize, (row + 4) * moduleSize, moduleSize, moduleSize)).setTo(0);
        }
    }
    return picture;
}

cv::Mat colouredSymbol(const std::string& text, int moduleSize) {
    const cv::Mat grey = symbolPicture(text, moduleSize);
    cv::Mat colour(grey.size(), CV_8UC3, cv::Scalar(190, 245, 250));
    colour.setTo(cv::Scalar(110, 30, 20), grey == 0);
    return colour;
}

cv::Mat colourGradient(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(x * 255 / std::max(width - 1, 1)),
                                                    static_cast<uint8_t>(y * 255 / std::max(height - 1, 1)),
                                                    static_cast<uint8_t>((x * 7 + y * 13) % 256));
        }
    }
    return picture;
}

cv::Mat paletteColours(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(x / 4 % 4 * 85), static_cast<uint8_t>(y / 4 % 4 * 85),
                                                    static_cast<uint8_t>((x + y) / 8 % 4 * 85));
        }
    }
    return picture;
}

bool convert(const std::string& arguments) {
    const std::string command = "convert " + arguments + " > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool haveConvert() {
    static const bool present = std::system("convert -version > /dev/null 2>&1") == 0;
    return present;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Loaded load(const std::string& path, bool colour) {
    Loaded loaded;
    loaded.result = loadPictureFile(path, loaded.image, colour ? kLoadColour : kLoadGrey, &loaded.reason);
    return loaded;
}

int maxDifference(const cv::Mat& a, const cv::Mat& b) {
    if (a.size() != b.size() || a.type() != b.type()) return -1;
    if (a.empty()) return 0;
    double largest = 0;
    cv::Mat difference;
    cv::absdiff(a, b, difference);
    cv::minMaxLoc(difference.reshape(1), nullptr, &largest);
    return static_cast<int>(largest);
}

cv::Mat greyOf(const cv::Mat& bgr) {
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

namespace {

void put16(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One metafile record: size in 16-bit words, function number, parameters.
void putRecord(std::vector<uint8_t>& out, uint16_t function, std::initializer_list<int> parameters) {
    put32(out, static_cast<uint32_t>(3 + parameters.size()));
    put16(out, function);
    for (const int p : parameters) put16(out, static_cast<unsigned>(p) & 0xFFFF);
}

}  // namespace

std::vector<uint8_t> pgxFile(int width, int height, int depth, bool bigEndian, bool isSigned,
                             const std::vector<int>& samples) {
    const std::string header = std::string("PG ") + (bigEndian ? "ML" : "LM") + (isSigned ? " -" : " +") +
                               std::to_string(depth) + " " + std::to_string(width) + " " + std::to_string(height) + "\n";
    std::vector<uint8_t> out(header.begin(), header.end());
    for (const int sample : samples) {
        const auto bits = static_cast<unsigned>(sample);
        if (depth <= 8) {
            out.push_back(static_cast<uint8_t>(bits));
        } else if (bigEndian) {
            out.push_back(static_cast<uint8_t>(bits >> 8));
            out.push_back(static_cast<uint8_t>(bits));
        } else {
            out.push_back(static_cast<uint8_t>(bits));
            out.push_back(static_cast<uint8_t>(bits >> 8));
        }
    }
    return out;
}

std::vector<uint8_t> wbmpFile(const cv::Mat& grey) {
    std::vector<uint8_t> out = {0, 0, static_cast<uint8_t>(grey.cols), static_cast<uint8_t>(grey.rows)};
    for (int y = 0; y < grey.rows; ++y) {
        for (int x = 0; x < grey.cols; x += 8) {
            uint8_t byte = 0;
            for (int b = 0; b < 8 && x + b < grey.cols; ++b) byte |= (grey.at<uint8_t>(y, x + b) ? 0x80 : 0) >> b;
            out.push_back(byte);
        }
    }
    return out;
}

std::vector<uint8_t> skaFile(const cv::Mat& indices, const std::vector<cv::Vec3b>& paletteBgr) {
    std::vector<uint8_t> out;
    put16(out, static_cast<unsigned>(indices.cols));
    put16(out, static_cast<unsigned>(indices.rows));
    out.push_back(3);
    put32(out, 0);
    for (int i = 0; i < 256; ++i) {
        const cv::Vec3b c = i < static_cast<int>(paletteBgr.size()) ? paletteBgr[i] : cv::Vec3b(0, 0, 0);
        out.insert(out.end(), {c[0], c[1], c[2], 0});
    }
    for (int y = 0; y < indices.rows; ++y) out.insert(out.end(), indices.ptr(y), indices.ptr(y) + indices.cols);
    return out;
}

std::vector<uint8_t> wmfFile(const cv::Mat& grey, int unitsPerPixel) {
    const int width = grey.cols * unitsPerPixel;
    const int height = grey.rows * unitsPerPixel;
    std::vector<uint8_t> records;
    putRecord(records, 0x020B, {0, 0});                      // window origin (y, x)
    putRecord(records, 0x020C, {height, width});             // window extent (y, x)
    putRecord(records, 0x02FA, {5, 0, 0, 0, 0});             // null pen
    putRecord(records, 0x012D, {0});                         // select it
    putRecord(records, 0x02FC, {0, 0xFFFF, 0x00FF, 0});      // white brush
    putRecord(records, 0x012D, {1});
    putRecord(records, 0x041B, {height, width, 0, 0});       // background rectangle (bottom, right, top, left)
    putRecord(records, 0x02FC, {0, 0, 0, 0});                // black brush
    putRecord(records, 0x012D, {2});
    for (int y = 0; y < grey.rows; ++y) {
        for (int x = 0; x < grey.cols; ++x) {
            if (grey.at<uint8_t>(y, x) != 0) continue;
            putRecord(records, 0x041B,
                      {(y + 1) * unitsPerPixel, (x + 1) * unitsPerPixel, y * unitsPerPixel, x * unitsPerPixel});
        }
    }
    putRecord(records, 0x0000, {});

    std::vector<uint8_t> out;
    // Placeable header: key, handle, bounds, units per inch, reserved, checksum of the words before.
    put32(out, 0x9AC6CDD7u);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(width));
    put16(out, static_cast<unsigned>(height));
    put16(out, 96);
    put32(out, 0);
    unsigned checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= out[i] | out[i + 1] << 8;
    put16(out, checksum);
    // Metafile header: in memory, 9 words, version 3, size in words, 3 objects, largest record, 0.
    put16(out, 1);
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, static_cast<uint32_t>(9 + records.size() / 2));
    put16(out, 3);
    put32(out, 8);
    put16(out, 0);
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

}  // namespace velmora::test
