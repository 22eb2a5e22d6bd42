// GIF through giflib: the first frame on its logical screen, transparency shown as white.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

// Any logical screen up to this area is composed, however small its frame.
constexpr int64_t kMaxPlainScreenArea = int64_t{4096} * 4096;

struct MemoryInput {
    std::span<const uint8_t> bytes;
    std::size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)),
                                                    input->bytes.size() - input->position);
    std::memcpy(buffer, input->bytes.data() + input->position, count);
    input->position += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void failGif(int error) {
    switch (error) {
        case D_GIF_ERR_READ_FAILED:
        case D_GIF_ERR_EOF_TOO_SOON: failPicture(PictureFailure::Truncated, "GIF data ends early");
        case D_GIF_ERR_NOT_ENOUGH_MEM: failPicture(PictureFailure::OutOfMemory, "GIF decoder");
        case D_GIF_ERR_DATA_TOO_BIG: failPicture(PictureFailure::TooLarge, "GIF frame larger than its screen allows");
        default: {
            const char* text = GifErrorString(error);
            failPicture(PictureFailure::Malformed, std::string("GIF: ") + (text ? text : "unreadable"));
        }
    }
}

// The transparent colour index of a graphic control extension, -1 when it names none; consumes
// the extension's sub-blocks.
int readExtension(GifFileType* gif, int transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) failGif(gif->Error);
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock control{};
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
    }
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) failGif(gif->Error);
    }
    return transparent;
}

// The frame's colour table (local before global; a grey ramp when the file has neither) as 256
// entries, the transparent entry white.
std::array<PaletteEntry, 256> framePalette(const GifFileType* gif, int transparent) {
    std::array<PaletteEntry, 256> palette{};
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (map != nullptr && map->Colors != nullptr) {
        for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
            const GifColorType& c = map->Colors[i];
            palette[i] = PaletteEntry{c.Blue, c.Green, c.Red, 0};
        }
    } else {
        for (int i = 0; i < 256; ++i) palette[i] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
    }
    if (transparent >= 0 && transparent < 256) palette[transparent] = PaletteEntry{255, 255, 255, 0};
    return palette;
}

// The index to fill the screen outside the frame with: transparent (white) where there is
// one, else a white entry, else the screen's background colour.
uint8_t screenFill(const GifFileType* gif, const std::array<PaletteEntry, 256>& palette, int transparent) {
    if (transparent >= 0 && transparent < 256) return static_cast<uint8_t>(transparent);
    for (int i = 0; i < 256; ++i) {
        if (palette[i].red == 255 && palette[i].green == 255 && palette[i].blue == 255) return static_cast<uint8_t>(i);
    }
    return static_cast<uint8_t>(std::clamp(gif->SBackGroundColor, 0, 255));
}

// Frame row r in file order lands on picture row frameRowOf(r): interlaced frames store rows
// 0, 8, 16.. then 4, 12.. then 2, 6.. then 1, 3..
int frameRowOf(int r, int height, bool interlaced) {
    if (!interlaced) return r;
    constexpr int start[4] = {0, 4, 2, 1};
    constexpr int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = height > start[pass] ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (r < rows) return start[pass] + r * step[pass];
        r -= rows;
    }
    return height - 1;
}

}  // namespace

void decodeGif(std::span<const uint8_t> file, Bitmap& out) {
    MemoryInput input{file, 0};
    int error = 0;
    GifHandle gif(DGifOpen(&input, readFromMemory, &error));
    if (!gif) {
        if (error == D_GIF_ERR_NOT_GIF_FILE) failPicture(PictureFailure::Malformed, "not a GIF file");
        failGif(error);
    }
    int transparent = -1;
    while (true) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) failGif(gif->Error);
        if (record == TERMINATE_RECORD_TYPE) failPicture(PictureFailure::Malformed, "the GIF holds no picture");
        if (record == EXTENSION_RECORD_TYPE) transparent = readExtension(gif.get(), transparent);
        if (record == IMAGE_DESC_RECORD_TYPE) break;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) failGif(gif->Error);
    const GifImageDesc& frame = gif->Image;
    checkPictureSize(frame.Width, frame.Height);
    // A code of the compressed data takes at least two bits and stands for at most 4096 pixels.
    if (int64_t{frame.Width} * frame.Height > static_cast<int64_t>(file.size()) * 16384) {
        failPicture(PictureFailure::Truncated, "GIF frame larger than its data could hold");
    }
    // The frame sits on the logical screen where it fits there; a frame that overhangs its
    // screen (or a screen of no size) is shown alone. So is a frame on a screen both larger than
    // 4096 x 4096 and more than 64 times its area: no program writes one, and a file of a few
    // hundred bytes would otherwise fill gigabytes with background.
    checkPictureSize(gif->SWidth > 0 ? gif->SWidth : 1, gif->SHeight > 0 ? gif->SHeight : 1);
    const int64_t screenArea = int64_t{gif->SWidth} * gif->SHeight;
    const bool plausibleScreen = screenArea <= kMaxPlainScreenArea || screenArea <= int64_t{frame.Width} * frame.Height * 64;
    const bool fits = plausibleScreen && frame.Left >= 0 && frame.Top >= 0 &&
                      int64_t{frame.Left} + frame.Width <= gif->SWidth && int64_t{frame.Top} + frame.Height <= gif->SHeight;
    const int64_t left = fits ? frame.Left : 0;
    const int64_t top = fits ? frame.Top : 0;
    const int64_t width = fits ? gif->SWidth : frame.Width;
    const int64_t height = fits ? gif->SHeight : frame.Height;
    checkPictureSize(width, height);

    const auto palette = framePalette(gif.get(), transparent);
    out.allocate(static_cast<int>(width), static_cast<int>(height), 8);
    out.setPalette(palette);
    const uint8_t fill = screenFill(gif.get(), palette, transparent);
    for (int y = 0; y < height; ++y) std::memset(out.row(y), fill, static_cast<std::size_t>(width));

    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    for (int r = 0; r < frame.Height; ++r) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) failGif(gif->Error);
        const int y = static_cast<int>(top) + frameRowOf(r, frame.Height, frame.Interlace);
        std::memcpy(out.rowFromTop(y) + left, line.data(), line.size());
    }
}

}  // namespace velmora
