#include "codecs/content_lines.h"

#include <cctype>

namespace velmora {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Splits one unfolded line at the first colon outside a quoted parameter value.
bool splitContentLine(std::string_view line, ContentLine& out) {
    bool quoted = false;
    size_t colon = std::string_view::npos;
    for (size_t i = 0; i < line.size() && colon == std::string_view::npos; ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) colon = i;
    }
    if (colon == std::string_view::npos) return false;
    const std::string_view head = line.substr(0, colon);
    const size_t semicolon = head.find(';');
    std::string_view name = head.substr(0, semicolon);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    out.name = upper(name);
    out.parameters = semicolon == std::string_view::npos ? std::string() : std::string(head.substr(semicolon + 1));
    out.value = std::string(line.substr(colon + 1));
    return !out.name.empty();
}

}  // namespace

std::vector<ContentLine> contentLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            lines.back() += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        const bool folded = i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t');
        if (folded) {
            ++i;  // the one white space that marks the fold goes with the break
        } else {
            lines.emplace_back();
        }
    }
    std::vector<ContentLine> out;
    for (const std::string& line : lines) {
        ContentLine parsed;
        if (splitContentLine(line, parsed)) out.push_back(std::move(parsed));
    }
    return out;
}

std::string unescapeContentText(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += next == 'n' || next == 'N' ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::vector<std::string> contentComponents(std::string_view value) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            parts.back() += value.substr(i, 2);
            ++i;
        } else if (value[i] == ';') {
            parts.emplace_back();
        } else {
            parts.back() += value[i];
        }
    }
    for (std::string& part : parts) part = unescapeContentText(part);
    return parts;
}

std::string escapeContentText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r') {
            out += "\\n";
        } else {
            if (c == '\\' || c == ',' || c == ';') out += '\\';
            out += c;
        }
    }
    return out;
}

std::string foldContentLine(std::string_view line) {
    std::string out;
    size_t room = 75;
    while (line.size() > room) {
        size_t cut = room;
        // A UTF-8 continuation byte never starts a piece.
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        room = 74;  // the leading space counts
    }
    out.append(line);
    return out + "\r\n";
}

std::string crlfLines(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
    return out;
}

std::vector<EscapedField> escapedFields(std::string_view body) {
    std::vector<EscapedField> fields;
    size_t i = 0;
    while (i < body.size()) {
        const size_t colon = body.find(':', i);
        const size_t semicolon = body.find(';', i);
        if (semicolon == i || colon == std::string_view::npos) break;  // ";;" or trailing junk
        if (semicolon != std::string_view::npos && semicolon < colon) {
            i = semicolon + 1;  // a field without a key is skipped
            continue;
        }
        EscapedField field{upper(body.substr(i, colon - i)), {}, {std::string()}};
        for (i = colon + 1; i < body.size() && body[i] != ';'; ++i) {
            const bool escaped = body[i] == '\\' && i + 1 < body.size();
            if (escaped) ++i;
            field.value += body[i];
            if (body[i] == ',' && !escaped) {
                field.parts.emplace_back();
            } else {
                field.parts.back() += body[i];
            }
        }
        if (i < body.size()) ++i;  // the semicolon
        fields.push_back(std::move(field));
    }
    return fields;
}

std::string escapeFieldValue(std::string_view value) {
    std::string out;
    for (const char c : value) {
        if (std::string_view("\\;,:\"").find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

}  // namespace velmora
