// The texts the New symbol forms write read back, through the same parsers as decoded texts, to
// the fields they were written from: seeded random values full of the characters each format
// escapes, non-ASCII letters, long values that fold and empty fields; and the checks that turn
// a form's fields away with a reason.
#include <gtest/gtest.h>

#include <ctime>
#include <random>

#include "codecs/text_builders.h"
#include "codecs/text_kind.h"

using velmora::LinkProblem;
using velmora::readTextKind;
using velmora::TextKind;
using velmora::WifiProblem;

namespace {

using Strings = std::vector<std::string>;

// Random field values: the escaped characters of both formats, line breaks, tabs, letters of
// one to four UTF-8 bytes, and lengths that cross the 75-byte fold.
class FieldValues {
public:
    explicit FieldValues(unsigned seed) : random_(seed) {}

    std::string value(size_t longest = 120, bool lineBreaks = true) {
        static const Strings pieces{"a", "Z", "7", " ", "\\", ";", ",", ":", "\"", "=", "\t", "\\n", "é",
                                    "网", "Ж", "😀", "ß", "-", "+", "@", "/", "'", "END:VCARD", "x"};
        std::string text;
        const size_t length = std::uniform_int_distribution<size_t>(0, longest)(random_);
        while (text.size() < length) {
            text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random_)];
            if (lineBreaks && chance(0.02)) text += '\n';
        }
        return text;
    }
    std::string nonEmpty(size_t longest = 120, bool lineBreaks = true) {
        std::string text;
        while (text.empty()) text = value(longest, lineBreaks);
        return text;
    }
    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
    int64_t between(int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random_); }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[std::uniform_int_distribution<size_t>(0, items.size() - 1)(random_)];
    }

private:
    std::mt19937 random_;
};

// The non-empty entries, as the builders write them.
Strings withoutEmpty(const Strings& entries) {
    Strings out;
    for (const std::string& entry : entries)
        if (!entry.empty()) out.push_back(entry);
    return out;
}

// yyyyMMddThhmmssZ by the C library, independent of the builder's own calendar arithmetic.
std::string libcStamp(int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

constexpr int kCases = 400;

}  // namespace

TEST(FormTextsReadBack, WifiNetworks) {
    FieldValues values(20261211);
    for (int i = 0; i < kCases; ++i) {
        velmora::WifiText network;
        network.ssid = values.nonEmpty(40);
        network.security = values.pick(Strings{"WPA", "WEP", "nopass"});
        network.password = network.security == "nopass" ? std::string() : values.value(70);
        network.hidden = values.chance(0.5);
        const std::string text = velmora::wifiSymbolText(network);
        const velmora::ReadText read = readTextKind(text);
        ASSERT_EQ(read.kind, TextKind::Wifi) << text;
        EXPECT_EQ(read.wifi.ssid, network.ssid) << text;
        EXPECT_EQ(read.wifi.security, network.security) << text;
        EXPECT_EQ(read.wifi.password, network.password) << text;
        EXPECT_EQ(read.wifi.hidden, network.hidden) << text;
        // And the network read back writes the same text again.
        EXPECT_EQ(velmora::wifiSymbolText(read.wifi), text);
    }
}

TEST(FormTextsReadBack, WifiEscapesEverySeparator) {
    velmora::WifiText network{R"(a\b;c,d:e"f)", "WPA", R"(;;\"::,)", true};
    const std::string text = velmora::wifiSymbolText(network);
    EXPECT_EQ(text, R"(WIFI:T:WPA;S:a\\b\;c\,d\:e\"f;P:\;\;\\\"\:\:\,;H:true;;)");
    // An open network writes no password, whatever the field held.
    EXPECT_EQ(velmora::wifiSymbolText({"Café", "", "ignored", false}), "WIFI:T:nopass;S:Café;;");
}

TEST(FormTextsReadBack, Contacts) {
    FieldValues values(4242);
    for (int i = 0; i < kCases; ++i) {
        velmora::ContactFields fields;
        fields.name = values.chance(0.1) ? std::string() : values.nonEmpty();
        fields.organization = values.chance(0.3) ? std::string() : values.value();
        for (int n = static_cast<int>(values.between(0, 3)); n > 0; --n) fields.numbers.push_back(values.value(25));
        for (int n = static_cast<int>(values.between(0, 3)); n > 0; --n) fields.emails.push_back(values.value(40));
        // Address parts come from one-line boxes; the reader shows them on one line.
        Strings parts;
        for (std::string* part : {&fields.address.street, &fields.address.city, &fields.address.region,
                                  &fields.address.postalCode, &fields.address.country}) {
            *part = values.chance(0.4) ? std::string() : values.value(50, false);
            if (!part->empty()) parts.push_back(*part);
        }
        const std::string text = velmora::vcardSymbolText(fields);
        const velmora::ReadText read = readTextKind(text);
        if (fields.name.empty() && withoutEmpty(fields.numbers).empty() && withoutEmpty(fields.emails).empty() &&
            parts.empty()) {
            // Nobody to save: the form asks for a name first.
            EXPECT_EQ(read.kind, TextKind::Text) << text;
            continue;
        }
        ASSERT_EQ(read.kind, TextKind::Contact) << text;
        EXPECT_EQ(read.contact.name, fields.name) << text;
        EXPECT_EQ(read.contact.organization, fields.organization) << text;
        EXPECT_EQ(read.contact.numbers, withoutEmpty(fields.numbers)) << text;
        EXPECT_EQ(read.contact.emails, withoutEmpty(fields.emails)) << text;
        if (parts.empty()) {
            EXPECT_TRUE(read.contact.addresses.empty()) << text;
        } else {
            std::string address = parts[0];
            for (size_t p = 1; p < parts.size(); ++p) address += ", " + parts[p];
            EXPECT_EQ(read.contact.addresses, Strings{address}) << text;
        }
        // The file the action row saves is the text itself.
        EXPECT_EQ(read.contact.vcard, text);
        for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            EXPECT_LE(end - start, 75u) << text;
    }
}

TEST(FormTextsReadBack, Events) {
    FieldValues values(777);
    // 1970 to 2199, and the first and last second of the years the form offers.
    const std::vector<int64_t> edges{0, 253402300799, 951782400 /* 2000-02-29 */, 4107542399};
    for (int i = 0; i < kCases; ++i) {
        velmora::EventFields fields;
        fields.summary = values.nonEmpty();
        fields.location = values.chance(0.3) ? std::string() : values.value();
        fields.start = i < static_cast<int>(edges.size()) ? edges[i] : values.between(0, 7258118399);
        fields.end = fields.start + values.between(0, 86400 * 40);
        fields.stamp = values.between(0, 4102444800);
        fields.uid = "uid-" + std::to_string(i) + "@velmora";
        const std::string text = velmora::calendarSymbolText(fields);
        const velmora::ReadText read = readTextKind(text);
        ASSERT_EQ(read.kind, TextKind::Event) << text;
        EXPECT_EQ(read.event.summary, fields.summary) << text;
        EXPECT_EQ(read.event.location, fields.location) << text;
        EXPECT_EQ(read.event.start, libcStamp(fields.start)) << fields.start;
        EXPECT_EQ(read.event.end, libcStamp(fields.end)) << fields.end;
        EXPECT_EQ(read.event.calendar, text);
        EXPECT_NE(text.find("\r\nDTSTAMP:" + libcStamp(fields.stamp) + "\r\n"), std::string::npos);
    }
}

TEST(FormTextsReadBack, UtcTimesOutsideTheUsualRange) {
    EXPECT_EQ(velmora::utcDateTimeText(-1), "19691231T235959Z");
    EXPECT_EQ(velmora::utcDateTimeText(-62167219200), "00000101T000000Z");
    EXPECT_EQ(velmora::utcDateTimeText(253402300799), "99991231T235959Z");
}

TEST(FormTextsReadBack, WebLinks) {
    FieldValues values(99);
    const Strings hosts{"example.com", "Example.ORG", "bücher.example", "xn--bcher-kva.example", "a.b.c.d",
                        "[2001:db8::1]", "127.0.0.1", "网络.中国", "host-1.example"};
    const Strings tails{"", "/", "/path/to?x=1&y=%20", "#frag", ":8080/", "/a;b,c:d", "/é?q=网"};
    for (int i = 0; i < kCases; ++i) {
        const std::string scheme = values.pick(Strings{"http", "https", "HTTPS"});
        const std::string user = values.chance(0.2) ? "user@" : "";
        const std::string link = scheme + "://" + user + values.pick(hosts) + values.pick(tails);
        const std::string typed = values.pick(Strings{"", " ", "\t"}) + link + values.pick(Strings{"", " ", "\n"});
        ASSERT_EQ(velmora::linkProblem(typed), LinkProblem::None) << typed;
        const std::string text = velmora::linkSymbolText(typed);
        EXPECT_EQ(text, link);
        const velmora::ReadText read = readTextKind(text);
        ASSERT_EQ(read.kind, TextKind::Url) << text;
        EXPECT_EQ(read.url.address, link);
        EXPECT_FALSE(read.url.host.empty());
        EXPECT_EQ(velmora::linkSymbolText(read.url.address), text);
    }
}

TEST(FormChecksTurnAway, LinksWithoutSchemeOrHost) {
    const struct {
        const char* link;
        LinkProblem problem;
    } cases[] = {
        {"", LinkProblem::Empty},
        {"  \t", LinkProblem::Empty},
        {"https://exa mple.com/", LinkProblem::Space},
        {"https://example.com/a\x01", LinkProblem::Space},
        {"example.com", LinkProblem::NoScheme},
        {"example.com:8080/x", LinkProblem::NoScheme},
        {"//example.com", LinkProblem::NoScheme},
        {"1http://example.com", LinkProblem::NoScheme},
        {"ftp://files.example/", LinkProblem::NotWeb},
        {"mailto:a@b.example", LinkProblem::NotWeb},
        {"javascript:alert(1)", LinkProblem::NotWeb},
        {"https://", LinkProblem::NoHost},
        {"http:example.com", LinkProblem::NoHost},
        {"https:///path", LinkProblem::NoHost},
        {"https://user@/x", LinkProblem::NoHost},
        {"https://:443/", LinkProblem::NoHost},
        {"https://exa<mple.com/", LinkProblem::BadHost},
        {"https://evil.example\\@good.example/", LinkProblem::BadHost},
        {"https://xn--a.example/", LinkProblem::BadHost},
        {"https://host:80a/", LinkProblem::BadHost},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(velmora::linkProblem(c.link), c.problem) << c.link;
        // What the form turns away is never taken for a web link when read.
        if (c.problem != LinkProblem::None) {
            const velmora::ReadText read = readTextKind(velmora::linkSymbolText(c.link));
            EXPECT_FALSE(read.kind == TextKind::Url && read.url.scheme.rfind("http", 0) == 0) << c.link;
        }
    }
}

TEST(FormChecksTurnAway, WifiNetworksPhonesCannotJoin) {
    const std::string hex64(64, 'a');
    const struct {
        velmora::WifiText network;
        WifiProblem problem;
    } cases[] = {
        {{"", "WPA", "password1", false}, WifiProblem::NoName},
        {{"Home", "nopass", "", false}, WifiProblem::None},
        {{"Home", "", "", true}, WifiProblem::None},
        {{"Home", "WPA", "", false}, WifiProblem::NoPassword},
        {{"Home", "WEP", "", false}, WifiProblem::NoPassword},
        {{"Home", "WPA", "1234567", false}, WifiProblem::WpaPasswordLength},
        {{"Home", "WPA", "12345678", false}, WifiProblem::None},
        {{"Home", "WPA", std::string(63, 'x'), false}, WifiProblem::None},
        {{"Home", "WPA", std::string(64, 'x'), false}, WifiProblem::WpaPasswordLength},
        {{"Home", "WPA", hex64, false}, WifiProblem::None},
        {{"Home", "WEP", "abcde", false}, WifiProblem::None},
        {{"Home", "WEP", "abcdefghijklm", false}, WifiProblem::None},
        {{"Home", "WEP", "0123456789", false}, WifiProblem::None},
        {{"Home", "WEP", "012345678g", false}, WifiProblem::WepKeyLength},
        {{"Home", "WEP", "abcdef", false}, WifiProblem::WepKeyLength},
        {{"Home", "WEP", std::string(26, 'F'), false}, WifiProblem::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(velmora::wifiProblem(c.network), c.problem) << c.network.ssid << " " << c.network.password;
}
