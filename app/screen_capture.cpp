#include "app/screen_capture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cmath>

#include "app/screenshot_portal.h"

namespace velmora {
namespace {

ScreenPicture captureFromWindowSystem() {
    ScreenPicture shot;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        shot.error = QStringLiteral("there is no screen");
        return shot;
    }
    const QPixmap pixels = screen->grabWindow(0);
    shot.geometry = screen->geometry();
    shot.pixelRatio = pixels.devicePixelRatio() > 0 ? pixels.devicePixelRatio() : 1;
    shot.picture = pixels.toImage();
    if (shot.picture.isNull()) shot.error = QStringLiteral("the window system gave no picture of the screen");
    return shot;
}

ScreenPicture captureFromPortal() {
    ScreenPicture shot;
    const PortalScreenshot taken = takePortalScreenshot();
    shot.cancelled = taken.outcome == PortalScreenshot::Outcome::Cancelled;
    shot.error = taken.error;
    shot.picture = taken.picture;
    // The portal pictures the whole desktop in device pixels.
    const QScreen* screen = QGuiApplication::primaryScreen();
    shot.geometry = screen != nullptr ? screen->virtualGeometry() : shot.picture.rect();
    if (shot.ok() && shot.geometry.width() > 0)
        shot.pixelRatio = static_cast<qreal>(shot.picture.width()) / shot.geometry.width();
    return shot;
}

}  // namespace

QImage ScreenPicture::region(const AreaRect& area) const {
    if (area.isEmpty() || picture.isNull()) return {};
    const qreal left = (area.left - geometry.left()) * pixelRatio;
    const qreal top = (area.top - geometry.top()) * pixelRatio;
    const QRect device(QPoint(static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top))),
                       QPoint(static_cast<int>(std::ceil((area.right - geometry.left()) * pixelRatio)) - 1,
                              static_cast<int>(std::ceil((area.bottom - geometry.top()) * pixelRatio)) - 1));
    const QRect clipped = device.intersected(picture.rect());
    if (clipped.isEmpty()) return {};
    return picture.copy(clipped);
}

bool capturesThroughPortal() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

ScreenPicture capturePrimaryScreen() {
    return capturesThroughPortal() ? captureFromPortal() : captureFromWindowSystem();
}

}  // namespace velmora
