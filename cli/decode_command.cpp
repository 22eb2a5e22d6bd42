// velmora-cli decode: reads the symbols of picture files and prints the report that the main
// window's log box shows, JSON, or only the texts.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core/mat.hpp>
#include <opencv2/imgcodecs.hpp>

#include "cli/cli_command.h"
#include "codecs/text_encoding.h"
#include "engine/decode/decode_report.h"
#include "engine/decode/picture_loading.h"
#include "engine/decode/symbol_marks.h"
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
    "  --max 1..4      symbols to look for in each picture (default 4)\n"
    "  --no-utf8       keep the decoded bytes as they are instead of converting UTF-8 text\n"
    "  --json          one JSON object per file with every field of each symbol\n"
    "  --raw           only the decoded texts, one per line (as zbarimg --raw)\n"
    "  --mark OUT      save the picture with a cross on each finder pattern found as OUT\n"
    "                  (one FILE only; the extension chooses the format, e.g. .png)\n"
    "  -h, --help      show this help\n"
    "\n"
    "Texts that are not UTF-8 are shown through the locale's legacy charset (GB18030 for\n"
    "Chinese, Shift JIS for Japanese, ISO-8859-1 otherwise); --json gives them as hex bytes.\n"
    "Exit status: 0 every file gave a symbol, 1 some file gave none, 2 some file could not\n"
    "be loaded or the command line is wrong.\n";

enum class OutputStyle { Report, Json, Raw };

struct DecodeOptions {
    int wanted = 4;
    bool convertUtf8 = true;
    OutputStyle style = OutputStyle::Report;
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
        } else if (arg == "--json" || arg == "--raw") {
            const OutputStyle style = arg == "--json" ? OutputStyle::Json : OutputStyle::Raw;
            if (options.style != OutputStyle::Report && options.style != style) {
                reportProblem("--json and --raw cannot be combined");
                return false;
            }
            options.style = style;
        } else if (arg == "--max" || arg == "--mark") {
            if (i + 1 >= argc) {
                reportProblem(std::string(arg) + " needs a value");
                return false;
            }
            const std::string value = argv[++i];
            if (arg == "--mark") {
                options.markPath = value;
            } else if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') {
                options.wanted = value[0] - '0';
            } else {
                reportProblem("--max takes 1, 2, 3 or 4, not '" + value + "'");
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

std::string_view entryText(int k) {
    return {g_QrDecodedData.sParseStr[k], static_cast<size_t>(g_QrDecodedData.nParseStrLen[k])};
}

std::string jsonObject(const std::string& file, int count) {
    std::string out = "{\"file\":" + jsonString(file) + ",\"nParsedNums\":" + std::to_string(count) + ",\"symbols\":[";
    for (int k = 0; k < count; ++k) {
        const std::string_view text = entryText(k);
        const bool utf8 = isValidUtf8(text);
        const C_QrDecodedData& r = g_QrDecodedData;
        out += k ? "," : "";
        out += "{\"nInverseColor\":" + std::to_string(r.nInverseColor[k]) + ",\"nMirror\":" +
               std::to_string(r.nMirror[k]) + ",\"nVersion\":" + std::to_string(r.nVersion[k]) + ",\"nLevel\":" +
               std::to_string(r.nLevel[k]) + ",\"level\":\"" + levelLetter(r.nLevel[k]) + "\",\"nMaskingNo\":" +
               std::to_string(r.nMaskingNo[k]) + ",\"nParseStrLen\":" + std::to_string(r.nParseStrLen[k]) +
               ",\"sParseStr\":" + (utf8 ? jsonString(text) : jsonString(hexBytes(text))) +
               ",\"raw\":" + (utf8 ? "false" : "true") + ",\"dXY_FP\":" + jsonPoints(r.dXY_FP[k]) +
               ",\"dXY_4Corners\":" + jsonPoints(r.dXY_4Corners[k]) + "}";
    }
    return out + "]}";
}

// Decodes one file and prints its results; returns 0, 1 (nothing found) or 2 (not loaded).
int decodeOne(const std::string& file, const DecodeOptions& options, bool announce, const std::string& legacy) {
    cv::Mat colour;
    std::string reason;
    if (loadPictureFile(file, colour, kLoadColour, &reason) != 1) {
        std::fprintf(stderr, "%s: File Open Err: %s\n", file.c_str(), reason.c_str());
        if (options.style == OutputStyle::Json) {
            std::printf("{\"file\":%s,\"error\":%s}\n", jsonString(file).c_str(), jsonString(reason).c_str());
        }
        return 2;
    }
    const int count = QR_Decode_File(file.c_str(), options.wanted, options.convertUtf8 ? 1 : 0, nullptr);
    if (options.style == OutputStyle::Json) {
        std::printf("%s\n", jsonObject(file, count).c_str());
    } else {
        if (announce && options.style == OutputStyle::Report) std::printf("%s:\n", file.c_str());
        for (int k = 0; k < count; ++k) {
            const std::string shown = displayableText(entryText(k), legacy);
            if (options.style == OutputStyle::Raw) {
                std::printf("%s\n", shown.c_str());
            } else {
                std::fputs(formatSymbolReport(g_QrDecodedData, k, shown).c_str(), stdout);
            }
        }
    }
    if (count == 0) std::fprintf(stderr, "%s: Fail: no symbol found\n", file.c_str());
    if (!options.markPath.empty()) {
        markFoundSymbols(colour);
        bool written = false;
        try {
            written = cv::imwrite(options.markPath, colour);
        } catch (const cv::Exception&) {
            written = false;
        }
        if (!written) {
            reportProblem("cannot write the marked picture " + options.markPath);
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
    const std::string legacy = legacyCharsetForLocale();
    int worst = kExitSuccess;
    for (const std::string& file : options.files) {
        const int result = decodeOne(file, options, options.files.size() > 1, legacy);
        if (result > worst) worst = result;
    }
    return worst;
}

}  // namespace velmora::cli
