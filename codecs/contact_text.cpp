// Contacts: MECARD texts (one line of KEY:value; fields) and vCard files of versions 2.1 to 4.0.
#include <cctype>

#include "codecs/content_lines.h"
#include "codecs/text_builders.h"
#include "codecs/text_kind.h"

namespace velmora {
namespace {

// The non-empty parts joined by the separator.
std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

// An address on one line: its line breaks become commas.
std::string oneLine(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string(", ") : std::string(1, c);
    return out;
}

// The vCard 3.0 file of a contact read from a MECARD.
std::string mecardAsVcard(const ContactText& contact, const std::vector<std::string>& nameParts,
                          const std::vector<EscapedField>& fields) {
    std::string vcard = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    const std::string family = nameParts.empty() ? std::string() : nameParts[0];
    const std::string given = nameParts.size() > 1 ? nameParts[1] : std::string();
    vcard += foldContentLine("N:" + escapeContentText(family) + ";" + escapeContentText(given) + ";;;");
    vcard += foldContentLine("FN:" + escapeContentText(contact.name));
    for (const EscapedField& field : fields) {
        if (field.key == "TEL" || field.key == "EMAIL" || field.key == "NOTE" || field.key == "URL" ||
            field.key == "BDAY" || field.key == "ORG" || field.key == "NICKNAME") {
            vcard += foldContentLine(field.key + ":" + escapeContentText(field.value));
        } else if (field.key == "TEL-AV") {
            vcard += foldContentLine("TEL;TYPE=VIDEO:" + escapeContentText(field.value));
        } else if (field.key == "ADR") {
            // Seven comma-separated parts are the parts of a vCard address; anything else is the street.
            std::string components = ";;" + escapeContentText(field.value) + ";;;;";
            if (field.parts.size() == 7) {
                components.clear();
                for (size_t i = 0; i < 7; ++i) components += (i ? ";" : "") + escapeContentText(field.parts[i]);
            }
            vcard += foldContentLine("ADR:" + components);
        }
    }
    return vcard + "END:VCARD\r\n";
}

std::optional<ContactText> readMecard(std::string_view body) {
    ContactText contact;
    const std::vector<EscapedField> fields = escapedFields(body);
    std::vector<std::string> nameParts;
    for (const EscapedField& field : fields) {
        if (field.key == "N") {
            // Family name, then given name.
            nameParts = field.parts;
            contact.name = joined({field.parts.size() > 1 ? field.parts[1] : std::string(), field.parts[0]}, " ");
        } else if (field.key == "TEL" || field.key == "TEL-AV") {
            contact.numbers.push_back(field.value);
        } else if (field.key == "EMAIL") {
            contact.emails.push_back(field.value);
        } else if (field.key == "ADR") {
            contact.addresses.push_back(joined(field.parts, ", "));
        } else if (field.key == "ORG") {
            contact.organization = field.value;
        }
    }
    if (contact.name.empty() && contact.numbers.empty() && contact.emails.empty()) return std::nullopt;
    contact.vcard = mecardAsVcard(contact, nameParts, fields);
    return contact;
}

// A number of vCard 4.0 may be written as a tel: URI.
std::string phoneNumber(const std::string& value) {
    return startsWithNoCase(value, "TEL:") ? value.substr(4) : value;
}

std::optional<ContactText> readVcard(std::string_view text) {
    ContactText contact;
    std::string structuredName;
    bool ended = false;
    for (const ContentLine& line : contentLines(text)) {
        if (line.name == "END") {
            ended = true;
            break;
        }
        if (line.name == "FN") {
            contact.name = unescapeContentText(line.value);
        } else if (line.name == "N") {
            const std::vector<std::string> n = contentComponents(line.value);
            // Family;Given;Additional;Prefix;Suffix, shown in reading order.
            const auto part = [&n](size_t i) { return i < n.size() ? n[i] : std::string(); };
            structuredName = joined({part(3), part(1), part(2), part(0), part(4)}, " ");
        } else if (line.name == "TEL") {
            contact.numbers.push_back(phoneNumber(unescapeContentText(line.value)));
        } else if (line.name == "EMAIL") {
            contact.emails.push_back(unescapeContentText(line.value));
        } else if (line.name == "ADR") {
            contact.addresses.push_back(oneLine(joined(contentComponents(line.value), ", ")));
        } else if (line.name == "ORG") {
            contact.organization = joined(contentComponents(line.value), ", ");
        }
    }
    if (contact.name.empty()) contact.name = structuredName;
    if (contact.name.empty() && contact.numbers.empty() && contact.emails.empty() && contact.addresses.empty())
        return std::nullopt;
    std::string file = crlfLines(text);
    if (!ended) file += "END:VCARD\r\n";
    contact.vcard = file;
    return contact;
}

}  // namespace

std::string vcardSymbolText(const ContactFields& contact) {
    const std::string name = escapeContentText(contact.name);
    std::string vcard = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    vcard += foldContentLine("N:" + name + ";;;;");
    vcard += foldContentLine("FN:" + name);
    if (!contact.organization.empty()) vcard += foldContentLine("ORG:" + escapeContentText(contact.organization));
    for (const std::string& number : contact.numbers)
        if (!number.empty()) vcard += foldContentLine("TEL:" + escapeContentText(number));
    for (const std::string& email : contact.emails)
        if (!email.empty()) vcard += foldContentLine("EMAIL:" + escapeContentText(email));
    const PostalAddress& address = contact.address;
    const std::vector<std::string> parts{address.street, address.city, address.region, address.postalCode,
                                         address.country};
    if (!joined(parts, "").empty()) {
        // Post office box and extended address stay empty.
        std::string components = ";";
        for (const std::string& part : parts) {
            components += ';';
            components += escapeContentText(part);
        }
        vcard += foldContentLine("ADR:" + components);
    }
    return vcard + "END:VCARD\r\n";
}

std::optional<ContactText> readContactText(std::string_view text) {
    if (startsWithNoCase(text, "MECARD:")) return readMecard(text.substr(7));
    if (startsWithNoCase(text, "BEGIN:VCARD")) return readVcard(text);
    return std::nullopt;
}

}  // namespace velmora
