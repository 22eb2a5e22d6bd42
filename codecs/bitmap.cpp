#include "codecs/bitmap.h"

#include <exception>
#include <new>

#include "codecs/picture_decoders.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

// The whole file at path, refused when it is not a regular file that can be read, or exceeds
// the file size limit.
std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::vector<uint8_t> data;
    std::string problem;
    bool tooLarge = false;
    if (!readFileWhole(path, kMaxPictureFileBytes, data, problem, tooLarge))
        failPicture(tooLarge ? PictureFailure::TooLarge : PictureFailure::CannotOpen, problem);
    return data;
}

void decode(std::span<const uint8_t> file, PictureType type, Bitmap& out) {
    if (file.empty()) failPicture(PictureFailure::Truncated, "the file is empty");
    switch (type) {
        case PictureType::Bmp:
        case PictureType::Jpeg:
        case PictureType::Png:
        case PictureType::Tiff:
        case PictureType::Jpeg2000File:
        case PictureType::Jpeg2000Stream:
        case PictureType::Pnm: decodeCommonPicture(file, type, out); return;
        case PictureType::Gif: decodeGif(file, out); return;
        case PictureType::Icon: decodeIcon(file, out); return;
        case PictureType::Targa: decodeTarga(file, out); return;
        case PictureType::Pcx: decodePcx(file, out); return;
        case PictureType::Wbmp: decodeWbmp(file, out); return;
        case PictureType::Wmf: decodeWmf(file, out); return;
        case PictureType::Emf:
            failPicture(PictureFailure::Unsupported, "enhanced metafiles (EMF) cannot be rendered");
        case PictureType::Pgx: decodePgx(file, out); return;
        case PictureType::SunRaster: decodeSunRaster(file, out); return;
        case PictureType::Ska: decodeSka(file, out); return;
    }
    failPicture(PictureFailure::UnknownType, "no decoder for this type");
}

}  // namespace

const char* pictureTypeName(PictureType type) {
    switch (type) {
        case PictureType::Bmp: return "BMP";
        case PictureType::Jpeg: return "JPEG";
        case PictureType::Gif: return "GIF";
        case PictureType::Png: return "PNG";
        case PictureType::Icon: return "ICO";
        case PictureType::Tiff: return "TIFF";
        case PictureType::Targa: return "TGA";
        case PictureType::Pcx: return "PCX";
        case PictureType::Wbmp: return "WBMP";
        case PictureType::Wmf: return "WMF";
        case PictureType::Emf: return "EMF";
        case PictureType::Jpeg2000File: return "JPEG 2000";
        case PictureType::Jpeg2000Stream: return "JPEG 2000 code stream";
        case PictureType::Pgx: return "PGX";
        case PictureType::Pnm: return "PNM";
        case PictureType::SunRaster: return "Sun raster";
        case PictureType::Ska: return "SKA";
    }
    return "unknown";
}

const char* pictureFailureText(PictureFailure kind) {
    switch (kind) {
        case PictureFailure::None: return "no failure";
        case PictureFailure::UnknownType: return "unknown file type";
        case PictureFailure::CannotOpen: return "cannot open the file";
        case PictureFailure::Truncated: return "truncated file";
        case PictureFailure::Malformed: return "malformed file";
        case PictureFailure::Unsupported: return "unsupported format";
        case PictureFailure::TooLarge: return "picture too large";
        case PictureFailure::OutOfMemory: return "out of memory";
    }
    return "failure";
}

bool Bitmap::load(const std::string& path, PictureType type) {
    clear();
    try {
        const std::vector<uint8_t> file = readWholeFile(path);
        return loadFromMemory(file, type);
    } catch (const PictureError& error) {
        return fail(error.kind(), error.what());
    } catch (const std::bad_alloc&) {
        return fail(PictureFailure::OutOfMemory, "the file does not fit in memory");
    } catch (const std::exception& error) {
        return fail(PictureFailure::CannotOpen, error.what());
    }
}

bool Bitmap::loadFromMemory(std::span<const uint8_t> file, PictureType type) {
    clear();
    try {
        decode(file, type, *this);
        if (!isValid()) return fail(PictureFailure::Malformed, "no picture was decoded");
        return true;
    } catch (const PictureError& error) {
        return fail(error.kind(), error.what());
    } catch (const std::bad_alloc&) {
        return fail(PictureFailure::OutOfMemory, "the picture does not fit in memory");
    } catch (const std::exception& error) {
        return fail(PictureFailure::Malformed, error.what());
    } catch (...) {
        return fail(PictureFailure::Malformed, "the decoder failed");
    }
}

bool Bitmap::fail(PictureFailure kind, const std::string& detail) {
    clear();
    failure_ = kind;
    failureReason_ = pictureFailureText(kind);
    if (!detail.empty()) failureReason_ += ": " + detail;
    return false;
}

void Bitmap::clear() {
    width_ = height_ = bitsPerPixel_ = 0;
    stride_ = 0;
    std::vector<uint8_t>().swap(pixels_);
    palette_.clear();
    failure_ = PictureFailure::None;
    failureReason_.clear();
}

bool Bitmap::hasGreyPalette() const {
    if (bitsPerPixel_ != 8 || palette_.size() != 256) return false;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        const PaletteEntry& e = palette_[i];
        if (e.red != i || e.green != i || e.blue != i) return false;
    }
    return true;
}

void Bitmap::allocate(int width, int height, int bitsPerPixel) {
    checkPictureSize(width, height);
    switch (bitsPerPixel) {
        case 1: case 4: case 8: case 16: case 24: case 32: case 48: case 64: break;
        default: failPicture(PictureFailure::Unsupported, std::to_string(bitsPerPixel) + " bits per pixel");
    }
    const std::size_t stride = bitmapStride(width, bitsPerPixel);
    std::vector<uint8_t> pixels(stride * static_cast<std::size_t>(height));
    clear();
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    stride_ = stride;
    pixels_.swap(pixels);
    if (bitsPerPixel <= 8) palette_.assign(std::size_t{1} << bitsPerPixel, PaletteEntry{});
}

void Bitmap::setPalette(std::span<const PaletteEntry> entries) {
    if (bitsPerPixel_ > 8) return;
    palette_.assign(std::size_t{1} << bitsPerPixel_, PaletteEntry{});
    for (std::size_t i = 0; i < entries.size() && i < palette_.size(); ++i) palette_[i] = entries[i];
}

void Bitmap::setGreyPalette() {
    if (bitsPerPixel_ != 8) return;
    for (std::size_t i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        palette_[i] = PaletteEntry{v, v, v, 0};
    }
}

}  // namespace velmora
