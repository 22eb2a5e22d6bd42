// What Save in the main window writes: the format a file name asks for, the name a bare name
// becomes, the dialog's filters, and the writer of the shown symbol in that format.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

namespace velmora {

enum class SymbolSaveFormat { Bmp, Png, Svg };

// The modules of a symbol picture as the window draws it: size x size bytes in display order,
// nonzero light.
struct ShownModules {
    int size = 0;
    std::vector<uint8_t> matrix;
};

// The modules read at each module's top left pixel; size 0 when the picture's side is not that
// of a symbol with its quiet zone at moduleSize pixels per module.
ShownModules shownSymbolModules(const QImage& picture, int moduleSize);

// PNG for a name ending in .png, SVG for .svg (in any letter case), the 1-bit BMP for every
// other name.
SymbolSaveFormat symbolSaveFormatOf(const QString& path);

// The name with ".bmp" added when its file name has no extension; other names as they are.
QString symbolSaveName(const QString& path);

// The save dialog's filters in the window's language: the bitmap first, then PNG, SVG and all
// files.
QString symbolSaveFilter();

// The extension a filter of symbolSaveFilter stands for ("bmp", "png", "svg"); empty for all files.
QString symbolSaveSuffix(const QString& filter);

// Writes the shown symbol picture (drawn with moduleSize pixels per module and a four-module
// quiet zone) to path in the format its name asks for. False with a reason when the picture
// is not such a symbol or the file cannot be written; no partial file is left.
bool writeShownSymbol(const QImage& picture, int moduleSize, const QString& path, QString& error);

}  // namespace velmora
