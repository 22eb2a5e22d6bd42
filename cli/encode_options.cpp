#include "cli/encode_options.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

namespace velmora::cli {
namespace {

constexpr char kLevelLetters[] = "LMQH";

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The decimal number that the whole of text spells when it lies in [low, high]; nothing for
// signs, blanks, trailing characters or values out of range.
std::optional<int> numberIn(std::string_view text, int low, int high) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<int> levelFrom(std::string_view text) {
    if (text.size() != 1) return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    for (int level = 0; level < 4; ++level) {
        if (kLevelLetters[level] == letter) return level;
    }
    return std::nullopt;
}

// "auto" (any case) gives automatic, else a number in [low, high].
std::optional<int> autoOrNumber(std::string_view text, int automatic, int low, int high) {
    if (lowered(text) == "auto") return automatic;
    return numberIn(text, low, high);
}

// Applies one option with its value; returns an error line or an empty string.
std::string applyValue(EncodeOptions& options, std::string_view name, std::string_view value) {
    const auto bad = [&](std::string_view expected) {
        return "invalid value '" + std::string(value) + "' for " + std::string(name) + " (expected " +
               std::string(expected) + ")";
    };
    if (name == "--level") {
        const auto level = levelFrom(value);
        if (!level) return bad("L, M, Q or H");
        options.level = *level;
    } else if (name == "--version") {
        const auto version = autoOrNumber(value, 0, 1, 40);
        if (!version) return bad("auto or 1 to 40");
        options.version = *version;
    } else if (name == "--mask") {
        const auto mask = autoOrNumber(value, -1, 0, 7);
        if (!mask) return bad("auto or 0 to 7");
        options.mask = *mask;
    } else if (name == "--size") {
        const auto size = numberIn(value, 1, 20);
        if (!size) return bad("1 to 20");
        options.moduleSize = *size;
    } else if (name == "--charset") {
        if (!velmora::parseTextCharset(value, options.charset)) return bad("utf-8, gb2312 or shift_jis");
    } else {  // -o and --output
        if (value.empty()) return "the output file name for " + std::string(name) + " is empty";
        options.outputPath = std::string(value);
    }
    return {};
}

bool takesValue(std::string_view name) {
    return name == "--level" || name == "--version" || name == "--mask" || name == "--size" ||
           name == "--charset" || name == "-o" || name == "--output";
}

}  // namespace

ParsedEncodeOptions parseEncodeOptions(const std::vector<std::string>& arguments) {
    ParsedEncodeOptions parsed;
    EncodeOptions& options = parsed.options;
    std::vector<std::string> texts;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            texts.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name == "--auto-extend") {
            if (equals != std::string::npos) {
                parsed.error = "--auto-extend takes no value";
                return parsed;
            }
            options.autoExtend = true;
            continue;
        }
        if (!takesValue(name) || (name == "-o" && equals != std::string::npos)) {
            parsed.error = "unknown option '" + argument + "'";
            return parsed;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            parsed.error = name + " needs a value";
            return parsed;
        }
        parsed.error = applyValue(options, name, value);
        if (!parsed.error.empty()) return parsed;
    }
    if (options.help) return parsed;
    if (texts.empty()) {
        parsed.error = "no TEXT given (use - to read it from standard input)";
    } else if (texts.size() > 1) {
        parsed.error = "more than one TEXT given ('" + texts[1] + "'); quote a text that holds blanks";
    } else {
        options.text = texts[0];
    }
    return parsed;
}

}  // namespace velmora::cli
