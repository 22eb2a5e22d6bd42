#include "app/app_directory.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef VELMORA_SHARED_DATA_FROM_BIN
#define VELMORA_SHARED_DATA_FROM_BIN "../share/velmora"
#endif

namespace velmora {
namespace {

// The per-user data directory for Velmora, following the XDG base directory rules.
QString userDataDirectory() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/velmora");
}

bool isWritableDirectory(const QString& path) {
    return !path.isEmpty() && ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

// An installed program finds its shared data folder beside its bin folder; a build tree or a
// copy of the executable in some folder does not have one.
bool isInstalled() {
    return QFileInfo(sharedDataDirectory()).isDir();
}

}  // namespace

QString executableDirectory() {
    return QCoreApplication::applicationDirPath();
}

QString sharedDataDirectory() {
    return QDir::cleanPath(executableDirectory() + QLatin1Char('/') + QStringLiteral(VELMORA_SHARED_DATA_FROM_BIN));
}

QString applicationDirectory() {
    QString directory = qEnvironmentVariable("VELMORA_HOME");
    if (directory.isEmpty()) {
        directory = executableDirectory();
        if (isInstalled() || !isWritableDirectory(directory)) directory = userDataDirectory();
    }
    directory = QDir::cleanPath(QDir(directory).absolutePath());
    QDir().mkpath(directory);
    return directory;
}

QString applicationFile(const QString& name) {
    return applicationDirectory() + QLatin1Char('/') + name;
}

QString languageFile(const QString& name) {
    const QString own = applicationFile(name);
    if (QFileInfo::exists(own)) return own;
    const QString besideExecutable = executableDirectory() + QLatin1Char('/') + name;
    if (QFileInfo::exists(besideExecutable)) return besideExecutable;
    const QString shared = sharedDataDirectory() + QLatin1Char('/') + name;
    if (QFileInfo::exists(shared)) return shared;
    return besideExecutable;
}

}  // namespace velmora
