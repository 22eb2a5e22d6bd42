// velmora-cli: the engine from the command line. Each command lives in its own file and is
// listed once in kCommands; this file only picks the command and prints the overall usage.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli/cli_command.h"

namespace {

using namespace velmora::cli;

struct Command {
    std::string_view name;
    std::string_view summary;
    CommandEntry run;
};

constexpr Command kCommands[] = {
    {"encode", "write a QR Code symbol for a text, as a picture file or in the terminal", runEncodeCommand},
    {"decode", "read the QR Code symbols of picture files", runDecodeCommand},
    {"ornament", "write a symbol of shaped dots merged with a picture", runOrnamentCommand},
};

// Prints the list of commands; the caller chooses the stream and the exit code.
void printUsage(FILE* stream) {
    std::fprintf(stream, "Usage: %s COMMAND [OPTIONS] ...\n\nCommands:\n", kProgramName.data());
    for (const Command& command : kCommands)
        std::fprintf(stream, "  %-8.*s %.*s\n", static_cast<int>(command.name.size()), command.name.data(),
                     static_cast<int>(command.summary.size()), command.summary.data());
    std::fprintf(stream, "\nRun '%s COMMAND --help' for the options of a command, '%s --version' for the version.\n",
                 kProgramName.data(), kProgramName.data());
}

}  // namespace

// Dispatches to the named command; no command or an unknown one is a usage error.
int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return kExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return kExitSuccess;
    }
    if (name == "--version") {
        std::printf("%s %s\n", kProgramName.data(), VELMORA_VERSION);
        return kExitSuccess;
    }
    for (const Command& command : kCommands) {
        if (command.name == name) return command.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "%s: unknown command '%s' (see %s --help)\n", kProgramName.data(), argv[1],
                 kProgramName.data());
    return kExitUsage;
}
