// The picture of an encoded symbol: one bit per pixel, white quiet zone of four modules.
#pragma once

#include <QImage>
#include <QString>
#include <string>

#include "engine/velmora_engine.h"

namespace velmora {

// Draws the symbol of the record with moduleSize pixels per module: a square picture of
// moduleSize * (N + 8) pixels in Format_Mono whose colour index 1 is white and 0 black. Every
// pixel is written. A null picture when the record holds no symbol or the size is not 1..20.
QImage drawSymbolImage(const C_QrEncodedData& symbol, int moduleSize);

// Writes a two-colour picture as a 1-bit Windows bitmap, whatever the name's extension says.
// Returns false with a reason when the file cannot be written; no partial file is left.
bool writeSymbolBitmap(const QImage& picture, const QString& path, std::string& error);

}  // namespace velmora
