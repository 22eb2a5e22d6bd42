// Our symbols read by real readers: zbar and zxing-cpp decode what the encoder writes.
#define ZX_USE_UTF8 1

#include <gtest/gtest.h>
#include <iconv.h>
#include <zbar.h>

#include <ZXing/ReadBarcode.h>
#include <memory>
#include <string>
#include <vector>

#include "encoder_test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// The last symbol as an 8-bit grey picture with a four-module quiet zone.
struct Picture {
    int width = 0;
    std::vector<uint8_t> pixels;
};

Picture render(int scale) {
    const int s = g_QrEncodedData.iEncoded_WH;
    Picture p;
    p.width = (s + 8) * scale;
    p.pixels.assign(static_cast<size_t>(p.width) * p.width, 255);
    for (int y = 0; y < s; ++y) {
        for (int x = 0; x < s; ++x) {
            if (!dark(x, y)) continue;
            for (int dy = 0; dy < scale; ++dy) {
                uint8_t* row = &p.pixels[static_cast<size_t>((y + 4) * scale + dy) * p.width + (x + 4) * scale];
                std::fill(row, row + scale, uint8_t{0});
            }
        }
    }
    return p;
}

// Texts zbar found in the picture, as it reports them.
std::vector<std::string> zbarRead(const Picture& p) {
    std::unique_ptr<zbar::zbar_image_scanner_t, void (*)(zbar::zbar_image_scanner_t*)> scanner(
        zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, p.width, p.width);
    zbar::zbar_image_set_data(image, p.pixels.data(), p.pixels.size(), nullptr);
    zbar::zbar_scan_image(scanner.get(), image);
    std::vector<std::string> texts;
    for (const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(image); symbol != nullptr;
         symbol = zbar::zbar_symbol_next(symbol)) {
        texts.emplace_back(zbar::zbar_symbol_get_data(symbol), zbar::zbar_symbol_get_data_length(symbol));
    }
    zbar::zbar_image_destroy(image);
    return texts;
}

ZXing::Result zxingRead(const Picture& p) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setIsPure(true);
    return ZXing::ReadBarcode({p.pixels.data(), p.width, p.width, ZXing::ImageFormat::Lum}, hints);
}

std::string convert(const std::string& text, const char* to) {
    iconv_t cd = iconv_open(to, "UTF-8");
    std::string out(text.size() * 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    EXPECT_NE(done, static_cast<size_t>(-1)) << to;
    out.resize(out.size() - outLeft);
    return out;
}

// The longest text of one pure mode that fills the data capacity of a version and level.
std::string fillingText(SegmentMode mode, int version, int level) {
    const int capacity = 8 * VersionTable[version].dataCodewords[level];
    const int cls = versionClass(version);
    int length = 1;
    while (CQR_Encode::SegmentCost(mode, length + 1, cls) <= capacity) ++length;
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    static const char kLower[] = "velmora writes symbols, zbar reads them! ";
    std::string text;
    for (int i = 0; i < length; ++i) {
        const int k = i * 7 + version + level;
        if (mode == ModeNumeric) {
            text += static_cast<char>('0' + k % 10);
        } else if (mode == ModeAlphanumeric) {
            text += kLetters[k % (sizeof kLetters - 1)];
        } else {
            text += kLower[k % (sizeof kLower - 1)];
        }
    }
    return text;
}

}  // namespace

// Every version, level and mask (forced and automatic), filled to capacity in one of the three
// single-byte modes, read back by both peers.
TEST(PeersReadOurSymbols, EveryVersionLevelAndMask) {
    const SegmentMode modes[3] = {ModeByte, ModeNumeric, ModeAlphanumeric};
    for (int version = 1; version <= 40; ++version) {
        for (int level = 0; level < 4; ++level) {
            for (int mask = -1; mask < 8; ++mask) {
                const std::string text = fillingText(modes[(mask + 1 + version) % 3], version, level);
                Encoded e = encode(text, level, version, mask);
                ASSERT_EQ(e.result, 1) << version << "/" << level << "/" << mask;
                ASSERT_EQ(e.version, version);
                ASSERT_TRUE(mask < 0 || e.mask == mask);
                const Picture picture = render(3);
                const auto zbarTexts = zbarRead(picture);
                ASSERT_EQ(zbarTexts.size(), 1u) << "zbar, version " << version << " level " << level << " mask " << e.mask;
                EXPECT_EQ(zbarTexts[0], text) << "zbar, version " << version << " level " << level;
                const ZXing::Result result = zxingRead(picture);
                ASSERT_TRUE(result.isValid()) << "zxing, version " << version << " level " << level << " mask " << e.mask;
                EXPECT_EQ(result.text(), text) << "zxing, version " << version << " level " << level;
                EXPECT_EQ(result.ecLevel(), std::string(1, "LMQH"[level]));
            }
        }
    }
}

TEST(PeersReadOurSymbols, MixedSegments) {
    const std::string texts[] = {
        "https://example.org/velmora?id=0123456789012345&lang=EN",
        "ORDER 4711 / 2026-12-09: 12 x WIDGET-42, total 1234567.89 EUR",
        "mixed 12345678901234567890 CASE and lower case 9876543210 $%*+-./:",
        "\x01\x02\x7F binary bytes \x1B end",
    };
    for (const std::string& text : texts) {
        for (int level = 0; level < 4; ++level) {
            Encoded e = encode(text, level);
            ASSERT_EQ(e.result, 1);
            const Picture picture = render(4);
            const auto zbarTexts = zbarRead(picture);
            ASSERT_EQ(zbarTexts.size(), 1u) << text;
            EXPECT_EQ(zbarTexts[0], text);
            const ZXing::Result result = zxingRead(picture);
            ASSERT_TRUE(result.isValid()) << text;
            EXPECT_EQ(std::string(result.bytes().begin(), result.bytes().end()), text);
        }
    }
}

TEST(PeersReadOurSymbols, KanjiAndHanziModes) {
    const std::string japanese = "日本語のテキストと漢字モード";
    const std::string chinese = "汉字模式的中文文本测试";
    for (int level = 0; level < 4; ++level) {
        const std::string sjis = convert(japanese, "SHIFT_JIS");
        Encoded kanji = encode(sjis, level);
        ASSERT_EQ(kanji.result, 1);
        EXPECT_EQ(processEncoder().segmentMode(0), ModeKanji);
        ZXing::Result result = zxingRead(render(4));
        ASSERT_TRUE(result.isValid());
        EXPECT_EQ(result.text(), japanese);

        const std::string gb = convert(chinese, "GB2312");
        Encoded hanzi = encode(gb, level);
        ASSERT_EQ(hanzi.result, 1);
        EXPECT_EQ(processEncoder().segmentMode(0), ModeHanzi);
        result = zxingRead(render(4));
        ASSERT_TRUE(result.isValid());
        EXPECT_EQ(result.text(), chinese);
        // Hanzi mode makes a smaller symbol than the UTF-8 bytes of the same text.
        EXPECT_LT(hanzi.version, encode(chinese, level).version);
    }
}

TEST(PeersReadOurSymbols, Utf8ChineseStaysUtf8) {
    const std::string texts[] = {"中文测试", "你好世界，二维码", "日本語のテキスト"};
    for (const std::string& text : texts) {
        Encoded e = encode(text, LevelM);
        ASSERT_EQ(e.result, 1);
        EXPECT_EQ(processEncoder().segmentMode(0), ModeByte);
        const Picture picture = render(4);
        const auto zbarTexts = zbarRead(picture);
        ASSERT_EQ(zbarTexts.size(), 1u);
        EXPECT_EQ(zbarTexts[0], text);
        const ZXing::Result result = zxingRead(picture);
        ASSERT_TRUE(result.isValid());
        EXPECT_EQ(result.text(), text);
    }
}
