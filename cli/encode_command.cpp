// velmora-cli encode: reads the options and the text, converts the text to the chosen charset,
// runs the engine's encoder and writes the symbol to a picture file or the terminal.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_command.h"
#include "cli/encode_options.h"
#include "cli/terminal_symbol.h"
#include "codecs/symbol_picture.h"
#include "codecs/text_encoding.h"
#include "engine/codec/qr_encode.h"
#include "engine/decode/decode_report.h"
#include "engine/velmora_engine.h"

namespace velmora::cli {
namespace {

// Far beyond what any symbol holds even after a shrinking charset conversion, and small enough
// that a runaway pipe cannot exhaust memory.
constexpr size_t kMaxInputBytes = 65536;

constexpr const char* kEncodeUsage =
    "Usage: velmora-cli encode [OPTIONS] TEXT|-\n"
    "\n"
    "Encodes TEXT as a QR Code symbol. With -o the symbol is saved as a picture with a\n"
    "four-module quiet zone; without it the symbol is drawn in the terminal.\n"
    "\n"
    "Options:\n"
    "  --level L|M|Q|H       error correction level (default H)\n"
    "  --version auto|1..40  symbol version (default auto: the smallest that holds the text)\n"
    "  --auto-extend         let a fixed --version grow when the text does not fit it\n"
    "  --mask auto|0..7      mask pattern (default auto: the one with the lowest penalty)\n"
    "  --size 1..20          module size in pixels of a picture file (default 4)\n"
    "  --charset utf-8|gb2312|shift_jis\n"
    "                        charset the symbol stores the text in (default utf-8). TEXT is\n"
    "                        taken as UTF-8; gb2312 and shift_jis convert it so that Chinese\n"
    "                        and Japanese characters use the compact Hanzi and Kanji modes.\n"
    "                        utf-8 stores the bytes exactly as given.\n"
    "  -o, --output FILE     save the symbol as FILE: .bmp (1-bit Windows bitmap), .png (8-bit\n"
    "                        grey) or .svg (one path per horizontal run of dark modules); the\n"
    "                        extension is matched without regard to case\n"
    "  -h, --help            show this help\n"
    "  --                    end of options: a TEXT that starts with '-' may follow\n"
    "\n"
    "TEXT '-' reads the text from standard input, byte for byte; when the input ends in a line\n"
    "break, one final LF (or CR LF) is dropped, so 'echo hello | velmora-cli encode -' encodes\n"
    "'hello'.\n"
    "\n"
    "In the terminal, light modules are drawn with block characters and dark modules as blanks\n"
    "(as qrencode -t UTF8 does), two module rows per line: on the usual light text on a dark\n"
    "background the symbol appears dark on light and a phone can read it from the screen.\n"
    "\n"
    "The version, mask and level used are printed on standard error.\n"
    "Exit status: 0 success, 1 the text could not be encoded or the file not written,\n"
    "2 a wrong command line (unknown option, bad value, missing TEXT, unknown file type).\n";

// Prints one line about a problem; control characters are shown as '?' so that the report
// stays on one line whatever the user typed.
void reportProblem(const std::string& problem, std::string_view command = "encode") {
    std::string line = std::string(kProgramName) + " " + std::string(command) + ": " + problem;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

// Reads all of standard input, failing when it is unreadable or longer than any symbol could hold.
bool readStandardInput(std::string& text, std::string& error) {
    text.clear();
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        text.append(buffer, got);
        if (text.size() > kMaxInputBytes) {
            error = "standard input holds more than " + std::to_string(kMaxInputBytes) +
                    " bytes, more than any symbol holds";
            return false;
        }
    }
    if (std::ferror(stdin)) {
        error = "cannot read standard input";
        return false;
    }
    return true;
}

// Drops the one line break that echo and most editors put after the last line.
void dropFinalLineBreak(std::string& text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
}

// The bytes the encoder gets: UTF-8 unchanged, or the text converted to the legacy charset.
bool bytesToEncode(const EncodeOptions& options, const std::string& text, std::string& bytes, std::string& error) {
    if (options.charset == TextCharset::Utf8) {
        bytes = text;
        return true;
    }
    TextConversion converted = fromUtf8(text, velmora::textCharsetInfo(options.charset).iconvName);
    if (!converted.ok) {
        error = converted.error;
        return false;
    }
    bytes = std::move(converted.text);
    return true;
}

// The 1-based position and the UTF-8 form of the character that starts at the given count of
// characters into the text.
std::string characterAt(const std::string& utf8, size_t characterIndex) {
    size_t count = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) continue;
        if (count++ == characterIndex) {
            size_t end = i + 1;
            while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
            return "character " + std::to_string(characterIndex + 1) + " (\"" + utf8.substr(i, end - i) + "\")";
        }
    }
    return "a character";
}

// The encoder tells GB2312 pairs from Shift_JIS pairs by their byte values alone, and GB2312
// wins where the two overlap. Shift_JIS text holding half-width katakana or Kanji from lead
// bytes 0xE0 to 0xEA can thus land in Hanzi mode, which every reader turns into different
// characters: refuse such a symbol rather than write it.
bool checkShiftJisSegments(const std::string& text, const std::string& bytes, std::string& error) {
    const CQR_Encode& encoder = processEncoder();
    int offset = 0;
    for (int s = 0; s < encoder.segmentCount(); ++s) {
        if (encoder.segmentMode(s) == ModeHanzi) {
            const TextConversion before = toUtf8(std::string_view(bytes).substr(0, offset), "SHIFT_JIS");
            size_t characters = 0;
            for (unsigned char c : before.text) characters += (c & 0xC0) != 0x80;
            error = (before.ok ? characterAt(text, characters) : std::string("a character")) +
                    " would be stored in Hanzi mode and read back as a different character; "
                    "Shift_JIS cannot carry this text faithfully, use --charset utf-8";
            return false;
        }
        offset += encoder.segmentLength(s);
    }
    return true;
}

// True when a byte-mode segment of the last encode holds bytes outside ASCII.
bool byteSegmentsHoldNonAscii(const std::string& bytes) {
    const CQR_Encode& encoder = processEncoder();
    int offset = 0;
    for (int s = 0; s < encoder.segmentCount(); ++s) {
        const int length = encoder.segmentLength(s);
        if (encoder.segmentMode(s) == ModeByte) {
            for (int k = offset; k < offset + length; ++k) {
                if (static_cast<unsigned char>(bytes[k]) >= 0x80) return true;
            }
        }
        offset += length;
    }
    return false;
}

// Runs the encoder; on failure finds out which of the encoder's refusals it was, by asking
// again for the smallest fitting version, and says so in one line.
bool encodeSymbol(const EncodeOptions& options, const std::string& bytes, int& version, int& mask,
                  std::string& error) {
    version = options.version;
    mask = options.mask;
    const int length = static_cast<int>(bytes.size());
    if (QR_Encode_Matrix(options.level, &version, options.autoExtend ? 1 : 0, &mask, bytes.data(), length,
                         nullptr) == 1)
        return true;
    const std::string level(1, levelLetter(options.level));
    if (options.version != 0 && !options.autoExtend) {
        int needed = 0;
        int anyMask = options.mask;
        if (QR_Encode_Matrix(options.level, &needed, 0, &anyMask, bytes.data(), length, nullptr) == 1) {
            error = "the text needs version " + std::to_string(needed) + " at level " + level + "; version " +
                    std::to_string(options.version) + " is too small (use --auto-extend or --version auto)";
            return false;
        }
    }
    error = "the text (" + std::to_string(bytes.size()) + " bytes) fits no version at level " + level;
    if (options.level > 0) error += "; a lower --level holds more";
    return false;
}

bool writeTerminalSymbol(int size, std::string& error) {
    const std::string drawing = renderTerminalSymbol(&g_QrEncodedData.byEncoded_Data[0][0], kMatrixStride, size);
    const bool written = std::fwrite(drawing.data(), 1, drawing.size(), stdout) == drawing.size();
    if (!written || std::fflush(stdout) != 0) {
        error = "cannot write to standard output";
        return false;
    }
    return true;
}

}  // namespace

bool encodeOptionsText(const EncodeOptions& options, std::string_view command, int& version, int& mask) {
    std::string text = options.text;
    std::string error;
    if (text == "-") {
        if (!readStandardInput(text, error)) {
            reportProblem(error, command);
            return false;
        }
        dropFinalLineBreak(text);
    }
    if (text.empty()) {
        reportProblem("the text is empty; there is nothing to encode", command);
        return false;
    }
    std::string bytes;
    if (!bytesToEncode(options, text, bytes, error)) {
        reportProblem(error, command);
        return false;
    }
    if (!encodeSymbol(options, bytes, version, mask, error)) {
        reportProblem(error, command);
        return false;
    }
    if (options.charset == TextCharset::ShiftJis && !checkShiftJisSegments(text, bytes, error)) {
        reportProblem(error, command);
        return false;
    }
    if (options.charset != TextCharset::Utf8 && byteSegmentsHoldNonAscii(bytes)) {
        std::fprintf(stderr,
                     "%s %.*s: warning: some %s characters are stored in byte mode, where readers have to "
                     "guess the charset\n",
                     kProgramName.data(), static_cast<int>(command.size()), command.data(),
                     velmora::textCharsetInfo(options.charset).iconvName);
    }
    return true;
}

// Exit 0 with the symbol written, 1 when the text cannot be encoded or the output not written,
// 2 for a wrong command line. Nothing is written to the output file unless the whole picture is.
int runEncodeCommand(int argc, char** argv) {
    const ParsedEncodeOptions parsed = parseEncodeOptions(std::vector<std::string>(argv, argv + argc));
    if (!parsed.error.empty()) {
        reportProblem(parsed.error + " (see velmora-cli encode --help)");
        return kExitUsage;
    }
    const EncodeOptions& options = parsed.options;
    if (options.help) {
        std::fputs(kEncodeUsage, stdout);
        return kExitSuccess;
    }
    if (!options.outputPath.empty() && symbolPictureFormatOf(options.outputPath) == SymbolPictureFormat::Unknown) {
        reportProblem("cannot write '" + options.outputPath + "': unknown picture type (use .bmp, .png or .svg)");
        return kExitUsage;
    }

    int version = 0;
    int mask = -1;
    if (!encodeOptionsText(options, "encode", version, mask)) return kExitFailure;

    std::string error;
    const int size = g_QrEncodedData.iEncoded_WH;
    const bool written =
        options.outputPath.empty()
            ? writeTerminalSymbol(size, error)
            : writeSymbolPicture(options.outputPath, &g_QrEncodedData.byEncoded_Data[0][0], kMatrixStride, size,
                                 options.moduleSize, error);
    if (!written) {
        reportProblem(error);
        return kExitFailure;
    }
    std::fprintf(stderr, "version %d, mask %d, level %c, %d x %d modules\n", version, mask,
                 levelLetter(options.level), size, size);
    return kExitSuccess;
}

}  // namespace velmora::cli
