// The symbol picture writers: files hold our encoder's modules with the quiet zone, in the
// layout each format prescribes, or nothing at all.
#include <gtest/gtest.h>
#include <unistd.h>

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

// A symbol from our encoder, copied out of the process-wide record.
struct Symbol {
    int size = 0;
    std::vector<uint8_t> matrix;
    // Whether picture pixel (x, y) must be light at the module size.
    bool lightAt(int moduleSize, int x, int y) const {
        const int row = y / moduleSize - kQuietZoneModules, column = x / moduleSize - kQuietZoneModules;
        return row < 0 || column < 0 || row >= size || column >= size || matrix[row * kStride + column] != 0;
    }
};

Symbol encode(const std::string& text, int level, int version = 0) {
    Symbol symbol;
    int mask = -1;
    EXPECT_EQ(QR_Encode_Matrix(level, &version, 1, &mask, text.data(), static_cast<int>(text.size()), nullptr), 1);
    symbol.size = g_QrEncodedData.iEncoded_WH;
    const uint8_t* first = &g_QrEncodedData.byEncoded_Data[0][0];
    symbol.matrix.assign(first, first + kStride * kStride);
    return symbol;
}

uint32_t le(const std::string& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int k = width - 1; k >= 0; --k) value = value << 8 | static_cast<uint8_t>(bytes[at + k]);
    return value;
}

std::string readFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

class SymbolPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-picture-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    size_t entryCount() const { return std::distance(std::filesystem::directory_iterator(dir_), {}); }
    std::filesystem::path dir_;
};

}  // namespace

class BmpSymbolFile : public SymbolPictureTest {};

TEST_F(BmpSymbolFile, HeaderPaletteAndPaddedBottomUpRows) {
    // 29 modules at 3 pixels: 87 pixels, stored in 12-byte rows whose last 9 bits are padding.
    const Symbol symbol = encode("header", 3, 1);
    std::string error;
    ASSERT_TRUE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), kStride, symbol.size, 3, error)) << error;
    const std::string file = readFile(path("s.bmp"));
    const int side = 87, rowBytes = 12;
    ASSERT_EQ(file.size(), 62u + rowBytes * side);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(le(file, 2, 4), file.size());
    EXPECT_EQ(le(file, 10, 4), 62u);  // pixels follow the headers and two palette entries
    EXPECT_EQ(le(file, 14, 4), 40u);
    EXPECT_EQ(le(file, 18, 4), 87u);
    EXPECT_EQ(le(file, 22, 4), 87u);  // positive height: bottom-up
    EXPECT_EQ(le(file, 26, 2), 1u);
    EXPECT_EQ(le(file, 28, 2), 1u);   // one bit per pixel
    EXPECT_EQ(le(file, 30, 4), 0u);   // uncompressed
    EXPECT_EQ(le(file, 34, 4), static_cast<uint32_t>(rowBytes * side));
    EXPECT_EQ(le(file, 46, 4), 2u);
    EXPECT_EQ(le(file, 54, 4), 0x000000u);  // entry 0 black
    EXPECT_EQ(le(file, 58, 4), 0xFFFFFFu);  // entry 1 white
    for (int stored = 0; stored < side; ++stored) {
        const size_t row = 62 + static_cast<size_t>(stored) * rowBytes;
        for (int x = 0; x < rowBytes * 8; ++x) {
            const bool bit = (static_cast<uint8_t>(file[row + x / 8]) >> (7 - x % 8)) & 1;
            const bool expected = x < side && symbol.lightAt(3, x, side - 1 - stored);
            ASSERT_EQ(bit, expected) << "bit " << x << " of stored row " << stored;
        }
    }
}

TEST_F(BmpSymbolFile, ReadsBackAsTheModulesAtEveryScale) {
    struct Case {
        int level, version, moduleSize;
    };
    // Sides of 29, 45, 113 and 185 modules, on and off 32-pixel boundaries.
    for (const Case& c : {Case{3, 1, 1}, Case{1, 7, 4}, Case{0, 22, 5}, Case{2, 40, 1}, Case{3, 2, 20}}) {
        const Symbol symbol = encode("scale " + std::to_string(c.moduleSize), c.level, c.version);
        std::string error;
        ASSERT_TRUE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), kStride, symbol.size, c.moduleSize, error));
        const cv::Mat grey = cv::imread(path("s.bmp"), cv::IMREAD_GRAYSCALE);
        ASSERT_EQ(grey.cols, (symbol.size + 8) * c.moduleSize);
        ASSERT_EQ(grey.rows, grey.cols);
        int mismatches = 0;
        for (int y = 0; y < grey.rows; ++y)
            for (int x = 0; x < grey.cols; ++x)
                mismatches += grey.at<uint8_t>(y, x) != (symbol.lightAt(c.moduleSize, x, y) ? 255 : 0);
        EXPECT_EQ(mismatches, 0) << "version " << c.version;
    }
}

class SymbolPictureFiles : public SymbolPictureTest {};

TEST_F(SymbolPictureFiles, ExtensionChoosesTheFormatWithoutRegardToCase) {
    EXPECT_EQ(symbolPictureFormatOf("dir/A.BMP"), SymbolPictureFormat::Bmp);
    EXPECT_EQ(symbolPictureFormatOf("x.tar.sVg"), SymbolPictureFormat::Svg);
    EXPECT_EQ(symbolPictureFormatOf("png"), SymbolPictureFormat::Unknown);
    EXPECT_EQ(symbolPictureFormatOf("dir.png/picture"), SymbolPictureFormat::Unknown);

    const Symbol symbol = encode("formats", 0);
    std::string error;
    ASSERT_TRUE(writeSymbolPicture(path("s.PNG"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_EQ(cv::imread(path("s.PNG"), cv::IMREAD_UNCHANGED).type(), CV_8UC1) << "8-bit grey";
    ASSERT_TRUE(writeSymbolPicture(path("s.Bmp"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_EQ(readFile(path("s.Bmp")).substr(0, 2), "BM");
    ASSERT_TRUE(writeSymbolPicture(path("s.svg"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_EQ(readFile(path("s.svg")).find("<?xml"), 0u);
    EXPECT_FALSE(writeSymbolPicture(path("s.gif"), symbol.matrix.data(), kStride, symbol.size, 2, error));
    EXPECT_NE(error.find("unknown picture type"), std::string::npos);
    EXPECT_EQ(entryCount(), 3u);
}

TEST_F(SymbolPictureFiles, FailuresWriteNothing) {
    const Symbol symbol = encode("failures", 1);
    std::string error;
    for (int moduleSize : {0, 21}) {
        EXPECT_FALSE(writeSymbolPng(path("s.png"), symbol.matrix.data(), kStride, symbol.size, moduleSize, error));
        EXPECT_NE(error.find("module size"), std::string::npos);
    }
    EXPECT_FALSE(writeSymbolSvg(path("s.svg"), nullptr, kStride, 21, 4, error));
    EXPECT_FALSE(writeSymbolBmp(path("s.bmp"), symbol.matrix.data(), 10, symbol.size, 4, error));
    EXPECT_FALSE(writeSymbolPng(path("missing/s.png"), symbol.matrix.data(), kStride, symbol.size, 4, error));
    EXPECT_NE(error.find("missing/s.png"), std::string::npos);
    EXPECT_EQ(entryCount(), 0u);
    // A directory in the way: the temporary file is made but cannot replace it, and must go.
    for (const std::string name : {"in-the-way.svg", "in-the-way.png", "in-the-way.bmp"}) {
        std::filesystem::create_directory(path(name));
        EXPECT_FALSE(writeSymbolPicture(path(name), symbol.matrix.data(), kStride, symbol.size, 4, error));
        EXPECT_FALSE(std::filesystem::exists(path(name + ".part"))) << name;
    }
    EXPECT_EQ(entryCount(), 3u);
}
