#include "app/folder_memory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/ini_file.h"

namespace velmora {
namespace {

// The Config.ini key of each kind, in section [folders].
const char* folderKey(FileKind kind) {
    switch (kind) {
    case FileKind::Contacts: return "sContacts";
    case FileKind::Events: return "sEvents";
    case FileKind::Pictures: break;
    }
    return "sPictures";
}

}  // namespace

QString picturesFolder() {
    const QString home = QDir::homePath();
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || QDir(folder) == QDir(home)) folder = QDir(home).filePath(QStringLiteral("Pictures"));
    QDir().mkpath(folder);
    return folder;
}

QString FolderMemory::startFolder(FileKind kind) const {
    const IniFile file(QFile::encodeName(configPath_).toStdString());
    const QString kept = QFile::decodeName(QByteArray::fromStdString(file.readString("folders", folderKey(kind), "")));
    if (!kept.isEmpty() && QDir::isAbsolutePath(kept) && QFileInfo(kept).isDir()) return kept;
    return picturesFolder();
}

void FolderMemory::remember(FileKind kind, const QString& chosenFile) const {
    const QString folder = QFileInfo(chosenFile).absolutePath();
    IniFile file(QFile::encodeName(configPath_).toStdString());
    std::string unkept;
    file.writeString("folders", folderKey(kind), QFile::encodeName(folder).toStdString(), unkept);
}

}  // namespace velmora
