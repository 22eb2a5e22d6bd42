#include "app/help_document.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/app_resources.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

const QString kPdfType = QStringLiteral("application/pdf");
// xdg-mime is a shell script that reads a few small files; a desktop that takes longer than
// this to answer is treated as having no answer.
constexpr int kQueryMilliseconds = 3000;

// The default application that xdg-mime names for PDF documents; empty when it names none or
// cannot be run.
QString defaultPdfApplication() {
    QProcess query;
    query.setProgram(QStringLiteral("xdg-mime"));
    query.setArguments({QStringLiteral("query"), QStringLiteral("default"), kPdfType});
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(QIODevice::ReadOnly);
    if (!query.waitForStarted(kQueryMilliseconds)) return {};
    if (!query.waitForFinished(kQueryMilliseconds)) {
        query.kill();
        query.waitForFinished();
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

// Whether a mimeinfo.cache of the XDG application directories lists an application for PDF
// documents: a line "application/pdf=name.desktop;...".
bool mimeDatabaseListsPdfApplication() {
    const QByteArray key = kPdfType.toLatin1() + '=';
    for (const QString& directory : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QFile cache(directory + QStringLiteral("/mimeinfo.cache"));
        if (!cache.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
        while (!cache.atEnd()) {
            const QByteArray line = cache.readLine().trimmed();
            if (!line.startsWith(key)) continue;
            for (const QByteArray& application : line.mid(key.size()).split(';'))
                if (!application.trimmed().isEmpty()) return true;
        }
    }
    return false;
}

}  // namespace

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
    const QByteArray manual = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    if (manual.isEmpty() || manual.size() != source.size()) {
        error = QStringLiteral("The built-in manual cannot be read.");
        return false;
    }
    // Written beside and renamed, so that a full disk leaves the manual that was there.
    std::string reason;
    if (!writeFileWhole(QFile::encodeName(path).toStdString(), manual.constData(), static_cast<std::size_t>(manual.size()),
                        reason)) {
        error = QString::fromLocal8Bit(reason.c_str());
        return false;
    }
    written = true;
    return true;
}

bool pdfReaderAvailable() {
    return !defaultPdfApplication().isEmpty() || mimeDatabaseListsPdfApplication();
}

}  // namespace velmora
