#include "app/text_charset.h"

#include <iconv.h>

#include <cerrno>

namespace velmora {
namespace {

// Owns one iconv conversion descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(handle_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

// Byte length of the UTF-8 sequence that starts with lead (1 for a stray byte).
std::size_t utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

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
    if (wanted == "sjis" || wanted == "utf8") {
        charset = wanted == "sjis" ? TextCharset::ShiftJis : TextCharset::Utf8;
        return true;
    }
    return false;
}

bool convertFromUtf8(std::string_view utf8, TextCharset charset, std::string& converted, std::string& unconvertible) {
    converted.clear();
    unconvertible.clear();
    IconvHandle conversion(textCharsetInfo(charset).iconvName, "UTF-8");
    if (!conversion.valid()) return false;

    // Every character of these sets takes at most two bytes and no UTF-8 character fewer than one,
    // so twice the input length always suffices, plus room for a shift sequence.
    std::string output(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const bool ok = iconv(conversion.get(), &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) &&
                    iconv(conversion.get(), nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
    if (!ok) {
        if (errno == EILSEQ && inLeft > 0) {
            const std::size_t length = utf8SequenceLength(static_cast<unsigned char>(*in));
            const std::string_view rest(in, inLeft);
            // A sequence that is cut short or malformed is bad input, not a character.
            std::string bytes(rest.substr(0, length));
            std::string ignored, probe;
            if (length <= inLeft && convertFromUtf8(bytes, TextCharset::Utf8, probe, ignored)) unconvertible = bytes;
        }
        return false;
    }
    output.resize(output.size() - outLeft);
    converted = std::move(output);
    return true;
}

}  // namespace velmora
