// New symbols from forms, and the symbol taken elsewhere: each form of Tools ▸ New symbol from
// puts its text into the input box, whose symbol other readers read back to the form's fields;
// a form whose fields make no symbol says why and stays open; Copy symbol puts a PNG and an SVG
// of the symbol on the clipboard; Print writes the symbol at the chosen side onto the page.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTest>
#include <functional>

#include "app/language.h"
#include "app/main_window.h"
#include "app/picture_view.h"
#include "app/symbol_form.h"
#include "app/symbol_save_format.h"
#include "app_test_support.h"
#include "codecs/text_kind.h"

using velmora::TForm1;
using velmora::test::ScratchHome;

namespace {

template <typename T>
T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no control named %s", name);
    return found;
}

void triggerAction(QObject* window, const char* name) {
    child<QAction>(window, name)->trigger();
}

// What happened to a form opened from the menu.
struct FormOutcome {
    bool opened = false;
    bool closedByAccept = false;  // the form closed when asked to make the symbol
    QString problem;              // what it said when it stayed open
};

// Opens a form from the menu, fills it and asks it to make the symbol; a form that stays open
// is cancelled after its problem is noted.
FormOutcome runForm(QObject* window, const char* action, const std::function<void(QWidget*)>& fill) {
    FormOutcome outcome;
    QTimer::singleShot(0, [&outcome, fill] {
        auto* form = qobject_cast<velmora::SymbolForm*>(QApplication::activeModalWidget());
        if (form == nullptr) return;
        outcome.opened = true;
        fill(form);
        form->accept();
        outcome.closedByAccept = form->result() == QDialog::Accepted;
        if (!outcome.closedByAccept) {
            outcome.problem = form->problem();
            form->reject();
        }
    });
    triggerAction(window, action);
    return outcome;
}

void setLine(QWidget* form, const char* name, const QString& text) {
    child<QLineEdit>(form, name)->setText(text);
}

// The symbol on show, read by zxing-cpp as bytes from the whole picture (the view may reduce it).
QByteArray shownSymbolBytes(QObject* window) {
    return velmora::test::zxingBytes(child<velmora::PictureView>(window, "Image1")->picture());
}

velmora::ReadText shownSymbolRead(QObject* window) {
    return velmora::readTextKind(shownSymbolBytes(window).toStdString());
}

// The main window whose print preview prints at once to a PDF file on a chosen paper size.
class PrintingWindow : public TForm1 {
public:
    QString pdfPath;
    QPageSize paper = QPageSize(QPageSize::A4);
    double side = 40;
    int previews = 0;
    double offeredAtStart = 0;  // the side the size box offered when the preview opened

protected:
    void showPrintPreview(QPrintPreviewDialog& dialog) override {
        ++previews;
        dialog.printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog.printer()->setOutputFileName(pdfPath);
        dialog.printer()->setPageSize(paper);
        auto* box = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("PrintSide"));
        QVERIFY(box != nullptr);
        offeredAtStart = box->value();
        box->setValue(side);
        auto* preview = dialog.findChild<QPrintPreviewWidget*>();
        QVERIFY(preview != nullptr);
        preview->print();
    }
};

// A PDF page rendered in grey at dpi by poppler; null when pdftoppm is not there.
QImage renderedPdfPage(const QString& pdf, int dpi) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (program.isEmpty()) return {};
    QProcess render;
    render.start(program, {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
                           QStringLiteral("-singlefile"), pdf, pdf + QStringLiteral(".page")});
    if (!render.waitForFinished(60000) || render.exitCode() != 0) return {};
    return QImage(pdf + QStringLiteral(".page.pgm"));
}

// The width of the dark pixels' bounding box.
int darkWidth(const QImage& grey) {
    int left = grey.width(), right = -1;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            if (row[x] >= 128) continue;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    return right < left ? 0 : right - left + 1;
}

// The page sizes a PDF says it has, in points, from its MediaBox entries.
QStringList mediaBoxes(const QByteArray& pdf) {
    QStringList boxes;
    static const QRegularExpression box(QStringLiteral(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])"));
    for (auto match = box.globalMatch(QString::fromLatin1(pdf)); match.hasNext();) {
        const auto found = match.next();
        boxes << QStringLiteral("%1x%2").arg(qRound(found.captured(1).toDouble())).arg(qRound(found.captured(2).toDouble()));
    }
    return boxes;
}

}  // namespace

class FormsMakeSymbols : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    // Each form's text lands in the input box and becomes the symbol, which another reader
    // reads back to the fields typed.
    void everyFormPutsItsSymbolOnShow() {
        TForm1 window;
        window.show();

        FormOutcome outcome = runForm(&window, "N_NewLink", [](QWidget* form) {
            setLine(form, "LinkAddress", QStringLiteral("  https://bücher.example/a;b?c=d  "));
        });
        QVERIFY(outcome.closedByAccept);
        QCOMPARE(child<QPlainTextEdit>(&window, "Memo1")->toPlainText(), QStringLiteral("https://bücher.example/a;b?c=d"));
        velmora::ReadText read = shownSymbolRead(&window);
        QCOMPARE(read.kind, velmora::TextKind::Url);
        QCOMPARE(read.url.host, std::string("xn--bcher-kva.example"));

        outcome = runForm(&window, "N_NewWifi", [](QWidget* form) {
            setLine(form, "WifiName", QStringLiteral(R"(Café;5G:"x",\)"));
            setLine(form, "WifiPassword", QStringLiteral("p;a:s,s\\w\"d"));
            child<QCheckBox>(form, "WifiHidden")->setChecked(true);
        });
        QVERIFY(outcome.closedByAccept);
        read = shownSymbolRead(&window);
        QCOMPARE(read.kind, velmora::TextKind::Wifi);
        QCOMPARE(read.wifi.ssid, std::string(R"(Café;5G:"x",\)"));
        QCOMPARE(read.wifi.password, std::string("p;a:s,s\\w\"d"));
        QCOMPARE(read.wifi.security, std::string("WPA"));
        QVERIFY(read.wifi.hidden);

        outcome = runForm(&window, "N_NewContact", [](QWidget* form) {
            setLine(form, "ContactName", QStringLiteral("张伟; Zhang, Wei"));
            setLine(form, "ContactOrganization", QStringLiteral("Velmora\\Labs"));
            child<QPlainTextEdit>(form, "ContactNumbers")->setPlainText(QStringLiteral("+86 10 1234 5678\n\n  +1-555-0100 "));
            child<QPlainTextEdit>(form, "ContactEmails")->setPlainText(QStringLiteral("wei@example.com"));
            setLine(form, "ContactStreet", QStringLiteral("1 Main St; Apt 2"));
            setLine(form, "ContactCity", QStringLiteral("北京"));
            setLine(form, "ContactCountry", QStringLiteral("China"));
        });
        QVERIFY(outcome.closedByAccept);
        read = shownSymbolRead(&window);
        QCOMPARE(read.kind, velmora::TextKind::Contact);
        QCOMPARE(read.contact.name, std::string("张伟; Zhang, Wei"));
        QCOMPARE(read.contact.organization, std::string("Velmora\\Labs"));
        QCOMPARE(read.contact.numbers, (std::vector<std::string>{"+86 10 1234 5678", "+1-555-0100"}));
        QCOMPARE(read.contact.emails, std::vector<std::string>{"wei@example.com"});
        QCOMPARE(read.contact.addresses, std::vector<std::string>{"1 Main St; Apt 2, 北京, China"});
        // The symbol holds the vCard's own CR LF lines, the last one ended too.
        QVERIFY(shownSymbolBytes(&window).endsWith("END:VCARD\r\n"));

        const QDateTime start(QDate(2027, 3, 14), QTime(9, 30), Qt::LocalTime);
        outcome = runForm(&window, "N_NewEvent", [&start](QWidget* form) {
            setLine(form, "EventSummary", QStringLiteral("Review, part 2; 评审"));
            child<QDateTimeEdit>(form, "EventStart")->setDateTime(start);
            child<QDateTimeEdit>(form, "EventEnd")->setDateTime(start.addSecs(5400));
            setLine(form, "EventPlace", QStringLiteral("Room 3\\4"));
        });
        QVERIFY(outcome.closedByAccept);
        read = shownSymbolRead(&window);
        QCOMPARE(read.kind, velmora::TextKind::Event);
        QCOMPARE(read.event.summary, std::string("Review, part 2; 评审"));
        QCOMPARE(read.event.location, std::string("Room 3\\4"));
        const QString utc = QStringLiteral("yyyyMMdd'T'HHmmss'Z'");
        QCOMPARE(QString::fromStdString(read.event.start), start.toUTC().toString(utc));
        QCOMPARE(QString::fromStdString(read.event.end), start.addSecs(5400).toUTC().toString(utc));
    }

    // Fields that make no symbol keep the form open with the reason, and the input box as it was.
    void formsSayWhyTheyMakeNoSymbol_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<std::function<void(QWidget*)>>("fill");
        QTest::addColumn<QString>("problem");
        const velmora::FormTexts& texts = velmora::currentFormTexts();
        QTest::newRow("link without scheme") << QStringLiteral("N_NewLink")
            << std::function<void(QWidget*)>([](QWidget* f) { setLine(f, "LinkAddress", QStringLiteral("example.com/x")); })
            << texts.linknoscheme.arg(QStringLiteral("example.com/x"));
        QTest::newRow("link of another scheme") << QStringLiteral("N_NewLink")
            << std::function<void(QWidget*)>([](QWidget* f) { setLine(f, "LinkAddress", QStringLiteral("ftp://files.example/")); })
            << texts.linknotweb.arg(QStringLiteral("ftp"));
        QTest::newRow("link without host") << QStringLiteral("N_NewLink")
            << std::function<void(QWidget*)>([](QWidget* f) { setLine(f, "LinkAddress", QStringLiteral("https:///x")); })
            << texts.linknohost;
        QTest::newRow("empty link") << QStringLiteral("N_NewLink") << std::function<void(QWidget*)>([](QWidget*) {})
                                    << texts.linkempty;
        QTest::newRow("network without name") << QStringLiteral("N_NewWifi")
            << std::function<void(QWidget*)>([](QWidget* f) { setLine(f, "WifiPassword", QStringLiteral("password1")); })
            << texts.wifinoname;
        QTest::newRow("short WPA password") << QStringLiteral("N_NewWifi")
            << std::function<void(QWidget*)>([](QWidget* f) {
                   setLine(f, "WifiName", QStringLiteral("Home"));
                   setLine(f, "WifiPassword", QStringLiteral("short"));
               })
            << texts.wifiwpalength;
        QTest::newRow("contact without name") << QStringLiteral("N_NewContact")
            << std::function<void(QWidget*)>([](QWidget* f) { setLine(f, "ContactName", QStringLiteral("   ")); })
            << texts.contactnoname;
        QTest::newRow("event without title") << QStringLiteral("N_NewEvent") << std::function<void(QWidget*)>([](QWidget*) {})
                                             << texts.eventnotitle;
        QTest::newRow("event ending early") << QStringLiteral("N_NewEvent")
            << std::function<void(QWidget*)>([](QWidget* f) {
                   setLine(f, "EventSummary", QStringLiteral("Backwards"));
                   auto* end = child<QDateTimeEdit>(f, "EventEnd");
                   end->setDateTime(child<QDateTimeEdit>(f, "EventStart")->dateTime().addSecs(-60));
               })
            << texts.eventendsearly;
    }
    void formsSayWhyTheyMakeNoSymbol() {
        QFETCH(QString, action);
        QFETCH(std::function<void(QWidget*)>, fill);
        QFETCH(QString, problem);
        TForm1 window;
        window.show();
        QTest::keyClicks(child<QPlainTextEdit>(&window, "Memo1"), QStringLiteral("kept"));
        const FormOutcome outcome = runForm(&window, action.toLatin1().constData(), fill);
        QVERIFY(outcome.opened);
        QVERIFY(!outcome.closedByAccept);
        QCOMPARE(outcome.problem, problem);
        QCOMPARE(child<QPlainTextEdit>(&window, "Memo1")->toPlainText(), QStringLiteral("kept"));
    }

    // An open network needs no password; the password box is then out of use.
    void openNetworkNeedsNoPassword() {
        TForm1 window;
        const FormOutcome outcome = runForm(&window, "N_NewWifi", [](QWidget* form) {
            setLine(form, "WifiName", QStringLiteral("Guest"));
            auto* security = child<QComboBox>(form, "WifiSecurity");
            security->setCurrentIndex(security->findData(QStringLiteral("nopass")));
            QVERIFY(!child<QLineEdit>(form, "WifiPassword")->isEnabled());
        });
        QVERIFY(outcome.closedByAccept);
        QCOMPARE(child<QPlainTextEdit>(&window, "Memo1")->toPlainText(), QStringLiteral("WIFI:T:nopass;S:Guest;;"));
    }
};

class SymbolLeavesAsPicture : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    // The clipboard holds the symbol as a picture and PNG that readers read, and as SVG that
    // renders to the same symbol.
    void copyPutsPictureAndSvgOnTheClipboard() {
        TForm1 window;
        window.show();
        const QString text = QStringLiteral("Velmora 剪贴板 https://example.com/?a=1");
        child<QPlainTextEdit>(&window, "Memo1")->setPlainText(text);
        QApplication::clipboard()->clear();
        QCOMPARE(child<QAction>(&window, "N_CopySymbol")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
        triggerAction(&window, "N_CopySymbol");
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(data != nullptr);
        QVERIFY(data->hasImage());
        QCOMPARE(QString::fromUtf8(velmora::test::zxingBytes(qvariant_cast<QImage>(data->imageData()))), text);
        const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
        QVERIFY(!png.isNull());
        QCOMPARE(QString::fromUtf8(velmora::test::zxingBytes(png)), text);

        QSvgRenderer svg(data->data(QStringLiteral("image/svg+xml")));
        QVERIFY(svg.isValid());
        QCOMPARE(svg.defaultSize(), png.size());
        QImage drawn(png.size() * 2, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        svg.render(&painter);
        painter.end();
        QCOMPARE(QString::fromUtf8(velmora::test::zxingBytes(drawn)), text);
        QCOMPARE(window.statusText(), velmora::currentSymbolTexts().copied);
    }

    // With no symbol of the input box on show nothing is copied or printed, and the status
    // says why.
    void noSymbolNothingLeaves() {
        PrintingWindow window;
        window.show();
        QApplication::clipboard()->setText(QStringLiteral("before"));
        triggerAction(&window, "N_CopySymbol");
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        QCOMPARE(window.statusText(), velmora::currentSymbolTexts().nosymbol);
        // Version 1 fixed and too much text: the view still holds the last symbol, not this one.
        QTest::keyClicks(child<QPlainTextEdit>(&window, "Memo1"), QStringLiteral("short"));
        child<QComboBox>(&window, "ComboBoxVersion")->setCurrentIndex(1);
        QTest::keyClicks(child<QPlainTextEdit>(&window, "Memo1"), QString(60, QLatin1Char('x')));
        triggerAction(&window, "N_Print");
        QCOMPARE(window.previews, 0);
        QCOMPARE(window.statusText(), velmora::currentUiTexts().textoverflow);
    }

    // The PDF has a page of the paper chosen, on which the symbol's dark square measures the
    // side chosen and reads back; a side larger than the page holds is made to fit.
    void printWritesTheChosenSide_data() {
        QTest::addColumn<int>("paper");
        QTest::addColumn<double>("side");
        QTest::addColumn<QString>("mediaBox");
        QTest::addColumn<double>("printedSide");
        QTest::newRow("A4, 30 mm") << int(QPageSize::A4) << 30.0 << QStringLiteral("595x842") << 30.0;
        QTest::newRow("Letter, 75 mm") << int(QPageSize::Letter) << 75.0 << QStringLiteral("612x792") << 75.0;
        QTest::newRow("A6, too large") << int(QPageSize::A6) << 400.0 << QStringLiteral("297x420") << -1.0;
    }
    void printWritesTheChosenSide() {
        QFETCH(int, paper);
        QFETCH(double, side);
        QFETCH(QString, mediaBox);
        QFETCH(double, printedSide);
        PrintingWindow window;
        window.show();
        const QString text = QStringLiteral("Printed by Velmora");
        QTest::keyClicks(child<QPlainTextEdit>(&window, "Memo1"), text);
        window.pdfPath = home_->file(QStringLiteral("symbol.pdf"));
        window.paper = QPageSize(QPageSize::PageSizeId(paper));
        window.side = side;
        triggerAction(&window, "N_Print");
        QCOMPARE(window.previews, 1);

        QFile file(window.pdfPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        QVERIFY(pdf.startsWith("%PDF-"));
        QCOMPARE(mediaBoxes(pdf), QStringList{mediaBox});

        constexpr int dpi = 300;
        const QImage page = renderedPdfPage(window.pdfPath, dpi);
        if (page.isNull()) QSKIP("pdftoppm (poppler-utils) is not installed");
        const int measured = darkWidth(page.convertToFormat(QImage::Format_Grayscale8));
        if (printedSide > 0) {
            QVERIFY2(std::abs(measured - printedSide / 25.4 * dpi) <= 3, qPrintable(QString::number(measured)));
        } else {
            // A side too large for the page becomes the largest that keeps the quiet zone of four
            // modules on the printable area, which lies inside the paper's edges.
            const int modules = velmora::shownSymbolModules(child<velmora::PictureView>(&window, "Image1")->picture(), 4).size;
            const double share = double(modules) / (modules + 8);
            const int paperSide = std::min(page.width(), page.height());
            QVERIFY2(measured <= paperSide * share + 3, qPrintable(QString::number(measured)));
            QVERIFY2(measured >= (paperSide - 40 / 25.4 * dpi) * share, qPrintable(QString::number(measured)));
        }
        QCOMPARE(velmora::test::zbarTexts(page), QStringList{text});
    }

    // The preview starts at the side chosen last time.
    void previewRemembersTheSide() {
        PrintingWindow window;
        window.show();
        QTest::keyClicks(child<QPlainTextEdit>(&window, "Memo1"), QStringLiteral("again"));
        window.pdfPath = home_->file(QStringLiteral("first.pdf"));
        window.side = 55;
        triggerAction(&window, "N_Print");
        window.pdfPath = home_->file(QStringLiteral("second.pdf"));
        triggerAction(&window, "N_Print");
        QCOMPARE(window.offeredAtStart, 55.0);
    }
};

int main(int argc, char** argv) {
    return velmora::test::runTests(argc, argv, {velmora::test::suite<FormsMakeSymbols>(),
                                                velmora::test::suite<SymbolLeavesAsPicture>()});
}

#include "symbol_forms_test.moc"
