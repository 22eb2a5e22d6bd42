#include "app/link_form.h"

#include <QFormLayout>
#include <QLineEdit>

#include "app/language.h"
#include "codecs/text_builders.h"

namespace velmora {

LinkForm::LinkForm(QWidget* parent) : SymbolForm(currentFormTexts().linktitle, parent) {
    setObjectName(QStringLiteral("LinkForm"));
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("LinkAddress"));
    address_->setPlaceholderText(QStringLiteral("https://example.com/"));
    fields()->addRow(currentFormTexts().address, address_);
}

std::string LinkForm::buildText(QString& problem) const {
    const FormTexts& texts = currentFormTexts();
    const std::string typed = address_->text().toStdString();
    const QString link = QString::fromStdString(linkSymbolText(typed));
    switch (linkProblem(typed)) {
    case LinkProblem::None: return linkSymbolText(typed);
    case LinkProblem::Empty: problem = texts.linkempty; break;
    case LinkProblem::Space: problem = texts.linkspace; break;
    case LinkProblem::NoScheme: problem = texts.linknoscheme.arg(link); break;
    case LinkProblem::NotWeb: problem = texts.linknotweb.arg(link.section(QLatin1Char(':'), 0, 0)); break;
    case LinkProblem::NoHost: problem = texts.linknohost; break;
    case LinkProblem::BadHost: problem = texts.linkbadhost.arg(link); break;
    }
    return {};
}

}  // namespace velmora
