// Calendar events: a VEVENT, alone as many generators write it or inside a VCALENDAR.
#include <cctype>

#include "codecs/content_lines.h"
#include "codecs/text_builders.h"
#include "codecs/text_kind.h"

namespace velmora {
namespace {

// The head of every calendar file Velmora writes.
constexpr std::string_view kCalendarHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Velmora//Velmora//EN\r\n";

bool isValue(const ContentLine& line, std::string_view value) {
    return startsWithNoCase(line.value, value) && line.value.size() == value.size();
}

// Floor division, so that times before 1970 fall on the right day.
int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// A non-negative number with leading zeros to the width.
std::string padded(int64_t number, size_t width) {
    std::string digits = std::to_string(number);
    return digits.size() < width ? std::string(width - digits.size(), '0') + digits : digits;
}

}  // namespace

std::string utcDateTimeText(int64_t secondsSinceEpoch) {
    const int64_t days = floorDiv(secondsSinceEpoch, 86400);
    const int64_t second = secondsSinceEpoch - days * 86400;
    // Civil date of a day number (proleptic Gregorian), after Howard Hinnant's days_from_civil.
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2);
    return padded(year, 4) + padded(month, 2) + padded(day, 2) + "T" + padded(second / 3600, 2) +
           padded(second / 60 % 60, 2) + padded(second % 60, 2) + "Z";
}

std::string calendarSymbolText(const EventFields& event) {
    std::string calendar = std::string(kCalendarHead) + "BEGIN:VEVENT\r\n";
    calendar += foldContentLine("UID:" + escapeContentText(event.uid));
    calendar += "DTSTAMP:" + utcDateTimeText(event.stamp) + "\r\n";
    calendar += "DTSTART:" + utcDateTimeText(event.start) + "\r\n";
    calendar += "DTEND:" + utcDateTimeText(event.end) + "\r\n";
    if (!event.summary.empty()) calendar += foldContentLine("SUMMARY:" + escapeContentText(event.summary));
    if (!event.location.empty()) calendar += foldContentLine("LOCATION:" + escapeContentText(event.location));
    return calendar + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

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
        event.calendar = std::string(kCalendarHead) + crlfLines(text) +
                         (ended ? "" : "END:VEVENT\r\n") + "END:VCALENDAR\r\n";
    }
    return event;
}

}  // namespace velmora
