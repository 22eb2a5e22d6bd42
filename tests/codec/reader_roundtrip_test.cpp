// Every symbol our encoder writes must read back: all versions, levels, masks and modes, as
// sampled and as a mirror image.
#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/qr_encode.h"
#include "engine/codec/version_table.h"

using namespace velmora;

// Every allocation of this test program is counted, so a read can be shown to allocate nothing.
namespace {
long allocationCount = 0;
}

[[gnu::noinline]] void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Bytes = std::vector<uint8_t>;

enum class TextKind { Numeric, Alphanumeric, Byte, Kanji, Hanzi, Mixed, Count };

// A symbol written by our encoder, in its display order (byte [y * 177 + x], 1 light).
struct Symbol {
    int version = 0;
    int mask = -1;
    int size = 0;
    std::array<uint8_t, kMatrixStride * kMatrixStride> display{};
};

// Encodes text at exactly the given version, level and mask; false when it does not fit.
bool encodeAt(const Bytes& text, int level, int version, int mask, Symbol& symbol) {
    symbol.version = version;
    symbol.mask = mask;
    return processEncoder().EncodeSymbol(level, symbol.version, 0, symbol.mask, symbol.display.data(), symbol.size,
                                         reinterpret_cast<const char*>(text.data()),
                                         static_cast<int>(text.size())) == 1;
}

// Hands a symbol to the reader: column-major, 1 dark; transposed for a mirror image.
void presentToReader(const Symbol& symbol, bool transposed) {
    uint8_t* matrix = processDecoder().matrix();
    for (int y = 0; y < symbol.size; ++y) {
        for (int x = 0; x < symbol.size; ++x) {
            const uint8_t dark = 1 - symbol.display[y * kMatrixStride + x];
            if (transposed) {
                matrix[y * kMatrixStride + x] = dark;
            } else {
                matrix[x * kMatrixStride + y] = dark;
            }
        }
    }
}

Bytes readText() {
    const CQR_Decoder& reader = processDecoder();
    return Bytes(reader.text(), reader.text() + reader.textLength());
}

Bytes fromIconv(const std::string& utf8, const char* charset) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string in = utf8;
    Bytes out(in.size() * 2 + 8);
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size();
    const size_t converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (converted == static_cast<size_t>(-1)) return {};
    out.resize(out.size() - outLeft);
    return out;
}

// Characters of one kind, appended until length bytes are reached (pairs are kept whole).
class TextMaker {
public:
    explicit TextMaker(uint32_t seed) : random_(seed) {}

    Bytes make(TextKind kind, int length) {
        Bytes text;
        while (static_cast<int>(text.size()) < length) {
            const TextKind piece = kind == TextKind::Mixed ? static_cast<TextKind>(pick(5)) : kind;
            const int run = kind == TextKind::Mixed ? 1 + pick(12) : length;
            for (int i = 0; i < run && static_cast<int>(text.size()) < length; ++i) append(piece, text, kind);
        }
        if (static_cast<int>(text.size()) > length) text.resize(length);
        // A cut pair would leave a stray lead byte; drop it so the kind stays what it says.
        if ((kind == TextKind::Kanji || kind == TextKind::Hanzi) && text.size() % 2 == 1) text.pop_back();
        return text;
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

    void append(TextKind kind, Bytes& text, TextKind whole) {
        static const char kAlphanumeric[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
        static const char kByteOnly[] = "abcdefghijklmnopqrstuvwxyz!\"#&'(),;<=>?@[]^_`{|}~\n\t";
        switch (kind) {
        case TextKind::Numeric: text.push_back(static_cast<uint8_t>('0' + pick(10))); break;
        case TextKind::Alphanumeric: text.push_back(static_cast<uint8_t>(kAlphanumeric[pick(45)])); break;
        case TextKind::Byte:
            // Mixed text also gets arbitrary bytes, zero included.
            if (whole == TextKind::Mixed) {
                text.push_back(static_cast<uint8_t>(pick(256)));
            } else {
                text.push_back(static_cast<uint8_t>(kByteOnly[pick(sizeof(kByteOnly) - 1)]));
            }
            break;
        case TextKind::Kanji:
            // Shift JIS pairs from both lead byte ranges; trail bytes 0x40..0xFC without 0x7F.
            if (pick(4) == 0) {
                text.push_back(static_cast<uint8_t>(0xE0 + pick(11)));
                text.push_back(static_cast<uint8_t>(0x40 + pick(0x60)));  // stays clear of GB 2312
            } else {
                text.push_back(static_cast<uint8_t>(0x81 + pick(0x1F)));
                uint8_t trail = static_cast<uint8_t>(0x40 + pick(0xBD));
                if (trail == 0x7F) trail = 0x80;
                text.push_back(trail);
            }
            break;
        case TextKind::Hanzi:
            // GB 2312 symbol rows A1..A9 and hanzi rows B0..F7.
            if (pick(8) == 0) {
                text.push_back(static_cast<uint8_t>(0xA1 + pick(9)));
            } else {
                text.push_back(static_cast<uint8_t>(0xB0 + pick(0x48)));
            }
            text.push_back(static_cast<uint8_t>(0xA1 + pick(0x5E)));
            break;
        default: break;
        }
    }

    std::mt19937 random_;
};

// Rough number of bytes of a kind that fill the given number of data bits.
int bytesForBits(TextKind kind, int bits) {
    switch (kind) {
    case TextKind::Numeric: return bits * 3 / 10;
    case TextKind::Alphanumeric: return bits * 2 / 11;
    case TextKind::Byte: return bits / 8;
    case TextKind::Kanji:
    case TextKind::Hanzi: return bits * 2 / 13;
    default: return bits / 10;
    }
}

// A text of the kind that fills about fill percent of the symbol and fits it.
Bytes textFor(TextKind kind, int level, int version, int mask, int fill, TextMaker& maker, Symbol& symbol) {
    const int bits = 8 * VersionTable[version].dataCodewords[level] * fill / 100;
    int length = std::max(2, bytesForBits(kind, bits));
    while (true) {
        Bytes text = maker.make(kind, length);
        if (encodeAt(text, level, version, mask, symbol)) return text;
        if (length <= 2) return {};
        length = length * 9 / 10;
    }
}

bool encoderUsedMode(SegmentMode mode) {
    for (int i = 0; i < processEncoder().segmentCount(); ++i) {
        if (processEncoder().segmentMode(i) == mode) return true;
    }
    return false;
}

class ReaderReadsOwnSymbols : public testing::TestWithParam<int> {};

TEST_P(ReaderReadsOwnSymbols, EveryLevelMaskAndMode) {
    const int version = GetParam();
    TextMaker maker(static_cast<uint32_t>(version) * 7919u);
    constexpr int kFills[3] = {100, 55, 20};
    Symbol symbol;
    for (int level = 0; level < 4; ++level) {
        for (int mask = 0; mask < 8; ++mask) {
            const int turn = version + level * 8 + mask;
            const auto kind = static_cast<TextKind>(turn % static_cast<int>(TextKind::Count));
            const Bytes text = textFor(kind, level, version, mask, kFills[turn % 3], maker, symbol);
            ASSERT_FALSE(text.empty()) << "level " << level << " mask " << mask;
            if (kind == TextKind::Kanji) {
                EXPECT_TRUE(encoderUsedMode(ModeKanji));
            }
            if (kind == TextKind::Hanzi) {
                EXPECT_TRUE(encoderUsedMode(ModeHanzi));
            }
            SCOPED_TRACE(testing::Message() << "level " << level << " mask " << mask << " kind " << int(kind)
                                            << " length " << text.size());

            presentToReader(symbol, false);
            EXPECT_GE(processDecoder().ReadSymbol(symbol.size, version), 0);
            EXPECT_EQ(readText(), text);
            EXPECT_EQ(processDecoder().level(), level);
            EXPECT_EQ(processDecoder().mask(), mask);
            EXPECT_EQ(processDecoder().version(), version);
            EXPECT_EQ(processDecoder().mirrored(), 0);
            EXPECT_EQ(processDecoder().correctedCodewords(), 0);
            EXPECT_EQ(processDecoder().text()[processDecoder().textLength()], 0);

            presentToReader(symbol, true);
            EXPECT_GE(processDecoder().ReadSymbol(symbol.size, version), 0);
            EXPECT_EQ(readText(), text);
            EXPECT_EQ(processDecoder().level(), level);
            EXPECT_EQ(processDecoder().mask(), mask);
            EXPECT_EQ(processDecoder().mirrored(), 1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllVersions, ReaderReadsOwnSymbols, testing::Range(kMinVersion, kMaxVersion + 1));

// Reads a symbol of exactly this text at this version, level and mask; returns the read's code.
int roundTrip(const Bytes& text, int level, int version, int mask = 3, bool transposed = false) {
    Symbol symbol;
    if (!encodeAt(text, level, version, mask, symbol)) return -100;
    presentToReader(symbol, transposed);
    return processDecoder().ReadSymbol(symbol.size, version);
}

TEST(ReaderReadsOwnSymbols, LargestText) {
    const Bytes digits = TextMaker(5).make(TextKind::Numeric, kTextLimit);
    ASSERT_EQ(roundTrip(digits, LevelL, 40), 1);
    EXPECT_EQ(processDecoder().textLength(), 7089);
    EXPECT_EQ(readText(), digits);
    Bytes tooMany = digits;
    tooMany.push_back('7');
    EXPECT_EQ(roundTrip(tooMany, LevelL, 40), -100);  // the encoder cannot write it at all
}

TEST(ReaderReadsOwnSymbols, StreamFillingEveryDataBit) {
    // 34 digits at 1-M take 4 + 10 + 114 = 128 bits: all 16 data codewords, no terminator.
    const Bytes digits = TextMaker(6).make(TextKind::Numeric, 34);
    ASSERT_EQ(roundTrip(digits, LevelM, 1), 1);
    EXPECT_EQ(processEncoder().bitCount(), 128);
    EXPECT_EQ(readText(), digits);
}

TEST(ReaderReadsOwnSymbols, RealKanjiAndHanziText) {
    const Bytes japanese = fromIconv("二次元コードの読み取りと日本語の文章、漢字とかな。", "SHIFT_JIS");
    const Bytes chinese = fromIconv("二维码识别：汉字模式把每个字压缩成十三位。", "GB2312");
    ASSERT_FALSE(japanese.empty());
    ASSERT_FALSE(chinese.empty());
    for (int level = 0; level < 4; ++level) {
        ASSERT_EQ(roundTrip(japanese, level, 5), 1);
        EXPECT_TRUE(encoderUsedMode(ModeKanji));
        EXPECT_EQ(readText(), japanese);
        ASSERT_EQ(roundTrip(chinese, level, 5, 6, true), 1);
        EXPECT_TRUE(encoderUsedMode(ModeHanzi));
        EXPECT_EQ(readText(), chinese);
        EXPECT_EQ(processDecoder().mirrored(), 1);
    }
}

TEST(ReaderReadsOwnSymbols, CountWidthsOfEachVersionClass) {
    // Segments long enough to need the wide count fields of the larger classes.
    TextMaker maker(11);
    for (const int version : {9, 10, 26, 27, 40}) {
        for (const TextKind kind : {TextKind::Numeric, TextKind::Alphanumeric, TextKind::Byte, TextKind::Kanji}) {
            Symbol symbol;
            const Bytes text = textFor(kind, LevelL, version, 0, 100, maker, symbol);
            presentToReader(symbol, false);
            ASSERT_EQ(processDecoder().ReadSymbol(symbol.size, version), 1) << version << " " << int(kind);
            EXPECT_EQ(readText(), text);
        }
    }
}

// Reads that succeed upright, succeed as a mirror image or fail leave the matrix as it was handed
// over and keep a copy of it.
TEST(ReaderReportsToCaller, SampledCopyKeepsTheModulesAsHandedOver) {
    const Bytes text = {'A', 'B', 'C', '1', '2', '3'};
    Symbol symbol;
    ASSERT_TRUE(encodeAt(text, LevelH, 3, 5, symbol));
    for (const bool transposed : {false, true}) {
        for (const int version : {3, 2}) {
            presentToReader(symbol, transposed);
            const int size = symbolSizeOf(version);
            const std::vector<uint8_t> before(processDecoder().matrix(),
                                              processDecoder().matrix() + kMatrixStride * kMatrixStride);
            const int result = processDecoder().ReadSymbol(size, version);
            EXPECT_EQ(result >= 0, version == 3) << "transposed " << transposed << " version " << version;
            const uint8_t* matrix = processDecoder().matrix();
            EXPECT_TRUE(std::equal(before.begin(), before.end(), matrix)) << "transposed " << transposed;
            for (int x = 0; x < size; ++x) {
                for (int y = 0; y < size; ++y) {
                    ASSERT_EQ(processDecoder().sampledCopy()[x * kMatrixStride + y], before[x * kMatrixStride + y]);
                }
            }
        }
    }
}

TEST(ReaderReportsToCaller, TextCapKeepsTheZeroByte) {
    const Bytes text = TextMaker(3).make(TextKind::Byte, 40);
    ASSERT_EQ(roundTrip(text, LevelM, 4), 1);
    processDecoder().capTextLength(100);
    EXPECT_EQ(processDecoder().textLength(), 40);
    processDecoder().capTextLength(25);
    EXPECT_EQ(processDecoder().textLength(), 25);
    EXPECT_EQ(processDecoder().text()[25], 0);
    EXPECT_EQ(readText(), Bytes(text.begin(), text.begin() + 25));
}

TEST(ReaderReportsToCaller, ReadsWithoutAllocating) {
    Symbol symbol;
    ASSERT_TRUE(encodeAt(TextMaker(8).make(TextKind::Mixed, 900), LevelQ, 30, 2, symbol));
    long readAllocations = 0;
    for (const bool transposed : {false, true}) {
        presentToReader(symbol, transposed);
        const long before = allocationCount;
        EXPECT_EQ(processDecoder().ReadSymbol(symbol.size, 30), 1);
        EXPECT_LT(processDecoder().ReadSymbol(symbol.size, 31), 0);  // a failing read as well
        readAllocations += allocationCount - before;
    }
    EXPECT_EQ(readAllocations, 0);
}

}  // namespace
