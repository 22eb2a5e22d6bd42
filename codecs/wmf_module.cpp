// The module that draws Windows metafiles through libwmf's own drawing device into a PNG, which
// wmf_reader.cpp then decodes. libwmf brings FreeType, Expat and more, so it is loaded only when
// a metafile is opened. The record structure is checked here first, so that a cut-off or
// inconsistent file is refused before the library plays it.
#include <libwmf/api.h>
#include <libwmf/gd.h>

#include <array>
#include <filesystem>
#include <memory>
#include <vector>

#include "codecs/byte_reader.h"
#include "codecs/codec_module_entries.h"

namespace velmora {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableBytes = 22;
// Metafiles carry sizes in inches (placeable) or logical units; pictures are drawn at the
// usual screen resolution.
constexpr double kDotsPerInch = 96.0;

// Walks the header and every record up to the end-of-file record, which must be there; a
// record that claims to run past the end of the file or to be shorter than its own header
// makes the file unusable.
void checkRecords(std::span<const uint8_t> file) {
    ByteReader in(file, "WMF");
    if (in.u32le() == kPlaceableKey) {
        in.seek(kPlaceableBytes);
    } else {
        in.seek(0);
    }
    const uint16_t type = in.u16le();
    const uint16_t headerWords = in.u16le();
    const uint16_t version = in.u16le();
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300)) {
        failPicture(PictureFailure::Malformed, "not a Windows metafile");
    }
    in.skip(12);
    while (true) {
        const uint32_t words = in.u32le();
        const uint16_t function = in.u16le();
        if (words < 3) failPicture(PictureFailure::Malformed, "WMF record shorter than its header");
        if (function == 0) return;
        in.skip((static_cast<uint64_t>(words) - 3) * 2);
    }
}

// A font file for the library's text drawing, which it insists on having even for pictures
// without text; the first one installed wins.
const char* availableFont() {
    static constexpr std::array kCandidates = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
        "/usr/share/fonts/type1/urw-base35/NimbusSans-Regular.t1",
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    };
    for (const char* path : kCandidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return nullptr;
}

struct WmfCloser {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};

int appendToPng(void* context, char* buffer, int length) {
    auto* png = static_cast<std::vector<uint8_t>*>(context);
    png->insert(png->end(), buffer, buffer + length);
    return length;
}

std::vector<uint8_t> renderWmf(std::span<const uint8_t> file) {
    checkRecords(file);
    const char* font = availableFont();
    if (font == nullptr) failPicture(PictureFailure::Unsupported, "WMF drawing needs a font (install fonts-dejavu-core)");

    // The thirteen standard PostScript fonts that the library maps every metafile font onto.
    static constexpr std::array kStandardFonts = {
        "Times-Roman", "Times-Italic", "Times-Bold", "Times-BoldItalic", "Helvetica", "Helvetica-Oblique",
        "Helvetica-Bold", "Helvetica-BoldOblique", "Courier", "Courier-Oblique", "Courier-Bold",
        "Courier-BoldOblique", "Symbol"};
    std::array<wmfMapping, kStandardFonts.size() + 1> fonts{};
    for (std::size_t i = 0; i < kStandardFonts.size(); ++i) {
        fonts[i].name = const_cast<char*>(kStandardFonts[i]);
        fonts[i].mapping = const_cast<char*>(font);
        fonts[i].encoding = FT_ENCODING_NONE;
    }
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    options.font.ps = fonts.data();
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_FONTMAP | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;

    wmfAPI* created = nullptr;
    if (wmf_api_create(&created, flags, &options) != wmf_E_None) {
        if (created != nullptr) wmf_api_destroy(created);
        failPicture(PictureFailure::Unsupported, "the WMF renderer cannot start");
    }
    std::unique_ptr<wmfAPI, WmfCloser> api(created);
    if (wmf_mem_open(api.get(), const_cast<uint8_t*>(file.data()), static_cast<long>(file.size())) != wmf_E_None) {
        failPicture(PictureFailure::Malformed, "WMF header");
    }
    wmfD_Rect bounds{};
    if (wmf_scan(api.get(), 0, &bounds) != wmf_E_None) failPicture(PictureFailure::Malformed, "WMF records");
    unsigned width = 0;
    unsigned height = 0;
    if (wmf_display_size(api.get(), &width, &height, kDotsPerInch, kDotsPerInch) != wmf_E_None) {
        failPicture(PictureFailure::Malformed, "WMF size");
    }
    checkPictureSize(width, height);

    std::vector<uint8_t> png;
    wmf_gd_t* device = WMF_GD_GetData(api.get());
    device->type = wmf_gd_png;
    device->width = width;
    device->height = height;
    device->bbox = bounds;
    device->flags |= WMF_GD_OUTPUT_MEMORY | WMF_GD_OWN_BUFFER;
    device->sink.context = &png;
    device->sink.function = appendToPng;
    if (wmf_play(api.get(), 0, &bounds) != wmf_E_None || png.empty()) {
        failPicture(PictureFailure::Malformed, "the WMF picture cannot be drawn");
    }
    wmf_mem_close(api.get());
    return png;
}

}  // namespace
}  // namespace velmora

extern "C" __attribute__((visibility("default"))) bool velmoraRenderWmf(const uint8_t* data, std::size_t size,
                                                                        std::vector<uint8_t>* png, int* failure,
                                                                        std::string* reason) {
    try {
        *png = velmora::renderWmf(std::span<const uint8_t>(data, size));
        return true;
    } catch (const velmora::PictureError& error) {
        *failure = static_cast<int>(error.kind());
        *reason = error.what();
    } catch (const std::bad_alloc&) {
        *failure = static_cast<int>(velmora::PictureFailure::OutOfMemory);
        *reason = "the metafile does not fit in memory";
    } catch (...) {
        *failure = static_cast<int>(velmora::PictureFailure::Malformed);
        *reason = "the WMF picture cannot be drawn";
    }
    return false;
}
