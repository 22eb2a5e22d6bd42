// The ornament window under the offscreen platform: opening from the main window, composing,
// adding a picture and saving.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string_view>

#include "app/language.h"
#include "app/main_window.h"
#include "app_test_support.h"
#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"
#include "ornament/ornament_window.h"
#include "ornament/radio_group.h"

using velmora::OrnamentTexts;
using velmora::TFormQROrnament;
using velmora::test::ScratchHome;

namespace {

// The window with its file dialogs answered by the test.
class AnsweredWindow : public TFormQROrnament {
public:
    AnsweredWindow(int moduleSize, const OrnamentTexts& texts) : TFormQROrnament(nullptr, moduleSize, texts) {}
    QString openName;
    QString saveName;
    velmora::OrnamentFileFormat saveType = velmora::OrnamentFileFormat::Bmp;
    int openAsked = 0;

protected:
    QString chooseOpenFileName() override {
        ++openAsked;
        return openName;
    }
    QString chooseSaveFileName(velmora::OrnamentFileFormat& chosen) override {
        chosen = saveType;
        return saveName;
    }
};

template <typename T>
T* child(QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no control named %s", name);
    return found;
}

void encodeText(const char* text) {
    int version = 0, mask = -1;
    QVERIFY(QR_Encode_Matrix(3, &version, 0, &mask, text, 0, nullptr) == 1);
}

OrnamentTexts englishTexts() {
    return velmora::readOrnamentTexts(QStringLiteral("/nonexistent/Lan_En.ini"));
}

// Watches for the ornament window to come up modally; records what it showed and closes it.
struct SeenOrnament {
    bool shown = false;
    QSize picture;
    QStringList texts;
};

std::shared_ptr<SeenOrnament> closeNextOrnament() {
    auto seen = std::make_shared<SeenOrnament>();
    auto* poll = new QTimer;
    poll->setInterval(20);
    auto remaining = std::make_shared<int>(150);
    QObject::connect(poll, &QTimer::timeout, [poll, seen, remaining] {
        auto* window = qobject_cast<TFormQROrnament*>(QApplication::activeModalWidget());
        if (window == nullptr && --*remaining > 0) return;
        if (window != nullptr) {
            seen->shown = true;
            seen->picture = window->ornamentPicture().size();
            seen->texts = velmora::test::zbarTexts(window->ornamentPicture());
            window->reject();
        }
        poll->stop();
        poll->deleteLater();
    });
    poll->start();
    return seen;
}

// A picture file of two colour halves, so that its levels lie far apart, or of one colour.
QString writePicture(const ScratchHome& home, const char* name, int side, bool oneColour = false) {
    cv::Mat picture(side, side, CV_8UC3, cv::Scalar(40, 160, 220));
    if (!oneColour) picture(cv::Rect(0, 0, side / 2, side)).setTo(cv::Scalar(20, 10, 0));
    const QString path = home.file(QString::fromLatin1(name));
    cv::imwrite(path.toStdString(), picture);
    return path;
}

QByteArray fileStart(const QString& path, int n) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.read(n);
}

}  // namespace

class OrnamentCommandTest : public QObject {
    Q_OBJECT

private slots:
    void emptyInputOpensWithTest() {
        ScratchHome home;
        velmora::TForm1 main;
        main.show();
        auto seen = closeNextOrnament();
        child<QToolButton>(&main, "ToolButton_QrOrnament")->click();
        QVERIFY(seen->shown);
        QCOMPARE(child<QPlainTextEdit>(&main, "Memo1")->toPlainText(), QStringLiteral("Test\n"));
        // Module size 4 of a version 1 symbol with its one-module margin, read back by zbar.
        QCOMPARE(seen->picture, QSize(92, 92));
        QCOMPARE(seen->texts, QStringList{QStringLiteral("Test\r\n")});
    }

    void noSymbolOpensNothing() {
        ScratchHome home;
        velmora::TForm1 main;
        main.show();
        // Version 1 fixed without growing cannot hold this text: no symbol is shown.
        child<QComboBox>(&main, "ComboBoxVersion")->setCurrentIndex(1);
        child<QPlainTextEdit>(&main, "Memo1")->setPlainText(QString(200, QLatin1Char('x')));
        QVERIFY(!main.SymbolShown());
        auto seen = closeNextOrnament();
        child<QToolButton>(&main, "ToolButton_QrOrnament")->click();
        QTest::qWait(3200);
        QVERIFY(!seen->shown);
    }

    void refusedWhileTheCameraGrabs() {
        ScratchHome home;
        velmora::TForm1 main;
        main.show();
        child<QTimer>(&main, "TimerCam")->start();
        auto box = velmora::test::answerNextMessageBox();
        child<QToolButton>(&main, "ToolButton_QrOrnament")->click();
        child<QTimer>(&main, "TimerCam")->stop();
        QVERIFY(box->shown);
        QCOMPARE(box->text, velmora::currentUiTexts().closecam);
        QVERIFY(child<QPlainTextEdit>(&main, "Memo1")->toPlainText().isEmpty());
    }
};

class OrnamentWindowTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheSymbolAndTheTexts() {
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        QCOMPARE(window.ornamentPicture().size(), QSize(115, 115));
        QCOMPARE(child<QPushButton>(&window, "BitBtn_ReadBmp")->text(), QStringLiteral("Add picture..."));
        QCOMPARE(child<velmora::RadioGroup>(&window, "RadioGroup_SyntheticType")->itemIndex(), 1);
        QCOMPARE(child<velmora::RadioGroup>(&window, "RadioGroupBmpFilter")->itemIndex(), 0);
        QCOMPARE(child<velmora::RadioGroup>(&window, "RadioGroupDotType")->itemIndex(), 3);
        QVERIFY(!child<velmora::RadioGroup>(&window, "RadioGroupBmpFilter")->isEnabled());
        QVERIFY(!child<QCheckBox>(&window, "CheckBoxBmp_DrawBorder")->isEnabled());
        QVERIFY(child<velmora::RadioGroup>(&window, "RadioGroupFP_Type")->isHidden());
        QCOMPARE(velmora::test::zbarTexts(window.ornamentPicture()), QStringList{QStringLiteral("Test\r\n")});

        // Every dot type recomposes, and the scale wraps from 40 to 1.
        for (int type = 0; type < 5; ++type) {
            child<velmora::RadioGroup>(&window, "RadioGroupDotType")->item(type)->click();
            QCOMPARE(window.ornamentPicture().size(), QSize(115, 115));
        }
        auto* scale = child<QSpinBox>(&window, "Edit_iSize");
        scale->setValue(40);
        scale->stepUp();
        QCOMPARE(scale->value(), 1);
        QCOMPARE(window.ornamentPicture().size(), QSize(23, 23));
    }

    void chineseTexts() {
        encodeText("x");
        TFormQROrnament window(nullptr, 4, velmora::readOrnamentTexts(QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini")));
        QCOMPARE(child<QPushButton>(&window, "BitBtn_ReadBmp")->text(), QString::fromUtf8("添加图像..."));
        QCOMPARE(child<velmora::RadioGroup>(&window, "RadioGroupDotType")->item(4)->text(), QString::fromUtf8("小圆点"));
    }

    void addsAPictureAndMovesIt() {
        ScratchHome home;
        encodeText("Test\r\n");
        cv::Mat picture(50, 50, CV_8UC3, cv::Scalar(40, 160, 220));
        const QString path = home.file(QStringLiteral("small.png"));
        QVERIFY(cv::imwrite(path.toStdString(), picture));
        AnsweredWindow window(5, englishTexts());
        window.show();
        window.openName = path;
        window.BitBtn_ReadBmpClick();
        QVERIFY(window.composer().hasPicture());
        QVERIFY(child<velmora::RadioGroup>(&window, "RadioGroupBmpFilter")->isEnabled());
        auto* x = child<QSpinBox>(&window, "Edit_iX_big");
        auto* fineX = child<QSpinBox>(&window, "Edit_iX");
        QCOMPARE(x->value(), 32);
        QCOMPARE(x->maximum(), 65);
        x->stepUp();
        QCOMPARE(x->value(), 42);
        QCOMPARE(fineX->value(), 42);
        QCOMPARE(window.composer().pictureRect().left, 42);
        // A dot type keeps the place; the scale centres again.
        child<velmora::RadioGroup>(&window, "RadioGroupDotType")->item(1)->click();
        QCOMPARE(window.composer().pictureRect().left, 42);
        child<QSpinBox>(&window, "Edit_iSize")->setValue(6);
        QCOMPARE(x->value(), (138 - 50) / 2);
        QCOMPARE(x->maximum(), 138 - 50);
    }

    void aPictureThatCannotBeLoadedIsNamed() {
        ScratchHome home;
        encodeText("Test\r\n");
        const QString path = home.file(QStringLiteral("broken.png"));
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture at all");
        broken.close();
        AnsweredWindow window(5, englishTexts());
        window.show();
        window.openName = path;
        auto box = velmora::test::answerNextMessageBox();
        window.BitBtn_ReadBmpClick();
        QVERIFY(box->shown);
        QVERIFY2(box->text.contains(path), qPrintable(box->text));
        QVERIFY(!window.composer().hasPicture());
        QCOMPARE(window.ornamentPicture().size(), QSize(115, 115));
    }

    void savesTheFormatTheNameAsksFor() {
        ScratchHome home;
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        window.saveName = home.file(QStringLiteral("plain"));
        window.BitBtn_SaveClick();
        QVERIFY(QFileInfo::exists(home.file(QStringLiteral("plain.bmp"))));
        QCOMPARE(fileStart(home.file(QStringLiteral("plain.bmp")), 2), QByteArray("BM"));
        window.saveName = home.file(QStringLiteral("named.bmp"));
        window.BitBtn_SaveClick();
        QCOMPARE(fileStart(home.file(QStringLiteral("named.bmp")), 2), QByteArray("BM"));
        window.saveName = home.file(QStringLiteral("named.png"));
        window.BitBtn_SaveClick();
        QCOMPARE(fileStart(home.file(QStringLiteral("named.png")), 4), QByteArray("\x89PNG"));
        const QImage saved(home.file(QStringLiteral("named.png")));
        QCOMPARE(saved.size(), QSize(115, 115));
        QCOMPARE(velmora::test::zbarTexts(saved), QStringList{QStringLiteral("Test\r\n")});
        // Cancelling writes nothing.
        window.saveName.clear();
        window.BitBtn_SaveClick();
        QCOMPARE(QDir(home.path()).entryList(QDir::Files).size(), 3);
    }

    void showsWhetherTheOrnamentScans() {
        ScratchHome home;
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        auto* scan = child<QLabel>(&window, "LabelScan");
        QVERIFY(window.scans());
        QCOMPARE(scan->text(), QStringLiteral("Scans: Velmora reads it back."));
        // A picture as large as most of the symbol, laid over it in cover, hides it.
        window.openName = writePicture(home, "cover.png", 100);
        window.BitBtn_ReadBmpClick();
        child<velmora::RadioGroup>(&window, "RadioGroup_SyntheticType")->item(0)->click();
        child<velmora::RadioGroup>(&window, "RadioGroupBmpFilter")->item(2)->click();
        QVERIFY(!window.scans());
        QVERIFY(scan->text().startsWith(QStringLiteral("Does not scan")));
        child<velmora::RadioGroup>(&window, "RadioGroup_SyntheticType")->item(1)->click();
        QVERIFY(window.scans());
    }

    void aFlatPictureIsHeldApartAndSaidSo() {
        ScratchHome home;
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        auto* note = child<QLabel>(&window, "LabelLevels");
        QVERIFY(note->isHidden());
        window.openName = writePicture(home, "flat.png", 300, true);
        window.BitBtn_ReadBmpClick();
        QVERIFY(window.composer().levelsHeldApart());
        QVERIFY(note->isVisible());
        QVERIFY(note->text().contains(QStringLiteral("little contrast")));
        QVERIFY(window.scans());
        QCOMPARE(velmora::test::zbarTexts(window.ornamentPicture()), QStringList{QStringLiteral("Test\r\n")});
        window.openName = writePicture(home, "contrast.png", 300);
        window.BitBtn_ReadBmpClick();
        QVERIFY(note->isHidden());
    }

    void cancelOrAFailedPictureKeepsThePictureRemoveTakesItAway() {
        ScratchHome home;
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        auto* remove = child<QPushButton>(&window, "BitBtn_RemoveBmp");
        QCOMPARE(remove->text(), QStringLiteral("Remove picture"));
        QVERIFY(!remove->isEnabled());
        window.openName = writePicture(home, "small.png", 50);
        window.BitBtn_ReadBmpClick();
        QVERIFY(remove->isEnabled());
        const QImage placed = window.ornamentPicture();

        window.openName.clear();
        window.BitBtn_ReadBmpClick();
        QCOMPARE(window.openAsked, 2);
        QVERIFY(window.composer().hasPicture());
        QCOMPARE(window.ornamentPicture(), placed);

        window.openName = home.file(QStringLiteral("missing.png"));
        auto box = velmora::test::answerNextMessageBox();
        window.BitBtn_ReadBmpClick();
        QVERIFY(box->shown);
        QVERIFY(window.composer().hasPicture());
        QCOMPARE(window.ornamentPicture(), placed);

        remove->click();
        QVERIFY(!window.composer().hasPicture());
        QVERIFY(!remove->isEnabled());
        QCOMPARE(window.ornamentPicture().size(), QSize(115, 115));
        QVERIFY(window.ornamentPicture() != placed);
    }

    void loadFailuresAreWordedByTheLanguageFile() {
        ScratchHome home;
        encodeText("Test\r\n");
        const QString chinese = QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini");
        AnsweredWindow window(5, velmora::readOrnamentTexts(chinese));
        window.show();
        QFile broken(home.file(QStringLiteral("broken.png")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture at all");
        broken.close();
        // A file that is there, so that its name alone refuses it.
        QFile notes(home.file(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("words");
        notes.close();
        const struct {
            QString file;
            QString reason;
        } cases[] = {
            {home.file(QStringLiteral("broken.png")), QString::fromUtf8("文件已损坏或不是图像")},
            {home.file(QStringLiteral("missing.png")), QString::fromUtf8("无法打开文件")},
            {home.file(QStringLiteral("notes.txt")), QString::fromUtf8("Velmora 不能读取这种文件类型")},
        };
        for (const auto& c : cases) {
            window.openName = c.file;
            auto box = velmora::test::answerNextMessageBox();
            window.BitBtn_ReadBmpClick();
            QVERIFY(box->shown);
            QCOMPARE(box->text, QString::fromUtf8("无法添加图像 %1：%2").arg(c.file, c.reason));
        }
    }

    void addDialogOffersEveryTypeTheLoaderReads() {
        AnsweredWindow window(5, englishTexts());
        const QString filter = window.pictureDialogFilter();
        QVERIFY(filter.startsWith(QStringLiteral("All pictures (")));
        QVERIFY(filter.endsWith(QStringLiteral(";;All files (*)")));
        const QString patterns = filter.section(QLatin1Char('('), 1, 1).section(QLatin1Char(')'), 0, 0);
        const auto offered = [&patterns](const QString& name) {
            for (const QString& pattern : patterns.split(QLatin1Char(' '))) {
                if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)).match(name).hasMatch())
                    return true;
            }
            return false;
        };
        // Every three-letter extension the loader takes, in lower, upper and mixed case, and the
        // longer spellings.
        int types = 0;
        const std::string_view letters = "0123456789abcdefghijklmnopqrstuvwxyz";
        for (const char a : letters)
            for (const char b : letters)
                for (const char c : letters) {
                    const std::string extension{a, b, c};
                    if (!velmora::pictureTypeOfPath("x." + extension)) continue;
                    ++types;
                    const QString lower = QString::fromStdString(extension);
                    const QString mixed = lower.left(1).toUpper() + lower.mid(1);
                    for (const QString& name : {lower, lower.toUpper(), mixed})
                        QVERIFY2(offered(QStringLiteral("picture.") + name), qPrintable(name));
                }
        QCOMPARE(types, 24);
        for (const char* name : {"a.JPEG", "a.Tiff", "a.jfif", "a.WBMP"})
            QVERIFY2(offered(QString::fromLatin1(name)), name);
        QVERIFY(!offered(QStringLiteral("notes.txt")));
    }

    void saveGivesANameTheChosenTypesExtension() {
        ScratchHome home;
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        const struct {
            const char* name;
            velmora::OrnamentFileFormat chosen;
            const char* saved;
            QByteArray start;
        } cases[] = {
            {"plain", velmora::OrnamentFileFormat::Png, "plain.png", "\x89PNG"},
            {"photo", velmora::OrnamentFileFormat::Jpeg, "photo.jpg", "\xFF\xD8\xFF"},
            {"logo.v2", velmora::OrnamentFileFormat::Png, "logo.v2.png", "\x89PNG"},
            {"a.dir/gif.gif", velmora::OrnamentFileFormat::Bmp, "a.dir/gif.gif.bmp", "BM"},
            {"chosen.PNG", velmora::OrnamentFileFormat::Bmp, "chosen.PNG", "\x89PNG"},
            {"kept.bmp", velmora::OrnamentFileFormat::Jpeg, "kept.bmp", "BM"},
        };
        QVERIFY(QDir(home.path()).mkdir(QStringLiteral("a.dir")));
        for (const auto& c : cases) {
            window.saveName = home.file(QString::fromLatin1(c.name));
            window.saveType = c.chosen;
            window.BitBtn_SaveClick();
            QCOMPARE(fileStart(home.file(QString::fromLatin1(c.saved)), c.start.size()), c.start);
        }
        QCOMPARE(QDir(home.path()).entryList(QDir::Files).size(), 5);
        QCOMPARE(QDir(home.file(QStringLiteral("a.dir"))).entryList(QDir::Files).size(), 1);
    }

    void fitsTheScreenWithTheOutcomeInSight() {
        ScratchHome home;
        encodeText("Test\r\n");
        AnsweredWindow window(5, englishTexts());
        window.show();
        window.openName = writePicture(home, "flat.png", 60, true);
        window.BitBtn_ReadBmpClick();
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY2(window.height() <= screen.height(),
                 qPrintable(QStringLiteral("%1 > %2").arg(window.height()).arg(screen.height())));
        QVERIFY(window.width() <= screen.width());
        for (const char* name : {"LabelLevels", "LabelScan", "BitBtn_Save", "BitBtn_Exit"}) {
            const auto* control = child<QWidget>(&window, name);
            QVERIFY2(control->isVisible(), name);
            QVERIFY2(window.rect().contains(QRect(control->mapTo(&window, QPoint(0, 0)), control->size())), name);
        }
    }
};

int main(int argc, char** argv) {
    return velmora::test::runTests(argc, argv, {velmora::test::suite<OrnamentWindowTest>(),
                                                velmora::test::suite<OrnamentCommandTest>()});
}

#include "window_test.moc"
