#include "app/contact_form.h"

#include <QFontMetrics>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/language.h"
#include "codecs/text_builders.h"

namespace velmora {
namespace {

// A one-line field of the form, named for tests and scripts.
QLineEdit* lineField(QWidget* form, const char* name) {
    auto* field = new QLineEdit(form);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

// A box of a few lines for entries typed one per line.
QPlainTextEdit* listField(QWidget* form, const char* name) {
    auto* field = new QPlainTextEdit(form);
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(currentFormTexts().oneperline);
    field->setTabChangesFocus(true);
    field->setFixedHeight(QFontMetrics(field->font()).lineSpacing() * 3 + 12);
    return field;
}

// The lines of a box without the white space around them, blank lines left out.
std::vector<std::string> entriesOf(const QPlainTextEdit* box) {
    std::vector<std::string> entries;
    for (const QString& line : box->toPlainText().split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty()) entries.push_back(entry.toStdString());
    }
    return entries;
}

}  // namespace

ContactForm::ContactForm(QWidget* parent) : SymbolForm(currentFormTexts().contacttitle, parent) {
    setObjectName(QStringLiteral("ContactForm"));
    const FormTexts& texts = currentFormTexts();
    name_ = lineField(this, "ContactName");
    organization_ = lineField(this, "ContactOrganization");
    numbers_ = listField(this, "ContactNumbers");
    emails_ = listField(this, "ContactEmails");
    street_ = lineField(this, "ContactStreet");
    city_ = lineField(this, "ContactCity");
    region_ = lineField(this, "ContactRegion");
    postalCode_ = lineField(this, "ContactPostalCode");
    country_ = lineField(this, "ContactCountry");
    fields()->addRow(texts.name, name_);
    fields()->addRow(texts.organization, organization_);
    fields()->addRow(texts.numbers, numbers_);
    fields()->addRow(texts.emails, emails_);
    fields()->addRow(texts.street, street_);
    fields()->addRow(texts.city, city_);
    fields()->addRow(texts.region, region_);
    fields()->addRow(texts.postalcode, postalCode_);
    fields()->addRow(texts.country, country_);
}

std::string ContactForm::buildText(QString& problem) const {
    ContactFields contact;
    contact.name = name_->text().trimmed().toStdString();
    if (contact.name.empty()) {
        problem = currentFormTexts().contactnoname;
        return {};
    }
    contact.organization = organization_->text().toStdString();
    contact.numbers = entriesOf(numbers_);
    contact.emails = entriesOf(emails_);
    contact.address = {street_->text().toStdString(), city_->text().toStdString(), region_->text().toStdString(),
                       postalCode_->text().toStdString(), country_->text().toStdString()};
    return vcardSymbolText(contact);
}

}  // namespace velmora
