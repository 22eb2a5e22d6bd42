#include "app/symbol_form.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/language.h"

namespace velmora {

SymbolForm::SymbolForm(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    const FormTexts& texts = currentFormTexts();
    fields_ = new QFormLayout;
    fields_->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    note_->hide();
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("FormProblem"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);
    QPalette warning = problem_->palette();
    warning.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x20));
    problem_->setPalette(warning);
    problem_->hide();
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(texts.make);
    buttons_->button(QDialogButtonBox::Cancel)->setText(texts.cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &SymbolForm::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &SymbolForm::reject);

    auto* layout = new QVBoxLayout(this);
    // The form grows when a reason of two lines appears under its fields, never cutting it off.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(fields_);
    layout->addWidget(note_);
    layout->addWidget(problem_);
    layout->addStretch(1);
    layout->addWidget(buttons_);
    // Room for a link or an address on one line; the layout then holds the form at least as wide.
    problem_->setMinimumWidth(400);
}

QString SymbolForm::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void SymbolForm::addNote(const QString& note) {
    note_->setText(note);
    note_->show();
}

void SymbolForm::accept() {
    QString problem;
    std::string text = buildText(problem);
    if (text.empty() || !problem.isEmpty()) {
        problem_->setText(problem);
        problem_->show();
        return;
    }
    problem_->clear();
    problem_->hide();
    text_ = std::move(text);
    QDialog::accept();
}

}  // namespace velmora
