// Pictures of the screen for the whole-screen and area commands: read from the X server through
// Qt, or through the desktop portal on a Wayland desktop.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

namespace velmora {

// A rectangle in screen coordinates as the area window hands it back: right and bottom are one
// past the last column and row, so the width is right - left.
struct AreaRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool isEmpty() const { return right <= left || bottom <= top; }
};

// A picture of the screen in device pixels, with what maps screen coordinates (logical pixels,
// as the mouse reports them) into it.
struct ScreenPicture {
    QImage picture;
    QRect geometry;         // the part of the desktop it shows, in logical pixels
    qreal pixelRatio = 1;   // device pixels per logical pixel
    bool cancelled = false; // the user declined the portal's request
    QString error;          // why there is no picture

    bool ok() const { return !picture.isNull(); }
    // The part of the picture under a rectangle of the screen: the same device pixels the user
    // framed, clipped to the picture. Empty when they do not meet.
    QImage region(const AreaRect& area) const;
};

// True on a Wayland session, where the screen can only be read through the portal.
bool capturesThroughPortal();

// A picture of the primary screen as it is now (on Wayland, of the whole desktop).
ScreenPicture capturePrimaryScreen();

}  // namespace velmora
