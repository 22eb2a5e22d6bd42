#include "app/picture_name_filters.h"

#include "app/language.h"

namespace velmora {
namespace {

// The extensions the picture loader reads (it goes by the first three letters, so the longer
// spellings count too), with those of the classic filter.
constexpr const char* kPictureExtensions[] = {
    "bmp", "jpg", "jpeg", "jpe", "jfif", "jfi", "gif", "png", "ico", "cur", "ani", "tif", "tiff", "tga", "pcx",
    "wbm", "wbmp", "wmf", "emf", "jp2", "j2k", "jpc", "j2c", "pgx", "pnm", "pgm", "ppm", "ras", "ska"};

}  // namespace

QStringList pictureNamePatterns() {
    QStringList patterns;
    for (const char* extension : kPictureExtensions) {
        QString pattern = QStringLiteral("*.");
        for (const QChar letter : QString::fromLatin1(extension)) {
            if (letter.isLetter()) {
                pattern += QLatin1Char('[') + letter.toLower() + letter.toUpper() + QLatin1Char(']');
            } else {
                pattern += letter;
            }
        }
        patterns << pattern;
    }
    return patterns;
}

QString openDialogFilter() {
    const WindowTexts& texts = currentWindowTexts();
    return QStringLiteral("%1 (%2);;%3 (*)")
        .arg(texts.allpictures, pictureNamePatterns().join(QLatin1Char(' ')), texts.allfiles);
}

}  // namespace velmora
