// Where Velmora keeps Config.ini, the language files, log.txt, temp.bmp and qr_readme.pdf.
//
// The application directory is VELMORA_HOME when that is set; otherwise the executable's own
// directory when it is writable and the program is not installed (a build tree or a portable
// copy); otherwise the per-user data directory $XDG_DATA_HOME/velmora (by default
// ~/.local/share/velmora). It is created on first use.
//
// An installed program is one whose executable has the shared data folder PREFIX/share/velmora
// beside its PREFIX/bin; such a program never writes into its bin folder, even when it could (run
// as root, or installed into a prefix the user owns).
#pragma once

#include <QString>

namespace velmora {

// The application directory by the rules above, created if missing. Read afresh on every call
// so that a changed VELMORA_HOME takes effect.
QString applicationDirectory();

// The directory of the running executable.
QString executableDirectory();

// PREFIX/share/velmora for an executable in PREFIX/bin, whether or not it exists.
QString sharedDataDirectory();

// The full path of a file in the application directory.
QString applicationFile(const QString& name);

// A language file: the copy in the application directory when there is one, else the one beside
// the executable (where the build puts the shipped translations), else the one in the shared
// data folder (where an installation puts them). With none of them, the path beside the
// executable, which the caller finds missing.
QString languageFile(const QString& name);

}  // namespace velmora
