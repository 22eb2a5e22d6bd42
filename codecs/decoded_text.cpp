#include "codecs/decoded_text.h"

#include <array>
#include <cstdint>
#include <cstdlib>

#include "codecs/text_encoding.h"

namespace velmora {
namespace {

// Shift JIS is converted as Windows reads it (CP932), which keeps 0x5C a backslash and 0x7E a
// tilde as every current reader shows them.
constexpr const char* kShiftJisConversion = "CP932";

struct EciEntry {
    int eci;
    const char* charset;
};

// ECI designators of character sets, as AIM assigns them and ISO/IEC 18004 uses them.
constexpr std::array<EciEntry, 31> kEciCharsets = {{
    {0, "CP437"},       {1, "ISO-8859-1"},  {2, "CP437"},       {3, "ISO-8859-1"},  {4, "ISO-8859-2"},
    {5, "ISO-8859-3"},  {6, "ISO-8859-4"},  {7, "ISO-8859-5"},  {8, "ISO-8859-6"},  {9, "ISO-8859-7"},
    {10, "ISO-8859-8"}, {11, "ISO-8859-9"}, {12, "ISO-8859-10"}, {13, "ISO-8859-11"}, {15, "ISO-8859-13"},
    {16, "ISO-8859-14"}, {17, "ISO-8859-15"}, {18, "ISO-8859-16"}, {20, "Shift_JIS"}, {21, "CP1250"},
    {22, "CP1251"},     {23, "CP1252"},     {24, "CP1256"},     {25, "UTF-16BE"},   {26, "UTF-8"},
    {27, "ASCII"},      {28, "BIG5"},       {29, "GB18030"},    {30, "EUC-KR"},     {170, "ASCII"},
    {32, "GB18030"},
}};

// What reading the bytes as Shift JIS finds: whether they all fit, and how many characters are
// double-byte characters and how many single half-width katakana.
struct ShiftJisShape {
    bool fits = true;
    int doubleByte = 0;
    int halfWidthKana = 0;
};

ShiftJisShape shiftJisShape(std::string_view bytes) {
    ShiftJisShape shape;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80) continue;
        if (b >= 0xA1 && b <= 0xDF) {
            ++shape.halfWidthKana;
            continue;
        }
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (!lead || i + 1 >= bytes.size()) return ShiftJisShape{false};
        const auto trail = static_cast<uint8_t>(bytes[++i]);
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return ShiftJisShape{false};
        ++shape.doubleByte;
    }
    return shape;
}

// True when every byte above 0x7F belongs to a GB 2312 pair (both bytes 0xA1..0xFE, first at
// most 0xF7): the characters Chinese text is written in.
bool fitsGb2312(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80) continue;
        if (b < 0xA1 || b > 0xF7 || i + 1 >= bytes.size()) return false;
        const auto trail = static_cast<uint8_t>(bytes[++i]);
        if (trail < 0xA1 || trail > 0xFE) return false;
    }
    return true;
}

// The double-byte charset the bytes most likely are, or nullptr when they fit neither.
const char* guessDoubleByteCharset(std::string_view bytes, LocaleLanguage language) {
    const ShiftJisShape japanese = shiftJisShape(bytes);
    const bool chinese = fitsGb2312(bytes);
    if (japanese.fits && !chinese) return "Shift_JIS";
    if (chinese && !japanese.fits) return "GB18030";
    if (!chinese) return nullptr;
    // Both fit, as GB 2312 pairs whose bytes are all half-width katakana in Shift JIS do.
    if (language == LocaleLanguage::Chinese) return "GB18030";
    if (language == LocaleLanguage::Japanese) return "Shift_JIS";
    // Japanese text is seldom a run of half-width katakana.
    return japanese.halfWidthKana > japanese.doubleByte ? "GB18030" : "Shift_JIS";
}

// The bytes converted from charset to UTF-8 into shown; false when they are not valid in it.
bool convertInto(std::string_view bytes, const std::string& charset, ShownText& shown) {
    const std::string conversion = charset == "Shift_JIS" ? kShiftJisConversion : charset;
    TextConversion converted = toUtf8(bytes, conversion);
    if (!converted.ok) return false;
    shown.text = std::move(converted.text);
    shown.charset = charset;
    return true;
}

}  // namespace

LocaleLanguage localeLanguage() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        const std::string_view locale(value);
        if (locale.substr(0, 2) == "zh") return LocaleLanguage::Chinese;
        if (locale.substr(0, 2) == "ja") return LocaleLanguage::Japanese;
        return LocaleLanguage::Other;
    }
    return LocaleLanguage::Other;
}

const char* eciCharset(int eci) {
    for (const EciEntry& entry : kEciCharsets)
        if (entry.eci == eci) return entry.charset;
    return nullptr;
}

ShownText showDecodedText(std::string_view bytes, int modes, int eci, LocaleLanguage language) {
    ShownText shown;
    // A designator is the symbol's own word: ISO-8859-2 bytes such as "čšž" happen to be valid
    // UTF-8 too, and must not turn into a Chinese character.
    if (const char* charset = eciCharset(eci); charset != nullptr && convertInto(bytes, charset, shown)) return shown;
    if (isValidUtf8(bytes)) {
        shown.text = std::string(bytes);
        shown.charset = "UTF-8";
        return shown;
    }
    if ((modes & kKanjiSegments) != 0 && convertInto(bytes, "Shift_JIS", shown)) return shown;
    if ((modes & kHanziSegments) != 0 && convertInto(bytes, "GB18030", shown)) return shown;
    if (const char* guess = guessDoubleByteCharset(bytes, language); guess != nullptr && convertInto(bytes, guess, shown))
        return shown;
    convertInto(bytes, "ISO-8859-1", shown);
    return shown;
}

}  // namespace velmora
