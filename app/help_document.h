// The help document: the manual built into the program and its copy qr_readme.pdf in the
// application directory, which the desktop's PDF viewer opens.
#pragma once

#include <QString>

namespace velmora {

// The name of the copy in the application directory.
inline const QString kHelpDocumentName = QStringLiteral("qr_readme.pdf");

// Size in bytes of the built-in manual.
qint64 embeddedHelpDocumentSize();

// Writes the built-in manual to directory/qr_readme.pdf when no file is there or the file there
// has another size; a file of the same size is kept whatever it holds. Sets written to whether it
// wrote. Returns false with a reason when the copy cannot be written.
bool extractHelpDocument(const QString& directory, bool& written, QString& error);

// Whether the desktop has an application for PDF documents: the default that
// `xdg-mime query default application/pdf` names, or any that the MIME database
// (applications/mimeinfo.cache in the XDG data directories) lists for application/pdf. The
// desktop's opener reports success as soon as it starts, whether or not anything can show the
// file, so this is asked before opening.
bool pdfReaderAvailable();

}  // namespace velmora
