// velmora-cli decode: reads the symbols of picture files and prints the report that the main
// window's log box shows, JSON, or only the texts.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "cli/cli_command.h"
#include "codecs/decoded_text.h"
#include "codecs/picture_codecs.h"
#include "codecs/text_encoding.h"
#include "codecs/text_kind.h"
#include "engine/decode/decode_driver.h"
#include "engine/decode/decode_report.h"
#include "engine/decode/decoded_symbols.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/symbol_marks.h"
#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"

namespace velmora::cli {
namespace {

constexpr const char* kDecodeUsage =
    "Usage: velmora-cli decode [OPTIONS] FILE...\n"
    "\n"
    "Reads the QR Code symbols of each picture file (BMP, GIF, JPEG, PNG, ICO, CUR, TIFF, TGA,\n"
    "PCX, WBMP, WMF, JPEG 2000, PGX, PNM, Sun raster, SKA) and prints what it found.\n"
    "\n"
    "Options:\n"
    "  --max 1..256    symbols to look for in each picture (default 4)\n"
    "  --time-limit MS stop reading a picture after MS milliseconds (default 4000; 0: no\n"
    "                  limit, so that what is read does not depend on the machine's load)\n"
    "  --no-utf8       keep the decoded bytes as they are instead of converting UTF-8 text\n"
    "  --json          one JSON object per file with every field of each symbol\n"
    "  --raw           only the decoded texts, one per line (as zbarimg --raw)\n"
    "  -0, --null      only the decoded texts, each followed by a NUL byte instead of a line\n"
    "                  break, for texts that hold line breaks (xargs -0, read -d '')\n"
    "  --mark OUT      save the picture with a cross on each finder pattern found as OUT\n"
    "                  (one FILE only; the extension chooses the format, e.g. .png)\n"
    "  -h, --help      show this help\n"
    "\n"
    "Texts are shown as the symbol means them: UTF-8 as it is; otherwise in the character set\n"
    "its ECI designator names, as Shift JIS for Kanji segments or GB 18030 for Hanzi segments;\n"
    "otherwise as the bytes fit Shift JIS or GB 2312 (the locale's language breaking a tie), or\n"
    "as ISO-8859-1. --json gives the charset used, and the raw bytes as hex when not UTF-8.\n"
    "--json also says what each text is, \"kind\": url (with the host a browser would contact),\n"
    "wifi, contact (MECARD or vCard), event (VEVENT) or text, and its \"fields\".\n"
    "Exit status: 0 every file gave a symbol, 1 some file gave none, 2 some file could not\n"
    "be loaded or the command line is wrong.\n";

enum class OutputStyle { Report, Json, Raw };

struct DecodeOptions {
    int wanted = 4;
    uint32_t timeLimit = kDefaultTimeBudget;
    bool convertUtf8 = true;
    OutputStyle style = OutputStyle::Report;
    bool nulSeparated = false;  // raw texts end in a NUL byte instead of a line break
    std::string markPath;
    std::vector<std::string> files;
};

void reportProblem(const std::string& problem) {
    std::fprintf(stderr, "%s decode: %s\n", kProgramName.data(), problem.c_str());
}

// Reads the command line; false after reporting a usage problem. help is set for --help.
bool parseOptions(int argc, char** argv, DecodeOptions& options, bool& help) {
    bool endOfOptions = false;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.emplace_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "-h" || arg == "--help") {
            help = true;
        } else if (arg == "--no-utf8") {
            options.convertUtf8 = false;
        } else if (arg == "--json" || arg == "--raw" || arg == "-0" || arg == "--null") {
            const OutputStyle style = arg == "--json" ? OutputStyle::Json : OutputStyle::Raw;
            if (arg == "-0" || arg == "--null") options.nulSeparated = true;
            if (options.style != OutputStyle::Report && options.style != style) {
                reportProblem("--json cannot be combined with --raw or -0");
                return false;
            }
            options.style = style;
        } else if (arg == "--max" || arg == "--mark" || arg == "--time-limit") {
            if (i + 1 >= argc) {
                reportProblem(std::string(arg) + " needs a value");
                return false;
            }
            const std::string value = argv[++i];
            if (arg == "--mark") {
                options.markPath = value;
            } else if (arg == "--time-limit") {
                if (value.empty() || value.size() > 7 || value.find_first_not_of("0123456789") != std::string::npos) {
                    reportProblem("--time-limit takes milliseconds from 0 to 9999999, not '" + value + "'");
                    return false;
                }
                options.timeLimit = static_cast<uint32_t>(std::stoul(value));
            } else if (!value.empty() && value.size() <= 3 && value.find_first_not_of("0123456789") == std::string::npos &&
                       std::stoi(value) >= 1 && std::stoi(value) <= kMostWantedSymbols) {
                options.wanted = std::stoi(value);
            } else {
                reportProblem("--max takes a count from 1 to 256, not '" + value + "'");
                return false;
            }
        } else {
            reportProblem("unknown option '" + std::string(arg) + "' (see velmora-cli decode --help)");
            return false;
        }
    }
    if (help) return true;
    if (options.files.empty()) {
        reportProblem("no picture file given (see velmora-cli decode --help)");
        return false;
    }
    if (!options.markPath.empty() && options.files.size() != 1) {
        reportProblem("--mark takes one picture file at a time");
        return false;
    }
    return true;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string hexBytes(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string jsonPoints(const float* points) {
    std::string out = "[";
    for (int p = 0; p < 4; ++p) {
        char pair[64];
        std::snprintf(pair, sizeof pair, "%s[%.3f,%.3f]", p ? "," : "", points[p], points[4 + p]);
        out += pair;
    }
    return out + "]";
}

std::string jsonStrings(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) {
        if (out.size() > 1) out += ',';
        out += jsonString(text);
    }
    return out + "]";
}

// ,"kind":...,"fields":{...}: what the text is and the fields a user acts on.
std::string jsonKind(const ReadText& read) {
    std::string fields;
    const auto field = [&fields](const char* name, const std::string& value) {
        fields += std::string(fields.empty() ? "" : ",") + "\"" + name + "\":" + value;
    };
    switch (read.kind) {
    case TextKind::Url:
        field("address", jsonString(read.url.address));
        field("scheme", jsonString(read.url.scheme));
        field("host", jsonString(read.url.host));
        field("hostUnicode", jsonString(read.url.hostUnicode));
        field("userInfo", jsonString(read.url.userInfo));
        field("target", jsonString(read.url.target));
        break;
    case TextKind::Wifi:
        field("ssid", jsonString(read.wifi.ssid));
        field("security", jsonString(read.wifi.security));
        field("password", jsonString(read.wifi.password));
        field("hidden", read.wifi.hidden ? "true" : "false");
        break;
    case TextKind::Contact:
        field("name", jsonString(read.contact.name));
        field("organization", jsonString(read.contact.organization));
        field("numbers", jsonStrings(read.contact.numbers));
        field("emails", jsonStrings(read.contact.emails));
        field("addresses", jsonStrings(read.contact.addresses));
        break;
    case TextKind::Event:
        field("summary", jsonString(read.event.summary));
        field("start", jsonString(read.event.start));
        field("end", jsonString(read.event.end));
        field("location", jsonString(read.event.location));
        break;
    case TextKind::Text:
        break;
    }
    return std::string(",\"kind\":\"") + textKindName(read.kind) + "\",\"fields\":{" + fields + "}";
}

std::string_view entryText(int k) {
    return {decodedEntry(k).sParseStr.data(), static_cast<size_t>(decodedEntry(k).nParseStrLen)};
}

// Entry k's text as the symbol means it.
ShownText shownText(int k, LocaleLanguage language) {
    return showDecodedText(entryText(k), decodedEntry(k).nModes, decodedEntry(k).nEci, language);
}

std::string jsonObject(const std::string& file, int count, LocaleLanguage language) {
    std::string out = "{\"file\":" + jsonString(file) + ",\"nParsedNums\":" + std::to_string(count) + ",\"symbols\":[";
    for (int k = 0; k < count; ++k) {
        const std::string_view text = entryText(k);
        const bool utf8 = isValidUtf8(text);
        const DecodedEntry& r = decodedEntry(k);
        const ShownText shown = shownText(k, language);
        out += k ? "," : "";
        out += "{\"nInverseColor\":" + std::to_string(r.nInverseColor) + ",\"nMirror\":" +
               std::to_string(r.nMirror) + ",\"nVersion\":" + std::to_string(r.nVersion) + ",\"nLevel\":" +
               std::to_string(r.nLevel) + ",\"level\":\"" + levelLetter(r.nLevel) + "\",\"nMaskingNo\":" +
               std::to_string(r.nMaskingNo) + ",\"nParseStrLen\":" + std::to_string(r.nParseStrLen) +
               ",\"sParseStr\":" + (utf8 ? jsonString(text) : jsonString(hexBytes(text))) +
               ",\"raw\":" + (utf8 ? "false" : "true") + ",\"nModes\":" + std::to_string(r.nModes) +
               ",\"nEci\":" + std::to_string(r.nEci) + ",\"charset\":" + jsonString(shown.charset) +
               ",\"text\":" + jsonString(shown.text) + jsonKind(readTextKind(shown.text)) + ",\"dXY_FP\":" + jsonPoints(r.dXY_FP.data()) +
               ",\"dXY_4Corners\":" + jsonPoints(r.dXY_4Corners.data()) + "}";
    }
    return out + "]}";
}

// Decodes one file and prints its results; returns 0, 1 (nothing found) or 2 (not loaded).
int decodeOne(const std::string& file, const DecodeOptions& options, bool announce, LocaleLanguage language) {
    cv::Mat colour;
    std::string reason;
    if (loadPictureFile(file, colour, kLoadColour, &reason) != 1) {
        std::fprintf(stderr, "%s: File Open Err: %s\n", file.c_str(), reason.c_str());
        if (options.style == OutputStyle::Json) {
            std::printf("{\"file\":%s,\"error\":%s}\n", jsonString(file).c_str(), jsonString(reason).c_str());
        }
        return 2;
    }
    const int count = std::max(decodePictureFile(file.c_str(), options.wanted, options.convertUtf8 ? 1 : 0), 0);
    if (options.style == OutputStyle::Json) {
        std::printf("%s\n", jsonObject(file, count, language).c_str());
    } else {
        if (announce && options.style == OutputStyle::Report) std::printf("%s:\n", file.c_str());
        for (int k = 0; k < count; ++k) {
            const std::string shown = shownText(k, language).text;
            if (options.style == OutputStyle::Raw) {
                std::fwrite(shown.data(), 1, shown.size(), stdout);
                std::fputc(options.nulSeparated ? '\0' : '\n', stdout);
            } else {
                std::fputs(formatSymbolReport(decodedEntry(k), k, shown).c_str(), stdout);
            }
        }
    }
    if (count == 0) std::fprintf(stderr, "%s: Fail: no symbol found\n", file.c_str());
    if (!options.markPath.empty()) {
        markFoundSymbols(colour);
        std::string why;
        if (!writePictureImage(options.markPath, colour, why)) {
            reportProblem("cannot write the marked picture " + options.markPath + " (" + why + ")");
            return 2;
        }
    }
    std::fflush(stdout);
    return count > 0 ? 0 : 1;
}

}  // namespace

int runDecodeCommand(int argc, char** argv) {
    DecodeOptions options;
    bool help = false;
    if (!parseOptions(argc, argv, options, help)) return kExitUsage;
    if (help) {
        std::fputs(kDecodeUsage, stdout);
        return kExitSuccess;
    }
    const LocaleLanguage language = localeLanguage();
    setTimeBudget(options.timeLimit);
    int worst = kExitSuccess;
    for (const std::string& file : options.files) {
        const int result = decodeOne(file, options, options.files.size() > 1, language);
        if (result > worst) worst = result;
    }
    return worst;
}

}  // namespace velmora::cli
