// The main window: the encode view, saving the symbol, the language switch and the help document.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QPainter>
#include <QScreen>
#include <QPointer>
#include <QSvgRenderer>
#include <QRegularExpression>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QWheelEvent>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/about_window.h"
#include "app/app_resources.h"
#include "app/caption_panel.h"
#include "app/full_picture_window.h"
#include "app/help_document.h"
#include "app/ini_file.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/picture_name_filters.h"
#include "app/picture_view.h"
#include "app/read_actions.h"
#include "app/window_settings.h"
#include "app_test_support.h"
#include "engine/codec/qr_encode.h"

using velmora::TForm1;
using velmora::test::ScratchHome;

namespace {

// The main window with the save dialog answered by the test.
class SavingWindow : public TForm1 {
public:
    QString nextName;
    int dialogs = 0;
    QString startFolder;  // where the last dialog started

protected:
    QString chooseSaveFileName(const QString& folder) override {
        startFolder = folder;
        ++dialogs;
        return nextName;
    }
};

template <typename T>
T* child(QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no control named %s", name);
    return found;
}

QString labelText(QObject* window, const char* name) {
    return child<QLabel>(window, name)->text();
}

void type(QObject* window, const QString& text) {
    QTest::keyClicks(child<QPlainTextEdit>(window, "Memo1"), text);
}

void setText(QObject* window, const QString& text) {
    child<QPlainTextEdit>(window, "Memo1")->setPlainText(text);
}

bool symbolVisible(QObject* window) {
    return !child<velmora::PictureView>(window, "Image1")->isHidden();
}

QString panelCaption(QObject* window) {
    return child<velmora::CaptionPanel>(window, "Panel_image")->caption();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Number of modules per side of the symbol on show, from its picture and module size.
int shownModules(QObject* window) {
    const QImage& picture = child<velmora::PictureView>(window, "Image1")->picture();
    return picture.width() / child<QSpinBox>(window, "UpDown1")->value() - 8;
}

// A desktop of the test's making. xdg-mime on PATH names the given default application for PDF
// files (nothing when empty), the MIME database lists what the given mimeinfo.cache lines say,
// and opening a file succeeds at once and is recorded, as a desktop's opener reports success as
// soon as it starts.
class StandInDesktop : public QObject {
    Q_OBJECT

public:
    StandInDesktop(const QByteArray& defaultViewer, const QByteArray& mimeCache) {
        const QString bin = dir_.filePath(QStringLiteral("bin"));
        QDir().mkpath(bin);
        const QString query = bin + QStringLiteral("/xdg-mime");
        writeFile(query, "#!/bin/sh\nif [ \"$1 $2 $3\" = \"query default application/pdf\" ] && [ -n '" + defaultViewer +
                             "' ]; then echo '" + defaultViewer + "'; fi\nexit 0\n");
        QFile::setPermissions(query, QFile::permissions(query) | QFile::ExeOwner);
        const QString applications = dir_.filePath(QStringLiteral("data/applications"));
        QDir().mkpath(applications);
        QDir().mkpath(dir_.filePath(QStringLiteral("system")));
        if (!mimeCache.isEmpty()) writeFile(applications + QStringLiteral("/mimeinfo.cache"), "[MIME Cache]\n" + mimeCache);

        for (const char* name : {"PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) saved_.append({name, qgetenv(name)});
        qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("data"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir_.filePath(QStringLiteral("system"))));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    }
    ~StandInDesktop() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        for (const auto& [name, value] : saved_) qputenv(name, value);
    }

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }

private:
    QTemporaryDir dir_;
    QList<std::pair<const char*, QByteArray>> saved_;
};

}  // namespace

// Every edit and parameter change re-encodes at once and shows the symbol or why there is none.
class EncodeViewFollowsInput : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void startsWithThePromptAndTheDefaultParameters() {
        TForm1 window;
        QCOMPARE(panelCaption(&window), QStringLiteral("Input data"));
        QVERIFY(!symbolVisible(&window));
        QCOMPARE(child<QComboBox>(&window, "ComboBoxErrorLevel")->currentText(), QStringLiteral("H(30%)"));
        QCOMPARE(child<QComboBox>(&window, "ComboBoxVersion")->itemText(1), QStringLiteral(" 1"));
        QCOMPARE(child<QSpinBox>(&window, "UpDown1")->text(), QStringLiteral("4"));
        QVERIFY(!window.SymbolShown());
        QVERIFY(!child<QAction>(&window, "N_CamGrab")->isEnabled());
        QVERIFY(!child<QTimer>(&window, "TimerCam")->isActive());
    }

    void oneCharacterAtLevelHShowsVersionOne() {
        TForm1 window;
        type(&window, QStringLiteral("A"));
        QVERIFY(symbolVisible(&window));
        QVERIFY(window.SymbolShown());
        QCOMPARE(panelCaption(&window), QString());
        QCOMPARE(labelText(&window, "LabelVersion"), QStringLiteral("(1)"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\([0-7]\\)$")).match(labelText(&window, "LabelMask")).hasMatch());
        // 21 modules and a quiet zone of 4 on each side at 4 pixels a module.
        QCOMPARE(labelText(&window, "LabelImageSize"), QString::fromUtf8("116 × 116"));
        QCOMPARE(shownModules(&window), 21);
        QCOMPARE(velmora::test::zbarTexts(child<velmora::PictureView>(&window, "Image1")->picture()),
                 QStringList{QStringLiteral("A")});
    }

    void overflowAtAFixedVersionHidesTheSymbolUntilAutoGrows() {
        TForm1 window;
        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(1);
        type(&window, QStringLiteral("abc"));
        QVERIFY(symbolVisible(&window));
        QCOMPARE(labelText(&window, "LabelVersion"), QString());  // a fixed version is not repeated
        // Version 1 at level H holds 7 bytes.
        type(&window, QStringLiteral("defghij"));
        QCOMPARE(panelCaption(&window), QStringLiteral("Text Overflow"));
        QVERIFY(!symbolVisible(&window));
        QVERIFY(!window.SymbolShown());
        QCOMPARE(labelText(&window, "LabelVersion"), QString());
        QCOMPARE(labelText(&window, "LabelMask"), QString());
        QCOMPARE(labelText(&window, "LabelImageSize"), QString());

        child<QCheckBox>(&window, "CheckBoxAutoVer")->click();
        QVERIFY(symbolVisible(&window));
        QVERIFY(window.SymbolShown());
        QCOMPARE(labelText(&window, "LabelVersion"), QStringLiteral("(2)"));
        QCOMPARE(shownModules(&window), 25);
        QCOMPARE(velmora::test::zbarTexts(child<velmora::PictureView>(&window, "Image1")->picture()),
                 QStringList{QStringLiteral("abcdefghij")});
    }

    void emptyInputShowsThePromptAndKeepsTheSymbolFlag() {
        TForm1 window;
        type(&window, QStringLiteral("x"));
        setText(&window, QString());
        QCOMPARE(panelCaption(&window), QStringLiteral("Input data"));
        QVERIFY(!symbolVisible(&window));
        QCOMPARE(labelText(&window, "LabelImageSize"), QString());
        QVERIFY(window.SymbolShown());
    }

    void moduleSizeScalesThePicture_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("label");
        QTest::newRow("1") << 1 << QString::fromUtf8("185 × 185");
        QTest::newRow("20") << 20 << QString::fromUtf8("3700 × 3700");
    }
    void moduleSizeScalesThePicture() {
        QFETCH(int, size);
        QFETCH(QString, label);
        TForm1 window;
        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(40);
        child<QSpinBox>(&window, "UpDown1")->setValue(size);
        type(&window, QStringLiteral("Velmora"));
        QCOMPARE(labelText(&window, "LabelImageSize"), label);
        const QImage& picture = child<velmora::PictureView>(&window, "Image1")->picture();
        QCOMPARE(picture.format(), QImage::Format_Mono);
        // The quiet zone is white all round; the top-left finder corner is dark.
        QCOMPARE(picture.pixelIndex(4 * size - 1, 4 * size - 1), 1);
        QCOMPARE(picture.pixelIndex(4 * size, 4 * size), 0);
        QCOMPARE(picture.pixelIndex(picture.width() - 1, picture.height() / 2), 1);
        // zbar needs more than one pixel a module: enlarge the small picture without smoothing.
        if (size == 1)
            QCOMPARE(velmora::test::zbarTexts(picture.scaled(picture.size() * 4)), QStringList{QStringLiteral("Velmora")});
    }

    void fixedMaskIsUsedAndParametersReencode() {
        TForm1 window;
        type(&window, QStringLiteral("12345"));
        auto* mask = child<QComboBox>(&window, "ComboBoxMask");
        for (int fixed = 0; fixed <= 7; ++fixed) {
            mask->setCurrentIndex(fixed + 1);
            QCOMPARE(labelText(&window, "LabelMask"), QString());
            QCOMPARE(velmora::test::zbarTexts(child<velmora::PictureView>(&window, "Image1")->picture()),
                     QStringList{QStringLiteral("12345")});
        }
        child<QComboBox>(&window, "ComboBoxErrorLevel")->setCurrentIndex(0);
        mask->setCurrentIndex(0);
        QVERIFY(!labelText(&window, "LabelMask").isEmpty());
    }

    void moduleSizeWrapsAtBothEnds() {
        TForm1 window;
        auto* upDown = child<QSpinBox>(&window, "UpDown1");
        upDown->setValue(20);
        upDown->stepUp();
        QCOMPARE(upDown->value(), 1);
        upDown->stepDown();
        QCOMPARE(upDown->value(), 20);
        // The arrow keys step it as the arrows do, though the number cannot be typed over.
        upDown->setFocus();
        QTest::keyClick(upDown, Qt::Key_Up);
        QCOMPARE(upDown->value(), 1);
        QTest::keyClicks(upDown, QStringLiteral("9"));
        QCOMPARE(upDown->value(), 1);
    }

    // The camera-grabbing button shows its radar greyed while it is disabled, as its menu item
    // is, and in colour once the camera is open.
    void disabledRadarButtonIsGreyed() {
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto colouredPixels = [&window] {
            const QImage shot = child<QWidget>(&window, "ToolButton_CamParse")->grab().toImage();
            int coloured = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    if (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 40) ++coloured;
                }
            return coloured;
        };
        QCOMPARE(colouredPixels(), 0);
        child<QAction>(&window, "N_CamGrab")->setEnabled(true);
        QVERIFY(colouredPixels() > 200);
    }

    // A larger window gives the symbol view more room.
    void pictureViewGrowsWithTheWindow() {
        TForm1 window;
        window.resize(553, 665);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        type(&window, QStringLiteral("grow"));
        auto* view = child<velmora::PictureView>(&window, "Image1");
        const QSize before = view->size();
        window.resize(1100, 1250);
        QTRY_VERIFY2(view->width() > before.width() + 150 && view->height() > before.height() + 150,
                     qPrintable(QStringLiteral("%1x%2").arg(view->width()).arg(view->height())));
    }

    // A double-click opens the picture whole at 100 %, scrollable, and Ctrl with the wheel zooms.
    void doubleClickShowsThePictureWholeAndZooms() {
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        child<QSpinBox>(&window, "UpDown1")->setValue(20);
        type(&window, QString(120, QLatin1Char('w')));
        auto* view = child<velmora::PictureView>(&window, "Image1");
        const QSize whole = view->picture().size();
        QVERIFY(whole.width() > view->width());
        QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, view->rect().center());
        auto* full = dynamic_cast<velmora::FullPictureWindow*>(child<QDialog>(&window, "FullPictureWindow"));
        QVERIFY(full != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(full));
        QCOMPARE(full->shownSize(), whole);
        QVERIFY(full->scrollArea()->horizontalScrollBar()->maximum() > 0);
        QVERIFY(full->scrollArea()->verticalScrollBar()->maximum() > 0);
        QWheelEvent wheel(QPointF(10, 10), full->scrollArea()->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(full->scrollArea()->viewport(), &wheel);
        QCOMPARE(full->shownSize(), (QSizeF(whole) * 1.25).toSize());
        full->setZoom(1000);
        QCOMPARE(full->zoom(), 16.0);
        full->close();
    }

    void linesAreJoinedWithCarriageReturnLineFeed() {
        TForm1 window;
        setText(&window, QStringLiteral("one\ntwo"));
        QCOMPARE(velmora::test::zbarTexts(child<velmora::PictureView>(&window, "Image1")->picture()),
                 QStringList{QStringLiteral("one\r\ntwo")});
    }

    // The symbol holds what the user typed or pasted: no character is swapped for a look-alike
    // and none ends the text early.
    void typedCharactersReachTheSymbolUnchanged_data() {
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("held");
        QTest::newRow("no-break space typed") << true << QString::fromUtf8("a\u00A0b") << QByteArray("a\xC2\xA0" "b");
        QTest::newRow("line separator pasted") << false << QString::fromUtf8("a\u2028b") << QByteArray("a\xE2\x80\xA8" "b");
        QTest::newRow("zero character pasted") << false << QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")
                                               << QByteArray("ab\0cd", 5);
        QTest::newRow("zero character between lines")
            << false << QStringLiteral("one") + QChar(0) + QStringLiteral("\ntwo") << QByteArray("one\0\r\ntwo", 9);
    }
    void typedCharactersReachTheSymbolUnchanged() {
        QFETCH(bool, typed);
        QFETCH(QString, text);
        QFETCH(QByteArray, held);
        TForm1 window;
        if (typed)
            type(&window, text);
        else
            child<QPlainTextEdit>(&window, "Memo1")->insertPlainText(text);
        QVERIFY(window.SymbolShown());
        QCOMPARE(velmora::test::zxingBytes(child<velmora::PictureView>(&window, "Image1")->picture()), held);
    }

    void shiftEnterStartsANewLine() {
        TForm1 window;
        type(&window, QStringLiteral("a"));
        QTest::keyClick(child<QPlainTextEdit>(&window, "Memo1"), Qt::Key_Return, Qt::ShiftModifier);
        type(&window, QStringLiteral("b"));
        QCOMPARE(velmora::test::zxingBytes(child<velmora::PictureView>(&window, "Image1")->picture()),
                 QByteArray("a\r\nb"));
    }

    void gb2312TextUsesHanziMode() {
        TForm1 window;
        child<QComboBox>(&window, "ComboBoxTextEncoding")->setCurrentIndex(int(velmora::TextCharset::Gb2312));
        setText(&window, QString::fromUtf8("汉字编码"));
        QVERIFY(window.SymbolShown());
        const velmora::CQR_Encode& encoder = velmora::processEncoder();
        QCOMPARE(encoder.segmentCount(), 1);
        QCOMPARE(encoder.segmentMode(0), velmora::ModeHanzi);
        // The choice is kept for the next start.
        QCOMPARE(velmora::IniFile(home_->file(QStringLiteral("Config.ini")).toStdString()).readString("text", "sCharset", ""),
                 std::string("gb2312"));
        TForm1 next;
        QCOMPARE(child<QComboBox>(&next, "ComboBoxTextEncoding")->currentIndex(), int(velmora::TextCharset::Gb2312));
    }

    void shiftJisTextUsesKanjiMode() {
        TForm1 window;
        child<QComboBox>(&window, "ComboBoxTextEncoding")->setCurrentIndex(int(velmora::TextCharset::ShiftJis));
        setText(&window, QString::fromUtf8("漢字"));
        QVERIFY(window.SymbolShown());
        QCOMPARE(velmora::processEncoder().segmentMode(0), velmora::ModeKanji);
    }

    void symbolViewScalesDownOnly() {
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* view = child<velmora::PictureView>(&window, "Image1");
        type(&window, QStringLiteral("small"));
        QCOMPARE(view->pictureRect().size(), view->picture().size());
        child<QSpinBox>(&window, "UpDown1")->setValue(20);
        QVERIFY(view->picture().width() > view->width());
        QCOMPARE(view->pictureRect().width(), qMin(view->width(), view->height()));
        QCOMPARE(view->pictureRect().width(), view->pictureRect().height());
    }

    void utf8ChineseStaysReadableByOtherReaders() {
        TForm1 window;
        setText(&window, QString::fromUtf8("汉字编码"));
        QCOMPARE(velmora::test::zbarTexts(child<velmora::PictureView>(&window, "Image1")->picture()),
                 QStringList{QString::fromUtf8("汉字编码")});
    }

    void characterOutsideTheCharsetShowsNoSymbol() {
        TForm1 window;
        type(&window, QStringLiteral("ok"));
        child<QComboBox>(&window, "ComboBoxTextEncoding")->setCurrentIndex(int(velmora::TextCharset::Gb2312));
        QVERIFY(window.SymbolShown());
        setText(&window, QString::fromUtf8("price 5€"));
        QVERIFY(!symbolVisible(&window));
        QVERIFY(!window.SymbolShown());
        QVERIFY(panelCaption(&window).contains(QString::fromUtf8("€")));
        QVERIFY(panelCaption(&window).contains(QStringLiteral("GB 2312")));
        QCOMPARE(labelText(&window, "LabelImageSize"), QString());
    }
};

// Save writes the symbol on show as a 1-bit bitmap, and nothing when no symbol matches the text.
class SaveWritesShownSymbol : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void bitmapDecodesToTheTypedText() {
        SavingWindow window;
        type(&window, QStringLiteral("Saved by Velmora"));
        window.nextName = home_->file(QStringLiteral("symbol.bmp"));
        child<QAction>(&window, "N_Save")->trigger();
        QImage saved(window.nextName);
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.size(), child<velmora::PictureView>(&window, "Image1")->picture().size());
        QCOMPARE(velmora::test::zbarTexts(saved), QStringList{QStringLiteral("Saved by Velmora")});
    }

    // A .png name gets a PNG and a .svg name an SVG, each read back by zbar as the typed text;
    // the letter case of the extension does not matter.
    void pngAndSvgNamesGetTheirFormats_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("png") << QStringLiteral("symbol.png") << QByteArray("\x89PNG");
        QTest::newRow("PNG") << QStringLiteral("symbol.PNG") << QByteArray("\x89PNG");
        QTest::newRow("svg") << QStringLiteral("symbol.svg") << QByteArray("<");
        QTest::newRow("Svg") << QStringLiteral("symbol.Svg") << QByteArray("<");
    }
    void pngAndSvgNamesGetTheirFormats() {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        SavingWindow window;
        child<QSpinBox>(&window, "UpDown1")->setValue(3);
        type(&window, QStringLiteral("Saved as ") + name);
        window.nextName = home_->file(name);
        child<QAction>(&window, "N_Save")->trigger();
        const QByteArray bytes = readFile(window.nextName);
        QVERIFY(bytes.startsWith(start));
        QVERIFY(!QFile::exists(window.nextName + QStringLiteral(".bmp")));
        QImage saved;
        if (start == "<") {
            QVERIFY(bytes.contains("<svg"));
            saved = QImage(child<velmora::PictureView>(&window, "Image1")->picture().size(), QImage::Format_RGB32);
            saved.fill(Qt::white);
            QPainter painter(&saved);
            QSvgRenderer(bytes).render(&painter);
        } else {
            saved = QImage(window.nextName);
            QCOMPARE(saved.size(), child<velmora::PictureView>(&window, "Image1")->picture().size());
        }
        QCOMPARE(velmora::test::zbarTexts(saved), QStringList{QStringLiteral("Saved as ") + name});
    }

    void otherExtensionStillHoldsAOneBitBitmap() {
        SavingWindow window;
        type(&window, QStringLiteral("jpg?"));
        window.nextName = home_->file(QStringLiteral("symbol.jpg"));
        child<QAction>(&window, "N_Save")->trigger();
        const QByteArray bytes = readFile(window.nextName);
        QVERIFY(bytes.startsWith("BM"));
        QCOMPARE(int(bytes.at(28)), 1);  // bits per pixel
        QVERIFY(!QFile::exists(window.nextName + QStringLiteral(".bmp")));
    }

    void nameWithoutExtensionGetsBmp() {
        SavingWindow window;
        type(&window, QStringLiteral("plain"));
        window.nextName = home_->file(QStringLiteral("symbol"));
        child<QAction>(&window, "N_Save")->trigger();
        QVERIFY(!QFile::exists(window.nextName));
        QVERIFY(readFile(window.nextName + QStringLiteral(".bmp")).startsWith("BM"));
    }

    void nothingIsWrittenAfterAFailedEncode() {
        SavingWindow window;
        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(1);
        type(&window, QStringLiteral("short"));
        QVERIFY(window.SymbolShown());
        type(&window, QStringLiteral(" and now far too long"));
        QVERIFY(!window.SymbolShown());
        window.nextName = home_->file(QStringLiteral("stale.bmp"));
        child<QAction>(&window, "N_Save")->trigger();
        QCOMPARE(window.dialogs, 0);
        QVERIFY(!QFile::exists(window.nextName));
        QCOMPARE(window.statusText(), QStringLiteral("Text Overflow"));
    }

    void failedConversionIsNamedOnSave() {
        SavingWindow window;
        child<QComboBox>(&window, "ComboBoxTextEncoding")->setCurrentIndex(int(velmora::TextCharset::Gb2312));
        setText(&window, QString::fromUtf8("price 5€"));
        QVERIFY(!window.SymbolShown());
        child<QAction>(&window, "N_Save")->trigger();
        QCOMPARE(window.dialogs, 0);
        QCOMPARE(window.statusText(), QString::fromUtf8("€ cannot be written in GB 2312"));
    }

    void saveDialogListsNamesWithoutADot() {
        TForm1 window;
        type(&window, QStringLiteral("dialog"));
        QStringList filters;
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, [poll, &filters] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            filters = dialog->nameFilters();
            poll->stop();
            dialog->reject();
        });
        poll->start(20);
        child<QAction>(&window, "N_Save")->trigger();
        QCOMPARE(filters, (QStringList{QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("PNG pictures (*.png)"),
                                       QStringLiteral("SVG pictures (*.svg)"), QStringLiteral("All files (*)")}));
        // Every pattern of the last filter, as the dialog matches it against a name.
        const QString all = filters.at(3);
        const QStringList patterns = all.mid(all.indexOf(QLatin1Char('(')) + 1).chopped(1).split(QLatin1Char(' '));
        QVERIFY(QDir::match(patterns, QStringLiteral("symbol")));
        QVERIFY(QDir::match(patterns, QStringLiteral("symbol.png")));
    }

    // Each kind of file has its own last folder, kept in Config.ini; before there is one the
    // dialogs start in the Pictures folder, never in the folder the program was started from.
    void dialogsStartInTheFolderLastUsedForTheirKind() {
        QTemporaryDir user;
        const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
        const QString savedCurrent = QDir::currentPath();
        qputenv("HOME", QFile::encodeName(user.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(user.filePath(QStringLiteral("config"))));
        QDir::setCurrent(home_->path());
        const QString pictures = user.filePath(QStringLiteral("Pictures"));
        QDir(home_->path()).mkpath(QStringLiteral("kept"));
        QDir(home_->path()).mkpath(QStringLiteral("cards"));
        {
            SavingWindow window;
            type(&window, QStringLiteral("folders"));
            window.nextName = home_->file(QStringLiteral("kept/symbol.png"));
            child<QAction>(&window, "N_Save")->trigger();
            QCOMPARE(window.startFolder, pictures);
            QVERIFY(QFileInfo(pictures).isDir());
            child<QAction>(&window, "N_Save")->trigger();
            QCOMPARE(window.startFolder, home_->file(QStringLiteral("kept")));

            auto* row = child<velmora::ReadActions>(&window, "ReadActions");
            QString suggested;
            row->setSaveNameChooser([&](const QString& name, const QString&) {
                suggested = name;
                return home_->file(QStringLiteral("cards/doe.vcf"));
            });
            row->showTexts({"MECARD:N:Doe,John;;"});
            QTest::mouseClick(row->findChild<QPushButton*>(QStringLiteral("SaveContactButton")), Qt::LeftButton);
            QCOMPARE(QFileInfo(suggested).absolutePath(), pictures);
            QTest::mouseClick(row->findChild<QPushButton*>(QStringLiteral("SaveContactButton")), Qt::LeftButton);
            QCOMPARE(QFileInfo(suggested).absolutePath(), home_->file(QStringLiteral("cards")));
        }
        SavingWindow again;
        type(&again, QStringLiteral("again"));
        again.nextName = home_->file(QStringLiteral("kept/again.bmp"));
        child<QAction>(&again, "N_Save")->trigger();
        QCOMPARE(again.startFolder, home_->file(QStringLiteral("kept")));

        QDir::setCurrent(savedCurrent);
        qputenv("HOME", savedHome);
        if (savedConfig.isNull()) qunsetenv("XDG_CONFIG_HOME"); else qputenv("XDG_CONFIG_HOME", savedConfig);
    }

    void emptyInputAsksNothing() {
        SavingWindow window;
        window.nextName = home_->file(QStringLiteral("empty.bmp"));
        child<QAction>(&window, "N_Save")->trigger();
        QCOMPARE(window.dialogs, 0);
        QVERIFY(!QFile::exists(window.nextName));
    }

    void cameraGrabbingRefusesSave() {
        SavingWindow window;
        type(&window, QStringLiteral("camera"));
        child<QTimer>(&window, "TimerCam")->start();
        const auto seen = velmora::test::answerNextMessageBox();
        child<QAction>(&window, "N_Save")->trigger();
        QVERIFY(seen->shown);
        QCOMPARE(seen->text, QStringLiteral("Please turn off the camera !"));
        QCOMPARE(window.dialogs, 0);
        child<QTimer>(&window, "TimerCam")->stop();
    }

    void unwritableTargetIsReported() {
        SavingWindow window;
        type(&window, QStringLiteral("nowhere"));
        window.nextName = home_->file(QStringLiteral("no/such/dir/symbol.bmp"));
        const auto seen = velmora::test::answerNextMessageBox();
        child<QAction>(&window, "N_Save")->trigger();
        QVERIFY(seen->shown);
        QVERIFY(seen->text.contains(QStringLiteral("symbol.bmp")));
    }
};

// The Tools menu switches the language, remembers it in Config.ini and relabels the window.
class LanguageSwitchRelabelsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

    void installChinese() {
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini"), home_->file(QStringLiteral("Lan_Ch.ini"))));
    }

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void noFilesStartInEnglishAndFirstSwitchCreatesConfig() {
        TForm1 window;
        QCOMPARE(window.config().iCameraWidth, 640);
        QCOMPARE(window.config().iCameraHeight, 480);
        QCOMPARE(window.config().iQrMsg_Max, 4);
        QVERIFY(child<QAction>(&window, "N_En")->isChecked());
        QCOMPARE(child<QMenu>(&window, "N_File")->title(), QStringLiteral("File(&F)"));
        QCOMPARE(child<QAction>(&window, "N_ScreenGrab")->text(), QStringLiteral("Screen Grab(&W)"));
        QCOMPARE(child<QAction>(&window, "N_CamGrab")->toolTip(), QStringLiteral("Camera grab"));

        child<QAction>(&window, "N_Ex")->trigger();
        QCOMPARE(readFile(home_->file(QStringLiteral("Config.ini"))), QByteArray("[language]\nLanID=2\n"));
        QVERIFY(child<QAction>(&window, "N_Ex")->isChecked());
        QVERIFY(!child<QAction>(&window, "N_En")->isChecked());
        QCOMPARE(velmora::LanguageIndex(), 2);
        // No Lan_Ex.ini: the English texts stay.
        QCOMPARE(child<QMenu>(&window, "N_File")->title(), QStringLiteral("File(&F)"));
    }

    void switchWritesOnlyLanIdAndRelabels() {
        installChinese();
        const QByteArray before =
            "; mine\r\n[camera]\r\niCameraWidth=1280\r\niCameraHeight=$2D0\r\n\r\n[Language]\r\nLanID=0\r\n\r\n"
            "[decode]\r\niQrMsg_Max=2\r\n";
        writeFile(home_->file(QStringLiteral("Config.ini")), before);
        TForm1 window;
        QCOMPARE(window.config().iCameraHeight, 720);
        type(&window, QStringLiteral("shown"));

        child<QAction>(&window, "N_CH")->trigger();
        QByteArray expected = before;
        expected.replace("LanID=0", "LanID=1");
        QCOMPARE(readFile(home_->file(QStringLiteral("Config.ini"))), expected);
        QVERIFY(child<QAction>(&window, "N_CH")->isChecked());
        QVERIFY(!child<QAction>(&window, "N_En")->isChecked());
        QVERIFY(!child<QAction>(&window, "N_Ex")->isChecked());
        QCOMPARE(child<QMenu>(&window, "N_File")->title(), QString::fromUtf8("文件(&F)"));
        QCOMPARE(child<QAction>(&window, "N_About")->text(), QString::fromUtf8("关于(&A)"));
        QCOMPARE(child<QGroupBox>(&window, "GroupBox_ErrLevel")->title(), QString::fromUtf8("纠错等级"));
        // The panel behind the shown symbol carries the prompt again.
        QCOMPARE(panelCaption(&window), QString::fromUtf8("请输入数据"));
        QVERIFY(symbolVisible(&window));

        child<QAction>(&window, "N_En")->trigger();
        expected.replace("LanID=1", "LanID=0");
        QCOMPARE(readFile(home_->file(QStringLiteral("Config.ini"))), expected);
        QCOMPARE(child<QMenu>(&window, "N_File")->title(), QStringLiteral("File(&F)"));
    }

    void chineseStartComesFromConfig() {
        installChinese();
        writeFile(home_->file(QStringLiteral("Config.ini")), "[language]\nLanID=1\n");
        TForm1 window;
        QVERIFY(child<QAction>(&window, "N_CH")->isChecked());
        QCOMPARE(child<QMenu>(&window, "N_Tools")->title(), QString::fromUtf8("工具(&T)"));
        QCOMPARE(panelCaption(&window), QString::fromUtf8("请输入数据"));
        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(1);
        type(&window, QStringLiteral("0123456789abcdefghijklmnop"));
        QCOMPARE(panelCaption(&window), QString::fromUtf8("文本溢出"));
    }

    // The caption keeps saying why no symbol is shown, in the new language.
    void switchKeepsTheReasonNoSymbolIsShown() {
        installChinese();
        TForm1 window;
        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(1);
        type(&window, QStringLiteral("0123456789abcdefghijklmnop"));
        QCOMPARE(panelCaption(&window), QStringLiteral("Text Overflow"));
        child<QAction>(&window, "N_CH")->trigger();
        QCOMPARE(panelCaption(&window), QString::fromUtf8("文本溢出"));
        QVERIFY(!symbolVisible(&window));
        QVERIFY(!window.SymbolShown());

        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(0);
        child<QComboBox>(&window, "ComboBoxTextEncoding")->setCurrentIndex(int(velmora::TextCharset::Gb2312));
        setText(&window, QString::fromUtf8("5€"));
        QCOMPARE(panelCaption(&window), QString::fromUtf8("GB 2312 无法表示字符 €"));
        child<QAction>(&window, "N_En")->trigger();
        QCOMPARE(panelCaption(&window), QString::fromUtf8("€ cannot be written in GB 2312"));
        QVERIFY(!symbolVisible(&window));
        QCOMPARE(labelText(&window, "LabelImageSize"), QString());
    }

    void outOfRangeIdsStartInEnglish_data() {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<int>("index");
        QTest::newRow("7") << QByteArray("7") << 0;
        QTest::newRow("-1") << QByteArray("-1") << -1;
    }
    void outOfRangeIdsStartInEnglish() {
        QFETCH(QByteArray, id);
        QFETCH(int, index);
        installChinese();
        writeFile(home_->file(QStringLiteral("Config.ini")), "[language]\nLanID=" + id + "\n");
        TForm1 window;
        QCOMPARE(velmora::LanguageIndex(), index);
        QVERIFY(child<QAction>(&window, "N_En")->isChecked());
        QCOMPARE(child<QMenu>(&window, "N_File")->title(), QStringLiteral("File(&F)"));
        auto* about = new velmora::TFormAbout(&window);
        const QString text = about->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
        QVERIFY(text.contains(QStringLiteral("Velmora developers")));
        QVERIFY(text.contains(QStringLiteral("TEL: none")));
        about->close();
        // The file keeps the value until the next switch.
        QCOMPARE(readFile(home_->file(QStringLiteral("Config.ini"))), QByteArray("[language]\nLanID=" + id + "\n"));
    }

    void emptyMenuTextLeavesTheBareSuffix() {
        writeFile(home_->file(QStringLiteral("Lan_Ch.ini")), "[menu]\nfile=\n");
        writeFile(home_->file(QStringLiteral("Config.ini")), "[language]\nLanID=1\n");
        TForm1 window;
        QCOMPARE(child<QMenu>(&window, "N_File")->title(), QStringLiteral("(&F)"));
        QCOMPARE(child<QAction>(&window, "N_Open")->text(), QStringLiteral("Open(&O)"));
    }

    void aboutWindowTakesTheLanguageOfItsCreation() {
        installChinese();
        TForm1 window;
        child<QAction>(&window, "N_CH")->trigger();
        auto* chinese = new velmora::TFormAbout(&window);
        const auto text = [](QWidget* about) {
            return about->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
        };
        QVERIFY(text(chinese).contains(QString::fromUtf8("技术支持：none")));
        child<QAction>(&window, "N_En")->trigger();
        QVERIFY(text(chinese).contains(QString::fromUtf8("技术支持：none")));
        auto* english = new velmora::TFormAbout(&window);
        QVERIFY(text(english).contains(QStringLiteral("TEL: none")));
        QCOMPARE(text(english).split(QLatin1Char('\n')).size(), 8);
        QCOMPARE(text(english).split(QLatin1Char('\n')).at(2), QString());
        chinese->close();
        english->close();
    }

    // With Chinese chosen no English word is left on the window, in its lists, its dialogs'
    // filters or the status of a file that cannot be read; switching back brings English again.
    void chineseLeavesNoEnglishOnTheWindow() {
        installChinese();
        writeFile(home_->file(QStringLiteral("Config.ini")), "[language]\nLanID=1\n");
        TForm1 window;
        // The language items name their languages; a menu item's hint is its text without "&".
        const QStringList keptAsTheyAre = {QStringLiteral("English(&E)"), QStringLiteral("Extra(&X)"),
                                           QStringLiteral("English(E)"), QStringLiteral("Extra(X)"),
                                           QStringLiteral("Shift JIS"), QStringLiteral("Velmora")};
        const QRegularExpression englishWord(QStringLiteral("[a-z]{3,}"));
        QStringList shown;
        for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) shown << button->text();
        for (const QLabel* label : window.findChildren<QLabel*>()) shown << label->text();
        for (const QGroupBox* box : window.findChildren<QGroupBox*>()) shown << box->title();
        for (const QAction* action : window.findChildren<QAction*>()) shown << action->text() << action->toolTip();
        for (const QComboBox* list : window.findChildren<QComboBox*>())
            for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
        shown << velmora::openDialogFilter();
        const auto unreadable = velmora::test::answerNextMessageBox();
        window.DecodeFile(home_->file(QStringLiteral("Config.ini")));
        shown << window.statusText();
        for (const QString& text : shown)
            if (!keptAsTheyAre.contains(text)) QVERIFY2(!englishWord.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(window.statusText(), QString::fromUtf8("文件打开错误"));
        QCOMPARE(child<QCheckBox>(&window, "CheckBoxAutoVer")->text(), QString::fromUtf8("自动"));

        child<QAction>(&window, "N_En")->trigger();
        QCOMPARE(child<QCheckBox>(&window, "CheckBoxAutoVer")->text(), QStringLiteral("Auto"));
        QCOMPARE(child<QComboBox>(&window, "ComboBoxMask")->itemText(0), QStringLiteral("Auto"));
        QVERIFY(velmora::openDialogFilter().startsWith(QStringLiteral("All pictures (")));
    }

    // Every status text shows whole in its panel of the window at its start size, in both
    // languages, and a note beside it leaves it whole too.
    void statusTextsFitTheirPanel() {
        installChinese();
        TForm1 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* panel = child<QLabel>(&window, "StatusPanel0");
        for (const int language : {0, 1}) {
            window.LoadLanguage(language);
            const velmora::CameraTexts& camera = velmora::currentCameraTexts();
            const velmora::UiTexts& ui = velmora::currentUiTexts();
            for (const QString& text : {camera.notopen, camera.nomorepictures, camera.stopped, camera.badformat,
                                        ui.decoded, ui.fail, velmora::currentWindowTexts().fileopenerr}) {
                window.setStatusText(text);
                window.setStatusNote(velmora::currentReadingTexts().tempnotsaved.arg(QStringLiteral("Is a directory")));
                QCoreApplication::processEvents();
                QVERIFY2(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(text), qPrintable(text));
            }
        }
    }

    // The About window names the version the program was built as, in every language.
    void aboutNamesTheBuildsVersion() {
        for (const int language : {0, 1, 2})
            QCOMPARE(velmora::TFormAbout::aboutLines(language).constFirst(), QStringLiteral("Velmora " VELMORA_VERSION));
    }

    void shippedChineseTranslationIsComplete() {
        const QString path = QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini");
        const velmora::IniFile file(QFile::encodeName(path).toStdString());
        const auto check = [&file](const auto* keys, int count) {
            for (int i = 0; i < count; ++i) {
                const std::string value = file.readString(keys[i].section, keys[i].key, "<missing>");
                QVERIFY2(value != "<missing>" && !value.empty(), keys[i].key);
                QVERIFY2(value != keys[i].english, keys[i].key);
            }
        };
        check(velmora::uiTextKeys(), velmora::kUiTextCount);
        check(velmora::ornamentTextKeys(), velmora::kOrnamentTextCount);
        check(velmora::charsetTextKeys(), velmora::kCharsetTextCount);
        check(velmora::readingTextKeys(), velmora::kReadingTextCount);
        check(velmora::cameraTextKeys(), velmora::kCameraTextCount);
        check(velmora::actionTextKeys(), velmora::kActionTextCount);
        check(velmora::windowTextKeys(), velmora::kWindowTextCount);
        check(velmora::formTextKeys(), velmora::kFormTextCount);
        check(velmora::symbolTextKeys(), velmora::kSymbolTextCount);
        check(velmora::historyTextKeys(), velmora::kHistoryTextCount);
        check(velmora::networkTextKeys(), velmora::kNetworkTextCount);
        const velmora::OrnamentTexts ornament = velmora::readOrnamentTexts(path);
        QCOMPARE(ornament.QRAlign, QString::fromUtf8("对齐点保护"));
    }
};

// The window comes back where it was, as large, with the error level, mask and module size the
// user left; Config.ini keeps every line it had.
class WindowRemembersItsSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void placeSizeAndParametersComeBack() {
        const QByteArray before = "; mine\n[language]\nLanID=0\n[camera]\niCameraWidth=800\n";
        writeFile(home_->file(QStringLiteral("Config.ini")), before);
        const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect place(desktop.left() + 60, desktop.top() + 70, 500, 420);
        QPoint corner;  // of the frame
        {
            TForm1 window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.setGeometry(place);
            child<QComboBox>(&window, "ComboBoxErrorLevel")->setCurrentIndex(1);
            child<QComboBox>(&window, "ComboBoxMask")->setCurrentIndex(6);
            child<QSpinBox>(&window, "UpDown1")->setValue(9);
            corner = window.pos();
            window.close();
        }
        const QByteArray after = readFile(home_->file(QStringLiteral("Config.ini")));
        QVERIFY2(after.startsWith(before), after.constData());
        for (const char* line : {"iLeft=", "iTop=", "iWidth=500", "iHeight=420", "iErrorLevel=1", "iMask=5", "iModuleSize=9"})
            QVERIFY2(after.contains(line), line);

        TForm1 again;
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.pos(), corner);
        QCOMPARE(again.geometry(), place);
        QCOMPARE(child<QComboBox>(&again, "ComboBoxErrorLevel")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(&again, "ComboBoxMask")->currentIndex(), 6);
        QCOMPARE(child<QSpinBox>(&again, "UpDown1")->value(), 9);
        QCOMPARE(again.config().iCameraWidth, 800);
    }

    // A place kept from a larger or denser screen still puts the whole window, frame included,
    // on this one; no kept place centres it; values out of range give the defaults.
    void keptPlacesFitTheScreen() {
        const QRect desktop(0, 0, 960, 540);
        const QMargins frame(4, 32, 4, 4);
        // A place holds the frame's corner and the inner size.
        const auto whole = [&frame](const QRect& place) { return QRect(place.topLeft(), place.size().grownBy(frame)); };
        const QRect fitted = velmora::fitOnDesktop(QRect(1500, 900, 553, 665), desktop, frame);
        QVERIFY(desktop.contains(whole(fitted)));
        QCOMPARE(fitted.width(), 553);
        QCOMPARE(velmora::fitOnDesktop(QRect(100, 50, 400, 300), desktop, frame), QRect(100, 50, 400, 300));
        const QRect centred = velmora::centredOnDesktop(QSize(553, 665), desktop, frame);
        QVERIFY(desktop.contains(whole(centred)));
        QCOMPARE(centred.height(), 540 - 36);
        QCOMPARE(centred.top(), 0);

        writeFile(home_->file(QStringLiteral("Config.ini")), "[encode]\niErrorLevel=7\niMask=-3\niModuleSize=21\n[window]\niWidth=0\n");
        const velmora::WindowSettings settings =
            velmora::readWindowSettings(QFile::encodeName(home_->file(QStringLiteral("Config.ini"))).toStdString());
        QCOMPARE(settings.errorLevel, 3);
        QCOMPARE(settings.mask, -1);
        QCOMPARE(settings.moduleSize, 4);
        QVERIFY(settings.geometry.isEmpty());
    }
};

// qr_readme.pdf is written beside the program when missing or of another size, and opened from
// the About window.
class HelpDocumentFollowsSizeRule : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

    QByteArray embedded() {
        QFile resource(velmora::kHelpDocumentResource);
        return resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
    }

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void builtInManualIsAPdf() {
        velmora::initAppResources();
        const QByteArray pdf = embedded();
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.size() > 10000);
        QCOMPARE(qint64(pdf.size()), velmora::embeddedHelpDocumentSize());
    }

    void firstStartWritesTheManual() {
        TForm1 window;
        QCOMPARE(readFile(home_->file(velmora::kHelpDocumentName)), embedded());
    }

    void copyOfAnotherSizeIsReplaced() {
        writeFile(home_->file(velmora::kHelpDocumentName), "an old manual");
        TForm1 window;
        QCOMPARE(readFile(home_->file(velmora::kHelpDocumentName)), embedded());
    }

    void copyOfTheSameSizeIsKept() {
        velmora::initAppResources();
        const QByteArray same(int(velmora::embeddedHelpDocumentSize()), 'x');
        writeFile(home_->file(velmora::kHelpDocumentName), same);
        bool written = true;
        QString error;
        QVERIFY(velmora::extractHelpDocument(home_->path(), written, error));
        QVERIFY(!written);
        QCOMPARE(readFile(home_->file(velmora::kHelpDocumentName)), same);
    }

    void unwritableDirectoryIsReported() {
        bool written = true;
        QString error;
        QVERIFY(!velmora::extractHelpDocument(home_->file(QStringLiteral("missing")), written, error));
        QVERIFY(!written);
        QVERIFY(error.contains(velmora::kHelpDocumentName));
    }

    // No application for PDF files: the stand-in desktop would still start its opener and call
    // that a success.
    void helpWithoutAViewerSaysNoPdfReader_data() {
        QTest::addColumn<QByteArray>("mimeCache");
        QTest::newRow("empty MIME database") << QByteArray();
        QTest::newRow("viewers for other types only") << QByteArray("image/png=viewer.desktop;\napplication/pdf=\n");
    }
    void helpWithoutAViewerSaysNoPdfReader() {
        QFETCH(QByteArray, mimeCache);
        StandInDesktop desktop({}, mimeCache);
        TForm1 window;
        auto* about = new velmora::TFormAbout(&window);
        about->show();
        const auto seen = velmora::test::answerNextMessageBox();
        about->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        seen->stopWatching();
        QVERIFY(seen->shown);
        QCOMPARE(seen->text, QStringLiteral("No pdf reader"));
        QCOMPARE(seen->title, QStringLiteral("ERR"));
        QCOMPARE(seen->buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QVERIFY(about->isVisible());
        QPointer<QWidget> watch(about);
        about->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        QTRY_VERIFY(watch.isNull());
        QVERIFY(desktop.opened.isEmpty());
    }

    // The message says where the manual is, and its button opens that folder.
    void noPdfReaderOffersTheManualsFolder() {
        StandInDesktop desktop({}, QByteArray());
        TForm1 window;
        auto* about = new velmora::TFormAbout(&window);
        about->show();
        QString informative;
        QTimer::singleShot(50, [&informative] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            informative = box->informativeText();
            box->findChild<QPushButton*>(QStringLiteral("OpenFolderButton"))->click();
        });
        about->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        QVERIFY2(informative.contains(QDir::toNativeSeparators(home_->path())), qPrintable(informative));
        QVERIFY(informative.contains(velmora::kHelpDocumentName));
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(home_->path()).absoluteFilePath())});
        about->close();
    }

    void helpOpensTheManualWhenTheDesktopHasAViewer_data() {
        QTest::addColumn<QByteArray>("defaultViewer");
        QTest::addColumn<QByteArray>("mimeCache");
        QTest::newRow("default viewer") << QByteArray("viewer.desktop") << QByteArray();
        QTest::newRow("viewer in the MIME database")
            << QByteArray() << QByteArray("text/plain=editor.desktop;\napplication/pdf=viewer.desktop;\n");
    }
    void helpOpensTheManualWhenTheDesktopHasAViewer() {
        QFETCH(QByteArray, defaultViewer);
        QFETCH(QByteArray, mimeCache);
        StandInDesktop desktop(defaultViewer, mimeCache);
        TForm1 window;
        auto* about = new velmora::TFormAbout(&window);
        about->show();
        const auto seen = velmora::test::answerNextMessageBox();
        about->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        seen->stopWatching();
        QVERIFY(!seen->shown);
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(home_->file(velmora::kHelpDocumentName))});
        about->close();
    }
};

// An exception that escapes an event handler is shown and the program goes on.
class HandlerExceptionsAreShown : public QObject {
    Q_OBJECT

    // An object whose event handler fails.
    class Failing : public QObject {
    protected:
        bool event(QEvent* event) override {
            if (event->type() == QEvent::User) throw std::runtime_error("handler failed");
            return QObject::event(event);
        }
    };

private slots:
    void exceptionBecomesAMessage() {
        Failing failing;
        const auto seen = velmora::test::answerNextMessageBox();
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QVERIFY(seen->shown);
        QCOMPARE(seen->text, QStringLiteral("handler failed"));
        // Still running: another event is delivered normally.
        QEvent other(QEvent::User);
        const auto again = velmora::test::answerNextMessageBox();
        QCoreApplication::sendEvent(&failing, &other);
        QVERIFY(again->shown);
    }
};

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv,
                    {suite<EncodeViewFollowsInput>(), suite<SaveWritesShownSymbol>(), suite<LanguageSwitchRelabelsWindow>(),
                     suite<WindowRemembersItsSettings>(), suite<HelpDocumentFollowsSizeRule>(), suite<HandlerExceptionsAreShown>()});
}

#include "main_window_test.moc"
