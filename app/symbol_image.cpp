#include "app/symbol_image.h"

#include <QFile>
#include <cstring>
#include <vector>

#include "codecs/bmp_writer.h"

namespace velmora {
namespace {

constexpr int kQuietModules = 4;

// Sets pixel x of a Format_Mono row to black (index 0); rows start all white.
void setBlack(uchar* row, int x) {
    row[x >> 3] &= static_cast<uchar>(~(0x80 >> (x & 7)));
}

}  // namespace

QImage drawSymbolImage(const C_QrEncodedData& symbol, int moduleSize) {
    const int modules = symbol.iEncoded_WH;
    if (modules < 21 || modules > 177 || moduleSize < 1 || moduleSize > 20) return {};
    const int side = moduleSize * (modules + 2 * kQuietModules);
    const int quiet = kQuietModules * moduleSize;

    QImage picture(side, side, QImage::Format_Mono);
    picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    picture.fill(1);

    // Each module row is drawn once and copied to the other rows of its block.
    for (int y = 0; y < modules; ++y) {
        uchar* first = picture.scanLine(quiet + y * moduleSize);
        for (int x = 0; x < modules; ++x) {
            if (symbol.byEncoded_Data[y][x] != 0) continue;
            const int left = quiet + x * moduleSize;
            for (int dx = 0; dx < moduleSize; ++dx) setBlack(first, left + dx);
        }
        for (int dy = 1; dy < moduleSize; ++dy)
            std::memcpy(picture.scanLine(quiet + y * moduleSize + dy), first, picture.bytesPerLine());
    }
    return picture;
}

bool writeSymbolBitmap(const QImage& picture, const QString& path, std::string& error) {
    if (picture.isNull()) {
        error = "there is no symbol to save";
        return false;
    }
    const QImage mono = picture.format() == QImage::Format_Mono
                            ? picture
                            : picture.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    const int width = mono.width();
    const int height = mono.height();
    const QRgb entry0 = mono.colorTable().value(0, qRgb(0, 0, 0));
    const uchar whiteBit = qGray(entry0) >= 128 ? 0 : 1;

    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const uchar* row = mono.constScanLine(y);
        uint8_t* out = pixels.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) == whiteBit ? 1 : 0;
    }
    return writeBmp1(QFile::encodeName(path).toStdString(), pixels.data(), width, height, width, error);
}

}  // namespace velmora
