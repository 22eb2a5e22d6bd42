// velmora-cli without an output file draws the symbol with half blocks; and its usage texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"

using namespace velmora::test;

class EncodeDrawsInTerminal : public CliTest {};

TEST_F(EncodeDrawsInTerminal, HalfBlocksShowTheSymbolWithItsQuietZone) {
    // Glyph -> (upper module light, lower module light).
    const std::vector<std::pair<std::string, std::pair<bool, bool>>> glyphs = {
        {" ", {false, false}}, {"\u2580", {true, false}}, {"\u2584", {false, true}}, {"\u2588", {true, true}}};
    for (const std::vector<std::string>& call : std::vector<std::vector<std::string>>{
             {"encode", "terminal"}, {"encode", "--level", "L", "--mask", "5", "1234567890"},
             {"encode", "--version", "10", "--level", "q", "velmora"}}) {
        const CliRun result = run(call);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const ExpectedSymbol expected = expectedSymbol(call.back(), reportedSymbol(result.err));
        const int side = expected.size + 8;
        const std::vector<std::string> lines = linesOf(result.out);
        ASSERT_EQ(static_cast<int>(lines.size()), (side + 1) / 2) << call.back();
        for (int line = 0; line < static_cast<int>(lines.size()); ++line) {
            size_t at = 0;
            for (int column = 0; column < side; ++column) {
                auto glyph = glyphs.begin();
                while (glyph != glyphs.end() && lines[line].compare(at, glyph->first.size(), glyph->first) != 0) ++glyph;
                ASSERT_NE(glyph, glyphs.end()) << "line " << line << ": " << lines[line];
                at += glyph->first.size();
                const int row = 2 * line;
                // Below the last row of an odd side nothing is drawn.
                const bool lowerLight = row + 1 < side && expected.lightAt(row + 1, column);
                ASSERT_EQ(glyph->second, std::make_pair(expected.lightAt(row, column), lowerLight))
                    << call.back() << " at row " << row << ", column " << column;
            }
            EXPECT_EQ(at, lines[line].size()) << "line " << line << " is " << side << " glyphs wide";
        }
        EXPECT_TRUE(entries().empty());
    }
}

class CliShowsUsage : public CliTest {};

TEST_F(CliShowsUsage, HelpOnStandardOutputUsageErrorsOnStandardError) {
    const CliRun general = run({"--help"});
    EXPECT_EQ(general.exitCode, 0);
    EXPECT_NE(general.out.find("encode"), std::string::npos);
    const CliRun encode = run({"encode", "--help"});
    EXPECT_EQ(encode.exitCode, 0);
    EXPECT_TRUE(encode.err.empty());
    for (const char* topic : {"--level", "--version", "--auto-extend", "--mask", "--size", "--charset", "-o",
                              "one final LF", "dark modules as blanks", "Exit status"})
        EXPECT_NE(encode.out.find(topic), std::string::npos) << topic;

    const CliRun none = run({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_NE(none.err.find("Usage"), std::string::npos);
    const CliRun unknown = run({"paint", "text"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(linesOf(unknown.err), std::vector<std::string>{"velmora-cli: unknown command 'paint' (see velmora-cli --help)"});
}
