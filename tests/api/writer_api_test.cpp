// writeSymbol: what it writes reads back with the level, version and mask asked for, and what
// cannot be written gives nothing.
#include <gtest/gtest.h>

#include <string>

#include "tests/api/api_pictures.h"
#include "velmora/reader.h"
#include "velmora/writer.h"

namespace velmora {
namespace {

TEST(WriterWritesSymbols, ReadsBackAtEveryLevelWithTheVersionAndMaskAskedFor) {
    struct Case {
        std::string text;
        char level;
        int version;
        int mask;
    };
    const std::string kanji = "\x93\xfa\x96\x7b";  // 日本 in Shift JIS
    for (const Case& c : {Case{"01234567890123456789", 'L', 0, -1}, Case{"HELLO WORLD", 'M', 3, 5},
                          Case{"mixed: Text & 123", 'Q', 7, 0}, Case{kanji, 'H', 0, 7},
                          Case{std::string(300, 'x'), 'H', 0, -1}}) {
        WriteOptions options;
        options.level = c.level;
        options.version = c.version;
        options.mask = c.mask;
        const auto symbol = writeSymbol(c.text, options);
        ASSERT_TRUE(symbol.has_value()) << c.text;
        EXPECT_EQ(symbol->size, 17 + 4 * symbol->version);
        ASSERT_EQ(symbol->modules.size(), static_cast<std::size_t>(symbol->size * symbol->size));
        if (c.version != 0) {
            EXPECT_EQ(symbol->version, c.version);
        }
        if (c.mask >= 0) {
            EXPECT_EQ(symbol->mask, c.mask);
        }
        // The top-left finder's corner module is dark, the module inside its ring light.
        EXPECT_TRUE(symbol->dark(0, 0));
        EXPECT_FALSE(symbol->dark(1, 1));
        const cv::Mat picture = test::drawSymbol(*symbol, 4);
        ReadOptions read;
        read.timeLimitMs = 0;
        const auto symbols = readSymbols(ImageView(picture.data, picture.cols, picture.rows, PixelFormat::Grey8), read);
        ASSERT_EQ(symbols.size(), 1u) << c.text;
        EXPECT_EQ(std::string(symbols[0].bytes.begin(), symbols[0].bytes.end()), c.text);
        EXPECT_EQ(symbols[0].level, c.level);
        EXPECT_EQ(symbols[0].version, symbol->version);
        EXPECT_EQ(symbols[0].mask, symbol->mask);
    }
}

TEST(WriterWritesSymbols, GivesNothingForWhatCannotBeWritten) {
    WriteOptions tooSmall;
    tooSmall.version = 1;
    tooSmall.growVersion = false;
    WriteOptions badLevel;
    badLevel.level = 'X';
    WriteOptions badMask;
    badMask.mask = 8;
    WriteOptions badVersion;
    badVersion.version = 41;
    EXPECT_FALSE(writeSymbol("").has_value());
    EXPECT_FALSE(writeSymbol(std::string(100, 'a'), tooSmall).has_value());
    EXPECT_FALSE(writeSymbol("text", badLevel).has_value());
    EXPECT_FALSE(writeSymbol("text", badMask).has_value());
    EXPECT_FALSE(writeSymbol("text", badVersion).has_value());
    EXPECT_FALSE(writeSymbol(std::string(7090, '1')).has_value());
    // Grown instead when growing is allowed.
    WriteOptions grows = tooSmall;
    grows.growVersion = true;
    const auto grown = writeSymbol(std::string(100, 'a'), grows);
    ASSERT_TRUE(grown.has_value());
    EXPECT_GT(grown->version, 1);
}

}  // namespace
}  // namespace velmora
