#include "app/area_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <utility>

namespace velmora {

TFormScreen::TFormScreen(const ScreenPicture& snapshot, QWidget* owner)
    : QDialog(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FormScreen"));
    setWindowTitle(QStringLiteral("Velmora area"));
    setModal(true);
    QRect screen = snapshot.geometry;
    if (const QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry();
    setGeometry(screen);
    setWindowState(Qt::WindowFullScreen);

    // The picture keeps its device pixels and is drawn at the screen's logical size, so that
    // what the user frames is what lies under it on the screen.
    snapshot_ = QPixmap::fromImage(snapshot.region(AreaRect{screen.left(), screen.top(), screen.right() + 1,
                                                            screen.bottom() + 1}));
    snapshot_.setDevicePixelRatio(snapshot.pixelRatio);
}

AreaRect TFormScreen::result() const {
    return AreaRect{start_.x(), start_.y(), end_.x(), end_.y()};
}

void TFormScreen::showEvent(QShowEvent* event) {
    setCursor(Qt::CrossCursor);
    activateWindow();
    setFocus();
    QDialog::showEvent(event);
}

void TFormScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, snapshot_);
    if (!outlined_ || start_.x() == end_.x() || start_.y() == end_.y()) return;
    // The outline runs from the press point round the rectangle and back, one dotted pixel wide.
    QPen pen(Qt::black, 1, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    const QPoint s = mapFromGlobal(start_);
    const QPoint e = mapFromGlobal(end_);
    const QPoint corners[] = {s, QPoint(e.x(), s.y()), e, QPoint(s.x(), e.y()), s};
    painter.drawPolyline(corners, 5);
}

void TFormScreen::mousePressEvent(QMouseEvent* event) {
    start_ = event->globalPosition().toPoint();
    end_ = start_;
    outlined_ = false;
    update();
}

void TFormScreen::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    end_ = event->globalPosition().toPoint();
    outlined_ = true;
    update();
}

void TFormScreen::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    end_ = event->globalPosition().toPoint();
    if (end_.y() < start_.y()) std::swap(start_.ry(), end_.ry());
    if (end_.x() < start_.x()) std::swap(start_.rx(), end_.rx());
    accept();
}

void TFormScreen::keyPressEvent(QKeyEvent* event) {
    // A full-screen window over everything must have a way out that does not take a picture.
    if (event->key() == Qt::Key_Escape) {
        start_ = end_ = QPoint();
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace velmora
