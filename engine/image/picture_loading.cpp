#include "engine/image/picture_loading.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <new>
#include <opencv2/core.hpp>
#include <string_view>

#include "codecs/bitmap.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

struct ExtensionType {
    std::string_view letters;
    PictureType type;
};

constexpr std::array<ExtensionType, 24> kExtensionTypes = {{
    {"bmp", PictureType::Bmp},
    {"jpg", PictureType::Jpeg},
    {"jpe", PictureType::Jpeg},
    {"jfi", PictureType::Jpeg},
    {"gif", PictureType::Gif},
    {"png", PictureType::Png},
    {"ico", PictureType::Icon},
    {"cur", PictureType::Icon},
    {"tif", PictureType::Tiff},
    {"tga", PictureType::Targa},
    {"pcx", PictureType::Pcx},
    {"wbm", PictureType::Wbmp},
    {"wmf", PictureType::Wmf},
    {"emf", PictureType::Emf},
    {"jp2", PictureType::Jpeg2000File},
    {"j2k", PictureType::Jpeg2000File},
    {"jpc", PictureType::Jpeg2000Stream},
    {"j2c", PictureType::Jpeg2000Stream},
    {"pgx", PictureType::Pgx},
    {"pnm", PictureType::Pnm},
    {"pgm", PictureType::Pnm},
    {"ppm", PictureType::Pnm},
    {"ras", PictureType::SunRaster},
    {"ska", PictureType::Ska},
}};

// What a failed load hands back: the reason and its kind.
struct LoadFailure {
    std::string* reason;
    PictureFailure* kind;
};

int failLoad(cv::Mat& out, const LoadFailure& to, PictureFailure kind, const std::string& why) {
    out.release();
    if (to.reason != nullptr) *to.reason = why;
    if (to.kind != nullptr) *to.kind = kind;
    return -1;
}

// The bitmap as the image the caller asked for; false with a reason when the bitmap cannot be
// brought to that form.
bool copyBitmap(Bitmap& bitmap, cv::Mat& image, int colourMode, std::string& why) {
    // A bitmap deeper than 24 bits (alpha, 16-bit samples) is shown over white rather than
    // refused, so that screenshots and symbols drawn on transparent backgrounds load.
    if (bitmap.bitsPerPixel() > 24 && !bitmap.flattenTo24Bits()) {
        why = "out of memory: the picture cannot be converted";
        return false;
    }
    const int width = bitmap.width();
    const int height = bitmap.height();
    if (colourMode != kLoadGrey) {
        if (bitmap.bitsPerPixel() != 24 && (!bitmap.raiseTo24Bits() || !bitmap.isValid() || bitmap.bitsPerPixel() != 24)) {
            why = "out of memory: the picture cannot be raised to 24 bits";
            return false;
        }
        image.create(height, width, CV_8UC3);
        for (int y = 0; y < height; ++y) std::memcpy(image.ptr(y), bitmap.row(height - 1 - y), 3 * std::size_t(width));
        return true;
    }
    if (!bitmap.hasGreyPalette() && (!bitmap.convertToGrey() || !bitmap.isValid() || !bitmap.hasGreyPalette())) {
        why = "out of memory: the picture cannot be converted to grey";
        return false;
    }
    image.create(height, width, CV_8UC1);
    for (int y = 0; y < height; ++y) std::memcpy(image.ptr(y), bitmap.row(height - 1 - y), std::size_t(width));
    return true;
}

}  // namespace

std::optional<PictureType> pictureTypeOfPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    std::string letters = path.substr(dot + 1, 3);
    std::transform(letters.begin(), letters.end(), letters.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const ExtensionType& entry : kExtensionTypes) {
        if (entry.letters == letters) return entry.type;
    }
    return std::nullopt;
}

int loadPictureFile(const std::string& path, cv::Mat& out, int colourMode, std::string* reason,
                    PictureFailure* failure) {
    out.release();
    const LoadFailure to{reason, failure};
    try {
        // What is wrong with the path itself comes before its name: a folder or a FIFO called
        // "scan" is not a picture of an unknown type, and a FIFO is never waited on.
        const std::string problem = unreadableFileProblem(path);
        if (!problem.empty()) {
            return failLoad(out, to, PictureFailure::CannotOpen,
                            std::string(pictureFailureText(PictureFailure::CannotOpen)) + ": " + problem);
        }
        const std::optional<PictureType> type = pictureTypeOfPath(path);
        if (!type) return failLoad(out, to, PictureFailure::UnknownType, "unknown file type");
        Bitmap bitmap;
        if (!bitmap.load(path, *type)) return failLoad(out, to, bitmap.failure(), bitmap.failureReason());
        cv::Mat image;
        std::string why;
        if (!copyBitmap(bitmap, image, colourMode, why)) return failLoad(out, to, PictureFailure::OutOfMemory, why);
        out = image;
        if (reason != nullptr) reason->clear();
        if (failure != nullptr) *failure = PictureFailure::None;
        return 1;
    } catch (const std::bad_alloc&) {
        return failLoad(out, to, PictureFailure::OutOfMemory, "out of memory: the picture cannot be loaded");
    } catch (const std::exception& error) {
        return failLoad(out, to, PictureFailure::Malformed,
                        std::string("the picture cannot be loaded: ") + error.what());
    } catch (...) {
        return failLoad(out, to, PictureFailure::Malformed, "the picture cannot be loaded");
    }
}

}  // namespace velmora
