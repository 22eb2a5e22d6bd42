#include "engine/decode/decode_report.h"

#include <cstdio>
#include <string_view>

namespace velmora {
namespace {

// The rule above and below each symbol's report: 73 hyphens.
constexpr std::string_view kRule = "-------------------------------------------------------------------------";

std::string formatted(const char* format, auto... values) {
    char line[512];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

}  // namespace

char levelLetter(int level) { return level >= 0 && level <= 3 ? "LMQH"[level] : '?'; }

namespace {

// The report of the symbol with these fields, numbered k + 1.
std::string reportOf(int k, const float* corners, int inverse, int mirror, int version, int level, int mask,
                     const std::string& displayText, const ReportLabels& labels) {
    std::string report;
    report += labels.parsedInformation + formatted(" %d:\n", k + 1);
    report += std::string(kRule) + "\n";
    report += labels.position + formatted(":(%.1f,%.1f)-(%.1f,%.1f)-(%.1f,%.1f)-(%.1f,%.1f)\n", corners[0], corners[4],
                                          corners[1], corners[5], corners[2], corners[6], corners[3], corners[7]);
    report += (inverse ? labels.colourInverse : labels.colourNormal) + ", " + (mirror ? labels.mirror : labels.direction) +
              "\n";
    report += labels.version + formatted(": %-4d\n", version);
    report += labels.errorLevel + formatted(":%c, ", levelLetter(level)) + labels.mask + formatted(":%-4d\n", mask);
    report += labels.content + ":\n";
    report += displayText + "\n";
    report += std::string(kRule) + "\n";
    report += "\n";
    return report;
}

}  // namespace

std::string formatSymbolReport(const C_QrDecodedData& record, int k, const std::string& displayText,
                               const ReportLabels& labels) {
    return reportOf(k, record.dXY_4Corners[k], record.nInverseColor[k], record.nMirror[k], record.nVersion[k],
                    record.nLevel[k], record.nMaskingNo[k], displayText, labels);
}

std::string formatSymbolReport(const DecodedEntry& entry, int k, const std::string& displayText,
                               const ReportLabels& labels) {
    return reportOf(k, entry.dXY_4Corners.data(), entry.nInverseColor, entry.nMirror, entry.nVersion, entry.nLevel,
                    entry.nMaskingNo, displayText, labels);
}

}  // namespace velmora
