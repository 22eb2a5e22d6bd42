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
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/language.h"
#include "app/main_window.h"
#include "app_test_support.h"
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

protected:
    QString chooseOpenFileName() override { return openName; }
    QString chooseSaveFileName() override { return saveName; }
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
};

int main(int argc, char** argv) {
    return velmora::test::runTests(argc, argv, {velmora::test::suite<OrnamentWindowTest>(),
                                                velmora::test::suite<OrnamentCommandTest>()});
}

#include "window_test.moc"
