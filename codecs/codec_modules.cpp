#include "codecs/codec_modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace velmora {
namespace {

std::string folderOfProgram() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

}  // namespace

void* openCodecModule(const char* fileName, std::string& problem) {
    problem.clear();
    const std::string folders[] = {folderOfProgram() + VELMORA_CODEC_MODULES_FROM_PROGRAM,
                                   VELMORA_CODEC_MODULES_INSTALLED, VELMORA_CODEC_MODULES_BUILT};
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + fileName;
        if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        if (problem.empty()) {
            const char* why = dlerror();
            problem = why != nullptr ? why : path + ": cannot be loaded";
        }
    }
    return nullptr;
}

}  // namespace velmora
