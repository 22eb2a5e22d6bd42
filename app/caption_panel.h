// A plain panel that shows a centred caption behind its child controls, like the white panel
// behind the symbol view, which tells the user why no symbol is shown.
#pragma once

#include <QString>
#include <QWidget>

namespace velmora {

class CaptionPanel : public QWidget {
public:
    explicit CaptionPanel(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }

    // A child kept as the largest square that fits the panel, at its top left.
    void setSquareChild(QWidget* child);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeSquareChild();

    QString caption_;
    QWidget* squareChild_ = nullptr;
};

}  // namespace velmora
