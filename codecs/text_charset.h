// The character sets a user can encode text in, for the app and the command line alike: UTF-8
// (the default), GB 2312, whose Chinese characters the encoder writes in the compact Hanzi mode,
// and Shift JIS, whose characters it writes in the Kanji mode.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace velmora {

enum class TextCharset { Utf8, Gb2312, ShiftJis };

struct TextCharsetInfo {
    TextCharset charset;
    const char* configName;   // the value kept in Config.ini, as velmora-cli --charset spells it
    const char* displayName;  // what the user sees in the list
    const char* iconvName;    // how iconv and the messages name it
};

inline constexpr std::array<TextCharsetInfo, 3> kTextCharsets = {{
    {TextCharset::Utf8, "utf-8", "UTF-8", "UTF-8"},
    {TextCharset::Gb2312, "gb2312", "GB 2312", "GB2312"},
    {TextCharset::ShiftJis, "shift_jis", "Shift JIS", "SHIFT_JIS"},
}};

// The table entry of a character set.
const TextCharsetInfo& textCharsetInfo(TextCharset charset);

// The character set a configuration value names (letter case, blanks, '-' and '_' ignored, so
// "UTF-8", "GB 2312" and "Shift_JIS" are all understood); false for an unknown name.
bool parseTextCharset(std::string_view name, TextCharset& charset);

// Converts UTF-8 text into the character set. On failure returns false and names the first
// character that the set cannot hold (as UTF-8) in unconvertible, or leaves it empty when the
// input itself is not valid UTF-8.
bool convertFromUtf8(std::string_view utf8, TextCharset charset, std::string& converted, std::string& unconvertible);

}  // namespace velmora
