// The shown symbol on the clipboard, for pasting into documents and drawing programs: as a
// picture (and explicitly as PNG) and as SVG.
#pragma once

#include <QImage>

#include "app/symbol_save_format.h"

class QMimeData;

namespace velmora {

// The clipboard contents of a symbol drawn at moduleSize pixels per module: the picture as
// image data and image/png, and the same modules as image/svg+xml. Null for no symbol.
QMimeData* symbolMimeData(const QImage& picture, const ShownModules& modules, int moduleSize);

}  // namespace velmora
