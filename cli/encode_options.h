// The command line of velmora-cli encode, read into plain values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "codecs/text_charset.h"

namespace velmora::cli {

using velmora::TextCharset;

struct EncodeOptions {
    int level = 3;              // 0 L, 1 M, 2 Q, 3 H, as the engine numbers them
    int version = 0;            // 0 automatic, else 1..40
    bool autoExtend = false;    // let a fixed version grow when the text does not fit it
    int mask = -1;              // -1 automatic, else 0..7
    int moduleSize = 4;         // pixels per module side in picture files
    TextCharset charset = TextCharset::Utf8;
    std::string outputPath;     // empty: draw the symbol in the terminal
    std::string text;           // the TEXT argument; "-" reads standard input
    bool help = false;
};

// The outcome of reading the arguments: the options, or one line naming the first problem.
struct ParsedEncodeOptions {
    EncodeOptions options;
    std::string error;
};

// Reads the arguments that follow "encode". Options may stand before or after TEXT; "--" ends
// the options, so a text that starts with '-' can follow it. Exactly one TEXT is required
// unless --help is asked for.
ParsedEncodeOptions parseEncodeOptions(const std::vector<std::string>& arguments);

// Puts the symbol of the options' text into the engine's encode record: TEXT "-" is read from
// standard input, the text converted to the charset, encoded with the options, and Shift JIS text
// that the encoder would store as Hanzi refused. Writes the version and mask used. On failure
// prints the problem after "velmora-cli COMMAND:" and returns false.
bool encodeOptionsText(const EncodeOptions& options, std::string_view command, int& version, int& mask);


}  // namespace velmora::cli
