// Fuzzes the picture readers written here (not the ones OpenCV, giflib or libwmf provide the
// decoding for): the first byte picks the reader, the rest is the file. Whatever a reader makes
// of the bytes, it must not read outside them, and a bitmap it accepts must survive every
// conversion picture loading applies.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/bitmap.h"

namespace {

constexpr velmora::PictureType kReaders[] = {
    velmora::PictureType::Pcx,  velmora::PictureType::Targa, velmora::PictureType::Wbmp,
    velmora::PictureType::Pgx,  velmora::PictureType::Ska,   velmora::PictureType::SunRaster,
    velmora::PictureType::Icon, velmora::PictureType::Gif,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const velmora::PictureType type = kReaders[data[0] % std::size(kReaders)];
    velmora::Bitmap bitmap;
    if (!bitmap.loadFromMemory(std::span<const uint8_t>(data + 1, size - 1), type)) return 0;
    velmora::Bitmap grey = bitmap;
    grey.convertToGrey();
    if (!bitmap.raiseTo24Bits()) bitmap.flattenTo24Bits();
    return 0;
}
