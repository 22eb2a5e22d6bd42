// The version blocks: decoding a word with up to three wrong bits, and correcting the version
// estimate of rendered symbols through the blocks next to the top-right and bottom-left finders.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "engine/codec/format_version_words.h"
#include "engine/geometry/version_information.h"
#include "tests/attempts/attempt_pictures.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// The version's word with the listed bits (0..17) flipped.
uint32_t withBitsFlipped(int version, std::initializer_list<int> bits) {
    uint32_t word = versionWord(version);
    for (int b : bits) word ^= 1u << b;
    return word;
}

// A framed, upright or turned picture of a symbol whose modules were changed by `damage`.
struct FramedSymbol {
    PlacedSymbol placed;
    OwnedRaster binary;
};

template <typename Damage>
FramedSymbol framedSymbol(int version, int scale, double degrees, Damage damage) {
    EncodedSymbol symbol = encodeSymbol(textFor(version), version);
    damage(symbol.modules);
    PlacedSymbol placed = placeRotated(symbol, scale, degrees, false);
    OwnedRaster binary = binarise(placed.grey);
    return {std::move(placed), std::move(binary)};
}

FramedSymbol framedSymbol(int version, int scale = 4, double degrees = 0.0) {
    return framedSymbol(version, scale, degrees, [](cv::Mat&) {});
}

// Flips `count` modules of the top-right block (rows 0..5, columns s-11..s-9) and of the
// bottom-left one (its transpose) of a display-order module picture.
void flipBlockModules(cv::Mat& modules, int topRight, int bottomLeft) {
    const int s = modules.rows;
    constexpr std::array<std::array<int, 2>, 4> kPlaces = {{{0, 0}, {2, 1}, {4, 2}, {5, 0}}};
    for (int k = 0; k < topRight; ++k) {
        uint8_t& m = modules.at<uint8_t>(kPlaces[k][0], s - 11 + kPlaces[k][1]);
        m = static_cast<uint8_t>(255 - m);
    }
    for (int k = 0; k < bottomLeft; ++k) {
        uint8_t& m = modules.at<uint8_t>(s - 11 + kPlaces[k][1], kPlaces[k][0]);
        m = static_cast<uint8_t>(255 - m);
    }
}

int readWithEstimate(FramedSymbol& framed, int estimate) {
    return readVersionInformation(estimate, framed.binary.rows(), framed.binary.height(), framed.binary.width(), 3);
}

TEST(VersionBitsDecode, UpToThreeWrongBits) {
    for (int v = 7; v <= 40; ++v) {
        ASSERT_EQ(decodeVersionBits(versionWord(v)), v);
        for (int a = 0; a < 18; ++a) {
            ASSERT_EQ(decodeVersionBits(withBitsFlipped(v, {a})), v);
            for (int b = a + 1; b < 18; ++b) {
                ASSERT_EQ(decodeVersionBits(withBitsFlipped(v, {a, b})), v);
                for (int c = b + 1; c < 18; c += 3) ASSERT_EQ(decodeVersionBits(withBitsFlipped(v, {a, b, c})), v);
            }
        }
    }
}

TEST(VersionBitsDecode, FourWrongBitsGiveNothing) {
    for (int v : {7, 19, 33, 40}) {
        for (int a = 0; a < 18; ++a) {
            for (int b = a + 1; b < 18; ++b) {
                for (int c = b + 1; c < 18; ++c) {
                    for (int d = c + 1; d < 18; d += 2) {
                        ASSERT_EQ(decodeVersionBits(withBitsFlipped(v, {a, b, c, d})), 0) << v;
                    }
                }
            }
        }
    }
    EXPECT_EQ(decodeVersionBits(0), 0);
}

TEST(VersionInformationCorrectsEstimates, OffByUpToThree) {
    for (int v : {7, 8, 13, 21, 32, 40}) {
        FramedSymbol framed = framedSymbol(v, v > 30 ? 3 : 4, 10.0 * (v % 4) + 100.0 * (v % 3));
        RequestSetUp request(framed.binary.height(), framed.binary.width());
        ASSERT_TRUE(frameTrueTriple(framed.binary, framed.placed)) << "version " << v;
        for (int off = -3; off <= 3; ++off) {
            if (v + off < 6 || v + off > 40) continue;
            setVersionBlockMatch(0);
            EXPECT_EQ(readWithEstimate(framed, v + off), v) << "version " << v << " estimate " << v + off;
            EXPECT_EQ(versionBlockMatch(), 3) << "version " << v << " estimate " << v + off;
        }
    }
}

TEST(VersionInformationCorrectsEstimates, SmallEstimatesAndTheCandidateOrder) {
    setVersionBlockMatch(3);
    EXPECT_EQ(readVersionInformation(5, nullptr, 0, 0, 3), 5) << "nothing is read for 5";
    EXPECT_EQ(versionBlockMatch(), 3) << "and the match code stays";

    // An estimate of 6 tries versions 7, 8 and 9 only.
    for (int v : {9, 10}) {
        FramedSymbol framed = framedSymbol(v);
        RequestSetUp request(framed.binary.height(), framed.binary.width());
        ASSERT_TRUE(frameTrueTriple(framed.binary, framed.placed));
        EXPECT_EQ(readWithEstimate(framed, 6), v == 9 ? 9 : 6) << "version " << v;
        EXPECT_EQ(versionBlockMatch(), v == 9 ? 3 : 0);
    }
    // Around 11 the candidates are 11, 12, 10, 13, 9, 14, 8: versions 8 and 14 are still
    // reached, 7 and 15 are not.
    for (int v : {7, 8, 12, 14, 15}) {
        FramedSymbol framed = framedSymbol(v);
        RequestSetUp request(framed.binary.height(), framed.binary.width());
        ASSERT_TRUE(frameTrueTriple(framed.binary, framed.placed));
        const bool reached = v >= 8 && v <= 14;
        EXPECT_EQ(readWithEstimate(framed, 11), reached ? v : 6) << "version " << v;
        EXPECT_EQ(versionBlockMatch(), reached ? 3 : 0) << "version " << v;
    }
}

TEST(VersionInformationCorrectsEstimates, DamagedBlocks) {
    struct Case {
        int topRight;
        int bottomLeft;
        int version;
        int match;
    };
    // Three wrong modules leave a block readable; four make it unreadable.
    constexpr std::array<Case, 4> kCases = {{{3, 3, 17, 3}, {4, 0, 17, 2}, {0, 4, 17, 1}, {4, 4, 6, 0}}};
    for (const Case& c : kCases) {
        FramedSymbol framed = framedSymbol(17, 4, 30.0, [&](cv::Mat& m) { flipBlockModules(m, c.topRight, c.bottomLeft); });
        RequestSetUp request(framed.binary.height(), framed.binary.width());
        ASSERT_TRUE(frameTrueTriple(framed.binary, framed.placed));
        EXPECT_EQ(readWithEstimate(framed, 16), c.version) << c.topRight << " and " << c.bottomLeft << " wrong";
        EXPECT_EQ(versionBlockMatch(), c.match) << c.topRight << " and " << c.bottomLeft << " wrong";
    }
}

}  // namespace
