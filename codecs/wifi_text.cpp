// Wi-Fi network texts as phones write and read them: WIFI:T:WPA;S:name;P:password;H:true;;
#include <cctype>

#include "codecs/content_lines.h"
#include "codecs/text_builders.h"
#include "codecs/text_kind.h"

namespace velmora {
namespace {

// No security written, or the word for it.
bool isOpenNetwork(std::string_view security) {
    return security.empty() || (startsWithNoCase(security, "NOPASS") && security.size() == 6);
}

bool isHexKey(std::string_view key) {
    for (const char c : key)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::optional<WifiText> readWifiText(std::string_view text) {
    if (text.size() < 5 || (text.substr(0, 5) != "WIFI:" && text.substr(0, 5) != "wifi:")) return std::nullopt;
    WifiText wifi;
    for (const EscapedField& field : escapedFields(text.substr(5))) {
        if (field.key == "S") {
            wifi.ssid = field.value;
        } else if (field.key == "T") {
            wifi.security = field.value;
        } else if (field.key == "P") {
            wifi.password = field.value;
        } else if (field.key == "H") {
            wifi.hidden = field.value == "true" || field.value == "TRUE" || field.value == "True";
        }
    }
    if (wifi.ssid.empty()) return std::nullopt;
    return wifi;
}

std::string wifiSymbolText(const WifiText& network) {
    const bool open = isOpenNetwork(network.security);
    std::string text = "WIFI:T:" + (open ? std::string("nopass") : escapeFieldValue(network.security));
    text += ";S:" + escapeFieldValue(network.ssid) + ";";
    if (!open) text += "P:" + escapeFieldValue(network.password) + ";";
    if (network.hidden) text += "H:true;";
    return text + ";";
}

WifiProblem wifiProblem(const WifiText& network) {
    if (network.ssid.empty()) return WifiProblem::NoName;
    if (isOpenNetwork(network.security)) return WifiProblem::None;
    const std::string& key = network.password;
    if (key.empty()) return WifiProblem::NoPassword;
    if (startsWithNoCase(network.security, "WPA")) {
        const bool passphrase = key.size() >= 8 && key.size() <= 63;
        return passphrase || (key.size() == 64 && isHexKey(key)) ? WifiProblem::None : WifiProblem::WpaPasswordLength;
    }
    if (startsWithNoCase(network.security, "WEP")) {
        const bool ascii = key.size() == 5 || key.size() == 13;
        const bool hex = (key.size() == 10 || key.size() == 26) && isHexKey(key);
        return ascii || hex ? WifiProblem::None : WifiProblem::WepKeyLength;
    }
    return WifiProblem::None;
}

}  // namespace velmora
