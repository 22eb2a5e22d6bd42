// The module size control: a read-only number with an up-down control bound to it, 1 to 20
// pixels, wrapping from 20 to 1 and from 1 to 20.
#pragma once

#include <QSpinBox>

namespace velmora {

class ModuleSizeBox : public QSpinBox {
public:
    // editName names the number field, so that both halves of the control carry their own names.
    ModuleSizeBox(const QString& editName, QWidget* parent = nullptr);
};

}  // namespace velmora
