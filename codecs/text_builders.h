// The texts that the New symbol forms write: a Wi-Fi network, a vCard 3.0 contact, an event in
// an iCalendar file and a web link. Each is written so that readTextKind reads it back to the
// same fields; plain data and no Qt, beside the parsers of the same texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/text_kind.h"

namespace velmora {

// WIFI:T:...;S:...;P:...;H:true;; with \ ; , : and " escaped by a backslash. A security of
// "nopass" or empty writes T:nopass and no password; H appears only for a hidden network.
std::string wifiSymbolText(const WifiText& network);

// Why a network cannot be written for phones to join, checked in this order.
enum class WifiProblem { None, NoName, NoPassword, WpaPasswordLength, WepKeyLength };

// A network needs a name; WPA and WEP need a password: 8 to 63 bytes or 64 hexadecimal digits
// for WPA, 5 or 13 bytes or 10 or 26 hexadecimal digits for WEP.
WifiProblem wifiProblem(const WifiText& network);

// The parts of a postal address in vCard's order after the two unused ones.
struct PostalAddress {
    std::string street, city, region, postalCode, country;
};

// What the contact form holds. The name is written as the user wants it shown.
struct ContactFields {
    std::string name;
    std::string organization;
    std::vector<std::string> numbers;
    std::vector<std::string> emails;
    PostalAddress address;
};

// A vCard 3.0 with CR LF lines folded at 75 bytes and its text values escaped: FN and N (the
// whole name as family name, so that no name order is guessed), ORG, one TEL and EMAIL per
// non-empty entry, and one ADR when any part of the address is given.
std::string vcardSymbolText(const ContactFields& contact);

// What the event form holds; times are seconds since 1970-01-01 UTC.
struct EventFields {
    std::string summary;
    std::string location;
    int64_t start = 0;
    int64_t end = 0;
    int64_t stamp = 0;  // when the event was written (DTSTAMP)
    std::string uid;    // a unique identifier of the event
};

// A time as iCalendar writes a UTC date-time: yyyyMMddThhmmssZ. Years 0 to 9999.
std::string utcDateTimeText(int64_t secondsSinceEpoch);

// A VCALENDAR (VERSION 2.0) holding one VEVENT with UID, DTSTAMP, DTSTART, DTEND, SUMMARY and
// LOCATION (the last two only when given), CR LF lines folded at 75 bytes.
std::string calendarSymbolText(const EventFields& event);

// Why a typed link cannot be offered as a web link, checked in this order.
enum class LinkProblem { None, Empty, Space, NoScheme, NotWeb, NoHost, BadHost };

// A link must be http or https with a host that a browser would contact, as readUrlText reads
// it; white space around it is not part of it.
LinkProblem linkProblem(std::string_view link);

// The link as it goes into the symbol: without the white space around it.
std::string linkSymbolText(std::string_view link);

}  // namespace velmora
