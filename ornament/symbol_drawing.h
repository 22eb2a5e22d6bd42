// The symbol redrawn for the ornament: every module a dot of the chosen shape at the chosen
// scale, with a mask that tells the blends which pixels they may change.
#pragma once

#include "engine/velmora_engine.h"

namespace cv {
class Mat;
}

namespace velmora {

// How the modules are drawn: pixels per module (1..40), the dot types (DotType) of the finder
// corners and of the other modules, and whether the alignment patterns stay full squares.
struct SymbolStyle {
    int scale = 5;
    int finderDotType = 0;
    int dataDotType = 3;
    bool alignProtected = true;
};

// Draws the symbol of the record into symbolImage, (N + 2) * scale pixels square (8-bit, 255
// light, 0 dark): a light margin of one module, and module (row j, column k) at pixel rows and
// columns starting at (j + 1) * scale and (k + 1) * scale. Dark modules in the three finder
// corners (finder, separator) take the finder dot, the others the data dot. moduleClassMask,
// of the same size, holds kClassProtected over the three 9-module corner squares (margin
// included) and, with alignment protection, over each alignment pattern's 5 x 5 modules, which
// are then redrawn with full squares; kClassDot inside the data dot of every other module,
// light or dark; kClassOther elsewhere. Returns false and leaves both alone when the record
// holds no valid symbol size or the scale is outside 1..40.
bool DrawSymbolImage(const C_QrEncodedData& symbol, const SymbolStyle& style, cv::Mat& symbolImage,
                     cv::Mat& moduleClassMask);

}  // namespace velmora
