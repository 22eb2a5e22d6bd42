// The form of a Wi-Fi network: its name, security, password and whether it is hidden.
#pragma once

#include "app/symbol_form.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace velmora {

class WifiForm : public SymbolForm {
    Q_OBJECT

public:
    explicit WifiForm(QWidget* parent = nullptr);

protected:
    std::string buildText(QString& problem) const override;

private:
    QLineEdit* name_;
    QComboBox* security_;
    QLineEdit* password_;
    QCheckBox* hidden_;
};

}  // namespace velmora
