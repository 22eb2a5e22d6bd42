// The pictures and the help document built into the program.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace velmora {

// Registers the built-in resources; safe to call more than once.
void initAppResources();

// A tool bar picture by name ("open", "save", "screen", "area", "about", "camera", "radar",
// "ornament"), drawn from its SVG at 48 x 48 pixels and at twice that for dense screens. A
// disabled button shows the same picture greyed.
QIcon toolbarIcon(const QString& name);

// The picture in light greys, its transparency kept: how a disabled control shows it.
QPixmap greyedPicture(const QPixmap& picture);

// An SVG picture of the resources drawn at the given size.
QPixmap svgPicture(const QString& resourcePath, const QSize& size);

// Resource path of the help document.
inline const QString kHelpDocumentResource = QStringLiteral(":/velmora/qr_readme.pdf");

}  // namespace velmora
