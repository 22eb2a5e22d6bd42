// Text encodings: UTF-8 checks and conversion between UTF-8 and the legacy code pages that the
// encoder's double-byte modes expect (GB 2312 for Hanzi, Shift JIS for Kanji), through iconv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// The outcome of a conversion: the converted bytes, or a one-line reason naming the first
// character or byte that could not be converted.
struct TextConversion {
    bool ok = false;
    std::string text;
    std::string error;
    std::string unconvertible;  // from UTF-8: the character the charset cannot hold, as UTF-8
};

// True when the bytes are well-formed UTF-8: no stray continuation bytes, no cut-off sequences,
// no overlong forms, no surrogates, nothing above U+10FFFF. The empty string is valid.
bool isValidUtf8(std::string_view bytes);

// Offset of the first byte that breaks well-formed UTF-8, or npos when there is none.
std::size_t firstInvalidUtf8(std::string_view bytes);

// Converts UTF-8 text to the charset named as iconv knows it ("GB2312", "SHIFT_JIS", ...).
// Fails on malformed UTF-8 and on the first character the charset cannot hold; never
// transliterates or drops characters.
TextConversion fromUtf8(std::string_view utf8, const std::string& toCharset);

// Converts bytes in the named charset to UTF-8, failing at the first byte sequence that is not
// valid in that charset.
TextConversion toUtf8(std::string_view bytes, const std::string& fromCharset);

}  // namespace velmora
