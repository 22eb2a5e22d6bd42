#include "app/picture_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace velmora {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

void PictureView::setPicture(const QImage& picture) {
    picture_ = picture;
    shown_ = QPixmap();
    update();
}

QRect PictureView::pictureRect() const {
    if (picture_.isNull()) return {};
    QSize size = picture_.size();
    if (size.width() > width() || size.height() > height()) size.scale(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void PictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (onDoubleClick_ && !picture_.isNull()) {
        onDoubleClick_();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void PictureView::resizeEvent(QResizeEvent* event) {
    shown_ = QPixmap();
    QWidget::resizeEvent(event);
}

QImage PictureView::reducedPicture(const QSize& size) const {
    // A large picture is first thinned to twice the wanted size by picking pixels, which is cheap
    // even for a 3700-pixel symbol; the smooth reduction of the rest keeps the symbol readable.
    QImage picture = picture_;
    if (picture.width() > 2 * size.width() || picture.height() > 2 * size.height())
        picture = picture.scaled(size * 2, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (picture.format() == QImage::Format_Mono) picture = picture.convertToFormat(QImage::Format_Grayscale8);
    return picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void PictureView::paintEvent(QPaintEvent*) {
    const QRect target = pictureRect();
    if (target.isEmpty()) return;
    if (shown_.isNull()) {
        if (target.size() == picture_.size()) {
            shown_ = QPixmap::fromImage(picture_);
        } else {
            shown_ = QPixmap::fromImage(reducedPicture(target.size()));
        }
    }
    QPainter painter(this);
    painter.drawPixmap(target.topLeft(), shown_);
}

}  // namespace velmora
