#include "app/help_document.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/app_resources.h"

namespace velmora {

qint64 embeddedHelpDocumentSize() {
    initAppResources();
    return QFileInfo(kHelpDocumentResource).size();
}

bool extractHelpDocument(const QString& directory, bool& written, QString& error) {
    written = false;
    const QString path = directory + QLatin1Char('/') + kHelpDocumentName;
    const QFileInfo existing(path);
    const qint64 present = existing.exists() ? existing.size() : 0;
    if (present == embeddedHelpDocumentSize()) return true;

    QFile source(kHelpDocumentResource);
    if (!source.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The built-in manual cannot be read.");
        return false;
    }
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) != source.size() || !target.commit()) {
        error = QStringLiteral("%1: %2").arg(path, target.errorString());
        return false;
    }
    written = true;
    return true;
}

}  // namespace velmora
