// The screen area window: a frameless, always-on-top window over the primary screen showing a
// frozen picture of it, on which the user drags a dotted rectangle with the left mouse button.
// Releasing the button closes it; the caller reads the rectangle and reads that part of the
// screen: of the live screen from the window system, of this frozen picture where every capture
// goes through the desktop portal. Escape closes it with an empty rectangle.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPoint>

#include "app/screen_capture.h"

namespace velmora {

class TFormScreen : public QDialog {
public:
    // snapshot: the screen as the user left it, shown at the screen's size.
    TFormScreen(const ScreenPicture& snapshot, QWidget* owner);

    // The rectangle in screen coordinates: ordered after a completed drag; the press point twice
    // after a click; all zero until the first press and after Escape.
    AreaRect result() const;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap snapshot_;
    QPoint start_;         // where the button went down, screen coordinates
    QPoint end_;           // the opposite corner
    bool outlined_ = false;  // an outline is on show
};

}  // namespace velmora
