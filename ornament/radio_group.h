// A captioned group of radio buttons chosen by index, as the ornament window's choices are.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;

namespace velmora {

class RadioGroup : public QGroupBox {
    Q_OBJECT

public:
    // A group named name with count items, the first one chosen.
    RadioGroup(const QString& name, int count, QWidget* parent = nullptr);

    // Replaces the item captions; extra captions are ignored, missing ones leave the item as is.
    void setItems(const QStringList& captions);
    int itemIndex() const;
    // Chooses an item without raising itemClicked.
    void setItemIndex(int index);
    // The radio button of item index, for tests and layout.
    QAbstractButton* item(int index) const;

signals:
    // The user chose an item (also when it was already chosen).
    void itemClicked(int index);

private:
    QButtonGroup* buttons_;
};

}  // namespace velmora
