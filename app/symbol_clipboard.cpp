#include "app/symbol_clipboard.h"

#include <QBuffer>
#include <QMimeData>

#include "codecs/symbol_picture.h"

namespace velmora {

QMimeData* symbolMimeData(const QImage& picture, const ShownModules& modules, int moduleSize) {
    if (picture.isNull() || modules.size == 0) return nullptr;
    // A grey picture: programs that paste it need not know 1-bit pictures with a palette.
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!grey.save(&buffer, "PNG")) return nullptr;
    const std::string svg = symbolSvgText(modules.matrix.data(), modules.size, modules.size, moduleSize);
    if (svg.empty()) return nullptr;

    auto* data = new QMimeData;
    data->setImageData(grey);
    data->setData(QStringLiteral("image/png"), png);
    data->setData(QStringLiteral("image/svg+xml"), QByteArray::fromStdString(svg));
    return data;
}

}  // namespace velmora
