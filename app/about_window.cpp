#include "app/about_window.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include "app/app_directory.h"
#include "app/app_resources.h"
#include "app/help_document.h"
#include "app/language.h"

namespace velmora {
namespace {

constexpr QSize kBackgroundSize(619, 387);

// The maker lines. The project publishes no people, mail address, telephone or web page, so the
// contact lines keep their place and say "none".
struct AboutLine {
    const char* chinese;
    const char* other;
};
constexpr AboutLine kAboutLines[8] = {
    {"Velmora " VELMORA_VERSION, "Velmora " VELMORA_VERSION},
    {"2024-2025", "2024-2025"},
    {"\n", "\n"},
    {"Velmora 开发者", "Velmora developers"},
    {"Velmora 项目组", "The Velmora project"},
    {"E-mail: none", "E-mail: none"},
    {"技术支持：none", "TEL: none"},
    {"Web: none", "Web: none"},
};

}  // namespace

QStringList TFormAbout::aboutLines(int languageIndex) {
    QStringList lines;
    for (const AboutLine& line : kAboutLines) lines << QString::fromUtf8(languageIndex == 1 ? line.chinese : line.other);
    return lines;
}

TFormAbout::TFormAbout(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About Velmora"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(QRect(QPoint(0, 0), kBackgroundSize));
    Image1->setPixmap(svgPicture(QStringLiteral(":/velmora/pictures/about_background.svg"), kBackgroundSize));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(14, 65, 240, 160);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The soft blue of an inactive title bar's gradient, matching the background picture.
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #d7e4f2; color: #10243e; }"));

    BitBtn2 = new QPushButton(QStringLiteral("Help..."), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(39, 269, 75, 25);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &TFormAbout::BitBtn2Click);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(137, 269, 74, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TFormAbout::BitBtn1Click);

    setFixedSize(kBackgroundSize);
    FormCreate();
}

void TFormAbout::FormCreate() {
    // Line 3 is a single line feed, which shows as an empty line between the others.
    const QStringList lines = aboutLines(LanguageIndex());
    QString text;
    for (const QString& line : lines) {
        if (line == QLatin1String("\n")) {
            text += line;
            continue;
        }
        text += line + QLatin1Char('\n');
    }
    text.chop(1);
    Memo1->setPlainText(text);
}

void TFormAbout::showEvent(QShowEvent* event) {
    // Centred on the owner each time it is first shown.
    if (parentWidget() != nullptr) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
}

void TFormAbout::BitBtn1Click() {
    close();
}

void TFormAbout::BitBtn2Click() {
    const QString path = applicationFile(kHelpDocumentName);
    // Opening succeeds as soon as the desktop's opener starts, even when nothing can show a PDF
    // file; so the desktop is asked first whether anything can.
    if (pdfReaderAvailable() && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    // The manual is still there to read with any program: say where, and offer its folder.
    const WindowTexts& texts = currentWindowTexts();
    const QString folder = QFileInfo(path).absolutePath();
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("ERR"), texts.nopdfreader, QMessageBox::Ok | QMessageBox::Cancel,
                    this);
    box.setObjectName(QStringLiteral("NoPdfReaderBox"));
    box.setInformativeText(texts.manualin.arg(QDir::toNativeSeparators(folder)));
    QPushButton* openFolder = box.addButton(texts.openfolder, QMessageBox::ActionRole);
    openFolder->setObjectName(QStringLiteral("OpenFolderButton"));
    box.exec();
    if (box.clickedButton() == openFolder) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace velmora
