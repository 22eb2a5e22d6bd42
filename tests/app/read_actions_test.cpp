// The row of actions under the log box: after decoding a picture of each kind the right buttons
// appear, Copy puts the exact text on the clipboard, links open only on a click and only where
// the details say, contacts and events save as files, and the row speaks the chosen language.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/ini_file.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/read_actions.h"
#include "app_test_support.h"
#include "decode_test_support.h"
#include "tests/codecs/full_disk.h"

using velmora::ReadActions;
using velmora::TForm1;
using velmora::test::fileBytes;
using velmora::test::ScratchHome;
using velmora::test::symbolPicture;

namespace {

const QStringList kExtraButtons = {"OpenLinkButton", "CopyPasswordButton", "SaveContactButton", "SaveEventButton"};

ReadActions* actionRow(TForm1& window) {
    return window.findChild<ReadActions*>(QStringLiteral("ReadActions"));
}

QWidget* entry(TForm1& window, int number) {
    return actionRow(window)->findChild<QWidget*>(QStringLiteral("ReadAction%1").arg(number));
}

QPushButton* button(QWidget* entry, const QString& name) {
    return entry == nullptr ? nullptr : entry->findChild<QPushButton*>(name);
}

// The details as they read: without the invisible break opportunities inside long words.
QString details(QWidget* entry) {
    return entry->findChild<QLabel*>(QStringLiteral("Details"))->text().remove(QChar(0x200B));
}

// The buttons of an entry beside Copy.
QStringList extraButtons(QWidget* entry) {
    QStringList shown;
    for (const QString& name : kExtraButtons)
        if (button(entry, name) != nullptr) shown << name;
    return shown;
}

}  // namespace

class ActionsFollowDecodedTexts : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

    // Decodes a picture of the text in the window; the count read.
    int decode(TForm1& window, const QByteArray& text, const QString& name = QStringLiteral("symbol.png")) {
        const QString path = home_->file(name);
        if (!symbolPicture(text, 1).save(path)) return -1;
        return window.DecodeFile(path);
    }

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void eachKindGetsItsActionsAndCopyIsExact() {
        struct Case {
            QByteArray text;
            QStringList extra;
            QString shown;
        };
        const std::vector<Case> cases = {
            {"https://example.org/a?b=c", {"OpenLinkButton"}, "host example.org"},
            {"WIFI:T:WPA;S:Home\\;Net;P:s3cr\\:et;;", {"CopyPasswordButton"}, "password s3cr:et"},
            {"WIFI:T:nopass;S:Lobby;H:true;;", {}, "hidden network"},
            {"MECARD:N:Doe,John;TEL:+15550100;TEL:+15550199;;", {"SaveContactButton"}, "+15550100, +15550199"},
            {"BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ada\r\n  Lovelace\r\nEND:VCARD", {"SaveContactButton"}, "Contact: Ada Lovelace"},
            {"BEGIN:VEVENT\r\nSUMMARY:Launch\r\nDTSTART:20250101T100000Z\r\nEND:VEVENT", {"SaveEventButton"}, "starts 20250101T100000Z"},
            {"Just words, 二维码 \r\nand a second line", {}, "Text: Just words, 二维码 and a second line"},
        };
        TForm1 window;
        QVERIFY(actionRow(window)->isHidden());
        for (const Case& c : cases) {
            QCOMPARE(decode(window, c.text), 1);
            QVERIFY(!actionRow(window)->isHidden());
            QWidget* row = entry(window, 1);
            QVERIFY2(row != nullptr, c.text.constData());
            QCOMPARE(entry(window, 2), nullptr);
            QCOMPARE(extraButtons(row), c.extra);
            QVERIFY2(details(row).contains(QString::fromUtf8(c.shown.toUtf8())), qPrintable(details(row)));
            QApplication::clipboard()->clear();
            QTest::mouseClick(button(row, "CopyButton"), Qt::LeftButton);
            QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8(c.text));
        }
        // The log box and log.txt report as ever.
        QVERIFY(fileBytes(home_->file("log.txt")).startsWith("https://example.org/a?b=c\r\nWIFI:T:WPA;"));
    }

    void oneEntryPerSymbolAndNoRebuildForTheSameTexts() {
        TForm1 window;
        const QString path = home_->file(QStringLiteral("two.png"));
        QVERIFY(velmora::test::sideBySide({symbolPicture("WIFI:S:Left;P:pw;;"), symbolPicture("tel:+15550100")}).save(path));
        QCOMPARE(window.DecodeFile(path), 2);
        QStringList extras = extraButtons(entry(window, 1)) + extraButtons(entry(window, 2));
        extras.sort();
        QCOMPARE(extras, (QStringList{"CopyPasswordButton", "OpenLinkButton"}));
        // A camera reports the same frame again and again: the button under the mouse stays.
        const QPointer<QPushButton> copy = button(entry(window, 1), "CopyButton");
        QCOMPARE(window.DecodeFile(path), 2);
        QVERIFY(!copy.isNull());
        QCOMPARE(decode(window, "plain"), 1);
        QVERIFY(copy.isNull());
        QCOMPARE(entry(window, 2), nullptr);
    }

    // The row belongs to the last decode: one that reads nothing, or text typed afterwards,
    // empties it.
    void theRowEmptiesWhenTheLastDecodeReadNothingOrTextIsTyped() {
        TForm1 window;
        window.show();
        QVERIFY(QImage(64, 64, QImage::Format_RGB32).save(home_->file("blank.png")));
        QCOMPARE(decode(window, "https://example.org/"), 1);
        QVERIFY(entry(window, 1) != nullptr);
        QCOMPARE(window.DecodeFile(home_->file("blank.png")), 0);
        QCOMPARE(entry(window, 1), nullptr);
        QVERIFY(actionRow(window)->isHidden());

        QCOMPARE(decode(window, "https://example.org/"), 1);
        QVERIFY(!actionRow(window)->isHidden());
        QTest::keyClicks(window.findChild<QWidget*>(QStringLiteral("Memo1")), QStringLiteral("new"));
        QCOMPARE(entry(window, 1), nullptr);
        QVERIFY(actionRow(window)->isHidden());
    }

    void wrappedDetailsAreNeverCut() {
        TForm1 window;
        window.resize(520, 780);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString path = home_->file(QStringLiteral("three.png"));
        QVERIFY(velmora::test::sideBySide({symbolPicture("https://good.example@evil.example/a/long/path/to/somewhere"),
                                           symbolPicture("WIFI:T:WPA;S:A rather long network name;P:and a password;H:true;;"),
                                           symbolPicture("MECARD:N:Doe,John;TEL:+15550100;TEL:+15550199;ADR:1 Main St,Springfield;;")})
                    .save(path));
        QCOMPARE(window.DecodeFile(path), 3);
        for (int width : {520, 420}) {
            window.resize(width, 780);
            QTest::qWait(50);
            for (int number = 1; number <= 3; ++number) {
                auto* label = entry(window, number)->findChild<QLabel*>(QStringLiteral("Details"));
                QVERIFY2(label->heightForWidth(label->width()) > label->fontMetrics().height() * 3 / 2,
                         "the details wrap at this width");
                QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->text()));
            }
        }
    }

    // A long text without spaces wraps in the row instead of widening the window past its size;
    // Copy still copies it exactly.
    void aLongWordWrapsInsteadOfWideningTheWindow() {
        TForm1 window;
        window.resize(553, 665);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QByteArray text(300, 'W');
        QCOMPARE(decode(window, text), 1);
        QTest::qWait(50);
        QVERIFY2(window.minimumSizeHint().width() <= 553, qPrintable(QString::number(window.minimumSizeHint().width())));
        QCOMPARE(window.width(), 553);
        QTest::mouseClick(button(entry(window, 1), "CopyButton"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QString::fromLatin1(text));
    }

    void copyPasswordCopiesOnlyThePassword() {
        TForm1 window;
        QCOMPARE(decode(window, "WIFI:S:Cafe;T:WPA;P:a\\;b\\\\c;;"), 1);
        QTest::mouseClick(button(entry(window, 1), "CopyPasswordButton"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("a;b\\c"));
    }

    void linksOpenOnlyOnClickWhereTheDetailsSay() {
        TForm1 window;
        std::vector<QUrl> opened;
        actionRow(window)->setLinkOpener([&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        QCOMPARE(decode(window, "https://good.example@evil.example/login"), 1);
        QVERIFY(opened.empty());
        const QString shown = details(entry(window, 1));
        QVERIFY2(shown.contains(QStringLiteral("https://good.example@evil.example/login")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("host evil.example")), qPrintable(shown));
        QTest::mouseClick(button(entry(window, 1), "OpenLinkButton"), Qt::LeftButton);
        QCOMPARE(opened.size(), std::size_t(1));
        QCOMPARE(opened[0].host(), QStringLiteral("evil.example"));
        QCOMPARE(opened[0].toString(QUrl::FullyEncoded), QStringLiteral("https://good.example@evil.example/login"));

        QCOMPARE(decode(window, "https://b\xC3\xBC" "cher.example/"), 1);
        QVERIFY2(details(entry(window, 1)).contains(QString::fromUtf8("host bücher.example (xn--bcher-kva.example)")),
                 qPrintable(details(entry(window, 1))));
        QTest::mouseClick(button(entry(window, 1), "OpenLinkButton"), Qt::LeftButton);
        QCOMPARE(opened.back().host(QUrl::FullyEncoded), QStringLiteral("xn--bcher-kva.example"));

        // Where parsers disagree about the host, the text is only copied.
        QCOMPARE(decode(window, "https://evil.example\\@good.example/"), 1);
        QCOMPARE(extraButtons(entry(window, 1)), QStringList());
        QCOMPARE(opened.size(), std::size_t(2));
    }

    void aLinkNothingOpensIsReported() {
        TForm1 window;
        actionRow(window)->setLinkOpener([](const QUrl&) { return false; });
        QCOMPARE(decode(window, "geo:48.2,16.37"), 1);
        auto seen = velmora::test::answerNextMessageBox();
        QTest::mouseClick(button(entry(window, 1), "OpenLinkButton"), Qt::LeftButton);
        QTRY_VERIFY(seen->shown);
        QCOMPARE(seen->text, QStringLiteral("No program opens geo:48.2,16.37"));
    }

    void contactsAndEventsSaveAsFiles() {
        TForm1 window;
        QString suggested;
        QString answer = home_->file(QStringLiteral("saved"));
        actionRow(window)->setSaveNameChooser([&](const QString& name, const QString&) {
            suggested = name;
            return answer;
        });
        QCOMPARE(decode(window, "MECARD:N:Doe,John;TEL:+15550100;;"), 1);
        QTest::mouseClick(button(entry(window, 1), "SaveContactButton"), Qt::LeftButton);
        QVERIFY2(suggested.endsWith(QStringLiteral("/John Doe.vcf")), qPrintable(suggested));
        QCOMPARE(fileBytes(home_->file("saved.vcf")),
                 QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;John;;;\r\nFN:John Doe\r\nTEL:+15550100\r\nEND:VCARD\r\n"));

        QCOMPARE(decode(window, "BEGIN:VEVENT\nSUMMARY:Q1/../Launch\nEND:VEVENT"), 1);
        answer = home_->file(QStringLiteral("launch.ics"));
        QTest::mouseClick(button(entry(window, 1), "SaveEventButton"), Qt::LeftButton);
        // A name from the symbol never leads the dialog into another folder.
        QVERIFY2(suggested.endsWith(QStringLiteral("/Q1_.._Launch.ics")), qPrintable(suggested));
        QVERIFY(fileBytes(answer).startsWith("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"));
        QVERIFY(fileBytes(answer).endsWith("END:VEVENT\r\nEND:VCALENDAR\r\n"));

        // A cancelled dialog writes nothing; a folder that cannot take the file says so.
        answer.clear();
        QTest::mouseClick(button(entry(window, 1), "SaveEventButton"), Qt::LeftButton);
        answer = home_->file(QStringLiteral("missing/folder/e.ics"));
        auto seen = velmora::test::answerNextMessageBox();
        QTest::mouseClick(button(entry(window, 1), "SaveEventButton"), Qt::LeftButton);
        QTRY_VERIFY(seen->shown);
        QVERIFY2(seen->text.startsWith(QStringLiteral("Cannot save ")), qPrintable(seen->text));
        QVERIFY(!QFile::exists(answer));
    }

    void aContactSavedOnAFullDiskKeepsTheOldFile() {
        velmora::test::FullDisk disk;
        if (!disk.ready()) QSKIP(disk.reason().c_str());
        const QString saved = QString::fromStdString(disk.path("John Doe.vcf"));
        QFile old(saved);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the card saved before\r\n") > 0);
        old.close();
        QVERIFY(disk.fill());
        const std::vector<std::string> names = disk.names();
        TForm1 window;
        actionRow(window)->setSaveNameChooser([&](const QString&, const QString&) { return saved; });
        QCOMPARE(decode(window, "MECARD:N:Doe,John;TEL:+15550100;;"), 1);
        auto seen = velmora::test::answerNextMessageBox();
        QTest::mouseClick(button(entry(window, 1), "SaveContactButton"), Qt::LeftButton);
        QTRY_VERIFY(seen->shown);
        QCOMPARE(seen->text, QStringLiteral("Cannot save %1: No space left on device").arg(saved));
        QCOMPARE(fileBytes(saved), QByteArray("the card saved before\r\n"));
        QVERIFY(disk.names() == names);
    }

    void rowSpeaksTheChosenLanguage() {
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini"), home_->file(QStringLiteral("Lan_Ch.ini"))));
        TForm1 window;
        QCOMPARE(decode(window, "WIFI:S:Net;P:pw;;"), 1);
        QCOMPARE(button(entry(window, 1), "CopyButton")->text(), QStringLiteral("Copy"));
        window.findChild<QAction*>(QStringLiteral("N_CH"))->trigger();
        QCOMPARE(button(entry(window, 1), "CopyButton")->text(), QString::fromUtf8("复制"));
        QCOMPARE(button(entry(window, 1), "CopyPasswordButton")->text(), QString::fromUtf8("复制密码"));
        QVERIFY(details(entry(window, 1)).startsWith(QString::fromUtf8("Wi-Fi：Net")));
    }

    void shippedChineseHasEveryActionText() {
        const velmora::IniFile file(QFile::encodeName(QStringLiteral(VELMORA_DATA_DIR "/Lan_Ch.ini")).toStdString());
        const auto* keys = velmora::actionTextKeys();
        for (int i = 0; i < velmora::kActionTextCount; ++i) {
            const std::string value = file.readString(keys[i].section, keys[i].key, "<missing>");
            QVERIFY2(value != "<missing>" && value != keys[i].english, keys[i].key);
            // Translations keep the placeholders of the English text.
            for (const char* mark : {"%1", "%2"})
                QCOMPARE(value.find(mark) != std::string::npos, std::string(keys[i].english).find(mark) != std::string::npos);
        }
    }
};

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv, {suite<ActionsFollowDecodedTexts>()});
}

#include "read_actions_test.moc"
