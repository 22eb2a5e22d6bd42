// The camera in the main window, driven through its two commands with [camera] sSource naming
// videos the tests write: grabbing until one frame yields one symbol, two symbols that keep it
// going, camera off and closing during grabbing, the two camera messages, a source that stops
// delivering, and the commands refused while grabbing.
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/camera_device.h"
#include "app/camera_source.h"
#include "app/camera_worker.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/picture_view.h"
#include "app_test_support.h"
#include "camera_test_support.h"
#include "decode_test_support.h"
#include "silent_pipe.h"

using velmora::TForm1;
using velmora::test::boxLines;
using velmora::test::fileBytes;
using velmora::test::ScratchHome;

namespace {

constexpr int kLongWait = 20000;

// Config.ini naming the camera source (empty for none) and the symbols wanted per frame.
void writeConfig(const ScratchHome& home, const QString& source, int wanted = 4) {
    QFile file(home.file(QStringLiteral("Config.ini")));
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write Config.ini");
    file.write("[camera]\r\n");
    if (!source.isEmpty()) file.write("sSource=" + QFile::encodeName(source) + "\r\n");
    file.write("[decode]\r\niQrMsg_Max=" + QByteArray::number(wanted) + "\r\n");
}

// Writes frames as home/name, an MJPG video in AVI, and names it in Config.ini.
QString useVideo(const ScratchHome& home, const QString& name, const std::vector<cv::Mat>& frames, int wanted = 4) {
    const QString path = home.file(name);
    velmora::test::writeVideo(QFile::encodeName(path).toStdString(), frames);
    writeConfig(home, path, wanted);
    return path;
}

std::vector<cv::Mat> blankFrames(int count) {
    std::vector<cv::Mat> frames;
    for (int k = 0; k < count; ++k) frames.push_back(velmora::test::blankPage(k % 60));
    return frames;
}

template <typename T>
T* child(QObject* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

QTimer* timerCam(QObject* window) { return child<QTimer>(window, "TimerCam"); }
bool grabbing(QObject* window) { return timerCam(window)->isActive(); }
const QImage& preview(QObject* window) { return child<velmora::PictureView>(window, "Image2")->picture(); }

// Report blocks in the log box.
int reportBlocks(QObject* window) {
    return static_cast<int>(boxLines(window, "MemoData").filter(QStringLiteral("Parsed Information")).size());
}

// Lines in log.txt, each ended by CR LF.
int logLines(const ScratchHome& home) {
    return static_cast<int>(fileBytes(home.file(QStringLiteral("log.txt"))).count("\r\n"));
}

// Camera on through its command; true when it opened.
bool cameraOn(TForm1& window) {
    child<QAction>(&window, "N_Cam")->trigger();
    return window.CameraConnected();
}

// Grabbing on or off through its command.
void toggleGrabbing(TForm1& window) {
    child<QAction>(&window, "N_CamGrab")->trigger();
}

// True when grabbing can be started from the menu and the tool bar.
bool grabbingEnabled(QObject* window) {
    return child<QAction>(window, "N_CamGrab")->isEnabled() &&
           child<QToolButton>(window, "ToolButton_CamParse")->isEnabled();
}

}  // namespace

// Grabbing decodes frame after frame until one frame yields exactly one symbol.
class CameraGrabsUntilOneSymbol : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void oneSymbolReportsOnceThenGrabbingAgainReadsAgain() {
        const std::string text = "https://velmora.example/window";
        std::vector<cv::Mat> frames = blankFrames(3);
        for (int k = 0; k < 40; ++k) frames.push_back(velmora::test::symbolPage(text));
        useVideo(*home_, QStringLiteral("clip.avi"), frames);

        TForm1 window;
        QVERIFY(!grabbingEnabled(&window));
        QVERIFY(cameraOn(window));
        QVERIFY(child<QAction>(&window, "N_Cam")->isChecked());
        QVERIFY(grabbingEnabled(&window));
        QTest::qWait(300);
        QVERIFY2(preview(&window).isNull(), "opening the camera alone shows no preview");

        child<QPlainTextEdit>(&window, "Memo1")->setPlainText(QStringLiteral("typed"));
        toggleGrabbing(window);
        QVERIFY(grabbing(&window));
        QVERIFY(child<QPlainTextEdit>(&window, "Memo1")->toPlainText().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!grabbing(&window), kLongWait);
        QCOMPARE(reportBlocks(&window), 1);
        QCOMPARE(fileBytes(home_->file(QStringLiteral("log.txt"))), QByteArray::fromStdString(text + "\r\n"));
        QCOMPARE(window.statusText(), velmora::currentUiTexts().decoded);
        QVERIFY(window.CameraConnected());
        QVERIFY(grabbingEnabled(&window));
        QTRY_VERIFY_WITH_TIMEOUT(window.cameraWorker()->Suspended(), 1000);
        QCOMPARE(preview(&window).size(), QSize(640, 480));
        // The preview freezes on its last picture.
        const qint64 frozen = preview(&window).cacheKey();
        const long long steps = window.cameraWorker()->PreviewSteps();
        QTest::qWait(400);
        QCOMPARE(preview(&window).cacheKey(), frozen);
        QCOMPARE(window.cameraWorker()->PreviewSteps(), steps);

        toggleGrabbing(window);
        QVERIFY(grabbing(&window));
        QTRY_VERIFY_WITH_TIMEOUT(!grabbing(&window), kLongWait);
        QCOMPARE(reportBlocks(&window), 2);
        QCOMPARE(logLines(*home_), 2);
        QVERIFY(window.cameraWorker()->PreviewSteps() > steps);
    }

    void twoSymbolsWithFourWantedKeepGrabbing() {
        cv::Mat two = velmora::test::blankPage();
        velmora::test::drawSymbol(two, "LEFT SYMBOL", cv::Point(20, 120));
        velmora::test::drawSymbol(two, "RIGHT SYMBOL", cv::Point(340, 120));
        useVideo(*home_, QStringLiteral("two.avi"), std::vector<cv::Mat>(60, two), 4);

        TForm1 window;
        QVERIFY(cameraOn(window));
        toggleGrabbing(window);
        QTRY_VERIFY_WITH_TIMEOUT(logLines(*home_) >= 6, kLongWait);
        QVERIFY2(grabbing(&window), "two symbols in a frame do not end grabbing");
        // Every decoded tick adds both symbols, to the log box and to log.txt alike.
        const int lines = logLines(*home_);
        QCOMPARE(lines % 2, 0);
        QCOMPARE(reportBlocks(&window), lines);
        const QByteArray log = fileBytes(home_->file(QStringLiteral("log.txt")));
        QCOMPARE(log.count("LEFT SYMBOL\r\n"), lines / 2);
        QCOMPARE(log.count("RIGHT SYMBOL\r\n"), lines / 2);

        toggleGrabbing(window);
        QVERIFY(!grabbing(&window));
        QVERIFY(window.cameraWorker()->Suspended());
        QVERIFY(window.CameraConnected());
    }
};

// Turning the camera off and closing the window while grabbing.
class CameraEndsDuringGrabbing : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() {
        home_ = std::make_unique<ScratchHome>();
        useVideo(*home_, QStringLiteral("blank.avi"), blankFrames(200));
    }
    void cleanup() { home_.reset(); }

    void cameraOffStopsEverythingAndDisablesGrabbing() {
        TForm1 window;
        QVERIFY(cameraOn(window));
        toggleGrabbing(window);
        QTRY_VERIFY_WITH_TIMEOUT(!preview(&window).isNull(), kLongWait);
        QVERIFY(grabbing(&window));

        child<QAction>(&window, "N_Cam")->trigger();
        QVERIFY(!grabbing(&window));
        QVERIFY(window.cameraWorker()->Suspended());
        QVERIFY(!window.CameraConnected());
        QVERIFY(!child<QAction>(&window, "N_Cam")->isChecked());
        QVERIFY(!grabbingEnabled(&window));
        QVERIFY2(preview(&window).isNull(), "a closed camera leaves its last picture in the preview");
        const long long steps = window.cameraWorker()->PreviewSteps();
        QTest::qWait(300);
        QCOMPARE(window.cameraWorker()->PreviewSteps(), steps);

        // And on again: the source starts over and grabbing works as before.
        QVERIFY(cameraOn(window));
        toggleGrabbing(window);
        QTRY_VERIFY_WITH_TIMEOUT(window.cameraWorker()->PreviewSteps() > steps, kLongWait);
        toggleGrabbing(window);
    }

    void closingEndsTheWorkerAndClosesTheCamera() {
        auto* window = new TForm1;
        window->show();
        QVERIFY(cameraOn(*window));
        toggleGrabbing(*window);
        QTRY_VERIFY_WITH_TIMEOUT(window->cameraWorker()->PreviewSteps() >= 2, kLongWait);
        QPointer<const velmora::CamGrabShow> worker(window->cameraWorker());

        QElapsedTimer closing;
        closing.start();
        QVERIFY(window->close());
        QVERIFY(closing.elapsed() < 3000);
        QVERIFY2(worker.isNull(), "the worker has ended and is gone");
        QVERIFY(!grabbing(window));
        QVERIFY(!window->CameraConnected());
        QVERIFY(!grabbingEnabled(window));
        // Nothing of the camera runs any more.
        QTest::qWait(200);
        QVERIFY(!grabbing(window));
        delete window;
    }

    void destroyingWithoutClosingEndsTheWorkerToo() {
        auto* window = new TForm1;
        QVERIFY(cameraOn(*window));
        toggleGrabbing(*window);
        QTRY_VERIFY_WITH_TIMEOUT(window->cameraWorker()->PreviewSteps() >= 2, kLongWait);
        QPointer<const velmora::CamGrabShow> worker(window->cameraWorker());
        delete window;
        QVERIFY(worker.isNull());
        QTest::qWait(200);
    }
};

// What the user is told when there is no camera or it fails.
class CameraReportsFailures : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void noCameraAndNoSource() {
        if (!velmora::captureDevicePaths().empty()) QSKIP("this machine has a camera");
        writeConfig(*home_, QString());
        TForm1 window;
        const auto box = velmora::test::answerNextMessageBox();
        child<QAction>(&window, "N_Cam")->trigger();
        QVERIFY(box->shown);
        QCOMPARE(box->title, QStringLiteral("Camera"));
        QCOMPARE(box->text, QStringLiteral("No camera found!"));
        QCOMPARE(box->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(!window.CameraConnected());
        QVERIFY(!child<QAction>(&window, "N_Cam")->isChecked());
        QVERIFY(!grabbingEnabled(&window));
    }

    void aSourceThatDoesNotExist() {
        writeConfig(*home_, home_->file(QStringLiteral("missing.avi")));
        TForm1 window;
        const auto box = velmora::test::answerNextMessageBox();
        child<QAction>(&window, "N_Cam")->trigger();
        QVERIFY(box->shown);
        QCOMPARE(box->title, QStringLiteral("Camera"));
        QCOMPARE(box->text, QStringLiteral("The camera cannot be opened!"));
        QVERIFY(!window.CameraConnected());
        QVERIFY(!child<QAction>(&window, "N_Cam")->isChecked());
        QVERIFY(!grabbingEnabled(&window));
        // Grabbing cannot be forced on without a camera, and the input box keeps its text.
        child<QPlainTextEdit>(&window, "Memo1")->setPlainText(QStringLiteral("kept"));
        window.ToolButton_CamParseClick();
        QVERIFY(!grabbing(&window));
        QCOMPARE(child<QPlainTextEdit>(&window, "Memo1")->toPlainText(), QStringLiteral("kept"));
    }

    // With Chinese chosen both messages and their caption are the Chinese file's.
    void messagesFollowTheLanguage() {
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini"), home_->file(QStringLiteral("Lan_Ch.ini"))));
        writeConfig(*home_, home_->file(QStringLiteral("missing.avi")));
        QFile config(home_->file(QStringLiteral("Config.ini")));
        QVERIFY(config.open(QIODevice::Append));
        config.write("[language]\r\nLanID=1\r\n");
        config.close();
        TForm1 window;
        const auto box = velmora::test::answerNextMessageBox();
        child<QAction>(&window, "N_Cam")->trigger();
        QVERIFY(box->shown);
        QCOMPARE(box->title, QString::fromUtf8("摄像头"));
        QCOMPARE(box->text, QString::fromUtf8("不能打开摄像头!"));
        const velmora::CameraTexts chinese = velmora::readCameraTexts(home_->file(QStringLiteral("Lan_Ch.ini")));
        QCOMPARE(chinese.nocamera, QString::fromUtf8("未查找到摄像头!"));
    }

    void aSourceThatFallsSilentEndsGrabbingWithinTheBound() {
        const QString video = home_->file(QStringLiteral("clip.avi"));
        velmora::test::writeVideo(QFile::encodeName(video).toStdString(), blankFrames(40));
        const QString pipePath = home_->file(QStringLiteral("live.avi"));
        velmora::test::SilentPipe pipe(QFile::encodeName(pipePath).toStdString(), QFile::encodeName(video).toStdString());
        QVERIFY(pipe.made());
        writeConfig(*home_, pipePath);

        TForm1 window;
        QVERIFY(cameraOn(window));
        toggleGrabbing(window);
        QElapsedTimer running;
        running.start();
        // Twenty frames at most, then one grab that waits out its bound.
        QTRY_VERIFY_WITH_TIMEOUT(!grabbing(&window), 15000);
        QVERIFY(running.elapsed() >= velmora::CCameraDS::kGrabWait.count() - 100);
        QCOMPARE(window.statusText(), QStringLiteral("The camera stopped delivering pictures"));
        QTRY_VERIFY_WITH_TIMEOUT(window.cameraWorker()->Suspended(), 3000);

        // The window answers: its events run, and the camera goes off without waiting for the
        // stuck source longer than the device's own bound on closing.
        bool answered = false;
        QTimer::singleShot(0, &window, [&] { answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 200);
        QElapsedTimer off;
        off.start();
        child<QAction>(&window, "N_Cam")->trigger();
        QVERIFY(!window.CameraConnected());
        QVERIFY(off.elapsed() < 3000);
    }

    void aVideoAtItsEndEndsGrabbing() {
        useVideo(*home_, QStringLiteral("short.avi"), blankFrames(5));
        TForm1 window;
        QVERIFY(cameraOn(window));
        toggleGrabbing(window);
        QTRY_VERIFY_WITH_TIMEOUT(!grabbing(&window), kLongWait);
        QCOMPARE(window.statusText(), QStringLiteral("The camera has no more pictures"));
        QVERIFY(window.CameraConnected());
        QVERIFY(grabbingEnabled(&window));
        QCOMPARE(logLines(*home_), 0);
    }
};

namespace {

// The main window with its file dialogs answered by the test, counting how often they were asked.
class DialogCountingWindow : public TForm1 {
public:
    int dialogs = 0;
    QString startFolder;  // where the last dialog started

protected:
    QString chooseSaveFileName(const QString& folder) override {
        startFolder = folder;
        ++dialogs;
        return {};
    }
    QString chooseOpenFileName(const QString& folder) override {
        startFolder = folder;
        ++dialogs;
        return {};
    }
};

}  // namespace

// Save, ornament and the decode commands wait until the camera stops grabbing.
class CommandsWaitWhileGrabbing : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() {
        home_ = std::make_unique<ScratchHome>();
        useVideo(*home_, QStringLiteral("blank.avi"), blankFrames(300));
    }
    void cleanup() { home_.reset(); }

    void eachShowsCloseCameraAndChangesNothing() {
        DialogCountingWindow window;
        QVERIFY(cameraOn(window));
        toggleGrabbing(window);
        QTRY_VERIFY_WITH_TIMEOUT(!preview(&window).isNull(), kLongWait);
        for (auto command : {&TForm1::N_SaveClick, &TForm1::ToolButton_QrOrnamentClick, &TForm1::ToolButton_OpenClick,
                             &TForm1::ToolButton_ScreenGrabClick, &TForm1::ToolButton_AreaGrabClick}) {
            const auto box = velmora::test::answerNextMessageBox();
            (window.*command)();
            QVERIFY(box->shown);
            QCOMPARE(box->text, velmora::currentUiTexts().closecam);
        }
        QCOMPARE(window.dialogs, 0);
        // The ornament command would have put "Test" into the empty input box.
        QVERIFY(child<QPlainTextEdit>(&window, "Memo1")->toPlainText().isEmpty());
        QVERIFY(!QFile::exists(home_->file(QStringLiteral("temp.bmp"))));
        QVERIFY(grabbing(&window));
        toggleGrabbing(window);
        QVERIFY(!grabbing(&window));
    }
};

int main(int argc, char** argv) {
    using velmora::test::suite;
    return velmora::test::runTests(argc, argv,
                                   {suite<CameraGrabsUntilOneSymbol>(), suite<CameraEndsDuringGrabbing>(),
                                    suite<CameraReportsFailures>(), suite<CommandsWaitWhileGrabbing>()});
}

#include "camera_commands_test.moc"
