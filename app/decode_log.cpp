#include "app/decode_log.h"

#include <QFile>
#include <algorithm>

#include "codecs/decoded_text.h"
#include "engine/decode/decode_report.h"

namespace velmora {
namespace {

ReportLabels labelsOf(const UiTexts& texts) {
    ReportLabels labels;
    labels.parsedInformation = texts.parsedinformation.toStdString();
    labels.position = texts.position.toStdString();
    labels.colourInverse = texts.colorinverse.toStdString();
    labels.colourNormal = texts.colornormal.toStdString();
    labels.mirror = texts.mirror.toStdString();
    labels.direction = texts.direction.toStdString();
    labels.version = texts.parameterVersion.toStdString();
    labels.errorLevel = texts.parameterErrorlevel.toStdString();
    labels.mask = texts.parameterMask.toStdString();
    labels.content = texts.content.toStdString();
    return labels;
}

}  // namespace

std::string_view decodedBytes(const C_QrDecodedData& record, int k) {
    const int length = std::clamp(record.nParseStrLen[k], 0, MAX_SrcDataLen - 1);
    return {record.sParseStr[k], static_cast<std::size_t>(length)};
}

QString reportBlock(const C_QrDecodedData& record, const C_QrTextMeaning& meaning, int k, const UiTexts& texts) {
    static const LocaleLanguage language = localeLanguage();
    const std::string shown =
        showDecodedText(decodedBytes(record, k), meaning.nModes[k], meaning.nEci[k], language).text;
    // The log box breaks lines at LF; a CR before it would show as a stray mark.
    std::string text;
    text.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '\r' && (i + 1 == shown.size() || shown[i + 1] == '\n')) continue;
        text += shown[i] == '\r' ? '\n' : shown[i];
    }
    return QString::fromUtf8(formatSymbolReport(record, k, text, labelsOf(texts)));
}

bool AppendLog(const QString& path, std::string_view text) {
    if (text.empty()) return true;
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const qint64 size = static_cast<qint64>(text.size());
    bool written = log.write(text.data(), size) == size && log.write("\r\n", 2) == 2;
    return log.flush() && written;
}

}  // namespace velmora
