#include "codecs/text_kind.h"

namespace velmora {

const char* textKindName(TextKind kind) {
    switch (kind) {
    case TextKind::Url: return "url";
    case TextKind::Wifi: return "wifi";
    case TextKind::Contact: return "contact";
    case TextKind::Event: return "event";
    case TextKind::Text: break;
    }
    return "text";
}

ReadText readTextKind(std::string_view text) {
    ReadText read;
    read.text = std::string(text);
    if (auto wifi = readWifiText(text)) {
        read.kind = TextKind::Wifi;
        read.wifi = std::move(*wifi);
    } else if (auto contact = readContactText(text)) {
        read.kind = TextKind::Contact;
        read.contact = std::move(*contact);
    } else if (auto event = readEventText(text)) {
        read.kind = TextKind::Event;
        read.event = std::move(*event);
    } else if (auto url = readUrlText(text)) {
        read.kind = TextKind::Url;
        read.url = std::move(*url);
    }
    return read;
}

}  // namespace velmora
