#include "app/ini_file.h"

#include <cstdint>

#include "codecs/whole_file.h"

namespace velmora {
namespace {

constexpr std::string_view kBlanks = " \t";
// Settings and language files are a few kilobytes; anything far larger is not one.
constexpr int64_t kIniFileMax = int64_t{16} << 20;

// The text without leading and trailing blanks.
std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// True when both names are equal ignoring ASCII letter case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The section name of a "[name]" line, or false when the line opens no section.
bool sectionName(std::string_view line, std::string_view& name) {
    const std::string_view text = trimmed(line);
    if (text.empty() || text.front() != '[') return false;
    const auto close = text.find(']');
    if (close == std::string_view::npos) return false;
    name = trimmed(text.substr(1, close - 1));
    return true;
}

// The key and raw value of a "key=value" line, or false for any other line.
bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    key = trimmed(line.substr(0, equals));
    value = trimmed(line.substr(equals + 1));
    return !key.empty();
}

// A value enclosed in one pair of matching quotes loses them, as the profile services do.
std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool parseIniInteger(std::string_view text, int& value) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int64_t magnitude = 0;
    if (text.starts_with("0x") || text.starts_with("0X") || text.starts_with("$")) {
        text.remove_prefix(text.front() == '$' ? 1 : 2);
        if (text.empty() || text.size() > 8) return false;
        for (char c : text) {
            const int digit = hexDigit(c);
            if (digit < 0) return false;
            magnitude = magnitude * 16 + digit;
        }
        const auto bits = static_cast<uint32_t>(negative ? -magnitude : magnitude);
        value = static_cast<int32_t>(bits);
        return true;
    }
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > int64_t{INT32_MAX} + 1) return false;
    }
    if (negative) magnitude = -magnitude;
    if (magnitude > INT32_MAX || magnitude < INT32_MIN) return false;
    value = static_cast<int>(magnitude);
    return true;
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    // Read only as a regular file, so that a FIFO or a device in the file's place never holds
    // up the start.
    std::vector<uint8_t> bytes;
    std::string problem;
    bool tooLarge = false;
    if (!readFileWhole(path_, kIniFileMax, bytes, problem, tooLarge)) return;
    std::string content(bytes.begin(), bytes.end());
    if (content.starts_with("\xEF\xBB\xBF")) {
        byteOrderMark_ = true;
        content.erase(0, 3);
    }
    const auto firstBreak = content.find('\n');
    if (firstBreak != std::string::npos && firstBreak > 0 && content[firstBreak - 1] == '\r') lineEnd_ = "\r\n";
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

int IniFile::findKey(std::string_view section, std::string_view key, int& sectionEnd) const {
    sectionEnd = -1;
    bool inSection = false;
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
        std::string_view name;
        if (sectionName(lines_[i], name)) {
            // Only the first section of a name counts, as with the profile services.
            if (inSection) return -1;
            inSection = sameName(name, section);
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!trimmed(lines_[i]).empty()) sectionEnd = i + 1;
        std::string_view lineKey, value;
        if (keyLine(lines_[i], lineKey, value) && sameName(lineKey, key)) return i;
    }
    return -1;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view fallback) const {
    int sectionEnd = 0;
    const int index = findKey(section, key, sectionEnd);
    if (index < 0) return std::string(fallback.substr(0, kIniValueMax));
    std::string_view lineKey, value;
    keyLine(lines_[index], lineKey, value);
    return std::string(unquoted(value).substr(0, kIniValueMax));
}

int IniFile::readInteger(std::string_view section, std::string_view key, int fallback) const {
    int sectionEnd = 0;
    const int index = findKey(section, key, sectionEnd);
    if (index < 0) return fallback;
    int value = 0;
    return parseIniInteger(readString(section, key, ""), value) ? value : fallback;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value,
                          std::string& error) {
    int sectionEnd = 0;
    const int index = findKey(section, key, sectionEnd);
    if (index >= 0) {
        // Keep the key as the file spells it, with any indentation before it.
        std::string head = lines_[index].substr(0, lines_[index].find('='));
        while (!head.empty() && (head.back() == ' ' || head.back() == '\t')) head.pop_back();
        lines_[index] = head + "=" + std::string(value);
    } else if (sectionEnd >= 0) {
        lines_.insert(lines_.begin() + sectionEnd, std::string(key) + "=" + std::string(value));
    } else {
        std::string header(1, '[');
        header.append(section).append(1, ']');
        lines_.push_back(std::move(header));
        lines_.push_back(std::string(key) + "=" + std::string(value));
    }
    return save(error);
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, int value, std::string& error) {
    return writeString(section, key, std::to_string(value), error);
}

bool IniFile::save(std::string& error) const {
    std::string content = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
    for (const std::string& line : lines_) content += line + lineEnd_;
    // The new content replaces the old file only once it is on disk, so a failure (a full disk)
    // never leaves a half-written settings file behind, and the old one stays as it was.
    return writeFileWhole(path_, content.data(), content.size(), error);
}

}  // namespace velmora
