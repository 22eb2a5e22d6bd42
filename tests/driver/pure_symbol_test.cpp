#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decoded_symbols.h"
#include "engine/decode/pure_symbol.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"
#include "tests/attempts/attempt_pictures.h"

using namespace velmora;
using namespace velmora::test;

namespace {

// The symbol at `scale` pixels per module with `quiet` modules of quiet zone, turned by quarter
// turns, mirrored and inverted as asked.
cv::Mat crispPicture(const cv::Mat& modules, int scale, int quiet, int quarterTurns, bool mirrored, bool inverted) {
    const int n = modules.rows;
    cv::Mat picture((n + 2 * quiet) * scale, (n + 2 * quiet) * scale, CV_8UC1, cv::Scalar(255)), placed;
    cv::resize(modules, placed, cv::Size(n * scale, n * scale), 0, 0, cv::INTER_NEAREST);
    placed.copyTo(picture(cv::Rect(quiet * scale, quiet * scale, n * scale, n * scale)));
    if (mirrored) cv::flip(picture, picture, 1);
    for (int k = 0; k < quarterTurns; ++k) cv::rotate(picture, picture, cv::ROTATE_90_CLOCKWISE);
    if (inverted) picture = 255 - picture;
    return picture;
}

int readPure(cv::Mat& picture) {
    RequestSetUp request(picture.rows, picture.cols);
    Raster* view = viewImageAsRaster(&picture);
    const int count = readPureSymbol(*view, 0);
    releaseRasterView(view);
    return count;
}

int decodeWhole(cv::Mat& picture, int wanted) {
    return QR_Decode_Matrix(0, picture.data, picture.cols, picture.rows, wanted, 0, nullptr);
}

}  // namespace

// Every quarter turn, mirrored or not, dark on light or light on dark: one symbol whose corners
// are the picture's own, and whose flags say how it was drawn.
TEST(PureSymbolReader, ReadsEveryTurnMirrorAndColourSense) {
    const EncodedSymbol symbol = encodeSymbol(textFor(10), 10, 1);
    ASSERT_FALSE(symbol.modules.empty());
    for (int turns = 0; turns < 4; ++turns) {
        for (const bool mirrored : {false, true}) {
            for (const bool inverted : {false, true}) {
                SCOPED_TRACE(::testing::Message() << turns << " turns, mirrored " << mirrored << ", inverted " << inverted);
                cv::Mat picture = crispPicture(symbol.modules, 1, 0, turns, mirrored, inverted);
                ASSERT_EQ(readPure(picture), 1);
                EXPECT_EQ(recordedText(0), symbol.text);
                EXPECT_EQ(decodedEntry(0).nVersion, 10);
                EXPECT_EQ(decodedEntry(0).nInverseColor, inverted ? 1 : 0);
                EXPECT_EQ(decodedEntry(0).nMirror, mirrored ? 1 : 0);
                // The corner finder's corner first; the four corners are the picture's corners.
                float sumX = 0, sumY = 0;
                for (int i = 0; i < 4; ++i) {
                    const float x = decodedEntry(0).dXY_4Corners[i], y = decodedEntry(0).dXY_4Corners[4 + i];
                    EXPECT_TRUE(x == 0.0f || x == 57.0f) << x;
                    EXPECT_TRUE(y == 0.0f || y == 57.0f) << y;
                    sumX += x;
                    sumY += y;
                }
                EXPECT_EQ(sumX, 2 * 57.0f);
                EXPECT_EQ(sumY, 2 * 57.0f);
            }
        }
    }
}

// Where the finder search reads the symbol too, the pure reading puts its finder centres and
// corners where the search does, in the same order.
TEST(PureSymbolReader, AgreesWithTheScheduleOnFramesItReads) {
    const EncodedSymbol symbol = encodeSymbol(textFor(6), 6, 2);
    for (const bool mirrored : {false, true}) {
        for (const int turns : {0, 1, 3}) {
            SCOPED_TRACE(::testing::Message() << turns << " turns, mirrored " << mirrored);
            cv::Mat picture = crispPicture(symbol.modules, 4, 4, turns, mirrored, false);
            ASSERT_EQ(decodeWhole(picture, 1), 1);
            const C_QrDecodedData scheduled = g_QrDecodedData;
            ASSERT_EQ(readPure(picture), 1);
            EXPECT_EQ(decodedEntry(0).nMirror, scheduled.nMirror[0]);
            for (int i = 0; i < 8; ++i) {
                EXPECT_NEAR(decodedEntry(0).dXY_FP[i], scheduled.dXY_FP[0][i], 1.0f) << "finder value " << i;
                EXPECT_NEAR(decodedEntry(0).dXY_4Corners[i], scheduled.dXY_4Corners[0][i], 1.0f) << "corner value " << i;
            }
        }
    }
}

// Modules of two pixels and modules of a fractional size, with and without a quiet zone.
TEST(PureSymbolReader, ReadsLargerAndFractionalModules) {
    const EncodedSymbol symbol = encodeSymbol(textFor(25), 25, 0);
    cv::Mat twoPixels = crispPicture(symbol.modules, 2, 0, 0, false, false);
    ASSERT_EQ(readPure(twoPixels), 1);
    EXPECT_EQ(recordedText(0), symbol.text);
    cv::Mat fractional;
    cv::resize(crispPicture(symbol.modules, 1, 2, 0, false, false), fractional, cv::Size(258, 258), 0, 0, cv::INTER_NEAREST);
    ASSERT_EQ(readPure(fractional), 1);
    EXPECT_EQ(recordedText(0), symbol.text);
}

// A symbol that does not fill its square, and one whose data is damaged beyond repair, give
// nothing.
TEST(PureSymbolReader, RefusesWhatIsNotOneWholeSymbol) {
    const EncodedSymbol symbol = encodeSymbol(textFor(10), 10, 0);
    cv::Mat withBar = crispPicture(symbol.modules, 1, 4, 0, false, false);
    cv::line(withBar, cv::Point(0, 0), cv::Point(0, 30), cv::Scalar(0));
    EXPECT_EQ(readPure(withBar), 0);
    cv::Mat damaged = crispPicture(symbol.modules, 1, 0, 0, false, false);
    cv::rectangle(damaged, cv::Rect(20, 20, 25, 25), cv::Scalar(255), cv::FILLED);
    EXPECT_EQ(readPure(damaged), 0);
    EXPECT_EQ(decodedCount(), 0);
}
