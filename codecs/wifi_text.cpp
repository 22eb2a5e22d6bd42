// Wi-Fi network texts as phones write and read them: WIFI:T:WPA;S:name;P:password;H:true;;
#include "codecs/content_lines.h"
#include "codecs/text_kind.h"

namespace velmora {

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

}  // namespace velmora
