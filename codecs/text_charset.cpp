#include "codecs/text_charset.h"

#include "codecs/text_encoding.h"

namespace velmora {
namespace {

// Folds a name for comparison: lower case, without blanks, '-' and '_'.
std::string foldedName(std::string_view name) {
    std::string folded;
    for (char c : name) {
        if (c == ' ' || c == '-' || c == '_' || c == '\t') continue;
        folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return folded;
}

}  // namespace

const TextCharsetInfo& textCharsetInfo(TextCharset charset) {
    for (const TextCharsetInfo& info : kTextCharsets)
        if (info.charset == charset) return info;
    return kTextCharsets[0];
}

bool parseTextCharset(std::string_view name, TextCharset& charset) {
    const std::string wanted = foldedName(name);
    for (const TextCharsetInfo& info : kTextCharsets) {
        if (wanted == foldedName(info.configName) || wanted == foldedName(info.displayName)) {
            charset = info.charset;
            return true;
        }
    }
    if (wanted == "sjis") {
        charset = TextCharset::ShiftJis;
        return true;
    }
    return false;
}

bool convertFromUtf8(std::string_view utf8, TextCharset charset, std::string& converted, std::string& unconvertible) {
    converted.clear();
    unconvertible.clear();
    TextConversion conversion = fromUtf8(utf8, textCharsetInfo(charset).iconvName);
    if (!conversion.ok) {
        unconvertible = conversion.unconvertible;
        return false;
    }
    converted = std::move(conversion.text);
    return true;
}

}  // namespace velmora
