// The form of a web link: an http or https address with a host a browser would contact.
#pragma once

#include "app/symbol_form.h"

class QLineEdit;

namespace velmora {

class LinkForm : public SymbolForm {
    Q_OBJECT

public:
    explicit LinkForm(QWidget* parent = nullptr);

protected:
    std::string buildText(QString& problem) const override;

private:
    QLineEdit* address_;
};

}  // namespace velmora
