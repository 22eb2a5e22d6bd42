// Velmora's INI files: Config.ini and the language files.
//
// The lookup rules are those of the classic profile-file services that the configuration and the
// language files were written for: section and key names match without regard to letter case, a
// key that is present with an empty value reads as an empty text (not the default), text values
// are cut to 2047 characters, and integers are decimal or hexadecimal with a "0x" or "$" prefix.
// Writing one key rewrites only that key's line and keeps every other line of the file as it was.
// Values are bytes; nothing here converts a character set.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Longest text value a read returns; longer values are cut to this many bytes.
inline constexpr std::size_t kIniValueMax = 2047;

class IniFile {
public:
    // Reads the whole file at once. A missing or unreadable file, or a FIFO or device in its
    // place (never waited on), reads as an empty one, so every lookup yields its default.
    explicit IniFile(std::string path);

    // The value of key in section, or fallback when the file, section or key is missing.
    std::string readString(std::string_view section, std::string_view key, std::string_view fallback) const;

    // The integer value of key in section, or fallback when it is missing or not an integer.
    int readInteger(std::string_view section, std::string_view key, int fallback) const;

    // Sets key in section (creating the file, section or key when absent), keeps every other line
    // and writes the file to disk before returning. Returns false with a reason when it cannot.
    bool writeString(std::string_view section, std::string_view key, std::string_view value, std::string& error);
    bool writeInteger(std::string_view section, std::string_view key, int value, std::string& error);

    const std::string& path() const { return path_; }

private:
    // Index of the line holding key in section, or -1; sectionEnd receives the index after the
    // last non-blank line of the section's body (-1 when the section is missing).
    int findKey(std::string_view section, std::string_view key, int& sectionEnd) const;
    bool save(std::string& error) const;

    std::string path_;
    std::vector<std::string> lines_;  // without their line ends
    std::string lineEnd_ = "\n";
    bool byteOrderMark_ = false;
};

// Parses an INI integer: optional blanks and sign, then decimal digits or "0x"/"0X"/"$" and
// hexadecimal digits, and nothing else. Decimal values must fit 32 bits; hexadecimal values of up
// to eight digits wrap into the signed range. Returns false when the text is not such an integer.
bool parseIniInteger(std::string_view text, int& value);

}  // namespace velmora
