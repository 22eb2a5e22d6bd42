// The shown picture at full size in a window of its own: scrollable, zoomable with Ctrl and the
// wheel or Ctrl+plus, Ctrl+minus and Ctrl+0, so that the marks of a whole-screen read can be seen.
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QScrollArea;

namespace velmora {

class FullPictureWindow : public QDialog {
public:
    // A window of its own over owner that deletes itself when closed. It opens at 100 %, as
    // large as the picture within the screen.
    FullPictureWindow(const QImage& picture, QWidget* owner);

    // The zoom factor: 1 for one picture pixel per screen pixel.
    double zoom() const { return zoom_; }
    // Sets the zoom, kept within 1/16 to 16.
    void setZoom(double zoom);
    // The size the picture is shown at.
    QSize shownSize() const;
    QScrollArea* scrollArea() const { return scroll_; }

protected:
    // Ctrl and the wheel over the picture zoom; the wheel alone scrolls.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showAtZoom();

    QImage picture_;
    QScrollArea* scroll_;
    QLabel* view_;
    double zoom_ = 1.0;
};

}  // namespace velmora
