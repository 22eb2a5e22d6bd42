// Feeds the whole reading road, pixels to symbols, through QR_Decode_Matrix: binarisation, the
// finder search, pairing, frames, sampling and the reach stages. Every picture is read twice,
// with one and with four symbols wanted. Any crash, sanitizer report or broken result record is
// a bug, and so is a clean symbol of our own encoder that a request ending within its budget
// does not read back exactly.
//
// Input: bytes 0..2 are the header, for both roads.
//   byte 0   bit 0: road (0 raw pixels, 1 a rendered symbol with edits)
//            bits 1-2: how the grey pixels are handed over (rows one after the other, a table of
//                      rows allocated one by one, or a raster whose rows are padded)
//            bits 3-4: the pixel format the picture starts in (grey, grey, BGR, BGRA; colour is
//                      brought to grey with OpenCV as the app does with screens and frames)
//            bit 5:    texts converted from UTF-8
//   byte 1/2 width and height (see sideOf), 8 to 1024 pixels, mostly small so that most inputs
//            stay fast
//   raw road: the rest are the pixels (1, 3 or 4 bytes each), repeated when they run short.
//   symbol road: byte 3 level (bits 0-1), mask (bits 2-5, 8 and above automatic), light on dark
//            (bit 6), mirrored (bit 7); byte 4 version (0 the smallest that fits); byte 5
//            module size 1..8 (bits 0-2) and quiet zone 0..7 modules (bits 3-5); bytes 6 and 7
//            the symbol's place; byte 8 the number of edits (0..15), which follow as 8 bytes
//            each (see applyEdit); the rest is the text.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decode_driver.h"
#include "engine/decode/decode_request.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"

namespace {

constexpr int kMaxSide = 1024;
constexpr std::size_t kHeaderSize = 3;
constexpr std::size_t kSymbolHeaderSize = 9;
constexpr std::size_t kEditSize = 8;

enum Handover { kContiguous, kRowTable, kPaddedRaster };

// Half the codes give pictures of 8..71 pixels, which a sanitized request reads in a fraction of
// its budget; most of the rest 72..262, and the last 32 codes up to the largest side.
int sideOf(uint8_t code) {
    if (code < 128) return 8 + code / 2;
    if (code < 224) return 72 + (code - 128) * 2;
    return std::min(kMaxSide, 262 + (code - 223) * 24);
}

// A byte scaled to 0..limit.
int scaled(uint8_t value, int limit) { return value * limit / 255; }

int channelsOf(uint8_t flags) {
    switch ((flags >> 3) & 3) {
    case 2:
        return 3;
    case 3:
        return 4;
    default:
        return 1;
    }
}

cv::Mat rawPicture(int width, int height, int channels, const uint8_t* data, std::size_t size) {
    cv::Mat picture(height, width, CV_8UC(channels), cv::Scalar::all(255));
    if (size == 0) return picture;
    const std::size_t count = static_cast<std::size_t>(width) * height * channels;
    uint8_t* out = picture.data;
    for (std::size_t i = 0; i < count; ++i) out[i] = data[i % size];
    return picture;
}

// One edit over the picture. op % 8: 0 a line, 1 a filled block, 2 noise, 3 a turn and scale
// about the centre, 4 a blur, 5 a copy of one region to another (a second symbol), 6 light
// falling off across the picture, 7 a perspective warp.
void applyEdit(cv::Mat& grey, const uint8_t* e, uint8_t background) {
    const int w = grey.cols;
    const int h = grey.rows;
    switch (e[0] % 8) {
    case 0: {
        const int thickness = 1 + e[6] % 8;
        cv::line(grey, {scaled(e[1], w), scaled(e[2], h)}, {scaled(e[3], w), scaled(e[4], h)}, cv::Scalar(e[5]),
                 thickness, (e[7] & 1) ? cv::LINE_AA : cv::LINE_8);
        break;
    }
    case 1: {
        const cv::Rect block = cv::Rect(scaled(e[1], w), scaled(e[2], h), scaled(e[3], w), scaled(e[4], h)) &
                               cv::Rect(0, 0, w, h);
        grey(block).setTo(cv::Scalar(e[5]));
        break;
    }
    case 2: {
        std::minstd_rand random(e[1] | e[2] << 8 | e[3] << 16);
        const int amplitude = e[4];
        const unsigned every = 1 + e[5] % 16;
        for (int y = 0; y < h; ++y) {
            uint8_t* row = grey.ptr(y);
            for (int x = 0; x < w; ++x) {
                if (random() % every != 0) continue;
                const int change = static_cast<int>(random() % (2 * amplitude + 1)) - amplitude;
                row[x] = static_cast<uint8_t>(std::clamp(row[x] + change, 0, 255));
            }
        }
        break;
    }
    case 3: {
        const double angle = e[1] * 360.0 / 256.0 + e[2] / 256.0;
        const double scale = 0.5 + e[3] / 255.0;
        const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(w / 2.0f, h / 2.0f), angle, scale);
        cv::Mat turned;
        cv::warpAffine(grey, turned, turn, grey.size(), (e[4] & 1) ? cv::INTER_NEAREST : cv::INTER_LINEAR,
                       cv::BORDER_CONSTANT, cv::Scalar(background));
        grey = turned;
        break;
    }
    case 4: {
        const int k = 1 + 2 * (e[1] % 8);
        cv::GaussianBlur(grey, grey, cv::Size(k, k), 0);
        break;
    }
    case 5: {
        const cv::Rect frame(0, 0, w, h);
        cv::Rect from = cv::Rect(scaled(e[1], w), scaled(e[2], h), scaled(e[5], w), scaled(e[6], h)) & frame;
        cv::Rect to = cv::Rect(scaled(e[3], w), scaled(e[4], h), from.width, from.height) & frame;
        from.width = to.width;
        from.height = to.height;
        if (from.area() > 0) grey(from).clone().copyTo(grey(to));
        break;
    }
    case 6: {
        // Multiplies by a ramp from e[2]/255 at one side to e[3]/255 at the other.
        const bool across = e[1] & 1;
        for (int y = 0; y < h; ++y) {
            uint8_t* row = grey.ptr(y);
            for (int x = 0; x < w; ++x) {
                const float t = across ? static_cast<float>(x) / w : static_cast<float>(y) / h;
                const float gain = (e[2] * (1.0f - t) + e[3] * t) / 255.0f;
                row[x] = static_cast<uint8_t>(std::clamp(row[x] * gain + e[4] / 8, 0.0f, 255.0f));
            }
        }
        break;
    }
    default: {
        const cv::Point2f from[4] = {{0, 0}, {float(w), 0}, {0, float(h)}, {float(w), float(h)}};
        cv::Point2f to[4];
        for (int k = 0; k < 4; ++k) {
            to[k] = from[k] + cv::Point2f((e[1 + k] - 128) * w / 512.0f, (e[1 + (k + 1) % 4] - 128) * h / 512.0f);
        }
        cv::Mat warped;
        cv::warpPerspective(grey, warped, cv::getPerspectiveTransform(from, to), grey.size(), cv::INTER_LINEAR,
                            cv::BORDER_CONSTANT, cv::Scalar(background));
        grey = warped;
        break;
    }
    }
}

// What the symbol road drew, for the check of clean symbols.
struct Drawn {
    bool clean = false;
    std::vector<char> text;
};

// Our own symbol drawn onto a grey picture, then edited; empty when the text makes no symbol.
cv::Mat symbolPicture(int width, int height, const uint8_t* data, std::size_t size, Drawn& drawn) {
    if (size < kSymbolHeaderSize) return {};
    const int level = data[3] & 3;
    int mask = (data[3] >> 2) & 15;
    if (mask > 7) mask = -1;
    const bool lightOnDark = data[3] & 0x40;
    const bool mirrored = data[3] & 0x80;
    int version = data[4] % 41;
    const int moduleSize = 1 + (data[5] & 7);
    const int quiet = (data[5] >> 3) & 7;
    const std::size_t edits = data[8] % 16;
    std::size_t offset = kSymbolHeaderSize;
    if (size < offset + edits * kEditSize) return {};
    const uint8_t* editBytes = data + offset;
    offset += edits * kEditSize;
    drawn.text.assign(data + offset, data + size);
    if (drawn.text.empty() || drawn.text.size() > MAX_SrcDataLen - 1) return {};
    if (QR_Encode_Matrix(level, &version, 1, &mask, drawn.text.data(), static_cast<int>(drawn.text.size()), nullptr) != 1) {
        return {};
    }

    const uint8_t light = lightOnDark ? 0 : 255;
    const uint8_t dark = 255 - light;
    const int modules = g_QrEncodedData.iEncoded_WH;
    const int side = (modules + 2 * quiet) * moduleSize;
    cv::Mat symbol(side, side, CV_8UC1, cv::Scalar(light));
    for (int row = 0; row < modules; ++row) {
        for (int column = 0; column < modules; ++column) {
            const uint8_t module = mirrored ? g_QrEncodedData.byEncoded_Data[column][row]
                                            : g_QrEncodedData.byEncoded_Data[row][column];
            if (module != 0) continue;
            symbol(cv::Rect((column + quiet) * moduleSize, (row + quiet) * moduleSize, moduleSize, moduleSize))
                .setTo(cv::Scalar(dark));
        }
    }
    cv::Mat grey(height, width, CV_8UC1, cv::Scalar(light));
    const int left = scaled(data[6], std::max(0, width - side));
    const int top = scaled(data[7], std::max(0, height - side));
    const cv::Rect place = cv::Rect(left, top, side, side) & cv::Rect(0, 0, width, height);
    symbol(cv::Rect(0, 0, place.width, place.height)).copyTo(grey(place));

    drawn.clean = edits == 0 && moduleSize >= 2 && quiet >= 4 && place.width == side && place.height == side;
    for (std::size_t k = 0; k < edits; ++k) applyEdit(grey, editBytes + k * kEditSize, light);
    return grey;
}

// The record of the last request holds what the entry returned, within its bounds.
void checkRecord(int count, int wanted) {
    const C_QrDecodedData& record = g_QrDecodedData;
    if (count < 0 || count > wanted || count != record.nParsedNums) std::abort();
    for (int k = 0; k < count; ++k) {
        if (record.nVersion[k] < 1 || record.nVersion[k] > 40 || record.nLevel[k] < 0 || record.nLevel[k] > 3 ||
            record.nMaskingNo[k] < 0 || record.nMaskingNo[k] > 7 || record.nParseStrLen[k] < 0 ||
            record.nParseStrLen[k] >= MAX_SrcDataLen) {
            std::abort();
        }
        for (int i = 0; i < 8; ++i) {
            if (!std::isfinite(record.dXY_FP[k][i]) || !std::isfinite(record.dXY_4Corners[k][i])) std::abort();
        }
    }
}

bool readsText(int count, const std::vector<char>& text) {
    for (int k = 0; k < count; ++k) {
        if (g_QrDecodedData.nParseStrLen[k] == static_cast<int>(text.size()) &&
            std::memcmp(g_QrDecodedData.sParseStr[k], text.data(), text.size()) == 0) {
            return true;
        }
    }
    return false;
}

// Hands the grey picture over in the chosen layout, each in memory of exactly its size so that
// the sanitizer sees any read outside it, and reads it with `wanted` symbols wanted.
int decode(const cv::Mat& grey, Handover handover, int wanted, int convertUtf8) {
    const int width = grey.cols;
    const int height = grey.rows;
    switch (handover) {
    case kRowTable: {
        std::vector<std::vector<uint8_t>> rows(height);
        std::vector<uint8_t*> table(height);
        for (int y = 0; y < height; ++y) {
            rows[y].assign(grey.ptr(y), grey.ptr(y) + width);
            table[y] = rows[y].data();
        }
        return QR_Decode_Matrix(velmora::kPixelsRowTable, table.data(), width, height, wanted, convertUtf8, nullptr);
    }
    case kPaddedRaster: {
        const int stride = width + 1 + (width * 7 + height) % 61;
        std::vector<uint8_t> buffer(static_cast<std::size_t>(stride) * (height - 1) + width, 0x5A);
        for (int y = 0; y < height; ++y) std::memcpy(&buffer[static_cast<std::size_t>(y) * stride], grey.ptr(y), width);
        velmora::Raster* view = velmora::viewBufferAsRaster(buffer.data(), height, width, stride);
        if (view == nullptr) return 0;
        const int count = QR_Decode_Matrix(velmora::kPixelsRaster, view, width, height, wanted, convertUtf8, nullptr);
        velmora::releaseRasterView(view);
        return count;
    }
    default: {
        std::vector<uint8_t> buffer(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) std::memcpy(&buffer[static_cast<std::size_t>(y) * width], grey.ptr(y), width);
        return QR_Decode_Matrix(velmora::kPixelsContiguous, buffer.data(), width, height, wanted, convertUtf8,
                                nullptr);
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < kHeaderSize) return 0;
    const uint8_t flags = data[0];
    const int width = sideOf(data[1]);
    const int height = sideOf(data[2]);
    const int channels = channelsOf(flags);
    const Handover handover = static_cast<Handover>(std::min((flags >> 1) & 3, 2));
    const int convertUtf8 = (flags >> 5) & 1;

    Drawn drawn;
    cv::Mat picture;
    if (flags & 1) {
        cv::Mat grey = symbolPicture(width, height, data, size, drawn);
        if (grey.empty()) return 0;
        if (channels == 1) {
            picture = grey;
        } else {
            cv::cvtColor(grey, picture, channels == 3 ? cv::COLOR_GRAY2BGR : cv::COLOR_GRAY2BGRA);
        }
    } else {
        picture = rawPicture(width, height, channels, data + kHeaderSize, size - kHeaderSize);
    }
    cv::Mat grey;
    if (channels == 1) {
        grey = picture;
    } else {
        cv::cvtColor(picture, grey, channels == 3 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
    }

    for (const int wanted : {1, 4}) {
        const auto start = std::chrono::steady_clock::now();
        const int count = decode(grey, handover, wanted, convertUtf8);
        const auto spent = std::chrono::steady_clock::now() - start;
        checkRecord(count, wanted);
        // A clean symbol must read back exactly, unless the request ran out of time (a loaded
        // machine or a slow sanitizer build) rather than out of ideas.
        if (drawn.clean && convertUtf8 == 0 && spent < std::chrono::milliseconds(velmora::kDefaultTimeBudget * 3 / 4) &&
            !readsText(count, drawn.text)) {
            std::abort();
        }
    }
    return 0;
}
