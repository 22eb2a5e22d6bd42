#include "ornament/symbol_drawing.h"

#include <opencv2/core.hpp>

#include "engine/codec/version_table.h"
#include "ornament/blend_types.h"
#include "ornament/dot_shape.h"

namespace velmora {
namespace {

constexpr int kCornerModules = 9;  // margin, finder pattern and separator

// The three patterns a module can be drawn with.
struct ModulePatterns {
    DotPattern light;
    DotPattern finder;
    DotPattern data;
};

// Draws one module's pattern at module (row j, column k) and, when classes is given, marks its
// pixels by the data dot (kClassDot where the data pattern is dark, else kClassOther) or all as
// protected.
class ModulePainter {
public:
    ModulePainter(cv::Mat& image, cv::Mat& classes, int scale) : image_(image), classes_(classes), s_(scale) {}

    void draw(int j, int k, const DotPattern& pattern) const {
        for (int y = 0; y < s_; ++y) {
            uint8_t* row = image_.ptr<uint8_t>((j + 1) * s_ + y) + (k + 1) * s_;
            for (int x = 0; x < s_; ++x) row[x] = pattern[y][x];
        }
    }

    void markByDot(int j, int k, const DotPattern& data) const {
        for (int y = 0; y < s_; ++y) {
            uint8_t* row = classes_.ptr<uint8_t>((j + 1) * s_ + y) + (k + 1) * s_;
            for (int x = 0; x < s_; ++x) row[x] = data[y][x] == kPatternDark ? kClassDot : kClassOther;
        }
    }

    void markProtected(int j, int k) const {
        classes_(cv::Rect((k + 1) * s_, (j + 1) * s_, s_, s_)).setTo(kClassProtected);
    }

private:
    cv::Mat& image_;
    cv::Mat& classes_;
    int s_;
};

bool validSize(int n) {
    return n >= symbolSizeOf(kMinVersion) && n <= symbolSizeOf(kMaxVersion) && (n - 17) % 4 == 0;
}

bool inFinderCorner(int j, int k, int n) {
    return (j <= 7 && k < 8) || (j >= n - 8 && k < 8) || (j <= 7 && k >= n - 8);
}

// Redraws the 5 x 5 modules around (row, column) with full squares and protects them.
void protectBlock(const C_QrEncodedData& symbol, const ModulePainter& painter, const ModulePatterns& patterns,
                  int row, int column) {
    for (int j = row - 2; j <= row + 2; ++j)
        for (int k = column - 2; k <= column + 2; ++k) {
            painter.draw(j, k, symbol.byEncoded_Data[j][k] != 0 ? patterns.light : patterns.finder);
            painter.markProtected(j, k);
        }
}

void protectAlignmentPatterns(const C_QrEncodedData& symbol, const ModulePainter& painter,
                              const ModulePatterns& patterns) {
    const int n = symbol.iEncoded_WH;
    const VersionInfo& version = VersionTable[(n - 17) / 4];
    for (int a = 0; a < version.alignmentCount; ++a) {
        const int p = version.alignmentPositions[a];
        for (int b = 0; b < version.alignmentCount; ++b)
            protectBlock(symbol, painter, patterns, version.alignmentPositions[b], p);
        // Patterns on the timing lines, except where they would meet a finder corner.
        if (p != n - 7) {
            protectBlock(symbol, painter, patterns, 6, p);
            protectBlock(symbol, painter, patterns, p, 6);
        }
    }
}

}  // namespace

bool DrawSymbolImage(const C_QrEncodedData& symbol, const SymbolStyle& style, cv::Mat& symbolImage,
                     cv::Mat& moduleClassMask) {
    const int n = symbol.iEncoded_WH, s = style.scale;
    if (!validSize(n) || s < 1 || s > kDotPatternSide) return false;
    const int side = (n + 2) * s, corner = kCornerModules * s;

    cv::Mat image(side, side, CV_8UC1, cv::Scalar(kPatternLight));  // the margin stays light
    cv::Mat classes(side, side, CV_8UC1, cv::Scalar(kClassOther));
    classes(cv::Rect(0, 0, corner, corner)).setTo(kClassProtected);
    classes(cv::Rect(side - corner, 0, corner, corner)).setTo(kClassProtected);
    classes(cv::Rect(0, side - corner, corner, corner)).setTo(kClassProtected);

    ModulePatterns patterns;
    for (auto& row : patterns.light) row.fill(kPatternLight);
    DotShape(style.finderDotType, s, patterns.finder);
    DotShape(style.dataDotType, s, patterns.data);

    const ModulePainter painter(image, classes, s);
    for (int j = 0; j < n; ++j)
        for (int k = 0; k < n; ++k) {
            const bool light = symbol.byEncoded_Data[j][k] != 0;
            if (inFinderCorner(j, k, n)) {
                painter.draw(j, k, light ? patterns.light : patterns.finder);
            } else {
                painter.draw(j, k, light ? patterns.light : patterns.data);
                painter.markByDot(j, k, patterns.data);
            }
        }
    if (style.alignProtected) protectAlignmentPatterns(symbol, painter, patterns);

    symbolImage = image;
    moduleClassMask = classes;
    return true;
}

}  // namespace velmora
