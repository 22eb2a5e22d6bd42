// Links: the scheme, and for http(s) the host that a browser would really contact, whatever
// user information or look-alike letters stand before it.
#include <idn2.h>

#include <cctype>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "codecs/text_builders.h"
#include "codecs/text_kind.h"

namespace velmora {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX sequences as their bytes; a stray % stays as it is.
std::string percentDecoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// True when the text holds no space or control character: such a text is a sentence that
// happens to start like a link.
bool isOneToken(std::string_view text) {
    for (const unsigned char c : text)
        if (c <= 0x20 || c == 0x7F) return false;
    return !text.empty();
}

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

// Characters that no domain name holds once percent-decoded; browsers refuse such hosts.
bool hasForbiddenHostCharacter(std::string_view host) {
    for (const unsigned char c : host) {
        if (c <= 0x20 || c == 0x7F) return true;
        if (std::string_view("#%/:<>?@[\\]^|").find(static_cast<char>(c)) != std::string_view::npos) return true;
    }
    return false;
}

struct Idn2Deleter {
    void operator()(char* text) const { idn2_free(text); }
};

// The domain in ASCII and in Unicode, as UTS #46 (non-transitional, as browsers) maps it; false
// for a domain that has no such form.
bool domainForms(const std::string& domain, std::string& ascii, std::string& unicode) {
    if (domain.empty() || hasForbiddenHostCharacter(domain)) return false;
    bool plain = true;
    for (const unsigned char c : domain) plain = plain && c < 0x80;
    const std::string lowered = lower(domain);
    if (plain && lowered.find("xn--") == std::string::npos) {
        ascii = unicode = lowered;
        return true;
    }
    char* out = nullptr;
    if (idn2_to_ascii_8z(domain.c_str(), &out, IDN2_NONTRANSITIONAL) != IDN2_OK) return false;
    const std::unique_ptr<char, Idn2Deleter> asciiForm(out);
    out = nullptr;
    if (idn2_to_unicode_8z8z(asciiForm.get(), &out, 0) != IDN2_OK) return false;
    const std::unique_ptr<char, Idn2Deleter> unicodeForm(out);
    ascii = asciiForm.get();
    unicode = unicodeForm.get();
    return true;
}

// host[:port] of an http(s) authority into the link; false when a browser would not take it.
bool readHostAndPort(std::string_view hostPort, UrlText& url) {
    std::string_view host = hostPort, port;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return false;
        host = hostPort.substr(0, close + 1);
        port = hostPort.substr(close + 1);
        const std::string_view address = host.substr(1, host.size() - 2);
        if (address.find(':') == std::string_view::npos) return false;  // IPv6 addresses only
        for (const char c : address)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
        url.host = url.hostUnicode = lower(host);
    } else {
        const size_t colon = hostPort.find(':');
        host = hostPort.substr(0, colon);
        port = colon == std::string_view::npos ? std::string_view() : hostPort.substr(colon);
        if (!domainForms(percentDecoded(host), url.host, url.hostUnicode)) return false;
    }
    if (!port.empty()) {
        if (port.front() != ':') return false;
        for (const char c : port.substr(1))
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return !url.host.empty();
}

// http and https: //[userinfo@]host[:port] then the path.
bool readWebAddress(std::string_view rest, UrlText& url) {
    if (rest.substr(0, 2) != "//") return false;
    rest.remove_prefix(2);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    // Browsers end the host at a backslash; other parsers do not: such a link is not shown as one.
    if (authority.find('\\') != std::string_view::npos) return false;
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) url.userInfo = percentDecoded(authority.substr(0, at));
    return readHostAndPort(at == std::string_view::npos ? authority : authority.substr(at + 1), url);
}

// mailto: recipients before any ?headers; one recipient's domain is the host.
bool readMailAddress(std::string_view rest, UrlText& url) {
    url.target = percentDecoded(rest.substr(0, rest.find('?')));
    if (url.target.empty()) return false;
    const size_t at = url.target.rfind('@');
    if (url.target.find(',') != std::string::npos || at == std::string::npos) return true;
    return domainForms(url.target.substr(at + 1), url.host, url.hostUnicode);
}

bool readPhoneNumber(std::string_view rest, UrlText& url) {
    url.target = percentDecoded(rest);
    bool digit = false;
    for (const char c : url.target) {
        digit = digit || std::isdigit(static_cast<unsigned char>(c));
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::string_view("+-.()*#;=,").find(c) == std::string_view::npos)
            return false;
    }
    return digit;
}

// geo:latitude,longitude[,altitude][;parameters]
bool readGeoPosition(std::string_view rest, UrlText& url) {
    url.target = std::string(rest.substr(0, rest.find_first_of(";?")));
    int numbers = 0;
    for (size_t start = 0; start <= url.target.size(); ++numbers) {
        const size_t comma = std::min(url.target.find(',', start), url.target.size());
        const std::string number = url.target.substr(start, comma - start);
        char* end = nullptr;
        std::strtod(number.c_str(), &end);
        if (number.empty() || end != number.c_str() + number.size()) return false;
        start = comma + 1;
    }
    return numbers == 2 || numbers == 3;
}

// True for a scheme as RFC 3986 writes it: a letter, then letters, digits, + - or .
bool isScheme(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text.front()))) return false;
    for (const unsigned char c : text)
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    return true;
}

}  // namespace

std::string linkSymbolText(std::string_view link) {
    return std::string(trimmed(link));
}

LinkProblem linkProblem(std::string_view link) {
    link = trimmed(link);
    if (link.empty()) return LinkProblem::Empty;
    if (!isOneToken(link)) return LinkProblem::Space;
    const size_t colon = link.find(':');
    // "example.com:8080/x" has a colon too, but what stands before it is a host, not a scheme.
    if (colon == std::string_view::npos || !isScheme(link.substr(0, colon)) ||
        link.substr(0, colon).find('.') != std::string_view::npos)
        return LinkProblem::NoScheme;
    const std::string scheme = lower(link.substr(0, colon));
    if (scheme != "http" && scheme != "https") return LinkProblem::NotWeb;
    std::string_view rest = link.substr(colon + 1);
    if (rest.substr(0, 2) != "//") return LinkProblem::NoHost;
    rest.remove_prefix(2);
    std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (host.empty() || host.front() == ':') return LinkProblem::NoHost;
    return readUrlText(link) ? LinkProblem::None : LinkProblem::BadHost;
}

std::optional<UrlText> readUrlText(std::string_view text) {
    text = trimmed(text);
    if (!isOneToken(text)) return std::nullopt;
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    UrlText url;
    url.address = std::string(text);
    url.scheme = lower(text.substr(0, colon));
    const std::string_view rest = text.substr(colon + 1);
    bool read = false;
    if (url.scheme == "http" || url.scheme == "https") {
        read = readWebAddress(rest, url);
    } else if (url.scheme == "mailto") {
        read = readMailAddress(rest, url);
    } else if (url.scheme == "tel") {
        read = readPhoneNumber(rest, url);
    } else if (url.scheme == "geo") {
        read = readGeoPosition(rest, url);
    }
    if (!read) return std::nullopt;
    return url;
}

}  // namespace velmora
