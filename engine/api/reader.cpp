// readSymbols over the decode driver.
#include "velmora/reader.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <opencv2/core/mat.hpp>
#include <opencv2/imgproc.hpp>

#include "codecs/decoded_text.h"
#include "engine/decode/decode_driver.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// The picture in 8-bit grey, weighted as a colour picture file is when it is read in grey.
cv::Mat greyOf(const ImageView& image) {
    const int type = bytesPerPixel(image.format()) == 1 ? CV_8UC1 : (image.format() == PixelFormat::RGBA8 ? CV_8UC4 : CV_8UC3);
    const cv::Mat pixels(image.height(), image.width(), type, const_cast<uint8_t*>(image.data()),
                         static_cast<std::size_t>(image.rowStride()));
    cv::Mat grey;
    switch (image.format()) {
    case PixelFormat::Grey8: grey = pixels.clone(); break;
    case PixelFormat::RGB8: cv::cvtColor(pixels, grey, cv::COLOR_RGB2GRAY); break;
    case PixelFormat::BGR8: cv::cvtColor(pixels, grey, cv::COLOR_BGR2GRAY); break;
    case PixelFormat::RGBA8: cv::cvtColor(pixels, grey, cv::COLOR_RGBA2GRAY); break;
    }
    return grey;
}

char levelLetterOf(int level) { return level >= 0 && level <= 3 ? "LMQH"[level] : '?'; }

Symbol symbolOfEntry(const DecodedEntry& entry, LocaleLanguage language) {
    Symbol symbol;
    const char* text = entry.sParseStr.data();
    symbol.bytes.assign(text, text + entry.nParseStrLen);
    const ShownText shown =
        showDecodedText({text, static_cast<std::size_t>(entry.nParseStrLen)}, entry.nModes, entry.nEci, language);
    symbol.text = shown.text;
    symbol.charset = shown.charset;
    symbol.eci = entry.nEci;
    // The entry keeps top-left, top-right, bottom-left, bottom-right; the symbol goes round.
    constexpr std::array<std::size_t, 4> kRound = {0, 1, 3, 2};
    for (std::size_t i = 0; i < 4; ++i) symbol.corners[i] = {entry.dXY_4Corners[kRound[i]], entry.dXY_4Corners[4 + kRound[i]]};
    symbol.version = entry.nVersion;
    symbol.level = levelLetterOf(entry.nLevel);
    symbol.mask = entry.nMaskingNo;
    symbol.inverted = entry.nInverseColor != 0;
    symbol.mirrored = entry.nMirror != 0;
    return symbol;
}

// The engine below keeps one request's state at a time.
std::mutex& engineLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

int bytesPerPixel(PixelFormat format) {
    switch (format) {
    case PixelFormat::Grey8: return 1;
    case PixelFormat::RGB8:
    case PixelFormat::BGR8: return 3;
    case PixelFormat::RGBA8: return 4;
    }
    return 1;
}

ImageView::ImageView(const uint8_t* data, int width, int height, PixelFormat format, int rowStride)
    : data_(data), width_(width), height_(height), format_(format),
      rowStride_(rowStride != 0 ? rowStride : width * bytesPerPixel(format)) {}

bool ImageView::valid() const {
    return data_ != nullptr && width_ > 0 && height_ > 0 && rowStride_ >= width_ * bytesPerPixel(format_);
}

std::vector<Symbol> readSymbols(const ImageView& image, const ReadOptions& options) {
    if (!image.valid()) return {};
    cv::Mat grey = greyOf(image);
    const int wanted = std::clamp(options.maxSymbols, 1, kMostWantedSymbols);
    const LocaleLanguage language = localeLanguage();
    std::lock_guard<std::mutex> hold(engineLock());
    const uint32_t budget = timeBudget();
    setTimeBudget(static_cast<uint32_t>(std::max(options.timeLimitMs, 0)));
    const int count = decodeGreyPicture(kPixelsContiguous, grey.data, grey.cols, grey.rows, wanted, 0);
    setTimeBudget(budget);
    std::vector<Symbol> symbols;
    for (int k = 0; k < count; ++k) symbols.push_back(symbolOfEntry(decodedEntry(k), language));
    return symbols;
}

}  // namespace velmora
