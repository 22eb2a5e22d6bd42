// The symbol picture writers: the files hold our encoder's modules with the quiet zone, at the
// module size, in the layout each format prescribes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/symbol_picture.h"
#include "engine/velmora_engine.h"

using namespace velmora;

namespace {

constexpr int kStride = 177;

// A symbol made by our encoder, copied out of the process-wide record.
struct Symbol {
    int size = 0;
    std::vector<uint8_t> matrix;  // kStride x kStride, display order, 1 light
    bool light(int row, int column) const { return matrix[row * kStride + column] != 0; }
};

Symbol encode(const std::string& text, int level, int version = 0, int mask = -1) {
    Symbol symbol;
    if (QR_Encode_Matrix(level, &version, 1, &mask, text.data(), static_cast<int>(text.size()), nullptr) != 1) {
        ADD_FAILURE() << "cannot encode " << text;
        return symbol;
    }
    symbol.size = g_QrEncodedData.iEncoded_WH;
    symbol.matrix.assign(&g_QrEncodedData.byEncoded_Data[0][0], &g_QrEncodedData.byEncoded_Data[0][0] + kStride * kStride);
    return symbol;
}

// Whether picture pixel (x, y) must be light: the quiet zone is, inside it the module is.
bool expectLight(const Symbol& symbol, int moduleSize, int x, int y) {
    const int row = y / moduleSize - kQuietZoneModules;
    const int column = x / moduleSize - kQuietZoneModules;
    if (row < 0 || column < 0 || row >= symbol.size || column >= symbol.size) return true;
    return symbol.light(row, column);
}

// Pixels of a grey picture read back from a file that disagree with the symbol.
int mismatches(const cv::Mat& grey, const Symbol& symbol, int moduleSize) {
    int count = 0;
    for (int y = 0; y < grey.rows; ++y)
        for (int x = 0; x < grey.cols; ++x)
            count += grey.at<uint8_t>(y, x) != (expectLight(symbol, moduleSize, x, y) ? 255 : 0);
    return count;
}

uint32_t le32(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

uint16_t le16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

class ScratchDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-picture-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    size_t entryCount() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
    }
    std::filesystem::path dir_;
};

}  // namespace

class BmpSymbolFile : public ScratchDirectory {};

TEST_F(BmpSymbolFile, HeaderPaletteAndPaddedBottomUpRows) {
    // 21 + 8 modules at 3 pixels: 87 pixels, so each row carries 12 bytes of which the last
    // bits are padding.
    const Symbol symbol = encode("header", 3, 1);
    std::string error;
    ASSERT_TRUE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), kStride, symbol.size, 3, error)) << error;
    const std::string file = readFile(path("s.bmp"));
    const int side = 87;
    const int rowBytes = 12;
    ASSERT_EQ(file.size(), 62u + rowBytes * side);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(le32(file, 2), file.size());
    EXPECT_EQ(le32(file, 10), 62u);              // pixel data after headers and two palette entries
    EXPECT_EQ(le32(file, 14), 40u);              // BITMAPINFOHEADER
    EXPECT_EQ(static_cast<int>(le32(file, 18)), side);
    EXPECT_EQ(static_cast<int>(le32(file, 22)), side);  // positive: bottom-up
    EXPECT_EQ(le16(file, 26), 1);
    EXPECT_EQ(le16(file, 28), 1);                // one bit per pixel
    EXPECT_EQ(le32(file, 30), 0u);               // uncompressed
    EXPECT_EQ(le32(file, 34), static_cast<uint32_t>(rowBytes * side));
    EXPECT_EQ(le32(file, 46), 2u);
    EXPECT_EQ(le32(file, 54), 0x00000000u);      // entry 0 black
    EXPECT_EQ(le32(file, 58), 0x00FFFFFFu);      // entry 1 white

    for (int stored = 0; stored < side; ++stored) {
        const int y = side - 1 - stored;  // the first stored row is the bottom one
        const size_t row = 62 + static_cast<size_t>(stored) * rowBytes;
        for (int x = 0; x < rowBytes * 8; ++x) {
            const bool bit = (static_cast<uint8_t>(file[row + x / 8]) >> (7 - x % 8)) & 1;
            if (x >= side) {
                ASSERT_FALSE(bit) << "padding bit " << x << " of stored row " << stored;
            } else {
                ASSERT_EQ(bit, expectLight(symbol, 3, x, y)) << "pixel " << x << ", " << y;
            }
        }
    }
}

TEST_F(BmpSymbolFile, ReadsBackAsTheModulesAtEveryScale) {
    struct Case {
        std::string text;
        int level, version, moduleSize;
    };
    // Sides 29, 45, 105 and 185 modules: widths on and off 32-pixel boundaries.
    for (const Case& c : {Case{"one", 3, 1, 1}, Case{"seven 7", 1, 7, 4}, Case{"twenty two", 0, 22, 5},
                          Case{"forty", 2, 40, 1}, Case{"scale twenty", 3, 2, 20}}) {
        const Symbol symbol = encode(c.text, c.level, c.version);
        std::string error;
        ASSERT_TRUE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), kStride, symbol.size, c.moduleSize, error));
        const cv::Mat grey = cv::imread(path("s.bmp"), cv::IMREAD_GRAYSCALE);
        ASSERT_EQ(grey.cols, (symbol.size + 8) * c.moduleSize);
        ASSERT_EQ(grey.rows, grey.cols);
        EXPECT_EQ(mismatches(grey, symbol, c.moduleSize), 0) << c.text;
    }
}

class PngSymbolFile : public ScratchDirectory {};

TEST_F(PngSymbolFile, ReadsBackAsEightBitGreyModules) {
    for (int moduleSize : {1, 2, 7}) {
        const Symbol symbol = encode("png symbol", 2, 5, 6);
        std::string error;
        ASSERT_TRUE(writeSymbolPng(path("s.png"), symbol.matrix.data(), kStride, symbol.size, moduleSize, error));
        const cv::Mat picture = cv::imread(path("s.png"), cv::IMREAD_UNCHANGED);
        ASSERT_EQ(picture.type(), CV_8UC1) << "an 8-bit grey picture";
        ASSERT_EQ(picture.cols, 45 * moduleSize);
        EXPECT_EQ(mismatches(picture, symbol, moduleSize), 0) << moduleSize;
        EXPECT_EQ(entryCount(), 1u);
    }
}

class SymbolPictureFiles : public ScratchDirectory {};

TEST_F(SymbolPictureFiles, ExtensionChoosesTheFormatWithoutRegardToCase) {
    EXPECT_EQ(symbolPictureFormatOf("a.bmp"), SymbolPictureFormat::Bmp);
    EXPECT_EQ(symbolPictureFormatOf("dir/A.BMP"), SymbolPictureFormat::Bmp);
    EXPECT_EQ(symbolPictureFormatOf("a.Png"), SymbolPictureFormat::Png);
    EXPECT_EQ(symbolPictureFormatOf("x.tar.sVg"), SymbolPictureFormat::Svg);
    EXPECT_EQ(symbolPictureFormatOf("a.jpg"), SymbolPictureFormat::Unknown);
    EXPECT_EQ(symbolPictureFormatOf("png"), SymbolPictureFormat::Unknown);
    EXPECT_EQ(symbolPictureFormatOf("dir.png/picture"), SymbolPictureFormat::Unknown);

    const Symbol symbol = encode("formats", 0);
    std::string error;
    ASSERT_TRUE(writeSymbolPicture(path("s.PNG"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_EQ(cv::imread(path("s.PNG"), cv::IMREAD_UNCHANGED).type(), CV_8UC1);
    ASSERT_TRUE(writeSymbolPicture(path("s.Bmp"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_EQ(readFile(path("s.Bmp")).substr(0, 2), "BM");
    ASSERT_TRUE(writeSymbolPicture(path("s.svg"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_NE(readFile(path("s.svg")).find("<svg"), std::string::npos);

    EXPECT_FALSE(writeSymbolPicture(path("s.gif"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_NE(error.find("unknown picture type"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("s.gif")));
}

TEST_F(SymbolPictureFiles, BadArgumentsWriteNothing) {
    const Symbol symbol = encode("arguments", 0);
    std::string error;
    for (int moduleSize : {0, 21, -3}) {
        EXPECT_FALSE(writeSymbolPng(path("s.png"), symbol.matrix.data(), kStride, symbol.size, moduleSize, error));
        EXPECT_NE(error.find("module size"), std::string::npos);
        EXPECT_TRUE(renderSymbolPixels(symbol.matrix.data(), kStride, symbol.size, moduleSize).pixels.empty());
    }
    EXPECT_FALSE(writeSymbolSvg(path("s.svg"), nullptr, kStride, 21, 4, error));
    EXPECT_FALSE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), kStride, 0, 4, error));
    EXPECT_FALSE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), 10, symbol.size, 4, error));
    EXPECT_EQ(entryCount(), 0u);
}

TEST_F(SymbolPictureFiles, FailedWritesLeaveNoPartialFile) {
    const Symbol symbol = encode("partial", 1);
    std::string error;
    EXPECT_FALSE(writeSymbolPng(path("missing/s.png"), symbol.matrix.data(), kStride, symbol.size, 4, error));
    EXPECT_NE(error.find("missing/s.png"), std::string::npos);
    // A directory in the way: the temporary file is made but cannot replace it.
    std::filesystem::create_directory(path("in-the-way.svg"));
    EXPECT_FALSE(writeSymbolSvg(path("in-the-way.svg"), symbol.matrix.data(), kStride, symbol.size, 4, error));
    EXPECT_FALSE(std::filesystem::exists(path("in-the-way.svg.part")));
    std::filesystem::create_directory(path("in-the-way.png"));
    EXPECT_FALSE(writeSymbolPng(path("in-the-way.png"), symbol.matrix.data(), kStride, symbol.size, 4, error));
    EXPECT_FALSE(std::filesystem::exists(path("in-the-way.png.part")));
    EXPECT_EQ(entryCount(), 2u);
}

TEST_F(SymbolPictureFiles, RewritingReplacesTheWholeFile) {
    // A smaller picture over a larger one must not keep the larger one's tail.
    const Symbol large = encode("large", 3, 20);
    const Symbol small = encode("small", 3, 1);
    std::string error;
    ASSERT_TRUE(writeSymbolSvg(path("s.svg"), large.matrix.data(), kStride, large.size, 8, error));
    const auto largeBytes = std::filesystem::file_size(path("s.svg"));
    ASSERT_TRUE(writeSymbolSvg(path("s.svg"), small.matrix.data(), kStride, small.size, 1, error));
    EXPECT_LT(std::filesystem::file_size(path("s.svg")), largeBytes);
    const std::string svg = readFile(path("s.svg"));
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}
