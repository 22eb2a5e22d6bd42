// Tools ▸ New symbol from: a link, a Wi-Fi network, a contact or an event, each through its
// small form. What a form makes is handed on as the text of a new symbol.
#pragma once

#include <QMenu>
#include <functional>
#include <string>

namespace velmora {

class SymbolForm;

class NewSymbolMenu : public QMenu {
    Q_OBJECT

public:
    // Receives the text a form made.
    using TextTaker = std::function<void(const std::string&)>;

    NewSymbolMenu(QWidget* parent, TextTaker taker);

    // The menu's words in the selected language.
    void applyLanguage();

private:
    // Opens a form over the window, modal; its text goes on when it is accepted.
    void runForm(SymbolForm* form);

    TextTaker taker_;
    QAction* link_;
    QAction* wifi_;
    QAction* contact_;
    QAction* event_;
};

}  // namespace velmora
