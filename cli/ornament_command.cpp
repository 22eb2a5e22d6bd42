// velmora-cli ornament: the ornament window's composer from the command line. The text is
// encoded as encode does, its modules redrawn as shaped dots and merged with a picture, and the
// result written in the format its file name asks for.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "cli/cli_command.h"
#include "cli/encode_options.h"
#include "engine/image/picture_loading.h"
#include "ornament/ornament_check.h"
#include "ornament/ornament_composer.h"
#include "ornament/ornament_file.h"

namespace velmora::cli {
namespace {

constexpr const char* kOrnamentUsage =
    "Usage: velmora-cli ornament [OPTIONS] -o FILE TEXT|-\n"
    "\n"
    "Encodes TEXT as encode does, redraws every module as a dot of the chosen shape and merges\n"
    "the symbol with a picture. The three finder corners, and unless --no-align-protect the\n"
    "alignment patterns, stay solid squares so that the symbol still scans.\n"
    "\n"
    "Options of encode: --level, --version, --auto-extend, --mask, --charset (see encode --help)\n"
    "  --dots square|round|diamond|small-square|small-dot\n"
    "                        the dot of every module (default small-square)\n"
    "  --scale 1..40         pixels per module (default 5)\n"
    "  --no-align-protect    draw the alignment patterns with dots like the rest\n"
    "  --picture FILE        a picture to merge: smaller than the symbol it goes inside it,\n"
    "                        larger it goes under it\n"
    "  --mix cover|mixture   cover lays the picture over the modules; mixture keeps the dots\n"
    "                        and re-lights the picture around them (default mixture)\n"
    "  --shape round|round-rect|none\n"
    "                        the outline of a picture inside the symbol (default round)\n"
    "  --border              a frame around a picture inside the symbol\n"
    "  --at X,Y              the left and top of the picture inside the symbol, or of the symbol\n"
    "                        on a larger picture (default: centred)\n"
    "  --no-check            write the ornament without reading it back first\n"
    "  -o, --output FILE     .png a PNG, .jpg or .jpeg a JPEG, anything else a 24-bit BMP (a\n"
    "                        name without extension gets .bmp)\n"
    "  -h, --help            show this help\n"
    "\n"
    "The light and dark modules take the picture's lightest and darkest grey, moved apart when\n"
    "the picture is too flat for them to read. The ornament is read back with Velmora's reader\n"
    "on a light margin of four modules before it is written; one that does not read is not\n"
    "written.\n"
    "\n"
    "Exit status: 0 success, 1 the text could not be encoded, the picture not loaded, the\n"
    "ornament not readable or the file not written, 2 a wrong command line.\n";

struct OrnamentOptions {
    OrnamentSettings settings;
    std::string picturePath;
    bool placed = false;
    PixelPoint at;
    bool check = true;
};

void reportProblem(const std::string& problem) {
    std::string line = std::string(kProgramName) + " ornament: " + problem;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

// The index of value in names, or -1.
int indexOf(std::string_view value, std::initializer_list<std::string_view> names) {
    int index = 0;
    for (std::string_view name : names) {
        if (name == value) return index;
        ++index;
    }
    return -1;
}

// A whole decimal number of at most five digits, or -1.
int numberOf(std::string_view text) {
    if (text.empty() || text.size() > 5) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Applies one ornament option with its value; an error line, or empty.
std::string applyValue(OrnamentOptions& options, std::string_view name, std::string_view value) {
    const auto bad = [&](std::string_view expected) {
        return "invalid value '" + std::string(value) + "' for " + std::string(name) + " (expected " +
               std::string(expected) + ")";
    };
    if (name == "--dots") {
        const int dot = indexOf(value, {"square", "round", "diamond", "small-square", "small-dot"});
        if (dot < 0) return bad("square, round, diamond, small-square or small-dot");
        options.settings.style.dataDotType = dot;
    } else if (name == "--scale") {
        const int scale = numberOf(value);
        if (scale < 1 || scale > 40) return bad("1 to 40");
        options.settings.style.scale = scale;
    } else if (name == "--mix") {
        const int mix = indexOf(value, {"cover", "mixture"});
        if (mix < 0) return bad("cover or mixture");
        options.settings.mixType = mix;
    } else if (name == "--shape") {
        const int shape = indexOf(value, {"round", "round-rect", "none"});
        if (shape < 0) return bad("round, round-rect or none");
        options.settings.framing.shape = shape;
    } else if (name == "--at") {
        const size_t comma = value.find(',');
        const int x = comma == std::string_view::npos ? -1 : numberOf(value.substr(0, comma));
        const int y = comma == std::string_view::npos ? -1 : numberOf(value.substr(comma + 1));
        if (x < 0 || y < 0) return bad("X,Y in pixels, such as 20,30");
        options.at = {x, y};
        options.placed = true;
    } else {  // --picture
        if (value.empty()) return "the picture file name for --picture is empty";
        options.picturePath = std::string(value);
    }
    return {};
}

// Takes the ornament's own options out of the arguments and leaves the rest for the encode
// options. Returns an error line, or empty.
std::string takeOrnamentOptions(std::vector<std::string>& arguments, OrnamentOptions& options) {
    std::vector<std::string> rest;
    bool ended = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (ended || argument.size() < 2 || argument[0] != '-') {
            rest.push_back(argument);
            continue;
        }
        if (argument == "--") ended = true;
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name == "--no-check") {
            if (equals != std::string::npos) return name + " takes no value";
            options.check = false;
            continue;
        }
        if (name == "--no-align-protect" || name == "--border") {
            if (equals != std::string::npos) return name + " takes no value";
            (name == "--border" ? options.settings.framing.border : options.settings.style.alignProtected) =
                name == "--border";
            continue;
        }
        if (name == "--size") return "--size sets the module size of encode's pictures; use --scale";
        if (indexOf(name, {"--dots", "--scale", "--mix", "--shape", "--at", "--picture"}) < 0) {
            rest.push_back(argument);
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return name + " needs a value";
        }
        const std::string error = applyValue(options, name, value);
        if (!error.empty()) return error;
    }
    arguments = std::move(rest);
    return {};
}

// Loads the picture to merge in colour and in grey; false after reporting why not.
bool loadPicture(const std::string& path, cv::Mat& colour, cv::Mat& grey) {
    std::string reason;
    if (loadPictureFile(path, colour, kLoadColour, &reason) != 1 || loadPictureFile(path, grey, kLoadGrey, &reason) != 1) {
        reportProblem("cannot load the picture " + path + ": " + reason);
        return false;
    }
    return true;
}

}  // namespace

int runOrnamentCommand(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    OrnamentOptions ornament;
    std::string error = takeOrnamentOptions(arguments, ornament);
    const ParsedEncodeOptions parsed = error.empty() ? parseEncodeOptions(arguments) : ParsedEncodeOptions{};
    if (error.empty()) error = parsed.error;
    if (!error.empty()) {
        reportProblem(error + " (see velmora-cli ornament --help)");
        return kExitUsage;
    }
    const EncodeOptions& options = parsed.options;
    if (options.help) {
        std::fputs(kOrnamentUsage, stdout);
        return kExitSuccess;
    }
    if (options.outputPath.empty()) {
        reportProblem("no output file given: use -o FILE (see velmora-cli ornament --help)");
        return kExitUsage;
    }

    OrnamentComposer composer;
    if (!ornament.picturePath.empty()) {
        cv::Mat colour, grey;
        if (!loadPicture(ornament.picturePath, colour, grey)) return kExitFailure;
        if (!composer.setPicture(colour, grey)) {
            reportProblem("the picture " + ornament.picturePath + " cannot be merged");
            return kExitFailure;
        }
    }
    int version = 0, mask = -1;
    if (!encodeOptionsText(options, "ornament", version, mask)) return kExitFailure;
    C_QrEncodedData symbol = g_QrEncodedData;
    if (composer.Compose(symbol, ornament.settings) != 1) {
        reportProblem("the ornament could not be composed");
        return kExitFailure;
    }
    if (ornament.placed) {
        const PixelPoint range = composer.movableRange();
        if (!composer.hasPicture() || ornament.at.x > range.x || ornament.at.y > range.y) {
            reportProblem(composer.hasPicture()
                              ? "--at " + std::to_string(ornament.at.x) + "," + std::to_string(ornament.at.y) +
                                    " lies outside 0..." + std::to_string(range.x) + ",0..." + std::to_string(range.y)
                              : "--at places a picture; give one with --picture");
            return kExitUsage;
        }
        composer.moveTo(ornament.at.x, ornament.at.y);
        if (composer.Compose(symbol, ornament.settings) != 1) {
            reportProblem("the ornament could not be composed");
            return kExitFailure;
        }
    }
    if (composer.levelsHeldApart()) {
        reportProblem("note: the picture " + ornament.picturePath +
                      " has too little contrast; the symbol's light and dark greys were moved apart");
    }
    const std::string path = withDefaultExtension(options.outputPath);
    if (ornament.check && !ornamentScans(composer, ornament.settings.style.scale)) {
        reportProblem("the ornament does not scan: Velmora's reader cannot read it back, so " + path +
                      " was not written; try another mix, place or dot type, or --no-check to write it anyway");
        return kExitFailure;
    }
    if (!saveOrnamentPicture(composer.canvas(), path, error)) {
        reportProblem(error);
        return kExitFailure;
    }
    std::fprintf(stderr, "version %d, mask %d, level %c, %d x %d pixels, %s\n", version, mask, "LMQH"[options.level],
                 composer.canvas().cols, composer.canvas().rows, path.c_str());
    return kExitSuccess;
}

}  // namespace velmora::cli
