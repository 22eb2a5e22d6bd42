// Why a picture file could not be loaded, and the limits every decoder holds to.
//
// Inside the codecs a decoder gives up by throwing PictureError; Bitmap's loaders catch it (and
// every other exception) and keep the reason, so nothing is thrown past the bitmap interface.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

enum class PictureFailure {
    None,
    UnknownType,
    CannotOpen,
    Truncated,
    Malformed,
    Unsupported,
    TooLarge,
    OutOfMemory,
};

// Pictures larger than this on either side, or in all, are refused before anything is decoded:
// a header is cheap to forge, and the memory it asks for is not.
inline constexpr int64_t kMaxPictureSide = 32768;
inline constexpr int64_t kMaxPicturePixels = int64_t{1} << 28;  // 256 Mi pixels
// Whole files are read into memory; no supported picture within the limits above needs more.
inline constexpr int64_t kMaxPictureFileBytes = int64_t{1} << 30;

class PictureError : public std::runtime_error {
public:
    PictureError(PictureFailure kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) {}
    PictureFailure kind() const { return kind_; }

private:
    PictureFailure kind_;
};

// Throws PictureError of the given kind.
[[noreturn]] inline void failPicture(PictureFailure kind, const std::string& detail) {
    throw PictureError(kind, detail);
}

// The words that open every reason of the given kind ("truncated file", "picture too large").
const char* pictureFailureText(PictureFailure kind);

// Returns normally only for 1 <= width, height <= kMaxPictureSide and width * height <=
// kMaxPicturePixels; throws Malformed for an empty size and TooLarge for a large one. Inline, so
// that the codec modules hold to the same limits.
inline void checkPictureSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) {
        failPicture(PictureFailure::Malformed,
                    "the picture size " + std::to_string(width) + " x " + std::to_string(height) + " is empty");
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
        failPicture(PictureFailure::TooLarge, std::to_string(width) + " x " + std::to_string(height) + " pixels");
    }
}

}  // namespace velmora
