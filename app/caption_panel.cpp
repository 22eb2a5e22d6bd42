#include "app/caption_panel.h"

#include <QPainter>

namespace velmora {

CaptionPanel::CaptionPanel(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

void CaptionPanel::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void CaptionPanel::setSquareChild(QWidget* child) {
    squareChild_ = child;
    placeSquareChild();
}

void CaptionPanel::placeSquareChild() {
    const int side = qMin(width(), height());
    if (squareChild_ != nullptr && side != 0) squareChild_->setGeometry(0, 0, side, side);
}

void CaptionPanel::resizeEvent(QResizeEvent* event) {
    placeSquareChild();
    QWidget::resizeEvent(event);
}

void CaptionPanel::paintEvent(QPaintEvent*) {
    // A caption left behind a shown child would peek out around it.
    if (caption_.isEmpty() || (squareChild_ != nullptr && !squareChild_->isHidden())) return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, caption_);
}

}  // namespace velmora
