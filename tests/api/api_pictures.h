// Pictures of symbols drawn from the writer, for the API's tests.
#pragma once

#include <string>

#include <opencv2/core/mat.hpp>
#include <opencv2/imgproc.hpp>

#include "velmora/writer.h"

namespace velmora::test {

// The symbol drawn dark on light at `module` pixels a module inside a quiet zone of four
// modules, as 8-bit grey.
inline cv::Mat drawSymbol(const SymbolMatrix& symbol, int module) {
    const int side = (symbol.size + 8) * module;
    cv::Mat grey(side, side, CV_8UC1, cv::Scalar(255));
    for (int y = 0; y < symbol.size; ++y) {
        for (int x = 0; x < symbol.size; ++x) {
            if (symbol.dark(x, y)) grey(cv::Rect((x + 4) * module, (y + 4) * module, module, module)).setTo(0);
        }
    }
    return grey;
}

// The text written at level M and drawn; an empty picture when it does not fit.
inline cv::Mat drawText(const std::string& text, int module, char level = 'M') {
    WriteOptions options;
    options.level = level;
    const auto symbol = writeSymbol(text, options);
    return symbol ? drawSymbol(*symbol, module) : cv::Mat();
}

}  // namespace velmora::test
