// The text report of a decode request, as the main window's log box and velmora-cli show it.
#pragma once

#include <string>

#include "engine/decode/decoded_symbols.h"
#include "engine/velmora_engine.h"

namespace velmora {

// The words of the report, English by default; the app fills them from its language file.
struct ReportLabels {
    std::string parsedInformation = "Parsed Information";
    std::string position = "Position";
    std::string colourInverse = "Color Inverse";
    std::string colourNormal = "Color Normal";
    std::string mirror = "Mirror";
    std::string direction = "Direct";
    std::string version = "Version";
    std::string errorLevel = "Error level";
    std::string mask = "Mask";
    std::string content = "Content";
};

// The report block of entry k of the record, each line ending in '\n': heading, a line of 73
// hyphens, the corners, colour and mirror words, version, level and mask, the content label,
// the text as shown (displayText), 73 hyphens, and an empty line.
std::string formatSymbolReport(const C_QrDecodedData& record, int k, const std::string& displayText,
                               const ReportLabels& labels = {});
// The same for a symbol of the request's entries, any number of them.
std::string formatSymbolReport(const DecodedEntry& entry, int k, const std::string& displayText,
                               const ReportLabels& labels = {});

// The level letter L, M, Q or H of a level number 0..3 ('?' for anything else).
char levelLetter(int level);

}  // namespace velmora
