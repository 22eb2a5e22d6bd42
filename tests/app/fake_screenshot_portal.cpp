// Test stand-in for the desktop portal's Screenshot interface on a private session bus. It owns
// org.freedesktop.portal.Desktop and answers each Screenshot request the way its mode says,
// through the Request object's Response signal as the real portal does, and appends one line per
// request ("interactive" or "quiet") to the call log. Like a real portal it saves every picture
// it takes as a new file, "Screenshot N.png" beside the call log, and answers with that file.
// Usage: fake_screenshot_portal MODE PICTURE CALL_LOG, MODE one of
//   take        answer every request with PICTURE
//   cancel      answer as if the user cancelled
//   ask-first   refuse quiet requests, answer interactive ones with PICTURE
//   silent      never answer
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <cstdio>

class ScreenshotPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")

public:
    ScreenshotPortal(QString mode, QString picture, QString callLog)
        : mode_(std::move(mode)), picture_(std::move(picture)), callLog_(std::move(callLog)) {}

public slots:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options, const QDBusMessage& message) {
        const bool interactive = options.value(QStringLiteral("interactive")).toBool();
        QFile log(callLog_);
        if (log.open(QIODevice::Append)) log.write(interactive ? "interactive\n" : "quiet\n");

        QString sender = message.service();
        sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        uint code = 0;
        if (mode_ == QLatin1String("cancel")) code = 1;
        if (mode_ == QLatin1String("ask-first") && !interactive) code = 2;
        if (mode_ != QLatin1String("silent")) {
            // The answer comes after the call returns, as it does from a real portal.
            QTimer::singleShot(50, this, [this, path, code] {
                QDBusMessage response = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                                   QStringLiteral("Response"));
                QVariantMap results;
                if (code == 0) results.insert(QStringLiteral("uri"), QUrl::fromLocalFile(saveScreenshot()).toString());
                response << code << results;
                QDBusConnection::sessionBus().send(response);
            });
        }
        return QDBusObjectPath(path);
    }

private:
    // A new file holding the picture, numbered from 1.
    QString saveScreenshot() {
        const QString saved =
            QFileInfo(callLog_).dir().filePath(QStringLiteral("Screenshot %1.png").arg(++screenshotsSaved_));
        QFile::copy(picture_, saved);
        return saved;
    }

    QString mode_, picture_, callLog_;
    int screenshotsSaved_ = 0;
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: fake_screenshot_portal MODE PICTURE CALL_LOG\n");
        return 2;
    }
    ScreenshotPortal portal(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                            QString::fromLocal8Bit(argv[3]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "fake_screenshot_portal: cannot take the portal's name on the session bus\n");
        return 1;
    }
    return application.exec();
}

#include "fake_screenshot_portal.moc"
