#include "app/symbol_save_format.h"

#include <QFile>
#include <QFileInfo>

#include "app/language.h"
#include "app/symbol_image.h"
#include "codecs/symbol_picture.h"

namespace velmora {

ShownModules shownSymbolModules(const QImage& picture, int moduleSize) {
    ShownModules shown;
    if (picture.isNull() || moduleSize < kMinModuleSize || moduleSize > kMaxModuleSize) return shown;
    if (picture.width() != picture.height() || picture.width() % moduleSize != 0) return shown;
    const int modules = picture.width() / moduleSize - 2 * kQuietZoneModules;
    if (modules < 21 || modules > 177 || (modules - 21) % 4 != 0) return shown;
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    shown.matrix.resize(static_cast<std::size_t>(modules) * modules);
    const int quiet = kQuietZoneModules * moduleSize;
    for (int y = 0; y < modules; ++y) {
        const uchar* row = grey.constScanLine(quiet + y * moduleSize);
        for (int x = 0; x < modules; ++x)
            shown.matrix[static_cast<std::size_t>(y) * modules + x] = row[quiet + x * moduleSize] >= 128 ? 1 : 0;
    }
    shown.size = modules;
    return shown;
}

SymbolSaveFormat symbolSaveFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return SymbolSaveFormat::Png;
    if (suffix == QLatin1String("svg")) return SymbolSaveFormat::Svg;
    return SymbolSaveFormat::Bmp;
}

QString symbolSaveName(const QString& path) {
    if (QFileInfo(path).fileName().contains(QLatin1Char('.'))) return path;
    return path + QStringLiteral(".bmp");
}

QString symbolSaveFilter() {
    const WindowTexts& texts = currentWindowTexts();
    return QStringLiteral("%1 (*.bmp);;%2 (*.png);;%3 (*.svg);;%4 (*)")
        .arg(texts.bitmaps, texts.pngpictures, texts.svgpictures, texts.allfiles);
}

QString symbolSaveSuffix(const QString& filter) {
    for (const char* suffix : {"bmp", "png", "svg"})
        if (filter.endsWith(QStringLiteral("(*.%1)").arg(QLatin1String(suffix)))) return QLatin1String(suffix);
    return {};
}

bool writeShownSymbol(const QImage& picture, int moduleSize, const QString& path, QString& error) {
    const SymbolSaveFormat format = symbolSaveFormatOf(path);
    std::string reason;
    if (format == SymbolSaveFormat::Bmp) {
        if (writeSymbolBitmap(picture, path, reason)) return true;
        error = QString::fromLocal8Bit(reason.c_str());
        return false;
    }
    const ShownModules shown = shownSymbolModules(picture, moduleSize);
    if (shown.size == 0) {
        error = QStringLiteral("there is no symbol to save");
        return false;
    }
    const std::string file = QFile::encodeName(path).toStdString();
    const bool written = format == SymbolSaveFormat::Png
                             ? writeSymbolPng(file, shown.matrix.data(), shown.size, shown.size, moduleSize, reason)
                             : writeSymbolSvg(file, shown.matrix.data(), shown.size, shown.size, moduleSize, reason);
    if (!written) error = QString::fromLocal8Bit(reason.c_str());
    return written;
}

}  // namespace velmora
