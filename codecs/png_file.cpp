// PNG files through libpng, read and written with the transformations OpenCV's PNG codec asks
// of the same library, so that pixels and files are what they were when OpenCV handled them.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <opencv2/core.hpp>

#include "codecs/picture_codecs.h"
#include "codecs/picture_error.h"

namespace velmora {
namespace {

// What libpng's callbacks reach: the bytes read or written and the last error's words.
struct PngStream {
    std::span<const uint8_t> input;
    std::size_t position = 0;
    std::vector<uint8_t>* output = nullptr;
    char message[200] = {};
};

PngStream& streamOf(png_structp png) { return *static_cast<PngStream*>(png_get_error_ptr(png)); }

[[noreturn]] void keepErrorAndJump(png_structp png, png_const_charp message) {
    PngStream& stream = streamOf(png);
    std::snprintf(stream.message, sizeof stream.message, "%s", message != nullptr ? message : "libpng error");
    png_longjmp(png, 1);
}

// Warnings (a known-bad sRGB profile, a chunk after the data) change no pixel; they are dropped
// rather than printed on the terminal.
void ignoreWarning(png_structp, png_const_charp) {}

void readFromInput(png_structp png, png_bytep to, png_size_t length) {
    PngStream& stream = *static_cast<PngStream*>(png_get_io_ptr(png));
    if (length > stream.input.size() - stream.position) png_error(png, "PNG input buffer is incomplete");
    std::memcpy(to, stream.input.data() + stream.position, length);
    stream.position += length;
}

void appendToOutput(png_structp png, png_bytep from, png_size_t length) {
    PngStream& stream = *static_cast<PngStream*>(png_get_io_ptr(png));
    stream.output->insert(stream.output->end(), from, from + length);
}

void flushNothing(png_structp) {}

// The image type OpenCV gives the file unchanged: RGB and palette pictures with a tRNS chunk
// and grey or colour with alpha have four channels, other colour three, grey (even with tRNS)
// one; 16-bit samples stay 16-bit.
int imageTypeOf(png_structp png, png_infop info, int bitDepth, int colourType) {
    int channels = 1;
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_PALETTE: {
        png_bytep transparency = nullptr;
        int transparentCount = 0;
        png_color_16p transparentColour = nullptr;
        png_get_tRNS(png, info, &transparency, &transparentCount, &transparentColour);
        channels = transparentCount > 0 ? 4 : 3;
        break;
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: break;
    }
    return CV_MAKETYPE(bitDepth == 16 ? CV_16U : CV_8U, channels);
}

// Reads the whole picture into image; false when libpng gives up. Everything with a destructor
// lives in the caller, so the jump back from libpng skips none.
bool readPng(png_structp png, png_infop info, png_infop end, cv::Mat& image, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_read_info(png, info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    checkPictureSize(width, height);
    image.create(static_cast<int>(height), static_cast<int>(width), imageTypeOf(png, info, bitDepth, colourType));

    png_set_swap(png);  // 16-bit samples in host order, as OpenCV keeps them
    if (image.channels() < 4) png_set_strip_alpha(png);
    else png_set_tRNS_to_alpha(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0 && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    const bool colour = image.channels() > 1;
    if ((colourType & PNG_COLOR_MASK_COLOR) != 0 && colour) png_set_bgr(png);
    else if (colour) png_set_gray_to_rgb(png);
    else png_set_rgb_to_gray(png, 1, 0.299, 0.587);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.ptr(static_cast<int>(y));
    png_read_image(png, rows.data());
    png_read_end(png, end);
    return true;
}

struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop end = nullptr;
    ~PngReader() { png_destroy_read_struct(&png, &info, &end); }
};

struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

// Writes an 8-bit picture of 1, 3 or 4 channels as OpenCV's PNG encoder does with no
// parameters: no interlacing, the Sub filter, zlib's fastest level and run-length strategy.
bool writePng(png_structp png, png_infop info, const cv::Mat& picture, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, 3);  // Z_RLE
    const int channels = picture.channels();
    png_set_IHDR(png, info, picture.cols, picture.rows, 8,
                 channels == 1   ? PNG_COLOR_TYPE_GRAY
                 : channels == 3 ? PNG_COLOR_TYPE_RGB
                                 : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_swap(png);
    rows.resize(static_cast<std::size_t>(picture.rows));
    for (int y = 0; y < picture.rows; ++y) rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(picture.ptr(y));
    png_write_image(png, rows.data());
    png_write_end(png, info);
    return true;
}

}  // namespace

cv::Mat decodePngImage(std::span<const uint8_t> file, std::string& why) {
    PngStream stream;
    stream.input = file;
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &stream, keepErrorAndJump, ignoreWarning);
    if (reader.png == nullptr) throw std::bad_alloc();
    reader.info = png_create_info_struct(reader.png);
    reader.end = png_create_info_struct(reader.png);
    if (reader.info == nullptr || reader.end == nullptr) throw std::bad_alloc();
    png_set_read_fn(reader.png, &stream, readFromInput);
    cv::Mat image;
    std::vector<png_bytep> rows;
    if (!readPng(reader.png, reader.info, reader.end, image, rows)) {
        why = stream.message;
        return {};
    }
    return image;
}

bool encodePngImage(const cv::Mat& picture, std::vector<uint8_t>& out, std::string& error) {
    PngStream stream;
    stream.output = &out;
    PngWriter writer;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &stream, keepErrorAndJump, ignoreWarning);
    if (writer.png == nullptr) throw std::bad_alloc();
    writer.info = png_create_info_struct(writer.png);
    if (writer.info == nullptr) throw std::bad_alloc();
    png_set_write_fn(writer.png, &stream, appendToOutput, flushNothing);
    out.clear();
    std::vector<png_bytep> rows;
    if (!writePng(writer.png, writer.info, picture, rows)) {
        error = stream.message;
        out.clear();
        return false;
    }
    return true;
}

}  // namespace velmora
