#include "app/module_size_box.h"

#include <QLineEdit>

namespace velmora {

ModuleSizeBox::ModuleSizeBox(const QString& editName, QWidget* parent) : QSpinBox(parent) {
    setRange(1, 20);
    setValue(4);
    setWrapping(true);
    // Only the field is read-only: the arrows and the arrow keys still step the value.
    lineEdit()->setReadOnly(true);
    lineEdit()->setObjectName(editName);
}

}  // namespace velmora
