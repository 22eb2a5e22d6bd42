// Printing the shown symbol at a chosen size: the page painter, and the preview in which the
// size is chosen.
#pragma once

#include <functional>

#include "app/symbol_save_format.h"

class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace velmora {

inline constexpr double kMinPrintSideMm = 5.0;
inline constexpr double kDefaultPrintSideMm = 40.0;

// Paints the symbol with its dark square sideMm millimetres wide, centred in the page's
// printable area, its four-module quiet zone left white. A side larger than the area leaves
// room for the quiet zone is made smaller to fit; the side used is returned, 0 when the printer
// could not be painted on.
double printSymbol(QPrinter& printer, const ShownModules& modules, double sideMm);

// The largest side that the printer's printable area holds with the quiet zone around it.
double largestPrintSideMm(const QPrinter& printer, const ShownModules& modules);

// Shows a print preview of the symbol with a box for its side in millimetres above the pages;
// sideMm is where the size starts and what was chosen last. show runs the dialog (exec, or a
// test's stand-in).
void previewSymbolPrint(QWidget* parent, const ShownModules& modules, double& sideMm,
                        const std::function<void(QPrintPreviewDialog&)>& show);

}  // namespace velmora
