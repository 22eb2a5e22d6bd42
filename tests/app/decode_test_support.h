// Pictures of symbols written by the app's own encoder, and a look at what a decode left in the
// main window, for the tests of the reading side.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QString>
#include <vector>

#include "app/symbol_image.h"
#include "engine/velmora_engine.h"

namespace velmora::test {

// One symbol as the encode view draws it: level 0..3, version 0 (smallest) or 1..40, mask -1
// (best) or 0..7. Null when the text does not fit.
inline QImage symbolPicture(const QByteArray& bytes, int level = 3, int version = 0, int mask = -1,
                            int moduleSize = 4) {
    if (QR_Encode_Matrix(level, &version, 1, &mask, bytes.constData(), static_cast<int>(bytes.size()), nullptr) != 1)
        return {};
    return drawSymbolImage(g_QrEncodedData, moduleSize).convertToFormat(QImage::Format_RGB32);
}

// Pictures side by side on white, a symbol's width apart.
inline QImage sideBySide(const std::vector<QImage>& pictures) {
    int width = 0, height = 0;
    for (const QImage& picture : pictures) {
        width += picture.width() * 2;
        height = std::max(height, picture.height());
    }
    QImage canvas(width, height + 40, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int x = 0;
    for (const QImage& picture : pictures) {
        painter.drawImage(x + picture.width() / 2, 20, picture);
        x += picture.width() * 2;
    }
    return canvas;
}

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a text box.
inline QStringList boxLines(QObject* window, const char* name) {
    return window->findChild<QPlainTextEdit*>(QString::fromLatin1(name))->toPlainText().split(QLatin1Char('\n'));
}

}  // namespace velmora::test
