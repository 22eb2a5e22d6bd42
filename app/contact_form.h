// The form of a contact: name, organisation, phone numbers and e-mail addresses one per line,
// and a postal address in its parts.
#pragma once

#include "app/symbol_form.h"

class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class ContactForm : public SymbolForm {
    Q_OBJECT

public:
    explicit ContactForm(QWidget* parent = nullptr);

protected:
    std::string buildText(QString& problem) const override;

private:
    QLineEdit* name_;
    QLineEdit* organization_;
    QPlainTextEdit* numbers_;
    QPlainTextEdit* emails_;
    QLineEdit* street_;
    QLineEdit* city_;
    QLineEdit* region_;
    QLineEdit* postalCode_;
    QLineEdit* country_;
};

}  // namespace velmora
