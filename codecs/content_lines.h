// The two line formats of the texts that phones put in symbols: the content lines of vCard and
// iCalendar (NAME;PARAM=...:value, long lines folded), and the KEY:value; fields of MECARD and
// WIFI with backslash escapes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One content line: the property name in upper case without its group ("item1.TEL" gives TEL),
// its parameters as written, and the value as written.
struct ContentLine {
    std::string name;
    std::string parameters;
    std::string value;
};

// Splits a text into unfolded content lines: CR LF, LF or CR end a line, and a line break
// followed by a space or a tab joins the next line to it without both. Empty lines and lines
// without a colon are dropped.
std::vector<ContentLine> contentLines(std::string_view text);

// True when text starts with prefix, which is upper case, in any letter case ("begin:vcard").
bool startsWithNoCase(std::string_view text, std::string_view prefix);

// A TEXT value of vCard and iCalendar with its escapes resolved: \n and \N become a line break,
// \, \; \\ their character.
std::string unescapeContentText(std::string_view value);

// Splits a structured value at the semicolons that are not escaped, unescaping each part.
std::vector<std::string> contentComponents(std::string_view value);

// A text written for a content line: line breaks as \n, and \ , ; escaped.
std::string escapeContentText(std::string_view text);

// Folds a content line to lines of at most 75 bytes, never inside a UTF-8 character, each
// ending in CR LF.
std::string foldContentLine(std::string_view line);

// The text with every line break (CR LF, LF or CR) as CR LF, ending in one: how vCard and
// iCalendar files are written.
std::string crlfLines(std::string_view text);

// One KEY:value field of a MECARD: or WIFI: text.
struct EscapedField {
    std::string key;    // upper case
    std::string value;  // escapes resolved
    std::vector<std::string> parts;  // the value split at the commas that are not escaped
};

// The fields after a prefix such as "WIFI:": keys end at the first colon, values at the first
// semicolon that a backslash does not escape; a backslash keeps the character after it. An
// empty field (the closing ";;") ends the list.
std::vector<EscapedField> escapedFields(std::string_view body);

// A value written for a KEY:value; field that escapedFields reads back unchanged: \ ; , : and "
// get a backslash before them.
std::string escapeFieldValue(std::string_view value);

}  // namespace velmora
