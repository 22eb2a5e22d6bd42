// velmora-cli encode refuses what it cannot do: one line on standard error, a non-zero exit,
// and never a file, whole or partial (the writers' own failures are covered with the writers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"

using namespace velmora::test;

namespace {

struct Refusal {
    std::vector<std::string> arguments;  // after "encode"; "OUT" stands for a file in the scratch directory
    std::string input;
    int exitCode;
    std::string mentions;
};

const std::string kTooLong(3000, 'a');  // more bytes than version 40 holds even at level L

const std::vector<Refusal> kRefusals = {
    // The text cannot be encoded.
    {{"-o", "OUT.png", ""}, "", 1, "empty"},
    {{"-o", "OUT.png", "-"}, "", 1, "empty"},
    {{"-o", "OUT.png", "-"}, "\n", 1, "empty"},
    {{"-o", "OUT.png", kTooLong}, "", 1, "fits no version at level H; a lower --level"},
    {{"--level", "L", "-o", "OUT.png", kTooLong}, "", 1, "fits no version at level L"},
    {{"--version", "1", "-o", "OUT.png", std::string(40, 'a')}, "", 1, "needs version 5 at level H; version 1 is too small"},
    {{"--version", "39", "--level", "L", "-o", "OUT.png", std::string(2900, 'a')}, "", 1, "needs version 40"},
    {{"--charset", "gb2312", "-o", "OUT.png", "price 5€"}, "", 1, "\"€\" (U+20AC, character 8) cannot be written in GB2312"},
    {{"--charset", "shift_jis", "-o", "OUT.png", "-"}, "ok\xFF", 1, "not valid UTF-8"},
    {{"-o", "OUT.png", "-"}, std::string(70000, 'a'), 1, "more than 65536 bytes"},
    {{"-o", "missing/OUT.png", "text"}, "", 1, "No such file or directory"},
    // The command line is wrong.
    {{"--colour", "red", "-o", "OUT.png", "text"}, "", 2, "unknown option '--colour'"},
    {{"--level", "X", "-o", "OUT.png", "text"}, "", 2, "invalid value 'X' for --level"},
    {{"--level", "-o", "OUT.png", "text"}, "", 2, "invalid value '-o' for --level"},
    {{"--version", "41", "-o", "OUT.png", "text"}, "", 2, "--version"},
    {{"--version", "0", "-o", "OUT.png", "text"}, "", 2, "--version"},
    {{"--version=3x", "-o", "OUT.png", "text"}, "", 2, "--version"},
    {{"--mask", "8", "-o", "OUT.png", "text"}, "", 2, "--mask"},
    {{"--mask", "-1", "-o", "OUT.png", "text"}, "", 2, "--mask"},
    {{"--size", "0", "-o", "OUT.png", "text"}, "", 2, "--size"},
    {{"--size", "21", "-o", "OUT.png", "text"}, "", 2, "--size"},
    {{"--charset", "latin1", "-o", "OUT.png", "text"}, "", 2, "--charset"},
    {{"--auto-extend=yes", "-o", "OUT.png", "text"}, "", 2, "--auto-extend takes no value"},
    {{"-o", "OUT.gif", "text"}, "", 2, "unknown picture type"},
    {{"-o", "OUT", "text"}, "", 2, "unknown picture type"},
    {{"-o", "OUT.png"}, "", 2, "no TEXT"},
    {{"-o", "OUT.png", "two", "texts"}, "", 2, "more than one TEXT"},
    {{"-o", "OUT.png", "text", "--size"}, "", 2, "--size needs a value"},
    {{"-o", "OUT.png", "text", "--weird\noption"}, "", 2, "unknown option"},
};

}  // namespace

class EncodeRefusesBadInput : public CliTest {
protected:
    std::vector<std::string> withPaths(const std::vector<std::string>& arguments) const {
        std::vector<std::string> result = {"encode"};
        for (const std::string& a : arguments)
            result.push_back(a.rfind("OUT", 0) == 0 || a.rfind("missing/", 0) == 0 ? path(a).string() : a);
        return result;
    }
};

TEST_F(EncodeRefusesBadInput, OneLineNonZeroExitAndNoFile) {
    for (const Refusal& refusal : kRefusals) {
        const CliRun result = run(withPaths(refusal.arguments), refusal.input);
        const std::string label = refusal.mentions;
        EXPECT_EQ(result.exitCode, refusal.exitCode) << label << "\n" << result.err;
        EXPECT_EQ(linesOf(result.err).size(), 1u) << label << "\n" << result.err;
        EXPECT_NE(result.err.find(refusal.mentions), std::string::npos) << result.err;
        EXPECT_EQ(result.err.rfind("velmora-cli encode: ", 0), 0u) << result.err;
        EXPECT_TRUE(result.out.empty()) << label;
        EXPECT_TRUE(entries().empty()) << label << ": left " << (entries().empty() ? "" : entries()[0]);
    }
}

TEST_F(EncodeRefusesBadInput, ExistingFileSurvivesAFailedEncode) {
    writeFile(path("keep.png"), "earlier picture");
    const CliRun result = run({"encode", "--version", "1", "-o", path("keep.png").string(), std::string(200, 'z')});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(readFile(path("keep.png")), "earlier picture");
    EXPECT_EQ(entries(), std::vector<std::string>{"keep.png"});
}
