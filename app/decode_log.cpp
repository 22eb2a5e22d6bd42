#include "app/decode_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <string>

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
    // The text and its CR LF go out in one write to a file opened for appending, so that the
    // lines of another instance writing at the same moment land before or after it, never inside.
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text).append("\r\n");
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    ssize_t written = -1;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    const bool closed = ::close(fd) == 0;
    return written == static_cast<ssize_t>(line.size()) && closed;
}

}  // namespace velmora
