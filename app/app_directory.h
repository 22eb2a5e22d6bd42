// Where Velmora keeps Config.ini, the language files, log.txt, temp.bmp and qr_readme.pdf.
//
// The application directory is VELMORA_HOME when that is set; otherwise the executable's own
// directory when it is writable (a build tree or a portable copy); otherwise the per-user data
// directory $XDG_DATA_HOME/velmora (by default ~/.local/share/velmora). It is created on first use.
#pragma once

#include <QString>

namespace velmora {

// The application directory by the rules above, created if missing. Read afresh on every call
// so that a changed VELMORA_HOME takes effect.
QString applicationDirectory();

// The directory of the running executable.
QString executableDirectory();

// The full path of a file in the application directory.
QString applicationFile(const QString& name);

// A language file: the copy in the application directory when there is one, else the one beside
// the executable (where the build and an installation put the shipped translations).
QString languageFile(const QString& name);

}  // namespace velmora
