#include "engine/decode/decode_report.h"

#include <cstdio>

namespace velmora {
namespace {

const std::string kRule(73, '-');

std::string formatted(const char* format, auto... values) {
    char line[512];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

}  // namespace

char levelLetter(int level) { return level >= 0 && level <= 3 ? "LMQH"[level] : '?'; }

std::string formatSymbolReport(const C_QrDecodedData& record, int k, const std::string& displayText,
                               const ReportLabels& labels) {
    const float* corners = record.dXY_4Corners[k];
    std::string report;
    report += labels.parsedInformation + formatted(" %d:\n", k + 1);
    report += kRule + "\n";
    report += labels.position + formatted(":(%.1f,%.1f)-(%.1f,%.1f)-(%.1f,%.1f)-(%.1f,%.1f)\n", corners[0], corners[4],
                                          corners[1], corners[5], corners[2], corners[6], corners[3], corners[7]);
    report += (record.nInverseColor[k] ? labels.colourInverse : labels.colourNormal) + ", " +
              (record.nMirror[k] ? labels.mirror : labels.direction) + "\n";
    report += labels.version + formatted(": %-4d\n", record.nVersion[k]);
    report += labels.errorLevel + formatted(":%c, ", levelLetter(record.nLevel[k])) + labels.mask +
              formatted(":%-4d\n", record.nMaskingNo[k]);
    report += labels.content + ":\n";
    report += displayText + "\n";
    report += kRule + "\n";
    report += "\n";
    return report;
}

}  // namespace velmora
