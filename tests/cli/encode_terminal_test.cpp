// velmora-cli without an output file: the symbol drawn with half blocks on standard output; and
// the usage texts of the program and its command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"

using namespace velmora::test;

namespace {

// Module rows read back from half-block lines: light where a glyph draws light, dark where it
// leaves a blank. Fails the test on any other character.
std::vector<std::vector<bool>> modulesOf(const std::vector<std::string>& lines) {
    std::vector<std::vector<bool>> rows;
    for (const std::string& line : lines) {
        std::vector<bool> upper, lower;
        for (size_t i = 0; i < line.size();) {
            if (line[i] == ' ') {
                upper.push_back(false);
                lower.push_back(false);
                ++i;
                continue;
            }
            const std::string glyph = line.substr(i, 3);
            if (glyph == "\u2580") {
                upper.push_back(true);
                lower.push_back(false);
            } else if (glyph == "\u2584") {
                upper.push_back(false);
                lower.push_back(true);
            } else if (glyph == "\u2588") {
                upper.push_back(true);
                lower.push_back(true);
            } else {
                ADD_FAILURE() << "unexpected character in line: " << line;
                return rows;
            }
            i += 3;
        }
        rows.push_back(upper);
        rows.push_back(lower);
    }
    return rows;
}

}  // namespace

class EncodeDrawsInTerminal : public CliTest {};

TEST_F(EncodeDrawsInTerminal, HalfBlocksShowTheSymbolWithItsQuietZone) {
    const std::vector<std::vector<std::string>> calls = {
        {"terminal"}, {"--level", "L", "--mask", "5", "1234567890"}, {"--version", "10", "--level", "q", "velmora"}};
    for (const auto& call : calls) {
        std::vector<std::string> arguments = {"encode"};
        arguments.insert(arguments.end(), call.begin(), call.end());
        const CliRun result = run(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const ReportedSymbol reported = reportedSymbol(result.err);
        const ExpectedSymbol expected =
            expectedSymbol(call.back(), levelIndex(reported.level), reported.version, reported.mask);
        ASSERT_EQ(expected.size, reported.size);
        const int side = expected.size + 8;

        const std::vector<std::string> lines = linesOf(result.out);
        ASSERT_EQ(static_cast<int>(lines.size()), (side + 1) / 2) << call.back();
        const auto rows = modulesOf(lines);
        ASSERT_EQ(static_cast<int>(rows.size()), side + 1);  // the side is odd: one half row to spare
        for (int r = 0; r < side; ++r) {
            ASSERT_EQ(static_cast<int>(rows[r].size()), side) << "row " << r;
            for (int c = 0; c < side; ++c) {
                const int mr = r - 4, mc = c - 4;
                const bool inside = mr >= 0 && mc >= 0 && mr < expected.size && mc < expected.size;
                const bool light = !inside || expected.light[mr * expected.size + mc];
                ASSERT_EQ(rows[r][c], light) << call.back() << " at row " << r << ", column " << c;
            }
        }
        for (bool lit : rows[side]) EXPECT_FALSE(lit) << "nothing is drawn below the quiet zone";
        EXPECT_TRUE(entries().empty());
    }
}

class CliShowsUsage : public CliTest {};

TEST_F(CliShowsUsage, HelpGoesToStandardOutput) {
    const CliRun general = run({"--help"});
    EXPECT_EQ(general.exitCode, 0);
    EXPECT_NE(general.out.find("encode"), std::string::npos);
    EXPECT_TRUE(general.err.empty());

    const CliRun encode = run({"encode", "--help"});
    EXPECT_EQ(encode.exitCode, 0);
    EXPECT_TRUE(encode.err.empty());
    for (const char* topic : {"--level", "--version", "--auto-extend", "--mask", "--size", "--charset", "-o",
                              "one final LF", "dark modules as blanks", "Exit status"})
        EXPECT_NE(encode.out.find(topic), std::string::npos) << topic;
}

TEST_F(CliShowsUsage, MissingOrUnknownCommandIsAUsageError) {
    const CliRun none = run({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_NE(none.err.find("Usage"), std::string::npos);
    EXPECT_NE(none.err.find("encode"), std::string::npos);

    const CliRun unknown = run({"paint", "text"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(linesOf(unknown.err).size(), 1u) << unknown.err;
    EXPECT_NE(unknown.err.find("unknown command 'paint'"), std::string::npos);
}
