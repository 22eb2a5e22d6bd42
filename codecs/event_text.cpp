// Calendar events: a VEVENT, alone as many generators write it or inside a VCALENDAR.
#include <cctype>

#include "codecs/content_lines.h"
#include "codecs/text_kind.h"

namespace velmora {
namespace {

bool isValue(const ContentLine& line, std::string_view value) {
    return startsWithNoCase(line.value, value) && line.value.size() == value.size();
}

}  // namespace

std::optional<EventText> readEventText(std::string_view text) {
    const bool calendar = startsWithNoCase(text, "BEGIN:VCALENDAR");
    if (!calendar && !startsWithNoCase(text, "BEGIN:VEVENT")) return std::nullopt;
    EventText event;
    bool inside = false, found = false, ended = false;
    for (const ContentLine& line : contentLines(text)) {
        if (line.name == "BEGIN" && isValue(line, "VEVENT") && !found) {
            inside = found = true;
        } else if (line.name == "END" && isValue(line, "VEVENT")) {
            ended = ended || inside;
            inside = false;
        } else if (inside && line.name == "SUMMARY") {
            event.summary = unescapeContentText(line.value);
        } else if (inside && line.name == "DTSTART") {
            event.start = line.value;
        } else if (inside && line.name == "DTEND") {
            event.end = line.value;
        } else if (inside && line.name == "LOCATION") {
            event.location = unescapeContentText(line.value);
        }
    }
    if (!found) return std::nullopt;
    if (calendar) {
        event.calendar = crlfLines(text);
    } else {
        // A lone event is no calendar file: it is wrapped in one, closed if the symbol cut it short.
        event.calendar = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Velmora//Velmora//EN\r\n" + crlfLines(text) +
                         (ended ? "" : "END:VEVENT\r\n") + "END:VCALENDAR\r\n";
    }
    return event;
}

}  // namespace velmora
