// Finding and loading the OpenCV codecs module, once, the first time a picture needs it.
#include <dlfcn.h>

#include <opencv2/core.hpp>
#include <string>

#include "codecs/opencv_codecs.h"
#include "codecs/codec_module_entries.h"
#include "codecs/codec_modules.h"
#include "codecs/picture_error.h"

namespace velmora {
namespace {

struct OpenCvCodecs {
    VelmoraOpenCvDecode decode = nullptr;
    VelmoraOpenCvEncode encode = nullptr;
    // Why the module could not be loaded; empty when it was.
    std::string problem;
};

OpenCvCodecs loadOpenCvCodecs() {
    OpenCvCodecs codecs;
    void* module = openCodecModule(kOpenCvCodecsModule, codecs.problem);
    if (module == nullptr) return codecs;
    codecs.decode = reinterpret_cast<VelmoraOpenCvDecode>(dlsym(module, kOpenCvDecodeEntry));
    codecs.encode = reinterpret_cast<VelmoraOpenCvEncode>(dlsym(module, kOpenCvEncodeEntry));
    if (codecs.decode == nullptr || codecs.encode == nullptr) codecs.problem = "the OpenCV codecs module lacks its entries";
    return codecs;
}

// The module stays loaded for the life of the program once a picture has needed it.
const OpenCvCodecs& openCvCodecs() {
    static const OpenCvCodecs codecs = loadOpenCvCodecs();
    return codecs;
}

const OpenCvCodecs& loadedOpenCvCodecs() {
    const OpenCvCodecs& codecs = openCvCodecs();
    if (!codecs.problem.empty()) {
        failPicture(PictureFailure::Unsupported, "the OpenCV picture codecs cannot be loaded: " + codecs.problem);
    }
    return codecs;
}

}  // namespace

cv::Mat decodeWithOpenCvModule(std::span<const uint8_t> file, std::string& why) {
    const OpenCvCodecs& codecs = loadedOpenCvCodecs();
    cv::Mat image;
    if (!codecs.decode(file.data(), file.size(), &image, &why)) return {};
    return image;
}

bool encodeWithOpenCvModule(const std::string& extension, const cv::Mat& picture, const std::vector<int>& parameters,
                            std::vector<uint8_t>& out, std::string& error) {
    const OpenCvCodecs& codecs = openCvCodecs();
    if (!codecs.problem.empty()) {
        error = "the OpenCV picture codecs cannot be loaded: " + codecs.problem;
        return false;
    }
    return codecs.encode(extension.c_str(), &picture, parameters.data(), parameters.size(), &out, &error);
}

bool openCvCodecsModuleLoads(std::string& why) {
    why = openCvCodecs().problem;
    return why.empty();
}

}  // namespace velmora
