// Symbols written by libqrencode read back to the bytes it was given: every version and level,
// in its numeric, alphanumeric, 8-bit and Kanji modes.
#include <gtest/gtest.h>

#include <qrencode.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"

using namespace velmora;

namespace {

using Bytes = std::vector<uint8_t>;

struct QrcodeDeleter {
    void operator()(QRcode* code) const { QRcode_free(code); }
};
struct QrinputDeleter {
    void operator()(QRinput* input) const { QRinput_free(input); }
};
using Qrcode = std::unique_ptr<QRcode, QrcodeDeleter>;
using Qrinput = std::unique_ptr<QRinput, QrinputDeleter>;

// Hands libqrencode's symbol (row-major, bit 0 set for dark) to the reader and reads it.
int readPeerSymbol(const QRcode& code, bool transposed) {
    uint8_t* matrix = processDecoder().matrix();
    for (int y = 0; y < code.width; ++y) {
        for (int x = 0; x < code.width; ++x) {
            const uint8_t dark = code.data[y * code.width + x] & 1;
            matrix[transposed ? y * kMatrixStride + x : x * kMatrixStride + y] = dark;
        }
    }
    return processDecoder().ReadSymbol(code.width, code.version);
}

Bytes readText() {
    return Bytes(processDecoder().text(), processDecoder().text() + processDecoder().textLength());
}

Qrcode encodeInMode(QRencodeMode mode, const Bytes& data, int version, QRecLevel level) {
    Qrinput input(QRinput_new2(version, level));
    if (!input || QRinput_append(input.get(), mode, static_cast<int>(data.size()), data.data()) != 0) return nullptr;
    return Qrcode(QRcode_encodeInput(input.get()));
}

enum class PeerText { Numeric, Alphanumeric, Bytes, Kanji, StringWithHint8, StringWithHintKanji, Count };

class PeerTextMaker {
public:
    explicit PeerTextMaker(uint32_t seed) : random_(seed) {}

    // About three quarters of what the version holds, so that libqrencode keeps the version.
    Bytes make(PeerText kind, int version, int level) {
        const int bits = 8 * VersionTable[version].dataCodewords[level] * 3 / 4 - 24;
        Bytes text;
        switch (kind) {
        case PeerText::Numeric:
            for (int i = 0; i < bits * 3 / 10; ++i) text.push_back('0' + pick(10));
            break;
        case PeerText::Alphanumeric: {
            static const char kSet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
            for (int i = 0; i < bits * 2 / 11; ++i) text.push_back(kSet[pick(45)]);
            break;
        }
        case PeerText::Bytes:
            for (int i = 0; i < bits / 8; ++i) text.push_back(static_cast<uint8_t>(pick(256)));
            break;
        case PeerText::Kanji:
            for (int i = 0; i < bits / 13; ++i) appendKanji(text);
            break;
        case PeerText::StringWithHint8: {
            static const char kWords[][8] = {"QR ", "code ", "0042 ", "Velmora", "-AB12-", "x", "!?"};
            while (static_cast<int>(text.size()) < bits / 9) {
                for (const char* c = kWords[pick(7)]; *c != 0; ++c) text.push_back(static_cast<uint8_t>(*c));
            }
            break;
        }
        case PeerText::StringWithHintKanji:
            while (static_cast<int>(text.size()) * 8 < bits * 6 / 10) {
                if (pick(3) == 0) {
                    text.push_back(static_cast<uint8_t>('a' + pick(26)));
                } else {
                    appendKanji(text);
                }
            }
            break;
        default: break;
        }
        return text;
    }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

    // A Shift JIS pair within libqrencode's Kanji range (0x8140..0x9FFC, 0xE040..0xEBBF).
    void appendKanji(Bytes& text) {
        if (pick(4) == 0) {
            text.push_back(static_cast<uint8_t>(0xE0 + pick(12)));
            text.push_back(static_cast<uint8_t>(0x40 + pick(0x80)));
        } else {
            text.push_back(static_cast<uint8_t>(0x81 + pick(0x1F)));
            uint8_t trail = static_cast<uint8_t>(0x40 + pick(0xBD));
            if (trail == 0x7F) trail = 0x80;
            text.push_back(trail);
        }
    }

    std::mt19937 random_;
};

Qrcode encodePeer(PeerText kind, const Bytes& text, int version, QRecLevel level) {
    const std::string string(text.begin(), text.end());
    switch (kind) {
    case PeerText::Numeric: return encodeInMode(QR_MODE_NUM, text, version, level);
    case PeerText::Alphanumeric: return encodeInMode(QR_MODE_AN, text, version, level);
    case PeerText::Bytes:
        return Qrcode(QRcode_encodeData(static_cast<int>(text.size()), text.data(), version, level));
    case PeerText::Kanji: return encodeInMode(QR_MODE_KANJI, text, version, level);
    case PeerText::StringWithHint8: return Qrcode(QRcode_encodeString(string.c_str(), version, level, QR_MODE_8, 1));
    case PeerText::StringWithHintKanji:
        return Qrcode(QRcode_encodeString(string.c_str(), version, level, QR_MODE_KANJI, 1));
    default: return nullptr;
    }
}

class ReaderReadsPeerSymbols : public testing::TestWithParam<int> {};

TEST_P(ReaderReadsPeerSymbols, EveryLevelAndMode) {
    const int version = GetParam();
    PeerTextMaker maker(static_cast<uint32_t>(version));
    for (int level = 0; level < 4; ++level) {
        for (int k = 0; k < static_cast<int>(PeerText::Count); ++k) {
            const auto kind = static_cast<PeerText>(k);
            const Bytes text = maker.make(kind, version, level);
            const Qrcode code = encodePeer(kind, text, version, static_cast<QRecLevel>(level));
            ASSERT_TRUE(code) << "libqrencode refused kind " << k;
            SCOPED_TRACE(testing::Message() << "level " << level << " kind " << k << " length " << text.size()
                                            << " peer version " << code->version);
            EXPECT_EQ(code->version, version);
            EXPECT_EQ(readPeerSymbol(*code, false), 1);
            EXPECT_EQ(readText(), text);
            EXPECT_EQ(processDecoder().level(), level);
            EXPECT_EQ(processDecoder().mirrored(), 0);
            EXPECT_EQ(processDecoder().correctedCodewords(), 0);  // nothing was misplaced
            EXPECT_EQ(readPeerSymbol(*code, true), 1);
            EXPECT_EQ(readText(), text);
            EXPECT_EQ(processDecoder().mirrored(), 1);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllVersions, ReaderReadsPeerSymbols, testing::Range(kMinVersion, kMaxVersion + 1));

TEST(ReaderReadsPeerSymbols, EciHeaderIsReadThrough) {
    const Bytes text = {'p', 'r', 'i', 'x'};
    for (int version = kMinVersion; version <= kMaxVersion; ++version) {
        for (int level = 0; level < 4; ++level) {
            // Designators of one and two bytes; libqrencode writes the three-byte form with a wrong
            // first byte (0x0C instead of 0xC0), so the parser's own tests cover that one.
            for (const unsigned eci : {26u, 899u}) {
                Qrinput input(QRinput_new2(version, static_cast<QRecLevel>(level)));
                ASSERT_TRUE(input);
                ASSERT_EQ(QRinput_appendECIheader(input.get(), eci), 0);
                ASSERT_EQ(QRinput_append(input.get(), QR_MODE_8, static_cast<int>(text.size()), text.data()), 0);
                const Qrcode code(QRcode_encodeInput(input.get()));
                ASSERT_TRUE(code);
                for (const bool mirrored : {false, true}) {
                    ASSERT_GE(readPeerSymbol(*code, mirrored), 0) << version << " " << level << " " << eci;
                    EXPECT_EQ(readText(), text);
                    EXPECT_EQ(processDecoder().textMeaning().eci, static_cast<int>(eci));
                    EXPECT_EQ(processDecoder().textMeaning().modes, 1u << ModeByte);
                }
            }
        }
    }
}

}  // namespace
