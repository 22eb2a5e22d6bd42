// What a decode leaves behind: the report block of each symbol for the log box, and log.txt,
// which keeps every decoded text.
#pragma once

#include <QString>
#include <string_view>

#include "app/language.h"
#include "engine/velmora_engine.h"

namespace velmora {

// The bytes of entry k of the record, all nParseStrLen of them (a text may hold a zero byte).
std::string_view decodedBytes(const C_QrDecodedData& record, int k);

// The report block of entry k in the words of the language: heading, rule, corners, colour and
// mirror, version, level and mask, content label, the text, rule and an empty line. The text
// shows in the character set the symbol means (meaning, entry k) or, where it says nothing, the
// one its bytes fit; a CR LF inside it becomes one line break.
QString reportBlock(const C_QrDecodedData& record, const C_QrTextMeaning& meaning, int k, const UiTexts& texts);

// Appends the text's bytes and CR LF to the log file at path, creating it if absent, as one
// write, so that lines of several instances appending at once never mix. An empty text writes
// nothing. Returns false when the file cannot be opened or the line not written whole.
bool AppendLog(const QString& path, std::string_view text);

}  // namespace velmora
