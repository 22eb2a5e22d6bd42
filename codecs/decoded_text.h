// How the bytes a symbol holds are shown as text. A symbol says what its bytes mean as far as
// it can: an ECI designator names a character set, Kanji segments are Shift JIS and Hanzi
// segments GB 2312. Where it says nothing, the bytes themselves and the user's language decide.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Segment modes as bits of the engine's record of a read symbol.
inline constexpr int kKanjiSegments = 1 << 3;
inline constexpr int kHanziSegments = 1 << 4;

// The language of the user's locale, as far as it breaks ties between Chinese and Japanese.
enum class LocaleLanguage { Other, Chinese, Japanese };

// From LC_ALL, LC_CTYPE or LANG, the first that is set.
LocaleLanguage localeLanguage();

// The character set (as iconv names it) of an ECI designator, or nullptr for one that names
// none we can convert (binary data, unassigned numbers).
const char* eciCharset(int eci);

struct ShownText {
    std::string text;     // UTF-8
    std::string charset;  // what the bytes were read as: "UTF-8", "Shift_JIS", "GB18030", ...
};

// The bytes as UTF-8 text: in the character set the ECI designator names (eci -1 for none);
// otherwise valid UTF-8 as it is; otherwise Shift JIS when the symbol has Kanji segments, GB 18030 when it
// has Hanzi segments (modes as the record's bits); otherwise a guess between Shift JIS and
// GB 2312 from the bytes, the language breaking a tie, and ISO-8859-1, which takes every byte,
// when neither fits. A step whose conversion fails hands on to the next.
ShownText showDecodedText(std::string_view bytes, int modes, int eci, LocaleLanguage language);

}  // namespace velmora
