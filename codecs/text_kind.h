// What a decoded text is, for acting on it: a link, a Wi-Fi network, a contact, a calendar event
// or plain text, with the fields a user needs to see before acting. Plain data and no Qt, so
// that the desktop app and velmora-cli read texts alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class TextKind { Text, Url, Wifi, Contact, Event };

// "text", "url", "wifi", "contact", "event".
const char* textKindName(TextKind kind);

// An address that the desktop's URL handler may open: http, https, mailto, tel or geo.
struct UrlText {
    std::string address;      // the whole text, as it would be opened
    std::string scheme;       // lower case
    std::string userInfo;     // http(s): what stands before the host's '@' (it is not the host)
    std::string host;         // the host as a URL parser sees it, in ASCII (IDN labels as xn--)
    std::string hostUnicode;  // the same host with IDN labels in Unicode; equal to host for ASCII names
    std::string target;       // mailto: the recipients; tel: the number; geo: the coordinates
};

// A network of a WIFI: text; escapes removed.
struct WifiText {
    std::string ssid;
    std::string security;  // as written (WPA, WEP, nopass, ...); empty for an open network
    std::string password;
    bool hidden = false;
};

// A person of a MECARD: or vCard text.
struct ContactText {
    std::string name;
    std::string organization;
    std::vector<std::string> numbers;
    std::vector<std::string> emails;
    std::vector<std::string> addresses;
    std::string vcard;  // a vCard file of the contact, lines ending in CR LF
};

// The first event of a VEVENT text.
struct EventText {
    std::string summary;
    std::string start;  // DTSTART as written (20240131T090000Z, 20240131, ...)
    std::string end;
    std::string location;
    std::string calendar;  // an iCalendar file holding the event, lines ending in CR LF
};

// A decoded text and what it turned out to be; only the record of its kind is filled.
struct ReadText {
    TextKind kind = TextKind::Text;
    std::string text;
    UrlText url;
    WifiText wifi;
    ContactText contact;
    EventText event;
};

// Reads a UTF-8 text. Whatever is not clearly one of the kinds, including a malformed link,
// is Text: a user may still copy it, never open it.
ReadText readTextKind(std::string_view text);

// The single parsers behind readTextKind; each gives nothing for a text not of its kind.

// http(s) with an authority ("//host"), mailto:, tel: and geo:, in any letter case, without
// spaces or control characters. The host is percent-decoded and brought to its ASCII (IDNA)
// form as browsers do; a host that cannot be (a forbidden character, a broken IDN label, a
// backslash that browsers would take as the end of the host) makes the text no link.
std::optional<UrlText> readUrlText(std::string_view text);

// WIFI:T:...;S:...;P:...;H:...;; with fields in any order; a backslash escapes the next
// character (\; \: \, \\ \"). Needs a network name.
std::optional<WifiText> readWifiText(std::string_view text);

// MECARD:N:...;TEL:...;...;; (backslash escapes as in WIFI:) and BEGIN:VCARD ... END:VCARD of
// versions 2.1 to 4.0 with folded lines.
std::optional<ContactText> readContactText(std::string_view text);

// BEGIN:VEVENT ... END:VEVENT, alone or inside BEGIN:VCALENDAR, with folded lines.
std::optional<EventText> readEventText(std::string_view text);

}  // namespace velmora
