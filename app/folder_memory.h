// Where the file dialogs start: the folder last used for that kind of file, kept in Config.ini
// ([folders] sPictures, sContacts, sEvents), else the desktop's Pictures folder. Never the
// folder the program was started from, which is no choice of the user's.
#pragma once

#include <QString>
#include <utility>

namespace velmora {

enum class FileKind { Pictures, Contacts, Events };

// The desktop's Pictures folder (XDG_PICTURES_DIR, else ~/Pictures), made when it is missing.
// When the desktop names the home folder itself for pictures, ~/Pictures serves.
QString picturesFolder();

class FolderMemory {
public:
    // Keeps its folders in the INI file at configPath.
    explicit FolderMemory(QString configPath) : configPath_(std::move(configPath)) {}

    // The folder a dialog for this kind of file starts in: the last one used while it still
    // exists, else picturesFolder().
    QString startFolder(FileKind kind) const;
    // Remembers the folder of a file the user chose. A Config.ini that cannot take it costs only
    // where the next dialog starts, so nothing is reported.
    void remember(FileKind kind, const QString& chosenFile) const;

private:
    QString configPath_;
};

}  // namespace velmora
