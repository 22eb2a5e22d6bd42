#include "app/app_directory.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

}  // namespace

QString executableDirectory() {
    return QCoreApplication::applicationDirPath();
}

QString applicationDirectory() {
    QString directory = qEnvironmentVariable("VELMORA_HOME");
    if (directory.isEmpty()) {
        directory = executableDirectory();
        if (!isWritableDirectory(directory)) directory = userDataDirectory();
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
    return executableDirectory() + QLatin1Char('/') + name;
}

}  // namespace velmora
