// Damaged files: every reader refuses a cut-off file or a header that lies about sizes and
// offsets, with a reason and without reading outside the file (these suites also run under
// AddressSanitizer).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "codecs/bitmap.h"
#include "engine/image/picture_loading.h"
#include "picture_test_support.h"

using namespace velmora;
using namespace velmora::test;

namespace {

const std::string kText = "damaged 42";

struct SampleFile {
    std::string name;  // with the extension that picks its reader
    PictureType type;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> encoded(const std::string& extension, const cv::Mat& picture) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(cv::imencode(extension, picture, bytes)) << extension;
    return bytes;
}

// ImageMagick's rendering of picture into a file of the given name, empty without convert.
std::vector<uint8_t> magickFile(const ScratchFolder& folder, const cv::Mat& picture, const std::string& options,
                                const std::string& name) {
    if (!haveConvert()) return {};
    const std::size_t colon = name.find(':');
    const std::string plain = colon == std::string::npos ? name : name.substr(colon + 1);
    const std::string prefix = colon == std::string::npos ? "" : name.substr(0, colon + 1);
    cv::imwrite(folder.path(plain + ".png"), picture);
    EXPECT_TRUE(convert(folder.path(plain + ".png") + " " + options + " " + prefix + folder.path(plain)));
    return readFile(folder.path(plain));
}

// One small valid file for every reader; the ImageMagick ones are left out without convert.
std::vector<SampleFile> sampleFiles(const ScratchFolder& folder) {
    const cv::Mat symbol = symbolPicture(kText, 1);
    const cv::Mat coloured = colouredSymbol(kText, 1);
    const cv::Mat gradient = colourGradient(19, 13);
    const cv::Mat palette = paletteColours(24, 16);
    std::vector<int> pgxSamples;
    for (int i = 0; i < symbol.rows * symbol.cols; ++i) pgxSamples.push_back(symbol.data[i] * 4000 / 255);
    std::vector<cv::Vec3b> skaPalette(256);
    for (int i = 0; i < 256; ++i) skaPalette[i] = cv::Vec3b(uint8_t(i), uint8_t(i / 2), uint8_t(255 - i));
    cv::Mat square;
    cv::resize(coloured, square, cv::Size(256, 256), 0, 0, cv::INTER_NEAREST);

    std::vector<SampleFile> files = {
        {"symbol.bmp", PictureType::Bmp, encoded(".bmp", coloured)},
        {"symbol.png", PictureType::Png, encoded(".png", coloured)},
        {"symbol.jpg", PictureType::Jpeg, encoded(".jpg", coloured)},
        {"symbol.tif", PictureType::Tiff, encoded(".tif", coloured)},
        {"symbol.ppm", PictureType::Pnm, encoded(".ppm", coloured)},
        {"symbol.pgm", PictureType::Pnm, encoded(".pgm", symbol)},
        {"symbol.jp2", PictureType::Jpeg2000File, encoded(".jp2", colouredSymbol(kText, 2))},
        {"symbol.wbmp", PictureType::Wbmp, wbmpFile(symbol)},
        {"symbol.pgx", PictureType::Pgx, pgxFile(symbol.cols, symbol.rows, 12, true, false, pgxSamples)},
        {"symbol.ska", PictureType::Ska, skaFile(symbol, skaPalette)},
        {"symbol.wmf", PictureType::Wmf, wmfFile(symbol, 1)},
        {"palette.pcx", PictureType::Pcx, magickFile(folder, palette, "-type palette", "palette.pcx")},
        {"colour.pcx", PictureType::Pcx, magickFile(folder, gradient, "", "colour.pcx")},
        {"rle.tga", PictureType::Targa, magickFile(folder, gradient, "-compress RLE", "rle.tga")},
        {"mapped.tga", PictureType::Targa, magickFile(folder, palette, "-type palette", "mapped.tga")},
        {"symbol.ico", PictureType::Icon, magickFile(folder, coloured, "", "symbol.ico")},
        {"png.ico", PictureType::Icon, magickFile(folder, square, "", "png.ico")},
        {"symbol.gif", PictureType::Gif, magickFile(folder, coloured, "", "symbol.gif")},
        {"colour.ras", PictureType::SunRaster, magickFile(folder, gradient, "", "colour.ras")},
        {"mapped.ras", PictureType::SunRaster, magickFile(folder, palette, "-type palette", "mapped.ras")},
        {"stream.j2k", PictureType::Jpeg2000Stream, magickFile(folder, colouredSymbol(kText, 2), "-quality 0", "J2K:stream.j2k")},
    };
    std::erase_if(files, [](const SampleFile& f) { return f.bytes.empty(); });
    return files;
}

// The prefix lengths worth trying: every one up to 600 bytes, then a spread of about 400.
std::vector<std::size_t> prefixLengths(std::size_t size) {
    std::vector<std::size_t> lengths;
    const std::size_t step = size > 600 ? std::max<std::size_t>(1, (size - 600) / 400) : 1;
    for (std::size_t n = 0; n < size; n += n < 600 ? 1 : step) lengths.push_back(n);
    lengths.push_back(size - 1);
    return lengths;
}

TEST(ReadersRefuseDamage, EverySampleLoadsWhole) {
    ScratchFolder folder;
    for (const SampleFile& file : sampleFiles(folder)) {
        Bitmap bitmap;
        EXPECT_TRUE(bitmap.loadFromMemory(file.bytes, file.type)) << file.name << ": " << bitmap.failureReason();
    }
}

TEST(ReadersRefuseDamage, EveryCutOffFileFails) {
    ScratchFolder folder;
    for (const SampleFile& file : sampleFiles(folder)) {
        for (const std::size_t length : prefixLengths(file.bytes.size())) {
            // Only the first frame of a GIF is read, so its closing trailer byte is not needed.
            if (file.type == PictureType::Gif && length == file.bytes.size() - 1) continue;
            Bitmap bitmap;
            const std::span<const uint8_t> prefix(file.bytes.data(), length);
            EXPECT_FALSE(bitmap.loadFromMemory(prefix, file.type))
                << file.name << " cut to " << length << " of " << file.bytes.size() << " bytes loads";
            EXPECT_FALSE(bitmap.isValid());
            EXPECT_FALSE(bitmap.failureReason().empty()) << file.name << " cut to " << length;
        }
        // And through the loader: -1, no image, a reason.
        const std::string path = folder.path("cut-" + file.name);
        writeFile(path, std::vector<uint8_t>(file.bytes.begin(), file.bytes.begin() + file.bytes.size() / 2));
        for (const bool colour : {true, false}) {
            const Loaded loaded = load(path, colour);
            EXPECT_EQ(loaded.result, -1) << file.name;
            EXPECT_TRUE(loaded.image.empty()) << file.name;
            EXPECT_FALSE(loaded.reason.empty()) << file.name;
        }
    }
}

struct Damage {
    const char* file;
    const char* what;
    std::function<void(std::vector<uint8_t>&)> apply;
    PictureFailure expected;
};

void put16le(std::vector<uint8_t>& b, std::size_t at, unsigned v) {
    b.at(at) = static_cast<uint8_t>(v);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
void put32le(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    put16le(b, at, v & 0xFFFF);
    put16le(b, at + 2, v >> 16);
}
void put32be(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The offset of the first occurrence of a byte sequence (the header field to damage).
std::size_t find(const std::vector<uint8_t>& b, std::initializer_list<uint8_t> what) {
    const auto at = std::search(b.begin(), b.end(), what.begin(), what.end());
    EXPECT_NE(at, b.end());
    return static_cast<std::size_t>(at - b.begin());
}

TEST(ReadersRefuseDamage, LyingHeadersFailWithTheirReason) {
    using F = PictureFailure;
    const std::vector<Damage> damages = {
        {"symbol.bmp", "huge width", [](auto& b) { put32le(b, 18, 1000000); }, F::TooLarge},
        {"symbol.png", "huge height", [](auto& b) { put32le(b, 20, 0x00A00000); }, F::TooLarge},
        {"symbol.jpg", "huge frame", [](auto& b) { const auto at = find(b, {0xFF, 0xC0}); put16le(b, at + 5, 0xFFFF); put16le(b, at + 7, 0xFFFF); }, F::TooLarge},
        {"symbol.ppm", "huge width", [](auto& b) { b.insert(b.begin() + 3, {'9', '9', '9', '9', '9'}); }, F::TooLarge},
        {"symbol.wbmp", "zero width", [](auto& b) { b[2] = 0; }, F::Malformed},
        {"symbol.wbmp", "huge height", [](auto& b) { b[3] = 0xFF; b.insert(b.begin() + 4, {0xFF, 0xFF, 0x7F}); }, F::TooLarge},
        {"symbol.wbmp", "endless integer", [](auto& b) { b.insert(b.begin() + 2, 6, 0x81); }, F::Malformed},
        {"symbol.wbmp", "another type", [](auto& b) { b[0] = 2; }, F::Unsupported},
        {"symbol.pgx", "huge width", [](auto& b) { b.insert(b.begin() + 10, {'9', '9', '9', '9'}); }, F::TooLarge},
        {"symbol.pgx", "depth 17", [](auto& b) { b[7] = '1'; b[8] = '7'; }, F::Unsupported},
        {"symbol.pgx", "no header line", [](auto& b) { b.resize(12); }, F::Truncated},
        {"symbol.ska", "zero height", [](auto& b) { put16le(b, 2, 0); }, F::Malformed},
        {"symbol.ska", "16 bits per pixel", [](auto& b) { b[4] = 4; }, F::Unsupported},
        {"symbol.ska", "huge size", [](auto& b) { put16le(b, 0, 0xFFFF); put16le(b, 2, 0xFFFF); }, F::TooLarge},
        {"symbol.wmf", "record of no words", [](auto& b) { put32le(b, 40, 0); }, F::Malformed},
        {"symbol.wmf", "record past the end", [](auto& b) { put32le(b, 40, 0x7FFFFFFF); }, F::Truncated},
        {"symbol.wmf", "no end record", [](auto& b) { b.resize(b.size() - 6); }, F::Truncated},
        {"palette.pcx", "huge window", [](auto& b) { put16le(b, 8, 0xFFFF); put16le(b, 10, 0xFFFF); }, F::TooLarge},
        {"palette.pcx", "window turned inside out", [](auto& b) { put16le(b, 4, 100); }, F::Malformed},
        {"palette.pcx", "no bytes per line", [](auto& b) { put16le(b, 66, 0); }, F::Malformed},
        {"palette.pcx", "seven planes", [](auto& b) { b[65] = 7; }, F::Unsupported},
        {"palette.pcx", "palette marker lost", [](auto& b) { b[b.size() - 769] = 0; }, F::Truncated},
        {"colour.pcx", "lines for a taller picture", [](auto& b) { put16le(b, 10, 20000); }, F::Truncated},
        {"rle.tga", "zero width", [](auto& b) { put16le(b, 12, 0); }, F::Malformed},
        {"rle.tga", "huge size", [](auto& b) { put16le(b, 12, 0xFFFF); put16le(b, 14, 0xFFFF); }, F::TooLarge},
        {"rle.tga", "taller than its packets", [](auto& b) { put16le(b, 14, 30000); }, F::Truncated},
        {"rle.tga", "identification past the end", [](auto& b) { b[0] = 255; b.resize(200); }, F::Truncated},
        {"mapped.tga", "colour map past the end", [](auto& b) { put16le(b, 5, 0xFFFF); }, F::Truncated},
        {"mapped.tga", "12-bit pixels", [](auto& b) { b[16] = 12; }, F::Unsupported},
        {"symbol.ico", "entry past the end", [](auto& b) { put32le(b, 18, 0x7FFFFFF0); }, F::Truncated},
        {"symbol.ico", "entry longer than the file", [](auto& b) { put32le(b, 14, 0x7FFFFFF0); }, F::Truncated},
        {"symbol.ico", "empty directory", [](auto& b) { put16le(b, 4, 0); }, F::Malformed},
        {"symbol.ico", "huge bitmap", [](auto& b) { put32le(b, 22 + 4, 100000); }, F::TooLarge},
        {"symbol.ico", "directory longer than the file", [](auto& b) { put16le(b, 4, 60000); }, F::Truncated},
        {"symbol.gif", "huge screen", [](auto& b) { put16le(b, 6, 0xFFFF); put16le(b, 8, 0xFFFF); }, F::TooLarge},
        {"symbol.gif", "frame larger than its data", [](auto& b) { const auto at = find(b, {0x2C, 0, 0, 0, 0}); put16le(b, at + 5, 30000); put16le(b, at + 7, 8000); }, F::Truncated},
        {"colour.ras", "huge width", [](auto& b) { put32be(b, 4, 0x7FFFFFFF); }, F::TooLarge},
        {"colour.ras", "zero height", [](auto& b) { put32be(b, 8, 0); }, F::Malformed},
        {"colour.ras", "depth 7", [](auto& b) { put32be(b, 12, 7); }, F::Unsupported},
        {"mapped.ras", "colour map past the end", [](auto& b) { put32be(b, 28, 0x7FFFFFFF); }, F::Truncated},
        {"mapped.ras", "byte-encoded beyond its data", [](auto& b) { put32be(b, 20, 2); put32be(b, 8, 30000); }, F::Truncated},
    };
    ScratchFolder folder;
    const std::vector<SampleFile> files = sampleFiles(folder);
    for (const Damage& damage : damages) {
        const auto file = std::find_if(files.begin(), files.end(), [&](const SampleFile& f) { return f.name == damage.file; });
        if (file == files.end()) continue;  // written by ImageMagick, which is missing
        std::vector<uint8_t> bytes = file->bytes;
        damage.apply(bytes);
        Bitmap bitmap;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(bitmap.loadFromMemory(bytes, file->type)) << damage.file << ", " << damage.what;
        EXPECT_EQ(bitmap.failure(), damage.expected) << damage.file << ", " << damage.what << ": " << bitmap.failureReason();
        // A refused size is refused before anything the size asks for is allocated or filled.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << damage.file << ", " << damage.what;

        const std::string path = folder.path("damaged-" + std::string(damage.file));
        writeFile(path, bytes);
        const Loaded loaded = load(path, true);
        EXPECT_EQ(loaded.result, -1);
        EXPECT_TRUE(loaded.image.empty());
        EXPECT_EQ(loaded.reason.rfind(pictureFailureText(damage.expected), 0), 0u) << loaded.reason;
    }
}

TEST(ReadersRefuseDamage, UnreadablePathsFailWithTheirReason) {
    ScratchFolder folder;
    const Loaded missing = load(folder.path("missing.png"), true);
    EXPECT_EQ(missing.result, -1);
    EXPECT_EQ(missing.reason.rfind("cannot open the file", 0), 0u) << missing.reason;
    std::filesystem::create_directory(folder.path("folder.png"));
    const Loaded directory = load(folder.path("folder.png"), false);
    EXPECT_EQ(directory.result, -1);
    EXPECT_EQ(directory.reason.rfind("cannot open the file", 0), 0u) << directory.reason;
    writeFile(folder.path("empty.gif"), {});
    const Loaded empty = load(folder.path("empty.gif"), true);
    EXPECT_EQ(empty.result, -1);
    EXPECT_EQ(empty.reason.rfind("truncated file", 0), 0u) << empty.reason;
}

}  // namespace
