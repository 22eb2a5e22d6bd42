// Windows metafiles: drawn into a PNG by the WMF module, loaded the first time a metafile is
// opened, and that PNG decoded here.
#include <dlfcn.h>

#include <opencv2/core.hpp>

#include "codecs/codec_module_entries.h"
#include "codecs/codec_modules.h"
#include "codecs/picture_codecs.h"
#include "codecs/picture_decoders.h"

namespace velmora {
namespace {

struct WmfRenderer {
    VelmoraRenderWmf render = nullptr;
    std::string problem;
};

WmfRenderer loadWmfRenderer() {
    WmfRenderer renderer;
    void* module = openCodecModule(kWmfCodecModule, renderer.problem);
    if (module == nullptr) return renderer;
    renderer.render = reinterpret_cast<VelmoraRenderWmf>(dlsym(module, kRenderWmfEntry));
    if (renderer.render == nullptr) renderer.problem = "the WMF module lacks its entry";
    return renderer;
}

}  // namespace

void decodeWmf(std::span<const uint8_t> file, Bitmap& out) {
    static const WmfRenderer renderer = loadWmfRenderer();
    if (renderer.render == nullptr) failPicture(PictureFailure::Unsupported, "the WMF renderer cannot be loaded: " + renderer.problem);
    std::vector<uint8_t> png;
    int failure = 0;
    std::string reason;
    if (!renderer.render(file.data(), file.size(), &png, &failure, &reason)) {
        failPicture(static_cast<PictureFailure>(failure), reason);
    }
    std::string why;
    bitmapFromMat(decodePngImage(png, why), out);
}

}  // namespace velmora
