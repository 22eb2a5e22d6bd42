#include "app/wifi_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include "app/language.h"
#include "codecs/text_builders.h"

namespace velmora {

WifiForm::WifiForm(QWidget* parent) : SymbolForm(currentFormTexts().wifititle, parent) {
    setObjectName(QStringLiteral("WifiForm"));
    const FormTexts& texts = currentFormTexts();
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("WifiName"));
    // The words phones read for each kind of network are the items' data.
    security_ = new QComboBox(this);
    security_->setObjectName(QStringLiteral("WifiSecurity"));
    security_->addItem(texts.wpa, QStringLiteral("WPA"));
    security_->addItem(texts.wep, QStringLiteral("WEP"));
    security_->addItem(texts.nopass, QStringLiteral("nopass"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("WifiPassword"));
    hidden_ = new QCheckBox(texts.hidden, this);
    hidden_->setObjectName(QStringLiteral("WifiHidden"));
    fields()->addRow(texts.networkname, name_);
    fields()->addRow(texts.security, security_);
    fields()->addRow(texts.password, password_);
    fields()->addRow(QString(), hidden_);
    // An open network has no password to give.
    connect(security_, &QComboBox::currentIndexChanged, this,
            [this] { password_->setEnabled(security_->currentData().toString() != QLatin1String("nopass")); });
}

std::string WifiForm::buildText(QString& problem) const {
    const FormTexts& texts = currentFormTexts();
    WifiText network;
    network.ssid = name_->text().toStdString();
    network.security = security_->currentData().toString().toStdString();
    network.password = password_->text().toStdString();
    network.hidden = hidden_->isChecked();
    switch (wifiProblem(network)) {
    case WifiProblem::None: return wifiSymbolText(network);
    case WifiProblem::NoName: problem = texts.wifinoname; break;
    case WifiProblem::NoPassword: problem = texts.wifinopassword.arg(security_->currentText()); break;
    case WifiProblem::WpaPasswordLength: problem = texts.wifiwpalength; break;
    case WifiProblem::WepKeyLength: problem = texts.wifiweplength; break;
    }
    return {};
}

}  // namespace velmora
