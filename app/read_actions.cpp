#include "app/read_actions.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "app/language.h"
#include "app/network_manager_client.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString joined(const std::vector<std::string>& parts, const QString& separator) {
    QStringList list;
    for (const std::string& part : parts) list << fromUtf8(part);
    return list.join(separator);
}

// A text on one line of reasonable length, for the details of plain texts.
QString shortLine(const std::string& text) {
    QString line = fromUtf8(text).simplified();
    if (line.size() > 80) line = line.left(79) + QChar(0x2026);
    return line;
}

// A file name made of a person's or an event's name: no folder separators or control characters.
QString fileNameOf(const std::string& name, const QString& fallback, const QString& suffix) {
    QString base = fromUtf8(name).simplified();
    for (QChar& c : base)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control) c = QLatin1Char('_');
    if (base.isEmpty() || base.startsWith(QLatin1Char('.'))) base = fallback;
    return base + suffix;
}

// The text with a zero-width break opportunity every kLongestUnbroken characters of a run without
// spaces, so that a long word wraps within the row instead of widening the window past the
// screen. Only the details shown change; Copy copies the text itself.
QString breakableText(const QString& text) {
    constexpr int kLongestUnbroken = 32;
    QString shown;
    shown.reserve(text.size() + text.size() / kLongestUnbroken);
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestUnbroken && !c.isLowSurrogate()) {
            shown += QChar(0x200B);
            run = 1;
        }
        shown += c;
    }
    return shown;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

ReadActions::ReadActions(QWidget* parent)
    : QWidget(parent),
      layout_(new QVBoxLayout(this)),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      chooser_([this](const QString& suggested, const QString& filter) {
          return QFileDialog::getSaveFileName(this, QString(), suggested, filter);
      }) {
    setObjectName(QStringLiteral("ReadActions"));
    layout_->setContentsMargins(2, 2, 2, 2);
    layout_->setSpacing(2);
    hide();
}

void ReadActions::showTexts(const std::vector<std::string>& texts) {
    if (texts == texts_ && !texts.empty()) return;
    texts_ = texts;
    entries_.clear();
    for (const std::string& text : texts_) entries_.push_back(readTextKind(text));
    rebuild();
}

void ReadActions::applyLanguage() {
    rebuild();
}

QUrl ReadActions::openableUrl(const ReadText& entry) {
    if (entry.kind != TextKind::Url) return {};
    const QUrl url(fromUtf8(entry.url.address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != fromUtf8(entry.url.scheme)) return {};
    // What is opened must go where the details say it goes.
    if (entry.url.scheme == "http" || entry.url.scheme == "https") {
        QString host = fromUtf8(entry.url.host);
        if (host.startsWith(QLatin1Char('['))) host = host.mid(1, host.size() - 2);  // QUrl drops the brackets
        if (url.host(QUrl::FullyEncoded).toLower() != host) return {};
    }
    return url;
}

void ReadActions::rebuild() {
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) layout_->addWidget(makeEntry(i, entries_[i]));
    alignButtons();
    setVisible(!entries_.empty());
    fitHeight();
}

void ReadActions::alignButtons() {
    // Copy, then each entry's own buttons in columns of equal width; a shorter row keeps room for
    // the columns it lacks.
    int copyWidth = 0;
    std::vector<int> extraWidths;
    std::vector<std::pair<QPushButton*, std::vector<QPushButton*>>> rows;
    for (int i = 0; i < layout_->count(); ++i) {
        QWidget* row = layout_->itemAt(i)->widget();
        QPushButton* copy = row->findChild<QPushButton*>(QStringLiteral("CopyButton"));
        std::vector<QPushButton*> extras;
        for (QPushButton* button : row->findChildren<QPushButton*>())
            if (button != copy) extras.push_back(button);
        copyWidth = std::max(copyWidth, copy->sizeHint().width());
        if (extraWidths.size() < extras.size()) extraWidths.resize(extras.size(), 0);
        for (std::size_t k = 0; k < extras.size(); ++k)
            extraWidths[k] = std::max(extraWidths[k], extras[k]->sizeHint().width());
        rows.emplace_back(copy, std::move(extras));
    }
    for (const auto& [copy, extras] : rows) {
        copy->setFixedWidth(copyWidth);
        auto* rowLayout = static_cast<QHBoxLayout*>(copy->parentWidget()->layout());
        for (std::size_t k = 0; k < extraWidths.size(); ++k) {
            if (k < extras.size())
                extras[k]->setFixedWidth(extraWidths[k]);
            else
                rowLayout->addSpacing(extraWidths[k] + rowLayout->spacing());
        }
    }
}

void ReadActions::fitHeight() {
    const int height = layout_->hasHeightForWidth() ? layout_->totalHeightForWidth(width()) : sizeHint().height();
    setMinimumHeight(entries_.empty() ? 0 : height);
}

void ReadActions::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) fitHeight();
}

QString ReadActions::details(const ReadText& entry) {
    const ActionTexts& texts = currentActionTexts();
    const QString dot = QStringLiteral("  \u00B7  ");
    switch (entry.kind) {
    case TextKind::Url: {
        QString line = texts.link.arg(fromUtf8(entry.url.address));
        if (entry.url.host.empty()) return line;
        if (entry.url.host == entry.url.hostUnicode) return line + dot + texts.host.arg(fromUtf8(entry.url.host));
        return line + dot + texts.hostidn.arg(fromUtf8(entry.url.hostUnicode), fromUtf8(entry.url.host));
    }
    case TextKind::Wifi: {
        const WifiText& wifi = entry.wifi;
        const bool open = wifi.security.empty() || QString::fromStdString(wifi.security).toLower() == "nopass";
        QString line = texts.wifi.arg(fromUtf8(wifi.ssid)) + dot +
                       (open ? texts.opennetwork : texts.security.arg(fromUtf8(wifi.security)));
        if (!wifi.password.empty()) line += dot + texts.password.arg(fromUtf8(wifi.password));
        if (wifi.hidden) line += dot + texts.hidden;
        return line;
    }
    case TextKind::Contact: {
        const ContactText& contact = entry.contact;
        QStringList parts{texts.contact.arg(fromUtf8(contact.name))};
        if (!contact.organization.empty()) parts << fromUtf8(contact.organization);
        if (!contact.numbers.empty()) parts << joined(contact.numbers, QStringLiteral(", "));
        if (!contact.emails.empty()) parts << joined(contact.emails, QStringLiteral(", "));
        if (!contact.addresses.empty()) parts << joined(contact.addresses, QStringLiteral("; "));
        return parts.join(dot);
    }
    case TextKind::Event: {
        QStringList parts{texts.event.arg(fromUtf8(entry.event.summary))};
        if (!entry.event.start.empty()) parts << texts.starts.arg(fromUtf8(entry.event.start));
        if (!entry.event.location.empty()) parts << fromUtf8(entry.event.location);
        return parts.join(dot);
    }
    case TextKind::Text:
        break;
    }
    return texts.text.arg(shortLine(entry.text));
}

QWidget* ReadActions::makeEntry(int index, const ReadText& entry) {
    const ActionTexts& texts = currentActionTexts();
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("ReadAction%1").arg(index + 1));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* number = new QLabel(QString::number(index + 1), row);
    auto* label = new QLabel(row);
    label->setObjectName(QStringLiteral("Details"));
    // A symbol's text is never markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(breakableText(details(entry)));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(number);
    layout->addWidget(label, 1);

    const QString text = fromUtf8(entry.text);
    QPushButton* copy = makeButton(row, "CopyButton", texts.copy);
    connect(copy, &QPushButton::clicked, this, [text] { QApplication::clipboard()->setText(text); });
    layout->addWidget(copy);
    std::vector<QPushButton*> extras;
    if (const QUrl url = openableUrl(entry); !url.isEmpty()) {
        QPushButton* open = makeButton(row, "OpenLinkButton", texts.openlink);
        open->setToolTip(url.toString(QUrl::FullyEncoded));
        connect(open, &QPushButton::clicked, this, [this, url] { openLink(url); });
        extras.push_back(open);
    } else if (entry.kind == TextKind::Wifi) {
        QPushButton* join = makeButton(row, "ConnectButton", currentNetworkTexts().connect);
        const WifiText wifi = entry.wifi;
        connect(join, &QPushButton::clicked, this, [this, join, wifi] { joinNetwork(join, wifi); });
        extras.push_back(join);
        if (!entry.wifi.password.empty()) {
            QPushButton* copyPassword = makeButton(row, "CopyPasswordButton", texts.copypassword);
            const QString password = fromUtf8(entry.wifi.password);
            connect(copyPassword, &QPushButton::clicked, this, [password] { QApplication::clipboard()->setText(password); });
            extras.push_back(copyPassword);
        }
    } else if (entry.kind == TextKind::Contact) {
        QPushButton* save = makeButton(row, "SaveContactButton", texts.savevcf);
        const QString name = fileNameOf(entry.contact.name, QStringLiteral("contact"), QStringLiteral(".vcf"));
        const std::string vcard = entry.contact.vcard;
        connect(save, &QPushButton::clicked, this, [this, name, vcard] {
            saveFile(FileKind::Contacts, name, currentWindowTexts().vcard + QStringLiteral(" (*.vcf)"), vcard);
        });
        extras.push_back(save);
    } else if (entry.kind == TextKind::Event) {
        QPushButton* save = makeButton(row, "SaveEventButton", texts.saveics);
        const QString name = fileNameOf(entry.event.summary, QStringLiteral("event"), QStringLiteral(".ics"));
        const std::string calendar = entry.event.calendar;
        connect(save, &QPushButton::clicked, this, [this, name, calendar] {
            saveFile(FileKind::Events, name, currentWindowTexts().icalendar + QStringLiteral(" (*.ics)"), calendar);
        });
        extras.push_back(save);
    }
    for (QPushButton* extra : extras) layout->addWidget(extra);
    return row;
}

void ReadActions::joinNetwork(QPushButton* button, const WifiText& network) {
    // One question at a time for a network; the button comes back with the answer.
    button->setEnabled(false);
    auto* client = new NetworkManagerClient(NetworkManagerClient::defaultBus(), this);
    const QPointer<QPushButton> pressed(button);
    const QString name = fromUtf8(network.ssid);
    connect(client, &NetworkManagerClient::answered, this, [this, client, pressed, name](const WifiJoinAnswer& answer) {
        client->deleteLater();
        if (pressed) pressed->setEnabled(true);
        showJoinAnswer(name, answer);
    });
    client->join(network);
}

void ReadActions::showJoinAnswer(const QString& network, const WifiJoinAnswer& answer) {
    const NetworkTexts& texts = currentNetworkTexts();
    using Outcome = WifiJoinAnswer::Outcome;
    QString message;
    switch (answer.outcome) {
    case Outcome::Joining: message = texts.joining.arg(network, answer.detail); break;
    case Outcome::NoNetworkManager: message = texts.nonetworkmanager.arg(network, answer.detail); break;
    case Outcome::NoWifiDevice: message = texts.nowifi.arg(network); break;
    case Outcome::OutOfReach: message = texts.outofreach.arg(network); break;
    case Outcome::Refused: message = texts.refused.arg(network, answer.detail); break;
    case Outcome::Unsupported: message = texts.unsupported.arg(network, answer.detail); break;
    }
    QMessageBox box(answer.outcome == Outcome::Joining ? QMessageBox::Information : QMessageBox::Warning, texts.caption,
                    message, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void ReadActions::openLink(const QUrl& url) {
    if (!opener_(url))
        QMessageBox::warning(this, QString(), currentActionTexts().notopened.arg(url.toString(QUrl::FullyEncoded)));
}

QString ReadActions::startFolder(FileKind kind) const {
    return folders_ != nullptr ? folders_->startFolder(kind) : picturesFolder();
}

void ReadActions::saveFile(FileKind kind, const QString& fileName, const QString& filter, const std::string& bytes) {
    const QString suggestedName = QDir(startFolder(kind)).filePath(fileName);
    QString path = chooser_(suggestedName, filter);
    if (path.isEmpty()) return;
    if (folders_ != nullptr) folders_->remember(kind, path);
    const QString suffix = QFileInfo(suggestedName).suffix();
    if (QFileInfo(path).suffix().isEmpty()) path += QLatin1Char('.') + suffix;
    // Written beside and renamed by the codecs' writer, not QSaveFile: on a full disk QSaveFile
    // put an empty file over the old one and reported success.
    const std::string file = QFile::encodeName(path).toStdString();
    std::string error;
    if (writeFileWhole(file, bytes.data(), bytes.size(), error)) return;
    // The message names the file already; the reason follows it alone.
    if (error.starts_with(file + ": ")) error.erase(0, file.size() + 2);
    QMessageBox::warning(this, QString(),
                         currentActionTexts().notsaved.arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.c_str())));
}

}  // namespace velmora
