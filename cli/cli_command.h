// What every velmora-cli command shares: the exit codes and the shape of a command's entry.
#pragma once

#include <string_view>

namespace velmora::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the command line was understood but the work failed
inline constexpr int kExitUsage = 2;    // the command line itself is wrong

inline constexpr std::string_view kProgramName = "velmora-cli";

// A command runs with the arguments that follow its name and returns the process exit code.
using CommandEntry = int (*)(int argc, char** argv);

// velmora-cli encode: text in, symbol picture out.
int runEncodeCommand(int argc, char** argv);

// velmora-cli decode: picture files in, decoded symbols out.
int runDecodeCommand(int argc, char** argv);

// velmora-cli ornament: text in, a symbol of shaped dots merged with a picture out.
int runOrnamentCommand(int argc, char** argv);

}  // namespace velmora::cli
