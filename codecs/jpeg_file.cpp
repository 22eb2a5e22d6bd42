// JPEG files through libjpeg-turbo, read and written with the settings OpenCV's JPEG codec gives
// the same library, so that pixels and files are what they were when OpenCV handled them.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <opencv2/core.hpp>

#include "codecs/picture_codecs.h"
#include "codecs/picture_error.h"

namespace velmora {
namespace {

constexpr int kExifMarker = JPEG_APP0 + 1;

// libjpeg's error manager with the jump back and the words of the error that caused it.
struct JpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void keepErrorAndJump(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings ("premature end of data segment") change no pixel; they are not printed.
void ignoreMessage(j_common_ptr) {}

jpeg_error_mgr* quietErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = keepErrorAndJump;
    errors.manager.output_message = ignoreMessage;
    return &errors.manager;
}

// The file in memory, all at once. A reader that wants more than there is suspends rather than
// being handed a made-up end marker: a file cut short is refused, where OpenCV would leave the
// rows it could not read as whatever the memory held and call the picture decoded.
void initSource(j_decompress_ptr) {}
boolean fillNothing(j_decompress_ptr) { return FALSE; }
void skipInput(j_decompress_ptr info, long count) {
    jpeg_source_mgr& source = *info->src;
    const std::size_t skipped = std::min(static_cast<std::size_t>(std::max(count, 0L)), source.bytes_in_buffer);
    source.next_input_byte += skipped;
    source.bytes_in_buffer -= skipped;
}
void termSource(j_decompress_ptr) {}

// OpenCV's turn of a CMYK sample (as Adobe writes them, inverted) into a colour sample.
inline uint8_t cmykToColour(int sample, int black) { return static_cast<uint8_t>(black - ((255 - sample) * black >> 8)); }

void cmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, int width) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        bgr[0] = cmykToColour(cmyk[2], cmyk[3]);
        bgr[1] = cmykToColour(cmyk[1], cmyk[3]);
        bgr[2] = cmykToColour(cmyk[0], cmyk[3]);
    }
}

struct Decompressor {
    jpeg_decompress_struct info{};
    ~Decompressor() { jpeg_destroy_decompress(&info); }
};

struct Compressor {
    jpeg_compress_struct info{};
    ~Compressor() { jpeg_destroy_compress(&info); }
};

// Reads the whole picture into image: colour as blue, green, red through libjpeg's own
// conversion, CMYK through OpenCV's formula, grey as it is. False when libjpeg gives up before
// the last row; everything with a destructor lives in the caller, so the jump skips none.
bool readJpeg(jpeg_decompress_struct& info, JpegErrors& errors, std::span<const uint8_t> file, cv::Mat& image,
              std::vector<uint8_t>& cmykRow, bool& rowsRead) {
    // What follows the last row (a damaged marker) no longer matters once every row is read.
    if (setjmp(errors.jump) != 0) return rowsRead;
    jpeg_create_decompress(&info);
    auto* source = static_cast<jpeg_source_mgr*>(
        (*info.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&info), JPOOL_PERMANENT, sizeof(jpeg_source_mgr)));
    info.src = source;
    source->init_source = initSource;
    source->fill_input_buffer = fillNothing;
    source->skip_input_data = skipInput;
    source->resync_to_restart = jpeg_resync_to_restart;
    source->term_source = termSource;
    source->next_input_byte = file.data();
    source->bytes_in_buffer = file.size();
    jpeg_save_markers(&info, kExifMarker, 0xffff);
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 1;
    jpeg_calc_output_dimensions(&info);
    checkPictureSize(info.output_width, info.output_height);
    const bool colour = info.num_components > 1;
    const bool cmyk = info.num_components == 4;
    image.create(static_cast<int>(info.output_height), static_cast<int>(info.output_width), colour ? CV_8UC3 : CV_8UC1);
    info.out_color_space = cmyk ? JCS_CMYK : colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    info.out_color_components = cmyk ? 4 : colour ? 3 : 1;
    jpeg_start_decompress(&info);
    if (cmyk) cmykRow.resize(static_cast<std::size_t>(image.cols) * 4);
    for (int y = 0; y < image.rows; ++y) {
        JSAMPROW row = cmyk ? cmykRow.data() : image.ptr(y);
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            std::snprintf(errors.message, sizeof errors.message, "the JPEG data ends early");
            return false;
        }
        if (cmyk) cmykRowToBgr(cmykRow.data(), image.ptr(y), image.cols);
    }
    rowsRead = true;
    jpeg_finish_decompress(&info);
    return true;
}

// The compressed file grows in out, a block at a time.
constexpr std::size_t kOutputBlock = 1 << 16;

struct JpegDestination {
    jpeg_destination_mgr manager{};
    std::vector<uint8_t>* out = nullptr;
};

void initDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<JpegDestination*>(info->dest);
    destination->out->resize(kOutputBlock);
    destination->manager.next_output_byte = destination->out->data();
    destination->manager.free_in_buffer = destination->out->size();
}

boolean growDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<JpegDestination*>(info->dest);
    const std::size_t used = destination->out->size();
    destination->out->resize(used + kOutputBlock);
    destination->manager.next_output_byte = destination->out->data() + used;
    destination->manager.free_in_buffer = kOutputBlock;
    return TRUE;
}

void termDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<JpegDestination*>(info->dest);
    destination->out->resize(destination->out->size() - destination->manager.free_in_buffer);
}

bool writeJpeg(jpeg_compress_struct& info, JpegErrors& errors, JpegDestination& destination, const cv::Mat& picture,
               int quality) {
    if (setjmp(errors.jump) != 0) return false;
    jpeg_create_compress(&info);
    destination.manager.init_destination = initDestination;
    destination.manager.empty_output_buffer = growDestination;
    destination.manager.term_destination = termDestination;
    info.dest = &destination.manager;
    info.image_width = static_cast<JDIMENSION>(picture.cols);
    info.image_height = static_cast<JDIMENSION>(picture.rows);
    const bool colour = picture.channels() > 1;
    info.input_components = colour ? 3 : 1;
    info.in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.restart_interval = 0;
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < picture.rows; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.ptr(y));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

cv::Mat decodeJpegImage(std::span<const uint8_t> file, std::string& why) {
    Decompressor decompressor;
    JpegErrors errors;
    decompressor.info.err = quietErrors(errors);
    cv::Mat image;
    std::vector<uint8_t> cmykRow;
    bool rowsRead = false;
    if (!readJpeg(decompressor.info, errors, file, image, cmykRow, rowsRead)) {
        why = errors.message;
        return {};
    }
    return image;
}

bool encodeJpegImage(const cv::Mat& picture, int quality, std::vector<uint8_t>& out, std::string& error) {
    Compressor compressor;
    JpegErrors errors;
    compressor.info.err = quietErrors(errors);
    JpegDestination destination;
    destination.out = &out;
    out.clear();
    if (!writeJpeg(compressor.info, errors, destination, picture, std::clamp(quality, 0, 100))) {
        error = errors.message;
        out.clear();
        return false;
    }
    return true;
}

}  // namespace velmora
