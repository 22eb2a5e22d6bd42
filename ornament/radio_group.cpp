#include "ornament/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmora {

RadioGroup::RadioGroup(const QString& name, int count, QWidget* parent) : QGroupBox(parent) {
    setObjectName(name);
    buttons_ = new QButtonGroup(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setSpacing(2);
    for (int k = 0; k < count; ++k) {
        auto* button = new QRadioButton(this);
        button->setObjectName(QStringLiteral("%1_%2").arg(name).arg(k));
        buttons_->addButton(button, k);
        layout->addWidget(button);
    }
    setItemIndex(0);
    connect(buttons_, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
}

void RadioGroup::setItems(const QStringList& captions) {
    for (int k = 0; k < captions.size() && k < buttons_->buttons().size(); ++k) item(k)->setText(captions[k]);
}

int RadioGroup::itemIndex() const {
    return buttons_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* button = buttons_->button(index)) button->setChecked(true);
}

QAbstractButton* RadioGroup::item(int index) const {
    return buttons_->button(index);
}

}  // namespace velmora
