#include "app/new_symbol_menu.h"

#include <memory>

#include "app/contact_form.h"
#include "app/event_form.h"
#include "app/language.h"
#include "app/link_form.h"
#include "app/wifi_form.h"

namespace velmora {
namespace {

QAction* makeFormAction(QMenu* menu, const char* name) {
    QAction* action = menu->addAction(QString());
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

NewSymbolMenu::NewSymbolMenu(QWidget* parent, TextTaker taker) : QMenu(parent), taker_(std::move(taker)) {
    setObjectName(QStringLiteral("N_NewSymbol"));
    link_ = makeFormAction(this, "N_NewLink");
    wifi_ = makeFormAction(this, "N_NewWifi");
    contact_ = makeFormAction(this, "N_NewContact");
    event_ = makeFormAction(this, "N_NewEvent");
    // The forms are made when asked for, in the language selected then.
    connect(link_, &QAction::triggered, this, [this] { runForm(new LinkForm(parentWidget())); });
    connect(wifi_, &QAction::triggered, this, [this] { runForm(new WifiForm(parentWidget())); });
    connect(contact_, &QAction::triggered, this, [this] { runForm(new ContactForm(parentWidget())); });
    connect(event_, &QAction::triggered, this, [this] { runForm(new EventForm(parentWidget())); });
}

void NewSymbolMenu::applyLanguage() {
    const FormTexts& texts = currentFormTexts();
    setTitle(texts.newsymbol + QStringLiteral("(&N)"));
    link_->setText(texts.link + QStringLiteral("(&L)"));
    wifi_->setText(texts.wifi + QStringLiteral("(&W)"));
    contact_->setText(texts.contact + QStringLiteral("(&C)"));
    event_->setText(texts.event + QStringLiteral("(&E)"));
}

void NewSymbolMenu::runForm(SymbolForm* form) {
    const std::unique_ptr<SymbolForm> owned(form);
    if (form->exec() == QDialog::Accepted) taker_(form->symbolText());
}

}  // namespace velmora
