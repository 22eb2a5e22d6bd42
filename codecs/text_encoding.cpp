#include "codecs/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace velmora {
namespace {

// Length of the well-formed UTF-8 sequence at offset i, or 0 when the bytes there are not one.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<uint8_t>(bytes[k]); };
    const uint8_t lead = at(i);
    if (lead < 0x80) return 1;
    std::size_t extra;
    uint32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + extra >= bytes.size()) return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        if ((at(i + k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (at(i + k) & 0x3F);
    }
    const bool overlong = (extra == 2 && codePoint < 0x800) || (extra == 3 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF) return 0;
    return extra + 1;
}

// Code point of the well-formed sequence of the given length at offset i.
uint32_t utf8CodePoint(std::string_view bytes, std::size_t i, std::size_t length) {
    const uint8_t lead = static_cast<uint8_t>(bytes[i]);
    uint32_t codePoint = length == 1 ? lead : (lead & (0x7F >> length));
    for (std::size_t k = 1; k < length; ++k) codePoint = (codePoint << 6) | (static_cast<uint8_t>(bytes[i + k]) & 0x3F);
    return codePoint;
}

// Number of characters that start before the given offset of well-formed UTF-8.
std::size_t utf8CharactersBefore(std::string_view bytes, std::size_t offset) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) {
        if ((static_cast<uint8_t>(bytes[i]) & 0xC0) != 0x80) ++count;
    }
    return count;
}

std::string hexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// Names the character at offset i of well-formed UTF-8 for a message: the character itself
// (unless it is a control character), its code point and its 1-based position.
std::string describeUtf8Character(std::string_view utf8, std::size_t i) {
    const std::size_t length = utf8SequenceLength(utf8, i);
    const uint32_t codePoint = utf8CodePoint(utf8, i, length);
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(codePoint));
    std::string text;
    if (codePoint >= 0x20 && codePoint != 0x7F && !(codePoint >= 0x80 && codePoint < 0xA0)) {
        text.append(1, '"').append(utf8.substr(i, length)).append("\" ");
    }
    text.append("(").append(number).append(", character ");
    text.append(std::to_string(utf8CharactersBefore(utf8, i) + 1)).append(")");
    return text;
}

// Owns an iconv descriptor for one conversion.
class IconvHandle {
public:
    IconvHandle(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Runs the whole input through iconv. On failure, failedAt is the input offset where the
// conversion stopped, cutOff tells whether the input ended inside a character, and the result
// is false.
bool convertAll(iconv_t cd, std::string_view input, std::string& output, std::size_t& failedAt, bool& cutOff) {
    std::vector<char> buffer(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    output.clear();
    bool flushing = false;
    for (;;) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result =
            flushing ? iconv(cd, nullptr, nullptr, &out, &outLeft) : iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        output.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1)) {
            if (flushing) return true;
            flushing = true;  // a stateful charset may still owe its shift back to the initial state
            continue;
        }
        if (error == E2BIG) continue;
        failedAt = input.size() - inLeft;
        cutOff = error == EINVAL;
        return false;
    }
}

}  // namespace

std::size_t firstInvalidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) return i;
        i += length;
    }
    return std::string_view::npos;
}

bool isValidUtf8(std::string_view bytes) { return firstInvalidUtf8(bytes) == std::string_view::npos; }

TextConversion fromUtf8(std::string_view utf8, const std::string& toCharset) {
    TextConversion result;
    const std::size_t invalid = firstInvalidUtf8(utf8);
    if (invalid != std::string_view::npos) {
        result.error = "the text is not valid UTF-8 (byte " + hexByte(static_cast<uint8_t>(utf8[invalid])) +
                       " at offset " + std::to_string(invalid) + ")";
        return result;
    }
    IconvHandle cd(toCharset, "UTF-8");
    if (!cd.valid()) {
        result.error = "the charset " + toCharset + " is not available for conversion";
        return result;
    }
    std::size_t failedAt = 0;
    bool cutOff = false;
    if (!convertAll(cd.get(), utf8, result.text, failedAt, cutOff)) {
        result.text.clear();
        result.error = failedAt < utf8.size()
                           ? describeUtf8Character(utf8, failedAt) + " cannot be written in " + toCharset
                           : "the text cannot be written in " + toCharset;
        if (failedAt < utf8.size()) result.unconvertible = std::string(utf8.substr(failedAt, utf8SequenceLength(utf8, failedAt)));
        return result;
    }
    result.ok = true;
    return result;
}

TextConversion toUtf8(std::string_view bytes, const std::string& fromCharset) {
    TextConversion result;
    IconvHandle cd("UTF-8", fromCharset);
    if (!cd.valid()) {
        result.error = "the charset " + fromCharset + " is not available for conversion";
        return result;
    }
    std::size_t failedAt = 0;
    bool cutOff = false;
    if (!convertAll(cd.get(), bytes, result.text, failedAt, cutOff)) {
        result.text.clear();
        result.error = cutOff ? "the bytes end inside a " + fromCharset + " character at offset " +
                                    std::to_string(failedAt)
                       : failedAt < bytes.size()
                           ? "byte " + hexByte(static_cast<uint8_t>(bytes[failedAt])) + " at offset " +
                                 std::to_string(failedAt) + " is not valid " + fromCharset
                           : "the bytes are not valid " + fromCharset;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace velmora
