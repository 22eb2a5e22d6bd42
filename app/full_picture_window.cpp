#include "app/full_picture_window.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>

namespace velmora {
namespace {

constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 1.0 / 16;
constexpr double kMaxZoom = 16.0;

// A window command with its shortcut.
void addShortcut(QWidget* window, const QKeySequence& keys, const std::function<void()>& run) {
    auto* action = new QAction(window);
    action->setShortcut(keys);
    QObject::connect(action, &QAction::triggered, window, run);
    window->addAction(action);
}

}  // namespace

FullPictureWindow::FullPictureWindow(const QImage& picture, QWidget* owner)
    : QDialog(owner, Qt::Window), picture_(picture) {
    setObjectName(QStringLiteral("FullPictureWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Velmora %1 × %2").arg(picture.width()).arg(picture.height()));

    view_ = new QLabel;
    view_->setObjectName(QStringLiteral("FullPicture"));
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("FullPictureScroll"));
    scroll_->setWidget(view_);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    scroll_->viewport()->installEventFilter(this);

    addShortcut(this, QKeySequence::ZoomIn, [this] { setZoom(zoom_ * kZoomStep); });
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { setZoom(zoom_ * kZoomStep); });
    addShortcut(this, QKeySequence::ZoomOut, [this] { setZoom(zoom_ / kZoomStep); });
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_0), [this] { setZoom(1.0); });
    showAtZoom();

    // As large as the picture, within most of the screen.
    QSize size = picture.size() + QSize(4, 4);
    if (const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size.expandedTo(QSize(200, 150)));
}

void FullPictureWindow::setZoom(double zoom) {
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == zoom_) return;
    // The point in the middle of the view stays in the middle.
    QScrollBar* across = scroll_->horizontalScrollBar();
    QScrollBar* down = scroll_->verticalScrollBar();
    const double x = (across->value() + across->pageStep() / 2.0) / zoom_;
    const double y = (down->value() + down->pageStep() / 2.0) / zoom_;
    zoom_ = zoom;
    showAtZoom();
    across->setValue(static_cast<int>(x * zoom_ - across->pageStep() / 2.0));
    down->setValue(static_cast<int>(y * zoom_ - down->pageStep() / 2.0));
}

QSize FullPictureWindow::shownSize() const {
    return view_->size();
}

void FullPictureWindow::showAtZoom() {
    const QSize size = (QSizeF(picture_.size()) * zoom_).toSize().expandedTo(QSize(1, 1));
    // Module edges stay sharp: each picture pixel becomes a block, never a blur.
    const QImage shown = zoom_ == 1.0 ? picture_ : picture_.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    view_->setPixmap(QPixmap::fromImage(shown));
    view_->resize(size);
}

bool FullPictureWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int steps = wheel->angleDelta().y() / 120;
            if (steps != 0) setZoom(zoom_ * std::pow(kZoomStep, steps));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace velmora
