// A picture control that scales its picture down proportionally when it is larger than the
// control and never scales it up.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>

namespace velmora {

class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent = nullptr);

    // Shows a copy of the picture (a null picture shows nothing).
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

    // The rectangle the picture occupies on the control: its own size when it fits, else the
    // largest proportional size that fits, centred.
    QRect pictureRect() const;

    // What a double-click on a shown picture does (nothing when unset).
    void setOnDoubleClick(std::function<void()> run) { onDoubleClick_ = std::move(run); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The picture reduced to size (which it is larger than).
    QImage reducedPicture(const QSize& size) const;

    QImage picture_;
    QPixmap shown_;  // the picture at its on-screen size, made when first painted at that size
    std::function<void()> onDoubleClick_;
};

}  // namespace velmora
