// The row of actions under the log box for the texts of the last decode: one entry per symbol
// with its details and buttons. Copy for every text; Open link for a link, after showing its
// full address and real host; Connect (through NetworkManager) and Copy password for a Wi-Fi
// network; Save .vcf for a contact and
// Save .ics for an event. Nothing is opened or saved without the user's click.
#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/folder_memory.h"
#include "codecs/text_kind.h"

class QPushButton;
class QVBoxLayout;

namespace velmora {

struct WifiJoinAnswer;

class ReadActions : public QWidget {
    Q_OBJECT

public:
    // Opens a link in the desktop's handler; false when nothing could open it.
    using LinkOpener = std::function<bool(const QUrl&)>;
    // Asks for the name of a file to save (suggested name, dialog filter); empty when cancelled.
    using SaveNameChooser = std::function<QString(const QString&, const QString&)>;

    explicit ReadActions(QWidget* parent = nullptr);

    // Shows one entry per UTF-8 text, hidden when there is none. The same texts again change
    // nothing, so that a camera reporting frame after frame leaves the buttons under the mouse.
    void showTexts(const std::vector<std::string>& texts);
    // Shows the entries again in the words of the selected language.
    void applyLanguage();

    // The texts on show, each read for its kind.
    const std::vector<ReadText>& entries() const { return entries_; }

    // Replace the desktop's URL handler and the save dialog (tests, other front ends).
    void setLinkOpener(LinkOpener opener) { opener_ = std::move(opener); }
    void setSaveNameChooser(SaveNameChooser chooser) { chooser_ = std::move(chooser); }
    // Where the save dialogs start and what they remember (none: the Pictures folder).
    void setFolderMemory(const FolderMemory* folders) { folders_ = folders; }

    // The link an entry would open, or an empty URL when it offers none: only http(s), mailto,
    // tel and geo texts whose host Qt reads as our parser did.
    static QUrl openableUrl(const ReadText& entry);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    // Lines the buttons of all entries up in two columns.
    void alignButtons();
    // Keeps the height that the wrapped details need at the current width, so that no line of
    // an address is cut off however narrow the window is.
    void fitHeight();
    QWidget* makeEntry(int index, const ReadText& entry);
    // The details line of an entry in the current language, as plain text.
    static QString details(const ReadText& entry);
    void openLink(const QUrl& url);
    // Asks NetworkManager to join the network and shows its answer; the button waits meanwhile.
    void joinNetwork(QPushButton* button, const WifiText& network);
    void showJoinAnswer(const QString& network, const WifiJoinAnswer& answer);
    // Asks for a file name, suggesting fileName in the folder last used for this kind of file,
    // and writes the bytes there; a message says why it could not.
    void saveFile(FileKind kind, const QString& fileName, const QString& filter, const std::string& bytes);
    // The folder a save dialog for this kind of file starts in.
    QString startFolder(FileKind kind) const;

    QVBoxLayout* layout_;
    std::vector<std::string> texts_;
    std::vector<ReadText> entries_;
    LinkOpener opener_;
    SaveNameChooser chooser_;
    const FolderMemory* folders_ = nullptr;
};

}  // namespace velmora
