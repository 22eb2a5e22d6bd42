#include "app/app_resources.h"

#include <QPainter>
#include <QSvgRenderer>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerResources() {
    Q_INIT_RESOURCE(velmora);
    Q_INIT_RESOURCE(manual);
}

namespace velmora {

void initAppResources() {
    static const bool registered = (registerResources(), true);
    (void)registered;
}

QPixmap svgPicture(const QString& resourcePath, const QSize& size) {
    initAppResources();
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QSvgRenderer renderer(resourcePath);
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

QPixmap greyedPicture(const QPixmap& picture) {
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            // Grey, lifted halfway to white, as a disabled control's picture looks.
            const int grey = 128 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    QPixmap greyed = QPixmap::fromImage(image);
    greyed.setDevicePixelRatio(picture.devicePixelRatio());
    return greyed;
}

QIcon toolbarIcon(const QString& name) {
    const QString path = QStringLiteral(":/velmora/pictures/%1.svg").arg(name);
    QIcon icon;
    for (const int side : {48, 96}) {
        const QPixmap picture = svgPicture(path, QSize(side, side));
        icon.addPixmap(picture, QIcon::Normal);
        icon.addPixmap(greyedPicture(picture), QIcon::Disabled);
        icon.addPixmap(picture, QIcon::Active);
    }
    return icon;
}

}  // namespace velmora
