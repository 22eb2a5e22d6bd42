// Screen capture on a Wayland desktop goes through the desktop portal. These tests run on a
// private session bus (dbus-run-session) against a stand-in portal process that answers as a
// real one would: with a picture, after a refusal of a quiet request, as cancelled, or never.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/main_window.h"
#include "app/screen_capture.h"
#include "app/screenshot_portal.h"
#include "app_test_support.h"
#include "decode_test_support.h"

using velmora::PortalScreenshot;
using velmora::test::fileBytes;
using velmora::test::ScratchHome;

namespace {

const QString kPortalName = QStringLiteral("org.freedesktop.portal.Desktop");

bool portalRegistered() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortalName);
}

}  // namespace

class PortalTakesScreenshots : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;
    std::unique_ptr<QProcess> portal_;

    const QPoint symbolPlace_{300, 150};

    QString picturePath() const { return home_->file("portal-screen.png"); }
    int screenshotsSaved() const {
        return QDir(home_->path()).entryList({QStringLiteral("Screenshot *.png")}, QDir::Files).size();
    }
    QByteArray calls() const { return fileBytes(home_->file("portal-calls.txt")); }

    // Starts the stand-in portal in a mode, showing a screen with one symbol.
    void startPortal(const QString& mode) {
        QImage screen(QGuiApplication::primaryScreen()->geometry().size(), QImage::Format_RGB32);
        screen.fill(Qt::darkGray);
        QPainter painter(&screen);
        painter.drawImage(symbolPlace_, velmora::test::symbolPicture("on the portal's screen"));
        painter.end();
        QVERIFY(screen.save(picturePath()));
        portal_ = std::make_unique<QProcess>();
        portal_->setProcessChannelMode(QProcess::ForwardedChannels);
        portal_->start(QStringLiteral(VELMORA_FAKE_PORTAL), {mode, picturePath(), home_->file("portal-calls.txt")});
        QVERIFY(portal_->waitForStarted());
        QTRY_VERIFY(portalRegistered());
    }

private slots:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected()) QSKIP("no session bus: run under dbus-run-session");
    }
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() {
        if (portal_) {
            portal_->kill();
            portal_->waitForFinished();
            portal_.reset();
        }
        QTRY_VERIFY(!portalRegistered());
        qunsetenv("XDG_SESSION_TYPE");
        home_.reset();
    }

    void quietRequestComesFirst() {
        startPortal(QStringLiteral("take"));
        const PortalScreenshot shot = velmora::takePortalScreenshot(5000);
        QCOMPARE(shot.outcome, PortalScreenshot::Outcome::Taken);
        QCOMPARE(shot.picture.size(), QImage(picturePath()).size());
        QCOMPARE(calls(), QByteArray("quiet\n"));
    }

    void refusedQuietRequestAsksTheUser() {
        startPortal(QStringLiteral("ask-first"));
        const PortalScreenshot shot = velmora::takePortalScreenshot(5000);
        QCOMPARE(shot.outcome, PortalScreenshot::Outcome::Taken);
        QCOMPARE(calls(), QByteArray("quiet\ninteractive\n"));
    }

    void cancelledIsNoFailure() {
        startPortal(QStringLiteral("cancel"));
        const PortalScreenshot shot = velmora::takePortalScreenshot(5000);
        QCOMPARE(shot.outcome, PortalScreenshot::Outcome::Cancelled);
        QVERIFY(shot.picture.isNull());
    }

    void missingOrSilentPortalFailsWithReason() {
        PortalScreenshot shot = velmora::takePortalScreenshot(5000);
        QCOMPARE(shot.outcome, PortalScreenshot::Outcome::Failed);
        QVERIFY2(shot.error.contains(QStringLiteral("no screenshot portal")), qPrintable(shot.error));
        startPortal(QStringLiteral("silent"));
        shot = velmora::takePortalScreenshot(300);
        QCOMPARE(shot.outcome, PortalScreenshot::Outcome::Failed);
        QVERIFY2(shot.error.contains(QStringLiteral("did not answer")), qPrintable(shot.error));
    }

    void wholeScreenCommandReadsThePortalsPicture() {
        qputenv("XDG_SESSION_TYPE", "wayland");
        QVERIFY(velmora::capturesThroughPortal());
        startPortal(QStringLiteral("take"));
        velmora::TForm1 window;
        window.ToolButton_ScreenGrabClick();
        QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("on the portal's screen\r\n"));
        QCOMPARE(QImage(home_->file("temp.bmp")).size(), QImage(picturePath()).size());
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
    }

    // The area is cut from the frozen screen the user framed it on: one request, one dialog at
    // most and one screenshot saved by the portal, and the framed part is what is read.
    void areaCommandAsksThePortalOnce() {
        qputenv("XDG_SESSION_TYPE", "wayland");
        startPortal(QStringLiteral("take"));
        velmora::TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect framed(symbolPlace_ - QPoint(20, 20),
                           velmora::test::symbolPicture("on the portal's screen").size() + QSize(40, 40));
        QTimer::singleShot(100, [framed] {
            QWidget* area = QApplication::activeModalWidget();
            QVERIFY(area != nullptr && area->objectName() == QStringLiteral("FormScreen"));
            QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, area->mapFromGlobal(framed.topLeft()));
            QTest::mouseMove(area, area->mapFromGlobal(framed.center()));
            QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier,
                                area->mapFromGlobal(framed.bottomRight() + QPoint(1, 1)));
        });
        window.ToolButton_AreaGrabClick();
        QCOMPARE(calls(), QByteArray("quiet\n"));
        QCOMPARE(screenshotsSaved(), 1);
        QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("on the portal's screen\r\n"));
        QCOMPARE(QImage(home_->file("temp.bmp")).size(), framed.size());
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
    }

    void wholeScreenCommandWithoutPicture() {
        qputenv("XDG_SESSION_TYPE", "wayland");
        velmora::TForm1 window;
        // No portal: a message says so, and no black picture is read as a failure.
        auto box = velmora::test::answerNextMessageBox();
        window.ToolButton_ScreenGrabClick();
        QTRY_VERIFY(box->shown);
        QVERIFY2(box->text.startsWith(QStringLiteral("The screen cannot be captured")), qPrintable(box->text));
        QVERIFY(!QFile::exists(home_->file("temp.bmp")));
        // The user cancels the portal's request: nothing is read and nothing is asked.
        startPortal(QStringLiteral("cancel"));
        window.setStatusText(QString());
        box = velmora::test::answerNextMessageBox();
        window.ToolButton_AreaGrabClick();
        QTest::qWait(100);
        QVERIFY(!box->shown);
        QVERIFY(!QFile::exists(home_->file("temp.bmp")));
        QVERIFY(!QFile::exists(home_->file("log.txt")));
    }
};

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv, {suite<PortalTakesScreenshots>()});
}

#include "screenshot_portal_test.moc"
