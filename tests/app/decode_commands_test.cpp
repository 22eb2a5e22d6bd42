// The reading side of the main window: the decode report in the log box, the status bar and
// log.txt; Open with good and bad files; dropped and pasted pictures; the refusal while the
// camera grabs; and the area window's rectangle.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/area_window.h"
#include "app/caption_panel.h"
#include "app/decode_log.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/picture_name_filters.h"
#include "app/picture_view.h"
#include "app_test_support.h"
#include "decode_test_support.h"
#include "tests/codecs/full_disk.h"

using velmora::TForm1;
using velmora::test::boxLines;
using velmora::test::fileBytes;
using velmora::test::ScratchHome;
using velmora::test::symbolPicture;

namespace {

// The main window with the open dialog answered by the test.
class OpeningWindow : public TForm1 {
public:
    QString nextName;
    int dialogs = 0;
    QString startFolder;  // where the last dialog started

protected:
    QString chooseOpenFileName(const QString& folder) override {
        startFolder = folder;
        ++dialogs;
        return nextName;
    }
};

const QString kRule(73, QLatin1Char('-'));

QString savePicture(const ScratchHome& home, const QString& name, const QImage& picture) {
    const QString path = home.file(name);
    if (!picture.save(path)) qFatal("cannot save %s", qPrintable(path));
    return path;
}

bool imageShown(QObject* window) {
    return !window->findChild<velmora::PictureView*>(QStringLiteral("Image1"))->isHidden();
}

}  // namespace

// What one decode writes: the blocks in the log box, the status and one log.txt line per symbol.
class DecodeReportFollowsRecord : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void oneSymbolGivesOneBlockAndOneLogLine() {
        TForm1 window;
        const QString path = savePicture(*home_, QStringLiteral("v3.png"),
                                         symbolPicture("Version three at level M", 1, 3, 5));
        QCOMPARE(window.DecodeFile(path), 1);
        const QStringList lines = boxLines(&window, "MemoData");
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines[0], QStringLiteral("Parsed Information 1:"));
        QCOMPARE(lines[1], kRule);
        QVERIFY2(lines[2].startsWith(QStringLiteral("Position:(16.0,16.0)-(")), qPrintable(lines[2]));
        QCOMPARE(lines[3], QStringLiteral("Color Normal, Direct"));
        QCOMPARE(lines[4], QStringLiteral("Version: 3   "));
        QCOMPARE(lines[5], QStringLiteral("Error level:M, Mask:5   "));
        QCOMPARE(lines[6], QStringLiteral("Content:"));
        QCOMPARE(lines[7], QStringLiteral("Version three at level M"));
        QCOMPARE(lines[8], kRule);
        QCOMPARE(lines[9], QString());
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
        QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("Version three at level M\r\n"));
        QVERIFY(imageShown(&window));
        QCOMPARE(window.findChild<velmora::PictureView*>(QStringLiteral("Image1"))->picture().size(),
                 QImage(path).size());
    }

    void linesOfTwoWritersAtOnceNeverMix() {
        // Lines longer than any stream buffer, so that a line written in pieces would show.
        const QString log = home_->file("log.txt");
        constexpr int kLines = 300;
        constexpr std::size_t kLength = 20000;
        pid_t writers[2] = {-1, -1};
        for (int w = 0; w < 2; ++w) {
            writers[w] = fork();
            QVERIFY(writers[w] >= 0);
            if (writers[w] == 0) {
                for (int i = 0; i < kLines; ++i)
                    velmora::AppendLog(log, std::string(kLength, static_cast<char>('a' + w)) + std::to_string(i));
                _exit(0);
            }
        }
        for (pid_t writer : writers) {
            int status = 0;
            QCOMPARE(waitpid(writer, &status, 0), writer);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const QByteArray bytes = fileBytes(log);
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QByteArray> lines = bytes.chopped(1).split('\n');  // each keeps its CR
        QCOMPARE(lines.size(), 2 * kLines);
        int next[2] = {0, 0};
        for (const QByteArray& line : lines) {
            const int w = line.startsWith('a') ? 0 : 1;
            const QByteArray whole = QByteArray(kLength, static_cast<char>('a' + w)) + QByteArray::number(next[w]++) + "\r";
            QVERIFY2(line == whole, line.left(40).constData());
        }
    }

    void twoSymbolsAreNumberedAndLoggedInOrder() {
        TForm1 window;
        const QString path = savePicture(*home_, QStringLiteral("two.png"),
                                         velmora::test::sideBySide({symbolPicture("left"), symbolPicture("right")}));
        QCOMPARE(window.DecodeFile(path), 2);
        const QStringList lines = boxLines(&window, "MemoData");
        QCOMPARE(lines.count(QStringLiteral("Parsed Information 1:")), 1);
        QCOMPARE(lines.count(QStringLiteral("Parsed Information 2:")), 1);
        QVERIFY(lines.indexOf(QStringLiteral("Parsed Information 1:")) < lines.indexOf(QStringLiteral("Parsed Information 2:")));
        const QByteArray log = fileBytes(home_->file("log.txt"));
        QVERIFY2(log == "left\r\nright\r\n" || log == "right\r\nleft\r\n", log.constData());
        // Reports accumulate; log.txt is appended to, never rewritten.
        QCOMPARE(window.DecodeFile(path), 2);
        QCOMPARE(fileBytes(home_->file("log.txt")), log + log);
        QCOMPARE(boxLines(&window, "MemoData").count(QStringLiteral("Parsed Information 2:")), 2);
    }

    void textsKeepTheirBytesInTheLog() {
        TForm1 window;
        // Line breaks reach log.txt unchanged and show as lines in the box.
        QString path = savePicture(*home_, QStringLiteral("lines.png"), symbolPicture("first\r\nsecond"));
        QCOMPARE(window.DecodeFile(path), 1);
        QVERIFY(boxLines(&window, "MemoData").contains(QStringLiteral("first")));
        QVERIFY(boxLines(&window, "MemoData").contains(QStringLiteral("second")));
        // A zero byte inside the text does not cut it short.
        path = savePicture(*home_, QStringLiteral("zero.png"), symbolPicture(QByteArray("ab\0cd", 5)));
        QCOMPARE(window.DecodeFile(path), 1);
        QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("first\r\nsecond\r\nab\0cd\r\n", 22));
        // Hanzi segments show as the Chinese they mean; the log keeps their GB 2312 bytes.
        const QByteArray gb2312("\xB6\xFE\xCE\xAC\xC2\xEB\xB2\xE2\xCA\xD4");
        path = savePicture(*home_, QStringLiteral("hanzi.png"), symbolPicture(gb2312));
        QCOMPARE(window.DecodeFile(path), 1);
        QVERIFY(boxLines(&window, "MemoData").contains(QString::fromUtf8("二维码测试")));
        QVERIFY(fileBytes(home_->file("log.txt")).endsWith(gb2312 + "\r\n"));
    }

    void reportSpeaksTheChosenLanguage() {
        QFile config(home_->file("Config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[language]\nLanID=1\n");
        config.close();
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini"), home_->file("Lan_Ch.ini")));
        TForm1 window;
        const QString path = savePicture(*home_, QStringLiteral("v1.png"), symbolPicture("A", 3, 1, 2));
        QCOMPARE(window.DecodeFile(path), 1);
        const QStringList lines = boxLines(&window, "MemoData");
        QCOMPARE(lines[0], QString::fromUtf8("已解码数据 1:"));
        QCOMPARE(lines[4], QString::fromUtf8("版本: 1   "));
        QCOMPARE(lines[5], QString::fromUtf8("纠错等级:H, 掩码:2   "));
        QCOMPARE(window.statusText(), QString::fromUtf8("已解码"));
    }

    void nothingFoundShowsThePictureAndFails() {
        TForm1 window;
        QImage blank(200, 200, QImage::Format_RGB32);
        blank.fill(Qt::white);
        const QString path = savePicture(*home_, QStringLiteral("blank.png"), blank);
        QCOMPARE(window.DecodeFile(path), 0);
        QCOMPARE(window.statusText(), QStringLiteral("Fail"));
        QVERIFY(imageShown(&window));
        QCOMPARE(boxLines(&window, "MemoData"), QStringList{QString()});
        QVERIFY(!QFile::exists(home_->file("log.txt")));
    }
};

// Open: the dialog's file is decoded; a file that is no picture is refused with its reason.
class OpenReadsChosenFile : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;
    QString lastMessage_;  // what the message box said about the last refused file

    // Opens name after a successful read, so that there is a picture and a log to lose.
    void openAfterRead(OpeningWindow& window, const QString& name) {
        window.nextName = savePicture(*home_, QStringLiteral("good.png"), symbolPicture("good"));
        window.ToolButton_OpenClick();
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
        const QByteArray log = fileBytes(home_->file("log.txt"));
        QVERIFY(log.endsWith("good\r\n"));
        window.nextName = name;
        const auto box = velmora::test::answerNextMessageBox();
        window.ToolButton_OpenClick();
        QTRY_VERIFY(box->shown);
        lastMessage_ = box->text;
        QVERIFY2(box->text.contains(QDir::toNativeSeparators(name)), qPrintable(box->text));
        QCOMPARE(window.statusText(), QStringLiteral("File Open Err"));
        QVERIFY(!imageShown(&window));
        QCOMPARE(fileBytes(home_->file("log.txt")), log);
        QCOMPARE(boxLines(&window, "MemoData").count(QStringLiteral("Parsed Information 1:")), 1);
    }

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void openClearsTheInputAndDecodes() {
        OpeningWindow window;
        QTest::keyClicks(window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1")), QStringLiteral("typed"));
        // Names with spaces and letters outside ASCII load like any other.
        window.nextName = savePicture(*home_, QString::fromUtf8("二维码 picture.PNG"), symbolPicture("spaced"));
        window.ToolButton_OpenClick();
        QCOMPARE(window.dialogs, 1);
        QCOMPARE(window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText(), QString());
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
        QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("spaced\r\n"));
    }

    void dialogOffersPicturesInAnyLetterCase() {
        // Matched exactly, as a desktop's own dialog may match them.
        const auto offered = [](const QString& name) {
            for (const QString& pattern : velmora::pictureNamePatterns()) {
                const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(pattern));
                if (wildcard.match(name).hasMatch()) return true;
            }
            return false;
        };
        for (const char* name : {"IMG_0001.JPG", "photo.jpeg", "scan.Tiff", "scan.tif", "shot.PNG", "art.tga",
                                 "old.pcx", "page.pnm", "grey.PGM", "still.jp2", "icon.ico", "phone.wbmp"})
            QVERIFY2(offered(QString::fromLatin1(name)), name);
        for (const char* name : {"notes.txt", "movie.mp4", "png", "archive.png.gz"})
            QVERIFY2(!offered(QString::fromLatin1(name)), name);
        QVERIFY(velmora::openDialogFilter().endsWith(QStringLiteral(";;All files (*)")));
    }

    void cancelledDialogChangesNothing() {
        OpeningWindow window;
        window.setStatusText(QStringLiteral("before"));
        window.ToolButton_OpenClick();
        QCOMPARE(window.dialogs, 1);
        QCOMPARE(window.statusText(), QStringLiteral("before"));
    }

    void notAPicture() {
        OpeningWindow window;
        QFile text(home_->file("notes.png"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("these are words, not pixels\n");
        text.close();
        openAfterRead(window, text.fileName());
    }

    void emptyAndTruncatedFiles() {
        OpeningWindow window;
        QFile empty(home_->file("empty.jpg"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        openAfterRead(window, empty.fileName());

        const QString whole = savePicture(*home_, QStringLiteral("whole.bmp"), symbolPicture("cut"));
        QFile cut(home_->file("cut.bmp"));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(fileBytes(whole).left(200));
        cut.close();
        OpeningWindow again;
        openAfterRead(again, cut.fileName());
    }

    void directoryAndVanishedFile() {
        OpeningWindow window;
        QVERIFY(QDir(home_->path()).mkdir(QStringLiteral("folder.png")));
        openAfterRead(window, home_->file("folder.png"));
        OpeningWindow again;
        openAfterRead(again, home_->file("gone.png"));
    }

    void unreadablePathsNameTheirProblem() {
        QVERIFY(QDir(home_->path()).mkdir(QStringLiteral("scans")));
        QVERIFY(mkfifo(QFile::encodeName(home_->file("pipe.png")).constData(), 0600) == 0);
        QVERIFY(QFile::link(home_->file("loop.png"), home_->file("loop.png")));
        const std::pair<QString, QString> cases[] = {
            {home_->file("scans"), QStringLiteral("is a directory")},
            {home_->file("pipe.png"), QStringLiteral("not a regular file")},
            {QStringLiteral("/dev/null"), QStringLiteral("not a regular file")},
            {home_->file("loop.png"), QStringLiteral("too many levels of symbolic links")},
        };
        for (const auto& [name, problem] : cases) {
            OpeningWindow window;
            openAfterRead(window, name);
            QVERIFY2(lastMessage_.endsWith(QStringLiteral(": ") + problem), qPrintable(lastMessage_));
        }
    }

    void refusedWhileTheCameraGrabs() {
        OpeningWindow window;
        window.findChild<QTimer*>(QStringLiteral("TimerCam"))->start();
        window.setStatusText(QStringLiteral("grabbing"));
        for (auto command : {&TForm1::ToolButton_OpenClick, &TForm1::ToolButton_ScreenGrabClick,
                             &TForm1::ToolButton_AreaGrabClick}) {
            const auto box = velmora::test::answerNextMessageBox();
            (window.*command)();
            QTRY_VERIFY(box->shown);
            QCOMPARE(box->text, QStringLiteral("Please turn off the camera !"));
        }
        QCOMPARE(window.dialogs, 0);
        QCOMPARE(window.statusText(), QStringLiteral("grabbing"));
        QVERIFY(!QFile::exists(home_->file("temp.bmp")));
        window.findChild<QTimer*>(QStringLiteral("TimerCam"))->stop();
    }
};

// Pictures that arrive by drag and drop or the clipboard take the road of Open and captures.
class PicturesArriveByDropAndPaste : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

    static void drop(QWidget* target, const QStringList& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : files) urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        const QPoint centre = target->rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QVERIFY(dropped.isAccepted());
    }

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void droppedFilesDecodeInOrder() {
        TForm1 window;
        window.show();
        const QString first = savePicture(*home_, QStringLiteral("first.png"), symbolPicture("first"));
        const QString second = savePicture(*home_, QStringLiteral("second.jpeg"), symbolPicture("second"));
        drop(&window, {first, second});
        QTRY_COMPARE(fileBytes(home_->file("log.txt")), QByteArray("first\r\nsecond\r\n"));
        // Dropped on the input box, a picture is read rather than typed in as its name.
        auto* input = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        drop(input->viewport(), {first});
        QTRY_COMPARE(fileBytes(home_->file("log.txt")), QByteArray("first\r\nsecond\r\nfirst\r\n"));
        QCOMPARE(input->toPlainText(), QString());
    }

    void pastedPictureIsSavedAndDecoded() {
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::clipboard()->setImage(symbolPicture("pasted"));
        auto* input = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        input->setFocus();
        QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE(fileBytes(home_->file("log.txt")), QByteArray("pasted\r\n"));
        QCOMPARE(QImage(home_->file("temp.bmp")).size(), symbolPicture("pasted").size());
        QCOMPARE(QImage(home_->file("temp.bmp")).depth(), 32);  // read back as RGB32 from 24 bits
        // Text on the clipboard is still pasted into the input box.
        QApplication::clipboard()->setText(QStringLiteral("words"));
        QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(input->toPlainText(), QStringLiteral("words"));
        QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("pasted\r\n"));
    }

    void aFullDiskKeepsTheLastCaptureAndSaysWhy() {
        velmora::test::FullDisk disk;
        if (!disk.ready()) QSKIP(disk.reason().c_str());
        TForm1 window;
        // The window is made in the scratch home; the capture then goes to the full disk.
        qputenv("VELMORA_HOME", QByteArray::fromStdString(disk.folder()));
        const QString capture = QString::fromStdString(disk.path("temp.bmp"));
        QVERIFY(symbolPicture("the capture before").save(capture));
        const QByteArray before = fileBytes(capture);
        QVERIFY(disk.fill());
        QApplication::clipboard()->setImage(symbolPicture("pasted on a full disk"));
        window.pasteClipboardPicture();
        qputenv("VELMORA_HOME", home_->path().toLocal8Bit());
        QVERIFY(boxLines(&window, "MemoData").contains(QStringLiteral("pasted on a full disk")));
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
        QCOMPARE(window.statusNote(), QStringLiteral("temp.bmp not saved: %1: No space left on device").arg(capture));
        QCOMPARE(fileBytes(capture), before);
        for (const std::string& name : disk.names()) QVERIFY2(!name.ends_with(".part"), name.c_str());
    }

    void unwritableFilesDoNotHoldBackTheReport() {
        // Folders in the way of temp.bmp and log.txt make both unwritable, even for root.
        QVERIFY(QDir(home_->path()).mkdir(QStringLiteral("temp.bmp")));
        QVERIFY(QDir(home_->path()).mkdir(QStringLiteral("log.txt")));
        TForm1 window;
        QApplication::clipboard()->setImage(symbolPicture("still reported"));
        window.pasteClipboardPicture();
        QVERIFY(boxLines(&window, "MemoData").contains(QStringLiteral("still reported")));
        QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
        QVERIFY2(window.statusNote().startsWith(QStringLiteral("temp.bmp not saved")), qPrintable(window.statusNote()));
    }
};

// The area window: a left-button drag gives the ordered rectangle; Escape gives none.
class AreaWindowHandsBackRectangle : public QObject {
    Q_OBJECT

    // A frozen screen of the offscreen platform's size.
    static velmora::ScreenPicture snapshot() {
        velmora::ScreenPicture shot;
        shot.geometry = QGuiApplication::primaryScreen()->geometry();
        shot.picture = QImage(shot.geometry.size(), QImage::Format_RGB32);
        shot.picture.fill(Qt::white);
        return shot;
    }

    static velmora::AreaRect drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton) {
        velmora::TFormScreen window(snapshot(), nullptr);
        window.show();
        QTest::mousePress(&window, button, Qt::NoModifier, window.mapFromGlobal(from));
        QTest::mouseMove(&window, window.mapFromGlobal((from + to) / 2));
        QTest::mouseMove(&window, window.mapFromGlobal(to));
        QTest::mouseRelease(&window, button, Qt::NoModifier, window.mapFromGlobal(to));
        return window.result();
    }

    static bool same(const velmora::AreaRect& a, int left, int top, int right, int bottom) {
        return a.left == left && a.top == top && a.right == right && a.bottom == bottom;
    }

private slots:
    void dragInEitherDirection() {
        QVERIFY(same(drag({100, 100}, {300, 250}), 100, 100, 300, 250));
        QVERIFY(same(drag({300, 250}, {100, 100}), 100, 100, 300, 250));
        QVERIFY(same(drag({300, 100}, {100, 250}), 100, 100, 300, 250));
        const velmora::AreaRect click = drag({120, 80}, {120, 80});
        QVERIFY(same(click, 120, 80, 120, 80));
        QVERIFY(click.isEmpty());
    }

    void onlyTheLeftButtonClosesAndEscapeLeavesEmpty() {
        velmora::TFormScreen window(snapshot(), nullptr);
        window.show();
        QTest::mousePress(&window, Qt::RightButton, Qt::NoModifier, QPoint(50, 50));
        QTest::mouseRelease(&window, Qt::RightButton, Qt::NoModifier, QPoint(90, 90));
        QVERIFY(window.isVisible());
        QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseMove(&window, QPoint(60, 40));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), velmora::AreaRect{});
        QVERIFY(window.result().isEmpty());
    }

    // Escape, or a click that frames nothing, tries nothing: the status and temp.bmp stay.
    void nothingFramedLeavesTheStatus() {
        velmora::test::ScratchHome home;
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const std::vector<std::function<void(QWidget*)>> ways = {
            [](QWidget* area) { QTest::keyClick(area, Qt::Key_Escape); },
            [](QWidget* area) { QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40)); },
        };
        for (const auto& leave : ways) {
            window.setStatusText(QStringLiteral("Decoded"));
            QTimer::singleShot(100, [&leave] {
                QWidget* area = QApplication::activeModalWidget();
                QVERIFY(area != nullptr && area->objectName() == QStringLiteral("FormScreen"));
                leave(area);
            });
            window.ToolButton_AreaGrabClick();
            QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
            QVERIFY(!QFile::exists(home.file(QStringLiteral("temp.bmp"))));
        }
    }

    void regionTakesTheDevicePixelsUnderTheRectangle() {
        // A screen of 100 x 50 logical pixels shown at twice the density.
        velmora::ScreenPicture shot;
        shot.geometry = QRect(0, 0, 100, 50);
        shot.pixelRatio = 2;
        shot.picture = QImage(200, 100, QImage::Format_RGB32);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) shot.picture.setPixel(x, y, qRgb(x, y, 0));
        const QImage region = shot.region({10, 5, 30, 25});
        QCOMPARE(region.size(), QSize(40, 40));
        QCOMPARE(region.pixel(0, 0), qRgb(20, 10, 0));
        QCOMPARE(region.pixel(39, 39), qRgb(59, 49, 0));
        // Off the screen's edge it is clipped; beyond it there is nothing.
        QCOMPARE(shot.region({90, 40, 150, 90}).size(), QSize(20, 20));
        QVERIFY(shot.region({150, 60, 180, 90}).isNull());
        QVERIFY(shot.region({10, 10, 10, 30}).isNull());
    }
};

namespace velmora {
bool operator==(const AreaRect& a, const AreaRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
}  // namespace velmora

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv,
                    {suite<DecodeReportFollowsRecord>(), suite<OpenReadsChosenFile>(),
                     suite<PicturesArriveByDropAndPaste>(), suite<AreaWindowHandsBackRectangle>()});
}

#include "decode_commands_test.moc"
